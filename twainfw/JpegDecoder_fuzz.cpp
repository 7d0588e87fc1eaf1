// Decodes whatever the fuzzer makes up with options it also chooses: every
// input must end in a bitmap or a clean failure with its text, never in a
// crash, a read past the data or a block left behind.
//
// Input: four bytes of options, then the JPEG stream held in global memory.
//   byte 0: bit 0 gray output, bit 1 scaled, bit 2 quantized, bit 3 DCT
//           method, bit 4 no fancy upsampling, bit 5 no block smoothing,
//           bit 6 bottom-up rows, bit 7 bare pixels instead of a DIB
//   byte 1: scale denominator (bits 0-1: 1, 2, 4, 8), dither mode (bits
//           2-3), two-pass quantizing (bit 4), blue-green-red (bit 5), keep
//           markers (bit 6), a pass callback (bit 7)
//   byte 2: colours to quantize to (byte + 2)
//   byte 3: 0 for one stream; else the stream is a tables-only stream of
//           byte x 4 bytes followed by the abbreviated image stream
#include "twainfw/JpegDecoder.h"

#include "platform/ui/UiScript.h"

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace Trellis;

namespace {

// Decoding larger images only spends time and memory the fuzzer's limits
// count as failures.
constexpr unsigned long kMaxPixels = 1u << 20;

struct HeaderError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// The image's size as the library reads it from the stream (0 when it
// cannot): tables first, when the stream comes in two parts.
unsigned long Pixels(const std::uint8_t* tables, std::size_t tablesSize, const std::uint8_t* image,
                     std::size_t imageSize)
{
    jpeg_decompress_struct cinfo;
    HeaderError error;
    cinfo.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = [](j_common_ptr common) {
        std::longjmp(reinterpret_cast<HeaderError*>(common->err)->jump, 1);
    };
    error.pub.emit_message = [](j_common_ptr, int) {};
    jpeg_create_decompress(&cinfo);
    volatile unsigned long pixels = 0;
    if (setjmp(error.jump) == 0) {
        if (tablesSize > 0) {
            jpeg_mem_src(&cinfo, const_cast<std::uint8_t*>(tables), static_cast<unsigned long>(tablesSize));
            jpeg_read_header(&cinfo, FALSE);
        }
        jpeg_mem_src(&cinfo, const_cast<std::uint8_t*>(image), static_cast<unsigned long>(imageSize));
        if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK)
            pixels = static_cast<unsigned long>(cinfo.image_width) * cinfo.image_height;
    }
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}

HGLOBAL Block(const std::uint8_t* data, std::size_t size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (block && size > 0) {
        std::memcpy(GlobalLock(block), data, size);
        GlobalUnlock(block);
    }
    return block;
}

JpegOptions Options(const std::uint8_t* bytes)
{
    JpegOptions options;
    options.flags = JPEG_OPTION_FANCY_UPSAMPLING | JPEG_OPTION_BLOCK_SMOOTHING | JPEG_OPTION_ROW_ORDER;
    if (bytes[0] & 0x01) {
        options.flags |= JPEG_OPTION_COLORSPACE;
        options.outColorSpace = JPEG_COLORSPACE_GRAY;
    }
    if (bytes[0] & 0x02) {
        options.flags |= JPEG_OPTION_SCALE;
        options.scaleDenominator = 1u << (bytes[1] & 3);
    }
    if (bytes[0] & 0x04) {
        options.flags |= JPEG_OPTION_QUANTIZE;
        options.quantize = 1;
        options.desiredColors = bytes[2] + 2u;
        options.ditherMode = (bytes[1] >> 2) & 3;
        options.twoPassQuantize = (bytes[1] & 0x10) ? TRUE : FALSE;
    }
    if (bytes[0] & 0x08) {
        options.flags |= JPEG_OPTION_DCT_METHOD;
        options.dctMethod = bytes[2] % 3;
    }
    options.fancyUpsampling = (bytes[0] & 0x10) ? 0 : 1;
    options.blockSmoothing = (bytes[0] & 0x20) ? 0 : 1;
    options.flipRows = (bytes[0] & 0x40) ? 1 : 0;
    options.swapRedBlue = (bytes[1] & 0x20) ? 1 : 0;
    return options;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const JpegWarningHandler quiet = SetJpegWarningHandler([](const char*) {});
    (void)quiet;
    if (size < 4)
        return 0;
    const std::uint8_t* settings = data;
    const std::size_t tablesSize = std::min<std::size_t>(settings[3] * 4u, size - 4);
    const std::uint8_t* tables = data + 4;
    const std::uint8_t* image = tables + tablesSize;
    const std::size_t imageSize = size - 4 - tablesSize;
    if (Pixels(tables, tablesSize, image, imageSize) > kMaxPixels)
        return 0;

    const JpegOptions options = Options(settings);
    JpegInfo info;
    info.saveMarkers = (settings[1] & 0x40) ? TRUE : FALSE;
    HGLOBAL tablesBlock = tablesSize > 0 ? Block(tables, tablesSize) : nullptr;
    HGLOBAL imageBlock = Block(image, imageSize);
    HGLOBAL output = nullptr;
    char error[80];
    const int outputKind = (settings[0] & 0x80) ? JPEG_OUTPUT_PIXELS : JPEG_OUTPUT_DIB;
    // A progressive image stops after its second pass.
    JpegPassCallback pass = (settings[1] & 0x80) ? [](int number) { return number < 2 ? 1 : 0; } : nullptr;
    JpegProgressCallback progress = [](int percent) {
        if (percent < 0 || percent > 100)
            __builtin_trap();
        return 1;
    };
    // A processor fault inside the library is a finding: its "Try to
    // debug?" box is answered Yes, which throws the fault on.
    plat::ui::ScriptMessageBoxAnswer(IDYES);
    if (tablesBlock)
        DecodeJpegToDib(&tablesBlock, &imageBlock, JPEG_INPUT_TABLES_MEMORY, &output, outputKind, &options, &info,
                        progress, pass, error, sizeof error);
    else
        DecodeJpegToDib(&imageBlock, nullptr, JPEG_INPUT_MEMORY, &output, outputKind, &options, &info, progress, pass,
                        error, sizeof error);
    plat::ui::ResetUiScript();

    for (HGLOBAL block : {output, info.palette, info.markers, tablesBlock, imageBlock})
        if (block)
            GlobalFree(block);
    return 0;
}
