// The local identity of one object of the peer: answers QueryInterface
// (asking the peer for interfaces it has not seen yet), holds the interface
// proxies made by the proxy/stub libraries, and is the channel they call
// through.
#pragma once

#include "platform/com/RefCounted.h"
#include "platform/rpc/rpcproxy.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace plat::rpc {

class Connection;

// {A73B1F08-2E4D-4C5A-8B61-0F9D3E7C2A15}: answered by a proxy manager
// itself (not AddRef'd), so the runtime can recognise its own proxies.
inline constexpr IID IID_IProxyManagerSelf = plat::MakeGuid("A73B1F08-2E4D-4C5A-8B61-0F9D3E7C2A15");

class ProxyManager final : public RefCounted<IUnknown>, public RpcChannel {
public:
    // Starts with one local and one remote reference; `knownIid` is an
    // interface the peer said the object has.
    ProxyManager(std::shared_ptr<Connection> connection, std::uint64_t object, REFIID knownIid);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;

    MarshalContext* Context() override;
    HRESULT Invoke(REFIID iid, std::uint32_t method, MessageWriter& request, HRESULT& status, Bytes& results) override;
    bool Defer(REFIID iid, std::uint32_t method, MessageWriter& request, HRESULT& status) override;
    // Sends at once, whatever the thread's batch holds.
    HRESULT InvokeNow(REFIID iid, std::uint32_t method, const MessageWriter& request, HRESULT& status, Bytes& results);

    // (The connection takes a found manager with TryAddRef, under its lock,
    // so that one on its way out is not handed out again.)
    // Under the connection's lock: one more reference came from the peer.
    void AddRemoteReference() { ++m_remoteRefs; }
    // The peer said the object has `iid` (an object's interfaces never
    // change, so asking again would only cost a round trip).
    void AddKnownInterface(REFIID iid);

    Connection& Owner() { return *m_connection; }

private:
    // The last local reference went: the connection forgets the manager
    // and the peer gets its references back.
    ~ProxyManager() override;

    std::shared_ptr<Connection> m_connection;
    const std::uint64_t m_object;
    std::uint32_t m_remoteRefs = 1;
    std::mutex m_mutex;
    std::set<IID> m_known;
    std::map<IID, InterfaceProxy*> m_proxies;
};

} // namespace plat::rpc
