// The library's merged proxy/stub part: marshals its 15 interfaces between
// processes. The library's entry points hand to these first.
#pragma once

#include "platform/windows.h"

#include <string_view>

// The proxy/stub class object (IProxyStubFactory) for CLSID_RNXCOMCoreProxyStub;
// CLASS_E_CLASSNOTAVAILABLE for any other class.
HRESULT PrxDllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
// S_FALSE while a reference to the class object or a proxy lives.
HRESULT PrxDllCanUnloadNow();
// HKCR\Interface\{IID} of each interface, naming the proxy/stub class, and
// the class itself.
HRESULT PrxDllRegisterServer(std::u16string_view modulePath, bool perUser);
HRESULT PrxDllUnregisterServer(bool perUser);
