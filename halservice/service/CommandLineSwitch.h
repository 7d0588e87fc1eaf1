// The registration switches of the program's command line.
#pragma once

#include <string_view>

enum class HALSwitch {
    None,
    UnregServer,
    RegServer,
    UnregServerPerUser,
    RegServerPerUser,
    Service,
};

// A switch is the word after a '-' or '/', compared without regard to case
// and ending at a blank, a tab or the end of the line. The four
// registration switches are looked for over the whole line first (in the
// order UnregServer, RegServer, UnregServerPerUser, RegServerPerUser at each
// position); only when none is there is the line searched for "Service".
HALSwitch FindCommandLineSwitch(std::u16string_view commandLine);
