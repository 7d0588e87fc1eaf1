#include "platform/base/lasterror.h"
#include "platform/kernel/TestClock.h"
#include "platform/resources/resources.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiScript.h"
#include "platform/ui/UserActions.h"
#include "platform/ui/WindowBackEnd.h"
#include "platform/ui/winuser.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace plat::ui;

constexpr WORD kTestDialog = 500;
constexpr WORD kModalDialog = 501;
enum ControlId : int {
    kCheck = 10,
    kRadioA,
    kRadioB,
    kRadioC,
    kEdit,
    kStatic,
    kCombo,
    kSorted,
    kTrack,
    kTab,
    kProgress,
    kLink,
    kNotify
};

// What the dialog procedure saw, in order.
struct Event {
    HWND dialog;
    UINT message;
    int id;    // control id (WM_COMMAND, WM_NOTIFY, WM_HSCROLL), timer id, or -1
    int code;  // notification or scroll code
    int value; // scroll position, or the WM_INITDIALOG parameter
    bool operator==(const Event&) const = default;
};
std::vector<Event> g_events;
bool g_throwOnClick = false;
LRESULT g_selChangingAnswer = 0;

INT_PTR RecordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        g_events.push_back({dialog, message, -1, 0, static_cast<int>(lParam)});
        return TRUE;
    case WM_COMMAND:
        g_events.push_back({dialog, message, LOWORD(wParam), HIWORD(wParam), 0});
        if (g_throwOnClick && HIWORD(wParam) == BN_CLICKED)
            throw std::runtime_error("handler failed");
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        g_events.push_back({dialog, message, static_cast<int>(header->idFrom), static_cast<int>(header->code), 0});
        if (header->code == TCN_SELCHANGING)
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, g_selChangingAnswer);
        return TRUE;
    }
    case WM_HSCROLL:
        g_events.push_back({dialog, message, GetDlgCtrlID(reinterpret_cast<HWND>(lParam)), LOWORD(wParam),
                            static_cast<short>(HIWORD(wParam))});
        return TRUE;
    case WM_TIMER:
        g_events.push_back({dialog, message, static_cast<int>(wParam), 0, 0});
        return TRUE;
    case WM_SETFOCUS:
        g_events.push_back({dialog, message, -1, 0, 0});
        return TRUE;
    default:
        return FALSE;
    }
}

DialogTemplate TestTemplate(DWORD style)
{
    constexpr DWORD kChild = WS_TABSTOP;
    return DialogTemplate{style,
                          0,
                          u"Test",
                          0,
                          0,
                          200,
                          150,
                          u"MS Shell Dlg",
                          8,
                          {
                              {kButtonClass, IDOK, u"OK", BS_DEFPUSHBUTTON | kChild, 0, 10, 120, 50, 14},
                              {kButtonClass, IDCANCEL, u"Cancel", BS_PUSHBUTTON | kChild, 0, 70, 120, 50, 14},
                              {kButtonClass, kCheck, u"Check", BS_AUTOCHECKBOX | kChild, 0, 10, 10, 60, 10},
                              {kButtonClass, kRadioA, u"A", BS_AUTORADIOBUTTON | WS_GROUP | kChild, 0, 10, 20, 30, 10},
                              {kButtonClass, kRadioB, u"B", BS_AUTORADIOBUTTON, 0, 10, 30, 30, 10},
                              {kButtonClass, kRadioC, u"C", BS_AUTORADIOBUTTON | WS_GROUP | kChild, 0, 10, 40, 30, 10},
                              {kEditClass, kEdit, u"", ES_AUTOHSCROLL | WS_BORDER | kChild, 0, 80, 10, 60, 14},
                              {kStaticClass, kStatic, u"Status", SS_LEFT, 0, 80, 30, 60, 8},
                              {kComboBoxClass, kCombo, u"", CBS_DROPDOWNLIST | kChild, 0, 80, 40, 60, 40},
                              {kComboBoxClass, kSorted, u"", CBS_DROPDOWNLIST | CBS_SORT | kChild, 0, 80, 55, 60, 40},
                              {kTrackbarClass, kTrack, u"", kChild, 0, 10, 60, 100, 15},
                              {kTabControlClass, kTab, u"", kChild, 0, 10, 80, 100, 30},
                              {kProgressClass, kProgress, u"", WS_BORDER, 0, 120, 80, 60, 10},
                              {kLinkClass, kLink, u"<a>help</a>", kChild, 0, 120, 95, 60, 10},
                              {kStaticClass, kNotify, u"Click me", SS_NOTIFY, 0, 120, 105, 60, 10},
                          }};
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_events.clear();
        g_throwOnClick = false;
        g_selChangingAnswer = 0;
        RegisterDialogTemplate(nullptr, kTestDialog, TestTemplate(WS_POPUP | WS_CAPTION | WS_VISIBLE));
        RegisterDialogTemplate(nullptr, kModalDialog, TestTemplate(WS_POPUP | WS_CAPTION | DS_MODALFRAME));
        dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(kTestDialog), nullptr, RecordingProc, 77);
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override
    {
        if (IsWindow(dialog))
            DestroyWindow(dialog);
    }
    HWND Item(int id) { return GetDlgItem(dialog, id); }
    std::vector<Event> Events() { return std::exchange(g_events, {}); }
    Event Command(int id, int code) { return {dialog, WM_COMMAND, id, code, 0}; }
    Event Notify(int id, UINT code) { return {dialog, WM_NOTIFY, id, static_cast<int>(code), 0}; }

    ScopedUiScript script;
    HWND dialog = nullptr;
};

TEST_F(DialogTest, BuildsTheControlsOfItsTemplateAndInitialisesWithTheParameter)
{
    EXPECT_EQ(Events(), (std::vector<Event>{{dialog, WM_INITDIALOG, -1, 0, 77}}));
    const std::vector<int> ids = {IDOK,   IDCANCEL, kCheck, kRadioA, kRadioB,   kRadioC, kEdit,  kStatic,
                                  kCombo, kSorted,  kTrack, kTab,    kProgress, kLink,   kNotify};
    for (int id : ids) {
        HWND item = Item(id);
        ASSERT_NE(item, nullptr) << id;
        EXPECT_EQ(GetDlgCtrlID(item), id);
        EXPECT_EQ(GetParent(item), dialog);
    }
    EXPECT_EQ(GetDlgItem(dialog, 999), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));

    WCHAR text[32];
    EXPECT_EQ(GetDlgItemTextW(dialog, kStatic, text, 32), 6u);
    EXPECT_EQ(std::u16string(text), u"Status");
    EXPECT_EQ(GetWindowTextW(dialog, text, 32), 4);
    EXPECT_TRUE(IsWindowVisible(dialog));
    // The first enabled tab stop has the focus once WM_INITDIALOG said TRUE.
    EXPECT_EQ(GetFocus(), Item(IDOK));

    // Dialog units map to pixels with 6 x 13 base units.
    RECT rect;
    ASSERT_TRUE(GetWindowRect(Item(kEdit), &rect));
    EXPECT_EQ(rect.left, 120);
    EXPECT_EQ(rect.top, 16);
    EXPECT_EQ(rect.right - rect.left, 90);
}

TEST_F(DialogTest, ButtonClicksNotifyTheDialogAndAutomaticButtonsKeepTheirState)
{
    Events();
    ASSERT_TRUE(Click(Item(kCheck)));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), BST_CHECKED);
    ASSERT_TRUE(Click(Item(kCheck)));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), BST_UNCHECKED);
    EXPECT_EQ(Events(), (std::vector<Event>{Command(kCheck, BN_CLICKED), Command(kCheck, BN_CLICKED)}));

    // A and B form one group, C another: a click checks one of its group only.
    CheckDlgButton(dialog, kRadioC, BST_CHECKED);
    Click(Item(kRadioA));
    Click(Item(kRadioB));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioA), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioB), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioC), BST_CHECKED);
    CheckRadioButton(dialog, kRadioA, kRadioC, kRadioA);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioA), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioB), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioC), BST_UNCHECKED);
    Events();

    // A disabled control takes no clicks; statics with SS_NOTIFY and links
    // report theirs.
    EXPECT_FALSE(EnableWindow(Item(kCheck), FALSE));
    EXPECT_FALSE(Click(Item(kCheck)));
    EXPECT_FALSE(Click(Item(kStatic)));
    EXPECT_TRUE(Click(Item(kNotify)));
    EXPECT_TRUE(Click(Item(kLink)));
    EXPECT_EQ(Events(), (std::vector<Event>{Command(kNotify, STN_CLICKED), Notify(kLink, NM_CLICK)}));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), BST_UNCHECKED);
}

TEST_F(DialogTest, EditTextChangesAndFocusNotifications)
{
    Events();
    ASSERT_TRUE(SetDlgItemTextA(dialog, kEdit, "12"));
    EXPECT_EQ(Events(), (std::vector<Event>{Command(kEdit, EN_CHANGE)}));

    ASSERT_TRUE(TypeText(Item(kEdit), u"216"));
    EXPECT_EQ(GetFocus(), Item(kEdit));
    SetFocus(Item(kCheck));
    EXPECT_EQ(Events(), (std::vector<Event>{Command(kEdit, EN_SETFOCUS), Command(kEdit, EN_CHANGE),
                                            Command(kEdit, EN_KILLFOCUS)}));
    char narrow[8];
    EXPECT_EQ(GetDlgItemTextA(dialog, kEdit, narrow, 3), 2u); // cut and terminated
    EXPECT_STREQ(narrow, "21");

    struct Case {
        const char* text;
        BOOL isSigned;
        BOOL translated;
        UINT value;
    };
    const Case cases[] = {
        {"216", FALSE, TRUE, 216},       {" 42 ", FALSE, TRUE, 42},      {"-5", TRUE, TRUE, static_cast<UINT>(-5)},
        {"-5", FALSE, FALSE, 0},         {"8.5", FALSE, FALSE, 0},       {"", FALSE, FALSE, 0},
        {"4294967296", FALSE, FALSE, 0}, {"2147483648", TRUE, FALSE, 0}, {"4294967295", FALSE, TRUE, 4294967295u},
    };
    for (const Case& c : cases) {
        SetDlgItemTextA(dialog, kEdit, c.text);
        BOOL translated = 2;
        EXPECT_EQ(GetDlgItemInt(dialog, kEdit, &translated, c.isSigned), c.value) << c.text;
        EXPECT_EQ(translated, c.translated) << c.text;
    }

    EDITBALLOONTIP tip{sizeof(tip), u"Too large", u"set to the maximum", TTI_ERROR};
    EXPECT_TRUE(SendDlgItemMessageW(dialog, kEdit, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip)));
    std::u16string title;
    int icon = 0;
    EXPECT_TRUE(BalloonTipShown(Item(kEdit), &title, nullptr, &icon));
    EXPECT_EQ(title, u"Too large");
    EXPECT_EQ(icon, TTI_ERROR);
}

TEST_F(DialogTest, ComboBoxItemsDataSortingAndSelection)
{
    HWND sorted = Item(kSorted);
    for (const char16_t* text : {u"Letter", u"a4", u"B5", u"Legal"})
        SendMessageW(sorted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    std::vector<std::u16string> order;
    for (int i = 0; i < SendMessageW(sorted, CB_GETCOUNT, 0, 0); ++i) {
        WCHAR text[16];
        SendMessageW(sorted, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        order.emplace_back(text);
    }
    EXPECT_EQ(order, (std::vector<std::u16string>{u"a4", u"B5", u"Legal", u"Letter"}));

    HWND combo = Item(kCombo);
    for (auto [text, data] : {std::pair{u"ADF", 1}, {u"Flatbed", 0}, {u"Current Settings", 10262}}) {
        const auto at = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(at), data);
    }
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(
        SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"current settings")),
        2);
    EXPECT_EQ(SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"Current")),
              CB_ERR);
    EXPECT_EQ(SendMessageW(combo, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"cur")), 2);
    EXPECT_EQ(SendMessageW(combo, CB_GETITEMDATA, 2, 0), 10262);
    EXPECT_EQ(SendMessageW(combo, CB_GETITEMDATA, 3, 0), CB_ERR);

    // Setting the selection by message is silent; the user's choice is not.
    Events();
    EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 1, 0), 1);
    EXPECT_TRUE(Events().empty());
    ASSERT_TRUE(ChooseComboItem(combo, 2));
    EXPECT_EQ(Events(), (std::vector<Event>{Command(kCombo, CBN_SELCHANGE), Command(kCombo, CBN_SELENDOK)}));
    WCHAR shown[32];
    GetWindowTextW(combo, shown, 32);
    EXPECT_EQ(std::u16string(shown), u"Current Settings");

    // Deleting before the selection moves it; deleting it clears it.
    EXPECT_EQ(SendMessageW(combo, CB_DELETESTRING, 0, 0), 2);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    SendMessageW(combo, CB_DELETESTRING, 1, 0);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_FALSE(ChooseComboItem(combo, 5));

    // Narrow callers' text is converted, not read as wide characters.
    const auto at = SendDlgItemMessageA(dialog, kSorted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Ab\xC3\xA9"));
    EXPECT_EQ(at, 1); // after "a4", before "B5"
    char narrow[16] = {};
    EXPECT_EQ(SendDlgItemMessageA(dialog, kSorted, CB_GETLBTEXTLEN, 1, 0), 4);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kSorted, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(narrow)), 4);
    EXPECT_STREQ(narrow, "Ab\xC3\xA9");
    WCHAR wide[16];
    SendMessageW(sorted, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(wide));
    EXPECT_EQ(std::u16string(wide), u"Ab\u00E9");
    EXPECT_EQ(SendDlgItemMessageA(dialog, kSorted, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>("ab\xC3\xA9")),
              1);
}

TEST_F(DialogTest, TrackbarPositionAndScrollNotifications)
{
    HWND track = Item(kTrack);
    SendMessageW(track, TBM_SETRANGE, TRUE, MAKELONG(static_cast<WORD>(-100), 100));
    SendMessageW(track, TBM_SETPOS, TRUE, 500);
    EXPECT_EQ(SendMessageW(track, TBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(SendMessageW(track, TBM_GETRANGEMIN, 0, 0), -100);
    SendMessageW(track, TBM_SETPOS, TRUE, 0);
    SendMessageW(track, TBM_SETPAGESIZE, 0, 10);

    Events();
    ASSERT_TRUE(DragTrackbar(track, -40));
    ASSERT_TRUE(StepTrackbar(track, TB_PAGEDOWN));
    ASSERT_TRUE(StepTrackbar(track, TB_LINEUP));
    EXPECT_EQ(SendMessageW(track, TBM_GETPOS, 0, 0), -31);
    const std::vector<Event> expected = {
        {dialog, WM_HSCROLL, kTrack, TB_THUMBTRACK, -40}, {dialog, WM_HSCROLL, kTrack, TB_THUMBPOSITION, -40},
        {dialog, WM_HSCROLL, kTrack, TB_ENDTRACK, 0},     {dialog, WM_HSCROLL, kTrack, TB_PAGEDOWN, 0},
        {dialog, WM_HSCROLL, kTrack, TB_ENDTRACK, 0},     {dialog, WM_HSCROLL, kTrack, TB_LINEUP, 0},
        {dialog, WM_HSCROLL, kTrack, TB_ENDTRACK, 0},
    };
    EXPECT_EQ(Events(), expected);
}

TEST_F(DialogTest, TabSelectionNotifiesThroughWmNotify)
{
    HWND tab = Item(kTab);
    RECT header{};
    SendMessageW(tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&header)); // before any item: the row height
    EXPECT_GT(header.bottom, header.top);
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), -1);
    for (auto [text, id] : {std::pair{u"Configurations", 10005}, {u"Scan Settings", 10006}, {u"About", 10015}}) {
        TCITEMW item{TCIF_TEXT | TCIF_PARAM, 0, 0, const_cast<LPWSTR>(text), 0, 0, id};
        SendMessageW(tab, TCM_INSERTITEMW, 99, reinterpret_cast<LPARAM>(&item));
    }
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0); // the first tab inserted is selected

    Events();
    ASSERT_TRUE(ChooseTab(tab, 2));
    EXPECT_EQ(Events(), (std::vector<Event>{Notify(kTab, TCN_SELCHANGING), Notify(kTab, TCN_SELCHANGE)}));
    const auto selected = SendMessageW(tab, TCM_GETCURSEL, 0, 0);
    WCHAR text[8];
    TCITEMW item{TCIF_TEXT | TCIF_PARAM, 0, 0, text, 4, 0, 0};
    ASSERT_TRUE(SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(item.lParam, 10015);
    EXPECT_EQ(std::u16string(text), u"Abo");

    // The parent may keep the old tab by answering TCN_SELCHANGING.
    g_selChangingAnswer = TRUE;
    EXPECT_FALSE(ChooseTab(tab, 0));
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(Events(), (std::vector<Event>{Notify(kTab, TCN_SELCHANGING)}));
}

TEST_F(DialogTest, ProgressBarRangeAndPosition)
{
    HWND progress = Item(kProgress);
    EXPECT_EQ(SendMessageW(progress, PBM_SETRANGE, 0, MAKELONG(0, 100)), static_cast<LRESULT>(MAKELONG(0, 100)));
    EXPECT_EQ(SendMessageW(progress, PBM_SETPOS, 40, 0), 0);
    EXPECT_EQ(SendMessageW(progress, PBM_SETPOS, 140, 0), 40);
    EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 100);
    SendMessageW(progress, PBM_SETRANGE, 0, MAKELONG(0, 50));
    EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 50);
}

TEST_F(DialogTest, FocusFollowsEnablingAndReachesChildDialogs)
{
    SetFocus(Item(kEdit));
    Events();
    // Disabling the control with the focus takes it away (EN_KILLFOCUS).
    EXPECT_FALSE(EnableWindow(Item(kEdit), FALSE));
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_FALSE(IsWindowEnabled(Item(kEdit)));
    EXPECT_TRUE(EnableWindow(Item(kEdit), TRUE)); // it was disabled
    EXPECT_EQ(Events(), (std::vector<Event>{Command(kEdit, EN_KILLFOCUS)}));

    // The focus belongs to the window's own thread.
    DWORD error = 0;
    std::thread([&] {
        EXPECT_EQ(SetFocus(Item(kEdit)), nullptr);
        error = GetLastError();
    }).join();
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_TRUE(Events().empty());

    // A page: a child dialog of the tab control, refreshed when it gets the focus.
    RegisterDialogTemplate(nullptr, 502, DialogTemplate{WS_CHILD | DS_CONTROL, 0, u"", 0, 0, 80, 40, u"", 8, {}});
    HWND page = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(502), Item(kTab), RecordingProc, 0);
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(IsWindowVisible(page));
    SetWindowPos(page, HWND_TOP, 8, 30, 100, 50, SWP_SHOWWINDOW);
    EXPECT_TRUE(IsWindowVisible(page));
    ShowWindow(dialog, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(page)); // an ancestor is hidden
    ShowWindow(dialog, SW_SHOW);
    Events();
    SetFocus(page);
    EXPECT_EQ(Events(), (std::vector<Event>{{page, WM_SETFOCUS, -1, 0, 0}}));
    // The active window is the top-level one around the focus.
    EXPECT_EQ(GetActiveWindow(), dialog);
    DestroyWindow(dialog); // takes the page with it
    EXPECT_FALSE(IsWindow(page));
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST_F(DialogTest, ModalDialogRunsUntilEndDialogAndGivesTheOwnerBack)
{
    bool ownerDisabledWhileShown = false;
    ScriptModalDialog([&](HWND modal) {
        ownerDisabledWhileShown =
            !IsWindowEnabled(dialog) && IsWindowVisible(modal) && !Click(Item(kCheck)) && !PressEnter(dialog);
        TypeText(GetDlgItem(modal, kEdit), u"My profile");
        // Posted, so it arrives through the dialog's own message loop.
        PostMessageW(GetDlgItem(modal, IDOK), BM_CLICK, 0, 0);
    });
    std::u16string name;
    const INT_PTR result = DialogBoxParamW(
        nullptr, MAKEINTRESOURCEW(kModalDialog), dialog,
        [](HWND modal, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
            if (message == WM_INITDIALOG)
                SetWindowLongPtrW(modal, DWLP_USER, lParam);
            if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
                WCHAR text[32];
                GetDlgItemTextW(modal, kEdit, text, 32);
                *reinterpret_cast<std::u16string*>(GetWindowLongPtrW(modal, DWLP_USER)) = text;
            }
            return RecordingProc(modal, message, wParam, lParam);
        },
        reinterpret_cast<LPARAM>(&name));
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(name, u"My profile");
    EXPECT_TRUE(ownerDisabledWhileShown);
    EXPECT_TRUE(IsWindowEnabled(dialog));

    // The close box and Escape are Cancel; a missing template is -1.
    ScriptModalDialog([](HWND modal) { PostMessageW(modal, WM_CLOSE, 0, 0); });
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(kModalDialog), dialog, RecordingProc, 0), IDCANCEL);
    ScriptModalDialog([](HWND modal) { PressEscape(modal); });
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(kModalDialog), dialog, RecordingProc, 0), IDCANCEL);
    EXPECT_EQ(DialogBoxParamA(nullptr, "#999", dialog, RecordingProc, 0), -1);
    EXPECT_TRUE(IsWindowEnabled(dialog));
}

// Without a display nobody can answer a modal dialog that nobody scripted:
// it is dismissed at once as by Escape, with a line saying so, instead of
// waiting for ever; a dialog that takes no Escape ends as its own code says.
TEST_F(DialogTest, AnUnscriptedModalDialogWithoutADisplayIsDismissedAtOnce)
{
    ASSERT_EQ(ActiveWindowBackEnd(), nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(kModalDialog), dialog, RecordingProc, 0), IDCANCEL);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Dialog \"Test\" without a scripted answer: Escape\n"), std::string::npos) << said;
    EXPECT_TRUE(IsWindowEnabled(dialog));

    const INT_PTR ended = DialogBoxParamW(
        nullptr, MAKEINTRESOURCEW(kModalDialog), dialog,
        [](HWND modal, UINT message, WPARAM, LPARAM) -> INT_PTR {
            if (message == WM_INITDIALOG)
                PostMessageW(modal, WM_APP, 0, 0);
            if (message == WM_APP)
                EndDialog(modal, 42);
            return TRUE;
        },
        0);
    EXPECT_EQ(ended, 42);
}

// A modal dialog a page opens (a page is a child window) is owned by the
// dialog the page sits in, and that whole dialog takes no input until it
// ends: its buttons, tabs, Enter, Esc and Tab, and the page's own controls.
TEST_F(DialogTest, AModalDialogOpenedFromAPageHoldsTheWholeDialogUntilItEnds)
{
    constexpr int kSave = 40;
    RegisterDialogTemplate(nullptr, 503,
                           DialogTemplate{WS_CHILD | DS_CONTROL,
                                          0,
                                          u"",
                                          0,
                                          0,
                                          80,
                                          40,
                                          u"",
                                          8,
                                          {{kButtonClass, kSave, u"Save...", WS_TABSTOP, 0, 5, 5, 50, 14}}});
    for (const char16_t* caption : {u"Configurations", u"About"}) {
        TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(caption), 0, 0, 0};
        SendMessageW(Item(kTab), TCM_INSERTITEMW, 99, reinterpret_cast<LPARAM>(&item));
    }
    HWND page = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(503), Item(kTab), RecordingProc, 0);
    ASSERT_NE(page, nullptr);
    ShowWindow(page, SW_SHOW);
    HWND save = GetDlgItem(page, kSave);
    SetFocus(save);
    const auto behind = [&] {
        std::vector<Event> seen;
        for (const Event& e : Events()) {
            if (e.dialog == dialog || e.dialog == page)
                seen.push_back(e);
        }
        return seen;
    };
    behind();

    ScriptModalDialog([&](HWND modal) {
        EXPECT_EQ(GetParent(modal), dialog);
        EXPECT_FALSE(IsWindowEnabled(dialog));
        EXPECT_FALSE(Click(Item(IDCANCEL)));
        EXPECT_FALSE(Click(Item(kCheck)));
        EXPECT_FALSE(ChooseTab(Item(kTab), 1));
        EXPECT_FALSE(PressEnter(dialog));
        EXPECT_FALSE(PressEscape(dialog));
        EXPECT_FALSE(PressTab(dialog));
        EXPECT_FALSE(Click(save));
        EXPECT_TRUE(behind().empty());
        EXPECT_EQ(SendMessageW(Item(kTab), TCM_GETCURSEL, 0, 0), 0);
        PressEscape(modal);
    });
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(kModalDialog), page, RecordingProc, 0), IDCANCEL);
    EXPECT_TRUE(IsWindowEnabled(dialog));
    EXPECT_EQ(GetFocus(), save) << "the focus is back where it was";
    EXPECT_TRUE(Click(Item(kCheck)));
    UnregisterDialogTemplate(nullptr, 503);
}

TEST_F(DialogTest, ModelessDialogGetsTimersAndStaysAfterOk)
{
    plat::ScopedTestClock clock;
    ASSERT_EQ(SetTimer(dialog, 1, 500, nullptr), 1u);
    Events();
    clock->Advance(500);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(Events(), (std::vector<Event>{{dialog, WM_TIMER, 1, 0, 0}}));

    // Enter presses the default button; EndDialog hides a modeless dialog
    // and leaves its destruction to the owner.
    ASSERT_TRUE(PressEnter(dialog));
    EXPECT_EQ(Events(), (std::vector<Event>{Command(IDOK, BN_CLICKED)}));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_FALSE(IsWindowVisible(dialog));
    KillTimer(dialog, 1);
}

TEST_F(DialogTest, HandlerExceptionsStopAtTheDialog)
{
    g_throwOnClick = true;
    const size_t before = HandlerExceptionCount();
    ASSERT_TRUE(Click(Item(kCheck)));
    EXPECT_EQ(HandlerExceptionCount(), before + 1);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), BST_CHECKED); // the control's own work is done
    g_throwOnClick = false;
    Events();
    Click(Item(kCheck));
    EXPECT_EQ(Events(), (std::vector<Event>{Command(kCheck, BN_CLICKED)}));
}

TEST(UiScriptTest, MessageBoxesAnswerFromTheScriptOrAsDismissed)
{
    ScopedUiScript script;
    ScriptMessageBoxAnswer(IDRETRY);
    EXPECT_EQ(MessageBoxA(nullptr, "Paper jam", "Scan Error", MB_RETRYCANCEL | MB_ICONWARNING | MB_SETFOREGROUND),
              IDRETRY);
    // What the user does before answering happens while the box is up.
    int acted = 0;
    ScriptMessageBoxAnswer(IDRETRY, [&] { ++acted; });
    EXPECT_EQ(acted, 0);
    EXPECT_EQ(MessageBoxW(nullptr, u"No paper", u"Scan Error", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(acted, 1);
    // Unscripted, each is answered at once, and a line names what was asked
    // and the answer taken.
    struct Case {
        UINT type;
        int answer;
        const char* name;
    };
    for (const Case c : {Case{MB_OK, IDOK, "OK"},
                         {MB_OKCANCEL, IDCANCEL, "Cancel"},
                         {MB_YESNO, IDNO, "No"},
                         {MB_RETRYCANCEL, IDCANCEL, "Cancel"},
                         {MB_YESNOCANCEL, IDCANCEL, "Cancel"},
                         {MB_ABORTRETRYIGNORE, IDABORT, "Abort"}}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(MessageBoxW(nullptr, u"Unscripted", u"Caption", c.type), c.answer) << c.type;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  std::string("Message box \"Caption\": \"Unscripted\" without a scripted answer: ") + c.name + "\n");
    }
    const std::vector<MessageBoxRecord> log = TakeMessageBoxLog();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[0].text, u"Paper jam");
    EXPECT_EQ(log[0].caption, u"Scan Error");
    EXPECT_EQ(log[0].type, 0x10035u);
}

TEST(UiScriptTest, FileDialogsReturnTheScriptedPath)
{
    ScopedUiScript script;
    ScriptFileDialogAnswer(u"C:\\Users\\me\\Documents\\Profile.v2.bin");
    ScriptFileDialogAnswer(std::nullopt);
    ScriptFileDialogAnswer(u"C:\\a-rather-long-name.bin");

    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.lpstrFilter = "*.bin\0*.bin\0*.*\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = "Export";
    ofn.lpstrDefExt = "bin";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_STREQ(file, "C:\\Users\\me\\Documents\\Profile.v2.bin");
    EXPECT_STREQ(file + ofn.nFileOffset, "Profile.v2.bin");
    EXPECT_STREQ(file + ofn.nFileExtension, "bin");

    EXPECT_FALSE(GetOpenFileNameA(&ofn)); // cancelled
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    ofn.nMaxFile = 8;
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
    EXPECT_FALSE(GetOpenFileNameA(&ofn)); // nothing scripted any more
    EXPECT_EQ(CommDlgExtendedError(), 0u);

    const std::vector<FileDialogRecord> log = TakeFileDialogLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_TRUE(log[0].save);
    EXPECT_EQ(log[0].title, u"Export");
    EXPECT_EQ(log[0].filter, (std::vector<std::u16string>{u"*.bin", u"*.bin", u"*.*", u"*.*"}));
    EXPECT_EQ(log[0].flags, 0x806u);
    EXPECT_FALSE(log[1].save);
}

} // namespace
