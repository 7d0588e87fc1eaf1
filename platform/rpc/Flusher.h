// The one thread of a process that finishes the sends its sockets had no
// room for: it waits until a connection's socket can take more and lets
// the connection send what waits. Nobody else ever waits for a peer to
// read, so a peer that stops reading holds up only its own frames.
#pragma once

#include <memory>

namespace plat::rpc {

class Connection;

// Calls connection->FlushWaiting() once the socket `fd` has room (once for
// any number of calls made before that); false when it cannot watch it.
bool FlushWhenWritable(const std::shared_ptr<Connection>& connection, int fd);
// The connection is about to close `fd`: it is no longer watched.
void StopWatching(int fd);

} // namespace plat::rpc
