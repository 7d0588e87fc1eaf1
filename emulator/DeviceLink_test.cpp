// The scanner served on a socket file and reached from a client, in process
// and as the emulator program.
#include "emulator/DeviceLink.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "emulator/ScannerControl.h"
#include "emulator/testing/HostExchange.h"
#include "platform/testing/OtherUser.h"

namespace emulator {
namespace {

using testing::RunCommand;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// A fresh folder with a short path (socket paths are limited to 107 bytes).
class SocketFolder {
 public:
  SocketFolder() {
    char name[] = "/tmp/qbk-emu-XXXXXX";
    path_ = ::mkdtemp(name) ? name : "";
  }
  ~SocketFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string File(const char* name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The program's wiring: control lines and unplug/replug withdraw and
// republish the device node.
struct ServedScanner {
  explicit ServedScanner(const std::string& path) : server(scanner, path) {
    server.SetControlHandler([this](const std::string& line, std::string& answer) {
      return ApplyControl(scanner, line, answer);
    });
    scanner.SetConnectionObserver([this](bool connected) {
      if (connected)
        server.Republish();
      else
        server.Withdraw();
    });
  }
  ~ServedScanner() {
    scanner.SetConnectionObserver({});
    server.Stop();
  }
  EmulatedScanner scanner;
  DeviceServer server;
};

TEST(DeviceLink, TheRemoteDeviceAnswersByteForByteLikeTheScanner) {
  SocketFolder folder;
  ServedScanner served(folder.File("dev"));
  ASSERT_TRUE(served.server.Start());
  EXPECT_TRUE(fs::exists(folder.File("dev")));

  RemoteScannerDevice remote(folder.File("dev"));
  EmulatedScanner local;
  ASSERT_TRUE(remote.IsConnected());
  EXPECT_EQ(remote.VendorId(), 0x0ABC);
  EXPECT_EQ(remote.ProductId(), 0x0DEF);

  const Bytes inquiry{0x12, 0, 0, 0, 0x60, 0};
  const auto viaLink = RunCommand(remote, inquiry, {}, 96);
  const auto direct = RunCommand(local, inquiry, {}, 96);
  ASSERT_TRUE(viaLink.good());
  EXPECT_EQ(viaLink.dataPhase, direct.dataPhase);
  EXPECT_EQ(viaLink.statusPacket, direct.statusPacket);

  // Short reads keep the rest of the chunk across the link too.
  const auto command = MakeCommandPacket(inquiry.data(), inquiry.size());
  ASSERT_EQ(remote.BulkOut(command.data(), command.size()).bytes, 24u);
  std::uint8_t buf[200];
  EXPECT_EQ(remote.BulkIn(buf, 100).bytes, 100u);
  EXPECT_EQ(remote.BulkIn(buf, sizeof buf).bytes, 8u + 16u);
  EXPECT_EQ(remote.BulkIn(buf, sizeof buf).status, TransferStatus::NoResponse);

  // Faults that live in the transport come through as they are.
  std::string answer;
  ASSERT_TRUE(remote.Control("fault stall-out", &answer)) << answer;
  EXPECT_EQ(remote.BulkOut(command.data(), command.size()).status, TransferStatus::Stalled);
  EXPECT_TRUE(remote.ResetPipe(kPipeBulkOut));
  EXPECT_TRUE(RunCommand(remote, {0, 0, 0, 0, 0, 0}).good());
}

TEST(DeviceLink, UnplugRemovesTheDeviceNodeAndReplugBringsItBack) {
  SocketFolder folder;
  const std::string path = folder.File("dev");
  ServedScanner served(path);
  ASSERT_TRUE(served.server.Start());
  RemoteScannerDevice remote(path);
  std::vector<bool> seen;
  remote.SetConnectionObserver([&](bool connected) { seen.push_back(connected); });

  ASSERT_TRUE(remote.Control("unplug"));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(RunCommand(remote, {0, 0, 0, 0, 0, 0}).transport, TransferStatus::Disconnected);
  EXPECT_EQ(seen, std::vector<bool>{false});
  EXPECT_FALSE(RemoteScannerDevice(path).IsConnected()) << "nothing to open any more";

  ASSERT_TRUE(remote.Control("replug"));
  EXPECT_TRUE(fs::exists(path));
  RemoteScannerDevice again(path);
  EXPECT_TRUE(RunCommand(again, {0, 0, 0, 0, 0, 0}).good());
}

TEST(DeviceLink, StoppingTheServerIsRemoval) {
  SocketFolder folder;
  const std::string path = folder.File("dev");
  auto served = std::make_unique<ServedScanner>(path);
  ASSERT_TRUE(served->server.Start());
  RemoteScannerDevice remote(path);
  ASSERT_TRUE(RunCommand(remote, {0, 0, 0, 0, 0, 0}).good());
  // Many short-lived openings (the host opens the device for each key poll).
  for (int i = 0; i < 50; ++i) EXPECT_TRUE(RemoteScannerDevice(path).IsConnected());
  bool lost = false;
  remote.SetConnectionObserver([&](bool connected) { lost = !connected; });
  served.reset();
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(RunCommand(remote, {0, 0, 0, 0, 0, 0}).transport, TransferStatus::Disconnected);
  EXPECT_TRUE(lost);
}

// A server that answers every request with the given reply frame.
class LyingServer {
 public:
  LyingServer(const std::string& path, Bytes reply) {
    listen_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listen_, 1);
    thread_ = std::thread([this, reply] {
      const int fd = ::accept(listen_, nullptr, nullptr);
      std::uint8_t header[12];
      while (::recv(fd, header, sizeof header, MSG_WAITALL) == sizeof header) {
        std::vector<std::uint8_t> payload(GetBE32(header + 8));
        if (!payload.empty()) ::recv(fd, payload.data(), payload.size(), MSG_WAITALL);
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
      }
      ::close(fd);
    });
  }
  ~LyingServer() {
    thread_.join();
    ::close(listen_);
  }

 private:
  int listen_;
  std::thread thread_;
};

TEST(DeviceLink, AServerThatAnswersNonsenseIsADisconnectedDevice) {
  struct Case {
    const char* name;
    Bytes reply;  // u8 result, 3 zero, u32 count, u32 length, payload
  } cases[] = {
      {"unknown transfer status", {9, 0, 0, 0, 0, 0, 0, 24, 0, 0, 0, 0}},
      {"took more than was sent", {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}},
      {"oversized payload", {0, 0, 0, 0, 0, 0, 0, 0, 0x7F, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SocketFolder folder;
    LyingServer server(folder.File("dev"), c.reply);
    RemoteScannerDevice remote(folder.File("dev"));
    bool lost = false;
    remote.SetConnectionObserver([&](bool connected) { lost = !connected; });
    const Bytes tur{0, 0, 0, 0, 0, 0};
    const auto command = MakeCommandPacket(tur.data(), tur.size());
    EXPECT_EQ(remote.BulkOut(command.data(), command.size()).status, TransferStatus::Disconnected)
        << c.name;
    EXPECT_TRUE(lost) << c.name;
  }
}

TEST(DeviceLink, AnotherUserGetsNothingFromTheScanner) {
  SocketFolder folder;
  ServedScanner served(folder.File("dev"));
  ASSERT_TRUE(served.server.Start());
  const std::string socket = folder.File("dev");
  plat::testing::OpenPathToOthers(folder.Path(), socket);

  // A control line that would unplug the scanner: op, three zero bytes,
  // argument 0, payload length (big-endian), payload.
  const std::string unplug = "unplug";
  std::vector<std::uint8_t> requests(12, 0);
  requests[0] = static_cast<std::uint8_t>(LinkOp::Control);
  requests[11] = static_cast<std::uint8_t>(unplug.size());
  requests.insert(requests.end(), unplug.begin(), unplug.end());
  std::string answer;
  if (!plat::testing::RunAsOtherUser(
          [&](int out) {
            plat::testing::TryServer(out, socket.c_str(), requests.data(), requests.size());
          },
          answer))
    GTEST_SKIP() << "cannot switch to another user here";
  EXPECT_EQ(answer, "");
  EXPECT_TRUE(served.scanner.IsConnected());
  RemoteScannerDevice own(socket);
  EXPECT_TRUE(own.IsConnected());
}

TEST(ScannerControl, CommandLinesChangeTheScannersSurroundings) {
  EmulatedScanner scanner;
  // clang-format off
  struct Case {
    const char* line;
    bool ok;
  } cases[] = {
      {"load 3 length=14000 code=4", true}, {"load x", false},
      {"load 2 colour=3", false},           {"fault jam sheet=1 offset=0x100 ascq=7", true},
      {"fault busy count=2", true},         {"fault melt", false},
      {"fault jam sheet=-1", false},        {"cover open", true},
      {"cover ajar", false},                {"key press simplex", true},
      {"key press enter", false},           {"max-read 20011", true},
      {"max-read 0x1000000", false},        {"", false},
      {"dance", false},
  };
  // clang-format on
  for (const Case& c : cases) {
    std::string answer;
    EXPECT_EQ(ApplyControl(scanner, c.line, answer), c.ok) << c.line << ": " << answer;
  }
  std::string status;
  ASSERT_TRUE(ApplyControl(scanner, "status", status));
  EXPECT_EQ(status, "sheets=3 counter=0 revision=T.50 connected=1 capped-reads=0");
  EXPECT_EQ(RunCommand(scanner, {0, 0, 0, 0, 0, 0}).status, kStatusBusy);
  const auto fault = ParseFault("jam sheet=1 offset=0x100 ascq=7");
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->sheet, 1u);
  EXPECT_EQ(fault->offset, 0x100u);
  EXPECT_EQ(fault->jamQualifier, 7);
  EXPECT_FALSE(fault->atPlace);
  // A fault that strikes at once waits for a place when it is given one.
  EXPECT_FALSE(ParseFault("busy count=5")->atPlace);
  EXPECT_TRUE(ParseFault("busy sheet=0 offset=100 count=5")->atPlace);
  EXPECT_TRUE(ParseFault("cover-open sheet=2")->atPlace);
}

// ---- the program ----------------------------------------------------------

std::string ProgramPath() {
  char self[PATH_MAX] = {};
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  return (fs::path(std::string(self, static_cast<std::size_t>(n))).parent_path() /
          "qbk-scanner-emu")
      .string();
}

TEST(EmulatorProgram, ServesWhileRunningAndRemovesTheDeviceWhenStopped) {
  SocketFolder folder;
  const std::string path = folder.File("dev");
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    const std::string program = ProgramPath();
    ::execl(program.c_str(), program.c_str(), "--socket", path.c_str(), "--sheets", "4",
            "--revision", "T.52", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  // The program says when it serves, and when the device node comes and goes.
  auto nextLine = [&] {
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    return line;
  };
  EXPECT_EQ(nextLine(), "ready " + path);

  {
    RemoteScannerDevice remote(path);
    EXPECT_TRUE(RunCommand(remote, {0, 0, 0, 0, 0, 0}).good());
    std::string status;
    EXPECT_TRUE(remote.Control("status", &status));
    EXPECT_EQ(status, "sheets=4 counter=0 revision=T.52 connected=1 capped-reads=0");
  }

  // SIGUSR1 pulls the cable and plugs it back in.
  ASSERT_EQ(::kill(pid, SIGUSR1), 0);
  EXPECT_EQ(nextLine(), "removed " + path);
  EXPECT_FALSE(fs::exists(path));
  ASSERT_EQ(::kill(pid, SIGUSR1), 0);
  EXPECT_EQ(nextLine(), "arrived " + path);
  RemoteScannerDevice again(path);
  EXPECT_TRUE(RunCommand(again, {0, 0, 0, 0, 0, 0}).good());

  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  int wstatus = 0;
  ASSERT_EQ(::waitpid(pid, &wstatus, 0), pid);
  ::close(out[0]);
  EXPECT_TRUE(WIFEXITED(wstatus));
  EXPECT_EQ(WEXITSTATUS(wstatus), 0);
  EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace emulator
