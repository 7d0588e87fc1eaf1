// Text commands that change the emulated scanner's surroundings: used by
// the emulator program (its command-line options and its control requests
// over the device link) and by end-to-end tests.
//
//   load N [length=L] [code=C]     the feeder holds N sheets (length 1/1000 in)
//   fault KIND [sheet=N] [offset=N] [count=N] [opcode=N] [ascq=N]
//          KIND: jam double-feed skew cover-open no-paper busy stall-in
//                stall-out timeout unplug
//          (sheet= or offset= makes a fault that strikes at once wait for
//          that place of a sheet)
//   cover open | cover closed
//   key ACTION KEY                 ACTION: press release held reset;
//                                  KEY: up down simplex duplex
//   unplug | replug
//   max-read N                     at most N image bytes per READ (0: no limit)
//   status                         answers "sheets=N counter=N revision=R connected=0|1
//                                  capped-reads=N" (READs the cap cut short)
//
// Numbers are decimal or 0x-prefixed hexadecimal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "emulator/EmulatedScanner.h"

namespace emulator {

// Runs one command line; false (with the reason in `answer`) when it is not
// understood. Nothing changes on failure.
bool ApplyControl(EmulatedScanner& scanner, const std::string& line, std::string& answer);

// "jam sheet=1 offset=0" and the like; nothing when it is not understood.
std::optional<Fault> ParseFault(const std::string& spec);

// A number as the commands take it; nothing for anything else.
std::optional<unsigned long long> ParseNumber(const std::string& text);

// A USB id in hexadecimal ("0abc"); nothing for anything else.
std::optional<std::uint16_t> ParseHex16(const std::string& text);

}  // namespace emulator
