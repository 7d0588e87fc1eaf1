// The installed data source as an outside application meets it: the
// emulator program as the scanner, devinstall putting the source into a
// data source manager's folder, and twainscan, which links nothing of ours
// but the manager, listing it and scanning into TIFF files read back here
// with libtiff.
#include "emulator/testing/StatusAnswer.h"
#include "platform/testing/Sanitizers.h"
#include "tools/twainscan/testing/InstalledSourceTest.h"
#include "twainds/testing/ScannerSourceTest.h"

#include <tiffio.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> SplitWords(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}
using emulator::testing::StatusValue;
using twainscan::testing::InstalledSourceTest;

struct TiffPage {
    std::uint16_t bitsPerSample = 0;
    std::uint16_t samples = 0;
    std::uint16_t photometric = 0;
    bool whole = false;                // every line decodes
    qbk24::testing::ScannedPage image; // the lines as stored
};

TiffPage ReadTiff(const std::string& path)
{
    TiffPage page;
    std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.c_str(), "r"), &TIFFClose);
    if (!tiff)
        return page;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &page.bitsPerSample);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &page.samples);
    TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &page.photometric);
    page.image.width = static_cast<TW_INT32>(width);
    page.image.height = static_cast<TW_INT32>(height);
    page.image.bitsPerPixel = page.bitsPerSample * page.samples;
    page.image.stride = static_cast<size_t>(TIFFScanlineSize(tiff.get()));
    page.image.rows.resize(page.image.stride * height);
    page.whole = width > 0 && height > 0;
    for (std::uint32_t y = 0; page.whole && y < height; ++y)
        page.whole = TIFFReadScanline(tiff.get(), page.image.rows.data() + y * page.image.stride, y, 0) == 1;
    return page;
}

bool IsX86_64Elf(const std::string& path)
{
    unsigned char header[20] = {};
    std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(header), sizeof header);
    return header[0] == 0x7F && header[1] == 'E' && header[2] == 'L' && header[3] == 'F' && header[4] == 2 &&
           header[18] == 62; // ELFCLASS64, EM_X86_64
}

TEST_F(InstalledSourceTest, TheInstalledSourceIsAListedRegularLibraryInTheManagersFolder)
{
    Install(1);
    const fs::path copy = ManagerFolder() / "RNX" / "QBK24_0000.ds";
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(copy))) << copy;
    EXPECT_TRUE(IsX86_64Elf(copy.string()));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(copy.parent_path() / "libplatform.so")));
    EXPECT_EQ(ReadDriverValue("TWAIN_DS_PATH"), copy.string());

    std::string output;
    ASSERT_EQ(TwainScan({"--list"}, &output), 0) << output;
    EXPECT_EQ(output.rfind("Quillbox K24  (Quorvant / Quillbox, protocol ", 0), 0u) << output;
    EXPECT_NE(output.find(", language 13)"), std::string::npos) << output;
}

struct ScanCase {
    const char* xfer;
    const char* pixel;
    std::uint16_t bitsPerSample;
    std::uint16_t samples;
    std::uint16_t photometric;
};

const ScanCase kScanCases[] = {
    {"native", "bw", 1, 1, PHOTOMETRIC_MINISBLACK}, {"native", "color", 8, 3, PHOTOMETRIC_RGB},
    {"memory", "bw", 1, 1, PHOTOMETRIC_MINISBLACK}, {"memory", "gray", 8, 1, PHOTOMETRIC_MINISBLACK},
    {"memory", "color", 8, 3, PHOTOMETRIC_RGB},     {"file", "bw", 1, 1, PHOTOMETRIC_MINISBLACK},
    {"file", "color", 8, 3, PHOTOMETRIC_RGB},
};

TEST_F(InstalledSourceTest, TwainScanWritesEverySideOfEverySheetByEachMechanism)
{
    Install(0);
    for (const ScanCase& scan : kScanCases) {
        SCOPED_TRACE(std::string(scan.xfer) + " " + scan.pixel);
        LoadSheets(2);
        const fs::path out = fs::path(m_root.Path()) / (std::string("out-") + scan.xfer + "-" + scan.pixel);
        fs::create_directories(out);
        std::string output;
        ASSERT_EQ(
            TwainScan({"--xfer", scan.xfer, "--pixel", scan.pixel, "--dpi", "100", "--duplex", "--out", out.string()},
                      &output),
            0)
            << output;
        EXPECT_NE(output.find("4 pages scanned"), std::string::npos) << output;
        for (int number = 1; number <= 4; ++number) {
            SCOPED_TRACE(number);
            const std::string path = (out / ("page-00" + std::to_string(number) + ".tif")).string();
            EXPECT_NE(output.find("page " + std::to_string(number) + ": "), std::string::npos) << output;
            const TiffPage page = ReadTiff(path);
            ASSERT_TRUE(page.whole) << path;
            // Letter at 100 dpi, the width in whole bytes of 1-bit pixels.
            EXPECT_EQ(page.image.width, 848);
            EXPECT_EQ(page.image.height, 1100);
            EXPECT_EQ(page.bitsPerSample, scan.bitsPerSample);
            EXPECT_EQ(page.samples, scan.samples);
            EXPECT_EQ(page.photometric, scan.photometric);
            // Front and back of each sheet in order, every line as scanned.
            const auto sheet = static_cast<std::uint32_t>((number - 1) / 2);
            const auto side = static_cast<std::uint32_t>((number - 1) % 2);
            EXPECT_EQ(qbk24::testing::FirstBadLine(page.image, sheet, side), -1);
        }
        EXPECT_FALSE(fs::exists(out / "page-005.tif"));
    }
}

// A scanner's READ may end anywhere, inside a line too. Whatever byte
// counts the reads end at, each mechanism's page has every line as scanned.
// One test for each mechanism, so that they run side by side: every read
// that ends short makes the service wait for data (500 ms).
class TwainScanShortReadTest : public InstalledSourceTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(TwainScanShortReadTest, ReadsEndingAtOddByteCountsGiveEveryLineAsScanned)
{
    // A6 at 100 dpi, 400 pixels by 582 lines: lines of 50, 400 and 1200
    // bytes, which the source asks for some 64 KiB at a time.
    const struct {
        const char* xfer;
        const char* pixel;
        const char* maxRead;
    } cases[] = {
        {"native", "bw", "20001"}, {"native", "gray", "60001"}, {"native", "color", "60001"},
        {"memory", "bw", "14999"}, {"memory", "gray", "49999"}, {"memory", "color", "64799"},
        {"file", "bw", "9973"},    {"file", "gray", "65003"},   {"file", "color", "62003"},
    };
    Install(0);
    for (const auto& c : cases) {
        if (GetParam() != c.xfer)
            continue;
        SCOPED_TRACE(std::string(c.pixel) + ", at most " + c.maxRead + " bytes a read");
        Control({"max-read", c.maxRead});
        LoadSheets(1);
        const long cappedBefore = StatusValue(Control({"status"}), "capped-reads");
        const fs::path out = fs::path(m_root.Path()) / (std::string("short-") + c.pixel);
        fs::create_directories(out);
        std::string output;
        ASSERT_EQ(TwainScan({"--xfer", c.xfer, "--pixel", c.pixel, "--dpi", "100", "--size", "a6", "--simplex",
                             "--pages", "1", "--out", out.string()},
                            &output),
                  0)
            << output;
        EXPECT_GT(StatusValue(Control({"status"}), "capped-reads"), cappedBefore) << "no read ended short";
        const TiffPage page = ReadTiff((out / "page-001.tif").string());
        ASSERT_TRUE(page.whole) << output;
        EXPECT_EQ(page.image.height, 582);
        EXPECT_EQ(qbk24::testing::FirstBadLine(page.image, 0, 0), -1);
    }
}

INSTANTIATE_TEST_SUITE_P(EachMechanism, TwainScanShortReadTest, ::testing::Values("native", "memory", "file"),
                         [](const ::testing::TestParamInfo<std::string>& testInfo) { return testInfo.param; });

// Faults of the scanner as a user meets them, each set through the
// emulator's control command, for each mechanism (side by side, as above).
// Each ends with the fault named in words and exit 1; a page the fault cut
// short is named with its line and not kept; only whole pages are left
// under page names, nothing beside them; and the next scan works.
class TwainScanFaultTest : public InstalledSourceTest, public ::testing::WithParamInterface<std::string> {
protected:
    // twainscan of A6 pages at 100 dpi in gray: 400 pixels by 582 lines,
    // 232800 bytes a side, more than one band holds, so that a fault can
    // strike after some of a page has come.
    int ScanA6(const fs::path& out, std::string* output, const std::vector<std::string>& more = {})
    {
        fs::create_directories(out);
        std::vector<std::string> args = {"--xfer", GetParam(), "--pixel", "gray",  "--dpi",
                                         "100",    "--size",   "a6",      "--out", out.string()};
        args.insert(args.end(), more.begin(), more.end());
        return TwainScan(args, output);
    }

    // The files left in `out`, in order, each whole.
    std::vector<std::string> WholeFiles(const fs::path& out)
    {
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(out)) {
            files.push_back(entry.path().filename().string());
            EXPECT_TRUE(ReadTiff(entry.path().string()).whole) << entry.path();
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    // The control lines, then a scan into `out`.
    int ScanAfter(const std::vector<std::string>& setup, const fs::path& out, std::string* output)
    {
        for (const std::string& line : setup)
            Control(SplitWords(line));
        return ScanA6(out, output);
    }

    // The service serves the scanner again once it has seen it come back:
    // asked with an empty feeder until it says so, not an unplugged scanner.
    void WaitUntilTheScannerServes()
    {
        const fs::path out = fs::path(m_root.Path()) / "probe";
        std::string output;
        for (int attempt = 0; attempt < 300; ++attempt) {
            if (ScanA6(out, &output) == 1 && output.find("before any image was ready") != std::string::npos)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        FAIL() << "the scanner is not served again: " << output;
    }

    struct FaultCase {
        const char* name;
        std::vector<std::string> setup; // control lines
        int exitCode;
        const char* said;               // in the output
        std::vector<std::string> whole; // the files left
        std::vector<std::string> after; // control lines that end the fault
    };

    // Each case scanned into a folder of its own on an installed scanner,
    // then a scan that works.
    void RunFaultCases(const std::vector<FaultCase>& cases)
    {
        Install(0);
        int run = 0;
        for (const FaultCase& c : cases) {
            SCOPED_TRACE(c.name);
            const fs::path out = fs::path(m_root.Path()) / ("fault" + std::to_string(++run));
            std::string output;
            EXPECT_EQ(ScanAfter(c.setup, out, &output), c.exitCode) << output;
            EXPECT_NE(output.find(c.said), std::string::npos) << output;
            EXPECT_EQ(WholeFiles(out), c.whole) << output;
            for (const std::string& line : c.after)
                Control(SplitWords(line));
            if (!c.after.empty())
                WaitUntilTheScannerServes();
        }
        LoadSheets(1);
        std::string output;
        EXPECT_EQ(ScanA6(fs::path(m_root.Path()) / "after", &output), 0) << output;
    }
};

TEST_P(TwainScanFaultTest, EachFaultIsNamedAndOnlyWholePagesStay)
{
    RunFaultCases({
        {"jam mid-page",
         {"load 2", "fault jam sheet=1 offset=100000"},
         1,
         "twainscan: page 3: transfer failed: Paper Jam (condition 20)",
         {"page-001.tif", "page-002.tif"},
         {}},
        {"cover opened mid-page",
         {"load 2", "fault cover-open sheet=1 offset=100000"},
         1,
         "twainscan: page 3 cut short at line 250: ADF cover or Exit cover open (condition 5); not kept",
         {"page-001.tif", "page-002.tif"},
         {"cover closed"}},
        {"stalled READ",
         {"load 2", "fault stall-in opcode=0x28 sheet=1 offset=100000"},
         1,
         "twainscan: page 3 cut short at line 250: Scanner error (condition 5); not kept",
         {"page-001.tif", "page-002.tif"},
         {}},
        {"unplugged mid-page",
         {"load 2", "fault unplug sheet=1 offset=100000"},
         1,
         "twainscan: page 3: transfer failed: Scanner not connected or not powered on (condition 23)",
         {"page-001.tif", "page-002.tif"},
         {"replug"}},
        {"no paper at the start",
         {"load 0"},
         1,
         "twainscan: the source asked to be closed before any image was ready",
         {},
         {}},
    });
}

INSTANTIATE_TEST_SUITE_P(EachMechanism, TwainScanFaultTest, ::testing::Values("native", "memory", "file"),
                         [](const ::testing::TestParamInfo<std::string>& testInfo) { return testInfo.param; });

// Faults whose handling does not depend on the mechanism, through one.
class TwainScanOneMechanismFaultTest : public TwainScanFaultTest {
protected:
    // twainscan started on three sheets, with `during` run once page 2 is
    // written; its status and output.
    int ScanKillingAtPage2(const fs::path& out, std::string* output, const std::function<void(pid_t)>& during)
    {
        fs::create_directories(out);
        plat::testing::ChildProcess child({QBK_TWAINSCAN, "--folder", ManagerFolder().string(), "--xfer", GetParam(),
                                           "--pixel", "gray", "--dpi", "100", "--size", "a6", "--out", out.string()},
                                          plat::testing::ChildPipes::WithErrors);
        *output = child.ReadThrough("page 2:");
        if (output->find("page 2:") != std::string::npos)
            during(static_cast<pid_t>(child.Pid()));
        *output += child.RestOfOutput();
        return child.Wait();
    }
};

TEST_P(TwainScanOneMechanismFaultTest, EachFaultIsNamedAndOnlyWholePagesStay)
{
    const std::vector<std::string> fourPages = {"page-001.tif", "page-002.tif", "page-003.tif", "page-004.tif"};
    const std::vector<std::string> twoPages = {"page-001.tif", "page-002.tif"};
    RunFaultCases({
        // The source asks the scanner to detect neither.
        {"double feed goes through",
         {"load 2", "fault double-feed sheet=1 offset=100000"},
         0,
         "4 pages scanned into ",
         fourPages,
         {}},
        {"skew goes through",
         {"load 2", "fault skew sheet=1 offset=100000"},
         0,
         "4 pages scanned into ",
         fourPages,
         {}},
        // The sheet in the scanner comes whole; the feeder's end is the
        // end of the job.
        {"no paper mid-job",
         {"load 3", "fault no-paper sheet=1 offset=100000"},
         0,
         "4 pages scanned into ",
         fourPages,
         {}},
        {"swallowed READ",
         {"load 2", "fault timeout opcode=0x28 sheet=1 offset=100000"},
         1,
         "twainscan: page 3 cut short at line 250: Scanner error (condition 5); not kept",
         twoPages,
         {}},
    });
}

// The client or the service ends while page 3 comes in (the scanner
// answers BUSY from its middle on, so that the page is still coming).
TEST_P(TwainScanOneMechanismFaultTest, AClientOrServiceKilledMidPageLeavesOnlyWholePages)
{
    const struct {
        const char* name;
        bool client; // else the service is killed
        int exitCode;
        const char* said;
    } cases[] = {
        {"client killed", true, -1, ""},
        {"service killed", false, 1, "twainscan: page 3: transfer failed: "},
    };
    Install(0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadSheets(3);
        Control({"fault", "busy", "count=0xFFFFFFFF", "sheet=1", "offset=100000"});
        // With its service gone the source cannot close (its close reports
        // the service's failure), so twainscan ends with the source loaded.
        std::optional<plat::testing::ChildLeakCheckOff> leakCheckOff;
        if (!c.client)
            leakCheckOff.emplace();
        const fs::path out = fs::path(m_root.Path()) / c.name;
        std::string output;
        const int exitCode = ScanKillingAtPage2(out, &output, [&](pid_t client) {
            if (c.client)
                ::kill(client, SIGKILL);
            else
                plat::testing::KillProgramsRunFrom(m_root.Path());
        });
        EXPECT_EQ(exitCode, c.exitCode) << output;
        EXPECT_NE(output.find(c.said), std::string::npos) << output;
        EXPECT_EQ(WholeFiles(out), (std::vector<std::string>{"page-001.tif", "page-002.tif"})) << output;
        // The scanner as plugged in again: the endless BUSY ends.
        Control({"unplug"});
        Control({"replug"});
        Control({"load", "0"});
        WaitUntilTheScannerServes();
    }
    LoadSheets(1);
    std::string output;
    EXPECT_EQ(ScanA6(fs::path(m_root.Path()) / "after", &output), 0) << output;
}

INSTANTIATE_TEST_SUITE_P(OneMechanism, TwainScanOneMechanismFaultTest, ::testing::Values("memory"),
                         [](const ::testing::TestParamInfo<std::string>& testInfo) { return testInfo.param; });

// The application holds a strip of a page (a memory or file transfer) or
// the one page a native transfer hands over, never its pages: five sheets
// take no more memory than one. A memory transfer writes each strip as it
// comes, so it takes no more than the file transfer, where the source
// writes the file.
TEST_F(InstalledSourceTest, TwainScanMemoryIsFlatInThePagesByEachMechanism)
{
    if (plat::testing::kAddressSanitizer)
        GTEST_SKIP() << "freed memory stays in the sanitizer's quarantine";
    Install(0);
    // Letter in colour at 150 dpi: pages of 6.3 MB.
    const auto peakKiB = [&](const std::string& xfer, int sheets) {
        LoadSheets(sheets);
        const fs::path out = fs::path(m_root.Path()) / ("flat-" + xfer + "-" + std::to_string(sheets));
        fs::create_directories(out);
        std::string output;
        rusage usage{};
        EXPECT_EQ(TwainScan({"--xfer", xfer, "--pixel", "color", "--dpi", "150", "--duplex", "--out", out.string()},
                            &output, &usage),
                  0)
            << output;
        EXPECT_NE(output.find(std::to_string(2 * sheets) + " pages scanned"), std::string::npos) << output;
        return usage.ru_maxrss;
    };
    // Bands of a few MiB come and go on the client's threads; one may stay
    // cached in the heap of a second thread that happened to take one, so a
    // run's peak varies by about a band (up to 5 MiB) with thread timing.
    // The bound stays well below one page (6.3 MB), of which five sheets
    // hold eight more than one sheet.
    constexpr long kBandSlackKiB = 8 * 1024;
    std::map<std::string, long> oneSheet;
    for (const std::string xfer : {"native", "memory", "file"}) {
        SCOPED_TRACE(xfer);
        oneSheet[xfer] = peakKiB(xfer, 1);
        const long fiveSheets = peakKiB(xfer, 5);
        EXPECT_LT(fiveSheets - oneSheet[xfer], kBandSlackKiB)
            << "one sheet " << oneSheet[xfer] << " KiB, five " << fiveSheets << " KiB";
    }
    EXPECT_LT(oneSheet["memory"] - oneSheet["file"], kBandSlackKiB)
        << "memory " << oneSheet["memory"] << " KiB, file " << oneSheet["file"] << " KiB";
}

// The source is still loaded when the process ends: it is not torn down
// through a platform whose state exit() is destroying.
TEST_F(InstalledSourceTest, AnApplicationEndingWithTheSourceOpenEndsCleanly)
{
    Install(1);
    // What the source still holds at exit is left to the process's end on
    // purpose, so a leak checker in the child has nothing to say about it.
    const plat::testing::ChildLeakCheckOff leakCheckOff;
    plat::testing::ChildProcess child({QBK_EXIT_OPEN, ManagerFolder().string(), m_root.Path()},
                                      plat::testing::ChildPipes::WithErrors);
    ASSERT_TRUE(child.Started());
    const std::string output = child.RestOfOutput();
    EXPECT_EQ(child.Wait(), 0) << output;
    EXPECT_NE(output.find("pages 1"), std::string::npos) << output;
}

// A page twainscan cannot write stops the scan with its reason, for a
// memory transfer at its first strip, and leaves no file behind. (A folder
// in the place of the page's part file stands in for a full disk.)
TEST_F(InstalledSourceTest, APageThatCannotBeWrittenStopsTheScanWithItsReason)
{
    Install(0);
    const fs::path blocked = fs::path(m_root.Path()) / "blocked";
    fs::create_directories(blocked / "page-001.tif.part");
    for (const char* xfer : {"native", "memory"}) {
        SCOPED_TRACE(xfer);
        LoadSheets(1);
        std::string output;
        EXPECT_EQ(TwainScan({"--xfer", xfer, "--dpi", "100", "--out", blocked.string()}, &output), 1) << output;
        EXPECT_NE(output.find("twainscan: page 1: cannot write " + (blocked / "page-001.tif").string()),
                  std::string::npos)
            << output;
        EXPECT_FALSE(fs::exists(blocked / "page-001.tif"));
    }
}

// The output folder is checked before a sheet is fed, and the pages of an
// earlier scan in it are replaced only when asked; --batch-start numbers
// the next run after them.
TEST_F(InstalledSourceTest, TheOutputFolderIsCheckedAndEarlierPagesAreKept)
{
    Install(0);
    const fs::path folder = fs::path(m_root.Path()) / "pages";
    fs::create_directories(folder);
    const std::vector<std::string> small = {"--xfer", "memory", "--dpi", "100", "--size", "a6", "--simplex"};
    auto scan = [&](std::vector<std::string> args, std::string* output) {
        args.insert(args.end(), small.begin(), small.end());
        return TwainScan(args, output);
    };
    std::string output;
    LoadSheets(2);
    ASSERT_EQ(scan({"--out", folder.string()}, &output), 0) << output;
    const auto firstRun = fs::last_write_time(folder / "page-002.tif");
    LoadSheets(2);
    // clang-format off
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* said; // in the output
        std::vector<std::string> files;
    } cases[] = {
        {{"--out", (folder / "missing").string()}, 1, "does not exist", {"page-001.tif", "page-002.tif"}},
        {{"--out", folder.string()}, 1, "already holds pages up to page 2 of an earlier scan; --force replaces them",
         {"page-001.tif", "page-002.tif"}},
        {{"--out", folder.string(), "--batch-start", "2"}, 1, "--batch-start 3 numbers this scan after them",
         {"page-001.tif", "page-002.tif"}},
        {{"--out", folder.string(), "--batch-start", "3"}, 0, "2 pages scanned into ",
         {"page-001.tif", "page-002.tif", "page-003.tif", "page-004.tif"}},
        {{"--out", folder.string(), "--force"}, 0, "page-001.tif to page-002.tif",
         {"page-001.tif", "page-002.tif", "page-003.tif", "page-004.tif"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(Control({"status"}).rfind("sheets=2 ", 0), 0u) << "a refused scan feeds nothing";
        EXPECT_EQ(scan(c.args, &output), c.exitCode) << output;
        EXPECT_NE(output.find(c.said), std::string::npos) << output;
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file())
                files.push_back(entry.path().filename().string());
        }
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, c.files);
        if (c.exitCode == 0)
            LoadSheets(2);
    }
    EXPECT_GT(fs::last_write_time(folder / "page-002.tif"), firstRun) << "--force replaced the page";
}

TEST_F(InstalledSourceTest, AnEmptyFeederStopsTheScanWithItsReason)
{
    Install(0);
    std::string output;
    EXPECT_EQ(TwainScan({"--out", m_root.Path()}, &output), 1) << output;
    EXPECT_NE(output.find("twainscan: the source asked to be closed before any image was ready"), std::string::npos)
        << output;
    EXPECT_FALSE(fs::exists(fs::path(m_root.Path()) / "page-001.tif"));
}

// Without an installed source, or without one of the asked name, twainscan
// says so instead of a bare condition code.
TEST_F(InstalledSourceTest, AMissingSourceIsNamedAsMissing)
{
    std::string output;
    EXPECT_EQ(TwainScan({"--out", m_root.Path()}, &output), 1) << output;
    EXPECT_NE(output.find("twainscan: no data source is installed in "), std::string::npos) << output;
    Install(0);
    EXPECT_EQ(TwainScan({"--source", "Nothing Such", "--out", m_root.Path()}, &output), 1) << output;
    EXPECT_NE(output.find("twainscan: no data source named \"Nothing Such\" is installed in "), std::string::npos)
        << output;
}

} // namespace

namespace {

// Ctrl-C (or SIGTERM) while a page comes in: the scan ends through the
// source with status 130, the pages already whole stay, no part of a page
// is left, and the scanner serves the next scan.
TEST_F(InstalledSourceTest, AnInterruptEndsTheScanKeepingTheWholePages)
{
    Install(0);
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        LoadSheets(4);
        const fs::path folder = fs::path(m_root.Path()) / ("interrupted" + std::to_string(signal));
        fs::create_directories(folder);
        plat::testing::ChildProcess scan({QBK_TWAINSCAN, "--folder", ManagerFolder().string(), "--xfer", "memory",
                                          "--dpi", "100", "--size", "a6", "--simplex", "--out", folder.string()},
                                         plat::testing::ChildPipes::WithErrors);
        // The second page is coming in.
        const std::string seen = scan.ReadThrough("scanning page 2:");
        ASSERT_NE(seen.find("scanning page 2:"), std::string::npos) << seen;
        scan.Signal(signal);
        const std::string rest = scan.RestOfOutput();
        EXPECT_EQ(scan.Wait(), 130) << seen << rest;
        EXPECT_NE(rest.find("twainscan: interrupted; "), std::string::npos) << rest;
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(folder))
            files.push_back(entry.path().filename().string());
        std::sort(files.begin(), files.end());
        ASSERT_FALSE(files.empty());
        EXPECT_LT(files.size(), 4u) << "the scan went on";
        for (size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(files[i], "page-00" + std::to_string(i + 1) + ".tif") << "no part file is left";
            TIFF* tiff = TIFFOpen((folder / files[i]).c_str(), "r");
            ASSERT_NE(tiff, nullptr) << files[i];
            uint32_t height = 0;
            TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
            EXPECT_GT(height, 500u) << files[i] << " is whole";
            TIFFClose(tiff);
        }
    }
    LoadSheets(1);
    std::string output;
    EXPECT_EQ(
        TwainScan({"--xfer", "memory", "--dpi", "100", "--size", "a6", "--simplex", "--out", m_root.Path()}, &output),
        0)
        << output;
}

} // namespace
