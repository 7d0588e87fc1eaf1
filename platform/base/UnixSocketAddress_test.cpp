// Sockets whose paths do not fit sun_path are bound and reached through
// their folder's descriptor.
#include "platform/base/UnixSocketAddress.h"

#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(UnixSocketAddress, AnyPathLengthBindsAndConnects)
{
    plat::testing::TempSystemRoot root;
    const std::string deep = root.Path() + "/" + std::string(180, 'd') + "/" + std::string(100, 'e');
    std::filesystem::create_directories(deep);
    for (const std::string& path : {root.Path() + "/short.sock", deep + "/run.sock"}) {
        SCOPED_TRACE(path.size());
        const plat::UnixSocketAddress address(path);
        ASSERT_TRUE(address.Valid());
        const int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(0, bind(server, address.Get(), address.Size()));
        ASSERT_EQ(0, listen(server, 1));
        // The socket is the file of the path, whatever named it.
        struct stat status {};
        ASSERT_EQ(0, stat(path.c_str(), &status));
        EXPECT_TRUE(S_ISSOCK(status.st_mode));

        const plat::UnixSocketAddress again(path);
        const int client = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(0, connect(client, again.Get(), again.Size()));
        close(client);
        close(server);
    }

    // Too long even for the short form: a file name of 100 bytes; or a
    // folder that is not there.
    for (const std::string& path : {deep + "/" + std::string(100, 'f'), deep + "/missing/" + std::string(100, 'g')}) {
        errno = 0;
        EXPECT_FALSE(plat::UnixSocketAddress(path).Valid());
        EXPECT_NE(0, errno);
    }
}

} // namespace
