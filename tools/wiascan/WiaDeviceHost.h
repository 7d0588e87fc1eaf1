// The image-acquisition service's side of one installed scanner: it loads
// the scanner's still-image driver as the service does (the class the
// device's key names as USDClass, IStiUSD::Initialize with the device path
// and the device's key, drvInitializeWia) and keeps the service's items for
// the driver's tree. Applications' requests become the driver calls the
// service makes for them.
#pragma once

#include "platform/devices/DeviceDatabase.h"
#include "platform/windows.h"
#include "platform/wia/ItemTree.h"

#include <optional>
#include <string>
#include <vector>

namespace wiascan {

// An installed scanner: its record, the class of its still-image driver
// (USDClass in its driver key) and the names WIA gives it.
struct InstalledScanner {
    plat::devices::DeviceRecord record;
    CLSID driverClass{};
    std::u16string deviceId;         // the driver key: {6BDD1FC6-...}\NNNN
    std::u16string rootFullItemName; // NNNN\Root
};

// The scanner `device` names (cli::ChooseDevice), or the first; empty, with
// the reason in *failure, when it is not there or not installed.
std::optional<InstalledScanner> FindInstalledScanner(const std::string& device, std::string* failure);

// A command or event the driver offers, as the service keeps it.
struct DeviceCapability {
    GUID guid{};
    ULONG flags = 0;
    std::u16string name;
    std::u16string description;
    std::u16string icon;
};

class WiaDeviceHost {
public:
    explicit WiaDeviceHost(InstalledScanner scanner) : m_scanner(std::move(scanner)) {}
    // Lets go of the clients it connected and of the driver.
    ~WiaDeviceHost();
    WiaDeviceHost(const WiaDeviceHost&) = delete;
    WiaDeviceHost& operator=(const WiaDeviceHost&) = delete;

    // Creates and initialises the driver and connects the first client. On
    // failure *failure says which step failed.
    HRESULT Load(std::string* failure);

    // One more client, or one client leaving (drvInitializeWia,
    // drvUnInitializeWia). The items follow the tree the driver reports.
    HRESULT Connect();
    HRESULT Disconnect();
    int Clients() const { return m_clients; }

    const plat::wia::ItemTree& Items() const { return m_items; }
    // By name ("Feeder") or full item name.
    plat::wia::WiaItem* FindItem(std::u16string_view name) const { return m_items.Find(name); }

    // What an application's read does: the driver refreshes the properties
    // it keeps live, then the values are the item's.
    HRESULT ReadProperties(plat::wia::WiaItem& item);
    // What an application's write does: the values are stored, the driver
    // validates them, and a change it refuses is undone.
    HRESULT WriteProperties(plat::wia::WiaItem& item, const std::vector<PROPSPEC>& specs,
                            const std::vector<PROPVARIANT>& values);
    // One transfer of the item as the service runs it for an application:
    // the driver hears the item's properties (drvWriteItemProperties), then
    // moves the data into the context's callback or file.
    HRESULT Transfer(plat::wia::WiaItem& item, MINIDRV_TRANSFER_CONTEXT* context);
    // A device command; after Synchronize the items are those of the new tree.
    HRESULT DeviceCommand(const GUID& command);
    // A device event the service passes on to the driver.
    HRESULT NotifyEvent(const GUID& event);
    // What the driver offers of one kind: WIA_DEVICE_COMMANDS or
    // WIA_DEVICE_EVENTS (drvGetCapabilities), copied out of its list.
    HRESULT Capabilities(LONG kind, std::vector<DeviceCapability>* found);

    // The scanner's lock (IStiUSD::LockDevice), which the service takes
    // around every request that reaches the driver. Nested: an application
    // that holds it keeps it across the requests in between.
    HRESULT LockDevice();
    HRESULT UnLockDevice();

    IStiUSD* Usd() const { return m_usd.Get(); }
    IWiaMiniDrv* MiniDriver() const { return m_miniDrv.Get(); }
    const InstalledScanner& Scanner() const { return m_scanner; }

private:
    class RequestLock;

    // The service's items for the driver's tree, each with its properties.
    HRESULT TakeTree(IWiaDrvItem* root);
    BYTE* DeviceContext();

    InstalledScanner m_scanner;
    HKEY m_deviceKey = nullptr;
    plat::ComPtr<IStiUSD> m_usd;
    plat::ComPtr<IWiaMiniDrv> m_miniDrv;
    plat::ComPtr<IStiDevice> m_stiDevice;
    int m_clients = 0;
    int m_locks = 0;
    plat::wia::ItemTree m_items;
    // The context of the device's calls before any tree exists.
    plat::wia::WiaItem m_deviceItem{WiaItemTypeFolder | WiaItemTypeRoot | WiaItemTypeDevice};
};

} // namespace wiascan
