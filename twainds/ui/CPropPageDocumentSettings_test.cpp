// The document settings page as the user meets it in the settings dialog:
// the detection lists with their item data, what each choice sets, the
// sensitivity trackbar and when cropping to the length can be chosen.
#include "twainds/testing/SettingsDialogTest.h"
#include "twainds/ui/CPropPageDocumentSettings.h"

#include <algorithm>

namespace {

using qbk24::testing::ComboData;
using qbk24::testing::ComboSelection;
using qbk24::testing::ComboTexts;
using Trellis::CTWAINOneValue;

class DocumentSettingsPageTest : public qbk24::testing::SettingsDialogTest {
protected:
    HWND Page() { return m_dialog->DocumentSettingsPage->m_hWnd; }
    HWND Item(int id) { return GetDlgItem(Page(), id); }
    bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }
    bool Checked(int id) { return IsDlgButtonChecked(Page(), id) == BST_CHECKED; }
    void Show() { ShowPage(IDS_TAB_DOCUMENT_SETTINGS); }
    void Choose(int combo, const std::u16string& text)
    {
        const std::vector<std::u16string> texts = ComboTexts(Item(combo));
        const auto at = std::find(texts.begin(), texts.end(), text);
        ASSERT_NE(at, texts.end()) << Utf16ToUtf8(text);
        ASSERT_TRUE(plat::ui::ChooseComboItem(Item(combo), static_cast<int>(at - texts.begin())));
    }
};

TEST_F(DocumentSettingsPageTest, TheListsOfferWhatTheDeviceDoesWithTheirTextIdsAsItemData)
{
    Show();
    EXPECT_EQ(ComboTexts(Item(IDC_DOUBLE_FEED)),
              (std::vector<std::u16string>{u"Off", u"Detect only", u"Detect and stop"}));
    EXPECT_EQ(ComboData(Item(IDC_DOUBLE_FEED)), (std::vector<LPARAM>{10262, 10264, 10263}));
    EXPECT_EQ(ComboTexts(Item(IDC_SKEW)), (std::vector<std::u16string>{u"Off", u"Detect and stop"}));
    EXPECT_EQ(ComboData(Item(IDC_SKEW)), (std::vector<LPARAM>{10258, 10259}));
    EXPECT_EQ(ComboSelection(Item(IDC_DOUBLE_FEED)), u"Off");
    EXPECT_EQ(ComboSelection(Item(IDC_SKEW)), u"Off");
    EXPECT_TRUE(Enabled(IDC_DOUBLE_FEED));
    EXPECT_TRUE(Enabled(IDC_SKEW));

    // Settings made elsewhere show on the next visit.
    m_source.DoubleFeedDetection = true;
    m_source.SetDoubleFeedActionCurrent(0);
    m_source.m_AutomaticDeskew = true;
    Show();
    EXPECT_EQ(ComboSelection(Item(IDC_DOUBLE_FEED)), u"Detect only");
    EXPECT_EQ(ComboSelection(Item(IDC_SKEW)), u"Detect and stop");
}

TEST_F(DocumentSettingsPageTest, EachChoiceSetsTheFlagAndTheAction)
{
    struct Row {
        int combo;
        const char16_t* choice;
        bool flag;
        TW_UINT16 action;
    };
    const Row rows[] = {
        {IDC_DOUBLE_FEED, u"Detect only", true, 0},     {IDC_DOUBLE_FEED, u"Off", false, 0}, // the action stays
        {IDC_DOUBLE_FEED, u"Detect and stop", true, 2}, {IDC_DOUBLE_FEED, u"Off", false, 2},
        {IDC_SKEW, u"Detect and stop", true, 2},        {IDC_SKEW, u"Off", false, 2},
    };
    Show();
    for (const Row& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.choice));
        Choose(row.combo, row.choice);
        if (row.combo == IDC_DOUBLE_FEED) {
            EXPECT_EQ(m_source.DoubleFeedDetection, row.flag);
            EXPECT_EQ(Current(CUSTCAP_DOUBLEFEEDACTION), row.action);
            // The sensitivity is there only while detection is on.
            EXPECT_EQ(Enabled(IDC_DFD_SENSITIVITY), row.flag);
            EXPECT_EQ(Enabled(IDC_DFD_LOW), row.flag);
            EXPECT_EQ(Enabled(IDC_DFD_NORMAL), row.flag);
            EXPECT_EQ(Enabled(IDC_DFD_HIGH), row.flag);
        } else {
            EXPECT_EQ(m_source.m_AutomaticDeskew, row.flag);
            EXPECT_EQ(Current(CUSTCAP_SKEWACTION), row.action);
        }
    }
}

TEST_F(DocumentSettingsPageTest, TheSensitivityIsSetWhenTheThumbIsLetGoOrAKeyMovesIt)
{
    Show();
    Choose(IDC_DOUBLE_FEED, u"Detect and stop");
    HWND trackbar = Item(IDC_DFD_SENSITIVITY);
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETRANGEMAX, 0, 0), 2);
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETPOS, 0, 0), 1);

    SendMessageW(trackbar, TBM_SETPOS, TRUE, 2);
    SendMessageW(Page(), WM_HSCROLL, MAKELONG(TB_THUMBTRACK, 2), reinterpret_cast<LPARAM>(trackbar));
    EXPECT_EQ(Current(CUSTCAP_DOUBLEFEEDSENSITIVITY), 1);
    SendMessageW(Page(), WM_HSCROLL, MAKELONG(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(trackbar));
    EXPECT_EQ(Current(CUSTCAP_DOUBLEFEEDSENSITIVITY), 2);

    ASSERT_TRUE(plat::ui::StepTrackbar(trackbar, TB_TOP));
    EXPECT_EQ(Current(CUSTCAP_DOUBLEFEEDSENSITIVITY), 0);
    ASSERT_TRUE(plat::ui::DragTrackbar(trackbar, 1));
    EXPECT_EQ(Current(CUSTCAP_DOUBLEFEEDSENSITIVITY), 1);

    Choose(IDC_DOUBLE_FEED, u"Off");
    EXPECT_FALSE(plat::ui::StepTrackbar(trackbar, TB_BOTTOM));
}

TEST_F(DocumentSettingsPageTest, CroppingToTheLengthNeedsAPageWhoseLengthIsOpen)
{
    Show();
    ASSERT_TRUE(plat::ui::Click(Item(IDC_CROP_WIDTH)));
    EXPECT_TRUE(m_source.AutoCropWidth);
    m_source.AutoCropLength = true;
    struct Row {
        TW_UINT16 mechanism;
        bool undefinedSize;
        bool usable;
    };
    for (const Row& row : {Row{TWSX_MEMORY, false, false}, Row{TWSX_NATIVE, false, true}, Row{TWSX_FILE, false, true},
                           Row{TWSX_MEMORY, true, true}}) {
        SCOPED_TRACE(std::to_string(row.mechanism) + (row.undefinedSize ? " undefined size" : ""));
        // As the application negotiates them before it enables the dialog.
        TW_USERINTERFACE ui{};
        ASSERT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
        ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_XFERMECH, CTWAINOneValue(row.mechanism)));
        ASSERT_EQ(TWRC_SUCCESS,
                  SetOne(ICAP_UNDEFINEDIMAGESIZE, CTWAINOneValue(row.undefinedSize ? 1u : 0u, TWTY_BOOL)));
        ShowDialog();
        Show();
        EXPECT_EQ(Enabled(IDC_CROP_LENGTH), row.usable);
        EXPECT_EQ(Checked(IDC_CROP_LENGTH), row.usable);
        EXPECT_TRUE(m_source.AutoCropLength);
    }
    ASSERT_TRUE(plat::ui::Click(Item(IDC_CROP_LENGTH)));
    EXPECT_FALSE(m_source.AutoCropLength);
}

} // namespace
