#include "platform/wia/wiatransfer.h"

#include "platform/base/winerror.h"
#include "platform/wia/wiamindr.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr LONG kFileHeaderSize = sizeof(BITMAPFILEHEADER);
constexpr LONG kInfoHeaderSize = sizeof(BITMAPINFOHEADER);

LONG PaletteEntries(LONG depth) { return depth <= 8 ? LONG{1} << depth : 0; }

bool IsBitmap(const GUID& format) { return format == WiaImgFmt_BMP || format == WiaImgFmt_MEMORYBMP; }

// The context's transfer description from the item's properties.
HRESULT ReadContextFromItem(BYTE* pWiasContext, MINIDRV_TRANSFER_CONTEXT* pmdtc)
{
    *pmdtc = MINIDRV_TRANSFER_CONTEXT{};
    pmdtc->lSize = sizeof(MINIDRV_TRANSFER_CONTEXT);
    struct {
        PROPID id;
        LONG* target;
    } longs[] = {
        {WIA_IPA_PIXELS_PER_LINE, &pmdtc->lWidthInPixels},
        {WIA_IPA_NUMBER_OF_LINES, &pmdtc->lLines},
        {WIA_IPA_DEPTH, &pmdtc->lDepth},
        {WIA_IPS_XRES, &pmdtc->lXRes},
        {WIA_IPS_YRES, &pmdtc->lYRes},
        {WIA_IPA_COMPRESSION, &pmdtc->lCompression},
        {WIA_IPA_TYMED, &pmdtc->tymed},
    };
    for (auto& entry : longs) {
        HRESULT hr = wiasReadPropLong(pWiasContext, entry.id, entry.target, nullptr, TRUE);
        if (FAILED(hr))
            return hr;
    }
    return wiasReadPropGuid(pWiasContext, WIA_IPA_FORMAT, &pmdtc->guidFormatID, nullptr, TRUE);
}

// The bitmap header of the context's image at the start of its buffer.
void WriteBitmapHeader(const MINIDRV_TRANSFER_CONTEXT& context)
{
    BYTE* out = context.pTransferBuffer;
    if (context.guidFormatID == WiaImgFmt_BMP) {
        BITMAPFILEHEADER file{};
        file.bfType = kBitmapFileType;
        file.bfSize = static_cast<DWORD>(context.lItemSize);
        file.bfOffBits = static_cast<DWORD>(context.lHeaderSize);
        std::memcpy(out, &file, sizeof file);
        out += sizeof file;
    }
    const LONG entries = PaletteEntries(context.lDepth);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = context.lWidthInPixels;
    info.biHeight = context.lLines; // positive: the last line comes first
    info.biPlanes = 1;
    info.biBitCount = static_cast<WORD>(context.lDepth);
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(context.lImageSize);
    info.biClrUsed = static_cast<DWORD>(entries);
    std::memcpy(out, &info, sizeof info);
    out += sizeof info;
    for (LONG i = 0; i < entries; ++i) {
        const BYTE level = static_cast<BYTE>(i * 255 / (entries - 1));
        const RGBQUAD entry{level, level, level, 0};
        std::memcpy(out, &entry, sizeof entry);
        out += sizeof entry;
    }
}

} // namespace

HRESULT wiasGetImageInformation(BYTE* pWiasContext, LONG lFlags, MINIDRV_TRANSFER_CONTEXT* pmdtc)
{
    if (!pWiasContext || !pmdtc)
        return E_INVALIDARG;
    if (lFlags == WIAS_INIT_CONTEXT) {
        HRESULT hr = ReadContextFromItem(pWiasContext, pmdtc);
        if (FAILED(hr))
            return hr;
    }
    if (pmdtc->lWidthInPixels < 0 || pmdtc->lLines < 0 || pmdtc->lDepth <= 0 || pmdtc->lDepth > 64)
        return E_INVALIDARG;

    std::int64_t lineBits = std::int64_t{pmdtc->lWidthInPixels} * pmdtc->lDepth;
    std::int64_t widthInBytes = (lineBits + 31) / 32 * 4;
    std::int64_t headerSize = 0;
    if (IsBitmap(pmdtc->guidFormatID))
        headerSize = kInfoHeaderSize + PaletteEntries(pmdtc->lDepth) * std::int64_t{sizeof(RGBQUAD)};
    if (pmdtc->guidFormatID == WiaImgFmt_BMP)
        headerSize += kFileHeaderSize;
    std::int64_t imageSize = widthInBytes * pmdtc->lLines;
    if (imageSize + headerSize > INT32_MAX)
        return E_INVALIDARG;
    if (pmdtc->pTransferBuffer && headerSize > 0 && pmdtc->lBufferSize < headerSize)
        return E_INVALIDARG;
    pmdtc->cbWidthInBytes = static_cast<LONG>(widthInBytes);
    pmdtc->lImageSize = static_cast<LONG>(imageSize);
    pmdtc->lHeaderSize = static_cast<LONG>(headerSize);
    pmdtc->lItemSize = static_cast<LONG>(imageSize + headerSize);
    if (pmdtc->pTransferBuffer && IsBitmap(pmdtc->guidFormatID))
        WriteBitmapHeader(*pmdtc);
    return S_OK;
}
