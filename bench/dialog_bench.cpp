// What the data source's dialogs cost a scan. With the settings dialog and
// the progress dialog present, every band read pumps the dialogs' messages
// twice: in the status update and in the progress update. Each pump
// dispatches what waits and returns as soon as nothing does, bounded by
// 50 ms. This measures the same memory-transfer scan (A4 colour at 300 dpi,
// 64 KiB buffers, so that the bands are many) with both dialogs on the
// headless window model beside the scan without any dialog, in the same run,
// through one installation: the emulator program, the service process, the
// data source loaded into this process as an application loads it.
#include "bench/InstalledScanner.h"
#include "platform/ui/Display.h"
#include "platform/ui/UiScript.h"
#include "tools/dialogpictures/DataSourceSession.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <utility>

#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPages = 3;
constexpr TW_UINT32 kBufferSize = 64 * 1024;
constexpr TW_UINT32 kDpi = 300; // a TW_FIX32 of a whole number

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

bench::InstalledScanner& Scanner()
{
    static bench::InstalledScanner scanner;
    return scanner;
}

bool Configure(dialogpictures::DataSourceSession& session)
{
    return session.SetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB) &&
           session.SetOneValue(ICAP_BITDEPTH, TWTY_UINT16, 24) &&
           session.SetOneValue(ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWSS_A4) &&
           session.SetOneValue(CAP_DUPLEXENABLED, TWTY_BOOL, 0) &&
           session.SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, kDpi) &&
           session.SetOneValue(ICAP_YRESOLUTION, TWTY_FIX32, kDpi);
}

// One scan of kPages sheets, with or without the dialogs: its seconds and
// the buffers it took, or an empty text after skipping the benchmark.
struct Scan {
    double seconds = 0;
    double threadCpuSeconds = 0; // of the application's thread, where the pumps run
    int pages = 0;
    int buffers = 0;
};

std::string RunScan(bool dialogs, Scan& scan)
{
    if (!Scanner().Load(kPages))
        return "the emulator does not take sheets";
    dialogpictures::DataSourceSession session;
    if (!session.Open(dialogs) || !Configure(session))
        return "the data source does not open with the scan's settings";
    HWND dialog = dialogs ? session.ShowSettings() : nullptr;
    if (dialogs && !dialog)
        return "the settings dialog does not open";
    const Clock::time_point start = Clock::now();
    const double cpuStart = ThreadCpuSeconds();
    if (!(dialogs ? session.PressScan(dialog) : session.EnableWithoutDialog()))
        return "the source has no image ready";
    for (TW_UINT16 pending = 1; pending != 0;) {
        int taken = 0;
        if (!session.TransferImage(kBufferSize, {}, &taken, &pending))
            return "a transfer failed";
        ++scan.pages;
        scan.buffers += taken;
    }
    scan.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    scan.threadCpuSeconds = ThreadCpuSeconds() - cpuStart;
    return {};
}

// Scans without and with the dialogs in turn, so that both see the same
// load on the machine; the row's time is the scan with the dialogs.
void BM_MemoryScanWithAndWithoutDialogs(benchmark::State& state)
{
    if (!Scanner().Failure().empty()) {
        state.SkipWithError(Scanner().Failure().c_str());
        return;
    }
    plat::ui::AllowHeadlessWindows(true);
    plat::ui::ScriptMessageBoxAnswer(IDCANCEL);
    Scan without, with;
    for (auto _ : state) {
        Scan plain, dialogs;
        for (const auto& [show, scan] : {std::pair<bool, Scan*>{false, &plain}, {true, &dialogs}}) {
            const std::string failure = RunScan(show, *scan);
            if (!failure.empty()) {
                state.SkipWithError(failure.c_str());
                return;
            }
        }
        state.SetIterationTime(dialogs.seconds);
        for (auto [total, scan] : {std::pair<Scan*, Scan*>{&without, &plain}, {&with, &dialogs}}) {
            total->seconds += scan->seconds;
            total->threadCpuSeconds += scan->threadCpuSeconds;
            total->pages += scan->pages;
            total->buffers += scan->buffers;
        }
    }
    state.counters["buffers_per_page"] = static_cast<double>(with.buffers) / with.pages;
    state.counters["s_per_page_without"] = without.seconds / without.pages;
    state.counters["s_per_page_with"] = with.seconds / with.pages;
    state.counters["with_over_without"] = with.seconds / without.seconds;
    // What the dialogs add to each buffer (two updates, each pumping): in
    // time, which the machine's load blurs, and in the application thread's
    // processor time, which it does not.
    state.counters["us_per_buffer_added"] = (with.seconds - without.seconds) * 1e6 / with.buffers;
    state.counters["thread_cpu_us_per_buffer_without"] = without.threadCpuSeconds * 1e6 / without.buffers;
    state.counters["thread_cpu_us_per_buffer_with"] = with.threadCpuSeconds * 1e6 / with.buffers;
}
BENCHMARK(BM_MemoryScanWithAndWithoutDialogs)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
