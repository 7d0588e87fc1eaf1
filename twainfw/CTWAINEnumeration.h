// A list of capability items with a current and a default item, kept as
// positions in the list.
//
// Nothing keeps the two indexes inside the list (RemoveAt leaves them, and
// in a request 0xFFFFFFFF means "no index"): every read of the current or
// default item checks its index, and an index outside the list names no item.
#pragma once

#include "twainfw/CTWAINArray.h"

#include <optional>

namespace Trellis {

class CTWAINRange;

class CTWAINEnumeration : public CTWAINArray {
public:
    // "No index" in a request.
    static constexpr TW_UINT32 kNoIndex = 0xFFFFFFFFu;

    CTWAINEnumeration() = default;
    CTWAINEnumeration(const CTWAINEnumeration& other) = default;
    CTWAINEnumeration& operator=(const CTWAINEnumeration& other) = default;
    // The items; both indexes 0.
    CTWAINEnumeration& operator=(const CTWAINArray& other);

    // Reads a TW_ENUMERATION as CTWAINArray reads a TW_ARRAY
    // (CTWAINEnumerationException). The record's indexes must name one of
    // its items (or be kNoIndex); they are kept pointing at the same items
    // when duplicates are dropped.
    explicit CTWAINEnumeration(const TW_ENUMERATION& record, size_t blockSize = CTWAINOneValue::kUnboundedRecord);
    void ToEnumeration(TW_ENUMERATION& record) const;

    // Empties the list and sets both indexes to 0.
    void Clear() override;

    // The item at CurrentIndex (DefaultIndex); CTWAINEnumerationException
    // when the index names no item of the list.
    CTWAINOneValue GetCurrent() const;
    CTWAINOneValue GetDefault() const;
    // The same without the exception.
    std::optional<CTWAINOneValue> CurrentItem() const;
    std::optional<CTWAINOneValue> DefaultItem() const;

    // Appends the value unless the list holds it (frames are always
    // appended); then optionally makes it (its first equal) current/default.
    void Add(const CTWAINOneValue& value, bool makeCurrent = false, bool makeDefault = false);

    // A listed value becomes current; an unlisted one is added and made
    // current when mayAdd is set and `allowed` holds it; else false, no change.
    bool SetCurrent(const CTWAINOneValue& value, const CTWAINArray& allowed, bool mayAdd);

    // A listed value becomes current (adjusted false). A UINT8, UINT32 or
    // FIX32 value between the smallest and largest listed values makes the
    // nearest listed FIX32 value current (adjusted true; of two equally near
    // the upper). Otherwise false.
    bool SetCurrentNearest(const CTWAINOneValue& value, bool& adjusted);

    // Keeps the requested values that `allowed` holds; default and current
    // follow the request, else the old items, else the first / the default.
    // False when any requested value was refused.
    bool Constrain(const CTWAINEnumeration& request, const CTWAINArray& allowed);
    // The same for an application's answer shaped as a range: its step values.
    bool ConstrainToRange(const CTWAINRange& request, const CTWAINArray& allowed);

    // Every item read as TW_FIX32 and converted to another unit, as FIX32
    // items (items that become equal collapse into one).
    CTWAINEnumeration ConvertUnits(int fromUnit, int toUnit, float resolution) const;

    TW_UINT32 CurrentIndex = 0;
    TW_UINT32 DefaultIndex = 0;
};

} // namespace Trellis
