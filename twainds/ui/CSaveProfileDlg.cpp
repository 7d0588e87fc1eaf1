#include "twainds/ui/CSaveProfileDlg.h"

#include "platform/ui/Theme.h"
#include "twainds/ui/DialogIds.h"

CSaveProfileDlg::CSaveProfileDlg(CWnd* parent, HINSTANCE resources) : CDialog(IDD_SAVE_PROFILE, parent, resources) {}

BOOL CSaveProfileDlg::OnInitDialog()
{
    EnableThemeDialogTexture(m_hWnd, ETDT_ENABLETAB);
    return CDialog::OnInitDialog();
}

void CSaveProfileDlg::DoDataExchange(CDataExchange* pDX) { DDX_Text(pDX, IDC_PROFILE_NAME, ProfileName); }
