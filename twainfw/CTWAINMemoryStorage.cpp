#include "twainfw/CTWAINMemoryStorage.h"

#include "twainfw/TWAINException.h"

#include <algorithm>
#include <cstring>

namespace Trellis {

namespace {

// Moveable, zeroed and discardable, as the blocks have always been made.
constexpr UINT kBlockFlags = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DISCARDABLE;

TW_INT32 ReadField(const BYTE* p)
{
    TW_INT32 value;
    std::memcpy(&value, p, sizeof(value));
    return value;
}

void WriteField(BYTE* p, TW_INT32 value) { std::memcpy(p, &value, sizeof(value)); }

// A record's data as a number; a missing or too short record reads as 0.
template <class T>
T NumberFrom(const BYTE* data, TW_UINT32 length)
{
    T value{};
    if (data && length >= sizeof(value))
        std::memcpy(&value, data, sizeof(value));
    return value;
}

} // namespace

CTWAINMemoryStorage::CTWAINMemoryStorage(HGLOBAL hBlock, TW_UINT32 headerSize)
    : m_hBlock(hBlock), m_HeaderSize(headerSize)
{
}

CTWAINMemoryStorage::~CTWAINMemoryStorage()
{
    Unlock();
    if (m_hBlock)
        GlobalFree(m_hBlock);
}

HGLOBAL CTWAINMemoryStorage::Detach()
{
    Unlock();
    HGLOBAL hBlock = m_hBlock;
    m_hBlock = nullptr;
    return hBlock;
}

TW_INT32 CTWAINMemoryStorage::HashKey(const std::string& name, TW_UINT32 capability)
{
    TW_UINT32 key = capability;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<TW_INT32>(static_cast<signed char>(name[i]));
        key += static_cast<TW_UINT32>(i + 1) * static_cast<TW_UINT32>(byte);
    }
    return static_cast<TW_INT32>(key);
}

bool CTWAINMemoryStorage::RecordsAreWhole(const BYTE* block, size_t size, TW_UINT32 headerSize)
{
    size_t offset = headerSize;
    while (offset <= size && size - offset >= kRecordHeaderSize) {
        const TW_INT32 length = ReadField(block + offset + 4);
        if (length < static_cast<TW_INT32>(kRecordHeaderSize) || static_cast<size_t>(length) > size - offset)
            return false;
        if (ReadField(block + offset + 8) == 0)
            return true;
        offset += static_cast<size_t>(length);
    }
    return false;
}

BYTE* CTWAINMemoryStorage::Lock()
{
    if (!m_pBlock && m_hBlock)
        m_pBlock = static_cast<BYTE*>(GlobalLock(m_hBlock));
    return m_pBlock;
}

void CTWAINMemoryStorage::Unlock()
{
    if (m_pBlock)
        GlobalUnlock(m_hBlock);
    m_pBlock = nullptr;
    m_pCursor = nullptr;
}

CTWAINMemoryStorage::Walk CTWAINMemoryStorage::FindRecord(TW_INT32 key)
{
    Walk walk{std::nullopt, m_HeaderSize, std::nullopt};
    m_pCursor = nullptr;
    BYTE* block = Lock();
    if (!block)
        return walk;
    const size_t size = GlobalSize(m_hBlock);
    size_t offset = m_HeaderSize;
    while (offset <= size && size - offset >= kRecordHeaderSize) {
        const TW_INT32 length = ReadField(block + offset + 4);
        // A record that cannot be one ends the records.
        if (length < static_cast<TW_INT32>(kRecordHeaderSize) || static_cast<size_t>(length) > size - offset)
            break;
        walk.last = offset;
        walk.end = offset + static_cast<size_t>(length);
        const TW_INT32 recordKey = ReadField(block + offset);
        // The first record of the key is the one; the walk goes on to the
        // last record, where a replacement is appended.
        if (!walk.found && recordKey == key && recordKey != kDeadKey) {
            walk.found = offset;
            m_pCursor = block + offset;
        }
        if (ReadField(block + offset + 8) == 0)
            break;
        offset += static_cast<size_t>(length);
    }
    return walk;
}

void CTWAINMemoryStorage::WriteRecord(TW_INT32 key, const void* data, TW_UINT32 length)
{
    const TW_UINT32 recordLength = length + kRecordHeaderSize;
    Walk walk = FindRecord(key);
    if (walk.found && ReadField(m_pCursor + 4) == static_cast<TW_INT32>(recordLength)) {
        std::memcpy(m_pCursor + kRecordHeaderSize, data, length);
        return;
    }

    // The new block is made before anything changes, so a failure leaves
    // the values as they were.
    const size_t oldSize = m_hBlock ? GlobalSize(m_hBlock) : 0;
    const size_t newSize = std::max(oldSize, walk.end) + recordLength;
    HGLOBAL hNew = GlobalAlloc(kBlockFlags, newSize);
    BYTE* block = hNew ? static_cast<BYTE*>(GlobalLock(hNew)) : nullptr;
    if (!block) {
        if (hNew)
            GlobalFree(hNew);
        throw CTWAINStorageException();
    }
    if (m_pBlock)
        std::memcpy(block, m_pBlock, oldSize);
    Unlock();
    if (m_hBlock)
        GlobalFree(m_hBlock);
    m_hBlock = hNew;
    m_pBlock = block;

    if (walk.found)
        WriteField(block + *walk.found, kDeadKey);
    if (walk.last)
        WriteField(block + *walk.last + 8, 1);
    BYTE* record = block + walk.end;
    WriteField(record, key);
    WriteField(record + 4, static_cast<TW_INT32>(recordLength));
    WriteField(record + 8, 0);
    std::memcpy(record + kRecordHeaderSize, data, length);
    m_pCursor = record;
}

const BYTE* CTWAINMemoryStorage::ReadRecord(TW_INT32 key, TW_UINT32& length)
{
    if (!FindRecord(key).found)
        return nullptr;
    length = static_cast<TW_UINT32>(ReadField(m_pCursor + 4)) - kRecordHeaderSize;
    return m_pCursor + kRecordHeaderSize;
}

bool CTWAINMemoryStorage::Contains(const std::string& name, TW_UINT32 capability)
{
    return FindRecord(HashKey(name, capability)).found.has_value();
}

void CTWAINMemoryStorage::WriteInt(const std::string& name, TW_INT32 value, TW_UINT32 capability)
{
    WriteRecord(HashKey(name, capability), &value, sizeof(value));
}

TW_INT32 CTWAINMemoryStorage::ReadInt(const std::string& name, TW_UINT32 capability)
{
    TW_UINT32 length = 0;
    const BYTE* data = ReadRecord(HashKey(name, capability), length);
    return NumberFrom<TW_INT32>(data, length);
}

void CTWAINMemoryStorage::WriteBool(const std::string& name, bool value, TW_UINT32 capability)
{
    const BYTE byte = value ? 1 : 0;
    WriteRecord(HashKey(name, capability), &byte, 1);
}

bool CTWAINMemoryStorage::ReadBool(const std::string& name, TW_UINT32 capability)
{
    TW_UINT32 length = 0;
    const BYTE* data = ReadRecord(HashKey(name, capability), length);
    return data && length >= 1 && data[0] != 0;
}

void CTWAINMemoryStorage::WriteFloat(const std::string& name, float value, TW_UINT32 capability)
{
    WriteRecord(HashKey(name, capability), &value, sizeof(value));
}

float CTWAINMemoryStorage::ReadFloat(const std::string& name, TW_UINT32 capability)
{
    TW_UINT32 length = 0;
    const BYTE* data = ReadRecord(HashKey(name, capability), length);
    return NumberFrom<float>(data, length);
}

void CTWAINMemoryStorage::WriteString(const std::string& name, const std::string& value, TW_UINT32 capability)
{
    WriteRecord(HashKey(name, capability), value.c_str(), static_cast<TW_UINT32>(value.size() + 1));
}

std::string CTWAINMemoryStorage::ReadString(const std::string& name, TW_UINT32 capability)
{
    TW_UINT32 length = 0;
    const char* data = reinterpret_cast<const char*>(ReadRecord(HashKey(name, capability), length));
    if (!data)
        return std::string();
    return std::string(data, strnlen(data, length));
}

} // namespace Trellis
