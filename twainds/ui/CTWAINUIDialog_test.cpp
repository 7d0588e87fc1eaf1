// The main dialog's base driven as a user would: OK, Cancel, Enter, Esc and
// the close box reach the application as TWAIN notifications, and the
// dialog stays open until the application reacts.
#include "twainds/ui/CTWAINUIDialog.h"

#include "platform/testing/TempSystemRoot.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiScript.h"
#include "platform/ui/UserActions.h"
#include "twainfw/DSMEntry.h"
#include "twainfw/TWAINMemory.h"
#include "twainfw/XferTestSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace plat::ui;
using Trellis::CTWAINDataSource;

constexpr WORD kMainDialog = 7105;
const DialogTemplateRegistrar kTemplate(
    kMainDialog, DialogTemplate{WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                                0,
                                u"Scanner",
                                0,
                                0,
                                200,
                                60,
                                u"MS Shell Dlg",
                                8,
                                {
                                    {kButtonClass, IDOK, u"Scan", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 80, 40, 50, 14},
                                    {kButtonClass, IDCANCEL, u"Close", WS_TABSTOP, 0, 140, 40, 50, 14},
                                }});

// The messages the application's manager receives from the source.
struct Notice {
    TW_UINT32 from;
    TW_UINT32 to;
    TW_UINT32 dg;
    TW_UINT16 dat;
    TW_UINT16 msg;
    bool noData;
};

std::vector<Notice>& Notices()
{
    static std::vector<Notice> notices;
    return notices;
}

TW_UINT16 RecordingDSMEntry(pTW_IDENTITY origin, pTW_IDENTITY destination, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                            TW_MEMREF data)
{
    Notices().push_back(Notice{origin ? TW_UINT32{origin->Id} : 0u, destination ? TW_UINT32{destination->Id} : 0u, dg,
                               dat, msg, data == nullptr});
    return TWRC_SUCCESS;
}

class Source : public Trellis::testing::XferTestSource {
public:
    bool BeginAcquisition(TW_IMAGEINFO* info) override
    {
        if (ThrowOnAcquire)
            throw std::runtime_error("device gone");
        return Accept && XferTestSource::BeginAcquisition(info);
    }
    bool Accept = true;
    bool ThrowOnAcquire = false;
};

// A derived dialog as the main dialog is one: it records which handlers
// ran and leaves the rest to the base.
class MainDialog : public Trellis::CTWAINUIDialog {
public:
    MainDialog(CTWAINDataSource* source, bool setupOnly)
    {
        DataSource = source;
        SetupOnly = setupOnly;
        m_nIDTemplate = kMainDialog;
    }
    std::vector<std::string> Calls;

protected:
    void OnOK() override
    {
        Calls.push_back("OnOK");
        CTWAINUIDialog::OnOK();
    }
    void OnCancel() override
    {
        Calls.push_back("OnCancel");
        CTWAINUIDialog::OnCancel();
    }
};

class TWAINUIDialogTest : public ::testing::Test {
protected:
    void SetUp() override { Open(); }
    void TearDown() override { Trellis::SetDSMEntryPoint(nullptr); }

    // A new source, opened by the application and handed the manager's entry.
    void Open()
    {
        Notices().clear();
        ResetUiScript();
        source = std::make_unique<Source>();
        source->Init(nullptr);
        TW_ENTRYPOINT entry{};
        entry.Size = sizeof entry;
        entry.DSM_Entry = &RecordingDSMEntry;
        ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry));
        TW_IDENTITY assigned = source->GetIdentity();
        assigned.Id = 77;
        ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    }

    int Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data)
    {
        return source->Dispatch(&app, dg, dat, msg, data);
    }

    // The source as the application leaves it when it shows the dialog.
    void Enable(bool setupOnly)
    {
        TW_USERINTERFACE ui{};
        ui.ShowUI = TRUE;
        ASSERT_EQ(TWRC_SUCCESS,
                  Call(DG_CONTROL, DAT_USERINTERFACE, setupOnly ? MSG_ENABLEDSUIONLY : MSG_ENABLEDS, &ui));
        Notices().clear(); // enabling may itself notify
    }

    bool SettingsSaved()
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Test Maker\\Test Scanner\\5.0", 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return false;
        char name[256];
        DWORD length = sizeof name;
        const bool any = RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        RegCloseKey(key);
        return any;
    }

    std::vector<TW_UINT16> Messages() const
    {
        std::vector<TW_UINT16> messages;
        for (const Notice& notice : Notices()) {
            EXPECT_EQ(77u, notice.from);
            EXPECT_EQ(42u, notice.to);
            EXPECT_EQ(TW_UINT32{DG_CONTROL}, notice.dg);
            EXPECT_EQ(DAT_NULL, notice.dat);
            EXPECT_TRUE(notice.noData);
            messages.push_back(notice.msg);
        }
        return messages;
    }

    plat::testing::TempSystemRoot root;
    std::unique_ptr<Source> source;
    TW_IDENTITY app = [] {
        TW_IDENTITY identity{};
        identity.Id = 42;
        return identity;
    }();
};

TEST_F(TWAINUIDialogTest, EachUserActionSendsItsNotificationAndLeavesTheDialogOpen)
{
    struct Case {
        const char* what;
        bool setupOnly;
        bool accept;
        std::function<bool(HWND)> act;
        const char* handler;
        std::vector<TW_UINT16> sent;
        bool saved;
        TW_INT32 state;
    };
    const auto ok = [](HWND dialog) { return Click(GetDlgItem(dialog, IDOK)); };
    const auto cancel = [](HWND dialog) { return Click(GetDlgItem(dialog, IDCANCEL)); };
    const auto closeBox = [](HWND dialog) {
        SendMessageW(dialog, WM_CLOSE, 0, 0);
        return true;
    };
    const std::vector<Case> cases = {
        {"OK scans", false, true, ok, "OnOK", {MSG_XFERREADY}, true, 6},
        {"Enter scans", false, true, PressEnter, "OnOK", {MSG_XFERREADY}, true, 6},
        {"OK refused by the source", false, false, ok, "OnOK", {}, false, 5},
        {"OK in setup-only mode", true, true, ok, "OnOK", {MSG_CLOSEDSOK}, true, 5},
        {"Enter in setup-only mode", true, false, PressEnter, "OnOK", {MSG_CLOSEDSOK}, true, 5},
        {"Cancel", false, true, cancel, "OnCancel", {MSG_CLOSEDSREQ}, false, 5},
        {"Esc", false, true, PressEscape, "OnCancel", {MSG_CLOSEDSREQ}, false, 5},
        {"close box", false, true, closeBox, "OnCancel", {MSG_CLOSEDSREQ}, false, 5},
        {"close box in setup-only mode", true, true, closeBox, "OnCancel", {MSG_CLOSEDSREQ}, false, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plat::testing::TempSystemRoot caseRoot;
        Open();
        Enable(c.setupOnly);
        source->Accept = c.accept;
        MainDialog dialog(source.get(), c.setupOnly);
        ASSERT_TRUE(dialog.Create(kMainDialog));
        const HWND hwnd = dialog.m_hWnd;
        ASSERT_TRUE(c.act(hwnd));
        EXPECT_EQ(dialog.Calls, std::vector<std::string>{c.handler});
        EXPECT_EQ(Messages(), c.sent);
        EXPECT_EQ(SettingsSaved(), c.saved);
        EXPECT_EQ(source->GetState(), c.state);
        EXPECT_TRUE(IsWindow(hwnd));
        EXPECT_TRUE(IsWindowVisible(hwnd));
        EXPECT_TRUE(IsWindowEnabled(hwnd));
    }
}

TEST_F(TWAINUIDialogTest, ModalDialogEndsOnlyWhenTheApplicationEndsIt)
{
    Enable(false);
    MainDialog dialog(source.get(), false);
    ScriptModalDialog([&](HWND hwnd) {
        EXPECT_TRUE(PressEscape(hwnd));
        EXPECT_TRUE(Click(GetDlgItem(hwnd, IDOK)));
        // Nothing above ended the dialog; the application's answer does.
        EXPECT_TRUE(IsWindow(hwnd));
        EndDialog(hwnd, IDABORT);
    });
    EXPECT_EQ(dialog.DoModal(), IDABORT);
    EXPECT_EQ(dialog.Calls, (std::vector<std::string>{"OnCancel", "OnOK"}));
    EXPECT_EQ(Messages(), (std::vector<TW_UINT16>{MSG_CLOSEDSREQ, MSG_XFERREADY}));
}

// Cancel asks to close until the application begins taking the images
// ready: the acquisition then ends with it. From the first transfer on it
// is held, as OK is once images are ready.
TEST_F(TWAINUIDialogTest, CancelAsksToCloseUntilTheFirstTransferAndIsHeldFromThen)
{
    struct Case {
        const char* what;
        int transfers; // transfers begun before the user acts
        bool endFirst; // the application ended the first one (MSG_ENDXFER)
        std::function<bool(HWND)> act;
        std::vector<TW_UINT16> sent;
        TW_INT32 state;
    };
    const auto cancel = [](HWND dialog) { return Click(GetDlgItem(dialog, IDCANCEL)); };
    const auto closeBox = [](HWND dialog) { return SendMessageW(dialog, WM_CLOSE, 0, 0) == 0; };
    const auto ok = [](HWND dialog) { return Click(GetDlgItem(dialog, IDOK)); };
    const std::vector<Case> cases = {
        {"Cancel with images ready", 0, false, cancel, {MSG_CLOSEDSREQ}, 5},
        {"Esc with images ready", 0, false, PressEscape, {MSG_CLOSEDSREQ}, 5},
        {"close box with images ready", 0, false, closeBox, {MSG_CLOSEDSREQ}, 5},
        {"Cancel during the first transfer", 1, false, cancel, {}, 7},
        {"Esc between two transfers", 1, true, PressEscape, {}, 6},
        {"OK with images ready", 0, false, ok, {}, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plat::testing::TempSystemRoot caseRoot;
        Open();
        Enable(false);
        source->Pending = 2;
        MainDialog dialog(source.get(), false);
        ASSERT_TRUE(dialog.Create(kMainDialog));
        ASSERT_TRUE(Click(GetDlgItem(dialog.m_hWnd, IDOK)));
        for (int i = 0; i < c.transfers; ++i) {
            TW_HANDLE image = nullptr;
            ASSERT_EQ(TWRC_XFERDONE, Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image));
            Trellis::TWAINFreeHandle(image);
        }
        if (c.endFirst) {
            TW_PENDINGXFERS pending{};
            ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
            ASSERT_EQ(pending.Count, 1);
        }
        Notices().clear();
        source->Log.clear();
        dialog.Calls.clear();

        EXPECT_TRUE(c.act(dialog.m_hWnd));
        EXPECT_EQ(Messages(), c.sent);
        EXPECT_EQ(source->GetState(), c.state);
        // The acquisition the request gives up is stopped on the way.
        const bool stopped = std::find(source->Log.begin(), source->Log.end(), "stop") != source->Log.end();
        EXPECT_EQ(stopped, c.state == 5);
        EXPECT_TRUE(IsWindowVisible(dialog.m_hWnd));
    }
}

TEST_F(TWAINUIDialogTest, FailuresStayInsideTheDialog)
{
    Enable(false);
    source->ThrowOnAcquire = true;
    MainDialog dialog(source.get(), false);
    ASSERT_TRUE(dialog.Create(kMainDialog));
    const size_t thrownBefore = HandlerExceptionCount();
    EXPECT_TRUE(PressEnter(dialog.m_hWnd));
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(SettingsSaved());
    // The user may press OK again, and this time the source accepts.
    source->ThrowOnAcquire = false;
    EXPECT_TRUE(Click(GetDlgItem(dialog.m_hWnd, IDOK)));
    EXPECT_EQ(Messages(), std::vector<TW_UINT16>{MSG_XFERREADY});
    EXPECT_EQ(HandlerExceptionCount(), thrownBefore);

    // A dialog without its source does nothing at all.
    MainDialog orphan(nullptr, false);
    ASSERT_TRUE(orphan.Create(kMainDialog));
    Notices().clear();
    EXPECT_TRUE(PressEnter(orphan.m_hWnd));
    EXPECT_TRUE(PressEscape(orphan.m_hWnd));
    SendMessageW(orphan.m_hWnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Notices().empty());
    EXPECT_TRUE(IsWindow(orphan.m_hWnd));
    EXPECT_EQ(HandlerExceptionCount(), thrownBefore);
}

} // namespace
