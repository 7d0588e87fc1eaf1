// The dialogs on a real display (Xvfb): each control a widget where its
// template puts it, showing what the model holds; the person's clicks and
// keys (sent through the X server) reaching the dialog procedure as the
// model's notifications; the model's changes reaching the widgets.
#include "platform/testing/XTestInput.h"
#include "platform/testing/XvfbDisplay.h"
#include "platform/resources/resources.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiScript.h"
#include "platform/ui/Display.h"
#include "platform/ui/WindowBackEnd.h"
#include "platform/ui/winuser.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace plat::ui;

constexpr WORD kDialogId = 600;
enum ControlId : int { kCheck = 10, kRadioA, kRadioB, kEdit, kStatic, kCombo, kTrack, kTab, kProgress, kLink, kGroup };

struct Seen {
    UINT message;
    int id;
    int code;
    bool operator==(const Seen&) const = default;
};
std::vector<Seen> g_seen;

INT_PTR RecordingProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        g_seen.push_back({message, LOWORD(wParam), HIWORD(wParam)});
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        g_seen.push_back({message, static_cast<int>(header->idFrom), static_cast<int>(header->code)});
        return TRUE;
    }
    case WM_HSCROLL:
        g_seen.push_back({message, GetDlgCtrlID(reinterpret_cast<HWND>(lParam)), LOWORD(wParam)});
        return TRUE;
    default:
        return FALSE;
    }
}

DialogTemplate TestTemplate()
{
    constexpr DWORD kStop = WS_TABSTOP;
    return DialogTemplate{
        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, u"Back end test", 0, 0, 220, 160, u"MS Shell Dlg", 8,
        {
            {kButtonClass, kGroup, u"Options", BS_GROUPBOX, 0, 5, 2, 100, 50},
            {kButtonClass, kCheck, u"&Check", BS_AUTOCHECKBOX | kStop, 0, 10, 12, 60, 10},
            {kButtonClass, kRadioA, u"Radio A", BS_AUTORADIOBUTTON | WS_GROUP | kStop, 0, 10, 24, 60, 10},
            {kButtonClass, kRadioB, u"Radio B", BS_AUTORADIOBUTTON, 0, 10, 36, 60, 10},
            {kEditClass, kEdit, u"12.5", ES_AUTOHSCROLL | WS_BORDER | kStop, 0, 115, 10, 60, 14},
            {kStaticClass, kStatic, u"Status text", SS_LEFT, 0, 115, 30, 90, 8},
            {kComboBoxClass, kCombo, u"", CBS_DROPDOWNLIST | kStop, 0, 115, 42, 90, 60},
            {kTrackbarClass, kTrack, u"", kStop, 0, 5, 58, 200, 15},
            {kTabControlClass, kTab, u"", kStop, 0, 5, 78, 200, 30},
            {kProgressClass, kProgress, u"", WS_BORDER, 0, 5, 112, 200, 8},
            {kLinkClass, kLink, u"See <a href=\"https://example.invalid\">help</a>", kStop, 0, 5, 124, 120, 10},
            {kButtonClass, IDOK, u"OK", BS_DEFPUSHBUTTON | kStop, 0, 110, 140, 50, 14},
            {kButtonClass, IDCANCEL, u"Cancel", BS_PUSHBUTTON | kStop, 0, 165, 140, 50, 14},
        }};
}

class GtkBackEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (plat::testing::XvfbDisplay::ServerProgram().empty())
            GTEST_SKIP() << "Xvfb is not installed (scripts/deps.sh installs it): no display to show windows on";
        std::string why;
        plat::testing::XvfbDisplay* display = plat::testing::XvfbDisplay::ForProcess(&why);
        ASSERT_NE(display, nullptr) << why;
        ASSERT_TRUE(CanShowWindows()) << "the window back end did not open " << display->Display();
        m_backEnd = ActiveWindowBackEnd();
        ASSERT_NE(m_backEnd, nullptr);
        g_seen.clear();
        RegisterDialogTemplate(nullptr, kDialogId, TestTemplate());
        m_dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(kDialogId), nullptr, RecordingProc, 0);
        ASSERT_NE(m_dialog, nullptr);
        SendDlgItemMessageW(m_dialog, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"First"));
        SendDlgItemMessageW(m_dialog, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Second"));
        SendDlgItemMessageW(m_dialog, kCombo, CB_SETCURSEL, 1, 0);
        SendDlgItemMessageW(m_dialog, kTrack, TBM_SETRANGE, TRUE, MAKELONG(0, 10));
        SendDlgItemMessageW(m_dialog, kTrack, TBM_SETPOS, TRUE, 3);
        SendDlgItemMessageW(m_dialog, kProgress, PBM_SETPOS, 40, 0);
        for (const char16_t* caption : {u"General", u"Advanced"}) {
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<LPWSTR>(caption);
            SendDlgItemMessageW(m_dialog, kTab, TCM_INSERTITEMW, 99, reinterpret_cast<LPARAM>(&item));
        }
        CheckDlgButton(m_dialog, kRadioA, BST_CHECKED);
        ASSERT_TRUE(PumpUntil([&] { return m_backEnd->WidgetMapped(m_dialog); })) << "the dialog never appeared";
    }

    void TearDown() override
    {
        if (m_dialog && IsWindow(m_dialog))
            DestroyWindow(m_dialog);
        UnregisterDialogTemplate(nullptr, kDialogId);
    }

    // Runs the thread's messages (and so the display's events) until
    // `done`, for at most 10 s of real time.
    bool PumpUntil(const std::function<bool()>& done) { return PumpMessagesUntil(done); }

    HWND Item(int id) { return GetDlgItem(m_dialog, id); }

    POINT CentreOnScreen(int id)
    {
        RECT r{};
        EXPECT_TRUE(m_backEnd->WidgetScreenRect(Item(id), &r)) << id;
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    bool Saw(const Seen& wanted)
    {
        return PumpUntil([&] { return std::find(g_seen.begin(), g_seen.end(), wanted) != g_seen.end(); });
    }

    WindowBackEnd* m_backEnd = nullptr;
    HWND m_dialog = nullptr;
};

TEST_F(GtkBackEndTest, EveryControlIsAWidgetWhereItsTemplatePutsItShowingTheModelsText)
{
    // Once the toolkit has laid the window out.
    ASSERT_TRUE(PumpUntil([&] {
        RECT r{};
        return m_backEnd->WidgetRect(Item(IDCANCEL), &r) && r.right > 0;
    }));
    for (const DialogItemTemplate& item : TestTemplate().items) {
        SCOPED_TRACE(item.id);
        RECT wanted = DialogUnitsToPixels(item.x, item.y, item.cx, item.cy);
        if (item.className == kComboBoxClass) // the closed field
            wanted.bottom = std::min<LONG>(wanted.bottom, wanted.top + 21);
        RECT shown{};
        ASSERT_TRUE(m_backEnd->WidgetRect(Item(item.id), &shown));
        EXPECT_EQ(shown.left, wanted.left);
        EXPECT_EQ(shown.top, wanted.top);
        EXPECT_EQ(shown.right, wanted.right);
        EXPECT_EQ(shown.bottom, wanted.bottom);
    }
    const struct {
        int id;
        std::u16string text;
    } texts[] = {
        {kGroup, u"Options"},      {kCheck, u"Check"},   {kRadioA, u"Radio A"}, {kEdit, u"12.5"},
        {kStatic, u"Status text"}, {kCombo, u"Second"},  {kLink, u"See help"},  {IDOK, u"OK"},
        {kTab, u"General\nAdvanced"},
    };
    for (const auto& t : texts)
        EXPECT_EQ(m_backEnd->WidgetText(Item(t.id)), t.text) << t.id;
    EXPECT_EQ(m_backEnd->WidgetText(m_dialog), u"Back end test");
    if (const char* keep = std::getenv("QBK_KEEP_PICTURES"))
        m_backEnd->CaptureWindow(m_dialog, std::string(keep) + "/backend-test.png");
}

} // namespace

namespace {

TEST_F(GtkBackEndTest, ThePersonsClicksAndKeysReachTheDialogAsTheModelsNotifications)
{
    plat::testing::XTestInput person;
    ASSERT_TRUE(person.Ready());
    ASSERT_TRUE(PumpUntil([&] {
        RECT r{};
        return m_backEnd->WidgetRect(Item(IDCANCEL), &r) && r.right > 0;
    }));

    POINT at = CentreOnScreen(kCheck);
    person.Click(at.x, at.y);
    EXPECT_TRUE(Saw({WM_COMMAND, kCheck, BN_CLICKED}));
    EXPECT_EQ(IsDlgButtonChecked(m_dialog, kCheck), BST_CHECKED);

    at = CentreOnScreen(kRadioB);
    person.Click(at.x, at.y);
    EXPECT_TRUE(Saw({WM_COMMAND, kRadioB, BN_CLICKED}));
    EXPECT_EQ(IsDlgButtonChecked(m_dialog, kRadioB), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(m_dialog, kRadioA), BST_UNCHECKED);
    EXPECT_TRUE(PumpUntil([&] {
        return !m_backEnd->WidgetChecked(Item(kRadioA)) && m_backEnd->WidgetChecked(Item(kRadioB));
    }));

    // The second tab: its caption sits right of the first one's.
    RECT tabs{};
    ASSERT_TRUE(m_backEnd->WidgetScreenRect(Item(kTab), &tabs));
    person.Click(tabs.left + 75, tabs.top + 8);
    EXPECT_TRUE(Saw({WM_NOTIFY, kTab, static_cast<int>(TCN_SELCHANGE)}));
    EXPECT_EQ(SendDlgItemMessageW(m_dialog, kTab, TCM_GETCURSEL, 0, 0), 1);

    // Typing into the edit, then Tab away from it.
    at = CentreOnScreen(kEdit);
    person.Click(at.x, at.y);
    person.Key("End");
    person.Type("7");
    EXPECT_TRUE(Saw({WM_COMMAND, kEdit, EN_CHANGE}));
    EXPECT_TRUE(PumpUntil([&] { return GetWindowTextLengthW(Item(kEdit)) == 5; }));
    WCHAR text[16] = {};
    GetDlgItemTextW(m_dialog, kEdit, text, 16);
    EXPECT_EQ(std::u16string(text), u"12.57");
    person.Key("Tab");
    EXPECT_TRUE(Saw({WM_COMMAND, kEdit, EN_KILLFOCUS}));

    // A click near the trackbar's right end drags the thumb there.
    RECT track{};
    ASSERT_TRUE(m_backEnd->WidgetScreenRect(Item(kTrack), &track));
    person.Click(track.right - 8, (track.top + track.bottom) / 2);
    EXPECT_TRUE(Saw({WM_HSCROLL, kTrack, TB_THUMBTRACK}));
    EXPECT_TRUE(Saw({WM_HSCROLL, kTrack, TB_ENDTRACK}));
    EXPECT_GE(SendDlgItemMessageW(m_dialog, kTrack, TBM_GETPOS, 0, 0), 9);

    // Enter is the default button, Escape Cancel.
    person.Key("Return");
    EXPECT_TRUE(Saw({WM_COMMAND, IDOK, BN_CLICKED}));
    person.Key("Escape");
    EXPECT_TRUE(Saw({WM_COMMAND, IDCANCEL, BN_CLICKED}));
}

TEST_F(GtkBackEndTest, TheModelsChangesReachTheWidgets)
{
    SetDlgItemTextW(m_dialog, kStatic, u"Scanning page 2");
    SendDlgItemMessageW(m_dialog, kCombo, CB_SETCURSEL, 0, 0);
    SetWindowTextW(m_dialog, u"Renamed");
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(u"About");
    SendDlgItemMessageW(m_dialog, kTab, TCM_INSERTITEMW, 2, reinterpret_cast<LPARAM>(&item));
    EXPECT_TRUE(PumpUntil([&] {
        return m_backEnd->WidgetText(Item(kStatic)) == u"Scanning page 2" &&
               m_backEnd->WidgetText(Item(kCombo)) == u"First" && m_backEnd->WidgetText(m_dialog) == u"Renamed" &&
               m_backEnd->WidgetText(Item(kTab)) == u"General\nAdvanced\nAbout";
    }));

    // Hidden and disabled in the model: gone from the screen, and deaf.
    ShowWindow(Item(kCheck), SW_HIDE);
    EnableWindow(Item(IDOK), FALSE);
    RECT r{};
    EXPECT_TRUE(PumpUntil([&] { return !m_backEnd->WidgetRect(Item(kCheck), &r); }));

    // A destroyed dialog leaves the screen at once.
    DestroyWindow(m_dialog);
    EXPECT_FALSE(m_backEnd->WidgetMapped(m_dialog));
    m_dialog = nullptr;
}

} // namespace

namespace {

// The person at the message box: a timer of the dialog, which the box's
// loop goes on dispatching, waits until the box has the keyboard and then
// presses the key through the X server.
const char* g_boxKey = nullptr;
plat::testing::XTestInput* g_person = nullptr;

void AnswerTheBox(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_boxKey)
        return;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next) {
        GtkWindow* window = GTK_WINDOW(w->data);
        const char* title = gtk_window_get_title(window);
        if (!title || std::string(title) != "Qbk question" || !gtk_widget_get_mapped(GTK_WIDGET(window)))
            continue;
        if (!gtk_window_has_toplevel_focus(window)) {
            // The keyboard follows the pointer on a display without a
            // window manager.
            int x = 0;
            int y = 0;
            gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(window)), &x, &y);
            g_person->Move(x + 5, y + 5);
            continue;
        }
        g_person->Key(g_boxKey);
        g_boxKey = nullptr;
    }
    g_list_free(windows);
}

TEST_F(GtkBackEndTest, AMessageBoxWithoutAScriptedAnswerAsksThePersonOverItsDisabledOwner)
{
    plat::testing::XTestInput person;
    ASSERT_TRUE(person.Ready());
    g_person = &person;
    ASSERT_NE(SetTimer(m_dialog, 77, 20, &AnswerTheBox), 0u);
    const struct {
        const char* key;
        int answer;
    } cases[] = {{"Return", IDRETRY}, {"Escape", IDCANCEL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        g_boxKey = c.key;
        EXPECT_EQ(MessageBoxW(m_dialog, u"Scan the page again?", u"Qbk question", MB_RETRYCANCEL | MB_ICONWARNING),
                  c.answer);
        EXPECT_TRUE(IsWindowEnabled(m_dialog));
    }
    KillTimer(m_dialog, 77);
    g_person = nullptr;
    const std::vector<MessageBoxRecord> boxes = TakeMessageBoxLog();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, u"Qbk question");
    EXPECT_EQ(boxes[0].owner, m_dialog);
}

} // namespace
