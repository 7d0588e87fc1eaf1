// The answers of the scanner's standard capabilities that it holds itself:
// its flags, its fixed values, and its lists and ranges as negotiated.
#include "twainds/CQBK24DataSource.h"

using Trellis::CTWAINContainer;

// ---- flags ----

bool CQBK24DataSource::GetAutoFeedCurrent() { return AutoFeed; }
bool CQBK24DataSource::GetAutoFeedDefault() { return true; }
void CQBK24DataSource::SetAutoFeedCurrent(bool value) { AutoFeed = value; }
bool CQBK24DataSource::ResetAutoFeed() { return AutoFeed = GetAutoFeedDefault(); }

bool CQBK24DataSource::GetAutoScanCurrent() { return AutoScan; }
bool CQBK24DataSource::GetAutoScanDefault() { return true; }
void CQBK24DataSource::SetAutoScanCurrent(bool value) { AutoScan = value; }
bool CQBK24DataSource::ResetAutoScan() { return AutoScan = GetAutoScanDefault(); }

bool CQBK24DataSource::GetDuplexEnabledCurrent() { return DuplexEnabled; }
bool CQBK24DataSource::GetDuplexEnabledDefault() { return false; }
void CQBK24DataSource::SetDuplexEnabledCurrent(bool value) { DuplexEnabled = value; }
bool CQBK24DataSource::ResetDuplexEnabled() { return DuplexEnabled = GetDuplexEnabledDefault(); }

bool CQBK24DataSource::GetIndicatorsCurrent() { return IndicatorsEnabled; }
bool CQBK24DataSource::GetIndicatorsDefault() { return true; }
void CQBK24DataSource::SetIndicatorsCurrent(bool value) { IndicatorsEnabled = value; }
bool CQBK24DataSource::ResetIndicators() { return IndicatorsEnabled = GetIndicatorsDefault(); }

bool CQBK24DataSource::GetExtImageInfoCurrent() { return ExtImageInfo; }
bool CQBK24DataSource::GetExtImageInfoDefault() { return true; }
void CQBK24DataSource::SetExtImageInfoCurrent(bool value) { ExtImageInfo = value; }
bool CQBK24DataSource::ResetExtImageInfo() { return ExtImageInfo = GetExtImageInfoDefault(); }

bool CQBK24DataSource::GetUndefinedImageSizeCurrent() { return UndefinedImageSize; }
bool CQBK24DataSource::GetUndefinedImageSizeDefault() { return false; }
void CQBK24DataSource::SetUndefinedImageSizeCurrent(bool value) { UndefinedImageSize = value; }
bool CQBK24DataSource::ResetUndefinedImageSize() { return UndefinedImageSize = GetUndefinedImageSizeDefault(); }

bool CQBK24DataSource::GetFeederEnabledCurrent() { return FeederEnabled; }
bool CQBK24DataSource::GetFeederEnabledDefault() { return FeederEnabledDefault; }

// Feeding can be switched off only in favour of a flatbed, and on only when
// there is a feeder.
void CQBK24DataSource::SetFeederEnabledCurrent(bool value)
{
    if (value ? !IsFeederPresent() : !IsFlatbedPresent())
        ThrowFailure(TWCC_BADVALUE);
    FeederEnabled = value;
}

bool CQBK24DataSource::ResetFeederEnabled() { return FeederEnabled = FeederEnabledDefault; }

// ---- fixed values ----

TW_UINT16 CQBK24DataSource::GetDuplex() { return TWDX_1PASSDUPLEX; }
bool CQBK24DataSource::GetPaperDetectable() { return true; }
bool CQBK24DataSource::GetCustomDSData() { return true; }
float CQBK24DataSource::GetXNativeResolution() { return 400.0f; }
float CQBK24DataSource::GetYNativeResolution() { return 400.0f; }

// ---- lists and ranges ----

CTWAINContainer CQBK24DataSource::GetBitDepthReductionValues() { return CTWAINContainer(BitDepthReductions.Current); }
TW_UINT16 CQBK24DataSource::GetBitDepthReductionCurrent()
{
    return BitDepthReductions.Current.GetCurrent().GetUInt16();
}
TW_UINT16 CQBK24DataSource::GetBitDepthReductionDefault()
{
    return BitDepthReductions.Allowed.GetDefault().GetUInt16();
}
TW_UINT16 CQBK24DataSource::ResetBitDepthReduction()
{
    BitDepthReductions.Reset();
    return GetBitDepthReductionCurrent();
}

CTWAINContainer CQBK24DataSource::GetBrightnessValues() { return CTWAINContainer(Brightness.Current); }
float CQBK24DataSource::GetBrightnessCurrent() { return Brightness.Current.CurrentValue.GetFloat(); }
float CQBK24DataSource::GetBrightnessDefault() { return Brightness.Allowed.DefaultValue.GetFloat(); }
float CQBK24DataSource::ResetBrightness()
{
    Brightness.Reset();
    return GetBrightnessCurrent();
}

CTWAINContainer CQBK24DataSource::GetContrastValues() { return CTWAINContainer(Contrast.Current); }
float CQBK24DataSource::GetContrastCurrent() { return Contrast.Current.CurrentValue.GetFloat(); }
float CQBK24DataSource::GetContrastDefault() { return Contrast.Allowed.DefaultValue.GetFloat(); }
float CQBK24DataSource::ResetContrast()
{
    Contrast.Reset();
    return GetContrastCurrent();
}

CTWAINContainer CQBK24DataSource::GetThresholdValues() { return CTWAINContainer(Threshold.Current); }
float CQBK24DataSource::GetThresholdCurrent() { return Threshold.Current.CurrentValue.GetFloat(); }
float CQBK24DataSource::GetThresholdDefault() { return Threshold.Allowed.DefaultValue.GetFloat(); }
float CQBK24DataSource::ResetThreshold()
{
    Threshold.Reset();
    return GetThresholdCurrent();
}

CTWAINContainer CQBK24DataSource::GetJPEGQualityValues() { return CTWAINContainer(JPEGQuality.Current); }
TW_UINT16 CQBK24DataSource::GetJPEGQualityCurrent()
{
    return static_cast<TW_UINT16>(JPEGQuality.Current.CurrentValue.Value);
}
TW_UINT16 CQBK24DataSource::GetJPEGQualityDefault()
{
    return static_cast<TW_UINT16>(JPEGQuality.Current.DefaultValue.Value);
}
TW_UINT16 CQBK24DataSource::ResetJPEGQuality()
{
    JPEGQuality.Reset();
    return GetJPEGQualityCurrent();
}

CTWAINContainer CQBK24DataSource::GetRotationValues() { return CTWAINContainer(Rotations.Current); }
float CQBK24DataSource::GetRotationCurrent() { return Rotations.Current.GetCurrent().GetFloat(); }
float CQBK24DataSource::GetRotationDefault() { return Rotations.Allowed.GetDefault().GetFloat(); }
float CQBK24DataSource::ResetRotation()
{
    Rotations.Reset();
    return GetRotationCurrent();
}

CTWAINContainer CQBK24DataSource::GetHalfTonesValues() { return CTWAINContainer(HalfTones.Current); }
std::string CQBK24DataSource::GetHalfTonesCurrent() { return HalfTones.Current.GetCurrent().GetText(); }
// A constraint may move the default, so it is read from the negotiated list.
std::string CQBK24DataSource::GetHalfTonesDefault() { return HalfTones.Current.GetDefault().GetText(); }
std::string CQBK24DataSource::ResetHalfTones()
{
    HalfTones.Reset();
    return GetHalfTonesCurrent();
}

CTWAINContainer CQBK24DataSource::GetFilterValues() { return CTWAINContainer(FiltersAllowed); }
CTWAINContainer CQBK24DataSource::GetFilterCurrent() { return CTWAINContainer(FiltersCurrent); }
CTWAINContainer CQBK24DataSource::GetFilterDefault() { return CTWAINContainer(FiltersDefault); }
CTWAINContainer CQBK24DataSource::ResetFilter()
{
    FiltersCurrent = FiltersDefault;
    return GetFilterCurrent();
}

// ---- setting ----

void CQBK24DataSource::SetRangeCurrent(RangePair& pair, const Trellis::CTWAINOneValue& value)
{
    bool adjusted = false;
    if (pair.Current.SetCurrentNearest(value, adjusted)) {
        if (adjusted)
            ThrowCheckStatus(TWCC_BADVALUE);
        return;
    }
    if (!pair.Current.TrySetCurrent(value))
        ThrowFailure(TWCC_BADVALUE);
}

void CQBK24DataSource::SetEnumCurrent(Trellis::CTWAINEnumPair& pair, const Trellis::CTWAINOneValue& value)
{
    ReportOutcome(pair.SetCurrent(value));
}

void CQBK24DataSource::SetBitDepthReductionCurrent(TW_UINT16 value)
{
    SetEnumCurrent(BitDepthReductions, Trellis::CTWAINOneValue(value));
}

void CQBK24DataSource::SetBrightnessCurrent(float value)
{
    SetRangeCurrent(Brightness, Trellis::CTWAINOneValue(value));
}
void CQBK24DataSource::SetContrastCurrent(float value) { SetRangeCurrent(Contrast, Trellis::CTWAINOneValue(value)); }
void CQBK24DataSource::SetThresholdCurrent(float value) { SetRangeCurrent(Threshold, Trellis::CTWAINOneValue(value)); }

// The TWAIN quality codes stand for the ends and the middle of the scale.
void CQBK24DataSource::SetJPEGQualityCurrent(TW_UINT16 value)
{
    TW_INT16 quality = static_cast<TW_INT16>(value);
    if (quality == TWJQ_LOW)
        quality = 0;
    else if (quality == TWJQ_MEDIUM)
        quality = 50;
    else if (quality == TWJQ_HIGH)
        quality = 100;
    SetRangeCurrent(JPEGQuality,
                    Trellis::CTWAINOneValue(static_cast<TW_UINT32>(static_cast<TW_UINT16>(quality)), TWTY_INT16));
}

void CQBK24DataSource::SetRotationCurrent(float value) { SetEnumCurrent(Rotations, Trellis::CTWAINOneValue(value)); }

// Names are never moved to a neighbour: a listed name, or one the device
// has, becomes current.
void CQBK24DataSource::SetHalfTonesCurrent(const std::string& value)
{
    const Trellis::CTWAINOneValue name(value, TWTY_STR32);
    if (!HalfTones.Current.SetCurrent(name, HalfTones.Allowed, true))
        ThrowFailure(TWCC_BADVALUE);
}

void CQBK24DataSource::SetFilterCurrent(TW_UINT16 value)
{
    const Trellis::CTWAINOneValue filter(value);
    if (!FiltersAllowed.Contains(filter))
        ThrowCheckStatus(TWCC_BADVALUE);
    FiltersCurrent.Clear();
    FiltersCurrent.Append(filter);
}

// ---- support ----

namespace {
constexpr TW_INT32 kSettable = TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET;
constexpr TW_INT32 kReadOnly = TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT;
} // namespace

TW_INT32 CQBK24DataSource::QueryAutoFeedSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryAutoScanSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryDuplexEnabledSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryIndicatorsSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryExtImageInfoSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryUndefinedImageSizeSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryFeederEnabledSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryPaperDetectableSupport() { return kReadOnly; }
TW_INT32 CQBK24DataSource::QueryFeederLoadedSupport() { return kReadOnly; }
TW_INT32 CQBK24DataSource::QueryXNativeResolutionSupport() { return kReadOnly; }
TW_INT32 CQBK24DataSource::QueryYNativeResolutionSupport() { return kReadOnly; }
TW_INT32 CQBK24DataSource::QueryBitDepthReductionSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryBrightnessSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryContrastSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryThresholdSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryJPEGQualitySupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryRotationSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryHalfTonesSupport() { return kSettable; }
TW_INT32 CQBK24DataSource::QueryFilterSupport() { return kSettable; }

// On-line while the hardware service is bound.
bool CQBK24DataSource::GetDeviceOnline() { return Hal != nullptr; }

bool CQBK24DataSource::GetEnableDSUIOnly() { return true; }

bool CQBK24DataSource::GetUIControllable() { return true; }
