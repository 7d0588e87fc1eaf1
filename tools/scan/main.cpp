// scan: scans from an installed scanner through the image pipeline, as a
// TWAIN or still-image client does, and writes each page as a Netpbm file.
// A scan that does not end well says why in words (jam, cover open, no
// paper, locked by another client, scanner unplugged, service gone, ...)
// and exits with 1; pages finished before the fault stay written. A page
// the fault cut short is not kept: the tool names it and the line it was
// cut at. A page of the emulated scanner that comes with lines out of its
// pattern fails the scan too. Ctrl-C cancels the scan through the service
// (exit status 130), keeping the pages already whole.
#include "pipeline/RNXCOMCoreIds.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/devices/DeviceDatabase.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/DeviceChoice.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/OptionValues.h"
#include "tools/cli/PageFolder.h"
#include "tools/scan/PageFiles.h"
#include "tools/scan/PipelineScan.h"
#include "tools/scan/ScanReport.h"
#include "tools/scan/ServiceSession.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace {

// clang-format off
const cli::Program kProgram{
    "scan",
    "usage: scan --list\n"
    "       scan [--device ID] [OPTION...]\n"
    "Scans from an installed scanner through the image pipeline into page-001.pgm,\n"
    "page-002.pgm, ... (.pbm for 1 bit, .ppm for 24) in the output folder.\n"
    "  --list               the recorded scanners, one a line, by id first\n"
    "  --device ID          the scanner of that id, as --list prints it, or its serial\n"
    "                       number (default: the first plugged in)\n"
    "  --out DIR            the folder for the pages; it must exist (default: .)\n"
    "  --batch-start N      number the pages from N (default: 1)\n"
    "  --force              replace the pages of an earlier scan in the folder\n"
    "  --dpi N              50 to 600 (default: 100)\n"
    "  --bits 1|8|24        (default: 8)\n"
    "  --simplex            one side of each sheet (default: both)\n"
    "  --width N, --height N   the page in 1/1000 inch (default: 8500 x 11000)\n"
    "  --pages N            at most N pages (default: all the feeder holds)\n"
    "  --double-feed        detect double feeds\n"
    "  --stop-on-skew       stop at a skewed sheet\n"
    "  --help, --version\n"
    "Progress goes to the error output, the pages written to the output.\n"};
// clang-format on

enum Key { kList, kDevice, kOut, kBatch, kForce, kDpi, kBits, kSimplex, kWidth, kHeight, kPages, kDoubleFeed, kSkew };

const std::vector<cli::Option> kOptions = {
    {"list", false, kList},        {"device", true, kDevice},    {"out", true, kOut},
    {"batch-start", true, kBatch}, {"force", false, kForce},     {"dpi", true, kDpi},
    {"bits", true, kBits},         {"simplex", false, kSimplex}, {"width", true, kWidth},
    {"height", true, kHeight},     {"pages", true, kPages},      {"double-feed", false, kDoubleFeed},
    {"stop-on-skew", false, kSkew}};

struct Options {
    scan::ScanSettings settings;
    cli::PageOutput output;
    std::string device;
    bool list = false;
};

// A number into an int setting.
std::string Number(const std::string& value, long low, long high, int* setting)
{
    long number = 0;
    std::string problem = cli::NumberFrom(value, low, high, &number);
    *setting = static_cast<int>(number);
    return problem;
}

std::string Take(Options& o, int key, const std::string& value)
{
    scan::ScanSettings& s = o.settings;
    long bits = 0;
    std::string problem;
    // clang-format off
    switch (key) {
    case kList: o.list = true; return {};
    case kDevice: o.device = value; return {};
    case kOut: o.output.folder = value; return {};
    case kBatch: return Number(value, 1, 999999, &o.output.firstNumber);
    case kForce: o.output.force = true; return {};
    case kDpi: return Number(value, 50, 600, &s.dpi);
    case kBits:
        problem = cli::NumberOneOf(value, {1, 8, 24}, &bits);
        s.bitsPerPixel = static_cast<int>(bits);
        return problem;
    case kSimplex: s.duplex = false; return {};
    case kWidth: return Number(value, 1000, 8500, &s.width);
    case kHeight: return Number(value, 1000, 100000, &s.height);
    case kPages: return Number(value, 0, 10000, &s.pages);
    case kDoubleFeed: s.doubleFeed = true; return {};
    case kSkew: s.stopOnSkew = true; return {};
    }
    // clang-format on
    return {};
}

// The lines and bytes of one page at the settings.
long PageLines(const scan::ScanSettings& s) { return static_cast<long>(s.height) * s.dpi / 1000; }

unsigned long long PageBytes(const scan::ScanSettings& s)
{
    const unsigned long long lineBytes =
        (static_cast<unsigned long long>(s.width) * s.dpi / 1000 * s.bitsPerPixel + 7) / 8;
    return lineBytes * static_cast<unsigned long long>(PageLines(s));
}

// Empty when the pages can go into the output folder.
std::string CheckOutput(const Options& o)
{
    std::string problem = cli::CheckPageFolder(o.output.folder, PageBytes(o.settings));
    if (problem.empty())
        problem = cli::CheckPageNumbers(o.output.folder, {"pbm", "pgm", "ppm"}, o.output.firstNumber, o.output.force);
    return problem;
}

// The class of the device's hardware-service copy, written when the copy
// registered itself at installation.
std::u16string HalClassOf(const plat::devices::DeviceRecord& device)
{
    const std::u16string path = u"SYSTEM\\CurrentControlSet\\Control\\Class\\" + device.driverKey;
    WCHAR value[64] = {};
    DWORD bytes = sizeof value - sizeof(WCHAR);
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    const LONG result = RegQueryValueExW(key, u"HAL_CLSID", nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return {};
    return value;
}

// The pipeline library is registered by installation; a client on a system
// without it registers the built one, as regsvr32 would.
HRESULT EnsurePipelineRegistered(const std::string& libraryPath)
{
    IUnknown* probe = nullptr;
    HRESULT hr =
        CoCreateInstance(CLSID_XMLObj, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&probe));
    if (SUCCEEDED(hr)) {
        probe->Release();
        return S_OK;
    }
    HMODULE library = LoadLibraryA(libraryPath.c_str());
    if (!library)
        return HRESULT_FROM_WIN32(GetLastError());
    auto registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(library, "DllRegisterServer"));
    hr = registerServer ? registerServer() : E_NOINTERFACE;
    FreeLibrary(library);
    std::printf("registered %s: 0x%08X\n", libraryPath.c_str(), static_cast<unsigned>(hr));
    return hr;
}

// Opens the service for this client, scans, lets the service go and says
// how it went; the exit code.
int Scan(const plat::devices::DeviceRecord& device, const std::u16string& halClass, const Options& options)
{
    const scan::ScanSettings& s = options.settings;
    std::printf("scanning %s (service class %s): %s, %d dpi, %d bit\n", Utf16ToUtf8(device.instanceId).c_str(),
                Utf16ToUtf8(halClass).c_str(), s.duplex ? "duplex" : "simplex", s.dpi, s.bitsPerPixel);
    std::fflush(stdout);
    CLSID serviceClass{};
    const std::u16string braced = halClass.front() == u'{' ? halClass : u"{" + halClass + u"}";
    if (FAILED(CLSIDFromString(braced.c_str(), &serviceClass))) {
        std::fprintf(stderr, "scan: the service class %s is no class\n", Utf16ToUtf8(halClass).c_str());
        return 1;
    }

    scan::ServiceSession session;
    switch (session.Open(serviceClass)) {
    case scan::ServiceSession::Opened::Ready:
        break;
    case scan::ServiceSession::Opened::ServiceUnavailable:
        std::fprintf(stderr, "scan: failed: the hardware service cannot be reached (0x%08X)\n",
                     static_cast<unsigned>(session.OpenResult()));
        return 1;
    case scan::ServiceSession::Opened::ScannerUnplugged:
        std::fputs("scan: failed: scanner unplugged\n", stderr);
        return 1;
    case scan::ServiceSession::Opened::Locked:
        std::fputs("scan: failed: locked by another client\n", stderr);
        return 1;
    }

    scan::PageFiles pages(options.output.folder, stdout, options.output.firstNumber, PageLines(s));
    scan::ScanOutcome outcome;
    cli::CatchInterrupts();
    outcome.result = scan::ScanThroughPipeline(session.Service(), s, pages, cli::Interrupted);
    // The lock goes first and the report right after it: leaving the
    // service may wait for its scanner thread, which a fault can hold.
    outcome.serviceAnswered = session.Unlock();
    outcome.scannerPresent = plat::devices::IsInterfacePresent(device.interfacePath);
    if (outcome.result.stopped) {
        std::fprintf(stderr, "scan: interrupted; %d whole page%s kept\n", pages.Pages(), pages.Pages() == 1 ? "" : "s");
        return cli::kExitInterrupted;
    }
    if (!pages.Failed().empty()) {
        std::fprintf(stderr, "scan: cannot write %s\n", pages.Failed().c_str());
        return 1;
    }
    const std::string failure = scan::FailureText(outcome);
    if (!failure.empty()) {
        if (const scan::PageFiles::CutPage& cut = pages.Cut(); cut.number != 0)
            std::fprintf(stderr, "scan: page %d cut short at line %ld: %s; not kept\n", cut.number, cut.lines,
                         failure.c_str());
        std::fprintf(stderr, "scan: failed: %s; pages written before it: %d\n", failure.c_str(), pages.Pages());
        return 1;
    }
    std::printf("%d pages, %llu bytes of image data, scanned into %s\n", pages.Pages(), pages.Bytes(),
                options.output.folder.c_str());
    // A page of the emulated scanner whose lines left its pattern came
    // corrupted: the scan did not go well, whatever the pipeline said.
    if (const scan::PageFiles::CorruptedPage& page = pages.FirstCorruptedPage(); page.number != 0) {
        std::fprintf(stderr, "scan: failed: page %d came corrupted: line %ld out of the emulator's page pattern\n",
                     page.number, page.firstBadLine);
        return 1;
    }
    return pages.Pages() > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    const cli::Parsed parsed = cli::Parse(
        kProgram, argc, argv, kOptions, [&](int key, const std::string& value) { return Take(options, key, value); },
        cli::Operands::None);
    if (parsed.exitCode)
        return *parsed.exitCode;
    if (!plat::EnsureSystemRootLayout()) {
        std::fputs("scan: cannot create the system root\n", stderr);
        return 1;
    }
    if (options.list)
        return cli::ListDevices(stdout, stderr, "scan") ? 0 : 1;
    if (const std::string problem = CheckOutput(options); !problem.empty()) {
        std::fprintf(stderr, "scan: %s\n", problem.c_str());
        return 1;
    }
    const std::optional<plat::devices::DeviceRecord> device = cli::ChooseDevice(options.device);
    if (!device) {
        std::fprintf(stderr, "scan: %s\n", cli::NoDeviceReason(options.device, "scan").c_str());
        return 1;
    }
    const std::u16string halClass = HalClassOf(*device);
    if (halClass.empty()) {
        std::fprintf(stderr, "scan: %s is not installed (no HAL_CLSID)\n", Utf16ToUtf8(device->instanceId).c_str());
        return 1;
    }

    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        std::fputs("scan: CoInitializeEx failed\n", stderr);
        return 1;
    }
    int exitCode = 1;
    if (FAILED(EnsurePipelineRegistered(plat::PlatformFolder() + "/RNXCOMCorex.so")))
        std::fputs("scan: the pipeline library cannot be registered\n", stderr);
    else
        exitCode = Scan(*device, halClass, options);
    CoUninitialize();
    return exitCode;
}
