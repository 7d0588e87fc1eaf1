// The middle class of the log sink's tree; it adds nothing of its own.
#pragma once

#include "diag/LogInterface.h"

class CDebugTrace : public CLogInterface {};
