// Setting up the toy service in a test's system root, and ending the
// processes a test started.
#pragma once

#include "halservice/proxystub/testing/ToyHAL.h"
#include "platform/testing/ChildProcess.h"

#include <string>

namespace toyhal {

// Registers the proxy/stub library (its own DllRegisterServer) and the toy
// class with `peer` as its local server.
inline bool RegisterToy(const char* proxyStubLibrary, const char* peer)
{
    HMODULE library = LoadLibraryA(proxyStubLibrary);
    if (!library)
        return false;
    auto registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(library, "DllRegisterServer"));
    bool ok = registerServer && SUCCEEDED(registerServer());
    FreeLibrary(library);
    if (!ok)
        return false;
    // Appended piece by piece: operator+ chains trip a false -Wrestrict in optimised GCC builds.
    std::u16string key = u"CLSID\\";
    key.append(plat::GuidToWideString(CLSID_ToyHALS)).append(u"\\LocalServer32");
    std::u16string command = u"\"";
    command.append(Utf8ToUtf16(peer)).append(u"\"");
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LSTATUS status = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                    static_cast<DWORD>((command.size() + 1) * sizeof(char16_t)));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

using plat::testing::KillAndWait;

} // namespace toyhal
