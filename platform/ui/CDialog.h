// Dialog classes in the shape of the application framework the data
// source's dialogs are written against: a window object (`CWnd`) bound to
// its window, and `CDialog`, which runs a dialog template modally
// (`DoModal`) or modelessly (`Create`) and turns the dialog's messages into
// virtual handlers. A class's message map is its override of `OnWndMsg`
// (or of the handler it needs), calling the base for what it leaves alone.
// Data exchange (`DoDataExchange` with `DDX_Text`) moves text between
// controls and members: to the controls in `OnInitDialog`, back in `OnOK`.
#pragma once

#include "platform/ui/wingdi.h"
#include "platform/ui/winuser.h"

#include <string>

class CDataExchange {
public:
    CDataExchange(HWND dialog, BOOL saveAndValidate) : m_hDlg(dialog), m_bSaveAndValidate(saveAndValidate) {}
    HWND m_hDlg;
    BOOL m_bSaveAndValidate; // TRUE: controls to members
};

// The whole text of control `id`, in either direction.
void DDX_Text(CDataExchange* pDX, int nIDC, std::u16string& value);
void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value); // UTF-8

// Registers the rich-edit 2.0 control classes ("RichEdit20W",
// "RichEdit20A"): edits here, as nothing formats their text.
BOOL AfxInitRichEdit2();

class CWnd;
// Binds control `id` to a wrapper object once (the control keeps its own
// procedure).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control);

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The object bound to a window by this layer, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL SetWindowText(LPCWSTR text) { return ::SetWindowTextW(m_hWnd, text); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
    {
        return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
    }
    // Changes the extended style: `remove` bits off, `add` bits on.
    BOOL ModifyStyleEx(DWORD remove, DWORD add);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC proc = nullptr)
    {
        return ::SetTimer(m_hWnd, nIDEvent, nElapse, proc);
    }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
    // The box's owner is this window.
    int MessageBox(LPCWSTR text, LPCWSTR caption = nullptr, UINT type = MB_OK);
    virtual BOOL DestroyWindow();
    // Centres the window over its owner (or parent); without one, leaves it.
    void CenterWindow();

    HWND m_hWnd = nullptr;

protected:
    // Binds the object to its window for FromHandlePermanent.
    void Attach(HWND hWnd);
    void Detach();

    friend void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control);
};

class CStatic : public CWnd {};
class CButton : public CWnd {};
class CComboBox : public CWnd {};

class CTabCtrl : public CWnd {
public:
    // The new item's index, or -1.
    LONG InsertItem(UINT mask, int item, LPCWSTR text, LPARAM lParam);
    int GetCurSel() const;
    BOOL GetItem(int item, TCITEMW* tcItem) const;
    // The item's rectangle; for an item that does not exist (yet), the
    // header row's height with no width.
    BOOL GetItemRect(int item, LPRECT rect) const;
};

class CDialog : public CWnd {
public:
    // The template is looked up in `resources` (null: the program).
    explicit CDialog(UINT nIDTemplate = 0, CWnd* pParentWnd = nullptr, HINSTANCE resources = nullptr);
    ~CDialog() override;

    // Modal: IDOK, IDCANCEL or EndDialog's value; -1 when the dialog cannot
    // be made.
    virtual INT_PTR DoModal();
    // Modeless; TRUE once the window exists and is initialised. A dialog
    // whose OnInitDialog threw is destroyed again and gives FALSE.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    // The same under a window that has no object of this layer (an
    // application's window).
    BOOL CreateOwned(UINT nIDTemplate, HWND owner);
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    UINT m_nIDHelp = 0;

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange*) {}

    // The message map: TRUE when the message was handled, with its answer
    // in *pResult. The base maps WM_INITDIALOG, WM_COMMAND (IDOK and
    // IDCANCEL clicks), WM_NOTIFY, WM_TIMER, WM_SETFOCUS, WM_HSCROLL,
    // WM_COMPAREITEM, WM_DRAWITEM and WM_DESTROY to the handlers below.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // These run before the default processing, which follows them.
    virtual void OnTimer(UINT_PTR) {}
    virtual void OnSetFocus(HWND /*oldFocus*/) {}
    virtual void OnHScroll(UINT /*code*/, UINT /*position*/, HWND /*scrollBar*/) {}
    virtual void OnDestroy() {}
    // Owner-drawn controls: the order of two entries (negative: the first
    // goes before the second), and the drawing of one entry.
    virtual int OnCompareItem(int /*id*/, LPCOMPAREITEMSTRUCT) { return 0; }
    virtual void OnDrawItem(int /*id*/, LPDRAWITEMSTRUCT) {}
    // After the window is gone.
    virtual void PostNcDestroy() {}

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    HINSTANCE m_hInstResource;

private:
    static INT_PTR DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The new window, or null when there is none or its initialisation
    // threw (that window is destroyed).
    HWND Initialised(HWND hwnd);

    // Set while WM_INITDIALOG is handled; still set after it when a
    // handler threw (the window layer stops the exception).
    bool m_initialising = false;
};
