// Builders for the data source's dialog templates, one per kind of
// statement a resource script uses (static texts, group boxes, check
// boxes, radio buttons, trackbars, drop-down lists), so each template
// reads as its list of controls: kind, id, text and rectangle.
#pragma once

#include "platform/ui/DialogTemplate.h"

#include <string>
#include <utility>
#include <vector>

namespace qbk24::templates {

using plat::ui::DialogItemTemplate;
using plat::ui::DialogTemplate;

inline constexpr int kNoId = -1;

// Every dialog and page of the data source uses the 8-point dialog font.
inline DialogTemplate Dialog(DWORD style, std::u16string caption, short cx, short cy,
                             std::vector<DialogItemTemplate> items)
{
    return DialogTemplate{style, 0, std::move(caption), 0, 0, cx, cy, u"MS Shell Dlg", 8, std::move(items)};
}

// A page of the settings dialog: a child control without a caption.
inline DialogTemplate Page(short cx, short cy, std::vector<DialogItemTemplate> items)
{
    return Dialog(WS_CHILD | DS_CONTROL | DS_SETFONT, u"", cx, cy, std::move(items));
}

inline DialogItemTemplate Item(const char16_t* className, int id, std::u16string text, DWORD style, short x, short y,
                               short cx, short cy)
{
    return DialogItemTemplate{className, id, std::move(text), style, 0, x, y, cx, cy};
}

inline DialogItemTemplate LText(int id, std::u16string text, short x, short y, short cx, short cy, DWORD more = 0)
{
    return Item(plat::ui::kStaticClass, id, std::move(text), SS_LEFT | more, x, y, cx, cy);
}

inline DialogItemTemplate RText(int id, std::u16string text, short x, short y, short cx, short cy)
{
    return Item(plat::ui::kStaticClass, id, std::move(text), SS_RIGHT, x, y, cx, cy);
}

inline DialogItemTemplate CText(int id, std::u16string text, short x, short y, short cx, short cy)
{
    return Item(plat::ui::kStaticClass, id, std::move(text), SS_CENTER, x, y, cx, cy);
}

// An icon resource of the module, named by its number as a resource script
// names it; `more` is SS_REALSIZECONTROL for an icon fitted to the control
// instead of the control sized to the icon.
inline DialogItemTemplate Icon(int id, WORD icon, short x, short y, short cx, short cy, DWORD more = 0)
{
    return Item(plat::ui::kStaticClass, id, std::u16string{u'\xFFFF', static_cast<char16_t>(icon)}, SS_ICON | more, x,
                y, cx, cy);
}

// Etched lines that divide a page.
inline DialogItemTemplate LineAcross(short x, short y, short cx)
{
    return Item(plat::ui::kStaticClass, kNoId, u"", SS_ETCHEDHORZ, x, y, cx, 1);
}

inline DialogItemTemplate LineDown(short x, short y, short cy)
{
    return Item(plat::ui::kStaticClass, kNoId, u"", SS_ETCHEDVERT, x, y, 1, cy);
}

inline DialogItemTemplate GroupBox(std::u16string text, short x, short y, short cx, short cy)
{
    return Item(plat::ui::kButtonClass, kNoId, std::move(text), BS_GROUPBOX, x, y, cx, cy);
}

inline DialogItemTemplate PushButton(int id, std::u16string text, short x, short y, short cx, short cy)
{
    return Item(plat::ui::kButtonClass, id, std::move(text), WS_TABSTOP, x, y, cx, cy);
}

inline DialogItemTemplate DefPushButton(int id, std::u16string text, short x, short y, short cx, short cy)
{
    return Item(plat::ui::kButtonClass, id, std::move(text), BS_DEFPUSHBUTTON | WS_TABSTOP, x, y, cx, cy);
}

// `more` is WS_GROUP for a check box that starts a group of controls.
inline DialogItemTemplate AutoCheckBox(int id, std::u16string text, short x, short y, short cx, short cy,
                                       DWORD more = 0)
{
    return Item(plat::ui::kButtonClass, id, std::move(text), BS_AUTOCHECKBOX | WS_TABSTOP | more, x, y, cx, cy);
}

// The first radio button of a group starts the group and takes the tab
// stop; the others follow it.
inline DialogItemTemplate FirstRadio(int id, std::u16string text, short x, short y, short cx, short cy)
{
    return Item(plat::ui::kButtonClass, id, std::move(text), BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, x, y, cx, cy);
}

inline DialogItemTemplate Radio(int id, std::u16string text, short x, short y, short cx, short cy)
{
    return Item(plat::ui::kButtonClass, id, std::move(text), BS_AUTORADIOBUTTON, x, y, cx, cy);
}

inline DialogItemTemplate Trackbar(int id, short x, short y, short cx, short cy)
{
    return Item(plat::ui::kTrackbarClass, id, u"", TBS_NOTICKS | WS_TABSTOP | WS_GROUP, x, y, cx, cy);
}

inline DialogItemTemplate EditText(int id, short x, short y, short cx, short cy, DWORD more = 0)
{
    return Item(plat::ui::kEditClass, id, u"", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | more, x, y, cx, cy);
}

// `cy` is the height with the list dropped down.
inline DialogItemTemplate DropList(int id, short x, short y, short cx, short cy, DWORD more = WS_GROUP)
{
    return Item(plat::ui::kComboBoxClass, id, u"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | more, x, y, cx, cy);
}

} // namespace qbk24::templates
