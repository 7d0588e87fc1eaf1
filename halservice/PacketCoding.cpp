#include "halservice/PacketCoding.h"

#include "halservice/SwapBytes.h"

#include <cstring>

namespace {

DWORD ReadBigEndian32(const BYTE* bytes)
{
    return (DWORD{bytes[0]} << 24) | (DWORD{bytes[1]} << 16) | (DWORD{bytes[2]} << 8) | DWORD{bytes[3]};
}

// The type and code of a data header, big-endian.
constexpr BYTE kDataHeaderTypeAndCode[4] = {0x00, 0x02, 0xB0, 0x00};

} // namespace

bool IsPacketableCommandBlock(const BYTE* cdb, DWORD cdbLength)
{
    return cdb && cdbLength > 0 && cdbLength <= kMaxCdbLength;
}

bool FitsDataPacket(DWORD dataLength) { return dataLength <= 0xFFFFFFFFu - kDataHeaderSize; }

CommandPacket EncodeCommandPacket(const BYTE* cdb, DWORD cdbLength)
{
    CommandPacket packet{};
    packet.dwLength = kCommandPacketSize;
    packet.wType = kPacketTypeCommand;
    packet.wCode = kCommandCode;
    std::memcpy(packet.byCDB, cdb, cdbLength);
    BYTE* bytes = reinterpret_cast<BYTE*>(&packet);
    SwapBytes32(bytes + offsetof(CommandPacket, dwLength));
    SwapBytes16(bytes + offsetof(CommandPacket, wType));
    SwapBytes16(bytes + offsetof(CommandPacket, wCode));
    return packet;
}

DataPacketHeader EncodeDataHeader(DWORD packetLength)
{
    DataPacketHeader header{};
    header.dwLength = packetLength;
    header.wType = kPacketTypeData;
    header.wCode = kDataCode;
    BYTE* bytes = reinterpret_cast<BYTE*>(&header);
    SwapBytes32(bytes + offsetof(DataPacketHeader, dwLength));
    SwapBytes16(bytes + offsetof(DataPacketHeader, wType));
    SwapBytes16(bytes + offsetof(DataPacketHeader, wCode));
    return header;
}

BYTE StatusByteOf(const StatusPacket& received)
{
    // The low byte of the big-endian status field.
    return reinterpret_cast<const BYTE*>(&received)[kStatusPacketSize - 1];
}

SenseData SenseAsSent(const SenseData& held)
{
    SenseData sent = held;
    SwapBytes32(reinterpret_cast<BYTE*>(&sent) + offsetof(SenseData, InfoBytes));
    return sent;
}

ReceivedData DecodeReadDataPhase(const BYTE* transfer, DWORD received, DWORD transferSize)
{
    const bool header = received >= kDataHeaderSize && std::memcmp(transfer + 4, kDataHeaderTypeAndCode, 4) == 0;
    const DWORD packetLength = header ? ReadBigEndian32(transfer) : 0;
    const bool statusFollows = header && packetLength >= kDataHeaderSize && packetLength <= received &&
                               received - packetLength <= kStatusPacketSize;
    ReceivedData data;
    data.valid = received != 0;
    data.dataEnd = received;
    if (received < transferSize) {
        data.valid = data.valid && statusFollows;
        data.dataEnd = packetLength;
    } else if (statusFollows) {
        // Data short by exactly the status packet's size fills the request
        // to the byte: the header tells where the status starts.
        data.dataEnd = packetLength;
    }
    if (!data.valid)
        return ReceivedData{};
    data.dataBytes = data.dataEnd - kDataHeaderSize;
    data.statusBytes = received - data.dataEnd;
    return data;
}
