#include "tools/dialogpictures/DataSourceSession.h"

#include "platform/base/strings.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UserActions.h"
#include "twainfw/CTWAINContainer.h"
#include "twainfw/TWAINMemory.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace dialogpictures {

namespace {

constexpr const char16_t* kImageClassKey =
    u"SYSTEM\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";
constexpr TW_UINT32 kBufferSize = 0x8000;

std::vector<TW_UINT16>& Notices()
{
    static std::vector<TW_UINT16> notices;
    return notices;
}

TW_UINT16 ReceiveNotice(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF)
{
    if (dg == DG_CONTROL && dat == DAT_NULL)
        Notices().push_back(msg);
    return TWRC_SUCCESS;
}

std::optional<std::u16string> ReadString(HKEY key, const char16_t* name)
{
    WCHAR value[1024] = {};
    DWORD size = sizeof(value) - sizeof(WCHAR);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    return std::u16string(value);
}

// The data source copy of the first installed device that has one.
std::optional<std::string> FindDataSourcePath()
{
    HKEY classKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kImageClassKey, 0, KEY_READ, &classKey) != ERROR_SUCCESS)
        return std::nullopt;
    std::optional<std::string> found;
    WCHAR name[256];
    for (DWORD index = 0; !found; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(classKey, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY device = nullptr;
        if (RegOpenKeyExW(classKey, name, 0, KEY_READ, &device) != ERROR_SUCCESS)
            continue;
        if (std::optional<std::u16string> path = ReadString(device, u"TWAIN_DS_PATH"))
            found = Utf16ToUtf8(*path);
        RegCloseKey(device);
    }
    RegCloseKey(classKey);
    return found;
}

} // namespace

DataSourceSession::~DataSourceSession()
{
    if (m_enabled) {
        TW_PENDINGXFERS pending{};
        Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
        TW_USERINTERFACE ui{};
        Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }
    if (m_opened)
        Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source);
    if (m_library)
        FreeLibrary(m_library);
    if (m_com)
        CoUninitialize();
}

TW_UINT16 DataSourceSession::Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    return m_entry(&m_app, dg, dat, msg, data);
}

bool DataSourceSession::SetOneValue(TW_UINT16 capability, TW_UINT16 itemType, TW_UINT32 value)
{
    TW_HANDLE handle = Trellis::CTWAINContainer(Trellis::CTWAINOneValue(value, itemType)).ToHandle();
    TW_CAPABILITY record{capability, TWON_ONEVALUE, handle};
    const TW_UINT16 rc = Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &record);
    Trellis::TWAINFreeHandle(handle);
    return rc == TWRC_SUCCESS;
}

bool DataSourceSession::Open(bool indicators)
{
    const std::optional<std::string> path = FindDataSourcePath();
    if (!path) {
        std::fprintf(stderr, "dialogpictures: no installed scanner with a TWAIN data source\n");
        return false;
    }
    m_com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    m_library = LoadLibraryA(path->c_str());
    m_entry = m_library ? reinterpret_cast<DSENTRYPROC>(GetProcAddress(m_library, "DS_Entry")) : nullptr;
    if (!m_entry) {
        std::fprintf(stderr, "dialogpictures: cannot load %s\n", path->c_str());
        return false;
    }
    m_app.Id = 1;
    std::strcpy(m_app.ProductName, "dialogpictures");
    if (Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &m_source) != TWRC_SUCCESS)
        return false;
    m_source.Id = 2;
    if (Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_source) != TWRC_SUCCESS) {
        TW_STATUS status{};
        Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        std::fprintf(stderr, "dialogpictures: %s does not open (condition code %u)\n", path->c_str(),
                     static_cast<unsigned>(status.ConditionCode));
        return false;
    }
    m_opened = true;
    TW_ENTRYPOINT entry{};
    entry.Size = sizeof entry;
    entry.DSM_Entry = &ReceiveNotice;
    Call(DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry);
    return SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY) &&
           SetOneValue(CAP_INDICATORS, TWTY_BOOL, indicators ? 1 : 0);
}

HWND DataSourceSession::ShowSettings()
{
    TW_USERINTERFACE ui{};
    ui.ShowUI = TRUE;
    if (Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS)
        return nullptr;
    m_enabled = true;
    const std::u16string title = Utf8ToUtf16(m_source.ProductName) + u": Scan settings";
    return FindWindowW(plat::ui::kDialogClass, title.c_str());
}

bool DataSourceSession::ScanOneImage(HWND dialog, const std::function<void(HWND progress)>& between)
{
    if (!PressScan(dialog))
        return false;
    int buffers = 0;
    TW_UINT16 pending = 0;
    const bool transferred = TransferImage(kBufferSize, between, &buffers, &pending);
    if (pending != 0 || !transferred) {
        TW_PENDINGXFERS reset{};
        Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &reset);
    }
    return transferred;
}

bool DataSourceSession::PressScan(HWND dialog)
{
    Notices().clear();
    return plat::ui::Click(GetDlgItem(dialog, IDOK)) && Notices() == std::vector<TW_UINT16>{MSG_XFERREADY};
}

bool DataSourceSession::EnableWithoutDialog()
{
    Notices().clear();
    TW_USERINTERFACE ui{};
    ui.ShowUI = FALSE;
    if (Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS)
        return false;
    m_enabled = true;
    return Notices() == std::vector<TW_UINT16>{MSG_XFERREADY};
}

bool DataSourceSession::TransferImage(TW_UINT32 bufferSize, const std::function<void(HWND progress)>& between,
                                      int* buffers, TW_UINT16* pending)
{
    const std::u16string progressTitle = Utf8ToUtf16(m_source.ProductName) + u": Scan progress";
    std::vector<BYTE> buffer(bufferSize);
    *buffers = 0;
    TW_UINT16 rc = TWRC_SUCCESS;
    while (rc == TWRC_SUCCESS) {
        TW_IMAGEMEMXFER xfer{};
        xfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        xfer.Memory.Length = bufferSize;
        xfer.Memory.TheMem = buffer.data();
        rc = Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
        ++*buffers;
        if (!between || rc != TWRC_SUCCESS)
            continue;
        if (HWND progress = FindWindowW(plat::ui::kDialogClass, progressTitle.c_str()))
            between(progress);
    }
    TW_PENDINGXFERS ended{};
    if (rc == TWRC_XFERDONE || rc == TWRC_CANCEL)
        Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &ended);
    *pending = ended.Count;
    return rc == TWRC_XFERDONE;
}

} // namespace dialogpictures
