// The "About" page of the main dialog: the driver's version texts, the
// device's name and serial number, what the scanner says of itself (page
// counter, background colours, memory, firmware), read again whenever the
// page is shown or Refresh is pressed, and the link to the support site.
#pragma once

#include "twainds/ui/CSettingsPage.h"

#include <string>

class CQBK24DataSource;

// The device instance of a device interface path: the text between its
// second and third '#' (empty when there is no third).
std::string SerialNumberFromSymbolicName(const std::string& symbolicName);

class CPropPageAbout : public CSettingsPage {
public:
    explicit CPropPageAbout(CQBK24DataSource* dataSource) : CSettingsPage(dataSource) {}

protected:
    BOOL OnInitDialog() override;
    void HandleCommand(int id, WORD code) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    void RefreshPage() override { RefreshScannerInfo(); }

    void RefreshScannerInfo();
    void OnSupportLinkClick();
    void OnSupportTextClicked();

private:
    // The support text as a link control where the common controls have
    // one (6.0 and later); otherwise the text itself takes clicks.
    void SetUpSupportLink();
    void CreateSupportLink(HWND text);
    void OpenSupportPage();
    void SetTextUtf8(int id, const std::string& text);
};
