#include "twainds/ui/CTWAINUIDialog.h"

#include "twainfw/CTWAINDataSource.h"

namespace Trellis {

void CTWAINUIDialog::Show(bool visible)
{
    if (m_hWnd)
        ShowWindow(visible ? SW_SHOW : SW_HIDE);
}

void CTWAINUIDialog::Destroy() { DestroyWindow(); }

namespace {

// How long an application's idle call waits for the source's windows when
// nothing is waiting for them.
constexpr DWORD kIdleWaitMs = 50;

// Runs what waits for the thread's windows (the display's input among it),
// after waiting at most kIdleWaitMs for something to come.
void RunWindowMessages()
{
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kIdleWaitMs, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam)); // the application's, not ours
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

bool CTWAINUIDialog::PreTranslateMessage(const void* message)
{
    if (!m_hWnd)
        return false;
    if (!message) {
        // An application with no message loop for the source's windows (a
        // Linux application) passes no event: the source runs its windows
        // here. The dialog may be gone afterwards (the application can
        // disable the source from a notification); nothing of it is used.
        RunWindowMessages();
        return false;
    }
    return IsDialogMessageW(m_hWnd, static_cast<LPMSG>(const_cast<void*>(message))) != FALSE;
}

void CTWAINUIDialog::Dispose()
{
    if (m_handlerDepth > 0) {
        m_disposePending = true;
        return;
    }
    delete this;
}

bool CTWAINUIDialog::AcquisitionInHand() const { return DataSource && DataSource->GetState() >= 6; }

bool CTWAINUIDialog::TransferInProgress() const { return DataSource && DataSource->TransfersBegun(); }

void CTWAINUIDialog::OnOK()
{
    if (!DataSource || AcquisitionInHand())
        return;
    // A refusal or failure leaves the dialog as it is: the user may press
    // OK again.
    try {
        if (SetupOnly)
            DataSource->SignalCloseDSOK();
        else
            DataSource->SignalXferReady();
    } catch (...) {
    }
}

void CTWAINUIDialog::OnCancel()
{
    if (!DataSource || TransferInProgress())
        return;
    // Nothing may leave through the dialog procedure.
    try {
        // Images ready and none taken: the acquisition ends as MSG_RESET
        // would end it, so nothing of it outlives the request.
        if (AcquisitionInHand())
            DataSource->StopAcquisition();
        DataSource->SignalCloseDSRequest();
    } catch (...) {
    }
}

BOOL CTWAINUIDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    ++m_handlerDepth;
    BOOL handled = TRUE;
    // Nothing a handler throws leaves the dialog procedure.
    try {
        if (message == WM_CLOSE) {
            OnCancel();
            *pResult = 0;
        } else {
            handled = CDialog::OnWndMsg(message, wParam, lParam, pResult);
        }
    } catch (...) {
        *pResult = 0;
    }
    if (--m_handlerDepth == 0 && m_disposePending)
        delete this; // nothing of the object is touched after this
    return handled;
}

} // namespace Trellis
