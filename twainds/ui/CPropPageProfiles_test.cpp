// The profiles page as the user meets it in the settings dialog, in the
// user's own profile folder under a temporary system root, with the name
// dialog, the message boxes and the file dialogs answered from a script.
#include "platform/shell/shlobj.h"
#include "twainds/testing/SettingsDialogTest.h"
#include "twainds/ui/CPropPageProfiles.h"
#include "twainds/ui/CSaveProfileDlg.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

namespace {

namespace fs = std::filesystem;
using qbk24::testing::ComboSelection;
using qbk24::testing::ComboTexts;
using qbk24::testing::WindowText;
using Strings = std::vector<std::u16string>;

constexpr const char16_t* kDefaultSummary =
    u"Scan a 200 dpi Black and White Letter Document from the single-sided ADF.";
constexpr const char16_t* kChangedSummary = u"Scan a 300 dpi Grayscale Letter Document from the double-sided ADF.";

std::u16string Exists(const std::u16string& name)
{
    return u"The profile \"" + name + u"\" already exists.  Do you want to overwrite this file?";
}

std::u16string Refused(const std::u16string& name)
{
    return u"The profile name \"" + name + u"\" cannot be used for saving.  Do you want to pick another name?";
}

std::u16string LoadProblem(const std::string& path)
{
    return u"Problem loading the profile \"" + Utf8ToUtf16(path) + u"\".";
}

class ProfilesPageTest : public qbk24::testing::SettingsDialogTest {
protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        if (HasFatalFailure())
            return;
        char folder[MAX_PATH] = {};
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, FALSE));
        m_folder = plat::LinuxPath(std::string(folder) + "/Quorvant/QBK24_TWAIN/");
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, TRUE));
        m_documents = plat::LinuxPath(std::string(folder) + "/");
    }

    CPropPageProfiles& Page() { return *m_dialog->ProfilesPage; }
    HWND Item(int id) { return GetDlgItem(Page().m_hWnd, id); }
    Strings Entries() { return ComboTexts(Item(IDC_PROFILE_LIST)); }
    std::u16string Selected() { return ComboSelection(Item(IDC_PROFILE_LIST)); }
    std::u16string Summary() { return WindowText(Item(IDC_PROFILE_SUMMARY)); }
    bool DeleteEnabled() { return IsWindowEnabled(Item(IDC_PROFILE_DELETE)) != FALSE; }
    // The page's path of a file in the profile folder, as its boxes show it.
    std::string PagePath(const std::string& fileName) { return Page().ProfileFolder + fileName; }
    void Click(int id) { ASSERT_TRUE(plat::ui::Click(Item(id))) << id; }
    void Choose(const std::u16string& entry)
    {
        const Strings entries = Entries();
        const auto at = std::find(entries.begin(), entries.end(), entry);
        ASSERT_NE(at, entries.end()) << Utf16ToUtf8(entry);
        ASSERT_TRUE(plat::ui::ChooseComboItem(Item(IDC_PROFILE_LIST), static_cast<int>(at - entries.begin())));
    }
    std::set<std::string> FolderFiles()
    {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_folder))
            names.insert(entry.path().filename().string());
        return names;
    }

    // Gray, 300 dpi, both sides: what the profiles below hold.
    void ChangeSettings()
    {
        m_source.SetPixelTypeCurrent(TWPT_GRAY);
        m_source.SetXResolutionCurrent(300.0f);
        m_source.SetYResolutionCurrent(300.0f);
        m_source.SetDuplexEnabledCurrent(true);
    }
    void ResetSettings() { ASSERT_TRUE(m_source.InitializeCapabilities()); }
    // A profile as the source saves it, then the source's defaults again.
    void MakeProfile(const std::string& path)
    {
        ChangeSettings();
        ASSERT_NO_THROW(m_source.SaveProfile(path.c_str()));
        ResetSettings();
    }
    // A profile the source of another scanner saved.
    void MakeForeignProfile(const std::string& path)
    {
        qbk24::testing::TestDataSource other;
        other.FriendlyName = "Quillbox K24 #2";
        ASSERT_TRUE(other.Trellis::CTWAINDataSource::Init(nullptr));
        ASSERT_TRUE(other.InitializeCapabilities());
        ASSERT_NO_THROW(other.SaveProfile(path.c_str()));
    }
    // The name dialog: the user types the name and presses Enter; what the
    // field showed when it opened is kept.
    void ScriptName(const std::u16string& name)
    {
        plat::ui::ScriptModalDialog([this, name](HWND dialog) {
            m_shownNames.push_back(WindowText(GetDlgItem(dialog, IDC_PROFILE_NAME)));
            HWND edit = GetDlgItem(dialog, IDC_PROFILE_NAME);
            SetWindowTextW(edit, u"");
            plat::ui::TypeText(edit, name);
            plat::ui::PressEnter(dialog);
        });
    }
    void ScriptCancelledName()
    {
        plat::ui::ScriptModalDialog([this](HWND dialog) {
            m_shownNames.push_back(WindowText(GetDlgItem(dialog, IDC_PROFILE_NAME)));
            plat::ui::PressEscape(dialog);
        });
    }
    void ScriptAnswers(std::initializer_list<int> answers)
    {
        for (int answer : answers)
            plat::ui::ScriptMessageBoxAnswer(answer);
    }
    // The boxes shown since the last call: every one is the page's, with
    // its caption, a question or a notice.
    Strings BoxTexts()
    {
        Strings texts;
        for (const plat::ui::MessageBoxRecord& box : plat::ui::TakeMessageBoxLog()) {
            EXPECT_EQ(box.caption, u"Quillbox K24: Scan Error");
            EXPECT_EQ(box.owner, Page().m_hWnd);
            EXPECT_TRUE(box.type == 0x10034u || box.type == 0x10030u) << box.type;
            texts.push_back(box.text);
        }
        return texts;
    }

    std::string m_folder;
    std::string m_documents;
    Strings m_shownNames;
};

TEST_F(ProfilesPageTest, AnEmptyFolderListsCurrentSettingsAlone)
{
    EXPECT_TRUE(fs::is_directory(m_folder));
    EXPECT_EQ(Entries(), Strings{u"Current Settings"});
    EXPECT_EQ(Selected(), u"Current Settings");
    EXPECT_FALSE(DeleteEnabled());
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_PROFILE_MERGE)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_PROFILE_SAVE)));
    EXPECT_EQ(Summary(), kDefaultSummary);
    EXPECT_EQ(Page().ProfileFolder.back(), '\\');
}

// A file where the folder "Quorvant" should be: no profile folder can be
// made, so there is nothing to list, save into or import into.
TEST_F(ProfilesPageTest, WithoutAProfileFolderOnlyCurrentSettingsIsOffered)
{
    const fs::path vendor = fs::path(m_folder).parent_path().parent_path();
    fs::remove_all(vendor);
    std::ofstream(vendor.string()) << "in the way";
    const fs::path here = fs::current_path();
    Reopen();
    EXPECT_EQ(Page().ProfileFolder, "");
    EXPECT_EQ(Entries(), Strings{u"Current Settings"});
    EXPECT_EQ(Selected(), u"Current Settings");
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_PROFILE_SAVE)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_PROFILE_IMPORT)));
    EXPECT_FALSE(DeleteEnabled());
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_PROFILE_EXPORT)));
    EXPECT_EQ(Summary(), kDefaultSummary);
    EXPECT_EQ(fs::current_path(), here);
}

// Another scanner's profile, a damaged file, a folder named like a profile
// and "Current Settings.bin" are left out; trying them leaves the settings
// and the current directory as they were.
TEST_F(ProfilesPageTest, TheListHoldsWhatThisSourceLoads)
{
    MakeProfile(m_folder + "A.bin");
    MakeForeignProfile(m_folder + "B.bin");
    MakeProfile(m_folder + "current settings.bin");
    std::ofstream(m_folder + "Damaged.bin") << "not a profile";
    std::ofstream(m_folder + "Notes.txt") << "not a profile";
    fs::create_directory(m_folder + "Folder.bin");
    m_source.SetBrightnessCurrent(500.0f);
    const std::vector<BYTE> before = Settings();
    const fs::path here = fs::current_path();

    Reopen();
    EXPECT_EQ(Entries(), (Strings{u"A", u"Current Settings"}));
    EXPECT_EQ(Selected(), u"Current Settings");
    EXPECT_EQ(Settings(), before);
    EXPECT_EQ(fs::current_path(), here);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(ProfilesPageTest, ChoosingAProfileAppliesItAndCurrentSettingsReloadsTheSavedOnes)
{
    ASSERT_TRUE(m_source.SaveConfigurationToRegistry());
    MakeProfile(m_folder + "A.bin");
    MakeProfile(m_folder + "Gone.bin");
    Reopen();
    Choose(u"A");
    EXPECT_EQ(Summary(), kChangedSummary);
    EXPECT_EQ(m_source.GetPixelTypeCurrent(), TWPT_GRAY);
    EXPECT_TRUE(DeleteEnabled());
    Choose(u"Current Settings");
    EXPECT_EQ(Summary(), kDefaultSummary);
    EXPECT_EQ(m_source.GetPixelTypeCurrent(), TWPT_BW);
    EXPECT_EQ(m_source.GetXResolutionCurrent(), 200.0f);
    EXPECT_FALSE(DeleteEnabled());

    // A profile that no longer loads leaves the list with a notice; the
    // settings and the summary stay those in force.
    Choose(u"A");
    const std::vector<BYTE> before = Settings();
    std::ofstream(m_folder + "Gone.bin", std::ios::trunc) << "cut";
    ScriptAnswers({IDOK});
    Choose(u"Gone");
    EXPECT_EQ(BoxTexts(), Strings{LoadProblem(PagePath("Gone.bin"))});
    EXPECT_EQ(Entries(), (Strings{u"A", u"Current Settings"}));
    EXPECT_EQ(Selected(), u"Current Settings");
    EXPECT_FALSE(DeleteEnabled());
    EXPECT_EQ(Settings(), before);
    EXPECT_EQ(Summary(), kChangedSummary);
}

// The name dialog comes back after a refused name (10012), an existing
// name the user does not overwrite (10011) and a write that fails (10022),
// showing the name last entered.
TEST_F(ProfilesPageTest, SaveAsksUntilANameCanBeUsed)
{
    MakeProfile(m_folder + "Office.bin");
    fs::create_directory(m_folder + "Blocked.bin"); // no file can be written there
    Reopen();
    m_source.SetBrightnessCurrent(500.0f);
    const std::vector<BYTE> changed = Settings();
    for (const char16_t* name : {u"current SETTINGS", u"..\\up", u"a/b", u"Office", u"Blocked", u"Office"})
        ScriptName(name);
    ScriptAnswers({IDYES, IDYES, IDYES, IDNO, IDYES, IDYES});
    Click(IDC_PROFILE_SAVE);

    EXPECT_EQ(m_shownNames,
              (Strings{u"Current Settings", u"current SETTINGS", u"..\\up", u"a/b", u"Office", u"Blocked"}));
    EXPECT_EQ(BoxTexts(), (Strings{Refused(u"Current Settings"), Refused(u"..\\up"), Refused(u"a/b"), Exists(u"Office"),
                                   u"Error writing the profile to file \"" + Utf8ToUtf16(PagePath("Blocked.bin")) +
                                       u"\".  Do you want to retry with another name?",
                                   Exists(u"Office")}));
    EXPECT_EQ(Entries(), (Strings{u"Current Settings", u"Office"}));
    EXPECT_EQ(Selected(), u"Office");
    EXPECT_TRUE(DeleteEnabled());
    EXPECT_EQ(FolderFiles(), (std::set<std::string>{"Blocked.bin", "Office.bin"}));
    EXPECT_EQ(Settings(), changed); // saving changes nothing
    ResetSettings();
    m_source.LoadProfile((m_folder + "Office.bin").c_str());
    EXPECT_EQ(Settings(), changed);

    // A new name is added and selected; Cancel after a refusal saves
    // nothing.
    ScriptName(u"Home");
    Click(IDC_PROFILE_SAVE);
    EXPECT_EQ(Entries(), (Strings{u"Current Settings", u"Home", u"Office"}));
    EXPECT_EQ(Selected(), u"Home");
    ScriptName(u"Current Settings");
    ScriptCancelledName();
    ScriptAnswers({IDYES});
    Click(IDC_PROFILE_SAVE);
    EXPECT_EQ(BoxTexts(), Strings{Refused(u"Current Settings")});
    EXPECT_EQ(FolderFiles(), (std::set<std::string>{"Blocked.bin", "Home.bin", "Office.bin"}));
}

// The name dialog holds the whole settings dialog behind it, not only the
// page that opened it: Scan, Cancel, the tabs, Enter and Esc do nothing
// until it closes, and the source stays as it was.
TEST_F(ProfilesPageTest, TheNameDialogHoldsTheSettingsDialogUntilItCloses)
{
    HWND main = m_dialog->m_hWnd;
    HWND tabs = m_dialog->Tabs.m_hWnd;
    plat::ui::ScriptModalDialog([&](HWND name) {
        EXPECT_EQ(GetParent(name), main);
        EXPECT_FALSE(IsWindowEnabled(main));
        EXPECT_FALSE(plat::ui::Click(GetDlgItem(main, IDOK)));
        EXPECT_FALSE(plat::ui::Click(GetDlgItem(main, IDCANCEL)));
        EXPECT_FALSE(plat::ui::ChooseTab(tabs, 1));
        EXPECT_FALSE(plat::ui::PressEnter(main));
        EXPECT_FALSE(plat::ui::PressEscape(main));
        EXPECT_FALSE(plat::ui::Click(Item(IDC_PROFILE_EXPORT)));
        EXPECT_EQ(m_source.GetState(), 5);
        plat::ui::PressEscape(name);
    });
    Click(IDC_PROFILE_SAVE);
    EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(m_source.GetState(), 5);
    EXPECT_TRUE(plat::ui::TakeFileDialogLog().empty());
    // Closed, it gives the dialog back.
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_TRUE(plat::ui::ChooseTab(tabs, 1));
}

TEST_F(ProfilesPageTest, ExportThenImportBringsTheSettingsBackAsANewProfile)
{
    ChangeSettings();
    const std::vector<BYTE> changed = Settings();
    const std::string exported = m_documents + "Office.Week.bin";
    plat::ui::ScriptFileDialogAnswer(Utf8ToUtf16(exported));
    Click(IDC_PROFILE_EXPORT);
    std::vector<plat::ui::FileDialogRecord> dialogs = plat::ui::TakeFileDialogLog();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].owner, Page().m_hWnd);
    EXPECT_EQ(dialogs[0].title, u"Specify directory and file name to export Profile Settings to.");
    EXPECT_EQ(plat::LinuxPath(dialogs[0].initialDir), m_documents);
    EXPECT_EQ(plat::LinuxPath(dialogs[0].fileName), m_documents + Utf16ToUtf8(Selected()) + ".bin");
    EXPECT_EQ(dialogs[0].flags, 0x806u);
    EXPECT_EQ(dialogs[0].defaultExtension, u"bin");
    EXPECT_EQ(dialogs[0].filter, (Strings{u"*.bin", u"*.bin", u"*.*", u"*.*"}));
    ASSERT_TRUE(fs::exists(exported));

    ResetSettings();
    plat::ui::ScriptFileDialogAnswer(Utf8ToUtf16(exported));
    Click(IDC_PROFILE_IMPORT);
    dialogs = plat::ui::TakeFileDialogLog();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].title, u"Specify directory and file name to import Profile Settings from.");
    EXPECT_EQ(dialogs[0].flags, 0x1804u);
    EXPECT_EQ(Entries(), (Strings{u"Current Settings", u"Office.Week"}));
    EXPECT_EQ(Selected(), u"Office.Week");
    EXPECT_TRUE(DeleteEnabled());
    EXPECT_EQ(Settings(), changed);
    EXPECT_EQ(Summary(), kChangedSummary);
    EXPECT_EQ(FolderFiles(), std::set<std::string>{"Office.Week.bin"});

    // A failed write gives its notice and the save dialog again.
    fs::create_directory(m_documents + "Blocked.bin");
    plat::ui::ScriptFileDialogAnswer(Utf8ToUtf16(m_documents + "Blocked.bin"));
    plat::ui::ScriptFileDialogAnswer(std::nullopt);
    ScriptAnswers({IDOK});
    Click(IDC_PROFILE_EXPORT);
    dialogs = plat::ui::TakeFileDialogLog();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(BoxTexts(), Strings{u"Error writing the profile to file \"" + Utf8ToUtf16(m_documents) +
                                  u"Blocked.bin\".  Do you want to retry with another name?"});
}

// A file that does not load, or one named "Current Settings", is not
// kept; the settings stay as they were and the open dialog comes again.
TEST_F(ProfilesPageTest, ImportKeepsOnlyWhatItCanLoadUnderAUsableName)
{
    m_source.SetBrightnessCurrent(500.0f);
    const std::vector<BYTE> before = Settings();
    const std::string foreign = m_documents + "Foreign.bin";
    MakeForeignProfile(foreign);
    const std::string reserved = m_documents + "current settings.bin";
    MakeProfile(reserved);
    m_source.SetBrightnessCurrent(500.0f);

    plat::ui::ScriptFileDialogAnswer(Utf8ToUtf16(foreign));
    plat::ui::ScriptFileDialogAnswer(Utf8ToUtf16(reserved));
    plat::ui::ScriptFileDialogAnswer(std::nullopt);
    ScriptAnswers({IDOK, IDYES});
    Click(IDC_PROFILE_IMPORT);
    EXPECT_EQ(plat::ui::TakeFileDialogLog().size(), 3u);
    EXPECT_EQ(BoxTexts(), (Strings{LoadProblem(foreign), Refused(u"current settings")}));
    EXPECT_EQ(Entries(), Strings{u"Current Settings"});
    EXPECT_EQ(Settings(), before);
    EXPECT_TRUE(fs::is_empty(m_folder));

    // A copy that cannot be written: the settings go back, and the entry
    // made for it goes again.
    const std::string blockedSource = m_documents + "Blocked.bin";
    MakeProfile(blockedSource);
    m_source.SetBrightnessCurrent(500.0f);
    fs::create_directory(m_folder + "Blocked.bin");
    plat::ui::ScriptFileDialogAnswer(Utf8ToUtf16(blockedSource));
    ScriptAnswers({IDOK});
    Click(IDC_PROFILE_IMPORT);
    EXPECT_EQ(plat::ui::TakeFileDialogLog().size(), 1u);
    EXPECT_EQ(BoxTexts(), Strings{LoadProblem(blockedSource)});
    EXPECT_EQ(Entries(), Strings{u"Current Settings"});
    EXPECT_EQ(Selected(), u"Current Settings");
    EXPECT_EQ(Settings(), before);
}

TEST_F(ProfilesPageTest, DeleteRemovesTheFileAndGoesBackToCurrentSettings)
{
    MakeProfile(m_folder + "Office.bin");
    MakeProfile(m_folder + "Home.bin");
    Reopen();
    Choose(u"Office");
    ScriptAnswers({IDNO});
    Click(IDC_PROFILE_DELETE);
    EXPECT_TRUE(fs::exists(m_folder + "Office.bin"));
    EXPECT_EQ(Selected(), u"Office");
    ScriptAnswers({IDYES});
    Click(IDC_PROFILE_DELETE);
    EXPECT_EQ(BoxTexts(), Strings(2, u"Are you sure you want to delete the profile \"Office\" from the Profile List?"));
    EXPECT_EQ(FolderFiles(), std::set<std::string>{"Home.bin"});
    EXPECT_EQ(Entries(), (Strings{u"Current Settings", u"Home"}));
    EXPECT_EQ(Selected(), u"Current Settings");
    EXPECT_FALSE(DeleteEnabled());
    // The settings stay those of the deleted profile, and so does the
    // summary.
    EXPECT_EQ(Summary(), kChangedSummary);
}

// Names match the profile folder's files without regard to case. The
// folder holds a damaged Office.bin, so no entry lists it at first.
TEST_F(ProfilesPageTest, NamesFindTheirFilesInAnyCase)
{
    std::ofstream(m_folder + "Office.bin") << "damaged";
    MakeProfile(m_folder + "Home.bin");
    MakeProfile(m_documents + "OFFICE.bin");
    Reopen();
    ChangeSettings();
    const std::vector<BYTE> changed = Settings();

    struct Step {
        const char* what;
        std::function<void()> act;
        Strings boxes;
        Strings entries;
        std::set<std::string> files;
    };
    const std::set<std::string> both{"Home.bin", "Office.bin"};
    const Strings all{u"Current Settings", u"Home", u"office"};
    const std::vector<Step> steps = {
        {"save finds the file to overwrite",
         [&] {
             ScriptName(u"office");
             ScriptAnswers({IDYES});
             Click(IDC_PROFILE_SAVE);
         },
         {Exists(u"office")},
         all,
         both},
        {"choosing the entry loads the file",
         [&] {
             ResetSettings();
             Choose(u"Home");
             Choose(u"office");
             EXPECT_EQ(Settings(), changed);
         },
         {},
         all,
         both},
        {"import asks before overwriting the listed name",
         [&] {
             plat::ui::ScriptFileDialogAnswer(Utf8ToUtf16(m_documents + "OFFICE.bin"));
             ScriptAnswers({IDYES});
             Click(IDC_PROFILE_IMPORT);
             EXPECT_EQ(Selected(), u"office");
         },
         {Exists(u"OFFICE")},
         all,
         both},
        {"delete removes the file",
         [&] {
             Choose(u"office");
             ScriptAnswers({IDYES});
             Click(IDC_PROFILE_DELETE);
         },
         {u"Are you sure you want to delete the profile \"office\" from the Profile List?"},
         {u"Current Settings", u"Home"},
         {"Home.bin"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(BoxTexts(), step.boxes);
        EXPECT_EQ(Entries(), step.entries);
        EXPECT_EQ(FolderFiles(), step.files);
    }
}

TEST_F(ProfilesPageTest, ACustomSizeIsSummedUpInInches)
{
    m_source.SetSupportedSizesCurrent(TWSS_NONE);
    m_source.SetFramesCurrent(Trellis::CTWAINFrame(0.0f, 0.0f, 8.5f, 11.0f));
    ShowPage(IDS_TAB_CONFIGURATIONS);
    EXPECT_EQ(Summary(), u"Scan a 200 dpi Black and White Custom 8.5\" X 11.0\" Document from the single-sided ADF.");
}

// The name dialog on its own: what it opens with, and what OK and Cancel
// give back.
TEST_F(ProfilesPageTest, TheNameDialogGivesTheNameAsTyped)
{
    struct Case {
        const char16_t* typed;
        bool ok;
        INT_PTR result;
        const char16_t* name;
    };
    const Case cases[] = {
        {u"  Spaced  ", true, IDOK, u"  Spaced  "},
        {u"", true, IDOK, u""},
        {u"Ignored", false, IDCANCEL, u"Start"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.typed));
        CSaveProfileDlg dialog(&Page(), m_source.GetResourceModule());
        dialog.ProfileName = u"Start";
        std::u16string shown;
        plat::ui::ScriptModalDialog([&](HWND window) {
            HWND edit = GetDlgItem(window, IDC_PROFILE_NAME);
            shown = WindowText(edit);
            SetWindowTextW(edit, u"");
            plat::ui::TypeText(edit, c.typed);
            c.ok ? plat::ui::PressEnter(window) : plat::ui::PressEscape(window);
        });
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_EQ(shown, u"Start");
        EXPECT_EQ(dialog.ProfileName, c.name);
    }
}

} // namespace
