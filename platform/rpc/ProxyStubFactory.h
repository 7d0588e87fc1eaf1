// The class object of a proxy/stub library: IProxyStubFactory over the
// library's two functions, the one that makes proxies and the one that runs
// stubs. One per library, for the life of the process; with `locks`, every
// reference handed out counts on that module, so that DllCanUnloadNow can
// keep the library while the runtime holds its class object.
#pragma once

#include "platform/com/ComModule.h"
#include "platform/rpc/rpcproxy.h"

namespace plat::rpc {

class ProxyStubFactory final : public IProxyStubFactory {
public:
    // The proxy of `iid`, or null for an interface the library does not
    // marshal.
    using ProxyMaker = InterfaceProxy* (*)(REFIID iid, RpcChannel* channel, IUnknown* outer);
    // IProxyStubFactory::Invoke with a non-null object.
    using StubInvoker = HRESULT (*)(REFIID iid, IUnknown* object, std::uint32_t method, MessageReader& request,
                                    MessageWriter& results);

    ProxyStubFactory(ProxyMaker makeProxy, StubInvoker invokeStub, ComModule* locks = nullptr)
        : m_makeProxy(makeProxy), m_invokeStub(invokeStub), m_locks(locks)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IProxyStubFactory) {
            *ppv = static_cast<IProxyStubFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        if (m_locks)
            m_locks->Lock();
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        if (m_locks)
            m_locks->Unlock();
        return 1;
    }

    HRESULT STDMETHODCALLTYPE CreateProxy(REFIID iid, RpcChannel* channel, IUnknown* outer,
                                          InterfaceProxy** proxy) override
    {
        if (!proxy || !channel || !outer)
            return E_POINTER;
        *proxy = m_makeProxy(iid, channel, outer);
        return *proxy ? S_OK : E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE Invoke(REFIID iid, IUnknown* object, std::uint32_t method, MessageReader& request,
                                     MessageWriter& results) override
    {
        if (!object)
            return E_POINTER;
        return m_invokeStub(iid, object, method, request, results);
    }

private:
    ProxyMaker m_makeProxy;
    StubInvoker m_invokeStub;
    ComModule* m_locks;
};

} // namespace plat::rpc
