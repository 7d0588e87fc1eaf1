// The system root: the one folder that holds all persistent state (the
// registry database, the system folder, run-time sockets, logs). Named by
// QBK_SYSROOT; default $XDG_DATA_HOME/qbk24 or ~/.local/share/qbk24.
#pragma once

#include <string>

namespace plat {

constexpr const char* kSysRootVariable = "QBK_SYSROOT";

// The root folder, read from the environment on each call (tests change it).
std::string SystemRoot();

// Folders inside the root, created on demand by EnsureSystemRootLayout.
std::string SystemFolder();   // <root>/system: per-device program copies
std::string RuntimeFolder();  // <root>/run: sockets of servers, services, devices
std::string LogFolder();      // <root>/log: event log and application logs
std::string RegistryPath();   // <root>/registry.db

// Creates the root and its folders; false when they cannot be made.
bool EnsureSystemRootLayout();

} // namespace plat
