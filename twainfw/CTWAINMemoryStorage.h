// Settings as keyed records in one moveable global-memory block, after a
// header that belongs to the block's owner. The block is the custom
// data-source data an application keeps, and the content of a profile file,
// so its layout is fixed (little-endian):
//
//   header (header size bytes, never touched here)
//   record: Key int32, Length int32 (data + 12), More int32 (1: another
//           record follows), data (int and float 4 bytes, bool 1 byte,
//           string with its NUL)
//   ... records follow without gaps; the block may end in zero bytes.
//
// A rewrite of a value with another data length marks the old record dead
// (key 0xBAADF00D) and appends a new one to a grown copy of the block.
// Missing values read as 0, false, 0.0 or "". Blocks from outside are not
// trusted: a record that is too short or runs past the block ends the
// records, and a read never takes bytes past its record's data.
#pragma once
#include "platform/windows.h"
#include "twainfw/CTWAINStorage.h"

#include <cstddef>
#include <optional>

namespace Trellis {

class CTWAINMemoryStorage : public CTWAINStorage {
public:
    static constexpr TW_INT32 kDeadKey = static_cast<TW_INT32>(0xBAADF00Du);
    static constexpr TW_UINT32 kRecordHeaderSize = 12;

    // Over an existing block, which stays the caller's only if it is
    // detached before the storage goes; null to write a new one.
    CTWAINMemoryStorage(HGLOBAL hBlock, TW_UINT32 headerSize);
    ~CTWAINMemoryStorage() override;
    CTWAINMemoryStorage(const CTWAINMemoryStorage&) = delete;
    CTWAINMemoryStorage& operator=(const CTWAINMemoryStorage&) = delete;

    // True when the records after the header form a whole chain inside the
    // `size` bytes: at least one record, each at least 12 bytes and within
    // the block, the last one saying no other follows.
    static bool RecordsAreWhole(const BYTE* block, size_t size, TW_UINT32 headerSize);

    // Unlocks the block and hands it over; null when there is none.
    HGLOBAL Detach();

    // capability + the sum of (i + 1) x byte[i] over the name's bytes taken
    // as signed 8-bit numbers, in 32-bit wrap-around arithmetic.
    static TW_INT32 HashKey(const std::string& name, TW_UINT32 capability);

    // Whether a record of the value exists: the reads cannot tell a missing
    // value from a stored 0.
    bool Contains(const std::string& name, TW_UINT32 capability);

    void WriteInt(const std::string& name, TW_INT32 value, TW_UINT32 capability) override;
    TW_INT32 ReadInt(const std::string& name, TW_UINT32 capability) override;
    void WriteBool(const std::string& name, bool value, TW_UINT32 capability) override;
    bool ReadBool(const std::string& name, TW_UINT32 capability) override;
    void WriteFloat(const std::string& name, float value, TW_UINT32 capability) override;
    float ReadFloat(const std::string& name, TW_UINT32 capability) override;
    void WriteString(const std::string& name, const std::string& value, TW_UINT32 capability) override;
    std::string ReadString(const std::string& name, TW_UINT32 capability) override;

private:
    struct Walk {
        std::optional<size_t> found; // offset of the record with the key
        size_t end;                  // where the records end
        std::optional<size_t> last;  // offset of the last sound record
    };

    // Locks the block (once) and walks its records looking for the key;
    // the cursor is left on the record found.
    Walk FindRecord(TW_INT32 key);
    void WriteRecord(TW_INT32 key, const void* data, TW_UINT32 length);
    // The data of the key's record and its length; null when missing.
    const BYTE* ReadRecord(TW_INT32 key, TW_UINT32& length);
    BYTE* Lock();
    void Unlock();

    HGLOBAL m_hBlock;
    TW_UINT32 m_HeaderSize;
    BYTE* m_pCursor = nullptr;
    BYTE* m_pBlock = nullptr; // the locked block, null while unlocked
};

} // namespace Trellis
