#include "platform/wia/wiatransfer.h"

#include "platform/base/winerror.h"
#include "platform/wia/wiamindr.h"

#include <cstdint>

namespace {

constexpr LONG kFileHeaderSize = 14;
constexpr LONG kInfoHeaderSize = 40;

LONG PaletteSize(LONG depth)
{
    return depth <= 8 ? (LONG{1} << depth) * 4 : 0;
}

}  // namespace

HRESULT wiasGetImageInformation(BYTE* pWiasContext, LONG lFlags, MINIDRV_TRANSFER_CONTEXT* pmdtc)
{
    if (!pWiasContext || !pmdtc)
        return E_INVALIDARG;
    if (lFlags == WIAS_INIT_CONTEXT) {
        *pmdtc = MINIDRV_TRANSFER_CONTEXT{};
        pmdtc->lSize = sizeof(MINIDRV_TRANSFER_CONTEXT);
    }
    struct {
        PROPID id;
        LONG* target;
    } longs[] = {
        {WIA_IPA_PIXELS_PER_LINE, &pmdtc->lWidthInPixels}, {WIA_IPA_NUMBER_OF_LINES, &pmdtc->lLines},
        {WIA_IPA_DEPTH, &pmdtc->lDepth},                   {WIA_IPS_XRES, &pmdtc->lXRes},
        {WIA_IPS_YRES, &pmdtc->lYRes},                     {WIA_IPA_COMPRESSION, &pmdtc->lCompression},
        {WIA_IPA_TYMED, &pmdtc->tymed},
    };
    for (auto& entry : longs) {
        HRESULT hr = wiasReadPropLong(pWiasContext, entry.id, entry.target, nullptr, TRUE);
        if (FAILED(hr))
            return hr;
    }
    HRESULT hr = wiasReadPropGuid(pWiasContext, WIA_IPA_FORMAT, &pmdtc->guidFormatID, nullptr, TRUE);
    if (FAILED(hr))
        return hr;
    if (pmdtc->lWidthInPixels < 0 || pmdtc->lLines < 0 || pmdtc->lDepth <= 0 || pmdtc->lDepth > 64)
        return E_INVALIDARG;

    std::int64_t lineBits = std::int64_t{pmdtc->lWidthInPixels} * pmdtc->lDepth;
    std::int64_t widthInBytes = (lineBits + 31) / 32 * 4;
    std::int64_t headerSize = 0;
    if (pmdtc->guidFormatID == WiaImgFmt_BMP || pmdtc->guidFormatID == WiaImgFmt_MEMORYBMP)
        headerSize = kInfoHeaderSize + PaletteSize(pmdtc->lDepth);
    if (pmdtc->guidFormatID == WiaImgFmt_BMP)
        headerSize += kFileHeaderSize;
    std::int64_t imageSize = widthInBytes * pmdtc->lLines;
    if (imageSize + headerSize > INT32_MAX)
        return E_INVALIDARG;
    pmdtc->cbWidthInBytes = static_cast<LONG>(widthInBytes);
    pmdtc->lImageSize = static_cast<LONG>(imageSize);
    pmdtc->lHeaderSize = static_cast<LONG>(headerSize);
    pmdtc->lItemSize = static_cast<LONG>(imageSize + headerSize);
    return S_OK;
}
