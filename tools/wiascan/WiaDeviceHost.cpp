#include "tools/wiascan/WiaDeviceHost.h"

#include "tools/cli/DeviceChoice.h"

#include "platform/base/strings.h"
#include "tools/wiascan/StiServiceObjects.h"

namespace wiascan {

namespace {

const std::u16string kClassKey = u"SYSTEM\\CurrentControlSet\\Control\\Class\\";

std::string Hex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

HRESULT Fail(std::string* failure, const std::string& step, HRESULT hr)
{
    if (failure)
        *failure = step + " failed: " + Hex(hr);
    return hr;
}

// A REG_SZ value of a key; empty when it is missing or not a text.
std::u16string ReadText(HKEY key, const char16_t* name)
{
    WCHAR value[260] = {};
    DWORD bytes = sizeof value - sizeof(WCHAR);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return value;
}

} // namespace

// The lock the service holds while a request is with the driver: the
// scanner's lock, then the driver's own.
class WiaDeviceHost::RequestLock {
public:
    RequestLock(WiaDeviceHost& host, BYTE* context) : m_host(host), m_context(context)
    {
        m_result = m_host.LockDevice();
        m_scannerLocked = SUCCEEDED(m_result);
        if (m_scannerLocked)
            m_result = m_host.m_miniDrv->drvLockWiaDevice(m_context, 0, &m_deviceError);
        m_driverLocked = m_scannerLocked && SUCCEEDED(m_result);
    }
    ~RequestLock()
    {
        if (m_driverLocked)
            m_host.m_miniDrv->drvUnLockWiaDevice(m_context, 0, &m_deviceError);
        if (m_scannerLocked)
            m_host.UnLockDevice();
    }
    RequestLock(const RequestLock&) = delete;
    RequestLock& operator=(const RequestLock&) = delete;

    HRESULT Result() const { return m_result; }

private:
    WiaDeviceHost& m_host;
    BYTE* m_context;
    HRESULT m_result = E_FAIL;
    bool m_scannerLocked = false;
    bool m_driverLocked = false;
    LONG m_deviceError = 0;
};

std::optional<InstalledScanner> FindInstalledScanner(const std::string& device, std::string* failure)
{
    const std::optional<plat::devices::DeviceRecord> record = cli::ChooseDevice(device);
    if (!record) {
        *failure = cli::NoDeviceReason(device, "wiascan");
        return std::nullopt;
    }
    InstalledScanner scanner;
    scanner.record = *record;
    HKEY key = nullptr;
    std::u16string driverClass;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kClassKey + record->driverKey).c_str(), 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        driverClass = ReadText(key, u"USDClass");
        RegCloseKey(key);
    }
    if (driverClass.empty() || FAILED(CLSIDFromString(driverClass.c_str(), &scanner.driverClass))) {
        *failure = Utf16ToUtf8(record->instanceId) + " is not installed (no USDClass)";
        return std::nullopt;
    }
    scanner.deviceId = record->driverKey;
    const size_t slash = record->driverKey.rfind(u'\\');
    scanner.rootFullItemName = record->driverKey.substr(slash == std::u16string::npos ? 0 : slash + 1) + u"\\Root";
    return scanner;
}

WiaDeviceHost::~WiaDeviceHost()
{
    if (m_locks > 0 && m_usd) {
        m_locks = 0;
        m_usd->UnLockDevice();
    }
    while (m_clients > 0 && SUCCEEDED(Disconnect())) {
    }
    m_items.Clear();
    m_miniDrv = nullptr;
    m_usd = nullptr; // the driver goes with its last reference
    if (m_deviceKey)
        RegCloseKey(m_deviceKey);
}

HRESULT WiaDeviceHost::Load(std::string* failure)
{
    HRESULT hr = CoCreateInstance(m_scanner.driverClass, nullptr, CLSCTX_INPROC_SERVER, IID_IStiUSD,
                                  m_usd.ReleaseAndGetVoidAddress());
    if (FAILED(hr))
        return Fail(failure, "creating the still-image driver", hr);

    const std::u16string keyPath = kClassKey + m_scanner.record.driverKey;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &m_deviceKey);
    if (opened != ERROR_SUCCESS)
        return Fail(failure, "opening the device's key", HRESULT_FROM_WIN32(opened));
    plat::ComPtr<IStiDeviceControl> control;
    control.Attach(new StiDeviceControl(m_scanner.record.interfacePath));
    hr = m_usd->Initialize(control.Get(), STI_VERSION, m_deviceKey);
    if (FAILED(hr)) {
        Fail(failure, "IStiUSD::Initialize", hr);
        // E_FAIL is the driver's answer for a scanner the hardware service finds off line.
        if (hr == E_FAIL && failure)
            *failure = "the scanner is not on line: is it plugged in and switched on? (" + *failure + ")";
        return hr;
    }

    STI_USD_CAPS caps{};
    hr = m_usd->GetCapabilities(&caps);
    if (FAILED(hr))
        return Fail(failure, "IStiUSD::GetCapabilities", hr);
    if (!(caps.dwGenericCaps & STI_GENCAP_WIA))
        return Fail(failure, "a WIA driver (the driver's capabilities)", E_NOINTERFACE);
    hr = m_usd->QueryInterface(IID_IWiaMiniDrv, m_miniDrv.ReleaseAndGetVoidAddress());
    if (FAILED(hr))
        return Fail(failure, "asking for IWiaMiniDrv", hr);

    m_stiDevice.Attach(new StiDevice);
    hr = Connect();
    if (FAILED(hr))
        return Fail(failure, "drvInitializeWia", hr);
    if (m_items.Empty())
        return Fail(failure, "the driver's item tree", E_FAIL);
    return S_OK;
}

BYTE* WiaDeviceHost::DeviceContext() { return m_items.Empty() ? m_deviceItem.Context() : m_items.Root()->Context(); }

HRESULT WiaDeviceHost::Connect()
{
    if (!m_miniDrv)
        return E_UNEXPECTED;
    plat::ScopedBstr deviceId(m_scanner.deviceId);
    plat::ScopedBstr rootName(m_scanner.rootFullItemName);
    IWiaDrvItem* root = nullptr; // the driver's; the items take their own references
    IUnknown* inner = nullptr;
    LONG deviceError = 0;
    HRESULT hr = m_miniDrv->drvInitializeWia(DeviceContext(), 0, deviceId.Get(), rootName.Get(), m_stiDevice.Get(),
                                             nullptr, &root, &inner, &deviceError);
    if (inner)
        inner->Release();
    if (FAILED(hr))
        return hr;
    ++m_clients;
    return root ? TakeTree(root) : S_OK;
}

HRESULT WiaDeviceHost::Disconnect()
{
    if (!m_miniDrv || m_clients == 0)
        return E_UNEXPECTED;
    HRESULT hr = m_miniDrv->drvUnInitializeWia(DeviceContext());
    if (SUCCEEDED(hr) && --m_clients == 0)
        m_items.Clear();
    return hr;
}

HRESULT WiaDeviceHost::TakeTree(IWiaDrvItem* root)
{
    // The same tree again needs no new items.
    if (!m_items.Empty() && m_items.Root()->DrvItem() == root)
        return S_OK;
    HRESULT hr = m_items.Build(root);
    for (const auto& entry : m_items.Entries()) {
        if (FAILED(hr))
            break;
        LONG deviceError = 0;
        hr = m_miniDrv->drvInitItemProperties(entry.item->Context(), 0, &deviceError);
    }
    return hr;
}

HRESULT WiaDeviceHost::ReadProperties(plat::wia::WiaItem& item)
{
    std::vector<PROPSPEC> specs;
    for (PROPID id : item.Ids()) {
        PROPSPEC spec{};
        spec.ulKind = PRSPEC_PROPID;
        spec.propid = id;
        specs.push_back(spec);
    }
    RequestLock lock(*this, item.Context());
    if (FAILED(lock.Result()))
        return lock.Result();
    LONG deviceError = 0;
    return m_miniDrv->drvReadItemProperties(item.Context(), 0, static_cast<ULONG>(specs.size()), specs.data(),
                                            &deviceError);
}

HRESULT WiaDeviceHost::WriteProperties(plat::wia::WiaItem& item, const std::vector<PROPSPEC>& specs,
                                       const std::vector<PROPVARIANT>& values)
{
    if (specs.size() != values.size())
        return E_INVALIDARG;
    RequestLock lock(*this, item.Context());
    if (FAILED(lock.Result()))
        return lock.Result();
    const ULONG count = static_cast<ULONG>(specs.size());
    HRESULT hr = item.WriteFromClient(count, specs.data(), values.data());
    if (FAILED(hr))
        return hr;
    LONG deviceError = 0;
    hr = m_miniDrv->drvValidateItemProperties(item.Context(), 0, count, specs.data(), &deviceError);
    if (FAILED(hr))
        item.UndoClientWrite();
    return hr;
}

HRESULT WiaDeviceHost::Transfer(plat::wia::WiaItem& item, MINIDRV_TRANSFER_CONTEXT* context)
{
    RequestLock lock(*this, item.Context());
    if (FAILED(lock.Result()))
        return lock.Result();
    LONG deviceError = 0;
    HRESULT hr = m_miniDrv->drvWriteItemProperties(item.Context(), 0, context, &deviceError);
    if (FAILED(hr))
        return hr;
    return m_miniDrv->drvAcquireItemData(item.Context(), 0, context, &deviceError);
}

HRESULT WiaDeviceHost::DeviceCommand(const GUID& command)
{
    RequestLock lock(*this, DeviceContext());
    if (FAILED(lock.Result()))
        return lock.Result();
    IWiaDrvItem* newItem = nullptr;
    LONG deviceError = 0;
    HRESULT hr = m_miniDrv->drvDeviceCommand(DeviceContext(), 0, &command, &newItem, &deviceError);
    if (SUCCEEDED(hr) && command == WIA_CMD_SYNCHRONIZE) {
        // The old items hold the old tree; the driver's root is now another.
        IWiaDrvItem* root = nullptr;
        plat::ScopedBstr deviceId(m_scanner.deviceId);
        plat::ScopedBstr rootName(m_scanner.rootFullItemName);
        IUnknown* inner = nullptr;
        // The service learns the new root as a client does: it connects
        // and leaves again, which keeps the count as it was.
        hr = m_miniDrv->drvInitializeWia(DeviceContext(), 0, deviceId.Get(), rootName.Get(), m_stiDevice.Get(), nullptr,
                                         &root, &inner, &deviceError);
        if (SUCCEEDED(hr)) {
            m_items.Clear();
            if (root)
                hr = TakeTree(root);
            m_miniDrv->drvUnInitializeWia(DeviceContext());
        }
    }
    return hr;
}

HRESULT WiaDeviceHost::LockDevice()
{
    if (!m_usd)
        return E_UNEXPECTED;
    if (m_locks > 0) {
        ++m_locks;
        return S_OK;
    }
    const HRESULT hr = m_usd->LockDevice();
    if (SUCCEEDED(hr))
        m_locks = 1;
    return hr;
}

HRESULT WiaDeviceHost::UnLockDevice()
{
    if (!m_usd || m_locks == 0)
        return E_UNEXPECTED;
    return --m_locks == 0 ? m_usd->UnLockDevice() : S_OK;
}

HRESULT WiaDeviceHost::Capabilities(LONG kind, std::vector<DeviceCapability>* found)
{
    found->clear();
    if (!m_miniDrv)
        return E_UNEXPECTED;
    LONG count = 0;
    WIA_DEV_CAP_DRV* list = nullptr;
    LONG deviceError = 0;
    const HRESULT hr = m_miniDrv->drvGetCapabilities(DeviceContext(), kind, &count, &list, &deviceError);
    if (FAILED(hr))
        return hr;
    if (count < 0 || (count > 0 && !list))
        return E_UNEXPECTED;
    const auto text = [](const WCHAR* value) { return value ? std::u16string(value) : std::u16string(); };
    for (LONG i = 0; i < count; ++i) {
        const WIA_DEV_CAP_DRV& entry = list[i];
        found->push_back({entry.guid ? *entry.guid : GUID{}, entry.ulFlags, text(entry.wszName),
                          text(entry.wszDescription), text(entry.wszIcon)});
    }
    return hr;
}

HRESULT WiaDeviceHost::NotifyEvent(const GUID& event)
{
    plat::ScopedBstr deviceId(m_scanner.deviceId);
    return m_miniDrv->drvNotifyPnpEvent(&event, deviceId.Get(), 0);
}

} // namespace wiascan
