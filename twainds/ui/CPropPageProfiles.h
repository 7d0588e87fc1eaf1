// The "Configurations" page of the main dialog: named sets of all scan
// settings, each a file "<name>.bin" in the profile folder holding the data
// source's settings image. The page lists the profiles the source can load,
// applies one when it is chosen, saves, exports, imports and deletes them,
// and sums the current settings up in a sentence. "Current Settings" stands
// for the settings saved under the user's registry key.
//
// Names match without regard to case, as the file system the profiles were
// made for does, and a name is always one file in the profile folder (no
// folder part, no "..").
#pragma once

#include "twainds/ui/CSettingsPage.h"

#include <string>

class CPropPageProfiles : public CSettingsPage {
public:
    explicit CPropPageProfiles(CQBK24DataSource* dataSource) : CSettingsPage(dataSource) {}

    CStatic Summary;
    CComboBox ProfileList;
    // The profile folder with a trailing backslash; empty until the list is
    // filled, and when the folder could not be made.
    std::string ProfileFolder;
    CButton DeleteButton;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void HandleCommand(int id, WORD code) override;
    // The summary and the Delete button, read again.
    void RefreshPage() override;

    void FillProfileList();
    void AddLoadableProfiles();
    void UpdateSummary();
    void UpdateDeleteButton();
    void OnProfileSelected();
    // CPropPageProfilesFiles.cpp: the buttons that write and read files.
    void OnSaveClicked();
    void OnExportClicked();
    void OnImportClicked();
    void OnDeleteClicked();

private:
    std::u16string Text(UINT id) const;
    std::u16string SelectedName() const;
    bool IsCurrentSettings(const std::u16string& name) const;
    // A name the profile folder can hold as one file of its own.
    bool IsUsableName(const std::u16string& name) const;
    // The profile's file: the name with ".bin", or when no file has that
    // name exactly, the folder's file of that name in another case.
    std::string ProfilePath(const std::u16string& name) const;
    // Selects the entry of that name in any case, adding it when missing.
    void SelectEntry(const std::u16string& name);
    void RemoveEntry(const std::u16string& name);
    void RemoveSelectedEntry();
    // The size part of the summary.
    std::u16string SizeText();
    // The page's own boxes: a Yes/No question or a notice with one text.
    int Ask(UINT textId, const std::u16string& argument);
    void Notify(UINT textId, const std::u16string& argument);
    // The documents folder with a trailing backslash; empty without one.
    std::string DocumentsFolder() const;
    // What the export and the import dialog share.
    void PrepareFileDialog(OPENFILENAMEA& dialog, char* file, const std::string& folder, const std::string& title,
                           DWORD flags) const;
};
