// Every packet that crosses the emulated bulk pipes, and the transport
// events (stall, swallowed command, unplug), in order. The emulator program
// prints it; tests read it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace emulator {

struct PacketLogEntry {
  enum class Kind { Out, In, Event };
  Kind kind = Kind::Event;
  std::string what;                 // "command", "data", "status", or the event
  std::vector<std::uint8_t> bytes;  // the packet, cut to kKeptBytes
  std::size_t size = 0;             // the packet's full size
};

// "OUT command 24: 00 00 00 18 ..." / "IN status 16: ..." / "EVENT stall IN".
std::string FormatLogEntry(const PacketLogEntry& entry);

class PacketLog {
 public:
  static constexpr std::size_t kKeptBytes = 256;
  static constexpr std::size_t kKeptEntries = 4096;

  void Add(PacketLogEntry::Kind kind, std::string what, const std::uint8_t* data, std::size_t size);
  void AddEvent(std::string what) { Add(PacketLogEntry::Kind::Event, std::move(what), nullptr, 0); }

  // A copy of the kept entries (the newest kKeptEntries).
  std::vector<PacketLogEntry> Entries() const;
  void Clear();

  // Called for every new entry, under the log's lock: keep it short.
  void SetSink(std::function<void(const PacketLogEntry&)> sink);

 private:
  mutable std::mutex mutex_;
  std::deque<PacketLogEntry> entries_;
  std::function<void(const PacketLogEntry&)> sink_;
};

}  // namespace emulator
