// A same-user peer of the installed hardware service that sends calls and
// never reads the answers: what the service's resident memory shows of it
// (from /proc), and that the service has it back once the peer is cut off.
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "platform/rpc/PeerBudget.h"
#include "platform/rpc/rpc.h"
#include "platform/rpc/testing/RawPeer.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using plat::rpc::testing::RawPeer;
using plat::testing::ChildProcess;
using plat::testing::RunProgram;

constexpr std::size_t kMiB = 1u << 20;
constexpr auto kPatience = std::chrono::seconds(20);

// Under AddressSanitizer its allocator (and the quarantine of freed
// memory) decides what the service holds: the figures say nothing there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryIsTheHeaps = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMemoryIsTheHeaps = false;
#else
constexpr bool kMemoryIsTheHeaps = true;
#endif
#else
constexpr bool kMemoryIsTheHeaps = true;
#endif

// A figure of /proc/<pid>/status in bytes ("VmRSS", "VmHWM"); 0 unread.
std::size_t StatusBytes(DWORD pid, const std::string& field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string name;
    std::size_t kib = 0;
    while (status >> name) {
        if (name == field + ":" && status >> kib)
            return kib * 1024;
    }
    return 0;
}

// The peak resident memory (VmHWM) starts again from the present.
bool ResetPeak(DWORD pid)
{
    std::ofstream clear("/proc/" + std::to_string(pid) + "/clear_refs");
    return static_cast<bool>(clear << "5" << std::flush);
}

std::string DriverValue(const std::string& output, const std::string& name)
{
    const size_t at = output.find("  " + name + " ");
    if (at == std::string::npos)
        return {};
    const size_t start = output.find_first_not_of(' ', at + name.size() + 2);
    return output.substr(start, output.find('\n', start) - start);
}

class StalledPeerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_emulator = std::make_unique<ChildProcess>(std::vector<std::string>{QBK_EMULATOR, "--serial", "stall01"});
        ASSERT_TRUE(m_emulator->Started());
        ASSERT_EQ(m_emulator->ReadLine().rfind("device ", 0), 0u);
        ASSERT_EQ(m_emulator->ReadLine().rfind("ready ", 0), 0u);
        std::string installed;
        ASSERT_EQ(RunProgram({QBK_DEVINSTALL, "install"}, &installed), 0) << installed;
        ASSERT_EQ(CLSIDFromString(Utf8ToUtf16(DriverValue(installed, "HAL_CLSID")).c_str(), &m_class), S_OK);
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        m_com = true;
        ASSERT_EQ(
            CoCreateInstance(m_class, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS, reinterpret_cast<void**>(&m_hal)),
            S_OK);
        m_service = plat::rpc::GetPeerProcessId(m_hal);
        ASSERT_NE(m_service, 0u);
    }

    void TearDown() override
    {
        if (m_hal)
            m_hal->Release();
        if (m_com)
            CoUninitialize();
        plat::testing::KillProgramsRunFrom(m_root.Path());
    }

    // Waits until the service's resident memory is at most `bytes`.
    bool ResidentFallsTo(std::size_t bytes)
    {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (StatusBytes(m_service, "VmRSS") > bytes) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    plat::testing::TempSystemRoot m_root;
    std::unique_ptr<ChildProcess> m_emulator;
    CLSID m_class{};
    bool m_com = false;
    IRNXHALS* m_hal = nullptr;
    DWORD m_service = 0;
};

// DoSCSICmd(TEST UNIT READY) with a data buffer of `size` bytes.
plat::rpc::MessageWriter ScsiCall(std::size_t size)
{
    plat::rpc::MessageWriter args;
    const std::uint8_t cdb[6] = {};
    args.WriteSizedBytes(cdb, sizeof cdb);
    const std::vector<std::uint8_t> data(size);
    args.WriteSizedBytes(data.data(), static_cast<std::uint32_t>(size));
    args.WriteI32(0);
    args.WriteU8(1);
    args.WriteI32(0);
    return args;
}

TEST_F(StalledPeerTest, APeerThatNeverReadsCostsTheServiceItsBoundAndItIsGivenBack)
{
    plat::rpc::MessageWriter initialize;
    initialize.WriteU8(1);
    initialize.WriteI32(0);
    const struct {
        const char* what;
        std::uint32_t method;
        plat::rpc::MessageWriter args;
    } cases[] = {
        {"small calls", 3, std::move(initialize)},
        // Each waits for the scanner thread, so the peer's next calls run
        // inside it on the service's thread.
        {"1 MiB transfers", 7, ScsiCall(kMiB)},
    };
    // What the call being served holds beside the bound (its stub's copy
    // and its answer), and the heap's own share.
    const std::size_t allowance = plat::rpc::PeerBudget::kMaxHeldBytes + 4 * kMiB + 4 * kMiB;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(ResetPeak(m_service));
        const std::size_t before = StatusBytes(m_service, "VmRSS");
        {
            RawPeer peer(m_class);
            const std::uint64_t hal = peer.NewObject(peer.ClassObject(), IID_IRNXHALS);
            ASSERT_NE(hal, 0u);
            // A service that never cuts the peer off fails the test rather
            // than hanging it.
            const timeval patience{std::chrono::seconds(kPatience).count(), 0};
            setsockopt(peer.Socket(), SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
            int sent = 0;
            while (sent < 1000000 && peer.Send(hal, IID_IRNXHALS, c.method, c.args))
                ++sent;
            plat::rpc::FrameHeader header;
            plat::rpc::Bytes body;
            while (peer.Receive(header, body)) {
            }
            EXPECT_TRUE(peer.Ended()) << "cut off after " << sent << " calls";
        }
        if (!kMemoryIsTheHeaps)
            continue;
        const std::size_t peak = StatusBytes(m_service, "VmHWM");
        EXPECT_LE(peak, before + allowance) << "peak " << peak / kMiB << " MiB, " << before / kMiB << " MiB before";
        EXPECT_TRUE(ResidentFallsTo(before + kMiB))
            << StatusBytes(m_service, "VmRSS") / kMiB << " MiB after, " << before / kMiB << " MiB before";
    }
    // Its client is served on.
    LONG status = 7;
    EXPECT_EQ(m_hal->Initialize(&status), S_OK);
    EXPECT_EQ(status, 0);
}

} // namespace
