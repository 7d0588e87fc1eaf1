#include "twainds/ui/CTWAINUIDialog.h"

#include "twainfw/CTWAINDataSource.h"

namespace Trellis {

void CTWAINUIDialog::OnOK()
{
    if (!DataSource)
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
    if (!DataSource)
        return;
    // Nothing may leave through the dialog procedure.
    try {
        DataSource->SignalCloseDSRequest();
    } catch (...) {
    }
}

BOOL CTWAINUIDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_CLOSE) {
        OnCancel();
        *pResult = 0;
        return TRUE;
    }
    return CDialog::OnWndMsg(message, wParam, lParam, pResult);
}

} // namespace Trellis
