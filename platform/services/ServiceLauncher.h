// Starting a service's program: detached from the caller (its own session,
// not the caller's child), holding the service's lock, told by environment
// variables where its dispatcher reports, and waited for until that
// dispatcher says it is listening.
#pragma once

#include "platform/services/ServiceDatabase.h"

#include <string>
#include <vector>

namespace plat::services {

// What StartServiceCtrlDispatcher finds in its environment when the program
// was started as a service (and removes, so its own children are not).
constexpr const char* kServiceNameVariable = "QBK_SERVICE_NAME";
constexpr const char* kServiceArgsVariable = "QBK_SERVICE_ARGS";
constexpr const char* kServiceLockFdVariable = "QBK_SERVICE_LOCK_FD";
constexpr const char* kServiceReadyFdVariable = "QBK_SERVICE_READY_FD";

// The byte the dispatcher writes to the ready descriptor once it listens.
constexpr char kReadyMessage = 'R';

// How long a start waits for the program's dispatcher.
constexpr DWORD kStartTimeoutMs = 30000;

// Starts the service; ERROR_SUCCESS or the Windows error.
DWORD LaunchService(const ServiceConfig& config, const std::vector<std::u16string>& args);

// The words of a command line, by the C run-time's rules (blanks separate,
// double quotes group, backslashes escape only quotes).
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

// Arguments travel as hex-encoded UTF-8, each ended by ';'.
std::string EncodeArguments(const std::vector<std::u16string>& args);
std::vector<std::u16string> DecodeArguments(const std::string& encoded);

} // namespace plat::services
