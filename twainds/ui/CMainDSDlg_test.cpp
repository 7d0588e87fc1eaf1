// The settings dialog's tabs: one per page, in the order of the pages'
// templates, each showing its page alone.
#include "platform/ui/IconPicture.h"
#include "platform/ui/Icons.h"
#include "platform/ui/UiWindow.h"
#include "twainds/testing/SettingsDialogTest.h"
#include "twainds/ui/CPropPageAbout.h"
#include "twainds/ui/CPropPageDocumentSettings.h"
#include "twainds/ui/CPropPageImageEnhancement.h"
#include "twainds/ui/CPropPageProfiles.h"
#include "twainds/ui/CPropPageScanSettings.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

using qbk24::testing::SettingsDialogTest;

// The caption ids the tabs carry, in tab order.
std::vector<LPARAM> TabCaptions(HWND tabs)
{
    std::vector<LPARAM> captions;
    const auto count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TCITEMW item{};
        item.mask = TCIF_PARAM;
        SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        captions.push_back(item.lParam);
    }
    return captions;
}

TEST_F(SettingsDialogTest, TabsFollowThePagesAndShowOnePageAtATime)
{
    EXPECT_EQ(TabCaptions(m_dialog->Tabs.m_hWnd),
              (std::vector<LPARAM>{IDS_TAB_CONFIGURATIONS, IDS_TAB_SCAN_SETTINGS, IDS_TAB_DOCUMENT_SETTINGS,
                                   IDS_TAB_IMAGE_ENHANCEMENTS, IDS_TAB_ABOUT}));
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

// The window's icon statics, in template order.
std::vector<HWND> Icons(HWND parent)
{
    std::vector<HWND> icons;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (plat::ui::ControlKindOf(child) == plat::ui::ControlKind::Static &&
            (plat::ui::WindowStyle(child) & SS_TYPEMASK) == SS_ICON)
            icons.push_back(child);
    }
    return icons;
}

// The library's icons: the scanner beside the status line, and beside each
// colour mode's radio button the sheet of that mode, 16 pixels square.
TEST_F(SettingsDialogTest, TheDialogShowsTheScannerAndEachModesSheet)
{
    const auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(m_dialog->m_hWnd, GWLP_HINSTANCE));
    const std::vector<HWND> main = Icons(m_dialog->m_hWnd);
    ASSERT_EQ(main.size(), 1u);
    EXPECT_EQ(SendMessageW(main[0], STM_GETICON, 0, 0),
              reinterpret_cast<LRESULT>(LoadIconW(module, MAKEINTRESOURCEW(IDI_SCANNER))));
    plat::ui::RgbaImage picture;
    ASSERT_TRUE(plat::ui::IconPicture(reinterpret_cast<HICON>(SendMessageW(main[0], STM_GETICON, 0, 0)), &picture));
    EXPECT_EQ(picture.width, 32);

    HWND page = m_dialog->ScanSettingsPage->m_hWnd;
    const std::vector<HWND> modes = Icons(page);
    const std::pair<int, WORD> beside[] = {
        {IDC_MODE_BW, IDI_MODE_BLACK_AND_WHITE}, {IDC_MODE_GRAY, IDI_MODE_GRAYSCALE}, {IDC_MODE_COLOR, IDI_MODE_COLOR}};
    ASSERT_EQ(modes.size(), std::size(beside));
    for (size_t i = 0; i < modes.size(); ++i) {
        SCOPED_TRACE(beside[i].first);
        const auto icon = reinterpret_cast<HICON>(SendMessageW(modes[i], STM_GETICON, 0, 0));
        plat::ui::IconImage shown{};
        plat::ui::IconImage wanted{};
        ASSERT_TRUE(plat::ui::GetIconImage(icon, &shown));
        ASSERT_TRUE(plat::ui::GetIconImage(
            static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(beside[i].second), IMAGE_ICON, 16, 16, LR_SHARED)),
            &wanted));
        EXPECT_EQ(shown.imageId, wanted.imageId);
        ASSERT_TRUE(plat::ui::IconPicture(icon, &picture));
        EXPECT_EQ(picture.width, 16);
        RECT iconRect{};
        RECT radioRect{};
        GetWindowRect(modes[i], &iconRect);
        GetWindowRect(GetDlgItem(page, beside[i].first), &radioRect);
        EXPECT_LT(iconRect.right, radioRect.left);
        EXPECT_LT(iconRect.top, radioRect.bottom);
        EXPECT_GT(iconRect.bottom, radioRect.top);
    }
}

// A page whose reads fail while it starts is left out: the other pages'
// tabs follow one another with no gap, the first of them is on view, and
// each tab still shows its own page.
TEST_F(SettingsDialogTest, APageThatThrowsWhileBeingBuiltGetsNoTabAndLeavesNoGap)
{
    struct Case {
        const char* name;
        bool refuseDoubleFeedActions;
        bool refuseSupportedSizes;
        std::vector<LPARAM> tabs;
    };
    const Case cases[] = {
        {"document settings",
         true,
         false,
         {IDS_TAB_CONFIGURATIONS, IDS_TAB_SCAN_SETTINGS, IDS_TAB_IMAGE_ENHANCEMENTS, IDS_TAB_ABOUT}},
        {"profiles and scan settings, the first two",
         false,
         true,
         {IDS_TAB_DOCUMENT_SETTINGS, IDS_TAB_IMAGE_ENHANCEMENTS, IDS_TAB_ABOUT}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_source.RefuseDoubleFeedActions = c.refuseDoubleFeedActions;
        m_source.RefuseSupportedSizes = c.refuseSupportedSizes;
        ASSERT_NO_FATAL_FAILURE(Reopen());
        m_source.RefuseDoubleFeedActions = false;
        m_source.RefuseSupportedSizes = false;

        EXPECT_EQ(TabCaptions(m_dialog->Tabs.m_hWnd), c.tabs);
        const std::pair<LPARAM, CDialog*> slots[] = {
            {IDS_TAB_CONFIGURATIONS, m_dialog->ProfilesPage},
            {IDS_TAB_SCAN_SETTINGS, m_dialog->ScanSettingsPage},
            {IDS_TAB_DOCUMENT_SETTINGS, m_dialog->DocumentSettingsPage},
            {IDS_TAB_IMAGE_ENHANCEMENTS, m_dialog->ImageEnhancementPage},
            {IDS_TAB_ABOUT, m_dialog->AboutPage},
        };
        const auto hasTab = [&c](LPARAM caption) {
            return std::find(c.tabs.begin(), c.tabs.end(), caption) != c.tabs.end();
        };
        for (const auto& [caption, page] : slots) {
            EXPECT_EQ(page != nullptr, hasTab(caption)) << caption;
            if (page) {
                EXPECT_EQ(IsWindowVisible(page->m_hWnd) != FALSE, caption == c.tabs.front()) << caption;
            }
        }
        for (const LPARAM chosen : c.tabs) {
            ASSERT_TRUE(ChooseTab(static_cast<UINT>(chosen)));
            for (const auto& [caption, page] : slots) {
                if (page) {
                    EXPECT_EQ(IsWindowVisible(page->m_hWnd) != FALSE, caption == chosen) << chosen << " " << caption;
                }
            }
        }
    }
}

// Enter in a custom-size edit takes the entry before OK acts; an entry the
// source refuses ends on the page (the width in force shown again) and
// nothing leaves the dialog's procedure.
TEST_F(SettingsDialogTest, AnEntryRefusedWhenEnterTakesItEndsOnThePage)
{
    ASSERT_TRUE(ChooseTab(IDS_TAB_SCAN_SETTINGS));
    HWND page = m_dialog->ScanSettingsPage->m_hWnd;
    ASSERT_TRUE(plat::ui::Click(GetDlgItem(page, IDC_CUSTOM_SIZE)));
    HWND width = GetDlgItem(page, IDC_CUSTOM_WIDTH);
    const std::u16string inForce = qbk24::testing::WindowText(width);
    ASSERT_NE(inForce, u"6.00");
    ASSERT_TRUE(plat::ui::TypeText(width, u"6"));
    const size_t thrown = plat::ui::HandlerExceptionCount();
    m_source.RefuseFrames = true;
    ASSERT_TRUE(plat::ui::PressEnter(m_dialog->m_hWnd));
    m_source.RefuseFrames = false;
    EXPECT_EQ(plat::ui::HandlerExceptionCount(), thrown);
    EXPECT_EQ(qbk24::testing::WindowText(width), inForce);
}

} // namespace
