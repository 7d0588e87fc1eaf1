// The image-data triplets the framework answers beyond the dispatcher's
// own switch: extended image information, with the framework's bodies of
// its item accessors; the kept palettes; and the hand-off of a JPEG file to
// the decoding front end.
#include "twainfw/CTWAINDataSource.h"

#include "twainfw/JpegDecoder.h"
#include "twainfw/TWAINMemory.h"

#include <algorithm>
#include <cstring>

namespace Trellis {

namespace {

// The barcode ids whose records are numbered 1, 2, 3 in request order.
constexpr TW_UINT16 kNumberedIds[] = {
    TWEI_BARCODEX,          TWEI_BARCODEY,        TWEI_BARCODETEXT,       TWEI_BARCODETYPE,
    TWEI_BARCODECONFIDENCE, TWEI_BARCODEROTATION, TWEI_BARCODETEXTLENGTH,
};

size_t NumberedIndex(TW_UINT16 id)
{
    return static_cast<size_t>(std::find(std::begin(kNumberedIds), std::end(kNumberedIds), id) -
                               std::begin(kNumberedIds));
}

constexpr size_t kNumberedCount = std::size(kNumberedIds);

// A 32-bit item and its condition: a refused item carries nothing.
void AnswerUInt32(TW_INFO& info, TW_UINT32 value, TW_UINT16 returnCode)
{
    info.ItemType = TWTY_UINT32;
    info.NumItems = 1;
    info.ReturnCode = returnCode;
    info.Item = value;
    if (returnCode != TWRC_SUCCESS) {
        info.NumItems = 0;
        info.Item = 0;
    }
}

} // namespace

// ---- DAT_EXTIMAGEINFO ----

void CTWAINDataSource::OnExtImageInfo(TW_UINT16 msg, TW_EXTIMAGEINFO* request)
{
    if (msg != MSG_GET) {
        EndExtImageInfo();
        ThrowBadProtocol();
    }
    // Only after the image's transfer, while the source is still in 7.
    if (m_State != 7 || !IsXferDone()) {
        EndExtImageInfo();
        ThrowFailure(TWCC_SEQERROR);
    }

    // The records follow one another past the one the record type declares.
    TW_INFO* infos = request->Info;
    const TW_UINT32 count = request->NumInfos;

    TW_UINT32 perId[kNumberedCount] = {};
    TW_UINT32 largest = 0;
    for (TW_UINT32 i = 0; i < count; ++i) {
        const TW_UINT16 id = infos[i].InfoID;
        if (id == TWEI_BARCODECOUNT)
            largest = std::max(largest, static_cast<TW_UINT32>(infos[i].Item));
        const size_t index = NumberedIndex(id);
        if (index < kNumberedCount)
            largest = std::max(largest, ++perId[index]);
    }
    BeginExtImageInfo(largest);

    try {
        TW_UINT32 numbers[kNumberedCount] = {};
        TW_INFO* countRecord = nullptr;
        for (TW_UINT32 i = 0; i < count; ++i) {
            TW_INFO& info = infos[i];
            // A record's number is its place among the records of its id,
            // whoever answers it.
            const size_t index = NumberedIndex(info.InfoID);
            const TW_UINT32 number = index < kNumberedCount ? ++numbers[index] : 0;
            if (HandleExtImageInfoItem(info))
                continue;
            TW_UINT16 returnCode = TWRC_SUCCESS;
            // The accessor runs before its condition is read.
            auto answer = [&](TW_UINT32 value) { AnswerUInt32(info, value, returnCode); };
            switch (info.InfoID) {
            case TWEI_BARCODEX:
                answer(GetBarcodeX(number, returnCode));
                break;
            case TWEI_BARCODEY:
                answer(GetBarcodeY(number, returnCode));
                break;
            case TWEI_BARCODETYPE:
                answer(GetBarcodeType(number, returnCode));
                break;
            case TWEI_BARCODECONFIDENCE:
                answer(GetBarcodeConfidence(number, returnCode));
                break;
            case TWEI_BARCODEROTATION:
                answer(GetBarcodeRotation(number, returnCode));
                break;
            case TWEI_BARCODETEXTLENGTH:
                answer(GetBarcodeTextLength(number, returnCode));
                break;
            case TWEI_PATCHCODE:
                answer(GetPatchCode(returnCode));
                break;
            case TWEI_BARCODETEXT: {
                info.ItemType = TWTY_STR255;
                info.NumItems = 1;
                info.Item = 0;
                TW_HANDLE block = TWAINAllocHandle(256);
                if (!block)
                    ThrowFailure(TWCC_LOWMEMORY);
                try {
                    std::string text = GetBarcodeText(number, returnCode);
                    info.ReturnCode = returnCode;
                    if (returnCode != TWRC_SUCCESS) {
                        TWAINFreeHandle(block);
                        info.NumItems = 0;
                        break;
                    }
                    text = text.substr(0, 255);
                    CTWAINHandleLock lock(block);
                    if (!lock.Data())
                        ThrowFailure(TWCC_LOWMEMORY);
                    std::memcpy(lock.Data(), text.c_str(), text.size() + 1);
                } catch (...) {
                    TWAINFreeHandle(block);
                    throw;
                }
                info.Item = reinterpret_cast<TW_UINTPTR>(block);
                break;
            }
            case TWEI_BARCODECOUNT:
                countRecord = &info; // answered last
                break;
            default:
                if (!GetOtherExtImageInfoItem(info)) {
                    info.NumItems = 0;
                    info.ReturnCode = TWRC_INFONOTSUPPORTED;
                }
                break;
            }
        }
        if (countRecord) {
            TW_UINT16 returnCode = TWRC_SUCCESS;
            const TW_UINT32 barcodes = GetBarcodeCount(returnCode);
            countRecord->NumItems = 1;
            countRecord->ItemType = TWTY_UINT32;
            countRecord->Item = barcodes;
            countRecord->ReturnCode = returnCode;
        }
    } catch (...) {
        EndExtImageInfo();
        throw;
    }
    EndExtImageInfo();
}

// ---- extended image information: nothing known ----

void CTWAINDataSource::BeginExtImageInfo(TW_UINT32) {}

bool CTWAINDataSource::HandleExtImageInfoItem(TW_INFO&) { return false; }

bool CTWAINDataSource::GetOtherExtImageInfoItem(TW_INFO&) { return false; }

void CTWAINDataSource::EndExtImageInfo() {}

TW_UINT32 CTWAINDataSource::GetBarcodeConfidence(TW_UINT32, TW_UINT16& returnCode)
{
    returnCode = TWRC_INFONOTSUPPORTED;
    return 0;
}

TW_UINT32 CTWAINDataSource::GetBarcodeCount(TW_UINT16& returnCode)
{
    returnCode = TWRC_INFONOTSUPPORTED;
    return 0;
}

TW_UINT32 CTWAINDataSource::GetBarcodeRotation(TW_UINT32, TW_UINT16& returnCode)
{
    returnCode = TWRC_INFONOTSUPPORTED;
    return TWBCOR_ROTX;
}

std::string CTWAINDataSource::GetBarcodeText(TW_UINT32, TW_UINT16& returnCode)
{
    returnCode = TWRC_INFONOTSUPPORTED;
    return std::string();
}

TW_UINT32 CTWAINDataSource::GetBarcodeTextLength(TW_UINT32, TW_UINT16& returnCode)
{
    returnCode = TWRC_INFONOTSUPPORTED;
    return 0;
}

TW_UINT32 CTWAINDataSource::GetBarcodeType(TW_UINT32, TW_UINT16& returnCode)
{
    returnCode = TWRC_INFONOTSUPPORTED;
    return 0;
}

TW_UINT32 CTWAINDataSource::GetBarcodeX(TW_UINT32, TW_UINT16& returnCode)
{
    returnCode = TWRC_INFONOTSUPPORTED;
    return 0;
}

TW_UINT32 CTWAINDataSource::GetBarcodeY(TW_UINT32, TW_UINT16& returnCode)
{
    returnCode = TWRC_INFONOTSUPPORTED;
    return 0;
}

TW_UINT32 CTWAINDataSource::GetPatchCode(TW_UINT16& returnCode)
{
    returnCode = TWRC_INFONOTSUPPORTED;
    return 0;
}

// ---- palettes: one kept for black-and-white and one for grey ----

TW_PALETTE8 CTWAINDataSource::GetPalette8()
{
    switch (GetPixelTypeCurrent()) {
    case TWPT_BW:
        return m_PaletteBW;
    case TWPT_GRAY:
        return m_PaletteGray;
    default:
        ThrowFailure(TWCC_BADVALUE);
    }
}

TW_PALETTE8 CTWAINDataSource::GetDefaultPalette8()
{
    const TW_UINT16 pixelType = GetPixelTypeCurrent();
    if (pixelType != TWPT_BW && pixelType != TWPT_GRAY)
        ThrowFailure(TWCC_BADVALUE);
    return TW_PALETTE8{};
}

TW_PALETTE8 CTWAINDataSource::ResetPalette8()
{
    const TW_PALETTE8 palette = GetDefaultPalette8();
    if (GetPixelTypeCurrent() == TWPT_BW)
        m_PaletteBW = palette;
    else
        m_PaletteGray = palette;
    return palette;
}

// ---- JPEG hand-off ----

bool CTWAINDataSource::DecodeJPEGToBitmap(const std::string& path, TW_HANDLE* bitmap, int (*progress)(int),
                                          std::string& error)
{
    char errorText[512] = {};
    JpegOptions options{};
    options.flags = JPEG_OPTION_ROW_ORDER;
    // Memory transfers keep the decoder's top-down RGB rows; the other
    // mechanisms get bitmaps as bitmaps keep them.
    const TW_UINT16 xferMech = GetXferMechCurrent();
    const BYTE bitmapOrder = xferMech != TWSX_MEMORY ? 1 : 0;
    options.flipRows = bitmapOrder;
    options.swapRedBlue = bitmapOrder;

    int result = 0;
    if (xferMech == TWSX_FILE) {
        const TW_SETUPFILEXFER setup = GetSetupFileXfer();
        const std::string bmpPath(setup.FileName, strnlen(setup.FileName, sizeof(setup.FileName)));
        result =
            JpegFileToBmpFile(path.c_str(), bmpPath.c_str(), &options, progress, nullptr, errorText, sizeof(errorText));
    } else {
        // A fresh place: the front end frees a block it finds there.
        HGLOBAL dib = nullptr;
        result = JpegFileToDib(path.c_str(), &dib, &options, progress, nullptr, errorText, sizeof(errorText));
        if (result && bitmap) {
            *bitmap = TWAINHandleFromGlobal(dib);
            if (!*bitmap) {
                std::strcpy(errorText, "Not enough free memory for operation");
                result = 0;
            }
        }
        if (dib)
            GlobalFree(dib);
    }
    if (!result) {
        errorText[sizeof(errorText) - 1] = '\0';
        error = errorText;
        return false;
    }
    return true;
}

} // namespace Trellis
