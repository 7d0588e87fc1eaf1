// A range of capability values: minimum, maximum, step, default and
// current, each a typed item.
#pragma once

#include "twainfw/CTWAINOneValue.h"

namespace Trellis {

class CTWAINRange {
public:
    CTWAINRange(); // the empty FIX32 range (0, 0, 0, 0, 0)
    // FIX32 items, in the order minimum, maximum, step, current, default.
    CTWAINRange(float min, float max, float step, float current, float def);
    void Set(float min, float max, float step, float current, float def);

    // Reads a TW_RANGE: its item type for the range and all five items.
    // A record shorter than its 22 bytes or of an unknown item type is
    // refused (CTWAINRangeException).
    explicit CTWAINRange(const TW_RANGE& record, size_t blockSize = CTWAINOneValue::kUnboundedRecord);
    void ToRange(TW_RANGE& record) const;

    CTWAINOneValue GetMin() const { return MinValue; }
    CTWAINOneValue GetMax() const { return MaxValue; }
    CTWAINOneValue GetStep() const { return StepSize; }
    CTWAINOneValue GetDefault() const { return DefaultValue; }
    CTWAINOneValue GetCurrent() const { return CurrentValue; }
    // Each stores its item and takes the item's type as the range's type.
    void SetMin(const CTWAINOneValue& value);
    void SetMax(const CTWAINOneValue& value);
    void SetStep(const CTWAINOneValue& value);
    void SetDefault(const CTWAINOneValue& value);
    void SetCurrent(const CTWAINOneValue& value);

    // Whether the value is one of the step values.
    bool Contains(const CTWAINOneValue& value) const;
    bool TrySetCurrent(const CTWAINOneValue& value);
    // A step value becomes current (adjusted false); a FIX32 value inside
    // the range becomes the nearest step value (adjusted true; of two
    // equally near the upper). Otherwise false.
    bool SetCurrentNearest(const CTWAINOneValue& value, bool& adjusted);
    // True, and no change, when `allowed` holds every step value of the
    // request; otherwise false, with default and current taken from the
    // request where this range holds them (else kept, else MinValue / the
    // default). Minimum, maximum and step never change here.
    bool Constrain(const CTWAINRange& request, const CTWAINRange& allowed);
    // A FIX32 range in another unit; CTWAINRangeException for other types.
    CTWAINRange ConvertUnits(int fromUnit, int toUnit, float resolution) const;

    // Visits MinValue, MinValue + StepSize, ... while the value is at most
    // MaxValue. The walk also ends where a step would not move the value
    // forward (a step of zero or below, a sum that wraps or saturates, an
    // unknown item type), and after kMaxSteps values, so every range ends,
    // and soon: an application's range of 2^32 steps would otherwise hold
    // the host for minutes. A range of FRAME or string items fails with
    // CTWAINOneValueException at its first step.
    static constexpr TW_UINT32 kMaxSteps = 65536;
    template <class Visit>
    void WalkSteps(Visit visit) const
    {
        CTWAINOneValue s = MinValue;
        for (TW_UINT32 visited = 0; visited < kMaxSteps && s <= MaxValue; ++visited) {
            visit(static_cast<const CTWAINOneValue&>(s));
            CTWAINOneValue next = s;
            next += StepSize;
            if (!(s < next))
                break;
            s = next;
        }
    }

    TW_UINT32 ItemType;
    CTWAINOneValue MinValue;
    CTWAINOneValue MaxValue;
    CTWAINOneValue StepSize;
    CTWAINOneValue DefaultValue;
    CTWAINOneValue CurrentValue;

private:
    // Stores one of the five items and takes its type as the range's.
    void Store(CTWAINOneValue& item, const CTWAINOneValue& value);
};

} // namespace Trellis
