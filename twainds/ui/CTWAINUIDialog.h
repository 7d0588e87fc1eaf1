// The dialog base of a data source's main dialog: it knows its data source
// and whether the application asked for setup only, and turns the user's
// OK, Cancel and close into the notification the application is owed. It
// never ends the dialog itself; the application answers the notification
// (by starting transfers or by disabling the source, which destroys the
// dialog).
#pragma once

#include "platform/ui/CDialog.h"

namespace Trellis {

class CTWAINDataSource;

class CTWAINUIDialog : public CDialog {
public:
    // The template id comes later, when the window is made; the derived
    // dialog's constructor fills in the two members.
    CTWAINUIDialog() = default;

    CTWAINDataSource* DataSource = nullptr; // not owned
    bool SetupOnly = false;                 // enabled with MSG_ENABLEDSUIONLY

protected:
    // OK button and Enter: MSG_CLOSEDSOK in setup-only mode, otherwise
    // MSG_XFERREADY once the source accepts the acquisition.
    void OnOK() override;
    // Cancel button, Esc, and the close box: MSG_CLOSEDSREQ.
    void OnCancel() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

} // namespace Trellis
