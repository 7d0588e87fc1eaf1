// The extended image information the scanner adds to the framework's: the
// number of the page in the acquisition, its pixel flavour and its side.
#include "twainds/CQBK24DataSource.h"

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
    default:
        return false;
    }
}
