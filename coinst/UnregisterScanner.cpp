#include "coinst/UnregisterScanner.h"

#include "coinst/DeviceKey.h"
#include "coinst/ProcessHelpers.h"
#include "coinst/RegisterScanner.h"
#include "diag/FormatWide.h"
#include "platform/windows.h"

#include <optional>

namespace coinst {

namespace {

constexpr int kDeleteAttempts = 5;
constexpr DWORD kDeletePauseMs = 2000;

bool NetStopService(const char16_t* displayName) { return RunNetCommand(FormatWide(u"stop \"%s\"", displayName)) == 0; }

// Whether any instance's hardware-service copy is left in the folder.
bool ServiceCopiesLeft(const std::u16string& folder)
{
    WIN32_FIND_DATAW found = {};
    HANDLE find = FindFirstFileW((folder + u"RNXQBK24*.EXE").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return true;
}

} // namespace

bool UnregisterScanner(const std::u16string& driverKey, const std::u16string& /*deviceInstanceId*/)
{
    ScopedKey key(OpenDeviceClassKey(driverKey, KEY_READ | KEY_WRITE));
    if (!key)
        return false;
    const std::optional<std::u16string> dsPath = ReadDeviceString(key.get(), u"TWAIN_DS_PATH");
    if (!dsPath || dsPath->empty())
        return false;
    const std::optional<std::u16string> halPath = ReadDeviceString(key.get(), u"HAL_PATH");
    if (!halPath || halPath->empty())
        return false;
    const std::optional<std::u16string> psName = ReadDeviceString(key.get(), u"PS_NAME");
    if (!psName)
        return false;

    const bool monitorStopped = NetStopService(kMonitorServiceName);
    const bool imageAcquisitionStopped = NetStopService(kImageAcquisitionServiceName);

    DeleteFileW(dsPath->c_str());

    if (RegisterHAL(*halPath, false)) {
        for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
            if (DeleteFileW(halPath->c_str()))
                break;
            Sleep(kDeletePauseMs);
        }
    }

    key.Close();

    const std::u16string folder = GetDirectoryPart(*halPath);
    if (!ServiceCopiesLeft(folder)) {
        RegisterPS(folder + *psName, false);
        RegisterPS(folder + u"RNXCOMCore", false);
        RegisterPS(folder + u"RNXShellExt", false);
    }

    if (imageAcquisitionStopped)
        RunNetCommand(FormatWide(u"start \"%s\"", kImageAcquisitionServiceName));
    if (monitorStopped)
        NetStartService(kMonitorServiceName);
    return true;
}

} // namespace coinst
