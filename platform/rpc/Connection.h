// One socket between this process and a peer process, in both directions:
// calls this process makes on the peer's objects (through proxy managers)
// and calls the peer makes on objects this process exported to it.
//
// Object references: exporting an interface pointer gives the peer one
// reference to the object's identity (its IUnknown), counted per
// connection; the peer's proxy manager returns all it holds with one
// release call when its last local reference goes, and that call returns
// once the object has let go. When the connection
// closes (the peer ended, or broke the protocol) every reference the peer
// held is released, and calls waiting for the peer fail at once.
#pragma once

#include "platform/rpc/rpcproxy.h"

#include <map>
#include <memory>
#include <mutex>

namespace plat::rpc {

class ProxyManager;
struct Export;
class PendingCall;

class Connection final : public MarshalContext, public std::enable_shared_from_this<Connection> {
public:
    // Takes the connected socket and starts serving it.
    static std::shared_ptr<Connection> Start(int fd);
    ~Connection() override;

    bool Alive() const;
    DWORD PeerProcessId() const { return m_peerPid; }

    // An outgoing call on the peer's object `object` (see RpcChannel::Invoke).
    HRESULT Call(std::uint64_t object, REFIID iid, std::uint32_t method, const MessageWriter& request,
                 HRESULT& status, Bytes& results);
    // Asks the peer for its registered class object.
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv);
    // Gives back `count` references to the peer's object; returns once the
    // peer has let go of it (or is gone).
    void ReleaseRemote(std::uint64_t object, std::uint32_t count);
    // A proxy manager's last local reference went.
    void ForgetProxy(std::uint64_t object, ProxyManager* manager);
    // Closes the socket; the reader then releases what the peer held.
    void Shutdown();

    HRESULT WriteInterface(MessageWriter& writer, REFIID iid, IUnknown* object) override;
    HRESULT ReadInterface(MessageReader& reader, REFIID iid, void** ppv) override;
    void TakeBackExported(const MessageWriter& unsent) override;

private:
    explicit Connection(int fd);
    void ReadLoop();
    bool HandleRequest(std::uint32_t callId, Bytes body);
    bool ReadReply(const FrameHeader& header);
    void DropReferences(const std::shared_ptr<Export>& target, std::uint32_t count);
    void ServeCall(const std::shared_ptr<Export>& target, REFIID iid, std::uint32_t method, std::uint32_t callId,
                   const Bytes& body, size_t offset);
    void ServeClassObject(std::uint32_t callId, REFCLSID clsid, REFIID iid);
    void SendReply(std::uint32_t callId, bool fault, HRESULT hr, const MessageWriter* results);
    bool Send(FrameType type, std::uint32_t callId, const Bytes& head, const MessageWriter* more);
    void OnClosed();

    mutable std::mutex m_mutex; // everything below but the socket writes
    std::mutex m_writeMutex;
    int m_fd;
    DWORD m_peerPid = 0;
    bool m_closed = false;
    std::uint32_t m_nextCallId = 0;
    std::uint64_t m_nextObject = 1;
    std::map<std::uint32_t, std::shared_ptr<PendingCall>> m_pending;
    std::map<std::uint64_t, std::shared_ptr<Export>> m_exports;
    std::map<IUnknown*, std::uint64_t> m_exportByIdentity;
    std::map<std::uint64_t, ProxyManager*> m_proxies;
};

// The process id of the peer behind a proxy (0 for a local object).
DWORD PeerProcessIdOf(IUnknown* proxy);

} // namespace plat::rpc
