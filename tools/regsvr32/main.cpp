// regsvr32: loads a server library and calls its DllRegisterServer (or,
// with /u, DllUnregisterServer). What would be a message box is a line on
// standard error, left out with /s. Exit codes: 0 done, 1 bad arguments, 3 the
// library cannot be loaded, 4 it has no such entry, 5 the entry failed.
#include "platform/windows.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool SwitchIs(const char* arg, const char* name)
{
    if (arg[0] != '/' && arg[0] != '-')
        return false;
    for (size_t i = 0;; ++i) {
        const char a = static_cast<char>(arg[i + 1] >= 'A' && arg[i + 1] <= 'Z' ? arg[i + 1] - 'A' + 'a' : arg[i + 1]);
        if (a != name[i])
            return false;
        if (a == '\0')
            return true;
    }
}

} // namespace

int main(int argc, char** argv)
{
    bool unregister = false;
    bool silent = false;
    std::string library;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        // "/u" written against the opening quote of the path arrives as one
        // argument: "/u<path>".
        if ((arg[0] == '/' || arg[0] == '-') && (arg[1] == 'u' || arg[1] == 'U') && arg[2] != '\0' &&
            !SwitchIs(arg, "s")) {
            unregister = true;
            library = arg + 2;
        } else if (SwitchIs(arg, "u")) {
            unregister = true;
        } else if (SwitchIs(arg, "s")) {
            silent = true;
        } else if (library.empty()) {
            library = arg;
        } else {
            std::fprintf(stderr, "regsvr32: more than one library given\n");
            return 1;
        }
    }
    if (library.empty()) {
        std::fprintf(stderr, "usage: regsvr32 [/s] [/u] library\n");
        return 1;
    }

    HMODULE module = LoadLibraryW(Utf8ToUtf16(library).c_str());
    if (!module) {
        if (!silent)
            std::fprintf(stderr, "regsvr32: cannot load %s (error %u)\n", library.c_str(),
                         static_cast<unsigned>(GetLastError()));
        return 3;
    }
    const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, entryName));
    if (!entry) {
        if (!silent)
            std::fprintf(stderr, "regsvr32: %s has no %s\n", library.c_str(), entryName);
        FreeLibrary(module);
        return 4;
    }
    CoInitialize(nullptr);
    const HRESULT hr = entry();
    CoUninitialize();
    FreeLibrary(module);
    if (FAILED(hr)) {
        if (!silent)
            std::fprintf(stderr, "regsvr32: %s of %s failed: 0x%08X\n", entryName, library.c_str(),
                         static_cast<unsigned>(hr));
        return 5;
    }
    return 0;
}
