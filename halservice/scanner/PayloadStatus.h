// Why a band failed, or why the scanner refused a configuration: the
// pipeline's payload status codes, worked out from the scanner's sense.
#pragma once

#include "halservice/ScannerPackets.h"
#include "platform/base/wintypes.h"

constexpr LONG kStatusScannerError = 1;
constexpr LONG kStatusNoPaper = 2;
// No connection to the scanner: it was unplugged or switched off.
constexpr LONG kStatusNotConnected = -1;

// The status the sense stands for (sense byte 2 whole, flags included, with
// ASC and ASCQ); `noSense` when the sense names no condition (byte 2 is 0),
// kStatusScannerError for a condition without a status of its own.
LONG PayloadStatusFromSense(const SenseData& sense, LONG noSense);
