// Resources a module compiles into itself: string tables, version
// information and binary resources (firmware images, icons, registry
// scripts). A module describes them as plain constant data and registers
// them with one static ResourceRegistrar; the resource calls (LoadString,
// GetFileVersionInfo, FindResource) then find them by the module's handle.
//
//     const plat::StringResource kStrings[] = {{10000, u"Quorvant"}, ...};
//     const plat::ModuleResources kResources{.strings = kStrings, .version = &kVersion};
//     const plat::ResourceRegistrar kRegistrar(kResources);
//
// A module may hold several registrars (one per source file, say); their
// resources add up. A binary file becomes a resource through the CMake
// function qbk_embed_resource (platform/resources/EmbedResource.cmake).
#pragma once

#include "platform/base/wintypes.h"

#include <span>

namespace plat {

// A resource type or name: a number, or a text compared without regard to case.
class ResourceId {
public:
    constexpr ResourceId(WORD id) : m_id(id) {}
    constexpr ResourceId(const WCHAR* name) : m_name(name) {}

    constexpr bool IsNumber() const { return m_name == nullptr; }
    constexpr WORD Number() const { return m_id; }
    constexpr const WCHAR* Name() const { return m_name; }

private:
    WORD m_id = 0;
    const WCHAR* m_name = nullptr;
};

struct StringResource {
    UINT id;
    const WCHAR* text; // null-terminated; an empty text counts as absent
};

struct BinaryResource {
    ResourceId type;
    ResourceId name;
    const BYTE* data;
    DWORD size;
};

struct VersionString {
    const WCHAR* key; // "FileDescription", "ProductName", ...
    const WCHAR* value;
};

// One language and code page of the string information, e.g. 0x0409 / 1200
// ("040904B0").
struct VersionStringTable {
    WORD language;
    WORD codePage;
    std::span<const VersionString> strings;
};

struct VersionResource {
    WORD fileVersion[4] = {}; // major, minor, build, revision
    WORD productVersion[4] = {};
    DWORD fileFlagsMask = 0x3F;
    DWORD fileFlags = 0;
    DWORD fileOS = 0x00040004; // VOS_NT_WINDOWS32
    DWORD fileType = 2;        // VFT_DLL; 1 is VFT_APP
    DWORD fileSubtype = 0;
    std::span<const VersionStringTable> stringTables = {}; // also the translation list, in this order
};

struct ModuleResources {
    std::span<const StringResource> strings = {};
    const VersionResource* version = nullptr;
    std::span<const BinaryResource> binaries = {};
};

// Registers `resources` for the module that holds the registrar object,
// from the module's load until its unload. The data must outlive the
// registrar (static constants do).
class ResourceRegistrar {
public:
    explicit ResourceRegistrar(const ModuleResources& resources);
    ~ResourceRegistrar();
    ResourceRegistrar(const ResourceRegistrar&) = delete;
    ResourceRegistrar& operator=(const ResourceRegistrar&) = delete;

private:
    HMODULE m_module;
    const ModuleResources* m_resources;
};

} // namespace plat
