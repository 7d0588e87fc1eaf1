// Installation of one scanner instance: its per-device copies of the
// hardware-service program and of the TWAIN data source, the device's
// registry values, and the registration of the shared COM servers.
#pragma once

#include <string>

namespace coinst {

// True when the instance was configured already or has been set up now;
// false when a step fails (what was done before it stays).
bool RegisterScanner(const std::u16string& driverKey, const std::u16string& deviceInstanceId);

// regsvr32 on basePath's 32-bit form (".dll" under the 32-bit system
// folder) and then its 64-bit form ("x.dll"). True when the second run
// could be started.
bool RegisterPS(const std::u16string& basePath, bool bRegister);

// regsvr32 on the system's msxml6.dll, 64-bit then 32-bit.
bool RegisterMSXML6();

// The device interface path of an instance id: "\\?\" + the id with '\'
// made '#' + the image class suffix, all lower case.
std::u16string SymbolicNameFor(const std::u16string& deviceInstanceId);

// The 32-bit form of a library path: upper-cased, "SYSTEM32\" made "SysWOW64\".
std::u16string ThirtyTwoBitPath(const std::u16string& path);

} // namespace coinst
