// The control channel between the service manager's callers and a running
// service's dispatcher: one connection per control, a request frame (the
// control, its event type and a data block) and a reply frame (the handler's
// answer and the status after it).
#pragma once

#include "platform/services/winsvc.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plat::services {

// The largest data block a control may carry.
constexpr DWORD kMaxControlData = 64 * 1024;

// How long a caller waits for a service's handler, as the service manager does.
constexpr DWORD kControlTimeoutMs = 30000;

struct ControlRequest {
    DWORD control = 0;
    DWORD eventType = 0;
    std::vector<BYTE> data;
};

struct ControlReply {
    DWORD error = 0;
    SERVICE_STATUS_PROCESS status = {};
};

// Sends the request to the socket and waits for the reply. Returns
// ERROR_SUCCESS (reply filled), ERROR_SERVICE_NOT_ACTIVE when nothing
// listens or the service went away mid-call, ERROR_SERVICE_REQUEST_TIMEOUT
// when no reply came within timeoutMs (platform clock).
DWORD SendControl(const std::string& socketPath, const ControlRequest& request, ControlReply& reply, DWORD timeoutMs);

// Listening socket at `path` (an old file there is replaced); -1 on failure.
int ListenControlSocket(const std::string& path);

// Reads one request from an accepted connection; false on a malformed or
// oversized frame, a peer of another user, or a peer that sends nothing
// within a few seconds.
bool ReadControlRequest(int connection, ControlRequest& request);
bool WriteControlReply(int connection, const ControlReply& reply);

} // namespace plat::services
