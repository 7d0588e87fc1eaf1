#include "twainfw/CTWAINRange.h"

#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINException.h"

namespace Trellis {

CTWAINRange::CTWAINRange() : CTWAINRange(0.0f, 0.0f, 0.0f, 0.0f, 0.0f) {}

CTWAINRange::CTWAINRange(float min, float max, float step, float current, float def) : ItemType(TWTY_FIX32)
{
    Set(min, max, step, current, def);
}

void CTWAINRange::Set(float min, float max, float step, float current, float def)
{
    SetMin(CTWAINOneValue(min));
    SetMax(CTWAINOneValue(max));
    SetStep(CTWAINOneValue(step));
    SetCurrent(CTWAINOneValue(current));
    SetDefault(CTWAINOneValue(def));
}

void CTWAINRange::SetMin(const CTWAINOneValue& value) { Store(MinValue, value); }
void CTWAINRange::SetMax(const CTWAINOneValue& value) { Store(MaxValue, value); }
void CTWAINRange::SetStep(const CTWAINOneValue& value) { Store(StepSize, value); }
void CTWAINRange::SetDefault(const CTWAINOneValue& value) { Store(DefaultValue, value); }
void CTWAINRange::SetCurrent(const CTWAINOneValue& value) { Store(CurrentValue, value); }

void CTWAINRange::Store(CTWAINOneValue& item, const CTWAINOneValue& value)
{
    item = value;
    ItemType = value.ItemType;
}

bool CTWAINRange::Contains(const CTWAINOneValue& value) const
{
    bool found = false;
    try {
        WalkSteps([&](const CTWAINOneValue& s) {
            if (s == value)
                found = true;
        });
    } catch (const CTWAINArrayException&) {
        // ends the walk with the answer so far
    }
    return found;
}

bool CTWAINRange::TrySetCurrent(const CTWAINOneValue& value)
{
    if (!Contains(value))
        return false;
    SetCurrent(value);
    return true;
}

bool CTWAINRange::SetCurrentNearest(const CTWAINOneValue& value, bool& adjusted)
{
    if (Contains(value)) {
        SetCurrent(value);
        adjusted = false;
        return true;
    }
    double v = value.GetFloat();
    if (FloatLess(v, MinValue.GetFloat()) || FloatGreater(v, MaxValue.GetFloat())) {
        adjusted = false;
        return false;
    }
    double best = NearestDistance(v, CurrentValue.GetFloat());
    WalkSteps([&](const CTWAINOneValue& s) {
        double d = NearestDistance(v, s.GetFloat());
        if (d - best < -kNearestMargin)
            best = d;
    });
    adjusted = true;
    // The upper candidate first: of two equally near step values the upper wins.
    for (double candidate : {v + best, v - best}) {
        CTWAINOneValue item(static_cast<float>(candidate));
        if (Contains(item)) {
            SetCurrent(item);
            return true;
        }
    }
    return false;
}

bool CTWAINRange::Constrain(const CTWAINRange& request, const CTWAINRange& allowed)
{
    const CTWAINRange requested = request; // the request may be this range
    const CTWAINOneValue oldCurrent = CurrentValue;
    const CTWAINOneValue oldDefault = DefaultValue;

    bool result = true;
    requested.WalkSteps([&](const CTWAINOneValue& s) {
        if (!allowed.Contains(s))
            result = false;
    });
    if (result)
        return true;

    if (Contains(requested.DefaultValue))
        SetDefault(requested.DefaultValue);
    else if (Contains(oldDefault))
        SetDefault(oldDefault);
    else
        SetDefault(MinValue);

    if (Contains(requested.CurrentValue))
        SetCurrent(requested.CurrentValue);
    else if (Contains(oldCurrent))
        SetCurrent(oldCurrent);
    else
        SetCurrent(DefaultValue);
    return false;
}

CTWAINRange CTWAINRange::ConvertUnits(int fromUnit, int toUnit, float resolution) const
{
    if (ItemType != TWTY_FIX32)
        throw CTWAINRangeException();
    if (fromUnit == toUnit)
        return *this;
    auto convert = [&](const CTWAINOneValue& item) {
        return ConvertUnit(item.GetFloat(), fromUnit, toUnit, resolution);
    };
    return CTWAINRange(convert(MinValue), convert(MaxValue), convert(StepSize), convert(CurrentValue),
                       convert(DefaultValue));
}

} // namespace Trellis
