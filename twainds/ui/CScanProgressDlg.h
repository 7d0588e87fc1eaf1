// The scan-progress dialog as the data source drives it during a scan: the
// progress of the image in progress, shown while the dialog pumps its own
// messages, and the flag its Abort Scan button sets. The data source makes
// one only when a window can reach the user.
#pragma once

#include "platform/windows.h"

class CScanProgressDlg {
public:
    virtual ~CScanProgressDlg() = default;
    virtual HWND GetSafeHwnd() const = 0;
    // Shows the lines done of the current image and pumps the dialog's
    // messages, so that a press of Abort Scan is seen.
    virtual void UpdateProgress() = 0;
    virtual void DestroyWindow() = 0;

    bool AbortScan = false;
};
