// The drawing calls owner-drawn controls make in their parent's
// WM_DRAWITEM. Nothing is drawn on a screen: a device context records what
// it was asked to draw (fills, frames, texts with their colours), and the
// renderer or a test reads the drawing back (plat::ui::TakeDrawing).
#pragma once

#include "platform/ui/winuser.h"

#include <string>
#include <vector>

struct HDC__;
using HDC = HDC__*;
using HGDIOBJ = void*;
using COLORREF = DWORD;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

extern "C" {

// System colours (the classic scheme's values).
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
DWORD GetSysColor(int nIndex);
// A brush of the system's; DeleteObject leaves it alone.
HBRUSH GetSysColorBrush(int nIndex);
HBRUSH CreateSolidBrush(COLORREF color);
BOOL DeleteObject(HGDIOBJ ho);

COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr);
int FrameRect(HDC hDC, const RECT* lprc, HBRUSH hbr);

constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOPREFIX = 0x0800;
// Records the text; the height of one line (13) is the answer.
int DrawTextW(HDC hdc, LPCWSTR lpchText, int cchText, LPRECT lprc, UINT format);
int DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format);

// Owner-drawn controls.
constexpr UINT ODA_DRAWENTIRE = 0x1;
constexpr UINT ODA_SELECT = 0x2;
constexpr UINT ODA_FOCUS = 0x4;
constexpr UINT ODS_SELECTED = 0x1;
constexpr UINT ODS_DISABLED = 0x4;
constexpr UINT ODS_FOCUS = 0x10;
constexpr UINT ODS_COMBOBOXEDIT = 0x1000;
struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
};
using LPDRAWITEMSTRUCT = DRAWITEMSTRUCT*;

} // extern "C"

namespace plat::ui {

struct DrawOp {
    enum class Kind { Fill, Frame, Text };
    Kind kind;
    RECT rect;
    COLORREF color;      // fill or frame colour; text colour for a text
    COLORREF background; // for a text: the background colour in force
    std::u16string text;
    UINT format = 0;
};

// A device context that records; free it with DeleteRecordingDC.
HDC CreateRecordingDC();
void DeleteRecordingDC(HDC hdc);
std::vector<DrawOp> TakeDrawing(HDC hdc);

// Asks the parent of an owner-drawn combo box to draw one of its entries
// (the whole entry, ODS_SELECTED when `selected`) into `rect`, and returns
// the drawing. Empty for an index the list does not hold.
std::vector<DrawOp> DrawComboItem(HWND combo, int index, bool selected, RECT rect);
// The texts drawn for one entry, joined by a tab: what a person reads in
// the list.
std::u16string ComboItemDrawnText(HWND combo, int index);

} // namespace plat::ui
