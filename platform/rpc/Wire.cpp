#include "platform/rpc/Wire.h"

#include "platform/base/posixio.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace plat::rpc {
namespace {

void PutU32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

std::uint32_t GetU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace

void MessageWriter::WriteU32(std::uint32_t value)
{
    std::uint8_t bytes[4];
    PutU32(bytes, value);
    m_data.insert(m_data.end(), bytes, bytes + 4);
}

void MessageWriter::WriteU64(std::uint64_t value)
{
    WriteU32(static_cast<std::uint32_t>(value));
    WriteU32(static_cast<std::uint32_t>(value >> 32));
}

void MessageWriter::WriteGuid(REFGUID guid)
{
    WriteU32(guid.Data1);
    WriteU32(static_cast<std::uint32_t>(guid.Data2) | (static_cast<std::uint32_t>(guid.Data3) << 16));
    WriteBytes(guid.Data4, sizeof guid.Data4);
}

void MessageWriter::WriteBytes(const void* data, std::size_t size)
{
    if (size == 0)
        return;
    auto* bytes = static_cast<const std::uint8_t*>(data);
    if (m_borrowing && size >= kBorrowAtLeast) {
        m_borrowed.push_back({m_data.size(), bytes, size});
        m_borrowedSize += size;
        return;
    }
    m_data.insert(m_data.end(), bytes, bytes + size);
}

void MessageWriter::Append(const MessageWriter& other)
{
    const std::size_t base = m_data.size();
    for (const Borrowed& run : other.m_borrowed)
        m_borrowed.push_back({base + run.offset, run.data, run.size});
    m_borrowedSize += other.m_borrowedSize;
    m_data.insert(m_data.end(), other.m_data.begin(), other.m_data.end());
    m_exported.insert(m_exported.end(), other.m_exported.begin(), other.m_exported.end());
}

void MessageWriter::WriteSizedBytes(const void* data, std::uint32_t size)
{
    WriteU32(size);
    WriteBytes(data, size);
}

void MessageWriter::AppendPieces(std::vector<iovec>& pieces) const
{
    auto add = [&pieces](const std::uint8_t* data, std::size_t size) {
        if (size > 0)
            pieces.push_back({const_cast<std::uint8_t*>(data), size});
    };
    std::size_t at = 0;
    for (const Borrowed& run : m_borrowed) {
        add(m_data.data() + at, run.offset - at);
        add(run.data, run.size);
        at = run.offset;
    }
    add(m_data.data() + at, m_data.size() - at);
}

bool MessageReader::Take(std::size_t size, const std::uint8_t*& data)
{
    if (!m_ok || size > m_size - m_pos) {
        m_ok = false;
        return false;
    }
    data = m_data + m_pos;
    m_pos += size;
    return true;
}

bool MessageReader::ReadU8(std::uint8_t& value)
{
    const std::uint8_t* p = nullptr;
    if (!Take(1, p))
        return false;
    value = *p;
    return true;
}

bool MessageReader::ReadU32(std::uint32_t& value)
{
    const std::uint8_t* p = nullptr;
    if (!Take(4, p))
        return false;
    value = GetU32(p);
    return true;
}

bool MessageReader::ReadI32(std::int32_t& value)
{
    std::uint32_t raw = 0;
    if (!ReadU32(raw))
        return false;
    value = static_cast<std::int32_t>(raw);
    return true;
}

bool MessageReader::ReadU64(std::uint64_t& value)
{
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    if (!ReadU32(low) || !ReadU32(high))
        return false;
    value = (static_cast<std::uint64_t>(high) << 32) | low;
    return true;
}

bool MessageReader::ReadGuid(GUID& guid)
{
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    const std::uint8_t* rest = nullptr;
    if (!ReadU32(first) || !ReadU32(second) || !Take(sizeof guid.Data4, rest))
        return false;
    guid.Data1 = first;
    guid.Data2 = static_cast<std::uint16_t>(second);
    guid.Data3 = static_cast<std::uint16_t>(second >> 16);
    std::memcpy(guid.Data4, rest, sizeof guid.Data4);
    return true;
}

bool MessageReader::ReadBytes(std::size_t size, const std::uint8_t*& data) { return Take(size, data); }

bool MessageReader::ReadSizedBytes(const std::uint8_t*& data, std::uint32_t& size)
{
    return ReadU32(size) && Take(size, data);
}

void EncodeHeader(const FrameHeader& header, std::uint8_t (&bytes)[kFrameHeaderSize])
{
    PutU32(bytes, kFrameMagic);
    PutU32(bytes + 4, static_cast<std::uint32_t>(header.type));
    PutU32(bytes + 8, header.callId);
    PutU32(bytes + 12, header.bodyLength);
}

bool DecodeHeader(const std::uint8_t (&bytes)[kFrameHeaderSize], FrameHeader& header)
{
    if (GetU32(bytes) != kFrameMagic)
        return false;
    std::uint32_t type = GetU32(bytes + 4);
    if (type < static_cast<std::uint32_t>(FrameType::Request) || type > static_cast<std::uint32_t>(FrameType::Reply))
        return false;
    header.type = static_cast<FrameType>(type);
    header.callId = GetU32(bytes + 8);
    header.bodyLength = GetU32(bytes + 12);
    return header.bodyLength <= kMaxFrameBody;
}

bool WriteFrame(int fd, const FrameHeader& header, const std::uint8_t* body, std::size_t bodySize,
                const std::uint8_t* more, std::size_t moreSize)
{
    std::vector<iovec> pieces;
    if (bodySize > 0)
        pieces.push_back({const_cast<std::uint8_t*>(body), bodySize});
    if (moreSize > 0)
        pieces.push_back({const_cast<std::uint8_t*>(more), moreSize});
    return WriteFramePieces(fd, header, std::move(pieces));
}

bool WriteFramePieces(int fd, const FrameHeader& header, std::vector<iovec> pieces)
{
    std::size_t total = 0;
    for (const iovec& piece : pieces)
        total += piece.iov_len;
    if (total != header.bodyLength)
        return false;
    std::uint8_t head[kFrameHeaderSize];
    EncodeHeader(header, head);
    pieces.insert(pieces.begin(), iovec{head, sizeof head});
    return SendAllPieces(fd, pieces.data(), pieces.size());
}

bool ReadFrameHeader(int fd, FrameHeader& header)
{
    std::uint8_t head[kFrameHeaderSize];
    return ReceiveAll(fd, head, sizeof head) && DecodeHeader(head, header);
}

bool ReadFrameBytes(int fd, std::uint8_t* data, std::size_t size) { return ReceiveAll(fd, data, size); }

bool ReadFrameParts(int fd, std::uint8_t* first, std::size_t firstSize, std::uint8_t* second, std::size_t secondSize)
{
    iovec parts[2] = {{first, firstSize}, {second, secondSize}};
    std::size_t at = 0; // parts before this one are full
    for (;;) {
        while (at < 2 && parts[at].iov_len == 0)
            ++at;
        if (at == 2)
            return true;
        ssize_t got = readv(fd, parts + at, static_cast<int>(2 - at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        ConsumePieces(parts, at, static_cast<std::size_t>(got));
    }
}

bool ReadFrame(int fd, FrameHeader& header, Bytes& body)
{
    if (!ReadFrameHeader(fd, header))
        return false;
    body.resize(header.bodyLength);
    return ReceiveAll(fd, body.data(), body.size());
}

} // namespace plat::rpc
