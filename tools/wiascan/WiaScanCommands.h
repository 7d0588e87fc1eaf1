// The commands of wiascan, each what a WIA application asks of the
// image-acquisition service and the service asks of the driver:
//
//   list [ITEM...]               the items with their properties, as read
//   set ITEM PROP=VALUE...       write properties (PROP: id or name)
//   command synchronize          the device command Synchronize
//   event EVENT                  pass on a device event: connected,
//                                disconnected, suspend, resume, cancel
//   capabilities                 the device's commands and events
//   lock, unlock                 take or give back the scanner (IStiUSD)
//   connect, disconnect          one more client, or one leaving
//   acquire FOLDER [OPTIONS]     pages from the feeder into BMP files
//                                (WiaAcquire.h)
//
// Every command ends with a line "<command>: 0xXXXXXXXX", the result of
// the driver call it made (E_INVALIDARG for a command that is not
// understood), with its meaning in words where it has one.
#pragma once

#include "tools/wiascan/WiaDeviceHost.h"

#include <functional>
#include <string>
#include <vector>

namespace wiascan {

// Runs one command; what it shows is appended to *out.
HRESULT RunCommand(WiaDeviceHost& host, const std::vector<std::string>& words, std::string* out);

// Where commands show their progress as they go (acquire's pages), and
// the percentage of the page coming in; by default both go into their
// output as lines.
void SetProgressOutput(std::function<void(const std::string&)> show,
                       std::function<void(int page, int percent)> percent = {});

// The words of a command line: split at blanks; "..." keeps blanks.
std::vector<std::string> SplitCommandLine(const std::string& line);

} // namespace wiascan
