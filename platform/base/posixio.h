// Small helpers over POSIX file descriptors shared by the platform modules.
#pragma once

#include <string_view>
#include <sys/types.h>

namespace plat {

// Writes all of the text, resuming after short writes and interrupted
// calls; false when the descriptor refuses more.
bool WriteAll(int fd, std::string_view text);

// True when the process at the other end of the connected Unix socket runs
// as this process's user (SO_PEERCRED). Every socket of the system serves
// and trusts only its own user.
bool PeerIsSameUser(int socket);
// The process at the other end of the connected Unix socket, 0 when unknown.
pid_t PeerProcessId(int socket);

} // namespace plat
