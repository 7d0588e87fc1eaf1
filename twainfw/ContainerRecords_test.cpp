#include "twainfw/CTWAINContainer.h"

#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINException.h"
#include "twainfw/TWAINMemory.h"

#include "platform/windows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace Trellis {
namespace {

using Bytes = std::vector<BYTE>;

// A plain pointer has no size of its own: the record's size is what the
// container says it needs.
Bytes HandleBytes(TW_HANDLE handle, size_t size)
{
    CTWAINHandleLock lock(handle);
    const BYTE* p = static_cast<const BYTE*>(lock.Data());
    return Bytes(p, p + size);
}

Bytes ImageOf(const CTWAINContainer& c)
{
    TW_HANDLE h = c.ToHandle();
    EXPECT_NE(h, nullptr);
    Bytes bytes = HandleBytes(h, c.GetHandleSize());
    TWAINFreeHandle(h);
    return bytes;
}

// A block holding exactly these bytes, as an application would pass it.
struct AppHandle {
    explicit AppHandle(const Bytes& bytes) : handle(GlobalAlloc(GHND, bytes.size()))
    {
        std::memcpy(GlobalLock(handle), bytes.data(), bytes.size());
        GlobalUnlock(handle);
    }
    ~AppHandle() { GlobalFree(handle); }
    HGLOBAL handle;
};

Bytes Le16(TW_UINT32 v) { return {BYTE(v), BYTE(v >> 8)}; }
Bytes Le32(TW_UINT32 v) { return {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}; }
Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Zeros(size_t n) { return Bytes(n, 0); }
Bytes Text(const std::string& s, size_t slot)
{
    Bytes b(slot, 0);
    std::memcpy(b.data(), s.data(), std::min(s.size(), slot));
    return b;
}

CTWAINEnumeration Enumerate(std::vector<CTWAINOneValue> items, TW_UINT32 current = 0, TW_UINT32 def = 0)
{
    CTWAINEnumeration e;
    for (const CTWAINOneValue& item : items)
        e.Add(item);
    e.CurrentIndex = current;
    e.DefaultIndex = def;
    return e;
}

TEST(ContainerRecords, OneValueImagesByType)
{
    const CTWAINFrame frame(1, 2, 8.5f, 11);
    Bytes frameBytes(16);
    std::memcpy(frameBytes.data(), static_cast<const TW_FRAME*>(&frame), 16);
    const std::string forty(40, 'q');
    struct Case {
        const char* what;
        CTWAINOneValue item;
        Bytes image;
    };
    const Case cases[] = {
        {"UINT16", CTWAINOneValue(TW_UINT16(300)), Cat({Le16(TWTY_UINT16), Le32(300)})},
        {"BOOL", CTWAINOneValue(1, TWTY_BOOL), Cat({Le16(TWTY_BOOL), Le32(1)})},
        {"INT8 keeps the word", CTWAINOneValue(0xFFFFFFFF, TWTY_INT8), Cat({Le16(TWTY_INT8), Le32(0xFFFFFFFF)})},
        {"FIX32", CTWAINOneValue(-1.25f), Cat({Le16(TWTY_FIX32), Le16(0xFFFE), Le16(0xC000)})},
        {"FRAME", CTWAINOneValue(frame), Cat({Le16(TWTY_FRAME), frameBytes})},
        {"STR32 cut to 32", CTWAINOneValue(forty, TWTY_STR32), Cat({Le16(TWTY_STR32), Text(std::string(32, 'q'), 34)})},
        {"STR64", CTWAINOneValue("abc", TWTY_STR64), Cat({Le16(TWTY_STR64), Text("abc", 66)})},
        {"STR128", CTWAINOneValue(forty, TWTY_STR128), Cat({Le16(TWTY_STR128), Text(forty, 130)})},
        {"STR255", CTWAINOneValue(std::string(300, 'z'), TWTY_STR255),
         Cat({Le16(TWTY_STR255), Text(std::string(255, 'z'), 256)})},
    };
    for (const Case& c : cases) {
        CTWAINContainer container(c.item);
        EXPECT_EQ(container.GetHandleSize(), c.image.size()) << c.what;
        Bytes image = ImageOf(container);
        EXPECT_EQ(image, c.image) << c.what;

        AppHandle app(image);
        CTWAINContainer back;
        back.FromHandle(app.handle, TWON_ONEVALUE);
        EXPECT_EQ(back.GetOneValue(), c.item) << c.what;
    }
}

TEST(ContainerRecords, ListAndRangeImages)
{
    const CTWAINOneValue f(false ? 1u : 0u, TWTY_BOOL), t(1, TWTY_BOOL);
    CTWAINArray emptyArray;
    CTWAINArray uint8s;
    for (TW_UINT32 v : {1u, 0x1FFu, 3u})
        uint8s.Append(CTWAINOneValue(v, TWTY_UINT8));
    CTWAINRange range;
    range.SetMin(CTWAINOneValue(1, TWTY_UINT32));
    range.SetMax(CTWAINOneValue(9, TWTY_UINT32));
    range.SetStep(CTWAINOneValue(2, TWTY_UINT32));
    range.SetDefault(CTWAINOneValue(3, TWTY_UINT32));
    range.SetCurrent(CTWAINOneValue(5, TWTY_UINT32));

    struct Case {
        const char* what;
        CTWAINContainer c;
        Bytes image;
    };
    const Case cases[] = {
        {"BOOL enumeration", CTWAINContainer(Enumerate({f, t}, 1, 0)),
         Cat({Le16(TWTY_BOOL), Le32(2), Le32(1), Le32(0), Le16(0), Le16(1), Zeros(2)})},
        {"empty array", CTWAINContainer(emptyArray), Zeros(8)},
        {"empty enumeration", CTWAINContainer(CTWAINEnumeration()), Zeros(16)},
        {"UINT8 array, one byte each", CTWAINContainer(uint8s),
         Cat({Le16(TWTY_UINT8), Le32(3), {1, 0xFF, 3}, Zeros(2)})},
        {"three FIX32",
         CTWAINContainer(Enumerate({CTWAINOneValue(1.0f), CTWAINOneValue(2.5f), CTWAINOneValue(-1.0f)}, 2, 1)),
         Cat({Le16(TWTY_FIX32), Le32(3), Le32(2), Le32(1), Le32(0x00000001), Le32(0x80000002), Le32(0x0000FFFF),
              Zeros(2)})},
        {"STR32 array",
         CTWAINContainer(CTWAINArray(Enumerate({CTWAINOneValue("a", TWTY_STR32), CTWAINOneValue("bc", TWTY_STR32)}))),
         Cat({Le16(TWTY_STR32), Le32(2), Text("a", 34), Text("bc", 34), Zeros(2)})},
        {"range", CTWAINContainer(range), Cat({Le16(TWTY_UINT32), Le32(1), Le32(9), Le32(2), Le32(3), Le32(5)})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ImageOf(c.c), c.image) << c.what;

        AppHandle app(c.image);
        CTWAINContainer back;
        back.FromHandle(app.handle, c.c.ContainerType);
        EXPECT_EQ(ImageOf(back), c.image) << c.what << " read back";
    }
}

TEST(ContainerRecords, ReadingDropsDuplicatesButKeepsFrames)
{
    AppHandle uint16s(Cat({Le16(TWTY_UINT16), Le32(3), Le16(3), Le16(3), Le16(5), Zeros(2)}));
    CTWAINContainer c;
    c.FromHandle(uint16s.handle, TWON_ARRAY);
    ASSERT_EQ(c.List.GetCount(), 2u);
    EXPECT_EQ(c.List.GetAt(0).Value, 3u);
    EXPECT_EQ(c.List.GetAt(1).Value, 5u);

    Bytes frame(16);
    CTWAINFrame f(0, 0, 4, 6);
    std::memcpy(frame.data(), static_cast<const TW_FRAME*>(&f), 16);
    AppHandle frames(Cat({Le16(TWTY_FRAME), Le32(3), frame, frame, frame}));
    c.FromHandle(frames.handle, TWON_ARRAY);
    EXPECT_EQ(c.List.GetCount(), 3u);

    // The indexes follow their items when duplicates go: current was the 5.
    AppHandle enumeration(Cat({Le16(TWTY_UINT16), Le32(3), Le32(2), Le32(1), Le16(3), Le16(3), Le16(5)}));
    c.FromHandle(enumeration.handle, TWON_ENUMERATION);
    EXPECT_EQ(c.List.GetCount(), 2u);
    EXPECT_EQ(c.List.GetCurrent().Value, 5u);
    EXPECT_EQ(c.List.GetDefault().Value, 3u);

    AppHandle noIndex(Cat({Le16(TWTY_UINT16), Le32(1), Le32(0xFFFFFFFF), Le32(0xFFFFFFFF), Le16(3)}));
    c.FromHandle(noIndex.handle, TWON_ENUMERATION);
    EXPECT_EQ(c.List.CurrentIndex, CTWAINEnumeration::kNoIndex) << "kept as 'no index' for Constrain";

    AppHandle unknownButEmpty(Cat({Le16(99), Le32(0), Zeros(2)}));
    c.FromHandle(unknownButEmpty.handle, TWON_ARRAY);
    EXPECT_EQ(c.List.GetCount(), 0u);

    TW_CAPABILITY cap{ICAP_XRESOLUTION, TWON_ONEVALUE, nullptr};
    AppHandle one(Cat({Le16(TWTY_FIX32), Le32(Fix32ToWord(FloatToFix32(300)))}));
    cap.hContainer = one.handle;
    EXPECT_EQ(CTWAINContainer(cap).GetOneValue().GetFloat(), 300.0f);
}

// Records from an application are refused, not read past their block.
TEST(ContainerRecords, HostileRecordsAreRefused)
{
    struct Refusal {
        const char* what;
        TW_UINT32 type;
        Bytes record;
        int kind;
    };
    enum { OneValue, Array, Enumeration, Range, Container };
    const Refusal cases[] = {
        {"array items past the block", TWON_ARRAY, Cat({Le16(TWTY_UINT32), Le32(3), Le32(1), Le32(2)}), Array},
        {"array NumItems wrapping the size", TWON_ARRAY, Cat({Le16(TWTY_STR255), Le32(0x01000000), Zeros(256)}), Array},
        {"array of all ones", TWON_ARRAY, Cat({Le16(TWTY_UINT8), Le32(0xFFFFFFFF), Zeros(2)}), Array},
        {"array of an unknown type", TWON_ARRAY, Cat({Le16(99), Le32(1), Le32(0)}), Array},
        {"array header cut", TWON_ARRAY, Cat({Le16(TWTY_UINT8), Le16(1)}), Array},
        {"enumeration items past the block", TWON_ENUMERATION,
         Cat({Le16(TWTY_UINT16), Le32(4), Le32(0), Le32(0), Le16(1)}), Enumeration},
        {"enumeration of an unknown type", TWON_ENUMERATION, Cat({Le16(13), Le32(1), Le32(0), Le32(0), Le32(0)}),
         Enumeration},
        {"current index past the list", TWON_ENUMERATION,
         Cat({Le16(TWTY_UINT16), Le32(2), Le32(2), Le32(0), Le16(1), Le16(2)}), Enumeration},
        {"default index past the list", TWON_ENUMERATION,
         Cat({Le16(TWTY_UINT16), Le32(2), Le32(0), Le32(7), Le16(1), Le16(2)}), Enumeration},
        {"index into an empty list", TWON_ENUMERATION, Cat({Le16(TWTY_UINT16), Le32(0), Le32(1), Le32(0)}),
         Enumeration},
        {"one value word cut", TWON_ONEVALUE, Cat({Le16(TWTY_UINT32), Le16(1)}), OneValue},
        {"one value frame cut", TWON_ONEVALUE, Cat({Le16(TWTY_FRAME), Zeros(8)}), OneValue},
        {"one value string without its NUL", TWON_ONEVALUE, Cat({Le16(TWTY_STR255), Bytes(20, 'a')}), OneValue},
        {"one value of an unknown type", TWON_ONEVALUE, Cat({Le16(0x0F), Le32(0)}), OneValue},
        {"range cut", TWON_RANGE, Cat({Le16(TWTY_UINT32), Le32(1), Le32(2)}), Range},
        {"range of an unknown type", TWON_RANGE, Cat({Le16(200), Zeros(20)}), Range},
        {"no such container type", 7, Cat({Le16(TWTY_UINT32), Le32(1)}), Container},
    };
    for (const Refusal& c : cases) {
        AppHandle app(c.record);
        CTWAINContainer container;
        auto read = [&] { container.FromHandle(app.handle, c.type); };
        // clang-format off
        switch (c.kind) {
        case OneValue: EXPECT_THROW(read(), CTWAINOneValueException) << c.what; break;
        case Array: EXPECT_THROW(read(), CTWAINArrayException) << c.what; break;
        case Enumeration: EXPECT_THROW(read(), CTWAINEnumerationException) << c.what; break;
        case Range: EXPECT_THROW(read(), CTWAINRangeException) << c.what; break;
        default: EXPECT_THROW(read(), CTWAINContainerException) << c.what; break;
        }
        // clang-format on
        EXPECT_EQ(container.ContainerType, c.type) << c.what << ": the type is taken";
        EXPECT_EQ(GlobalFlags(app.handle) & GMEM_LOCKCOUNT, 0u) << c.what << ": unlocked again";
    }

    // A short string in a block cut short is fine as long as its NUL is there.
    AppHandle shortString(Cat({Le16(TWTY_STR255), Text("abc", 4)}));
    CTWAINContainer c;
    c.FromHandle(shortString.handle, TWON_ONEVALUE);
    EXPECT_EQ(c.GetOneValue().GetText(), "abc");

    // Without a manager every pointer is a handle; a manager's lock that
    // refuses a handle, and a null one, are refused.
    TW_ENTRYPOINT refusing{};
    refusing.DSM_MemAllocate = [](TW_UINT32) -> TW_HANDLE { return nullptr; };
    refusing.DSM_MemFree = [](TW_HANDLE) {};
    refusing.DSM_MemLock = [](TW_HANDLE) -> TW_MEMREF { return nullptr; };
    refusing.DSM_MemUnlock = [](TW_HANDLE) {};
    SetDSMMemoryFunctions(&refusing);
    int notAHandle = 0;
    EXPECT_THROW(c.FromHandle(&notAHandle, TWON_ONEVALUE), CTWAINContainerException);
    SetDSMMemoryFunctions(nullptr);
    EXPECT_THROW(c.FromHandle(nullptr, TWON_ONEVALUE), CTWAINContainerException);
}

TEST(ContainerRecords, WritingRefusals)
{
    CTWAINContainer empty;
    EXPECT_THROW(empty.GetHandleSize(), CTWAINContainerException);
    EXPECT_THROW(empty.ToHandle(), CTWAINContainerException);

    CTWAINContainer noItem(CTWAINOneValue(1.0f));
    noItem.List.Clear();
    EXPECT_THROW(noItem.ToHandle(), CTWAINContainerException);

    CTWAINArray unknown;
    unknown.Append(CTWAINOneValue(1, 99));
    EXPECT_THROW(CTWAINContainer(unknown).ToHandle(), CTWAINArrayException);
    CTWAINEnumeration unknownEnum;
    unknownEnum.Add(CTWAINOneValue(1, 99));
    EXPECT_THROW(CTWAINContainer(unknownEnum).ToHandle(), CTWAINEnumerationException);
}

// The data source manager's memory functions, as a manager would give them:
// blocks not zero-filled, and a freed block handed out again first.
struct FakeDSM {
    static constexpr size_t kChunk = 64;
    static inline int allocations = 0;
    static inline int frees = 0;
    static inline std::vector<void*> freed;
    static TW_HANDLE Allocate(TW_UINT32 size)
    {
        if (size > kChunk)
            return nullptr;
        ++allocations;
        void* p = freed.empty() ? std::malloc(kChunk) : freed.back();
        if (!freed.empty())
            freed.pop_back();
        std::memset(p, 0xAB, kChunk);
        return p;
    }
    static void Free(TW_HANDLE h)
    {
        ++frees;
        freed.push_back(h);
    }
    static TW_MEMREF Lock(TW_HANDLE h) { return h; }
    static void Unlock(TW_HANDLE) {}
    static void Release()
    {
        for (void* p : freed)
            std::free(p);
        freed.clear();
    }
};

Bytes BlockBytes(TW_HANDLE handle, size_t size)
{
    CTWAINHandleLock lock(handle);
    const BYTE* p = static_cast<const BYTE*>(lock.Data());
    return Bytes(p, p + size);
}

TEST(ContainerRecords, HandlesComeFromTheManagerWhenItOffersMemory)
{
    TW_ENTRYPOINT entry{};
    entry.Size = sizeof entry;
    entry.DSM_MemAllocate = &FakeDSM::Allocate;
    entry.DSM_MemFree = &FakeDSM::Free;
    entry.DSM_MemLock = &FakeDSM::Lock;
    entry.DSM_MemUnlock = &FakeDSM::Unlock;
    SetDSMMemoryFunctions(&entry);
    ASSERT_TRUE(UsingDSMMemory());

    CTWAINContainer c(CTWAINEnumeration(Enumerate({CTWAINOneValue(TW_UINT16(7))})));
    TW_HANDLE h = c.ToHandle();
    EXPECT_EQ(FakeDSM::allocations, 1);
    EXPECT_EQ(TWAINHandleSize(h), std::nullopt) << "the manager does not tell";
    EXPECT_EQ(BlockBytes(h, 18), Cat({Le16(TWTY_UINT16), Le32(1), Le32(0), Le32(0), Le16(7), Zeros(2)}))
        << "zero-filled, whatever the manager gave";

    CTWAINContainer back;
    back.FromHandle(h, TWON_ENUMERATION);
    EXPECT_EQ(back.List.GetCurrent().Value, 7u);

    // The application frees the answer through the manager and gets the same
    // address back for a longer record: it is read whole, not held to the
    // size of the block that lay there before.
    FakeDSM::Free(h);
    TW_HANDLE app = FakeDSM::Allocate(26);
    ASSERT_EQ(app, h);
    Bytes record = Cat({Le16(TWTY_FIX32), Le32(3), Le32(2), Le32(0), Le32(Fix32ToWord(FloatToFix32(100))),
                        Le32(Fix32ToWord(FloatToFix32(200))), Le32(Fix32ToWord(FloatToFix32(300)))});
    std::memcpy(app, record.data(), record.size());
    back.FromHandle(app, TWON_ENUMERATION);
    EXPECT_EQ(back.List.GetCount(), 3u);
    EXPECT_EQ(back.List.GetCurrent().GetFloat(), 300.0f);
    TWAINFreeHandle(app);
    EXPECT_EQ(FakeDSM::frees, 2);

    // The application's own global memory is still read as such.
    AppHandle global(Cat({Le16(TWTY_UINT16), Le32(9)}));
    back.FromHandle(global.handle, TWON_ONEVALUE);
    EXPECT_EQ(back.GetOneValue().Value, 9u);

    SetDSMMemoryFunctions(nullptr);
    EXPECT_FALSE(UsingDSMMemory());
    FakeDSM::Release();
}

} // namespace
} // namespace Trellis
