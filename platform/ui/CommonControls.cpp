#include "platform/ui/CommonControls.h"

#include "platform/base/lasterror.h"

#include <atomic>

namespace {

constexpr DWORD kMajor = 6;
constexpr DWORD kMinor = 10;

std::atomic<DWORD> g_major{kMajor};
std::atomic<DWORD> g_minor{kMinor};
std::atomic<bool> g_fails{false};

} // namespace

HRESULT DllGetVersion(DLLVERSIONINFO* pdvi)
{
    if (!pdvi || (pdvi->cbSize != sizeof(DLLVERSIONINFO) && pdvi->cbSize != sizeof(DLLVERSIONINFO2)))
        return E_INVALIDARG;
    if (g_fails)
        return E_NOTIMPL;
    pdvi->dwMajorVersion = g_major;
    pdvi->dwMinorVersion = g_minor;
    pdvi->dwBuildNumber = 0;
    pdvi->dwPlatformID = DLLVER_PLATFORM_WINDOWS;
    if (pdvi->cbSize == sizeof(DLLVERSIONINFO2)) {
        auto* full = reinterpret_cast<DLLVERSIONINFO2*>(pdvi);
        full->dwFlags = 0;
        full->ullVersion =
            MAKEDLLVERULL(static_cast<WORD>(pdvi->dwMajorVersion), static_cast<WORD>(pdvi->dwMinorVersion), 0, 0);
    }
    return S_OK;
}

namespace plat::ui {

std::uint64_t GetDllVersion(DLLGETVERSIONPROC entry)
{
    DLLVERSIONINFO info{};
    info.cbSize = sizeof(info);
    const HRESULT hr = entry(&info);
    if (hr < 0) {
        SetLastError(static_cast<DWORD>(hr));
        return 0;
    }
    return static_cast<std::uint64_t>(info.dwMajorVersion) << 48 |
           static_cast<std::uint64_t>(info.dwMinorVersion) << 32 | static_cast<std::uint64_t>(info.dwBuildNumber) << 16;
}

void SetCommonControlsVersion(DWORD major, DWORD minor)
{
    g_major = major;
    g_minor = minor;
}

void SetCommonControlsVersionFails(bool fails) { g_fails = fails; }

void ResetCommonControlsVersion()
{
    SetCommonControlsVersion(kMajor, kMinor);
    SetCommonControlsVersionFails(false);
}

} // namespace plat::ui
