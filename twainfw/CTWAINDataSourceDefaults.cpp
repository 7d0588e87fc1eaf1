// The base bodies of the operations around image transfers, extended image
// information, palettes and the data types the framework does not support,
// and of the notifications and settings operations. A device class or a
// later layer of the framework replaces them.
#include "twainfw/CTWAINDataSource.h"

#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINText.h"

#include <cstring>

namespace Trellis {

// ---- acquisition ----

bool CTWAINDataSource::BeginAcquisition(TW_IMAGEINFO* imageInfo)
{
    m_XferBlockCounter = 0;
    *imageInfo = TW_IMAGEINFO{};
    imageInfo->XResolution = FloatToFix32(GetXResolutionCurrent());
    imageInfo->YResolution = FloatToFix32(GetYResolutionCurrent());

    if (IsCapSupported(ICAP_UNDEFINEDIMAGESIZE) && GetUndefinedImageSizeCurrent()) {
        imageInfo->ImageWidth = -1;
        imageInfo->ImageLength = -1;
    } else {
        CTWAINFrame pixels = GetFramesCurrent().ConvertUnits(GetUnitsCurrent(), TWUN_PIXELS, GetXResolutionValue(),
                                                             GetYResolutionValue());
        imageInfo->ImageWidth = static_cast<TW_INT32>(Fix32ToFloat(pixels.Right) - Fix32ToFloat(pixels.Left));
        imageInfo->ImageLength = static_cast<TW_INT32>(Fix32ToFloat(pixels.Bottom) - Fix32ToFloat(pixels.Top));
    }

    const TW_UINT16 pixelType = GetPixelTypeCurrent();
    const TW_UINT16 bitDepth = GetBitDepthCurrent();
    const int samples = GetSamplesPerPixel(pixelType);
    imageInfo->PixelType = static_cast<TW_INT16>(pixelType);
    imageInfo->SamplesPerPixel = static_cast<TW_INT16>(samples);
    for (int i = 0; i < samples && i < 8; ++i)
        imageInfo->BitsPerSample[i] = static_cast<TW_INT16>(bitDepth / samples);
    imageInfo->BitsPerPixel = static_cast<TW_INT16>(bitDepth);
    imageInfo->Planar = GetPlanarChunkyCurrent() == TWPC_PLANAR ? 1 : 0;
    imageInfo->Compression = GetCompressionCurrent();

    switch (GetXferMechCurrent()) {
    case TWSX_NATIVE:
        return CheckNativeXfer();
    case TWSX_FILE:
        return CheckFileXfer();
    case TWSX_MEMORY:
        return CheckMemoryXfer(&m_SetupMemXfer);
    default:
        return false;
    }
}

bool CTWAINDataSource::CheckFileXfer()
{
    return true;
}

bool CTWAINDataSource::CheckMemoryXfer(TW_SETUPMEMXFER*)
{
    return true;
}

bool CTWAINDataSource::CheckNativeXfer()
{
    return true;
}

// The transfers themselves are not part of the framework yet.
TW_HANDLE CTWAINDataSource::BuildNativeImage()
{
    ThrowFailure(TWCC_BADPROTOCOL);
}

bool CTWAINDataSource::TransferMemory(TW_IMAGEMEMXFER*, TW_INT32)
{
    ThrowFailure(TWCC_BADPROTOCOL);
}

TW_HANDLE CTWAINDataSource::TransferNative()
{
    return BuildNativeImage();
}

void CTWAINDataSource::TransferFile()
{
    ThrowFailure(TWCC_BADPROTOCOL);
}

bool CTWAINDataSource::DecodeJPEGToBitmap(const std::string&, TW_HANDLE*, int (*)(int), std::string& error)
{
    error = "JPEG decoding is not available.";
    return false;
}

// ---- extended image information: nothing known ----

void CTWAINDataSource::BeginExtImageInfo(TW_UINT32) {}

bool CTWAINDataSource::HandleExtImageInfoItem(TW_INFO&)
{
    return false;
}

bool CTWAINDataSource::GetOtherExtImageInfoItem(TW_INFO&)
{
    return false;
}

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

// ---- data types the framework does not support ----

TW_CIECOLOR CTWAINDataSource::GetCIEColor()
{
    ThrowFailure(TWCC_BADPROTOCOL);
}

void CTWAINDataSource::ResetGrayResponse(TW_GRAYRESPONSE*)
{
    ThrowFailure(TWCC_BADPROTOCOL);
}

void CTWAINDataSource::SetGrayResponse(const TW_GRAYRESPONSE*)
{
    ThrowFailure(TWCC_BADPROTOCOL);
}

void CTWAINDataSource::ResetRGBResponse(TW_RGBRESPONSE*)
{
    ThrowFailure(TWCC_BADPROTOCOL);
}

void CTWAINDataSource::SetRGBResponse(const TW_RGBRESPONSE*)
{
    ThrowFailure(TWCC_BADPROTOCOL);
}

TW_JPEGCOMPRESSION CTWAINDataSource::GetJPEGCompression()
{
    ThrowFailure(TWCC_BADPROTOCOL);
}

TW_JPEGCOMPRESSION CTWAINDataSource::GetDefaultJPEGCompression()
{
    ThrowFailure(TWCC_BADPROTOCOL);
}

TW_JPEGCOMPRESSION CTWAINDataSource::ResetJPEGCompression()
{
    ThrowFailure(TWCC_BADPROTOCOL);
}

void CTWAINDataSource::SetJPEGCompression(const TW_JPEGCOMPRESSION&)
{
    ThrowFailure(TWCC_BADPROTOCOL);
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
    TW_UINT16 pixelType = GetPixelTypeCurrent();
    if (pixelType != TWPT_BW && pixelType != TWPT_GRAY)
        ThrowFailure(TWCC_BADVALUE);
    return TW_PALETTE8{};
}

TW_PALETTE8 CTWAINDataSource::ResetPalette8()
{
    TW_PALETTE8 palette = GetDefaultPalette8();
    if (GetPixelTypeCurrent() == TWPT_BW)
        m_PaletteBW = palette;
    else
        m_PaletteGray = palette;
    return palette;
}

// ---- notifications ----

void CTWAINDataSource::SignalXferReady()
{
    if (!BeginAcquisition(&m_ImageInfo))
        return;
    SetState(6);
}

void CTWAINDataSource::SignalCloseDSOK()
{
    SetState(5);
}

void CTWAINDataSource::SignalCloseDSRequest()
{
    SetState(5);
}

// ---- settings ----

HKEY CTWAINDataSource::GetRegistryRoot()
{
    return HKEY_CURRENT_USER;
}

std::string CTWAINDataSource::GetRegistryPath()
{
    TW_IDENTITY identity = GetIdentity();
    auto text = [](const TW_STR32& field) { return std::string(field, strnlen(field, sizeof(TW_STR32))); };
    return "SOFTWARE\\" + text(identity.Manufacturer) + "\\" + text(identity.ProductName) + "\\" +
           VersionToString(identity.Version);
}

bool CTWAINDataSource::SaveConfigurationToRegistry()
{
    return false;
}

bool CTWAINDataSource::LoadConfigurationFromRegistry()
{
    return false;
}

TW_HANDLE CTWAINDataSource::GetDSDataBlock()
{
    return nullptr;
}

void CTWAINDataSource::SetDSDataBlock(TW_HANDLE)
{
    ThrowFailure(TWCC_BADVALUE);
}

} // namespace Trellis
