#include "twainfw/CTWAINEnumPair.h"

#include "twainfw/CTWAINRange.h"

namespace Trellis {

namespace {

CTWAINEnumPair::Outcome AfterConstraint(CTWAINEnumPair& pair, bool whole)
{
    if (whole)
        return CTWAINEnumPair::Outcome::Taken;
    if (pair.Current.GetCount() > 0)
        return CTWAINEnumPair::Outcome::Adjusted;
    pair.Reset();
    return CTWAINEnumPair::Outcome::Refused;
}

} // namespace

CTWAINEnumPair::Outcome CTWAINEnumPair::Constrain(const CTWAINEnumeration& request)
{
    // Constrain needs a non-empty list to take its old indexes from.
    if (Current.GetCount() == 0)
        Reset();
    return AfterConstraint(*this, Current.Constrain(request, Allowed));
}

CTWAINEnumPair::Outcome CTWAINEnumPair::ConstrainToRange(const CTWAINRange& request)
{
    // The allowed values that lie inside the range; its step is not used.
    CTWAINEnumeration inside;
    for (const CTWAINOneValue& value : Allowed.m_List) {
        if (request.MinValue <= value && value <= request.MaxValue)
            inside.Add(value);
    }
    if (inside.GetCount() == 0) {
        Reset();
        return Outcome::Refused;
    }
    inside.CurrentIndex = inside.IndexOf(request.CurrentValue).value_or(CTWAINEnumeration::kNoIndex);
    inside.DefaultIndex = inside.IndexOf(request.DefaultValue).value_or(CTWAINEnumeration::kNoIndex);
    return Constrain(inside);
}

CTWAINEnumPair::Outcome CTWAINEnumPair::SetCurrent(const CTWAINOneValue& value)
{
    bool adjusted = false;
    if (Current.SetCurrentNearest(value, adjusted))
        return adjusted ? Outcome::Adjusted : Outcome::Taken;
    if (Current.SetCurrent(value, Allowed, true))
        return Outcome::Taken;
    return Outcome::Refused;
}

} // namespace Trellis
