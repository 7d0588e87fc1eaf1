// The co-installer's entry: the device installer calls it for every
// device-installation function it runs on a scanner instance.
#pragma once

#include "platform/windows.h"

namespace coinst {

// The library's module handle, kept by DllMain (null in a program that
// links the co-installer's code directly: the program's own resources).
HINSTANCE ModuleHandle();
void SetModuleHandle(HINSTANCE module);

// Always NO_ERROR: its steps report only through the log.
DWORD CoInstallerEntry(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                       PCOINSTALLER_CONTEXT_DATA Context);

} // namespace coinst
