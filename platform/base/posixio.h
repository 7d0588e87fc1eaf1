// Small helpers over POSIX file descriptors shared by the platform modules.
#pragma once

#include <cstddef>
#include <string_view>
#include <sys/types.h>
#include <sys/uio.h>

namespace plat {

// Writes all of the text, resuming after short writes and interrupted
// calls; false when the descriptor refuses more.
bool WriteAll(int fd, std::string_view text);

// Sends all `size` bytes on a socket (never raising SIGPIPE), resuming
// after short sends and interrupted calls; false when the peer is gone.
bool SendAll(int socket, const void* data, std::size_t size);
// Sends the pieces in order, as few calls as the socket takes them in;
// false when the peer is gone. The pieces are changed as they go out.
bool SendAllPieces(int socket, iovec* pieces, std::size_t count);
// Takes `done` bytes off the front of the pieces from pieces[first] on,
// moving `first` past the pieces that are used up.
void ConsumePieces(iovec* pieces, std::size_t& first, std::size_t done);
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
