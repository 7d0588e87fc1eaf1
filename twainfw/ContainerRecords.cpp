// The value classes to and from the TWAIN container records that travel in
// handles: TW_ONEVALUE, TW_ARRAY, TW_ENUMERATION and TW_RANGE, little-endian
// and packed to 2 bytes. Records from an application are read only as far
// as their block reaches.
#include "twainfw/CTWAINContainer.h"

#include "twainfw/TWAINException.h"
#include "twainfw/TWAINMemory.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace Trellis {

namespace {

constexpr size_t kArrayHeader = offsetof(TW_ARRAY, ItemList);             // 6
constexpr size_t kEnumerationHeader = offsetof(TW_ENUMERATION, ItemList); // 14
constexpr size_t kOneValueHeader = offsetof(TW_ONEVALUE, Item);           // 2

TW_UINT16 Read16(const BYTE* p)
{
    TW_UINT16 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

TW_UINT32 Read32(const BYTE* p)
{
    TW_UINT32 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void Write16(BYTE* p, TW_UINT32 v)
{
    TW_UINT16 w = static_cast<TW_UINT16>(v);
    std::memcpy(p, &w, sizeof w);
}

void Write32(BYTE* p, TW_UINT32 v) { std::memcpy(p, &v, sizeof v); }

// One item of a list record, in its slot of the record type's size.
CTWAINOneValue ReadSlot(const BYTE* slot, TW_UINT32 itemType)
{
    CTWAINOneValue item(0, static_cast<TW_UINT16>(itemType));
    switch (GetItemTypeSize(itemType)) {
    case 1:
        item.Value = slot[0];
        break;
    case 2:
        item.Value = Read16(slot);
        break;
    case 4:
        item.Value = Read32(slot);
        break;
    default:
        if (itemType == TWTY_FRAME)
            std::memcpy(static_cast<TW_FRAME*>(&item.Frame), slot, sizeof(TW_FRAME));
        else
            item.Text.assign(reinterpret_cast<const char*>(slot),
                             strnlen(reinterpret_cast<const char*>(slot), GetItemTypeSize(itemType)));
        break;
    }
    return item;
}

// A string's text cut to the type's length, and its NUL, in a zeroed slot.
void WriteText(BYTE* slot, const std::string& text, TW_UINT32 itemType)
{
    size_t n = std::min(text.size(), GetStringItemLength(itemType));
    std::memcpy(slot, text.data(), n);
    slot[n] = '\0';
}

void WriteSlot(BYTE* slot, const CTWAINOneValue& item, TW_UINT32 itemType)
{
    switch (GetItemTypeSize(itemType)) {
    case 1:
        slot[0] = static_cast<BYTE>(item.Value);
        break;
    case 2:
        Write16(slot, item.Value);
        break;
    case 4:
        Write32(slot, item.Value);
        break;
    default:
        if (itemType == TWTY_FRAME)
            std::memcpy(slot, static_cast<const TW_FRAME*>(&item.Frame), sizeof(TW_FRAME));
        else
            WriteText(slot, item.Text, itemType);
        break;
    }
}

// The item type of a list record whose `count` items follow its `header`
// bytes, in a block of `blockSize` bytes that holds the header. Exception
// when the type is unknown or the items would reach past the block (counted
// without overflowing).
template <class Exception>
TW_UINT32 ListItemType(const BYTE* record, TW_UINT32 count, size_t header, size_t blockSize)
{
    TW_UINT32 itemType = Read16(record);
    if (!IsKnownItemType(itemType) || count > (blockSize - header) / GetItemTypeSize(itemType))
        throw Exception();
    return itemType;
}

// Items of a list record with the no-duplicates rule (frames always kept).
void ReadItems(CTWAINEnumeration& list, const BYTE* items, TW_UINT32 count, TW_UINT32 itemType)
{
    TW_UINT32 size = GetItemTypeSize(itemType);
    for (TW_UINT32 i = 0; i < count; ++i)
        list.Add(ReadSlot(items + size_t{i} * size, itemType));
}

template <class Exception>
void WriteItems(const std::vector<CTWAINOneValue>& list, BYTE* record, size_t header)
{
    TW_UINT32 itemType = list.front().ItemType;
    if (!IsKnownItemType(itemType))
        throw Exception();
    Write16(record, itemType);
    TW_UINT32 size = GetItemTypeSize(itemType);
    for (size_t i = 0; i < list.size(); ++i)
        WriteSlot(record + header + i * size, list[i], itemType);
}

} // namespace

CTWAINOneValue::CTWAINOneValue(const TW_ONEVALUE& record, size_t blockSize) : ItemType(0), Value(0)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&record);
    if (blockSize < kOneValueHeader)
        throw CTWAINOneValueException();
    TW_UINT32 itemType = Read16(p);
    if (!IsKnownItemType(itemType))
        throw CTWAINOneValueException();
    size_t available = blockSize - kOneValueHeader;
    ItemType = itemType;
    if (itemType == TWTY_FRAME) {
        if (available < sizeof(TW_FRAME))
            throw CTWAINOneValueException();
        std::memcpy(static_cast<TW_FRAME*>(&Frame), p + kOneValueHeader, sizeof(TW_FRAME));
    } else if (IsStringItemType(itemType)) {
        // The text ends at its NUL; a block cut short must hold that NUL.
        size_t slot = GetItemTypeSize(itemType);
        const char* text = reinterpret_cast<const char*>(p + kOneValueHeader);
        size_t n = strnlen(text, std::min(slot, available));
        if (n == available && available < slot)
            throw CTWAINOneValueException();
        Text.assign(text, n);
    } else {
        if (available < sizeof(TW_UINT32))
            throw CTWAINOneValueException();
        Value = Read32(p + kOneValueHeader);
    }
}

void CTWAINOneValue::ToOneValue(TW_ONEVALUE& record) const
{
    BYTE* p = reinterpret_cast<BYTE*>(&record);
    Write16(p, ItemType);
    if (ItemType == TWTY_FRAME)
        std::memcpy(p + kOneValueHeader, static_cast<const TW_FRAME*>(&Frame), sizeof(TW_FRAME));
    else if (IsStringItemType(ItemType))
        WriteText(p + kOneValueHeader, Text, ItemType);
    else
        Write32(p + kOneValueHeader, Value);
}

CTWAINArray::CTWAINArray(const TW_ARRAY& record, size_t blockSize)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&record);
    if (blockSize < kArrayHeader)
        throw CTWAINArrayException();
    TW_UINT32 count = Read32(p + offsetof(TW_ARRAY, NumItems));
    if (count == 0)
        return;
    TW_UINT32 itemType = ListItemType<CTWAINArrayException>(p, count, kArrayHeader, blockSize);
    CTWAINEnumeration list;
    ReadItems(list, p + kArrayHeader, count, itemType);
    m_List = std::move(list.m_List);
}

void CTWAINArray::ToArray(TW_ARRAY& record) const
{
    BYTE* p = reinterpret_cast<BYTE*>(&record);
    Write32(p + offsetof(TW_ARRAY, NumItems), GetCount());
    if (m_List.empty())
        return;
    WriteItems<CTWAINArrayException>(m_List, p, kArrayHeader);
}

CTWAINEnumeration::CTWAINEnumeration(const TW_ENUMERATION& record, size_t blockSize)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&record);
    if (blockSize < kEnumerationHeader)
        throw CTWAINEnumerationException();
    TW_UINT32 count = Read32(p + offsetof(TW_ENUMERATION, NumItems));
    TW_UINT32 current = Read32(p + offsetof(TW_ENUMERATION, CurrentIndex));
    TW_UINT32 def = Read32(p + offsetof(TW_ENUMERATION, DefaultIndex));
    // An index must name an item of the record, or no item (an empty record
    // has only index 0).
    auto valid = [count](TW_UINT32 index) { return index == kNoIndex || index < std::max<TW_UINT32>(count, 1); };
    if (!valid(current) || !valid(def))
        throw CTWAINEnumerationException();
    CurrentIndex = current;
    DefaultIndex = def;
    if (count == 0)
        return;
    TW_UINT32 itemType = ListItemType<CTWAINEnumerationException>(p, count, kEnumerationHeader, blockSize);
    ReadItems(*this, p + kEnumerationHeader, count, itemType);
    // With duplicates dropped, an index follows its item to where it is now.
    TW_UINT32 size = GetItemTypeSize(itemType);
    if (current != kNoIndex)
        CurrentIndex = Find(ReadSlot(p + kEnumerationHeader + size_t{current} * size, itemType));
    if (def != kNoIndex)
        DefaultIndex = Find(ReadSlot(p + kEnumerationHeader + size_t{def} * size, itemType));
}

void CTWAINEnumeration::ToEnumeration(TW_ENUMERATION& record) const
{
    BYTE* p = reinterpret_cast<BYTE*>(&record);
    Write32(p + offsetof(TW_ENUMERATION, NumItems), GetCount());
    Write32(p + offsetof(TW_ENUMERATION, CurrentIndex), CurrentIndex);
    Write32(p + offsetof(TW_ENUMERATION, DefaultIndex), DefaultIndex);
    if (m_List.empty())
        return;
    WriteItems<CTWAINEnumerationException>(m_List, p, kEnumerationHeader);
}

CTWAINRange::CTWAINRange(const TW_RANGE& record, size_t blockSize) : CTWAINRange()
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&record);
    if (blockSize < sizeof(TW_RANGE))
        throw CTWAINRangeException();
    TW_UINT32 itemType = Read16(p);
    if (!IsKnownItemType(itemType))
        throw CTWAINRangeException();
    auto item = [&](size_t offset) { return CTWAINOneValue(Read32(p + offset), static_cast<TW_UINT16>(itemType)); };
    MinValue = item(offsetof(TW_RANGE, MinValue));
    MaxValue = item(offsetof(TW_RANGE, MaxValue));
    StepSize = item(offsetof(TW_RANGE, StepSize));
    DefaultValue = item(offsetof(TW_RANGE, DefaultValue));
    CurrentValue = item(offsetof(TW_RANGE, CurrentValue));
    ItemType = itemType;
}

void CTWAINRange::ToRange(TW_RANGE& record) const
{
    record.ItemType = static_cast<TW_UINT16>(ItemType);
    record.MinValue = MinValue.Value;
    record.MaxValue = MaxValue.Value;
    record.StepSize = StepSize.Value;
    record.DefaultValue = DefaultValue.Value;
    record.CurrentValue = CurrentValue.Value;
}

CTWAINContainer::CTWAINContainer(const TW_CAPABILITY& capability) : ContainerType(0)
{
    FromHandle(capability.hContainer, capability.ConType);
}

TW_UINT32 CTWAINContainer::GetHandleSize() const
{
    size_t size = 0;
    switch (ContainerType) {
    case TWON_ARRAY:
    case TWON_ENUMERATION: {
        size_t header = ContainerType == TWON_ARRAY ? sizeof(TW_ARRAY) : sizeof(TW_ENUMERATION);
        size_t itemSize = List.m_List.empty() ? 0 : GetItemTypeSize(List.m_List.front().ItemType);
        size = header + List.m_List.size() * itemSize;
        break;
    }
    case TWON_ONEVALUE: {
        TW_UINT32 itemType = GetOneValue().ItemType;
        size = itemType == TWTY_FRAME || IsStringItemType(itemType) ? kOneValueHeader + GetItemTypeSize(itemType)
                                                                    : sizeof(TW_ONEVALUE);
        break;
    }
    case TWON_RANGE:
        size = sizeof(TW_RANGE);
        break;
    default:
        throw CTWAINContainerException();
    }
    if (size > std::numeric_limits<TW_UINT32>::max())
        throw CTWAINContainerException();
    return static_cast<TW_UINT32>(size);
}

TW_HANDLE CTWAINContainer::ToHandle() const
{
    TW_UINT32 size = GetHandleSize();
    TW_HANDLE handle = TWAINAllocHandle(size);
    if (!handle)
        return nullptr;
    try {
        CTWAINHandleLock lock(handle);
        if (!lock.Data()) {
            TWAINFreeHandle(handle);
            return nullptr;
        }
        switch (ContainerType) {
        case TWON_ARRAY:
            GetArray().ToArray(*static_cast<TW_ARRAY*>(lock.Data()));
            break;
        case TWON_ENUMERATION:
            GetEnumeration().ToEnumeration(*static_cast<TW_ENUMERATION*>(lock.Data()));
            break;
        case TWON_ONEVALUE:
            GetOneValue().ToOneValue(*static_cast<TW_ONEVALUE*>(lock.Data()));
            break;
        case TWON_RANGE:
            GetRange().ToRange(*static_cast<TW_RANGE*>(lock.Data()));
            break;
        }
    } catch (...) {
        // A record that cannot be written leaves no handle behind.
        TWAINFreeHandle(handle);
        throw;
    }
    return handle;
}

void CTWAINContainer::FromHandle(TW_HANDLE handle, TW_UINT32 containerType)
{
    ContainerType = containerType;
    if (containerType < TWON_ARRAY || containerType > TWON_RANGE)
        throw CTWAINContainerException();
    CTWAINHandleLock lock(handle);
    if (!lock.Data())
        throw CTWAINContainerException();
    size_t size = TWAINHandleSize(handle).value_or(CTWAINOneValue::kUnboundedRecord);
    switch (containerType) {
    case TWON_ARRAY:
        SetArray(CTWAINArray(*static_cast<const TW_ARRAY*>(lock.Data()), size));
        break;
    case TWON_ENUMERATION:
        SetEnumeration(CTWAINEnumeration(*static_cast<const TW_ENUMERATION*>(lock.Data()), size));
        break;
    case TWON_ONEVALUE:
        SetOneValue(CTWAINOneValue(*static_cast<const TW_ONEVALUE*>(lock.Data()), size));
        break;
    case TWON_RANGE:
        SetRange(CTWAINRange(*static_cast<const TW_RANGE*>(lock.Data()), size));
        break;
    }
}

} // namespace Trellis
