// The "Image Enhancements" page of the main dialog: invert and mirror,
// despeckle with the speckle diameter, colour dropout, brightness and
// contrast, the threshold technique, the dither/halftone/error-diffusion
// method, the threshold and the dynamic threshold. Every action goes to the
// data source at once; what other controls may offer is then read back.
#pragma once

#include "twainfw/CTWAINContainer.h"
#include "twainds/ui/CSettingsPage.h"

class CQBK24DataSource;

// The item data of an entry of the method list: the bit-depth reduction in
// bits 0-15; for a halftone, the index of its name in the halftone list in
// bits 16-31.
constexpr LPARAM MakeMethodItemData(TW_UINT16 bitDepthReduction, int halftoneIndex = 0)
{
    return static_cast<LPARAM>((static_cast<DWORD>(halftoneIndex) << 16) | bitDepthReduction);
}

class CPropPageImageEnhancement : public CSettingsPage {
public:
    explicit CPropPageImageEnhancement(CQBK24DataSource* dataSource) : CSettingsPage(dataSource) {}

    // The dropout colour (TWFT_RED, GREEN, BLUE) that switching colour
    // dropout on restores; -1 until first set.
    LONG RememberedDropoutColor = -1;
    // The method item data of the photo method last in force; -1 until
    // first set.
    LONG RememberedPhotoMethod = -1;

protected:
    BOOL OnInitDialog() override;
    void HandleCommand(int id, WORD code) override;
    void HandleScroll(int id, UINT code) override;
    void RefreshPage() override { RefreshControls(); }

    void UpdateBrightness();
    void UpdateContrast();
    void UpdateThresholdTechnique();
    void SelectHalftoneMethod();
    void UpdateDynamicThreshold();
    void UpdateThreshold();
    void UpdateColorDropout();
    void UpdateMirror();
    void UpdateInvert();
    void UpdateDespeckle();
    void UpdateSpeckleDiameter();
    void FillHalftoneMethods();
    void RefreshControls();

    void OnColorDropoutClicked();
    void OnInvertClicked();
    void OnMirrorClicked();
    void OnDespeckleClicked();
    void OnTextTechniqueClicked();
    void OnPhotoTechniqueClicked();
    void OnMixedTechniqueClicked();
    void OnDynamicTechniqueClicked();
    void OnHalftoneMethodSelected();

private:
    // A trackbar shown as 0-100 % of a capability's range.
    struct PercentTrackbar {
        int trackbar;
        int valueText;
        int lowLabel;
        int highLabel;
        TW_UINT16 capability;
        Trellis::CTWAINContainer (CQBK24DataSource::*values)();
        void (CQBK24DataSource::*set)(float);
    };
    // A trackbar over a capability's own whole-number range.
    struct ValueTrackbar {
        int trackbar;
        int valueText;
        TW_UINT16 capability;
        Trellis::CTWAINContainer (CQBK24DataSource::*values)();
        void (CQBK24DataSource::*set)(float);
    };
    static const PercentTrackbar kBrightness;
    static const PercentTrackbar kContrast;
    static const ValueTrackbar kThreshold;
    static const ValueTrackbar kDynamicThreshold;
    static const ValueTrackbar kSpeckleDiameter;

    void UpdatePercent(const PercentTrackbar& bar);
    void UpdateValue(const ValueTrackbar& bar);
    void ScrollPercent(const PercentTrackbar& bar, UINT code);
    void ScrollValue(const ValueTrackbar& bar, UINT code);
    void ApplyPhotoMethod();
    bool BlackAndWhite();
    // Dynamic thresholding is the bit-depth reduction in force.
    bool DynamicThresholding();
    // The first value of the current filter array, or TWFT_NONE.
    TW_UINT16 CurrentFilter();
};
