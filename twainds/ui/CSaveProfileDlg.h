// The small modal dialog that asks for the name under which the profiles
// page saves the current settings. It only collects the text: whether the
// name may be used is the page's to decide.
#pragma once

#include "platform/ui/CDialog.h"
#include "themeddlg/CThemedDlg.h"

#include <string>

class CSaveProfileDlg : public CDialog, public CThemedDlg {
public:
    // The parent's string table and templates are the dialog's.
    CSaveProfileDlg(CWnd* parent, HINSTANCE resources);

    // The edit's text as typed (not trimmed) after IDOK; what the edit shows
    // when the dialog opens.
    std::u16string ProfileName;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
};
