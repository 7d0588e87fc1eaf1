// The settings dialog of the real data source over the emulated scanner,
// driven as a user drives it (clicks, keys, focus moves, drags) while the
// headless window model stands in for a display: its buttons and the
// application's notifications, its tabs and status line, the scan settings
// page, and scans started from its Scan button with the progress dialog.
#include "platform/kernel/TestClock.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Display.h"
#include "platform/ui/UiScript.h"
#include "platform/ui/UserActions.h"
#include "twainds/testing/ScannerSourceTest.h"
#include "twainds/ui/CPropPageScanSettings.h"
#include "twainds/ui/DialogIds.h"
#include "twainfw/CTWAINFrame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace plat::ui;
using Trellis::CTWAINOneValue;

constexpr const char16_t* kDialogTitle = u"Quillbox K24: Scan settings";
constexpr const char16_t* kProgressTitle = u"Quillbox K24: Scan progress";

// What the application's manager receives from the source, and what the
// application does about it at once.
std::vector<TW_UINT16>& Notices()
{
    static std::vector<TW_UINT16> notices;
    return notices;
}

std::function<void(TW_UINT16)>& Reaction()
{
    static std::function<void(TW_UINT16)> reaction;
    return reaction;
}

TW_UINT16 RecordingDSMEntry(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF)
{
    if (dg == DG_CONTROL && dat == DAT_NULL) {
        Notices().push_back(msg);
        if (Reaction())
            Reaction()(msg);
    }
    return TWRC_SUCCESS;
}

std::u16string Text(HWND window)
{
    std::u16string text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, u'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool Checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

class SettingsDialogTest : public qbk24::testing::ScannerSourceTest {
protected:
    void SetUp() override
    {
        AllowHeadlessWindows(true);
        ResetUiScript();
        Notices().clear();
        Reaction() = nullptr;
    }
    void TearDown() override
    {
        Reaction() = nullptr;
        ScannerSourceTest::TearDown();
        ResetUiScript();
        AllowHeadlessWindows(false);
    }

    // A scanner with `sheets`, the manager's entry handed to the source.
    void Start(int sheets)
    {
        m_manager.Size = sizeof m_manager;
        m_manager.DSM_Entry = &RecordingDSMEntry;
        m_entryPoint = &m_manager;
        Install(sheets);
    }

    // MSG_ENABLEDS with the dialog (or MSG_ENABLEDSUIONLY); the dialog made.
    HWND Show(bool setupOnly = false)
    {
        TW_USERINTERFACE ui{};
        ui.ShowUI = TRUE;
        EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_USERINTERFACE, setupOnly ? MSG_ENABLEDSUIONLY : MSG_ENABLEDS, &ui))
            << ConditionCode();
        HWND dialog = FindWindowW(kDialogClass, kDialogTitle);
        EXPECT_NE(dialog, nullptr);
        Notices().clear();
        return dialog;
    }

    // Back to state 4, as the application leaves it after its notification:
    // transfers given up when there are any, then the source disabled.
    void Leave()
    {
        TW_PENDINGXFERS pending{};
        Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
        Disable();
    }

    static HWND Page(HWND dialog)
    {
        HWND tabs = GetDlgItem(dialog, IDC_MAIN_TABS);
        for (HWND page = GetWindow(tabs, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT)) {
            if (GetDlgItem(page, IDC_RESOLUTION))
                return page;
        }
        return nullptr;
    }

    // The current frame, in inches.
    Trellis::CTWAINFrame Frame()
    {
        Trellis::CTWAINContainer answer;
        EXPECT_EQ(TWRC_SUCCESS, GetCap(ICAP_FRAMES, MSG_GETCURRENT, answer)) << ConditionCode();
        return answer.GetOneValue().Frame;
    }

    float Current(TW_UINT16 capability)
    {
        Trellis::CTWAINContainer answer;
        EXPECT_EQ(TWRC_SUCCESS, GetCap(capability, MSG_GETCURRENT, answer)) << ConditionCode();
        return answer.GetOneValue().GetFloat();
    }

    TW_UINT16 CurrentCode(TW_UINT16 capability)
    {
        Trellis::CTWAINContainer answer;
        EXPECT_EQ(TWRC_SUCCESS, GetCap(capability, MSG_GETCURRENT, answer)) << ConditionCode();
        return answer.GetOneValue().GetUInt16();
    }

    TW_ENTRYPOINT m_manager{};

    // The application's loop for one round: what waits is dispatched.
    static void PumpApplication()
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
};

TEST_F(SettingsDialogTest, OkCancelEscAndTheCloseBoxSendTheirMessage)
{
    Start(3);
    struct Case {
        bool setupOnly;
        const char* action;
        const char16_t* okCaption;
        TW_UINT16 sent;
    };
    const Case cases[] = {
        {false, "OK", u"Scan", MSG_XFERREADY},      {true, "OK", u"OK", MSG_CLOSEDSOK},
        {false, "Cancel", u"Scan", MSG_CLOSEDSREQ}, {true, "Cancel", u"OK", MSG_CLOSEDSREQ},
        {false, "Esc", u"Scan", MSG_CLOSEDSREQ},    {true, "Esc", u"OK", MSG_CLOSEDSREQ},
        {false, "close", u"Scan", MSG_CLOSEDSREQ},  {true, "close", u"OK", MSG_CLOSEDSREQ},
        {false, "Enter", u"Scan", MSG_XFERREADY},   {true, "Enter", u"OK", MSG_CLOSEDSOK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.action) + (c.setupOnly ? ", setup only" : ""));
        HWND dialog = Show(c.setupOnly);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(Text(GetDlgItem(dialog, IDOK)), c.okCaption);
        EXPECT_EQ(Text(GetDlgItem(dialog, IDCANCEL)), u"Cancel");
        const std::string action = c.action;
        if (action == "OK")
            EXPECT_TRUE(Click(GetDlgItem(dialog, IDOK)));
        else if (action == "Cancel")
            EXPECT_TRUE(Click(GetDlgItem(dialog, IDCANCEL)));
        else if (action == "Esc")
            EXPECT_TRUE(PressEscape(dialog));
        else if (action == "Enter")
            EXPECT_TRUE(PressEnter(dialog));
        else
            SendMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_EQ(Notices(), std::vector<TW_UINT16>{c.sent});
        // The dialog stays until the application disables the source.
        EXPECT_TRUE(IsWindowVisible(dialog));
        Leave();
        EXPECT_FALSE(IsWindow(dialog));
    }
}

TEST_F(SettingsDialogTest, HelpIsThereButDoesNothing)
{
    Start(0);
    HWND dialog = Show();
    HWND help = GetDlgItem(dialog, IDHELP);
    ASSERT_NE(help, nullptr);
    EXPECT_FALSE(IsWindowEnabled(help));
    EXPECT_FALSE(Click(help));
    // The framework's help command, as a menu or accelerator sends it.
    SendMessageW(dialog, WM_COMMAND, MAKELONG(0xE146, 0), 0);
    SendMessageW(dialog, WM_COMMAND, MAKELONG(IDHELP, BN_CLICKED), 0);
    EXPECT_TRUE(Notices().empty());
    EXPECT_TRUE(IsWindowEnabled(dialog));
    Leave();
}

TEST_F(SettingsDialogTest, ChoosingATabShowsExactlyItsPageAndRefreshesIt)
{
    Start(0);
    HWND dialog = Show();
    HWND tabs = GetDlgItem(dialog, IDC_MAIN_TABS);
    HWND page = Page(dialog);
    ASSERT_NE(page, nullptr);
    const int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    ASSERT_GE(count, 1);

    // What the page shows goes stale behind its back (as when another page
    // changed the source); the tab's choice shows the source again.
    HWND gray = GetDlgItem(page, IDC_MODE_GRAY);
    const bool grayInForce = Checked(gray);
    SendMessageW(gray, BM_SETCHECK, grayInForce ? BST_UNCHECKED : BST_CHECKED, 0);
    for (int tab = 0; tab < count; ++tab) {
        SCOPED_TRACE(tab);
        ASSERT_TRUE(ChooseTab(tabs, tab));
        int shown = 0;
        HWND visible = nullptr;
        for (HWND child = GetWindow(tabs, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (IsWindowVisible(child)) {
                ++shown;
                visible = child;
            }
        }
        EXPECT_EQ(shown, 1);
        EXPECT_EQ(GetFocus(), visible);
    }
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    for (int tab = 0; tab < count; ++tab) {
        SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(tab), reinterpret_cast<LPARAM>(&item));
        if (item.lParam == static_cast<LPARAM>(IDS_TAB_SCAN_SETTINGS)) {
            ASSERT_TRUE(ChooseTab(tabs, tab));
        }
    }
    EXPECT_TRUE(IsWindowVisible(page));
    EXPECT_EQ(Checked(gray), grayInForce);
    Leave();
}

TEST_F(SettingsDialogTest, TheStatusLineFollowsTheScannerEveryHalfSecond)
{
    Start(0);
    plat::ScopedTestClock clock;
    HWND dialog = Show();
    HWND status = GetDlgItem(dialog, IDC_MAIN_STATUS);
    EXPECT_EQ(Text(status), u"No document in ADF");
    Control({"load", "2"});
    clock->Advance(499);
    PumpApplication();
    EXPECT_EQ(Text(status), u"No document in ADF");
    clock->Advance(1);
    PumpApplication();
    EXPECT_EQ(Text(status), u"Ready to scan");
    Leave();
}

// Cancel waits in the queue when the status timer's pump sees it; the
// application answers MSG_CLOSEDSREQ at once with MSG_DISABLEDS, which
// destroys the dialog whose timer handler is still running.
TEST_F(SettingsDialogTest, TheApplicationMayDestroyTheDialogFromInsideItsStatusPump)
{
    Start(0);
    plat::ScopedTestClock clock;
    HWND dialog = Show();
    Reaction() = [this](TW_UINT16 msg) {
        if (msg == MSG_CLOSEDSREQ)
            Disable();
    };
    PostMessageW(dialog, WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED), 0);
    clock->Advance(500);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, dialog, WM_TIMER, WM_TIMER, PM_REMOVE));
    DispatchMessageW(&message);
    EXPECT_EQ(Notices(), std::vector<TW_UINT16>{MSG_CLOSEDSREQ});
    EXPECT_FALSE(IsWindow(dialog));
    PumpApplication();
}

// ---- the scan settings page ----

class ScanSettingsPageTest : public SettingsDialogTest {
protected:
    void Open()
    {
        Start(0);
        dialog = Show();
        page = Page(dialog);
        ASSERT_NE(page, nullptr);
    }
    HWND Item(int id) const { return GetDlgItem(page, id); }

    // The size codes of the standard-size list, in list order.
    std::vector<DWORD> ListedSizes() const
    {
        std::vector<DWORD> codes;
        HWND list = Item(IDC_STANDARD_SIZES);
        const auto count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            const auto* record =
                reinterpret_cast<const PageSizeItem*>(SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
            codes.push_back(record ? record->SizeCode : 0xFFFFFFFF);
        }
        return codes;
    }
    bool ChooseSize(DWORD code)
    {
        const std::vector<DWORD> codes = ListedSizes();
        for (size_t i = 0; i < codes.size(); ++i) {
            if (codes[i] == code)
                return ChooseComboItem(Item(IDC_STANDARD_SIZES), static_cast<int>(i));
        }
        return false;
    }
    // Types into an edit and moves the focus on, as the user leaves it.
    void Enter(int edit, std::u16string_view text)
    {
        ASSERT_TRUE(TypeText(Item(edit), text));
        SetFocus(Item(IDC_CUSTOM_SIZE));
    }

    HWND dialog = nullptr;
    HWND page = nullptr;
};

TEST_F(ScanSettingsPageTest, TheFeederIsTheOnlySourceAndIsLeftAsFound)
{
    Open();
    HWND source = Item(IDC_PAGE_SOURCE);
    EXPECT_EQ(SendMessageW(source, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(source, CB_GETCURSEL, 0, 0), 0);
    EXPECT_FALSE(IsWindowEnabled(source));
    EXPECT_EQ(CurrentCode(CAP_FEEDERENABLED), 1);
    Leave();
}

TEST_F(ScanSettingsPageTest, StandardSizesRunByPaperSeriesLargestFirstWithTheCustomSizeLast)
{
    Open();
    const std::vector<DWORD> codes = ListedSizes();
    ASSERT_GE(codes.size(), 10u);
    std::string listed;
    for (DWORD code : codes)
        listed += std::to_string(code) + " ";
    SCOPED_TRACE(listed);
    const auto position = [&](DWORD code) {
        return static_cast<int>(std::find(codes.begin(), codes.end(), code) - codes.begin());
    };
    // Size codes against the positions they must take relative to each
    // other: US before ISO A before ISO B before ISO C before JIS B, each
    // from the largest down, then envelopes and photographs.
    const std::vector<DWORD> order = {
        TWSS_USLEDGER, TWSS_USLEGAL, TWSS_USLETTER, TWSS_USEXECUTIVE, TWSS_USSTATEMENT, // US
        TWSS_A3,       TWSS_A4,      TWSS_A5,       TWSS_A6,                            // ISO A
        TWSS_ISOB4,    TWSS_ISOB5,                                                      // ISO B
        TWSS_C4,       TWSS_C5,                                                         // ISO C
        TWSS_JISB4,    TWSS_JISB5,                                                      // JIS B
    };
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        SCOPED_TRACE("codes " + std::to_string(order[i]) + " and " + std::to_string(order[i + 1]));
        ASSERT_LT(position(order[i]), static_cast<int>(codes.size()));
        ASSERT_LT(position(order[i + 1]), static_cast<int>(codes.size()));
        EXPECT_LT(position(order[i]), position(order[i + 1]));
    }
    EXPECT_EQ(codes.back(), TWSS_NONE);
    // What a person reads in the list: the name, then the dimensions.
    EXPECT_EQ(ComboItemDrawnText(Item(IDC_STANDARD_SIZES), position(TWSS_A4)), u"A4\t210 x 297 mm");
    Leave();
}

TEST_F(ScanSettingsPageTest, CustomAndStandardSizesEnableOrientationAndEditsTheOtherWayRound)
{
    Open();
    struct Case {
        int radio;
        bool orientation; // radios enabled
        bool edits;       // custom width and height enabled
        bool longDocument;
    };
    const Case cases[] = {
        {IDC_CUSTOM_SIZE, false, true, true},
        {IDC_STANDARD_SIZE, true, false, false},
        {IDC_CUSTOM_SIZE, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.radio);
        ASSERT_TRUE(Click(Item(c.radio)));
        EXPECT_EQ(CurrentCode(ICAP_SUPPORTEDSIZES) == TWSS_NONE, c.radio == IDC_CUSTOM_SIZE);
        for (int id : {IDC_PORTRAIT, IDC_LANDSCAPE})
            EXPECT_EQ(IsWindowEnabled(Item(id)) != FALSE, c.orientation) << id;
        EXPECT_EQ(Checked(Item(IDC_PORTRAIT)), c.orientation);
        EXPECT_FALSE(Checked(Item(IDC_LANDSCAPE)));
        for (int id : {IDC_CUSTOM_WIDTH, IDC_CUSTOM_HEIGHT})
            EXPECT_EQ(IsWindowEnabled(Item(id)) != FALSE, c.edits) << id;
        EXPECT_EQ(IsWindowEnabled(Item(IDC_LONG_DOCUMENT)) != FALSE, c.longDocument);
        EXPECT_EQ(CurrentCode(ICAP_ORIENTATION), TWOR_PORTRAIT);
    }
    // Back to Letter: the edits show the size's own extent.
    ASSERT_TRUE(Click(Item(IDC_STANDARD_SIZE)));
    EXPECT_EQ(Text(Item(IDC_CUSTOM_WIDTH)), u"8.50");
    EXPECT_EQ(Text(Item(IDC_CUSTOM_HEIGHT)), u"11.00");
    Leave();
}

TEST_F(ScanSettingsPageTest, UnitsFollowThePaperSeriesAndTheUnitLabel)
{
    Open();
    struct Step {
        const char* what;
        std::function<bool()> act;
        const char16_t* unit;
        const char16_t* width;
        const char16_t* height;
    };
    const Step steps[] = {
        {"A4", [&] { return ChooseSize(TWSS_A4); }, u"mm", u"210", u"297"},
        {"Letter", [&] { return ChooseSize(TWSS_USLETTER); }, u"Inches", u"8.50", u"11.00"},
        {"label", [&] { return Click(Item(IDC_CUSTOM_UNITS)); }, u"mm", u"216", u"279"},
        {"label again", [&] { return Click(Item(IDC_CUSTOM_UNITS)); }, u"Inches", u"8.50", u"11.00"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        ASSERT_TRUE(step.act());
        EXPECT_EQ(Text(Item(IDC_CUSTOM_UNITS)), step.unit);
        EXPECT_EQ(Text(Item(IDC_CUSTOM_WIDTH)), step.width);
        EXPECT_EQ(Text(Item(IDC_CUSTOM_HEIGHT)), step.height);
    }
    Leave();
}

TEST_F(ScanSettingsPageTest, CustomSizeEntriesAreReadAsNumbersAndClampedToTheFeeder)
{
    Open();
    ASSERT_TRUE(Click(Item(IDC_CUSTOM_SIZE)));
    const std::u16string tooLarge = u"The size is too large ..";
    const std::u16string tooSmall = u"The size is too small ..";
    struct Case {
        const char* what;
        bool metric;
        int edit;
        std::u16string typed;
        float stored;          // inches
        const char16_t* shown; // the edit afterwards
        std::u16string balloon;
    };
    const Case cases[] = {
        {"inches", false, IDC_CUSTOM_WIDTH, u"5", 5.0f, u"5", u""},
        {"a decimal point whatever the locale", false, IDC_CUSTOM_WIDTH, u"6.25", 6.25f, u"6.25", u""},
        {"millimetres", true, IDC_CUSTOM_WIDTH, u"216", 216 / 25.4f, u"216", u""},
        {"above the maximum", false, IDC_CUSTOM_WIDTH, u"12.5", 11.89f, u"11.89", tooLarge},
        {"below the minimum", false, IDC_CUSTOM_WIDTH, u"1", 1.9f, u"1.90", tooSmall},
        {"not a number", false, IDC_CUSTOM_WIDTH, u"wide", 1.9f, u"1.90", tooSmall},
        {"infinity", false, IDC_CUSTOM_WIDTH, u"inf", 1.9f, u"1.90", tooSmall},
        {"not-a-number", false, IDC_CUSTOM_WIDTH, u"nan", 1.9f, u"1.90", tooSmall},
        {"too many digits", false, IDC_CUSTOM_WIDTH, std::u16string(400, u'9'), 1.9f, u"1.90", tooSmall},
        {"within 0.002 inch above in millimetres", true, IDC_CUSTOM_WIDTH, u"302.04", 11.89f, u"302.04", u""},
        {"beyond the tolerance in millimetres", true, IDC_CUSTOM_WIDTH, u"302.1", 11.89f, u"302", tooLarge},
        {"height", false, IDC_CUSTOM_HEIGHT, u"14", 14.0f, u"14", u""},
        {"height above the maximum", false, IDC_CUSTOM_HEIGHT, u"30", 17.0f, u"17.00", tooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if ((Text(Item(IDC_CUSTOM_UNITS)) == u"mm") != c.metric) {
            ASSERT_TRUE(Click(Item(IDC_CUSTOM_UNITS)));
        }
        Enter(c.edit, c.typed);
        const Trellis::CTWAINFrame frame = Frame();
        const float stored =
            c.edit == IDC_CUSTOM_WIDTH ? Trellis::Fix32ToFloat(frame.Right) : Trellis::Fix32ToFloat(frame.Bottom);
        EXPECT_NEAR(stored, c.stored, 0.001f);
        EXPECT_EQ(Text(Item(c.edit)), c.shown);
        std::u16string title;
        EXPECT_EQ(BalloonTipShown(Item(c.edit), &title, nullptr, nullptr), !c.balloon.empty());
        if (!c.balloon.empty()) {
            EXPECT_EQ(title, c.balloon);
        }
    }
    // 216 mm is 8.50 inches.
    if (Text(Item(IDC_CUSTOM_UNITS)) != u"mm") {
        ASSERT_TRUE(Click(Item(IDC_CUSTOM_UNITS)));
    }
    Enter(IDC_CUSTOM_WIDTH, u"216");
    ASSERT_TRUE(Click(Item(IDC_CUSTOM_UNITS)));
    EXPECT_EQ(Text(Item(IDC_CUSTOM_WIDTH)), u"8.50");
    Leave();
}

TEST_F(ScanSettingsPageTest, LeavingLongDocumentsShrinksTheHeightToTheFeeder)
{
    Open();
    ASSERT_TRUE(Click(Item(IDC_CUSTOM_SIZE)));
    ASSERT_TRUE(Click(Item(IDC_LONG_DOCUMENT)));
    Enter(IDC_CUSTOM_HEIGHT, u"30");
    EXPECT_NEAR(Trellis::Fix32ToFloat(Frame().Bottom), 30.0f, 0.001f);
    EXPECT_FALSE(BalloonTipShown(Item(IDC_CUSTOM_HEIGHT), nullptr, nullptr, nullptr));

    ASSERT_TRUE(Click(Item(IDC_LONG_DOCUMENT)));
    EXPECT_NEAR(Trellis::Fix32ToFloat(Frame().Bottom), 17.0f, 0.001f);
    EXPECT_EQ(Text(Item(IDC_CUSTOM_HEIGHT)), u"17.00");
    std::u16string title, text;
    int icon = 0;
    ASSERT_TRUE(BalloonTipShown(Item(IDC_CUSTOM_HEIGHT), &title, &text, &icon));
    EXPECT_EQ(title, u"The size is too large ..");
    EXPECT_EQ(text, u".. and has been set to the maximum");
    EXPECT_EQ(icon, TTI_ERROR);
    Leave();
}

TEST_F(ScanSettingsPageTest, EnterInACustomSizeEditTakesTheEntryBeforeTheScanStarts)
{
    Start(2);
    dialog = Show();
    page = Page(dialog);
    ASSERT_TRUE(Click(Item(IDC_CUSTOM_SIZE)));
    ASSERT_TRUE(TypeText(Item(IDC_CUSTOM_WIDTH), u"6"));
    ASSERT_TRUE(PressEnter(dialog));
    EXPECT_EQ(Notices(), std::vector<TW_UINT16>{MSG_XFERREADY});
    EXPECT_NEAR(Trellis::Fix32ToFloat(Frame().Right), 6.0f, 0.001f);
    Leave();
}

TEST_F(ScanSettingsPageTest, ADragSetsTheResolutionOnlyWhenItEnds)
{
    Open();
    HWND trackbar = Item(IDC_RESOLUTION);
    const float before = Current(ICAP_XRESOLUTION);
    const auto last = static_cast<int>(SendMessageW(trackbar, TBM_GETRANGEMAX, 0, 0));
    ASSERT_GT(last, 0);
    // The thumb held at the far end: the label follows, the source does not.
    SendMessageW(trackbar, TBM_SETPOS, TRUE, last);
    for (WORD code : {WORD{TB_THUMBTRACK}, WORD{TB_THUMBPOSITION}}) {
        SendMessageW(page, WM_HSCROLL, MAKELONG(code, static_cast<WORD>(last)), reinterpret_cast<LPARAM>(trackbar));
        EXPECT_EQ(Current(ICAP_XRESOLUTION), before) << code;
    }
    EXPECT_EQ(Text(Item(IDC_RESOLUTION_TEXT)), Text(Item(IDC_RESOLUTION_MAX)) + u" dpi");
    SendMessageW(page, WM_HSCROLL, MAKELONG(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(trackbar));
    const float largest = Current(ICAP_XRESOLUTION);
    EXPECT_GT(largest, before);
    EXPECT_EQ(Current(ICAP_YRESOLUTION), largest);

    // The whole drag as the user makes it, and a keyboard step.
    ASSERT_TRUE(DragTrackbar(trackbar, 0));
    EXPECT_EQ(Text(Item(IDC_RESOLUTION_TEXT)), Text(Item(IDC_RESOLUTION_MIN)) + u" dpi");
    const float smallest = Current(ICAP_XRESOLUTION);
    EXPECT_LT(smallest, before);
    ASSERT_TRUE(StepTrackbar(trackbar, TB_LINEDOWN));
    EXPECT_GT(Current(ICAP_XRESOLUTION), smallest);
    Leave();
}

// ---- scans started from the dialog, with the progress dialog ----

class ScanFromDialogTest : public SettingsDialogTest {
protected:
    // Gray pages of 2 by 3 inches at 100 dpi (192 by 300 pixels) into memory.
    void Negotiate(bool indicators)
    {
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_XFERMECH, CTWAINOneValue(TWSX_MEMORY))) << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_PIXELTYPE, CTWAINOneValue(TWPT_GRAY))) << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_BITDEPTH, CTWAINOneValue(TW_UINT16{8}))) << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_XRESOLUTION, CTWAINOneValue(100.0f))) << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_YRESOLUTION, CTWAINOneValue(100.0f))) << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(ICAP_FRAMES, CTWAINOneValue(Trellis::CTWAINFrame(0, 0, 2, 3))))
            << ConditionCode();
        ASSERT_EQ(TWRC_SUCCESS, SetCap(CAP_INDICATORS, CTWAINOneValue(indicators ? 1u : 0u, TWTY_BOOL)))
            << ConditionCode();
    }

    // One image in the smallest buffers the source takes; `afterBuffer`
    // looks at the dialogs between two buffers. The last return code.
    TW_UINT16 Transfer(qbk24::testing::ScannedPage& page, const std::function<void()>& afterBuffer)
    {
        EXPECT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &page.info)) << ConditionCode();
        return MemoryTransfer(page, qbk24::testing::kSmallestMemoryBuffer, false, afterBuffer);
    }

    static HWND Progress() { return FindWindowW(kDialogClass, kProgressTitle); }
    static int BarPosition(HWND progress)
    {
        return static_cast<int>(SendMessageW(GetDlgItem(progress, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0));
    }
};

TEST_F(ScanFromDialogTest, AScanStartedWithTheScanButtonDeliversItsPages)
{
    struct Case {
        bool indicators;
        bool progressShown;
    };
    Start(0);
    // The third scan is a new acquisition: its progress counts from image 1.
    for (const Case c : {Case{true, true}, Case{false, false}, Case{true, true}}) {
        SCOPED_TRACE(c.indicators ? "indicators on" : "indicators off");
        Negotiate(c.indicators);
        Control({"load", "2"});
        HWND dialog = Show();
        ASSERT_TRUE(Click(GetDlgItem(dialog, IDOK)));
        ASSERT_EQ(Notices(), std::vector<TW_UINT16>{MSG_XFERREADY});

        std::vector<qbk24::testing::ScannedPage> pages;
        TW_PENDINGXFERS pending{1, {0}};
        while (pending.Count != 0 && pages.size() < 4) {
            qbk24::testing::ScannedPage page;
            std::vector<int> percentages;
            const auto look = [&] {
                HWND progress = Progress();
                EXPECT_EQ(progress != nullptr, c.progressShown);
                // The progress dialog takes the user's input from the
                // settings dialog while it is there.
                EXPECT_EQ(IsWindowEnabled(dialog) != FALSE, !c.progressShown);
                if (!progress)
                    return;
                percentages.push_back(BarPosition(progress));
                EXPECT_EQ(Text(GetDlgItem(progress, IDC_PROGRESS_METHOD)),
                          u"Scanning using the Memory transfer method");
                EXPECT_EQ(Text(GetDlgItem(progress, IDC_PROGRESS_IMAGE)),
                          u"Transferring image " + Utf8ToUtf16(std::to_string(pages.size() + 1)));
            };
            ASSERT_EQ(TWRC_XFERDONE, Transfer(page, look)) << ConditionCode();
            if (c.progressShown) {
                ASSERT_FALSE(percentages.empty());
                EXPECT_TRUE(std::is_sorted(percentages.begin(), percentages.end()));
                EXPECT_GT(percentages.front(), 0);
                EXPECT_LT(percentages.back(), 100);
                EXPECT_EQ(BarPosition(Progress()), 100);
            }
            pages.push_back(std::move(page));
            ASSERT_EQ(TWRC_SUCCESS, EndXfer(pending));
        }
        ASSERT_EQ(pages.size(), 2u);
        for (size_t i = 0; i < pages.size(); ++i) {
            EXPECT_EQ(pages[i].width, 192);
            EXPECT_EQ(pages[i].height, 300);
            EXPECT_EQ(qbk24::testing::FirstBadLine(pages[i], static_cast<std::uint32_t>(i), 0), -1) << i;
        }
        // The scan is over: the settings dialog is back, and Cancel reads
        // Done.
        EXPECT_EQ(Progress(), nullptr);
        EXPECT_TRUE(IsWindowEnabled(dialog));
        EXPECT_EQ(Text(GetDlgItem(dialog, IDCANCEL)), u"Done");
        Disable();
    }
}

TEST_F(ScanFromDialogTest, AbortScanEndsTheTransferAndTheDialogStaysUntilTheSourceEndsIt)
{
    Start(0);
    Negotiate(true);
    Control({"load", "3"});
    HWND dialog = Show();
    ASSERT_TRUE(Click(GetDlgItem(dialog, IDOK)));
    qbk24::testing::ScannedPage page;
    bool pressed = false;
    const TW_UINT16 rc = Transfer(page, [&] {
        if (pressed)
            return;
        HWND progress = Progress();
        ASSERT_NE(progress, nullptr);
        pressed = Click(GetDlgItem(progress, IDCANCEL));
        EXPECT_TRUE(IsWindow(progress));
    });
    EXPECT_TRUE(pressed);
    EXPECT_EQ(rc, TWRC_CANCEL);
    HWND progress = Progress();
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(Text(GetDlgItem(progress, IDC_PROGRESS_IMAGE)), u"Transfer of images canceled");
    EXPECT_FALSE(IsWindowEnabled(dialog));

    TW_PENDINGXFERS pending{};
    EXPECT_EQ(TWRC_SUCCESS, EndXfer(pending));
    EXPECT_EQ(pending.Count, 0);
    EXPECT_EQ(Progress(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(dialog));
    EXPECT_EQ(Text(GetDlgItem(dialog, IDCANCEL)), u"Done");
    Disable();
}

// Every band's two updates dispatch what waits for the dialogs and return
// as soon as nothing does: on the test clock, where no time passes, a pump
// that waited out its 50 ms would never return. Clicks that come through
// the message queue, as a person's do, are seen at the next band: Abort
// Scan ends the transfer there, and a Cancel of the settings dialog is
// taken from the queue and, the transfer running, ignored.
TEST_F(ScanFromDialogTest, EachBandDispatchesWhatWaitsForTheDialogsWithoutWaiting)
{
    Start(0);
    Negotiate(true);
    Control({"load", "2"});
    plat::ScopedTestClock clock;
    HWND dialog = Show();
    const ULONGLONG before = clock->NowMs();
    ASSERT_TRUE(Click(GetDlgItem(dialog, IDOK)));
    Notices().clear();
    qbk24::testing::ScannedPage page;
    int buffers = 0;
    const TW_UINT16 rc = Transfer(page, [&] {
        if (++buffers > 1)
            return;
        HWND progress = Progress();
        ASSERT_NE(progress, nullptr);
        ASSERT_TRUE(PostMessageW(dialog, WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED), 0));
        ASSERT_TRUE(PostMessageW(progress, WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED), 0));
    });
    EXPECT_EQ(rc, TWRC_CANCEL) << ConditionCode();
    EXPECT_EQ(buffers, 1) << "Abort Scan ends the transfer at the next band";
    MSG waiting;
    EXPECT_FALSE(PeekMessageW(&waiting, dialog, 0, 0, PM_NOREMOVE)) << "the status update took the Cancel";
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(Notices().empty());
    EXPECT_EQ(clock->NowMs(), before);

    TW_PENDINGXFERS pending{};
    EXPECT_EQ(TWRC_SUCCESS, EndXfer(pending));
    EXPECT_EQ(pending.Count, 0);
    Disable();
}

// Without the progress dialog the settings dialog takes clicks during a
// scan. Cancel before the application takes the first image ends that
// acquisition and asks to close; once the images are being taken it is
// held, and the scan goes on to its last page.
TEST_F(ScanFromDialogTest, CancelAsksToCloseBeforeTheFirstTransferAndIsHeldDuringTransfers)
{
    Start(0);
    Negotiate(false);
    Control({"load", "2"});
    HWND dialog = Show();
    ASSERT_TRUE(Click(GetDlgItem(dialog, IDOK)));
    ASSERT_EQ(Notices(), std::vector<TW_UINT16>{MSG_XFERREADY});
    ASSERT_TRUE(Click(GetDlgItem(dialog, IDCANCEL)));
    EXPECT_EQ(Notices(), (std::vector<TW_UINT16>{MSG_XFERREADY, MSG_CLOSEDSREQ}));
    TW_IMAGEINFO info{};
    EXPECT_EQ(TWRC_FAILURE, Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info)) << "no image is ready any more";
    EXPECT_EQ(ConditionCode(), TWCC_SEQERROR);
    Disable();

    // The next acquisition from the same feeder delivers both sheets.
    dialog = Show();
    ASSERT_TRUE(Click(GetDlgItem(dialog, IDOK)));
    int pages = 0;
    for (TW_PENDINGXFERS pending{1, {0}}; pending.Count != 0 && pages < 4;) {
        qbk24::testing::ScannedPage page;
        ASSERT_EQ(TWRC_XFERDONE, Transfer(page, [&] { EXPECT_TRUE(Click(GetDlgItem(dialog, IDCANCEL))); }))
            << ConditionCode();
        ++pages;
        ASSERT_EQ(TWRC_SUCCESS, EndXfer(pending));
        if (pending.Count != 0) {
            EXPECT_TRUE(Click(GetDlgItem(dialog, IDCANCEL)));
        }
    }
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(Notices(), std::vector<TW_UINT16>{MSG_XFERREADY});
    Disable();
}

TEST_F(ScanFromDialogTest, TheScanErrorQuestionBelongsToTheWindowInFront)
{
    Start(0);
    Negotiate(true);
    ScriptMessageBoxAnswer(IDCANCEL);
    ScriptMessageBoxAnswer(IDCANCEL);

    // The settings dialog's Scan with an empty feeder.
    HWND dialog = Show();
    ASSERT_TRUE(Click(GetDlgItem(dialog, IDOK)));
    EXPECT_TRUE(Notices().empty());
    // A jam in the middle of the first page, under the progress dialog.
    Control({"load", "2"});
    Control({"fault", "jam", "sheet=0", "offset=20000"});
    ASSERT_TRUE(Click(GetDlgItem(dialog, IDOK)));
    // The question comes during the page, or with the next image when the
    // page ended at the jam.
    HWND progress = nullptr;
    TW_UINT16 rc = TWRC_XFERDONE;
    for (int image = 0; image < 2 && rc == TWRC_XFERDONE; ++image) {
        qbk24::testing::ScannedPage page;
        rc = Transfer(page, [&] { progress = Progress(); });
        if (Progress())
            progress = Progress();
        TW_PENDINGXFERS pending{};
        if (rc == TWRC_XFERDONE) {
            EXPECT_EQ(TWRC_SUCCESS, EndXfer(pending));
        }
    }
    EXPECT_EQ(rc, TWRC_FAILURE);
    EXPECT_EQ(ConditionCode(), TWCC_PAPERJAM);

    const std::vector<MessageBoxRecord> boxes = TakeMessageBoxLog();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, dialog);
    EXPECT_NE(progress, nullptr);
    EXPECT_EQ(boxes[1].owner, progress);
    for (const MessageBoxRecord& box : boxes) {
        EXPECT_EQ(box.caption, u"Quillbox K24: Scan Error");
        EXPECT_EQ(box.type, 0x10035u);
    }
    TW_PENDINGXFERS pending{};
    Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    Disable();
}

} // namespace
