// The small window the data source shows while images are transferred:
// the transfer method, the image in transfer, how far the current page has
// come, and an "Abort Scan" button. The transfer runs inside the
// application's call, so the dialog sees its own messages only when the
// data source updates it; the abort request is a flag the source polls.
#pragma once

#include "platform/ui/CDialog.h"
#include "themeddlg/CThemedDlg.h"

class CQBK24DataSource;

class CScanProgressDlg : public CDialog, public CThemedDlg {
public:
    explicit CScanProgressDlg(CQBK24DataSource* dataSource);
    ~CScanProgressDlg() override;

    // The bar and the image line from the source's counts, then a moment
    // for the dialog's own messages (Abort Scan among them).
    void UpdateProgress();
    // Gives the parent (the settings dialog) back its input, then goes.
    BOOL DestroyWindow() override;

    // The bar's percentage for `received` of `total` lines: 0 for an
    // unknown total, never above 100 when more lines arrive than announced.
    static int Percentage(LONG received, LONG total);

    bool Cancelled = false;       // set by Abort Scan; never cleared
    CQBK24DataSource* DataSource; // not owned
    CWnd ProgressBar;
    CStatic MethodLine;
    CStatic ImageLine;
    // What the bar and the image line show now; -1 until they show anything.
    int LastPercentage = -1;
    int LastImageNumber = -1;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    // Abort Scan and Esc: the window stays until the source destroys it.
    void OnCancel() override;
    void OnOK() override {}

private:
    void PumpMessages();
};
