// scan: scans from an installed scanner through the image pipeline, as a
// TWAIN or still-image client does, and writes each page as a Netpbm file.
//
//   scan [--out DIR] [--dpi N] [--bits 1|8|24] [--simplex] [--width N]
//        [--height N] [--pages N] [--double-feed] [--stop-on-skew]
//        [--device INSTANCE-ID]
//
// Lengths are in 1/1000 inch. The scanner is the first recorded imaging
// device unless one is named; it must be installed (HAL_CLSID written).
// A scan that does not end well says why in words (jam, cover open, no
// paper, locked by another client, scanner unplugged, service gone, ...)
// and exits with 1; pages finished before the fault stay written. So does a
// page of the emulated scanner that comes with lines out of its pattern.
#include "pipeline/RNXCOMCoreIds.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/devices/DeviceDatabase.h"
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

struct Options {
    scan::ScanSettings settings;
    std::string outFolder = ".";
    std::u16string device;
};

int Usage()
{
    std::fputs("usage: scan [--out DIR] [--dpi N] [--bits 1|8|24] [--simplex] [--width N] [--height N]\n"
               "            [--pages N] [--double-feed] [--stop-on-skew] [--device INSTANCE-ID]\n",
               stderr);
    return 2;
}

bool ParseNumber(const char* text, int min, int max, int* out)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < min || value > max)
        return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParseOptions(int argc, char** argv, Options* options)
{
    scan::ScanSettings& s = options->settings;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--simplex") {
            s.duplex = false;
            continue;
        }
        if (name == "--double-feed") {
            s.doubleFeed = true;
            continue;
        }
        if (name == "--stop-on-skew") {
            s.stopOnSkew = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const char* value = argv[++i];
        bool ok = true;
        if (name == "--out")
            options->outFolder = value;
        else if (name == "--device")
            options->device = Utf8ToUtf16(value);
        else if (name == "--dpi")
            ok = ParseNumber(value, 50, 600, &s.dpi);
        else if (name == "--bits")
            ok = ParseNumber(value, 1, 24, &s.bitsPerPixel) &&
                 (s.bitsPerPixel == 1 || s.bitsPerPixel == 8 || s.bitsPerPixel == 24);
        else if (name == "--width")
            ok = ParseNumber(value, 1000, 8500, &s.width);
        else if (name == "--height")
            ok = ParseNumber(value, 1000, 100000, &s.height);
        else if (name == "--pages")
            ok = ParseNumber(value, 0, 10000, &s.pages);
        else
            ok = false;
        if (!ok)
            return false;
    }
    return true;
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
    HRESULT hr = CoCreateInstance(CLSID_XMLObj, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&probe));
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

    scan::PageFiles pages(options.outFolder, stdout);
    scan::ScanOutcome outcome;
    outcome.result = scan::ScanThroughPipeline(session.Service(), s, pages);
    // The lock goes first and the report right after it: leaving the
    // service may wait for its scanner thread, which a fault can hold.
    outcome.serviceAnswered = session.Unlock();
    outcome.scannerPresent = plat::devices::IsInterfacePresent(device.interfacePath);
    if (!pages.Failed().empty()) {
        std::fprintf(stderr, "scan: cannot write %s\n", pages.Failed().c_str());
        return 1;
    }
    const std::string failure = scan::FailureText(outcome);
    if (!failure.empty()) {
        std::fprintf(stderr, "scan: failed: %s; pages written before it: %d\n", failure.c_str(), pages.Pages());
        return 1;
    }
    std::printf("%d pages, %llu bytes of image data\n", pages.Pages(), pages.Bytes());
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
    if (!ParseOptions(argc, argv, &options))
        return Usage();
    if (!plat::EnsureSystemRootLayout()) {
        std::fputs("scan: cannot create the system root\n", stderr);
        return 1;
    }
    std::optional<plat::devices::DeviceRecord> device;
    if (!options.device.empty()) {
        device = plat::devices::FindDevice(options.device);
    } else {
        const auto devices = plat::devices::RecordedDevices();
        if (!devices.empty())
            device = devices.front();
    }
    if (!device) {
        std::fputs("scan: no recorded scanner\n", stderr);
        return 1;
    }
    const std::u16string halClass = HalClassOf(*device);
    if (halClass.empty()) {
        std::fprintf(stderr, "scan: %s is not installed (no HAL_CLSID)\n", Utf16ToUtf8(device->instanceId).c_str());
        return 1;
    }
    std::error_code error;
    std::filesystem::create_directories(options.outFolder, error);

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
