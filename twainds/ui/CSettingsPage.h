// What the pages of the settings dialog share: the data source they show,
// the themed background, OK and Cancel left to the main dialog, and their
// commands and trackbar scrolls run so that a value the source refuses
// ends in a beep and the page showing again what is in force.
#pragma once

#include "platform/ui/CDialog.h"
#include "themeddlg/CThemedDlg.h"

#include <initializer_list>
#include <string>

class CQBK24DataSource;

class CSettingsPage : public CDialog, public CThemedDlg {
public:
    explicit CSettingsPage(CQBK24DataSource* dataSource);
    ~CSettingsPage() override;

    CQBK24DataSource* DataSource; // not owned

protected:
    // A page ends nothing: OK and Cancel belong to the main dialog.
    void OnOK() override {}
    void OnCancel() override {}
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnHScroll(UINT code, UINT position, HWND scrollBar) override;
    // The main dialog focuses a page when its tab is chosen.
    void OnSetFocus(HWND oldFocus) override;

    virtual void HandleCommand(int id, WORD code) = 0;
    virtual void HandleScroll(int /*id*/, UINT /*code*/) {}
    // What the page shows of the source, read again.
    virtual void RefreshPage() = 0;

    void Enable(int id, bool enable);
    void EnableGroup(std::initializer_list<int> ids, bool enable);
    void Check(int id, bool check);
    bool IsChecked(int id);
    void SetText(int id, const std::u16string& text);
    // The source kept its own value: a beep, and the page read again.
    void RecoverFromRefusal();
};
