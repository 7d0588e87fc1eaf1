// The settings dialog's tabs: one per page, in the order of the pages'
// templates, each showing its page alone.
#include "twainds/testing/SettingsDialogTest.h"
#include "twainds/ui/CPropPageAbout.h"
#include "twainds/ui/CPropPageDocumentSettings.h"
#include "twainds/ui/CPropPageImageEnhancement.h"
#include "twainds/ui/CPropPageProfiles.h"
#include "twainds/ui/CPropPageScanSettings.h"

#include <utility>

namespace {

using qbk24::testing::SettingsDialogTest;

TEST_F(SettingsDialogTest, TabsFollowThePagesAndShowOnePageAtATime)
{
    HWND tabs = m_dialog->Tabs.m_hWnd;
    std::vector<LPARAM> captions;
    const auto count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TCITEMW item{};
        item.mask = TCIF_PARAM;
        SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        captions.push_back(item.lParam);
    }
    EXPECT_EQ(captions, (std::vector<LPARAM>{IDS_TAB_CONFIGURATIONS, IDS_TAB_SCAN_SETTINGS,
                                             IDS_TAB_DOCUMENT_SETTINGS, IDS_TAB_IMAGE_ENHANCEMENTS, IDS_TAB_ABOUT}));
    // The first tab's page is the one on view when the dialog opens.
    EXPECT_TRUE(IsWindowVisible(m_dialog->ProfilesPage->m_hWnd));
    EXPECT_FALSE(IsWindowVisible(m_dialog->ScanSettingsPage->m_hWnd));
    const std::pair<UINT, CDialog*> pages[] = {
        {IDS_TAB_CONFIGURATIONS, m_dialog->ProfilesPage},
        {IDS_TAB_SCAN_SETTINGS, m_dialog->ScanSettingsPage},
        {IDS_TAB_DOCUMENT_SETTINGS, m_dialog->DocumentSettingsPage},
        {IDS_TAB_IMAGE_ENHANCEMENTS, m_dialog->ImageEnhancementPage},
        {IDS_TAB_ABOUT, m_dialog->AboutPage},
    };
    for (const auto& [caption, page] : pages) {
        ASSERT_TRUE(ChooseTab(caption));
        for (const auto& [other, otherPage] : pages)
            EXPECT_EQ(IsWindowVisible(otherPage->m_hWnd) != FALSE, other == caption) << caption << " " << other;
        EXPECT_TRUE(GetFocus() == page->m_hWnd || IsChild(page->m_hWnd, GetFocus())) << caption;
    }
}

} // namespace
