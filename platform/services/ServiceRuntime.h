// What a running service leaves in the run-time folder (<run>/services):
//   <stem>.lock    held (an open-file-description lock) by the service's
//                  process for as long as it lives, so a crash frees it;
//   <stem>.status  the last status it reported, replaced atomically;
//   <stem>.sock    its dispatcher's control socket.
// <stem> is the service name in its case-folded form, so every spelling of
// a name finds the same files.
#pragma once

#include "platform/services/winsvc.h"

#include <string>
#include <string_view>

namespace plat::services {

std::string RuntimeDirectory();
bool EnsureRuntimeDirectory();

std::string LockPath(std::u16string_view name);
std::string StatusPath(std::u16string_view name);
std::string SocketPath(std::u16string_view name);
// Standard output and error of the service's program.
std::string ProgramLogPath(std::u16string_view name);

// True while a process holds the service's lock.
bool IsServiceProcessAlive(std::u16string_view name);

// Tries to take the lock on an open descriptor of the lock file; false when
// another process holds it.
bool TryLockServiceFile(int fd);

bool ReadStatusFile(std::u16string_view name, SERVICE_STATUS_PROCESS& status);
bool WriteStatusFile(std::u16string_view name, const SERVICE_STATUS_PROCESS& status);

// The status as callers see it: the reported one while the process lives;
// stopped otherwise (ERROR_PROCESS_ABORTED when it ended without reporting
// stopped, ERROR_SERVICE_NEVER_STARTED when it never ran). `type` fills in
// the type of a service that never reported one.
SERVICE_STATUS_PROCESS CurrentStatus(std::u16string_view name, DWORD type);

void RemoveRuntimeFiles(std::u16string_view name);

} // namespace plat::services
