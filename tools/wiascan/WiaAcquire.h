// The acquire command: pages from the feeder into BMP files, through the
// still-image driver's transfers as a WIA application asks for them.
//
//   acquire FOLDER [callback|file] [pages=N] [duplex=0|1] [type=color|gray|bw]
//           [dpi=N] [width=PIXELS] [height=LINES] [buffer=BYTES]
//           [driver-buffer] [cancel=PAGE] [batch-start=N] [force]
//
// The settings are written to the items first (the driver validates them).
// A callback transfer delivers every asked page in one transfer (a duplex
// single sheet in two); file transfers deliver one page each. Transfers
// follow each other while they answer S_OK and the asked pages have not all
// come, as an application runs them. "buffer" sets the
// service's transfer buffer (64 KiB for callbacks, one page for files),
// "driver-buffer" leaves the buffer to the driver, "cancel" cancels the
// callback transfer when that page begins. The folder must exist; pages of
// an earlier scan in it are replaced only with "force", and "batch-start"
// numbers the pages from N. Ctrl-C cancels the transfer (the callback
// answers S_FALSE) and ends the run with the pages already whole.
#pragma once

#include "tools/wiascan/BmpPageFiles.h"
#include "tools/wiascan/WiaDeviceHost.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wiascan {

struct AcquireOptions {
    std::string folder;
    bool file = false;
    std::vector<std::pair<PROPID, LONG>> rootChanges;
    std::vector<std::pair<PROPID, LONG>> feederChanges;
    LONG bufferSize = -1; // -1: the usual size for the transfer kind
    bool driverBuffer = false;
    int cancelPage = 0;
    int firstNumber = 1;
    bool force = false;
};

// The options of an acquire command line; empty, with the reason in *why,
// when a word is not understood.
std::optional<AcquireOptions> ParseAcquireOptions(const std::vector<std::string>& words, std::string* why);

// Runs the transfers. The result is the last transfer's, except that file
// transfers ending at an empty feeder after at least one page end with
// WIA_STATUS_END_OF_MEDIA.
HRESULT Acquire(WiaDeviceHost& host, const AcquireOptions& options, const BmpPageFiles::Show& show,
                const BmpPageFiles::ShowPercent& percent = {});

} // namespace wiascan
