// The service database: one registry key per service under
// HKLM\SYSTEM\CurrentControlSet\Services, with the values Windows keeps.
#pragma once

#include "platform/base/wintypes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat::services {

struct ServiceConfig {
    std::u16string name;        // the key name, as written at creation
    std::u16string displayName; // empty when the key has none
    std::u16string imagePath;
    DWORD type = 0;
    DWORD startType = 0;
    DWORD errorControl = 0;
    std::u16string objectName;
    std::u16string group;
    std::vector<std::u16string> dependOnService;
    std::vector<std::u16string> dependOnGroup;
    std::u16string description;
    bool markedForDelete = false;

    // The display name, or the name when there is none.
    const std::u16string& ShownName() const { return displayName.empty() ? name : displayName; }
};

// The path of the services key below HKEY_LOCAL_MACHINE.
extern const char16_t* const kServicesKeyPath;

// Reads a service; nullopt when there is none of that name (compared without
// regard to case). Keys without a Type value are not services.
std::optional<ServiceConfig> ReadService(std::u16string_view name);

// Every service, in name order.
std::vector<ServiceConfig> ReadAllServices();

// Writes a new service key with every value of `config`; Windows error code.
LONG WriteNewService(const ServiceConfig& config);

// Rewrites the configuration values of an existing service.
LONG UpdateService(const ServiceConfig& config);

LONG SetDeleteFlag(std::u16string_view name);

// Removes the service's key and its run-time files.
LONG RemoveService(std::u16string_view name);

// Service names: not empty, at most 256 characters, no '/' or '\'.
bool IsValidServiceName(std::u16string_view name);

// A REG_MULTI_SZ-style list (strings each ended by a zero, the list by an
// empty string) split into its strings; null gives none.
std::vector<std::u16string> SplitMultiString(const WCHAR* list);

// Names compare without regard to case, as the registry's keys do.
bool SameName(std::u16string_view a, std::u16string_view b);

} // namespace plat::services
