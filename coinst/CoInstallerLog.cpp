#include "coinst/CoInstallerLog.h"

#include "diag/FormatWide.h"
#include "platform/base/posixio.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"

#include <cstdarg>
#include <fcntl.h>
#include <unistd.h>

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

    const int fd = plat::OpenPrivateFile(CoInstallerLogPath(), O_WRONLY | O_CREAT | O_APPEND);
    if (fd < 0)
        return 0;
    const bool written = plat::WriteAll(fd, text);
    close(fd);
    return written ? static_cast<int>(text.size()) : 0;
}

} // namespace coinst
