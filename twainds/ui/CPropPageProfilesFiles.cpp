// The profiles page's buttons that write and read files: Save into the
// profile folder under a name the user gives, Export to and Import from any
// file the user picks.
#include "twainds/ui/CPropPageProfiles.h"

#include "platform/base/strings.h"
#include "twainds/CProfileFile.h"
#include "twainds/CQBK24DataSource.h"
#include "twainds/ui/CSaveProfileDlg.h"
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/SettingsSnapshot.h"
#include "twainfw/TWAINException.h"

#include <algorithm>
#include <array>

namespace {

// The file dialogs' buffer, in characters.
constexpr size_t kFileBuffer = MAX_PATH;
using FileBuffer = std::array<char, kFileBuffer>;

bool FileExists(const std::string& path)
{
    CProfileFile file;
    return file.OpenForReading(path.c_str());
}

// The file's own name (what follows the last separator) without its last
// extension: the dots of a folder's name stay out of it.
std::u16string ProfileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    const std::u16string fileName = Utf8ToUtf16(slash == std::string::npos ? path : path.substr(slash + 1));
    return fileName.substr(0, fileName.rfind(u'.'));
}

} // namespace

void CPropPageProfiles::PrepareFileDialog(OPENFILENAMEA& dialog, char* file, const std::string& folder,
                                          const std::string& title, DWORD flags) const
{
    dialog = OPENFILENAMEA{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_hWnd;
    dialog.lpstrFilter = "*.bin\0*.bin\0*.*\0*.*\0";
    dialog.nFilterIndex = 0;
    dialog.lpstrFile = file;
    dialog.nMaxFile = static_cast<DWORD>(kFileBuffer);
    dialog.lpstrInitialDir = folder.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = flags;
    dialog.lpstrDefExt = "bin";
}

// Asks for a name until one can be used and is written, or the user gives
// up. Saving leaves the settings and the summary as they are.
void CPropPageProfiles::OnSaveClicked()
{
    CSaveProfileDlg dialog(this, m_hInstResource);
    dialog.ProfileName = SelectedName();
    while (dialog.DoModal() == IDOK) {
        const std::u16string name = dialog.ProfileName;
        if (!IsUsableName(name)) {
            const std::u16string shown = IsCurrentSettings(name) ? Text(IDS_CURRENT_SETTINGS) : name;
            if (Ask(IDS_PROFILE_NAME_REFUSED, shown) == IDYES)
                continue;
            return;
        }
        const std::string path = ProfilePath(name);
        if (FileExists(path) && Ask(IDS_PROFILE_EXISTS, name) != IDYES)
            continue;
        try {
            DataSource->SaveProfile(path.c_str());
        } catch (const Trellis::CTWAINException&) {
            if (Ask(IDS_PROFILE_WRITE_FAILED, Utf8ToUtf16(path)) == IDYES)
                continue;
            return;
        }
        SelectEntry(name);
        UpdateDeleteButton();
        return;
    }
}

// Writes the settings in force, not a copy of the selected profile's file.
void CPropPageProfiles::OnExportClicked()
{
    const std::string title = Utf16ToUtf8(Text(IDS_EXPORT_TITLE));
    const std::string documents = DocumentsFolder();
    const std::string proposal = documents + Utf16ToUtf8(SelectedName()) + ".bin";
    FileBuffer file{};
    // A proposal that does not fit is not made: the dialog opens empty.
    if (proposal.size() < file.size())
        std::copy(proposal.begin(), proposal.end(), file.begin());
    for (;;) {
        OPENFILENAMEA dialog;
        PrepareFileDialog(dialog, file.data(), documents, title,
                          OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST);
        if (!GetSaveFileNameA(&dialog))
            return;
        try {
            DataSource->SaveProfile(file.data());
            return;
        } catch (const Trellis::CTWAINException&) {
            Notify(IDS_PROFILE_WRITE_FAILED, Utf8ToUtf16(file.data()));
        }
    }
}

// The picked file is loaded, then kept in the profile folder as the source
// saves its settings (not as a byte copy). A file that does not load, or a
// copy that cannot be written, leaves the settings and the list as they
// were before the import.
void CPropPageProfiles::OnImportClicked()
{
    const std::string title = Utf16ToUtf8(Text(IDS_IMPORT_TITLE));
    const std::string documents = DocumentsFolder();
    FileBuffer file{};
    // An import that could not be undone is not begun.
    SettingsSnapshot snapshot(DataSource);
    if (!snapshot.Taken()) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    const std::u16string selectedBefore = SelectedName();
    for (;;) {
        OPENFILENAMEA dialog;
        PrepareFileDialog(dialog, file.data(), documents, title,
                          OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
        if (!GetOpenFileNameA(&dialog))
            break;
        const std::string picked = file.data();
        const std::u16string name = ProfileNameOf(picked);
        if (!IsUsableName(name)) {
            if (Ask(IDS_PROFILE_NAME_REFUSED, name) == IDYES)
                continue;
            break;
        }
        const bool listed = ProfileList.SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                    reinterpret_cast<LPARAM>(name.c_str())) != CB_ERR;
        if (listed && Ask(IDS_PROFILE_EXISTS, name) != IDYES)
            continue;
        bool loaded = false;
        try {
            DataSource->LoadProfile(picked.c_str());
            loaded = true;
            SelectEntry(name);
            DataSource->SaveProfile(ProfilePath(name).c_str());
            break;
        } catch (const Trellis::CTWAINException&) {
            snapshot.Restore();
        }
        if (loaded) {
            // The copy failed: no entry without a file, and the selection
            // shows the settings in force again.
            if (!listed)
                RemoveEntry(name);
            SelectEntry(selectedBefore);
        }
        Notify(IDS_PROFILE_LOAD_PROBLEM, Utf8ToUtf16(picked));
        if (loaded)
            break;
    }
    RefreshPage();
}
