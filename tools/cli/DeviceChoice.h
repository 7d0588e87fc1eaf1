// One way to name a scanner in every tool: its instance id, as --list
// prints it first on each line (USB\VID_0ABC&PID_0DEF\qbk0001; quote it in
// a shell), in any case, or its serial number alone (qbk0001), the id's
// last part. --device takes either.
#pragma once

#include "platform/devices/DeviceDatabase.h"

#include <cstdio>
#include <optional>
#include <string>

namespace cli {

// One line per recorded scanner: its instance id and whether it is plugged
// in. False (after saying so on `err`) when none is recorded.
bool ListDevices(std::FILE* out, std::FILE* err, const char* program);

// The scanner `name` names; without a name the first one plugged in, else
// the first recorded.
std::optional<plat::devices::DeviceRecord> ChooseDevice(const std::string& name);

// Empty while the registry can be read; else what is wrong with it and what
// to do, in words.
std::string RegistryProblem();

// Why ChooseDevice(name) found no scanner: the registry's problem, else no
// scanner recorded (under that name).
std::string NoDeviceReason(const std::string& name, const char* program);

} // namespace cli
