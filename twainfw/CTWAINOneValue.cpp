#include "twainfw/CTWAINOneValue.h"

#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINException.h"

namespace Trellis {

TW_UINT32 GetItemTypeSize(TW_UINT32 itemType)
{
    switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8:
        return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL:
        return 2;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32:
        return 4;
    case TWTY_FRAME:
        return 16;
    case TWTY_STR32:
        return 34;
    case TWTY_STR64:
        return 66;
    case TWTY_STR128:
        return 130;
    case TWTY_STR255:
        return 256;
    default:
        return 2;
    }
}

bool IsKnownItemType(TW_UINT32 itemType) { return itemType <= TWTY_STR255; }

bool IsStringItemType(TW_UINT32 itemType) { return itemType >= TWTY_STR32 && itemType <= TWTY_STR255; }

size_t GetStringItemLength(TW_UINT32 itemType)
{
    switch (itemType) {
    case TWTY_STR32:
        return 32;
    case TWTY_STR64:
        return 64;
    case TWTY_STR128:
        return 128;
    case TWTY_STR255:
        return 255;
    default:
        return 0;
    }
}

CTWAINOneValue::CTWAINOneValue() : ItemType(0), Value(0) {}

CTWAINOneValue::CTWAINOneValue(TW_UINT32 value, TW_UINT16 itemType) : ItemType(itemType), Value(value) {}

CTWAINOneValue::CTWAINOneValue(float value) : ItemType(TWTY_FIX32), Value(Fix32ToWord(FloatToFix32(value))) {}

CTWAINOneValue::CTWAINOneValue(TW_UINT16 value) : ItemType(TWTY_UINT16), Value(value) {}

CTWAINOneValue::CTWAINOneValue(const std::string& text, TW_UINT16 itemType) : ItemType(itemType), Value(0), Text(text)
{
}

CTWAINOneValue::CTWAINOneValue(const TW_FRAME& frame) : ItemType(TWTY_FRAME), Value(0), Frame(frame) {}

TW_UINT16 CTWAINOneValue::GetUInt16() const
{
    if (GetItemTypeSize(ItemType) > 4)
        throw CTWAINOneValueException();
    return static_cast<TW_UINT16>(Value & 0xFFFF);
}

std::string CTWAINOneValue::GetString() const
{
    size_t length = GetStringItemLength(ItemType);
    return Text.substr(0, length);
}

float CTWAINOneValue::GetFloat() const { return Fix32ToFloat(WordToFix32(Value)); }

namespace {

TW_UINT32 Low8(TW_UINT32 v) { return v & 0xFF; }
TW_UINT32 Low16(TW_UINT32 v) { return v & 0xFFFF; }
bool Truth(TW_UINT32 v) { return Low16(v) != 0; }

} // namespace

bool CTWAINOneValue::operator==(const CTWAINOneValue& other) const
{
    if (ItemType != other.ItemType)
        return false;
    switch (ItemType) {
    case TWTY_INT8:
    case TWTY_UINT8:
        return Low8(Value) == Low8(other.Value);
    case TWTY_INT16:
    case TWTY_UINT16:
        return Low16(Value) == Low16(other.Value);
    case TWTY_INT32:
    case TWTY_UINT32:
        return Value == other.Value;
    case TWTY_BOOL:
        return Truth(Value) == Truth(other.Value);
    case TWTY_FIX32:
        return GetFloat() == other.GetFloat();
    case TWTY_FRAME:
        return Frame == other.Frame;
    case TWTY_STR32:
    case TWTY_STR64:
    case TWTY_STR128:
    case TWTY_STR255:
        return GetString() == other.GetString();
    default:
        return true;
    }
}

bool CTWAINOneValue::operator<(const CTWAINOneValue& other) const
{
    if (ItemType != other.ItemType)
        return false;
    switch (ItemType) {
    case TWTY_INT8:
        return static_cast<std::int8_t>(Value) < static_cast<std::int8_t>(other.Value);
    case TWTY_INT16:
        return static_cast<std::int16_t>(Value) < static_cast<std::int16_t>(other.Value);
    case TWTY_INT32:
        return static_cast<std::int32_t>(Value) < static_cast<std::int32_t>(other.Value);
    case TWTY_UINT8:
        return Low8(Value) < Low8(other.Value);
    case TWTY_UINT16:
        return Low16(Value) < Low16(other.Value);
    case TWTY_UINT32:
        return Value < other.Value;
    case TWTY_BOOL:
        return !Truth(Value) && Truth(other.Value);
    case TWTY_FIX32:
        return GetFloat() < other.GetFloat();
    case TWTY_FRAME:
        return Fix32ToFloat(Frame.Left) < Fix32ToFloat(other.Frame.Left);
    case TWTY_STR32:
    case TWTY_STR64:
    case TWTY_STR128:
    case TWTY_STR255:
        return GetString() < other.GetString();
    default:
        return false;
    }
}

bool CTWAINOneValue::operator<=(const CTWAINOneValue& other) const { return *this < other || *this == other; }

CTWAINOneValue& CTWAINOneValue::operator+=(const CTWAINOneValue& other)
{
    if (GetItemTypeSize(ItemType) > 4)
        throw CTWAINOneValueException();
    switch (ItemType) {
    case TWTY_INT8:
        // The sum is kept whole, not wrapped to the item's width.
        Value = static_cast<TW_UINT32>(static_cast<std::int8_t>(Value) + static_cast<std::int8_t>(other.Value));
        break;
    case TWTY_INT16:
        Value = static_cast<TW_UINT32>(static_cast<std::int16_t>(Value) + static_cast<std::int16_t>(other.Value));
        break;
    case TWTY_BOOL:
        Value = (Truth(Value) || Truth(other.Value)) ? 1 : 0;
        break;
    case TWTY_FIX32:
        Value = Fix32ToWord(FloatToFix32(GetFloat() + other.GetFloat()));
        break;
    default:
        // INT32 and the unsigned types: 32-bit sums that wrap.
        Value += other.Value;
        break;
    }
    return *this;
}

} // namespace Trellis
