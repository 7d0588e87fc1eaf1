// The emulator program's control socket, and the `control` command that
// sends it one control line: load sheets, inject a fault, open or close the
// cover, pull the cable or plug it back in, ask for the status.
//
//   qbk-scanner-emu control [--serial TEXT] [--vid HEX] [--pid HEX] LINE...
//   qbk-scanner-emu control --socket PATH LINE...
//
// The words of LINE make one control line (ScannerControl.h).
#pragma once

#include <string>

namespace emulator {

// Where a running program takes control lines. It is apart from the device
// node, so that it stays while the scanner is unplugged: for a recorded
// device <run>/emulator/<name of the device node>, for one served on a
// socket of its own that socket's path followed by ".control".
std::string ControlSocketPath(const std::string& deviceSocket, bool recorded);

// Runs the command (argv[0] is "control"); prints the emulator's answer and
// returns 0 when the line was taken, 1 when it was refused or nothing
// answers, 2 for a wrong command line.
int RunControlCommand(int argc, char** argv);

}  // namespace emulator
