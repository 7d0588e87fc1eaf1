#include "tools/twainscan/TiffPageWriter.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace twainscan {

namespace {

// Bytes a strip aims at: a strip goes to the file in one write, so
// libtiff's default (8 KiB, a row of a colour page) costs a write per row;
// a strip this size is still small beside a page.
constexpr size_t kStripBytes = 256 * 1024;

std::uint32_t RowsPerStrip(size_t rowBytes)
{
    return static_cast<std::uint32_t>(std::max<size_t>(1, kStripBytes / rowBytes));
}

} // namespace

bool TiffPageWriter::Open(const PageFormat& format)
{
    Abandon();
    if (format.width == 0 || (format.bitsPerPixel != 1 && format.bitsPerPixel != 8 && format.bitsPerPixel != 24))
        return false;
    std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(PartPath().c_str(), "w"), &TIFFClose);
    m_failed = !tiff;
    if (!tiff)
        return false;
    TIFF* t = tiff.get();
    const bool colour = format.bitsPerPixel == 24;
    // No length yet: each row written extends the image, so the file holds
    // exactly the rows that came.
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, format.width);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, colour ? 3 : 1);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, colour ? 8 : format.bitsPerPixel);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                 colour ? PHOTOMETRIC_RGB : (format.zeroIsWhite ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, format.bitsPerPixel == 1 ? COMPRESSION_CCITTFAX4 : COMPRESSION_NONE);
    const size_t rowBytes = (static_cast<size_t>(format.width) * format.bitsPerPixel + 7) / 8;
    const std::uint32_t rowsPerStrip = RowsPerStrip(rowBytes);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    if (format.xResolution > 0 && format.yResolution > 0) {
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(format.xResolution));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(format.yResolution));
    }
    // libtiff sizes its write buffer by the strips of the image length it
    // knows, none yet here, and then falls back to 8 KiB: a strip's worth
    // makes a write per strip.
    if (TIFFWriteBufferSetup(t, nullptr, static_cast<tmsize_t>(rowBytes * rowsPerStrip)) == 0) {
        tiff.reset();
        std::remove(PartPath().c_str());
        m_failed = true;
        return false;
    }
    m_format = format;
    m_line.assign(rowBytes, 0);
    m_rows = 0;
    m_tiff = std::move(tiff);
    return true;
}

bool TiffPageWriter::WriteRows(const std::uint8_t* rows, size_t stride, size_t count)
{
    if (!m_tiff || stride < m_line.size())
        return false;
    for (size_t i = 0; i < count; ++i) {
        // libtiff may encode in place, so each row goes through the line.
        std::memcpy(m_line.data(), rows + i * stride, m_line.size());
        if (m_format.bgr && m_format.bitsPerPixel == 24) {
            for (size_t x = 0; x + 2 < m_line.size(); x += 3)
                std::swap(m_line[x], m_line[x + 2]);
        }
        if (TIFFWriteScanline(m_tiff.get(), m_line.data(), m_rows, 0) < 0) {
            m_failed = true;
            return false;
        }
        ++m_rows;
    }
    return true;
}

bool TiffPageWriter::Finish()
{
    if (!m_tiff || m_rows == 0)
        return false;
    const bool written = TIFFWriteDirectory(m_tiff.get()) != 0;
    m_tiff.reset();
    if (written && std::rename(PartPath().c_str(), m_path.c_str()) == 0)
        return true;
    std::remove(PartPath().c_str());
    m_failed = true;
    return false;
}

void TiffPageWriter::Abandon()
{
    if (!m_tiff)
        return;
    m_tiff.reset();
    std::remove(PartPath().c_str());
}

} // namespace twainscan
