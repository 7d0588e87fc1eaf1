// The dialogs on a real display (Xvfb): each control a widget where its
// template puts it, showing what the model holds; the person's clicks and
// keys (sent through the X server) reaching the dialog procedure as the
// model's notifications; the model's changes reaching the widgets.
#include "platform/base/strings.h"
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
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace plat::ui;

constexpr WORD kDialogId = 600;
constexpr WORD kPageId = 601;
constexpr WORD kModalId = 602;
constexpr int kSave = 40;
constexpr int kName = 41;
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
    // clang-format off
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
            {kButtonClass, IDHELP, u"Help", BS_PUSHBUTTON | kStop | WS_DISABLED, 0, 55, 140, 50, 14},
            {kButtonClass, IDOK, u"OK", BS_DEFPUSHBUTTON | kStop, 0, 110, 140, 50, 14},
            {kButtonClass, IDCANCEL, u"Cancel", BS_PUSHBUTTON | kStop, 0, 165, 140, 50, 14},
        }};
    // clang-format on
}

class GtkBackEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (plat::testing::XvfbDisplay::ServerProgram().empty())
            GTEST_SKIP() << "Xvfb is not installed (scripts/deps.sh installs it): no display to show windows on";
        std::string why;
        plat::testing::XvfbDisplay* display = plat::testing::XvfbDisplay::ForProcess(&why);
        if (!display)
            GTEST_SKIP() << "no X server could be started: " << why;
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
        UnregisterDialogTemplate(nullptr, kPageId);
    }

    // A page on the tab control, as a settings dialog holds one, with a
    // button that opens something modal.
    HWND MakePage()
    {
        // clang-format off
        RegisterDialogTemplate(nullptr, kPageId,
                               DialogTemplate{WS_CHILD | DS_CONTROL, 0, u"", 0, 0, 90, 14, u"MS Shell Dlg", 8,
                                              {{kButtonClass, kSave, u"&Save...", WS_TABSTOP, 0, 2, 2, 50, 12}}});
        // clang-format on
        HWND page = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(kPageId), Item(kTab), RecordingProc, 0);
        EXPECT_NE(page, nullptr);
        SetWindowPos(page, HWND_TOP, 100, 2, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        return page;
    }

    // Runs the thread's messages (and so the display's events) until
    // `done`, for at most 10 s of real time.
    bool PumpUntil(const std::function<bool()>& done) { return PumpMessagesUntil(done); }

    HWND Item(int id) { return GetDlgItem(m_dialog, id); }

    // Once the toolkit has placed the control's widget.
    bool LaidOut(HWND control)
    {
        return PumpUntil([&] {
            RECT r{};
            return m_backEnd->WidgetRect(control, &r) && r.right > 0;
        });
    }

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
    ASSERT_TRUE(LaidOut(Item(IDCANCEL)));
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
        {kGroup, u"Options"},         {kCheck, u"Check"},  {kRadioA, u"Radio A"}, {kEdit, u"12.5"},
        {kStatic, u"Status text"},    {kCombo, u"Second"}, {kLink, u"See help"},  {IDOK, u"OK"},
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
    ASSERT_TRUE(LaidOut(Item(IDCANCEL)));

    POINT at = CentreOnScreen(kCheck);
    person.Click(at.x, at.y);
    EXPECT_TRUE(Saw({WM_COMMAND, kCheck, BN_CLICKED}));
    EXPECT_EQ(IsDlgButtonChecked(m_dialog, kCheck), BST_CHECKED);

    at = CentreOnScreen(kRadioB);
    person.Click(at.x, at.y);
    EXPECT_TRUE(Saw({WM_COMMAND, kRadioB, BN_CLICKED}));
    EXPECT_EQ(IsDlgButtonChecked(m_dialog, kRadioB), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(m_dialog, kRadioA), BST_UNCHECKED);
    EXPECT_TRUE(
        PumpUntil([&] { return !m_backEnd->WidgetChecked(Item(kRadioA)) && m_backEnd->WidgetChecked(Item(kRadioB)); }));

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

// The person at a toolkit dialog (a message box, a file chooser): a timer
// of the test's dialog, which the dialog's loop goes on dispatching, takes
// the steps in turn. Each waits until a window of its title is up and has
// the keyboard, looks at it, then presses its keys through the X server
// ("type:" before a text types it).
struct Step {
    std::string title;
    std::vector<std::string> keys;
    std::function<void(GtkWindow*)> look = nullptr;
};
std::deque<Step> g_steps;
plat::testing::XTestInput* g_person = nullptr;

GtkWindow* MappedWindow(const std::string& title)
{
    GtkWindow* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w && !found; w = w->next) {
        GtkWindow* window = GTK_WINDOW(w->data);
        const char* shown = gtk_window_get_title(window);
        if (shown && title == shown && gtk_widget_get_mapped(GTK_WIDGET(window)))
            found = window;
    }
    g_list_free(windows);
    return found;
}

void PlayThePerson(HWND, UINT, UINT_PTR, DWORD)
{
    GtkWindow* window = g_steps.empty() ? nullptr : MappedWindow(g_steps.front().title);
    if (!window || !g_person)
        return;
    if (!gtk_window_has_toplevel_focus(window)) {
        // The keyboard follows the pointer on a display without a window
        // manager.
        int x = 0;
        int y = 0;
        gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(window)), &x, &y);
        g_person->Move(x + 5, y + 5);
        return;
    }
    const Step step = std::move(g_steps.front());
    g_steps.pop_front();
    if (step.look)
        step.look(window);
    for (const std::string& key : step.keys) {
        if (key.rfind("type:", 0) == 0)
            g_person->Type(key.substr(5));
        else
            g_person->Key(key);
    }
}

class PersonAtTheDisplay {
public:
    explicit PersonAtTheDisplay(HWND dialog) : m_dialog(dialog)
    {
        g_person = &m_input;
        g_steps.clear();
        SetTimer(m_dialog, kTimer, 20, &PlayThePerson);
    }
    ~PersonAtTheDisplay()
    {
        KillTimer(m_dialog, kTimer);
        g_person = nullptr;
        g_steps.clear();
    }
    PersonAtTheDisplay(const PersonAtTheDisplay&) = delete;
    PersonAtTheDisplay& operator=(const PersonAtTheDisplay&) = delete;

    bool Ready() const { return m_input.Ready(); }
    void Then(Step step) { g_steps.push_back(std::move(step)); }
    // Every step was taken.
    bool Done() const { return g_steps.empty(); }

private:
    static constexpr UINT_PTR kTimer = 77;
    HWND m_dialog;
    plat::testing::XTestInput m_input;
};

TEST_F(GtkBackEndTest, AMessageBoxWithoutAScriptedAnswerAsksThePersonOverItsDisabledOwner)
{
    PersonAtTheDisplay person(m_dialog);
    ASSERT_TRUE(person.Ready());
    HWND page = MakePage();
    const POINT cancel = CentreOnScreen(IDCANCEL);
    const struct {
        const char* key;
        int answer;
    } cases[] = {{"Return", IDRETRY}, {"Escape", IDCANCEL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        // A click on the dialog's Cancel behind the box does nothing.
        person.Then({"Qbk question", {}, [&](GtkWindow*) { g_person->Click(cancel.x, cancel.y); }});
        person.Then({"Qbk question", {c.key}});
        EXPECT_EQ(MessageBoxW(page, u"Scan the page again?", u"Qbk question", MB_RETRYCANCEL | MB_ICONWARNING),
                  c.answer);
        EXPECT_TRUE(IsWindowEnabled(m_dialog));
    }
    PumpUntil([] { return true; }); // what the clicks left in the queue
    EXPECT_TRUE(g_seen.empty());
    const std::vector<MessageBoxRecord> boxes = TakeMessageBoxLog();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, u"Qbk question");
    EXPECT_EQ(boxes[0].owner, page);
}

} // namespace

namespace {

INT_PTR NameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

// The darkest grey inside a button of a picture, its frame left out (0
// black, 255 white): its caption's.
int Darkest(cairo_surface_t* picture, RECT r)
{
    r = RECT{r.left + 4, r.top + 4, r.right - 4, r.bottom - 4};
    const unsigned char* data = cairo_image_surface_get_data(picture);
    const int stride = cairo_image_surface_get_stride(picture);
    int darkest = 255;
    for (LONG y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, cairo_image_surface_get_height(picture));
         ++y) {
        for (LONG x = std::max<LONG>(r.left, 0); x < std::min<LONG>(r.right, cairo_image_surface_get_width(picture));
             ++x) {
            const auto pixel = *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4);
            darkest = std::min<int>(
                darkest, static_cast<int>(((pixel >> 16 & 0xFF) + (pixel >> 8 & 0xFF) + (pixel & 0xFF)) / 3));
        }
    }
    return darkest;
}

// A modal dialog a page opens holds the whole dialog behind it on the
// display: a click on its Cancel, a click on a tab and Enter over it do
// nothing, then or once the modal dialog has closed. The dialog behind
// keeps its look meanwhile: its enabled buttons as they were, its disabled
// Help button drawn disabled.
TEST_F(GtkBackEndTest, AModalDialogOpenedFromAPageHoldsTheWholeDialogOnTheDisplay)
{
    plat::testing::XTestInput person;
    ASSERT_TRUE(person.Ready());
    HWND page = MakePage();
    RegisterDialogTemplate(
        nullptr, kModalId,
        DialogTemplate{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                       0,
                       u"Qbk name",
                       0,
                       0,
                       160,
                       50,
                       u"MS Shell Dlg",
                       8,
                       {
                           {kEditClass, kName, u"", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 7, 7, 146, 14},
                           {kButtonClass, IDOK, u"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 50, 30, 50, 14},
                           {kButtonClass, IDCANCEL, u"Cancel", WS_TABSTOP, 0, 103, 30, 50, 14},
                       }});
    ASSERT_TRUE(LaidOut(GetDlgItem(page, kSave)));
    SetFocus(GetDlgItem(page, kSave));
    g_seen.clear();
    RECT tabs{};
    ASSERT_TRUE(m_backEnd->WidgetScreenRect(Item(kTab), &tabs));
    const POINT cancel = CentreOnScreen(IDCANCEL);
    const POINT ok = CentreOnScreen(IDOK);

    const auto behind = [&](HWND modal) {
        HWND name = GetDlgItem(modal, kName);
        ASSERT_TRUE(PumpUntil([&] { return m_backEnd->WidgetMapped(modal); }) && LaidOut(name));
        person.Click(cancel.x, cancel.y);
        person.Click(tabs.left + 75, tabs.top + 8);
        person.Move(ok.x, ok.y);
        person.Key("Return");
        // Then the modal dialog's edit takes a key: what came before it has
        // been dealt with once that arrives.
        RECT field{};
        ASSERT_TRUE(m_backEnd->WidgetScreenRect(name, &field));
        person.Click((field.left + field.right) / 2, (field.top + field.bottom) / 2);
        person.Type("7");
        EXPECT_TRUE(PumpUntil([&] { return GetWindowTextLengthW(name) == 1; }));
        EXPECT_TRUE(g_seen.empty());
        EXPECT_EQ(SendMessageW(Item(kTab), TCM_GETCURSEL, 0, 0), 0);

        const std::string path = ::testing::TempDir() + "held-dialog.png";
        ASSERT_TRUE(m_backEnd->CaptureWindow(m_dialog, path));
        cairo_surface_t* picture = cairo_image_surface_create_from_png(path.c_str());
        RECT help{};
        RECT okButton{};
        ASSERT_TRUE(m_backEnd->WidgetRect(Item(IDHELP), &help));
        ASSERT_TRUE(m_backEnd->WidgetRect(Item(IDOK), &okButton));
        EXPECT_LT(Darkest(picture, okButton), 80) << "OK's caption is drawn as it was";
        EXPECT_GT(Darkest(picture, help), Darkest(picture, okButton) + 40) << "Help is drawn disabled";
        cairo_surface_destroy(picture);
        std::remove(path.c_str());

        person.Key("Escape");
        EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(modal); }));
    };
    ScriptModalDialog([&](HWND modal) {
        behind(modal);
        if (IsWindowVisible(modal)) // never left waiting for a person who is not there
            EndDialog(modal, IDABORT);
    });
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(kModalId), page, NameDialogProc, 0), IDCANCEL);
    UnregisterDialogTemplate(nullptr, kModalId);
    EXPECT_TRUE(IsWindowEnabled(m_dialog));
    EXPECT_TRUE(PumpUntil([&] { return m_backEnd->WidgetFocused(GetDlgItem(page, kSave)); }));
    EXPECT_TRUE(g_seen.empty());
}

// Tab and Shift-Tab on the display follow the template (the disabled Help
// skipped, the radio group one stop), the toolkit's focus with the model's;
// the arrows move within the radio group, and Enter presses the focused
// push button.
TEST_F(GtkBackEndTest, TheKeyboardFollowsTheTemplatesOrder)
{
    plat::testing::XTestInput person;
    ASSERT_TRUE(person.Ready());
    ASSERT_TRUE(LaidOut(Item(IDCANCEL)));
    SetFocus(Item(kCheck));
    const POINT over = CentreOnScreen(kStatic); // the keys go where the pointer is
    person.Move(over.x, over.y);
    const auto reaches = [&](int id) {
        return PumpUntil([&] { return GetFocus() == Item(id) && m_backEnd->WidgetFocused(Item(id)); });
    };
    const std::vector<int> order = {kRadioA, kEdit, kCombo, kTrack, kTab, kLink, IDOK, IDCANCEL, kCheck};
    for (int id : order) {
        person.Key("Tab");
        EXPECT_TRUE(reaches(id)) << id;
    }
    for (int id : std::vector<int>{IDCANCEL, IDOK}) {
        person.KeyWith("Shift_L", "Tab");
        EXPECT_TRUE(reaches(id)) << id;
    }

    SetFocus(Item(kRadioA));
    person.Key("Down");
    EXPECT_TRUE(reaches(kRadioB));
    EXPECT_TRUE(Saw({WM_COMMAND, kRadioB, BN_CLICKED}));
    EXPECT_TRUE(PumpUntil([&] { return m_backEnd->WidgetChecked(Item(kRadioB)); }));

    SetFocus(Item(IDCANCEL));
    person.Key("Return");
    EXPECT_TRUE(Saw({WM_COMMAND, IDCANCEL, BN_CLICKED}));
    EXPECT_TRUE(std::find(g_seen.begin(), g_seen.end(), Seen{WM_COMMAND, IDOK, BN_CLICKED}) == g_seen.end());
}

TEST_F(GtkBackEndTest, MessageBeepRingsTheDisplaysBell)
{
    plat::testing::XTestInput person;
    ASSERT_TRUE(person.Ready());
    ASSERT_TRUE(person.WatchBells()) << "the X server has no keyboard extension";
    EXPECT_FALSE(person.BellRings(0));
    MessageBeep(MB_OK);
    EXPECT_TRUE(person.BellRings(5000));
}

// A file dialog of the profiles page's kind, proposing `file`.
struct FileRequest {
    std::u16string title;
    std::u16string folder;
    std::u16string file;
    WCHAR buffer[MAX_PATH] = {};
    OPENFILENAMEW ofn{};

    FileRequest(HWND owner, std::u16string dialogTitle, std::u16string initialFolder, const std::u16string& proposed)
        : title(std::move(dialogTitle)), folder(std::move(initialFolder))
    {
        std::copy(proposed.begin(), proposed.end(), buffer);
        ofn.lStructSize = sizeof(ofn);
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = u"Profiles\0*.bin\0All files\0*.*\0";
        ofn.lpstrFile = buffer;
        ofn.nMaxFile = MAX_PATH;
        ofn.lpstrInitialDir = this->folder.c_str();
        ofn.lpstrTitle = this->title.c_str();
        ofn.lpstrDefExt = u"bin";
    }
    std::u16string Chosen() const { return buffer; }
};

std::string FilterName(GtkWindow* chooser)
{
    GtkFileFilter* filter = gtk_file_chooser_get_filter(GTK_FILE_CHOOSER(chooser));
    return filter ? gtk_file_filter_get_name(filter) : "";
}

std::string CurrentFolder(GtkWindow* chooser)
{
    gchar* folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(chooser));
    std::string result = folder ? folder : "";
    g_free(folder);
    return result;
}

TEST_F(GtkBackEndTest, AFileDialogWithoutAScriptedAnswerIsTheToolkitsFileChooser)
{
    PersonAtTheDisplay person(m_dialog);
    ASSERT_TRUE(person.Ready());
    char made[] = "/tmp/qbkchooser-XXXXXX";
    ASSERT_NE(mkdtemp(made), nullptr);
    const std::string folder = made;
    const std::u16string wideFolder = Utf8ToUtf16(folder);
    const std::string office = folder + "/office.bin";

    // Save: the chooser proposes the buffer's folder and name under the
    // first filter, over the disabled dialog; a name without extension
    // gets the default one.
    FileRequest save(m_dialog, u"Export profile", wideFolder + u"\\", wideFolder + u"\\Current Settings.bin");
    save.ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    person.Then({"Export profile", {"ctrl+a", "type:office", "Return"}, [&](GtkWindow* chooser) {
                     EXPECT_EQ(CurrentFolder(chooser), folder);
                     gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(chooser));
                     EXPECT_STREQ(name, "Current Settings.bin");
                     g_free(name);
                     EXPECT_EQ(FilterName(chooser), "Profiles");
                     EXPECT_FALSE(IsWindowEnabled(m_dialog));
                 }});
    ASSERT_TRUE(GetSaveFileNameW(&save.ofn));
    EXPECT_EQ(Utf16ToUtf8(save.Chosen()), office);
    EXPECT_EQ(Utf16ToUtf8(save.Chosen().substr(save.ofn.nFileOffset)), "office.bin");
    EXPECT_TRUE(IsWindowEnabled(m_dialog));

    // The file is there now: No to the question shows the chooser again,
    // where Escape cancels; Yes takes the file.
    FILE* file = std::fopen(office.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    person.Then({"Export profile", {"ctrl+a", "type:office", "Return"}});
    person.Then({"Confirm Save As", {"Escape"}, [](GtkWindow* box) {
                     const char* text = nullptr;
                     g_object_get(box, "text", &text, nullptr);
                     EXPECT_STREQ(text, "office.bin already exists.\nDo you want to replace it?");
                     g_free(const_cast<char*>(text));
                 }});
    person.Then({"Export profile", {"Escape"}});
    EXPECT_FALSE(GetSaveFileNameW(&save.ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_TRUE(person.Done());
    person.Then({"Export profile", {"ctrl+a", "type:office", "Return"}});
    person.Then({"Confirm Save As", {"Return"}});
    EXPECT_TRUE(GetSaveFileNameW(&save.ofn));
    EXPECT_EQ(Utf16ToUtf8(save.Chosen()), office);

    // Open: the person types the file's path.
    FileRequest open(m_dialog, u"Import profile", wideFolder, u"");
    open.ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    person.Then({"Import profile", {"type:" + office, "Return"}, [&](GtkWindow* chooser) {
                     EXPECT_EQ(CurrentFolder(chooser), folder);
                 }});
    ASSERT_TRUE(GetOpenFileNameW(&open.ofn));
    EXPECT_EQ(Utf16ToUtf8(open.Chosen()), office);

    const std::vector<FileDialogRecord> log = TakeFileDialogLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1].answer, std::nullopt);
    EXPECT_EQ(log[3].answer, Utf8ToUtf16(office));
    std::filesystem::remove_all(folder);
}

} // namespace
