// The dialog base of a data source's main dialog: it knows its data source
// and whether the application asked for setup only, and turns the user's
// OK, Cancel and close into the notification the application is owed. It
// never ends the dialog itself; the application answers the notification
// (by starting transfers or by disabling the source, which destroys the
// dialog). It is also the framework's user-interface window of the source.
#pragma once

#include "platform/ui/CDialog.h"
#include "twainfw/CTWAINWindow.h"

namespace Trellis {

class CTWAINDataSource;

class CTWAINUIDialog : public CDialog, public CTWAINWindow {
public:
    // The template id comes later, when the window is made; the derived
    // dialog's constructor fills in the two members.
    CTWAINUIDialog() = default;

    CTWAINDataSource* DataSource = nullptr; // not owned
    bool SetupOnly = false;                 // enabled with MSG_ENABLEDSUIONLY

    // The framework's window operations.
    void Show(bool visible) override;
    void Destroy() override;
    // A message of the application's loop that belongs to the dialog is
    // taken. No message (an application without a loop for the source's
    // windows) runs the windows' waiting messages for a moment instead.
    bool PreTranslateMessage(const void* message) override;
    // Deletes the dialog, or, when the source lets it go from inside one of
    // the dialog's own handlers (a Cancel seen by a pump inside the status
    // timer, answered at once by the application's MSG_DISABLEDS), as soon
    // as that handler returns.
    void Dispose() override;

protected:
    // OK button and Enter: MSG_CLOSEDSOK in setup-only mode, otherwise
    // MSG_XFERREADY once the source accepts the acquisition.
    void OnOK() override;
    // Cancel button, Esc, and the close box: MSG_CLOSEDSREQ. An acquisition
    // whose images the application has not begun to transfer ends first.
    void OnCancel() override;
    // Every message goes through here: derived dialogs override the
    // handlers, not this.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    // While images are ready (TWAIN state 6) OK does nothing: an acquisition
    // is in hand already.
    bool AcquisitionInHand() const;
    // Once the application has begun transferring them (state 7, and 6
    // between two images) the source's state belongs to the transfers:
    // Cancel then does nothing either.
    bool TransferInProgress() const;

private:
    int m_handlerDepth = 0;
    bool m_disposePending = false;
};

} // namespace Trellis
