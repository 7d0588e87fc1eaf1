// Small helpers over POSIX file descriptors shared by the platform modules.
#pragma once

#include <cstddef>
#include <string_view>
#include <sys/types.h>

namespace plat {

// Writes all of the text, resuming after short writes and interrupted
// calls; false when the descriptor refuses more.
bool WriteAll(int fd, std::string_view text);

// Sends all `size` bytes on a socket (never raising SIGPIPE), resuming
// after short sends and interrupted calls; false when the peer is gone.
bool SendAll(int socket, const void* data, std::size_t size);
// Receives exactly `size` bytes, blocking; false when the stream ends or
// fails first.
bool ReceiveAll(int socket, void* data, std::size_t size);

// True when the process at the other end of the connected Unix socket runs
// as this process's user (SO_PEERCRED). Every socket of the system serves
// and trusts only its own user.
bool PeerIsSameUser(int socket);
// The process at the other end of the connected Unix socket, 0 when unknown.
pid_t PeerProcessId(int socket);

} // namespace plat
