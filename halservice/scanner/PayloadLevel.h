// A band's place in the job, as the pipeline reads it.
#pragma once

#include "platform/base/wintypes.h"

constexpr LONG kLevelInPage = 1;
constexpr LONG kLevelEndOfPage = 2;
constexpr LONG kLevelEndOfJob = 6;
