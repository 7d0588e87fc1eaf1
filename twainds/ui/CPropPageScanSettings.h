// The "Scan Settings" page of the main dialog: page source, colour mode,
// resolution, single- or double-sided, page size (a standard size from the
// source's list, or a custom width and height in inches or millimetres),
// orientation and long documents. The page keeps no settings of its own:
// every control shows a capability of the data source, and every action is
// applied to the source at once and followed by a re-read of the controls
// that depend on it.
#pragma once

#include "platform/twain/twain.h"
#include "twainds/ui/CSettingsPage.h"

#include <string>

class CQBK24DataSource;

// The record behind each entry of the standard-size list (the list holds
// no strings): where the size sorts, and its code.
struct PageSizeItem {
    WORD SortWord; // SortClass in bits 0-4, a secondary flag in bit 5, the paper series in bits 6-9
    WORD AreaCm2;  // rounded; larger sizes sort first
    DWORD SizeCode;
};
static_assert(sizeof(PageSizeItem) == 8);

// Sort classes and paper series of the size list.
constexpr WORD kSortStandard = 0;
constexpr WORD kSortEnvelope = 1;
constexpr WORD kSortPhotograph = 2;
constexpr WORD kSortNone = 31;
constexpr WORD kSeriesUS = 0;
constexpr WORD kSeriesIsoA = 1;
constexpr WORD kSeriesIsoB = 2;
constexpr WORD kSeriesIsoC = 3;
constexpr WORD kSeriesJisB = 4;
constexpr WORD kSeriesNone = 15;

inline WORD SortClassOf(const PageSizeItem& item) { return item.SortWord & 0x1F; }
inline WORD SeriesOf(const PageSizeItem& item) { return (item.SortWord >> 6) & 0xF; }
inline WORD SecondaryFlagOf(const PageSizeItem& item) { return (item.SortWord >> 5) & 1; }

// The order of two records of the size list (negative: `a` first); an
// absent record goes last.
int ComparePageSizeItems(const PageSizeItem* a, const PageSizeItem* b);

class CPropPageScanSettings : public CSettingsPage {
public:
    explicit CPropPageScanSettings(CQBK24DataSource* dataSource);
    ~CPropPageScanSettings() override;

    // Runs the custom width or height entry of the edit that has the focus,
    // so that Enter in the main dialog takes what was typed first.
    void CommitFocusedEdit();

    PageSizeItem* MakePageSizeItem(TW_UINT16 code);

    int MetricUnits = 0;      // custom-size unit: 0 inches, 1 millimetres
    int LastStandardSize = 3; // TWSS_USLETTER

protected:
    BOOL OnInitDialog() override;
    void HandleCommand(int id, WORD code) override;
    // A drag only moves the resolution's label; the value is set when it
    // ends.
    void HandleScroll(int id, UINT code) override;
    // The page is read again whenever it gets the focus.
    void RefreshPage() override { RefreshControls(); }
    void OnDestroy() override;
    int OnCompareItem(int id, LPCOMPAREITEMSTRUCT compare) override;
    void OnDrawItem(int id, LPDRAWITEMSTRUCT draw) override;

    void InitPageSource();
    void FillStandardSizes();
    void InitPixelType();
    void InitDuplex();
    void InitOrientation();
    void InitResolution();
    void InitPageSize();
    void ShowCustomSize();
    // InitPixelType through ShowCustomSize: what the page shows of the
    // source after a change elsewhere.
    void RefreshControls();
    void OnWidthKillFocus();
    void OnHeightKillFocus();

private:
    void OnOrientationClicked(TW_UINT16 orientation);
    void CustomSizeEntry(bool height);
    void FreeSizeRecords();
};
