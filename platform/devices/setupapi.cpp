#include "platform/devices/setupapi.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/devices/BusDiscovery.h"
#include "platform/devices/DeviceDatabase.h"

#include <cstring>
#include <map>
#include <optional>
#include <memory>
#include <mutex>
#include <vector>

using plat::devices::DeviceRecord;

namespace {

struct Element {
    DeviceRecord record;
    DEVINST devInst = 0;
    bool present = false;
    SP_DEVINSTALL_PARAMS_W params{};
};

struct InfoSet {
    bool hasClass = false;
    GUID classGuid{};
    SP_DEVINSTALL_PARAMS_W params{};
    std::vector<Element> elements;
};

// Device information sets and device instance handles of this process.
struct Tables {
    std::mutex mutex;
    std::map<std::uintptr_t, std::unique_ptr<InfoSet>> sets;
    std::uintptr_t nextSet = 0x5e70;
    std::map<std::u16string, DEVINST> devInsts; // by upper-case instance id
    std::vector<std::u16string> instanceIds;    // DEVINST n is instanceIds[n - 1]
};

Tables& State()
{
    static Tables* tables = new Tables;
    return *tables;
}

// The caller holds the tables' lock.
DEVINST DevInstFor(Tables& tables, const std::u16string& instanceId)
{
    std::u16string key = plat::devices::ToUpperAscii(instanceId);
    auto it = tables.devInsts.find(key);
    if (it != tables.devInsts.end())
        return it->second;
    tables.instanceIds.push_back(instanceId);
    DEVINST devInst = static_cast<DEVINST>(tables.instanceIds.size());
    tables.devInsts.emplace(std::move(key), devInst);
    return devInst;
}

bool InstanceIdOf(DEVINST devInst, std::u16string& instanceId)
{
    Tables& tables = State();
    std::lock_guard lock(tables.mutex);
    if (devInst == 0 || devInst > tables.instanceIds.size())
        return false;
    instanceId = tables.instanceIds[devInst - 1];
    return true;
}

SP_DEVINSTALL_PARAMS_W FreshParams()
{
    SP_DEVINSTALL_PARAMS_W params{};
    params.cbSize = sizeof params;
    return params;
}

Element MakeElement(Tables& tables, DeviceRecord record, bool present)
{
    Element element;
    element.devInst = DevInstFor(tables, record.instanceId);
    element.record = std::move(record);
    element.present = present;
    element.params = FreshParams();
    return element;
}

// The set behind a handle; the caller holds the lock. Null with
// ERROR_INVALID_HANDLE when there is none.
InfoSet* FindSet(Tables& tables, HDEVINFO handle)
{
    auto it = tables.sets.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == tables.sets.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second.get();
}

HDEVINFO InsertSet(Tables& tables, std::unique_ptr<InfoSet> set)
{
    const std::uintptr_t id = tables.nextSet;
    tables.nextSet += 8;
    tables.sets.emplace(id, std::move(set));
    return reinterpret_cast<HDEVINFO>(id);
}

// A record the caller passes in: present, and its size field that of the
// structure this build knows; false with the error set.
template <class Record>
bool CallerRecordValid(const Record* record)
{
    if (!record) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (record->cbSize != sizeof(Record)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return false;
    }
    return true;
}

// The element a caller's SP_DEVINFO_DATA names, or null with the error set.
Element* FindElement(InfoSet& set, const SP_DEVINFO_DATA* data)
{
    if (!CallerRecordValid(data))
        return nullptr;
    if (data->Reserved == 0 || data->Reserved > set.elements.size() ||
        set.elements[data->Reserved - 1].devInst != data->DevInst) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return &set.elements[data->Reserved - 1];
}

void FillInfoData(const InfoSet& set, const Element& element, SP_DEVINFO_DATA* data)
{
    data->ClassGuid = GUID_DEVCLASS_IMAGE;
    data->DevInst = element.devInst;
    data->Reserved = static_cast<ULONG_PTR>(&element - set.elements.data()) + 1;
}

// Enumerator filter: an enumerator name ("USB") or, for interface sets, one
// device instance id.
bool MatchesEnumerator(const DeviceRecord& record, PCWSTR enumerator)
{
    if (!enumerator || !*enumerator)
        return true;
    std::u16string_view filter(enumerator);
    if (filter.find(u'\\') != std::u16string_view::npos)
        return plat::devices::EqualsNoCase(record.instanceId, filter);
    const size_t slash = record.instanceId.find(u'\\');
    return plat::devices::EqualsNoCase(std::u16string_view(record.instanceId).substr(0, slash), filter);
}

struct PropertyName {
    DWORD property;
    const char16_t* value;
};
constexpr PropertyName kProperties[] = {
    {SPDRP_DEVICEDESC, u"DeviceDesc"},
    {SPDRP_HARDWAREID, u"HardwareID"},
    {SPDRP_COMPATIBLEIDS, u"CompatibleIDs"},
    {SPDRP_SERVICE, u"Service"},
    {SPDRP_CLASS, u"Class"},
    {SPDRP_CLASSGUID, u"ClassGUID"},
    {SPDRP_DRIVER, u"Driver"},
    {SPDRP_MFG, u"Mfg"},
    {SPDRP_FRIENDLYNAME, u"FriendlyName"},
    {SPDRP_LOCATION_INFORMATION, u"LocationInformation"},
};

} // namespace

HDEVINFO SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR Enumerator, HWND, DWORD Flags)
{
    constexpr DWORD kKnown = DIGCF_DEFAULT | DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_PROFILE | DIGCF_DEVICEINTERFACE;
    if (Flags & ~kKnown) {
        SetLastError(ERROR_INVALID_FLAGS);
        return INVALID_HANDLE_VALUE;
    }
    if (!ClassGuid && !(Flags & DIGCF_ALLCLASSES)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // Every recorded device is of the image class, which is both a setup
    // class and an interface class.
    const bool classMatches = (Flags & DIGCF_ALLCLASSES) || *ClassGuid == GUID_DEVINTERFACE_IMAGE;
    auto set = std::make_unique<InfoSet>();
    set->params = FreshParams();
    if (ClassGuid && !(Flags & DIGCF_DEVICEINTERFACE) && !(Flags & DIGCF_ALLCLASSES)) {
        set->hasClass = true;
        set->classGuid = *ClassGuid;
    }
    std::vector<std::pair<DeviceRecord, bool>> chosen;
    if (classMatches) {
        // What the bus holds now is recorded before the records are read, as
        // the system has recorded a device by the time it is plugged in.
        plat::devices::RecordBusDevices();
        LONG error = ERROR_SUCCESS;
        std::vector<DeviceRecord> records = plat::devices::RecordedDevices(&error);
        // A device database that cannot be read is no empty one.
        if (error != ERROR_SUCCESS) {
            SetLastError(static_cast<DWORD>(error));
            return INVALID_HANDLE_VALUE;
        }
        for (DeviceRecord& record : records) {
            if (!MatchesEnumerator(record, Enumerator))
                continue;
            const bool present = plat::devices::IsInterfacePresent(record.interfacePath);
            if ((Flags & DIGCF_PRESENT) && !present)
                continue;
            chosen.emplace_back(std::move(record), present);
        }
    }
    Tables& tables = State();
    std::lock_guard lock(tables.mutex);
    for (auto& [record, present] : chosen)
        set->elements.push_back(MakeElement(tables, std::move(record), present));
    SetLastError(ERROR_SUCCESS);
    return InsertSet(tables, std::move(set));
}

HDEVINFO SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND)
{
    auto set = std::make_unique<InfoSet>();
    set->params = FreshParams();
    if (ClassGuid) {
        set->hasClass = true;
        set->classGuid = *ClassGuid;
    }
    Tables& tables = State();
    std::lock_guard lock(tables.mutex);
    SetLastError(ERROR_SUCCESS);
    return InsertSet(tables, std::move(set));
}

BOOL SetupDiOpenDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId, HWND, DWORD,
                            PSP_DEVINFO_DATA DeviceInfoData)
{
    if (!DeviceInstanceId || !*DeviceInstanceId) {
        SetLastError(ERROR_INVALID_DEVINST_NAME);
        return FALSE;
    }
    if (DeviceInfoData && !CallerRecordValid(DeviceInfoData))
        return FALSE;
    std::optional<DeviceRecord> record = plat::devices::FindDevice(DeviceInstanceId);
    const bool present = record && plat::devices::IsInterfacePresent(record->interfacePath);
    Tables& tables = State();
    std::lock_guard lock(tables.mutex);
    InfoSet* set = FindSet(tables, DeviceInfoSet);
    if (!set)
        return FALSE;
    if (!record) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return FALSE;
    }
    if (set->hasClass && set->classGuid != GUID_DEVCLASS_IMAGE) {
        SetLastError(ERROR_INVALID_CLASS);
        return FALSE;
    }
    Element* element = nullptr;
    for (Element& each : set->elements)
        if (plat::devices::EqualsNoCase(each.record.instanceId, record->instanceId))
            element = &each;
    if (!element) {
        set->elements.push_back(MakeElement(tables, std::move(*record), present));
        element = &set->elements.back();
    }
    if (DeviceInfoData)
        FillInfoData(*set, *element, DeviceInfoData);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet)
{
    Tables& tables = State();
    std::lock_guard lock(tables.mutex);
    if (tables.sets.erase(reinterpret_cast<std::uintptr_t>(DeviceInfoSet)) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData)
{
    Tables& tables = State();
    std::lock_guard lock(tables.mutex);
    InfoSet* set = FindSet(tables, DeviceInfoSet);
    if (!set)
        return FALSE;
    if (!CallerRecordValid(DeviceInfoData))
        return FALSE;
    if (MemberIndex >= set->elements.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    FillInfoData(*set, set->elements[MemberIndex], DeviceInfoData);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                 const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                 PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData)
{
    Tables& tables = State();
    std::lock_guard lock(tables.mutex);
    InfoSet* set = FindSet(tables, DeviceInfoSet);
    if (!set)
        return FALSE;
    if (!InterfaceClassGuid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!CallerRecordValid(DeviceInterfaceData))
        return FALSE;
    // Each device has one interface, of the image class.
    std::vector<Element*> candidates;
    if (DeviceInfoData) {
        Element* element = FindElement(*set, DeviceInfoData);
        if (!element)
            return FALSE;
        candidates.push_back(element);
    } else {
        for (Element& element : set->elements)
            candidates.push_back(&element);
    }
    if (*InterfaceClassGuid != GUID_DEVINTERFACE_IMAGE || MemberIndex >= candidates.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    const Element& element = *candidates[MemberIndex];
    DeviceInterfaceData->InterfaceClassGuid = GUID_DEVINTERFACE_IMAGE;
    DeviceInterfaceData->Flags = element.present ? SPINT_ACTIVE : 0;
    DeviceInterfaceData->Reserved = static_cast<ULONG_PTR>(&element - set->elements.data()) + 1;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
                                      DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                      PSP_DEVINFO_DATA DeviceInfoData)
{
    Tables& tables = State();
    std::lock_guard lock(tables.mutex);
    InfoSet* set = FindSet(tables, DeviceInfoSet);
    if (!set)
        return FALSE;
    if (!DeviceInterfaceData || DeviceInterfaceData->Reserved == 0 ||
        DeviceInterfaceData->Reserved > set->elements.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    constexpr DWORD kHeader = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    // A buffer too small for even the record's header, a size without a
    // buffer, or a record whose size field is not the structure's.
    if ((DeviceInterfaceDetailData &&
         (DeviceInterfaceDetailDataSize < kHeader + sizeof(WCHAR) ||
          DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))) ||
        (!DeviceInterfaceDetailData && DeviceInterfaceDetailDataSize != 0)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (DeviceInfoData && !CallerRecordValid(DeviceInfoData))
        return FALSE;
    const Element& element = set->elements[DeviceInterfaceData->Reserved - 1];
    const std::u16string& path = element.record.interfacePath;
    const DWORD required = static_cast<DWORD>(kHeader + (path.size() + 1) * sizeof(WCHAR));
    if (RequiredSize)
        *RequiredSize = required;
    if (DeviceInterfaceDetailDataSize < required) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(DeviceInterfaceDetailData->DevicePath, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    if (DeviceInfoData)
        FillInfoData(*set, element, DeviceInfoData);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                       PDWORD PropertyRegDataType, PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                                       PDWORD RequiredSize)
{
    std::u16string instanceId;
    {
        Tables& tables = State();
        std::lock_guard lock(tables.mutex);
        InfoSet* set = FindSet(tables, DeviceInfoSet);
        if (!set)
            return FALSE;
        Element* element = FindElement(*set, DeviceInfoData);
        if (!element)
            return FALSE;
        instanceId = element->record.instanceId;
    }
    if (Property >= SPDRP_MAXIMUM_PROPERTY) {
        SetLastError(ERROR_INVALID_REG_PROPERTY);
        return FALSE;
    }
    if (!PropertyBuffer && PropertyBufferSize != 0) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const char16_t* valueName = nullptr;
    for (const PropertyName& name : kProperties)
        if (name.property == Property)
            valueName = name.value;
    HKEY key = nullptr;
    std::u16string keyPath = u"SYSTEM\\CurrentControlSet\\Enum\\" + instanceId;
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status =
        valueName ? RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) : ERROR_FILE_NOT_FOUND;
    if (status == ERROR_SUCCESS)
        status = RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size);
    // Absent properties read as invalid data, as the system reports them.
    if (status != ERROR_SUCCESS) {
        if (key)
            RegCloseKey(key);
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (RequiredSize)
        *RequiredSize = size;
    if (PropertyRegDataType)
        *PropertyRegDataType = type;
    if (PropertyBufferSize < size) {
        RegCloseKey(key);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    DWORD got = PropertyBufferSize;
    status = RegQueryValueExW(key, valueName, nullptr, &type, PropertyBuffer, &got);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        SetLastError(status == ERROR_MORE_DATA ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_DATA);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupDiGetDeviceInstanceIdW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, PWSTR DeviceInstanceId,
                                 DWORD DeviceInstanceIdSize, PDWORD RequiredSize)
{
    Tables& tables = State();
    std::lock_guard lock(tables.mutex);
    InfoSet* set = FindSet(tables, DeviceInfoSet);
    if (!set)
        return FALSE;
    Element* element = FindElement(*set, DeviceInfoData);
    if (!element)
        return FALSE;
    if (!DeviceInstanceId && DeviceInstanceIdSize != 0) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const std::u16string& id = element->record.instanceId;
    const DWORD required = static_cast<DWORD>(id.size() + 1);
    if (RequiredSize)
        *RequiredSize = required;
    if (DeviceInstanceIdSize < required) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(DeviceInstanceId, id.c_str(), required * sizeof(WCHAR));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

namespace {

// The install parameters of the element, or of the set without one.
SP_DEVINSTALL_PARAMS_W* ParamsOf(HDEVINFO handle, PSP_DEVINFO_DATA data, PSP_DEVINSTALL_PARAMS_W caller)
{
    Tables& tables = State();
    InfoSet* set = FindSet(tables, handle);
    if (!set)
        return nullptr;
    if (!CallerRecordValid(caller))
        return nullptr;
    if (!data)
        return &set->params;
    Element* element = FindElement(*set, data);
    return element ? &element->params : nullptr;
}

} // namespace

BOOL SetupDiGetDeviceInstallParamsW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                    PSP_DEVINSTALL_PARAMS_W DeviceInstallParams)
{
    std::lock_guard lock(State().mutex);
    SP_DEVINSTALL_PARAMS_W* params = ParamsOf(DeviceInfoSet, DeviceInfoData, DeviceInstallParams);
    if (!params)
        return FALSE;
    *DeviceInstallParams = *params;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupDiSetDeviceInstallParamsW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                    PSP_DEVINSTALL_PARAMS_W DeviceInstallParams)
{
    std::lock_guard lock(State().mutex);
    SP_DEVINSTALL_PARAMS_W* params = ParamsOf(DeviceInfoSet, DeviceInfoData, DeviceInstallParams);
    if (!params)
        return FALSE;
    *params = *DeviceInstallParams;
    // The driver path must stay a terminated text.
    params->DriverPath[std::size(params->DriverPath) - 1] = 0;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

HKEY SetupDiOpenDevRegKey(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Scope, DWORD, DWORD KeyType,
                          REGSAM samDesired)
{
    HKEY const invalid = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    DeviceRecord record;
    {
        Tables& tables = State();
        std::lock_guard lock(tables.mutex);
        InfoSet* set = FindSet(tables, DeviceInfoSet);
        if (!set)
            return invalid;
        Element* element = FindElement(*set, DeviceInfoData);
        if (!element)
            return invalid;
        record = element->record;
    }
    if (Scope != DICS_FLAG_GLOBAL || (KeyType != DIREG_DEV && KeyType != DIREG_DRV)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return invalid;
    }
    HKEY key = nullptr;
    LSTATUS status;
    if (KeyType == DIREG_DRV) {
        if (record.driverKey.empty()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return invalid;
        }
        std::u16string path = u"SYSTEM\\CurrentControlSet\\Control\\Class\\" + record.driverKey;
        status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, samDesired, &key);
    } else {
        std::u16string path = u"SYSTEM\\CurrentControlSet\\Enum\\" + record.instanceId + u"\\Device Parameters";
        status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, samDesired,
                                 nullptr, &key, nullptr);
    }
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return invalid;
    }
    SetLastError(ERROR_SUCCESS);
    return key;
}

CONFIGRET CM_Locate_DevNodeW(PDEVINST pdnDevInst, PCWSTR pDeviceID, ULONG ulFlags)
{
    if (!pdnDevInst)
        return CR_INVALID_POINTER;
    *pdnDevInst = 0;
    if (ulFlags & ~CM_LOCATE_DEVNODE_PHANTOM)
        return CR_INVALID_FLAG;
    if (!pDeviceID || !*pDeviceID)
        return CR_NO_SUCH_DEVNODE;
    std::optional<DeviceRecord> record = plat::devices::FindDevice(pDeviceID);
    if (!record)
        return CR_NO_SUCH_DEVNODE;
    if (!(ulFlags & CM_LOCATE_DEVNODE_PHANTOM) && !plat::devices::IsInterfacePresent(record->interfacePath))
        return CR_NO_SUCH_DEVNODE;
    Tables& tables = State();
    std::lock_guard lock(tables.mutex);
    *pdnDevInst = DevInstFor(tables, record->instanceId);
    return CR_SUCCESS;
}

CONFIGRET CM_Get_DevNode_Status(PULONG pulStatus, PULONG pulProblemNumber, DEVINST dnDevInst, ULONG ulFlags)
{
    if (!pulStatus || !pulProblemNumber)
        return CR_INVALID_POINTER;
    *pulStatus = 0;
    *pulProblemNumber = 0;
    if (ulFlags != 0)
        return CR_INVALID_FLAG;
    std::u16string instanceId;
    if (!InstanceIdOf(dnDevInst, instanceId))
        return CR_INVALID_DEVNODE;
    std::optional<DeviceRecord> record = plat::devices::FindDevice(instanceId);
    if (!record || !plat::devices::IsInterfacePresent(record->interfacePath))
        return CR_NO_SUCH_DEVNODE;
    *pulStatus = DN_DRIVER_LOADED | DN_STARTED | DN_DISABLEABLE | DN_REMOVABLE | DN_NT_ENUMERATOR | DN_NT_DRIVER;
    return CR_SUCCESS;
}

CONFIGRET CM_Get_Device_IDW(DEVINST dnDevInst, PWSTR Buffer, ULONG BufferLen, ULONG ulFlags)
{
    if (!Buffer)
        return CR_INVALID_POINTER;
    if (ulFlags != 0)
        return CR_INVALID_FLAG;
    std::u16string instanceId;
    if (!InstanceIdOf(dnDevInst, instanceId))
        return CR_INVALID_DEVNODE;
    if (instanceId.size() > BufferLen)
        return CR_BUFFER_SMALL;
    std::memcpy(Buffer, instanceId.data(), instanceId.size() * sizeof(WCHAR));
    if (instanceId.size() < BufferLen)
        Buffer[instanceId.size()] = 0;
    return CR_SUCCESS;
}

CONFIGRET CM_Get_Device_ID_Size(PULONG pulLen, DEVINST dnDevInst, ULONG ulFlags)
{
    if (!pulLen)
        return CR_INVALID_POINTER;
    *pulLen = 0;
    if (ulFlags != 0)
        return CR_INVALID_FLAG;
    std::u16string instanceId;
    if (!InstanceIdOf(dnDevInst, instanceId))
        return CR_INVALID_DEVNODE;
    *pulLen = static_cast<ULONG>(instanceId.size());
    return CR_SUCCESS;
}
