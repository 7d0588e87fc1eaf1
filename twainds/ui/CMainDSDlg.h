// The data source's own user interface: one modeless, tabbed dialog that
// hosts the settings pages in its tab control, shows the scanner's status
// line (refreshed twice a second) and turns OK ("Scan") and Cancel
// ("Done") into the application's notifications through its base.
#pragma once

#include "platform/ui/CDialog.h"
#include "themeddlg/CThemedDlg.h"
#include "twainds/ui/CTWAINUIDialog.h"

#include <string>
#include <vector>

class CQBK24DataSource;
class CPropPageScanSettings;
class CPropPageImageEnhancement;
class CPropPageDocumentSettings;
class CPropPageAbout;
class CPropPageProfiles;

class CMainDSDlg : public Trellis::CTWAINUIDialog, public CThemedDlg {
public:
    CMainDSDlg(CQBK24DataSource* dataSource, bool setupOnly);
    ~CMainDSDlg() override;

    // The status line's text (UTF-8).
    void SetStatusText(const std::string& text);
    // The Cancel button reads "Done"; nothing when there is no such button.
    void ShowDoneButton();

    // The pages, owned; a page that could not be built stays null and has
    // no tab.
    CPropPageProfiles* ProfilesPage = nullptr;
    CPropPageScanSettings* ScanSettingsPage = nullptr;
    CPropPageImageEnhancement* ImageEnhancementPage = nullptr;
    CPropPageDocumentSettings* DocumentSettingsPage = nullptr;
    CPropPageAbout* AboutPage = nullptr;
    UINT_PTR StatusTimer = 0;
    CTabCtrl Tabs;
    CStatic StatusLine;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnTabSelChange();

private:
    CQBK24DataSource* Source() const;
    // Creates a constructed page in the tab control at `area` and gives it
    // the next tab; false when its window could not be made.
    bool AddPage(CDialog& page, UINT templateId, UINT captionId, const RECT& area, int& position);
    // Every page slot with the caption id that names its tab, in member
    // order.
    struct PageSlot {
        CDialog* page;
        UINT captionId;
    };
    std::vector<PageSlot> PageSlots() const;
};
