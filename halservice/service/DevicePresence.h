// Whether the scanner this program copy serves is present: decided from the
// device path saved at installation, not from the device a notice names.
#pragma once

#include <string_view>

// True when an imaging device whose interface path equals `symbolicName`
// and whose driver key is the image class key + `instanceKey` (both without
// regard to case) has a device node whose status can be read.
bool CheckDevicePresence(std::u16string_view symbolicName, std::u16string_view instanceKey);
