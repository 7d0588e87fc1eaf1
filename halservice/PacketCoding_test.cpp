#include "halservice/PacketCoding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

template <typename Record>
Bytes BytesOf(const Record& record)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(&record);
    return Bytes(bytes, bytes + sizeof record);
}

TEST(PacketCodingTest, RequestsThatFitPackets)
{
    const BYTE cdb[kMaxCdbLength + 1] = {};
    const struct {
        const BYTE* cdb;
        DWORD cdbLength;
        bool packetable;
    } blocks[] = {{nullptr, 6, false}, {cdb, 0, false}, {cdb, 1, true}, {cdb, 12, true}, {cdb, 13, false}};
    for (const auto& b : blocks)
        EXPECT_EQ(IsPacketableCommandBlock(b.cdb, b.cdbLength), b.packetable) << "length " << b.cdbLength;

    const struct {
        DWORD dataLength;
        bool fits;
    } lengths[] = {{0, true}, {0xFFFFFFF3u, true}, {0xFFFFFFF4u, false}, {0xFFFFFFFFu, false}};
    for (const auto& l : lengths)
        EXPECT_EQ(FitsDataPacket(l.dataLength), l.fits) << "data length " << l.dataLength;
}

TEST(PacketCodingTest, PacketsGoBigEndianWithTheCommandBlockAtTwelve)
{
    const struct {
        Bytes cdb;
        Bytes packet;
    } commands[] = {
        {{0x00, 0, 0, 0, 0, 0}, {0, 0, 0, 0x18, 0, 0x01, 0x90, 0, 0, 0, 0, 0, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {{0x28, 0, 0x00, 0, 0x01, 0x80, 0x00, 0x12, 0x34, 0},
         {0, 0, 0, 0x18, 0, 0x01, 0x90, 0, 0, 0, 0, 0, 0x28, 0, 0x00, 0, 0x01, 0x80, 0x00, 0x12, 0x34, 0, 0, 0}},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
         {0, 0, 0, 0x18, 0, 0x01, 0x90, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(testing::Message() << "CDB of " << c.cdb.size() << " bytes, opcode " << int{c.cdb[0]});
        EXPECT_EQ(BytesOf(EncodeCommandPacket(c.cdb.data(), static_cast<DWORD>(c.cdb.size()))), c.packet);
    }

    const struct {
        DWORD packetLength;
        Bytes header;
    } headers[] = {
        {16, {0, 0, 0, 0x10, 0, 0x02, 0xB0, 0, 0, 0, 0, 0}},
        {0x0102030Fu, {0x01, 0x02, 0x03, 0x0F, 0, 0x02, 0xB0, 0, 0, 0, 0, 0}},
    };
    for (const auto& h : headers)
        EXPECT_EQ(BytesOf(EncodeDataHeader(h.packetLength)), h.header) << "length " << h.packetLength;
}

TEST(PacketCodingTest, TheStatusByteIsTheLowByteOfTheStatusField)
{
    const struct {
        Bytes packet;
        BYTE status;
    } cases[] = {
        {Bytes(16, 0), kStatusGood},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x02}, kStatusCheckCondition},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x08}, kStatusBusy},
        {{0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x12, 0x34, 0x56, 0x02}, kStatusCheckCondition},
    };
    for (const auto& c : cases) {
        StatusPacket packet{};
        std::memcpy(&packet, c.packet.data(), sizeof packet);
        EXPECT_EQ(StatusByteOf(packet), c.status);
    }
}

TEST(PacketCodingTest, HeldSenseGoesOutWithItsInformationFieldBigEndian)
{
    SenseData held{};
    held.ErrCode = 0x70;
    held.SenseKey = kSenseILI | 0x03;
    held.InfoBytes = 0x00010203;
    held.SenseCode = 0x80;
    held.SenseQualifier = 0x0D;
    const Bytes expected = {0x70, 0, 0x23, 0x00, 0x01, 0x02, 0x03, 0, 0, 0, 0, 0, 0x80, 0x0D, 0, 0, 0, 0};
    EXPECT_EQ(BytesOf(SenseAsSent(held)), expected);
}

// A data packet whose header says `lengthField`, with `dataBytes` of data
// and `trailing` bytes after them (status bytes, or more data).
Bytes DataPacket(DWORD lengthField, DWORD dataBytes, DWORD trailing)
{
    // clang-format off
    Bytes packet = {static_cast<BYTE>(lengthField >> 24), static_cast<BYTE>(lengthField >> 16),
                    static_cast<BYTE>(lengthField >> 8), static_cast<BYTE>(lengthField), 0x00, 0x02, 0xB0, 0x00,
                    0, 0, 0, 0};
    // clang-format on
    packet.resize(packet.size() + dataBytes + trailing, 0x55);
    return packet;
}

// Read data phases of a request for 100 bytes (a transfer of 112): only a
// whole data header whose length lies within what arrived, followed by at
// most one status packet, makes a short read.
TEST(PacketCodingTest, ReadDataPhasesAreDecodedByTheirHeader)
{
    constexpr DWORD kTransfer = 112;
    const struct {
        const char* name;
        Bytes received;
        bool valid;
        DWORD dataEnd;
        DWORD dataBytes;
        DWORD statusBytes;
    } cases[] = {
        {"all the data", DataPacket(112, 100, 0), true, 112, 100, 0},
        {"all the data, a header of another length", DataPacket(4000, 100, 0), true, 112, 100, 0},
        {"the whole status inside the request", DataPacket(96, 84, 16), true, 96, 84, 16},
        {"part of the status inside the request", DataPacket(102, 90, 10), true, 102, 90, 10},
        {"short, with the status", DataPacket(62, 50, 16), true, 62, 50, 16},
        {"short, with part of the status", DataPacket(62, 50, 6), true, 62, 50, 6},
        {"short, no data and the status", DataPacket(12, 0, 16), true, 12, 0, 16},
        {"nothing", {}, false, 0, 0, 0},
        {"short, fewer bytes than a header", Bytes{0x00, 0x00, 0x00, 0x0C, 0x00, 0x02, 0xB0, 0x00}, false, 0, 0, 0},
        {"short, length below the header's size", DataPacket(8, 50, 16), false, 0, 0, 0},
        {"short, length beyond what arrived", DataPacket(500, 50, 16), false, 0, 0, 0},
        {"short, more than a status packet after the data", DataPacket(40, 28, 40), false, 0, 0, 0},
        {"short, no data header", Bytes(60, 7), false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes transfer = c.received;
        transfer.resize(kTransfer);
        const ReceivedData data =
            DecodeReadDataPhase(transfer.data(), static_cast<DWORD>(c.received.size()), kTransfer);
        EXPECT_EQ(data.valid, c.valid);
        EXPECT_EQ(data.dataEnd, c.dataEnd);
        EXPECT_EQ(data.dataBytes, c.dataBytes);
        EXPECT_EQ(data.statusBytes, c.statusBytes);
    }
}

} // namespace
