// Thin wrappers of the TWAIN records the framework fills itself.
#pragma once

#include "platform/twain/twain.h"
#include "twainfw/CTWAINFrame.h"

#include <string>

namespace Trellis {

// What a data source says about itself; CTWAINIdentity::Assign makes the
// TW_IDENTITY of it.
struct TWAINIdentityDescription {
    TW_UINT16 MajorNum = 0;
    TW_UINT16 MinorNum = 0;
    TW_UINT16 Language = 0;
    TW_UINT16 Country = 0;
    const char* Info = "";
    TW_UINT16 ProtocolMajor = 0;
    TW_UINT16 ProtocolMinor = 0;
    TW_UINT32 SupportedGroups = 0;
    const char* Manufacturer = "";
    const char* ProductFamily = "";
    const char* ProductName = "";
};

class CTWAINIdentity : public TW_IDENTITY {
public:
    CTWAINIdentity(); // the framework's default identity

    // Id 0, the numbers copied, each text cut to 32 characters.
    void Assign(const TWAINIdentityDescription& description);
    void SetManufacturer(const std::string& text);
    void SetProductFamily(const std::string& text);
    void SetProductName(const std::string& text);
};

static_assert(sizeof(CTWAINIdentity) == sizeof(TW_IDENTITY));

// "5.0": MajorNum and MinorNum as decimal numbers.
std::string VersionToString(const TW_VERSION& version);

// No resolution, width and length -1, one 1-bit sample, chunky, TWPT_BW,
// no compression. BitsPerSample[0] is left for the transfer to fill.
void InitImageInfo(TW_IMAGEINFO& info);

class CTWAINImageLayout : public TW_IMAGELAYOUT {
public:
    CTWAINImageLayout(const CTWAINFrame& frame, TW_UINT32 documentNumber, TW_UINT32 pageNumber, TW_UINT32 frameNumber);
};

static_assert(sizeof(CTWAINImageLayout) == sizeof(TW_IMAGELAYOUT));

} // namespace Trellis
