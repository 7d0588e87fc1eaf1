// The platform's stand-in of the image-acquisition service's device
// manager: CreateDevice opens an installed imaging device of the system
// root by its id and gives a root item carrying the device's id. The other
// operations (dialogs, event registration, enumeration) are the service's
// and not offered here.
#include "platform/com/ComModule.h"
#include "platform/com/RefCounted.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/registry/winreg.h"
#include "platform/wia/WiaItemBase.h"
#include "platform/wia/wiaclient.h"

#include <new>
#include <string>

namespace plat::wia {

namespace {

ComModule& DeviceManagerModule()
{
    static ComModule* module = new ComModule;
    return *module;
}

// The id of a device the service would serve, as recorded: one whose
// driver key is `deviceId` (case ignored) and names the still-image driver's
// class. Empty for any other.
std::u16string InstalledDeviceId(std::u16string_view deviceId)
{
    std::u16string recorded;
    for (const devices::DeviceRecord& device : devices::RecordedDevices()) {
        if (devices::EqualsNoCase(device.driverKey, deviceId))
            recorded = device.driverKey;
    }
    if (recorded.empty())
        return {};
    const std::u16string path = u"SYSTEM\\CurrentControlSet\\Control\\Class\\" + recorded;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    const bool installed = RegQueryValueExW(key, u"USDClass", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return installed ? recorded : std::u16string();
}

// What the stand-in's objects share: the reference count, the module
// count, and QueryInterface over the interfaces each finds in Find.
template <class... Interfaces>
class StandInObject : public RefCounted<Interfaces...> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = Find(riid);
        if (!*ppv)
            return E_NOINTERFACE;
        this->AddRef();
        return S_OK;
    }

protected:
    StandInObject() : m_lock(DeviceManagerModule()) {}
    ~StandInObject() override = default;
    // Interface riid of the object (IUnknown included), or null.
    virtual void* Find(REFIID riid) = 0;

private:
    ModuleLock m_lock;
};

// The root item of an opened device: its type, and its id as the one
// property its storage answers.
class RootItem final : public StandInObject<plat::wia::WiaItemBase, IWiaPropertyStorage> {
public:
    explicit RootItem(std::u16string deviceId) : m_deviceId(std::move(deviceId)) {}

    HRESULT STDMETHODCALLTYPE GetItemType(LONG* pItemType) override
    {
        if (!pItemType)
            return E_INVALIDARG;
        *pItemType = WiaItemTypeRoot | WiaItemTypeFolder | WiaItemTypeDevice;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRootItem(IWiaItem** ppIWiaItem) override
    {
        return QueryInterface(IID_IWiaItem, reinterpret_cast<void**>(ppIWiaItem));
    }

    // Each asked property gets its value, or VT_EMPTY when the item has none;
    // S_FALSE when none of them was there.
    HRESULT STDMETHODCALLTYPE ReadMultiple(ULONG cpspec, const PROPSPEC rgpspec[], PROPVARIANT rgpropvar[]) override
    {
        if (cpspec == 0)
            return S_FALSE;
        if (!rgpspec || !rgpropvar)
            return E_INVALIDARG;
        bool found = false;
        for (ULONG i = 0; i < cpspec; ++i) {
            PropVariantInit(&rgpropvar[i]);
            if (rgpspec[i].ulKind != PRSPEC_PROPID || rgpspec[i].propid != WIA_DIP_DEV_ID)
                continue;
            rgpropvar[i].vt = VT_BSTR;
            rgpropvar[i].bstrVal = SysAllocString(m_deviceId.c_str());
            if (!rgpropvar[i].bstrVal) {
                FreePropVariantArray(i, rgpropvar);
                return E_OUTOFMEMORY;
            }
            found = true;
        }
        return found ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE WriteMultiple(ULONG, const PROPSPEC[], const PROPVARIANT[], PROPID) override
    {
        return E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE DeleteMultiple(ULONG, const PROPSPEC[]) override { return E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE ReadPropertyNames(ULONG, const PROPID[], LPOLESTR[]) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE WritePropertyNames(ULONG, const PROPID[], const LPOLESTR[]) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeletePropertyNames(ULONG, const PROPID[]) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Enum(IEnumSTATPROPSTG**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTimes(const FILETIME*, const FILETIME*, const FILETIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetClass(REFCLSID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATPROPSETSTG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyAttributes(ULONG, PROPSPEC[], ULONG[], PROPVARIANT[]) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetCount(ULONG* pulNumProps) override
    {
        if (!pulNumProps)
            return E_INVALIDARG;
        *pulNumProps = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyStream(GUID*, IStream**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPropertyStream(GUID*, IStream*) override { return E_NOTIMPL; }

protected:
    void* Find(REFIID riid) override
    {
        if (riid == IID_IUnknown || riid == IID_IWiaItem)
            return static_cast<IWiaItem*>(this);
        if (riid == IID_IWiaPropertyStorage)
            return static_cast<IWiaPropertyStorage*>(this);
        return nullptr;
    }

private:
    std::u16string m_deviceId;
};

class DeviceManager final : public StandInObject<IWiaDevMgr> {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv)
    {
        if (HRESULT hr = CheckAggregation(outer, riid, false); FAILED(hr))
            return hr;
        auto* manager = new (std::nothrow) DeviceManager;
        if (!manager)
            return E_OUTOFMEMORY;
        const HRESULT hr = manager->QueryInterface(riid, ppv);
        manager->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE EnumDeviceInfo(LONG, IEnumWIA_DEV_INFO**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateDevice(BSTR bstrDeviceID, IWiaItem** ppWiaItemRoot) override
    {
        if (!ppWiaItemRoot)
            return E_POINTER;
        *ppWiaItemRoot = nullptr;
        const std::u16string_view id(bstrDeviceID ? bstrDeviceID : u"", SysStringLen(bstrDeviceID));
        if (id.empty())
            return E_INVALIDARG;
        std::u16string installed = InstalledDeviceId(id);
        if (installed.empty())
            return WIA_S_NO_DEVICE_AVAILABLE;
        auto* root = new (std::nothrow) RootItem(std::move(installed));
        if (!root)
            return E_OUTOFMEMORY;
        *ppWiaItemRoot = root;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SelectDeviceDlg(HWND, LONG, LONG, BSTR*, IWiaItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectDeviceDlgID(HWND, LONG, LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetImageDlg(HWND, LONG, LONG, LONG, IWiaItem*, BSTR, GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterEventCallbackProgram(LONG, BSTR, const GUID*, BSTR, BSTR, BSTR, BSTR) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RegisterEventCallbackInterface(LONG, BSTR, const GUID*, IWiaEventCallback*,
                                                             IUnknown**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RegisterEventCallbackCLSID(LONG, BSTR, const GUID*, const GUID*, BSTR, BSTR,
                                                         BSTR) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AddDeviceDlg(HWND, LONG) override { return E_NOTIMPL; }

protected:
    void* Find(REFIID riid) override
    {
        return riid == IID_IUnknown || riid == IID_IWiaDevMgr ? static_cast<IWiaDevMgr*>(this) : nullptr;
    }
};

} // namespace

HRESULT GetDeviceManagerClassObject(REFIID riid, void** ppv)
{
    return ClassFactory::Make(DeviceManagerModule(), &DeviceManager::Create, riid, ppv);
}

} // namespace plat::wia
