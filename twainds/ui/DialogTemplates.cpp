// The templates of the main dialog (1000) and of the scan settings page
// (1002), as the library's resource script gives them, in dialog units.
#include "platform/ui/DialogTemplate.h"
#include "twainds/ui/DialogIds.h"

namespace {

using plat::ui::DialogTemplate;
using plat::ui::DialogTemplateRegistrar;
using plat::ui::kButtonClass;
using plat::ui::kComboBoxClass;
using plat::ui::kEditClass;
using plat::ui::kStaticClass;
using plat::ui::kTabControlClass;
using plat::ui::kTrackbarClass;

constexpr DWORD kGroupBox = BS_GROUPBOX;
constexpr DWORD kFirstRadio = BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP;
constexpr DWORD kRadio = BS_AUTORADIOBUTTON;
constexpr DWORD kLabel = SS_LEFT;
constexpr DWORD kIcon = SS_ICON;

const DialogTemplateRegistrar kMainDialog(
    IDD_MAIN_DIALOG,
    DialogTemplate{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
                   0,
                   u"Scan settings",
                   0, 0, 335, 273,
                   u"MS Shell Dlg",
                   8,
                   {
                       {kButtonClass, IDOK, u"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 162, 252, 50, 14},
                       {kButtonClass, IDCANCEL, u"Cancel", WS_TABSTOP, 0, 220, 252, 50, 14},
                       {kButtonClass, IDHELP, u"Help", WS_TABSTOP, 0, 278, 252, 50, 14},
                       {kTabControlClass, IDC_MAIN_TABS, u"", WS_TABSTOP, 0, 7, 7, 321, 232},
                       {kStaticClass, IDC_MAIN_ICON, u"", kIcon, 0, 3, 242, 21, 20},
                       {kStaticClass, IDC_MAIN_STATUS, u"No document in ADF", kLabel, 0, 60, 241, 267, 8},
                   }});

// The page fills the tab control's display area: 310 x 208 units.
const DialogTemplateRegistrar kScanSettingsPage(
    IDD_PAGE_SCAN_SETTINGS,
    DialogTemplate{WS_CHILD | DS_CONTROL | DS_SETFONT,
                   0,
                   u"",
                   0, 0, 310, 208,
                   u"MS Shell Dlg",
                   8,
                   {
                       {kButtonClass, -1, u"P&age Source:", kGroupBox, 0, 4, 2, 148, 30},
                       {kComboBoxClass, IDC_PAGE_SOURCE, u"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, 0,
                        12, 14, 132, 60},
                       {kButtonClass, -1, u"&Mode:", kGroupBox, 0, 4, 36, 148, 54},
                       {kStaticClass, -1, u"", kIcon, 0, 12, 47, 10, 10},
                       {kButtonClass, IDC_MODE_BW, u"&Black and White", kFirstRadio, 0, 28, 48, 116, 10},
                       {kStaticClass, -1, u"", kIcon, 0, 12, 61, 10, 10},
                       {kButtonClass, IDC_MODE_GRAY, u"Gra&yscale", kRadio, 0, 28, 62, 116, 10},
                       {kStaticClass, -1, u"", kIcon, 0, 12, 75, 10, 10},
                       {kButtonClass, IDC_MODE_COLOR, u"&Color", kRadio, 0, 28, 76, 116, 10},
                       {kButtonClass, -1, u"&Resolution:", kGroupBox, 0, 4, 94, 148, 54},
                       {kTrackbarClass, IDC_RESOLUTION, u"", TBS_NOTICKS | WS_TABSTOP | WS_GROUP, 0, 10, 106, 136, 16},
                       {kStaticClass, IDC_RESOLUTION_MIN, u"0000", kLabel, 0, 12, 128, 34, 8},
                       {kStaticClass, IDC_RESOLUTION_TEXT, u"200 dpi", SS_RIGHT, 0, 52, 128, 46, 8},
                       {kStaticClass, IDC_RESOLUTION_MAX, u"9999", SS_RIGHT, 0, 110, 128, 34, 8},
                       {kButtonClass, -1, u"Page &Type:", kGroupBox, 0, 4, 152, 148, 44},
                       {kButtonClass, IDC_SINGLE_SIDED, u"&Single-Sided", kFirstRadio, 0, 12, 164, 120, 10},
                       {kButtonClass, IDC_DOUBLE_SIDED, u"&Double-Sided", kRadio, 0, 12, 178, 120, 10},
                       {kButtonClass, -1, u"Page Si&ze:", kGroupBox, 0, 158, 2, 148, 100},
                       {kButtonClass, IDC_STANDARD_SIZE, u"Sta&ndard:", kFirstRadio, 0, 166, 14, 80, 10},
                       {kComboBoxClass, IDC_STANDARD_SIZES, u"",
                        CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 0, 166, 26, 134,
                        120},
                       {kButtonClass, IDC_CUSTOM_SIZE, u"C&ustom:", kRadio, 0, 166, 44, 80, 10},
                       {kStaticClass, -1, u"&Width:", kLabel, 0, 176, 60, 30, 8},
                       {kEditClass, IDC_CUSTOM_WIDTH, u"", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP, 0, 210,
                        58, 44, 12},
                       {kStaticClass, -1, u"&Height:", kLabel, 0, 176, 78, 30, 8},
                       {kEditClass, IDC_CUSTOM_HEIGHT, u"", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 210, 76, 44,
                        12},
                       {kStaticClass, IDC_CUSTOM_UNITS, u"Inches", SS_NOTIFY, 0, 260, 68, 40, 8},
                       {kButtonClass, -1, u"Page &Orientation:", kGroupBox, 0, 158, 106, 148, 44},
                       {kButtonClass, IDC_PORTRAIT, u"&Portrait", kFirstRadio, 0, 166, 118, 120, 10},
                       {kButtonClass, IDC_LANDSCAPE, u"&Landscape", kRadio, 0, 166, 132, 120, 10},
                       {kButtonClass, IDC_LONG_DOCUMENT, u"Long D&ocument", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP,
                        0, 158, 156, 120, 10},
                   }});

} // namespace
