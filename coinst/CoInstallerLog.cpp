#include "coinst/CoInstallerLog.h"

#include "diag/FormatWide.h"
#include "platform/base/sysroot.h"
#include "platform/windows.h"

#include <cstdarg>

namespace coinst {

std::string CoInstallerLogPath()
{
    WCHAR windowsFolder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(windowsFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    const std::u16string folder(windowsFolder, length);
    const size_t separator = folder.find_last_of(u"\\/");
    const std::u16string drive = separator == std::u16string::npos ? std::u16string() : folder.substr(0, separator);
    return Utf16ToUtf8(drive) + "/Log/CoInstaller.log";
}

int CoInstallerLog(const WCHAR* format, ...)
{
    WCHAR buffer[kFormatWideChars];
    va_list args;
    va_start(args, format);
    const size_t length = FormatWideInto(buffer, kFormatWideChars, format, args);
    va_end(args);

    // A text stream writes each line feed as CR LF.
    std::string text;
    for (char c : Utf16ToUtf8(std::u16string_view(buffer, length))) {
        if (c == '\n')
            text += '\r';
        text += c;
    }

    // The runtime's part of the job (fopen "a+" on Windows): the root's
    // files are private to its user, the log too.
    return plat::AppendToPrivateFile(CoInstallerLogPath(), text) ? static_cast<int>(text.size()) : 0;
}

} // namespace coinst
