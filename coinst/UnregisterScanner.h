// Removal of one scanner instance: undoes what RegisterScanner set up.
#pragma once

#include <string>

namespace coinst {

// The services stopped around a removal, by display name.
constexpr const char16_t* kMonitorServiceName = u"Tessivo 4.0 Monitor";
constexpr const char16_t* kImageAcquisitionServiceName = u"Windows Image Acquisition (WIA)";

// True when the removal ran to its end; false when the device key or one of
// its values cannot be read (then nothing was stopped, deleted or
// unregistered). deviceInstanceId is not used.
bool UnregisterScanner(const std::u16string& driverKey, const std::u16string& deviceInstanceId);

} // namespace coinst
