// qbk-scanner-emu: the emulated scanner as a device of its own. It records
// the scanner in the device database (once; the record stays) and serves it
// on the socket file of its device path in the system root's run-time
// folder for as long as it runs; the socket file appearing and disappearing
// is the device's arrival and removal. With --usbfs it is a device on a USB
// bus of its own instead (a umockdev test bed), found as a real one is.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "emulator/DeviceLink.h"
#include "emulator/EmulatedScanner.h"
#include "emulator/ScannerControl.h"
#include "emulator/program/ControlCommand.h"
#include "emulator/program/UsbfsScanner.h"
#include "tools/cli/CommandLine.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/UsbBus.h"

namespace {

// clang-format off
const char* const kUsage =
    "usage: qbk-scanner-emu [options]\n"
    "       qbk-scanner-emu control [--serial TEXT | --socket PATH] LINE...   (see below)\n"
    "  --socket PATH         socket file to serve, unrecorded (default: the device's own,\n"
    "                        <run>/usb/vid_VVVV&pid_PPPP#SERIAL, recorded as a device)\n"
    "  --usbfs               be a USB device on a umockdev test bed in <run>/usbfs instead,\n"
    "                        unrecorded (the drivers find it on the bus); prints 'usbfs DIR':\n"
    "                        run programs with LD_PRELOAD=libumockdev-preload.so.0 UMOCKDEV_DIR=DIR\n"
    "  --usbfs-other HEX:HEX another device on that bus, of these ids (repeatable)\n"
    "  --vid HEX, --pid HEX  USB ids (default 0abc, 0def)\n"
    "  --serial TEXT         serial number, the last part of the instance id (default qbk0001)\n"
    "  --revision TEXT       firmware revision at power-on (default T.50)\n"
    "  --counter N           page counter at power-on\n"
    "  --max-read N          at most N image bytes per READ (forces short reads)\n"
    "  --becoming-ready N    TEST UNIT READY says 'becoming ready' N times first\n"
    "  --sheets N            sheets in the feeder (default 10)\n"
    "  --sheet-length N      sheet length in 1/1000 inch (default 11000)\n"
    "  --size-code N         paper size code the document sensor reports (default 7)\n"
    "  --fault SPEC          inject a fault, e.g. 'jam sheet=1 offset=4096' (repeatable)\n"
    "  --cover-open          start with the cover open\n"
    "  --log                 print every packet in and out as hex\n"
    "  --log-bytes N         bytes of each packet to print (default 32)\n"
    "Control lines ('load 3', 'fault jam sheet=1', 'cover open', 'unplug', 'status', ...)\n"
    "arrive over the device socket or over the control socket, which stays while the\n"
    "scanner is unplugged: <run>/emulator/<device node name>, or PATH.control with\n"
    "--socket. 'qbk-scanner-emu control LINE...' sends one line there and prints the answer.\n"
    "SIGUSR1 unplugs the scanner (the socket file goes) or plugs it back in;\n"
    "SIGTERM or SIGINT stops the program.\n"
    "  --help, --version\n";
// clang-format on

const cli::Program kProgram{"qbk-scanner-emu", kUsage};

struct Options {
  emulator::ScannerConfig config;
  std::string socket;
  bool usbfs = false;
  std::vector<plat::usb::testing::UsbfsDeviceSpec> others;
  std::string serial = "qbk0001";
  unsigned long long sheets = 10, sheetLength = 11000, sizeCode = 7;
  std::vector<std::string> faults;
  bool coverOpen = false;
  bool log = false;
  std::size_t logBytes = 32;
};

bool Number(const char* text, unsigned long long max, unsigned long long& out) {
  const auto n = emulator::ParseNumber(text);
  if (!n || *n > max) return false;
  out = *n;
  return true;
}

bool SetHex16(const char* text, std::uint16_t& out) {
  const auto id = emulator::ParseHex16(text);
  if (id) out = *id;
  return id.has_value();
}

// "VVVV:PPPP": a device of those ids, named after its place on the bus.
bool AddOtherDevice(const char* ids, std::vector<plat::usb::testing::UsbfsDeviceSpec>& others) {
  const char* colon = std::strchr(ids, ':');
  if (!colon) return false;
  plat::usb::testing::UsbfsDeviceSpec spec;
  if (!SetHex16(std::string(ids, colon).c_str(), spec.vendorId) ||
      !SetHex16(colon + 1, spec.productId))
    return false;
  spec.serial = "OTHER" + std::to_string(others.size() + 1);
  spec.sysName = "1-" + std::to_string(others.size() + 2);
  others.push_back(spec);
  return true;
}

// The device node name the control socket is named after, for a device on
// the bus: the one its interface path gives it.
std::string BusDeviceSocketName(const Options& o) {
  const std::u16string path = plat::devices::InterfacePathFor(plat::devices::InstanceIdFor(
      o.config.vendorId, o.config.productId, plat::devices::InstanceSerial(o.serial, "1-1")));
  return plat::devices::EndpointPathFor(path);
}

// clang-format off
enum Key {
  kSocket, kUsbfs, kUsbfsOther, kVid, kPid, kSerial, kRevision, kCounter, kMaxRead, kBecomingReady, kSheets,
  kSheetLength, kSizeCode, kFault, kCoverOpen, kLog, kLogBytes
};
// clang-format on

// clang-format off
const std::vector<cli::Option> kOptions = {
    {"socket", true, kSocket},         {"usbfs", false, kUsbfs},         {"usbfs-other", true, kUsbfsOther},
    {"vid", true, kVid},               {"pid", true, kPid},              {"serial", true, kSerial},
    {"revision", true, kRevision},     {"counter", true, kCounter},      {"max-read", true, kMaxRead},
    {"becoming-ready", true, kBecomingReady}, {"sheets", true, kSheets}, {"sheet-length", true, kSheetLength},
    {"size-code", true, kSizeCode},    {"fault", true, kFault},          {"cover-open", false, kCoverOpen},
    {"log", false, kLog},              {"log-bytes", true, kLogBytes}};
// clang-format on

// One option into `o`: false when its value is not one it takes.
bool TakeOption(Options& o, int key, const char* v) {
  unsigned long long n = 0;
  bool ok = true;
  // clang-format off
  switch (key) {
    case kSocket: o.socket = v; break;
    case kUsbfs: o.usbfs = true; break;
    case kCoverOpen: o.coverOpen = true; break;
    case kLog: o.log = true; break;
    case kSerial: ok = *v != '\0' && std::strpbrk(v, "\\/#&") == nullptr, o.serial = v; break;
    case kVid: ok = SetHex16(v, o.config.vendorId); break;
    case kPid: ok = SetHex16(v, o.config.productId); break;
    case kRevision: ok = std::strlen(v) == 4, o.config.revision = v; break;
    case kCounter: ok = Number(v, UINT32_MAX, n), o.config.counter = static_cast<std::uint32_t>(n); break;
    case kMaxRead: ok = Number(v, 0xFFFFFF, n), o.config.maxBytesPerRead = static_cast<std::uint32_t>(n); break;
    case kBecomingReady:
      ok = Number(v, 1000000, n), o.config.becomingReadyCount = static_cast<std::uint32_t>(n);
      break;
    case kSheets: ok = Number(v, 100000, o.sheets); break;
    case kSheetLength: ok = Number(v, 1000000, o.sheetLength) && o.sheetLength > 0; break;
    case kSizeCode: ok = Number(v, 15, o.sizeCode); break;
    case kFault: ok = emulator::ParseFault(v).has_value(), o.faults.push_back(v); break;
    case kLogBytes: ok = Number(v, 256, n), o.logBytes = static_cast<std::size_t>(n); break;
    case kUsbfsOther: ok = AddOtherDevice(v, o.others); break;
  }
  // clang-format on
  return ok;
}

// False (after a message) when the command line is wrong; `exitCode` is
// then the status to end with (0 after --help or --version).
bool ParseOptions(int argc, char** argv, Options& o, int& exitCode) {
  const cli::Parsed parsed = cli::Parse(
      kProgram, argc, argv, kOptions,
      [&o](int key, const std::string& value) {
        return TakeOption(o, key, value.c_str()) ? std::string() : "bad value " + value;
      },
      cli::Operands::None);
  exitCode = parsed.exitCode.value_or(0);
  return !parsed.exitCode;
}

// Records the scanner as an installed USB imaging device and answers the
// socket file of its device path; empty when the record cannot be written.
std::string RecordDevice(const Options& o) {
  plat::devices::DeviceRecord record;
  if (!plat::devices::AddDevice({o.config.vendorId, o.config.productId, Utf8ToUtf16(o.serial),
                                 u"Emulated document scanner", u"Emulator"},
                                &record))
    return {};
  std::printf("device %s\n", Utf16ToUtf8(record.interfacePath).c_str());
  return plat::devices::EndpointPathFor(record.interfacePath);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "control") == 0)
    return emulator::RunControlCommand(argc - 1, argv + 1);
  Options o;
  int exitCode = 0;
  if (!ParseOptions(argc, argv, o, exitCode)) return exitCode;
  // umockdev makes its events from the test bed's sysfs, which it sees
  // through its preload library.
  if (o.usbfs) plat::usb::testing::RunUnderUsbfsTestBed(argc, argv);
  const bool inRoot = o.socket.empty();
  if ((inRoot || o.usbfs) && !plat::EnsureSystemRootLayout()) {
    std::fprintf(stderr, "qbk-scanner-emu: cannot create the system root %s\n",
                 plat::SystemRoot().c_str());
    return 1;
  }
  if (inRoot && o.usbfs) {
    o.socket = BusDeviceSocketName(o);
  } else if (inRoot) {
    o.socket = RecordDevice(o);
    if (o.socket.empty()) {
      std::fprintf(stderr, "qbk-scanner-emu: cannot record the device in %s\n",
                   plat::RegistryPath().c_str());
      return 1;
    }
  }
  // The device's sockets serve only this user; their folders are private.
  plat::CreatePrivateFolder(std::filesystem::path(o.socket).parent_path().string());

  // Signals are taken by sigwait below, not by whichever thread runs.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  emulator::EmulatedScanner scanner(o.config);
  std::string answer;
  emulator::ApplyControl(scanner,
                         "load " + std::to_string(o.sheets) + " length=" +
                             std::to_string(o.sheetLength) + " code=" + std::to_string(o.sizeCode),
                         answer);
  for (const std::string& f : o.faults) emulator::ApplyControl(scanner, "fault " + f, answer);
  if (o.coverOpen) scanner.SetCoverOpen(true);
  if (o.log) {
    const std::size_t keep = o.logBytes;
    scanner.Log().SetSink([keep](const emulator::PacketLogEntry& e) {
      emulator::PacketLogEntry shown = e;
      if (shown.bytes.size() > keep) shown.bytes.resize(keep);
      std::printf("%s\n", emulator::FormatLogEntry(shown).c_str());
      std::fflush(stdout);
    });
  }

  const auto control = [&scanner](const std::string& line, std::string& reply) {
    return emulator::ApplyControl(scanner, line, reply);
  };
  // Control lines also come on a socket of their own, which stays while the
  // device node is gone.
  const std::string controlPath = emulator::ControlSocketPath(o.socket, inRoot);
  plat::CreatePrivateFolder(std::filesystem::path(controlPath).parent_path().string());
  emulator::DeviceServer controlServer(scanner, controlPath);
  controlServer.SetControlHandler(control);
  if (!controlServer.Start()) {
    std::fprintf(stderr, "qbk-scanner-emu: cannot serve %s: %s\n", controlPath.c_str(),
                 std::strerror(errno));
    return 1;
  }

  std::unique_ptr<emulator::DeviceServer> server;
  std::unique_ptr<emulator::UsbfsScanner> usbfs;
  if (o.usbfs) {
    plat::usb::testing::UsbfsDeviceSpec device;
    device.vendorId = o.config.vendorId;
    device.productId = o.config.productId;
    device.serial = o.serial;
    usbfs = std::make_unique<emulator::UsbfsScanner>(scanner, device, o.others);
    std::printf("usbfs %s\n", usbfs->Root().c_str());
    scanner.SetConnectionObserver([&usbfs](bool connected) { usbfs->Follow(connected); });
    std::printf("ready %s\n", usbfs->DeviceNode().c_str());
  } else {
    server = std::make_unique<emulator::DeviceServer>(scanner, o.socket);
    server->SetControlHandler(control);
    // Unplugging removes the device node; plugging it in again brings it
    // back. The lines tell scripts when the device node is there and when not.
    scanner.SetConnectionObserver([&server](bool connected) {
      if (connected)
        server->Republish();
      else
        server->Withdraw();
      std::printf("%s %s\n", connected ? "arrived" : "removed", server->SocketPath().c_str());
      std::fflush(stdout);
    });
    if (!server->Start()) {
      std::fprintf(stderr, "qbk-scanner-emu: cannot serve %s: %s\n", o.socket.c_str(),
                   std::strerror(errno));
      return 1;
    }
    std::printf("ready %s\n", o.socket.c_str());
  }
  std::fflush(stdout);

  // SIGUSR1 pulls the cable, or plugs it back in.
  for (;;) {
    int received = 0;
    if (sigwait(&signals, &received) != 0) break;
    if (received != SIGUSR1) break;
    if (scanner.IsConnected())
      scanner.Unplug();
    else
      scanner.Replug();
  }
  scanner.SetConnectionObserver({});
  if (server) server->Stop();
  usbfs.reset();
  controlServer.Stop();
  std::printf("stopped\n");
  return 0;
}
