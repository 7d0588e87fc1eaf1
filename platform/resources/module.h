// Modules: the program and the shared libraries loaded into the process.
//
// A module handle is the load address of the module, as dladdr reports it
// (dli_fbase), so the handle of "the module containing this address" is
// cheap to find and stable for as long as the module stays loaded.
#pragma once

#include "platform/base/wintypes.h"

#include <string>
#include <vector>

// Entry point of a library, as GetProcAddress hands it out.
using FARPROC = void (*)();

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_PIN = 0x1;
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x2;
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x4;

extern "C" {

// A null name gives the program; a Windows system library name the platform
// library (as LoadLibrary). A name matches a loaded module by its full
// path or by its file name, compared without regard to case; a name without
// an extension also matches a file name that has one ("libfoo" finds
// "libfoo.so").
HMODULE GetModuleHandleW(LPCWSTR lpModuleName);
HMODULE GetModuleHandleA(LPCSTR lpModuleName);
// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, lpModuleName is any address
// inside the module. Without UNCHANGED_REFCOUNT the library stays loaded
// until a matching FreeLibrary.
BOOL GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule);
BOOL GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule);

// The module's full path (a null handle gives the program). A path that does
// not fit is cut to nSize - 1 characters and terminated; the result is then
// nSize with ERROR_INSUFFICIENT_BUFFER. Otherwise the length without the
// terminator; 0 with ERROR_MOD_NOT_FOUND for a handle that is no module.
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

// Loads a shared library (dlopen). A name without a '/' is looked for in the
// program's folder first, then where the dynamic loader looks. The names of
// Windows system libraries ("Kernel32.DLL", "wtsapi32", ...) give the
// platform library itself, whose extern "C" calls GetProcAddress then finds.
// Null with ERROR_MOD_NOT_FOUND when there is no such file,
// ERROR_BAD_EXE_FORMAT when the file is there but cannot be loaded.
HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
HMODULE LoadLibraryA(LPCSTR lpLibFileName);
// Only symbols defined in the module itself are found (not those of the
// libraries it depends on); null with ERROR_PROC_NOT_FOUND otherwise.
// Ordinals are not supported.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// Balances LoadLibrary (and GetModuleHandleEx without UNCHANGED_REFCOUNT);
// the library is unloaded when its count reaches zero.
BOOL FreeLibrary(HMODULE hLibModule);

} // extern "C"

namespace plat {

// The module that holds `address` (code or data), or null.
HMODULE ModuleFromAddress(const void* address);
// The program's own module.
HMODULE ProgramModule();
// The module's full path in UTF-8; empty for a handle that is no module.
std::string ModulePath(HMODULE module);
// Every module loaded in the process, the program first.
std::vector<HMODULE> LoadedModules();
// The folder the platform library was loaded from. The suite's other
// libraries, the driver files an installation copies and the system's own
// tools (net, regsvr32) lie beside it, in the build's bin folder as in an
// installation's library folder (lib/qbk24).
std::string PlatformFolder();

// The module this code is compiled into. The function has internal linkage,
// so every module gets its own copy and its own answer.
namespace {
[[maybe_unused]] HMODULE ThisModule() { return ModuleFromAddress(reinterpret_cast<const void*>(&ThisModule)); }
} // namespace

// Calls a library's DllMain the way the Windows loader would: with
// DLL_PROCESS_ATTACH when the library is loaded and DLL_PROCESS_DETACH when
// it is unloaded. A library defines one static instance:
//     static plat::DllMainCaller s_dllMain(&DllMain);
// Thread attach and detach notifications are not sent.
class DllMainCaller {
public:
    using Entry = BOOL (*)(HINSTANCE, DWORD, LPVOID);
    explicit DllMainCaller(Entry entry);
    ~DllMainCaller();
    DllMainCaller(const DllMainCaller&) = delete;
    DllMainCaller& operator=(const DllMainCaller&) = delete;

private:
    Entry m_entry;
    HMODULE m_module;
};

} // namespace plat
