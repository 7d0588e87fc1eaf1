// What the key poll hands to the main thread, and the status values that
// every registered button sink receives.
#pragma once

#include "platform/base/wintypes.h"

constexpr size_t kButtonNameChars = 50;

struct ButtonEventRecord {
    WCHAR szName[kButtonNameChars]; // the key's name, terminated
    LONG lPressType;                // 0 short press (on release), 1 long press (while held)
    LONG lFuncNumber;               // always 1
};

enum ScannerStatusEvent : LONG {
    SCANNER_STATUS_SERVICE_ENDING = -1,
    SCANNER_STATUS_REMOVED = 0,
    SCANNER_STATUS_ARRIVED = 1,
};

// Press types of ButtonEventRecord.
constexpr LONG kShortPress = 0;
constexpr LONG kLongPress = 1;
