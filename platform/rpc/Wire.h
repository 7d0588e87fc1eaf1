// The wire between two processes: frames on a stream socket, and the
// bounds-checked writer and reader that build and take apart frame bodies.
//
// Every frame is a 16-byte header followed by its body:
//     u32 magic ("QRPC"), u32 type, u32 call id, u32 body length
// all little-endian. A body longer than kMaxFrameBody, a wrong magic or an
// unknown type is a protocol error: the connection is closed.
#pragma once

#include "platform/base/UninitializedBytes.h"
#include "platform/base/guid.h"
#include "platform/base/wintypes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <sys/uio.h>
#include <utility>
#include <vector>

namespace plat::rpc {

// Frame bodies are read straight into their buffer: growing it leaves the
// bytes uninitialised instead of zeroing megabytes about to be overwritten.
using Bytes = UninitializedBytes;

constexpr std::uint32_t kFrameMagic = 0x43505251; // "QRPC"
constexpr std::size_t kFrameHeaderSize = 16;
// Large enough for any band the service delivers, small enough that a
// forged length cannot exhaust memory.
constexpr std::uint32_t kMaxFrameBody = 64u << 20;

enum class FrameType : std::uint16_t {
    Request = 1, // u64 object id, IID, u32 method, arguments
    Reply = 2,   // u32 fault flag, i32 HRESULT, results (when no fault)
};

struct FrameHeader {
    FrameType type = FrameType::Request;
    std::uint32_t callId = 0;
    std::uint32_t bodyLength = 0;
};

// Object id 0 is the connection's own root object; method kGetClassObject
// on it asks for a registered class object (CLSID, IID).
constexpr std::uint64_t kRootObject = 0;
constexpr std::uint32_t kGetClassObject = 1;
// Methods of IID_IUnknown on any object: a remote QueryInterface (IID),
// and the release of references (u32 count) the peer was given. A release
// is a call like any other, so that an object handed to the peer for the
// length of a call is free again when the call returns.
constexpr std::uint32_t kQueryInterface = 0;
constexpr std::uint32_t kRelease = 2;
// Also of IID_IUnknown: calls without outputs on the object, run in order
// up to the first failure (see CallBatch).
constexpr std::uint32_t kCallBatch = 3;
// A reply to call id 0 (no call has it) is the peer's refusal of the whole
// connection, sent unasked right after accepting it: a fault reply whose
// HRESULT says why (another user, too many connections); every call on the
// connection then fails with that HRESULT.
constexpr std::uint32_t kRefusalCallId = 0;

class MarshalContext;

// Builds a frame body. Appends never fail (memory aside).
class MessageWriter {
public:
    explicit MessageWriter(MarshalContext* context = nullptr) : m_context(context) {}

    void WriteU8(std::uint8_t value) { m_data.push_back(value); }
    void WriteU32(std::uint32_t value);
    void WriteI32(std::int32_t value) { WriteU32(static_cast<std::uint32_t>(value)); }
    void WriteU64(std::uint64_t value);
    void WriteGuid(REFGUID guid);
    void WriteBytes(const void* data, std::size_t size);
    // A u32 count followed by that many bytes.
    void WriteSizedBytes(const void* data, std::uint32_t size);
    // Another message's bytes (borrowed runs stay borrowed) and the
    // references it hands over.
    void Append(const MessageWriter& other);

    MarshalContext* Context() const { return m_context; }

    // The objects whose references this message hands over, so that a
    // message that never goes out gives them back.
    void NoteExported(std::uint64_t object) { m_exported.push_back(object); }
    const std::vector<std::uint64_t>& Exported() const { return m_exported; }

    // From now on byte runs of kBorrowAtLeast bytes or more are referenced
    // instead of copied (a band goes from the caller's array straight to
    // the socket): the caller keeps them unchanged until the message is
    // sent. Only for a message sent before the caller's buffers go.
    void AllowBorrowing() { m_borrowing = true; }
    static constexpr std::size_t kBorrowAtLeast = 4096;

    // The whole message's size, borrowed runs included.
    std::size_t Size() const { return m_data.size() + m_borrowedSize; }
    // The message in order, as pieces for a vectored send.
    void AppendPieces(std::vector<iovec>& pieces) const;
    // The bytes written (a message with borrowed runs is only whole as
    // pieces).
    Bytes& Data() { return m_data; }
    const Bytes& Data() const { return m_data; }

private:
    struct Borrowed {
        std::size_t offset; // where in m_data the run belongs
        const std::uint8_t* data;
        std::size_t size;
    };

    MarshalContext* m_context;
    Bytes m_data;
    bool m_borrowing = false;
    std::vector<Borrowed> m_borrowed;
    std::size_t m_borrowedSize = 0;
    std::vector<std::uint64_t> m_exported;
};

// Takes a frame body apart. A read past the end fails and makes every later
// read fail too, so a decoder checks Ok() once at the end.
class MessageReader {
public:
    MessageReader(const std::uint8_t* data, std::size_t size, MarshalContext* context = nullptr)
        : m_data(data), m_size(size), m_context(context)
    {
    }

    bool ReadU8(std::uint8_t& value);
    bool ReadU32(std::uint32_t& value);
    bool ReadI32(std::int32_t& value);
    bool ReadU64(std::uint64_t& value);
    bool ReadGuid(GUID& guid);
    // A view of the next `size` bytes (valid as long as the body is).
    bool ReadBytes(std::size_t size, const std::uint8_t*& data);
    // A u32 count, checked against what is left, then the bytes.
    bool ReadSizedBytes(const std::uint8_t*& data, std::uint32_t& size);

    bool Ok() const { return m_ok; }
    std::size_t Remaining() const { return m_size - m_pos; }
    MarshalContext* Context() const { return m_context; }
    // Marks the message bad (a decoder found a value it cannot accept).
    void Fail() { m_ok = false; }

private:
    bool Take(std::size_t size, const std::uint8_t*& data);

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    bool m_ok = true;
    MarshalContext* m_context;
};

// Header encoding; DecodeHeader refuses a wrong magic, reserved bits, an
// unknown type and an oversized body.
void EncodeHeader(const FrameHeader& header, std::uint8_t (&bytes)[kFrameHeaderSize]);
bool DecodeHeader(const std::uint8_t (&bytes)[kFrameHeaderSize], FrameHeader& header);

// Blocking socket I/O of whole frames. WriteFrame sends header and body in
// one go (the caller serialises writers); false when the peer is gone.
// ReadFrame false on end of stream, error or protocol error.
// The body may come in two parts (a call header and the caller's request).
bool WriteFrame(int fd, const FrameHeader& header, const std::uint8_t* body, std::size_t bodySize,
                const std::uint8_t* more = nullptr, std::size_t moreSize = 0);
// The body as pieces whose sizes add up to the header's body length.
bool WriteFramePieces(int fd, const FrameHeader& header, std::vector<iovec> pieces);
bool ReadFrame(int fd, FrameHeader& header, Bytes& body);
// ReadFrame in steps, for a reader that chooses where the body goes.
bool ReadFrameHeader(int fd, FrameHeader& header);
bool ReadFrameBytes(int fd, std::uint8_t* data, std::size_t size);
// The next firstSize + secondSize bytes into two places, in one read when
// they are there.
bool ReadFrameParts(int fd, std::uint8_t* first, std::size_t firstSize, std::uint8_t* second, std::size_t secondSize);

} // namespace plat::rpc
