// The route of every capability id the framework knows, as one table of
// rows. A row names the capability's shape and its accessors, in the order
// of its accessor group; the shape says which accessor each message calls
// and how the value crosses in the container. Routes that fit no shape are
// spelt out with named functions for their special steps.
//
// Adding a capability is its accessor group in CTWAINDataSource.h and one
// row here.
#include "twainfw/CapabilityRoutes.h"

#include "twainfw/CapabilityShapes.h"

#include <string>

namespace Trellis {

// Where each capability held in a plain member of the data source keeps
// its value. The printer tables speak of the printer that CAP_PRINTER
// selects.
struct MemberCapabilities {
    static TW_UINT8& ThumbnailsEnabled(CTWAINDataSource& ds) { return ds.m_ThumbnailsEnabled; }
    static TW_UINT8& PrinterEnabled(CTWAINDataSource& ds) { return ds.m_PrinterEnabled[Printer(ds)]; }
    static TW_INT32& PrinterIndex(CTWAINDataSource& ds) { return ds.m_PrinterIndex[Printer(ds)]; }
    static std::string& PrinterSuffix(CTWAINDataSource& ds) { return ds.m_PrinterSuffix[Printer(ds)]; }
    static TW_UINT8& BarCodeDetectionEnabled(CTWAINDataSource& ds) { return ds.m_BarCodeDetectionEnabled; }
    static TW_UINT8& PatchCodeDetectionEnabled(CTWAINDataSource& ds) { return ds.m_PatchCodeDetectionEnabled; }
    static TW_UINT8& AutomaticBorderDetection(CTWAINDataSource& ds) { return ds.m_AutomaticBorderDetection; }
    static bool& AutomaticDeskew(CTWAINDataSource& ds) { return ds.m_AutomaticDeskew; }
    static TW_UINT8& MultipageTIFF(CTWAINDataSource& ds) { return ds.m_MultipageTIFF; }

private:
    static size_t Printer(CTWAINDataSource& ds)
    {
        const TW_UINT16 current = ds.GetPrinterCurrent();
        if (current >= std::size(ds.m_PrinterEnabled))
            ds.ThrowFailure(TWCC_BADVALUE);
        return current;
    }
};

namespace {

using namespace routes;

// ---- the special steps ----

// ICAP_FILTER: an array sets the filters, a one value the one filter.
void SetFilter(DS& ds, const CTWAINContainer& container)
{
    switch (container.ContainerType) {
    case TWON_ARRAY:
        ds.SetFilterArray(container.GetArray());
        return;
    case TWON_ONEVALUE:
        ds.SetFilterCurrent(ValueOf<TW_UINT16>(container.GetOneValue(), TWTY_UINT16));
        return;
    default:
        ds.ThrowFailure(TWCC_BADVALUE);
    }
}

// ICAP_HALFTONES: an array sets the list, an enumeration constrains it, a
// one value names the current halftone.
void SetHalfTones(DS& ds, const CTWAINContainer& container)
{
    switch (container.ContainerType) {
    case TWON_ARRAY:
        ds.SetHalfTonesArray(container.GetArray());
        return;
    case TWON_ENUMERATION:
        ds.SetHalfTonesConstraint(container.GetEnumeration());
        return;
    case TWON_ONEVALUE:
        ds.SetHalfTonesCurrent(ValueOf<std::string>(container.GetOneValue(), TWTY_STR32));
        return;
    default:
        ds.ThrowFailure(TWCC_BADVALUE);
    }
}

// CAP_PRINTERSTRING: the strings answer as an enumeration, whatever the
// accessor's container.
void AnswerPrinterStrings(DS& ds, CTWAINContainer& container)
{
    container.SetEnumeration(ds.GetPrinterStringValues().List);
}

// ICAP_JPEGQUALITY takes a one value only.
void SetJPEGQuality(DS& ds, const CTWAINContainer& container)
{
    if (container.ContainerType != TWON_ONEVALUE)
        ds.ThrowFailure(TWCC_BADVALUE);
    ds.SetJPEGQualityCurrent(ValueOf<TW_UINT16>(container.GetOneValue(), TWTY_UINT16));
}

// ICAP_FRAMES: an application's frame is taken only where the physical
// frame holds it.
void SetFrames(DS& ds, const CTWAINContainer& container)
{
    const CTWAINFrame physical(0, 0, ds.GetPhysicalWidth(), ds.GetPhysicalHeight());
    switch (container.ContainerType) {
    case TWON_ONEVALUE: {
        const CTWAINOneValue value = container.GetOneValue();
        if (value.ItemType != TWTY_FRAME || !physical.Contains(value.Frame))
            ds.ThrowFailure(TWCC_BADVALUE);
        ds.SetFramesCurrent(value.Frame);
        return;
    }
    case TWON_ENUMERATION: {
        const CTWAINEnumeration requested = container.GetEnumeration();
        CTWAINEnumeration inside;
        bool dropped = false;
        for (const CTWAINOneValue& value : requested.m_List) {
            if (value.ItemType == TWTY_FRAME && physical.Contains(value.Frame))
                inside.Add(value);
            else
                dropped = true;
        }
        if (inside.GetCount() == 0)
            ds.ThrowFailure(TWCC_BADVALUE);
        ds.SetFramesConstraint(inside);
        if (dropped)
            ds.ThrowCheckStatus(TWCC_BADVALUE);
        return;
    }
    default:
        ds.ThrowFailure(TWCC_BADVALUE);
    }
}

// ICAP_IMAGEDATASET: the images 1..n answer as the one value n, any other
// set as an array.
void AnswerImageDataSet(DS& ds, CTWAINContainer& container)
{
    CTWAINContainer current;
    ds.GetImageDataSetCurrent(current);
    if (current.ContainerType == TWON_ONEVALUE)
        container.SetOneValue(CTWAINOneValue(current.GetOneValue().Value, TWTY_UINT32));
    else
        container.SetArray(current.List);
}

void SetImageDataSet(DS& ds, const CTWAINContainer& container)
{
    switch (container.ContainerType) {
    case TWON_ARRAY:
        ds.SetImageDataSetArray(container.GetArray());
        return;
    case TWON_ONEVALUE:
        ds.SetImageDataSetCurrent(ValueOf<TW_UINT32>(container.GetOneValue(), TWTY_UINT32));
        return;
    case TWON_RANGE:
        ds.SetImageDataSetRangeConstraint(container.GetRange());
        return;
    default:
        ds.ThrowFailure(TWCC_BADVALUE);
    }
}

// CAP_SUPPORTEDCAPSEXT is routed so that it is not taken for a custom id,
// but it has no value and no operation.
void AnswerNothing(DS&, CTWAINContainer&) {}

TW_INT32 NoOperations(DS&) { return 0; }

// ---- the capabilities ----

constexpr Route kCapabilityRoutes[] = {
    // Enumerated lists.
    ListRoute<ICAP_COMPRESSION, TWTY_UINT16, &DS::GetCompressionValues, &DS::GetCompressionCurrent,
              &DS::GetCompressionDefault, &DS::SetCompressionConstraint, &DS::SetCompressionCurrent,
              &DS::ResetCompression, &DS::QueryCompressionSupport>,
    ListRoute<ICAP_PIXELTYPE, TWTY_UINT16, &DS::GetPixelTypeValues, &DS::GetPixelTypeCurrent, &DS::GetPixelTypeDefault,
              &DS::SetPixelTypeConstraint, &DS::SetPixelTypeCurrent, &DS::ResetPixelType, &DS::QueryPixelTypeSupport>,
    ListRoute<ICAP_UNITS, TWTY_UINT16, &DS::GetUnitsValues, &DS::GetUnitsCurrent, &DS::GetUnitsDefault,
              &DS::SetUnitsConstraint, &DS::SetUnitsCurrent, &DS::ResetUnits, &DS::QueryUnitsSupport>,
    ListRoute<ICAP_XFERMECH, TWTY_UINT16, &DS::GetXferMechValues, &DS::GetXferMechCurrent, &DS::GetXferMechDefault,
              &DS::SetXferMechConstraint, &DS::SetXferMechCurrent, &DS::ResetXferMech, &DS::QueryXferMechSupport>,
    ListRoute<CAP_PRINTER, TWTY_UINT16, &DS::GetPrinterValues, &DS::GetPrinterCurrent, &DS::GetPrinterDefault,
              &DS::SetPrinterConstraint, &DS::SetPrinterCurrent, &DS::ResetPrinter, &DS::QueryPrinterSupport>,
    ListRoute<CAP_PRINTERMODE, TWTY_UINT16, &DS::GetPrinterModeValues, &DS::GetPrinterModeCurrent,
              &DS::GetPrinterModeDefault, &DS::SetPrinterModeConstraint, &DS::SetPrinterModeCurrent,
              &DS::ResetPrinterMode, &DS::QueryPrinterModeSupport>,
    ListRoute<ICAP_CONTRAST, TWTY_FIX32, &DS::GetContrastValues, &DS::GetContrastCurrent, &DS::GetContrastDefault,
              &DS::SetContrastConstraint, &DS::SetContrastCurrent, &DS::ResetContrast, &DS::QueryContrastSupport>,
    ListRoute<ICAP_IMAGEFILEFORMAT, TWTY_UINT16, &DS::GetImageFileFormatValues, &DS::GetImageFileFormatCurrent,
              &DS::GetImageFileFormatDefault, &DS::SetImageFileFormatConstraint, &DS::SetImageFileFormatCurrent,
              &DS::ResetImageFileFormat, &DS::QueryImageFileFormatSupport>,
    ListRoute<ICAP_LIGHTSOURCE, TWTY_UINT16, &DS::GetLightSourceValues, &DS::GetLightSourceCurrent,
              &DS::GetLightSourceDefault, &DS::SetLightSourceConstraint, &DS::SetLightSourceCurrent,
              &DS::ResetLightSource, &DS::QueryLightSourceSupport>,
    ListRoute<ICAP_ORIENTATION, TWTY_UINT16, &DS::GetOrientationValues, &DS::GetOrientationCurrent,
              &DS::GetOrientationDefault, &DS::SetOrientationConstraint, &DS::SetOrientationCurrent,
              &DS::ResetOrientation, &DS::QueryOrientationSupport>,
    ListRoute<ICAP_PLANARCHUNKY, TWTY_UINT16, &DS::GetPlanarChunkyValues, &DS::GetPlanarChunkyCurrent,
              &DS::GetPlanarChunkyDefault, &DS::SetPlanarChunkyConstraint, &DS::SetPlanarChunkyCurrent,
              &DS::ResetPlanarChunky, &DS::QueryPlanarChunkySupport>,
    ListRoute<ICAP_SUPPORTEDSIZES, TWTY_UINT16, &DS::GetSupportedSizesValues, &DS::GetSupportedSizesCurrent,
              &DS::GetSupportedSizesDefault, &DS::SetSupportedSizesConstraint, &DS::SetSupportedSizesCurrent,
              &DS::ResetSupportedSizes, &DS::QuerySupportedSizesSupport>,
    ListRoute<ICAP_JPEGPIXELTYPE, TWTY_UINT16, &DS::GetJPEGPixelTypeValues, &DS::GetJPEGPixelTypeCurrent,
              &DS::GetJPEGPixelTypeDefault, &DS::SetJPEGPixelTypeConstraint, &DS::SetJPEGPixelTypeCurrent,
              &DS::ResetJPEGPixelType, &DS::QueryJPEGPixelTypeSupport>,
    ListRoute<ICAP_BITDEPTH, TWTY_UINT16, &DS::GetBitDepthValues, &DS::GetBitDepthCurrent, &DS::GetBitDepthDefault,
              &DS::SetBitDepthConstraint, &DS::SetBitDepthCurrent, &DS::ResetBitDepth, &DS::QueryBitDepthSupport>,
    ListRoute<ICAP_BITDEPTHREDUCTION, TWTY_UINT16, &DS::GetBitDepthReductionValues, &DS::GetBitDepthReductionCurrent,
              &DS::GetBitDepthReductionDefault, &DS::SetBitDepthReductionConstraint, &DS::SetBitDepthReductionCurrent,
              &DS::ResetBitDepthReduction, &DS::QueryBitDepthReductionSupport>,
    ListRoute<ICAP_BARCODESEARCHMODE, TWTY_UINT16, &DS::GetBarCodeSearchModeValues, &DS::GetBarCodeSearchModeCurrent,
              &DS::GetBarCodeSearchModeDefault, &DS::SetBarCodeSearchModeConstraint, &DS::SetBarCodeSearchModeCurrent,
              &DS::ResetBarCodeSearchMode, &DS::QueryBarCodeSearchModeSupport>,
    ListRoute<ICAP_PATCHCODESEARCHMODE, TWTY_UINT16, &DS::GetPatchCodeSearchModeValues,
              &DS::GetPatchCodeSearchModeCurrent, &DS::GetPatchCodeSearchModeDefault,
              &DS::SetPatchCodeSearchModeConstraint, &DS::SetPatchCodeSearchModeCurrent, &DS::ResetPatchCodeSearchMode,
              &DS::QueryPatchCodeSearchModeSupport>,

    // Lists that may also be ranges.
    RangeRoute<ICAP_BRIGHTNESS, TWTY_FIX32, &DS::GetBrightnessValues, &DS::GetBrightnessCurrent,
               &DS::GetBrightnessDefault, &DS::SetBrightnessRangeConstraint, &DS::SetBrightnessConstraint,
               &DS::SetBrightnessCurrent, &DS::ResetBrightness, &DS::QueryBrightnessSupport>,
    RangeRoute<ICAP_EXPOSURETIME, TWTY_FIX32, &DS::GetExposureTimeValues, &DS::GetExposureTimeCurrent,
               &DS::GetExposureTimeDefault, &DS::SetExposureTimeRangeConstraint, &DS::SetExposureTimeConstraint,
               &DS::SetExposureTimeCurrent, &DS::ResetExposureTime, &DS::QueryExposureTimeSupport>,
    RangeRoute<ICAP_HIGHLIGHT, TWTY_FIX32, &DS::GetHighlightValues, &DS::GetHighlightCurrent, &DS::GetHighlightDefault,
               &DS::SetHighlightRangeConstraint, &DS::SetHighlightConstraint, &DS::SetHighlightCurrent,
               &DS::ResetHighlight, &DS::QueryHighlightSupport>,
    RangeRoute<ICAP_SHADOW, TWTY_FIX32, &DS::GetShadowValues, &DS::GetShadowCurrent, &DS::GetShadowDefault,
               &DS::SetShadowRangeConstraint, &DS::SetShadowConstraint, &DS::SetShadowCurrent, &DS::ResetShadow,
               &DS::QueryShadowSupport>,
    RangeRoute<ICAP_XRESOLUTION, TWTY_FIX32, &DS::GetXResolutionValues, &DS::GetXResolutionCurrent,
               &DS::GetXResolutionDefault, &DS::SetXResolutionRangeConstraint, &DS::SetXResolutionConstraint,
               &DS::SetXResolutionCurrent, &DS::ResetXResolution, &DS::QueryXResolutionSupport>,
    RangeRoute<ICAP_YRESOLUTION, TWTY_FIX32, &DS::GetYResolutionValues, &DS::GetYResolutionCurrent,
               &DS::GetYResolutionDefault, &DS::SetYResolutionRangeConstraint, &DS::SetYResolutionConstraint,
               &DS::SetYResolutionCurrent, &DS::ResetYResolution, &DS::QueryYResolutionSupport>,
    RangeRoute<ICAP_THRESHOLD, TWTY_FIX32, &DS::GetThresholdValues, &DS::GetThresholdCurrent, &DS::GetThresholdDefault,
               &DS::SetThresholdRangeConstraint, &DS::SetThresholdConstraint, &DS::SetThresholdCurrent,
               &DS::ResetThreshold, &DS::QueryThresholdSupport>,
    RangeRoute<ICAP_XSCALING, TWTY_FIX32, &DS::GetXScalingValues, &DS::GetXScalingCurrent, &DS::GetXScalingDefault,
               &DS::SetXScalingRangeConstraint, &DS::SetXScalingConstraint, &DS::SetXScalingCurrent, &DS::ResetXScaling,
               &DS::QueryXScalingSupport>,
    RangeRoute<ICAP_YSCALING, TWTY_FIX32, &DS::GetYScalingValues, &DS::GetYScalingCurrent, &DS::GetYScalingDefault,
               &DS::SetYScalingRangeConstraint, &DS::SetYScalingConstraint, &DS::SetYScalingCurrent, &DS::ResetYScaling,
               &DS::QueryYScalingSupport>,
    RangeRoute<CAP_MAXBATCHBUFFERS, TWTY_UINT32, &DS::GetMaxBatchBuffersValues, &DS::GetMaxBatchBuffersCurrent,
               &DS::GetMaxBatchBuffersDefault, &DS::SetMaxBatchBuffersRangeConstraint,
               &DS::SetMaxBatchBuffersConstraint, &DS::SetMaxBatchBuffersCurrent, &DS::ResetMaxBatchBuffers,
               &DS::QueryMaxBatchBuffersSupport>,
    RangeRoute<ICAP_BARCODEMAXSEARCHPRIORITIES, TWTY_UINT32, &DS::GetBarCodeMaxSearchPrioritiesValues,
               &DS::GetBarCodeMaxSearchPrioritiesCurrent, &DS::GetBarCodeMaxSearchPrioritiesDefault,
               &DS::SetBarCodeMaxSearchPrioritiesRangeConstraint, &DS::SetBarCodeMaxSearchPrioritiesConstraint,
               &DS::SetBarCodeMaxSearchPrioritiesCurrent, &DS::ResetBarCodeMaxSearchPriorities,
               &DS::QueryBarCodeMaxSearchPrioritiesSupport>,
    RangeRoute<ICAP_BARCODEMAXRETRIES, TWTY_UINT32, &DS::GetBarCodeMaxRetriesValues, &DS::GetBarCodeMaxRetriesCurrent,
               &DS::GetBarCodeMaxRetriesDefault, &DS::SetBarCodeMaxRetriesRangeConstraint,
               &DS::SetBarCodeMaxRetriesConstraint, &DS::SetBarCodeMaxRetriesCurrent, &DS::ResetBarCodeMaxRetries,
               &DS::QueryBarCodeMaxRetriesSupport>,
    RangeRoute<ICAP_BARCODETIMEOUT, TWTY_UINT32, &DS::GetBarCodeTimeoutValues, &DS::GetBarCodeTimeoutCurrent,
               &DS::GetBarCodeTimeoutDefault, &DS::SetBarCodeTimeoutRangeConstraint, &DS::SetBarCodeTimeoutConstraint,
               &DS::SetBarCodeTimeoutCurrent, &DS::ResetBarCodeTimeout, &DS::QueryBarCodeTimeoutSupport>,
    RangeRoute<ICAP_PATCHCODEMAXSEARCHPRIORITIES, TWTY_UINT32, &DS::GetPatchCodeMaxSearchPrioritiesValues,
               &DS::GetPatchCodeMaxSearchPrioritiesCurrent, &DS::GetPatchCodeMaxSearchPrioritiesDefault,
               &DS::SetPatchCodeMaxSearchPrioritiesRangeConstraint, &DS::SetPatchCodeMaxSearchPrioritiesConstraint,
               &DS::SetPatchCodeMaxSearchPrioritiesCurrent, &DS::ResetPatchCodeMaxSearchPriorities,
               &DS::QueryPatchCodeMaxSearchPrioritiesSupport>,
    RangeRoute<ICAP_PATCHCODEMAXRETRIES, TWTY_UINT32, &DS::GetPatchCodeMaxRetriesValues,
               &DS::GetPatchCodeMaxRetriesCurrent, &DS::GetPatchCodeMaxRetriesDefault,
               &DS::SetPatchCodeMaxRetriesRangeConstraint, &DS::SetPatchCodeMaxRetriesConstraint,
               &DS::SetPatchCodeMaxRetriesCurrent, &DS::ResetPatchCodeMaxRetries, &DS::QueryPatchCodeMaxRetriesSupport>,
    RangeRoute<ICAP_PATCHCODETIMEOUT, TWTY_UINT32, &DS::GetPatchCodeTimeoutValues, &DS::GetPatchCodeTimeoutCurrent,
               &DS::GetPatchCodeTimeoutDefault, &DS::SetPatchCodeTimeoutRangeConstraint,
               &DS::SetPatchCodeTimeoutConstraint, &DS::SetPatchCodeTimeoutCurrent, &DS::ResetPatchCodeTimeout,
               &DS::QueryPatchCodeTimeoutSupport>,

    // Lists whose SET takes one value only.
    OneSetListRoute<CAP_JOBCONTROL, TWTY_UINT16, &DS::GetJobControlValues, &DS::GetJobControlCurrent,
                    &DS::GetJobControlDefault, &DS::SetJobControlCurrent, &DS::ResetJobControl,
                    &DS::QueryJobControlSupport>,
    OneSetListRoute<ICAP_LAMPSTATE, TWTY_BOOL, &DS::GetLampStateValues, &DS::GetLampStateCurrent,
                    &DS::GetLampStateDefault, &DS::SetLampStateCurrent, &DS::ResetLampState,
                    &DS::QueryLampStateSupport>,
    OneSetListRoute<ICAP_BITORDER, TWTY_UINT16, &DS::GetBitOrderValues, &DS::GetBitOrderCurrent,
                    &DS::GetBitOrderDefault, &DS::SetBitOrderCurrent, &DS::ResetBitOrder, &DS::QueryBitOrderSupport>,
    OneSetListRoute<ICAP_LIGHTPATH, TWTY_UINT16, &DS::GetLightPathValues, &DS::GetLightPathCurrent,
                    &DS::GetLightPathDefault, &DS::SetLightPathCurrent, &DS::ResetLightPath,
                    &DS::QueryLightPathSupport>,
    OneSetListRoute<ICAP_PIXELFLAVOR, TWTY_UINT16, &DS::GetPixelFlavorValues, &DS::GetPixelFlavorCurrent,
                    &DS::GetPixelFlavorDefault, &DS::SetPixelFlavorCurrent, &DS::ResetPixelFlavor,
                    &DS::QueryPixelFlavorSupport>,
    OneSetListRoute<ICAP_ROTATION, TWTY_FIX32, &DS::GetRotationValues, &DS::GetRotationCurrent, &DS::GetRotationDefault,
                    &DS::SetRotationCurrent, &DS::ResetRotation, &DS::QueryRotationSupport>,
    OneSetListRoute<ICAP_BITORDERCODES, TWTY_UINT16, &DS::GetBitOrderCodesValues, &DS::GetBitOrderCodesCurrent,
                    &DS::GetBitOrderCodesDefault, &DS::SetBitOrderCodesCurrent, &DS::ResetBitOrderCodes,
                    &DS::QueryBitOrderCodesSupport>,
    OneSetListRoute<ICAP_PIXELFLAVORCODES, TWTY_UINT16, &DS::GetPixelFlavorCodesValues, &DS::GetPixelFlavorCodesCurrent,
                    &DS::GetPixelFlavorCodesDefault, &DS::SetPixelFlavorCodesCurrent, &DS::ResetPixelFlavorCodes,
                    &DS::QueryPixelFlavorCodesSupport>,
    OneSetListRoute<ICAP_TIMEFILL, TWTY_UINT16, &DS::GetTimeFillValues, &DS::GetTimeFillCurrent,
                    &DS::GetTimeFillDefault, &DS::SetTimeFillCurrent, &DS::ResetTimeFill, &DS::QueryTimeFillSupport>,
    // A TW_INT16 in TWAIN, as the range of qualities is; SET takes a one value only.
    {ICAP_JPEGQUALITY, Answer<&DS::GetJPEGQualityValues>, Answer<&DS::GetJPEGQualityCurrent, TWTY_INT16>,
     Answer<&DS::GetJPEGQualityDefault, TWTY_INT16>, SetJPEGQuality, Answer<&DS::ResetJPEGQuality, TWTY_INT16>,
     Support<&DS::QueryJPEGQualitySupport>},

    // One values.
    OneValueRoute<CAP_XFERCOUNT, TWTY_INT16, &DS::GetXferCountCurrent, &DS::GetXferCountDefault,
                  &DS::SetXferCountCurrent, &DS::ResetXferCount, &DS::QueryXferCountSupport>,
    OneValueRoute<CAP_FEEDERENABLED, TWTY_BOOL, &DS::GetFeederEnabledCurrent, &DS::GetFeederEnabledDefault,
                  &DS::SetFeederEnabledCurrent, &DS::ResetFeederEnabled, &DS::QueryFeederEnabledSupport>,
    OneValueRoute<CAP_AUTOFEED, TWTY_BOOL, &DS::GetAutoFeedCurrent, &DS::GetAutoFeedDefault, &DS::SetAutoFeedCurrent,
                  &DS::ResetAutoFeed, &DS::QueryAutoFeedSupport>,
    OneValueRoute<CAP_INDICATORS, TWTY_BOOL, &DS::GetIndicatorsCurrent, &DS::GetIndicatorsDefault,
                  &DS::SetIndicatorsCurrent, &DS::ResetIndicators, &DS::QueryIndicatorsSupport>,
    OneValueRoute<CAP_AUTOSCAN, TWTY_BOOL, &DS::GetAutoScanCurrent, &DS::GetAutoScanDefault, &DS::SetAutoScanCurrent,
                  &DS::ResetAutoScan, &DS::QueryAutoScanSupport>,
    OneValueRoute<CAP_DUPLEXENABLED, TWTY_BOOL, &DS::GetDuplexEnabledCurrent, &DS::GetDuplexEnabledDefault,
                  &DS::SetDuplexEnabledCurrent, &DS::ResetDuplexEnabled, &DS::QueryDuplexEnabledSupport>,
    OneValueRoute<ICAP_AUTOBRIGHT, TWTY_BOOL, &DS::GetAutoBrightCurrent, &DS::GetAutoBrightDefault,
                  &DS::SetAutoBrightCurrent, &DS::ResetAutoBright, &DS::QueryAutoBrightSupport>,
    OneValueRoute<ICAP_FLASHUSED, TWTY_BOOL, &DS::GetFlashUsedCurrent, &DS::GetFlashUsedDefault,
                  &DS::SetFlashUsedCurrent, &DS::ResetFlashUsed, &DS::QueryFlashUsedSupport>,
    OneValueRoute<ICAP_GAMMA, TWTY_FIX32, &DS::GetGammaCurrent, &DS::GetGammaDefault, &DS::SetGammaCurrent,
                  &DS::ResetGamma, &DS::QueryGammaSupport>,
    OneValueRoute<ICAP_MAXFRAMES, TWTY_UINT16, &DS::GetMaxFramesCurrent, &DS::GetMaxFramesDefault,
                  &DS::SetMaxFramesCurrent, &DS::ResetMaxFrames, &DS::QueryMaxFramesSupport>,
    OneValueRoute<ICAP_TILES, TWTY_BOOL, &DS::GetTilesCurrent, &DS::GetTilesDefault, &DS::SetTilesCurrent,
                  &DS::ResetTiles, &DS::QueryTilesSupport>,
    OneValueRoute<ICAP_CCITTKFACTOR, TWTY_UINT16, &DS::GetCCITTKFactorCurrent, &DS::GetCCITTKFactorDefault,
                  &DS::SetCCITTKFactorCurrent, &DS::ResetCCITTKFactor, &DS::QueryCCITTKFactorSupport>,
    OneValueRoute<ICAP_UNDEFINEDIMAGESIZE, TWTY_BOOL, &DS::GetUndefinedImageSizeCurrent,
                  &DS::GetUndefinedImageSizeDefault, &DS::SetUndefinedImageSizeCurrent, &DS::ResetUndefinedImageSize,
                  &DS::QueryUndefinedImageSizeSupport>,
    OneValueRoute<ICAP_EXTIMAGEINFO, TWTY_BOOL, &DS::GetExtImageInfoCurrent, &DS::GetExtImageInfoDefault,
                  &DS::SetExtImageInfoCurrent, &DS::ResetExtImageInfo, &DS::QueryExtImageInfoSupport>,

    // Read-only.
    ReadOnlyRoute<CAP_FEEDERLOADED, TWTY_BOOL, &DS::GetFeederLoaded, &DS::QueryFeederLoadedSupport>,
    ReadOnlyRoute<CAP_TIMEDATE, TWTY_STR32, &DS::GetTimeDate, &DS::QueryTimeDateSupport>,
    ReadOnlyRoute<CAP_PAPERDETECTABLE, TWTY_BOOL, &DS::GetPaperDetectable, &DS::QueryPaperDetectableSupport>,
    ReadOnlyRoute<CAP_UICONTROLLABLE, TWTY_BOOL, &DS::GetUIControllable, &DS::QueryUIControllableSupport>,
    ReadOnlyRoute<CAP_DEVICEONLINE, TWTY_BOOL, &DS::GetDeviceOnline, &DS::QueryDeviceOnlineSupport>,
    ReadOnlyRoute<CAP_DUPLEX, TWTY_UINT16, &DS::GetDuplex, &DS::QueryDuplexSupport>,
    ReadOnlyRoute<CAP_ENABLEDSUIONLY, TWTY_BOOL, &DS::GetEnableDSUIOnly, &DS::QueryEnableDSUIOnlySupport>,
    ResetByHook(ReadOnlyRoute<CAP_CUSTOMDSDATA, TWTY_BOOL, &DS::GetCustomDSData, &DS::QueryCustomDSDataSupport>),
    ResetByHook(
        ReadOnlyRoute<CAP_FEEDERALIGNMENT, TWTY_UINT16, &DS::GetFeederAlignment, &DS::QueryFeederAlignmentSupport>),
    ReadOnlyRoute<ICAP_PHYSICALWIDTH, TWTY_FIX32, &DS::GetPhysicalWidth, &DS::QueryPhysicalWidthSupport>,
    ReadOnlyRoute<ICAP_PHYSICALHEIGHT, TWTY_FIX32, &DS::GetPhysicalHeight, &DS::QueryPhysicalHeightSupport>,
    ReadOnlyRoute<ICAP_XNATIVERESOLUTION, TWTY_FIX32, &DS::GetXNativeResolution, &DS::QueryXNativeResolutionSupport>,
    ReadOnlyRoute<ICAP_YNATIVERESOLUTION, TWTY_FIX32, &DS::GetYNativeResolution, &DS::QueryYNativeResolutionSupport>,
    ReadOnlyRoute<ICAP_MINIMUMHEIGHT, TWTY_FIX32, &DS::GetMinimumHeight, &DS::QueryMinimumHeightSupport>,
    ReadOnlyRoute<ICAP_MINIMUMWIDTH, TWTY_FIX32, &DS::GetMinimumWidth, &DS::QueryMinimumWidthSupport>,
    ReadOnlyRoute<CAP_SUPPORTEDCAPS, TWTY_UINT16, &DS::GetSupportedCaps, &DS::QuerySupportedCapsSupport>,
    ResetByHook(ReadOnlyRoute<ICAP_SUPPORTEDBARCODETYPES, TWTY_UINT16, &DS::GetSupportedBarCodeTypes,
                              &DS::QuerySupportedBarCodeTypesSupport>),
    ReadOnlyRoute<ICAP_SUPPORTEDPATCHCODETYPES, TWTY_UINT16, &DS::GetSupportedPatchCodeTypes,
                  &DS::QuerySupportedPatchCodeTypesSupport>,

    // Texts.
    StringRoute<CAP_AUTHOR, TWTY_STR128, &DS::GetAuthor, &DS::SetAuthor, &DS::QueryAuthorSupport>,
    StringRoute<CAP_CAPTION, TWTY_STR255, &DS::GetCaption, &DS::SetCaption, &DS::QueryCaptionSupport>,

    // Arrays.
    ArrayRoute<CAP_EXTENDEDCAPS, &DS::GetExtendedCapsValues, &DS::GetExtendedCapsCurrent, &DS::GetExtendedCapsDefault,
               &DS::SetExtendedCapsArray, &DS::ResetExtendedCaps, &DS::QueryExtendedCapsSupport>,
    ArrayRoute<ICAP_CUSTHALFTONE, &DS::GetCustHalfToneValues, &DS::GetCustHalfToneCurrent, &DS::GetCustHalfToneDefault,
               &DS::SetCustHalfToneArray, &DS::ResetCustHalfTone, &DS::QueryCustHalfToneSupport>,
    ArrayRoute<ICAP_BARCODESEARCHPRIORITIES, &DS::GetBarCodeSearchPrioritiesValues,
               &DS::GetBarCodeSearchPrioritiesCurrent, &DS::GetBarCodeSearchPrioritiesDefault,
               &DS::SetBarCodeSearchPrioritiesArray, &DS::ResetBarCodeSearchPriorities,
               &DS::QueryBarCodeSearchPrioritiesSupport>,
    ArrayRoute<ICAP_PATCHCODESEARCHPRIORITIES, &DS::GetPatchCodeSearchPrioritiesValues,
               &DS::GetPatchCodeSearchPrioritiesCurrent, &DS::GetPatchCodeSearchPrioritiesDefault,
               &DS::SetPatchCodeSearchPrioritiesArray, &DS::ResetPatchCodeSearchPriorities,
               &DS::QueryPatchCodeSearchPrioritiesSupport>,

    // Routes of their own.
    {ICAP_FILTER, Answer<&DS::GetFilterValues>, Answer<&DS::GetFilterCurrent>, Answer<&DS::GetFilterDefault>, SetFilter,
     Answer<&DS::ResetFilter>, Support<&DS::QueryFilterSupport>},
    {ICAP_HALFTONES, Answer<&DS::GetHalfTonesValues>, Answer<&DS::GetHalfTonesCurrent, TWTY_STR32>,
     Answer<&DS::GetHalfTonesDefault, TWTY_STR32>, SetHalfTones, Answer<&DS::ResetHalfTones, TWTY_STR32>,
     Support<&DS::QueryHalfTonesSupport>},
    {CAP_PRINTERSTRING, AnswerPrinterStrings, Answer<&DS::GetPrinterStringCurrent>,
     Answer<&DS::GetPrinterStringDefault>,
     SetList<&DS::SetPrinterStringConstraint, &DS::SetPrinterStringCurrent, TWTY_STR255>,
     Answer<&DS::ResetPrinterString>, Support<&DS::QueryPrinterStringSupport>},
    {ICAP_FRAMES, Answer<&DS::GetFramesValues>, Answer<&DS::GetFramesCurrent, TWTY_FRAME>,
     Answer<&DS::GetFramesDefault, TWTY_FRAME>, SetFrames, Answer<&DS::ResetFrames, TWTY_FRAME>,
     Support<&DS::QueryFramesSupport>},
    {ICAP_IMAGEDATASET, AnswerImageDataSet, AnswerImageDataSet, Answer<&DS::GetImageDataSetDefault, TWTY_UINT32>,
     SetImageDataSet, Answer<&DS::ResetImageDataSet, TWTY_UINT32>, Support<&DS::QueryImageDataSetSupport>},
    ActionRoute<CAP_CLEARPAGE, &DS::GetClearPage, &DS::QueryClearPageSupport>,
    ActionRoute<CAP_FEEDPAGE, &DS::GetFeedPage, &DS::QueryFeedPageSupport>,
    ActionRoute<CAP_REWINDPAGE, &DS::GetRewindPage, &DS::QueryRewindPageSupport>,

    // Capabilities held in members.
    MemberRoute<CAP_THUMBNAILSENABLED, &MemberCapabilities::ThumbnailsEnabled>,
    MemberRoute<CAP_PRINTERENABLED, &MemberCapabilities::PrinterEnabled>,
    MemberRoute<CAP_PRINTERINDEX, &MemberCapabilities::PrinterIndex>,
    MemberRoute<CAP_PRINTERSUFFIX, &MemberCapabilities::PrinterSuffix>,
    MemberRoute<ICAP_BARCODEDETECTIONENABLED, &MemberCapabilities::BarCodeDetectionEnabled>,
    MemberRoute<ICAP_PATCHCODEDETECTIONENABLED, &MemberCapabilities::PatchCodeDetectionEnabled>,
    MemberRoute<ICAP_AUTOMATICBORDERDETECTION, &MemberCapabilities::AutomaticBorderDetection>,
    MemberRoute<ICAP_AUTOMATICDESKEW, &MemberCapabilities::AutomaticDeskew>,
    MemberRoute<CUSTCAP_MULTIPAGETIFF, &MemberCapabilities::MultipageTIFF>,

    {CAP_SUPPORTEDCAPSEXT, AnswerNothing, AnswerNothing, AnswerNothing, nullptr, AnswerNothing, NoOperations},
};

constexpr bool EachIdOnce()
{
    for (size_t i = 0; i < std::size(kCapabilityRoutes); ++i) {
        for (size_t j = i + 1; j < std::size(kCapabilityRoutes); ++j) {
            if (kCapabilityRoutes[i].Id == kCapabilityRoutes[j].Id)
                return false;
        }
    }
    return true;
}
static_assert(EachIdOnce(), "a capability has one route");

} // namespace

const CapabilityRoute* FindCapabilityRoute(TW_UINT16 id)
{
    for (const Route& route : kCapabilityRoutes) {
        if (route.Id == id)
            return &route;
    }
    return nullptr;
}

} // namespace Trellis
