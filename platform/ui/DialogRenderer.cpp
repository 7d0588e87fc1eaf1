#include "platform/ui/DialogRenderer.h"

#include "platform/ui/DialogPainter.h"
#include "platform/ui/IconPicture.h"
#include "platform/ui/LinkText.h"
#include "platform/ui/Theme.h"
#include "platform/ui/UiWindow.h"
#include "platform/ui/wingdi.h"

#include <algorithm>

namespace plat::ui {

namespace {

// The classic scheme's colours.
constexpr uint32_t kFace = 0xF0F0F0;
constexpr uint32_t kBorder = 0x808080;
constexpr uint32_t kLightBorder = 0xDCDCDC;
constexpr uint32_t kShadow = 0xA0A0A0;    // the dark half of an etched line
constexpr uint32_t kHighlight = 0xFFFFFF; // its light half
constexpr uint32_t kText = 0x000000;
constexpr uint32_t kGrayText = 0x6D6D6D;
constexpr uint32_t kField = 0xFFFFFF;
constexpr uint32_t kAccent = 0x3070C0;
constexpr uint32_t kBar = 0x06B025;
constexpr int kBoxSize = 13;     // check box and radio button
constexpr int kBoxTextGap = 3;   // between the box and its caption
constexpr int kEditInset = 3;    // text inside an edit's border
constexpr int kComboField = 21;  // the closed combo box's height
constexpr int kComboButton = 17; // its drop-down button

// COLORREF (0x00BBGGRR) to this picture's 0xRRGGBB.
uint32_t FromColorRef(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

RECT Offset(const RECT& r, int dx, int dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

// What a caption shows: "&" marks the mnemonic letter ("&&" is one "&").
std::u16string ShownText(const std::u16string& text)
{
    std::u16string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'&' && i + 1 < text.size() && text[i + 1] == u'&')
            shown.push_back(text[++i]);
        else if (c != u'&')
            shown.push_back(c);
    }
    return shown;
}

// A control stands on its dialog's background: the tab-page texture of a
// page, else the dialog face.
uint32_t Background(const UiWindow& control)
{
    std::shared_ptr<UiWindow> parent = FindUiWindow(control.parent);
    return parent && (parent->textureFlags & ETDT_USETABTEXTURE) ? kField : kFace;
}

class Renderer {
public:
    explicit Renderer(DialogPainter& painter) : p(painter) {}

    void DrawChildren(const UiWindow& window, int originX, int originY)
    {
        for (HWND child : window.children)
            DrawWindow(child, originX, originY);
    }

    void DrawControl(const UiWindow& w, const RECT& r, DWORD style, bool enabled)
    {
        const uint32_t ink = enabled ? kText : kGrayText;
        switch (w.kind) {
        case ControlKind::Button:
            DrawButton(w, r, style, ink);
            break;
        case ControlKind::Edit:
            p.Fill(r, enabled ? kField : kFace);
            p.Frame(r, kBorder);
            p.Text(RECT{r.left + kEditInset, r.top + 1, r.right - kEditInset, r.bottom - 1}, w.text, ink);
            break;
        case ControlKind::Static:
            DrawStatic(w, r, style, ink);
            break;
        case ControlKind::Link:
            DrawLink(w, r, enabled, ink);
            break;
        case ControlKind::ComboBox:
            DrawComboBox(w, r, enabled, ink);
            break;
        case ControlKind::Trackbar:
            DrawTrackbar(w, r, enabled);
            break;
        case ControlKind::Progress:
            DrawProgress(w, r);
            break;
        case ControlKind::TabControl:
            DrawTabs(w, r, ink);
            break;
        case ControlKind::Dialog:
            if (w.textureFlags & ETDT_USETABTEXTURE) // a page on the tab-page background
                p.Fill(r, kField);
            break;
        }
    }

private:
    DialogPainter& p;

    void DrawWindow(HWND hwnd, int originX, int originY)
    {
        std::shared_ptr<UiWindow> window = FindUiWindow(hwnd);
        const DWORD style = WindowStyle(hwnd);
        if (!window || !(style & WS_VISIBLE))
            return;
        const RECT r = Offset(window->rect, originX, originY);
        DrawControl(*window, r, style, IsWindowEnabled(hwnd));
        DrawChildren(*window, r.left, r.top);
    }

    void DrawButton(const UiWindow& w, const RECT& r, DWORD style, uint32_t ink)
    {
        const DWORD type = style & BS_TYPEMASK;
        const std::u16string caption = ShownText(w.text);
        if (type == BS_GROUPBOX) {
            const int line = p.LineHeight();
            p.Frame(RECT{r.left, r.top + line / 2, r.right, r.bottom}, kLightBorder);
            // The caption interrupts the top edge.
            const RECT text{r.left + 8, r.top, r.right - 8, r.top + line};
            if (!caption.empty())
                p.Fill(RECT{text.left - 2, text.top, std::min<LONG>(text.right, text.left + p.TextWidth(caption) + 2),
                            text.bottom},
                       Background(w));
            p.Text(text, caption, ink, TextLayout{TextLayout::Align::Left, false, true, {}});
            return;
        }
        const bool check = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
        const bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
        if (check || radio) {
            const int top = r.top + (r.bottom - r.top - kBoxSize) / 2;
            const RECT box{r.left, top, r.left + kBoxSize, top + kBoxSize};
            const uint32_t mark = w.check == BST_CHECKED ? ink : kGrayText;
            if (radio) {
                p.Circle(box, kField, true);
                p.Circle(box, kBorder, false);
                if (w.check != BST_UNCHECKED)
                    p.Circle(RECT{box.left + 4, box.top + 4, box.right - 4, box.bottom - 4}, mark, true);
            } else {
                p.Fill(box, kField);
                p.Frame(box, kBorder);
                if (w.check != BST_UNCHECKED)
                    p.Fill(RECT{box.left + 3, box.top + 3, box.right - 3, box.bottom - 3}, mark);
            }
            p.Text(RECT{box.right + kBoxTextGap, r.top, r.right, r.bottom}, caption, ink);
            return;
        }
        p.Fill(r, 0xE1E1E1);
        p.Frame(r, type == BS_DEFPUSHBUTTON ? kAccent : 0xADADAD);
        p.Text(RECT{r.left + 2, r.top, r.right - 2, r.bottom}, caption, ink, TextLayout{TextLayout::Align::Centre});
    }

    void DrawStatic(const UiWindow& w, const RECT& r, DWORD style, uint32_t ink)
    {
        const DWORD type = style & SS_TYPEMASK;
        if (type == SS_ICON) {
            // The control has the icon's size, or the icon is fitted to it:
            // square, in its middle.
            RgbaImage icon;
            if (!w.image || !IconPicture(static_cast<HICON>(w.image), &icon))
                return;
            const LONG side = std::min(r.right - r.left, r.bottom - r.top);
            const LONG left = r.left + (r.right - r.left - side) / 2;
            const LONG top = r.top + (r.bottom - r.top - side) / 2;
            p.Picture(RECT{left, top, left + side, top + side}, icon);
            return;
        }
        if (type == SS_ETCHEDHORZ) {
            p.Line(r.left, r.top, r.right - 1, r.top, kShadow);
            p.Line(r.left, r.top + 1, r.right - 1, r.top + 1, kHighlight);
            return;
        }
        if (type == SS_ETCHEDVERT) {
            p.Line(r.left, r.top, r.left, r.bottom - 1, kShadow);
            p.Line(r.left + 1, r.top, r.left + 1, r.bottom - 1, kHighlight);
            return;
        }
        // Static text wraps at word ends from the top, unless it is the
        // one-line kind.
        TextLayout how;
        how.align = type == SS_RIGHT    ? TextLayout::Align::Right
                    : type == SS_CENTER ? TextLayout::Align::Centre
                                        : TextLayout::Align::Left;
        how.wrap = type != SS_LEFTNOWORDWRAP;
        how.centreVertically = false;
        p.Text(r, ShownText(w.text), ink, how);
    }

    // Plain text with its anchors drawn as links.
    void DrawLink(const UiWindow& w, const RECT& r, bool enabled, uint32_t ink)
    {
        const LinkText link = ParseLinkText(w.text);
        TextLayout how{TextLayout::Align::Left, true, false, {}};
        for (const LinkAnchor& anchor : link.anchors)
            how.links.push_back(TextLink{anchor.begin, anchor.end, enabled ? kAccent : kGrayText});
        p.Text(r, link.text, ink, how);
    }

    // The closed list: its field shows the selected entry, drawn by its
    // owner when the list draws nothing itself.
    void DrawComboBox(const UiWindow& w, const RECT& r, bool enabled, uint32_t ink)
    {
        const RECT field{r.left, r.top, r.right, r.top + std::min<LONG>(r.bottom - r.top, kComboField)};
        p.Fill(field, enabled ? kField : kFace);
        p.Frame(field, kBorder);
        const RECT button{field.right - kComboButton, field.top, field.right, field.bottom};
        p.Frame(button, kBorder);
        p.Text(button, u"\u25BE", ink, TextLayout{TextLayout::Align::Centre});
        const RECT inside{field.left + 1, field.top + 1, button.left, field.bottom - 1};
        if (w.selection < 0 || w.selection >= static_cast<int>(w.items.size()))
            return;
        const ListItem& item = w.items[static_cast<size_t>(w.selection)];
        if (!(WindowStyle(w.hwnd) & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE))) {
            p.Text(RECT{inside.left + 2, inside.top, inside.right, inside.bottom}, item.text, ink);
            return;
        }
        const RECT itemRect{0, 0, inside.right - inside.left, inside.bottom - inside.top};
        for (const DrawOp& op : DrawComboItem(w.hwnd, w.selection, false, itemRect)) {
            const RECT at = Offset(op.rect, inside.left, inside.top);
            if (op.kind == DrawOp::Kind::Fill)
                p.Fill(at, FromColorRef(op.color));
            else if (op.kind == DrawOp::Kind::Frame)
                p.Frame(at, FromColorRef(op.color));
            else
                p.Text(at, op.text, enabled ? FromColorRef(op.color) : kGrayText);
        }
    }

    void DrawTrackbar(const UiWindow& w, const RECT& r, bool enabled)
    {
        const int mid = (r.top + r.bottom) / 2;
        p.Fill(RECT{r.left + 8, mid - 2, r.right - 8, mid + 2}, kLightBorder);
        p.Frame(RECT{r.left + 8, mid - 2, r.right - 8, mid + 2}, kBorder);
        const int span = std::max(1, w.rangeMax - w.rangeMin);
        const int x = r.left + 8 + (w.position - w.rangeMin) * (r.right - r.left - 16) / span;
        const RECT thumb{x - 5, std::max<LONG>(r.top + 1, mid - 10), x + 6, std::min<LONG>(r.bottom - 1, mid + 10)};
        p.Fill(thumb, enabled ? kAccent : kLightBorder);
        p.Frame(thumb, kBorder);
    }

    void DrawProgress(const UiWindow& w, const RECT& r)
    {
        p.Fill(r, kFace);
        p.Frame(r, 0xBCBCBC);
        const int span = std::max(1, w.rangeMax - w.rangeMin);
        const int position = std::clamp(w.position, w.rangeMin, w.rangeMax);
        const int filled = (position - w.rangeMin) * (r.right - r.left - 2) / span;
        p.Fill(RECT{r.left + 1, r.top + 1, r.left + 1 + filled, r.bottom - 1}, kBar);
    }

    void DrawTabs(const UiWindow& w, const RECT& r, uint32_t ink)
    {
        RECT header{};
        SendMessageW(w.hwnd, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&header));
        const RECT body{r.left, r.top + header.bottom, r.right, r.bottom};
        p.Fill(body, kField);
        p.Frame(body, kBorder);
        for (size_t i = 0; i < w.items.size(); ++i) {
            SendMessageW(w.hwnd, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&header));
            const bool selected = static_cast<int>(i) == w.selection;
            // The selected tab stands out and joins the body below it.
            const RECT tab{r.left + header.left - (selected ? 2 : 0), r.top + header.top - (selected ? 2 : 0),
                           r.left + header.right + (selected ? 2 : 0), r.top + header.bottom + (selected ? 1 : 0)};
            p.Fill(tab, selected ? kField : kFace);
            p.Frame(RECT{tab.left, tab.top, tab.right, tab.bottom + (selected ? 0 : 1)}, kBorder);
            if (selected)
                p.Fill(RECT{tab.left + 1, tab.bottom - 1, tab.right - 1, tab.bottom}, kField);
            p.Text(tab, w.items[i].text, ink, TextLayout{TextLayout::Align::Centre});
        }
    }
};

} // namespace

RgbImage RenderWindow(HWND window)
{
    std::shared_ptr<UiWindow> root = FindUiWindow(window);
    if (!root)
        return RgbImage{};
    const int width = std::max<int>(1, root->rect.right - root->rect.left);
    const int height = std::max<int>(1, root->rect.bottom - root->rect.top);
    DialogPainter painter(width, height, kFace);
    Renderer renderer(painter);
    if (root->kind != ControlKind::Dialog)
        renderer.DrawControl(*root, RECT{0, 0, width, height}, WindowStyle(window), IsWindowEnabled(window));
    renderer.DrawChildren(*root, 0, 0);
    return painter.Image();
}

bool RenderWindowToPng(HWND window, const std::string& path)
{
    const RgbImage image = RenderWindow(window);
    return image.width > 0 && WritePng(image, path);
}

} // namespace plat::ui
