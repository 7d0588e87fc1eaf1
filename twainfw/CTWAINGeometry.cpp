// The capability facts every data source shares: the supported-capability
// list, the initial value lists, and the geometry capabilities that depend
// on the units and on each other (frames, page sizes, resolutions, the
// image data set).
#include "twainfw/CTWAINDataSource.h"

#include "twainfw/FixedPoint.h"

#include <cmath>

namespace Trellis {

namespace {

constexpr TW_INT32 kSettable = TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET;

constexpr float kCentimetresPerInch = 2.54f;

void AddCode(CTWAINEnumeration& list, TW_UINT16 code, bool currentAndDefault)
{
    list.Add(CTWAINOneValue(code), currentAndDefault, currentAndDefault);
}

// 1..n as TWTY_UINT32 items.
void FillOneToN(CTWAINArray& list, TW_UINT32 n)
{
    list.Clear();
    for (TW_UINT32 i = 1; i <= n; ++i)
        list.Append(CTWAINOneValue(i, TWTY_UINT32));
}

} // namespace

// ---- supported capabilities ----

void CTWAINDataSource::InitSupportedCaps(CTWAINArray& caps)
{
    static const TW_UINT16 kIds[] = {
        CAP_AUTHOR,         CAP_DEVICEONLINE,      CAP_JOBCONTROL,     CAP_SUPPORTEDCAPS,  CAP_TIMEDATE,
        CAP_UICONTROLLABLE, CAP_XFERCOUNT,         ICAP_BITDEPTH,      ICAP_BITORDER,      ICAP_COMPRESSION,
        ICAP_FRAMES,        ICAP_IMAGEFILEFORMAT,  ICAP_MAXFRAMES,     ICAP_MINIMUMHEIGHT, ICAP_MINIMUMWIDTH,
        ICAP_ORIENTATION,   ICAP_PHYSICALHEIGHT,   ICAP_PHYSICALWIDTH, ICAP_PIXELFLAVOR,   ICAP_PIXELTYPE,
        ICAP_PLANARCHUNKY,  ICAP_SUPPORTEDSIZES,   ICAP_UNITS,         ICAP_XFERMECH,      ICAP_XRESOLUTION,
        ICAP_YRESOLUTION,   CUSTCAP_MULTIPAGETIFF,
    };
    caps.Clear();
    for (TW_UINT16 id : kIds) {
        CTWAINOneValue item(id);
        if (!caps.Contains(item))
            caps.Append(item);
    }
}

bool CTWAINDataSource::IsCapSupported(TW_UINT16 id)
{
    const CTWAINArray caps = GetSupportedCaps();
    for (const CTWAINOneValue& item : caps.m_List) {
        if (static_cast<TW_UINT16>(item.Value) == id)
            return true;
    }
    return false;
}

// ---- initial value lists ----

void CTWAINDataSource::InitFeederAlignment(TW_UINT16& alignment) { alignment = TWFA_NONE; }

void CTWAINDataSource::InitJobControl(CTWAINEnumeration& values) { AddCode(values, TWJC_NONE, true); }

void CTWAINDataSource::InitBitOrders(CTWAINEnumeration& values) { AddCode(values, TWBO_MSBFIRST, true); }

void CTWAINDataSource::InitCompressions(TW_UINT16, CTWAINEnumeration& values) { AddCode(values, TWCP_NONE, true); }

void CTWAINDataSource::InitImageFileFormats(CTWAINEnumeration& values)
{
    AddCode(values, TWFF_BMP, true);
    AddCode(values, TWFF_TIFF, false);
}

void CTWAINDataSource::InitOrientations(CTWAINEnumeration& values) { AddCode(values, TWOR_ROT0, true); }

void CTWAINDataSource::InitPixelFlavors(CTWAINEnumeration& values) { AddCode(values, TWPF_CHOCOLATE, true); }

void CTWAINDataSource::InitSupportedSizes(CTWAINEnumeration& values) { AddCode(values, TWSS_NONE, true); }

void CTWAINDataSource::InitUnits(CTWAINEnumeration& values) { AddCode(values, TWUN_INCHES, true); }

void CTWAINDataSource::InitXferMechs(CTWAINEnumeration& values)
{
    AddCode(values, TWSX_NATIVE, true);
    AddCode(values, TWSX_FILE, false);
    AddCode(values, TWSX_MEMORY, false);
}

// ---- resolutions ----

float CTWAINDataSource::ResolutionToUnits(float dotsPerInch)
{
    switch (GetUnitsCurrent()) {
    case TWUN_PIXELS:
        return 1.0f;
    case TWUN_CENTIMETERS:
        return dotsPerInch / kCentimetresPerInch;
    default:
        return dotsPerInch;
    }
}

float CTWAINDataSource::ResolutionFromUnits(float value)
{
    return GetUnitsCurrent() == TWUN_CENTIMETERS ? value * kCentimetresPerInch : value;
}

// An application sends back what it read: a listed resolution in the
// current unit, as TW_FIX32, which holds dots per centimetre only to the
// nearest 1/65536. Within that step of a listed resolution the value is
// that resolution, exactly; any other value is converted as it stands.
float CTWAINDataSource::ResolutionFromUnits(const CTWAINEnumPair& pair, float value)
{
    constexpr double kFix32Step = 1.0 / 65536;
    for (const CTWAINOneValue& item : pair.Allowed.m_List) {
        const float dotsPerInch = item.GetFloat();
        if (std::fabs(static_cast<double>(ResolutionToUnits(dotsPerInch)) - value) <= kFix32Step)
            return dotsPerInch;
    }
    return ResolutionFromUnits(value);
}

CTWAINContainer CTWAINDataSource::ResolutionValues(const CTWAINEnumPair& pair)
{
    CTWAINEnumeration answer;
    if (GetUnitsCurrent() == TWUN_PIXELS) {
        answer.Add(CTWAINOneValue(1.0f), true, true);
        return CTWAINContainer(answer);
    }
    for (const CTWAINOneValue& item : pair.Current.m_List)
        answer.Append(CTWAINOneValue(ResolutionToUnits(item.GetFloat())));
    answer.CurrentIndex = pair.Current.CurrentIndex;
    answer.DefaultIndex = pair.Current.DefaultIndex;
    return CTWAINContainer(answer);
}

void CTWAINDataSource::ResolutionSetCurrent(CTWAINEnumPair& pair, float value)
{
    if (GetUnitsCurrent() == TWUN_PIXELS) {
        if (!FloatEqual(value, 1.0))
            ThrowFailure(TWCC_BADVALUE);
        return;
    }
    switch (pair.SetCurrent(CTWAINOneValue(ResolutionFromUnits(pair, value)))) {
    case CTWAINEnumPair::Outcome::Taken:
        return;
    case CTWAINEnumPair::Outcome::Adjusted:
        ThrowCheckStatus(TWCC_BADVALUE);
    case CTWAINEnumPair::Outcome::Refused:
        ThrowFailure(TWCC_BADVALUE);
    }
}

void CTWAINDataSource::ResolutionConstrain(CTWAINEnumPair& pair, const CTWAINEnumeration& request)
{
    if (GetUnitsCurrent() == TWUN_PIXELS)
        ThrowFailure(TWCC_BADVALUE);
    CTWAINEnumeration dotsPerInch;
    for (const CTWAINOneValue& item : request.m_List)
        dotsPerInch.Append(CTWAINOneValue(ResolutionFromUnits(pair, item.GetFloat())));
    dotsPerInch.CurrentIndex = request.CurrentIndex;
    dotsPerInch.DefaultIndex = request.DefaultIndex;
    EnumConstrain(pair, dotsPerInch);
}

void CTWAINDataSource::ResolutionRangeConstrain(CTWAINEnumPair& pair, const CTWAINRange& request)
{
    if (GetUnitsCurrent() == TWUN_PIXELS)
        ThrowFailure(TWCC_BADVALUE);
    auto toDotsPerInch = [&](const CTWAINOneValue& item) { return ResolutionFromUnits(pair, item.GetFloat()); };
    CTWAINRange dotsPerInch(toDotsPerInch(request.MinValue), toDotsPerInch(request.MaxValue),
                            ResolutionFromUnits(request.StepSize.GetFloat()), toDotsPerInch(request.CurrentValue),
                            toDotsPerInch(request.DefaultValue));
    switch (pair.ConstrainToRange(dotsPerInch)) {
    case CTWAINEnumPair::Outcome::Taken:
        return;
    case CTWAINEnumPair::Outcome::Adjusted:
        ThrowCheckStatus(TWCC_BADVALUE);
    case CTWAINEnumPair::Outcome::Refused:
        ThrowFailure(TWCC_BADVALUE);
    }
}

CTWAINContainer CTWAINDataSource::GetXResolutionValues() { return ResolutionValues(m_XResolutions); }

float CTWAINDataSource::GetXResolutionCurrent() { return ResolutionToUnits(GetXResolutionValue()); }

float CTWAINDataSource::GetXResolutionValue() { return m_XResolutions.Current.GetCurrent().GetFloat(); }

float CTWAINDataSource::GetXResolutionDefault()
{
    return ResolutionToUnits(m_XResolutions.Allowed.GetDefault().GetFloat());
}

void CTWAINDataSource::SetXResolutionRangeConstraint(const CTWAINRange& constraint)
{
    ResolutionRangeConstrain(m_XResolutions, constraint);
}

void CTWAINDataSource::SetXResolutionConstraint(const CTWAINEnumeration& constraint)
{
    ResolutionConstrain(m_XResolutions, constraint);
}

void CTWAINDataSource::SetXResolutionCurrent(float value) { ResolutionSetCurrent(m_XResolutions, value); }

float CTWAINDataSource::ResetXResolution()
{
    m_XResolutions.Reset();
    return GetXResolutionCurrent();
}

TW_INT32 CTWAINDataSource::QueryXResolutionSupport() { return kSettable; }

CTWAINContainer CTWAINDataSource::GetYResolutionValues() { return ResolutionValues(m_YResolutions); }

float CTWAINDataSource::GetYResolutionCurrent() { return ResolutionToUnits(GetYResolutionValue()); }

float CTWAINDataSource::GetYResolutionValue() { return m_YResolutions.Current.GetCurrent().GetFloat(); }

float CTWAINDataSource::GetYResolutionDefault()
{
    return ResolutionToUnits(m_YResolutions.Allowed.GetDefault().GetFloat());
}

void CTWAINDataSource::SetYResolutionRangeConstraint(const CTWAINRange& constraint)
{
    ResolutionRangeConstrain(m_YResolutions, constraint);
}

void CTWAINDataSource::SetYResolutionConstraint(const CTWAINEnumeration& constraint)
{
    ResolutionConstrain(m_YResolutions, constraint);
}

void CTWAINDataSource::SetYResolutionCurrent(float value) { ResolutionSetCurrent(m_YResolutions, value); }

float CTWAINDataSource::ResetYResolution()
{
    m_YResolutions.Reset();
    return GetYResolutionCurrent();
}

TW_INT32 CTWAINDataSource::QueryYResolutionSupport() { return kSettable; }

// ---- frames ----

CTWAINContainer CTWAINDataSource::GetFramesValues()
{
    return CTWAINContainer(CTWAINOneValue(static_cast<const TW_FRAME&>(GetFramesCurrent())));
}

CTWAINFrame CTWAINDataSource::GetFramesCurrent()
{
    return m_Frame.ConvertUnits(TWUN_INCHES, GetUnitsCurrent(), GetXResolutionValue(), GetYResolutionValue());
}

CTWAINFrame CTWAINDataSource::GetFramesDefault()
{
    CTWAINFrame physical(0, 0, m_PhysicalWidth, m_PhysicalHeight);
    return physical.ConvertUnits(TWUN_INCHES, GetUnitsCurrent(), GetXResolutionValue(), GetYResolutionValue());
}

void CTWAINDataSource::SetFramesConstraint(const CTWAINEnumeration& constraint)
{
    if (constraint.GetCount() == 0)
        ThrowFailure(TWCC_BADVALUE);
    CTWAINOneValue current = constraint.CurrentItem().value_or(constraint.GetAt(0));
    SetFramesCurrent(current.Frame);
    // Only one frame at a time is taken; the list is not kept.
    if (constraint.GetCount() > GetMaxFramesCurrent())
        ThrowCheckStatus(TWCC_BADVALUE);
}

// The page is clipped to the physical area as the data source answers it
// now (a device may lengthen it, for long documents), in inches.
void CTWAINDataSource::SetFramesCurrent(const CTWAINFrame& value)
{
    m_Frame = value.ConvertUnits(GetUnitsCurrent(), TWUN_INCHES, GetXResolutionValue(), GetYResolutionValue());
    SetSupportedSizesCurrent(TWSS_NONE);

    const float physicalWidth = ConvertXLength(GetPhysicalWidth(), TWUN_INCHES);
    const float physicalHeight = ConvertYLength(GetPhysicalHeight(), TWUN_INCHES);
    CTWAINFrame clipped = m_Frame;
    if (FloatGreater(Fix32ToFloat(clipped.Right), physicalWidth))
        clipped.SetRight(physicalWidth);
    if (!FloatGreater(Fix32ToFloat(clipped.Right), Fix32ToFloat(clipped.Left)))
        clipped.SetLeft(0);
    if (FloatGreater(Fix32ToFloat(clipped.Bottom), physicalHeight))
        clipped.SetBottom(physicalHeight);
    if (!FloatGreater(Fix32ToFloat(clipped.Bottom), Fix32ToFloat(clipped.Top)))
        clipped.SetTop(0);
    if (!(clipped == m_Frame)) {
        m_Frame = clipped;
        ThrowCheckStatus(TWCC_BADVALUE);
    }
}

CTWAINFrame CTWAINDataSource::ResetFrames()
{
    m_Frame = CTWAINFrame(0, 0, m_PhysicalWidth, m_PhysicalHeight);
    SetSupportedSizesCurrent(TWSS_NONE);
    return GetFramesCurrent();
}

TW_INT32 CTWAINDataSource::QueryFramesSupport() { return kSettable; }

// ---- page sizes ----

CTWAINFrame CTWAINDataSource::GetCustomSizeFrame(TW_UINT16, int, float, float) { ThrowFailure(TWCC_BADVALUE); }

float CTWAINDataSource::ConvertXLength(float length, int toUnit)
{
    return ConvertUnit(length, GetUnitsCurrent(), toUnit, GetXResolutionValue());
}

float CTWAINDataSource::ConvertYLength(float length, int toUnit)
{
    return ConvertUnit(length, GetUnitsCurrent(), toUnit, GetYResolutionValue());
}

void CTWAINDataSource::SetFrameFromSizeCode(TW_UINT16 sizeCode)
{
    const float x = GetXResolutionValue();
    const float y = GetYResolutionValue();
    m_Frame = sizeCode > 0x7FFF ? GetCustomSizeFrame(sizeCode, TWUN_INCHES, x, y)
                                : GetSupportedSizeFrame(sizeCode, TWUN_INCHES, x, y);
}

CTWAINContainer CTWAINDataSource::GetSupportedSizesValues() { return EnumValues(m_SupportedSizes); }

TW_UINT16 CTWAINDataSource::GetSupportedSizesCurrent() { return EnumCurrent(m_SupportedSizes); }

TW_UINT16 CTWAINDataSource::GetSupportedSizesDefault() { return EnumDefault(m_SupportedSizes); }

void CTWAINDataSource::SetSupportedSizesConstraint(const CTWAINEnumeration& constraint)
{
    CTWAINEnumPair::Outcome outcome = m_SupportedSizes.Constrain(constraint);
    if (outcome != CTWAINEnumPair::Outcome::Refused) {
        TW_UINT16 current = EnumCurrent(m_SupportedSizes);
        if (current != TWSS_NONE)
            SetFrameFromSizeCode(current);
    }
    if (outcome == CTWAINEnumPair::Outcome::Adjusted)
        ThrowCheckStatus(TWCC_BADVALUE);
    if (outcome == CTWAINEnumPair::Outcome::Refused)
        ThrowFailure(TWCC_BADVALUE);
}

void CTWAINDataSource::SetSupportedSizesCurrent(TW_UINT16 value)
{
    if (!m_SupportedSizes.Current.SetCurrent(CTWAINOneValue(value), m_SupportedSizes.Allowed, true))
        ThrowFailure(TWCC_BADVALUE);
    if (value == TWSS_NONE)
        return;
    SetFrameFromSizeCode(value);

    // A centre-fed scanner: the page lies in the middle of the paper path.
    if (!IsCapSupported(CAP_FEEDERALIGNMENT) || GetFeederAlignment() != TWFA_CENTER)
        return;
    const bool landscape = IsCapSupported(ICAP_ORIENTATION) && GetOrientationCurrent() == TWOR_LANDSCAPE;
    if (landscape) {
        float extent = Fix32ToFloat(m_Frame.Bottom) - Fix32ToFloat(m_Frame.Top);
        float offset = 0.5f * (ConvertYLength(GetPhysicalWidth(), TWUN_INCHES) - extent);
        m_Frame.SetTop(Fix32ToFloat(m_Frame.Top) + offset);
        m_Frame.SetBottom(Fix32ToFloat(m_Frame.Bottom) + offset);
    } else {
        float extent = Fix32ToFloat(m_Frame.Right) - Fix32ToFloat(m_Frame.Left);
        float offset = 0.5f * (ConvertXLength(GetPhysicalWidth(), TWUN_INCHES) - extent);
        m_Frame.SetLeft(Fix32ToFloat(m_Frame.Left) + offset);
        m_Frame.SetRight(Fix32ToFloat(m_Frame.Right) + offset);
    }
}

TW_UINT16 CTWAINDataSource::ResetSupportedSizes()
{
    m_SupportedSizes.Reset();
    TW_UINT16 current = EnumCurrent(m_SupportedSizes);
    if (current != TWSS_NONE)
        SetFrameFromSizeCode(current);
    return current;
}

TW_INT32 CTWAINDataSource::QuerySupportedSizesSupport() { return kSettable; }

// ---- image data set ----

void CTWAINDataSource::FillImageDataSetValues(CTWAINArray& values)
{
    values.Clear();
    values.Append(CTWAINOneValue(1, TWTY_UINT32));
}

void CTWAINDataSource::GetImageDataSetCurrent(CTWAINContainer& container)
{
    const std::vector<CTWAINOneValue>& list = m_ImageDataSet.m_List;
    bool oneToN = !list.empty();
    for (size_t i = 0; oneToN && i < list.size(); ++i)
        oneToN = list[i].Value == i + 1;
    if (oneToN)
        container.SetOneValue(CTWAINOneValue(static_cast<TW_UINT32>(list.size()), TWTY_UINT32));
    else
        container.SetArray(m_ImageDataSet);
}

TW_UINT32 CTWAINDataSource::GetImageDataSetDefault() { return m_ImagesAvailable; }

void CTWAINDataSource::SetImageDataSetRangeConstraint(const CTWAINRange& constraint)
{
    const TW_UINT32 minimum = constraint.MinValue.Value;
    const TW_UINT32 maximum = constraint.MaxValue.Value;
    // Only images that exist can be asked for; a range reaching past them
    // would also make a list of up to four thousand million numbers.
    if (minimum == 0 || (minimum <= maximum && maximum > m_ImagesAvailable))
        ThrowFailure(TWCC_BADVALUE);
    m_ImageDataSet.Clear();
    for (std::uint64_t n = minimum; n <= maximum; ++n)
        m_ImageDataSet.Append(CTWAINOneValue(static_cast<TW_UINT32>(n), TWTY_UINT32));
}

void CTWAINDataSource::SetImageDataSetArray(const CTWAINArray& value)
{
    for (const CTWAINOneValue& item : value.m_List) {
        if (item.Value == 0 || item.Value > m_ImagesAvailable)
            ThrowFailure(TWCC_BADVALUE);
    }
    m_ImageDataSet = value;
}

void CTWAINDataSource::SetImageDataSetCurrent(TW_UINT32 value)
{
    if (value < 1 || value > m_ImagesAvailable)
        ThrowFailure(TWCC_BADVALUE);
    FillOneToN(m_ImageDataSet, value);
}

TW_UINT32 CTWAINDataSource::ResetImageDataSet()
{
    FillOneToN(m_ImageDataSet, m_ImagesAvailable);
    return m_ImagesAvailable;
}

TW_INT32 CTWAINDataSource::QueryImageDataSetSupport() { return kSettable; }

} // namespace Trellis
