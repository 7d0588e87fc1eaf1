// The common part of the interface proxies: IUnknown goes to the object's
// proxy manager, methods go over its channel.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"
#include "platform/rpc/ProxyStubArgs.h"

#include <utility>

namespace rnxhalps {

template <class Itf, const IID& kIid>
class ProxyBase : public Itf, public plat::rpc::InterfaceProxy {
public:
    ProxyBase(plat::rpc::RpcChannel* channel, IUnknown* outer) : m_channel(channel), m_outer(outer) {}

    IUnknown* Interface() override { return static_cast<Itf*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return m_outer->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_outer->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_outer->Release(); }

protected:
    template <class... Args>
    HRESULT Call(std::uint32_t method, Args&&... args)
    {
        return plat::rpc::ProxyCall(m_channel, kIid, method, std::forward<Args>(args)...);
    }

    plat::rpc::RpcChannel* m_channel;

private:
    IUnknown* m_outer;
};

// Makes the proxy of `iid` (null for an interface this library does not
// serve).
plat::rpc::InterfaceProxy* CreateProxy(REFIID iid, plat::rpc::RpcChannel* channel, IUnknown* outer);

// Runs one incoming call (see IProxyStubFactory::Invoke).
HRESULT InvokeStub(REFIID iid, IUnknown* object, std::uint32_t method, plat::rpc::MessageReader& request,
                   plat::rpc::MessageWriter& results);

} // namespace rnxhalps
