// The installed source loaded into this process by the manager, as often
// as an application lists and opens it: nothing may stay behind.
#include "platform/twaindsm/SourceManager.h"
#include "tools/twainscan/ScanJob.h"
#include "tools/twainscan/TwainSession.h"
#include "tools/twainscan/testing/InstalledSourceTest.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using twainscan::testing::InstalledSourceTest;

// The threads and open files of this process.
struct ProcessSnapshot {
    size_t threads = 0;
    size_t files = 0;

    static ProcessSnapshot Now()
    {
        auto count = [](const char* folder) {
            size_t entries = 0;
            for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
                ++entries;
            return entries;
        };
        return {count("/proc/self/task"), count("/proc/self/fd")};
    }
    bool operator==(const ProcessSnapshot&) const = default;
};

void PrintTo(const ProcessSnapshot& snapshot, std::ostream* out)
{
    *out << snapshot.threads << " threads, " << snapshot.files << " open files";
}

class SourceCyclesTest : public InstalledSourceTest {
protected:
    std::string Copy() const { return (ManagerFolder() / "RNX" / "QBK24_0000.ds").string(); }

    bool Loaded() const
    {
        void* handle = dlopen(Copy().c_str(), RTLD_LAZY | RTLD_NOLOAD);
        if (handle)
            dlclose(handle);
        return handle != nullptr;
    }

    // Opens the manager (which loads, asks and unloads every source) and
    // closes it again; the number of sources listed.
    size_t ListOnce()
    {
        twainscan::TwainSession session;
        return session.OpenManager(ManagerFolder().string()) ? session.Sources().size() : 0;
    }

    // Opens the source, scans one page and closes it again.
    void ScanOnePage()
    {
        twainscan::TwainSession session;
        ASSERT_TRUE(session.OpenManager(ManagerFolder().string()));
        ASSERT_TRUE(session.OpenSource("")) << session.ConditionCode();
        twainscan::ScanSettings settings;
        settings.pixelType = TWPT_GRAY;
        settings.resolution = 100;
        settings.duplex = false;
        settings.pages = 1;
        settings.outFolder = m_root.Path();
        std::FILE* sink = std::fopen("/dev/null", "w");
        EXPECT_EQ(twainscan::RunScan(session, settings, sink, stderr), 1);
        std::fclose(sink);
    }
};

TEST_F(SourceCyclesTest, LoadListUnloadCyclesAndScansLeaveNothingBehind)
{
    Install(2);
    ASSERT_EQ(ListOnce(), 1u);
    const ProcessSnapshot listed = ProcessSnapshot::Now();
    for (int cycle = 0; cycle < 10; ++cycle)
        ASSERT_EQ(ListOnce(), 1u);
    EXPECT_EQ(ProcessSnapshot::Now(), listed);
    EXPECT_FALSE(Loaded());

    // The first scan connects this process to the hardware service for
    // good; a second one, and listing after it, add nothing.
    ScanOnePage();
    EXPECT_FALSE(Loaded());
    const ProcessSnapshot scanned = ProcessSnapshot::Now();
    ScanOnePage();
    for (int cycle = 0; cycle < 5; ++cycle)
        ASSERT_EQ(ListOnce(), 1u);
    EXPECT_EQ(ProcessSnapshot::Now(), scanned);
    EXPECT_FALSE(Loaded());
}

} // namespace
