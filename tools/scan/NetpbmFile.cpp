#include "tools/scan/NetpbmFile.h"

#include <cstdio>
#include <memory>

namespace scan {

std::string NetpbmExtension(LONG bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return "pbm";
    case 8:
        return "pgm";
    case 24:
        return "ppm";
    default:
        return {};
    }
}

bool WriteNetpbm(const std::string& path, const ScannedPage& page)
{
    const std::string extension = NetpbmExtension(page.bitsPerPixel);
    if (extension.empty() || page.width <= 0 || page.height <= 0 ||
        page.bytes.size() != page.LineBytes() * static_cast<size_t>(page.height))
        return false;
    const char* magic = page.bitsPerPixel == 1 ? "P4" : page.bitsPerPixel == 8 ? "P5" : "P6";
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file)
        return false;
    if (page.bitsPerPixel == 1)
        std::fprintf(file.get(), "%s\n%ld %ld\n", magic, static_cast<long>(page.width), static_cast<long>(page.height));
    else
        std::fprintf(file.get(), "%s\n%ld %ld\n255\n", magic, static_cast<long>(page.width),
                     static_cast<long>(page.height));
    if (std::fwrite(page.bytes.data(), 1, page.bytes.size(), file.get()) != page.bytes.size())
        return false;
    return std::fclose(file.release()) == 0;
}

} // namespace scan
