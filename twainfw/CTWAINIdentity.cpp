// The framework's own identity, which both identities of a data source carry
// until the device class and the manager fill them.
#include "twainfw/TWAINRecords.h"

#include "twainfw/TWAINText.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace Trellis {

namespace {

// Kept whole up to 32 characters; a longer text keeps its first 31.
void CopyText(TW_STR32& field, const std::string& text)
{
    const std::string cut = TruncateString(text, 32);
    std::memset(field, 0, sizeof field);
    std::memcpy(field, cut.data(), std::min(cut.size(), sizeof field - 1));
}

} // namespace

CTWAINIdentity::CTWAINIdentity() : TW_IDENTITY{}
{
    Id = 0;
    Version.MajorNum = 1;
    Version.MinorNum = 0;
    Version.Language = TWLG_USA;
    Version.Country = TWCY_USA;
    CopyText(Version.Info, "");
    ProtocolMajor = 2;
    ProtocolMinor = 0;
    SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyText(Manufacturer, "Trellis Framework");
    CopyText(ProductFamily, "Trellis");
    CopyText(ProductName, "Trellis Application");
}

} // namespace Trellis
