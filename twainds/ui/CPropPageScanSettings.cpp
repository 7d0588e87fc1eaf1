#include "twainds/ui/CPropPageScanSettings.h"

#include "platform/base/format.h"
#include "platform/base/strings.h"
#include "platform/ui/Theme.h"
#include "twainds/CQBK24DataSource.h"
#include "twainds/ui/DecimalText.h"
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/ResourceText.h"
#include "twainfw/CTWAINContainer.h"
#include "twainfw/CTWAINFrame.h"
#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINException.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

using Trellis::CTWAINEnumeration;
using Trellis::CTWAINFrame;
using Trellis::CTWAINOneValue;

namespace {

constexpr float kSizeResolution = 300.0f;
constexpr float kMillimetresPerInch = 25.4f;
// An entry in millimetres this close above the maximum is the maximum: the
// maximum itself, typed in whole millimetres, rounds up past it.
constexpr float kMetricTolerance = 0.002f;
constexpr int kDrawTextIndent = 4;

// The comparing and the drawing of the size list each hold a named lock.
// The platform's named mutexes are shared within one process: the records
// compared and drawn belong to this page, so no other process has anything
// to wait for.
class NamedLock {
public:
    explicit NamedLock(const char* name) : m_mutex(CreateMutexA(nullptr, FALSE, name))
    {
        if (m_mutex)
            WaitForSingleObject(m_mutex, INFINITE);
    }
    ~NamedLock()
    {
        if (m_mutex) {
            ReleaseMutex(m_mutex);
            CloseHandle(m_mutex);
        }
    }
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

private:
    HANDLE m_mutex;
};

struct SizeSort {
    WORD sortClass;
    WORD series;
    WORD secondary;
};

bool Between(DWORD code, DWORD first, DWORD last) { return code >= first && code <= last; }

SizeSort SortOf(DWORD code)
{
    // clang-format off
    switch (code) {
    case 3: case 4: case 9: case 10: case 52: case 53: case 0x8011:
        return {kSortStandard, kSeriesUS, 0};
    case 0x8018:
        return {kSortStandard, kSeriesUS, 1};
    case 1: case 5: case 11: case 13:
        return {kSortStandard, kSeriesIsoA, 0};
    case 0x8017:
        return {kSortStandard, kSeriesIsoA, 1};
    case 6: case 7: case 12:
        return {kSortStandard, kSeriesIsoB, 0};
    case 14: case 15: case 16: case 0x8016:
        return {kSortStandard, kSeriesIsoC, 0};
    case 2:
        return {kSortStandard, kSeriesJisB, 0};
    case 0x8000: case 0x8001:
        return {kSortEnvelope, code == 0x8000 ? kSeriesIsoA : kSeriesUS, 0};
    case 0:
        return {kSortNone, kSeriesNone, 0};
    default:
        break;
    }
    // clang-format on
    if (Between(code, 17, 25))
        return {kSortStandard, kSeriesIsoA, 0};
    if (Between(code, 26, 33))
        return {kSortStandard, kSeriesIsoB, 0};
    if (Between(code, 44, 51))
        return {kSortStandard, kSeriesIsoC, 0};
    if (Between(code, 34, 43))
        return {kSortStandard, kSeriesJisB, 0};
    if (Between(code, 0x8002, 0x800A))
        return {kSortEnvelope, kSeriesIsoA, 0};
    if (Between(code, 0x800B, 0x8010))
        return {kSortEnvelope, kSeriesUS, 0};
    if (Between(code, 0x8012, 0x8015))
        return {kSortPhotograph, kSeriesUS, 0};
    return {kSortNone, kSeriesIsoA, 0};
}

const PageSizeItem* RecordOf(ULONG_PTR data)
{
    return data == 0 || data == static_cast<ULONG_PTR>(CB_ERR) ? nullptr : reinterpret_cast<const PageSizeItem*>(data);
}

} // namespace

int ComparePageSizeItems(const PageSizeItem* a, const PageSizeItem* b)
{
    if (!a)
        return b ? 1 : 0;
    if (!b)
        return -1;
    if (SortClassOf(*a) != SortClassOf(*b))
        return SortClassOf(*a) - SortClassOf(*b);
    if (SeriesOf(*a) != SeriesOf(*b))
        return SeriesOf(*a) - SeriesOf(*b);
    if (a->AreaCm2 != b->AreaCm2)
        return b->AreaCm2 - a->AreaCm2;
    if (SecondaryFlagOf(*a) != SecondaryFlagOf(*b))
        return SecondaryFlagOf(*a) - SecondaryFlagOf(*b);
    if (a->SizeCode != b->SizeCode)
        return a->SizeCode < b->SizeCode ? -1 : 1;
    return 0;
}

CPropPageScanSettings::CPropPageScanSettings(CQBK24DataSource* dataSource) : CSettingsPage(dataSource) {}

CPropPageScanSettings::~CPropPageScanSettings()
{
    // The window's destruction frees the size records.
    if (m_hWnd && IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

PageSizeItem* CPropPageScanSettings::MakePageSizeItem(TW_UINT16 code)
{
    const SizeSort sort = SortOf(code);
    auto* item = new PageSizeItem{};
    item->SizeCode = code;
    item->SortWord = static_cast<WORD>(sort.sortClass | (sort.secondary << 5) | (sort.series << 6));
    if (code != TWSS_NONE) {
        const CTWAINFrame frame =
            DataSource->GetCustomSizeFrame(code, TWUN_CENTIMETERS, kSizeResolution, kSizeResolution);
        const float area = (Trellis::Fix32ToFloat(frame.Right) - Trellis::Fix32ToFloat(frame.Left)) *
                               (Trellis::Fix32ToFloat(frame.Bottom) - Trellis::Fix32ToFloat(frame.Top)) +
                           0.5f;
        // Held in 16 bits: a larger area stays the largest instead of
        // wrapping round to a small one.
        item->AreaCm2 = static_cast<WORD>(std::clamp(area, 0.0f, 65535.0f));
    }
    return item;
}

// ---- initialisation and refresh ----

BOOL CPropPageScanSettings::OnInitDialog()
{
    EnableThemeDialogTexture(m_hWnd, ETDT_ENABLETAB);
    CDialog::OnInitDialog();
    InitPageSource();
    FillStandardSizes();
    RefreshControls();
    return TRUE;
}

void CPropPageScanSettings::RefreshControls()
{
    InitPixelType();
    InitDuplex();
    InitOrientation();
    InitResolution();
    InitPageSize();
    ShowCustomSize();
}

// Which sources the device really accepts is found by trying each.
void CPropPageScanSettings::InitPageSource()
{
    bool feeder = false;
    bool flatbed = false;
    bool previous = true;
    if (DataSource->IsCapSupported(CAP_FEEDERENABLED)) {
        previous = DataSource->GetFeederEnabledCurrent();
        try {
            DataSource->SetFeederEnabledCurrent(true);
            feeder = DataSource->GetFeederEnabledCurrent();
        } catch (const Trellis::CTWAINException&) {
        }
        flatbed = !feeder;
        if (feeder) {
            try {
                DataSource->SetFeederEnabledCurrent(false);
                if (!DataSource->GetFeederEnabledCurrent())
                    flatbed = true;
            } catch (const Trellis::CTWAINException&) {
            }
        }
        // A source that refuses its own former setting keeps what it took.
        try {
            DataSource->SetFeederEnabledCurrent(previous);
        } catch (const Trellis::CTWAINException&) {
        }
    }
    HWND combo = GetDlgItem(IDC_PAGE_SOURCE);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    const auto add = [&](UINT textId, LPARAM data, bool select) {
        const std::u16string text = qbk24::ResourceText(m_hInstResource, textId);
        const auto index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
        if (select)
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    };
    if (feeder)
        add(IDS_ADF, 1, previous);
    if (flatbed)
        add(IDS_FLATBED, 0, !previous);
    ::EnableWindow(combo, feeder && flatbed);
}

void CPropPageScanSettings::FreeSizeRecords()
{
    HWND combo = GetDlgItem(IDC_STANDARD_SIZES);
    for (auto i = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0)) - 1; i >= 0; --i) {
        const PageSizeItem* record =
            RecordOf(static_cast<ULONG_PTR>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)));
        if (!record)
            break;
        delete record;
        SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(i), 0);
    }
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
}

void CPropPageScanSettings::FillStandardSizes()
{
    FreeSizeRecords();
    HWND combo = GetDlgItem(IDC_STANDARD_SIZES);
    if (!DataSource->IsCapSupported(ICAP_SUPPORTEDSIZES)) {
        ::EnableWindow(combo, FALSE);
        Enable(IDC_STANDARD_SIZE, false);
        Enable(IDC_CUSTOM_SIZE, false);
        return;
    }
    ::EnableWindow(combo, TRUE);
    const CTWAINEnumeration sizes = DataSource->GetSupportedSizesValues().GetEnumeration();
    bool custom = false;
    for (const CTWAINOneValue& size : sizes.m_List) {
        const TW_UINT16 code = size.GetUInt16();
        custom = custom || code == TWSS_NONE;
        PageSizeItem* record = MakePageSizeItem(code);
        if (SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(record)) < 0)
            delete record;
    }
    Enable(IDC_STANDARD_SIZE, true);
    Enable(IDC_CUSTOM_SIZE, custom);
}

void CPropPageScanSettings::InitPixelType()
{
    const int radios[] = {IDC_MODE_BW, IDC_MODE_GRAY, IDC_MODE_COLOR};
    const TW_UINT16 types[] = {TWPT_BW, TWPT_GRAY, TWPT_RGB};
    if (!DataSource->IsCapSupported(ICAP_PIXELTYPE)) {
        for (int radio : radios) {
            Enable(radio, false);
            Check(radio, false);
        }
        return;
    }
    const CTWAINEnumeration values = DataSource->GetPixelTypeValues().GetEnumeration();
    const std::optional<CTWAINOneValue> current = values.CurrentItem();
    for (size_t i = 0; i < std::size(radios); ++i) {
        const CTWAINOneValue value(types[i]);
        const bool offered = values.Contains(value);
        Enable(radios[i], offered);
        Check(radios[i], offered && current && current->GetUInt16() == types[i]);
    }
}

void CPropPageScanSettings::InitDuplex()
{
    const bool supported = DataSource->IsCapSupported(CAP_DUPLEX) && DataSource->IsCapSupported(CAP_DUPLEXENABLED);
    const bool duplex = supported && DataSource->GetDuplexEnabledCurrent();
    Enable(IDC_SINGLE_SIDED, true);
    Enable(IDC_DOUBLE_SIDED, supported);
    Check(IDC_SINGLE_SIDED, !duplex);
    Check(IDC_DOUBLE_SIDED, duplex);
}

void CPropPageScanSettings::InitOrientation()
{
    Enable(IDC_PORTRAIT, false);
    Enable(IDC_LANDSCAPE, false);
    Check(IDC_PORTRAIT, false);
    Check(IDC_LANDSCAPE, false);
    // With a custom size the orientation cannot be changed.
    if (!DataSource->IsCapSupported(ICAP_ORIENTATION) || DataSource->GetSupportedSizesCurrent() == TWSS_NONE)
        return;
    const CTWAINEnumeration values = DataSource->GetOrientationValues().GetEnumeration();
    const TW_UINT16 current = DataSource->GetOrientationCurrent();
    if (values.Contains(CTWAINOneValue(TWOR_PORTRAIT))) {
        Enable(IDC_PORTRAIT, true);
        Check(IDC_PORTRAIT, current == TWOR_PORTRAIT);
    }
    if (values.Contains(CTWAINOneValue(TWOR_LANDSCAPE))) {
        Enable(IDC_LANDSCAPE, true);
        Check(IDC_LANDSCAPE, current == TWOR_LANDSCAPE);
    }
}

void CPropPageScanSettings::InitResolution()
{
    HWND trackbar = GetDlgItem(IDC_RESOLUTION);
    if (!DataSource->IsCapSupported(ICAP_XRESOLUTION)) {
        ::EnableWindow(trackbar, FALSE);
        Enable(IDC_RESOLUTION_TEXT, false);
        SendMessageW(trackbar, TBM_SETRANGE, TRUE, MAKELONG(0, 100));
        SendMessageW(trackbar, TBM_SETPOS, TRUE, 50);
        SetText(IDC_RESOLUTION_TEXT, u"");
        SetText(IDC_RESOLUTION_MIN, u"");
        SetText(IDC_RESOLUTION_MAX, u"");
        return;
    }
    ::EnableWindow(trackbar, TRUE);
    Enable(IDC_RESOLUTION_TEXT, true);
    const CTWAINEnumeration values = DataSource->GetXResolutionValues().GetEnumeration();
    const auto last = static_cast<WORD>(values.GetCount() > 0 ? values.GetCount() - 1 : 0);
    SendMessageW(trackbar, TBM_SETRANGE, TRUE, MAKELONG(0, last));
    SendMessageW(trackbar, TBM_SETPOS, TRUE, static_cast<LPARAM>(values.CurrentIndex));
    if (const std::optional<CTWAINOneValue> current = values.CurrentItem()) {
        const std::u16string format = qbk24::ResourceText(m_hInstResource, IDS_DPI);
        SetText(IDC_RESOLUTION_TEXT, plat::Format(format.c_str(), static_cast<int>(current->GetFloat())));
    }
    int smallest = 9999999;
    int largest = 0;
    for (const CTWAINOneValue& value : values.m_List) {
        const auto dpi = static_cast<int>(value.GetFloat());
        smallest = std::min(smallest, dpi);
        largest = std::max(largest, dpi);
    }
    SetText(IDC_RESOLUTION_MIN, qbk24::FormatWhole(smallest));
    SetText(IDC_RESOLUTION_MAX, qbk24::FormatWhole(largest));
}

void CPropPageScanSettings::InitPageSize()
{
    if (DataSource->IsCapSupported(ICAP_SUPPORTEDSIZES)) {
        const TW_UINT16 current = DataSource->GetSupportedSizesCurrent();
        Enable(IDC_CUSTOM_UNITS, true);
        HWND combo = GetDlgItem(IDC_STANDARD_SIZES);
        const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            const PageSizeItem* record =
                RecordOf(static_cast<ULONG_PTR>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)));
            if (!record || record->SizeCode != current)
                continue;
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            if (current != TWSS_NONE) {
                LastStandardSize = current;
                MetricUnits = SeriesOf(*record) != kSeriesUS ? 1 : 0;
            }
            break;
        }
        Check(IDC_STANDARD_SIZE, current != TWSS_NONE);
        Check(IDC_CUSTOM_SIZE, current == TWSS_NONE);
    } else {
        Check(IDC_STANDARD_SIZE, false);
        Check(IDC_CUSTOM_SIZE, false);
    }
    // Long documents exist only with a custom size.
    if (IsChecked(IDC_CUSTOM_SIZE)) {
        Enable(IDC_LONG_DOCUMENT, true);
        Check(IDC_LONG_DOCUMENT, DataSource->LongDocument);
    } else {
        Enable(IDC_LONG_DOCUMENT, false);
        if (IsChecked(IDC_LONG_DOCUMENT)) {
            DataSource->LongDocument = false;
            Check(IDC_LONG_DOCUMENT, false);
        }
    }
}

void CPropPageScanSettings::ShowCustomSize()
{
    if (!DataSource->IsCapSupported(ICAP_SUPPORTEDSIZES)) {
        Enable(IDC_CUSTOM_WIDTH, false);
        Enable(IDC_CUSTOM_HEIGHT, false);
        SetText(IDC_CUSTOM_WIDTH, u"");
        SetText(IDC_CUSTOM_HEIGHT, u"");
        SetText(IDC_CUSTOM_UNITS, u"");
        Enable(IDC_CUSTOM_UNITS, false);
        return;
    }
    SetText(IDC_CUSTOM_UNITS, qbk24::ResourceText(m_hInstResource, MetricUnits ? IDS_MM : IDS_INCHES));
    const int unit = MetricUnits ? TWUN_CENTIMETERS : TWUN_INCHES;
    const TW_UINT16 current = DataSource->GetSupportedSizesCurrent();
    CTWAINFrame frame;
    if (current != TWSS_NONE)
        frame = DataSource->GetCustomSizeFrame(current, unit, kSizeResolution, kSizeResolution);
    else
        frame = DataSource->GetFramesCurrent().ConvertUnits(DataSource->GetUnitsCurrent(), unit, kSizeResolution,
                                                            kSizeResolution);
    const float across = Trellis::Fix32ToFloat(frame.Right) - Trellis::Fix32ToFloat(frame.Left);
    const float down = Trellis::Fix32ToFloat(frame.Bottom) - Trellis::Fix32ToFloat(frame.Top);
    const bool portrait = DataSource->GetOrientationCurrent() == TWOR_PORTRAIT;
    const float width = portrait ? across : down;
    const float height = portrait ? down : across;
    const auto text = [this](float value) {
        return MetricUnits ? qbk24::FormatWhole(static_cast<int>(value * 10.0f + 0.5f))
                           : qbk24::FormatTwoDecimals(value);
    };
    SetText(IDC_CUSTOM_WIDTH, text(width));
    SetText(IDC_CUSTOM_HEIGHT, text(height));
    Enable(IDC_CUSTOM_WIDTH, current == TWSS_NONE);
    Enable(IDC_CUSTOM_HEIGHT, current == TWSS_NONE);
}

// ---- custom size entry ----

void CPropPageScanSettings::OnWidthKillFocus() { CustomSizeEntry(false); }

void CPropPageScanSettings::OnHeightKillFocus() { CustomSizeEntry(true); }

void CPropPageScanSettings::CommitFocusedEdit()
{
    if (!m_hWnd)
        return;
    // Called for the main dialog's OK, outside this page's commands: a
    // refused entry ends here as it does there.
    try {
        HWND focus = GetFocus();
        if (focus && focus == GetDlgItem(IDC_CUSTOM_WIDTH))
            OnWidthKillFocus();
        else if (focus && focus == GetDlgItem(IDC_CUSTOM_HEIGHT))
            OnHeightKillFocus();
    } catch (const Trellis::CTWAINException&) {
        RecoverFromRefusal();
    }
}

// The entry is taken in inches whatever the application's units, clamped
// to what the feeder takes. In landscape the page shows the frame's
// vertical extent as the width (and the horizontal one as the height), so
// an entry there sets the edges it shows: the width the frame's height,
// the height its width.
void CPropPageScanSettings::CustomSizeEntry(bool height)
{
    if (DataSource->GetSupportedSizesCurrent() != TWSS_NONE)
        return;
    const TW_UINT16 savedUnits = DataSource->GetUnitsCurrent();
    DataSource->SetUnitsCurrent(TWUN_INCHES);
    try {
        const bool portrait = DataSource->GetOrientationCurrent() == TWOR_PORTRAIT;
        const bool vertical = portrait == height; // the entry sets Top and Bottom
        const float maximum = vertical ? DataSource->GetPhysicalHeight() : DataSource->GetPhysicalWidth();
        const float minimum = vertical ? DataSource->GetMinimumHeight() : DataSource->GetMinimumWidth();

        const int editId = height ? IDC_CUSTOM_HEIGHT : IDC_CUSTOM_WIDTH;
        HWND edit = GetDlgItem(editId);
        std::vector<WCHAR> buffer(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1);
        GetWindowTextW(edit, buffer.data(), static_cast<int>(buffer.size()));
        float value = qbk24::ReadDecimal(buffer.data());
        if (MetricUnits) {
            value = value / kMillimetresPerInch;
            if (value > maximum && value - maximum < kMetricTolerance)
                value = maximum;
        }
        const bool tooLarge = value > maximum;
        const bool tooSmall = value < minimum;
        if (tooLarge || tooSmall) {
            const std::u16string title =
                qbk24::ResourceText(m_hInstResource, tooLarge ? IDS_SIZE_TOO_LARGE : IDS_SIZE_TOO_SMALL);
            const std::u16string text =
                qbk24::ResourceText(m_hInstResource, tooLarge ? IDS_SIZE_SET_TO_MAXIMUM : IDS_SIZE_SET_TO_MINIMUM);
            EDITBALLOONTIP tip{sizeof(EDITBALLOONTIP), title.c_str(), text.c_str(), TTI_ERROR};
            SendMessageW(edit, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip));
            value = tooLarge ? maximum : minimum;
            SetText(editId, MetricUnits ? qbk24::FormatWhole(static_cast<int>(value * kMillimetresPerInch + 0.5f))
                                        : qbk24::FormatTwoDecimals(value));
        }
        CTWAINFrame frame = DataSource->GetFramesCurrent();
        if (vertical) {
            frame.SetTop(0.0f);
            frame.SetBottom(value);
        } else {
            frame.SetLeft(0.0f);
            frame.SetRight(value);
        }
        DataSource->SetFramesCurrent(frame);
    } catch (...) {
        DataSource->SetUnitsCurrent(savedUnits);
        throw;
    }
    DataSource->SetUnitsCurrent(savedUnits);
}

// ---- handlers ----

void CPropPageScanSettings::HandleCommand(int id, WORD code)
{
    HWND control = GetDlgItem(id);
    switch (id) {
    case IDC_PAGE_SOURCE:
        if (code == CBN_SELENDOK) {
            const auto selected = SendMessageW(control, CB_GETCURSEL, 0, 0);
            if (selected == CB_ERR)
                return;
            DataSource->SetFeederEnabledCurrent(
                SendMessageW(control, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0) != 0);
            RefreshControls();
        }
        return;
    case IDC_MODE_BW:
    case IDC_MODE_GRAY:
    case IDC_MODE_COLOR:
        if (code == BN_CLICKED) {
            DataSource->SetPixelTypeCurrent(id == IDC_MODE_BW ? TWPT_BW : id == IDC_MODE_GRAY ? TWPT_GRAY : TWPT_RGB);
            InitResolution();
        }
        return;
    case IDC_SINGLE_SIDED:
    case IDC_DOUBLE_SIDED:
        if (code == BN_CLICKED)
            DataSource->SetDuplexEnabledCurrent(id == IDC_DOUBLE_SIDED);
        return;
    case IDC_STANDARD_SIZE:
    case IDC_CUSTOM_SIZE:
        if (code == BN_CLICKED) {
            DataSource->SetSupportedSizesCurrent(id == IDC_STANDARD_SIZE ? static_cast<TW_UINT16>(LastStandardSize)
                                                                         : TWSS_NONE);
            InitOrientation();
            InitPageSize();
            ShowCustomSize();
        }
        return;
    case IDC_STANDARD_SIZES:
        if (code == CBN_SELENDOK) {
            const auto selected = SendMessageW(control, CB_GETCURSEL, 0, 0);
            const PageSizeItem* record =
                selected == CB_ERR ? nullptr
                                   : RecordOf(static_cast<ULONG_PTR>(
                                         SendMessageW(control, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0)));
            if (record) {
                DataSource->SetSupportedSizesCurrent(static_cast<TW_UINT16>(record->SizeCode));
                if (record->SizeCode != TWSS_NONE)
                    LastStandardSize = static_cast<int>(record->SizeCode);
            }
            InitOrientation();
            InitPageSize();
            ShowCustomSize();
        }
        return;
    case IDC_CUSTOM_UNITS:
        if (code == STN_CLICKED) {
            MetricUnits = !MetricUnits;
            ShowCustomSize();
        }
        return;
    case IDC_CUSTOM_WIDTH:
        if (code == EN_KILLFOCUS)
            OnWidthKillFocus();
        return;
    case IDC_CUSTOM_HEIGHT:
        if (code == EN_KILLFOCUS)
            OnHeightKillFocus();
        return;
    case IDC_PORTRAIT:
    case IDC_LANDSCAPE:
        if (code == BN_CLICKED)
            OnOrientationClicked(id == IDC_LANDSCAPE ? TWOR_LANDSCAPE : TWOR_PORTRAIT);
        return;
    case IDC_LONG_DOCUMENT:
        if (code == BN_CLICKED) {
            if (IsChecked(IDC_LONG_DOCUMENT)) {
                DataSource->LongDocument = true;
            } else {
                // The height shrinks to the new maximum.
                DataSource->LongDocument = false;
                OnHeightKillFocus();
            }
        }
        return;
    default:
        return;
    }
}

// The size stays when the other orientation's list offers it.
void CPropPageScanSettings::OnOrientationClicked(TW_UINT16 orientation)
{
    const TW_UINT16 size = DataSource->GetSupportedSizesCurrent();
    DataSource->SetOrientationCurrent(orientation);
    const CTWAINEnumeration sizes = DataSource->GetSupportedSizesValues().GetEnumeration();
    if (sizes.Contains(CTWAINOneValue(size)))
        DataSource->SetSupportedSizesCurrent(size);
    FillStandardSizes();
    RefreshControls();
}

void CPropPageScanSettings::HandleScroll(int id, UINT code)
{
    if (id != IDC_RESOLUTION)
        return;
    const CTWAINEnumeration values = DataSource->GetXResolutionValues().GetEnumeration();
    const auto index = static_cast<size_t>(SendMessageW(GetDlgItem(IDC_RESOLUTION), TBM_GETPOS, 0, 0));
    if (index >= values.m_List.size())
        return;
    const float value = values.m_List[index].GetFloat();
    const std::u16string format = qbk24::ResourceText(m_hInstResource, IDS_DPI);
    SetText(IDC_RESOLUTION_TEXT, plat::Format(format.c_str(), static_cast<int>(value)));
    if (code != TB_THUMBPOSITION && code != TB_THUMBTRACK)
        DataSource->SetXResolutionCurrent(value);
}

void CPropPageScanSettings::OnDestroy() { FreeSizeRecords(); }

int CPropPageScanSettings::OnCompareItem(int id, LPCOMPAREITEMSTRUCT compare)
{
    if (id != IDC_STANDARD_SIZES || !compare)
        return CDialog::OnCompareItem(id, compare);
    NamedLock lock("CPropPageScanSettings::OnCompareItem()");
    return ComparePageSizeItems(RecordOf(compare->itemData1), RecordOf(compare->itemData2));
}

void CPropPageScanSettings::OnDrawItem(int id, LPDRAWITEMSTRUCT draw)
{
    if (id != IDC_STANDARD_SIZES) {
        CDialog::OnDrawItem(id, draw);
        return;
    }
    if (!draw || draw->itemData == static_cast<ULONG_PTR>(-1))
        return;
    NamedLock lock("CPropPageScanSettings::OnDrawItem()");
    const PageSizeItem* record = RecordOf(draw->itemData);
    if (!record)
        return;
    const std::u16string text =
        Utf8ToUtf16(DataSource->GetSupportedSizeText(m_hInstResource, static_cast<TW_UINT16>(record->SizeCode)));

    HDC dc = draw->hDC;
    const COLORREF oldText = GetTextColor(dc);
    const COLORREF oldBackground = GetBkColor(dc);
    if (draw->itemState & ODS_SELECTED) {
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
        FillRect(dc, &draw->rcItem, GetSysColorBrush(COLOR_HIGHLIGHT));
    } else {
        HBRUSH background = CreateSolidBrush(oldBackground);
        FillRect(dc, &draw->rcItem, background);
        DeleteObject(background);
    }
    if (draw->itemState & ODS_FOCUS) {
        HBRUSH border = CreateSolidBrush(GetSysColor(COLOR_ACTIVEBORDER));
        FrameRect(dc, &draw->rcItem, border);
        DeleteObject(border);
    }
    // The name, then the dimensions from the middle of the entry.
    const size_t tab = text.find(u'\t');
    const std::u16string name = text.substr(0, tab);
    const std::u16string dimensions = tab == std::u16string::npos ? std::u16string() : text.substr(tab + 1);
    RECT area = draw->rcItem;
    area.left += kDrawTextIndent;
    DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &area, DT_SINGLELINE | DT_VCENTER);
    area.left = (area.left + draw->rcItem.right) / 2;
    DrawTextW(dc, dimensions.c_str(), static_cast<int>(dimensions.size()), &area, DT_SINGLELINE | DT_VCENTER);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBackground);
}
