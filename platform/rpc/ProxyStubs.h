// Finding the proxy/stub factory of an interface: IClassFactory is built
// in; the others come from the library registered under
// HKCR\Interface\{IID}\ProxyStubClsid32.
#pragma once

#include "platform/rpc/rpcproxy.h"

namespace plat::rpc {

// Kept for the life of the process (not AddRef'd for the caller); null
// when the interface has no registered proxy/stub.
IProxyStubFactory* FindProxyStubFactory(REFIID iid);

} // namespace plat::rpc
