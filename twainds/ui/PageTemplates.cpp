// The templates of the image enhancement (1004), document settings (1003),
// about (1005) and profiles (1001) pages and of the save-profile dialog
// (10016), as the library's resource script gives them, in dialog units.
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/TemplateItems.h"

#include <initializer_list>

namespace {

using namespace qbk24::templates;
using plat::ui::DialogTemplateRegistrar;

const DialogTemplateRegistrar kImageEnhancementPage(
    IDD_PAGE_IMAGE_ENHANCEMENT,
    Page(302, 214,
         {
             AutoCheckBox(IDC_INVERT, u"&Invert Image", 8, 6, 80, 10, WS_GROUP),
             AutoCheckBox(IDC_MIRROR, u"&Mirror Image", 90, 6, 80, 10),
             AutoCheckBox(IDC_DESPECKLE, u"&Despeckle", 8, 22, 100, 10),
             LText(IDC_SPECKLE_DIAMETER_LABEL, u"&Speckle diameter:", 18, 36, 100, 8),
             Trackbar(IDC_SPECKLE_DIAMETER, 14, 46, 120, 14),
             LText(IDC_SPECKLE_DIAMETER_MIN, u"1", 18, 62, 12, 8),
             RText(IDC_SPECKLE_DIAMETER_TEXT, u"50 %", 54, 62, 40, 8),
             RText(IDC_SPECKLE_DIAMETER_MAX, u"6", 118, 62, 12, 8),
             LineDown(150, 4, 70),
             AutoCheckBox(IDC_COLOR_DROPOUT, u"&Color Dropout:", 160, 6, 100, 10, WS_GROUP),
             FirstRadio(IDC_DROPOUT_RED, u"&Red", 172, 22, 60, 10),
             Radio(IDC_DROPOUT_GREEN, u"&Green", 172, 36, 60, 10),
             Radio(IDC_DROPOUT_BLUE, u"&Blue", 172, 50, 60, 10),
             LineAcross(4, 76, 294),
             LText(IDC_BRIGHTNESS_LABEL, u"Bright&ness:", 8, 82, 60, 8),
             Trackbar(IDC_BRIGHTNESS, 8, 92, 136, 14),
             LText(IDC_BRIGHTNESS_LOW, u"0000", 10, 108, 30, 8),
             RText(IDC_BRIGHTNESS_TEXT, u"50 %", 56, 108, 34, 8),
             RText(IDC_BRIGHTNESS_HIGH, u"9999", 110, 108, 30, 8),
             LText(IDC_CONTRAST_LABEL, u"C&ontrast:", 158, 82, 60, 8),
             Trackbar(IDC_CONTRAST, 158, 92, 136, 14),
             LText(IDC_CONTRAST_LOW, u"0000", 160, 108, 30, 8),
             RText(IDC_CONTRAST_TEXT, u"50 %", 206, 108, 34, 8),
             RText(IDC_CONTRAST_HIGH, u"9999", 260, 108, 30, 8),
             LineAcross(4, 120, 294),
             LText(IDC_TECHNIQUE_LABEL, u"Threshold Technique:", 8, 125, 120, 8),
             FirstRadio(IDC_TECHNIQUE_TEXT, u"&Text (threshold)", 14, 136, 136, 10),
             Radio(IDC_TECHNIQUE_PHOTO, u"&Photo (dither/halftone/error diffusion)", 14, 148, 140, 10),
             Radio(IDC_TECHNIQUE_MIXED, u"Mi&xed content (automatic separation)", 158, 136, 140, 10),
             Radio(IDC_TECHNIQUE_DYNAMIC, u"Dyn&amic thresholding", 158, 148, 136, 10),
             LineAcross(4, 161, 294),
             LText(IDC_HALFTONE_METHOD_LABEL, u"Dither/Halftone/&Error Diffusion Method:", 8, 168, 140, 8),
             DropList(IDC_HALFTONE_METHOD, 150, 165, 144, 80),
             LText(IDC_THRESHOLD_LABEL, u"T&hreshold:", 8, 181, 60, 8),
             Trackbar(IDC_THRESHOLD, 60, 179, 84, 12),
             LText(IDC_THRESHOLD_LIGHT, u"Light", 62, 193, 24, 8),
             RText(IDC_THRESHOLD_TEXT, u"00", 88, 193, 20, 8),
             RText(IDC_THRESHOLD_DARK, u"Dark", 118, 193, 24, 8),
             LText(IDC_DYNAMIC_THRESHOLD_LABEL, u"D&ynamic Threshold:", 158, 181, 70, 8),
             Trackbar(IDC_DYNAMIC_THRESHOLD, 228, 179, 66, 12),
             LText(IDC_DYNAMIC_THRESHOLD_LIGHT, u"Light", 230, 193, 22, 8),
             RText(IDC_DYNAMIC_THRESHOLD_TEXT, u"00", 252, 193, 16, 8),
             RText(IDC_DYNAMIC_THRESHOLD_DARK, u"Dark", 270, 193, 22, 8),
         }));

const DialogTemplateRegistrar kDocumentSettingsPage(
    IDD_PAGE_DOCUMENT_SETTINGS,
    Page(302, 106,
         {
             AutoCheckBox(IDC_CROP_WIDTH, u"Crop image to guide &width", 8, 8, 160, 10, WS_GROUP),
             AutoCheckBox(IDC_CROP_LENGTH, u"&Crop image to paper &length", 8, 22, 160, 10),
             LText(kNoId, u"&Double Feed Detection (DFD):", 8, 42, 110, 8),
             DropList(IDC_DOUBLE_FEED, 122, 40, 110, 60),
             LText(kNoId, u"DFD &Sensitivity:", 8, 60, 110, 8),
             Trackbar(IDC_DFD_SENSITIVITY, 122, 58, 110, 14),
             LText(IDC_DFD_LOW, u"Low", 124, 74, 34, 8),
             CText(IDC_DFD_NORMAL, u"Normal", 160, 74, 34, 8),
             RText(IDC_DFD_HIGH, u"High", 196, 74, 34, 8),
             LText(kNoId, u"S&kew Detection:", 8, 90, 110, 8),
             DropList(IDC_SKEW, 122, 88, 110, 60),
         }));

// A row of the about page: its name on the right of the left column and
// its value, filled in when the page is shown, beside it.
struct AboutRow {
    const char16_t* name;
    int valueId;
};

void AddAboutRows(std::vector<DialogItemTemplate>& items, short y, std::initializer_list<AboutRow> rows)
{
    for (const AboutRow& row : rows) {
        items.push_back(RText(kNoId, row.name, 8, y, 130, 8));
        items.push_back(LText(row.valueId, u"Static", 144, y, 150, 8));
        y += 10;
    }
}

// The lamp timer's row (2047) is hidden: no lamp timer is read from the
// scanner, so the template leaves it out.
std::vector<DialogItemTemplate> AboutItems()
{
    std::vector<DialogItemTemplate> items{
        LText(IDC_ABOUT_DESCRIPTION, u"Static", 8, 6, 286, 8),
        LText(IDC_ABOUT_COPYRIGHT, u"Static", 8, 16, 286, 8),
        GroupBox(u"TWAIN Driver Information", 4, 30, 294, 48),
    };
    AddAboutRows(items, 42,
                 {
                     {u"Driver version:", IDC_ABOUT_DRIVER_VERSION},
                     {u"Device name:", IDC_ABOUT_DEVICE_NAME},
                     {u"Device information:", IDC_ABOUT_DEVICE_INFORMATION},
                 });
    items.push_back(GroupBox(u"Scanner Information", 4, 82, 294, 96));
    AddAboutRows(items, 94,
                 {
                     {u"Serial number:", IDC_ABOUT_SERIAL_NUMBER},
                     {u"Total number of pages scanned:", IDC_ABOUT_PAGE_COUNTER},
                     {u"Front background color:", IDC_ABOUT_FRONT_BACKGROUND},
                     {u"Back background color:", IDC_ABOUT_BACK_BACKGROUND},
                     {u"Scanner memory:", IDC_ABOUT_MEMORY},
                     {u"Firmware version:", IDC_ABOUT_FIRMWARE},
                 });
    items.push_back(DefPushButton(IDC_ABOUT_REFRESH, u"&Refresh", 236, 158, 56, 14));
    items.push_back(LText(IDC_ABOUT_SUPPORT_TEXT,
                          u"You can find additional support for your scanner at "
                          u"http://support.quorvant.example/en/us/support/Default.asp.",
                          8, 186, 286, 16, WS_GROUP | WS_TABSTOP));
    return items;
}

const DialogTemplateRegistrar kAboutPage(IDD_PAGE_ABOUT, Page(301, 214, AboutItems()));

const DialogTemplateRegistrar kProfilesPage(IDD_PAGE_PROFILES,
                                            Page(301, 102,
                                                 {
                                                     LText(kNoId, u"S&can Profile:", 7, 9, 60, 8),
                                                     DropList(IDC_PROFILE_LIST, 71, 7, 223, 40, WS_GROUP | CBS_SORT),
                                                     LText(kNoId, u"Summary:", 7, 26, 287, 8),
                                                     LText(IDC_PROFILE_SUMMARY, u"Static", 18, 36, 276, 33),
                                                     DefPushButton(IDC_PROFILE_SAVE, u"&Save...", 7, 81, 53, 14),
                                                     PushButton(IDC_PROFILE_EXPORT, u"&Export...", 67, 81, 53, 14),
                                                     PushButton(IDC_PROFILE_IMPORT, u"&Import...", 125, 81, 53, 14),
                                                     Item(plat::ui::kButtonClass, IDC_PROFILE_MERGE, u"&Merge...",
                                                          WS_TABSTOP | WS_DISABLED, 185, 81, 53, 14),
                                                     PushButton(IDC_PROFILE_DELETE, u"&Delete", 243, 81, 53, 14),
                                                 }));

const DialogTemplateRegistrar kSaveProfileDialog(
    IDD_SAVE_PROFILE,
    Dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, u"Save Configuration Setting", 243, 65,
           {
               LText(kNoId, u"Name of the configuraton to save as:", 7, 7, 229, 8),
               EditText(IDC_PROFILE_NAME, 7, 20, 229, 14),
               DefPushButton(IDOK, u"OK", 123, 44, 50, 14),
               PushButton(IDCANCEL, u"Cancel", 186, 44, 50, 14),
           }));

} // namespace
