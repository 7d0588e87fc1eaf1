// The about page over the emulated scanner: what the scanner answers, and
// its page counter after a scan made from the same dialog.
#include "twainds/testing/DeviceDialogTest.h"
#include "twainds/testing/SettingsDialogTest.h"
#include "twainds/ui/CPropPageAbout.h"

namespace {

using qbk24::testing::WindowText;

class AboutPageScannerTest : public qbk24::testing::DeviceDialogTest {
protected:
    HWND Item(int id) { return GetDlgItem(m_dialog->AboutPage->m_hWnd, id); }
    std::u16string Text(int id) { return WindowText(Item(id)); }
};

TEST_F(AboutPageScannerTest, ShowsTheScannersAnswersAndItsCounterAfterAScan)
{
    Open(2);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Text(IDC_ABOUT_SERIAL_NUMBER), Utf8ToUtf16(kSerial));
    // The installation brought the firmware up to date.
    EXPECT_EQ(Text(IDC_ABOUT_FIRMWARE), u"T.55");
    EXPECT_EQ(Text(IDC_ABOUT_PAGE_COUNTER), u"0");
    EXPECT_EQ(Text(IDC_ABOUT_FRONT_BACKGROUND), u"White");
    EXPECT_EQ(Text(IDC_ABOUT_BACK_BACKGROUND), u"White");
    EXPECT_EQ(Text(IDC_ABOUT_MEMORY), u"64 MBytes");

    EXPECT_EQ(ScanWithTheDialog(), 2);
    ASSERT_TRUE(plat::ui::Click(Item(IDC_ABOUT_REFRESH)));
    EXPECT_EQ(Text(IDC_ABOUT_PAGE_COUNTER), u"2");
}

} // namespace
