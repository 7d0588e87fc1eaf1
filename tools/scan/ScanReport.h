// What the scan tool says when a scan did not end well: the fault in words.
#pragma once

#include "tools/scan/PipelineScan.h"

#include <string>

namespace scan {

// A band's payload status in words: "jam", "double feed", "cover open",
// "no paper", ...; "scanner error" for 1 and for codes it does not know.
std::string PayloadStatusText(LONG status);

// What became of a scan from the client's side.
struct ScanOutcome {
    ScanResult result;
    bool serviceAnswered = true; // the service answered when it was let go
    bool scannerPresent = true;  // the scanner's device is still there
};

// Why the scan failed: "service gone" when the service did not answer at
// the end, "scanner unplugged" when the device has gone, else the status in
// words, else the step and its result. Empty for a scan that succeeded.
std::string FailureText(const ScanOutcome& outcome);

} // namespace scan
