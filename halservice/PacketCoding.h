// The packets of one command exchange, encoded for the wire and decoded
// from it, without I/O.
#pragma once

#include "halservice/ScannerPackets.h"
#include "platform/base/wintypes.h"

// A command block a command packet can carry: 1 to kMaxCdbLength bytes.
bool IsPacketableCommandBlock(const BYTE* cdb, DWORD cdbLength);
// A data length whose data packet (data and header) has a 32-bit length.
bool FitsDataPacket(DWORD dataLength);

CommandPacket EncodeCommandPacket(const BYTE* cdb, DWORD cdbLength);
// The head of a data packet of `packetLength` bytes, header included.
DataPacketHeader EncodeDataHeader(DWORD packetLength);
// The SCSI status byte of a status packet as received.
BYTE StatusByteOf(const StatusPacket& received);
// Sense data held in host order, as the scanner sent it.
SenseData SenseAsSent(const SenseData& held);

// What a read data phase brought: `received` bytes of a transfer asked for
// `transferSize`. The scanner may end the data early, and the status then
// follows in the same transfer. Only a whole data header whose length lies
// within what arrived, followed by at most one status packet, is believed;
// a short read without one is a failed data phase.
struct ReceivedData {
    bool valid = false;
    DWORD dataEnd = 0;     // where the data packet ends, its header included
    DWORD dataBytes = 0;   // the data in it
    DWORD statusBytes = 0; // the first bytes of the status packet after it
};
ReceivedData DecodeReadDataPhase(const BYTE* transfer, DWORD received, DWORD transferSize);
