// The common part of the interface proxies: IUnknown goes to the object's
// proxy manager, methods go over its channel.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"
#include "platform/rpc/InterfaceProxyBase.h"

namespace rnxhalps {

template <class Itf, const IID& kIid>
using ProxyBase = plat::rpc::InterfaceProxyBase<Itf, kIid>;

// Makes the proxy of `iid` (null for an interface this library does not
// serve).
plat::rpc::InterfaceProxy* CreateProxy(REFIID iid, plat::rpc::RpcChannel* channel, IUnknown* outer);

// Runs one incoming call (see IProxyStubFactory::Invoke).
HRESULT InvokeStub(REFIID iid, IUnknown* object, std::uint32_t method, plat::rpc::MessageReader& request,
                   plat::rpc::MessageWriter& results);

} // namespace rnxhalps
