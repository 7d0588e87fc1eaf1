// Recording device contexts and brushes: what owner-drawn controls draw is
// kept as a list of operations for the renderer and the tests.
#include "platform/ui/wingdi.h"

#include "platform/base/strings.h"
#include "platform/ui/UiWindow.h"

#include <memory>
#include <mutex>
#include <set>

struct HDC__ {
    COLORREF text = RGB(0, 0, 0);
    COLORREF background = RGB(255, 255, 255);
    std::vector<plat::ui::DrawOp> ops;
};

struct HBRUSH__ {
    COLORREF color;
    bool system;
};

namespace plat::ui {

namespace {

// Handles are only used when this layer made them and has not freed them:
// a stale or foreign handle is refused instead of dereferenced.
struct GdiTable {
    std::mutex mutex;
    std::set<HDC> dcs;
    std::set<HBRUSH> brushes;
};

GdiTable& Table()
{
    static GdiTable* table = new GdiTable;
    return *table;
}

bool IsDC(HDC hdc)
{
    GdiTable& table = Table();
    std::lock_guard lock(table.mutex);
    return hdc && table.dcs.count(hdc);
}

bool BrushColor(HBRUSH brush, COLORREF* color)
{
    GdiTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (!brush || !table.brushes.count(brush))
        return false;
    *color = brush->color;
    return true;
}

constexpr int kSysColorCount = 31;

COLORREF SysColor(int index)
{
    switch (index) {
    case COLOR_WINDOW:
        return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
        return RGB(0, 0, 0);
    case COLOR_ACTIVEBORDER:
        return RGB(180, 180, 180);
    case COLOR_HIGHLIGHT:
        return RGB(0, 120, 215);
    case COLOR_HIGHLIGHTTEXT:
        return RGB(255, 255, 255);
    case COLOR_BTNFACE:
        return RGB(240, 240, 240);
    case COLOR_GRAYTEXT:
        return RGB(109, 109, 109);
    default:
        return RGB(212, 208, 200);
    }
}

int DrawRect(HDC hdc, const RECT* rect, HBRUSH brush, DrawOp::Kind kind)
{
    COLORREF color = 0;
    if (!IsDC(hdc) || !rect || !BrushColor(brush, &color))
        return 0;
    hdc->ops.push_back(DrawOp{kind, *rect, color, hdc->background, {}, 0});
    return 1;
}

} // namespace

HDC CreateRecordingDC()
{
    HDC hdc = new HDC__;
    GdiTable& table = Table();
    std::lock_guard lock(table.mutex);
    table.dcs.insert(hdc);
    return hdc;
}

void DeleteRecordingDC(HDC hdc)
{
    {
        GdiTable& table = Table();
        std::lock_guard lock(table.mutex);
        if (!table.dcs.erase(hdc))
            return;
    }
    delete hdc;
}

std::vector<DrawOp> TakeDrawing(HDC hdc)
{
    if (!IsDC(hdc))
        return {};
    return std::move(hdc->ops);
}

std::vector<DrawOp> DrawComboItem(HWND combo, int index, bool selected, RECT rect)
{
    std::shared_ptr<UiWindow> window = FindUiWindow(combo);
    if (!window || window->kind != ControlKind::ComboBox || index < 0 ||
        index >= static_cast<int>(window->items.size()))
        return {};
    HWND parent = GetParent(combo);
    if (!parent)
        return {};
    HDC hdc = CreateRecordingDC();
    DRAWITEMSTRUCT draw{ODT_COMBOBOX,
                        static_cast<UINT>(GetDlgCtrlID(combo)),
                        static_cast<UINT>(index),
                        ODA_DRAWENTIRE,
                        selected ? ODS_SELECTED : 0u,
                        combo,
                        hdc,
                        rect,
                        static_cast<ULONG_PTR>(window->items[static_cast<size_t>(index)].data)};
    SendMessageW(parent, WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw));
    std::vector<DrawOp> drawing = TakeDrawing(hdc);
    DeleteRecordingDC(hdc);
    return drawing;
}

std::u16string ComboItemDrawnText(HWND combo, int index)
{
    std::u16string text;
    for (const DrawOp& op : DrawComboItem(combo, index, false, RECT{0, 0, 300, 16})) {
        if (op.kind != DrawOp::Kind::Text)
            continue;
        if (!text.empty())
            text += u'\t';
        text += op.text;
    }
    return text;
}

} // namespace plat::ui

using plat::ui::DrawOp;

DWORD GetSysColor(int nIndex) { return plat::ui::SysColor(nIndex); }

HBRUSH GetSysColorBrush(int nIndex)
{
    // One brush per index for the process's life, as the system keeps them.
    static HBRUSH brushes[plat::ui::kSysColorCount] = {};
    if (nIndex < 0 || nIndex >= plat::ui::kSysColorCount)
        return nullptr;
    plat::ui::GdiTable& table = plat::ui::Table();
    std::lock_guard lock(table.mutex);
    if (!brushes[nIndex]) {
        brushes[nIndex] = new HBRUSH__{plat::ui::SysColor(nIndex), true};
        table.brushes.insert(brushes[nIndex]);
    }
    return brushes[nIndex];
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    HBRUSH brush = new HBRUSH__{color, false};
    plat::ui::GdiTable& table = plat::ui::Table();
    std::lock_guard lock(table.mutex);
    table.brushes.insert(brush);
    return brush;
}

BOOL DeleteObject(HGDIOBJ ho)
{
    auto brush = static_cast<HBRUSH>(ho);
    {
        plat::ui::GdiTable& table = plat::ui::Table();
        std::lock_guard lock(table.mutex);
        if (!brush || !table.brushes.count(brush))
            return FALSE;
        if (brush->system)
            return TRUE;
        table.brushes.erase(brush);
    }
    delete brush;
    return TRUE;
}

COLORREF SetTextColor(HDC hdc, COLORREF color)
{
    if (!plat::ui::IsDC(hdc))
        return CLR_INVALID;
    const COLORREF previous = hdc->text;
    hdc->text = color;
    return previous;
}

COLORREF GetTextColor(HDC hdc) { return plat::ui::IsDC(hdc) ? hdc->text : CLR_INVALID; }

COLORREF SetBkColor(HDC hdc, COLORREF color)
{
    if (!plat::ui::IsDC(hdc))
        return CLR_INVALID;
    const COLORREF previous = hdc->background;
    hdc->background = color;
    return previous;
}

COLORREF GetBkColor(HDC hdc) { return plat::ui::IsDC(hdc) ? hdc->background : CLR_INVALID; }

int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) { return plat::ui::DrawRect(hDC, lprc, hbr, DrawOp::Kind::Fill); }

int FrameRect(HDC hDC, const RECT* lprc, HBRUSH hbr) { return plat::ui::DrawRect(hDC, lprc, hbr, DrawOp::Kind::Frame); }

int DrawTextW(HDC hdc, LPCWSTR lpchText, int cchText, LPRECT lprc, UINT format)
{
    if (!plat::ui::IsDC(hdc) || !lpchText || !lprc)
        return 0;
    std::u16string text =
        cchText < 0 ? std::u16string(lpchText) : std::u16string(lpchText, static_cast<size_t>(cchText));
    hdc->ops.push_back(DrawOp{DrawOp::Kind::Text, *lprc, hdc->text, hdc->background, std::move(text), format});
    return 13;
}

int DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format)
{
    if (!lpchText)
        return 0;
    const std::string narrow =
        cchText < 0 ? std::string(lpchText) : std::string(lpchText, static_cast<size_t>(cchText));
    const std::u16string wide = Utf8ToUtf16(narrow);
    return DrawTextW(hdc, wide.c_str(), static_cast<int>(wide.size()), lprc, format);
}
