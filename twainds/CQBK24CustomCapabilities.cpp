// The scanner's own capabilities: the accessor groups of its lists and
// ranges, and the framework's six custom hooks, which route the custom ids,
// ICAP_NOISEFILTER and CAP_FEEDERORDER to those groups, to the device's
// flags and to the feeder order.
#include "twainds/CQBK24DataSource.h"

using Trellis::CTWAINContainer;
using Trellis::CTWAINEnumeration;
using Trellis::CTWAINOneValue;
using Trellis::CTWAINRange;

namespace {

constexpr TW_INT32 kSettable = TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET;
constexpr TW_INT32 kReadOnly = TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT;

using DS = CQBK24DataSource;

// The accessors of a list of TWTY_UINT16 codes.
struct EnumGroup {
    CTWAINContainer (DS::*Values)();
    TW_UINT16 (DS::*Current)();
    TW_UINT16 (DS::*Default)();
    void (DS::*Constraint)(const CTWAINEnumeration&);
    void (DS::*SetCurrent)(TW_UINT16);
    TW_UINT16 (DS::*Reset)();
    TW_INT32 (DS::*Query)();
};

// The accessors of a range of FIX32 values.
struct RangeGroup {
    CTWAINContainer (DS::*Values)();
    float (DS::*Current)();
    float (DS::*Default)();
    void (DS::*RangeConstraint)(const CTWAINRange&);
    void (DS::*SetCurrent)(float);
    float (DS::*Reset)();
    TW_INT32 (DS::*Query)();
};

// One capability the hooks answer: a list, a range or a flag, or (none of
// them) the read-only feeder order.
struct CustomCapability {
    TW_UINT16 Id;
    const EnumGroup* Enum = nullptr;
    const RangeGroup* Range = nullptr;
    bool DS::*Flag = nullptr;
};

// clang-format off
constexpr EnumGroup kDespeckle{&DS::GetDespeckleValues,     &DS::GetDespeckleCurrent, &DS::GetDespeckleDefault,
                               &DS::SetDespeckleConstraint, &DS::SetDespeckleCurrent, &DS::ResetDespeckle,
                               &DS::QueryDespeckleSupport};
constexpr EnumGroup kDoubleFeedAction{
    &DS::GetDoubleFeedActionValues,     &DS::GetDoubleFeedActionCurrent, &DS::GetDoubleFeedActionDefault,
    &DS::SetDoubleFeedActionConstraint, &DS::SetDoubleFeedActionCurrent, &DS::ResetDoubleFeedAction,
    &DS::QueryDoubleFeedActionSupport};
constexpr EnumGroup kDoubleFeedSensitivity{
    &DS::GetDoubleFeedSensitivityValues,     &DS::GetDoubleFeedSensitivityCurrent,
    &DS::GetDoubleFeedSensitivityDefault,    &DS::SetDoubleFeedSensitivityConstraint,
    &DS::SetDoubleFeedSensitivityCurrent,    &DS::ResetDoubleFeedSensitivity,
    &DS::QueryDoubleFeedSensitivitySupport};
constexpr EnumGroup kSkewAction{&DS::GetSkewActionValues,     &DS::GetSkewActionCurrent, &DS::GetSkewActionDefault,
                                &DS::SetSkewActionConstraint, &DS::SetSkewActionCurrent, &DS::ResetSkewAction,
                                &DS::QuerySkewActionSupport};
constexpr EnumGroup kNoiseFilter{&DS::GetNoiseFilterValues,     &DS::GetNoiseFilterCurrent, &DS::GetNoiseFilterDefault,
                                 &DS::SetNoiseFilterConstraint, &DS::SetNoiseFilterCurrent, &DS::ResetNoiseFilter,
                                 &DS::QueryNoiseFilterSupport};
constexpr RangeGroup kDespeckleValue{
    &DS::GetDespeckleValueValues,          &DS::GetDespeckleValueCurrent, &DS::GetDespeckleValueDefault,
    &DS::SetDespeckleValueRangeConstraint, &DS::SetDespeckleValueCurrent, &DS::ResetDespeckleValue,
    &DS::QueryDespeckleValueSupport};
constexpr RangeGroup kDynamicThreshold{
    &DS::GetDynamicThresholdValues,          &DS::GetDynamicThresholdCurrent, &DS::GetDynamicThresholdDefault,
    &DS::SetDynamicThresholdRangeConstraint, &DS::SetDynamicThresholdCurrent, &DS::ResetDynamicThreshold,
    &DS::QueryDynamicThresholdSupport};
// clang-format on

constexpr CustomCapability kCustomCapabilities[] = {
    {CUSTCAP_DYNAMICTHRESHOLD, nullptr, &kDynamicThreshold},
    {CUSTCAP_DESPECKLE, &kDespeckle},
    {CUSTCAP_DESPECKLEVALUE, nullptr, &kDespeckleValue},
    {CUSTCAP_INVERTIMAGE, nullptr, nullptr, &DS::InvertImage},
    {CUSTCAP_MIRRORIMAGE, nullptr, nullptr, &DS::MirrorImage},
    {CUSTCAP_DOUBLEFEEDDETECTION, nullptr, nullptr, &DS::DoubleFeedDetection},
    {CUSTCAP_DOUBLEFEEDSENSITIVITY, &kDoubleFeedSensitivity},
    {CUSTCAP_AUTOMATICSEPARATION, nullptr, nullptr, &DS::AutoSeparation},
    {CUSTCAP_AUTOCROPWIDTH, nullptr, nullptr, &DS::AutoCropWidth},
    {CUSTCAP_AUTOCROPLENGTH, nullptr, nullptr, &DS::AutoCropLength},
    {CUSTCAP_DOUBLEFEEDACTION, &kDoubleFeedAction},
    {CUSTCAP_SKEWACTION, &kSkewAction},
    {CUSTCAP_LONGDOCSUPPORT, nullptr, nullptr, &DS::LongDocument},
    {ICAP_NOISEFILTER, &kNoiseFilter},
    {CAP_FEEDERORDER},
};

const CustomCapability* FindCustomCapability(TW_UINT16 id)
{
    for (const CustomCapability& capability : kCustomCapabilities) {
        if (capability.Id == id)
            return &capability;
    }
    return nullptr;
}

CTWAINOneValue UInt16Item(TW_UINT16 value) { return CTWAINOneValue(TW_UINT32{value}, TWTY_UINT16); }

CTWAINOneValue BoolItem(bool value) { return CTWAINOneValue(value ? 1u : 0u, TWTY_BOOL); }

} // namespace

// ---- accessor groups ----

CTWAINContainer CQBK24DataSource::GetDespeckleValues() { return CTWAINContainer(Despeckle.Current); }
TW_UINT16 CQBK24DataSource::GetDespeckleCurrent() { return Despeckle.Current.GetCurrent().GetUInt16(); }
TW_UINT16 CQBK24DataSource::GetDespeckleDefault() { return Despeckle.Allowed.GetDefault().GetUInt16(); }
void CQBK24DataSource::SetDespeckleConstraint(const CTWAINEnumeration& constraint)
{
    ConstrainEnum(Despeckle, constraint);
}
void CQBK24DataSource::SetDespeckleCurrent(TW_UINT16 value) { SetEnumCurrent(Despeckle, CTWAINOneValue(value)); }
TW_UINT16 CQBK24DataSource::ResetDespeckle()
{
    Despeckle.Reset();
    return GetDespeckleCurrent();
}
TW_INT32 CQBK24DataSource::QueryDespeckleSupport() { return kSettable; }

CTWAINContainer CQBK24DataSource::GetDespeckleValueValues() { return CTWAINContainer(DespeckleValue.Current); }
float CQBK24DataSource::GetDespeckleValueCurrent() { return DespeckleValue.Current.CurrentValue.GetFloat(); }
float CQBK24DataSource::GetDespeckleValueDefault() { return DespeckleValue.Allowed.DefaultValue.GetFloat(); }
void CQBK24DataSource::SetDespeckleValueRangeConstraint(const CTWAINRange& constraint)
{
    ConstrainRange(DespeckleValue, constraint);
}
void CQBK24DataSource::SetDespeckleValueCurrent(float value) { SetRangeCurrent(DespeckleValue, CTWAINOneValue(value)); }
float CQBK24DataSource::ResetDespeckleValue()
{
    DespeckleValue.Reset();
    return GetDespeckleValueCurrent();
}
TW_INT32 CQBK24DataSource::QueryDespeckleValueSupport() { return kSettable; }

CTWAINContainer CQBK24DataSource::GetDoubleFeedActionValues() { return CTWAINContainer(DoubleFeedActions.Current); }
TW_UINT16 CQBK24DataSource::GetDoubleFeedActionCurrent() { return DoubleFeedActions.Current.GetCurrent().GetUInt16(); }
TW_UINT16 CQBK24DataSource::GetDoubleFeedActionDefault() { return DoubleFeedActions.Allowed.GetDefault().GetUInt16(); }
void CQBK24DataSource::SetDoubleFeedActionConstraint(const CTWAINEnumeration& constraint)
{
    ConstrainEnum(DoubleFeedActions, constraint);
}
void CQBK24DataSource::SetDoubleFeedActionCurrent(TW_UINT16 value)
{
    SetEnumCurrent(DoubleFeedActions, CTWAINOneValue(value));
}
TW_UINT16 CQBK24DataSource::ResetDoubleFeedAction()
{
    DoubleFeedActions.Reset();
    return GetDoubleFeedActionCurrent();
}
TW_INT32 CQBK24DataSource::QueryDoubleFeedActionSupport() { return kSettable; }

CTWAINContainer CQBK24DataSource::GetDoubleFeedSensitivityValues()
{
    return CTWAINContainer(DoubleFeedSensitivities.Current);
}
TW_UINT16 CQBK24DataSource::GetDoubleFeedSensitivityCurrent()
{
    return DoubleFeedSensitivities.Current.GetCurrent().GetUInt16();
}
TW_UINT16 CQBK24DataSource::GetDoubleFeedSensitivityDefault()
{
    return DoubleFeedSensitivities.Allowed.GetDefault().GetUInt16();
}
void CQBK24DataSource::SetDoubleFeedSensitivityConstraint(const CTWAINEnumeration& constraint)
{
    ConstrainEnum(DoubleFeedSensitivities, constraint);
}
void CQBK24DataSource::SetDoubleFeedSensitivityCurrent(TW_UINT16 value)
{
    SetEnumCurrent(DoubleFeedSensitivities, CTWAINOneValue(value));
}
TW_UINT16 CQBK24DataSource::ResetDoubleFeedSensitivity()
{
    DoubleFeedSensitivities.Reset();
    return GetDoubleFeedSensitivityCurrent();
}
TW_INT32 CQBK24DataSource::QueryDoubleFeedSensitivitySupport() { return kSettable; }

CTWAINContainer CQBK24DataSource::GetSkewActionValues() { return CTWAINContainer(SkewActions.Current); }
TW_UINT16 CQBK24DataSource::GetSkewActionCurrent() { return SkewActions.Current.GetCurrent().GetUInt16(); }
TW_UINT16 CQBK24DataSource::GetSkewActionDefault() { return SkewActions.Allowed.GetDefault().GetUInt16(); }
void CQBK24DataSource::SetSkewActionConstraint(const CTWAINEnumeration& constraint)
{
    ConstrainEnum(SkewActions, constraint);
}
void CQBK24DataSource::SetSkewActionCurrent(TW_UINT16 value) { SetEnumCurrent(SkewActions, CTWAINOneValue(value)); }
TW_UINT16 CQBK24DataSource::ResetSkewAction()
{
    SkewActions.Reset();
    return GetSkewActionCurrent();
}
TW_INT32 CQBK24DataSource::QuerySkewActionSupport() { return kSettable; }

CTWAINContainer CQBK24DataSource::GetNoiseFilterValues() { return CTWAINContainer(NoiseFilters.Current); }
TW_UINT16 CQBK24DataSource::GetNoiseFilterCurrent() { return NoiseFilters.Current.GetCurrent().GetUInt16(); }
TW_UINT16 CQBK24DataSource::GetNoiseFilterDefault() { return NoiseFilters.Allowed.GetDefault().GetUInt16(); }
void CQBK24DataSource::SetNoiseFilterConstraint(const CTWAINEnumeration& constraint)
{
    ConstrainEnum(NoiseFilters, constraint);
}
void CQBK24DataSource::SetNoiseFilterCurrent(TW_UINT16 value) { SetEnumCurrent(NoiseFilters, CTWAINOneValue(value)); }
TW_UINT16 CQBK24DataSource::ResetNoiseFilter()
{
    NoiseFilters.Reset();
    return GetNoiseFilterCurrent();
}
TW_INT32 CQBK24DataSource::QueryNoiseFilterSupport() { return kSettable; }

CTWAINContainer CQBK24DataSource::GetDynamicThresholdValues() { return CTWAINContainer(DynamicThreshold.Current); }
float CQBK24DataSource::GetDynamicThresholdCurrent() { return DynamicThreshold.Current.CurrentValue.GetFloat(); }
float CQBK24DataSource::GetDynamicThresholdDefault() { return DynamicThreshold.Allowed.DefaultValue.GetFloat(); }
void CQBK24DataSource::SetDynamicThresholdRangeConstraint(const CTWAINRange& constraint)
{
    ConstrainRange(DynamicThreshold, constraint);
}
void CQBK24DataSource::SetDynamicThresholdCurrent(float value)
{
    SetRangeCurrent(DynamicThreshold, CTWAINOneValue(value));
}
float CQBK24DataSource::ResetDynamicThreshold()
{
    DynamicThreshold.Reset();
    return GetDynamicThresholdCurrent();
}
TW_INT32 CQBK24DataSource::QueryDynamicThresholdSupport() { return kSettable; }

// ---- the custom hooks ----

bool CQBK24DataSource::GetCustomCapValues(TW_UINT16 id, CTWAINContainer& container)
{
    const CustomCapability* capability = FindCustomCapability(id);
    if (!capability)
        return false;
    if (capability->Enum)
        container = (this->*capability->Enum->Values)();
    else if (capability->Range)
        container = (this->*capability->Range->Values)();
    else
        return GetCustomCapCurrent(id, container);
    return true;
}

bool CQBK24DataSource::GetCustomCapCurrent(TW_UINT16 id, CTWAINContainer& container)
{
    const CustomCapability* capability = FindCustomCapability(id);
    if (!capability)
        return false;
    if (capability->Enum)
        container.SetOneValue(UInt16Item((this->*capability->Enum->Current)()));
    else if (capability->Range)
        container.SetOneValue(CTWAINOneValue((this->*capability->Range->Current)()));
    else if (capability->Flag)
        container.SetOneValue(BoolItem(this->*capability->Flag));
    else
        container.SetOneValue(UInt16Item(FeederOrder));
    return true;
}

bool CQBK24DataSource::GetCustomCapDefault(TW_UINT16 id, CTWAINContainer& container)
{
    const CustomCapability* capability = FindCustomCapability(id);
    if (!capability)
        return false;
    if (capability->Enum)
        container.SetOneValue(UInt16Item((this->*capability->Enum->Default)()));
    else if (capability->Range)
        container.SetOneValue(CTWAINOneValue((this->*capability->Range->Default)()));
    else if (capability->Flag)
        container.SetOneValue(BoolItem(false));
    else
        container.SetOneValue(UInt16Item(0));
    return true;
}

// A list takes a constraint or a current value, a range a range or a
// current value, a flag only a one value (another container fails in its
// view); any other container type and the feeder order are not for setting.
bool CQBK24DataSource::SetCustomCap(TW_UINT16 id, CTWAINContainer& container)
{
    const CustomCapability* capability = FindCustomCapability(id);
    if (!capability)
        return false;
    if (capability->Flag) {
        this->*capability->Flag = (container.GetOneValue().Value & 0xFFFF) != 0;
        return true;
    }
    if (const EnumGroup* group = capability->Enum) {
        if (container.ContainerType == TWON_ENUMERATION)
            (this->*group->Constraint)(container.GetEnumeration());
        else if (container.ContainerType == TWON_ONEVALUE)
            (this->*group->SetCurrent)(container.GetOneValue().GetUInt16());
        else
            return false;
        return true;
    }
    if (const RangeGroup* group = capability->Range) {
        if (container.ContainerType == TWON_RANGE)
            (this->*group->RangeConstraint)(container.GetRange());
        else if (container.ContainerType == TWON_ONEVALUE)
            (this->*group->SetCurrent)(container.GetOneValue().GetFloat());
        else
            return false;
        return true;
    }
    return false;
}

bool CQBK24DataSource::ResetCustomCap(TW_UINT16 id, CTWAINContainer& container)
{
    const CustomCapability* capability = FindCustomCapability(id);
    if (!capability)
        return false;
    if (capability->Enum) {
        container.SetOneValue(UInt16Item((this->*capability->Enum->Reset)()));
    } else if (capability->Range) {
        container.SetOneValue(CTWAINOneValue((this->*capability->Range->Reset)()));
    } else if (capability->Flag) {
        this->*capability->Flag = false;
        container.SetOneValue(BoolItem(false));
    } else {
        return false;
    }
    return true;
}

bool CQBK24DataSource::QueryCustomCapSupport(TW_UINT16 id, TW_INT32& flags)
{
    const CustomCapability* capability = FindCustomCapability(id);
    if (!capability)
        return false;
    if (capability->Enum)
        flags = (this->*capability->Enum->Query)();
    else if (capability->Range)
        flags = (this->*capability->Range->Query)();
    else if (capability->Flag)
        flags = kSettable;
    else
        flags = kReadOnly;
    return true;
}
