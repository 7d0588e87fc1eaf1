// The settings dialog on a real display (Xvfb), as a person uses it: the
// test is the application (through our data source manager, with the
// source as devinstall installs it over the emulator program), opens the
// source with its dialog, and plays the person through the X server: clicks
// on the tabs, a click and a key on the resolution trackbar, Scan, Escape.
// Every page of the dialog and the progress dialog are checked against the
// model's layout and texts and saved as pictures from the display.
#include "platform/testing/XTestInput.h"
#include "platform/testing/XvfbDisplay.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiWindow.h"
#include "platform/ui/WindowBackEnd.h"
#include "platform/ui/wingdi.h"
#include "twainds/testing/ScannerSourceTest.h"
#include "twainds/ui/DialogIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace plat::ui;

// What a caption reads: "&" marks the mnemonic, and a link's tags are not
// read.
std::u16string Reads(const std::u16string& text, bool markup)
{
    std::u16string shown;
    bool inTag = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (markup && (c == u'<' || c == u'>'))
            inTag = c == u'<';
        else if (inTag)
            continue;
        else if (!markup && c == u'&' && i + 1 < text.size())
            shown.push_back(text[++i]);
        else
            shown.push_back(c);
    }
    return shown;
}

// The PNG header's width and height.
bool PngSize(const std::string& path, int* width, int* height)
{
    std::ifstream file(path, std::ios::binary);
    unsigned char header[24] = {};
    if (!file.read(reinterpret_cast<char*>(header), sizeof header) || header[1] != 'P')
        return false;
    const auto big = [&](int at) { return (header[at] << 24) | (header[at + 1] << 16) | (header[at + 2] << 8) | header[at + 3]; };
    *width = big(16);
    *height = big(20);
    return true;
}

class SettingsDialogOnDisplayTest : public qbk24::testing::ScannerSourceTest {
protected:
    void SetUp() override
    {
        if (plat::testing::XvfbDisplay::ServerProgram().empty())
            GTEST_SKIP() << "Xvfb is not installed (scripts/deps.sh installs it): no display to show the dialog on";
        std::string why;
        ASSERT_NE(plat::testing::XvfbDisplay::ForProcess(&why), nullptr) << why;
        fs::create_directories(QBK_DISPLAY_PICTURES);
        m_input = std::make_unique<plat::testing::XTestInput>();
        ASSERT_TRUE(m_input->Ready());
    }

    // Lets the source run its windows, as an application without a message
    // loop for them does, until `done` (at most 20 s of real time: the X
    // server and the scanner are other processes). Notifications are kept.
    bool RunSource(const std::function<bool()>& done)
    {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < limit) {
            TW_EVENT event{nullptr, MSG_NULL};
            if (Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) == TWRC_DSEVENT && event.TWMessage != MSG_NULL)
                m_notes.push_back(event.TWMessage);
            if (done())
                return true;
        }
        return false;
    }

    bool Noted(TW_UINT16 message)
    {
        return RunSource([&] { return std::find(m_notes.begin(), m_notes.end(), message) != m_notes.end(); });
    }

    void ClickItem(HWND hwnd, int index = -1)
    {
        RECT r{};
        ASSERT_TRUE(index < 0 ? m_backEnd->WidgetScreenRect(hwnd, &r) : m_backEnd->WidgetItemRect(hwnd, index, &r));
        m_input->Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    // The visible settings page (a child dialog on the tab control).
    HWND ShownPage(HWND dialog)
    {
        HWND tabs = GetDlgItem(dialog, IDC_MAIN_TABS);
        for (HWND child = GetWindow(tabs, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (ControlKindOf(child) == ControlKind::Dialog && IsWindowVisible(child))
                return child;
        }
        return nullptr;
    }

    // Whether the toolkit has laid out every visible window under `parent`
    // (a widget not yet allocated stands at -1, -1).
    bool LaidOut(HWND parent)
    {
        for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT r{};
            if (IsWindowVisible(child) && (!m_backEnd->WidgetRect(child, &r) || r.left < 0 || !LaidOut(child)))
                return false;
        }
        return true;
    }

    // Every visible window under `top` has its widget where the model puts
    // it (in the top window's client area) and shows the model's text.
    void ExpectLayoutAndTexts(HWND top, HWND parent, POINT origin)
    {
        for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            std::shared_ptr<UiWindow> w = FindUiWindow(child);
            if (!w || !IsWindowVisible(child))
                continue;
            SCOPED_TRACE(::testing::Message() << "control " << GetDlgCtrlID(child));
            RECT wanted{w->rect.left + origin.x, w->rect.top + origin.y, w->rect.right + origin.x,
                        w->rect.bottom + origin.y};
            if (w->kind == ControlKind::ComboBox)
                wanted.bottom = std::min<LONG>(wanted.bottom, wanted.top + 21);
            RECT shown{};
            ASSERT_TRUE(m_backEnd->WidgetRect(child, &shown));
            EXPECT_EQ(shown.left, wanted.left);
            EXPECT_EQ(shown.top, wanted.top);
            EXPECT_EQ(shown.right, wanted.right);
            EXPECT_EQ(shown.bottom, wanted.bottom);
            const std::u16string text = m_backEnd->WidgetText(child);
            const DWORD style = WindowStyle(child);
            switch (w->kind) {
            case ControlKind::Button:
                EXPECT_EQ(text, Reads(w->text, false));
                break;
            case ControlKind::Static:
                if ((style & SS_TYPEMASK) != SS_ICON) {
                    EXPECT_EQ(text, Reads(w->text, false));
                }
                break;
            case ControlKind::Link:
                EXPECT_EQ(text, Reads(w->text, true));
                break;
            case ControlKind::Edit:
                EXPECT_EQ(text, w->text);
                break;
            case ControlKind::ComboBox:
                if (w->selection >= 0 && !(style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE))) {
                    EXPECT_EQ(text, w->items[static_cast<size_t>(w->selection)].text);
                } else if (w->selection >= 0) {
                    std::u16string drawn = ComboItemDrawnText(child, w->selection);
                    std::replace(drawn.begin(), drawn.end(), u'\t', u' ');
                    EXPECT_EQ(text, drawn);
                }
                break;
            case ControlKind::TabControl: {
                std::u16string captions;
                for (const ListItem& item : w->items)
                    captions += (captions.empty() ? u"" : u"\n") + Reads(item.text, false);
                EXPECT_EQ(text, captions);
                break;
            }
            default:
                break;
            }
            // Children (the pages sit on the tab control) inside it.
            ExpectLayoutAndTexts(top, child, POINT{w->rect.left + origin.x, w->rect.top + origin.y});
        }
    }

    // The window's picture from the display, the size of its client area.
    void Picture(HWND top, const std::string& name)
    {
        const std::string path = std::string(QBK_DISPLAY_PICTURES) + "/" + name;
        ASSERT_TRUE(m_backEnd->CaptureWindow(top, path)) << path;
        RECT client{};
        GetClientRect(top, &client);
        int width = 0;
        int height = 0;
        ASSERT_TRUE(PngSize(path, &width, &height)) << path;
        EXPECT_EQ(width, client.right);
        EXPECT_EQ(height, client.bottom);
    }

    std::unique_ptr<plat::testing::XTestInput> m_input; // made once DISPLAY names the server
    WindowBackEnd* m_backEnd = nullptr;
    std::vector<TW_UINT16> m_notes;
};

TEST_F(SettingsDialogOnDisplayTest, APersonSwitchesTabsChangesTheResolutionAndScansWithTheDialog)
{
    Install(1);
    ASSERT_EQ(TWRC_SUCCESS, SetCap(CAP_DUPLEXENABLED, Trellis::CTWAINOneValue(1u, TWTY_BOOL))) << ConditionCode();
    ASSERT_EQ(Enable(true), TWRC_SUCCESS) << ConditionCode();
    m_backEnd = ActiveWindowBackEnd();
    ASSERT_NE(m_backEnd, nullptr);
    HWND dialog = FindWindowW(kDialogClass, nullptr);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(RunSource([&] { return m_backEnd->WidgetMapped(dialog); })) << "the dialog never appeared";

    // Each tab clicked shows its page; each page as the model lays it out.
    HWND tabs = GetDlgItem(dialog, IDC_MAIN_TABS);
    const auto count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    ASSERT_GE(count, 4);
    for (int i = count - 1; i >= 0; --i) {
        SCOPED_TRACE(::testing::Message() << "tab " << i);
        ClickItem(tabs, i);
        ASSERT_TRUE(RunSource([&] {
            HWND page = ShownPage(dialog);
            RECT r{};
            return SendMessageW(tabs, TCM_GETCURSEL, 0, 0) == i && page && m_backEnd->WidgetRect(page, &r) &&
                   LaidOut(dialog);
        }));
        ExpectLayoutAndTexts(dialog, dialog, POINT{0, 0});
        Picture(dialog, "settings-tab-" + std::to_string(i + 1) + ".png");
    }

    // Back to the scan settings page (the pages sit on the tab control in
    // the order of their tabs).
    int scanSettings = 0;
    HWND page = GetWindow(tabs, GW_CHILD);
    while (page && !GetDlgItem(page, IDC_RESOLUTION)) {
        page = GetWindow(page, GW_HWNDNEXT);
        ++scanSettings;
    }
    ASSERT_NE(page, nullptr);
    ClickItem(tabs, scanSettings);
    ASSERT_TRUE(RunSource([&] { return ShownPage(dialog) == page && LaidOut(dialog); }));

    // The resolution: a click on the trackbar's middle drags the thumb
    // there, the Right key one step on.
    HWND trackbar = GetDlgItem(page, IDC_RESOLUTION);
    ASSERT_NE(trackbar, nullptr);
    const auto last = static_cast<int>(SendMessageW(trackbar, TBM_GETRANGEMAX, 0, 0));
    ASSERT_GE(last, 3);
    ClickItem(trackbar);
    ASSERT_TRUE(RunSource([&] { return GetFocus() == trackbar; }));
    const auto middle = static_cast<int>(SendMessageW(trackbar, TBM_GETPOS, 0, 0));
    m_input->Key(middle < last ? "Right" : "Left");
    const int chosen = middle < last ? middle + 1 : middle - 1;
    ASSERT_TRUE(RunSource([&] { return SendMessageW(trackbar, TBM_GETPOS, 0, 0) == chosen; }));
    Trellis::CTWAINContainer resolution;
    ASSERT_EQ(TWRC_SUCCESS, GetCap(ICAP_XRESOLUTION, MSG_GET, resolution));
    const float dpi = resolution.GetEnumeration().m_List.at(static_cast<size_t>(chosen)).GetFloat();
    ASSERT_TRUE(RunSource([&] { return m_backEnd->WidgetText(GetDlgItem(page, IDC_RESOLUTION_TEXT)).find(
                                           Utf8ToUtf16(std::to_string(static_cast<int>(dpi)))) == 0; }));

    // Scan: the pages arrive at that resolution, the progress dialog over
    // the settings dialog meanwhile.
    ClickItem(GetDlgItem(dialog, IDOK));
    ASSERT_TRUE(Noted(MSG_XFERREADY));
    int pages = 0;
    for (TW_PENDINGXFERS pending{1, {0}}; pending.Count != 0 && pages < 4;) {
        TW_IMAGEINFO info{};
        ASSERT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
        EXPECT_EQ(static_cast<int>(Trellis::Fix32ToFloat(info.XResolution)), static_cast<int>(dpi));
        TW_HANDLE image = nullptr;
        ASSERT_EQ(TWRC_XFERDONE, Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image)) << ConditionCode();
        Trellis::TWAINFreeHandle(image);
        ++pages;
        ASSERT_EQ(TWRC_SUCCESS, EndXfer(pending));
        if (pages == 1 && pending.Count != 0) {
            HWND progress = nullptr;
            for (const auto& w : TopLevelUiWindows()) {
                if (w->hwnd != dialog && w->kind == ControlKind::Dialog)
                    progress = w->hwnd;
            }
            ASSERT_NE(progress, nullptr) << "no progress dialog";
            ASSERT_TRUE(RunSource([&] { return m_backEnd->WidgetMapped(progress) && LaidOut(progress); }));
            ExpectLayoutAndTexts(progress, progress, POINT{0, 0});
            Picture(progress, "scan-progress.png");
        }
    }
    EXPECT_EQ(pages, 2);

    // Escape asks the application to close the source; disabling it takes
    // the dialog off the screen.
    ASSERT_TRUE(RunSource([&] { return IsWindowEnabled(dialog) != FALSE; }));
    m_input->Key("Escape");
    ASSERT_TRUE(Noted(MSG_CLOSEDSREQ));
    Disable();
    EXPECT_FALSE(m_backEnd->WidgetMapped(dialog));
}

} // namespace
