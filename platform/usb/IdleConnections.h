// Connections to device sockets that outlive their handles: closing the
// last handle on a device served by a program keeps its connection, and the
// next open of the same device takes it up again instead of connecting
// anew (the hardware service opens and closes the scanner ten times a
// second to poll its keys). One idle connection per socket is kept.
#pragma once

#include <string>

namespace plat::usb {

// A kept connection to the socket that the program still serves, or -1.
// One the program has closed meanwhile is dropped.
int TakeIdleConnection(const std::string& socketPath);
// Keeps a connection whose exchanges are all complete (nothing is unread on
// it); closes it when one is kept already.
void KeepIdleConnection(const std::string& socketPath, int fd);

} // namespace plat::usb
