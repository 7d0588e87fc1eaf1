// The extended image information the scanner adds to the framework's: the
// number of the page in the acquisition, its pixel flavour and its side;
// and, in two items of the source's own, whether a device status cut the
// page short: a page so cut comes padded to its length, and only these
// items tell the application where it ends.
#include "twainds/CQBK24DataSource.h"

#include "twainds/CutPageInfo.h"

namespace {

bool AnswerUInt32(TW_INFO& info, TW_UINT32 value)
{
    info.ItemType = TWTY_UINT32;
    info.NumItems = 1;
    info.Item = value;
    info.ReturnCode = TWRC_SUCCESS;
    return true;
}

} // namespace

// Any other id is left as it came, for the framework to report as not
// supported.
bool CQBK24DataSource::GetOtherExtImageInfoItem(TW_INFO& info)
{
    switch (info.InfoID) {
    case TWEI_PAGENUMBER:
        return AnswerUInt32(info, static_cast<TW_UINT32>(ImageIndex));
    case TWEI_PIXELFLAVOR:
        return AnswerUInt32(info, GetPixelFlavorCurrent());
    case TWEI_PAGESIDE:
        return AnswerUInt32(info, 0);
    case qbk24::TWEI_CUTATLINE:
        return AnswerUInt32(info, PageInterrupted ? static_cast<TW_UINT32>(LinesReceived) : 0);
    case qbk24::TWEI_CUTSTATUS:
        return AnswerUInt32(info, PageInterrupted ? BandConditionCode() | BandStatusLine() << 16 : 0);
    default:
        return false;
    }
}
