// One typed capability item: a TWTY code and its value. Integers, BOOL and
// FIX32 live in the 32-bit value word (FIX32 as the TW_FIX32 word: Whole low,
// Frac high); strings in the text, frames in the frame. Items are plain
// values, copied whole.
#pragma once

#include "platform/twain/twain.h"
#include "twainfw/CTWAINFrame.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace Trellis {

// Bytes of one item of a TWTY code in a TWAIN record (2 for unknown codes).
TW_UINT32 GetItemTypeSize(TW_UINT32 itemType);
// Whether the code is one of the thirteen item types TWAIN defines.
bool IsKnownItemType(TW_UINT32 itemType);
bool IsStringItemType(TW_UINT32 itemType);
// Characters a string type holds: 32, 64, 128, 255; 0 for other types.
size_t GetStringItemLength(TW_UINT32 itemType);

class CTWAINOneValue {
public:
    CTWAINOneValue(); // type 0, value 0
    CTWAINOneValue(TW_UINT32 value, TW_UINT16 itemType);
    explicit CTWAINOneValue(float value);     // TWTY_FIX32
    explicit CTWAINOneValue(TW_UINT16 value); // TWTY_UINT16
    CTWAINOneValue(const std::string& text, TW_UINT16 itemType);
    explicit CTWAINOneValue(const TW_FRAME& frame); // TWTY_FRAME

    // Reads the item of a TW_ONEVALUE: the 32-bit word, the 16 frame bytes
    // or the string up to its NUL within its slot. `blockSize` is what the
    // record's block holds from ItemType on: an item that would reach past
    // it, or an unknown item type, is refused (CTWAINOneValueException)
    // before anything past the block is read.
    explicit CTWAINOneValue(const TW_ONEVALUE& record, size_t blockSize = kUnboundedRecord);
    // Writes ItemType and the item into a record whose block has room for
    // it (CTWAINContainer::GetHandleSize).
    void ToOneValue(TW_ONEVALUE& record) const;

    // The low 16 bits of the value; CTWAINOneValueException for FRAME and strings.
    TW_UINT16 GetUInt16() const;
    const std::string& GetText() const { return Text; }
    // The text cut to its type's length; empty for other types.
    std::string GetString() const;
    // The value word read as TW_FIX32, as a float.
    float GetFloat() const;

    bool operator==(const CTWAINOneValue& other) const;
    bool operator<(const CTWAINOneValue& other) const;
    bool operator<=(const CTWAINOneValue& other) const;
    // Steps a range: adds the other item's value word as if it had this
    // item's type. CTWAINOneValueException for FRAME and strings.
    CTWAINOneValue& operator+=(const CTWAINOneValue& other);

    // The block size of a record whose block cannot be measured (a handle
    // the application allocated through the data source manager).
    static constexpr size_t kUnboundedRecord = SIZE_MAX;

    TW_UINT32 ItemType;
    TW_UINT32 Value;
    std::string Text;
    CTWAINFrame Frame;
};

} // namespace Trellis
