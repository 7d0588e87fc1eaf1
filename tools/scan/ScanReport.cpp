#include "tools/scan/ScanReport.h"

#include <cstdio>

namespace scan {

std::string PayloadStatusText(LONG status)
{
    switch (status) {
    case 0:
        return "no error";
    case 2:
        return "no paper";
    case 3:
        return "double feed";
    case 4:
        return "feeder stopped by the user";
    case 5:
        return "a page rests inside the scanner";
    case 6:
        return "scanner stopped by the user";
    case 7:
        return "cover open";
    case 8:
        return "jam";
    case 9:
        return "skewed page";
    case -1:
        return "scanner not connected or not powered on";
    default:
        return "scanner error";
    }
}

std::string FailureText(const ScanOutcome& outcome)
{
    const ScanResult& r = outcome.result;
    if (r.Succeeded())
        return {};
    // A fault of the connection explains whatever status came before it.
    if (!outcome.serviceAnswered)
        return "service gone";
    if (!outcome.scannerPresent)
        return "scanner unplugged";
    char code[16];
    std::snprintf(code, sizeof code, "%ld", static_cast<long>(r.status));
    if (r.status != 0)
        return PayloadStatusText(r.status) + " (status " + code + ")";
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(r.result));
    return r.failedStep + " failed: " + code;
}

} // namespace scan
