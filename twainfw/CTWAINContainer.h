// A negotiated capability value in one of the four TWAIN container shapes,
// tagged with its TWON code: 3 array, 4 enumeration, 5 one value, 6 range
// (0 only after default construction).
#pragma once

#include "twainfw/CTWAINEnumeration.h"
#include "twainfw/CTWAINRange.h"

namespace Trellis {

class CTWAINContainer {
public:
    CTWAINContainer(); // type 0, the empty range, an empty list
    CTWAINContainer(const CTWAINArray& array);
    CTWAINContainer(const CTWAINEnumeration& enumeration);
    CTWAINContainer(const CTWAINRange& range);
    CTWAINContainer(const CTWAINOneValue& value);
    CTWAINContainer(const CTWAINContainer& other) = default;
    // FromHandle of the capability's container.
    explicit CTWAINContainer(const TW_CAPABILITY& capability);

    // Type, range, list (item by item), then the list's indexes.
    CTWAINContainer& operator=(const CTWAINContainer& other);

    void SetArray(const CTWAINArray& array);
    void SetEnumeration(const CTWAINEnumeration& enumeration);
    void SetOneValue(const CTWAINOneValue& value);
    void SetRange(const CTWAINRange& range); // the list is left as it is

    // Each throws CTWAINContainerException for a container of another shape.
    CTWAINOneValue GetOneValue() const; // type 5 with an item
    operator CTWAINOneValue() const { return GetOneValue(); }
    CTWAINArray GetArray() const;             // types 3 and 4
    CTWAINEnumeration GetEnumeration() const; // type 4
    CTWAINRange GetRange() const;             // type 6
    // Types 3 and 4: the list holds the value; type 5: the item equals it.
    bool Contains(const CTWAINOneValue& value) const;

    // Bytes of the TWAIN record of this container: array 8 + n x item size,
    // enumeration 16 + n x item size, one value 6 (18 for a frame, 36, 68,
    // 132, 258 for strings), range 22. CTWAINContainerException for other
    // container types and a one value without its item.
    TW_UINT32 GetHandleSize() const;
    // A new handle holding the record; it belongs to the receiver. Null
    // when no memory could be had.
    TW_HANDLE ToHandle() const;
    // Reads the record of `containerType` from the handle, which stays the
    // caller's. A handle that cannot be locked, a record that reaches past
    // its block, unknown item types and other container types are refused
    // with an exception of the framework; the type is taken even then.
    void FromHandle(TW_HANDLE handle, TW_UINT32 containerType);

    TW_UINT32 ContainerType;
    CTWAINRange Range;
    CTWAINEnumeration List;
};

} // namespace Trellis
