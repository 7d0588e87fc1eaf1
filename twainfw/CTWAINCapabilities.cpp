// The framework's own capability accessors: the list families, the fixed
// values and dimensions, and the set-up of every capability at open.
#include "twainfw/CTWAINDataSource.h"

#include "twainfw/FixedPoint.h"

#include <cstring>

namespace Trellis {

namespace {

constexpr TW_INT32 kSettable = TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET;
constexpr TW_INT32 kReadOnly = TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT;

} // namespace

// ---- the families ----

CTWAINContainer CTWAINDataSource::EnumValues(const CTWAINEnumPair& pair) const { return CTWAINContainer(pair.Current); }

TW_UINT16 CTWAINDataSource::EnumCurrent(const CTWAINEnumPair& pair) const
{
    return pair.Current.GetCurrent().GetUInt16();
}

TW_UINT16 CTWAINDataSource::EnumDefault(const CTWAINEnumPair& pair) const
{
    return pair.Allowed.GetDefault().GetUInt16();
}

void CTWAINDataSource::EnumConstrain(CTWAINEnumPair& pair, const CTWAINEnumeration& request)
{
    switch (pair.Constrain(request)) {
    case CTWAINEnumPair::Outcome::Taken:
        return;
    case CTWAINEnumPair::Outcome::Adjusted:
        ThrowCheckStatus(TWCC_BADVALUE);
    case CTWAINEnumPair::Outcome::Refused:
        ThrowFailure(TWCC_BADVALUE);
    }
}

void CTWAINDataSource::EnumSetCurrent(CTWAINEnumPair& pair, TW_UINT16 value)
{
    // A code is never moved to a neighbouring code.
    if (pair.SetCurrent(CTWAINOneValue(value)) == CTWAINEnumPair::Outcome::Refused)
        ThrowFailure(TWCC_BADVALUE);
}

TW_UINT16 CTWAINDataSource::EnumReset(CTWAINEnumPair& pair)
{
    pair.Reset();
    return EnumCurrent(pair);
}

void CTWAINDataSource::ListSetCurrent(CTWAINEnumeration& list, TW_UINT16 value)
{
    std::optional<TW_UINT32> index = list.IndexOf(CTWAINOneValue(value));
    if (!index)
        ThrowFailure(TWCC_BADVALUE);
    list.CurrentIndex = *index;
}

TW_UINT16 CTWAINDataSource::ListReset(CTWAINEnumeration& list)
{
    list.CurrentIndex = list.DefaultIndex;
    return list.GetCurrent().GetUInt16();
}

CTWAINEnumPair& CTWAINDataSource::BitDepthPair()
{
    TW_UINT16 pixelType = GetPixelTypeCurrent();
    if (pixelType >= std::size(m_BitDepths))
        ThrowFailure(TWCC_BADVALUE);
    return m_BitDepths[pixelType];
}

CTWAINEnumPair& CTWAINDataSource::CompressionPair()
{
    TW_UINT16 mech = GetXferMechCurrent();
    if (mech >= std::size(m_Compressions))
        ThrowFailure(TWCC_BADVALUE);
    return m_Compressions[mech];
}

CTWAINEnumPair& CTWAINDataSource::PrinterModePair()
{
    TW_UINT16 printer = GetPrinterCurrent();
    if (printer >= std::size(m_PrinterModes))
        ThrowFailure(TWCC_BADVALUE);
    return m_PrinterModes[printer];
}

CTWAINEnumeration& CTWAINDataSource::PrinterStringList()
{
    TW_UINT16 printer = GetPrinterCurrent();
    if (printer >= std::size(m_PrinterStrings))
        ThrowFailure(TWCC_BADVALUE);
    return m_PrinterStrings[printer];
}

// ---- CAP_ ----

std::string CTWAINDataSource::GetAuthor()
{
    return std::string(m_Identity.Manufacturer, strnlen(m_Identity.Manufacturer, sizeof(TW_STR32))) + " " +
           std::string(m_Identity.ProductName, strnlen(m_Identity.ProductName, sizeof(TW_STR32)));
}

TW_INT32 CTWAINDataSource::QueryAuthorSupport() { return kReadOnly; }

bool CTWAINDataSource::GetCustomDSData() { return true; }

TW_INT32 CTWAINDataSource::QueryCustomDSDataSupport() { return kReadOnly; }

TW_INT32 CTWAINDataSource::QueryDeviceOnlineSupport() { return kReadOnly; }

TW_UINT16 CTWAINDataSource::GetDuplex() { return TWDX_NONE; }

TW_INT32 CTWAINDataSource::QueryDuplexSupport() { return kReadOnly; }

TW_INT32 CTWAINDataSource::QueryEnableDSUIOnlySupport() { return kReadOnly; }

TW_UINT16 CTWAINDataSource::GetFeederAlignment() { return m_FeederAlignment; }

TW_INT32 CTWAINDataSource::QueryFeederAlignmentSupport() { return kReadOnly; }

CTWAINContainer CTWAINDataSource::GetJobControlValues() { return CTWAINContainer(m_JobControl); }

TW_UINT16 CTWAINDataSource::GetJobControlCurrent() { return m_JobControl.GetCurrent().GetUInt16(); }

TW_UINT16 CTWAINDataSource::GetJobControlDefault() { return m_JobControl.GetDefault().GetUInt16(); }

void CTWAINDataSource::SetJobControlCurrent(TW_UINT16 value) { ListSetCurrent(m_JobControl, value); }

TW_UINT16 CTWAINDataSource::ResetJobControl() { return ListReset(m_JobControl); }

TW_INT32 CTWAINDataSource::QueryJobControlSupport() { return kSettable; }

CTWAINArray CTWAINDataSource::GetSupportedCaps() { return m_SupportedCaps; }

TW_INT32 CTWAINDataSource::QuerySupportedCapsSupport() { return kReadOnly; }

std::string CTWAINDataSource::GetTimeDate() { return m_TimeDate; }

TW_INT32 CTWAINDataSource::QueryTimeDateSupport() { return kReadOnly; }

TW_INT32 CTWAINDataSource::QueryUIControllableSupport() { return kReadOnly; }

TW_INT16 CTWAINDataSource::GetXferCountCurrent() { return m_XferCount; }

TW_INT16 CTWAINDataSource::GetXferCountDefault() { return -1; }

void CTWAINDataSource::SetXferCountCurrent(TW_INT16 value)
{
    // -1 means all the application will take.
    if (value != -1 && value < 1)
        ThrowFailure(TWCC_BADVALUE);
    m_XferCount = value;
}

TW_INT16 CTWAINDataSource::ResetXferCount()
{
    m_XferCount = GetXferCountDefault();
    return m_XferCount;
}

TW_INT32 CTWAINDataSource::QueryXferCountSupport() { return kSettable; }

// ---- ICAP_ lists ----

CTWAINContainer CTWAINDataSource::GetBitDepthValues() { return EnumValues(BitDepthPair()); }

TW_UINT16 CTWAINDataSource::GetBitDepthCurrent() { return EnumCurrent(BitDepthPair()); }

TW_UINT16 CTWAINDataSource::GetBitDepthDefault() { return EnumDefault(BitDepthPair()); }

void CTWAINDataSource::SetBitDepthConstraint(const CTWAINEnumeration& constraint)
{
    EnumConstrain(BitDepthPair(), constraint);
}

void CTWAINDataSource::SetBitDepthCurrent(TW_UINT16 value) { EnumSetCurrent(BitDepthPair(), value); }

TW_UINT16 CTWAINDataSource::ResetBitDepth() { return EnumReset(BitDepthPair()); }

TW_INT32 CTWAINDataSource::QueryBitDepthSupport() { return kSettable; }

CTWAINContainer CTWAINDataSource::GetBitOrderValues() { return CTWAINContainer(m_BitOrders); }

TW_UINT16 CTWAINDataSource::GetBitOrderCurrent() { return m_BitOrders.GetCurrent().GetUInt16(); }

TW_UINT16 CTWAINDataSource::GetBitOrderDefault() { return m_BitOrders.GetDefault().GetUInt16(); }

void CTWAINDataSource::SetBitOrderCurrent(TW_UINT16 value) { ListSetCurrent(m_BitOrders, value); }

TW_UINT16 CTWAINDataSource::ResetBitOrder() { return ListReset(m_BitOrders); }

TW_INT32 CTWAINDataSource::QueryBitOrderSupport() { return kSettable; }

CTWAINContainer CTWAINDataSource::GetCompressionValues() { return EnumValues(CompressionPair()); }

TW_UINT16 CTWAINDataSource::GetCompressionCurrent() { return EnumCurrent(CompressionPair()); }

TW_UINT16 CTWAINDataSource::GetCompressionDefault() { return EnumDefault(CompressionPair()); }

void CTWAINDataSource::SetCompressionConstraint(const CTWAINEnumeration& constraint)
{
    EnumConstrain(CompressionPair(), constraint);
}

void CTWAINDataSource::SetCompressionCurrent(TW_UINT16 value) { EnumSetCurrent(CompressionPair(), value); }

TW_UINT16 CTWAINDataSource::ResetCompression() { return EnumReset(CompressionPair()); }

TW_INT32 CTWAINDataSource::QueryCompressionSupport() { return kSettable; }

bool CTWAINDataSource::IsExtImageInfoEnabled() { return true; }

TW_INT32 CTWAINDataSource::QueryExtImageInfoSupport() { return kReadOnly; }

CTWAINContainer CTWAINDataSource::GetImageFileFormatValues() { return EnumValues(m_ImageFileFormats); }

TW_UINT16 CTWAINDataSource::GetImageFileFormatCurrent() { return EnumCurrent(m_ImageFileFormats); }

TW_UINT16 CTWAINDataSource::GetImageFileFormatDefault() { return EnumDefault(m_ImageFileFormats); }

void CTWAINDataSource::SetImageFileFormatConstraint(const CTWAINEnumeration& constraint)
{
    EnumConstrain(m_ImageFileFormats, constraint);
}

void CTWAINDataSource::SetImageFileFormatCurrent(TW_UINT16 value) { EnumSetCurrent(m_ImageFileFormats, value); }

TW_UINT16 CTWAINDataSource::ResetImageFileFormat() { return EnumReset(m_ImageFileFormats); }

TW_INT32 CTWAINDataSource::QueryImageFileFormatSupport() { return kSettable; }

TW_UINT16 CTWAINDataSource::GetMaxFramesCurrent() { return 1; }

TW_UINT16 CTWAINDataSource::GetMaxFramesDefault() { return 1; }

void CTWAINDataSource::SetMaxFramesCurrent(TW_UINT16 value)
{
    // One frame per page is all the framework offers.
    if (value != 1)
        ThrowFailure(TWCC_BADVALUE);
}

TW_UINT16 CTWAINDataSource::ResetMaxFrames() { return 1; }

TW_INT32 CTWAINDataSource::QueryMaxFramesSupport() { return kSettable; }

float CTWAINDataSource::GetMinimumHeight()
{
    return ConvertUnit(m_MinimumHeight, TWUN_INCHES, GetUnitsCurrent(), GetYResolutionValue());
}

TW_INT32 CTWAINDataSource::QueryMinimumHeightSupport() { return kReadOnly; }

float CTWAINDataSource::GetMinimumWidth()
{
    return ConvertUnit(m_MinimumWidth, TWUN_INCHES, GetUnitsCurrent(), GetXResolutionValue());
}

TW_INT32 CTWAINDataSource::QueryMinimumWidthSupport() { return kReadOnly; }

CTWAINContainer CTWAINDataSource::GetOrientationValues() { return EnumValues(m_Orientations); }

TW_UINT16 CTWAINDataSource::GetOrientationCurrent() { return EnumCurrent(m_Orientations); }

TW_UINT16 CTWAINDataSource::GetOrientationDefault() { return EnumDefault(m_Orientations); }

void CTWAINDataSource::SetOrientationConstraint(const CTWAINEnumeration& constraint)
{
    EnumConstrain(m_Orientations, constraint);
}

void CTWAINDataSource::SetOrientationCurrent(TW_UINT16 value) { EnumSetCurrent(m_Orientations, value); }

TW_UINT16 CTWAINDataSource::ResetOrientation() { return EnumReset(m_Orientations); }

TW_INT32 CTWAINDataSource::QueryOrientationSupport() { return kSettable; }

float CTWAINDataSource::GetPhysicalHeight()
{
    return ConvertUnit(m_PhysicalHeight, TWUN_INCHES, GetUnitsCurrent(), GetYResolutionValue());
}

TW_INT32 CTWAINDataSource::QueryPhysicalHeightSupport() { return kReadOnly; }

float CTWAINDataSource::GetPhysicalWidth()
{
    return ConvertUnit(m_PhysicalWidth, TWUN_INCHES, GetUnitsCurrent(), GetXResolutionValue());
}

TW_INT32 CTWAINDataSource::QueryPhysicalWidthSupport() { return kReadOnly; }

CTWAINContainer CTWAINDataSource::GetPixelFlavorValues() { return CTWAINContainer(m_PixelFlavors); }

TW_UINT16 CTWAINDataSource::GetPixelFlavorCurrent() { return m_PixelFlavors.GetCurrent().GetUInt16(); }

TW_UINT16 CTWAINDataSource::GetPixelFlavorDefault() { return m_PixelFlavors.GetDefault().GetUInt16(); }

void CTWAINDataSource::SetPixelFlavorCurrent(TW_UINT16 value) { ListSetCurrent(m_PixelFlavors, value); }

TW_UINT16 CTWAINDataSource::ResetPixelFlavor() { return ListReset(m_PixelFlavors); }

TW_INT32 CTWAINDataSource::QueryPixelFlavorSupport() { return kSettable; }

CTWAINContainer CTWAINDataSource::GetPixelTypeValues() { return EnumValues(m_PixelTypes); }

TW_UINT16 CTWAINDataSource::GetPixelTypeCurrent() { return EnumCurrent(m_PixelTypes); }

TW_UINT16 CTWAINDataSource::GetPixelTypeDefault() { return EnumDefault(m_PixelTypes); }

void CTWAINDataSource::SetPixelTypeConstraint(const CTWAINEnumeration& constraint)
{
    EnumConstrain(m_PixelTypes, constraint);
}

void CTWAINDataSource::SetPixelTypeCurrent(TW_UINT16 value) { EnumSetCurrent(m_PixelTypes, value); }

TW_UINT16 CTWAINDataSource::ResetPixelType() { return EnumReset(m_PixelTypes); }

TW_INT32 CTWAINDataSource::QueryPixelTypeSupport() { return kSettable; }

CTWAINContainer CTWAINDataSource::GetPlanarChunkyValues() { return EnumValues(m_PlanarChunky); }

TW_UINT16 CTWAINDataSource::GetPlanarChunkyCurrent() { return EnumCurrent(m_PlanarChunky); }

TW_UINT16 CTWAINDataSource::GetPlanarChunkyDefault() { return EnumDefault(m_PlanarChunky); }

void CTWAINDataSource::SetPlanarChunkyConstraint(const CTWAINEnumeration& constraint)
{
    EnumConstrain(m_PlanarChunky, constraint);
}

void CTWAINDataSource::SetPlanarChunkyCurrent(TW_UINT16 value) { EnumSetCurrent(m_PlanarChunky, value); }

TW_UINT16 CTWAINDataSource::ResetPlanarChunky() { return EnumReset(m_PlanarChunky); }

TW_INT32 CTWAINDataSource::QueryPlanarChunkySupport() { return kSettable; }

CTWAINContainer CTWAINDataSource::GetUnitsValues() { return EnumValues(m_Units); }

TW_UINT16 CTWAINDataSource::GetUnitsCurrent() { return EnumCurrent(m_Units); }

TW_UINT16 CTWAINDataSource::GetUnitsDefault() { return EnumDefault(m_Units); }

void CTWAINDataSource::SetUnitsConstraint(const CTWAINEnumeration& constraint) { EnumConstrain(m_Units, constraint); }

void CTWAINDataSource::SetUnitsCurrent(TW_UINT16 value) { EnumSetCurrent(m_Units, value); }

TW_UINT16 CTWAINDataSource::ResetUnits() { return EnumReset(m_Units); }

TW_INT32 CTWAINDataSource::QueryUnitsSupport() { return kSettable; }

CTWAINContainer CTWAINDataSource::GetXferMechValues() { return EnumValues(m_XferMechs); }

TW_UINT16 CTWAINDataSource::GetXferMechCurrent() { return EnumCurrent(m_XferMechs); }

TW_UINT16 CTWAINDataSource::GetXferMechDefault() { return EnumDefault(m_XferMechs); }

void CTWAINDataSource::SetXferMechConstraint(const CTWAINEnumeration& constraint)
{
    EnumConstrain(m_XferMechs, constraint);
}

void CTWAINDataSource::SetXferMechCurrent(TW_UINT16 value) { EnumSetCurrent(m_XferMechs, value); }

TW_UINT16 CTWAINDataSource::ResetXferMech() { return EnumReset(m_XferMechs); }

TW_INT32 CTWAINDataSource::QueryXferMechSupport() { return kSettable; }

CTWAINContainer CTWAINDataSource::GetSpareEnumValues() { return EnumValues(m_SpareEnum); }

TW_UINT16 CTWAINDataSource::GetSpareEnumCurrent() { return EnumCurrent(m_SpareEnum); }

TW_UINT16 CTWAINDataSource::GetSpareEnumDefault() { return EnumDefault(m_SpareEnum); }

void CTWAINDataSource::SetSpareEnumConstraint(const CTWAINEnumeration& constraint)
{
    EnumConstrain(m_SpareEnum, constraint);
}

void CTWAINDataSource::SetSpareEnumCurrent(TW_UINT16 value) { EnumSetCurrent(m_SpareEnum, value); }

TW_UINT16 CTWAINDataSource::ResetSpareEnum() { return EnumReset(m_SpareEnum); }

TW_INT32 CTWAINDataSource::QuerySpareEnumSupport() { return kSettable; }

// ---- batch buffers, bar codes, patch codes ----

CTWAINContainer CTWAINDataSource::GetMaxBatchBuffersValues() { return CTWAINContainer(m_MaxBatchBuffers); }

TW_UINT32 CTWAINDataSource::GetMaxBatchBuffersCurrent() { return m_MaxBatchBuffers.CurrentValue.Value; }

TW_UINT32 CTWAINDataSource::GetMaxBatchBuffersDefault() { return m_MaxBatchBuffers.DefaultValue.Value; }

void CTWAINDataSource::SetMaxBatchBuffersRangeConstraint(const CTWAINRange& constraint)
{
    m_MaxBatchBuffers = constraint;
}

void CTWAINDataSource::SetMaxBatchBuffersConstraint(const CTWAINEnumeration&) { ThrowFailure(TWCC_BADVALUE); }

void CTWAINDataSource::SetMaxBatchBuffersCurrent(TW_UINT32 value)
{
    m_MaxBatchBuffers.SetCurrent(CTWAINOneValue(value, TWTY_UINT32));
}

TW_UINT32 CTWAINDataSource::ResetMaxBatchBuffers()
{
    m_MaxBatchBuffers = m_MaxBatchBuffersAllowed;
    return GetMaxBatchBuffersCurrent();
}

TW_INT32 CTWAINDataSource::QueryMaxBatchBuffersSupport() { return kSettable; }

CTWAINContainer CTWAINDataSource::GetBarCodeSearchModeValues() { return EnumValues(m_BarCodeSearchModes); }

TW_UINT16 CTWAINDataSource::GetBarCodeSearchModeCurrent() { return EnumCurrent(m_BarCodeSearchModes); }

TW_UINT16 CTWAINDataSource::GetBarCodeSearchModeDefault() { return EnumDefault(m_BarCodeSearchModes); }

void CTWAINDataSource::SetBarCodeSearchModeConstraint(const CTWAINEnumeration& constraint)
{
    EnumConstrain(m_BarCodeSearchModes, constraint);
}

void CTWAINDataSource::SetBarCodeSearchModeCurrent(TW_UINT16 value) { EnumSetCurrent(m_BarCodeSearchModes, value); }

TW_UINT16 CTWAINDataSource::ResetBarCodeSearchMode() { return EnumReset(m_BarCodeSearchModes); }

TW_INT32 CTWAINDataSource::QueryBarCodeSearchModeSupport() { return kSettable; }

CTWAINArray CTWAINDataSource::GetBarCodeSearchPrioritiesValues() { return m_BarCodeSearchPriorities; }

CTWAINArray CTWAINDataSource::GetBarCodeSearchPrioritiesCurrent() { return m_BarCodeSearchPriorities; }

CTWAINArray CTWAINDataSource::GetBarCodeSearchPrioritiesDefault() { return m_BarCodeSearchPrioritiesDefault; }

void CTWAINDataSource::SetBarCodeSearchPrioritiesArray(const CTWAINArray& value) { m_BarCodeSearchPriorities = value; }

CTWAINArray CTWAINDataSource::ResetBarCodeSearchPriorities()
{
    m_BarCodeSearchPriorities = m_BarCodeSearchPrioritiesDefault;
    return m_BarCodeSearchPriorities;
}

TW_INT32 CTWAINDataSource::QueryBarCodeSearchPrioritiesSupport() { return kSettable; }

CTWAINArray CTWAINDataSource::GetSupportedBarCodeTypes() { return m_SupportedBarCodeTypes; }

TW_INT32 CTWAINDataSource::QuerySupportedBarCodeTypesSupport() { return kReadOnly; }

CTWAINContainer CTWAINDataSource::GetPatchCodeSearchModeValues() { return EnumValues(m_PatchCodeSearchModes); }

TW_UINT16 CTWAINDataSource::GetPatchCodeSearchModeCurrent() { return EnumCurrent(m_PatchCodeSearchModes); }

TW_UINT16 CTWAINDataSource::GetPatchCodeSearchModeDefault() { return EnumDefault(m_PatchCodeSearchModes); }

void CTWAINDataSource::SetPatchCodeSearchModeConstraint(const CTWAINEnumeration& constraint)
{
    EnumConstrain(m_PatchCodeSearchModes, constraint);
}

void CTWAINDataSource::SetPatchCodeSearchModeCurrent(TW_UINT16 value) { EnumSetCurrent(m_PatchCodeSearchModes, value); }

TW_UINT16 CTWAINDataSource::ResetPatchCodeSearchMode() { return EnumReset(m_PatchCodeSearchModes); }

TW_INT32 CTWAINDataSource::QueryPatchCodeSearchModeSupport() { return kSettable; }

CTWAINArray CTWAINDataSource::GetPatchCodeSearchPrioritiesValues() { return m_PatchCodeSearchPriorities; }

CTWAINArray CTWAINDataSource::GetPatchCodeSearchPrioritiesCurrent() { return m_PatchCodeSearchPriorities; }

CTWAINArray CTWAINDataSource::GetPatchCodeSearchPrioritiesDefault() { return m_PatchCodeSearchPrioritiesDefault; }

void CTWAINDataSource::SetPatchCodeSearchPrioritiesArray(const CTWAINArray& value)
{
    m_PatchCodeSearchPriorities = value;
}

CTWAINArray CTWAINDataSource::ResetPatchCodeSearchPriorities()
{
    m_PatchCodeSearchPriorities = m_PatchCodeSearchPrioritiesDefault;
    return m_PatchCodeSearchPriorities;
}

TW_INT32 CTWAINDataSource::QueryPatchCodeSearchPrioritiesSupport() { return kSettable; }

CTWAINArray CTWAINDataSource::GetSupportedPatchCodeTypes() { return m_SupportedPatchCodeTypes; }

TW_INT32 CTWAINDataSource::QuerySupportedPatchCodeTypesSupport() { return kReadOnly; }

// ---- printers ----

CTWAINContainer CTWAINDataSource::GetPrinterValues() { return EnumValues(m_Printers); }

TW_UINT16 CTWAINDataSource::GetPrinterCurrent() { return EnumCurrent(m_Printers); }

TW_UINT16 CTWAINDataSource::GetPrinterDefault() { return EnumDefault(m_Printers); }

void CTWAINDataSource::SetPrinterConstraint(const CTWAINEnumeration& constraint)
{
    EnumConstrain(m_Printers, constraint);
}

void CTWAINDataSource::SetPrinterCurrent(TW_UINT16 value) { EnumSetCurrent(m_Printers, value); }

TW_UINT16 CTWAINDataSource::ResetPrinter() { return EnumReset(m_Printers); }

TW_INT32 CTWAINDataSource::QueryPrinterSupport() { return kSettable; }

CTWAINContainer CTWAINDataSource::GetPrinterModeValues() { return EnumValues(PrinterModePair()); }

TW_UINT16 CTWAINDataSource::GetPrinterModeCurrent() { return EnumCurrent(PrinterModePair()); }

TW_UINT16 CTWAINDataSource::GetPrinterModeDefault() { return EnumDefault(PrinterModePair()); }

void CTWAINDataSource::SetPrinterModeConstraint(const CTWAINEnumeration& constraint)
{
    EnumConstrain(PrinterModePair(), constraint);
}

void CTWAINDataSource::SetPrinterModeCurrent(TW_UINT16 value) { EnumSetCurrent(PrinterModePair(), value); }

TW_UINT16 CTWAINDataSource::ResetPrinterMode() { return EnumReset(PrinterModePair()); }

TW_INT32 CTWAINDataSource::QueryPrinterModeSupport() { return kSettable; }

CTWAINContainer CTWAINDataSource::GetPrinterStringValues() { return CTWAINContainer(PrinterStringList()); }

CTWAINEnumeration CTWAINDataSource::GetPrinterStringCurrent() { return PrinterStringList(); }

CTWAINEnumeration CTWAINDataSource::GetPrinterStringDefault() { return PrinterStringList(); }

void CTWAINDataSource::SetPrinterStringConstraint(const CTWAINEnumeration& constraint)
{
    PrinterStringList() = constraint;
}

void CTWAINDataSource::SetPrinterStringCurrent(const std::string& value)
{
    CTWAINEnumeration& list = PrinterStringList();
    list.Clear();
    list.Add(CTWAINOneValue(value, TWTY_STR255), true, true);
}

// The strings have no list of their own to go back to.
CTWAINEnumeration CTWAINDataSource::ResetPrinterString() { return PrinterStringList(); }

TW_INT32 CTWAINDataSource::QueryPrinterStringSupport() { return kSettable; }

// ---- custom capabilities: none in the framework ----

bool CTWAINDataSource::GetCustomCapValues(TW_UINT16, CTWAINContainer&) { return false; }

bool CTWAINDataSource::GetCustomCapCurrent(TW_UINT16, CTWAINContainer&) { return false; }

bool CTWAINDataSource::GetCustomCapDefault(TW_UINT16, CTWAINContainer&) { return false; }

bool CTWAINDataSource::SetCustomCap(TW_UINT16, CTWAINContainer&) { return false; }

bool CTWAINDataSource::ResetCustomCap(TW_UINT16, CTWAINContainer&) { return false; }

bool CTWAINDataSource::QueryCustomCapSupport(TW_UINT16, TW_INT32&) { return false; }

// ---- set-up at open ----

bool CTWAINDataSource::InitializeCapabilities()
{
    // Every list is filled afresh, so opening the source again starts
    // from the same lists.
    auto fill = [](CTWAINEnumPair& pair, auto init) {
        pair.Allowed.Clear();
        init(pair.Allowed);
        pair.Reset();
    };

    fill(m_Units, [this](CTWAINEnumeration& list) { InitUnits(list); });
    m_PixelFlavors.Clear();
    InitPixelFlavors(m_PixelFlavors);
    fill(m_PixelTypes, [this](CTWAINEnumeration& list) { InitPixelTypes(list); });

    auto allowedPixelType = [this](TW_UINT16 type) { return m_PixelTypes.Allowed.Contains(CTWAINOneValue(type)); };
    for (TW_UINT16 type = 0; type < std::size(m_BitDepths); ++type) {
        if (allowedPixelType(type))
            fill(m_BitDepths[type], [this, type](CTWAINEnumeration& list) { InitBitDepths(type, list); });
    }

    fill(m_PlanarChunky, [this](CTWAINEnumeration& list) { InitPlanarChunky(list); });
    fill(m_XResolutions, [this](CTWAINEnumeration& list) { InitXResolutions(list); });
    fill(m_YResolutions, [this](CTWAINEnumeration& list) { InitYResolutions(list); });

    InitPhysicalDimensions(m_MinimumWidth, m_MinimumHeight, m_PhysicalWidth, m_PhysicalHeight);
    InitFeederAlignment(m_FeederAlignment);
    InitSupportedCaps(m_SupportedCaps);
    m_JobControl.Clear();
    InitJobControl(m_JobControl);
    m_BitOrders.Clear();
    InitBitOrders(m_BitOrders);
    fill(m_ImageFileFormats, [this](CTWAINEnumeration& list) { InitImageFileFormats(list); });
    fill(m_Orientations, [this](CTWAINEnumeration& list) { InitOrientations(list); });
    fill(m_SupportedSizes, [this](CTWAINEnumeration& list) { InitSupportedSizes(list); });
    fill(m_XferMechs, [this](CTWAINEnumeration& list) { InitXferMechs(list); });

    auto allowedMech = [this](TW_UINT16 mech) { return m_XferMechs.Allowed.Contains(CTWAINOneValue(mech)); };
    for (TW_UINT16 mech = 0; mech < std::size(m_Compressions); ++mech) {
        if (allowedMech(mech))
            fill(m_Compressions[mech], [this, mech](CTWAINEnumeration& list) { InitCompressions(mech, list); });
    }

    ResetUnits();
    if (IsCapSupported(ICAP_XRESOLUTION))
        ResetXResolution();
    if (IsCapSupported(ICAP_YRESOLUTION))
        ResetYResolution();
    ResetImageLayout();
    ResetSetupFileXfer();
    ResetSetupMemXfer();
    ResetOrientation();

    if (IsCapSupported(CAP_AUTOFEED))
        ResetAutoFeed();
    if (IsCapSupported(CAP_DUPLEXENABLED))
        ResetDuplexEnabled();
    if (IsCapSupported(CAP_INDICATORS))
        ResetIndicators();
    if (IsCapSupported(CAP_JOBCONTROL))
        ResetJobControl();
    if (IsCapSupported(CAP_XFERCOUNT))
        ResetXferCount();
    if (IsCapSupported(ICAP_PIXELTYPE))
        ResetPixelType();

    // Every pixel type's bit depth (and palette) at its default.
    if (IsCapSupported(ICAP_BITDEPTH) && IsCapSupported(ICAP_PIXELTYPE)) {
        ResetPixelType();
        for (TW_UINT16 type = 0; type < std::size(m_BitDepths); ++type) {
            if (!allowedPixelType(type))
                continue;
            SetPixelTypeCurrent(type);
            if (type == TWPT_BW || type == TWPT_GRAY)
                ResetPalette8();
            ResetBitDepth();
        }
    }

    if (IsCapSupported(ICAP_PIXELTYPE))
        ResetPixelType();
    if (IsCapSupported(ICAP_XFERMECH))
        ResetXferMech();
    if (IsCapSupported(ICAP_IMAGEFILEFORMAT))
        ResetImageFileFormat();
    if (IsCapSupported(ICAP_PIXELFLAVOR))
        ResetPixelFlavor();
    if (IsCapSupported(ICAP_PLANARCHUNKY))
        ResetPlanarChunky();

    for (TW_UINT16 mech = 0; mech < std::size(m_Compressions); ++mech) {
        if (!allowedMech(mech))
            continue;
        try {
            m_Compressions[mech].Reset();
        } catch (const CTWAINException&) {
        }
    }

    ResetFrames();
    if (IsCapSupported(ICAP_UNDEFINEDIMAGESIZE))
        ResetUndefinedImageSize();
    if (IsCapSupported(CUSTCAP_MULTIPAGETIFF))
        m_MultipageTIFF = 0;
    ResetSupportedSizes();
    return true;
}

} // namespace Trellis
