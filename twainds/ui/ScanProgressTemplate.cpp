// The template of the scan-progress dialog (10014), in dialog units.
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/TemplateItems.h"

namespace {

using namespace qbk24::templates;
using plat::ui::DialogTemplateRegistrar;

const DialogTemplateRegistrar kScanProgress(
    IDD_SCAN_PROGRESS,
    Dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER, u"QBK24 Scan Progress", 239, 74,
           {
               LText(IDC_PROGRESS_METHOD, u"Scanning using the NATIVE transfer method", 10, 8, 219, 8),
               LText(IDC_PROGRESS_IMAGE, u"Scanning image X", 10, 20, 219, 8),
               Item(plat::ui::kProgressClass, IDC_PROGRESS_BAR, u"", WS_BORDER, 10, 33, 219, 11),
               DefPushButton(IDCANCEL, u"&Abort Scan", 94, 53, 50, 14),
           }));

} // namespace
