// The scanner's capability set: the values the framework's set-up hooks fill
// on every opening of the source.
#include "twainds/CQBK24DataSource.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <optional>

using Trellis::CTWAINEnumeration;
using Trellis::CTWAINFrame;
using Trellis::CTWAINOneValue;

namespace {

void AddCode(CTWAINEnumeration& list, TW_UINT16 code, bool currentAndDefault = false)
{
    list.Add(CTWAINOneValue(code), currentAndDefault, currentAndDefault);
}

} // namespace

void CQBK24DataSource::InitPhysicalDimensions(float& minimumWidth, float& minimumHeight, float& physicalWidth,
                                              float& physicalHeight)
{
    minimumWidth = 1.9f;
    minimumHeight = 2.75f;
    physicalWidth = 11.89f;
    physicalHeight = 17.0f;
}

void CQBK24DataSource::InitPixelTypes(CTWAINEnumeration& values)
{
    AddCode(values, TWPT_BW, true);
    AddCode(values, TWPT_GRAY);
    AddCode(values, TWPT_RGB);
}

void CQBK24DataSource::InitBitDepths(TW_UINT16 pixelType, CTWAINEnumeration& values)
{
    switch (pixelType) {
    case TWPT_BW:
        AddCode(values, 1, true);
        break;
    case TWPT_GRAY:
        AddCode(values, 8, true);
        break;
    case TWPT_RGB:
        AddCode(values, 24, true);
        break;
    default:
        break;
    }
}

void CQBK24DataSource::InitPlanarChunky(CTWAINEnumeration& values) { AddCode(values, TWPC_CHUNKY, true); }

void CQBK24DataSource::InitXResolutions(CTWAINEnumeration& values)
{
    for (float dpi : {100.0f, 150.0f, 200.0f, 300.0f, 400.0f, 500.0f, 600.0f})
        values.Add(CTWAINOneValue(dpi), dpi == 200.0f, dpi == 200.0f);
}

void CQBK24DataSource::InitYResolutions(CTWAINEnumeration& values) { InitXResolutions(values); }

void CQBK24DataSource::InitUnits(CTWAINEnumeration& values)
{
    AddCode(values, TWUN_INCHES, true);
    AddCode(values, TWUN_PIXELS);
}

void CQBK24DataSource::InitPixelFlavors(CTWAINEnumeration& values)
{
    AddCode(values, TWPF_CHOCOLATE, true);
    AddCode(values, TWPF_VANILLA);
}

void CQBK24DataSource::InitOrientations(CTWAINEnumeration& values)
{
    AddCode(values, TWOR_PORTRAIT, true);
    AddCode(values, TWOR_LANDSCAPE);
}

// Units and orientations are set up before this, so both can be switched
// while each orientation's list is filled.
void CQBK24DataSource::InitSupportedSizes(CTWAINEnumeration& values)
{
    const TW_UINT16 orientation = GetOrientationCurrent();

    SetOrientationCurrent(TWOR_PORTRAIT);
    AddCode(values, TWSS_NONE);
    FillSupportedSizes(values);

    SetOrientationCurrent(TWOR_LANDSCAPE);
    AddCode(LandscapeSizes.Allowed, TWSS_NONE);
    FillSupportedSizes(LandscapeSizes.Allowed);
    LandscapeSizes.Reset();

    SetOrientationCurrent(orientation);
}

void CQBK24DataSource::FillSupportedSizes(CTWAINEnumeration& values)
{
    const TW_UINT16 units = GetUnitsCurrent();
    SetUnitsCurrent(TWUN_INCHES);

    const float physicalWidth = GetPhysicalWidth();
    const float physicalHeight = GetPhysicalHeight();
    const float minimumWidth = GetMinimumWidth();
    const float minimumHeight = GetMinimumHeight();

    const CTWAINFrame largest = GetOrientationCurrent() == TWOR_LANDSCAPE
                                    ? CTWAINFrame(0, 0, physicalHeight, physicalWidth)
                                    : CTWAINFrame(0, 0, physicalWidth, physicalHeight);
    const CTWAINFrame smallest(0, 0, minimumWidth, minimumHeight);
    auto addWhenItFits = [&](TW_UINT16 code, const CTWAINFrame& frame) {
        if (largest.Contains(frame) && frame.Contains(smallest))
            AddCode(values, code);
    };

    for (TW_UINT16 code = 1; code <= 53; ++code) {
        if (code != 8)
            addWhenItFits(code, Trellis::GetSupportedSizeFrame(code, TWUN_INCHES, 300.0f, 300.0f));
    }
    // A device code without a frame of its own has the empty frame, which
    // never fits.
    for (TW_UINT16 code = 0x8000; code <= 0x8018; ++code)
        addWhenItFits(code, GetCustomSizeFrame(code, TWUN_INCHES, 300.0f, 300.0f));

    if (std::optional<TW_UINT32> letter = values.IndexOf(CTWAINOneValue(static_cast<TW_UINT16>(TWSS_USLETTER)))) {
        values.CurrentIndex = *letter;
        values.DefaultIndex = *letter;
    }
    SetUnitsCurrent(units);
}

// Black-and-white pages may be sent as Group 4, gray and colour ones as JPEG,
// both only when the page goes to a file or to memory.
void CQBK24DataSource::InitCompressions(TW_UINT16 xferMech, CTWAINEnumeration& values)
{
    CTWAINDataSource::InitCompressions(xferMech, values);
    if (xferMech >= std::size(GrayColorCompressions))
        return;
    Trellis::CTWAINEnumPair& grayColor = GrayColorCompressions[xferMech];
    CTWAINDataSource::InitCompressions(xferMech, grayColor.Allowed);
    if (xferMech == TWSX_FILE || xferMech == TWSX_MEMORY) {
        AddCode(values, TWCP_GROUP4);
        AddCode(grayColor.Allowed, TWCP_JPEG);
    }
    grayColor.Reset();
}

// After the framework's own capabilities, the device's, each listed once.
void CQBK24DataSource::InitSupportedCaps(Trellis::CTWAINArray& caps)
{
    CTWAINDataSource::InitSupportedCaps(caps);
    // clang-format off
    static const TW_UINT16 kDeviceCaps[] = {
        CAP_AUTOFEED,                   CAP_AUTOSCAN,                   CAP_CUSTOMDSDATA,
        CAP_DUPLEX,                     CAP_DUPLEXENABLED,              CAP_ENABLEDSUIONLY,
        CAP_FEEDERALIGNMENT,            CAP_FEEDERENABLED,              CAP_FEEDERLOADED,
        CAP_FEEDERORDER,                CAP_INDICATORS,                 CAP_PAPERDETECTABLE,
        ICAP_AUTOMATICDESKEW,           CUSTCAP_SKEWACTION,             CUSTCAP_AUTOCROPLENGTH,
        CUSTCAP_AUTOCROPWIDTH,          CUSTCAP_AUTOMATICSEPARATION,    ICAP_BITDEPTHREDUCTION,
        ICAP_BRIGHTNESS,                ICAP_CONTRAST,                  ICAP_JPEGQUALITY,
        CUSTCAP_DESPECKLE,              CUSTCAP_DESPECKLEVALUE,         CUSTCAP_DOUBLEFEEDDETECTION,
        CUSTCAP_DOUBLEFEEDSENSITIVITY,  CUSTCAP_DOUBLEFEEDACTION,       ICAP_EXTIMAGEINFO,
        ICAP_FILTER,                    ICAP_HALFTONES,                 CUSTCAP_INVERTIMAGE,
        CUSTCAP_MIRRORIMAGE,            ICAP_NOISEFILTER,               ICAP_ROTATION,
        ICAP_THRESHOLD,                 CUSTCAP_DYNAMICTHRESHOLD,       ICAP_UNDEFINEDIMAGESIZE,
        ICAP_XNATIVERESOLUTION,         ICAP_YNATIVERESOLUTION,         CUSTCAP_LONGDOCSUPPORT,
    };
    // clang-format on
    for (TW_UINT16 id : kDeviceCaps) {
        CTWAINOneValue item(id);
        if (!caps.Contains(item))
            caps.Append(item);
    }
}

bool CQBK24DataSource::InitializeCapabilities()
{
    CTWAINDataSource::InitializeCapabilities();

    auto setUp = [this](TW_UINT16 id, Trellis::CTWAINEnumPair& pair,
                        void (CQBK24DataSource::*init)(CTWAINEnumeration&)) {
        if (IsCapSupported(id)) {
            (this->*init)(pair.Allowed);
            pair.Reset();
        }
    };
    auto setUpRange = [this](TW_UINT16 id, RangePair& pair, void (CQBK24DataSource::*init)(Trellis::CTWAINRange&)) {
        if (IsCapSupported(id)) {
            (this->*init)(pair.Allowed);
            pair.Reset();
        }
    };

    if (IsCapSupported(CAP_FEEDERENABLED))
        InitFeederEnabled();
    setUp(ICAP_BITDEPTHREDUCTION, BitDepthReductions, &CQBK24DataSource::InitBitDepthReductions);
    setUpRange(ICAP_BRIGHTNESS, Brightness, &CQBK24DataSource::InitBrightness);
    setUpRange(ICAP_CONTRAST, Contrast, &CQBK24DataSource::InitContrast);
    setUpRange(ICAP_JPEGQUALITY, JPEGQuality, &CQBK24DataSource::InitJPEGQuality);
    setUp(ICAP_NOISEFILTER, NoiseFilters, &CQBK24DataSource::InitNoiseFilters);
    setUp(CUSTCAP_DESPECKLE, Despeckle, &CQBK24DataSource::InitDespeckle);
    setUpRange(CUSTCAP_DESPECKLEVALUE, DespeckleValue, &CQBK24DataSource::InitDespeckleValue);
    setUp(CUSTCAP_DOUBLEFEEDSENSITIVITY, DoubleFeedSensitivities, &CQBK24DataSource::InitDoubleFeedSensitivities);
    setUp(CUSTCAP_DOUBLEFEEDACTION, DoubleFeedActions, &CQBK24DataSource::InitDoubleFeedActions);
    setUp(CUSTCAP_SKEWACTION, SkewActions, &CQBK24DataSource::InitSkewActions);
    if (IsCapSupported(ICAP_FILTER)) {
        InitFilters(FiltersAllowed, FiltersDefault);
        FiltersCurrent = FiltersDefault;
    }
    setUp(ICAP_HALFTONES, HalfTones, &CQBK24DataSource::InitHalfTones);
    setUp(ICAP_ROTATION, Rotations, &CQBK24DataSource::InitRotations);
    setUpRange(ICAP_THRESHOLD, Threshold, &CQBK24DataSource::InitThreshold);
    setUpRange(CUSTCAP_DYNAMICTHRESHOLD, DynamicThreshold, &CQBK24DataSource::InitDynamicThreshold);

    if (IsCapSupported(CUSTCAP_INVERTIMAGE))
        InvertImage = false;
    if (IsCapSupported(CUSTCAP_MIRRORIMAGE))
        MirrorImage = false;
    if (IsCapSupported(ICAP_AUTOMATICDESKEW))
        m_AutomaticDeskew = false;
    if (IsCapSupported(CUSTCAP_DOUBLEFEEDDETECTION))
        DoubleFeedDetection = false;
    if (IsCapSupported(CUSTCAP_AUTOMATICSEPARATION))
        AutoSeparation = false;
    if (IsCapSupported(CUSTCAP_AUTOCROPLENGTH))
        AutoCropLength = false;
    if (IsCapSupported(CUSTCAP_AUTOCROPWIDTH))
        AutoCropWidth = false;
    if (IsCapSupported(CAP_AUTOSCAN))
        ResetAutoScan();
    if (IsCapSupported(CUSTCAP_LONGDOCSUPPORT))
        LongDocument = false;
    if (IsCapSupported(CAP_FEEDERORDER))
        FeederOrder = 0;
    return true;
}

void CQBK24DataSource::InitBitDepthReductions(CTWAINEnumeration& values)
{
    AddCode(values, TWBR_THRESHOLD);
    // The device's dynamic thresholding; its level is custom capability 0x801B.
    AddCode(values, 0x8000, true);
    AddCode(values, TWBR_DIFFUSION);
    AddCode(values, TWBR_HALFTONE);
}

void CQBK24DataSource::InitBrightness(Trellis::CTWAINRange& range) { range.Set(-1000.0f, 1000.0f, 1.0f, 0.0f, 0.0f); }

void CQBK24DataSource::InitContrast(Trellis::CTWAINRange& range) { range.Set(-1000.0f, 1000.0f, 1.0f, 0.0f, 0.0f); }

void CQBK24DataSource::InitJPEGQuality(Trellis::CTWAINRange& range)
{
    range.ItemType = TWTY_INT16;
    range.MinValue = CTWAINOneValue(0, TWTY_INT16);
    range.MaxValue = CTWAINOneValue(100, TWTY_INT16);
    range.StepSize = CTWAINOneValue(1, TWTY_INT16);
    range.CurrentValue = CTWAINOneValue(80, TWTY_INT16);
    range.DefaultValue = CTWAINOneValue(80, TWTY_INT16);
}

void CQBK24DataSource::InitDespeckle(CTWAINEnumeration& values)
{
    AddCode(values, 0);
    AddCode(values, 1, true);
}

void CQBK24DataSource::InitDespeckleValue(Trellis::CTWAINRange& range) { range.Set(1.0f, 6.0f, 1.0f, 1.0f, 1.0f); }

void CQBK24DataSource::InitDoubleFeedSensitivities(CTWAINEnumeration& values)
{
    AddCode(values, 0);
    AddCode(values, 1, true);
    AddCode(values, 2);
}

void CQBK24DataSource::InitDoubleFeedActions(CTWAINEnumeration& values)
{
    AddCode(values, 0);
    AddCode(values, 2, true);
}

void CQBK24DataSource::InitSkewActions(CTWAINEnumeration& values) { AddCode(values, 2, true); }

void CQBK24DataSource::InitFilters(Trellis::CTWAINArray& allowed, Trellis::CTWAINArray& defaults)
{
    for (TW_UINT16 filter : {TWFT_NONE, TWFT_RED, TWFT_GREEN, TWFT_BLUE}) {
        if (!allowed.Contains(CTWAINOneValue(filter)))
            allowed.Append(CTWAINOneValue(filter));
    }
    defaults.Clear();
    defaults.Append(CTWAINOneValue(static_cast<TW_UINT16>(TWFT_NONE)));
}

// The halftone names are the texts of the library's string table, kept as
// an application reads them: a STR32 item carries 32 characters, so a name
// sent back must match the name held.
void CQBK24DataSource::InitHalfTones(CTWAINEnumeration& values)
{
    constexpr size_t kStr32Length = 32;
    for (UINT id = 10250; id <= 10253; ++id) {
        char text[64] = {};
        const int length = LoadStringA(m_hModule, id, text, sizeof(text));
        if (length > 0) {
            std::string name(text, std::min(static_cast<size_t>(length), kStr32Length));
            values.Add(CTWAINOneValue(name, TWTY_STR32));
        }
    }
}

void CQBK24DataSource::InitNoiseFilters(CTWAINEnumeration& values)
{
    AddCode(values, TWNF_NONE, true);
    AddCode(values, TWNF_LONEPIXEL);
}

void CQBK24DataSource::InitRotations(CTWAINEnumeration& values) { values.Add(CTWAINOneValue(0.0f), true, true); }

// The default sits one below the current value, as the device has always
// reported it.
void CQBK24DataSource::InitThreshold(Trellis::CTWAINRange& range) { range.Set(1.0f, 255.0f, 1.0f, 128.0f, 127.0f); }

void CQBK24DataSource::InitDynamicThreshold(Trellis::CTWAINRange& range) { range.Set(1.0f, 15.0f, 1.0f, 8.0f, 8.0f); }

bool CQBK24DataSource::IsFeederPresent() { return true; }

bool CQBK24DataSource::IsFlatbedPresent() { return false; }

void CQBK24DataSource::InitFeederEnabled()
{
    FeederEnabled = IsFeederPresent();
    FeederEnabledDefault = IsFeederPresent();
}
