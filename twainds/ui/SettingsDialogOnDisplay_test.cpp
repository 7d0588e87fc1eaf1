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
#include "platform/ui/UiScript.h"
#include "platform/ui/UiWindow.h"
#include "platform/ui/UserActions.h"
#include "platform/ui/WindowBackEnd.h"
#include "platform/ui/wingdi.h"
#include "twainds/testing/ScannerSourceTest.h"
#include "twainds/testing/SettingsDialogTest.h"
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
    const auto big = [&](int at) {
        return (header[at] << 24) | (header[at + 1] << 16) | (header[at + 2] << 8) | header[at + 3];
    };
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
        if (!plat::testing::XvfbDisplay::ForProcess(&why))
            GTEST_SKIP() << "no X server could be started: " << why;
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
                } else {
                    // The dialog's icons are its resources, shown.
                    EXPECT_NE(w->image, nullptr);
                    EXPECT_TRUE(m_backEnd->WidgetShowsPicture(child));
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
                    // What the owner draws, each of its texts a column.
                    EXPECT_EQ(text, ComboItemDrawnText(child, w->selection));
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

    // The settings dialog opened and on the screen.
    HWND OpenDialog()
    {
        Install(1);
        EXPECT_EQ(Enable(true), TWRC_SUCCESS) << ConditionCode();
        m_backEnd = ActiveWindowBackEnd();
        HWND dialog = FindWindowW(kDialogClass, nullptr);
        if (!m_backEnd || !dialog)
            return nullptr;
        EXPECT_TRUE(RunSource([&] { return m_backEnd->WidgetMapped(dialog) && LaidOut(dialog); }))
            << "the dialog never appeared";
        return dialog;
    }

    POINT Centre(HWND hwnd)
    {
        RECT r{};
        EXPECT_TRUE(m_backEnd->WidgetScreenRect(hwnd, &r)) << GetDlgCtrlID(hwnd);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
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

    // Save... on the configurations tab, on view now: the save-profile
    // dialog over the settings dialog, as the model lays it out, until
    // Escape leaves it.
    HWND profiles = ShownPage(dialog);
    ASSERT_NE(GetDlgItem(profiles, IDC_PROFILE_SAVE), nullptr);
    bool pictured = false;
    ScriptModalDialog([&](HWND save) {
        ASSERT_TRUE(PumpMessagesUntil([&] { return m_backEnd->WidgetMapped(save) && LaidOut(save); }));
        ExpectLayoutAndTexts(save, save, POINT{0, 0});
        Picture(save, "save-profile.png");
        pictured = true;
        PressEscape(save);
    });
    ClickItem(GetDlgItem(profiles, IDC_PROFILE_SAVE));
    ASSERT_TRUE(RunSource([&] { return pictured && IsWindowEnabled(dialog); }));

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
    ASSERT_TRUE(RunSource([&] {
        return m_backEnd->WidgetText(GetDlgItem(page, IDC_RESOLUTION_TEXT))
                   .find(Utf8ToUtf16(std::to_string(static_cast<int>(dpi)))) == 0;
    }));

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

// The name dialog a click on Save opens holds the whole settings dialog on
// the display: a click on its Cancel, a click on another tab and Enter
// over it do nothing, neither then nor once the name dialog has closed.
TEST_F(SettingsDialogOnDisplayTest, TheSaveDialogHoldsTheSettingsDialogUntilItCloses)
{
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    HWND tabs = GetDlgItem(dialog, IDC_MAIN_TABS);
    HWND profiles = ShownPage(dialog);
    ASSERT_NE(GetDlgItem(profiles, IDC_PROFILE_SAVE), nullptr) << "the dialog opens on the profiles page";
    const POINT cancel = Centre(GetDlgItem(dialog, IDCANCEL));
    const POINT scan = Centre(GetDlgItem(dialog, IDOK));
    RECT otherTab{};
    ASSERT_TRUE(m_backEnd->WidgetItemRect(tabs, 1, &otherTab));

    bool held = false;
    plat::ui::ScriptModalDialog([&](HWND name) {
        HWND field = GetDlgItem(name, IDC_PROFILE_NAME);
        const std::u16string before = m_backEnd->WidgetText(field);
        if (PumpMessagesUntil([&] { return m_backEnd->WidgetMapped(name) && LaidOut(name); })) {
            EXPECT_FALSE(IsWindowEnabled(dialog));
            m_input->Click(cancel.x, cancel.y);
            m_input->Click((otherTab.left + otherTab.right) / 2, (otherTab.top + otherTab.bottom) / 2);
            m_input->Move(scan.x, scan.y);
            m_input->Key("Return");
            // The name field takes a key next: what came before it has been
            // dealt with once that arrives.
            const POINT typing = Centre(field);
            m_input->Click(typing.x, typing.y);
            m_input->Type("x");
            held = PumpMessagesUntil([&] { return m_backEnd->WidgetText(field) != before; });
            EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);
            EXPECT_EQ(ShownPage(dialog), profiles);
            m_input->Key("Escape");
            PumpMessagesUntil([&] { return !IsWindowVisible(name); });
        }
        // Never left waiting for a person who is not there.
        if (IsWindowVisible(name))
            EndDialog(name, IDCANCEL);
    });
    ClickItem(GetDlgItem(profiles, IDC_PROFILE_SAVE));
    ASSERT_TRUE(RunSource([&] { return held && IsWindowEnabled(dialog); }));
    // A round of the source's messages once it has closed: nothing came of
    // what the person did behind it.
    RunSource([] { return true; });
    EXPECT_TRUE(m_notes.empty());
    EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);

    m_input->Key("Escape");
    ASSERT_TRUE(Noted(MSG_CLOSEDSREQ));
    Disable();
}

// Tab walks every page in its template's order (the controls it cannot
// reach now left out), between the dialog's own Scan and Cancel, with the
// display's focus on each control in turn; Shift-Tab walks back.
TEST_F(SettingsDialogOnDisplayTest, TabFollowsEachPagesTemplate)
{
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    HWND tabs = GetDlgItem(dialog, IDC_MAIN_TABS);
    HWND scan = GetDlgItem(dialog, IDOK);
    const struct {
        UINT caption;
        WORD pageTemplate;
    } pages[] = {
        {IDS_TAB_CONFIGURATIONS, IDD_PAGE_PROFILES},
        {IDS_TAB_SCAN_SETTINGS, IDD_PAGE_SCAN_SETTINGS},
        {IDS_TAB_DOCUMENT_SETTINGS, IDD_PAGE_DOCUMENT_SETTINGS},
        {IDS_TAB_IMAGE_ENHANCEMENTS, IDD_PAGE_IMAGE_ENHANCEMENT},
        {IDS_TAB_ABOUT, IDD_PAGE_ABOUT},
    };
    for (const auto& p : pages) {
        SCOPED_TRACE(::testing::Message() << "page " << p.pageTemplate);
        const int tab = qbk24::testing::TabOfCaption(tabs, p.caption);
        ASSERT_GE(tab, 0);
        ClickItem(tabs, tab);
        ASSERT_TRUE(RunSource([&] { return SendMessageW(tabs, TCM_GETCURSEL, 0, 0) == tab && LaidOut(dialog); }));
        HWND page = ShownPage(dialog);
        ASSERT_NE(page, nullptr);

        // The page's tab stops in template order, then what the page made
        // itself (the about page's link).
        const auto isStop = [](HWND w) {
            return (WindowStyle(w) & WS_TABSTOP) && IsWindowVisible(w) && IsWindowEnabled(w);
        };
        DialogTemplate pageTemplate;
        ASSERT_TRUE(FindDialogTemplate(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(page, GWLP_HINSTANCE)),
                                       p.pageTemplate, &pageTemplate));
        std::vector<HWND> cycle{GetDlgItem(dialog, IDCANCEL)};
        std::vector<int> templateIds;
        for (const DialogItemTemplate& item : pageTemplate.items) {
            templateIds.push_back(item.id);
            HWND control = item.id >= 0 ? GetDlgItem(page, item.id) : nullptr;
            if (control && isStop(control))
                cycle.push_back(control);
        }
        for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const int id = GetDlgCtrlID(child);
            if (std::find(templateIds.begin(), templateIds.end(), id) == templateIds.end() && isStop(child))
                cycle.push_back(child);
        }
        cycle.push_back(scan);
        ASSERT_GT(cycle.size(), 2u) << "the page has controls to reach";

        SetFocus(scan);
        const POINT over = Centre(GetDlgItem(dialog, IDC_MAIN_STATUS)); // keys go where the pointer is
        m_input->Move(over.x, over.y);
        for (HWND expected : cycle) {
            m_input->Key("Tab");
            EXPECT_TRUE(RunSource([&] { return GetFocus() == expected && m_backEnd->WidgetFocused(expected); }))
                << "control " << GetDlgCtrlID(expected) << ", the focus is on " << GetDlgCtrlID(GetFocus());
        }
        m_input->KeyWith("Shift_L", "Tab");
        HWND last = cycle[cycle.size() - 2];
        EXPECT_TRUE(RunSource([&] { return GetFocus() == last && m_backEnd->WidgetFocused(last); }));
    }
    m_input->Key("Escape");
    ASSERT_TRUE(Noted(MSG_CLOSEDSREQ));
    Disable();
}

} // namespace
