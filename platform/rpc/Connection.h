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
//
// Nothing waits for the peer: frames go out without blocking the sender and
// what the socket has no room for waits in the connection's send queue
// (see SendQueue), sent on by the process's flusher. What one peer may cost
// is bounded by the memory its frames hold (see PeerBudget): its requests
// until their calls return and the replies it has not read; a peer that
// does not read its replies is cut off. Only peers of this process's user
// are served; each class socket serves at most kMaxConnections at once.
#pragma once

#include "platform/rpc/rpcproxy.h"

#include "platform/rpc/PeerBudget.h"
#include "platform/rpc/SendQueue.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <vector>
#include <memory>
#include <mutex>

namespace plat::rpc {

class Connection;
class ProxyManager;
struct Export;
class PendingCall;
class HeldRequest;

// The connections one listening socket serves at once. When every slot is
// taken, a new client gets the place of a connection that lies idle: no
// call runs on it either way and nothing has crossed it for kIdleMs. Never
// that of a peer that lends this process objects (a client waiting for
// events on its sink is idle for good reasons), nor of a process the
// server keeps (SetPeerKeeper: the holder of the scanner's lock). Peers
// that hold none of the server's objects go first, then the one idle
// longest. When no connection may go, the client is refused.
class ConnectionSlots : public std::enable_shared_from_this<ConnectionSlots> {
public:
    static constexpr int kMaxConnections = 32;
    static constexpr ULONGLONG kIdleMs = 10000;

    // Serves the accepted socket `fd`, letting an idle connection go when
    // that is the only way; false when the client must be refused.
    bool Admit(int fd);
    // A connection has closed.
    void Leave(const Connection* connection);

private:
    std::mutex m_mutex;
    std::vector<std::shared_ptr<Connection>> m_served;
};

// How a connection stands when its slot is wanted.
struct ConnectionStanding {
    bool busy = false;         // a call runs on it, either way
    bool holdsObjects = false; // the peer holds objects of this process
    bool lendsObjects = false; // this process holds objects of the peer
    ULONGLONG quietSince = 0;  // when a frame last crossed it (installed clock)
    DWORD peer = 0;
};

// Which of the connections standing as `standings` may give its place to a
// new client at `now` (see ConnectionSlots); `kept` tells the processes
// the server keeps. standings.size() when none may.
std::size_t IdleToLetGo(const std::vector<ConnectionStanding>& standings, ULONGLONG now,
                        const std::function<bool(DWORD)>& kept);

class Connection final : public MarshalContext, public std::enable_shared_from_this<Connection> {
public:
    // Takes the connected socket and starts serving it; a connection
    // accepted by a listener holds one of its `slots` until it closes.
    static std::shared_ptr<Connection> Start(int fd, std::shared_ptr<ConnectionSlots> slots = nullptr);
    // Turns away a peer that was just accepted: it is told `why` in a reply
    // to call id 0 (kRefusalCallId), which fails its calls with that
    // HRESULT, and the socket is closed.
    static void Refuse(int fd, HRESULT why);
    ~Connection() override;

    bool Alive() const;
    DWORD PeerProcessId() const { return m_peerPid; }
    ConnectionStanding Standing() const;
    // Lets an idle connection go so that a new client may have its place.
    void LetGo();

    // An outgoing call on the peer's object `object` (see RpcChannel::Invoke).
    HRESULT Call(std::uint64_t object, REFIID iid, std::uint32_t method, const MessageWriter& request, HRESULT& status,
                 Bytes& results);
    // Asks the peer for its registered class object.
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv);
    // Gives back `count` references to the peer's object; returns once the
    // peer has let go of it (or is gone).
    void ReleaseRemote(std::uint64_t object, std::uint32_t count);
    // A proxy manager's last local reference went.
    void ForgetProxy(std::uint64_t object, ProxyManager* manager);
    // Closes the socket; the reader then releases what the peer held.
    void Shutdown();
    // The flusher: the socket has room for what waits.
    void FlushWaiting();

    // What the peer holds now (see PeerBudget): the memory of the replies it
    // has not read, and of its requests whose calls have not returned.
    std::size_t WaitingOutputBytes();
    std::size_t WaitingInputBytes();
    // Whether the reader thread waits until the peer has room for its next
    // request.
    bool RequestWaitsForRoom() const;

    HRESULT WriteInterface(MessageWriter& writer, REFIID iid, IUnknown* object) override;
    HRESULT WriteInterfaceExpecting(MessageWriter& writer, REFIID iid, IUnknown* object, REFIID expected) override;
    HRESULT ReadInterface(MessageReader& reader, REFIID iid, void** ppv) override;
    void TakeBackExported(const MessageWriter& unsent) override;

private:
    Connection(int fd, std::shared_ptr<ConnectionSlots> slots);
    void Crossed(); // a frame went out or came in
    void ReadLoop();
    // The reader thread's turn: polls until the socket is readable while no
    // caller reads it (see WaitForReply).
    void ReaderTakesTurn();
    void ReaderWatches(bool watch);
    // Reads one whole frame and acts on it. The reader thread waits for
    // room for a request; a caller that reads leaves it to the reader
    // thread (Deferred).
    enum class FrameRead { Read, Deferred, Ended };
    FrameRead ReadOneFrame(bool readerThread);
    bool NextHeader(FrameHeader& header);
    FrameRead ReadRequest(const FrameHeader& header, bool readerThread);
    void WaitForReply(const std::shared_ptr<PendingCall>& pending);
    bool ReadAsHolder(DWORD me);
    void ReadWhileIdle();
    bool TakeSocket(DWORD thread);
    void GiveSocketBack(DWORD thread);
    bool HoldsSocket(DWORD thread);
    bool HandleRequest(std::uint32_t callId, const std::shared_ptr<HeldRequest>& request);
    bool ReadReply(const FrameHeader& header);
    bool ReadRefusal(const FrameHeader& header);
    void DropReferences(const std::shared_ptr<Export>& target, std::uint32_t count);
    void ServeCall(const std::shared_ptr<Export>& target, REFIID iid, std::uint32_t method, std::uint32_t callId,
                   HeldRequest& request);
    void ServeClassObject(std::uint32_t callId, REFCLSID clsid, REFIID iid);
    HRESULT RunCall(const std::shared_ptr<Export>& target, REFIID iid, std::uint32_t method, MessageReader& request,
                    MessageWriter& results, bool& fault);
    HRESULT RunBatch(const std::shared_ptr<Export>& target, MessageReader& request, MessageWriter& results,
                     bool& fault);
    HRESULT RunHeldCall(const std::shared_ptr<Export>& target, REFIID iid, std::uint32_t method,
                        const std::uint8_t* data, std::uint32_t size);
    void SendReply(std::uint32_t callId, bool fault, HRESULT hr, const MessageWriter* results);
    // References the peer gave back with the reply to one of our calls.
    void DropGivenBack(const Bytes& trailer);
    // `ticket` 0: the frame's bytes are copied when they must wait;
    // otherwise they are borrowed until Withdraw(ticket). `tail` follows
    // `more`.
    bool Send(FrameType type, std::uint32_t callId, const Bytes& head, const MessageWriter* more, std::uint64_t ticket,
              const Bytes* tail = nullptr);
    void Withdraw(std::uint64_t ticket);
    // m_writeMutex held: the budget learns what the waiting replies hold.
    void RepliesChanged();
    void CutOff();               // m_writeMutex held
    HRESULT ClosedError() const; // m_mutex held
    void OnClosed();

    mutable std::mutex m_mutex; // the maps and call state below
    std::mutex m_writeMutex;    // the socket's writes, its closing and m_output
    int m_fd;
    DWORD m_peerPid = 0;
    std::shared_ptr<ConnectionSlots> m_slots;
    bool m_closed = false;
    HRESULT m_refusal = S_OK; // why the peer turned this connection away
    std::uint32_t m_nextCallId = 0;
    std::uint64_t m_nextObject = 1;
    std::map<std::uint32_t, std::shared_ptr<PendingCall>> m_pending;
    std::map<std::uint64_t, std::shared_ptr<Export>> m_exports;
    std::map<IUnknown*, std::uint64_t> m_exportByIdentity;
    std::map<std::uint64_t, ProxyManager*> m_proxies;
    SendQueue m_output;
    std::atomic<std::uint64_t> m_nextTicket{0};
    // Who reads the socket: the reader thread, or a thread that waits for
    // the reply to its own call and reads every frame meanwhile, so that
    // the peer's frames wake it directly instead of through the reader.
    std::mutex m_readMutex;
    std::condition_variable m_readerMayPoll;
    DWORD m_callerReading = 0; // the thread that has the socket; 0: the reader thread
    bool m_readerBusy = false; // the reader thread is reading a frame
    bool m_readEnded = false;  // the reader thread is closing the connection
    int m_readerPoll = -1;     // the reader thread's epoll set: the socket, while no caller holds it
    // A request's header a caller read while the peer had no room for it:
    // the reader thread goes on from there.
    bool m_deferred = false;
    FrameHeader m_deferredHeader;
    PeerBudget m_budget;
    std::size_t m_budgetReplies = 0; // what m_budget knows of m_output (m_writeMutex)
    std::atomic<bool> m_cutOff{false};
    std::atomic<ULONGLONG> m_quietSince; // when a frame last crossed, either way
};

// The process id of the peer behind a proxy (0 for a local object).
DWORD PeerProcessIdOf(IUnknown* proxy);

} // namespace plat::rpc
