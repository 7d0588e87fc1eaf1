// An application's scans through the data source's DS_Entry (see
// ScannerSourceTest.h): capabilities negotiated for a job, each image
// transferred by the job's mechanism and decoded back into lines (native
// images from their DIB, files through libtiff, JPEG through libjpeg), and
// the pages checked against the scanner's pattern.
#pragma once

#include "twainds/testing/ScannerSourceTest.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace qbk24::testing {

struct Job {
    TW_UINT16 xferMech;
    TW_UINT16 pixelType;
    TW_UINT16 bitDepth;
    bool duplex;
    TW_UINT16 compression;
    int sheets;
};

inline std::string Describe(const Job& job)
{
    static const char* const mechs[] = {"native", "file", "memory"};
    return std::string(mechs[job.xferMech]) + ", " + std::to_string(job.bitDepth) + " bit, " +
           (job.duplex ? "duplex" : "simplex") + ", compression " + std::to_string(job.compression);
}

inline std::uint32_t Get32(const BYTE* at)
{
    return at[0] | (std::uint32_t{at[1]} << 8) | (std::uint32_t{at[2]} << 16) | (std::uint32_t{at[3]} << 24);
}

// A native image: a DIB with its rows bottom-up and colour as blue, green, red.
inline ScannedPage FromDib(TW_HANDLE handle)
{
    ScannedPage page;
    Trellis::CTWAINHandleLock lock(handle);
    const BYTE* dib = static_cast<const BYTE*>(lock.Data());
    page.width = static_cast<TW_INT32>(Get32(dib + 4));
    page.height = static_cast<TW_INT32>(Get32(dib + 8));
    page.bitsPerPixel = dib[14] | (dib[15] << 8);
    const size_t palette = page.bitsPerPixel <= 8 ? 4u << page.bitsPerPixel : 0;
    page.stride = (static_cast<size_t>(page.width) * page.bitsPerPixel + 31) / 32 * 4;
    const BYTE* pixels = dib + 40 + palette;
    for (TW_INT32 y = page.height; y-- > 0;) {
        const BYTE* row = pixels + static_cast<size_t>(y) * page.stride;
        const size_t at = page.rows.size();
        page.rows.insert(page.rows.end(), row, row + page.stride);
        if (page.bitsPerPixel == 24) {
            for (TW_INT32 x = 0; x < page.width; ++x)
                std::swap(page.rows[at + 3 * x], page.rows[at + 3 * x + 2]);
        }
    }
    return page;
}

// JPEG data decoded to rows of samples.
inline bool DecodeJpeg(ScannedPage& page)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, page.compressed.data(), static_cast<unsigned long>(page.compressed.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    // Chroma is not blended across blocks: the pattern's green wraps from
    // 255 to 0 between lines 255 and 256.
    info.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&info);
    page.width = static_cast<TW_INT32>(info.output_width);
    page.height = static_cast<TW_INT32>(info.output_height);
    page.bitsPerPixel = 8 * info.output_components;
    page.stride = static_cast<size_t>(info.output_width) * info.output_components;
    page.rows.resize(page.stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = page.rows.data() + info.output_scanline * page.stride;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// A TIFF page read back through libtiff.
inline bool ReadTiff(const std::string& path, ScannedPage& page)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff)
        return false;
    // JPEG pages in colour come as RGB.
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
    if (compression == COMPRESSION_JPEG)
        TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 1;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    page.width = static_cast<TW_INT32>(width);
    page.height = static_cast<TW_INT32>(height);
    page.bitsPerPixel = bits * samples;
    page.stride = static_cast<size_t>(TIFFScanlineSize(tiff));
    page.rows.resize(page.stride * height);
    bool whole = true;
    for (uint32_t y = 0; y < height && whole; ++y)
        whole = TIFFReadScanline(tiff, page.rows.data() + y * page.stride, y) >= 0;
    // libtiff blends chroma across blocks, which the pattern's colour steps
    // do not survive: its JPEG strip is decoded as DecodeJpeg does.
    if (whole && compression == COMPRESSION_JPEG && TIFFNumberOfStrips(tiff) == 1) {
        page.compressed.resize(static_cast<size_t>(TIFFRawStripSize(tiff, 0)));
        whole = TIFFReadRawStrip(tiff, 0, page.compressed.data(), static_cast<tmsize_t>(page.compressed.size())) > 0;
        whole = whole && DecodeJpeg(page);
    }
    TIFFClose(tiff);
    return whole;
}

class AcquisitionTest : public qbk24::testing::ScannerSourceTest {
protected:
    void Negotiate(const Job& job)
    {
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_XFERMECH, Trellis::CTWAINOneValue(job.xferMech))) << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_PIXELTYPE, Trellis::CTWAINOneValue(job.pixelType))) << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_BITDEPTH, Trellis::CTWAINOneValue(job.bitDepth))) << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_COMPRESSION, Trellis::CTWAINOneValue(job.compression))) << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(CAP_DUPLEXENABLED, Trellis::CTWAINOneValue(job.duplex ? 1u : 0u, TWTY_BOOL)))
            << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_XRESOLUTION, Trellis::CTWAINOneValue(100.0f))) << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_YRESOLUTION, Trellis::CTWAINOneValue(100.0f))) << ConditionCode();
        // 2 by 3 inches: 192 by 300 pixels at 100 dpi.
        Trellis::CTWAINFrame frame(0, 0, 2, 3);
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_FRAMES, Trellis::CTWAINOneValue(frame))) << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_EXTIMAGEINFO, Trellis::CTWAINOneValue(1u, TWTY_BOOL))) << ConditionCode();
    }

    // One image by the job's mechanism; the return code of the transfer.
    TW_UINT16 Transfer(const Job& job, ScannedPage& page, TW_UINT32 memoryBuffer = kSmallestMemoryBuffer)
    {
        EXPECT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &page.info));
        if (job.xferMech == TWSX_NATIVE) {
            TW_HANDLE handle = nullptr;
            const TW_UINT16 rc = Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
            if (handle) {
                page = [&] {
                    ScannedPage decoded = FromDib(handle);
                    decoded.info = page.info;
                    return decoded;
                }();
                Trellis::TWAINFreeHandle(handle);
            }
            return rc;
        }
        if (job.xferMech == TWSX_FILE) {
            TW_SETUPFILEXFER setup{};
            const std::string path = m_root.Path() + "/page" + std::to_string(++m_files) + ".tif";
            std::snprintf(setup.FileName, sizeof(setup.FileName), "%s", path.c_str());
            setup.Format = TWFF_TIFF;
            EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup)) << ConditionCode();
            const TW_UINT16 rc = Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
            if (rc == TWRC_XFERDONE) {
                EXPECT_TRUE(ReadTiff(path, page)) << path;
            }
            return rc;
        }
        return MemoryTransfer(page, memoryBuffer, job.compression != TWCP_NONE);
    }

    TW_UINT32 PageNumber()
    {
        TW_EXTIMAGEINFO request{};
        request.NumInfos = 1;
        request.Info[0].InfoID = TWEI_PAGENUMBER;
        EXPECT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, &request));
        return static_cast<TW_UINT32>(request.Info[0].Item);
    }

    // What a job gave the application: its pages and, when a transfer
    // failed, its return code, condition code and the pending count after.
    struct JobRun {
        std::vector<ScannedPage> pages;
        TW_UINT16 failure = TWRC_SUCCESS;
        TW_UINT16 condition = 0;
        TW_UINT16 pendingAfter = 0;
    };

    // Loads the job's sheets and transfers images until none are pending or
    // a transfer fails; the source is disabled again.
    JobRun RunJob(const Job& job, TW_UINT32 memoryBuffer = kSmallestMemoryBuffer)
    {
        Control({"load", std::to_string(job.sheets)});
        EXPECT_EQ(TWRC_SUCCESS, Enable()) << ConditionCode();
        return TransferImages(job, memoryBuffer);
    }

    // The images of the source enabled for the job, until none are pending or
    // a transfer fails; the source is disabled again.
    JobRun TransferImages(const Job& job, TW_UINT32 memoryBuffer = kSmallestMemoryBuffer)
    {
        JobRun run;
        for (TW_PENDINGXFERS pending{1, {0}}; pending.Count != 0 && run.pages.size() < 20;) {
            ScannedPage page;
            const TW_UINT16 rc = Transfer(job, page, memoryBuffer);
            if (rc != TWRC_XFERDONE) {
                run.failure = rc;
                run.condition = ConditionCode();
                EXPECT_EQ(TWRC_SUCCESS, EndXfer(pending));
                run.pendingAfter = pending.Count;
                break;
            }
            page.pageNumber = PageNumber();
            run.pages.push_back(std::move(page));
            EXPECT_EQ(TWRC_SUCCESS, EndXfer(pending));
        }
        Disable();
        return run;
    }

    // Runs the job to its end: every image transferred and ended.
    std::vector<ScannedPage> Scan(const Job& job, TW_UINT32 memoryBuffer = kSmallestMemoryBuffer)
    {
        JobRun run = RunJob(job, memoryBuffer);
        EXPECT_EQ(run.failure, TWRC_SUCCESS) << "image " << run.pages.size() + 1 << ", condition " << run.condition;
        return std::move(run.pages);
    }

    void ExpectPattern(const Job& job, const std::vector<ScannedPage>& pages, double tolerance = 0)
    {
        const size_t sides = job.duplex ? 2 : 1;
        ASSERT_EQ(pages.size(), static_cast<size_t>(job.sheets) * sides);
        for (size_t i = 0; i < pages.size(); ++i) {
            SCOPED_TRACE("page " + std::to_string(i + 1));
            const ScannedPage& page = pages[i];
            EXPECT_EQ(page.pageNumber, i + 1);
            EXPECT_EQ(page.width, 192);
            EXPECT_EQ(page.height, 300);
            EXPECT_EQ(page.bitsPerPixel, job.bitDepth);
            EXPECT_EQ(page.info.ImageWidth, 192);
            EXPECT_EQ(page.info.ImageLength, 300);
            ASSERT_GE(page.rows.size(), page.stride * 300);
            EXPECT_EQ(FirstBadLine(page, static_cast<std::uint32_t>(i / sides), static_cast<std::uint32_t>(i % sides),
                                   tolerance),
                      -1);
        }
    }

    int m_files = 0;
};

} // namespace qbk24::testing
