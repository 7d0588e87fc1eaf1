#include "platform/kernel/TestClock.h"
#include "platform/ui/CDialog.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiScript.h"
#include "platform/ui/UserActions.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace plat::ui;

constexpr WORD kNameDialog = 600;
constexpr int kNameEdit = 2056;
const DialogTemplateRegistrar kTemplate(
    kNameDialog,
    DialogTemplate{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                   0,
                   u"Save Configuration Setting",
                   0,
                   0,
                   243,
                   65,
                   u"MS Shell Dlg",
                   8,
                   {
                       {kStaticClass, -1, u"Name of the configuraton to save as:", SS_LEFT, 0, 7, 7, 229, 8},
                       {kEditClass, kNameEdit, u"", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 7, 20, 229, 14},
                       {kButtonClass, IDOK, u"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 123, 44, 50, 14},
                       {kButtonClass, IDCANCEL, u"Cancel", WS_TABSTOP, 0, 186, 44, 50, 14},
                   }});

// A dialog that only exchanges one edit's text with a member.
class NameDialog : public CDialog {
public:
    NameDialog() : CDialog(kNameDialog) {}
    std::u16string Name;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, kNameEdit, Name); }
};

TEST(CDialogTest, ModalDialogExchangesItsDataOnlyOnOk)
{
    ScopedUiScript script;
    NameDialog dialog;
    dialog.Name = u"Current Settings";
    std::u16string shown;
    ScriptModalDialog([&](HWND hwnd) {
        WCHAR text[64];
        GetDlgItemTextW(hwnd, kNameEdit, text, 64);
        shown = text;
        EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), &dialog);
        TypeText(GetDlgItem(hwnd, kNameEdit), u" My scans ");
        PressEnter(hwnd);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(shown, u"Current Settings");
    EXPECT_EQ(dialog.Name, u" My scans "); // exactly as typed
    EXPECT_EQ(dialog.m_hWnd, nullptr);

    // Shown again it starts with the last name; Cancel keeps it.
    ScriptModalDialog([&](HWND hwnd) {
        WCHAR text[64];
        GetDlgItemTextW(hwnd, kNameEdit, text, 64);
        shown = text;
        TypeText(GetDlgItem(hwnd, kNameEdit), u"Other");
        Click(GetDlgItem(hwnd, IDCANCEL));
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(shown, u" My scans ");
    EXPECT_EQ(dialog.Name, u" My scans ");
}

// A modeless dialog with handlers of its own, as a status window would have.
class StatusDialog : public CDialog {
public:
    StatusDialog() : CDialog(kNameDialog) {}
    std::vector<std::string> Calls;
    bool ThrowOnCancel = false;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        SetTimer(1, 500);
        Calls.push_back("init");
        return TRUE;
    }
    void OnOK() override { Calls.push_back("ok"); } // stays open
    void OnCancel() override
    {
        if (ThrowOnCancel)
            throw std::runtime_error("cancel failed");
        Calls.push_back("cancel");
    }
    void OnTimer(UINT_PTR id) override { Calls.push_back("timer " + std::to_string(id)); }
    void OnDestroy() override { Calls.push_back("destroy"); }
};

TEST(CDialogTest, ModelessDialogDispatchesToItsHandlers)
{
    plat::ScopedTestClock clock;
    StatusDialog dialog;
    ASSERT_TRUE(dialog.Create(kNameDialog));
    HWND hwnd = dialog.m_hWnd;
    ASSERT_NE(hwnd, nullptr);
    clock->Advance(500);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    PressEnter(hwnd);
    SendMessageW(hwnd, WM_CLOSE, 0, 0); // the close box is Cancel
    dialog.ThrowOnCancel = true;
    PressEscape(hwnd); // the exception stops at the dialog
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(dialog.DestroyWindow());
    EXPECT_EQ(dialog.Calls, (std::vector<std::string>{"init", "timer 1", "ok", "cancel", "destroy"}));
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
    EXPECT_EQ(dialog.m_hWnd, nullptr);

    // A dialog over an owner is centred on it and is no item of it.
    StatusDialog owner;
    ASSERT_TRUE(owner.Create(kNameDialog));
    SetWindowPos(owner.m_hWnd, nullptr, 100, 50, 0, 0, SWP_NOSIZE);
    StatusDialog over;
    ASSERT_TRUE(over.Create(kNameDialog, &owner));
    SetWindowPos(over.m_hWnd, nullptr, 0, 0, 100, 40, 0);
    over.CenterWindow();
    RECT ownerRect, overRect;
    GetWindowRect(owner.m_hWnd, &ownerRect);
    GetWindowRect(over.m_hWnd, &overRect);
    EXPECT_NEAR(overRect.left - ownerRect.left, ownerRect.right - overRect.right, 1);
    EXPECT_NEAR(overRect.top - ownerRect.top, ownerRect.bottom - overRect.bottom, 1);
    EXPECT_GT(overRect.left, ownerRect.left);
    EXPECT_EQ(GetDlgItem(owner.m_hWnd, 0), nullptr);

    // An object that goes first takes its window along.
    HWND second;
    {
        StatusDialog temporary;
        ASSERT_TRUE(temporary.Create(kNameDialog));
        second = temporary.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(second));
}

// A dialog whose initialisation stops half way.
class FailingDialog : public CDialog {
public:
    FailingDialog() : CDialog(kNameDialog) {}
    std::vector<std::string> Calls;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        throw std::runtime_error("device gone");
    }
    void OnDestroy() override { Calls.push_back("destroy"); }
};

TEST(CDialogTest, AModelessDialogWhoseInitialisationThrowsIsNotMade)
{
    StatusDialog owner;
    ASSERT_TRUE(owner.Create(kNameDialog));
    const size_t thrown = HandlerExceptionCount();
    FailingDialog failing;
    EXPECT_FALSE(failing.Create(kNameDialog, &owner));
    EXPECT_EQ(failing.m_hWnd, nullptr);
    EXPECT_EQ(failing.Calls, std::vector<std::string>{"destroy"});
    EXPECT_EQ(HandlerExceptionCount(), thrown + 1); // reported where it was stopped
    FailingDialog owned;
    EXPECT_FALSE(owned.CreateOwned(kNameDialog, owner.m_hWnd));
    EXPECT_EQ(owned.m_hWnd, nullptr);

    // The next dialog is made as usual.
    StatusDialog next;
    ASSERT_TRUE(next.Create(kNameDialog, &owner));
    EXPECT_TRUE(IsWindow(next.m_hWnd));
    EXPECT_EQ(next.Calls, std::vector<std::string>{"init"});
}

} // namespace
