// Reads the emulator's answer to the "status" control line, e.g.
// "sheets=2 counter=5 revision=T.50 connected=1 capped-reads=3".
#pragma once

#include <cstdlib>
#include <string>

namespace emulator::testing {

// The number after "key=" in the answer, or -1 when the answer has none.
inline long StatusValue(const std::string& answer, const std::string& key) {
  const std::size_t at = answer.find(key + "=");
  if (at == std::string::npos) return -1;
  return std::strtol(answer.c_str() + at + key.size() + 1, nullptr, 10);
}

}  // namespace emulator::testing
