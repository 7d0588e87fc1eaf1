// Dialog templates kept as data: what a resource script's DIALOGEX block
// says (caption, styles, size in dialog units, font, and each control's
// class, id, text, styles and rectangle), registered per module and id so
// that CreateDialogParam and DialogBoxParam find them by MAKEINTRESOURCE.
#pragma once

#include "platform/ui/winuser.h"

#include <string>
#include <vector>

namespace plat::ui {

// Window classes of the controls this layer provides.
inline constexpr const char16_t* kButtonClass = u"Button";
inline constexpr const char16_t* kEditClass = u"Edit";
inline constexpr const char16_t* kStaticClass = u"Static";
inline constexpr const char16_t* kComboBoxClass = u"ComboBox";
inline constexpr const char16_t* kTrackbarClass = u"msctls_trackbar32";
inline constexpr const char16_t* kProgressClass = u"msctls_progress32";
inline constexpr const char16_t* kTabControlClass = u"SysTabControl32";
inline constexpr const char16_t* kLinkClass = u"SysLink";
inline constexpr const char16_t* kDialogClass = u"#32770";

struct DialogItemTemplate {
    std::u16string className; // one of the classes above, or a registered class
    int id;
    std::u16string text;
    DWORD style; // WS_CHILD | WS_VISIBLE are added
    DWORD exStyle;
    short x, y, cx, cy; // dialog units
};

struct DialogTemplate {
    DWORD style;
    DWORD exStyle;
    std::u16string caption;
    short x, y, cx, cy; // dialog units
    std::u16string fontName;
    WORD pointSize;
    std::vector<DialogItemTemplate> items;
};

// Registers (or replaces) template `id` of `module` (null: the program).
// A module's own templates are best registered with DialogTemplateRegistrar.
void RegisterDialogTemplate(HINSTANCE module, WORD id, DialogTemplate dialogTemplate);
void UnregisterDialogTemplate(HINSTANCE module, WORD id);
// A copy of the registered template, or false.
bool FindDialogTemplate(HINSTANCE module, WORD id, DialogTemplate* out);

// Registers templates for the module that holds the registrar object, for
// as long as it is loaded (a static object of the module):
//     const plat::ui::DialogTemplateRegistrar kMainDialog(1000, {...});
class DialogTemplateRegistrar {
public:
    DialogTemplateRegistrar(WORD id, DialogTemplate dialogTemplate);
    ~DialogTemplateRegistrar();
    DialogTemplateRegistrar(const DialogTemplateRegistrar&) = delete;
    DialogTemplateRegistrar& operator=(const DialogTemplateRegistrar&) = delete;

private:
    HINSTANCE m_module;
    WORD m_id;
};

// Dialog units to pixels with the base units of an 8-point dialog font
// (6 x 13 pixels per average character).
RECT DialogUnitsToPixels(short x, short y, short cx, short cy);

} // namespace plat::ui
