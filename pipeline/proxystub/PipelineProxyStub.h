// What the library's proxies and stubs share: the proxy base, the lock
// count of the proxy/stub part, and the two calls its factory makes.
//
// A proxy serves the four IDispatch operations of its dual interface itself,
// from the library's type information: a late-bound call becomes the vtable
// call it names, and that crosses. Nothing of IDispatch goes over the wire.
#pragma once

#include "pipeline/RNXCOMCoreInterfaces.h"
#include "platform/rpc/InterfaceProxyBase.h"
#include "platform/rpc/ProxyStubRegistration.h"

#include <span>

namespace rnxcoreps {

// Counts the references to the proxy/stub class object and the live
// proxies: the library stays loaded while any exists.
plat::ComModule& ProxyStubLocks();

template <class Itf, const IID& kIid, plat::TypeInfo& (*kInfo)()>
class ProxyBase : public plat::rpc::InterfaceProxyBase<plat::DispatchImpl<Itf>, kIid> {
public:
    ProxyBase(plat::rpc::RpcChannel* channel, IUnknown* outer)
        : plat::rpc::InterfaceProxyBase<plat::DispatchImpl<Itf>, kIid>(channel, outer, kInfo())
    {
    }

private:
    plat::ModuleLock m_lock{ProxyStubLocks()};
};

// The 15 interfaces this part marshals, with their names and vtable sizes.
std::span<const plat::rpc::ProxyStubInterface> PipelineInterfaces();
bool IsPipelineInterface(REFIID iid);

// The proxy of `iid`; null for an interface this part does not marshal (or
// when memory runs out).
plat::rpc::InterfaceProxy* CreateProxy(REFIID iid, plat::rpc::RpcChannel* channel, IUnknown* outer);

// Runs one incoming call on `object`, the pointer of interface `iid` (see
// IProxyStubFactory::Invoke).
HRESULT InvokeStub(REFIID iid, IUnknown* object, std::uint32_t method, plat::rpc::MessageReader& request,
                   plat::rpc::MessageWriter& results);

} // namespace rnxcoreps
