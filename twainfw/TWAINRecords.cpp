#include "twainfw/TWAINRecords.h"

#include "twainfw/FixedPoint.h"

#include <cstring>

namespace Trellis {

namespace {

// At most 32 characters and the NUL into a 34-byte TW_STR32.
void CopyStr32(TW_STR32& field, const char* text)
{
    std::memset(field, 0, sizeof field);
    if (!text)
        return;
    size_t n = strnlen(text, 32);
    std::memcpy(field, text, n);
}

} // namespace

void CTWAINIdentity::Assign(const TWAINIdentityDescription& d)
{
    Id = 0;
    Version.MajorNum = d.MajorNum;
    Version.MinorNum = d.MinorNum;
    Version.Language = d.Language;
    Version.Country = d.Country;
    CopyStr32(Version.Info, d.Info);
    ProtocolMajor = d.ProtocolMajor;
    ProtocolMinor = d.ProtocolMinor;
    SupportedGroups = d.SupportedGroups;
    CopyStr32(Manufacturer, d.Manufacturer);
    CopyStr32(ProductFamily, d.ProductFamily);
    CopyStr32(ProductName, d.ProductName);
}

void CTWAINIdentity::SetManufacturer(const std::string& text) { CopyStr32(Manufacturer, text.c_str()); }
void CTWAINIdentity::SetProductFamily(const std::string& text) { CopyStr32(ProductFamily, text.c_str()); }
void CTWAINIdentity::SetProductName(const std::string& text) { CopyStr32(ProductName, text.c_str()); }

std::string VersionToString(const TW_VERSION& version)
{
    return std::to_string(version.MajorNum) + "." + std::to_string(version.MinorNum);
}

void InitImageInfo(TW_IMAGEINFO& info)
{
    info.XResolution = FloatToFix32(0.0f);
    info.YResolution = FloatToFix32(0.0f);
    info.ImageWidth = -1;
    info.ImageLength = -1;
    info.SamplesPerPixel = 1;
    for (int i = 1; i < 8; ++i)
        info.BitsPerSample[i] = 0;
    info.BitsPerPixel = 1;
    info.Planar = 0; // chunky
    info.PixelType = TWPT_BW;
    info.Compression = TWCP_NONE;
}

CTWAINImageLayout::CTWAINImageLayout(const CTWAINFrame& frame, TW_UINT32 documentNumber, TW_UINT32 pageNumber,
                                     TW_UINT32 frameNumber)
    : TW_IMAGELAYOUT{}
{
    Frame = frame;
    DocumentNumber = documentNumber;
    PageNumber = pageNumber;
    FrameNumber = frameNumber;
}

} // namespace Trellis
