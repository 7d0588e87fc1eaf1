#include "platform/resources/IconResourceWriter.h"
#include "platform/resources/ResourceTable.h"
#include "platform/resources/resources.h"
#include "platform/ui/DialogRenderer.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UserActions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>

namespace {

using namespace plat::ui;

constexpr WORD kProgressDialog = 700;
const DialogTemplateRegistrar kTemplate(
    kProgressDialog,
    DialogTemplate{WS_POPUP | WS_CAPTION | WS_VISIBLE,
                   0,
                   u"Scan progress",
                   0,
                   0,
                   200,
                   80,
                   u"MS Shell Dlg",
                   8,
                   {
                       {kStaticClass, 2023, u"Scanning using the Native transfer method", SS_LEFT, 0, 7, 7, 186, 8},
                       {kProgressClass, 2022, u"", WS_BORDER, 0, 7, 20, 186, 10},
                       {kButtonClass, 30, u"Duplex", BS_AUTOCHECKBOX, 0, 7, 36, 60, 10},
                       {kButtonClass, 31, u"Hidden", BS_PUSHBUTTON, 0, 100, 36, 60, 10},
                       {kButtonClass, IDCANCEL, u"&Abort Scan", BS_DEFPUSHBUTTON, 0, 75, 58, 50, 14},
                   }});

uint32_t Pixel(const RgbImage& image, int x, int y)
{
    return image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)];
}

// A modeless dialog of the template, its procedure handling nothing.
HWND Open(WORD templateId, HWND parent = nullptr)
{
    return CreateDialogParamW(
        nullptr, MAKEINTRESOURCEW(templateId), parent, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
}

RECT RectOf(HWND dialog, int id)
{
    RECT r;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    return r;
}

// Text is smoothed: its ink is every pixel well darker than the face.
bool Dark(uint32_t pixel)
{
    return ((pixel >> 16) & 0xFF) < 0x80 && ((pixel >> 8) & 0xFF) < 0x80 && (pixel & 0xFF) < 0x80;
}

TEST(DialogRendererTest, DrawsTheControlsWithTheirState)
{
    HWND dialog = CreateDialogParamW(
        nullptr, MAKEINTRESOURCEW(kProgressDialog), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(dialog, nullptr);
    SendDlgItemMessageW(dialog, 2022, PBM_SETPOS, 25, 0);
    Click(GetDlgItem(dialog, 30));
    ShowWindow(GetDlgItem(dialog, 31), SW_HIDE);

    const RgbImage image = RenderWindow(dialog);
    ASSERT_EQ(image.width, 300);
    ASSERT_EQ(image.height, 130);
    const uint32_t face = Pixel(image, 1, 1);
    // Progress 25 %: filled at a tenth of its width, empty at half of it.
    RECT bar;
    GetWindowRect(GetDlgItem(dialog, 2022), &bar);
    const int barMid = (bar.top + bar.bottom) / 2;
    EXPECT_NE(Pixel(image, bar.left + (bar.right - bar.left) / 10, barMid), face);
    EXPECT_EQ(Pixel(image, bar.left + (bar.right - bar.left) / 2, barMid), face);
    // The checked box is inked in its middle.
    RECT check;
    GetWindowRect(GetDlgItem(dialog, 30), &check);
    EXPECT_EQ(Pixel(image, check.left + 5, (check.top + check.bottom) / 2), 0x000000u);
    // Text is drawn in the static; nothing where the hidden button is.
    RECT text;
    GetWindowRect(GetDlgItem(dialog, 2023), &text);
    RECT hidden;
    GetWindowRect(GetDlgItem(dialog, 31), &hidden);
    size_t inked = 0, hiddenInk = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (!Dark(Pixel(image, x, y)))
                continue;
            inked += (x >= text.left && x < text.right && y >= text.top && y < text.bottom);
            hiddenInk += (x >= hidden.left && x < hidden.right && y >= hidden.top && y < hidden.bottom);
        }
    }
    EXPECT_GT(inked, 50u);
    EXPECT_EQ(hiddenInk, 0u);

    // The PNG: signature, then the header with the size.
    const std::string path = ::testing::TempDir() + "ui-progress.png";
    ASSERT_TRUE(RenderWindowToPng(dialog, path));
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file), {}};
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 8),
              (std::vector<unsigned char>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
    EXPECT_EQ((bytes[16] << 24) | (bytes[17] << 16) | (bytes[18] << 8) | bytes[19], 300);
    EXPECT_EQ((bytes[20] << 24) | (bytes[21] << 16) | (bytes[22] << 8) | bytes[23], 130);
    if (const char* keep = std::getenv("QBK_UI_RENDER_DIR"))
        RenderWindowToPng(dialog, std::string(keep) + "/progress.png");
    DestroyWindow(dialog);
    EXPECT_EQ(RenderWindow(dialog).width, 0);
}

// The ink of a picture inside a rectangle: its bounds, and how many pixels.
struct Ink {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    size_t pixels = 0;
};

// The pixels inside `r` that `inked` takes for ink.
Ink InkWhere(const RgbImage& image, const RECT& r, const std::function<bool(uint32_t pixel)>& inked)
{
    Ink ink;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            if (!inked(Pixel(image, x, y)))
                continue;
            ++ink.pixels;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x + 1);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y + 1);
        }
    }
    return ink;
}

Ink InkIn(const RgbImage& image, const RECT& r, uint32_t background)
{
    return InkWhere(image, r, [background](uint32_t pixel) { return pixel != background; });
}

constexpr WORD kTextDialog = 701;
const DialogTemplateRegistrar kTextTemplate(
    kTextDialog,
    DialogTemplate{
        WS_POPUP | WS_CAPTION,
        0,
        u"Texts",
        0,
        0,
        200,
        80,
        u"MS Shell Dlg",
        8,
        {
            {kStaticClass, 1, u"Scanning using the Native transfer method", SS_LEFT, 0, 4, 4, 192, 8},
            {kStaticClass, 2, u"SCANNING USING THE NATIVE TRANSFER METHOD", SS_LEFT, 0, 4, 16, 192, 8},
            {kStaticClass, 3, u"Put documents in the feeder, then click Retry.", SS_LEFT, 0, 4, 30, 60, 30},
            {kStaticClass, 4, u"Put documents in the feeder, then click Retry.", SS_LEFTNOWORDWRAP, 0, 100, 30, 60, 30},
        }});

TEST(DialogRendererTest, TextIsSetInTheDialogFontAndLaidOutAsTheSystemDoes)
{
    HWND dialog = Open(kTextDialog);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    const RgbImage image = RenderWindow(dialog);
    const uint32_t face = Pixel(image, 0, 0);
    const auto rectOf = [&](int id) { return RectOf(dialog, id); };

    // An 8-point sans-serif face takes about 5 pixels a character, as the
    // dialog font does: the 41 characters fit the 288 pixels of the static.
    const Ink mixed = InkIn(image, rectOf(1), face);
    EXPECT_GT(mixed.right - mixed.left, 150);
    EXPECT_LT(mixed.right - mixed.left, 260);
    EXPECT_LE(mixed.bottom - mixed.top, 13);
    // Lower case is its own, narrower lettering.
    const Ink upper = InkIn(image, rectOf(2), face);
    EXPECT_GT(upper.right - upper.left, mixed.right - mixed.left);

    // A static wraps at word ends within its width; the one-line kind is
    // cut at its edge.
    const RECT wrapped = rectOf(3);
    const Ink lines = InkIn(image, wrapped, face);
    EXPECT_GT(lines.bottom - lines.top, 2 * 11);
    EXPECT_LE(lines.right, wrapped.right);
    const RECT oneLine = rectOf(4);
    const Ink cut = InkIn(image, oneLine, face);
    EXPECT_LE(cut.bottom - cut.top, 13);
    EXPECT_EQ(InkIn(image, RECT{oneLine.right, oneLine.top, image.width, oneLine.bottom}, face).pixels, 0u);

    // The file is compressed: far below three bytes a pixel.
    EXPECT_LT(EncodePng(image).size(), static_cast<size_t>(image.width * image.height) / 4);
    DestroyWindow(dialog);
}

} // namespace

namespace {

bool LinkBlue(uint32_t pixel)
{
    const int r = static_cast<int>((pixel >> 16) & 0xFF);
    const int b = static_cast<int>(pixel & 0xFF);
    return b > r + 0x40;
}

// A shown pop-up dialog of the 8-point dialog font.
DialogTemplate Shown(DWORD style, std::u16string caption, short cx, short cy, std::vector<DialogItemTemplate> items)
{
    return DialogTemplate{style | WS_VISIBLE, 0, std::move(caption), 0, 0, cx, cy,
                          u"MS Shell Dlg",    8, std::move(items)};
}

constexpr WORD kLinkDialog = 702;
const DialogTemplateRegistrar kLinkTemplate(kLinkDialog, Shown(WS_POPUP | WS_CAPTION, u"Link", 210, 60,
                                                               {
                                                                   // One line high; the sentence needs two.
                                                                   {kLinkClass, 1,
                                                                    u"Support at <a href=\"http://support.example\">"
                                                                    u"http://support.example/en/us/Default.asp</a>.",
                                                                    WS_TABSTOP, 0, 4, 4, 150, 8},
                                                               }));

TEST(DialogRendererTest, ALinkShowsItsAnchorAsTheLinkAndWrapsAtSpacesOnBelowItsControl)
{
    HWND dialog = Open(kLinkDialog);
    ASSERT_NE(dialog, nullptr);
    const RgbImage image = RenderWindow(dialog);
    const RECT link = RectOf(dialog, 1);
    // The plain text's ink on the first line, the link's anywhere below.
    constexpr int kLine = 13;
    const Ink plain = InkWhere(image, RECT{link.left, link.top, link.right, link.top + kLine},
                               [](uint32_t pixel) { return Dark(pixel) && !LinkBlue(pixel); });
    const Ink anchor = InkWhere(image, RECT{link.left, link.top, link.right, image.height}, LinkBlue);
    // "Support at" alone on the first line, in the text colour; the whole
    // address on the second, in the link's, below the control's bottom
    // instead of cut there or broken after one of its '/'.
    ASSERT_GT(plain.pixels, 0u);
    ASSERT_GT(anchor.pixels, 0u);
    EXPECT_LT(plain.right - link.left, (link.right - link.left) / 3);
    EXPECT_GE(anchor.top, link.top + kLine);
    EXPECT_GT(anchor.bottom, link.bottom);
    EXPECT_LE(anchor.left, link.left + 1);
    DestroyWindow(dialog);
}

constexpr WORD kButtonsDialog = 703;
constexpr WORD kButtonsPage = 704;
const DialogTemplateRegistrar kButtonsTemplate(
    kButtonsDialog, Shown(WS_POPUP | WS_CAPTION, u"Buttons", 200, 100,
                          {
                              {kButtonClass, IDOK, u"Scan", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 20, 80, 50, 14},
                              {kButtonClass, IDCANCEL, u"Cancel", WS_TABSTOP, 0, 80, 80, 50, 14},
                          }));
// A page, as the settings dialog holds its pages.
DialogTemplate ButtonsPage()
{
    DialogTemplate page = Shown(WS_CHILD | DS_CONTROL, u"", 200, 60,
                                {
                                    {kButtonClass, 9, u"Refresh", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 20, 20, 50, 14},
                                });
    page.exStyle = WS_EX_CONTROLPARENT;
    return page;
}
const DialogTemplateRegistrar kButtonsPageTemplate(kButtonsPage, ButtonsPage());

TEST(DialogRendererTest, AWindowShowsOneDefaultButtonWhateverItsPagesSay)
{
    HWND dialog = Open(kButtonsDialog);
    ASSERT_NE(dialog, nullptr);
    HWND page = Open(kButtonsPage, dialog);
    ASSERT_NE(page, nullptr);
    HWND refresh = GetDlgItem(page, 9);
    const auto framed = [&](HWND button) {
        const RgbImage image = RenderWindow(dialog);
        RECT r;
        GetWindowRect(button, &r);
        POINT corner{r.left, r.top};
        ScreenToClient(dialog, &corner);
        return LinkBlue(Pixel(image, corner.x + (r.right - r.left) / 2, corner.y));
    };
    SetFocus(page);
    EXPECT_TRUE(framed(GetDlgItem(dialog, IDOK)));
    EXPECT_FALSE(framed(refresh));
    // A push button with the focus is the default one meanwhile.
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    EXPECT_TRUE(framed(GetDlgItem(dialog, IDCANCEL)));
    EXPECT_FALSE(framed(GetDlgItem(dialog, IDOK)));
    SetFocus(refresh);
    EXPECT_TRUE(framed(refresh));
    EXPECT_FALSE(framed(GetDlgItem(dialog, IDOK)));
    DestroyWindow(dialog);
}

// A 16-pixel icon whose left half is red and right half clear.
constexpr uint32_t kIconRed = 0xC03020;
const iconres::Bytes kHalfRed = iconres::IconImage(
    iconres::IconDrawing{{0, kIconRed}, [](int x, int, int size) { return x < size / 2 ? 1 : 0; }}, 16, 32);
const iconres::Bytes kHalfRedGroup = iconres::IconGroup({{16, 32, kHalfRed.size(), 31}});
const plat::BinaryResource kRendererIcons[] = {
    {14, 301, kHalfRedGroup.data(), static_cast<DWORD>(kHalfRedGroup.size())},
    {3, 31, kHalfRed.data(), static_cast<DWORD>(kHalfRed.size())},
};
const plat::ModuleResources kRendererResources{.binaries = kRendererIcons};
const plat::ResourceRegistrar kRendererRegistrar(kRendererResources);

constexpr WORD kPicturesDialog = 705;
const DialogTemplateRegistrar kPicturesTemplate(
    kPicturesDialog,
    Shown(WS_POPUP | WS_CAPTION, u"Pictures", 200, 100,
          {
              {kStaticClass, 1, std::u16string{0xFFFF, 301}, SS_ICON, 0, 4, 4, 10, 10},
              {kStaticClass, 2, std::u16string{0xFFFF, 301}, SS_ICON | SS_REALSIZECONTROL, 0, 40, 4, 11, 10},
              {kStaticClass, 3, std::u16string{0xFFFF, 399}, SS_ICON, 0, 80, 4, 21, 20},
              {kStaticClass, 4, u"", SS_ETCHEDHORZ, 0, 4, 40, 150, 1},
              {kStaticClass, 5, u"", SS_ETCHEDVERT, 0, 170, 30, 1, 50},
          }));

TEST(DialogRendererTest, IconsShowTheirResourceAndEtchedLinesAreDrawn)
{
    HWND dialog = Open(kPicturesDialog);
    ASSERT_NE(dialog, nullptr);
    const RgbImage image = RenderWindow(dialog);
    const uint32_t face = Pixel(image, 0, 0);
    const auto rectOf = [&](int id) { return RectOf(dialog, id); };
    // The icon in the system's icon size, the control made that size; the
    // fitted one in the control's 16 pixels. Clear pixels show the face.
    const struct {
        int id;
        LONG size;
    } icons[] = {{1, 32}, {2, 16}};
    for (const auto& icon : icons) {
        SCOPED_TRACE(icon.id);
        const RECT r = rectOf(icon.id);
        ASSERT_EQ(r.right - r.left, icon.size);
        ASSERT_EQ(r.bottom - r.top, icon.size);
        EXPECT_EQ(Pixel(image, r.left + icon.size / 4, r.top + icon.size / 2), kIconRed);
        EXPECT_EQ(Pixel(image, r.left + icon.size * 3 / 4, r.top + icon.size / 2), face);
    }
    // An icon the module does not hold shows nothing.
    EXPECT_EQ(InkIn(image, rectOf(3), face).pixels, 0u);
    EXPECT_EQ(SendDlgItemMessageW(dialog, 3, STM_GETICON, 0, 0), 0);

    const RECT across = rectOf(4);
    const RECT down = rectOf(5);
    for (const POINT& p : {POINT{across.left + 10, across.top}, POINT{down.left, down.top + 10}})
        EXPECT_EQ(Pixel(image, p.x, p.y), 0xA0A0A0u);
    for (const POINT& p : {POINT{across.left + 10, across.top + 1}, POINT{down.left + 1, down.top + 10}})
        EXPECT_EQ(Pixel(image, p.x, p.y), 0xFFFFFFu);
    DestroyWindow(dialog);
}

} // namespace
