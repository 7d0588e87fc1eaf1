#include "platform/rpc/Connection.h"

#include "platform/base/posixio.h"
#include "platform/base/serverheap.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/KernelObject.h"
#include "platform/kernel/MessageQueue.h"
#include "platform/kernel/TaskObject.h"
#include "platform/rpc/CallContext.h"
#include "platform/rpc/ClassTable.h"
#include "platform/rpc/Dispatch.h"
#include "platform/rpc/Flusher.h"
#include "platform/rpc/ProxyManager.h"
#include "platform/rpc/ProxyStubs.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace plat::rpc {

// An object this process exported on one connection. The pointers are
// released on the object's own apartment thread.
struct Export {
    std::uint64_t id = 0;
    DWORD thread = 0;
    std::uint32_t refs = 0; // under the connection's lock
    std::mutex mutex;       // the pointers below
    bool released = false;
    IUnknown* identity = nullptr;
    std::map<IID, IUnknown*> interfaces;

    // The interface `iid`, AddRef'd for the caller; null when the object
    // has none or is gone.
    IUnknown* Interface(REFIID iid)
    {
        IUnknown* self = nullptr;
        {
            std::lock_guard lock(mutex);
            if (released)
                return nullptr;
            auto it = interfaces.find(iid);
            if (it != interfaces.end()) {
                it->second->AddRef();
                return it->second;
            }
            self = identity;
            self->AddRef();
        }
        // Not under the lock: the object may be a proxy itself, whose
        // QueryInterface is a call that can nest back here.
        IUnknown* found = nullptr;
        HRESULT hr = self->QueryInterface(iid, reinterpret_cast<void**>(&found));
        self->Release();
        if (FAILED(hr) || !found)
            return nullptr;
        std::lock_guard lock(mutex);
        if (released) {
            found->Release();
            return nullptr;
        }
        auto [it, inserted] = interfaces.emplace(iid, found);
        if (!inserted)
            found->Release(); // another call cached it meanwhile
        it->second->AddRef();
        return it->second;
    }

    bool Released()
    {
        std::lock_guard lock(mutex);
        return released;
    }

    void ReleasePointers()
    {
        std::map<IID, IUnknown*> toRelease;
        IUnknown* self = nullptr;
        {
            std::lock_guard lock(mutex);
            if (released)
                return;
            released = true;
            toRelease.swap(interfaces);
            self = identity;
            identity = nullptr;
        }
        for (auto& entry : toRelease)
            entry.second->Release();
        if (self)
            self->Release();
    }
};

// A call waiting for its reply; signalled when the reply came or the
// connection closed.
class PendingCall final : public Waitable {
public:
    bool IsSignalled() const override { return m_done; }

    // The reply's fault flag and HRESULT, the results after them and the
    // references it gives back; or `error` when no usable reply came.
    void Complete(std::uint32_t fault, HRESULT hr, Bytes results, HRESULT error, Bytes givenBack = {})
    {
        std::lock_guard lock(KernelMutex());
        if (m_done)
            return;
        m_fault = fault;
        m_hr = hr;
        m_results = std::move(results);
        m_givenBack = std::move(givenBack);
        m_error = error;
        m_done = true;
        WakeWaiters();
    }

    HRESULT Error() const { return m_error; }
    std::uint32_t Fault() const { return m_fault; }
    HRESULT Result() const { return m_hr; }
    Bytes& Results() { return m_results; }
    const Bytes& GivenBack() const { return m_givenBack; }

private:
    bool m_done = false;
    HRESULT m_error = S_OK;
    std::uint32_t m_fault = 0;
    HRESULT m_hr = S_OK;
    Bytes m_results;
    Bytes m_givenBack;
};

// A request of the peer from the moment it is read until its call is done
// with it: its bytes, and the share of the peer's budget they take.
class HeldRequest {
public:
    HeldRequest(std::shared_ptr<Connection> owner, PeerBudget& budget, std::size_t cost, std::size_t size)
        : m_owner(std::move(owner)), m_budget(budget), m_cost(cost), m_body(size)
    {
    }
    ~HeldRequest() { Release(); }
    HeldRequest(const HeldRequest&) = delete;
    HeldRequest& operator=(const HeldRequest&) = delete;

    std::uint8_t* Data() { return m_body.data(); }
    const Bytes& Body() const { return m_body; }

    // The call is done with the bytes: they go, their room stays taken
    // (the call's reply takes it over until it is queued).
    void DropBytes() { Bytes().swap(m_body); }
    // The call is over: the room comes back.
    void Release()
    {
        if (!m_owner)
            return;
        DropBytes();
        m_budget.Give(m_cost);
        m_owner.reset();
    }

private:
    std::shared_ptr<Connection> m_owner; // keeps the budget
    PeerBudget& m_budget;
    std::size_t m_cost;
    Bytes m_body;
};

namespace {

void ReleaseExport(std::shared_ptr<Export> target)
{
    DWORD thread = target->thread;
    PostTask(thread, [target = std::move(target)](bool) { target->ReleasePointers(); });
}

// The call header in front of a request: object, interface, method.
constexpr size_t kRequestHeaderSize = 8 + 16 + 4;
// The flags and HRESULT in front of a reply's results.
constexpr size_t kReplyHeaderSize = 4 + 4;
// Reply flags: the call faulted; the results end in references given back
// (entries of u64 object and u32 count, then u32 entries).
constexpr std::uint32_t kReplyFault = 1;
constexpr std::uint32_t kReplyGivesBack = 2;
constexpr size_t kGivenBackEntrySize = 8 + 4;

// The call a thread serves for a peer. The peer's objects this process lets
// go of meanwhile are given back with the reply rather than by a release
// call each: the peer reads them before the reply, so they are free when
// its call returns, as with a release call, without a round trip.
struct ServedCall {
    const Connection* connection;
    std::uint32_t callId;
    ServedCall* outer;
    MessageWriter givenBack;
};
thread_local ServedCall* t_served = nullptr;

std::atomic<std::uint64_t> g_callsMade{0};

// The connection whose socket the thread reads while it waits, if any. Weak:
// the connection may end (a peer cut off by another thread) while the
// thread still holds its socket.
thread_local std::weak_ptr<Connection> t_holding;

// The thread's hooks into its waits for a connection that is gone.
void ForgetHeldSocket()
{
    t_holding.reset();
    SetBeforeBlocking(nullptr, -1);
    SetMessageWaitReader(-1, nullptr);
}

class ServingScope {
public:
    ServingScope(const Connection* connection, std::uint32_t callId)
        : m_call{connection, callId, t_served, MessageWriter()}
    {
        t_served = &m_call;
    }
    ~ServingScope() { t_served = m_call.outer; }
    ServingScope(const ServingScope&) = delete;
    ServingScope& operator=(const ServingScope&) = delete;

private:
    ServedCall m_call;
};

// Moves the references a reply gives back off the end of its results.
bool SplitGivenBack(Bytes& results, Bytes& givenBack)
{
    if (results.size() < 4)
        return false;
    const std::uint8_t* end = results.data() + results.size() - 4;
    MessageReader countReader(end, 4);
    std::uint32_t entries = 0;
    countReader.ReadU32(entries);
    const size_t room = (results.size() - 4) / kGivenBackEntrySize;
    if (entries > room)
        return false;
    const size_t size = entries * kGivenBackEntrySize;
    const size_t kept = results.size() - 4 - size;
    givenBack.assign(results.begin() + static_cast<std::ptrdiff_t>(kept), results.end() - 4);
    results.resize(kept);
    return true;
}

} // namespace

std::shared_ptr<Connection> Connection::Start(int fd, std::shared_ptr<ConnectionSlots> slots)
{
    std::shared_ptr<Connection> connection(new Connection(fd, std::move(slots)));
    std::thread([connection] { connection->ReadLoop(); }).detach();
    return connection;
}

void Connection::Refuse(int fd, HRESULT why)
{
    std::uint8_t header[kFrameHeaderSize];
    EncodeHeader({FrameType::Reply, kRefusalCallId, static_cast<std::uint32_t>(kReplyHeaderSize)}, header);
    MessageWriter frame;
    frame.WriteBytes(header, sizeof header);
    frame.WriteU32(1);
    frame.WriteI32(why);
    // A fresh socket has room for it; a peer that cannot take it learns
    // only that the socket closed.
    (void)!send(fd, frame.Data().data(), frame.Data().size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    close(fd);
}

Connection::Connection(int fd, std::shared_ptr<ConnectionSlots> slots)
    : m_fd(fd), m_slots(std::move(slots)), m_readerPoll(epoll_create1(EPOLL_CLOEXEC)), m_quietSince(GetClock().NowMs())
{
    // Without the set only the reader thread reads (see TakeSocket).
    epoll_event event{};
    event.events = EPOLLIN;
    if (m_readerPoll >= 0 && epoll_ctl(m_readerPoll, EPOLL_CTL_ADD, m_fd, &event) != 0) {
        close(m_readerPoll);
        m_readerPoll = -1;
    }
    // Room for a whole band in the socket, so a writer hands it over in one
    // go instead of taking turns with the reader.
    int room = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    m_peerPid = static_cast<DWORD>(plat::PeerProcessId(fd));
}

// The last reference goes once no call of the peer runs any more, so what
// its frames and calls held is free by now. A served connection gives it
// back to the system: the heap would keep it, and a cut-off peer's memory
// would stay with the server for good.
Connection::~Connection()
{
    if (m_fd >= 0)
        close(m_fd);
    if (m_readerPoll >= 0)
        close(m_readerPoll);
    if (m_slots) {
        m_output.Clear();
        TrimHeap();
    }
}

bool Connection::Alive() const
{
    std::lock_guard lock(m_mutex);
    return !m_closed;
}

ConnectionStanding Connection::Standing() const
{
    ConnectionStanding standing;
    standing.peer = m_peerPid;
    standing.quietSince = m_quietSince.load();
    standing.busy = m_budget.Requests() > 0;
    std::lock_guard lock(m_mutex);
    standing.busy = standing.busy || !m_pending.empty();
    standing.holdsObjects = !m_exports.empty();
    standing.lendsObjects = !m_proxies.empty();
    return standing;
}

void Connection::LetGo()
{
    std::fprintf(stderr, "rpc: process %u left its connection idle; it is closed for a new client\n", m_peerPid);
    Shutdown();
}

void Connection::Crossed() { m_quietSince = GetClock().NowMs(); }

bool Connection::Send(FrameType type, std::uint32_t callId, const Bytes& head, const MessageWriter* more,
                      std::uint64_t ticket, const Bytes* tail)
{
    size_t total = head.size() + (more ? more->Size() : 0) + (tail ? tail->size() : 0);
    if (total > kMaxFrameBody)
        return false;
    std::vector<iovec> body;
    if (!head.empty())
        body.push_back({const_cast<std::uint8_t*>(head.data()), head.size()});
    if (more)
        more->AppendPieces(body);
    if (tail && !tail->empty())
        body.push_back({const_cast<std::uint8_t*>(tail->data()), tail->size()});
    std::uint8_t header[kFrameHeaderSize];
    EncodeHeader({type, callId, static_cast<std::uint32_t>(total)}, header);
    Crossed();
    std::lock_guard lock(m_writeMutex);
    if (m_fd < 0)
        return false;
    const std::size_t requests = ticket == 0 ? m_budget.Requests() : 0;
    switch (m_output.Push(m_fd, header, std::move(body), ticket, requests)) {
    case SendQueue::Outcome::Sent:
        return true;
    case SendQueue::Outcome::Waiting:
        RepliesChanged();
        if (FlushWhenWritable(shared_from_this(), m_fd))
            return true;
        break; // nobody would ever send the rest
    case SendQueue::Outcome::Overflow:
        std::fprintf(stderr, "rpc: process %u left %zu bytes of replies unread; it is cut off\n", m_peerPid,
                     m_output.OwnedBytes());
        CutOff();
        return false;
    case SendQueue::Outcome::Broken:
        break;
    }
    CutOff();
    return false;
}

void Connection::FlushWaiting()
{
    std::lock_guard lock(m_writeMutex);
    if (m_fd < 0)
        return;
    if (!m_output.Flush(m_fd) || (!m_output.Empty() && !FlushWhenWritable(shared_from_this(), m_fd)))
        CutOff();
    RepliesChanged();
}

void Connection::RepliesChanged()
{
    const std::size_t replies = m_output.OwnedBytes();
    if (replies == m_budgetReplies)
        return;
    m_budgetReplies = replies;
    m_budget.SetReplies(replies);
}

// A call's request may borrow the caller's buffers only until the call
// returns.
void Connection::Withdraw(std::uint64_t ticket)
{
    std::lock_guard lock(m_writeMutex);
    if (!m_output.Withdraw(ticket))
        CutOff(); // the peer answered a request it had not taken whole
}

// Ends the connection from this side: nothing more goes out, the peer's
// requests are no longer taken, and the reader (woken if it waits for
// room) sees the end and closes it. It reads on to the end of what the peer
// sent before: a refusal, say, still counts.
void Connection::CutOff()
{
    m_output.Clear();
    RepliesChanged();
    if (m_fd >= 0)
        shutdown(m_fd, SHUT_RDWR);
    m_cutOff = true;
    m_budget.Close();
}

void Connection::Shutdown()
{
    std::lock_guard lock(m_writeMutex);
    CutOff();
}

std::size_t Connection::WaitingOutputBytes()
{
    std::lock_guard lock(m_writeMutex);
    return m_output.OwnedBytes();
}

std::size_t Connection::WaitingInputBytes() { return m_budget.Requests(); }

bool Connection::RequestWaitsForRoom() const { return m_budget.Waiting(); }

HRESULT Connection::ClosedError() const { return FAILED(m_refusal) ? m_refusal : RPC_E_DISCONNECTED; }

HRESULT Connection::Call(std::uint64_t object, REFIID iid, std::uint32_t method, const MessageWriter& request,
                         HRESULT& status, Bytes& results)
{
    results.clear();
    // Arguments larger than one frame cannot travel; the connection stays.
    if (kRequestHeaderSize + request.Size() > kMaxFrameBody) {
        TakeBackExported(request);
        return E_OUTOFMEMORY;
    }
    ++g_callsMade;
    auto pending = std::make_shared<PendingCall>();
    std::uint32_t callId = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return ClosedError();
        do
            callId = ++m_nextCallId;
        while (callId == kRefusalCallId || m_pending.count(callId));
        m_pending[callId] = pending;
    }
    MessageWriter head;
    head.WriteU64(object);
    head.WriteGuid(iid);
    head.WriteU32(method);
    // The request borrows `head` and the caller's buffers until the reply.
    // A send that fails ends the connection, and its end fails the call.
    const std::uint64_t ticket = ++m_nextTicket;
    Send(FrameType::Request, callId, head.Data(), &request, ticket);
    WaitForReply(pending);
    Withdraw(ticket);
    DropGivenBack(pending->GivenBack());
    if (FAILED(pending->Error()))
        return pending->Error();
    if (pending->Fault() > 1)
        return RPC_E_INVALID_DATA;
    if (pending->Fault())
        return FAILED(pending->Result()) ? pending->Result() : RPC_E_INVALID_DATA;
    status = pending->Result();
    results.swap(pending->Results());
    return S_OK;
}

HRESULT Connection::GetClassObject(REFCLSID clsid, REFIID iid, void** ppv)
{
    *ppv = nullptr;
    MessageWriter request;
    request.WriteGuid(clsid);
    request.WriteGuid(iid);
    HRESULT status = S_OK;
    Bytes results;
    HRESULT hr = Call(kRootObject, IID_IUnknown, kGetClassObject, request, status, results);
    if (FAILED(hr))
        return hr;
    if (FAILED(status))
        return status;
    MessageReader reader(results.data(), results.size(), this);
    hr = ReadInterface(reader, iid, ppv);
    if (SUCCEEDED(hr) && (!*ppv || reader.Remaining() != 0)) {
        if (*ppv)
            static_cast<IUnknown*>(*ppv)->Release();
        *ppv = nullptr;
        hr = RPC_E_INVALID_DATA;
    }
    return hr;
}

void Connection::ReleaseRemote(std::uint64_t object, std::uint32_t count)
{
    if (t_served && t_served->connection == this) {
        t_served->givenBack.WriteU64(object);
        t_served->givenBack.WriteU32(count);
        return;
    }
    MessageWriter request;
    request.WriteU32(count);
    HRESULT status = S_OK;
    Bytes results;
    Call(object, IID_IUnknown, kRelease, request, status, results); // a dead peer holds nothing
}

void Connection::ForgetProxy(std::uint64_t object, ProxyManager* manager)
{
    std::lock_guard lock(m_mutex);
    auto it = m_proxies.find(object);
    if (it != m_proxies.end() && it->second == manager)
        m_proxies.erase(it);
}

HRESULT Connection::WriteInterface(MessageWriter& writer, REFIID iid, IUnknown* object)
{
    if (!object) {
        writer.WriteU64(0);
        writer.WriteGuid(iid);
        return S_OK;
    }
    IUnknown* identity = nullptr;
    if (FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) || !identity)
        return E_NOINTERFACE;
    IUnknown* typed = nullptr;
    if (FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(&typed))) || !typed) {
        identity->Release();
        return E_NOINTERFACE;
    }
    DWORD thread = CurrentServingThread();
    std::shared_ptr<Export> target;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) {
            identity->Release();
            typed->Release();
            return RPC_E_DISCONNECTED;
        }
        auto found = m_exportByIdentity.find(identity);
        if (found != m_exportByIdentity.end()) {
            target = m_exports[found->second];
            identity->Release(); // the export holds one already
        } else {
            target = std::make_shared<Export>();
            target->id = m_nextObject++;
            target->thread = thread;
            target->identity = identity;
            m_exports[target->id] = target;
            m_exportByIdentity[identity] = target->id;
        }
        ++target->refs;
    }
    {
        std::lock_guard lock(target->mutex);
        if (!target->interfaces.emplace(iid, typed).second)
            typed->Release();
    }
    writer.WriteU64(target->id);
    writer.WriteGuid(iid);
    writer.NoteExported(target->id);
    return S_OK;
}

HRESULT Connection::WriteInterfaceExpecting(MessageWriter& writer, REFIID iid, IUnknown* object, REFIID expected)
{
    IUnknown* typed = nullptr;
    if (object && SUCCEEDED(object->QueryInterface(expected, reinterpret_cast<void**>(&typed))) && typed) {
        typed->Release();
        return WriteInterface(writer, expected, object);
    }
    return WriteInterface(writer, iid, object);
}

// References written into a message that is not sent are not the peer's.
void Connection::TakeBackExported(const MessageWriter& unsent)
{
    for (std::uint64_t object : unsent.Exported()) {
        std::shared_ptr<Export> gone;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_exports.find(object);
            if (it == m_exports.end())
                continue;
            if (--it->second->refs == 0) {
                gone = it->second;
                m_exportByIdentity.erase(gone->identity);
                m_exports.erase(it);
            }
        }
        if (gone && gone->thread == CurrentServingThread())
            gone->ReleasePointers();
        else if (gone)
            ReleaseExport(std::move(gone)); // on the object's own thread
    }
}

HRESULT Connection::ReadInterface(MessageReader& reader, REFIID iid, void** ppv)
{
    *ppv = nullptr;
    std::uint64_t object = 0;
    GUID wireIid{};
    if (!reader.ReadU64(object) || !reader.ReadGuid(wireIid))
        return RPC_E_INVALID_DATA;
    if (object == 0)
        return S_OK;
    ProxyManager* manager = nullptr;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_proxies.find(object);
        if (it != m_proxies.end() && it->second->TryAddRef()) {
            manager = it->second;
            manager->AddRemoteReference();
        } else {
            manager = new ProxyManager(shared_from_this(), object, wireIid);
            m_proxies[object] = manager;
        }
    }
    manager->AddKnownInterface(wireIid);
    HRESULT hr = manager->QueryInterface(iid, ppv);
    manager->Release();
    return hr;
}

void Connection::ReadLoop()
{
    for (;;) {
        ReaderTakesTurn();
        const bool ok = ReadOneFrame(true) == FrameRead::Read;
        {
            std::lock_guard lock(m_readMutex);
            m_readerBusy = false;
            m_readEnded = !ok; // from now on only this thread touches the socket
        }
        if (!ok)
            break; // a peer that breaks the protocol is cut off
    }
    OnClosed();
}

void Connection::ReaderTakesTurn()
{
    for (;;) {
        {
            std::unique_lock lock(m_readMutex);
            m_readerMayPoll.wait(lock, [this] { return m_callerReading == 0; });
            if (m_deferred) {
                m_readerBusy = true; // a caller left a request's header to this thread
                return;
            }
        }
        // While a caller holds the socket it is out of the reader's set, so
        // the frames the caller reads do not wake this thread as well; a
        // hang-up still does, and the reader then waits for the caller.
        epoll_event event{};
        pollfd socket{m_fd, POLLIN, 0};
        const int ready = m_readerPoll >= 0 ? epoll_wait(m_readerPoll, &event, 1, -1) : poll(&socket, 1, -1);
        std::lock_guard lock(m_readMutex);
        if (m_callerReading != 0)
            continue; // a caller reads now; wait until it gives the socket back
        if (ready > 0 || (ready < 0 && errno != EINTR)) {
            m_readerBusy = true; // reading finds out what the socket holds, or that it is gone
            return;
        }
    }
}

// m_readMutex held: whether the reader thread's wait looks at the socket.
void Connection::ReaderWatches(bool watch)
{
    if (m_readerPoll < 0)
        return;
    epoll_event event{};
    event.events = watch ? static_cast<std::uint32_t>(EPOLLIN) : 0u;
    epoll_ctl(m_readerPoll, EPOLL_CTL_MOD, m_fd, &event);
}

Connection::FrameRead Connection::ReadOneFrame(bool readerThread)
{
    FrameHeader header;
    if (!NextHeader(header))
        return FrameRead::Ended;
    Crossed();
    switch (header.type) {
    case FrameType::Request:
        return ReadRequest(header, readerThread);
    case FrameType::Reply: {
        const bool ok = header.callId == kRefusalCallId ? ReadRefusal(header) : ReadReply(header);
        return ok ? FrameRead::Read : FrameRead::Ended;
    }
    }
    return FrameRead::Ended;
}

bool Connection::NextHeader(FrameHeader& header)
{
    {
        std::lock_guard lock(m_readMutex);
        if (m_deferred) {
            m_deferred = false;
            header = m_deferredHeader;
            return true;
        }
    }
    return ReadFrameHeader(m_fd, header);
}

// A request is read only once the peer has room for it (see PeerBudget).
// The reader thread waits for the room; a caller that reads the socket
// leaves the request to it, as its own wait may be what frees the room.
Connection::FrameRead Connection::ReadRequest(const FrameHeader& header, bool readerThread)
{
    const std::size_t cost = PeerBudget::RequestCost(header.bodyLength);
    switch (m_budget.Admit(cost, readerThread)) {
    case PeerBudget::Verdict::Take:
        break;
    case PeerBudget::Verdict::Wait: {
        std::lock_guard lock(m_readMutex);
        m_deferred = true;
        m_deferredHeader = header;
        return FrameRead::Deferred;
    }
    case PeerBudget::Verdict::CutOff:
        if (!m_cutOff)
            std::fprintf(stderr, "rpc: process %u leaves %zu bytes of replies unread and sends more; it is cut off\n",
                         m_peerPid, WaitingOutputBytes());
        return FrameRead::Ended;
    }
    auto request = std::make_shared<HeldRequest>(shared_from_this(), m_budget, cost, header.bodyLength);
    if (!ReadFrameBytes(m_fd, request->Data(), header.bodyLength))
        return FrameRead::Ended;
    return HandleRequest(header.callId, request) ? FrameRead::Read : FrameRead::Ended;
}

// While a thread waits for the reply to its call, it reads the socket
// itself when nobody else does: the peer's calls into this thread and the
// reply then wake it straight from the socket, one thread instead of the
// reader thread handing each frame over. It reads every frame meanwhile,
// acting on each as the reader thread would (other threads' replies,
// calls for other apartments), and gives the socket back when its call
// returns, or before it blocks in any other wait (serving a call may) so
// that the socket is never left unread while someone waits on it.
void Connection::WaitForReply(const std::shared_ptr<PendingCall>& pending)
{
    const DWORD me = GetCurrentThreadId();
    bool took = false; // an outer wait of this thread may hold the socket already
    for (;;) {
        if (!HoldsSocket(me)) {
            if (!TakeSocket(me))
                break;
            took = true;
        }
        const WaitStep step = WaitServingCallsOrReadable(pending, m_fd);
        if (step == WaitStep::Done) {
            if (took)
                GiveSocketBack(me);
            return;
        }
        if (step != WaitStep::Readable || !HoldsSocket(me))
            continue;
        if (!ReadAsHolder(me))
            break;
    }
    WaitServingCalls(pending);
}

// The holder of the socket reads the frame waiting on it. False when the
// socket is no longer this thread's: given back because the peer's
// request waits for room (the reader thread takes it from there), or
// because the connection ended (the reader thread sees the end too).
bool Connection::ReadAsHolder(DWORD me)
{
    if (!HoldsSocket(me))
        return false;
    switch (ReadOneFrame(false)) {
    case FrameRead::Read:
        return true;
    case FrameRead::Deferred:
        break;
    case FrameRead::Ended:
        Shutdown();
        break;
    }
    GiveSocketBack(me);
    return false;
}

// A single-threaded apartment that has served one of the peer's calls
// keeps reading the socket while it waits for messages, so the peer's next
// call wakes it straight from the socket instead of through the reader
// thread, and the calls it makes from there need no hand-over either.
void Connection::ReadWhileIdle()
{
    const DWORD me = GetCurrentThreadId();
    if (CurrentServingThread() != me || HoldsSocket(me))
        return;
    TakeSocket(me);
}

bool Connection::TakeSocket(DWORD thread)
{
    if (m_readerPoll < 0)
        return false;
    // One socket per thread at a time: a wait on another connection gives
    // the first one back.
    if (const std::shared_ptr<Connection> held = t_holding.lock(); held && held.get() != this)
        held->GiveSocketBack(thread);
    else if (!held)
        ForgetHeldSocket();
    {
        std::lock_guard lock(m_readMutex);
        if (m_callerReading != 0 || m_readerBusy || m_readEnded || m_deferred)
            return false;
        m_callerReading = thread;
        ReaderWatches(false);
    }
    std::weak_ptr<Connection> weak = weak_from_this();
    t_holding = weak;
    SetBeforeBlocking(
        [weak, thread] {
            if (auto connection = weak.lock())
                connection->GiveSocketBack(thread);
            else
                ForgetHeldSocket();
        },
        m_fd);
    SetMessageWaitReader(m_fd, [weak, thread] {
        if (auto connection = weak.lock())
            connection->ReadAsHolder(thread);
        else
            ForgetHeldSocket();
    });
    return true;
}

void Connection::GiveSocketBack(DWORD thread)
{
    {
        std::lock_guard lock(m_readMutex);
        if (m_callerReading != thread)
            return;
        m_callerReading = 0;
        ReaderWatches(true);
    }
    m_readerMayPoll.notify_all();
    if (t_holding.lock().get() == this)
        ForgetHeldSocket();
}

bool Connection::HoldsSocket(DWORD thread)
{
    std::lock_guard lock(m_readMutex);
    return m_callerReading == thread;
}

// The fault flag and HRESULT are read apart from the results, so that a
// band among the results starts its buffer and is never moved.
bool Connection::ReadReply(const FrameHeader& header)
{
    std::shared_ptr<PendingCall> pending;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_pending.find(header.callId);
        if (it == m_pending.end())
            return false;
        pending = it->second;
        m_pending.erase(it);
    }
    if (header.bodyLength < kReplyHeaderSize) {
        Bytes rest(header.bodyLength);
        if (!ReadFrameBytes(m_fd, rest.data(), rest.size())) {
            pending->Complete(0, S_OK, {}, RPC_E_SERVER_DIED);
            return false;
        }
        pending->Complete(0, S_OK, {}, RPC_E_INVALID_DATA);
        return true;
    }
    std::uint8_t head[kReplyHeaderSize];
    Bytes results(header.bodyLength - kReplyHeaderSize);
    if (!ReadFrameParts(m_fd, head, sizeof head, results.data(), results.size())) {
        pending->Complete(0, S_OK, {}, RPC_E_SERVER_DIED);
        return false;
    }
    MessageReader reader(head, sizeof head);
    std::uint32_t flags = 0;
    std::int32_t hr = 0;
    reader.ReadU32(flags);
    reader.ReadI32(hr);
    Bytes givenBack;
    if (flags & kReplyGivesBack) {
        flags &= ~kReplyGivesBack;
        if (!SplitGivenBack(results, givenBack)) {
            pending->Complete(0, S_OK, {}, RPC_E_INVALID_DATA);
            return false; // references it holds or not: the peer cannot be trusted on
        }
    }
    pending->Complete(flags, hr, std::move(results), S_OK, std::move(givenBack));
    return true;
}

// The peer turned the connection away; its calls fail with the reason.
bool Connection::ReadRefusal(const FrameHeader& header)
{
    std::uint8_t body[kReplyHeaderSize] = {};
    std::uint32_t fault = 0;
    std::int32_t why = 0;
    MessageReader reader(body, sizeof body);
    if (header.bodyLength == sizeof body && ReadFrameBytes(m_fd, body, sizeof body) && reader.ReadU32(fault) &&
        reader.ReadI32(why) && fault == 1 && FAILED(why)) {
        std::lock_guard lock(m_mutex);
        m_refusal = why;
    }
    return false; // either way the connection ends here
}

// On the object's own thread: the peer gives back `count` references.
void Connection::DropReferences(const std::shared_ptr<Export>& target, std::uint32_t count)
{
    bool gone = false;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_exports.find(target->id);
        if (it == m_exports.end() || it->second != target)
            return; // already given up (the connection closed)
        // More than the peer was given is a lie: it loses them all.
        target->refs = count >= target->refs ? 0 : target->refs - count;
        if (target->refs == 0) {
            gone = true;
            m_exportByIdentity.erase(target->identity);
            m_exports.erase(it);
        }
    }
    if (gone)
        target->ReleasePointers();
}

bool Connection::HandleRequest(std::uint32_t callId, const std::shared_ptr<HeldRequest>& request)
{
    const Bytes& body = request->Body();
    MessageReader reader(body.data(), body.size());
    std::uint64_t object = 0;
    GUID iid{};
    std::uint32_t method = 0;
    if (!reader.ReadU64(object) || !reader.ReadGuid(iid) || !reader.ReadU32(method))
        return false;
    auto self = shared_from_this();
    if (object == kRootObject) {
        CLSID clsid{};
        GUID wanted{};
        if (method != kGetClassObject || !reader.ReadGuid(clsid) || !reader.ReadGuid(wanted) ||
            reader.Remaining() != 0) {
            SendReply(callId, true, RPC_E_INVALID_DATA, nullptr);
            return true;
        }
        IUnknown* classObject = nullptr;
        DWORD thread = 0;
        if (!FindRegisteredClass(clsid, classObject, thread)) {
            SendReply(callId, true, REGDB_E_CLASSNOTREG, nullptr);
            return true;
        }
        classObject->Release(); // looked up again on the serving thread
        PostTask(thread, [self, callId, clsid, wanted, request](bool run) {
            request->Release();
            if (run)
                self->ServeClassObject(callId, clsid, wanted);
            else
                self->SendReply(callId, true, RPC_E_DISCONNECTED, nullptr);
        });
        return true;
    }
    std::shared_ptr<Export> target;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_exports.find(object);
        if (it != m_exports.end())
            target = it->second;
    }
    if (!target) {
        SendReply(callId, true, CO_E_OBJNOTCONNECTED, nullptr);
        return true;
    }
    PostTask(target->thread, [self, target, iid, method, callId, request](bool run) {
        if (!run) {
            request->Release();
            self->SendReply(callId, true, RPC_E_DISCONNECTED, nullptr);
            return;
        }
        self->ServeCall(target, iid, method, callId, *request);
        self->ReadWhileIdle();
    });
    return true;
}

void Connection::ServeClassObject(std::uint32_t callId, REFCLSID clsid, REFIID iid)
{
    CallContext context(m_peerPid);
    IUnknown* classObject = nullptr;
    DWORD thread = 0;
    if (!FindRegisteredClass(clsid, classObject, thread)) {
        SendReply(callId, true, REGDB_E_CLASSNOTREG, nullptr);
        return;
    }
    MessageWriter results(this);
    HRESULT hr = WriteInterface(results, iid, classObject);
    classObject->Release();
    if (FAILED(hr))
        SendReply(callId, false, hr, nullptr);
    else
        SendReply(callId, false, S_OK, &results);
}

void Connection::ServeCall(const std::shared_ptr<Export>& target, REFIID iid, std::uint32_t method,
                           std::uint32_t callId, HeldRequest& held)
{
    CallContext context(m_peerPid);
    ServingScope serving(this, callId);
    const Bytes& body = held.Body();
    MessageReader request(body.data() + kRequestHeaderSize, body.size() - kRequestHeaderSize, this);
    MessageWriter results(this);
    bool fault = true;
    const HRESULT hr = RunCall(target, iid, method, request, results, fault);
    // The request's memory goes before its reply may have to wait for the
    // peer; its room goes once the reply is queued, so that the peer's next
    // request is measured against it.
    held.DropBytes();
    SendReply(callId, fault, hr, fault ? nullptr : &results);
    held.Release();
}

// One call of the peer on `target`; `fault` stays set when it never reached
// the object (or its arguments could not be taken apart).
HRESULT Connection::RunCall(const std::shared_ptr<Export>& target, REFIID iid, std::uint32_t method,
                            MessageReader& request, MessageWriter& results, bool& fault)
{
    if (iid == IID_IUnknown && method == kRelease) {
        std::uint32_t count = 0;
        if (!request.ReadU32(count) || request.Remaining() != 0)
            return RPC_E_INVALID_DATA;
        DropReferences(target, count);
        fault = false;
        return S_OK;
    }
    if (iid == IID_IUnknown && method == kCallBatch)
        return RunBatch(target, request, results, fault);
    if (iid == IID_IUnknown) {
        GUID wanted{};
        if (method != kQueryInterface || !request.ReadGuid(wanted) || request.Remaining() != 0)
            return RPC_E_INVALID_DATA;
        IUnknown* found = target->Interface(wanted);
        if (found)
            found->Release(); // the export keeps it for the calls to come
        fault = false;
        return found ? S_OK : E_NOINTERFACE;
    }
    IProxyStubFactory* factory = FindProxyStubFactory(iid);
    IUnknown* object = factory ? target->Interface(iid) : nullptr;
    if (!object)
        return !factory ? REGDB_E_IIDNOTREG : target->Released() ? CO_E_OBJNOTCONNECTED : E_NOINTERFACE;
    HRESULT hr = factory->Invoke(iid, object, method, request, results);
    object->Release();
    fault = hr == RPC_E_INVALID_DATA && results.Data().empty();
    return hr;
}

// Calls without outputs held by the caller's CallBatch: all are taken
// apart before any runs; they run in order up to the first failure.
HRESULT Connection::RunBatch(const std::shared_ptr<Export>& target, MessageReader& request, MessageWriter& results,
                             bool& fault)
{
    struct Entry {
        GUID iid;
        std::uint32_t method;
        const std::uint8_t* data;
        std::uint32_t size;
    };
    std::vector<Entry> calls;
    std::uint32_t count = 0;
    // Each call takes at least its interface, method and size.
    constexpr std::size_t kLeast = 16 + 4 + 4;
    if (!request.ReadU32(count) || count > request.Remaining() / kLeast)
        return RPC_E_INVALID_DATA;
    calls.resize(count);
    for (Entry& call : calls) {
        if (!request.ReadGuid(call.iid) || !request.ReadU32(call.method) ||
            !request.ReadSizedBytes(call.data, call.size))
            return RPC_E_INVALID_DATA;
    }
    if (request.Remaining() != 0)
        return RPC_E_INVALID_DATA;
    results.WriteU32(0); // how many ran, filled in below
    std::uint32_t ran = 0;
    for (const Entry& call : calls) {
        HRESULT hr = RunHeldCall(target, call.iid, call.method, call.data, call.size);
        results.WriteI32(hr);
        ++ran;
        if (FAILED(hr))
            break;
    }
    MessageWriter counted(this);
    counted.WriteU32(ran);
    std::copy(counted.Data().begin(), counted.Data().end(), results.Data().begin());
    fault = false;
    return S_OK;
}

HRESULT Connection::RunHeldCall(const std::shared_ptr<Export>& target, REFIID iid, std::uint32_t method,
                                const std::uint8_t* data, std::uint32_t size)
{
    IProxyStubFactory* factory = iid == IID_IUnknown ? nullptr : FindProxyStubFactory(iid);
    IUnknown* object = factory ? target->Interface(iid) : nullptr;
    if (!object)
        return !factory ? REGDB_E_IIDNOTREG : target->Released() ? CO_E_OBJNOTCONNECTED : E_NOINTERFACE;
    MessageReader reader(data, size, this);
    // A held call has no outputs; anything a stub writes is not for the caller.
    MessageWriter ignored(this);
    HRESULT hr = factory->Invoke(iid, object, method, reader, ignored);
    object->Release();
    TakeBackExported(ignored);
    return hr;
}

void Connection::SendReply(std::uint32_t callId, bool fault, HRESULT hr, const MessageWriter* results)
{
    // Results larger than one frame cannot travel: the caller gets a fault
    // instead of waiting for a reply that would never come.
    if (results && kReplyHeaderSize + results->Size() > kMaxFrameBody) {
        TakeBackExported(*results);
        fault = true;
        hr = E_OUTOFMEMORY;
        results = nullptr;
    }
    Bytes trailer;
    if (t_served && t_served->connection == this && t_served->callId == callId && t_served->givenBack.Size() > 0) {
        MessageWriter& givenBack = t_served->givenBack;
        givenBack.WriteU32(static_cast<std::uint32_t>(givenBack.Size() / kGivenBackEntrySize));
        trailer.swap(givenBack.Data());
    }
    MessageWriter head;
    head.WriteU32((fault ? kReplyFault : 0) | (trailer.empty() ? 0 : kReplyGivesBack));
    head.WriteI32(hr);
    Send(FrameType::Reply, callId, head.Data(), results, 0, &trailer);
}

// On the calling thread, once the reply came: each reference goes on the
// object's own thread, so the objects are let go of before the call
// returns, as if the peer had released them by calls of their own.
void Connection::DropGivenBack(const Bytes& trailer)
{
    MessageReader reader(trailer.data(), trailer.size());
    std::uint64_t object = 0;
    std::uint32_t count = 0;
    while (reader.ReadU64(object) && reader.ReadU32(count)) {
        std::shared_ptr<Export> target;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_exports.find(object);
            if (it != m_exports.end())
                target = it->second;
        }
        if (!target)
            continue;
        if (target->thread == CurrentServingThread()) {
            DropReferences(target, count);
            continue;
        }
        auto done = std::make_shared<TaskObject>();
        auto self = shared_from_this();
        PostTask(target->thread, [self, target, count, done](bool run) {
            if (run)
                self->DropReferences(target, count);
            done->Finish(0);
        });
        WaitServingCalls(done);
    }
}

void Connection::OnClosed()
{
    std::map<std::uint32_t, std::shared_ptr<PendingCall>> pending;
    std::map<std::uint64_t, std::shared_ptr<Export>> exports;
    HRESULT error = RPC_E_SERVER_DIED;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        if (FAILED(m_refusal))
            error = m_refusal;
        pending.swap(m_pending);
        exports.swap(m_exports);
        m_exportByIdentity.clear();
    }
    {
        std::lock_guard lock(m_writeMutex);
        if (m_fd >= 0) {
            StopWatching(m_fd);
            CutOff();
            close(m_fd);
            m_fd = -1;
        }
    }
    for (auto& entry : pending)
        entry.second->Complete(0, S_OK, {}, error);
    for (auto& entry : exports)
        ReleaseExport(std::move(entry.second));
    if (m_slots)
        m_slots->Leave(this);
    ForgetConnection(this);
}

std::uint64_t CallsMade() { return g_callsMade; }

DWORD PeerProcessIdOf(IUnknown* proxy)
{
    if (!proxy)
        return 0;
    IUnknown* manager = nullptr;
    if (FAILED(proxy->QueryInterface(IID_IProxyManagerSelf, reinterpret_cast<void**>(&manager))) || !manager)
        return 0;
    return static_cast<ProxyManager*>(manager)->Owner().PeerProcessId();
}

} // namespace plat::rpc
