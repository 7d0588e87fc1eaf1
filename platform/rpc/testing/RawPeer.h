// A client of a class socket that speaks the wire by hand: to send what a
// proxy never would, or to leave unread what a proxy would read.
#pragma once

#include "platform/base/UnixSocketAddress.h"
#include "platform/base/sysroot.h"
#include "platform/rpc/Wire.h"

#include <functional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace plat::rpc::testing {

class RawPeer {
public:
    // Blocks until `fd` is readable (or ended); false when that does not
    // come in time. The default polls for 20 s; a test whose server runs on
    // its own thread serves that thread's calls meanwhile.
    using WaitReadable = std::function<bool(int fd)>;

    // Connects to the class socket of `clsid`. A positive `sendRoom` makes
    // the socket's own send buffer that small.
    explicit RawPeer(REFCLSID clsid, int sendRoom = 0, WaitReadable wait = PollReadable)
        : m_clsid(clsid), m_wait(std::move(wait))
    {
        const UnixSocketAddress address(RuntimeFolder() + "/com-" + GuidToString(clsid) + ".sock");
        m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (sendRoom > 0)
            setsockopt(m_fd, SOL_SOCKET, SO_SNDBUF, &sendRoom, sizeof sendRoom);
        m_connected = address.Valid() && connect(m_fd, address.Get(), address.Size()) == 0;
    }
    ~RawPeer() { close(m_fd); }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    bool Connected() const { return m_connected; }
    int Socket() const { return m_fd; }

    // Sends a request without waiting for its reply (blocking while the
    // socket is full); false when the connection no longer takes it.
    bool Send(std::uint64_t object, REFIID iid, std::uint32_t method, const MessageWriter& args)
    {
        MessageWriter head;
        head.WriteU64(object);
        head.WriteGuid(iid);
        head.WriteU32(method);
        FrameHeader header{FrameType::Request, ++m_callId,
                           static_cast<std::uint32_t>(head.Data().size() + args.Data().size())};
        return WriteFrame(m_fd, header, head.Data().data(), head.Data().size(), args.Data().data(), args.Data().size());
    }

    // The next frame from the server; false at the end of the connection
    // (or when none comes in time, which only a failing test sees).
    bool Receive(FrameHeader& header, Bytes& body) { return m_wait(m_fd) && ReadFrame(m_fd, header, body); }

    // Sends a request and waits for its reply: fault flag and HRESULT, and
    // the results in `results`. A refusal answers too (call id 0).
    bool Call(std::uint64_t object, REFIID iid, std::uint32_t method, const MessageWriter& args, std::uint32_t& fault,
              HRESULT& hr, Bytes* results = nullptr)
    {
        // A refused client's request may find the socket closed already;
        // the refusal waits to be read all the same.
        Send(object, iid, method, args);
        FrameHeader header;
        Bytes body;
        if (!Receive(header, body) || (header.callId != m_callId && header.callId != kRefusalCallId))
            return false;
        MessageReader reader(body.data(), body.size());
        std::int32_t value = 0;
        if (!reader.ReadU32(fault) || !reader.ReadI32(value))
            return false;
        hr = value;
        if (results)
            results->assign(body.begin() + 8, body.end());
        return true;
    }

    // The class object, and a new object from it: their object ids (0 when
    // the server did not give one).
    std::uint64_t ClassObject()
    {
        MessageWriter ask;
        ask.WriteGuid(m_clsid);
        ask.WriteGuid(IID_IClassFactory);
        return ObjectFrom(kRootObject, IID_IUnknown, kGetClassObject, ask);
    }
    std::uint64_t NewObject(std::uint64_t factory, REFIID iid)
    {
        MessageWriter create;
        create.WriteGuid(iid);
        return ObjectFrom(factory, IID_IClassFactory, 3, create);
    }
    // The HRESULT the server answers a request for the class object with
    // (a refusal's reason too); E_ABORT when the connection ended first.
    HRESULT AskForClassObject()
    {
        MessageWriter ask;
        ask.WriteGuid(m_clsid);
        ask.WriteGuid(IID_IClassFactory);
        std::uint32_t fault = 1;
        HRESULT hr = E_ABORT;
        return Call(kRootObject, IID_IUnknown, kGetClassObject, ask, fault, hr) ? hr : E_ABORT;
    }

    // An object reference from a reply: its id.
    static std::uint64_t ObjectIn(const Bytes& results)
    {
        MessageReader reader(results.data(), results.size());
        std::uint64_t object = 0;
        reader.ReadU64(object);
        return object;
    }

    void SendRaw(const void* data, size_t size) { (void)!write(m_fd, data, size); }
    // True when the server closed the connection (a reset counts: it
    // closed with our unread bytes in its buffer).
    bool ClosedByPeer()
    {
        char byte = 0;
        return read(m_fd, &byte, 1) <= 0;
    }
    // Whether the server has closed the connection, without reading what
    // may wait before its end; false when it stays open for the patience.
    bool Ended()
    {
        if (!m_wait(m_fd))
            return false;
        char byte = 0;
        return recv(m_fd, &byte, 1, MSG_PEEK) <= 0;
    }

    static bool PollReadable(int fd)
    {
        pollfd entry{fd, POLLIN, 0};
        return poll(&entry, 1, 20000) == 1;
    }

private:
    std::uint64_t ObjectFrom(std::uint64_t object, REFIID iid, std::uint32_t method, const MessageWriter& args)
    {
        std::uint32_t fault = 1;
        HRESULT hr = E_FAIL;
        Bytes results;
        return Call(object, iid, method, args, fault, hr, &results) && fault == 0 && SUCCEEDED(hr) ? ObjectIn(results)
                                                                                                   : 0;
    }

    CLSID m_clsid;
    WaitReadable m_wait;
    int m_fd = -1;
    bool m_connected = false;
    std::uint32_t m_callId = 0;
};

} // namespace plat::rpc::testing
