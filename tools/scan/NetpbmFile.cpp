#include "tools/scan/NetpbmFile.h"

#include <cstdio>

namespace scan {

namespace {

// The height's place: wide enough for any height, padded with blanks,
// which the format takes as the separator they are.
constexpr int kHeightDigits = 10;

} // namespace

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

bool NetpbmWriter::Open(const std::string& path, const PageFormat& format)
{
    Abandon();
    if (NetpbmExtension(format.bitsPerPixel).empty() || format.width <= 0)
        return false;
    // Written under a ".part" name until whole, as every tool's pages are.
    m_path = path;
    m_file = std::fopen((m_path + ".part").c_str(), "wb");
    if (!m_file)
        return false;
    m_lineBytes = format.LineBytes();
    m_lines = 0;
    const char* magic = format.bitsPerPixel == 1 ? "P4" : format.bitsPerPixel == 8 ? "P5" : "P6";
    int at = 0;
    std::fprintf(m_file, "%s\n%ld %n%*s\n", magic, static_cast<long>(format.width), &at, kHeightDigits, "");
    m_heightAt = at;
    if (format.bitsPerPixel != 1)
        std::fputs("255\n", m_file);
    if (std::ferror(m_file)) {
        Abandon();
        return false;
    }
    return true;
}

bool NetpbmWriter::Write(const BYTE* lines, size_t count)
{
    if (!m_file || std::fwrite(lines, m_lineBytes, count, m_file) != count)
        return false;
    m_lines += static_cast<long>(count);
    return true;
}

bool NetpbmWriter::Finish()
{
    if (!m_file)
        return false;
    const bool written = m_lines > 0 && std::fseek(m_file, m_heightAt, SEEK_SET) == 0 &&
                         std::fprintf(m_file, "%*ld", kHeightDigits, m_lines) == kHeightDigits;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (written && closed && std::rename((m_path + ".part").c_str(), m_path.c_str()) == 0)
        return true;
    std::remove((m_path + ".part").c_str());
    return false;
}

void NetpbmWriter::Abandon()
{
    if (!m_file)
        return;
    std::fclose(m_file);
    m_file = nullptr;
    std::remove((m_path + ".part").c_str());
}

} // namespace scan
