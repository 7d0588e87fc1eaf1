// The "Document Settings" page of the main dialog: cropping to the paper
// guides' width and to the paper's length, double-feed detection with its
// action and sensitivity, and skew detection with its action. Each list
// entry carries the id of its text, by which the handlers decide; every
// choice goes to the data source at once.
#pragma once

#include "platform/twain/twain.h"
#include "twainds/ui/CSettingsPage.h"

class CQBK24DataSource;

class CPropPageDocumentSettings : public CSettingsPage {
public:
    explicit CPropPageDocumentSettings(CQBK24DataSource* dataSource) : CSettingsPage(dataSource) {}

protected:
    BOOL OnInitDialog() override;
    void HandleCommand(int id, WORD code) override;
    void HandleScroll(int id, UINT code) override;
    // The lists are not filled again.
    void RefreshPage() override;

    void FillDoubleFeedCombo();
    void FillSkewCombo();
    void SelectDoubleFeedItem();
    void SelectSkewItem();
    void UpdateDoubleFeedSensitivity();
    void UpdateCropWidth();
    void UpdateCropLength();
    void OnDoubleFeedSelected();
    void OnSkewSelected();
    void OnCropWidthClicked();
    void OnCropLengthClicked();

private:
    // A detection list: the on/off flag, the capability that switches it,
    // the action capability and the texts of its entries.
    struct Detection {
        int combo;
        TW_UINT16 capability;
        TW_UINT16 actionCapability;
        UINT off;
        UINT detectOnly;
        UINT detectAndStop;
    };
    static const Detection kDoubleFeed;
    static const Detection kSkew;

    bool& Flag(const Detection& detection);
    TW_UINT16 ActionCurrent(const Detection& detection);
    void FillDetectionCombo(const Detection& detection);
    void SelectDetectionItem(const Detection& detection);
    // The chosen entry's text id, or 0 without a selection.
    UINT SelectedItem(const Detection& detection);
};
