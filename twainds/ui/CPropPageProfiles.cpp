#include "twainds/ui/CPropPageProfiles.h"

#include "platform/base/format.h"
#include "platform/base/strings.h"
#include "platform/shell/shlobj.h"
#include "platform/ui/Theme.h"
#include "twainds/CQBK24DataSource.h"
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/ResourceText.h"
#include "twainds/ui/ScopedCurrentDirectory.h"
#include "twainds/ui/SettingsSnapshot.h"
#include "twainfw/CTWAINFrame.h"
#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINException.h"

#include <algorithm>

namespace {

constexpr const char* kProfileSubfolders = "Quorvant\\QBK24_TWAIN\\";
constexpr const char16_t* kProfileExtension = u".bin";
constexpr UINT kQuestion = MB_YESNO | MB_ICONEXCLAMATION | MB_SETFOREGROUND;
constexpr UINT kNotice = MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND;
// The summary gives a custom size in inches at this resolution.
constexpr float kSummaryResolution = 300.0f;

std::string WithBackslash(std::string folder)
{
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    return folder;
}

// Makes the folder current; when it cannot be entered at once, enters or
// creates it one backslash-ended part after another.
bool EnterFolder(const std::string& folder)
{
    if (SetCurrentDirectoryA(folder.c_str()))
        return true;
    for (size_t end = folder.find('\\'); end != std::string::npos; end = folder.find('\\', end + 1)) {
        const std::string part = folder.substr(0, end + 1);
        if (!SetCurrentDirectoryA(part.c_str()) &&
            !(CreateDirectoryA(part.c_str(), nullptr) && SetCurrentDirectoryA(part.c_str())))
            return false;
    }
    return true;
}

std::u16string WithoutExtension(const std::u16string& fileName) { return fileName.substr(0, fileName.rfind(u'.')); }

// Case is ignored for the letters A-Z, as the multibyte comparison of the
// name with "Current Settings" does.
bool EqualNoCase(const std::u16string& a, const std::u16string& b)
{
    const auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&fold](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

} // namespace

// ---- helpers ----

std::u16string CPropPageProfiles::Text(UINT id) const { return qbk24::ResourceText(m_hInstResource, id); }

std::u16string CPropPageProfiles::SelectedName() const
{
    const auto selected = ProfileList.SendMessage(CB_GETCURSEL);
    if (selected == CB_ERR)
        return {};
    const auto length = ProfileList.SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(selected));
    std::u16string text(static_cast<size_t>(std::max<LRESULT>(0, length)), u'\0');
    ProfileList.SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text.data()));
    return text;
}

bool CPropPageProfiles::IsCurrentSettings(const std::u16string& name) const
{
    return EqualNoCase(name, Text(IDS_CURRENT_SETTINGS));
}

bool CPropPageProfiles::IsUsableName(const std::u16string& name) const
{
    return !IsCurrentSettings(name) && name.find_first_of(u"\\/") == std::u16string::npos &&
           name.find(u"..") == std::u16string::npos;
}

std::string CPropPageProfiles::ProfilePath(const std::u16string& name) const
{
    const std::u16string path = Utf8ToUtf16(ProfileFolder) + name + kProfileExtension;
    // Wildcards would make the search a pattern; such a name is taken as is.
    if (ProfileFolder.empty() || GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ||
        name.find_first_of(u"*?") != std::u16string::npos)
        return Utf16ToUtf8(path);
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return Utf16ToUtf8(path);
    FindClose(search);
    return ProfileFolder + Utf16ToUtf8(found.cFileName);
}

void CPropPageProfiles::SelectEntry(const std::u16string& name)
{
    auto index =
        ProfileList.SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    if (index == CB_ERR)
        index = ProfileList.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (index >= 0)
        ProfileList.SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index));
}

void CPropPageProfiles::RemoveSelectedEntry()
{
    const auto selected = ProfileList.SendMessage(CB_GETCURSEL);
    if (selected != CB_ERR)
        ProfileList.SendMessage(CB_DELETESTRING, static_cast<WPARAM>(selected));
}

void CPropPageProfiles::RemoveEntry(const std::u16string& name)
{
    const auto index =
        ProfileList.SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    if (index != CB_ERR)
        ProfileList.SendMessage(CB_DELETESTRING, static_cast<WPARAM>(index));
}

int CPropPageProfiles::Ask(UINT textId, const std::u16string& argument)
{
    const std::u16string text = plat::Format(Text(textId).c_str(), argument.c_str());
    return MessageBox(text.c_str(), Text(IDS_SCAN_ERROR_CAPTION).c_str(), kQuestion);
}

void CPropPageProfiles::Notify(UINT textId, const std::u16string& argument)
{
    const std::u16string text = plat::Format(Text(textId).c_str(), argument.c_str());
    MessageBox(text.c_str(), Text(IDS_SCAN_ERROR_CAPTION).c_str(), kNotice);
}

std::string CPropPageProfiles::DocumentsFolder() const
{
    char path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, path, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, TRUE))
        return {};
    return WithBackslash(path);
}

// ---- initialisation ----

BOOL CPropPageProfiles::OnInitDialog()
{
    EnableThemeDialogTexture(m_hWnd, ETDT_ENABLETAB);
    CDialog::OnInitDialog();
    FillProfileList();
    UpdateSummary();
    UpdateDeleteButton();
    return TRUE;
}

void CPropPageProfiles::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_PROFILE_SUMMARY, Summary);
    DDX_Control(pDX, IDC_PROFILE_LIST, ProfileList);
    DDX_Control(pDX, IDC_PROFILE_DELETE, DeleteButton);
}

void CPropPageProfiles::RefreshPage()
{
    UpdateSummary();
    UpdateDeleteButton();
}

// Every profile this source loads, tried between a snapshot of the
// settings and its restore. "Current Settings" is there in every case:
// without a profile folder it is the only entry, and Save and Import,
// which need the folder, are off.
void CPropPageProfiles::FillProfileList()
{
    const ScopedCurrentDirectory keepCurrentDirectory;
    char appData[MAX_PATH] = {};
    if (SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA | CSIDL_FLAG_CREATE, TRUE)) {
        const std::string folder = WithBackslash(appData) + kProfileSubfolders;
        if (EnterFolder(folder)) {
            ProfileFolder = folder;
            ProfileList.SendMessage(CB_RESETCONTENT);
            AddLoadableProfiles();
        }
    }
    const std::u16string current = Text(IDS_CURRENT_SETTINGS);
    const auto index = ProfileList.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(current.c_str()));
    ProfileList.SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index));
    Enable(IDC_PROFILE_SAVE, !ProfileFolder.empty());
    Enable(IDC_PROFILE_IMPORT, !ProfileFolder.empty());
}

// Without a snapshot nothing is tried: a trial load could not be undone.
// "Current Settings.bin" is never listed: that name is the registry's.
void CPropPageProfiles::AddLoadableProfiles()
{
    SettingsSnapshot snapshot(DataSource);
    if (!snapshot.Taken())
        return;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((Utf8ToUtf16(ProfileFolder) + u"*" + kProfileExtension).c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        const std::u16string name = WithoutExtension(found.cFileName);
        if (IsCurrentSettings(name))
            continue;
        try {
            DataSource->LoadProfile((ProfileFolder + Utf16ToUtf8(found.cFileName)).c_str());
            ProfileList.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        } catch (const Trellis::CTWAINException&) {
        }
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    try {
        snapshot.Restore();
    } catch (const Trellis::CTWAINException&) {
    }
}

// ---- summary and Delete ----

void CPropPageProfiles::UpdateSummary()
{
    const auto resolution = static_cast<int>(DataSource->GetXResolutionCurrent());
    std::u16string mode;
    switch (DataSource->GetPixelTypeCurrent()) {
    case TWPT_BW:
        mode = Text(IDS_SUMMARY_BLACK_AND_WHITE);
        break;
    case TWPT_GRAY:
        mode = Text(IDS_SUMMARY_GRAYSCALE);
        break;
    case TWPT_RGB:
        mode = Text(IDS_SUMMARY_COLOR);
        break;
    default:
        break;
    }
    const bool duplex = DataSource->IsCapSupported(CAP_DUPLEX) && DataSource->IsCapSupported(CAP_DUPLEXENABLED) &&
                        DataSource->GetDuplexEnabledCurrent();
    const std::u16string sides = Text(duplex ? IDS_SUMMARY_DOUBLE_SIDED : IDS_SUMMARY_SINGLE_SIDED);
    const std::u16string summary = plat::Format(Text(IDS_SUMMARY).c_str(), resolution, mode.c_str(), SizeText().c_str(),
                                                sides.c_str(), Text(IDS_SUMMARY_ADF).c_str());
    SetWindowTextW(Summary.m_hWnd, summary.c_str());
}

// A named size: its display text up to the tab before its dimensions. A
// text without a tab (undefined sizes) is all name and is shown whole.
// A custom size (TWSS_NONE): the frame in inches.
std::u16string CPropPageProfiles::SizeText()
{
    const TW_UINT16 size = DataSource->GetSupportedSizesCurrent();
    if (size != TWSS_NONE) {
        // A null resource module is the program's, as for LoadString.
        const HMODULE texts = m_hInstResource ? m_hInstResource : GetModuleHandleW(nullptr);
        const std::u16string text = Utf8ToUtf16(DataSource->GetSupportedSizeText(texts, size));
        return text.substr(0, text.find(u'\t'));
    }
    const Trellis::CTWAINFrame frame = DataSource->GetFramesCurrent().ConvertUnits(
        DataSource->GetUnitsCurrent(), TWUN_INCHES, kSummaryResolution, kSummaryResolution);
    const double width = Trellis::Fix32ToFloat(frame.Right) - Trellis::Fix32ToFloat(frame.Left);
    const double height = Trellis::Fix32ToFloat(frame.Bottom) - Trellis::Fix32ToFloat(frame.Top);
    return plat::Format(Text(IDS_CUSTOM_SIZE_SUMMARY).c_str(), width, height);
}

void CPropPageProfiles::UpdateDeleteButton()
{
    ::EnableWindow(DeleteButton.m_hWnd, !IsCurrentSettings(SelectedName()));
}

// ---- commands ----

void CPropPageProfiles::HandleCommand(int id, WORD code)
{
    if (id == IDC_PROFILE_LIST) {
        if (code == CBN_SELENDOK)
            OnProfileSelected();
        return;
    }
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case IDC_PROFILE_SAVE:
        OnSaveClicked();
        break;
    case IDC_PROFILE_EXPORT:
        OnExportClicked();
        break;
    case IDC_PROFILE_IMPORT:
        OnImportClicked();
        break;
    case IDC_PROFILE_DELETE:
        OnDeleteClicked();
        break;
    default: // Merge is disabled and does nothing.
        break;
    }
}

// A profile that no longer loads leaves the list; the settings, and the
// summary with them, stay those in force before it was chosen.
void CPropPageProfiles::OnProfileSelected()
{
    const std::u16string name = SelectedName();
    if (IsCurrentSettings(name)) {
        DataSource->LoadConfigurationFromRegistry();
        RefreshPage();
        return;
    }
    const std::string path = ProfilePath(name);
    SettingsSnapshot snapshot(DataSource);
    try {
        DataSource->LoadProfile(path.c_str());
        RefreshPage();
        return;
    } catch (const Trellis::CTWAINException&) {
        snapshot.Restore();
    }
    Notify(IDS_PROFILE_LOAD_PROBLEM, Utf8ToUtf16(path));
    RemoveSelectedEntry();
    SelectEntry(Text(IDS_CURRENT_SETTINGS));
    RefreshPage();
}

// The settings stay those in force: the summary keeps showing them.
void CPropPageProfiles::OnDeleteClicked()
{
    const std::u16string name = SelectedName();
    if (IsCurrentSettings(name) || Ask(IDS_PROFILE_DELETE_QUESTION, name) != IDYES)
        return;
    DeleteFileW(Utf8ToUtf16(ProfilePath(name)).c_str());
    RemoveSelectedEntry();
    SelectEntry(Text(IDS_CURRENT_SETTINGS));
    RefreshPage();
}
