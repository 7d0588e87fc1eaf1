#include "twainfw/StringUtil.h"

#include "platform/base/format.h"
#include "platform/windows.h"

#include <cstdarg>
#include <cstdio>
#include <locale>
#include <memory>
#include <new>

namespace Trellis {

namespace {
constexpr size_t kBufferSize = 1024;
}

std::string GetModulePath()
{
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBufferSize]);
    if (!buffer)
        return {};
    DWORD n = GetModuleFileNameA(plat::ThisModule(), buffer.get(), kBufferSize);
    if (n == 0 || n >= kBufferSize)
        return {};
    return std::string(buffer.get(), n);
}

std::string FormatStdString(const char* format, ...)
{
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBufferSize]);
    if (!buffer)
        return {};
    va_list args;
    va_start(args, format);
    plat::VFormatToBuffer(buffer.get(), kBufferSize, format, args);
    va_end(args);
    return buffer.get(); // cut text included
}

std::string ToUpper(const std::string& text)
{
    const std::locale& classic = std::locale::classic();
    std::string upper = text;
    for (char& c : upper)
        c = std::toupper(c, classic);
    return upper;
}

} // namespace Trellis
