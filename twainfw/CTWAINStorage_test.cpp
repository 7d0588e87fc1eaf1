// Settings storage: the record block byte for byte, as profile files and
// applications keep it, and values round-tripped through both stores.
#include "twainfw/CTWAINMemoryStorage.h"
#include "twainfw/CTWAINRegistry.h"

#include "platform/testing/TempSystemRoot.h"
#include "twainfw/TWAINException.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace Trellis {
namespace {

using Bytes = std::vector<BYTE>;

Bytes BlockBytes(HGLOBAL hBlock)
{
    const BYTE* data = static_cast<const BYTE*>(GlobalLock(hBlock));
    Bytes bytes(data, data + GlobalSize(hBlock));
    GlobalUnlock(hBlock);
    return bytes;
}

HGLOBAL MakeBlock(const Bytes& bytes)
{
    HGLOBAL hBlock = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(hBlock), bytes.data(), bytes.size());
    GlobalUnlock(hBlock);
    return hBlock;
}

void Append(Bytes& bytes, TW_INT32 value)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&value);
    bytes.insert(bytes.end(), p, p + 4);
}

Bytes Record(TW_INT32 key, TW_INT32 more, const Bytes& data)
{
    Bytes bytes;
    Append(bytes, key);
    Append(bytes, static_cast<TW_INT32>(data.size() + 12));
    Append(bytes, more);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes bytes;
    for (const Bytes& part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

// Frees the block unless a test took it.
struct OwnedBlock {
    explicit OwnedBlock(HGLOBAL h) : hBlock(h) {}
    ~OwnedBlock()
    {
        if (hBlock)
            GlobalFree(hBlock);
    }
    HGLOBAL hBlock;
};

TEST(MemoryStorageTest, KeysAddTheWeightedNameBytesToTheCapability)
{
    struct Case {
        const char* name;
        TW_UINT32 capability;
        TW_UINT32 key;
    };
    const Case cases[] = {
        {"ab", 0x1114, 0x1239},
        {"", 0x1114, 0x1114},
        {"\xFF", 0, 0xFFFFFFFFu},                 // bytes above 0x7F count as negative
        {"a\x80", 0x0101, 0x0101 + 97 - 2 * 128}, // wraps below the capability
        {"x", 0xFFFFFFFFu, 119},                  // 32-bit wrap-around
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.key, static_cast<TW_UINT32>(CTWAINMemoryStorage::HashKey(c.name, c.capability))) << c.name;
}

TEST(MemoryStorageTest, TheFirstValueMakesABlockAfterTheHeader)
{
    CTWAINMemoryStorage storage(nullptr, 156);
    storage.WriteInt("icapPixelType", 0x01020304, 0x0101);
    OwnedBlock block(storage.Detach());
    ASSERT_NE(nullptr, block.hBlock);
    const TW_INT32 key = CTWAINMemoryStorage::HashKey("icapPixelType", 0x0101);
    EXPECT_EQ(Concat({Bytes(156, 0), Record(key, 0, {4, 3, 2, 1})}), BlockBytes(block.hBlock));
    EXPECT_EQ(GMEM_DISCARDABLE, GlobalFlags(block.hBlock) & GMEM_DISCARDABLE);
}

TEST(MemoryStorageTest, NothingWrittenMeansNoBlock)
{
    CTWAINMemoryStorage storage(nullptr, 156);
    EXPECT_EQ(0, storage.ReadInt("icapPixelType", 0x0101));
    EXPECT_EQ(nullptr, storage.Detach());
}

TEST(MemoryStorageTest, RewritesKeepOrReplaceTheRecord)
{
    CTWAINMemoryStorage storage(nullptr, 4);
    storage.WriteInt("n", 1, 7);
    storage.WriteInt("n", 2, 7); // same length: in place
    storage.WriteBool("b", true, 7);
    storage.WriteString("s", "abc", 7);
    storage.WriteString("s", "abcde", 7); // longer: the old record dies
    EXPECT_EQ("abcde", storage.ReadString("s", 7));
    EXPECT_EQ(2, storage.ReadInt("n", 7));

    OwnedBlock block(storage.Detach());
    const TW_INT32 n = CTWAINMemoryStorage::HashKey("n", 7);
    const TW_INT32 b = CTWAINMemoryStorage::HashKey("b", 7);
    const TW_INT32 s = CTWAINMemoryStorage::HashKey("s", 7);
    EXPECT_EQ(Concat({Bytes(4, 0), Record(n, 1, {2, 0, 0, 0}), Record(b, 1, {1}),
                      Record(CTWAINMemoryStorage::kDeadKey, 1, {'a', 'b', 'c', 0}),
                      Record(s, 0, {'a', 'b', 'c', 'd', 'e', 0})}),
              BlockBytes(block.hBlock));
}

TEST(MemoryStorageTest, ReplacingARecordBeforeOthersKeepsThemAll)
{
    CTWAINMemoryStorage storage(nullptr, 0);
    storage.WriteString("s", "abc", 7);
    storage.WriteInt("n", 5, 7);
    storage.WriteString("s", "abcde", 7); // the new record goes after "n"
    EXPECT_EQ("abcde", storage.ReadString("s", 7));
    EXPECT_EQ(5, storage.ReadInt("n", 7));

    OwnedBlock block(storage.Detach());
    EXPECT_EQ(Concat({Record(CTWAINMemoryStorage::kDeadKey, 1, {'a', 'b', 'c', 0}),
                      Record(CTWAINMemoryStorage::HashKey("n", 7), 1, {5, 0, 0, 0}),
                      Record(CTWAINMemoryStorage::HashKey("s", 7), 0, {'a', 'b', 'c', 'd', 'e', 0})}),
              BlockBytes(block.hBlock));
}

TEST(MemoryStorageTest, MissingValuesReadAsZero)
{
    CTWAINMemoryStorage storage(nullptr, 0);
    storage.WriteInt("present", 5, 1);
    EXPECT_EQ(0, storage.ReadInt("absent", 1));
    EXPECT_EQ(0, storage.ReadInt("present", 2)); // another capability, another key
    EXPECT_FALSE(storage.ReadBool("absent", 1));
    EXPECT_EQ(0.0f, storage.ReadFloat("absent", 1));
    EXPECT_EQ("", storage.ReadString("absent", 1));
}

TEST(MemoryStorageTest, ABlockFromOutsideIsReadAndStaysTheCallers)
{
    const TW_INT32 key = CTWAINMemoryStorage::HashKey("f", 3);
    float value = 2.5f;
    Bytes data(4);
    std::memcpy(data.data(), &value, 4);
    // A block longer than its records, as a profile file may be.
    OwnedBlock block(MakeBlock(Concat({Bytes(8, 0xAA), Record(key, 0, data), Bytes(10, 0)})));
    {
        CTWAINMemoryStorage storage(block.hBlock, 8);
        EXPECT_EQ(2.5f, storage.ReadFloat("f", 3));
        EXPECT_EQ(block.hBlock, storage.Detach());
    }
    EXPECT_EQ(8u + 16 + 10, GlobalSize(block.hBlock));
    EXPECT_EQ(0u, GlobalFlags(block.hBlock) & GMEM_LOCKCOUNT);
}

TEST(MemoryStorageTest, UntrustedBlocksAreNeverReadPastTheirEnd)
{
    const TW_INT32 a = CTWAINMemoryStorage::HashKey("a", 0);
    const TW_INT32 b = CTWAINMemoryStorage::HashKey("b", 0);
    Bytes tooShort = Record(b, 0, {});
    tooShort[4] = 8; // a Length below the record's own header
    Bytes pastTheEnd = Record(b, 0, {1, 0, 0, 0});
    pastTheEnd[4] = 200;
    struct Case {
        const char* what;
        Bytes block;
        TW_INT32 a; // what "a" reads as an int
        TW_INT32 b; // too short for an int in the last case
        std::string bText;
    };
    const Case cases[] = {
        {"only the header", Bytes(16, 0), 0, 0, ""},
        {"shorter than the header", Bytes(3, 0), 0, 0, ""},
        {"half a record", Concat({Bytes(16, 0), Bytes(6, 1)}), 0, 0, ""},
        {"length below 12", Concat({Bytes(16, 0), Record(a, 1, {7, 0, 0, 0}), tooShort}), 7, 0, ""},
        {"length past the end", Concat({Bytes(16, 0), Record(a, 1, {7, 0, 0, 0}), pastTheEnd}), 7, 0, ""},
        {"more without a next", Concat({Bytes(16, 0), Record(a, 1, {7, 0, 0, 0})}), 7, 0, ""},
        {"a bool read as an int", Concat({Bytes(16, 0), Record(a, 0, {1})}), 0, 0, ""},
        {"a string without its end", Concat({Bytes(16, 0), Record(b, 0, {'x', 'y'})}), 0, 0, "xy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // An exact-size copy, so that any read past the block is caught.
        OwnedBlock block(MakeBlock(c.block));
        CTWAINMemoryStorage storage(block.hBlock, 16);
        EXPECT_EQ(c.a, storage.ReadInt("a", 0));
        EXPECT_EQ(c.b, storage.ReadInt("b", 0));
        EXPECT_EQ(c.bText, storage.ReadString("b", 0));
        block.hBlock = storage.Detach();
    }
}

TEST(MemoryStorageTest, WritingIntoAnUntrustedBlockKeepsItsSoundRecords)
{
    const TW_INT32 a = CTWAINMemoryStorage::HashKey("a", 0);
    Bytes broken = Record(0, 0, {});
    broken[4] = 100;
    OwnedBlock block(MakeBlock(Concat({Bytes(2, 0), Record(a, 1, {7, 0, 0, 0}), broken})));
    CTWAINMemoryStorage storage(block.hBlock, 2);
    block.hBlock = nullptr; // a write replaces the block; the storage owns it
    storage.WriteInt("b", 9, 0);
    EXPECT_EQ(7, storage.ReadInt("a", 0));
    EXPECT_EQ(9, storage.ReadInt("b", 0));
}

// The same values through both stores.
class StorageRoundTripTest : public ::testing::Test {
protected:
    plat::testing::TempSystemRoot root;
};

TEST_F(StorageRoundTripTest, ValuesComeBackAsTheyWereWritten)
{
    std::vector<std::function<std::unique_ptr<CTWAINStorage>()>> makers = {
        [] { return std::make_unique<CTWAINMemoryStorage>(nullptr, 156); },
        [] {
            auto registry = std::make_unique<CTWAINRegistry>(HKEY_CURRENT_USER);
            registry->Open("SOFTWARE\\Test Maker\\Test Scanner\\5.0");
            return registry;
        },
    };
    for (auto& make : makers) {
        std::unique_ptr<CTWAINStorage> storage = make();
        storage->WriteInt("int", -123456, 0x0101);
        storage->WriteBool("bool", true, 0x1002);
        storage->WriteFloat("float", 8.5f, 0x1114);
        storage->WriteString("string", "Quick brown fox", 0x1000);
        storage->WriteString("empty", "", 0x1000);
        EXPECT_EQ(-123456, storage->ReadInt("int", 0x0101));
        EXPECT_TRUE(storage->ReadBool("bool", 0x1002));
        EXPECT_EQ(8.5f, storage->ReadFloat("float", 0x1114));
        EXPECT_EQ("Quick brown fox", storage->ReadString("string", 0x1000));
        EXPECT_EQ("", storage->ReadString("empty", 0x1000));
        storage->WriteBool("bool", false, 0x1002);
        EXPECT_FALSE(storage->ReadBool("bool", 0x1002));
    }
}

TEST_F(StorageRoundTripTest, RegistryValuesHaveTheirOwnTypes)
{
    {
        CTWAINRegistry registry(HKEY_CURRENT_USER);
        registry.Open("SOFTWARE\\Test Maker");
        registry.WriteInt("int", 5, 0);
        registry.WriteBool("bool", true, 0);
        registry.WriteFloat("float", 1.5f, 0);
        registry.WriteString("string", "abc", 0);
    } // closed and flushed here

    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Test Maker", 0, KEY_READ, &hKey));
    struct Case {
        const char* name;
        DWORD type;
        DWORD size;
    };
    const Case cases[] = {
        {"int", REG_DWORD, 4},
        {"bool", REG_DWORD, 4},
        {"float", REG_BINARY, 4},
        {"string", REG_SZ, 3}, // no terminating NUL
    };
    for (const Case& c : cases) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(hKey, c.name, nullptr, &type, nullptr, &size)) << c.name;
        EXPECT_EQ(c.type, type) << c.name;
        EXPECT_EQ(c.size, size) << c.name;
    }
    RegCloseKey(hKey);
}

TEST_F(StorageRoundTripTest, RegistryRefusesWhatItCannotRead)
{
    CTWAINRegistry registry(HKEY_CURRENT_USER);
    EXPECT_THROW(registry.ReadInt("int", 0), CTWAINStorageException); // no key open
    EXPECT_THROW(registry.WriteInt("int", 1, 0), CTWAINStorageException);
    registry.Open("SOFTWARE\\Test Maker");
    registry.WriteInt("int", 5, 0);
    registry.WriteString("string", "abc", 0);

    const std::function<void()> reads[] = {
        [&] { registry.ReadInt("missing", 0); },   [&] { registry.ReadBool("missing", 0); },
        [&] { registry.ReadFloat("missing", 0); }, [&] { registry.ReadString("missing", 0); },
        [&] { registry.ReadFloat("int", 0); },     [&] { registry.ReadInt("string", 0); },
        [&] { registry.ReadString("int", 0); },
    };
    for (const auto& read : reads) {
        try {
            read();
            ADD_FAILURE() << "no exception";
        } catch (const CTWAINStorageException& e) {
            EXPECT_EQ("Trellis Registry Error.", e.Message());
        }
    }
    // Reopening another key closes the first.
    registry.Open("SOFTWARE\\Other");
    EXPECT_THROW(registry.ReadInt("int", 0), CTWAINStorageException);
}

} // namespace
} // namespace Trellis
