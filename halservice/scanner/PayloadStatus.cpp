#include "halservice/scanner/PayloadStatus.h"

namespace {

struct SenseStatus {
    BYTE senseKey; // the whole byte, flags included
    BYTE asc;
    BYTE ascq;
    LONG status;
};
constexpr SenseStatus kSenseStatuses[] = {
    {3, 0x80, 0x0D, 3}, // multi-feed
    {3, 0x80, 0x04, 5}, // page resting inside
    {3, 0x80, 0x01, 8}, {3, 0x80, 0x02, 8}, {3, 0x80, 0x06, 8},
    {3, 0x80, 0x07, 8}, {3, 0x80, 0x08, 8}, {3, 0x80, 0x09, 8}, // jams
    {3, 0x80, 0x0A, 9},                                         // skew
    {2, 0x80, 0x02, 4},                                         // feeder stopped by the user
    {2, 0x80, 0x01, 6},                                         // scanner stopped by the user
    {2, 0x04, 0x80, 7},                                         // cover open
};

} // namespace

LONG PayloadStatusFromSense(const SenseData& sense, LONG noSense)
{
    if (sense.SenseKey == 0)
        return noSense;
    for (const SenseStatus& row : kSenseStatuses) {
        if (row.senseKey == sense.SenseKey && row.asc == sense.SenseCode && row.ascq == sense.SenseQualifier)
            return row.status;
    }
    return kStatusScannerError;
}
