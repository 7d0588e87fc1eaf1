// Storage media kinds: how a data object hands its data over, and how the
// image-acquisition service hands over an image (TYMED_* flags).
#pragma once

#include "platform/base/wintypes.h"

constexpr LONG TYMED_NULL = 0;
constexpr LONG TYMED_HGLOBAL = 1;
constexpr LONG TYMED_FILE = 2;
