#include "twainds/ui/CPropPageImageEnhancement.h"

#include "platform/base/format.h"
#include "platform/base/strings.h"
#include "platform/ui/Theme.h"
#include "twainds/CQBK24DataSource.h"
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/ResourceText.h"
#include "twainfw/FixedPoint.h"

using Trellis::CTWAINArray;
using Trellis::CTWAINEnumeration;
using Trellis::CTWAINOneValue;
using Trellis::CTWAINRange;

namespace {

constexpr TW_UINT16 kDynamicThresholding = 0x8000;
constexpr int kTrackbarMin = 0;
constexpr int kTrackbarMax = 100;

// The whole part of a FIX32 item, as a signed 16-bit number.
int WholePart(const CTWAINOneValue& value) { return Trellis::WordToFix32(value.Value).Whole; }

} // namespace

// clang-format off
const CPropPageImageEnhancement::PercentTrackbar CPropPageImageEnhancement::kBrightness{
    IDC_BRIGHTNESS, IDC_BRIGHTNESS_TEXT, IDC_BRIGHTNESS_LOW, IDC_BRIGHTNESS_HIGH, ICAP_BRIGHTNESS,
    &CQBK24DataSource::GetBrightnessValues, &CQBK24DataSource::SetBrightnessCurrent};
const CPropPageImageEnhancement::PercentTrackbar CPropPageImageEnhancement::kContrast{
    IDC_CONTRAST, IDC_CONTRAST_TEXT, IDC_CONTRAST_LOW, IDC_CONTRAST_HIGH, ICAP_CONTRAST,
    &CQBK24DataSource::GetContrastValues, &CQBK24DataSource::SetContrastCurrent};
const CPropPageImageEnhancement::ValueTrackbar CPropPageImageEnhancement::kThreshold{
    IDC_THRESHOLD, IDC_THRESHOLD_TEXT, ICAP_THRESHOLD, &CQBK24DataSource::GetThresholdValues,
    &CQBK24DataSource::SetThresholdCurrent};
const CPropPageImageEnhancement::ValueTrackbar CPropPageImageEnhancement::kDynamicThreshold{
    IDC_DYNAMIC_THRESHOLD, IDC_DYNAMIC_THRESHOLD_TEXT, CUSTCAP_DYNAMICTHRESHOLD,
    &CQBK24DataSource::GetDynamicThresholdValues, &CQBK24DataSource::SetDynamicThresholdCurrent};
const CPropPageImageEnhancement::ValueTrackbar CPropPageImageEnhancement::kSpeckleDiameter{
    IDC_SPECKLE_DIAMETER, IDC_SPECKLE_DIAMETER_TEXT, CUSTCAP_DESPECKLEVALUE,
    &CQBK24DataSource::GetDespeckleValueValues, &CQBK24DataSource::SetDespeckleValueCurrent};
// clang-format on

// ---- helpers ----

bool CPropPageImageEnhancement::BlackAndWhite() { return DataSource->GetPixelTypeCurrent() == TWPT_BW; }

bool CPropPageImageEnhancement::DynamicThresholding()
{
    return DataSource->IsCapSupported(CUSTCAP_DYNAMICTHRESHOLD) && DataSource->IsCapSupported(ICAP_BITDEPTHREDUCTION) &&
           DataSource->GetBitDepthReductionCurrent() == kDynamicThresholding;
}

TW_UINT16 CPropPageImageEnhancement::CurrentFilter()
{
    const CTWAINArray current = DataSource->GetFilterCurrent().GetArray();
    return current.GetCount() > 0 ? current.GetAt(0).GetUInt16() : TWFT_NONE;
}

// ---- initialisation and refresh ----

BOOL CPropPageImageEnhancement::OnInitDialog()
{
    EnableThemeDialogTexture(m_hWnd, ETDT_ENABLETAB);
    CDialog::OnInitDialog();
    FillHalftoneMethods();
    RefreshControls();
    return TRUE;
}

void CPropPageImageEnhancement::RefreshControls()
{
    UpdateBrightness();
    UpdateContrast();
    UpdateThresholdTechnique();
    SelectHalftoneMethod();
    UpdateDynamicThreshold();
    UpdateThreshold();
    UpdateColorDropout();
    UpdateMirror();
    UpdateInvert();
    UpdateDespeckle();
    UpdateSpeckleDiameter();
}

// ---- trackbars ----

void CPropPageImageEnhancement::UpdatePercent(const PercentTrackbar& bar)
{
    HWND trackbar = GetDlgItem(bar.trackbar);
    SendMessageW(trackbar, TBM_SETRANGE, FALSE, MAKELONG(kTrackbarMin, kTrackbarMax));
    const auto low = static_cast<int>(SendMessageW(trackbar, TBM_GETRANGEMIN, 0, 0));
    const auto high = static_cast<int>(SendMessageW(trackbar, TBM_GETRANGEMAX, 0, 0));
    SetText(bar.lowLabel, plat::Format(u"%d", low));
    SetText(bar.highLabel, plat::Format(u"%d", high));
    if (DataSource->IsCapSupported(bar.capability)) {
        const CTWAINRange range = (DataSource->*bar.values)().GetRange();
        const auto position =
            static_cast<int>(ScaleValue(range.GetCurrent().GetFloat(), range.GetMin().GetFloat(),
                                        range.GetMax().GetFloat(), static_cast<float>(low), static_cast<float>(high)));
        SetText(bar.valueText, plat::Format(u"%d%%", position));
        SendMessageW(trackbar, TBM_SETPOS, TRUE, position);
    } else {
        SetText(bar.valueText, u"");
        SendMessageW(trackbar, TBM_SETPOS, TRUE, (low + high) / 2);
    }
}

void CPropPageImageEnhancement::UpdateBrightness()
{
    UpdatePercent(kBrightness);
    EnableGroup({IDC_BRIGHTNESS, IDC_BRIGHTNESS_TEXT, IDC_BRIGHTNESS_LABEL, IDC_BRIGHTNESS_LOW, IDC_BRIGHTNESS_HIGH},
                DataSource->IsCapSupported(ICAP_BRIGHTNESS) && !BlackAndWhite());
}

// Contrast follows the pixel type alone.
void CPropPageImageEnhancement::UpdateContrast()
{
    UpdatePercent(kContrast);
    EnableGroup({IDC_CONTRAST, IDC_CONTRAST_TEXT, IDC_CONTRAST_LABEL, IDC_CONTRAST_LOW, IDC_CONTRAST_HIGH},
                !BlackAndWhite());
}

void CPropPageImageEnhancement::UpdateValue(const ValueTrackbar& bar)
{
    HWND trackbar = GetDlgItem(bar.trackbar);
    if (DataSource->IsCapSupported(bar.capability)) {
        const CTWAINRange range = (DataSource->*bar.values)().GetRange();
        SendMessageW(
            trackbar, TBM_SETRANGE, FALSE,
            MAKELONG(static_cast<WORD>(WholePart(range.GetMin())), static_cast<WORD>(WholePart(range.GetMax()))));
        const int current = WholePart(range.GetCurrent());
        SendMessageW(trackbar, TBM_SETPOS, TRUE, current);
        SetText(bar.valueText, plat::Format(u"%d", current));
    } else {
        SendMessageW(trackbar, TBM_SETRANGE, FALSE, MAKELONG(kTrackbarMin, kTrackbarMax));
        SendMessageW(trackbar, TBM_SETPOS, TRUE, (kTrackbarMin + kTrackbarMax) / 2);
        SetText(bar.valueText, u"");
    }
}

void CPropPageImageEnhancement::UpdateDynamicThreshold()
{
    UpdateValue(kDynamicThreshold);
    EnableGroup({IDC_DYNAMIC_THRESHOLD, IDC_DYNAMIC_THRESHOLD_LABEL, IDC_DYNAMIC_THRESHOLD_TEXT,
                 IDC_DYNAMIC_THRESHOLD_LIGHT, IDC_DYNAMIC_THRESHOLD_DARK},
                BlackAndWhite() && DynamicThresholding());
}

// Under dynamic thresholding (without automatic separation) the fixed
// threshold has no say.
void CPropPageImageEnhancement::UpdateThreshold()
{
    UpdateValue(kThreshold);
    const bool enable = BlackAndWhite() && (DataSource->AutoSeparation || !DynamicThresholding());
    EnableGroup({IDC_THRESHOLD, IDC_THRESHOLD_LABEL, IDC_THRESHOLD_TEXT, IDC_THRESHOLD_LIGHT, IDC_THRESHOLD_DARK},
                enable);
}

void CPropPageImageEnhancement::UpdateSpeckleDiameter()
{
    UpdateValue(kSpeckleDiameter);
    const bool enable = DataSource->IsCapSupported(ICAP_NOISEFILTER) &&
                        DataSource->IsCapSupported(CUSTCAP_DESPECKLEVALUE) && BlackAndWhite() &&
                        DataSource->GetNoiseFilterCurrent() == TWNF_LONEPIXEL;
    EnableGroup({IDC_SPECKLE_DIAMETER, IDC_SPECKLE_DIAMETER_LABEL, IDC_SPECKLE_DIAMETER_TEXT, IDC_SPECKLE_DIAMETER_MIN,
                 IDC_SPECKLE_DIAMETER_MAX},
                enable);
}

// A drag only moves the text; the value is set when the thumb is let go
// (and at every keyboard step).
void CPropPageImageEnhancement::ScrollPercent(const PercentTrackbar& bar, UINT code)
{
    HWND trackbar = GetDlgItem(bar.trackbar);
    const auto position = static_cast<int>(SendMessageW(trackbar, TBM_GETPOS, 0, 0));
    SetText(bar.valueText, plat::Format(u"%d%%", position));
    if (code == SB_THUMBTRACK || code == SB_THUMBPOSITION)
        return;
    const CTWAINRange range = (DataSource->*bar.values)().GetRange();
    const auto low = static_cast<float>(SendMessageW(trackbar, TBM_GETRANGEMIN, 0, 0));
    const auto high = static_cast<float>(SendMessageW(trackbar, TBM_GETRANGEMAX, 0, 0));
    const auto value = static_cast<int>(
        ScaleValue(static_cast<float>(position), low, high, range.GetMin().GetFloat(), range.GetMax().GetFloat()));
    (DataSource->*bar.set)(static_cast<float>(value));
}

void CPropPageImageEnhancement::ScrollValue(const ValueTrackbar& bar, UINT code)
{
    const auto position = static_cast<int>(SendDlgItemMessageW(m_hWnd, bar.trackbar, TBM_GETPOS, 0, 0));
    SetText(bar.valueText, plat::Format(u"%d", position));
    if (code != SB_THUMBTRACK && code != SB_THUMBPOSITION)
        (DataSource->*bar.set)(static_cast<float>(position));
}

void CPropPageImageEnhancement::HandleScroll(int id, UINT code)
{
    switch (id) {
    case IDC_BRIGHTNESS:
        ScrollPercent(kBrightness, code);
        break;
    case IDC_CONTRAST:
        ScrollPercent(kContrast, code);
        break;
    case IDC_THRESHOLD:
        ScrollValue(kThreshold, code);
        break;
    case IDC_DYNAMIC_THRESHOLD:
        ScrollValue(kDynamicThreshold, code);
        break;
    case IDC_SPECKLE_DIAMETER:
        ScrollValue(kSpeckleDiameter, code);
        break;
    default:
        break;
    }
}

// ---- invert, mirror, despeckle ----

void CPropPageImageEnhancement::UpdateInvert()
{
    const bool supported = DataSource->IsCapSupported(CUSTCAP_INVERTIMAGE);
    Enable(IDC_INVERT, supported);
    Check(IDC_INVERT, supported && DataSource->InvertImage);
}

void CPropPageImageEnhancement::UpdateMirror()
{
    const bool supported = DataSource->IsCapSupported(CUSTCAP_MIRRORIMAGE);
    Enable(IDC_MIRROR, supported);
    Check(IDC_MIRROR, supported && DataSource->MirrorImage);
}

void CPropPageImageEnhancement::OnInvertClicked() { DataSource->InvertImage = IsChecked(IDC_INVERT); }

void CPropPageImageEnhancement::OnMirrorClicked() { DataSource->MirrorImage = IsChecked(IDC_MIRROR); }

void CPropPageImageEnhancement::UpdateDespeckle()
{
    Enable(IDC_DESPECKLE, false);
    Check(IDC_DESPECKLE, false);
    if (!DataSource->IsCapSupported(ICAP_NOISEFILTER) || !BlackAndWhite())
        return;
    const CTWAINEnumeration filters = DataSource->GetNoiseFilterValues().GetEnumeration();
    if (!filters.Contains(CTWAINOneValue(TWNF_LONEPIXEL)))
        return;
    Enable(IDC_DESPECKLE, true);
    const std::optional<CTWAINOneValue> current = filters.CurrentItem();
    Check(IDC_DESPECKLE, current && current->GetUInt16() == TWNF_LONEPIXEL);
}

void CPropPageImageEnhancement::OnDespeckleClicked()
{
    DataSource->SetNoiseFilterCurrent(IsChecked(IDC_DESPECKLE) ? TWNF_LONEPIXEL : TWNF_NONE);
    UpdateSpeckleDiameter();
}

// ---- colour dropout ----

void CPropPageImageEnhancement::UpdateColorDropout()
{
    const int colors[] = {IDC_DROPOUT_RED, IDC_DROPOUT_GREEN, IDC_DROPOUT_BLUE};
    Enable(IDC_COLOR_DROPOUT, false);
    Check(IDC_COLOR_DROPOUT, false);
    for (int id : colors) {
        Enable(id, false);
        Check(id, false);
    }
    const TW_UINT16 pixelType = DataSource->GetPixelTypeCurrent();
    if (!DataSource->IsCapSupported(ICAP_FILTER) || (pixelType != TWPT_BW && pixelType != TWPT_GRAY))
        return;
    const TW_UINT16 current = CurrentFilter();
    const CTWAINArray allowed = DataSource->GetFilterValues().GetArray();
    if (RememberedDropoutColor == -1)
        RememberedDropoutColor = current == TWFT_NONE ? TWFT_GREEN : current;
    Check(IDC_COLOR_DROPOUT, true);
    for (const CTWAINOneValue& item : allowed.m_List) {
        const TW_UINT16 value = item.GetUInt16();
        if (value <= TWFT_BLUE) {
            const int id = colors[value];
            Enable(id, current != TWFT_NONE);
            Check(id, current == value || (current == TWFT_NONE && RememberedDropoutColor == value));
        } else if (value == TWFT_NONE) {
            Enable(IDC_COLOR_DROPOUT, true);
            Check(IDC_COLOR_DROPOUT, current != TWFT_NONE);
        }
    }
}

void CPropPageImageEnhancement::OnColorDropoutClicked()
{
    if (IsChecked(IDC_COLOR_DROPOUT)) {
        DataSource->SetFilterCurrent(static_cast<TW_UINT16>(RememberedDropoutColor));
    } else {
        const TW_UINT16 current = CurrentFilter();
        RememberedDropoutColor = current == TWFT_NONE ? TWFT_GREEN : current;
        DataSource->SetFilterCurrent(TWFT_NONE);
    }
    UpdateColorDropout();
}

// ---- threshold technique ----

void CPropPageImageEnhancement::UpdateThresholdTechnique()
{
    const int radios[] = {IDC_TECHNIQUE_TEXT, IDC_TECHNIQUE_PHOTO, IDC_TECHNIQUE_MIXED, IDC_TECHNIQUE_DYNAMIC};
    for (int id : radios) {
        Enable(id, false);
        Check(id, false);
    }
    Enable(IDC_TECHNIQUE_LABEL, false);
    if (!BlackAndWhite() || !DataSource->IsCapSupported(ICAP_BITDEPTHREDUCTION))
        return;
    Enable(IDC_TECHNIQUE_LABEL, true);
    const CTWAINEnumeration reductions = DataSource->GetBitDepthReductionValues().GetEnumeration();
    const TW_UINT16 current = DataSource->GetBitDepthReductionCurrent();
    bool separation = false;
    if (DataSource->IsCapSupported(CUSTCAP_AUTOMATICSEPARATION)) {
        Enable(IDC_TECHNIQUE_MIXED, true);
        separation = DataSource->AutoSeparation;
        Check(IDC_TECHNIQUE_MIXED, separation);
    }
    for (const CTWAINOneValue& item : reductions.m_List) {
        const TW_UINT16 value = item.GetUInt16();
        int id = 0;
        if (value == TWBR_THRESHOLD)
            id = IDC_TECHNIQUE_TEXT;
        else if (value >= TWBR_HALFTONE && value <= TWBR_DIFFUSION)
            id = IDC_TECHNIQUE_PHOTO;
        else if (value == kDynamicThresholding)
            id = IDC_TECHNIQUE_DYNAMIC;
        if (id == 0)
            continue;
        Enable(id, true);
        if (current == value && !separation)
            Check(id, true);
    }
}

void CPropPageImageEnhancement::OnTextTechniqueClicked()
{
    if (DataSource->IsCapSupported(CUSTCAP_AUTOMATICSEPARATION))
        DataSource->AutoSeparation = false;
    DataSource->SetBitDepthReductionCurrent(TWBR_THRESHOLD);
    RefreshControls();
}

void CPropPageImageEnhancement::OnDynamicTechniqueClicked()
{
    if (DataSource->IsCapSupported(CUSTCAP_AUTOMATICSEPARATION))
        DataSource->AutoSeparation = false;
    DataSource->SetBitDepthReductionCurrent(kDynamicThresholding);
    RefreshControls();
}

void CPropPageImageEnhancement::OnPhotoTechniqueClicked()
{
    if (DataSource->IsCapSupported(CUSTCAP_AUTOMATICSEPARATION))
        DataSource->AutoSeparation = false;
    ApplyPhotoMethod();
    RefreshControls();
}

void CPropPageImageEnhancement::OnMixedTechniqueClicked()
{
    DataSource->AutoSeparation = true;
    ApplyPhotoMethod();
    RefreshControls();
}

// The remembered photo method comes back in force; a halftone with its name.
void CPropPageImageEnhancement::ApplyPhotoMethod()
{
    const auto method = static_cast<TW_UINT16>(RememberedPhotoMethod & 0xFFFF);
    DataSource->SetBitDepthReductionCurrent(method);
    if (method != TWBR_HALFTONE)
        return;
    HWND combo = GetDlgItem(IDC_HALFTONE_METHOD);
    const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) != RememberedPhotoMethod)
            continue;
        std::u16string name(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0)),
                            u'\0');
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(name.data()));
        DataSource->SetHalfTonesCurrent(Utf16ToUtf8(name));
        return;
    }
}

// ---- method list ----

void CPropPageImageEnhancement::FillHalftoneMethods()
{
    HWND combo = GetDlgItem(IDC_HALFTONE_METHOD);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    const auto add = [combo](const std::u16string& text, LPARAM data, bool select) {
        const auto index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (index < 0)
            return;
        SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
        if (select)
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    };
    if (DataSource->IsCapSupported(ICAP_BITDEPTHREDUCTION)) {
        const CTWAINEnumeration reductions = DataSource->GetBitDepthReductionValues().GetEnumeration();
        const TW_UINT16 current = DataSource->GetBitDepthReductionCurrent();
        for (const CTWAINOneValue& item : reductions.m_List) {
            const TW_UINT16 value = item.GetUInt16();
            if (value == TWBR_HALFTONE) {
                const CTWAINEnumeration names = DataSource->GetHalfTonesValues().GetEnumeration();
                const std::string currentName = DataSource->GetHalfTonesCurrent();
                for (size_t j = 0; j < names.m_List.size(); ++j) {
                    // A name shows as its item holds it: cut to the item's length.
                    const std::string name = names.m_List[j].GetString();
                    add(Utf8ToUtf16(name), MakeMethodItemData(TWBR_HALFTONE, static_cast<int>(j)),
                        current == TWBR_HALFTONE && name == currentName);
                }
            } else if (value == TWBR_DIFFUSION) {
                add(qbk24::ResourceText(m_hInstResource, IDS_ERROR_DIFFUSION), MakeMethodItemData(TWBR_DIFFUSION),
                    current != TWBR_HALFTONE);
            }
        }
    }
    ::EnableWindow(combo, SendMessageW(combo, CB_GETCOUNT, 0, 0) > 1);
}

void CPropPageImageEnhancement::SelectHalftoneMethod()
{
    HWND combo = GetDlgItem(IDC_HALFTONE_METHOD);
    ::EnableWindow(combo, FALSE);
    Enable(IDC_HALFTONE_METHOD_LABEL, false);
    if (DataSource->IsCapSupported(ICAP_BITDEPTHREDUCTION) && BlackAndWhite()) {
        const TW_UINT16 current = DataSource->GetBitDepthReductionCurrent();
        LPARAM wanted = 0;
        if (current == TWBR_HALFTONE)
            wanted = MakeMethodItemData(
                TWBR_HALFTONE, static_cast<int>(DataSource->GetHalfTonesValues().GetEnumeration().CurrentIndex));
        else if (current == TWBR_CUSTHALFTONE || current == TWBR_DIFFUSION)
            wanted = current;
        const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            if (SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) != wanted)
                continue;
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            ::EnableWindow(combo, count > 1);
            Enable(IDC_HALFTONE_METHOD_LABEL, true);
            RememberedPhotoMethod = static_cast<LONG>(wanted);
            break;
        }
    }
    if (RememberedPhotoMethod == -1)
        RememberedPhotoMethod = TWBR_DIFFUSION;
}

void CPropPageImageEnhancement::OnHalftoneMethodSelected()
{
    HWND combo = GetDlgItem(IDC_HALFTONE_METHOD);
    const auto selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR)
        return;
    const LPARAM data = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
    const auto method = static_cast<TW_UINT16>(data & 0xFFFF);
    DataSource->SetBitDepthReductionCurrent(method);
    if (method == TWBR_HALFTONE) {
        std::u16string name(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0)),
                            u'\0');
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(name.data()));
        DataSource->SetHalfTonesCurrent(Utf16ToUtf8(name));
    }
    RefreshControls();
}

// ---- commands ----

void CPropPageImageEnhancement::HandleCommand(int id, WORD code)
{
    if (id == IDC_HALFTONE_METHOD) {
        if (code == CBN_SELENDOK)
            OnHalftoneMethodSelected();
        return;
    }
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case IDC_COLOR_DROPOUT:
        OnColorDropoutClicked();
        break;
    case IDC_DROPOUT_RED:
    case IDC_DROPOUT_GREEN:
    case IDC_DROPOUT_BLUE:
        DataSource->SetFilterCurrent(static_cast<TW_UINT16>(id - IDC_DROPOUT_RED + TWFT_RED));
        break;
    case IDC_INVERT:
        OnInvertClicked();
        break;
    case IDC_DESPECKLE:
        OnDespeckleClicked();
        break;
    case IDC_MIRROR:
        OnMirrorClicked();
        break;
    case IDC_TECHNIQUE_TEXT:
        OnTextTechniqueClicked();
        break;
    case IDC_TECHNIQUE_PHOTO:
        OnPhotoTechniqueClicked();
        break;
    case IDC_TECHNIQUE_MIXED:
        OnMixedTechniqueClicked();
        break;
    case IDC_TECHNIQUE_DYNAMIC:
        OnDynamicTechniqueClicked();
        break;
    default:
        break;
    }
}
