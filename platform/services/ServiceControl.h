// Service-manager calls for other platform areas and tools, without handles.
#pragma once

#include "platform/services/winsvc.h"

#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Starts the named service as StartService does. Returns ERROR_SUCCESS or the
// Windows error (ERROR_SERVICE_ALREADY_RUNNING when it runs already, which
// callers that only need it running treat as success). Used by COM to start
// a class's LocalService.
DWORD StartServiceByName(std::u16string_view serviceName, const std::vector<std::u16string>& args = {});

// Sends a control with its event type and data block to a running service's
// handler and returns the handler's answer (or the Windows error of the
// delivery: ERROR_SERVICE_DOES_NOT_EXIST, ERROR_SERVICE_NOT_ACTIVE,
// ERROR_SERVICE_CANNOT_ACCEPT_CTRL, ERROR_SERVICE_REQUEST_TIMEOUT). The data
// (at most 64 KiB) reaches the handler as a copy in suitably aligned memory.
DWORD SendServiceControl(std::u16string_view serviceName, DWORD control, DWORD eventType, const void* data,
                         DWORD dataSize);

// SERVICE_CONTROL_DEVICEEVENT with eventType (DBT_DEVICEARRIVAL 0x8000,
// DBT_DEVICEREMOVECOMPLETE 0x8004, ...) and the DEV_BROADCAST_* block, whose
// first DWORD is its own size; what RegisterDeviceNotification on a service
// status handle delivers. Device events reach a service in any state but
// stopped, and whatever controls it accepts.
DWORD SendServiceDeviceEvent(std::u16string_view serviceName, DWORD eventType, const void* broadcast);

// The service's current status (stopped when it is not running).
bool QueryServiceStatusByName(std::u16string_view serviceName, SERVICE_STATUS_PROCESS& status);

// Waits until the service reports `state` (SERVICE_STOPPED also when its
// process ended, or when it is gone from the database and not running).
// False after timeoutMs (measured on the platform clock), or at once for any
// other state of a service that does not exist.
bool WaitForServiceState(std::u16string_view serviceName, DWORD state, DWORD timeoutMs);

// Names of every service in the database, in name order.
std::vector<std::u16string> ListServiceNames();

} // namespace plat
