// Proxies of the library without a second process: a channel that hands
// each request's bytes to the library's stub on a local object and the
// reply's bytes back, as a connection does (without interface references:
// those need a real connection).
#pragma once

#include "pipeline/RNXCOMCoreInterfaces.h"
#include "platform/com/ComPtr.h"
#include "platform/rpc/rpcproxy.h"

#include <functional>
#include <memory>

namespace pipelinetest {

class LoopbackChannel final : public plat::rpc::RpcChannel {
public:
    LoopbackChannel(plat::rpc::IProxyStubFactory* factory, IUnknown* object) : m_factory(factory), m_object(object) {}

    plat::rpc::MarshalContext* Context() override { return nullptr; }

    HRESULT Invoke(REFIID iid, std::uint32_t method, plat::rpc::MessageWriter& request, HRESULT& status,
                   plat::rpc::Bytes& results) override
    {
        ++calls;
        lastMethod = method;
        std::vector<iovec> pieces;
        request.AppendPieces(pieces);
        plat::rpc::Bytes bytes;
        for (const iovec& piece : pieces) {
            auto* begin = static_cast<const std::uint8_t*>(piece.iov_base);
            bytes.insert(bytes.end(), begin, begin + piece.iov_len);
        }
        plat::ComPtr<IUnknown> typed;
        if (FAILED(m_object->QueryInterface(iid, typed.ReleaseAndGetVoidAddress())))
            return E_NOINTERFACE;
        plat::rpc::MessageReader reader(bytes.data(), bytes.size());
        plat::rpc::MessageWriter out;
        status = m_factory->Invoke(iid, typed.Get(), method, reader, out);
        // A request the stub could not take apart is a fault, as on a
        // connection.
        if (status == RPC_E_INVALID_DATA && out.Data().empty())
            return RPC_E_INVALID_DATA;
        results = std::move(out.Data());
        if (tamper)
            tamper(results);
        return S_OK;
    }

    int calls = 0;
    std::uint32_t lastMethod = 0;
    // Changes a reply before the proxy reads it.
    std::function<void(plat::rpc::Bytes&)> tamper;

private:
    plat::rpc::IProxyStubFactory* m_factory;
    IUnknown* m_object;
};

// The identity a proxy's IUnknown operations go to.
class CountingOuter final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = riid == IID_IUnknown ? static_cast<IUnknown*>(this) : nullptr;
        return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
};

// A proxy of interface Itf over a loopback to `object`.
template <class Itf>
struct LoopbackProxy {
    LoopbackProxy(plat::rpc::IProxyStubFactory* factory, REFIID iid, IUnknown* object) : channel(factory, object)
    {
        plat::rpc::InterfaceProxy* made = nullptr;
        result = factory->CreateProxy(iid, &channel, &outer, &made);
        proxy.reset(made);
    }
    Itf* operator->() const { return static_cast<Itf*>(proxy->Interface()); }
    Itf* Get() const { return proxy ? static_cast<Itf*>(proxy->Interface()) : nullptr; }

    LoopbackChannel channel;
    CountingOuter outer;
    HRESULT result = E_FAIL;
    std::unique_ptr<plat::rpc::InterfaceProxy> proxy;
};

} // namespace pipelinetest
