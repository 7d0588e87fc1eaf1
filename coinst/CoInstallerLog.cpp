#include "coinst/CoInstallerLog.h"

#include "diag/FormatWide.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"

#include <cstdarg>
#include <cstdio>

namespace coinst {

std::string CoInstallerLogPath()
{
    return plat::SystemRoot() + "/Log/CoInstaller.log";
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

    FILE* file = std::fopen(CoInstallerLogPath().c_str(), "a+");
    if (!file)
        return 0;
    const size_t written = std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return static_cast<int>(written);
}

} // namespace coinst
