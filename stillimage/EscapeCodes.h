// The driver's escape codes (IStiUSD::Escape) as still-image clients send
// them, and the control block of ESCAPE_SCSI_COMMAND.
#pragma once

#include "platform/windows.h"

#include <cstddef>

constexpr DWORD ESCAPE_SCSI_COMMAND = 1;
constexpr DWORD ESCAPE_REPORT_ONE = 2;
constexpr DWORD ESCAPE_NOP = 3;
constexpr DWORD ESCAPE_REPORT_FLAGS = 4;
constexpr DWORD ESCAPE_REPORT_ONE_AGAIN = 5; // answers as ESCAPE_REPORT_ONE
constexpr DWORD ESCAPE_REPORT_TWO = 0x1004;

// The command block of ESCAPE_SCSI_COMMAND, passed as the input buffer with
// exactly sizeof(ESCAPE_SCSI_COMMAND_BLOCK) bytes. The fields keep the order
// of the 28-byte block of 32-bit clients; the two pointers are 64-bit here,
// so the block is 40 bytes with natural alignment (4 bytes of padding after
// dwDataLength):
//
//   offset  0  dwDirection     0 no data, 1 read from the scanner, 2 write to it
//   offset  4  abCommand       the command block, 10 bytes
//   offset 14  wCommandLength  bytes of abCommand to send, at most 10
//   offset 16  dwDataLength    bytes at pData
//   offset 24  pData           the data buffer, or null for none
//   offset 32  pdwStatus       receives 1 when the scanner took the command,
//                              4 when it did not; may be null
struct ESCAPE_SCSI_COMMAND_BLOCK {
    DWORD dwDirection;
    BYTE abCommand[10];
    WORD wCommandLength;
    DWORD dwDataLength;
    BYTE* pData;
    DWORD* pdwStatus;
};
static_assert(sizeof(ESCAPE_SCSI_COMMAND_BLOCK) == 40);
static_assert(offsetof(ESCAPE_SCSI_COMMAND_BLOCK, abCommand) == 4);
static_assert(offsetof(ESCAPE_SCSI_COMMAND_BLOCK, wCommandLength) == 14);
static_assert(offsetof(ESCAPE_SCSI_COMMAND_BLOCK, dwDataLength) == 16);
static_assert(offsetof(ESCAPE_SCSI_COMMAND_BLOCK, pData) == 24);
static_assert(offsetof(ESCAPE_SCSI_COMMAND_BLOCK, pdwStatus) == 32);
