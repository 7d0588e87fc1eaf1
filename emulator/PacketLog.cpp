#include "emulator/PacketLog.h"

#include <algorithm>
#include <cstdio>

namespace emulator {

std::string FormatLogEntry(const PacketLogEntry& e) {
  std::string s;
  switch (e.kind) {
    case PacketLogEntry::Kind::Out: s = "OUT "; break;
    case PacketLogEntry::Kind::In: s = "IN "; break;
    case PacketLogEntry::Kind::Event: return "EVENT " + e.what;
  }
  s += e.what;
  s += ' ';
  s += std::to_string(e.size);
  s += ':';
  char hex[4];
  for (std::uint8_t b : e.bytes) {
    std::snprintf(hex, sizeof hex, " %02X", b);
    s += hex;
  }
  if (e.bytes.size() < e.size) s += " ...";
  return s;
}

void PacketLog::Add(PacketLogEntry::Kind kind, std::string what, const std::uint8_t* data,
                    std::size_t size) {
  PacketLogEntry e;
  e.kind = kind;
  e.what = std::move(what);
  e.size = size;
  if (data != nullptr) e.bytes.assign(data, data + std::min(size, kKeptBytes));
  std::lock_guard lock(mutex_);
  if (sink_) sink_(e);
  entries_.push_back(std::move(e));
  while (entries_.size() > kKeptEntries) entries_.pop_front();
}

std::vector<PacketLogEntry> PacketLog::Entries() const {
  std::lock_guard lock(mutex_);
  return {entries_.begin(), entries_.end()};
}

void PacketLog::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

void PacketLog::SetSink(std::function<void(const PacketLogEntry&)> sink) {
  std::lock_guard lock(mutex_);
  sink_ = std::move(sink);
}

}  // namespace emulator
