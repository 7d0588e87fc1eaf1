// Processes, the process list, command lines and sessions.
#pragma once

#include "platform/process/CommandLine.h"
#include "platform/process/Process.h"
#include "platform/process/Session.h"
#include "platform/process/Token.h"
#include "platform/process/Toolhelp.h"
#include "platform/process/ShellExecute.h"
