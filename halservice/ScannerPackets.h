// The scanner's USB bulk protocol: every command is a command packet on the
// write pipe, an optional data packet in either direction, and a status
// packet on the read pipe. Multi-byte fields are big-endian on the wire.
#pragma once

#include "platform/base/wintypes.h"

#include <cstddef>

constexpr DWORD kCommandPacketSize = 24;
constexpr DWORD kDataHeaderSize = 12;
constexpr DWORD kStatusPacketSize = 16;
constexpr DWORD kSenseDataSize = 18;
constexpr DWORD kMaxCdbLength = 12;

constexpr WORD kPacketTypeCommand = 1;
constexpr WORD kPacketTypeData = 2;
constexpr WORD kCommandCode = 0x9000;
constexpr WORD kDataCode = 0xB000;

// SCSI status bytes.
constexpr BYTE kStatusGood = 0x00;
constexpr BYTE kStatusCheckCondition = 0x02;
constexpr BYTE kStatusBusy = 0x08;

// Directions of a command's data phase.
constexpr DWORD kDirectionNone = 0;
constexpr DWORD kDirectionRead = 1;
constexpr DWORD kDirectionWrite = 2;

// Bits of SenseData::SenseKey besides the key itself.
constexpr BYTE kSenseKeyMask = 0x0F;
constexpr BYTE kSenseILI = 0x20; // short transfer
constexpr BYTE kSenseEOM = 0x40; // end of page

#pragma pack(push, 1)

struct CommandPacket {
    DWORD dwLength;   // always 24
    WORD wType;       // 1
    WORD wCode;       // 0x9000
    DWORD dwReserved; // 0
    BYTE byCDB[kMaxCdbLength];
};

// The head of a data packet; the data follows it.
struct DataPacketHeader {
    DWORD dwLength; // data length + 12
    WORD wType;     // 2
    WORD wCode;     // 0xB000
    DWORD dwReserved;
};

struct DataPacket {
    DataPacketHeader Header;
    BYTE byData[1];
};

struct StatusPacket {
    BYTE byReserved[12];
    DWORD dwStatus; // the low byte (offset 15) is the SCSI status byte
};

// Fixed-format sense data as REQUEST SENSE returns it.
struct SenseData {
    BYTE ErrCode;
    BYTE SegmentNum;
    BYTE SenseKey;   // bits 0-3 the key; kSenseILI, kSenseEOM
    DWORD InfoBytes; // residue of a short read; host order once stored
    BYTE SenseLen;
    BYTE CmdSpecificInfo[4];
    BYTE SenseCode;
    BYTE SenseQualifier;
    BYTE FRUCode;
    BYTE SenseKeySpecific[3];
};

#pragma pack(pop)

static_assert(sizeof(CommandPacket) == kCommandPacketSize);
static_assert(sizeof(DataPacketHeader) == kDataHeaderSize);
static_assert(sizeof(StatusPacket) == kStatusPacketSize);
static_assert(sizeof(SenseData) == kSenseDataSize);
static_assert(offsetof(SenseData, SenseCode) == 12);

// What TranslateSense makes of sense data: 0 no error, 1 unrecognised.
using ScannerErrorCode = int;
