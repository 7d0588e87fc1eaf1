// The address of a Unix socket file, for a path of any length.
//
// sun_path holds at most 107 bytes, and a system root deep in the file
// system makes longer socket paths. Such a path is named through its
// folder's descriptor, /proc/self/fd/N/<name>: the kernel resolves it to the
// same file, and the address keeps the folder open for as long as it is
// used (bind, connect). Plain system calls, so that the emulator, which
// does not use the platform layer, shares it.
#pragma once

#include <string>
#include <sys/socket.h>
#include <sys/un.h>

namespace plat {

class UnixSocketAddress {
public:
    // Invalid, with errno ENAMETOOLONG or the folder's open error, when even
    // the short form does not fit (a file name of about 90 bytes).
    explicit UnixSocketAddress(const std::string& path);
    ~UnixSocketAddress();
    UnixSocketAddress(const UnixSocketAddress&) = delete;
    UnixSocketAddress& operator=(const UnixSocketAddress&) = delete;

    bool Valid() const { return m_valid; }
    const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&m_address); }
    socklen_t Size() const { return sizeof m_address; }

private:
    sockaddr_un m_address{};
    int m_folder = -1;
    bool m_valid = false;
};

} // namespace plat
