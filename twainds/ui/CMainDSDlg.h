// The settings dialog as the data source drives it during a scan: its
// status line and its Done button.
#pragma once

#include "platform/windows.h"

#include <string>

class CMainDSDlg {
public:
    virtual ~CMainDSDlg() = default;
    virtual HWND GetSafeHwnd() const = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // The scan is over: the dialog offers Done.
    virtual void ShowDoneButton() = 0;
};
