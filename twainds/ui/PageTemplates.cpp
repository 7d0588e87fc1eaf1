// The templates of the image enhancement (1004), document settings (1003),
// about (1005) and profiles (1001) pages and of the save-profile dialog
// (10016), as the library's resource script gives them, in dialog units.
#include "platform/ui/DialogTemplate.h"
#include "twainds/ui/DialogIds.h"

namespace {

using plat::ui::DialogTemplate;
using plat::ui::DialogTemplateRegistrar;
using plat::ui::kButtonClass;
using plat::ui::kComboBoxClass;
using plat::ui::kStaticClass;
using plat::ui::kTrackbarClass;

constexpr DWORD kGroupBox = BS_GROUPBOX;
constexpr DWORD kPageStyle = WS_CHILD | DS_CONTROL | DS_SETFONT;
constexpr DWORD kCheckBox = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kFirstRadio = BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP;
constexpr DWORD kRadio = BS_AUTORADIOBUTTON;
constexpr DWORD kTrackbar = TBS_NOTICKS | WS_TABSTOP | WS_GROUP;
constexpr DWORD kDropList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP;
constexpr DWORD kLabel = SS_LEFT;
constexpr DWORD kRightLabel = SS_RIGHT;
constexpr DWORD kLineAcross = SS_ETCHEDHORZ;
constexpr DWORD kLineDown = SS_ETCHEDVERT;

const DialogTemplateRegistrar kImageEnhancementPage(
    IDD_PAGE_IMAGE_ENHANCEMENT,
    DialogTemplate{kPageStyle,
                   0,
                   u"",
                   0, 0, 302, 214,
                   u"MS Shell Dlg",
                   8,
                   {
                       {kButtonClass, IDC_INVERT, u"&Invert Image", kCheckBox | WS_GROUP, 0, 8, 6, 80, 10},
                       {kButtonClass, IDC_MIRROR, u"&Mirror Image", kCheckBox, 0, 90, 6, 80, 10},
                       {kButtonClass, IDC_DESPECKLE, u"&Despeckle", kCheckBox, 0, 8, 22, 100, 10},
                       {kStaticClass, IDC_SPECKLE_DIAMETER_LABEL, u"&Speckle diameter:", kLabel, 0, 18, 36, 100, 8},
                       {kTrackbarClass, IDC_SPECKLE_DIAMETER, u"", kTrackbar, 0, 14, 46, 120, 14},
                       {kStaticClass, IDC_SPECKLE_DIAMETER_MIN, u"1", kLabel, 0, 18, 62, 12, 8},
                       {kStaticClass, IDC_SPECKLE_DIAMETER_TEXT, u"50 %", kRightLabel, 0, 54, 62, 40, 8},
                       {kStaticClass, IDC_SPECKLE_DIAMETER_MAX, u"6", kRightLabel, 0, 118, 62, 12, 8},
                       {kStaticClass, -1, u"", kLineDown, 0, 150, 4, 1, 70},
                       {kButtonClass, IDC_COLOR_DROPOUT, u"&Color Dropout:", kCheckBox | WS_GROUP, 0, 160, 6, 100,
                        10},
                       {kButtonClass, IDC_DROPOUT_RED, u"&Red", kFirstRadio, 0, 172, 22, 60, 10},
                       {kButtonClass, IDC_DROPOUT_GREEN, u"&Green", kRadio, 0, 172, 36, 60, 10},
                       {kButtonClass, IDC_DROPOUT_BLUE, u"&Blue", kRadio, 0, 172, 50, 60, 10},
                       {kStaticClass, -1, u"", kLineAcross, 0, 4, 76, 294, 1},
                       {kStaticClass, IDC_BRIGHTNESS_LABEL, u"Bright&ness:", kLabel, 0, 8, 82, 60, 8},
                       {kTrackbarClass, IDC_BRIGHTNESS, u"", kTrackbar, 0, 8, 92, 136, 14},
                       {kStaticClass, IDC_BRIGHTNESS_LOW, u"0000", kLabel, 0, 10, 108, 30, 8},
                       {kStaticClass, IDC_BRIGHTNESS_TEXT, u"50 %", kRightLabel, 0, 56, 108, 34, 8},
                       {kStaticClass, IDC_BRIGHTNESS_HIGH, u"9999", kRightLabel, 0, 110, 108, 30, 8},
                       {kStaticClass, IDC_CONTRAST_LABEL, u"C&ontrast:", kLabel, 0, 158, 82, 60, 8},
                       {kTrackbarClass, IDC_CONTRAST, u"", kTrackbar, 0, 158, 92, 136, 14},
                       {kStaticClass, IDC_CONTRAST_LOW, u"0000", kLabel, 0, 160, 108, 30, 8},
                       {kStaticClass, IDC_CONTRAST_TEXT, u"50 %", kRightLabel, 0, 206, 108, 34, 8},
                       {kStaticClass, IDC_CONTRAST_HIGH, u"9999", kRightLabel, 0, 260, 108, 30, 8},
                       {kStaticClass, -1, u"", kLineAcross, 0, 4, 120, 294, 1},
                       {kStaticClass, IDC_TECHNIQUE_LABEL, u"Threshold Technique:", kLabel, 0, 8, 125, 120, 8},
                       {kButtonClass, IDC_TECHNIQUE_TEXT, u"&Text (threshold)", kFirstRadio, 0, 14, 136, 136, 10},
                       {kButtonClass, IDC_TECHNIQUE_PHOTO, u"&Photo (dither/halftone/error diffusion)", kRadio, 0,
                        14, 148, 140, 10},
                       {kButtonClass, IDC_TECHNIQUE_MIXED, u"Mi&xed content (automatic separation)", kRadio, 0, 158,
                        136, 140, 10},
                       {kButtonClass, IDC_TECHNIQUE_DYNAMIC, u"Dyn&amic thresholding", kRadio, 0, 158, 148, 136,
                        10},
                       {kStaticClass, -1, u"", kLineAcross, 0, 4, 161, 294, 1},
                       {kStaticClass, IDC_HALFTONE_METHOD_LABEL, u"Dither/Halftone/&Error Diffusion Method:", kLabel,
                        0, 8, 168, 140, 8},
                       {kComboBoxClass, IDC_HALFTONE_METHOD, u"", kDropList, 0, 150, 165, 144, 80},
                       {kStaticClass, IDC_THRESHOLD_LABEL, u"T&hreshold:", kLabel, 0, 8, 181, 60, 8},
                       {kTrackbarClass, IDC_THRESHOLD, u"", kTrackbar, 0, 60, 179, 84, 12},
                       {kStaticClass, IDC_THRESHOLD_LIGHT, u"Light", kLabel, 0, 62, 193, 24, 8},
                       {kStaticClass, IDC_THRESHOLD_TEXT, u"00", kRightLabel, 0, 88, 193, 20, 8},
                       {kStaticClass, IDC_THRESHOLD_DARK, u"Dark", kRightLabel, 0, 118, 193, 24, 8},
                       {kStaticClass, IDC_DYNAMIC_THRESHOLD_LABEL, u"D&ynamic Threshold:", kLabel, 0, 158, 181, 70,
                        8},
                       {kTrackbarClass, IDC_DYNAMIC_THRESHOLD, u"", kTrackbar, 0, 228, 179, 66, 12},
                       {kStaticClass, IDC_DYNAMIC_THRESHOLD_LIGHT, u"Light", kLabel, 0, 230, 193, 22, 8},
                       {kStaticClass, IDC_DYNAMIC_THRESHOLD_TEXT, u"00", kRightLabel, 0, 252, 193, 16, 8},
                       {kStaticClass, IDC_DYNAMIC_THRESHOLD_DARK, u"Dark", kRightLabel, 0, 270, 193, 22, 8},
                   }});

const DialogTemplateRegistrar kDocumentSettingsPage(
    IDD_PAGE_DOCUMENT_SETTINGS,
    DialogTemplate{kPageStyle,
                   0,
                   u"",
                   0, 0, 302, 106,
                   u"MS Shell Dlg",
                   8,
                   {
                       {kButtonClass, IDC_CROP_WIDTH, u"Crop image to guide &width", kCheckBox | WS_GROUP, 0, 8, 8,
                        160, 10},
                       {kButtonClass, IDC_CROP_LENGTH, u"&Crop image to paper &length", kCheckBox, 0, 8, 22, 160, 10},
                       {kStaticClass, -1, u"&Double Feed Detection (DFD):", kLabel, 0, 8, 42, 110, 8},
                       {kComboBoxClass, IDC_DOUBLE_FEED, u"", kDropList, 0, 122, 40, 110, 60},
                       {kStaticClass, -1, u"DFD &Sensitivity:", kLabel, 0, 8, 60, 110, 8},
                       {kTrackbarClass, IDC_DFD_SENSITIVITY, u"", kTrackbar, 0, 122, 58, 110, 14},
                       {kStaticClass, IDC_DFD_LOW, u"Low", kLabel, 0, 124, 74, 34, 8},
                       {kStaticClass, IDC_DFD_NORMAL, u"Normal", SS_CENTER, 0, 160, 74, 34, 8},
                       {kStaticClass, IDC_DFD_HIGH, u"High", kRightLabel, 0, 196, 74, 34, 8},
                       {kStaticClass, -1, u"S&kew Detection:", kLabel, 0, 8, 90, 110, 8},
                       {kComboBoxClass, IDC_SKEW, u"", kDropList, 0, 122, 88, 110, 60},
                   }});

// The lamp timer's row (2047) is hidden: no lamp timer is read from the
// scanner, so the template leaves it out.
const DialogTemplateRegistrar kAboutPage(
    IDD_PAGE_ABOUT,
    DialogTemplate{kPageStyle,
                   0,
                   u"",
                   0, 0, 301, 214,
                   u"MS Shell Dlg",
                   8,
                   {
                       {kStaticClass, IDC_ABOUT_DESCRIPTION, u"Static", kLabel, 0, 8, 6, 286, 8},
                       {kStaticClass, IDC_ABOUT_COPYRIGHT, u"Static", kLabel, 0, 8, 16, 286, 8},
                       {kButtonClass, -1, u"TWAIN Driver Information", kGroupBox, 0, 4, 30, 294, 48},
                       {kStaticClass, -1, u"Driver version:", kRightLabel, 0, 8, 42, 130, 8},
                       {kStaticClass, IDC_ABOUT_DRIVER_VERSION, u"Static", kLabel, 0, 144, 42, 150, 8},
                       {kStaticClass, -1, u"Device name:", kRightLabel, 0, 8, 52, 130, 8},
                       {kStaticClass, IDC_ABOUT_DEVICE_NAME, u"Static", kLabel, 0, 144, 52, 150, 8},
                       {kStaticClass, -1, u"Device information:", kRightLabel, 0, 8, 62, 130, 8},
                       {kStaticClass, IDC_ABOUT_DEVICE_INFORMATION, u"Static", kLabel, 0, 144, 62, 150, 8},
                       {kButtonClass, -1, u"Scanner Information", kGroupBox, 0, 4, 82, 294, 96},
                       {kStaticClass, -1, u"Serial number:", kRightLabel, 0, 8, 94, 130, 8},
                       {kStaticClass, IDC_ABOUT_SERIAL_NUMBER, u"Static", kLabel, 0, 144, 94, 150, 8},
                       {kStaticClass, -1, u"Total number of pages scanned:", kRightLabel, 0, 8, 104, 130, 8},
                       {kStaticClass, IDC_ABOUT_PAGE_COUNTER, u"Static", kLabel, 0, 144, 104, 150, 8},
                       {kStaticClass, -1, u"Front background color:", kRightLabel, 0, 8, 114, 130, 8},
                       {kStaticClass, IDC_ABOUT_FRONT_BACKGROUND, u"Static", kLabel, 0, 144, 114, 150, 8},
                       {kStaticClass, -1, u"Back background color:", kRightLabel, 0, 8, 124, 130, 8},
                       {kStaticClass, IDC_ABOUT_BACK_BACKGROUND, u"Static", kLabel, 0, 144, 124, 150, 8},
                       {kStaticClass, -1, u"Scanner memory:", kRightLabel, 0, 8, 134, 130, 8},
                       {kStaticClass, IDC_ABOUT_MEMORY, u"Static", kLabel, 0, 144, 134, 150, 8},
                       {kStaticClass, -1, u"Firmware version:", kRightLabel, 0, 8, 144, 130, 8},
                       {kStaticClass, IDC_ABOUT_FIRMWARE, u"Static", kLabel, 0, 144, 144, 150, 8},
                       {kButtonClass, IDC_ABOUT_REFRESH, u"&Refresh", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 236, 158,
                        56, 14},
                       {kStaticClass, IDC_ABOUT_SUPPORT_TEXT,
                        u"You can find additional support for your scanner at "
                        u"http://support.quorvant.example/en/us/support/Default.asp.",
                        kLabel | WS_GROUP | WS_TABSTOP, 0, 8, 186, 286, 16},
                   }});

} // namespace
