#include "emulator/ScannerControl.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace emulator {

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// "key=value" into its parts; false when there is no '='.
bool SplitPair(const std::string& word, std::string& key, std::string& value) {
  const auto eq = word.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  key = word.substr(0, eq);
  value = word.substr(eq + 1);
  return true;
}

std::optional<FaultKind> FaultKindNamed(const std::string& name) {
  static const struct {
    const char* name;
    FaultKind kind;
  } kinds[] = {{"jam", FaultKind::Jam},          {"double-feed", FaultKind::DoubleFeed},
               {"skew", FaultKind::Skew},        {"cover-open", FaultKind::CoverOpen},
               {"no-paper", FaultKind::NoPaper}, {"busy", FaultKind::Busy},
               {"stall-in", FaultKind::StallIn}, {"stall-out", FaultKind::StallOut},
               {"timeout", FaultKind::Timeout},  {"unplug", FaultKind::Unplug}};
  for (const auto& k : kinds)
    if (name == k.name) return k.kind;
  return std::nullopt;
}

std::optional<Fault> FaultFromWords(const std::vector<std::string>& words, std::size_t first) {
  if (first >= words.size()) return std::nullopt;
  const auto kind = FaultKindNamed(words[first]);
  if (!kind) return std::nullopt;
  Fault f;
  f.kind = *kind;
  for (std::size_t i = first + 1; i < words.size(); ++i) {
    std::string key, value;
    if (!SplitPair(words[i], key, value)) return std::nullopt;
    const auto n = ParseNumber(value);
    if (!n) return std::nullopt;
    // clang-format off
    if (key == "sheet" && *n <= UINT32_MAX) f.sheet = static_cast<std::uint32_t>(*n);
    else if (key == "offset") f.offset = *n;
    else if (key == "count" && *n <= UINT32_MAX) f.count = static_cast<std::uint32_t>(*n);
    else if (key == "opcode" && *n <= 0xFF) f.opcode = static_cast<int>(*n);
    else if (key == "ascq" && *n <= 0xFF) f.jamQualifier = static_cast<std::uint8_t>(*n);
    else return std::nullopt;
    // clang-format on
    if (key == "sheet" || key == "offset") f.atPlace = true;
  }
  if (IsSheetFault(f.kind)) f.atPlace = false;  // placed anyway
  return f;
}

}  // namespace

std::optional<unsigned long long> ParseNumber(const std::string& text) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || end == text.c_str() || *end != '\0') return std::nullopt;
  return v;
}

std::optional<std::uint16_t> ParseHex16(const std::string& text) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long v = std::strtoul(text.c_str(), &end, 16);
  if (errno != 0 || end == text.c_str() || *end != '\0' || v > 0xFFFF) return std::nullopt;
  return static_cast<std::uint16_t>(v);
}

std::optional<Fault> ParseFault(const std::string& spec) { return FaultFromWords(Words(spec), 0); }

bool ApplyControl(EmulatedScanner& scanner, const std::string& line, std::string& answer) {
  const std::vector<std::string> w = Words(line);
  answer.clear();
  if (w.empty()) {
    answer = "empty command";
    return false;
  }
  const std::string& verb = w[0];
  if (verb == "load" && w.size() >= 2) {
    const auto count = ParseNumber(w[1]);
    if (!count || *count > 100000) {
      answer = "bad sheet count";
      return false;
    }
    Sheet sheet;
    for (std::size_t i = 2; i < w.size(); ++i) {
      std::string key, value;
      const auto n = SplitPair(w[i], key, value) ? ParseNumber(value) : std::nullopt;
      if (n && key == "length" && *n > 0 && *n <= 1000000) {
        sheet.length = static_cast<std::uint32_t>(*n);
      } else if (n && key == "code" && *n <= 15) {
        sheet.sizeCode = static_cast<std::uint8_t>(*n);
      } else {
        answer = "bad sheet parameter " + w[i];
        return false;
      }
    }
    scanner.LoadSheets(static_cast<std::uint32_t>(*count), sheet);
    answer = "ok";
    return true;
  }
  if (verb == "fault") {
    const auto fault = FaultFromWords(w, 1);
    if (!fault) {
      answer = "bad fault";
      return false;
    }
    scanner.InjectFault(*fault);
    answer = "ok";
    return true;
  }
  if (verb == "cover" && w.size() == 2 && (w[1] == "open" || w[1] == "closed")) {
    scanner.SetCoverOpen(w[1] == "open");
    answer = "ok";
    return true;
  }
  if (verb == "max-read" && w.size() == 2) {
    const auto n = ParseNumber(w[1]);
    if (!n || *n > 0xFFFFFF) {
      answer = "bad byte count";
      return false;
    }
    scanner.SetMaxBytesPerRead(static_cast<std::uint32_t>(*n));
    answer = "ok";
    return true;
  }
  if (verb == "key" && w.size() == 3) {
    static const char* const kActions[] = {"press", "release", "held", "reset"};
    static const char* const kKeys[] = {"up", "down", "simplex", "duplex"};
    int action = -1, key = -1;
    for (int i = 0; i < 4; ++i) {
      if (w[1] == kActions[i]) action = i;
      if (w[2] == kKeys[i]) key = i;
    }
    if (action < 0 || key < 0) {
      answer = "bad key event";
      return false;
    }
    scanner.QueueKeyEvent(static_cast<PanelKey>(key), static_cast<KeyAction>(action));
    answer = "ok";
    return true;
  }
  if (verb == "unplug" && w.size() == 1) {
    scanner.Unplug();
    answer = "ok";
    return true;
  }
  if (verb == "replug" && w.size() == 1) {
    scanner.Replug();
    answer = "ok";
    return true;
  }
  if (verb == "status" && w.size() == 1) {
    answer = "sheets=" + std::to_string(scanner.SheetsInFeeder()) +
             " counter=" + std::to_string(scanner.Counter()) +
             " revision=" + scanner.FirmwareRevision() +
             " connected=" + (scanner.IsConnected() ? "1" : "0") +
             " capped-reads=" + std::to_string(scanner.CappedReads());
    return true;
  }
  answer = "unknown command: " + line;
  return false;
}

}  // namespace emulator
