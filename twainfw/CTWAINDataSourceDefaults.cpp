// The base bodies of the operations around image transfers, extended image
// information, palettes and the data types the framework does not support.
// A device class or a later layer of the framework replaces them.
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

bool CTWAINDataSource::CheckFileXfer() { return true; }

bool CTWAINDataSource::CheckMemoryXfer(TW_SETUPMEMXFER*) { return true; }

bool CTWAINDataSource::CheckNativeXfer() { return true; }

// ---- data types the framework does not support ----

TW_CIECOLOR CTWAINDataSource::GetCIEColor() { ThrowFailure(TWCC_BADPROTOCOL); }

void CTWAINDataSource::ResetGrayResponse(TW_GRAYRESPONSE*) { ThrowFailure(TWCC_BADPROTOCOL); }

void CTWAINDataSource::SetGrayResponse(const TW_GRAYRESPONSE*) { ThrowFailure(TWCC_BADPROTOCOL); }

void CTWAINDataSource::ResetRGBResponse(TW_RGBRESPONSE*) { ThrowFailure(TWCC_BADPROTOCOL); }

void CTWAINDataSource::SetRGBResponse(const TW_RGBRESPONSE*) { ThrowFailure(TWCC_BADPROTOCOL); }

TW_JPEGCOMPRESSION CTWAINDataSource::GetJPEGCompression() { ThrowFailure(TWCC_BADPROTOCOL); }

TW_JPEGCOMPRESSION CTWAINDataSource::GetDefaultJPEGCompression() { ThrowFailure(TWCC_BADPROTOCOL); }

TW_JPEGCOMPRESSION CTWAINDataSource::ResetJPEGCompression() { ThrowFailure(TWCC_BADPROTOCOL); }

void CTWAINDataSource::SetJPEGCompression(const TW_JPEGCOMPRESSION&) { ThrowFailure(TWCC_BADPROTOCOL); }

} // namespace Trellis
