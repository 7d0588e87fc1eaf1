// The settings dialog as an application opens it (MSG_ENABLEDS with the
// user interface) over an opened data source, with the headless window
// model standing in for a display and a clean script of answers. The user
// picks tabs, clicks, types and drags through UserActions.h.
#pragma once

#include "platform/ui/Display.h"
#include "platform/ui/UiScript.h"
#include "platform/ui/UserActions.h"
#include "twainds/testing/OpenSourceTest.h"
#include "twainds/ui/CMainDSDlg.h"
#include "twainds/ui/CPropPageScanSettings.h"
#include "twainds/ui/DialogIds.h"

#include <string>
#include <vector>

namespace qbk24::testing {

// What a window shows: its text, and whether it is enabled and checked.
inline std::u16string WindowText(HWND window)
{
    std::u16string text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, u'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

inline std::vector<std::u16string> ComboTexts(HWND combo)
{
    std::vector<std::u16string> texts;
    const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::u16string text(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0)),
                            u'\0');
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        texts.push_back(text);
    }
    return texts;
}

inline std::vector<LPARAM> ComboData(HWND combo)
{
    std::vector<LPARAM> data;
    const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        data.push_back(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
    return data;
}

// The text of the selected entry, or "" without one.
inline std::u16string ComboSelection(HWND combo)
{
    const auto selected = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    if (selected < 0)
        return {};
    return ComboTexts(combo)[static_cast<size_t>(selected)];
}

// The tab whose page has this caption string (its item data), or -1.
inline int TabOfCaption(HWND tabs, UINT captionId)
{
    const auto count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TCITEMW item{};
        item.mask = TCIF_PARAM;
        SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        if (item.lParam == static_cast<LPARAM>(captionId))
            return i;
    }
    return -1;
}

class SettingsDialogTest : public OpenSourceTest {
protected:
    void SetUp() override
    {
        OpenSourceTest::SetUp();
        if (HasFatalFailure())
            return;
        ShowDialog();
    }

    void TearDown() override
    {
        TW_USERINTERFACE ui{};
        m_source.Dispatch(&m_app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        OpenSourceTest::TearDown();
    }

    // MSG_ENABLEDS with the user interface.
    void ShowDialog()
    {
        TW_USERINTERFACE ui{};
        ui.ShowUI = 1;
        ASSERT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui))
            << Status();
        m_dialog = m_source.MainDialog;
        ASSERT_NE(m_dialog, nullptr);
    }

    // The application closes the dialog and opens it again.
    void Reopen()
    {
        TW_USERINTERFACE ui{};
        ASSERT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
        ShowDialog();
    }

    // Picks the tab whose page has this caption string; false without one.
    bool ChooseTab(UINT captionId)
    {
        const int tab = TabOfCaption(m_dialog->Tabs.m_hWnd, captionId);
        return tab >= 0 && plat::ui::ChooseTab(m_dialog->Tabs.m_hWnd, tab);
    }

    // Shows the page afresh, as a user coming back from another tab sees it.
    void ShowPage(UINT captionId)
    {
        ASSERT_TRUE(ChooseTab(captionId == IDS_TAB_SCAN_SETTINGS ? IDS_TAB_DOCUMENT_SETTINGS : IDS_TAB_SCAN_SETTINGS));
        ASSERT_TRUE(ChooseTab(captionId));
    }

    // The pixel type as the user picks it on the scan settings page.
    void ChooseMode(int modeButton)
    {
        ASSERT_TRUE(ChooseTab(IDS_TAB_SCAN_SETTINGS));
        ASSERT_TRUE(plat::ui::Click(GetDlgItem(m_dialog->ScanSettingsPage->m_hWnd, modeButton)));
    }

    plat::ui::ScopedHeadlessWindows m_headless;
    plat::ui::ScopedUiScript m_script;
    CMainDSDlg* m_dialog = nullptr;
};

} // namespace qbk24::testing
