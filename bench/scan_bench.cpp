// The whole scan path as an outside application sees it: the emulator
// program as the plugged-in scanner, devinstall installing it on a
// temporary system root (the TWAIN data source in a manager's folder), and
// 20 A4 pages of 24-bit colour at 300 dpi scanned through the
// hardware-service process and the pipeline: by twainscan through our data
// source manager, by memory and by file transfer, and by wiascan through the
// still-image driver in callback transfers of 64 KiB bands. Beside them, in
// the same run, `scanimage -d test` scanning the same number of pages of
// about the same bytes each (its test area is at most 200 x 200 mm, so its
// resolution is raised to match); that row is skipped when scanimage is not
// installed. Each job scans into an emptied folder and counts only when the
// program ended well, reported every page and wrote every page's file.
//
// Each row reports MB/s of image bytes, the time to the first page, the time
// per later page, the CPU seconds per GB of the processes doing the work
// (the client plus the service for our paths, and each of the two apart;
// scanimage for its own), and the peak resident memory of the client
// (twainscan, wiascan or scanimage) and of the service. A job of one sheet
// runs first on the same installation, and its peaks are printed beside the
// 20 sheets' (`..._1sheet`): memory that is flat in the number of pages
// shows the same figures. The idle row is the service between scans: its
// CPU time per second while it only polls the panel keys.
#include "bench/InstalledScanner.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPages = 20;
constexpr int kDpi = 300;
// The bytes of the source's page, A4 at 300 dpi (210 x 297 mm, pixels of 3
// bytes), that scanimage's page is to match.
constexpr double kPageBytes = (210.0 / 25.4 * kDpi) * (297.0 / 25.4 * kDpi) * 3.0;
// scanimage's test area: 200 mm square.
constexpr double kTestAreaMm = 200.0;

// What one job took.
struct Job {
    bool ok = false;
    std::string failure;
    double firstPage = 0; // seconds from start to the first page reported
    double lastPage = 0;  // seconds from start to the last page reported
    int pages = 0;
    std::string firstPageLine;
    double cpuSeconds = 0; // of the processes doing the work
    double serviceCpuSeconds = 0;
    double clientPeakMiB = 0; // of the program run
    double servicePeakMiB = 0;
};

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double CpuSeconds(const rusage& usage)
{
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The /proc folders of the processes whose program lies under `folder`:
// the hardware service runs from the system root it was installed into.
std::vector<fs::path> ProgramsRunFrom(const std::string& folder)
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::error_code error;
        const fs::path exe = fs::read_symlink(entry.path() / "exe", error);
        if (!error && exe.string().rfind(folder + "/", 0) == 0)
            found.push_back(entry.path());
    }
    return found;
}

// User plus system CPU seconds of the programs run from `folder`.
double CpuOfProgramsRunFrom(const std::string& folder)
{
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    double total = 0;
    for (const fs::path& process : ProgramsRunFrom(folder)) {
        std::ifstream stat(process / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        // Fields after the program name in parentheses; utime and stime are
        // the 14th and 15th of the whole line.
        const size_t close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        double utime = 0, stime = 0;
        for (int number = 3; number <= 15 && fields >> field; ++number) {
            if (number == 14)
                utime = std::atof(field.c_str());
            else if (number == 15)
                stime = std::atof(field.c_str());
        }
        total += (utime + stime) / tick;
    }
    return total;
}

// The largest peak resident size (VmHWM) among the programs run from `folder`.
double PeakMiBOfProgramsRunFrom(const std::string& folder)
{
    double peak = 0;
    for (const fs::path& process : ProgramsRunFrom(folder)) {
        std::ifstream status(process / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmHWM:", 0) == 0)
                peak = std::max(peak, std::atof(line.c_str() + 6) / 1024.0);
        }
    }
    return peak;
}

// Whether an output line of the program reports a whole page.
using PageLine = std::function<bool(const std::string&)>;

PageLine StartsWith(std::string prefix)
{
    return [prefix](const std::string& line) { return line.rfind(prefix, 0) == 0; };
}

// Runs `args` to its end, noting when each page line arrives.
Job RunJob(std::vector<std::string> args, const PageLine& isPage, int pages)
{
    Job job;
    const std::string program = args.front();
    const Clock::time_point start = Clock::now();
    plat::testing::ChildProcess child(std::move(args), plat::testing::ChildPipes::WithErrors);
    if (!child.Started()) {
        job.failure = "cannot start " + program;
        return job;
    }
    std::string output;
    for (;;) {
        const std::string line = child.ReadLine();
        if (line.empty() && child.Ended())
            break;
        output += line + "\n";
        if (isPage(line)) {
            job.lastPage = Since(start);
            if (++job.pages == 1) {
                job.firstPage = job.lastPage;
                job.firstPageLine = line;
            }
        }
    }
    rusage usage{};
    const int status = child.Wait(&usage);
    job.cpuSeconds = CpuSeconds(usage);
    job.clientPeakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    job.ok = status == 0 && job.pages == pages;
    if (!job.ok)
        job.failure = "exit " + std::to_string(status) + ", " + std::to_string(job.pages) +
                      " pages: " + output.substr(output.size() > 400 ? output.size() - 400 : 0);
    return job;
}

// `oneSheet` is the job of one sheet run before on the same installation.
void Report(benchmark::State& state, const Job& job, const Job& oneSheet, double pageBytes)
{
    const double bytes = pageBytes * job.pages;
    state.SetIterationTime(job.lastPage);
    state.counters["MB/s"] = bytes / 1e6 / job.lastPage;
    state.counters["first_page_s"] = job.firstPage;
    state.counters["per_page_s"] = job.pages > 1 ? (job.lastPage - job.firstPage) / (job.pages - 1) : 0;
    state.counters["cpu_s_per_GB"] = job.cpuSeconds / (bytes / 1e9);
    state.counters["page_MB"] = pageBytes / 1e6;
    state.counters["peak_MiB"] = job.clientPeakMiB;
    if (job.serviceCpuSeconds > 0) {
        state.counters["service_cpu_s_per_GB"] = job.serviceCpuSeconds / (bytes / 1e9);
        state.counters["client_cpu_s_per_GB"] = (job.cpuSeconds - job.serviceCpuSeconds) / (bytes / 1e9);
    }
    state.counters["peak_MiB_1sheet"] = oneSheet.clientPeakMiB;
    if (job.servicePeakMiB > 0)
        state.counters["service_peak_MiB"] = job.servicePeakMiB;
    if (oneSheet.servicePeakMiB > 0)
        state.counters["service_peak_MiB_1sheet"] = oneSheet.servicePeakMiB;
}

// A page's bytes as twainscan reports it: "page 1: W x H pixels, 24-bit, ...".
double ReportedPageBytes(const std::string& line)
{
    int number = 0, width = 0, height = 0, bits = 0;
    if (std::sscanf(line.c_str(), "page %d: %d x %d pixels, %d-bit", &number, &width, &height, &bits) != 4)
        return 0;
    return static_cast<double>(width) * height * bits / 8.0;
}

// Where a program writes its pages: page-001.EXT and on in `folder`.
struct PageFiles {
    std::string folder;
    std::string extension;
};

// An empty folder for the job's pages: the programs refuse to replace the
// pages of an earlier job, and what is found after the job is its own.
bool EmptyFolder(const PageFiles& files, std::string& failure)
{
    std::error_code error;
    fs::remove_all(files.folder, error);
    if (!error)
        fs::create_directories(files.folder, error);
    if (error)
        failure = "cannot empty " + files.folder + ": " + error.message();
    return !error;
}

// Whether the job wrote each of its pages, none of them empty; `failure`
// names the first page that is not.
bool PagesWritten(const PageFiles& files, int pages, std::string& failure)
{
    for (int page = 1; page <= pages; ++page) {
        char name[32];
        std::snprintf(name, sizeof name, "page-%03d.%s", page, files.extension.c_str());
        const fs::path path = fs::path(files.folder) / name;
        std::error_code error;
        if (fs::file_size(path, error) == 0 || error) {
            failure = path.string() + " was not written by the scan";
            return false;
        }
    }
    return true;
}

// One job of `pages` sheets on the installed scanner, with the service's
// share of the processor and its peak memory; false after skipping the
// benchmark, also when the job did not write each of its pages.
bool ScanInstalled(benchmark::State& state, bench::InstalledScanner& scanner, int pages, std::vector<std::string> args,
                   const PageLine& isPage, const PageFiles& files, Job& job)
{
    if (!scanner.Load(pages)) {
        state.SkipWithError("the emulator does not take sheets");
        return false;
    }
    if (!EmptyFolder(files, job.failure)) {
        state.SkipWithError(job.failure.c_str());
        return false;
    }
    const double serviceBefore = CpuOfProgramsRunFrom(scanner.Root());
    job = RunJob(std::move(args), isPage, pages);
    if (job.ok && !PagesWritten(files, pages, job.failure))
        job.ok = false;
    if (!job.ok) {
        state.SkipWithError(job.failure.c_str());
        return false;
    }
    job.serviceCpuSeconds = CpuOfProgramsRunFrom(scanner.Root()) - serviceBefore;
    job.cpuSeconds += job.serviceCpuSeconds;
    job.servicePeakMiB = PeakMiBOfProgramsRunFrom(scanner.Root());
    return true;
}

// The program's command line for a job of so many sheets.
using Command = std::function<std::vector<std::string>(int sheets)>;

// A job of one sheet, then one of kPages on the same installation.
bool ScanOneThenAll(benchmark::State& state, bench::InstalledScanner& scanner, const Command& command,
                    const PageLine& isPage, const PageFiles& files, Job& oneSheet, Job& job)
{
    return ScanInstalled(state, scanner, 1, command(1), isPage, files, oneSheet) &&
           ScanInstalled(state, scanner, kPages, command(kPages), isPage, files, job);
}

void BM_TwainScan(benchmark::State& state, const char* mechanism)
{
    bench::InstalledScanner scanner;
    if (!scanner.Failure().empty()) {
        state.SkipWithError(scanner.Failure().c_str());
        return;
    }
    const std::string out = scanner.Root() + "/out";
    const Command twainscan = [&](int pages) {
        // clang-format off
        return std::vector<std::string>{QBK_TWAINSCAN, "--folder", scanner.Folder(), "--pixel", "color", "--dpi",
                                        std::to_string(kDpi), "--size", "a4", "--simplex", "--pages",
                                        std::to_string(pages), "--xfer", mechanism, "--out", out};
        // clang-format on
    };
    for (auto _ : state) {
        Job oneSheet, job;
        if (!ScanOneThenAll(state, scanner, twainscan, StartsWith("page "), {out, "tif"}, oneSheet, job))
            return;
        const double pageBytes = ReportedPageBytes(job.firstPageLine);
        if (pageBytes <= 0) {
            state.SkipWithError(("no page size in \"" + job.firstPageLine + "\"").c_str());
            return;
        }
        Report(state, job, oneSheet, pageBytes);
    }
}
BENCHMARK_CAPTURE(BM_TwainScan, memory, "memory")->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_TwainScan, file, "file")->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// A4 at 300 dpi in pixels, as the WIA items take the page.
constexpr int kA4Width = 2480;
constexpr int kA4Height = 3508;

// wiascan's callback transfer: every page in 64 KiB bands through the
// service's transfer buffer, "page N: FILE" as each one is whole.
void BM_WiaScan(benchmark::State& state)
{
    bench::InstalledScanner scanner;
    if (!scanner.Failure().empty()) {
        state.SkipWithError(scanner.Failure().c_str());
        return;
    }
    const std::string out = scanner.Root() + "/wia";
    const Command wiascan = [&](int pages) {
        // clang-format off
        return std::vector<std::string>{QBK_WIASCAN, "acquire", out, "callback", "type=color", "duplex=0",
                                        "pages=" + std::to_string(pages), "dpi=" + std::to_string(kDpi),
                                        "width=" + std::to_string(kA4Width), "height=" + std::to_string(kA4Height)};
        // clang-format on
    };
    // Progress lines end in a percentage.
    const PageLine wholePage = [](const std::string& line) {
        return line.rfind("page ", 0) == 0 && !line.empty() && line.back() != '%';
    };
    for (auto _ : state) {
        Job oneSheet, job;
        if (!ScanOneThenAll(state, scanner, wiascan, wholePage, {out, "bmp"}, oneSheet, job))
            return;
        Report(state, job, oneSheet, 3.0 * kA4Width * kA4Height);
    }
}
BENCHMARK(BM_WiaScan)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// The service of an installed scanner with no client: the processor time it
// takes per second of polling the panel keys.
void BM_IdleService(benchmark::State& state)
{
    bench::InstalledScanner scanner;
    if (!scanner.Failure().empty()) {
        state.SkipWithError(scanner.Failure().c_str());
        return;
    }
    constexpr double kSeconds = 3.0;
    const std::string idleOut = scanner.Root() + "/idle";
    for (auto _ : state) {
        // A scan of one sheet first, so that the service runs.
        Job oneSheet;
        if (!ScanInstalled(state, scanner, 1,
                           {QBK_TWAINSCAN, "--folder", scanner.Folder(), "--pixel", "gray", "--dpi", "100", "--pages",
                            "1", "--out", idleOut},
                           StartsWith("page "), {idleOut, "tif"}, oneSheet))
            return;
        const double before = CpuOfProgramsRunFrom(scanner.Root());
        const Clock::time_point start = Clock::now();
        usleep(static_cast<useconds_t>(kSeconds * 1e6));
        const double elapsed = Since(start);
        state.SetIterationTime(elapsed);
        state.counters["service_cpu_ms_per_s"] = (CpuOfProgramsRunFrom(scanner.Root()) - before) * 1000.0 / elapsed;
        state.counters["service_peak_MiB"] = PeakMiBOfProgramsRunFrom(scanner.Root());
    }
}
BENCHMARK(BM_IdleService)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

std::string FindScanimage()
{
    for (const char* folder : {"/usr/bin", "/usr/local/bin"}) {
        const std::string path = std::string(folder) + "/scanimage";
        if (access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

void BM_Scanimage(benchmark::State& state)
{
    const std::string scanimage = FindScanimage();
    if (scanimage.empty()) {
        state.SkipWithError("scanimage is not installed (sane-utils): no peer figure");
        return;
    }
    // The resolution at which the test area holds an A4 page's bytes.
    const int dpi = static_cast<int>(std::lround(std::sqrt(kPageBytes / 3.0) * 25.4 / kTestAreaMm));
    const double side = std::floor(kTestAreaMm / 25.4 * dpi);
    plat::testing::TempSystemRoot root;
    const std::string pattern = root.Path() + "/out%d.pnm";
    const auto scan = [&](int pages) {
        return RunJob({scanimage, "-d", "test", "--mode", "Color", "--depth", "8", "--resolution", std::to_string(dpi),
                       "-x", "200", "-y", "200", "--batch=" + pattern, "--batch-count=" + std::to_string(pages)},
                      StartsWith("Scanned page "), pages);
    };
    for (auto _ : state) {
        const Job oneSheet = scan(1);
        const Job job = oneSheet.ok ? scan(kPages) : oneSheet;
        if (!job.ok) {
            state.SkipWithError(job.failure.c_str());
            return;
        }
        Report(state, job, oneSheet, side * side * 3.0);
    }
}
BENCHMARK(BM_Scanimage)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
