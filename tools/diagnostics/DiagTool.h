// diagtool: lists and changes the settings of the diagnostics component.
//
//   diagtool register [library]      register the stand-in (default: next to diagtool)
//   diagtool unregister
//   diagtool list [application]      applications, their log names and whether each is on
//   diagtool enable <application> <log name>...
//   diagtool disable <application> <log name>...
//   diagtool levels <mask> [settings] level mask (1 error, 2 warning, 4 trace) of the
//                                     settings, "RNX Diagnostics" when not named
//
// Changes go through the component, which writes an event-log record, so
// every running process reloads its settings.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// The caller has entered a COM apartment. Returns the exit code: 0 done,
// 1 failed, 2 bad command line.
int RunDiagTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
