// The templates of the main dialog (1000) and of the scan settings page
// (1002), as the library's resource script gives them, in dialog units.
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/TemplateItems.h"

namespace {

using namespace qbk24::templates;
using plat::ui::DialogTemplateRegistrar;

// clang-format off
const DialogTemplateRegistrar kMainDialog(
    IDD_MAIN_DIALOG,
    Dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, u"Scan settings", 335, 273,
           {
               DefPushButton(IDOK, u"OK", 162, 252, 50, 14),
               PushButton(IDCANCEL, u"Cancel", 220, 252, 50, 14),
               PushButton(IDHELP, u"Help", 278, 252, 50, 14),
               Item(plat::ui::kTabControlClass, IDC_MAIN_TABS, u"", WS_TABSTOP, 7, 7, 321, 232),
               Icon(IDC_MAIN_ICON, IDI_SCANNER, 3, 242, 21, 20),
               LText(IDC_MAIN_STATUS, u"No document in ADF", 60, 241, 267, 8),
           }));

// The page fills the tab control's display area: 310 x 208 units.
const DialogTemplateRegistrar kScanSettingsPage(
    IDD_PAGE_SCAN_SETTINGS,
    Page(310, 208,
         {
             GroupBox(u"P&age Source:", 4, 2, 148, 30),
             DropList(IDC_PAGE_SOURCE, 12, 14, 132, 60),
             GroupBox(u"&Mode:", 4, 36, 148, 54),
             Icon(kNoId, IDI_MODE_BLACK_AND_WHITE, 12, 47, 11, 10, SS_REALSIZECONTROL),
             FirstRadio(IDC_MODE_BW, u"&Black and White", 28, 48, 116, 10),
             Icon(kNoId, IDI_MODE_GRAYSCALE, 12, 61, 11, 10, SS_REALSIZECONTROL),
             Radio(IDC_MODE_GRAY, u"Gra&yscale", 28, 62, 116, 10),
             Icon(kNoId, IDI_MODE_COLOR, 12, 75, 11, 10, SS_REALSIZECONTROL),
             Radio(IDC_MODE_COLOR, u"&Color", 28, 76, 116, 10),
             GroupBox(u"&Resolution:", 4, 94, 148, 54),
             Trackbar(IDC_RESOLUTION, 10, 106, 136, 16),
             LText(IDC_RESOLUTION_MIN, u"0000", 12, 128, 34, 8),
             RText(IDC_RESOLUTION_TEXT, u"200 dpi", 52, 128, 46, 8),
             RText(IDC_RESOLUTION_MAX, u"9999", 110, 128, 34, 8),
             GroupBox(u"Page &Type:", 4, 152, 148, 44),
             FirstRadio(IDC_SINGLE_SIDED, u"&Single-Sided", 12, 164, 120, 10),
             Radio(IDC_DOUBLE_SIDED, u"&Double-Sided", 12, 178, 120, 10),
             GroupBox(u"Page Si&ze:", 158, 2, 148, 100),
             FirstRadio(IDC_STANDARD_SIZE, u"Sta&ndard:", 166, 14, 80, 10),
             DropList(IDC_STANDARD_SIZES, 166, 26, 134, 120, CBS_OWNERDRAWFIXED | CBS_SORT),
             Radio(IDC_CUSTOM_SIZE, u"C&ustom:", 166, 44, 80, 10),
             LText(kNoId, u"&Width:", 176, 60, 30, 8),
             EditText(IDC_CUSTOM_WIDTH, 210, 58, 44, 12, WS_GROUP),
             LText(kNoId, u"&Height:", 176, 78, 30, 8),
             EditText(IDC_CUSTOM_HEIGHT, 210, 76, 44, 12),
             LText(IDC_CUSTOM_UNITS, u"Inches", 260, 68, 40, 8, SS_NOTIFY),
             GroupBox(u"Page &Orientation:", 158, 106, 148, 44),
             FirstRadio(IDC_PORTRAIT, u"&Portrait", 166, 118, 120, 10),
             Radio(IDC_LANDSCAPE, u"&Landscape", 166, 132, 120, 10),
             AutoCheckBox(IDC_LONG_DOCUMENT, u"Long D&ocument", 158, 156, 120, 10, WS_GROUP),
         }));
// clang-format on

} // namespace
