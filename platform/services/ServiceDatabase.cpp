#include "platform/services/ServiceDatabase.h"

#include "platform/base/winerror.h"
#include "platform/registry/KeyName.h"
#include "platform/registry/RegistryKeys.h"
#include "platform/services/ServiceRuntime.h"
#include "platform/services/winsvc.h"

#include <algorithm>
#include <cstring>

using namespace plat::registry;

namespace plat::services {

const char16_t* const kServicesKeyPath = u"SYSTEM\\CurrentControlSet\\Services";

namespace {

// Closes a key handle when it goes out of scope.
class Key {
public:
    Key() = default;
    ~Key()
    {
        if (m_key)
            CloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

std::vector<BYTE> StringBytes(std::u16string_view text)
{
    std::vector<BYTE> bytes((text.size() + 1) * sizeof(char16_t), 0);
    std::memcpy(bytes.data(), text.data(), text.size() * sizeof(char16_t));
    return bytes;
}

std::vector<BYTE> MultiStringBytes(const std::vector<std::u16string>& list)
{
    std::u16string joined;
    for (const auto& item : list) {
        joined += item;
        joined.push_back(u'\0');
    }
    joined.push_back(u'\0');
    if (list.empty())
        joined.push_back(u'\0');
    std::vector<BYTE> bytes(joined.size() * sizeof(char16_t));
    std::memcpy(bytes.data(), joined.data(), bytes.size());
    return bytes;
}

std::vector<BYTE> DwordBytes(DWORD value)
{
    std::vector<BYTE> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

std::u16string ToText(const std::vector<BYTE>& data)
{
    std::u16string text(data.size() / sizeof(char16_t), u'\0');
    std::memcpy(text.data(), data.data(), text.size() * sizeof(char16_t));
    while (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

std::optional<std::u16string> ReadString(HKEY key, std::u16string_view name)
{
    ValueRecord value;
    if (QueryValue(key, name, &value) != ERROR_SUCCESS || (value.type != REG_SZ && value.type != REG_EXPAND_SZ))
        return std::nullopt;
    return ToText(value.data);
}

std::optional<DWORD> ReadDword(HKEY key, std::u16string_view name)
{
    ValueRecord value;
    if (QueryValue(key, name, &value) != ERROR_SUCCESS || value.type != REG_DWORD || value.data.size() != 4)
        return std::nullopt;
    DWORD result;
    std::memcpy(&result, value.data.data(), sizeof result);
    return result;
}

std::vector<std::u16string> ReadMultiString(HKEY key, std::u16string_view name)
{
    ValueRecord value;
    if (QueryValue(key, name, &value) != ERROR_SUCCESS || value.type != REG_MULTI_SZ)
        return {};
    std::u16string text(value.data.size() / sizeof(char16_t), u'\0');
    std::memcpy(text.data(), value.data.data(), text.size() * sizeof(char16_t));
    text.push_back(u'\0');
    text.push_back(u'\0');
    return SplitMultiString(text.c_str());
}

// The key name as it is stored (the caller's spelling may differ in case).
std::optional<std::u16string> StoredName(HKEY services, std::u16string_view name)
{
    std::u16string candidate;
    for (DWORD index = 0; EnumKey(services, index, &candidate) == ERROR_SUCCESS; ++index) {
        if (SameName(candidate, name))
            return candidate;
    }
    return std::nullopt;
}

std::optional<ServiceConfig> ReadServiceKey(HKEY services, std::u16string_view name)
{
    Key key;
    if (OpenKey(services, name, KEY_READ, key.Out()) != ERROR_SUCCESS)
        return std::nullopt;
    std::optional<DWORD> type = ReadDword(key.Get(), u"Type");
    if (!type)
        return std::nullopt;
    ServiceConfig config;
    config.name = StoredName(services, name).value_or(std::u16string(name));
    config.type = *type;
    config.startType = ReadDword(key.Get(), u"Start").value_or(SERVICE_DEMAND_START);
    config.errorControl = ReadDword(key.Get(), u"ErrorControl").value_or(1);
    config.displayName = ReadString(key.Get(), u"DisplayName").value_or(u"");
    config.imagePath = ReadString(key.Get(), u"ImagePath").value_or(u"");
    config.objectName = ReadString(key.Get(), u"ObjectName").value_or(u"");
    config.group = ReadString(key.Get(), u"Group").value_or(u"");
    config.description = ReadString(key.Get(), u"Description").value_or(u"");
    config.dependOnService = ReadMultiString(key.Get(), u"DependOnService");
    config.dependOnGroup = ReadMultiString(key.Get(), u"DependOnGroup");
    config.markedForDelete = ReadDword(key.Get(), u"DeleteFlag").value_or(0) != 0;
    // Each value is read on its own: a service removed meanwhile (by the
    // process of a marked service as it stops) would otherwise come back
    // as a live one without its delete mark.
    if (!ReadDword(key.Get(), u"Type"))
        return std::nullopt;
    return config;
}

LONG OpenServices(REGSAM access, Key& services)
{
    return CreateKey(HKEY_LOCAL_MACHINE, kServicesKeyPath, access, services.Out(), nullptr);
}

LONG SetOrDelete(HKEY key, std::u16string_view name, DWORD type, std::u16string_view text)
{
    if (text.empty()) {
        LONG result = DeleteValue(key, name);
        return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
    }
    return SetValue(key, name, type, StringBytes(text));
}

LONG WriteValues(HKEY key, const ServiceConfig& config)
{
    LONG result = SetValue(key, u"Type", REG_DWORD, DwordBytes(config.type));
    if (result == ERROR_SUCCESS)
        result = SetValue(key, u"Start", REG_DWORD, DwordBytes(config.startType));
    if (result == ERROR_SUCCESS)
        result = SetValue(key, u"ErrorControl", REG_DWORD, DwordBytes(config.errorControl));
    if (result == ERROR_SUCCESS)
        result = SetValue(key, u"ImagePath", REG_EXPAND_SZ, StringBytes(config.imagePath));
    if (result == ERROR_SUCCESS)
        result = SetOrDelete(key, u"DisplayName", REG_SZ, config.displayName);
    if (result == ERROR_SUCCESS)
        result = SetOrDelete(key, u"ObjectName", REG_SZ, config.objectName);
    if (result == ERROR_SUCCESS)
        result = SetOrDelete(key, u"Group", REG_SZ, config.group);
    if (result == ERROR_SUCCESS)
        result = SetOrDelete(key, u"Description", REG_SZ, config.description);
    for (auto [name, list] :
         {std::pair{u"DependOnService", &config.dependOnService}, std::pair{u"DependOnGroup", &config.dependOnGroup}}) {
        if (result != ERROR_SUCCESS)
            break;
        if (list->empty()) {
            result = DeleteValue(key, name);
            if (result == ERROR_FILE_NOT_FOUND)
                result = ERROR_SUCCESS;
        } else {
            result = SetValue(key, name, REG_MULTI_SZ, MultiStringBytes(*list));
        }
    }
    return result;
}

} // namespace

bool SameName(std::u16string_view a, std::u16string_view b) { return FoldName(a) == FoldName(b); }

bool IsValidServiceName(std::u16string_view name)
{
    return !name.empty() && name.size() <= 256 && name.find_first_of(u"/\\") == std::u16string_view::npos;
}

std::vector<std::u16string> SplitMultiString(const WCHAR* list)
{
    std::vector<std::u16string> items;
    if (!list)
        return items;
    while (*list) {
        std::u16string item(list);
        list += item.size() + 1;
        items.push_back(std::move(item));
    }
    return items;
}

std::optional<ServiceConfig> ReadService(std::u16string_view name)
{
    if (!IsValidServiceName(name))
        return std::nullopt;
    Key services;
    if (OpenKey(HKEY_LOCAL_MACHINE, kServicesKeyPath, KEY_READ, services.Out()) != ERROR_SUCCESS)
        return std::nullopt;
    return ReadServiceKey(services.Get(), name);
}

std::vector<ServiceConfig> ReadAllServices()
{
    std::vector<ServiceConfig> all;
    Key services;
    if (OpenKey(HKEY_LOCAL_MACHINE, kServicesKeyPath, KEY_READ, services.Out()) != ERROR_SUCCESS)
        return all;
    std::u16string name;
    for (DWORD index = 0; EnumKey(services.Get(), index, &name) == ERROR_SUCCESS; ++index) {
        if (auto config = ReadServiceKey(services.Get(), name))
            all.push_back(std::move(*config));
    }
    return all;
}

LONG WriteNewService(const ServiceConfig& config)
{
    Key services;
    LONG result = OpenServices(KEY_ALL_ACCESS, services);
    if (result != ERROR_SUCCESS)
        return result;
    Key key;
    DWORD disposition = 0;
    result = CreateKey(services.Get(), config.name, KEY_ALL_ACCESS, key.Out(), &disposition);
    if (result != ERROR_SUCCESS)
        return result;
    result = WriteValues(key.Get(), config);
    if (result != ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY)
        DeleteTree(services.Get(), config.name);
    return result;
}

LONG UpdateService(const ServiceConfig& config)
{
    Key key;
    LONG result =
        OpenKey(HKEY_LOCAL_MACHINE, std::u16string(kServicesKeyPath) + u"\\" + config.name, KEY_ALL_ACCESS, key.Out());
    return result == ERROR_SUCCESS ? WriteValues(key.Get(), config) : result;
}

LONG SetDeleteFlag(std::u16string_view name)
{
    Key key;
    LONG result = OpenKey(HKEY_LOCAL_MACHINE, std::u16string(kServicesKeyPath) + u"\\" + std::u16string(name),
                          KEY_ALL_ACCESS, key.Out());
    return result == ERROR_SUCCESS ? SetValue(key.Get(), u"DeleteFlag", REG_DWORD, DwordBytes(1)) : result;
}

LONG RemoveService(std::u16string_view name)
{
    RemoveRuntimeFiles(name);
    Key services;
    LONG result = OpenKey(HKEY_LOCAL_MACHINE, kServicesKeyPath, KEY_ALL_ACCESS, services.Out());
    if (result != ERROR_SUCCESS)
        return result;
    return DeleteTree(services.Get(), name);
}

} // namespace plat::services
