// Where device arrival and removal notices come from, for the platform.
//
// A device served by a program arrives when its socket appears in the
// run-time folder and leaves when the socket goes; every process with
// subscribers watches that folder (inotify). A device on the USB bus that an
// installed driver package serves arrives and leaves with udev's add and
// remove events (BusWatch). A device attached in process announces itself
// here directly.
#pragma once

#include "platform/base/wintypes.h"

#include <functional>
#include <string_view>

namespace plat::devices {

enum class DeviceEvent { Arrival, Removal };

// Queues the notice for this process's subscribers of the image interface
// class; it is delivered on the notification thread.
void AnnounceDeviceEvent(std::u16string_view interfacePath, DeviceEvent event);

// How a notice reaches a service: the service layer installs a sink that
// calls the handler registered under the status handle with the
// device-event control, the event type and the DEV_BROADCAST record (valid
// for the call only). Without a sink, notices to services are dropped.
using ServiceDeviceEventSink = std::function<void(HANDLE statusHandle, DWORD eventType, void* eventData)>;
void SetServiceDeviceEventSink(ServiceDeviceEventSink sink);

// Makes sure this process watches the device sockets of the current system
// root and the USB bus (the transport asks for it when it opens a device
// served by a program or on the bus, so that a read waiting on it learns
// when it leaves).
void WatchDeviceEndpoints();

// Blocks until every notice queued or observed so far has been delivered
// (for tests: the point after which a notice can no longer be in flight).
void FlushDeviceEvents();

} // namespace plat::devices
