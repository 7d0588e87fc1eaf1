#include "emulator/program/ControlCommand.h"

#include <cstdio>
#include <filesystem>

#include "emulator/DeviceLink.h"
#include "emulator/ScannerControl.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/devices/DeviceDatabase.h"

namespace emulator {

namespace {

constexpr const char* kUsage =
    "usage: qbk-scanner-emu control [--serial TEXT] [--vid HEX] [--pid HEX] LINE...\n"
    "       qbk-scanner-emu control --socket PATH LINE...\n"
    "LINE: load N [length=L] [code=C] | fault KIND [sheet=N] [offset=N] [count=N] [opcode=N] "
    "[ascq=N]\n"
    "      | cover open | cover closed | key ACTION KEY | unplug | replug | status\n";

}  // namespace

std::string ControlSocketPath(const std::string& deviceSocket, bool recorded) {
  if (!recorded) return deviceSocket + ".control";
  return plat::RuntimeFolder() + "/emulator/" +
         std::filesystem::path(deviceSocket).filename().string();
}

int RunControlCommand(int argc, char** argv) {
  std::string socket, serial = "qbk0001";
  std::uint16_t vendorId = 0x0ABC, productId = 0x0DEF;
  int i = 1;
  for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-'; i += 2) {
    const std::string option = argv[i];
    bool ok = true;
    if (option == "--socket")
      socket = argv[i + 1];
    else if (option == "--serial")
      serial = argv[i + 1];
    else if (option == "--vid" || option == "--pid") {
      const auto id = ParseHex16(argv[i + 1]);
      ok = id.has_value();
      if (ok && option == "--vid") vendorId = *id;
      if (ok && option == "--pid") productId = *id;
    } else
      ok = false;
    if (!ok) {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  std::string line;
  for (; i < argc; ++i) line += (line.empty() ? "" : " ") + std::string(argv[i]);
  if (line.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  const bool recorded = socket.empty();
  if (recorded) {
    const std::u16string path = plat::devices::InterfacePathFor(
        plat::devices::InstanceIdFor(vendorId, productId, Utf8ToUtf16(serial)));
    socket = plat::devices::EndpointPathFor(path);
  }
  const std::string control = ControlSocketPath(socket, recorded);
  RemoteScannerDevice emulator(control);
  std::string answer;
  const bool taken = emulator.Control(line, &answer);
  if (answer.empty() && !taken) {
    std::fprintf(stderr, "qbk-scanner-emu: no emulator answers on %s\n", control.c_str());
    return 1;
  }
  std::fprintf(taken ? stdout : stderr, "%s\n", answer.c_str());
  return taken ? 0 : 1;
}

}  // namespace emulator
