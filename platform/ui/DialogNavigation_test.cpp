// The keyboard in a dialog as the user meets it: Tab and Shift-Tab in the
// template's order through a page held by the dialog, radio groups that
// take one tab stop and the arrow keys, and the default push button that
// follows the focus.
#include "platform/resources/resources.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiScript.h"
#include "platform/ui/UserActions.h"
#include "platform/ui/winuser.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using namespace plat::ui;

constexpr WORD kDialogId = 520;
constexpr WORD kPageId = 521;
enum ControlId : int {
    kHidden = 30,
    kCheck,
    kRadioA,
    kRadioB,
    kRadioC,
    kEdit,
    kTabs,
    kApply,
    kPageButton,
    kPageEdit,
    kPageCheck
};

struct Click {
    HWND dialog;
    int id;
    bool operator==(const Click&) const = default;
};
std::vector<Click> g_clicks;

INT_PTR RecordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        g_clicks.push_back({dialog, LOWORD(wParam)});
        return TRUE;
    }
    return FALSE;
}

DialogItemTemplate Item(const char16_t* className, int id, DWORD style, DWORD exStyle = 0)
{
    return DialogItemTemplate{className, id, u"", style, exStyle, 0, 0, 20, 10};
}

// The dialog holds a tab control that holds a page, as the settings dialog
// does; statics, a disabled and a hidden button lie between the stops.
DialogTemplate MainTemplate()
{
    return DialogTemplate{WS_POPUP | WS_CAPTION | WS_VISIBLE,
                          0,
                          u"Keys",
                          0,
                          0,
                          200,
                          150,
                          u"MS Shell Dlg",
                          8,
                          {
                              Item(kButtonClass, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP),
                              Item(kButtonClass, IDCANCEL, WS_TABSTOP),
                              Item(kButtonClass, IDHELP, WS_TABSTOP | WS_DISABLED),
                              Item(kButtonClass, kHidden, WS_TABSTOP),
                              Item(kButtonClass, kCheck, BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP),
                              Item(kStaticClass, -1, SS_ICON | WS_GROUP),
                              Item(kButtonClass, kRadioA, BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP),
                              Item(kStaticClass, -1, SS_ICON),
                              Item(kButtonClass, kRadioB, BS_AUTORADIOBUTTON),
                              Item(kButtonClass, kRadioC, BS_AUTORADIOBUTTON),
                              Item(kEditClass, kEdit, WS_TABSTOP | WS_GROUP),
                              Item(kTabControlClass, kTabs, WS_TABSTOP, WS_EX_CONTROLPARENT),
                              Item(kButtonClass, kApply, WS_TABSTOP),
                          }};
}

DialogTemplate PageTemplate()
{
    return DialogTemplate{WS_CHILD | DS_CONTROL,
                          0,
                          u"",
                          0,
                          0,
                          100,
                          60,
                          u"MS Shell Dlg",
                          8,
                          {
                              Item(kStaticClass, -1, SS_LEFT),
                              Item(kButtonClass, kPageButton, BS_DEFPUSHBUTTON | WS_TABSTOP),
                              Item(kEditClass, kPageEdit, WS_TABSTOP),
                              Item(kButtonClass, kPageCheck, BS_AUTOCHECKBOX),
                          }};
}

class DialogNavigationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_clicks.clear();
        RegisterDialogTemplate(nullptr, kDialogId, MainTemplate());
        RegisterDialogTemplate(nullptr, kPageId, PageTemplate());
        dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(kDialogId), nullptr, RecordingProc, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(Item(kHidden), SW_HIDE);
        // The page on view, and another one hidden behind it.
        for (bool shown : {true, false}) {
            HWND page = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(kPageId), Item(kTabs), RecordingProc, 0);
            ASSERT_NE(page, nullptr);
            ShowWindow(page, shown ? SW_SHOW : SW_HIDE);
            pages.push_back(page);
        }
    }
    void TearDown() override
    {
        if (IsWindow(dialog))
            DestroyWindow(dialog);
        UnregisterDialogTemplate(nullptr, kDialogId);
        UnregisterDialogTemplate(nullptr, kPageId);
    }

    HWND Item(int id) { return GetDlgItem(dialog, id); }
    HWND PageItem(int id) { return GetDlgItem(pages[0], id); }

    // The focus after each of `count` presses of Tab (or Shift-Tab).
    std::vector<HWND> Tabs(int count, bool previous)
    {
        std::vector<HWND> visited;
        for (int i = 0; i < count; ++i) {
            EXPECT_TRUE(PressTab(dialog, previous));
            visited.push_back(GetFocus());
        }
        return visited;
    }

    bool IsDefault(HWND button) { return (GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON; }

    ScopedUiScript script;
    HWND dialog = nullptr;
    std::vector<HWND> pages;
};

TEST_F(DialogNavigationTest, TabFollowsTheTemplateThroughThePageOnViewAndSkipsWhatCannotTakeTheFocus)
{
    ASSERT_EQ(GetFocus(), Item(IDOK));
    const std::vector<HWND> cycle = {Item(IDCANCEL),        Item(kCheck),        Item(kRadioA), Item(kEdit),
                                     PageItem(kPageButton), PageItem(kPageEdit), Item(kApply),  Item(IDOK)};
    EXPECT_EQ(Tabs(8, false), cycle);
    std::vector<HWND> back(cycle.rbegin() + 1, cycle.rend());
    back.push_back(Item(IDOK));
    EXPECT_EQ(Tabs(8, true), back);

    // The checked radio button is its group's stop; a page that is not on
    // view holds none, and a disabled control none either.
    ASSERT_TRUE(plat::ui::Click(Item(kRadioB)));
    ShowWindow(pages[0], SW_HIDE);
    EnableWindow(Item(kEdit), FALSE);
    SetFocus(Item(kCheck));
    EXPECT_EQ(Tabs(3, false), (std::vector<HWND>{Item(kRadioB), Item(kApply), Item(IDOK)}));

    // From a page that has the focus itself, Tab enters it.
    ShowWindow(pages[1], SW_SHOW);
    SetFocus(pages[1]);
    EXPECT_EQ(Tabs(1, false), std::vector<HWND>{GetDlgItem(pages[1], kPageButton)});
}

TEST_F(DialogNavigationTest, ArrowKeysMoveWithinARadioGroupAndCheckWhatTheyReach)
{
    SetFocus(Item(kRadioA));
    ASSERT_TRUE(PressArrow(dialog, false)); // past the icon between them
    EXPECT_EQ(GetFocus(), Item(kRadioB));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioB), BST_CHECKED);
    EXPECT_EQ(g_clicks, (std::vector<Click>{{dialog, kRadioB}}));

    // Round the group's end, skipping a disabled button; the edit after the
    // group starts a group of its own.
    EnableWindow(Item(kRadioA), FALSE);
    ASSERT_TRUE(PressArrow(dialog, false));
    ASSERT_TRUE(PressArrow(dialog, false));
    EXPECT_EQ(GetFocus(), Item(kRadioB));
    ASSERT_TRUE(PressArrow(dialog, true));
    EXPECT_EQ(GetFocus(), Item(kRadioC));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioC), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kRadioB), BST_UNCHECKED);

    // An edit keeps its arrows; a check box alone in its group keeps the
    // focus.
    SetFocus(Item(kEdit));
    EXPECT_FALSE(PressArrow(dialog, false));
    SetFocus(Item(kCheck));
    EXPECT_FALSE(PressArrow(dialog, false));
    EXPECT_EQ(GetFocus(), Item(kCheck));
}

TEST_F(DialogNavigationTest, TheDefaultButtonFollowsTheFocusAndEnterPressesIt)
{
    // One default button in the dialog and its pages: the focused push
    // button, else the dialog's own.
    const auto defaults = [&] {
        std::vector<HWND> found;
        for (HWND button : {Item(IDOK), Item(IDCANCEL), Item(kApply), PageItem(kPageButton)}) {
            if (IsDefault(button))
                found.push_back(button);
        }
        return found;
    };
    const struct {
        HWND focus;
        HWND shownDefault;
        Click pressed;
    } cases[] = {
        {Item(IDCANCEL), Item(IDCANCEL), {dialog, IDCANCEL}},
        {PageItem(kPageButton), PageItem(kPageButton), {pages[0], kPageButton}},
        {PageItem(kPageEdit), Item(IDOK), {dialog, IDOK}},
        {Item(kCheck), Item(IDOK), {dialog, IDOK}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(GetDlgCtrlID(c.focus));
        SetFocus(c.focus);
        EXPECT_EQ(defaults(), std::vector<HWND>{c.shownDefault});
        g_clicks.clear();
        ASSERT_TRUE(PressEnter(dialog));
        EXPECT_EQ(g_clicks, std::vector<Click>{c.pressed});
    }

    // The dialog's own default may change; Enter follows it.
    SetFocus(Item(kEdit));
    EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
    SendMessageW(dialog, DM_SETDEFID, kApply, 0);
    EXPECT_EQ(defaults(), std::vector<HWND>{Item(kApply)});
    g_clicks.clear();
    ASSERT_TRUE(PressEnter(dialog));
    EXPECT_EQ(g_clicks, (std::vector<Click>{{dialog, kApply}}));
}

} // namespace
