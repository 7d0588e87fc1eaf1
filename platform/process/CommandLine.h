// Command lines as one text, split by the Windows rules.
//
// A program started here gets its arguments as argv; a Windows program gets
// one text and splits it itself. The rules (those of the C run-time's
// start-up code) decide what a quoted path or an embedded quotation mark
// becomes, so both directions use them: CreateProcess splits the caller's
// text into argv, GetCommandLine joins this process's argv back into one.
#pragma once

#include "platform/base/wintypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Blanks and tabs separate arguments. The first argument (the program) ends
// at the next blank or at its closing quotation mark, with no other special
// characters. In the others, 2n backslashes before a quotation mark give n
// backslashes and the mark opens or closes a quoted part; 2n+1 give n and a
// literal mark; a doubled mark inside a quoted part is one literal mark;
// backslashes elsewhere are literal.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

// One argument, quoted only when it needs it, so that SplitCommandLine gives
// it back unchanged.
std::u16string QuoteCommandLineArgument(std::u16string_view argument);

// Joins arguments so that SplitCommandLine gives them back.
std::u16string JoinCommandLine(const std::vector<std::u16string>& arguments);

} // namespace plat

extern "C" {

// This process's command line: its arguments joined by the rules above.
// The text stays valid for the life of the process.
LPWSTR GetCommandLineW();
LPSTR GetCommandLineA();

} // extern "C"
