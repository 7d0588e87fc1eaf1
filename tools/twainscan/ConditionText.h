// A TWAIN condition in the user's words: the source's own words for the
// status when it gives them (a device status such as a jam or an open
// cover), else what the condition code means to a person scanning.
#pragma once

#include "tools/twainscan/TwainSession.h"

#include <string>

namespace twainscan {

// "<words> (condition N)".
std::string DescribeStatus(TwainSession& session, const TW_STATUS& status);
// The last failure's status, described.
std::string DescribeLastFailure(TwainSession& session);
// Why the source did not open, as the source's open tells it by its code.
std::string DescribeOpenFailure(TW_UINT16 code);

} // namespace twainscan
