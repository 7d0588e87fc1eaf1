#include "platform/ui/DialogRenderer.h"
#include "platform/ui/BitmapFont.h"
#include "platform/ui/Theme.h"
#include "platform/ui/UiWindow.h"

#include <algorithm>

namespace plat::ui {

namespace {

constexpr uint32_t kFace = 0xF0F0F0;
constexpr uint32_t kBorder = 0x808080;
constexpr uint32_t kText = 0x000000;
constexpr uint32_t kGrayText = 0xA0A0A0;
constexpr uint32_t kField = 0xFFFFFF;
constexpr uint32_t kAccent = 0x3070C0;

struct Painter {
    RgbImage& image;

    void Fill(int left, int top, int right, int bottom, uint32_t color)
    {
        left = std::max(left, 0);
        top = std::max(top, 0);
        right = std::min(right, image.width);
        bottom = std::min(bottom, image.height);
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x)
                image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)] =
                    color;
        }
    }
    void Frame(int left, int top, int right, int bottom, uint32_t color)
    {
        Fill(left, top, right, top + 1, color);
        Fill(left, bottom - 1, right, bottom, color);
        Fill(left, top, left + 1, bottom, color);
        Fill(right - 1, top, right, bottom, color);
    }
    // Text vertically centred in [top, bottom); `align` 0 left, 1 centre, 2 right.
    void Text(const RECT& r, std::u16string_view text, uint32_t color, int align = 0)
    {
        const int width = static_cast<int>(text.size()) * kCharWidth;
        int x = r.left + 2;
        if (width > r.right - r.left - 4)
            align = 0; // too long: its start is what matters
        if (align == 1)
            x = r.left + (r.right - r.left - width) / 2;
        else if (align == 2)
            x = r.right - width - 2;
        const int y = r.top + (r.bottom - r.top - kCharHeight) / 2;
        DrawText(image, x, y, text, color, ClipRect{r.left, r.top, r.right, r.bottom});
    }
};

// What a caption shows: "&" marks the mnemonic letter ("&&" is one "&"),
// and a link's markup is not shown.
std::u16string ShownText(const std::u16string& text, bool markup)
{
    std::u16string shown;
    bool inTag = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (markup && c == u'<')
            inTag = true;
        else if (markup && c == u'>')
            inTag = false;
        else if (inTag)
            continue;
        else if (c == u'&' && !markup && i + 1 < text.size() && text[i + 1] == u'&')
            shown.push_back(text[++i]);
        else if (c != u'&' || markup)
            shown.push_back(c);
    }
    return shown;
}

void DrawWindow(Painter& p, HWND hwnd, int originX, int originY);

void DrawChildren(Painter& p, const UiWindow& window, int originX, int originY)
{
    for (HWND child : window.children)
        DrawWindow(p, child, originX, originY);
}

void DrawButton(Painter& p, const UiWindow& w, const RECT& r, DWORD style, uint32_t ink)
{
    const DWORD type = style & BS_TYPEMASK;
    if (type == BS_GROUPBOX) {
        p.Frame(r.left, r.top + kCharHeight / 2, r.right, r.bottom, kBorder);
        const RECT caption{r.left + 6, r.top, r.left + 8 + static_cast<LONG>(w.text.size()) * kCharWidth,
                           r.top + kCharHeight};
        p.Fill(caption.left, caption.top, caption.right, caption.bottom, kFace);
        p.Text(caption, ShownText(w.text, false), ink);
        return;
    }
    const bool check = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
    const bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
    if (check || radio) {
        const int box = 11;
        const int top = r.top + (r.bottom - r.top - box) / 2;
        p.Fill(r.left, top, r.left + box, top + box, kField);
        p.Frame(r.left, top, r.left + box, top + box, kBorder);
        if (w.check != BST_UNCHECKED)
            p.Fill(r.left + 3, top + 3, r.left + box - 3, top + box - 3, w.check == BST_CHECKED ? ink : kGrayText);
        p.Text(RECT{r.left + box + 2, r.top, r.right, r.bottom}, ShownText(w.text, false), ink);
        return;
    }
    p.Frame(r.left, r.top, r.right, r.bottom, type == BS_DEFPUSHBUTTON ? kText : kBorder);
    p.Text(r, ShownText(w.text, false), ink, 1);
}

void DrawControl(Painter& p, const UiWindow& w, const RECT& r, DWORD style, bool enabled)
{
    const uint32_t ink = enabled ? kText : kGrayText;
    switch (w.kind) {
    case ControlKind::Button:
        DrawButton(p, w, r, style, ink);
        break;
    case ControlKind::Edit:
        p.Fill(r.left, r.top, r.right, r.bottom, enabled ? kField : kFace);
        p.Frame(r.left, r.top, r.right, r.bottom, kBorder);
        p.Text(r, w.text, ink);
        break;
    case ControlKind::Static:
        if ((style & 0x1F) == SS_ICON)
            p.Frame(r.left, r.top, r.left + 32, r.top + 32, kBorder);
        else
            p.Text(r, ShownText(w.text, false), ink, (style & 0x3) == SS_RIGHT ? 2 : ((style & 0x3) == 1 ? 1 : 0));
        break;
    case ControlKind::Link:
        p.Text(r, ShownText(w.text, true), enabled ? kAccent : kGrayText);
        break;
    case ControlKind::ComboBox: {
        const RECT field{r.left, r.top, r.right, r.top + std::min<LONG>(r.bottom - r.top, 21)};
        p.Fill(field.left, field.top, field.right, field.bottom, enabled ? kField : kFace);
        p.Frame(field.left, field.top, field.right, field.bottom, kBorder);
        p.Frame(field.right - 16, field.top, field.right, field.bottom, kBorder);
        p.Text(RECT{field.right - 14, field.top, field.right, field.bottom}, u"V", ink);
        p.Text(RECT{field.left, field.top, field.right - 16, field.bottom}, w.text, ink);
        break;
    }
    case ControlKind::Trackbar: {
        const int mid = (r.top + r.bottom) / 2;
        p.Fill(r.left + 4, mid - 1, r.right - 4, mid + 1, kBorder);
        const int span = std::max(1, w.rangeMax - w.rangeMin);
        const int x = r.left + 4 + (w.position - w.rangeMin) * (r.right - r.left - 8) / span;
        p.Fill(x - 3, r.top + 2, x + 3, r.bottom - 2, ink);
        break;
    }
    case ControlKind::Progress: {
        p.Frame(r.left, r.top, r.right, r.bottom, kBorder);
        const int span = std::max(1, w.rangeMax - w.rangeMin);
        const int filled = (w.position - w.rangeMin) * (r.right - r.left - 2) / span;
        p.Fill(r.left + 1, r.top + 1, r.left + 1 + filled, r.bottom - 1, kAccent);
        break;
    }
    case ControlKind::TabControl: {
        RECT header{};
        for (size_t i = 0; i < w.items.size(); ++i) {
            SendMessageW(w.hwnd, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&header));
            const RECT tab{r.left + header.left, r.top + header.top, r.left + header.right, r.top + header.bottom};
            const bool selected = static_cast<int>(i) == w.selection;
            p.Fill(tab.left, tab.top - (selected ? 2 : 0), tab.right, tab.bottom, selected ? kField : kFace);
            p.Frame(tab.left, tab.top - (selected ? 2 : 0), tab.right, tab.bottom, kBorder);
            p.Text(tab, w.items[i].text, ink, 1);
        }
        p.Frame(r.left, r.top + header.bottom, r.right, r.bottom, kBorder);
        break;
    }
    case ControlKind::Dialog:
        if (w.textureFlags & ETDT_USETABTEXTURE) // a page on the tab-page background
            p.Fill(r.left, r.top, r.right, r.bottom, kField);
        break;
    }
}

void DrawWindow(Painter& p, HWND hwnd, int originX, int originY)
{
    std::shared_ptr<UiWindow> window = FindUiWindow(hwnd);
    const DWORD style = WindowStyle(hwnd);
    if (!window || !(style & WS_VISIBLE))
        return;
    const RECT r{originX + window->rect.left, originY + window->rect.top, originX + window->rect.right,
                 originY + window->rect.bottom};
    DrawControl(p, *window, r, style, IsWindowEnabled(hwnd));
    DrawChildren(p, *window, r.left, r.top);
}

} // namespace

RgbImage RenderWindow(HWND window)
{
    std::shared_ptr<UiWindow> root = FindUiWindow(window);
    RgbImage image;
    if (!root)
        return image;
    image.width = std::max<int>(1, root->rect.right - root->rect.left);
    image.height = std::max<int>(1, root->rect.bottom - root->rect.top);
    image.pixels.assign(static_cast<size_t>(image.width) * static_cast<size_t>(image.height), kFace);
    Painter painter{image};
    if (root->kind != ControlKind::Dialog)
        DrawControl(painter, *root, RECT{0, 0, image.width, image.height}, WindowStyle(window),
                    IsWindowEnabled(window));
    DrawChildren(painter, *root, 0, 0);
    return image;
}

bool RenderWindowToPng(HWND window, const std::string& path)
{
    const RgbImage image = RenderWindow(window);
    return image.width > 0 && WritePng(image, path);
}

} // namespace plat::ui
