// Feeds arbitrary host traffic to the scanner: writes of random packets and
// sizes, reads and pipe resets, in any order. The scanner must neither crash
// nor answer more than a read asks for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "emulator/EmulatedScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  emulator::ScannerConfig config;
  config.maxBytesPerRead = 700;
  emulator::EmulatedScanner scanner(config);
  scanner.LoadSheets(2, emulator::Sheet{3000, 4});
  std::vector<std::uint8_t> buffer(70000);
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t action = data[i++];
    const std::size_t n = i < size ? data[i++] : 0;
    switch (action % 4) {
      case 0: {  // write the next n bytes
        const std::size_t take = n < size - i ? n : size - i;
        scanner.BulkOut(data + i, take);
        i += take;
        break;
      }
      case 1: {  // read up to n x 256 bytes
        const std::size_t max = n * 256 + 1;
        const auto r = scanner.BulkIn(buffer.data(), max);
        if (r.bytes > max) std::abort();
        break;
      }
      case 2: scanner.ResetPipe(n % 3); break;
      default: scanner.CancelIo(n % 3); break;
    }
  }
  return 0;
}
