// The template of the scan-progress dialog (10014), in dialog units.
#include "platform/ui/DialogTemplate.h"
#include "twainds/ui/DialogIds.h"

namespace {

using plat::ui::DialogTemplate;
using plat::ui::DialogTemplateRegistrar;
using plat::ui::kButtonClass;
using plat::ui::kProgressClass;
using plat::ui::kStaticClass;

const DialogTemplateRegistrar kScanProgress(
    IDD_SCAN_PROGRESS,
    DialogTemplate{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER,
                   0,
                   u"QBK24 Scan Progress",
                   0, 0, 239, 74,
                   u"MS Shell Dlg",
                   8,
                   {
                       {kStaticClass, IDC_PROGRESS_METHOD, u"Scanning using the NATIVE transfer method", SS_LEFT, 0, 10,
                        8, 219, 8},
                       {kStaticClass, IDC_PROGRESS_IMAGE, u"Scanning image X", SS_LEFT, 0, 10, 20, 219, 8},
                       {kProgressClass, IDC_PROGRESS_BAR, u"", WS_BORDER, 0, 10, 33, 219, 11},
                       {kButtonClass, IDCANCEL, u"&Abort Scan", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 94, 53, 50, 14},
                   }});

} // namespace
