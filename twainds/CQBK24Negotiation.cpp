// Standard capabilities whose answers depend on other settings: the coupled
// resolutions, the page length of long documents, the compression list of
// the transfer in force, and the memory-transfer buffers.
#include "twainds/CQBK24DataSource.h"

#include "twainfw/FixedPoint.h"

// The scanner scans both directions at one resolution, so setting either
// carries the value over to the other. A value moved to a listed one (check
// status) is in force and is carried over before the status is reported; a
// refused value changes neither axis.
void CQBK24DataSource::SetXResolutionCurrent(float value)
{
    try {
        CTWAINDataSource::SetXResolutionCurrent(value);
    } catch (const Trellis::CTWAINCheckStatusException&) {
        if (GetXResolutionCurrent() != GetYResolutionCurrent())
            CTWAINDataSource::SetYResolutionCurrent(GetXResolutionCurrent());
        throw;
    }
    if (GetXResolutionCurrent() != GetYResolutionCurrent())
        SetYResolutionCurrent(GetXResolutionCurrent());
}

void CQBK24DataSource::SetYResolutionCurrent(float value)
{
    try {
        CTWAINDataSource::SetYResolutionCurrent(value);
    } catch (const Trellis::CTWAINCheckStatusException&) {
        if (GetYResolutionCurrent() != GetXResolutionCurrent())
            CTWAINDataSource::SetXResolutionCurrent(GetYResolutionCurrent());
        throw;
    }
    if (GetYResolutionCurrent() != GetXResolutionCurrent())
        SetXResolutionCurrent(GetYResolutionCurrent());
}

// Long-document support lets the feeder take pages of up to 53.33 inches.
float CQBK24DataSource::GetPhysicalHeight()
{
    const float inches = LongDocument ? 53.33f : 17.0f;
    return Trellis::ConvertUnit(inches, TWUN_INCHES, GetUnitsCurrent(), GetYResolutionValue());
}

// A file that is not TIFF cannot hold compressed data: the native list then
// applies. Otherwise black-and-white pages use the framework's lists and
// gray and colour pages the device's.
Trellis::CTWAINEnumPair& CQBK24DataSource::CompressionPair()
{
    TW_UINT16 mech = GetXferMechCurrent();
    if (mech >= std::size(m_Compressions))
        ThrowFailure(TWCC_BADVALUE);
    if (mech == TWSX_FILE && GetImageFileFormatCurrent() != TWFF_TIFF)
        return m_Compressions[TWSX_NATIVE];
    if (GetPixelTypeCurrent() == TWPT_BW)
        return m_Compressions[mech];
    return GrayColorCompressions[mech];
}

Trellis::CTWAINContainer CQBK24DataSource::GetCompressionValues()
{
    return Trellis::CTWAINContainer(CompressionPair().Current);
}

TW_UINT16 CQBK24DataSource::GetCompressionCurrent() { return CompressionPair().Current.GetCurrent().GetUInt16(); }

TW_UINT16 CQBK24DataSource::GetCompressionDefault() { return CompressionPair().Allowed.GetDefault().GetUInt16(); }

void CQBK24DataSource::SetCompressionConstraint(const Trellis::CTWAINEnumeration& constraint)
{
    ConstrainEnum(CompressionPair(), constraint);
}

void CQBK24DataSource::SetCompressionCurrent(TW_UINT16 value)
{
    SetEnumCurrent(CompressionPair(), Trellis::CTWAINOneValue(value));
}

TW_UINT16 CQBK24DataSource::ResetCompression()
{
    for (Trellis::CTWAINEnumPair& pair : m_Compressions)
        pair.Reset();
    for (Trellis::CTWAINEnumPair& pair : GrayColorCompressions)
        pair.Reset();
    return GetCompressionCurrent();
}

TW_SETUPMEMXFER CQBK24DataSource::GetDefaultSetupMemXfer() { return TW_SETUPMEMXFER{0x8000, 0x4FFFFF, 0x4FFFFF}; }

// ---- page sizes by orientation ----

bool CQBK24DataSource::InLandscape() { return GetOrientationCurrent() == TWOR_LANDSCAPE; }

Trellis::CTWAINContainer CQBK24DataSource::GetSupportedSizesValues()
{
    if (InLandscape())
        return Trellis::CTWAINContainer(LandscapeSizes.Current);
    return CTWAINDataSource::GetSupportedSizesValues();
}

TW_UINT16 CQBK24DataSource::GetSupportedSizesCurrent()
{
    if (InLandscape())
        return LandscapeSizes.Current.GetCurrent().GetUInt16();
    return CTWAINDataSource::GetSupportedSizesCurrent();
}

TW_UINT16 CQBK24DataSource::GetSupportedSizesDefault()
{
    if (InLandscape())
        return LandscapeSizes.Current.GetDefault().GetUInt16();
    return CTWAINDataSource::GetSupportedSizesDefault();
}

// No size means the page is given by its frame, which is always upright.
// A size chosen on its side sets its upright frame too: the scan turns the
// frame for landscape, so the page scanned is the size chosen.
void CQBK24DataSource::SetSupportedSizesConstraint(const Trellis::CTWAINEnumeration& constraint)
{
    if (constraint.CurrentIndex < constraint.GetCount() && constraint.GetCurrent().GetUInt16() == TWSS_NONE)
        SetOrientationCurrent(TWOR_PORTRAIT);
    if (!InLandscape()) {
        CTWAINDataSource::SetSupportedSizesConstraint(constraint);
        return;
    }
    const Trellis::CTWAINEnumPair::Outcome outcome = LandscapeSizes.Constrain(constraint);
    if (outcome != Trellis::CTWAINEnumPair::Outcome::Refused)
        SetLandscapeFrame();
    ReportOutcome(outcome);
}

void CQBK24DataSource::SetSupportedSizesCurrent(TW_UINT16 value)
{
    if (value == TWSS_NONE)
        SetOrientationCurrent(TWOR_PORTRAIT);
    if (!InLandscape()) {
        CTWAINDataSource::SetSupportedSizesCurrent(value);
        return;
    }
    SetEnumCurrent(LandscapeSizes, Trellis::CTWAINOneValue(value));
    SetLandscapeFrame();
}

void CQBK24DataSource::SetLandscapeFrame()
{
    const TW_UINT16 size = LandscapeSizes.Current.GetCurrent().GetUInt16();
    if (size != TWSS_NONE)
        SetFrameFromSizeCode(size);
}

TW_UINT16 CQBK24DataSource::ResetSupportedSizes()
{
    LandscapeSizes.Reset();
    const TW_UINT16 portrait = CTWAINDataSource::ResetSupportedSizes();
    if (!InLandscape())
        return portrait;
    SetLandscapeFrame();
    return LandscapeSizes.Current.GetCurrent().GetUInt16();
}

// ---- constraints ----

void CQBK24DataSource::ReportOutcome(Trellis::CTWAINEnumPair::Outcome outcome)
{
    switch (outcome) {
    case Trellis::CTWAINEnumPair::Outcome::Taken:
        return;
    case Trellis::CTWAINEnumPair::Outcome::Adjusted:
        ThrowCheckStatus(TWCC_BADVALUE);
    case Trellis::CTWAINEnumPair::Outcome::Refused:
        ThrowFailure(TWCC_BADVALUE);
    }
}

void CQBK24DataSource::ConstrainEnum(Trellis::CTWAINEnumPair& pair, const Trellis::CTWAINEnumeration& constraint)
{
    ReportOutcome(pair.Constrain(constraint));
}

// The device's range keeps its bounds and step whatever the request: a
// request it holds whole changes nothing, one it holds in part moves only
// the current and default values, and one with no value inside it is
// refused with the range restored.
void CQBK24DataSource::ConstrainRange(RangePair& pair, const Trellis::CTWAINRange& constraint)
{
    if (pair.Current.Constrain(constraint, pair.Allowed))
        return;
    bool anyInside = false;
    constraint.WalkSteps([&](const Trellis::CTWAINOneValue& step) {
        if (!anyInside && pair.Allowed.Contains(step))
            anyInside = true;
    });
    if (!anyInside) {
        pair.Reset();
        ThrowFailure(TWCC_BADVALUE);
    }
    ThrowCheckStatus(TWCC_BADVALUE);
}

void CQBK24DataSource::SetBitDepthReductionConstraint(const Trellis::CTWAINEnumeration& constraint)
{
    ConstrainEnum(BitDepthReductions, constraint);
}

void CQBK24DataSource::SetHalfTonesConstraint(const Trellis::CTWAINEnumeration& constraint)
{
    ConstrainEnum(HalfTones, constraint);
}

void CQBK24DataSource::SetBrightnessRangeConstraint(const Trellis::CTWAINRange& constraint)
{
    ConstrainRange(Brightness, constraint);
}

void CQBK24DataSource::SetThresholdRangeConstraint(const Trellis::CTWAINRange& constraint)
{
    ConstrainRange(Threshold, constraint);
}

// A filter list with nothing allowed left, an empty request included, falls
// back to no filter when that was asked for by an empty request, else to the
// default list: acquisition always has a filter to read.
void CQBK24DataSource::SetFilterArray(const Trellis::CTWAINArray& value)
{
    if (FiltersCurrent.Constrain(value, FiltersAllowed) && FiltersCurrent.GetCount() > 0)
        return;
    if (FiltersCurrent.GetCount() > 0)
        ThrowCheckStatus(TWCC_BADVALUE);
    const Trellis::CTWAINOneValue none(static_cast<TW_UINT16>(TWFT_NONE));
    if (value.GetCount() == 0 && FiltersAllowed.Contains(none)) {
        FiltersCurrent.Clear();
        FiltersCurrent.Append(none);
    } else {
        FiltersCurrent = FiltersDefault;
    }
    ThrowFailure(TWCC_BADVALUE);
}

// ---- frame ----

// The held frame is compared in inches as the framework holds it, so a
// frame at the origin never counts as moved through unit rounding.
bool CQBK24DataSource::MoveFrameToOrigin()
{
    if (Trellis::Fix32ToFloat(m_Frame.Left) == 0.0f && Trellis::Fix32ToFloat(m_Frame.Top) == 0.0f)
        return false;
    m_Frame.SetLeft(0.0f);
    m_Frame.SetTop(0.0f);
    return true;
}

void CQBK24DataSource::SetFramesCurrent(const Trellis::CTWAINFrame& value)
{
    try {
        CTWAINDataSource::SetFramesCurrent(value);
    } catch (...) {
        MoveFrameToOrigin();
        throw;
    }
    if (MoveFrameToOrigin())
        ThrowCheckStatus(TWCC_BADVALUE);
}
