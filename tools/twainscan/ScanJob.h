// A scan as the command line asks for it: the capabilities negotiated with
// the open source, then every page transferred by the chosen mechanism and
// written as a TIFF file, each reported as it is done.
#pragma once

#include "tools/twainscan/TwainSession.h"

#include <cstdio>
#include <optional>
#include <string>

namespace twainscan {

struct ScanSettings {
    TW_UINT16 pixelType = TWPT_RGB;
    double resolution = 150;
    std::optional<TW_UINT16> pageSize; // ICAP_SUPPORTEDSIZES; the source's own when not given
    bool duplex = true;
    int pages = -1; // CAP_XFERCOUNT: -1 for all the feeder holds
    TW_UINT16 mechanism = TWSX_NATIVE;
    std::string outFolder = ".";
    int firstNumber = 1; // of the first page's file, page-001.tif
    bool showUI = false; // the source's dialog: its Scan button starts each scan
};

// Negotiates, enables the source and transfers until no image is pending.
// With the source's dialog, every scan started from it is transferred until
// the dialog is closed (MSG_CLOSEDSREQ or MSG_CLOSEDSOK). Returns the number
// of pages written, or -1 after reporting the failure on `errors`. Ctrl-C
// (cli::Interrupted) ends the transfers through the source: the page coming
// in is dropped and the pending ones reset; the pages already whole count.
// Progress of a memory transfer goes to the error output.
int RunScan(TwainSession& session, const ScanSettings& settings, std::FILE* report, std::FILE* errors);

// "4 pages scanned into scans: page-001.tif to page-004.tif".
std::string Summary(const ScanSettings& settings, int pages);

} // namespace twainscan
