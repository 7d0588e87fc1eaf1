#include "platform/resources/module.h"

#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {

// Libraries loaded through LoadLibrary (or pinned by GetModuleHandleEx), with
// the dlopen handle that keeps each one loaded and how often it was loaded.
struct LoadedLibrary {
    void* dl = nullptr;
    int count = 0;
};

std::mutex& LoadedMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::map<HMODULE, LoadedLibrary>& Loaded()
{
    // Never destroyed: libraries may be freed from static destructors.
    static auto* loaded = new std::map<HMODULE, LoadedLibrary>;
    return *loaded;
}

std::string ProgramPath()
{
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    return std::string(buffer, static_cast<size_t>(n));
}

std::string AbsolutePath(const char* path)
{
    if (!path || !*path)
        return {};
    char resolved[PATH_MAX];
    if (realpath(path, resolved))
        return resolved;
    return path;
}

std::string FileNameOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string WithoutExtension(const std::string& name)
{
    size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::vector<HMODULE> AllModules()
{
    std::vector<HMODULE> modules;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                if (info->dlpi_phdr[i].p_type != PT_LOAD)
                    continue;
                auto* address = reinterpret_cast<const void*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
                if (HMODULE module = plat::ModuleFromAddress(address))
                    static_cast<std::vector<HMODULE>*>(data)->push_back(module);
                break;
            }
            return 0;
        },
        &modules);
    return modules;
}

// The Windows system libraries whose calls this platform library provides:
// LoadLibrary and GetModuleHandle of these names give the platform library,
// so looking an entry up at run time (GetProcAddress of a function declared
// extern "C") finds the platform's own.
bool IsSystemLibraryName(const std::string& name)
{
    static const char* const kSystemLibraries[] = {
        "kernel32", "user32",   "advapi32", "ole32",    "oleaut32", "wtsapi32", "shell32", "shlwapi",
        "comctl32", "comdlg32", "gdi32",    "setupapi", "cfgmgr32", "version",  "uxtheme",
    };
    std::string base = name;
    if (base.size() > 4 && EqualNoCase(base.substr(base.size() - 4), ".dll"))
        base.resize(base.size() - 4);
    for (const char* system : kSystemLibraries)
        if (EqualNoCase(base, system))
            return true;
    return false;
}

HMODULE PlatformModule() { return plat::ModuleFromAddress(reinterpret_cast<const void*>(&PlatformModule)); }

HMODULE FindModuleByName(const std::string& name)
{
    if (IsSystemLibraryName(name))
        return PlatformModule();
    if (name.find('/') != std::string::npos) {
        std::string wanted = AbsolutePath(name.c_str());
        for (HMODULE module : AllModules())
            if (plat::ModulePath(module) == wanted)
                return module;
        return nullptr;
    }
    bool hasExtension = name.find('.') != std::string::npos;
    for (HMODULE module : AllModules()) {
        std::string file = FileNameOf(plat::ModulePath(module));
        if (EqualNoCase(file, name) || (!hasExtension && EqualNoCase(WithoutExtension(file), name)))
            return module;
    }
    return nullptr;
}

// Opens an extra dlopen reference on a loaded module; the caller closes it.
void* OpenLoaded(HMODULE module)
{
    if (module == plat::ProgramModule())
        return dlopen(nullptr, RTLD_LAZY);
    std::string path = plat::ModulePath(module);
    return path.empty() ? nullptr : dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
}

// The module a dlopen handle stands for: dlsym of the handle's own dynamic
// section is not possible, so ask the link map for it.
HMODULE ModuleOfHandle(void* dl)
{
    link_map* map = nullptr;
    if (dlinfo(dl, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return nullptr;
    return plat::ModuleFromAddress(map->l_ld);
}

void AddReference(HMODULE module, void* dl)
{
    std::lock_guard lock(LoadedMutex());
    LoadedLibrary& entry = Loaded()[module];
    if (entry.dl)
        dlclose(dl); // the first handle already keeps it; the count says how often
    else
        entry.dl = dl;
    ++entry.count;
}

HMODULE LoadLibraryUtf8(const std::string& name)
{
    if (name.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (IsSystemLibraryName(name))
        return PlatformModule(); // loaded for as long as the process runs
    std::vector<std::string> candidates;
    if (name.find('/') == std::string::npos) {
        std::string program = ProgramPath();
        size_t slash = program.rfind('/');
        if (slash != std::string::npos)
            candidates.push_back(program.substr(0, slash + 1) + name);
    }
    candidates.push_back(name);

    bool found = false;
    for (const std::string& candidate : candidates) {
        bool isPath = candidate.find('/') != std::string::npos;
        struct stat st {};
        if (isPath && stat(candidate.c_str(), &st) != 0)
            continue;
        if (void* dl = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            HMODULE module = ModuleOfHandle(dl);
            if (!module) {
                dlclose(dl);
                SetLastError(ERROR_BAD_EXE_FORMAT);
                return nullptr;
            }
            AddReference(module, dl);
            return module;
        }
        found = found || isPath;
    }
    SetLastError(found ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
    return nullptr;
}

std::string NarrowName(LPCWSTR name) { return Utf16ToUtf8(std::u16string_view(name, WideLength(name))); }

BOOL GetModuleHandleExCommon(DWORD flags, const void* nameOrAddress, bool wide, HMODULE* result)
{
    if (!result) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *result = nullptr;
    HMODULE module = nullptr;
    if (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)
        module = plat::ModuleFromAddress(nameOrAddress);
    else if (!nameOrAddress)
        module = plat::ProgramModule();
    else
        module = FindModuleByName(wide ? NarrowName(static_cast<LPCWSTR>(nameOrAddress))
                                       : std::string(static_cast<LPCSTR>(nameOrAddress)));
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    bool counted = !(flags & (GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_PIN));
    if (counted && module != plat::ProgramModule()) {
        if (void* dl = OpenLoaded(module))
            AddReference(module, dl);
    }
    *result = module;
    return TRUE;
}

template <typename Char>
DWORD CopyTruncated(const std::basic_string<Char>& text, Char* buffer, DWORD size)
{
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (text.size() < size) {
        std::copy(text.begin(), text.end(), buffer);
        buffer[text.size()] = 0;
        return static_cast<DWORD>(text.size());
    }
    std::copy_n(text.begin(), size - 1, buffer);
    buffer[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

} // namespace

namespace plat {

HMODULE ModuleFromAddress(const void* address)
{
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0)
        return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

HMODULE ProgramModule()
{
    static HMODULE program = [] {
        HMODULE found = nullptr;
        dl_iterate_phdr(
            [](dl_phdr_info* info, size_t, void* data) {
                for (int i = 0; i < info->dlpi_phnum; ++i) {
                    if (info->dlpi_phdr[i].p_type == PT_LOAD) {
                        auto* address = reinterpret_cast<const void*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
                        *static_cast<HMODULE*>(data) = ModuleFromAddress(address);
                        break;
                    }
                }
                return 1; // the first object is the program
            },
            &found);
        return found;
    }();
    return program;
}

std::vector<HMODULE> LoadedModules() { return AllModules(); }

std::string ModulePath(HMODULE module)
{
    if (!module)
        return {};
    if (module == ProgramModule())
        return ProgramPath();
    Dl_info info{};
    if (dladdr(module, &info) == 0 || info.dli_fbase != module)
        return {};
    return AbsolutePath(info.dli_fname);
}

std::string PlatformFolder()
{
    const std::string path = ModulePath(ModuleFromAddress(reinterpret_cast<const void*>(&PlatformFolder)));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

namespace {

// Tells a library's detach at process exit from one at unloading. exit()
// destroys the calling thread's thread-local objects before it runs the
// static destructors, the platform's own among them; a library still
// loaded then is detached after that, when the platform's state may be
// gone. `t_threadEnding` itself has no destructor and stays readable.
thread_local bool t_threadEnding = false;

struct ThreadEndSentinel {
    ~ThreadEndSentinel() { t_threadEnding = true; }
};
thread_local ThreadEndSentinel t_sentinel;

} // namespace

DllMainCaller::DllMainCaller(Entry entry) : m_entry(entry), m_module(ModuleFromAddress(this))
{
    static_cast<void>(&t_sentinel); // made on the loading thread, so its end is seen
    if (m_entry)
        m_entry(m_module, DLL_PROCESS_ATTACH, nullptr);
}

DllMainCaller::~DllMainCaller()
{
    // As on Windows, a detach at process termination has a non-null
    // reserved argument.
    if (m_entry)
        m_entry(m_module, DLL_PROCESS_DETACH, t_threadEnding ? reinterpret_cast<LPVOID>(1) : nullptr);
}

} // namespace plat

HMODULE GetModuleHandleW(LPCWSTR lpModuleName)
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, lpModuleName, &module);
    return module;
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName)
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, lpModuleName, &module);
    return module;
}

BOOL GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule)
{
    return GetModuleHandleExCommon(dwFlags, lpModuleName, true, phModule);
}

BOOL GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule)
{
    return GetModuleHandleExCommon(dwFlags, lpModuleName, false, phModule);
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
    std::string path = plat::ModulePath(hModule ? hModule : plat::ProgramModule());
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    return CopyTruncated(Utf8ToUtf16(path), lpFilename, nSize);
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    std::string path = plat::ModulePath(hModule ? hModule : plat::ProgramModule());
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    return CopyTruncated(path, lpFilename, nSize);
}

HMODULE LoadLibraryW(LPCWSTR lpLibFileName)
{
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadLibraryUtf8(NarrowName(lpLibFileName));
}

HMODULE LoadLibraryA(LPCSTR lpLibFileName)
{
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadLibraryUtf8(lpLibFileName);
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    // Names are pointers; small values would be ordinals, which ELF lacks.
    if (!lpProcName || reinterpret_cast<ULONG_PTR>(lpProcName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    HMODULE module = hModule ? hModule : plat::ProgramModule();
    void* dl = OpenLoaded(module);
    if (!dl) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* symbol = dlsym(dl, lpProcName);
    dlclose(dl);
    if (!symbol || plat::ModuleFromAddress(symbol) != module) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE hLibModule)
{
    void* toClose = nullptr;
    {
        std::lock_guard lock(LoadedMutex());
        auto it = Loaded().find(hLibModule);
        if (it != Loaded().end()) {
            if (--it->second.count == 0) {
                toClose = it->second.dl;
                Loaded().erase(it);
            }
        } else if (plat::ModulePath(hLibModule).empty()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    // Outside the lock: unloading runs the library's static destructors,
    // which may free libraries of their own.
    if (toClose)
        dlclose(toClose);
    return TRUE;
}
