// An ordered list of capability items.
#pragma once

#include "twainfw/CTWAINOneValue.h"

#include <optional>
#include <vector>

namespace Trellis {

class CTWAINArray {
public:
    CTWAINArray() = default;
    CTWAINArray(const CTWAINArray& other) = default;
    CTWAINArray& operator=(const CTWAINArray& other) = default;

    // Reads a TW_ARRAY, dropping duplicates (frames are always kept). A
    // record whose items would reach past `blockSize` bytes, or whose item
    // type is unknown, is refused (CTWAINArrayException) before anything
    // past the block is read; NumItems 0 gives an empty list whatever the type.
    explicit CTWAINArray(const TW_ARRAY& record, size_t blockSize = CTWAINOneValue::kUnboundedRecord);
    // Writes the list with the first item's type into a record whose block
    // has room for it; CTWAINArrayException for an unknown item type.
    void ToArray(TW_ARRAY& record) const;

    // Erases the item at an index; an index at or past the end does nothing.
    virtual void RemoveAt(TW_UINT32 index);
    virtual void Clear();
    // Declared after the two operations, which keep the first places of the
    // virtual table.
    virtual ~CTWAINArray() = default;

    // Index of the first item equal to the value; CTWAINArrayException when none is.
    TW_UINT32 Find(const CTWAINOneValue& value) const;
    bool Contains(const CTWAINOneValue& value) const;
    // Find without the exception.
    std::optional<TW_UINT32> IndexOf(const CTWAINOneValue& value) const;

    // Refills this list with the requested items that `allowed` holds (no
    // duplicates, except frames); false when any requested item was refused.
    bool Constrain(const CTWAINArray& request, const CTWAINArray& allowed);

    TW_UINT32 GetCount() const { return static_cast<TW_UINT32>(m_List.size()); }
    // The item at an index; CTWAINArrayException past the end.
    const CTWAINOneValue& GetAt(TW_UINT32 index) const;
    // Appends without looking for duplicates.
    void Append(const CTWAINOneValue& value) { m_List.push_back(value); }

    std::vector<CTWAINOneValue> m_List;
};

} // namespace Trellis
