// The about page as the user meets it in the settings dialog, over a
// hardware service that answers what the test scripts: the identity texts,
// the serial number cut from the device path, the scanner's answers at each
// refresh, and both forms of the support link.
#include "platform/base/strings.h"
#include "platform/ui/CommonControls.h"
#include "twainds/testing/SettingsDialogTest.h"
#include "twainds/ui/CPropPageAbout.h"

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

namespace {

using qbk24::testing::WindowText;

constexpr LONG kSupportInfo = 9;
constexpr LONG kCounter = 10;
constexpr LONG kFirmware = 11;
constexpr const char16_t* kSupportAddress = u"http://support.quorvant.example/en/us/support/Default.asp";

TEST(SerialNumber, IsTheTextBetweenTheSecondAndTheThirdHash)
{
    struct Row {
        const char* path;
        const char* serial;
    };
    const Row rows[] = {
        {"\\\\?\\usb#vid_0abc&pid_0def#A1B2C3#{6bdd1fc6-810f-11d0-bec7-08002be2092f}", "A1B2C3"},
        {"usb#vid_0abc&pid_0def#A1B2C3", ""}, // no third '#'
        {"A1B2C3#rest", "A1B2C3"},            // one '#': what stands before it
        {"no hash at all", ""},
        {"", ""},
        {"a##b#c", "b"},
        {"###", ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SerialNumberFromSymbolicName(row.path), row.serial) << row.path;
}

class AboutPageTest : public qbk24::testing::SettingsDialogTest {
protected:
    void TearDown() override
    {
        SettingsDialogTest::TearDown();
        plat::ui::ResetCommonControlsVersion();
        if (!m_opener.empty())
            unsetenv(plat::kShellOpenVariable);
    }

    HWND Page() { return m_dialog->AboutPage->m_hWnd; }
    HWND Item(int id) { return GetDlgItem(Page(), id); }
    std::u16string Text(int id) { return WindowText(Item(id)); }
    void Refresh() { ASSERT_TRUE(plat::ui::Click(Item(IDC_ABOUT_REFRESH))); }

    // What the desktop is asked to open arrives through a pipe: the test
    // waits for the opener to write it, not for a time.
    void CatchOpenedDocuments()
    {
        const std::string fifo = m_root.Path() + "/opened";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        m_opener = m_root.Path() + "/opener.sh";
        std::ofstream(m_opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" > '" << fifo << "'\n";
        ASSERT_EQ(chmod(m_opener.c_str(), 0700), 0);
        setenv(plat::kShellOpenVariable, m_opener.c_str(), 1);
        m_fifo = fifo;
    }
    std::string NextOpenedDocument()
    {
        std::ifstream pipe(m_fifo);
        std::string line;
        std::getline(pipe, line);
        return line;
    }

    std::string m_opener;
    std::string m_fifo;
};

TEST_F(AboutPageTest, ShowsTheDriverAndDeviceTexts)
{
    m_source.FileDescription = "Quillbox K24 TWAIN Data Source";
    m_source.LegalCopyright = "Copyright (C) Quorvant";
    m_source.FileVersion = "5.0.0.1";
    m_source.ProductName = "Quillbox K24";
    m_source.FriendlyName = "Quillbox K24 #2";
    m_source.SymbolicName = "\\\\?\\usb#vid_0abc&pid_0def#twain01#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
    m_hal.Answers[kFirmware] = {'T', '.', '5', '5', 'X'};
    m_source.ReadDeviceInfo();
    Reopen();
    EXPECT_EQ(Text(IDC_ABOUT_DESCRIPTION), u"Quillbox K24 TWAIN Data Source");
    EXPECT_EQ(Text(IDC_ABOUT_COPYRIGHT), u"Copyright (C) Quorvant");
    EXPECT_EQ(Text(IDC_ABOUT_DRIVER_VERSION), u"5.0.0.1");
    EXPECT_EQ(Text(IDC_ABOUT_DEVICE_NAME), u"Quillbox K24");
    EXPECT_EQ(Text(IDC_ABOUT_DEVICE_INFORMATION), u"Quillbox K24 #2");
    EXPECT_EQ(Text(IDC_ABOUT_SERIAL_NUMBER), u"twain01");
    // Five bytes without a terminator, and the answer cut at its zero.
    EXPECT_EQ(Text(IDC_ABOUT_FIRMWARE), u"T.55X");
    m_hal.Answers[kFirmware] = {'T', '.', '5', 0, 'Y'};
    m_source.ReadDeviceInfo();
    EXPECT_EQ(m_source.GetFirmwareRevision(), "T.5");
}

TEST_F(AboutPageTest, EachRefreshShowsWhatTheScannerAnswersNow)
{
    struct Row {
        BYTE features;
        const char16_t* front;
        const char16_t* back;
        std::vector<BYTE> memory; // bytes 2-3
        const char16_t* memoryText;
        std::vector<BYTE> counter;
        const char16_t* counterText;
    };
    const Row rows[] = {
        {0x80, u"Black", u"White", {0x40, 0x00}, u"64 MBytes", {0x39, 0x30, 0, 0}, u"12345"},
        {0x40, u"White", u"Black", {0x00, 0x01}, u"256 MBytes", {0, 0, 0, 0}, u"0"},
        {0xC0, u"Black", u"Black", {0, 0}, u"0 MBytes", {0xFF, 0xFF, 0xFF, 0xFF}, u"4294967295"},
        {0x3F, u"White", u"White", {0x80, 0x00}, u"128 MBytes", {1, 0, 0, 1}, u"16777217"},
    };
    ASSERT_TRUE(ChooseTab(IDS_TAB_ABOUT));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.features);
        m_hal.Answers[kSupportInfo] = {row.features, 0, row.memory[0], row.memory[1]};
        m_hal.Answers[kCounter] = row.counter;
        Refresh();
        EXPECT_EQ(Text(IDC_ABOUT_FRONT_BACKGROUND), row.front);
        EXPECT_EQ(Text(IDC_ABOUT_BACK_BACKGROUND), row.back);
        EXPECT_EQ(Text(IDC_ABOUT_MEMORY), row.memoryText);
        EXPECT_EQ(Text(IDC_ABOUT_PAGE_COUNTER), row.counterText);
    }

    // Coming back to the tab asks again.
    m_hal.Answers[kCounter] = {7};
    ShowPage(IDS_TAB_ABOUT);
    EXPECT_EQ(Text(IDC_ABOUT_PAGE_COUNTER), u"7");
}

TEST_F(AboutPageTest, AServiceThatFailsTheRequestLeavesThePageAsItWas)
{
    m_hal.Answers[kCounter] = {3};
    ASSERT_TRUE(ChooseTab(IDS_TAB_ABOUT));
    ASSERT_EQ(Text(IDC_ABOUT_PAGE_COUNTER), u"3");
    const size_t thrown = plat::ui::HandlerExceptionCount();
    m_hal.Answers[kCounter] = {4};
    m_hal.Results[kSupportInfo] = E_FAIL;
    Refresh();
    EXPECT_EQ(Text(IDC_ABOUT_PAGE_COUNTER), u"3");
    EXPECT_EQ(plat::ui::HandlerExceptionCount(), thrown);
    m_hal.Results.clear();
    Refresh();
    EXPECT_EQ(Text(IDC_ABOUT_PAGE_COUNTER), u"4");
}

TEST_F(AboutPageTest, CommonControlsSixShowTheLinkAtThePagesLeftMargin)
{
    CatchOpenedDocuments();
    HWND text = Item(IDC_ABOUT_SUPPORT_TEXT);
    HWND link = Item(IDC_ABOUT_SUPPORT_LINK);
    ASSERT_NE(link, nullptr);
    EXPECT_FALSE(GetWindowLongW(text, GWL_STYLE) & WS_VISIBLE);
    EXPECT_NE(WindowText(link).find(u"<a href=\"" + std::u16string(kSupportAddress) + u"\">"), std::u16string::npos);
    EXPECT_TRUE(GetWindowLongW(link, GWL_STYLE) & WS_TABSTOP);
    RECT textArea{};
    RECT linkArea{};
    GetWindowRect(text, &textArea);
    GetWindowRect(link, &linkArea);
    RECT pageArea{};
    GetWindowRect(Page(), &pageArea);
    EXPECT_EQ(linkArea.left - pageArea.left, 7);
    EXPECT_EQ(linkArea.right - linkArea.left, textArea.right - textArea.left);
    EXPECT_EQ(linkArea.top, textArea.top);
    EXPECT_EQ(linkArea.bottom, textArea.bottom);
    EXPECT_EQ(SendMessageW(link, WM_GETFONT, 0, 0), SendMessageW(Page(), WM_GETFONT, 0, 0));

    ASSERT_TRUE(ChooseTab(IDS_TAB_ABOUT));
    ASSERT_TRUE(plat::ui::Click(link));
    EXPECT_EQ(NextOpenedDocument(), Utf16ToUtf8(kSupportAddress));
}

TEST_F(AboutPageTest, OlderOrSilentCommonControlsLeaveTheTextToBeClicked)
{
    CatchOpenedDocuments();
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "no version" : "version 5.82");
        plat::ui::SetCommonControlsVersion(5, 82);
        plat::ui::SetCommonControlsVersionFails(fails);
        Reopen();
        EXPECT_EQ(Item(IDC_ABOUT_SUPPORT_LINK), nullptr);
        HWND text = Item(IDC_ABOUT_SUPPORT_TEXT);
        EXPECT_TRUE(GetWindowLongW(text, GWL_STYLE) & SS_NOTIFY);
        ASSERT_TRUE(ChooseTab(IDS_TAB_ABOUT));
        EXPECT_TRUE(IsWindowVisible(text));
        ASSERT_TRUE(plat::ui::Click(text));
        EXPECT_EQ(NextOpenedDocument(), Utf16ToUtf8(kSupportAddress));
    }
}

} // namespace
