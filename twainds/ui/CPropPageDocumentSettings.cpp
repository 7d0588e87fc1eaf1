#include "twainds/ui/CPropPageDocumentSettings.h"

#include "platform/ui/Theme.h"
#include "twainds/CQBK24DataSource.h"
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/ResourceText.h"

using Trellis::CTWAINEnumeration;
using Trellis::CTWAINOneValue;

namespace {

constexpr TW_UINT16 kActionDetectOnly = 0;
constexpr TW_UINT16 kActionDetectAndStop = 2;

} // namespace

const CPropPageDocumentSettings::Detection CPropPageDocumentSettings::kDoubleFeed{
    IDC_DOUBLE_FEED, CUSTCAP_DOUBLEFEEDDETECTION, CUSTCAP_DOUBLEFEEDACTION,
    IDS_DFD_OFF,     IDS_DFD_DETECT_ONLY,         IDS_DFD_DETECT_AND_STOP};
const CPropPageDocumentSettings::Detection CPropPageDocumentSettings::kSkew{
    IDC_SKEW, ICAP_AUTOMATICDESKEW, CUSTCAP_SKEWACTION, IDS_SKEW_OFF, IDS_SKEW_DETECT_ONLY, IDS_SKEW_DETECT_AND_STOP};

// ---- helpers ----

bool& CPropPageDocumentSettings::Flag(const Detection& detection)
{
    return &detection == &kDoubleFeed ? DataSource->DoubleFeedDetection : DataSource->m_AutomaticDeskew;
}

TW_UINT16 CPropPageDocumentSettings::ActionCurrent(const Detection& detection)
{
    return &detection == &kDoubleFeed ? DataSource->GetDoubleFeedActionCurrent() : DataSource->GetSkewActionCurrent();
}

// ---- initialisation and refresh ----

BOOL CPropPageDocumentSettings::OnInitDialog()
{
    EnableThemeDialogTexture(m_hWnd, ETDT_ENABLETAB);
    CDialog::OnInitDialog();
    FillDoubleFeedCombo();
    FillSkewCombo();
    RefreshPage();
    return TRUE;
}

void CPropPageDocumentSettings::RefreshPage()
{
    SelectDoubleFeedItem();
    SelectSkewItem();
    UpdateDoubleFeedSensitivity();
    UpdateCropWidth();
    UpdateCropLength();
}

// ---- detection lists ----

void CPropPageDocumentSettings::FillDoubleFeedCombo() { FillDetectionCombo(kDoubleFeed); }

void CPropPageDocumentSettings::FillSkewCombo() { FillDetectionCombo(kSkew); }

// "Off", then the actions the device offers; without an action capability
// detection always stops.
void CPropPageDocumentSettings::FillDetectionCombo(const Detection& detection)
{
    HWND combo = GetDlgItem(detection.combo);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    const auto add = [this, combo](UINT textId, bool select) {
        const std::u16string text = qbk24::ResourceText(m_hInstResource, textId);
        const auto index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (index < 0)
            return;
        SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), textId);
        if (select)
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    };
    if (DataSource->IsCapSupported(detection.capability)) {
        const bool on = Flag(detection);
        add(detection.off, !on);
        if (DataSource->IsCapSupported(detection.actionCapability)) {
            const CTWAINEnumeration actions = (&detection == &kDoubleFeed ? DataSource->GetDoubleFeedActionValues()
                                                                          : DataSource->GetSkewActionValues())
                                                  .GetEnumeration();
            const std::optional<CTWAINOneValue> current = actions.CurrentItem();
            const auto currentIs = [&current](TW_UINT16 action) { return current && current->GetUInt16() == action; };
            if (actions.Contains(CTWAINOneValue(kActionDetectOnly)))
                add(detection.detectOnly, on && currentIs(kActionDetectOnly));
            if (actions.Contains(CTWAINOneValue(kActionDetectAndStop)))
                add(detection.detectAndStop, on && currentIs(kActionDetectAndStop));
        } else {
            add(detection.detectAndStop, on);
        }
    }
    ::EnableWindow(combo, SendMessageW(combo, CB_GETCOUNT, 0, 0) > 1);
}

void CPropPageDocumentSettings::SelectDoubleFeedItem() { SelectDetectionItem(kDoubleFeed); }

void CPropPageDocumentSettings::SelectSkewItem() { SelectDetectionItem(kSkew); }

void CPropPageDocumentSettings::SelectDetectionItem(const Detection& detection)
{
    if (!DataSource->IsCapSupported(detection.capability))
        return;
    UINT wanted = detection.off;
    if (Flag(detection)) {
        wanted = detection.detectAndStop;
        if (DataSource->IsCapSupported(detection.actionCapability) && ActionCurrent(detection) == kActionDetectOnly)
            wanted = detection.detectOnly;
    }
    HWND combo = GetDlgItem(detection.combo);
    const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (static_cast<UINT>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)) == wanted) {
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            return;
        }
    }
}

UINT CPropPageDocumentSettings::SelectedItem(const Detection& detection)
{
    HWND combo = GetDlgItem(detection.combo);
    const auto selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR)
        return 0;
    return static_cast<UINT>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0));
}

void CPropPageDocumentSettings::OnDoubleFeedSelected()
{
    const UINT chosen = SelectedItem(kDoubleFeed);
    if (chosen == 0)
        return;
    DataSource->DoubleFeedDetection = chosen != IDS_DFD_OFF;
    if (chosen != IDS_DFD_OFF && DataSource->IsCapSupported(CUSTCAP_DOUBLEFEEDACTION))
        DataSource->SetDoubleFeedActionCurrent(chosen == IDS_DFD_DETECT_AND_STOP ? kActionDetectAndStop
                                                                                 : kActionDetectOnly);
    UpdateDoubleFeedSensitivity();
}

void CPropPageDocumentSettings::OnSkewSelected()
{
    const UINT chosen = SelectedItem(kSkew);
    if (chosen == 0)
        return;
    DataSource->m_AutomaticDeskew = chosen != IDS_SKEW_OFF;
    if (chosen != IDS_SKEW_OFF && DataSource->IsCapSupported(CUSTCAP_SKEWACTION))
        DataSource->SetSkewActionCurrent(chosen == IDS_SKEW_DETECT_AND_STOP ? kActionDetectAndStop : kActionDetectOnly);
}

// ---- sensitivity ----

// The trackbar's position is an index into the sensitivity list.
void CPropPageDocumentSettings::UpdateDoubleFeedSensitivity()
{
    HWND trackbar = GetDlgItem(IDC_DFD_SENSITIVITY);
    bool enable = false;
    if (DataSource->IsCapSupported(CUSTCAP_DOUBLEFEEDSENSITIVITY)) {
        const CTWAINEnumeration values = DataSource->GetDoubleFeedSensitivityValues().GetEnumeration();
        const auto last = static_cast<WORD>(values.GetCount() > 0 ? values.GetCount() - 1 : 0);
        SendMessageW(trackbar, TBM_SETRANGE, FALSE, MAKELONG(0, last));
        SendMessageW(trackbar, TBM_SETPOS, TRUE, static_cast<LPARAM>(values.CurrentIndex));
        enable = DataSource->IsCapSupported(CUSTCAP_DOUBLEFEEDDETECTION) && DataSource->DoubleFeedDetection;
    } else {
        SendMessageW(trackbar, TBM_SETRANGE, FALSE, MAKELONG(0, 2));
        SendMessageW(trackbar, TBM_SETPOS, TRUE, 1);
    }
    for (int id : {IDC_DFD_SENSITIVITY, IDC_DFD_LOW, IDC_DFD_NORMAL, IDC_DFD_HIGH})
        Enable(id, enable);
}

void CPropPageDocumentSettings::HandleScroll(int id, UINT code)
{
    if (id != IDC_DFD_SENSITIVITY)
        return;
    const auto position = static_cast<size_t>(SendDlgItemMessageW(m_hWnd, id, TBM_GETPOS, 0, 0));
    const CTWAINEnumeration values = DataSource->GetDoubleFeedSensitivityValues().GetEnumeration();
    // A drag sets nothing until the thumb is let go.
    if (code != SB_THUMBTRACK && code != SB_THUMBPOSITION && position < values.m_List.size())
        DataSource->SetDoubleFeedSensitivityCurrent(values.m_List[position].GetUInt16());
}

// ---- cropping ----

void CPropPageDocumentSettings::UpdateCropWidth()
{
    const bool supported = DataSource->IsCapSupported(CUSTCAP_AUTOCROPWIDTH);
    Enable(IDC_CROP_WIDTH, supported);
    Check(IDC_CROP_WIDTH, supported && DataSource->AutoCropWidth);
}

// Cropping to the length needs a page whose length is not fixed in advance:
// an undefined image size, or a transfer other than by memory. The flag is
// kept while the box cannot be used.
void CPropPageDocumentSettings::UpdateCropLength()
{
    const bool undefinedSize =
        DataSource->IsCapSupported(ICAP_UNDEFINEDIMAGESIZE) && DataSource->GetUndefinedImageSizeCurrent();
    const bool usable = DataSource->IsCapSupported(CUSTCAP_AUTOCROPLENGTH) &&
                        (undefinedSize || DataSource->GetXferMechCurrent() != TWSX_MEMORY);
    Enable(IDC_CROP_LENGTH, usable);
    Check(IDC_CROP_LENGTH, usable && DataSource->AutoCropLength);
}

void CPropPageDocumentSettings::OnCropWidthClicked() { DataSource->AutoCropWidth = IsChecked(IDC_CROP_WIDTH); }

void CPropPageDocumentSettings::OnCropLengthClicked() { DataSource->AutoCropLength = IsChecked(IDC_CROP_LENGTH); }

// ---- commands ----

void CPropPageDocumentSettings::HandleCommand(int id, WORD code)
{
    switch (id) {
    case IDC_DOUBLE_FEED:
        if (code == CBN_SELENDOK)
            OnDoubleFeedSelected();
        break;
    case IDC_SKEW:
        if (code == CBN_SELENDOK)
            OnSkewSelected();
        break;
    case IDC_CROP_WIDTH:
        if (code == BN_CLICKED)
            OnCropWidthClicked();
        break;
    case IDC_CROP_LENGTH:
        if (code == BN_CLICKED)
            OnCropLengthClicked();
        break;
    default:
        break;
    }
}
