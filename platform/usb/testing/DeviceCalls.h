// The device calls a driver makes, as tests of the device file make them.
#pragma once

#include "platform/usb/fileio.h"

#include <string>

namespace plat::usb::testing {

// Opens the device behind the path for reading and writing, as the
// scanner's driver does.
inline HANDLE OpenDevice(const std::u16string& path, DWORD flags = FILE_ATTRIBUTE_NORMAL)
{
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, flags, nullptr);
}

// A pipe control (IOCTL_RESET_PIPE, IOCTL_CANCEL_IO) on one pipe.
inline BOOL PipeControl(HANDLE device, DWORD code, DWORD pipe)
{
    DWORD returned = 0;
    return DeviceIoControl(device, code, &pipe, sizeof pipe, nullptr, 0, &returned, nullptr);
}

} // namespace plat::usb::testing
