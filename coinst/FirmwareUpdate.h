// The firmware update at the end of an installation: the scanner is asked
// for its firmware version through the instance's hardware service and gets
// the image this library carries when its version is older.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"

#include <string>

namespace coinst {

// Control codes of the hardware service used here.
constexpr LONG HCC_GET_FIRMWARE_VERSION = 11;
constexpr LONG HCC_DOWNLOAD_FIRMWARE = 12;

// The firmware image: resource "BINARY" 101 of this library, always sent
// whole with this length.
constexpr WORD kFirmwareResourceId = 101;
constexpr DWORD kFirmwareImageSize = 0xC0000;

// Always false; deviceInstanceId is not used.
bool HandleFirmwareUpdate(const std::u16string& driverKey, const std::u16string& deviceInstanceId);

// The session with the service: open it, take the lock, ask the version,
// send the image when it is newer, and release everything again.
void UpdateFirmware(IRNXHALS* hal);

// One Control2 call with byte arrays; true when it returned S_OK (then
// outLength bytes of the answer are in output).
bool HalControl2(IRNXHALS* hal, LONG code, const BYTE* input, DWORD inLength, BYTE* output, DWORD outLength);

// True for T.nn versions below T.55 and for 1.0x versions below 1.01.
bool VersionNeedsUpgrade(const std::u16string& version);

} // namespace coinst
