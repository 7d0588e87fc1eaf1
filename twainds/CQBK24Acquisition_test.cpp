// Scans through DS_Entry as a TWAIN application makes them, with the
// emulator program as the scanner and the hardware service in its own
// process: native, memory and file transfers of simplex and duplex jobs,
// every page checked against the scanner's pattern; compressed data in the
// smallest buffers; and the scanner's faults as the application meets them.
#include "emulator/ImageCodecs.h"
#include "twainds/testing/AcquisitionTest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

using qbk24::testing::AcquisitionTest;
using qbk24::testing::Job;
using qbk24::testing::kSmallestMemoryBuffer;
using qbk24::testing::ScannedPage;
using Trellis::CTWAINOneValue;

TEST_F(AcquisitionTest, EveryMechanismDeliversEveryPageOfSimplexAndDuplexJobsAsScanned)
{
    Install(0);
    const Job jobs[] = {
        {TWSX_NATIVE, TWPT_BW, 1, false, TWCP_NONE, 2},   {TWSX_NATIVE, TWPT_GRAY, 8, true, TWCP_NONE, 2},
        {TWSX_NATIVE, TWPT_RGB, 24, true, TWCP_NONE, 1},  {TWSX_MEMORY, TWPT_BW, 1, true, TWCP_NONE, 2},
        {TWSX_MEMORY, TWPT_GRAY, 8, false, TWCP_NONE, 2}, {TWSX_MEMORY, TWPT_RGB, 24, true, TWCP_NONE, 1},
        {TWSX_FILE, TWPT_BW, 1, true, TWCP_NONE, 1},      {TWSX_FILE, TWPT_GRAY, 8, true, TWCP_NONE, 2},
        {TWSX_FILE, TWPT_RGB, 24, false, TWCP_NONE, 2},   {TWSX_FILE, TWPT_BW, 1, true, TWCP_GROUP4, 2},
        {TWSX_FILE, TWPT_GRAY, 8, false, TWCP_JPEG, 2},   {TWSX_FILE, TWPT_RGB, 24, true, TWCP_JPEG, 1},
    };
    for (const Job& job : jobs) {
        SCOPED_TRACE(Describe(job));
        Negotiate(job);
        ExpectPattern(job, Scan(job), job.compression == TWCP_JPEG ? 6.0 : 0);
    }
}

TEST_F(AcquisitionTest, CompressedDataComesWholeInTheSmallestMemoryBuffers)
{
    Install(0);
    const Job jobs[] = {
        {TWSX_MEMORY, TWPT_BW, 1, true, TWCP_GROUP4, 2},
        {TWSX_MEMORY, TWPT_GRAY, 8, false, TWCP_JPEG, 2},
        {TWSX_MEMORY, TWPT_RGB, 24, true, TWCP_JPEG, 1},
    };
    TW_SETUPMEMXFER sizes{};
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes));
    EXPECT_EQ(sizes.MinBufSize, kSmallestMemoryBuffer);
    for (const Job& job : jobs) {
        SCOPED_TRACE(Describe(job));
        Negotiate(job);
        std::vector<ScannedPage> pages = Scan(job, sizes.MinBufSize);
        for (ScannedPage& page : pages) {
            if (job.compression == TWCP_JPEG) {
                ASSERT_TRUE(DecodeJpeg(page));
            } else {
                page.stride = 192 / 8;
                page.rows = emulator::DecodeMmr(page.compressed, 192, 300);
            }
        }
        ExpectPattern(job, pages, job.compression == TWCP_JPEG ? 6.0 : 0);
    }
}

// The device's automatic crop to length: length control.
constexpr TW_UINT16 kAutoCropLength = 0x8026;

// Length control: each page is as long as its sheet (2 in: 200 lines at
// 100 dpi, where the frame has 300), which an application with an undefined
// image size learns once the page came. For native and file transfers the
// source makes the size undefined for each image by itself and gives it
// back after the image; a memory transfer has it only when the application
// asked, and otherwise gets the frame's length, white after the sheet.
TEST_F(AcquisitionTest, WithLengthControlEachPageIsAsLongAsItsSheet)
{
    Install(0);
    const struct {
        TW_UINT16 xferMech;
        bool asked;      // the application set ICAP_UNDEFINEDIMAGESIZE
        TW_INT32 before; // ImageLength before each image
        TW_INT32 after;  // ImageLength once it came, and its rows
        bool forced;     // undefined while the image is coming, though not asked
    } cases[] = {
        {TWSX_NATIVE, false, -1, 200, true},
        {TWSX_FILE, false, -1, 200, true},
        {TWSX_MEMORY, true, -1, 200, false},
        {TWSX_MEMORY, false, 300, 300, false},
    };
    const auto undefinedSize = [this] {
        Trellis::CTWAINContainer answer;
        EXPECT_EQ(TWRC_SUCCESS, GetCap(ICAP_UNDEFINEDIMAGESIZE, MSG_GETCURRENT, answer));
        return answer.GetOneValue().Value != 0;
    };
    for (const auto& c : cases) {
        const Job job = {c.xferMech, TWPT_GRAY, 8, false, TWCP_NONE, 2};
        SCOPED_TRACE(Describe(job) + (c.asked ? ", undefined size asked" : ""));
        Negotiate(job);
        ASSERT_EQ(TWRC_SUCCESS, SetCap(kAutoCropLength, CTWAINOneValue(1u, TWTY_BOOL)));
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_UNDEFINEDIMAGESIZE, CTWAINOneValue(c.asked ? 1u : 0u, TWTY_BOOL)));
        Control({"load", "2", "length=2000"});
        ASSERT_EQ(TWRC_SUCCESS, Enable()) << ConditionCode();
        for (std::uint32_t sheet = 0; sheet < 2; ++sheet) {
            SCOPED_TRACE("image " + std::to_string(sheet + 1));
            EXPECT_EQ(undefinedSize(), c.asked || c.forced);
            ScannedPage page;
            ASSERT_EQ(TWRC_XFERDONE, Transfer(job, page));
            EXPECT_EQ(page.info.ImageLength, c.before);
            TW_IMAGEINFO came{};
            ASSERT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &came));
            EXPECT_EQ(came.ImageLength, c.after);
            EXPECT_EQ(undefinedSize(), c.asked);
            if (c.xferMech == TWSX_MEMORY)
                page.height = static_cast<TW_INT32>(page.rows.size() / page.stride);
            ASSERT_EQ(page.height, c.after);
            page.height = 200; // the sheet's lines; white after them
            EXPECT_EQ(FirstBadLine(page, sheet, 0), -1);
            TW_PENDINGXFERS pending{};
            EXPECT_EQ(TWRC_SUCCESS, EndXfer(pending));
            EXPECT_EQ(pending.Count, sheet == 0 ? 0xFFFF : 0);
        }
        EXPECT_EQ(undefinedSize(), c.asked);
        Disable();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_UNDEFINEDIMAGESIZE, CTWAINOneValue(0u, TWTY_BOOL)));
        ASSERT_EQ(TWRC_SUCCESS, SetCap(kAutoCropLength, CTWAINOneValue(0u, TWTY_BOOL)));
    }
}

// The memory functions of a manager of the test's own: each block it hands
// out stays counted until it is freed through it.
struct ManagerMemory {
    static std::set<void*>& Live()
    {
        static std::set<void*> live;
        return live;
    }
    static int& UnknownFrees()
    {
        static int count = 0;
        return count;
    }
    static TW_HANDLE Allocate(TW_UINT32 size)
    {
        void* block = std::calloc(1, size == 0 ? 1 : size);
        if (block)
            Live().insert(block);
        return block;
    }
    static void Free(TW_HANDLE handle)
    {
        if (!handle)
            return;
        if (Live().erase(handle) == 0) {
            ++UnknownFrees();
            return;
        }
        std::free(handle);
    }
    static TW_MEMREF Lock(TW_HANDLE handle) { return handle; }
    static void Unlock(TW_HANDLE) {}
    static TW_UINT16 Entry(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF)
    {
        return TWRC_SUCCESS;
    }
};

// One of the device's own capabilities.
constexpr TW_UINT16 kDoubleFeedSensitivity = 0x8021;

TEST_F(AcquisitionTest, AnApplicationFreesWhatItGetsWithTheManagersFreeAndKeepsScanning)
{
    TW_ENTRYPOINT entry{sizeof(TW_ENTRYPOINT), &ManagerMemory::Entry, &ManagerMemory::Allocate,
                        &ManagerMemory::Free,  &ManagerMemory::Lock,  &ManagerMemory::Unlock};
    m_entryPoint = &entry;
    // The application's own containers come from the manager too.
    Trellis::SetDSMMemoryFunctions(&entry);
    Install(0);
    ASSERT_FALSE(HasFatalFailure());

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round + 1));
        Trellis::CTWAINContainer answer;
        for (TW_UINT16 id : {CAP_SUPPORTEDCAPS, ICAP_PIXELTYPE, ICAP_XRESOLUTION, ICAP_FRAMES, ICAP_HALFTONES,
                             ICAP_BRIGHTNESS, kDoubleFeedSensitivity}) {
            for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT})
                EXPECT_EQ(TWRC_SUCCESS, GetCap(id, msg, answer)) << "cap 0x" << std::hex << id << " msg " << msg;
        }
        TW_CUSTOMDSDATA data{};
        ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, &data));
        // The record is packed: its handle is read by copy.
        const TW_HANDLE block = data.hData;
        EXPECT_EQ(ManagerMemory::Live().count(block), 1u);
        EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &data)) << ConditionCode();
        ManagerMemory::Free(block);

        const Job native = {TWSX_NATIVE, TWPT_GRAY, 8, true, TWCP_NONE, 1};
        Negotiate(native);
        ExpectPattern(native, Scan(native));
        const Job memory = {TWSX_MEMORY, TWPT_RGB, 24, false, TWCP_NONE, 1};
        Negotiate(memory);
        ExpectPattern(memory, Scan(memory));
    }
    Close();
    Trellis::SetDSMMemoryFunctions(nullptr);
    EXPECT_TRUE(ManagerMemory::Live().empty()) << ManagerMemory::Live().size() << " blocks left";
    EXPECT_EQ(ManagerMemory::UnknownFrees(), 0);
}

} // namespace
