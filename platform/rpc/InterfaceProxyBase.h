// The common part of hand-written interface proxies: IUnknown goes to the
// object's proxy manager (the outer unknown), methods go over its channel.
//
//     class FooProxy final : public plat::rpc::InterfaceProxyBase<IFoo, IID_IFoo> {
//     public:
//         using InterfaceProxyBase::InterfaceProxyBase;
//         HRESULT STDMETHODCALLTYPE Bar(LONG value) override { return Call(3, LongIn{value}); }
//     };
//
// `Base` is the interface, or a class deriving from it that supplies some of
// its methods locally; its constructor takes `baseArgs`.
#pragma once

#include "platform/rpc/ProxyStubArgs.h"

#include <utility>

namespace plat::rpc {

template <class Base, const IID& kIid>
class InterfaceProxyBase : public Base, public InterfaceProxy {
public:
    template <class... BaseArgs>
    InterfaceProxyBase(RpcChannel* channel, IUnknown* outer, BaseArgs&&... baseArgs)
        : Base(std::forward<BaseArgs>(baseArgs)...), m_channel(channel), m_outer(outer)
    {
    }

    IUnknown* Interface() override { return static_cast<Base*>(this); }

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
        return ProxyCall(m_channel, kIid, method, std::forward<Args>(args)...);
    }

    RpcChannel* Channel() const { return m_channel; }

private:
    RpcChannel* m_channel;
    IUnknown* m_outer;
};

} // namespace plat::rpc
