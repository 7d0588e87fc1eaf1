// scan: scans from an installed scanner through the image pipeline, as a
// TWAIN or still-image client does, and writes each page as a Netpbm file.
//
//   scan [--out DIR] [--dpi N] [--bits 1|8|24] [--simplex] [--width N]
//        [--height N] [--pages N] [--device INSTANCE-ID]
//
// Lengths are in 1/1000 inch. The scanner is the first recorded imaging
// device unless one is named; it must be installed (HAL_CLSID written).
#include "pipeline/RNXCOMCoreIds.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/devices/DeviceDatabase.h"
#include "tools/scan/NetpbmFile.h"
#include "tools/scan/PagePattern.h"
#include "tools/scan/PipelineScan.h"

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
               "            [--pages N] [--device INSTANCE-ID]\n",
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

std::string ProgramFolder()
{
    WCHAR path[1024] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, 1024);
    if (length == 0 || length >= 1024)
        return ".";
    return std::filesystem::path(Utf16ToUtf8(std::u16string(path, length))).parent_path().string();
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
    int exitCode = 0;
    if (FAILED(EnsurePipelineRegistered(ProgramFolder() + "/RNXCOMCorex.so"))) {
        std::fputs("scan: the pipeline library cannot be registered\n", stderr);
        exitCode = 1;
    } else {
        const scan::ScanSettings& s = options.settings;
        std::printf("scanning %s (service class %s): %s, %d dpi, %d bit\n", Utf16ToUtf8(device->instanceId).c_str(),
                    Utf16ToUtf8(halClass).c_str(), s.duplex ? "duplex" : "simplex", s.dpi, s.bitsPerPixel);
        size_t total = 0;
        int number = 0;
        bool written = true;
        const scan::ScanResult result = scan::ScanThroughPipeline(halClass, s, [&](const scan::ScannedPage& page) {
            char name[32];
            std::snprintf(name, sizeof name, "page-%03d.%s", ++number, scan::NetpbmExtension(page.bitsPerPixel).c_str());
            const std::string path = options.outFolder + "/" + name;
            if (!scan::WriteNetpbm(path, page)) {
                std::fprintf(stderr, "scan: cannot write %s\n", path.c_str());
                written = false;
            }
            total += page.bytes.size();
            std::printf("page %d: %ld x %ld, %ld bit, %zu bytes -> %s (%s)\n", number, static_cast<long>(page.width),
                        static_cast<long>(page.height), static_cast<long>(page.bitsPerPixel), page.bytes.size(),
                        name, scan::DescribePattern(scan::ReadPagePattern(page), page).c_str());
        });
        if (FAILED(result.result)) {
            std::fprintf(stderr, "scan: %s failed: 0x%08X (configured status %ld)\n", result.failure.c_str(),
                         static_cast<unsigned>(result.result), static_cast<long>(result.configuredStatus));
            exitCode = 1;
        } else {
            std::printf("%zu pages, %zu bytes of image data\n", result.pages.size(), total);
            if (!written || result.pages.empty())
                exitCode = 1;
        }
    }
    CoUninitialize();
    return exitCode;
}
