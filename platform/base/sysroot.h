// The system root: the one folder that holds all persistent state (the
// registry database, the system folder, run-time sockets, logs). Named by
// QBK_SYSROOT; default $XDG_DATA_HOME/qbk24 or $HOME/.local/share/qbk24.
//
// The root belongs to one user and is private to that user: folders are
// made 0700, files 0600, and a root owned by another user, or a shared
// folder that holds files, is refused. With none of the three variables set
// there is no root at all (never a shared folder such as /tmp that another
// user could have made first).
#pragma once

#include "platform/base/sysrootname.h"

#include <string>
#include <string_view>

namespace plat {

// The root folder, read from the environment on each call (tests change it):
// SystemRootFromEnvironment(). When no root is named this is a path below
// /dev/null, where nothing can ever be made or found, so every use of it
// fails.
std::string SystemRoot();

// Folders inside the root, created on demand by EnsureSystemRootLayout.
std::string SystemFolder();  // <root>/system: per-device program copies
std::string WindowsFolder(); // <root>/windows: the data-source folder twain_32 lives here
std::string RuntimeFolder(); // <root>/run: sockets of servers, services, devices
std::string LogFolder();     // <root>/log: event log and application logs
std::string RegistryPath();  // <root>/registry.db
// <root>/users/<login name of this process's user>: the user's profile,
// which holds the user's special folders.
std::string UserProfileFolder();
// <profile>/AppData/Local/Temp: the user's temporary folder (GetTempPath),
// made with the root's layout.
std::string UserTempFolder();

// Creates the root and its folders (system, run, log and the user's
// temporary folder) private to the user, tightening the mode of ones that
// exist; false when no root is named, the root or one of its folders
// belongs to another user, is shared (others may write to it) and not
// empty, or cannot be made. The reason is then in SystemRootProblem() and
// written once to stderr.
bool EnsureSystemRootLayout();
// Why the last EnsureSystemRootLayout failed, in words; empty after success.
std::string SystemRootProblem();

// Makes `path` and any missing folders above it, each new one 0700; false
// when it cannot be made or is not a folder.
bool CreatePrivateFolder(const std::string& path);
// open(2) for a file that only its owner may read or write: created 0600,
// and an existing file of ours that others could read is made 0600.
int OpenPrivateFile(const std::string& path, int flags);
// Appends `text` to a private file (made when missing); false when the file
// cannot be opened or does not take all of it.
bool AppendToPrivateFile(const std::string& path, std::string_view text);

} // namespace plat
