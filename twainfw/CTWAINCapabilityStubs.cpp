// The accessors of the capabilities that the framework leaves to a device
// class: each refuses with TWCC_CAPBADOPERATION when the data source lists
// the capability, else with TWCC_CAPUNSUPPORTED.
#include "twainfw/CTWAINDataSource.h"

namespace Trellis {

void CTWAINDataSource::SetAuthor(const std::string&)
{
    ThrowCapNotAvailable(CAP_AUTHOR);
}

bool CTWAINDataSource::GetAutoFeedCurrent()
{
    ThrowCapNotAvailable(CAP_AUTOFEED);
}

bool CTWAINDataSource::GetAutoFeedDefault()
{
    ThrowCapNotAvailable(CAP_AUTOFEED);
}

void CTWAINDataSource::SetAutoFeedCurrent(bool)
{
    ThrowCapNotAvailable(CAP_AUTOFEED);
}

bool CTWAINDataSource::ResetAutoFeed()
{
    ThrowCapNotAvailable(CAP_AUTOFEED);
}

TW_INT32 CTWAINDataSource::QueryAutoFeedSupport()
{
    ThrowCapNotAvailable(CAP_AUTOFEED);
}

bool CTWAINDataSource::GetAutoScanCurrent()
{
    ThrowCapNotAvailable(CAP_AUTOSCAN);
}

bool CTWAINDataSource::GetAutoScanDefault()
{
    ThrowCapNotAvailable(CAP_AUTOSCAN);
}

void CTWAINDataSource::SetAutoScanCurrent(bool)
{
    ThrowCapNotAvailable(CAP_AUTOSCAN);
}

bool CTWAINDataSource::ResetAutoScan()
{
    ThrowCapNotAvailable(CAP_AUTOSCAN);
}

TW_INT32 CTWAINDataSource::QueryAutoScanSupport()
{
    ThrowCapNotAvailable(CAP_AUTOSCAN);
}

std::string CTWAINDataSource::GetCaption()
{
    ThrowCapNotAvailable(CAP_CAPTION);
}

void CTWAINDataSource::SetCaption(const std::string&)
{
    ThrowCapNotAvailable(CAP_CAPTION);
}

TW_INT32 CTWAINDataSource::QueryCaptionSupport()
{
    ThrowCapNotAvailable(CAP_CAPTION);
}

void CTWAINDataSource::GetClearPage()
{
    ThrowCapNotAvailable(CAP_CLEARPAGE);
}

TW_INT32 CTWAINDataSource::QueryClearPageSupport()
{
    ThrowCapNotAvailable(CAP_CLEARPAGE);
}

bool CTWAINDataSource::GetDuplexEnabledCurrent()
{
    ThrowCapNotAvailable(CAP_DUPLEXENABLED);
}

bool CTWAINDataSource::GetDuplexEnabledDefault()
{
    ThrowCapNotAvailable(CAP_DUPLEXENABLED);
}

void CTWAINDataSource::SetDuplexEnabledCurrent(bool)
{
    ThrowCapNotAvailable(CAP_DUPLEXENABLED);
}

bool CTWAINDataSource::ResetDuplexEnabled()
{
    ThrowCapNotAvailable(CAP_DUPLEXENABLED);
}

TW_INT32 CTWAINDataSource::QueryDuplexEnabledSupport()
{
    ThrowCapNotAvailable(CAP_DUPLEXENABLED);
}

TW_UINT32 CTWAINDataSource::GetEndorserCurrent()
{
    ThrowCapNotAvailable(CAP_ENDORSER);
}

TW_UINT32 CTWAINDataSource::GetEndorserDefault()
{
    ThrowCapNotAvailable(CAP_ENDORSER);
}

void CTWAINDataSource::SetEndorserCurrent(TW_UINT32)
{
    ThrowCapNotAvailable(CAP_ENDORSER);
}

TW_UINT32 CTWAINDataSource::ResetEndorser()
{
    ThrowCapNotAvailable(CAP_ENDORSER);
}

TW_INT32 CTWAINDataSource::QueryEndorserSupport()
{
    ThrowCapNotAvailable(CAP_ENDORSER);
}

CTWAINArray CTWAINDataSource::GetExtendedCapsValues()
{
    ThrowCapNotAvailable(CAP_EXTENDEDCAPS);
}

CTWAINArray CTWAINDataSource::GetExtendedCapsCurrent()
{
    ThrowCapNotAvailable(CAP_EXTENDEDCAPS);
}

CTWAINArray CTWAINDataSource::GetExtendedCapsDefault()
{
    ThrowCapNotAvailable(CAP_EXTENDEDCAPS);
}

void CTWAINDataSource::SetExtendedCapsArray(const CTWAINArray&)
{
    ThrowCapNotAvailable(CAP_EXTENDEDCAPS);
}

CTWAINArray CTWAINDataSource::ResetExtendedCaps()
{
    ThrowCapNotAvailable(CAP_EXTENDEDCAPS);
}

TW_INT32 CTWAINDataSource::QueryExtendedCapsSupport()
{
    ThrowCapNotAvailable(CAP_EXTENDEDCAPS);
}

bool CTWAINDataSource::GetFeederEnabledCurrent()
{
    ThrowCapNotAvailable(CAP_FEEDERENABLED);
}

bool CTWAINDataSource::GetFeederEnabledDefault()
{
    ThrowCapNotAvailable(CAP_FEEDERENABLED);
}

void CTWAINDataSource::SetFeederEnabledCurrent(bool)
{
    ThrowCapNotAvailable(CAP_FEEDERENABLED);
}

bool CTWAINDataSource::ResetFeederEnabled()
{
    ThrowCapNotAvailable(CAP_FEEDERENABLED);
}

TW_INT32 CTWAINDataSource::QueryFeederEnabledSupport()
{
    ThrowCapNotAvailable(CAP_FEEDERENABLED);
}

bool CTWAINDataSource::GetFeederLoaded()
{
    ThrowCapNotAvailable(CAP_FEEDERLOADED);
}

TW_INT32 CTWAINDataSource::QueryFeederLoadedSupport()
{
    ThrowCapNotAvailable(CAP_FEEDERLOADED);
}

void CTWAINDataSource::GetFeedPage()
{
    ThrowCapNotAvailable(CAP_FEEDPAGE);
}

TW_INT32 CTWAINDataSource::QueryFeedPageSupport()
{
    ThrowCapNotAvailable(CAP_FEEDPAGE);
}

bool CTWAINDataSource::GetIndicatorsCurrent()
{
    ThrowCapNotAvailable(CAP_INDICATORS);
}

bool CTWAINDataSource::GetIndicatorsDefault()
{
    ThrowCapNotAvailable(CAP_INDICATORS);
}

void CTWAINDataSource::SetIndicatorsCurrent(bool)
{
    ThrowCapNotAvailable(CAP_INDICATORS);
}

bool CTWAINDataSource::ResetIndicators()
{
    ThrowCapNotAvailable(CAP_INDICATORS);
}

TW_INT32 CTWAINDataSource::QueryIndicatorsSupport()
{
    ThrowCapNotAvailable(CAP_INDICATORS);
}

void CTWAINDataSource::GetRewindPage()
{
    ThrowCapNotAvailable(CAP_REWINDPAGE);
}

TW_INT32 CTWAINDataSource::QueryRewindPageSupport()
{
    ThrowCapNotAvailable(CAP_REWINDPAGE);
}

bool CTWAINDataSource::GetPaperDetectable()
{
    ThrowCapNotAvailable(CAP_PAPERDETECTABLE);
}

TW_INT32 CTWAINDataSource::QueryPaperDetectableSupport()
{
    ThrowCapNotAvailable(CAP_PAPERDETECTABLE);
}

bool CTWAINDataSource::GetAutoBrightCurrent()
{
    ThrowCapNotAvailable(ICAP_AUTOBRIGHT);
}

bool CTWAINDataSource::GetAutoBrightDefault()
{
    ThrowCapNotAvailable(ICAP_AUTOBRIGHT);
}

void CTWAINDataSource::SetAutoBrightCurrent(bool)
{
    ThrowCapNotAvailable(ICAP_AUTOBRIGHT);
}

bool CTWAINDataSource::ResetAutoBright()
{
    ThrowCapNotAvailable(ICAP_AUTOBRIGHT);
}

TW_INT32 CTWAINDataSource::QueryAutoBrightSupport()
{
    ThrowCapNotAvailable(ICAP_AUTOBRIGHT);
}

CTWAINContainer CTWAINDataSource::GetBitDepthReductionValues()
{
    ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION);
}

TW_UINT16 CTWAINDataSource::GetBitDepthReductionCurrent()
{
    ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION);
}

TW_UINT16 CTWAINDataSource::GetBitDepthReductionDefault()
{
    ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION);
}

void CTWAINDataSource::SetBitDepthReductionConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION);
}

void CTWAINDataSource::SetBitDepthReductionCurrent(TW_UINT16)
{
    ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION);
}

TW_UINT16 CTWAINDataSource::ResetBitDepthReduction()
{
    ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION);
}

TW_INT32 CTWAINDataSource::QueryBitDepthReductionSupport()
{
    ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION);
}

CTWAINContainer CTWAINDataSource::GetBitOrderCodesValues()
{
    ThrowCapNotAvailable(ICAP_BITORDERCODES);
}

TW_UINT16 CTWAINDataSource::GetBitOrderCodesCurrent()
{
    ThrowCapNotAvailable(ICAP_BITORDERCODES);
}

TW_UINT16 CTWAINDataSource::GetBitOrderCodesDefault()
{
    ThrowCapNotAvailable(ICAP_BITORDERCODES);
}

void CTWAINDataSource::SetBitOrderCodesCurrent(TW_UINT16)
{
    ThrowCapNotAvailable(ICAP_BITORDERCODES);
}

TW_UINT16 CTWAINDataSource::ResetBitOrderCodes()
{
    ThrowCapNotAvailable(ICAP_BITORDERCODES);
}

TW_INT32 CTWAINDataSource::QueryBitOrderCodesSupport()
{
    ThrowCapNotAvailable(ICAP_BITORDERCODES);
}

CTWAINContainer CTWAINDataSource::GetBrightnessValues()
{
    ThrowCapNotAvailable(ICAP_BRIGHTNESS);
}

float CTWAINDataSource::GetBrightnessCurrent()
{
    ThrowCapNotAvailable(ICAP_BRIGHTNESS);
}

float CTWAINDataSource::GetBrightnessDefault()
{
    ThrowCapNotAvailable(ICAP_BRIGHTNESS);
}

void CTWAINDataSource::SetBrightnessRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_BRIGHTNESS);
}

void CTWAINDataSource::SetBrightnessConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_BRIGHTNESS);
}

void CTWAINDataSource::SetBrightnessCurrent(float)
{
    ThrowCapNotAvailable(ICAP_BRIGHTNESS);
}

float CTWAINDataSource::ResetBrightness()
{
    ThrowCapNotAvailable(ICAP_BRIGHTNESS);
}

TW_INT32 CTWAINDataSource::QueryBrightnessSupport()
{
    ThrowCapNotAvailable(ICAP_BRIGHTNESS);
}

TW_UINT16 CTWAINDataSource::GetCCITTKFactorCurrent()
{
    ThrowCapNotAvailable(ICAP_CCITTKFACTOR);
}

TW_UINT16 CTWAINDataSource::GetCCITTKFactorDefault()
{
    ThrowCapNotAvailable(ICAP_CCITTKFACTOR);
}

void CTWAINDataSource::SetCCITTKFactorCurrent(TW_UINT16)
{
    ThrowCapNotAvailable(ICAP_CCITTKFACTOR);
}

TW_UINT16 CTWAINDataSource::ResetCCITTKFactor()
{
    ThrowCapNotAvailable(ICAP_CCITTKFACTOR);
}

TW_INT32 CTWAINDataSource::QueryCCITTKFactorSupport()
{
    ThrowCapNotAvailable(ICAP_CCITTKFACTOR);
}

CTWAINContainer CTWAINDataSource::GetContrastValues()
{
    ThrowCapNotAvailable(ICAP_CONTRAST);
}

float CTWAINDataSource::GetContrastCurrent()
{
    ThrowCapNotAvailable(ICAP_CONTRAST);
}

float CTWAINDataSource::GetContrastDefault()
{
    ThrowCapNotAvailable(ICAP_CONTRAST);
}

void CTWAINDataSource::SetContrastConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_CONTRAST);
}

void CTWAINDataSource::SetContrastCurrent(float)
{
    ThrowCapNotAvailable(ICAP_CONTRAST);
}

float CTWAINDataSource::ResetContrast()
{
    ThrowCapNotAvailable(ICAP_CONTRAST);
}

TW_INT32 CTWAINDataSource::QueryContrastSupport()
{
    ThrowCapNotAvailable(ICAP_CONTRAST);
}

CTWAINArray CTWAINDataSource::GetCustHalfToneValues()
{
    ThrowCapNotAvailable(ICAP_CUSTHALFTONE);
}

CTWAINArray CTWAINDataSource::GetCustHalfToneCurrent()
{
    ThrowCapNotAvailable(ICAP_CUSTHALFTONE);
}

CTWAINArray CTWAINDataSource::GetCustHalfToneDefault()
{
    ThrowCapNotAvailable(ICAP_CUSTHALFTONE);
}

void CTWAINDataSource::SetCustHalfToneArray(const CTWAINArray&)
{
    ThrowCapNotAvailable(ICAP_CUSTHALFTONE);
}

CTWAINArray CTWAINDataSource::ResetCustHalfTone()
{
    ThrowCapNotAvailable(ICAP_CUSTHALFTONE);
}

TW_INT32 CTWAINDataSource::QueryCustHalfToneSupport()
{
    ThrowCapNotAvailable(ICAP_CUSTHALFTONE);
}

CTWAINContainer CTWAINDataSource::GetExposureTimeValues()
{
    ThrowCapNotAvailable(ICAP_EXPOSURETIME);
}

float CTWAINDataSource::GetExposureTimeCurrent()
{
    ThrowCapNotAvailable(ICAP_EXPOSURETIME);
}

float CTWAINDataSource::GetExposureTimeDefault()
{
    ThrowCapNotAvailable(ICAP_EXPOSURETIME);
}

void CTWAINDataSource::SetExposureTimeRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_EXPOSURETIME);
}

void CTWAINDataSource::SetExposureTimeConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_EXPOSURETIME);
}

void CTWAINDataSource::SetExposureTimeCurrent(float)
{
    ThrowCapNotAvailable(ICAP_EXPOSURETIME);
}

float CTWAINDataSource::ResetExposureTime()
{
    ThrowCapNotAvailable(ICAP_EXPOSURETIME);
}

TW_INT32 CTWAINDataSource::QueryExposureTimeSupport()
{
    ThrowCapNotAvailable(ICAP_EXPOSURETIME);
}

bool CTWAINDataSource::GetExtImageInfoCurrent()
{
    ThrowCapNotAvailable(ICAP_EXTIMAGEINFO);
}

bool CTWAINDataSource::GetExtImageInfoDefault()
{
    ThrowCapNotAvailable(ICAP_EXTIMAGEINFO);
}

void CTWAINDataSource::SetExtImageInfoCurrent(bool)
{
    ThrowCapNotAvailable(ICAP_EXTIMAGEINFO);
}

bool CTWAINDataSource::ResetExtImageInfo()
{
    ThrowCapNotAvailable(ICAP_EXTIMAGEINFO);
}

CTWAINContainer CTWAINDataSource::GetFilterValues()
{
    ThrowCapNotAvailable(ICAP_FILTER);
}

CTWAINContainer CTWAINDataSource::GetFilterCurrent()
{
    ThrowCapNotAvailable(ICAP_FILTER);
}

CTWAINContainer CTWAINDataSource::GetFilterDefault()
{
    ThrowCapNotAvailable(ICAP_FILTER);
}

void CTWAINDataSource::SetFilterArray(const CTWAINArray&)
{
    ThrowCapNotAvailable(ICAP_FILTER);
}

void CTWAINDataSource::SetFilterCurrent(TW_UINT16)
{
    ThrowCapNotAvailable(ICAP_FILTER);
}

CTWAINContainer CTWAINDataSource::ResetFilter()
{
    ThrowCapNotAvailable(ICAP_FILTER);
}

TW_INT32 CTWAINDataSource::QueryFilterSupport()
{
    ThrowCapNotAvailable(ICAP_FILTER);
}

bool CTWAINDataSource::GetFlashUsedCurrent()
{
    ThrowCapNotAvailable(ICAP_FLASHUSED);
}

bool CTWAINDataSource::GetFlashUsedDefault()
{
    ThrowCapNotAvailable(ICAP_FLASHUSED);
}

void CTWAINDataSource::SetFlashUsedCurrent(bool)
{
    ThrowCapNotAvailable(ICAP_FLASHUSED);
}

bool CTWAINDataSource::ResetFlashUsed()
{
    ThrowCapNotAvailable(ICAP_FLASHUSED);
}

TW_INT32 CTWAINDataSource::QueryFlashUsedSupport()
{
    ThrowCapNotAvailable(ICAP_FLASHUSED);
}

float CTWAINDataSource::GetGammaCurrent()
{
    ThrowCapNotAvailable(ICAP_GAMMA);
}

float CTWAINDataSource::GetGammaDefault()
{
    ThrowCapNotAvailable(ICAP_GAMMA);
}

void CTWAINDataSource::SetGammaCurrent(float)
{
    ThrowCapNotAvailable(ICAP_GAMMA);
}

float CTWAINDataSource::ResetGamma()
{
    ThrowCapNotAvailable(ICAP_GAMMA);
}

TW_INT32 CTWAINDataSource::QueryGammaSupport()
{
    ThrowCapNotAvailable(ICAP_GAMMA);
}

CTWAINContainer CTWAINDataSource::GetHalfTonesValues()
{
    ThrowCapNotAvailable(ICAP_HALFTONES);
}

std::string CTWAINDataSource::GetHalfTonesCurrent()
{
    ThrowCapNotAvailable(ICAP_HALFTONES);
}

std::string CTWAINDataSource::GetHalfTonesDefault()
{
    ThrowCapNotAvailable(ICAP_HALFTONES);
}

void CTWAINDataSource::SetHalfTonesConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_HALFTONES);
}

void CTWAINDataSource::SetHalfTonesArray(const CTWAINArray&)
{
    ThrowCapNotAvailable(ICAP_HALFTONES);
}

void CTWAINDataSource::SetHalfTonesCurrent(const std::string&)
{
    ThrowCapNotAvailable(ICAP_HALFTONES);
}

std::string CTWAINDataSource::ResetHalfTones()
{
    ThrowCapNotAvailable(ICAP_HALFTONES);
}

TW_INT32 CTWAINDataSource::QueryHalfTonesSupport()
{
    ThrowCapNotAvailable(ICAP_HALFTONES);
}

CTWAINContainer CTWAINDataSource::GetHighlightValues()
{
    ThrowCapNotAvailable(ICAP_HIGHLIGHT);
}

float CTWAINDataSource::GetHighlightCurrent()
{
    ThrowCapNotAvailable(ICAP_HIGHLIGHT);
}

float CTWAINDataSource::GetHighlightDefault()
{
    ThrowCapNotAvailable(ICAP_HIGHLIGHT);
}

void CTWAINDataSource::SetHighlightRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_HIGHLIGHT);
}

void CTWAINDataSource::SetHighlightConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_HIGHLIGHT);
}

void CTWAINDataSource::SetHighlightCurrent(float)
{
    ThrowCapNotAvailable(ICAP_HIGHLIGHT);
}

float CTWAINDataSource::ResetHighlight()
{
    ThrowCapNotAvailable(ICAP_HIGHLIGHT);
}

TW_INT32 CTWAINDataSource::QueryHighlightSupport()
{
    ThrowCapNotAvailable(ICAP_HIGHLIGHT);
}

CTWAINContainer CTWAINDataSource::GetJPEGPixelTypeValues()
{
    ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE);
}

TW_UINT16 CTWAINDataSource::GetJPEGPixelTypeCurrent()
{
    ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE);
}

TW_UINT16 CTWAINDataSource::GetJPEGPixelTypeDefault()
{
    ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE);
}

void CTWAINDataSource::SetJPEGPixelTypeConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE);
}

void CTWAINDataSource::SetJPEGPixelTypeCurrent(TW_UINT16)
{
    ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE);
}

TW_UINT16 CTWAINDataSource::ResetJPEGPixelType()
{
    ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE);
}

TW_INT32 CTWAINDataSource::QueryJPEGPixelTypeSupport()
{
    ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE);
}

CTWAINContainer CTWAINDataSource::GetLampStateValues()
{
    ThrowCapNotAvailable(ICAP_LAMPSTATE);
}

bool CTWAINDataSource::GetLampStateCurrent()
{
    ThrowCapNotAvailable(ICAP_LAMPSTATE);
}

bool CTWAINDataSource::GetLampStateDefault()
{
    ThrowCapNotAvailable(ICAP_LAMPSTATE);
}

void CTWAINDataSource::SetLampStateCurrent(bool)
{
    ThrowCapNotAvailable(ICAP_LAMPSTATE);
}

bool CTWAINDataSource::ResetLampState()
{
    ThrowCapNotAvailable(ICAP_LAMPSTATE);
}

TW_INT32 CTWAINDataSource::QueryLampStateSupport()
{
    ThrowCapNotAvailable(ICAP_LAMPSTATE);
}

CTWAINContainer CTWAINDataSource::GetLightPathValues()
{
    ThrowCapNotAvailable(ICAP_LIGHTPATH);
}

TW_UINT16 CTWAINDataSource::GetLightPathCurrent()
{
    ThrowCapNotAvailable(ICAP_LIGHTPATH);
}

TW_UINT16 CTWAINDataSource::GetLightPathDefault()
{
    ThrowCapNotAvailable(ICAP_LIGHTPATH);
}

void CTWAINDataSource::SetLightPathCurrent(TW_UINT16)
{
    ThrowCapNotAvailable(ICAP_LIGHTPATH);
}

TW_UINT16 CTWAINDataSource::ResetLightPath()
{
    ThrowCapNotAvailable(ICAP_LIGHTPATH);
}

TW_INT32 CTWAINDataSource::QueryLightPathSupport()
{
    ThrowCapNotAvailable(ICAP_LIGHTPATH);
}

CTWAINContainer CTWAINDataSource::GetLightSourceValues()
{
    ThrowCapNotAvailable(ICAP_LIGHTSOURCE);
}

TW_UINT16 CTWAINDataSource::GetLightSourceCurrent()
{
    ThrowCapNotAvailable(ICAP_LIGHTSOURCE);
}

TW_UINT16 CTWAINDataSource::GetLightSourceDefault()
{
    ThrowCapNotAvailable(ICAP_LIGHTSOURCE);
}

void CTWAINDataSource::SetLightSourceConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_LIGHTSOURCE);
}

void CTWAINDataSource::SetLightSourceCurrent(TW_UINT16)
{
    ThrowCapNotAvailable(ICAP_LIGHTSOURCE);
}

TW_UINT16 CTWAINDataSource::ResetLightSource()
{
    ThrowCapNotAvailable(ICAP_LIGHTSOURCE);
}

TW_INT32 CTWAINDataSource::QueryLightSourceSupport()
{
    ThrowCapNotAvailable(ICAP_LIGHTSOURCE);
}

CTWAINContainer CTWAINDataSource::GetPixelFlavorCodesValues()
{
    ThrowCapNotAvailable(ICAP_PIXELFLAVORCODES);
}

TW_UINT16 CTWAINDataSource::GetPixelFlavorCodesCurrent()
{
    ThrowCapNotAvailable(ICAP_PIXELFLAVORCODES);
}

TW_UINT16 CTWAINDataSource::GetPixelFlavorCodesDefault()
{
    ThrowCapNotAvailable(ICAP_PIXELFLAVORCODES);
}

void CTWAINDataSource::SetPixelFlavorCodesCurrent(TW_UINT16)
{
    ThrowCapNotAvailable(ICAP_PIXELFLAVORCODES);
}

TW_UINT16 CTWAINDataSource::ResetPixelFlavorCodes()
{
    ThrowCapNotAvailable(ICAP_PIXELFLAVORCODES);
}

TW_INT32 CTWAINDataSource::QueryPixelFlavorCodesSupport()
{
    ThrowCapNotAvailable(ICAP_PIXELFLAVORCODES);
}

CTWAINContainer CTWAINDataSource::GetRotationValues()
{
    ThrowCapNotAvailable(ICAP_ROTATION);
}

float CTWAINDataSource::GetRotationCurrent()
{
    ThrowCapNotAvailable(ICAP_ROTATION);
}

float CTWAINDataSource::GetRotationDefault()
{
    ThrowCapNotAvailable(ICAP_ROTATION);
}

void CTWAINDataSource::SetRotationCurrent(float)
{
    ThrowCapNotAvailable(ICAP_ROTATION);
}

float CTWAINDataSource::ResetRotation()
{
    ThrowCapNotAvailable(ICAP_ROTATION);
}

TW_INT32 CTWAINDataSource::QueryRotationSupport()
{
    ThrowCapNotAvailable(ICAP_ROTATION);
}

CTWAINContainer CTWAINDataSource::GetShadowValues()
{
    ThrowCapNotAvailable(ICAP_SHADOW);
}

float CTWAINDataSource::GetShadowCurrent()
{
    ThrowCapNotAvailable(ICAP_SHADOW);
}

float CTWAINDataSource::GetShadowDefault()
{
    ThrowCapNotAvailable(ICAP_SHADOW);
}

void CTWAINDataSource::SetShadowRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_SHADOW);
}

void CTWAINDataSource::SetShadowConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_SHADOW);
}

void CTWAINDataSource::SetShadowCurrent(float)
{
    ThrowCapNotAvailable(ICAP_SHADOW);
}

float CTWAINDataSource::ResetShadow()
{
    ThrowCapNotAvailable(ICAP_SHADOW);
}

TW_INT32 CTWAINDataSource::QueryShadowSupport()
{
    ThrowCapNotAvailable(ICAP_SHADOW);
}

CTWAINContainer CTWAINDataSource::GetThresholdValues()
{
    ThrowCapNotAvailable(ICAP_THRESHOLD);
}

float CTWAINDataSource::GetThresholdCurrent()
{
    ThrowCapNotAvailable(ICAP_THRESHOLD);
}

float CTWAINDataSource::GetThresholdDefault()
{
    ThrowCapNotAvailable(ICAP_THRESHOLD);
}

void CTWAINDataSource::SetThresholdRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_THRESHOLD);
}

void CTWAINDataSource::SetThresholdConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_THRESHOLD);
}

void CTWAINDataSource::SetThresholdCurrent(float)
{
    ThrowCapNotAvailable(ICAP_THRESHOLD);
}

float CTWAINDataSource::ResetThreshold()
{
    ThrowCapNotAvailable(ICAP_THRESHOLD);
}

TW_INT32 CTWAINDataSource::QueryThresholdSupport()
{
    ThrowCapNotAvailable(ICAP_THRESHOLD);
}

bool CTWAINDataSource::GetTilesCurrent()
{
    ThrowCapNotAvailable(ICAP_TILES);
}

bool CTWAINDataSource::GetTilesDefault()
{
    ThrowCapNotAvailable(ICAP_TILES);
}

void CTWAINDataSource::SetTilesCurrent(bool)
{
    ThrowCapNotAvailable(ICAP_TILES);
}

bool CTWAINDataSource::ResetTiles()
{
    ThrowCapNotAvailable(ICAP_TILES);
}

TW_INT32 CTWAINDataSource::QueryTilesSupport()
{
    ThrowCapNotAvailable(ICAP_TILES);
}

CTWAINContainer CTWAINDataSource::GetTimeFillValues()
{
    ThrowCapNotAvailable(ICAP_TIMEFILL);
}

TW_UINT16 CTWAINDataSource::GetTimeFillCurrent()
{
    ThrowCapNotAvailable(ICAP_TIMEFILL);
}

TW_UINT16 CTWAINDataSource::GetTimeFillDefault()
{
    ThrowCapNotAvailable(ICAP_TIMEFILL);
}

void CTWAINDataSource::SetTimeFillCurrent(TW_UINT16)
{
    ThrowCapNotAvailable(ICAP_TIMEFILL);
}

TW_UINT16 CTWAINDataSource::ResetTimeFill()
{
    ThrowCapNotAvailable(ICAP_TIMEFILL);
}

TW_INT32 CTWAINDataSource::QueryTimeFillSupport()
{
    ThrowCapNotAvailable(ICAP_TIMEFILL);
}

bool CTWAINDataSource::GetUndefinedImageSizeCurrent()
{
    ThrowCapNotAvailable(ICAP_UNDEFINEDIMAGESIZE);
}

bool CTWAINDataSource::GetUndefinedImageSizeDefault()
{
    ThrowCapNotAvailable(ICAP_UNDEFINEDIMAGESIZE);
}

void CTWAINDataSource::SetUndefinedImageSizeCurrent(bool)
{
    ThrowCapNotAvailable(ICAP_UNDEFINEDIMAGESIZE);
}

bool CTWAINDataSource::ResetUndefinedImageSize()
{
    ThrowCapNotAvailable(ICAP_UNDEFINEDIMAGESIZE);
}

TW_INT32 CTWAINDataSource::QueryUndefinedImageSizeSupport()
{
    ThrowCapNotAvailable(ICAP_UNDEFINEDIMAGESIZE);
}

float CTWAINDataSource::GetXNativeResolution()
{
    ThrowCapNotAvailable(ICAP_XNATIVERESOLUTION);
}

TW_INT32 CTWAINDataSource::QueryXNativeResolutionSupport()
{
    ThrowCapNotAvailable(ICAP_XNATIVERESOLUTION);
}

CTWAINContainer CTWAINDataSource::GetXScalingValues()
{
    ThrowCapNotAvailable(ICAP_XSCALING);
}

float CTWAINDataSource::GetXScalingCurrent()
{
    ThrowCapNotAvailable(ICAP_XSCALING);
}

float CTWAINDataSource::GetXScalingDefault()
{
    ThrowCapNotAvailable(ICAP_XSCALING);
}

void CTWAINDataSource::SetXScalingRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_XSCALING);
}

void CTWAINDataSource::SetXScalingConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_XSCALING);
}

void CTWAINDataSource::SetXScalingCurrent(float)
{
    ThrowCapNotAvailable(ICAP_XSCALING);
}

float CTWAINDataSource::ResetXScaling()
{
    ThrowCapNotAvailable(ICAP_XSCALING);
}

TW_INT32 CTWAINDataSource::QueryXScalingSupport()
{
    ThrowCapNotAvailable(ICAP_XSCALING);
}

float CTWAINDataSource::GetYNativeResolution()
{
    ThrowCapNotAvailable(ICAP_YNATIVERESOLUTION);
}

TW_INT32 CTWAINDataSource::QueryYNativeResolutionSupport()
{
    ThrowCapNotAvailable(ICAP_YNATIVERESOLUTION);
}

CTWAINContainer CTWAINDataSource::GetYScalingValues()
{
    ThrowCapNotAvailable(ICAP_YSCALING);
}

float CTWAINDataSource::GetYScalingCurrent()
{
    ThrowCapNotAvailable(ICAP_YSCALING);
}

float CTWAINDataSource::GetYScalingDefault()
{
    ThrowCapNotAvailable(ICAP_YSCALING);
}

void CTWAINDataSource::SetYScalingRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_YSCALING);
}

void CTWAINDataSource::SetYScalingConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_YSCALING);
}

void CTWAINDataSource::SetYScalingCurrent(float)
{
    ThrowCapNotAvailable(ICAP_YSCALING);
}

float CTWAINDataSource::ResetYScaling()
{
    ThrowCapNotAvailable(ICAP_YSCALING);
}

TW_INT32 CTWAINDataSource::QueryYScalingSupport()
{
    ThrowCapNotAvailable(ICAP_YSCALING);
}

CTWAINContainer CTWAINDataSource::GetBarCodeMaxRetriesValues()
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES);
}

TW_UINT32 CTWAINDataSource::GetBarCodeMaxRetriesCurrent()
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES);
}

TW_UINT32 CTWAINDataSource::GetBarCodeMaxRetriesDefault()
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES);
}

void CTWAINDataSource::SetBarCodeMaxRetriesRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES);
}

void CTWAINDataSource::SetBarCodeMaxRetriesConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES);
}

void CTWAINDataSource::SetBarCodeMaxRetriesCurrent(TW_UINT32)
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES);
}

TW_UINT32 CTWAINDataSource::ResetBarCodeMaxRetries()
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES);
}

TW_INT32 CTWAINDataSource::QueryBarCodeMaxRetriesSupport()
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES);
}

CTWAINContainer CTWAINDataSource::GetBarCodeMaxSearchPrioritiesValues()
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES);
}

TW_UINT32 CTWAINDataSource::GetBarCodeMaxSearchPrioritiesCurrent()
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES);
}

TW_UINT32 CTWAINDataSource::GetBarCodeMaxSearchPrioritiesDefault()
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES);
}

void CTWAINDataSource::SetBarCodeMaxSearchPrioritiesRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES);
}

void CTWAINDataSource::SetBarCodeMaxSearchPrioritiesConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES);
}

void CTWAINDataSource::SetBarCodeMaxSearchPrioritiesCurrent(TW_UINT32)
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES);
}

TW_UINT32 CTWAINDataSource::ResetBarCodeMaxSearchPriorities()
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES);
}

TW_INT32 CTWAINDataSource::QueryBarCodeMaxSearchPrioritiesSupport()
{
    ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES);
}

CTWAINContainer CTWAINDataSource::GetBarCodeTimeoutValues()
{
    ThrowCapNotAvailable(ICAP_BARCODETIMEOUT);
}

TW_UINT32 CTWAINDataSource::GetBarCodeTimeoutCurrent()
{
    ThrowCapNotAvailable(ICAP_BARCODETIMEOUT);
}

TW_UINT32 CTWAINDataSource::GetBarCodeTimeoutDefault()
{
    ThrowCapNotAvailable(ICAP_BARCODETIMEOUT);
}

void CTWAINDataSource::SetBarCodeTimeoutRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_BARCODETIMEOUT);
}

void CTWAINDataSource::SetBarCodeTimeoutConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_BARCODETIMEOUT);
}

void CTWAINDataSource::SetBarCodeTimeoutCurrent(TW_UINT32)
{
    ThrowCapNotAvailable(ICAP_BARCODETIMEOUT);
}

TW_UINT32 CTWAINDataSource::ResetBarCodeTimeout()
{
    ThrowCapNotAvailable(ICAP_BARCODETIMEOUT);
}

TW_INT32 CTWAINDataSource::QueryBarCodeTimeoutSupport()
{
    ThrowCapNotAvailable(ICAP_BARCODETIMEOUT);
}

CTWAINContainer CTWAINDataSource::GetPatchCodeMaxRetriesValues()
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES);
}

TW_UINT32 CTWAINDataSource::GetPatchCodeMaxRetriesCurrent()
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES);
}

TW_UINT32 CTWAINDataSource::GetPatchCodeMaxRetriesDefault()
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES);
}

void CTWAINDataSource::SetPatchCodeMaxRetriesRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES);
}

void CTWAINDataSource::SetPatchCodeMaxRetriesConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES);
}

void CTWAINDataSource::SetPatchCodeMaxRetriesCurrent(TW_UINT32)
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES);
}

TW_UINT32 CTWAINDataSource::ResetPatchCodeMaxRetries()
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES);
}

TW_INT32 CTWAINDataSource::QueryPatchCodeMaxRetriesSupport()
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES);
}

CTWAINContainer CTWAINDataSource::GetPatchCodeMaxSearchPrioritiesValues()
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
}

TW_UINT32 CTWAINDataSource::GetPatchCodeMaxSearchPrioritiesCurrent()
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
}

TW_UINT32 CTWAINDataSource::GetPatchCodeMaxSearchPrioritiesDefault()
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
}

void CTWAINDataSource::SetPatchCodeMaxSearchPrioritiesRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
}

void CTWAINDataSource::SetPatchCodeMaxSearchPrioritiesConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
}

void CTWAINDataSource::SetPatchCodeMaxSearchPrioritiesCurrent(TW_UINT32)
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
}

TW_UINT32 CTWAINDataSource::ResetPatchCodeMaxSearchPriorities()
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
}

TW_INT32 CTWAINDataSource::QueryPatchCodeMaxSearchPrioritiesSupport()
{
    ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
}

CTWAINContainer CTWAINDataSource::GetPatchCodeTimeoutValues()
{
    ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT);
}

TW_UINT32 CTWAINDataSource::GetPatchCodeTimeoutCurrent()
{
    ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT);
}

TW_UINT32 CTWAINDataSource::GetPatchCodeTimeoutDefault()
{
    ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT);
}

void CTWAINDataSource::SetPatchCodeTimeoutRangeConstraint(const CTWAINRange&)
{
    ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT);
}

void CTWAINDataSource::SetPatchCodeTimeoutConstraint(const CTWAINEnumeration&)
{
    ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT);
}

void CTWAINDataSource::SetPatchCodeTimeoutCurrent(TW_UINT32)
{
    ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT);
}

TW_UINT32 CTWAINDataSource::ResetPatchCodeTimeout()
{
    ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT);
}

TW_INT32 CTWAINDataSource::QueryPatchCodeTimeoutSupport()
{
    ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT);
}

CTWAINContainer CTWAINDataSource::GetJPEGQualityValues()
{
    ThrowCapNotAvailable(ICAP_JPEGQUALITY);
}

TW_UINT16 CTWAINDataSource::GetJPEGQualityCurrent()
{
    ThrowCapNotAvailable(ICAP_JPEGQUALITY);
}

TW_UINT16 CTWAINDataSource::GetJPEGQualityDefault()
{
    ThrowCapNotAvailable(ICAP_JPEGQUALITY);
}

void CTWAINDataSource::SetJPEGQualityCurrent(TW_UINT16)
{
    ThrowCapNotAvailable(ICAP_JPEGQUALITY);
}

TW_UINT16 CTWAINDataSource::ResetJPEGQuality()
{
    ThrowCapNotAvailable(ICAP_JPEGQUALITY);
}

TW_INT32 CTWAINDataSource::QueryJPEGQualitySupport()
{
    ThrowCapNotAvailable(ICAP_JPEGQUALITY);
}

} // namespace Trellis
