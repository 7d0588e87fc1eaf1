// Registration of a proxy/stub library: its factory class and, for each
// interface it marshals, the keys that lead the runtime to it.
//
//   HKCR\CLSID\{factory}                 = description
//       InprocServer32                    = the library's path, ThreadingModel "Both"
//   HKCR\Interface\{IID}                 = the interface's name
//       ProxyStubClsid32                  = {factory}
//       NumMethods                        = its vtable size, IUnknown included
#pragma once

#include "platform/base/guid.h"
#include "platform/base/winerror.h"

#include <span>
#include <string_view>

namespace plat::rpc {

struct ProxyStubInterface {
    const IID* iid;
    const char16_t* name;
    unsigned methods;
};

// Writes the keys above (`perUser`: under HKCU\Software\Classes); a
// registration that fails half-way is taken back.
HRESULT RegisterProxyStubs(REFCLSID factory, std::u16string_view description, std::u16string_view modulePath,
                           std::span<const ProxyStubInterface> interfaces, bool perUser = false);
// Removes them; keys that are not there are no error.
HRESULT UnregisterProxyStubs(REFCLSID factory, std::span<const ProxyStubInterface> interfaces, bool perUser = false);

} // namespace plat::rpc
