#include "diag/FormatWide.h"

#include "platform/base/format.h"

#include <memory>
#include <new>

size_t FormatWideInto(WCHAR* buffer, size_t capacity, const WCHAR* format, va_list args)
{
    if (!buffer || capacity == 0)
        return 0;
    buffer[0] = 0;
    if (!format)
        return 0;
    // A cut text is still terminated inside the buffer.
    plat::VFormatToBuffer(buffer, capacity, format, args);
    buffer[capacity - 1] = 0;
    return std::char_traits<char16_t>::length(buffer);
}

std::u16string FormatWide(const WCHAR* format, ...)
{
    std::unique_ptr<WCHAR[]> buffer(new (std::nothrow) WCHAR[kFormatWideChars]);
    if (!buffer)
        return {};
    va_list args;
    va_start(args, format);
    size_t length = FormatWideInto(buffer.get(), kFormatWideChars, format, args);
    va_end(args);
    return std::u16string(buffer.get(), length);
}
