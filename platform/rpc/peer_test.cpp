// The client side of a connection against a server that breaks the
// protocol: every answer it can give ends the activation with an error,
// never a crash or a hang.
#include "platform/base/sysroot.h"
#include "platform/registry/winreg.h"
#include "platform/com/ComTesting.h"
#include "platform/rpc/Wire.h"
#include "platform/rpc/rpc.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace plat::rpc {
namespace {

// Listens where the class's server would, and answers every call with
// `answer` (which may also just close).
class LyingServer {
public:
    using Answer = void (*)(int fd, const FrameHeader& request);

    LyingServer(REFCLSID clsid, Answer answer) : m_answer(answer)
    {
        std::string path = RuntimeFolder() + "/com-" + GuidToString(clsid) + ".sock";
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        m_listen = socket(AF_UNIX, SOCK_STREAM, 0);
        bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listen, 8);
        m_thread = std::thread([this] {
            for (;;) {
                int fd = accept(m_listen, nullptr, nullptr);
                if (fd < 0)
                    return;
                FrameHeader header;
                Bytes body;
                if (ReadFrame(fd, header, body))
                    m_answer(fd, header);
                close(fd);
            }
        });
    }
    ~LyingServer()
    {
        shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        close(m_listen);
    }

private:
    Answer m_answer;
    int m_listen = -1;
    std::thread m_thread;
};

void Reply(int fd, std::uint32_t callId, const MessageWriter& body)
{
    FrameHeader header{FrameType::Reply, callId, static_cast<std::uint32_t>(body.Data().size())};
    WriteFrame(fd, header, body.Data().data(), body.Data().size());
}

TEST(PeerTest, AServerThatBreaksTheProtocolFailsTheActivation)
{
    plat::testing::TempSystemRoot root;
    plat::testing::ComScope com;
    struct Case {
        const char* what;
        LyingServer::Answer answer;
        HRESULT expected;
    };
    const Case cases[] = {
        {"closes without a reply", [](int, const FrameHeader&) {}, RPC_E_SERVER_DIED},
        {"fault flag out of range",
         [](int fd, const FrameHeader& request) {
             MessageWriter body;
             body.WriteU32(7);
             body.WriteI32(0);
             Reply(fd, request.callId, body);
         },
         RPC_E_INVALID_DATA},
        {"reply too short",
         [](int fd, const FrameHeader& request) {
             MessageWriter body;
             body.WriteU8(0);
             Reply(fd, request.callId, body);
         },
         RPC_E_INVALID_DATA},
        {"reply to a call never made",
         [](int fd, const FrameHeader& request) {
             MessageWriter body;
             body.WriteU32(0);
             body.WriteI32(0);
             Reply(fd, request.callId + 1000, body);
         },
         RPC_E_SERVER_DIED},
        {"a fault that claims success",
         [](int fd, const FrameHeader& request) {
             MessageWriter body;
             body.WriteU32(1);
             body.WriteI32(S_OK);
             Reply(fd, request.callId, body);
         },
         RPC_E_INVALID_DATA},
        {"object reference cut short",
         [](int fd, const FrameHeader& request) {
             MessageWriter body;
             body.WriteU32(0);
             body.WriteI32(S_OK);
             body.WriteU64(5);
             Reply(fd, request.callId, body);
         },
         RPC_E_INVALID_DATA},
        {"a null class object",
         [](int fd, const FrameHeader& request) {
             MessageWriter body;
             body.WriteU32(0);
             body.WriteI32(S_OK);
             body.WriteU64(0);
             body.WriteGuid(IID_IClassFactory);
             Reply(fd, request.callId, body);
         },
         RPC_E_INVALID_DATA},
        {"garbage instead of a frame",
         [](int fd, const FrameHeader&) {
             const char junk[] = "this is not a frame at all";
             (void)!write(fd, junk, sizeof junk);
         },
         RPC_E_SERVER_DIED},
    };
    std::uint32_t index = 0;
    for (const Case& c : cases) {
        CLSID clsid = MakeGuid("0C1A55E5-0000-4000-8000-00000000F00D");
        clsid.Data1 += ++index;
        LyingServer server(clsid, c.answer);
        IUnknown* object = nullptr;
        EXPECT_EQ(
            CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)),
            c.expected)
            << c.what;
        EXPECT_EQ(object, nullptr) << c.what;
    }
}

TEST(PeerTest, AClassWithoutARunnableServerFailsAtOnce)
{
    plat::testing::TempSystemRoot root;
    plat::testing::ComScope com;
    const CLSID clsid = MakeGuid("0C1A55E5-0000-4000-8000-00000000BEEF");
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG);

    // A LocalServer32 that names no program.
    std::u16string key = u"CLSID\\" + GuidToWideString(clsid) + u"\\LocalServer32";
    std::u16string command = u"/nonexistent/server";
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>((command.size() + 1) * 2));
    RegCloseKey(handle);
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)),
              CO_E_SERVER_EXEC_FAILURE);
}

} // namespace
} // namespace plat::rpc
