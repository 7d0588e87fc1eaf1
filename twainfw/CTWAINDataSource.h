// The framework's base class of a TWAIN data source: the triplet dispatcher,
// the TWAIN states, and one small group of virtual accessors per capability
// that a device class overrides to make the capability real.
//
// Every failure inside is a thrown exception of the CTWAINException family;
// Dispatch alone catches them and turns them into the return code of the
// triplet and the condition code that DAT_STATUS reports next.
//
// All triplets arrive on the application's thread; nothing here is locked.
#pragma once
#include "platform/twain/twain.h"
#include "platform/windows.h"
#include "twainfw/CTIFFFile.h"
#include "twainfw/CTWAINContainer.h"
#include "twainfw/CTWAINEnumPair.h"
#include "twainfw/CTWAINFrame.h"
#include "twainfw/CTWAINWindow.h"
#include "twainfw/TWAINException.h"
#include "twainfw/TWAINRecords.h"
#include <string>

namespace Trellis {

class CTWAINStorage;

// The framework's own custom capability: file transfers append their images
// to one multipage TIFF file.
inline constexpr TW_UINT16 CUSTCAP_MULTIPAGETIFF = 0x8065;

// The help file beside a module: its path with ".HLP" for the extension.
std::string HelpFilePathOf(const std::string& modulePath);

class CTWAINDataSource {
public:
    CTWAINDataSource();
    CTWAINDataSource(const CTWAINDataSource&) = delete;
    CTWAINDataSource& operator=(const CTWAINDataSource&) = delete;

    // The entry of every triplet; never lets an exception out.
    int Dispatch(const TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

    // Leaving 6 or 7 for 5 or below ends an open multipage TIFF file;
    // entering 7 stamps the time/date text; every change clears XferDone.
    void SetState(TW_INT32 state);
    TW_INT32 GetState() const { return m_State; }
    bool IsXferDone() const { return m_XferDone != 0; }
    // Whether the application has begun transferring the images of the
    // acquisition in hand: from the first entry into state 7 until the
    // state falls to 5 or below.
    bool TransfersBegun() const { return m_TransfersBegun; }

    // Whether the id is in CAP_SUPPORTEDCAPS.
    bool IsCapSupported(TW_UINT16 id);

    // Each builds the exception from the resource module, the codes and the
    // triplet being dispatched, and throws it.
    [[noreturn]] void ThrowFailure(TW_UINT16 conditionCode);
    // A failure whose status carries the source's own detail in its Data.
    [[noreturn]] void ThrowFailure(TW_UINT16 conditionCode, TW_UINT16 detail);
    [[noreturn]] void ThrowCheckStatus(TW_UINT16 conditionCode);
    [[noreturn]] void ThrowCancel();
    [[noreturn]] void ThrowXferDone();
    // TWCC_CAPBADOPERATION for a supported id, else TWCC_CAPUNSUPPORTED.
    [[noreturn]] void ThrowCapNotAvailable(TW_UINT16 id);

    // The time/date text of the last entry into state 7, e.g.
    // "2009/03/07 14:05:09.000".
    const std::string& GetTimeDateText() const { return m_TimeDate; }
    const std::string& GetHelpFilePath() const { return m_HelpFilePath; }
    const CTWAINIdentity& GetApplicationIdentity() const { return m_AppIdentity; }

    // The current value of ICAP_AUTOMATICDESKEW, which the device class and
    // its settings pages read and write directly.
    bool m_AutomaticDeskew = false;

    // ---- framework operations, 0-95 ----
    virtual void OnOpenDS(const TW_IDENTITY& origin);
    virtual void UserInterface(TW_UINT16 msg, TW_USERINTERFACE* ui);
    virtual void PendingXfers(TW_UINT16 msg, TW_PENDINGXFERS* pending);
    virtual bool SpareHook();
    virtual bool ProcessImageTriplet(TW_UINT16 msg, TW_MEMREF data);
    virtual ~CTWAINDataSource();
    virtual void SaveConfiguration(CTWAINStorage& storage);
    virtual void RestoreConfiguration(CTWAINStorage& storage);
    virtual bool ProcessControlTriplet(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    virtual bool Init(HMODULE hModule);
    virtual void Terminate();
    virtual CTWAINFrame GetCustomSizeFrame(TW_UINT16 sizeCode, int unit, float xResolution, float yResolution);
    virtual bool InitializeCapabilities();
    virtual HKEY GetRegistryRoot();
    virtual std::string GetRegistryPath();
    virtual void LoadIdentity(CTWAINIdentity& identity) = 0;
    // Inches.
    virtual void InitPhysicalDimensions(float& minimumWidth, float& minimumHeight, float& physicalWidth,
                                        float& physicalHeight) = 0;
    virtual void InitFeederAlignment(TW_UINT16& alignment);
    virtual void InitSupportedCaps(CTWAINArray& caps);
    virtual void InitJobControl(CTWAINEnumeration& values);
    virtual void InitBitDepths(TW_UINT16 pixelType, CTWAINEnumeration& values) = 0;
    virtual void InitBitOrders(CTWAINEnumeration& values);
    virtual void InitCompressions(TW_UINT16 xferMech, CTWAINEnumeration& values);
    virtual void InitImageFileFormats(CTWAINEnumeration& values);
    virtual void InitOrientations(CTWAINEnumeration& values);
    virtual void InitPixelFlavors(CTWAINEnumeration& values);
    virtual void InitPixelTypes(CTWAINEnumeration& values) = 0;
    virtual void InitPlanarChunky(CTWAINEnumeration& values) = 0;
    virtual void InitSupportedSizes(CTWAINEnumeration& values);
    virtual void InitUnits(CTWAINEnumeration& values);
    virtual void InitXferMechs(CTWAINEnumeration& values);
    // Dots per inch, FIX32 items.
    virtual void InitXResolutions(CTWAINEnumeration& values) = 0;
    virtual void InitYResolutions(CTWAINEnumeration& values) = 0;
    virtual CTWAINWindow* AttachParentWindow(HWND hWnd);
    virtual void DetachParentWindow();
    virtual TW_HANDLE BuildNativeImage();
    virtual void BeginExtImageInfo(TW_UINT32 maxItems);
    virtual bool HandleExtImageInfoItem(TW_INFO& info);
    virtual bool GetOtherExtImageInfoItem(TW_INFO& info);
    virtual void EndExtImageInfo();
    virtual bool BeginAcquisition(TW_IMAGEINFO* imageInfo);
    virtual bool CheckFileXfer();
    virtual bool CheckMemoryXfer(TW_SETUPMEMXFER* setup);
    virtual bool CheckNativeXfer();
    virtual void BeginImageTransfer(TW_UINT16 compression, TW_INT32* rawLineLength) = 0;
    // True when the image has ended (the bytes of this call still count).
    virtual bool ReadImageData(TW_MEMREF buffer, TW_UINT32 size, TW_UINT32* bytesRead, TW_UINT16 compression) = 0;
    // The settings window, modeless; owned by the data source from then on.
    virtual CTWAINWindow* CreateUIWindow(CTWAINWindow* parent, bool uiOnly) = 0;
    virtual void DestroyUIWindow();
    virtual TW_IDENTITY GetIdentity();
    virtual void Open();
    virtual void Close();
    virtual void EnableUserInterface(CTWAINWindow* parent, bool showUI, bool uiOnly);
    virtual void DisableUserInterface();
    virtual TW_PENDINGXFERS QueryPendingXfers() = 0;
    virtual TW_PENDINGXFERS EndXfer() = 0;
    virtual void StopAcquisition() = 0;
    virtual TW_SETUPFILEXFER GetSetupFileXfer();
    virtual TW_SETUPFILEXFER GetDefaultSetupFileXfer();
    virtual void SetSetupFileXfer(const TW_SETUPFILEXFER& setup);
    virtual TW_SETUPFILEXFER ResetSetupFileXfer();
    virtual TW_SETUPMEMXFER GetSetupMemXfer();
    virtual TW_SETUPMEMXFER GetDefaultSetupMemXfer();
    virtual TW_SETUPMEMXFER ResetSetupMemXfer();
    // A new block that the caller owns; null when none could be made.
    virtual TW_HANDLE GetDSDataBlock();
    // The block stays the caller's.
    virtual void SetDSDataBlock(TW_HANDLE hData);
    virtual TW_UINT16 GetConditionCode();
    // The words of a status the application got from DAT_STATUS (its Data is
    // the source's own detail, 0 for none): DAT_STATUSUTF8 gives them.
    virtual std::string GetStatusText(const TW_STATUS& status);
    virtual TW_CIECOLOR GetCIEColor();
    // Extended image information items: `number` counts the records of one
    // id from 1; `returnCode` is the item's condition.
    virtual TW_UINT32 GetBarcodeConfidence(TW_UINT32 number, TW_UINT16& returnCode);
    virtual TW_UINT32 GetBarcodeCount(TW_UINT16& returnCode);
    virtual TW_UINT32 GetBarcodeRotation(TW_UINT32 number, TW_UINT16& returnCode);
    virtual std::string GetBarcodeText(TW_UINT32 number, TW_UINT16& returnCode);
    virtual TW_UINT32 GetBarcodeTextLength(TW_UINT32 number, TW_UINT16& returnCode);
    virtual TW_UINT32 GetBarcodeType(TW_UINT32 number, TW_UINT16& returnCode);
    virtual TW_UINT32 GetBarcodeX(TW_UINT32 number, TW_UINT16& returnCode);
    virtual TW_UINT32 GetBarcodeY(TW_UINT32 number, TW_UINT16& returnCode);
    virtual TW_UINT32 GetPatchCode(TW_UINT16& returnCode);
    // Response tables of 256 TW_ELEMENT8 entries.
    virtual void ResetGrayResponse(TW_GRAYRESPONSE* response);
    virtual void SetGrayResponse(const TW_GRAYRESPONSE* response);
    virtual TW_IMAGEINFO GetImageInfo();
    virtual TW_IMAGELAYOUT GetImageLayout();
    virtual TW_IMAGELAYOUT GetDefaultImageLayout();
    virtual TW_IMAGELAYOUT ResetImageLayout();
    virtual void SetImageLayout(const TW_IMAGELAYOUT& layout);
    virtual bool TransferMemory(TW_IMAGEMEMXFER* xfer, TW_INT32 blockIndex);
    virtual TW_HANDLE TransferNative();
    virtual void TransferFile();
    virtual TW_JPEGCOMPRESSION GetJPEGCompression();
    virtual TW_JPEGCOMPRESSION GetDefaultJPEGCompression();
    virtual TW_JPEGCOMPRESSION ResetJPEGCompression();
    virtual void SetJPEGCompression(const TW_JPEGCOMPRESSION& compression);
    virtual TW_PALETTE8 GetPalette8();
    virtual TW_PALETTE8 GetDefaultPalette8();
    virtual TW_PALETTE8 ResetPalette8();
    virtual void ResetRGBResponse(TW_RGBRESPONSE* response);
    virtual void SetRGBResponse(const TW_RGBRESPONSE* response);
    virtual TW_UINT32 GetXferGroup();

    // ---- capability accessor groups, 96-596 ----
    // Each capability's accessors, in the order of its group. An accessor
    // with a body here is one the framework leaves to a device class: it
    // refuses with TWCC_CAPBADOPERATION when the data source lists the
    // capability, else with TWCC_CAPUNSUPPORTED. How each message reaches
    // its accessor is the capability's row in CapabilityRoutes.cpp.
    // Author 0x1000, 96-98
    virtual std::string GetAuthor();
    virtual void SetAuthor(const std::string&) { ThrowCapNotAvailable(CAP_AUTHOR); }
    virtual TW_INT32 QueryAuthorSupport();
    // AutoFeed 0x1007, 99-103
    virtual bool GetAutoFeedCurrent() { ThrowCapNotAvailable(CAP_AUTOFEED); }
    virtual bool GetAutoFeedDefault() { ThrowCapNotAvailable(CAP_AUTOFEED); }
    virtual void SetAutoFeedCurrent(bool) { ThrowCapNotAvailable(CAP_AUTOFEED); }
    virtual bool ResetAutoFeed() { ThrowCapNotAvailable(CAP_AUTOFEED); }
    virtual TW_INT32 QueryAutoFeedSupport() { ThrowCapNotAvailable(CAP_AUTOFEED); }
    // AutoScan 0x1010, 104-108
    virtual bool GetAutoScanCurrent() { ThrowCapNotAvailable(CAP_AUTOSCAN); }
    virtual bool GetAutoScanDefault() { ThrowCapNotAvailable(CAP_AUTOSCAN); }
    virtual void SetAutoScanCurrent(bool) { ThrowCapNotAvailable(CAP_AUTOSCAN); }
    virtual bool ResetAutoScan() { ThrowCapNotAvailable(CAP_AUTOSCAN); }
    virtual TW_INT32 QueryAutoScanSupport() { ThrowCapNotAvailable(CAP_AUTOSCAN); }
    // Caption 0x1001, 109-111
    virtual std::string GetCaption() { ThrowCapNotAvailable(CAP_CAPTION); }
    virtual void SetCaption(const std::string&) { ThrowCapNotAvailable(CAP_CAPTION); }
    virtual TW_INT32 QueryCaptionSupport() { ThrowCapNotAvailable(CAP_CAPTION); }
    // ClearPage 0x1008, 112-113
    virtual void GetClearPage() { ThrowCapNotAvailable(CAP_CLEARPAGE); }
    virtual TW_INT32 QueryClearPageSupport() { ThrowCapNotAvailable(CAP_CLEARPAGE); }
    // CustomDSData 0x1015, 114-115
    virtual bool GetCustomDSData();
    virtual TW_INT32 QueryCustomDSDataSupport();
    // DeviceOnline 0x100F, 116-117
    virtual bool GetDeviceOnline() = 0;
    virtual TW_INT32 QueryDeviceOnlineSupport();
    // Duplex 0x1012, 118-119
    virtual TW_UINT16 GetDuplex();
    virtual TW_INT32 QueryDuplexSupport();
    // DuplexEnabled 0x1013, 120-124
    virtual bool GetDuplexEnabledCurrent() { ThrowCapNotAvailable(CAP_DUPLEXENABLED); }
    virtual bool GetDuplexEnabledDefault() { ThrowCapNotAvailable(CAP_DUPLEXENABLED); }
    virtual void SetDuplexEnabledCurrent(bool) { ThrowCapNotAvailable(CAP_DUPLEXENABLED); }
    virtual bool ResetDuplexEnabled() { ThrowCapNotAvailable(CAP_DUPLEXENABLED); }
    virtual TW_INT32 QueryDuplexEnabledSupport() { ThrowCapNotAvailable(CAP_DUPLEXENABLED); }
    // EnableDSUIOnly 0x1014, 125-126
    virtual bool GetEnableDSUIOnly() = 0;
    virtual TW_INT32 QueryEnableDSUIOnlySupport();
    // Endorser 0x1016, 127-131
    virtual TW_UINT32 GetEndorserCurrent() { ThrowCapNotAvailable(CAP_ENDORSER); }
    virtual TW_UINT32 GetEndorserDefault() { ThrowCapNotAvailable(CAP_ENDORSER); }
    virtual void SetEndorserCurrent(TW_UINT32) { ThrowCapNotAvailable(CAP_ENDORSER); }
    virtual TW_UINT32 ResetEndorser() { ThrowCapNotAvailable(CAP_ENDORSER); }
    virtual TW_INT32 QueryEndorserSupport() { ThrowCapNotAvailable(CAP_ENDORSER); }
    // ExtendedCaps 0x1006, 132-137
    virtual CTWAINArray GetExtendedCapsValues() { ThrowCapNotAvailable(CAP_EXTENDEDCAPS); }
    virtual CTWAINArray GetExtendedCapsCurrent() { ThrowCapNotAvailable(CAP_EXTENDEDCAPS); }
    virtual CTWAINArray GetExtendedCapsDefault() { ThrowCapNotAvailable(CAP_EXTENDEDCAPS); }
    virtual void SetExtendedCapsArray(const CTWAINArray&) { ThrowCapNotAvailable(CAP_EXTENDEDCAPS); }
    virtual CTWAINArray ResetExtendedCaps() { ThrowCapNotAvailable(CAP_EXTENDEDCAPS); }
    virtual TW_INT32 QueryExtendedCapsSupport() { ThrowCapNotAvailable(CAP_EXTENDEDCAPS); }
    // FeederEnabled 0x1002, 138-142
    virtual bool GetFeederEnabledCurrent() { ThrowCapNotAvailable(CAP_FEEDERENABLED); }
    virtual bool GetFeederEnabledDefault() { ThrowCapNotAvailable(CAP_FEEDERENABLED); }
    virtual void SetFeederEnabledCurrent(bool) { ThrowCapNotAvailable(CAP_FEEDERENABLED); }
    virtual bool ResetFeederEnabled() { ThrowCapNotAvailable(CAP_FEEDERENABLED); }
    virtual TW_INT32 QueryFeederEnabledSupport() { ThrowCapNotAvailable(CAP_FEEDERENABLED); }
    // FeederLoaded 0x1003, 143-144
    virtual bool GetFeederLoaded() { ThrowCapNotAvailable(CAP_FEEDERLOADED); }
    virtual TW_INT32 QueryFeederLoadedSupport() { ThrowCapNotAvailable(CAP_FEEDERLOADED); }
    // FeedPage 0x1009, 145-146
    virtual void GetFeedPage() { ThrowCapNotAvailable(CAP_FEEDPAGE); }
    virtual TW_INT32 QueryFeedPageSupport() { ThrowCapNotAvailable(CAP_FEEDPAGE); }
    // FeederAlignment 0x102D, 147-148
    virtual TW_UINT16 GetFeederAlignment();
    virtual TW_INT32 QueryFeederAlignmentSupport();
    // Indicators 0x100B, 149-153
    virtual bool GetIndicatorsCurrent() { ThrowCapNotAvailable(CAP_INDICATORS); }
    virtual bool GetIndicatorsDefault() { ThrowCapNotAvailable(CAP_INDICATORS); }
    virtual void SetIndicatorsCurrent(bool) { ThrowCapNotAvailable(CAP_INDICATORS); }
    virtual bool ResetIndicators() { ThrowCapNotAvailable(CAP_INDICATORS); }
    virtual TW_INT32 QueryIndicatorsSupport() { ThrowCapNotAvailable(CAP_INDICATORS); }
    // JobControl 0x1017, 154-159
    virtual CTWAINContainer GetJobControlValues();
    virtual TW_UINT16 GetJobControlCurrent();
    virtual TW_UINT16 GetJobControlDefault();
    virtual void SetJobControlCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetJobControl();
    virtual TW_INT32 QueryJobControlSupport();
    // RewindPage 0x100A, 160-161
    virtual void GetRewindPage() { ThrowCapNotAvailable(CAP_REWINDPAGE); }
    virtual TW_INT32 QueryRewindPageSupport() { ThrowCapNotAvailable(CAP_REWINDPAGE); }
    // SupportedCaps 0x1005, 162-163
    virtual CTWAINArray GetSupportedCaps();
    virtual TW_INT32 QuerySupportedCapsSupport();
    // PaperDetectable 0x100D, 164-165
    virtual bool GetPaperDetectable() { ThrowCapNotAvailable(CAP_PAPERDETECTABLE); }
    virtual TW_INT32 QueryPaperDetectableSupport() { ThrowCapNotAvailable(CAP_PAPERDETECTABLE); }
    // TimeDate 0x1004, 166-167
    virtual std::string GetTimeDate();
    virtual TW_INT32 QueryTimeDateSupport();
    // UIControllable 0x100E, 168-169
    virtual bool GetUIControllable() = 0;
    virtual TW_INT32 QueryUIControllableSupport();
    // XferCount 0x0001, 170-174
    virtual TW_INT16 GetXferCountCurrent();
    virtual TW_INT16 GetXferCountDefault();
    virtual void SetXferCountCurrent(TW_INT16 value);
    virtual TW_INT16 ResetXferCount();
    virtual TW_INT32 QueryXferCountSupport();
    // AutoBright 0x1100, 175-179
    virtual bool GetAutoBrightCurrent() { ThrowCapNotAvailable(ICAP_AUTOBRIGHT); }
    virtual bool GetAutoBrightDefault() { ThrowCapNotAvailable(ICAP_AUTOBRIGHT); }
    virtual void SetAutoBrightCurrent(bool) { ThrowCapNotAvailable(ICAP_AUTOBRIGHT); }
    virtual bool ResetAutoBright() { ThrowCapNotAvailable(ICAP_AUTOBRIGHT); }
    virtual TW_INT32 QueryAutoBrightSupport() { ThrowCapNotAvailable(ICAP_AUTOBRIGHT); }
    // BitDepth 0x112B, 180-186
    virtual CTWAINContainer GetBitDepthValues();
    virtual TW_UINT16 GetBitDepthCurrent();
    virtual TW_UINT16 GetBitDepthDefault();
    virtual void SetBitDepthConstraint(const CTWAINEnumeration& constraint);
    virtual void SetBitDepthCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetBitDepth();
    virtual TW_INT32 QueryBitDepthSupport();
    // BitDepthReduction 0x112C, 187-193
    virtual CTWAINContainer GetBitDepthReductionValues() { ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION); }
    virtual TW_UINT16 GetBitDepthReductionCurrent() { ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION); }
    virtual TW_UINT16 GetBitDepthReductionDefault() { ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION); }
    virtual void SetBitDepthReductionConstraint(const CTWAINEnumeration&)
    {
        ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION);
    }
    virtual void SetBitDepthReductionCurrent(TW_UINT16) { ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION); }
    virtual TW_UINT16 ResetBitDepthReduction() { ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION); }
    virtual TW_INT32 QueryBitDepthReductionSupport() { ThrowCapNotAvailable(ICAP_BITDEPTHREDUCTION); }
    // BitOrder 0x111C, 194-199
    virtual CTWAINContainer GetBitOrderValues();
    virtual TW_UINT16 GetBitOrderCurrent();
    virtual TW_UINT16 GetBitOrderDefault();
    virtual void SetBitOrderCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetBitOrder();
    virtual TW_INT32 QueryBitOrderSupport();
    // BitOrderCodes 0x1126, 200-205
    virtual CTWAINContainer GetBitOrderCodesValues() { ThrowCapNotAvailable(ICAP_BITORDERCODES); }
    virtual TW_UINT16 GetBitOrderCodesCurrent() { ThrowCapNotAvailable(ICAP_BITORDERCODES); }
    virtual TW_UINT16 GetBitOrderCodesDefault() { ThrowCapNotAvailable(ICAP_BITORDERCODES); }
    virtual void SetBitOrderCodesCurrent(TW_UINT16) { ThrowCapNotAvailable(ICAP_BITORDERCODES); }
    virtual TW_UINT16 ResetBitOrderCodes() { ThrowCapNotAvailable(ICAP_BITORDERCODES); }
    virtual TW_INT32 QueryBitOrderCodesSupport() { ThrowCapNotAvailable(ICAP_BITORDERCODES); }
    // Brightness 0x1101, 206-213
    virtual CTWAINContainer GetBrightnessValues() { ThrowCapNotAvailable(ICAP_BRIGHTNESS); }
    virtual float GetBrightnessCurrent() { ThrowCapNotAvailable(ICAP_BRIGHTNESS); }
    virtual float GetBrightnessDefault() { ThrowCapNotAvailable(ICAP_BRIGHTNESS); }
    virtual void SetBrightnessRangeConstraint(const CTWAINRange&) { ThrowCapNotAvailable(ICAP_BRIGHTNESS); }
    virtual void SetBrightnessConstraint(const CTWAINEnumeration&) { ThrowCapNotAvailable(ICAP_BRIGHTNESS); }
    virtual void SetBrightnessCurrent(float) { ThrowCapNotAvailable(ICAP_BRIGHTNESS); }
    virtual float ResetBrightness() { ThrowCapNotAvailable(ICAP_BRIGHTNESS); }
    virtual TW_INT32 QueryBrightnessSupport() { ThrowCapNotAvailable(ICAP_BRIGHTNESS); }
    // CCITTKFactor 0x111D, 214-218
    virtual TW_UINT16 GetCCITTKFactorCurrent() { ThrowCapNotAvailable(ICAP_CCITTKFACTOR); }
    virtual TW_UINT16 GetCCITTKFactorDefault() { ThrowCapNotAvailable(ICAP_CCITTKFACTOR); }
    virtual void SetCCITTKFactorCurrent(TW_UINT16) { ThrowCapNotAvailable(ICAP_CCITTKFACTOR); }
    virtual TW_UINT16 ResetCCITTKFactor() { ThrowCapNotAvailable(ICAP_CCITTKFACTOR); }
    virtual TW_INT32 QueryCCITTKFactorSupport() { ThrowCapNotAvailable(ICAP_CCITTKFACTOR); }
    // Compression 0x0100, 219-225
    virtual CTWAINContainer GetCompressionValues();
    virtual TW_UINT16 GetCompressionCurrent();
    virtual TW_UINT16 GetCompressionDefault();
    virtual void SetCompressionConstraint(const CTWAINEnumeration& constraint);
    virtual void SetCompressionCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetCompression();
    virtual TW_INT32 QueryCompressionSupport();
    // Contrast 0x1103, 226-232
    virtual CTWAINContainer GetContrastValues() { ThrowCapNotAvailable(ICAP_CONTRAST); }
    virtual float GetContrastCurrent() { ThrowCapNotAvailable(ICAP_CONTRAST); }
    virtual float GetContrastDefault() { ThrowCapNotAvailable(ICAP_CONTRAST); }
    virtual void SetContrastConstraint(const CTWAINEnumeration&) { ThrowCapNotAvailable(ICAP_CONTRAST); }
    virtual void SetContrastCurrent(float) { ThrowCapNotAvailable(ICAP_CONTRAST); }
    virtual float ResetContrast() { ThrowCapNotAvailable(ICAP_CONTRAST); }
    virtual TW_INT32 QueryContrastSupport() { ThrowCapNotAvailable(ICAP_CONTRAST); }
    // CustHalfTone 0x1104, 233-238
    virtual CTWAINArray GetCustHalfToneValues() { ThrowCapNotAvailable(ICAP_CUSTHALFTONE); }
    virtual CTWAINArray GetCustHalfToneCurrent() { ThrowCapNotAvailable(ICAP_CUSTHALFTONE); }
    virtual CTWAINArray GetCustHalfToneDefault() { ThrowCapNotAvailable(ICAP_CUSTHALFTONE); }
    virtual void SetCustHalfToneArray(const CTWAINArray&) { ThrowCapNotAvailable(ICAP_CUSTHALFTONE); }
    virtual CTWAINArray ResetCustHalfTone() { ThrowCapNotAvailable(ICAP_CUSTHALFTONE); }
    virtual TW_INT32 QueryCustHalfToneSupport() { ThrowCapNotAvailable(ICAP_CUSTHALFTONE); }
    // ExposureTime 0x1105, 239-246
    virtual CTWAINContainer GetExposureTimeValues() { ThrowCapNotAvailable(ICAP_EXPOSURETIME); }
    virtual float GetExposureTimeCurrent() { ThrowCapNotAvailable(ICAP_EXPOSURETIME); }
    virtual float GetExposureTimeDefault() { ThrowCapNotAvailable(ICAP_EXPOSURETIME); }
    virtual void SetExposureTimeRangeConstraint(const CTWAINRange&) { ThrowCapNotAvailable(ICAP_EXPOSURETIME); }
    virtual void SetExposureTimeConstraint(const CTWAINEnumeration&) { ThrowCapNotAvailable(ICAP_EXPOSURETIME); }
    virtual void SetExposureTimeCurrent(float) { ThrowCapNotAvailable(ICAP_EXPOSURETIME); }
    virtual float ResetExposureTime() { ThrowCapNotAvailable(ICAP_EXPOSURETIME); }
    virtual TW_INT32 QueryExposureTimeSupport() { ThrowCapNotAvailable(ICAP_EXPOSURETIME); }
    // ExtImageInfo 0x112F, 247-252
    virtual bool GetExtImageInfoCurrent() { ThrowCapNotAvailable(ICAP_EXTIMAGEINFO); }
    virtual bool GetExtImageInfoDefault() { ThrowCapNotAvailable(ICAP_EXTIMAGEINFO); }
    virtual void SetExtImageInfoCurrent(bool) { ThrowCapNotAvailable(ICAP_EXTIMAGEINFO); }
    virtual bool ResetExtImageInfo() { ThrowCapNotAvailable(ICAP_EXTIMAGEINFO); }
    virtual bool IsExtImageInfoEnabled();
    virtual TW_INT32 QueryExtImageInfoSupport();
    // Filter 0x1106, 253-259
    virtual CTWAINContainer GetFilterValues() { ThrowCapNotAvailable(ICAP_FILTER); }
    virtual CTWAINContainer GetFilterCurrent() { ThrowCapNotAvailable(ICAP_FILTER); }
    virtual CTWAINContainer GetFilterDefault() { ThrowCapNotAvailable(ICAP_FILTER); }
    virtual void SetFilterArray(const CTWAINArray&) { ThrowCapNotAvailable(ICAP_FILTER); }
    virtual void SetFilterCurrent(TW_UINT16) { ThrowCapNotAvailable(ICAP_FILTER); }
    virtual CTWAINContainer ResetFilter() { ThrowCapNotAvailable(ICAP_FILTER); }
    virtual TW_INT32 QueryFilterSupport() { ThrowCapNotAvailable(ICAP_FILTER); }
    // FlashUsed 0x1107, 260-264
    virtual bool GetFlashUsedCurrent() { ThrowCapNotAvailable(ICAP_FLASHUSED); }
    virtual bool GetFlashUsedDefault() { ThrowCapNotAvailable(ICAP_FLASHUSED); }
    virtual void SetFlashUsedCurrent(bool) { ThrowCapNotAvailable(ICAP_FLASHUSED); }
    virtual bool ResetFlashUsed() { ThrowCapNotAvailable(ICAP_FLASHUSED); }
    virtual TW_INT32 QueryFlashUsedSupport() { ThrowCapNotAvailable(ICAP_FLASHUSED); }
    // Frames 0x1114, 265-271
    virtual CTWAINContainer GetFramesValues();
    virtual CTWAINFrame GetFramesCurrent();
    virtual CTWAINFrame GetFramesDefault();
    virtual void SetFramesConstraint(const CTWAINEnumeration& constraint);
    virtual void SetFramesCurrent(const CTWAINFrame& value);
    virtual CTWAINFrame ResetFrames();
    virtual TW_INT32 QueryFramesSupport();
    // Gamma 0x1108, 272-276
    virtual float GetGammaCurrent() { ThrowCapNotAvailable(ICAP_GAMMA); }
    virtual float GetGammaDefault() { ThrowCapNotAvailable(ICAP_GAMMA); }
    virtual void SetGammaCurrent(float) { ThrowCapNotAvailable(ICAP_GAMMA); }
    virtual float ResetGamma() { ThrowCapNotAvailable(ICAP_GAMMA); }
    virtual TW_INT32 QueryGammaSupport() { ThrowCapNotAvailable(ICAP_GAMMA); }
    // HalfTones 0x1109, 277-284
    virtual CTWAINContainer GetHalfTonesValues() { ThrowCapNotAvailable(ICAP_HALFTONES); }
    virtual std::string GetHalfTonesCurrent() { ThrowCapNotAvailable(ICAP_HALFTONES); }
    virtual std::string GetHalfTonesDefault() { ThrowCapNotAvailable(ICAP_HALFTONES); }
    virtual void SetHalfTonesConstraint(const CTWAINEnumeration&) { ThrowCapNotAvailable(ICAP_HALFTONES); }
    virtual void SetHalfTonesArray(const CTWAINArray&) { ThrowCapNotAvailable(ICAP_HALFTONES); }
    virtual void SetHalfTonesCurrent(const std::string&) { ThrowCapNotAvailable(ICAP_HALFTONES); }
    virtual std::string ResetHalfTones() { ThrowCapNotAvailable(ICAP_HALFTONES); }
    virtual TW_INT32 QueryHalfTonesSupport() { ThrowCapNotAvailable(ICAP_HALFTONES); }
    // Highlight 0x110A, 285-292
    virtual CTWAINContainer GetHighlightValues() { ThrowCapNotAvailable(ICAP_HIGHLIGHT); }
    virtual float GetHighlightCurrent() { ThrowCapNotAvailable(ICAP_HIGHLIGHT); }
    virtual float GetHighlightDefault() { ThrowCapNotAvailable(ICAP_HIGHLIGHT); }
    virtual void SetHighlightRangeConstraint(const CTWAINRange&) { ThrowCapNotAvailable(ICAP_HIGHLIGHT); }
    virtual void SetHighlightConstraint(const CTWAINEnumeration&) { ThrowCapNotAvailable(ICAP_HIGHLIGHT); }
    virtual void SetHighlightCurrent(float) { ThrowCapNotAvailable(ICAP_HIGHLIGHT); }
    virtual float ResetHighlight() { ThrowCapNotAvailable(ICAP_HIGHLIGHT); }
    virtual TW_INT32 QueryHighlightSupport() { ThrowCapNotAvailable(ICAP_HIGHLIGHT); }
    // ImageFileFormat 0x110C, 293-299
    virtual CTWAINContainer GetImageFileFormatValues();
    virtual TW_UINT16 GetImageFileFormatCurrent();
    virtual TW_UINT16 GetImageFileFormatDefault();
    virtual void SetImageFileFormatConstraint(const CTWAINEnumeration& constraint);
    virtual void SetImageFileFormatCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetImageFileFormat();
    virtual TW_INT32 QueryImageFileFormatSupport();
    // JPEGPixelType 0x1128, 300-306
    virtual CTWAINContainer GetJPEGPixelTypeValues() { ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE); }
    virtual TW_UINT16 GetJPEGPixelTypeCurrent() { ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE); }
    virtual TW_UINT16 GetJPEGPixelTypeDefault() { ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE); }
    virtual void SetJPEGPixelTypeConstraint(const CTWAINEnumeration&) { ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE); }
    virtual void SetJPEGPixelTypeCurrent(TW_UINT16) { ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE); }
    virtual TW_UINT16 ResetJPEGPixelType() { ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE); }
    virtual TW_INT32 QueryJPEGPixelTypeSupport() { ThrowCapNotAvailable(ICAP_JPEGPIXELTYPE); }
    // LampState 0x110D, 307-312
    virtual CTWAINContainer GetLampStateValues() { ThrowCapNotAvailable(ICAP_LAMPSTATE); }
    virtual bool GetLampStateCurrent() { ThrowCapNotAvailable(ICAP_LAMPSTATE); }
    virtual bool GetLampStateDefault() { ThrowCapNotAvailable(ICAP_LAMPSTATE); }
    virtual void SetLampStateCurrent(bool) { ThrowCapNotAvailable(ICAP_LAMPSTATE); }
    virtual bool ResetLampState() { ThrowCapNotAvailable(ICAP_LAMPSTATE); }
    virtual TW_INT32 QueryLampStateSupport() { ThrowCapNotAvailable(ICAP_LAMPSTATE); }
    // LightPath 0x111E, 313-318
    virtual CTWAINContainer GetLightPathValues() { ThrowCapNotAvailable(ICAP_LIGHTPATH); }
    virtual TW_UINT16 GetLightPathCurrent() { ThrowCapNotAvailable(ICAP_LIGHTPATH); }
    virtual TW_UINT16 GetLightPathDefault() { ThrowCapNotAvailable(ICAP_LIGHTPATH); }
    virtual void SetLightPathCurrent(TW_UINT16) { ThrowCapNotAvailable(ICAP_LIGHTPATH); }
    virtual TW_UINT16 ResetLightPath() { ThrowCapNotAvailable(ICAP_LIGHTPATH); }
    virtual TW_INT32 QueryLightPathSupport() { ThrowCapNotAvailable(ICAP_LIGHTPATH); }
    // LightSource 0x110E, 319-325
    virtual CTWAINContainer GetLightSourceValues() { ThrowCapNotAvailable(ICAP_LIGHTSOURCE); }
    virtual TW_UINT16 GetLightSourceCurrent() { ThrowCapNotAvailable(ICAP_LIGHTSOURCE); }
    virtual TW_UINT16 GetLightSourceDefault() { ThrowCapNotAvailable(ICAP_LIGHTSOURCE); }
    virtual void SetLightSourceConstraint(const CTWAINEnumeration&) { ThrowCapNotAvailable(ICAP_LIGHTSOURCE); }
    virtual void SetLightSourceCurrent(TW_UINT16) { ThrowCapNotAvailable(ICAP_LIGHTSOURCE); }
    virtual TW_UINT16 ResetLightSource() { ThrowCapNotAvailable(ICAP_LIGHTSOURCE); }
    virtual TW_INT32 QueryLightSourceSupport() { ThrowCapNotAvailable(ICAP_LIGHTSOURCE); }
    // MaxFrames 0x111A, 326-330
    virtual TW_UINT16 GetMaxFramesCurrent();
    virtual TW_UINT16 GetMaxFramesDefault();
    virtual void SetMaxFramesCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetMaxFrames();
    virtual TW_INT32 QueryMaxFramesSupport();
    // MinimumHeight 0x1130, 331-332
    virtual float GetMinimumHeight();
    virtual TW_INT32 QueryMinimumHeightSupport();
    // MinimumWidth 0x1131, 333-334
    virtual float GetMinimumWidth();
    virtual TW_INT32 QueryMinimumWidthSupport();
    // Orientation 0x1110, 335-341
    virtual CTWAINContainer GetOrientationValues();
    virtual TW_UINT16 GetOrientationCurrent();
    virtual TW_UINT16 GetOrientationDefault();
    virtual void SetOrientationConstraint(const CTWAINEnumeration& constraint);
    virtual void SetOrientationCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetOrientation();
    virtual TW_INT32 QueryOrientationSupport();
    // PhysicalHeight 0x1112, 342-343
    virtual float GetPhysicalHeight();
    virtual TW_INT32 QueryPhysicalHeightSupport();
    // PhysicalWidth 0x1111, 344-345
    virtual float GetPhysicalWidth();
    virtual TW_INT32 QueryPhysicalWidthSupport();
    // PixelFlavor 0x111F, 346-351
    virtual CTWAINContainer GetPixelFlavorValues();
    virtual TW_UINT16 GetPixelFlavorCurrent();
    virtual TW_UINT16 GetPixelFlavorDefault();
    virtual void SetPixelFlavorCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetPixelFlavor();
    virtual TW_INT32 QueryPixelFlavorSupport();
    // PixelFlavorCodes 0x1127, 352-357
    virtual CTWAINContainer GetPixelFlavorCodesValues() { ThrowCapNotAvailable(ICAP_PIXELFLAVORCODES); }
    virtual TW_UINT16 GetPixelFlavorCodesCurrent() { ThrowCapNotAvailable(ICAP_PIXELFLAVORCODES); }
    virtual TW_UINT16 GetPixelFlavorCodesDefault() { ThrowCapNotAvailable(ICAP_PIXELFLAVORCODES); }
    virtual void SetPixelFlavorCodesCurrent(TW_UINT16) { ThrowCapNotAvailable(ICAP_PIXELFLAVORCODES); }
    virtual TW_UINT16 ResetPixelFlavorCodes() { ThrowCapNotAvailable(ICAP_PIXELFLAVORCODES); }
    virtual TW_INT32 QueryPixelFlavorCodesSupport() { ThrowCapNotAvailable(ICAP_PIXELFLAVORCODES); }
    // PixelType 0x0101, 358-364
    virtual CTWAINContainer GetPixelTypeValues();
    virtual TW_UINT16 GetPixelTypeCurrent();
    virtual TW_UINT16 GetPixelTypeDefault();
    virtual void SetPixelTypeConstraint(const CTWAINEnumeration& constraint);
    virtual void SetPixelTypeCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetPixelType();
    virtual TW_INT32 QueryPixelTypeSupport();
    // PlanarChunky 0x1120, 365-371
    virtual CTWAINContainer GetPlanarChunkyValues();
    virtual TW_UINT16 GetPlanarChunkyCurrent();
    virtual TW_UINT16 GetPlanarChunkyDefault();
    virtual void SetPlanarChunkyConstraint(const CTWAINEnumeration& constraint);
    virtual void SetPlanarChunkyCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetPlanarChunky();
    virtual TW_INT32 QueryPlanarChunkySupport();
    // Rotation 0x1121, 372-377
    virtual CTWAINContainer GetRotationValues() { ThrowCapNotAvailable(ICAP_ROTATION); }
    virtual float GetRotationCurrent() { ThrowCapNotAvailable(ICAP_ROTATION); }
    virtual float GetRotationDefault() { ThrowCapNotAvailable(ICAP_ROTATION); }
    virtual void SetRotationCurrent(float) { ThrowCapNotAvailable(ICAP_ROTATION); }
    virtual float ResetRotation() { ThrowCapNotAvailable(ICAP_ROTATION); }
    virtual TW_INT32 QueryRotationSupport() { ThrowCapNotAvailable(ICAP_ROTATION); }
    // Shadow 0x1113, 378-385
    virtual CTWAINContainer GetShadowValues() { ThrowCapNotAvailable(ICAP_SHADOW); }
    virtual float GetShadowCurrent() { ThrowCapNotAvailable(ICAP_SHADOW); }
    virtual float GetShadowDefault() { ThrowCapNotAvailable(ICAP_SHADOW); }
    virtual void SetShadowRangeConstraint(const CTWAINRange&) { ThrowCapNotAvailable(ICAP_SHADOW); }
    virtual void SetShadowConstraint(const CTWAINEnumeration&) { ThrowCapNotAvailable(ICAP_SHADOW); }
    virtual void SetShadowCurrent(float) { ThrowCapNotAvailable(ICAP_SHADOW); }
    virtual float ResetShadow() { ThrowCapNotAvailable(ICAP_SHADOW); }
    virtual TW_INT32 QueryShadowSupport() { ThrowCapNotAvailable(ICAP_SHADOW); }
    // SupportedSizes 0x1122, 386-392
    virtual CTWAINContainer GetSupportedSizesValues();
    virtual TW_UINT16 GetSupportedSizesCurrent();
    virtual TW_UINT16 GetSupportedSizesDefault();
    virtual void SetSupportedSizesConstraint(const CTWAINEnumeration& constraint);
    virtual void SetSupportedSizesCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetSupportedSizes();
    virtual TW_INT32 QuerySupportedSizesSupport();
    // Threshold 0x1123, 393-400
    virtual CTWAINContainer GetThresholdValues() { ThrowCapNotAvailable(ICAP_THRESHOLD); }
    virtual float GetThresholdCurrent() { ThrowCapNotAvailable(ICAP_THRESHOLD); }
    virtual float GetThresholdDefault() { ThrowCapNotAvailable(ICAP_THRESHOLD); }
    virtual void SetThresholdRangeConstraint(const CTWAINRange&) { ThrowCapNotAvailable(ICAP_THRESHOLD); }
    virtual void SetThresholdConstraint(const CTWAINEnumeration&) { ThrowCapNotAvailable(ICAP_THRESHOLD); }
    virtual void SetThresholdCurrent(float) { ThrowCapNotAvailable(ICAP_THRESHOLD); }
    virtual float ResetThreshold() { ThrowCapNotAvailable(ICAP_THRESHOLD); }
    virtual TW_INT32 QueryThresholdSupport() { ThrowCapNotAvailable(ICAP_THRESHOLD); }
    // Tiles 0x111B, 401-405
    virtual bool GetTilesCurrent() { ThrowCapNotAvailable(ICAP_TILES); }
    virtual bool GetTilesDefault() { ThrowCapNotAvailable(ICAP_TILES); }
    virtual void SetTilesCurrent(bool) { ThrowCapNotAvailable(ICAP_TILES); }
    virtual bool ResetTiles() { ThrowCapNotAvailable(ICAP_TILES); }
    virtual TW_INT32 QueryTilesSupport() { ThrowCapNotAvailable(ICAP_TILES); }
    // TimeFill 0x112A, 406-411
    virtual CTWAINContainer GetTimeFillValues() { ThrowCapNotAvailable(ICAP_TIMEFILL); }
    virtual TW_UINT16 GetTimeFillCurrent() { ThrowCapNotAvailable(ICAP_TIMEFILL); }
    virtual TW_UINT16 GetTimeFillDefault() { ThrowCapNotAvailable(ICAP_TIMEFILL); }
    virtual void SetTimeFillCurrent(TW_UINT16) { ThrowCapNotAvailable(ICAP_TIMEFILL); }
    virtual TW_UINT16 ResetTimeFill() { ThrowCapNotAvailable(ICAP_TIMEFILL); }
    virtual TW_INT32 QueryTimeFillSupport() { ThrowCapNotAvailable(ICAP_TIMEFILL); }
    // UndefinedImageSize 0x112D, 412-416
    virtual bool GetUndefinedImageSizeCurrent() { ThrowCapNotAvailable(ICAP_UNDEFINEDIMAGESIZE); }
    virtual bool GetUndefinedImageSizeDefault() { ThrowCapNotAvailable(ICAP_UNDEFINEDIMAGESIZE); }
    virtual void SetUndefinedImageSizeCurrent(bool) { ThrowCapNotAvailable(ICAP_UNDEFINEDIMAGESIZE); }
    virtual bool ResetUndefinedImageSize() { ThrowCapNotAvailable(ICAP_UNDEFINEDIMAGESIZE); }
    virtual TW_INT32 QueryUndefinedImageSizeSupport() { ThrowCapNotAvailable(ICAP_UNDEFINEDIMAGESIZE); }
    // Units 0x0102, 417-423
    virtual CTWAINContainer GetUnitsValues();
    virtual TW_UINT16 GetUnitsCurrent();
    virtual TW_UINT16 GetUnitsDefault();
    virtual void SetUnitsConstraint(const CTWAINEnumeration& constraint);
    virtual void SetUnitsCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetUnits();
    virtual TW_INT32 QueryUnitsSupport();
    // XferMech 0x0103, 424-430
    virtual CTWAINContainer GetXferMechValues();
    virtual TW_UINT16 GetXferMechCurrent();
    virtual TW_UINT16 GetXferMechDefault();
    virtual void SetXferMechConstraint(const CTWAINEnumeration& constraint);
    virtual void SetXferMechCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetXferMech();
    virtual TW_INT32 QueryXferMechSupport();
    // XNativeResolution 0x1116, 431-432
    virtual float GetXNativeResolution() { ThrowCapNotAvailable(ICAP_XNATIVERESOLUTION); }
    virtual TW_INT32 QueryXNativeResolutionSupport() { ThrowCapNotAvailable(ICAP_XNATIVERESOLUTION); }
    // XResolution 0x1118, 433-441
    virtual CTWAINContainer GetXResolutionValues();
    virtual float GetXResolutionCurrent();
    virtual float GetXResolutionValue();
    virtual float GetXResolutionDefault();
    virtual void SetXResolutionRangeConstraint(const CTWAINRange& constraint);
    virtual void SetXResolutionConstraint(const CTWAINEnumeration& constraint);
    virtual void SetXResolutionCurrent(float value);
    virtual float ResetXResolution();
    virtual TW_INT32 QueryXResolutionSupport();
    // XScaling 0x1124, 442-449
    virtual CTWAINContainer GetXScalingValues() { ThrowCapNotAvailable(ICAP_XSCALING); }
    virtual float GetXScalingCurrent() { ThrowCapNotAvailable(ICAP_XSCALING); }
    virtual float GetXScalingDefault() { ThrowCapNotAvailable(ICAP_XSCALING); }
    virtual void SetXScalingRangeConstraint(const CTWAINRange&) { ThrowCapNotAvailable(ICAP_XSCALING); }
    virtual void SetXScalingConstraint(const CTWAINEnumeration&) { ThrowCapNotAvailable(ICAP_XSCALING); }
    virtual void SetXScalingCurrent(float) { ThrowCapNotAvailable(ICAP_XSCALING); }
    virtual float ResetXScaling() { ThrowCapNotAvailable(ICAP_XSCALING); }
    virtual TW_INT32 QueryXScalingSupport() { ThrowCapNotAvailable(ICAP_XSCALING); }
    // YNativeResolution 0x1117, 450-451
    virtual float GetYNativeResolution() { ThrowCapNotAvailable(ICAP_YNATIVERESOLUTION); }
    virtual TW_INT32 QueryYNativeResolutionSupport() { ThrowCapNotAvailable(ICAP_YNATIVERESOLUTION); }
    // YResolution 0x1119, 452-460
    virtual CTWAINContainer GetYResolutionValues();
    virtual float GetYResolutionCurrent();
    virtual float GetYResolutionValue();
    virtual float GetYResolutionDefault();
    virtual void SetYResolutionRangeConstraint(const CTWAINRange& constraint);
    virtual void SetYResolutionConstraint(const CTWAINEnumeration& constraint);
    virtual void SetYResolutionCurrent(float value);
    virtual float ResetYResolution();
    virtual TW_INT32 QueryYResolutionSupport();
    // YScaling 0x1125, 461-468
    virtual CTWAINContainer GetYScalingValues() { ThrowCapNotAvailable(ICAP_YSCALING); }
    virtual float GetYScalingCurrent() { ThrowCapNotAvailable(ICAP_YSCALING); }
    virtual float GetYScalingDefault() { ThrowCapNotAvailable(ICAP_YSCALING); }
    virtual void SetYScalingRangeConstraint(const CTWAINRange&) { ThrowCapNotAvailable(ICAP_YSCALING); }
    virtual void SetYScalingConstraint(const CTWAINEnumeration&) { ThrowCapNotAvailable(ICAP_YSCALING); }
    virtual void SetYScalingCurrent(float) { ThrowCapNotAvailable(ICAP_YSCALING); }
    virtual float ResetYScaling() { ThrowCapNotAvailable(ICAP_YSCALING); }
    virtual TW_INT32 QueryYScalingSupport() { ThrowCapNotAvailable(ICAP_YSCALING); }
    // SpareEnum, 469-475
    virtual CTWAINContainer GetSpareEnumValues();
    virtual TW_UINT16 GetSpareEnumCurrent();
    virtual TW_UINT16 GetSpareEnumDefault();
    virtual void SetSpareEnumConstraint(const CTWAINEnumeration& constraint);
    virtual void SetSpareEnumCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetSpareEnum();
    virtual TW_INT32 QuerySpareEnumSupport();
    // MaxBatchBuffers 0x101E, 476-483
    virtual CTWAINContainer GetMaxBatchBuffersValues();
    virtual TW_UINT32 GetMaxBatchBuffersCurrent();
    virtual TW_UINT32 GetMaxBatchBuffersDefault();
    virtual void SetMaxBatchBuffersRangeConstraint(const CTWAINRange& constraint);
    virtual void SetMaxBatchBuffersConstraint(const CTWAINEnumeration& constraint);
    virtual void SetMaxBatchBuffersCurrent(TW_UINT32 value);
    virtual TW_UINT32 ResetMaxBatchBuffers();
    virtual TW_INT32 QueryMaxBatchBuffersSupport();
    // BarCodeMaxRetries 0x113C, 484-491
    virtual CTWAINContainer GetBarCodeMaxRetriesValues() { ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES); }
    virtual TW_UINT32 GetBarCodeMaxRetriesCurrent() { ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES); }
    virtual TW_UINT32 GetBarCodeMaxRetriesDefault() { ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES); }
    virtual void SetBarCodeMaxRetriesRangeConstraint(const CTWAINRange&)
    {
        ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES);
    }
    virtual void SetBarCodeMaxRetriesConstraint(const CTWAINEnumeration&)
    {
        ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES);
    }
    virtual void SetBarCodeMaxRetriesCurrent(TW_UINT32) { ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES); }
    virtual TW_UINT32 ResetBarCodeMaxRetries() { ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES); }
    virtual TW_INT32 QueryBarCodeMaxRetriesSupport() { ThrowCapNotAvailable(ICAP_BARCODEMAXRETRIES); }
    // BarCodeMaxSearchPriorities 0x1139, 492-499
    virtual CTWAINContainer GetBarCodeMaxSearchPrioritiesValues()
    {
        ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES);
    }
    virtual TW_UINT32 GetBarCodeMaxSearchPrioritiesCurrent() { ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES); }
    virtual TW_UINT32 GetBarCodeMaxSearchPrioritiesDefault() { ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES); }
    virtual void SetBarCodeMaxSearchPrioritiesRangeConstraint(const CTWAINRange&)
    {
        ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES);
    }
    virtual void SetBarCodeMaxSearchPrioritiesConstraint(const CTWAINEnumeration&)
    {
        ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES);
    }
    virtual void SetBarCodeMaxSearchPrioritiesCurrent(TW_UINT32)
    {
        ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES);
    }
    virtual TW_UINT32 ResetBarCodeMaxSearchPriorities() { ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES); }
    virtual TW_INT32 QueryBarCodeMaxSearchPrioritiesSupport() { ThrowCapNotAvailable(ICAP_BARCODEMAXSEARCHPRIORITIES); }
    // BarCodeSearchMode 0x113B, 500-506
    virtual CTWAINContainer GetBarCodeSearchModeValues();
    virtual TW_UINT16 GetBarCodeSearchModeCurrent();
    virtual TW_UINT16 GetBarCodeSearchModeDefault();
    virtual void SetBarCodeSearchModeConstraint(const CTWAINEnumeration& constraint);
    virtual void SetBarCodeSearchModeCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetBarCodeSearchMode();
    virtual TW_INT32 QueryBarCodeSearchModeSupport();
    // BarCodeSearchPriorities 0x113A, 507-512
    virtual CTWAINArray GetBarCodeSearchPrioritiesValues();
    virtual CTWAINArray GetBarCodeSearchPrioritiesCurrent();
    virtual CTWAINArray GetBarCodeSearchPrioritiesDefault();
    virtual void SetBarCodeSearchPrioritiesArray(const CTWAINArray& value);
    virtual CTWAINArray ResetBarCodeSearchPriorities();
    virtual TW_INT32 QueryBarCodeSearchPrioritiesSupport();
    // BarCodeTimeout 0x113D, 513-520
    virtual CTWAINContainer GetBarCodeTimeoutValues() { ThrowCapNotAvailable(ICAP_BARCODETIMEOUT); }
    virtual TW_UINT32 GetBarCodeTimeoutCurrent() { ThrowCapNotAvailable(ICAP_BARCODETIMEOUT); }
    virtual TW_UINT32 GetBarCodeTimeoutDefault() { ThrowCapNotAvailable(ICAP_BARCODETIMEOUT); }
    virtual void SetBarCodeTimeoutRangeConstraint(const CTWAINRange&) { ThrowCapNotAvailable(ICAP_BARCODETIMEOUT); }
    virtual void SetBarCodeTimeoutConstraint(const CTWAINEnumeration&) { ThrowCapNotAvailable(ICAP_BARCODETIMEOUT); }
    virtual void SetBarCodeTimeoutCurrent(TW_UINT32) { ThrowCapNotAvailable(ICAP_BARCODETIMEOUT); }
    virtual TW_UINT32 ResetBarCodeTimeout() { ThrowCapNotAvailable(ICAP_BARCODETIMEOUT); }
    virtual TW_INT32 QueryBarCodeTimeoutSupport() { ThrowCapNotAvailable(ICAP_BARCODETIMEOUT); }
    // SupportedBarCodeTypes 0x1138, 521-522
    virtual CTWAINArray GetSupportedBarCodeTypes();
    virtual TW_INT32 QuerySupportedBarCodeTypesSupport();
    // PatchCodeMaxRetries 0x1144, 523-530
    virtual CTWAINContainer GetPatchCodeMaxRetriesValues() { ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES); }
    virtual TW_UINT32 GetPatchCodeMaxRetriesCurrent() { ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES); }
    virtual TW_UINT32 GetPatchCodeMaxRetriesDefault() { ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES); }
    virtual void SetPatchCodeMaxRetriesRangeConstraint(const CTWAINRange&)
    {
        ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES);
    }
    virtual void SetPatchCodeMaxRetriesConstraint(const CTWAINEnumeration&)
    {
        ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES);
    }
    virtual void SetPatchCodeMaxRetriesCurrent(TW_UINT32) { ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES); }
    virtual TW_UINT32 ResetPatchCodeMaxRetries() { ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES); }
    virtual TW_INT32 QueryPatchCodeMaxRetriesSupport() { ThrowCapNotAvailable(ICAP_PATCHCODEMAXRETRIES); }
    // PatchCodeMaxSearchPriorities 0x1141, 531-538
    virtual CTWAINContainer GetPatchCodeMaxSearchPrioritiesValues()
    {
        ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
    }
    virtual TW_UINT32 GetPatchCodeMaxSearchPrioritiesCurrent()
    {
        ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
    }
    virtual TW_UINT32 GetPatchCodeMaxSearchPrioritiesDefault()
    {
        ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
    }
    virtual void SetPatchCodeMaxSearchPrioritiesRangeConstraint(const CTWAINRange&)
    {
        ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
    }
    virtual void SetPatchCodeMaxSearchPrioritiesConstraint(const CTWAINEnumeration&)
    {
        ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
    }
    virtual void SetPatchCodeMaxSearchPrioritiesCurrent(TW_UINT32)
    {
        ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
    }
    virtual TW_UINT32 ResetPatchCodeMaxSearchPriorities() { ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES); }
    virtual TW_INT32 QueryPatchCodeMaxSearchPrioritiesSupport()
    {
        ThrowCapNotAvailable(ICAP_PATCHCODEMAXSEARCHPRIORITIES);
    }
    // PatchCodeSearchMode 0x1143, 539-545
    virtual CTWAINContainer GetPatchCodeSearchModeValues();
    virtual TW_UINT16 GetPatchCodeSearchModeCurrent();
    virtual TW_UINT16 GetPatchCodeSearchModeDefault();
    virtual void SetPatchCodeSearchModeConstraint(const CTWAINEnumeration& constraint);
    virtual void SetPatchCodeSearchModeCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetPatchCodeSearchMode();
    virtual TW_INT32 QueryPatchCodeSearchModeSupport();
    // PatchCodeSearchPriorities 0x1142, 546-551
    virtual CTWAINArray GetPatchCodeSearchPrioritiesValues();
    virtual CTWAINArray GetPatchCodeSearchPrioritiesCurrent();
    virtual CTWAINArray GetPatchCodeSearchPrioritiesDefault();
    virtual void SetPatchCodeSearchPrioritiesArray(const CTWAINArray& value);
    virtual CTWAINArray ResetPatchCodeSearchPriorities();
    virtual TW_INT32 QueryPatchCodeSearchPrioritiesSupport();
    // PatchCodeTimeout 0x1145, 552-559
    virtual CTWAINContainer GetPatchCodeTimeoutValues() { ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT); }
    virtual TW_UINT32 GetPatchCodeTimeoutCurrent() { ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT); }
    virtual TW_UINT32 GetPatchCodeTimeoutDefault() { ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT); }
    virtual void SetPatchCodeTimeoutRangeConstraint(const CTWAINRange&) { ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT); }
    virtual void SetPatchCodeTimeoutConstraint(const CTWAINEnumeration&)
    {
        ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT);
    }
    virtual void SetPatchCodeTimeoutCurrent(TW_UINT32) { ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT); }
    virtual TW_UINT32 ResetPatchCodeTimeout() { ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT); }
    virtual TW_INT32 QueryPatchCodeTimeoutSupport() { ThrowCapNotAvailable(ICAP_PATCHCODETIMEOUT); }
    // SupportedPatchCodeTypes 0x1140, 560-561
    virtual CTWAINArray GetSupportedPatchCodeTypes();
    virtual TW_INT32 QuerySupportedPatchCodeTypesSupport();
    // Printer 0x1026, 562-568
    virtual CTWAINContainer GetPrinterValues();
    virtual TW_UINT16 GetPrinterCurrent();
    virtual TW_UINT16 GetPrinterDefault();
    virtual void SetPrinterConstraint(const CTWAINEnumeration& constraint);
    virtual void SetPrinterCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetPrinter();
    virtual TW_INT32 QueryPrinterSupport();
    // PrinterMode 0x1029, 569-575
    virtual CTWAINContainer GetPrinterModeValues();
    virtual TW_UINT16 GetPrinterModeCurrent();
    virtual TW_UINT16 GetPrinterModeDefault();
    virtual void SetPrinterModeConstraint(const CTWAINEnumeration& constraint);
    virtual void SetPrinterModeCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetPrinterMode();
    virtual TW_INT32 QueryPrinterModeSupport();
    // PrinterString 0x102A, 576-582
    virtual CTWAINContainer GetPrinterStringValues();
    virtual CTWAINEnumeration GetPrinterStringCurrent();
    virtual CTWAINEnumeration GetPrinterStringDefault();
    virtual void SetPrinterStringConstraint(const CTWAINEnumeration& constraint);
    virtual void SetPrinterStringCurrent(const std::string& value);
    virtual CTWAINEnumeration ResetPrinterString();
    virtual TW_INT32 QueryPrinterStringSupport();
    // JPEGQuality 0x1153, 583-588
    virtual CTWAINContainer GetJPEGQualityValues() { ThrowCapNotAvailable(ICAP_JPEGQUALITY); }
    virtual TW_UINT16 GetJPEGQualityCurrent() { ThrowCapNotAvailable(ICAP_JPEGQUALITY); }
    virtual TW_UINT16 GetJPEGQualityDefault() { ThrowCapNotAvailable(ICAP_JPEGQUALITY); }
    virtual void SetJPEGQualityCurrent(TW_UINT16) { ThrowCapNotAvailable(ICAP_JPEGQUALITY); }
    virtual TW_UINT16 ResetJPEGQuality() { ThrowCapNotAvailable(ICAP_JPEGQUALITY); }
    virtual TW_INT32 QueryJPEGQualitySupport() { ThrowCapNotAvailable(ICAP_JPEGQUALITY); }
    // ImageDataSet 0x112E, 589-596
    virtual void FillImageDataSetValues(CTWAINArray& values);
    virtual void GetImageDataSetCurrent(CTWAINContainer& container);
    virtual TW_UINT32 GetImageDataSetDefault();
    virtual void SetImageDataSetRangeConstraint(const CTWAINRange& constraint);
    virtual void SetImageDataSetArray(const CTWAINArray& value);
    virtual void SetImageDataSetCurrent(TW_UINT32 value);
    virtual TW_UINT32 ResetImageDataSet();
    virtual TW_INT32 QueryImageDataSetSupport();

    // ---- custom capabilities, 597-602: ids no handler knows. True when
    // the hook knows the id (and filled or applied the container). ----
    virtual bool GetCustomCapValues(TW_UINT16 id, CTWAINContainer& container);
    virtual bool GetCustomCapCurrent(TW_UINT16 id, CTWAINContainer& container);
    virtual bool GetCustomCapDefault(TW_UINT16 id, CTWAINContainer& container);
    virtual bool SetCustomCap(TW_UINT16 id, CTWAINContainer& container);
    virtual bool ResetCustomCap(TW_UINT16 id, CTWAINContainer& container);
    virtual bool QueryCustomCapSupport(TW_UINT16 id, TW_INT32& flags);
    // 603: a JPEG file to a bitmap (the caller's error text on false). The
    // packed DIB comes as a TWAIN handle (TWAINMemory.h), as every handle
    // the source hands out does; a file transfer writes the set-up's file.
    virtual bool DecodeJPEGToBitmap(const std::string& path, TW_HANDLE* bitmap, int (*progress)(int),
                                    std::string& error);

    // Telling the application, outside any triplet, that an image is ready
    // or that the settings window was closed.
    void SignalXferReady();
    void SignalCloseDSOK();
    void SignalCloseDSRequest();
    // Calls the manager's entry with DG_CONTROL / DAT_NULL / msg, from this
    // source to its application; silent when there is no manager.
    void NotifyApplication(TW_UINT16 msg);
    // Settings under the configuration key; false on any failure.
    bool SaveConfigurationToRegistry();
    bool LoadConfigurationFromRegistry();

protected:
    // The DAT_CAPABILITY entry.
    void OnCapability(TW_UINT16 msg, TW_CAPABILITY* capability);
    // Its message handlers: each builds the answer and hands it over as a
    // new handle in the TW_CAPABILITY, which the application frees.
    void GetCapability(TW_CAPABILITY* capability);
    void GetCapabilityCurrent(TW_CAPABILITY* capability);
    void GetCapabilityDefault(TW_CAPABILITY* capability);
    void ResetCapability(TW_CAPABILITY* capability);
    // Reads the application's container, which stays the application's.
    void SetCapability(TW_CAPABILITY* capability);
    TW_INT32 QueryCapabilitySupport(TW_UINT16 id);

    // The TWAIN resolution of the axis in the current unit: 1.0 in pixels,
    // dots per centimetre in centimetres, dots per inch otherwise.
    float ResolutionToUnits(float dotsPerInch);
    float ResolutionFromUnits(float value);
    // A length in the current unit to another unit at the bare resolution.
    float ConvertXLength(float length, int toUnit);
    float ConvertYLength(float length, int toUnit);
    // Stores the frame of a page-size code (not TWSS_NONE) as the current frame.
    void SetFrameFromSizeCode(TW_UINT16 sizeCode);

    CTWAINIdentity m_Identity;
    CTWAINIdentity m_AppIdentity;
    HMODULE m_hModule = nullptr;
    HMODULE m_hResourceModule = nullptr;
    CTWAINWindow* m_pParentWindow = nullptr;
    CTWAINWindow* m_pUIWindow = nullptr;
    TW_INT32 m_State = 0;
    TW_UINT8 m_XferDone = 0;
    bool m_TransfersBegun = false;
    TW_INT32 m_ConditionCode = TWCC_SUCCESS;
    // The source's detail of the failure, DAT_STATUS's Data (0: none).
    TW_UINT16 m_ConditionData = 0;
    TW_INT32 m_CurrentDG = 0;
    TW_INT32 m_CurrentDAT = 0;
    TW_INT32 m_CurrentMSG = 0;
    TW_INT32 m_CurrentCap = 0;
    std::string m_HelpFilePath;
    TW_INT32 m_RawLineLength = -1;
    CTIFFFile m_TIFFFile; // the multipage file of file transfers
    CTWAINArray m_SupportedCaps;
    TW_IMAGEINFO m_ImageInfo{};
    float m_MinimumWidth = 0;
    float m_MinimumHeight = 0;
    float m_PhysicalWidth = 0;
    float m_PhysicalHeight = 0;
    TW_UINT32 m_DocumentNumber = 1;
    TW_UINT32 m_PageNumber = 1;
    TW_UINT32 m_FrameNumber = 1;
    TW_SETUPMEMXFER m_SetupMemXfer{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    TW_SETUPFILEXFER m_SetupFileXfer{};
    TW_INT16 m_XferCount = -1;
    TW_PALETTE8 m_PaletteBW{};
    TW_PALETTE8 m_PaletteGray{};
    CTWAINFrame m_Frame; // inches
    CTWAINEnumPair m_SupportedSizes;
    CTWAINEnumPair m_XResolutions; // dots per inch
    CTWAINEnumPair m_YResolutions;
    CTWAINArray m_ImageDataSet;
    TW_UINT32 m_ImagesAvailable = 0;
    TW_UINT16 m_FeederAlignment = TWFA_NONE;
    CTWAINEnumeration m_JobControl;
    std::string m_TimeDate;
    CTWAINEnumPair m_BitDepths[9]; // per pixel type
    CTWAINEnumeration m_BitOrders;
    CTWAINEnumPair m_Compressions[3]; // per transfer mechanism
    CTWAINEnumPair m_ImageFileFormats;
    CTWAINEnumPair m_Orientations;
    CTWAINEnumeration m_PixelFlavors;
    CTWAINEnumPair m_PixelTypes;
    CTWAINEnumPair m_PlanarChunky;
    CTWAINEnumPair m_Units;
    CTWAINEnumPair m_XferMechs;
    CTWAINEnumPair m_SpareEnum;
    CTWAINRange m_MaxBatchBuffersAllowed;
    CTWAINRange m_MaxBatchBuffers;
    CTWAINEnumPair m_BarCodeSearchModes;
    CTWAINArray m_BarCodeSearchPriorities;
    CTWAINArray m_BarCodeSearchPrioritiesDefault;
    CTWAINArray m_SupportedBarCodeTypes;
    CTWAINEnumPair m_PatchCodeSearchModes;
    CTWAINArray m_PatchCodeSearchPriorities;
    CTWAINArray m_PatchCodeSearchPrioritiesDefault;
    CTWAINArray m_SupportedPatchCodeTypes;
    CTWAINEnumPair m_Printers;
    CTWAINEnumPair m_PrinterModes[8]; // per printer
    CTWAINEnumeration m_PrinterStrings[8];
    TW_UINT8 m_PrinterEnabled[8] = {};
    TW_INT32 m_PrinterIndex[8] = {};
    std::string m_PrinterSuffix[8] = {"0000", "0000", "0000", "0000", "0000", "0000", "0000", "0000"};
    // Capabilities answered from plain members.
    TW_UINT8 m_ThumbnailsEnabled = 0;
    TW_UINT8 m_BarCodeDetectionEnabled = 0;
    TW_UINT8 m_PatchCodeDetectionEnabled = 0;
    TW_UINT8 m_AutomaticBorderDetection = 0;
    TW_UINT8 m_MultipageTIFF = 0;
    TW_INT32 m_XferBlockCounter = 0;

private:
    // The routes of the capabilities held in members reach them here.
    friend struct MemberCapabilities;

    TWAINCallContext CallContext() const;
    void TripletSwitch(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    void ControlTriplet(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    void ImageTriplet(TW_UINT16 msg, TW_UINT16 dat, TW_MEMREF data);
    void OnIdentity(TW_UINT16 msg, TW_IDENTITY* identity);
    void OnSetupMemXfer(TW_UINT16 msg, TW_SETUPMEMXFER* setup);
    void OnSetupFileXfer(TW_UINT16 msg, TW_SETUPFILEXFER* setup);
    void OnStatus(TW_UINT16 msg, TW_STATUS* status);
    void OnStatusUTF8(TW_UINT16 msg, TW_STATUSUTF8* status);
    void OnCustomDSData(TW_UINT16 msg, TW_CUSTOMDSDATA* data);
    TW_HANDLE HandOverDSDataBlock(HGLOBAL block, TW_UINT32& length);
    HGLOBAL TakeOverDSDataBlock(TW_HANDLE handle, TW_UINT32 length);
    void OnXferGroup(TW_UINT16 msg, TW_UINT32* group);
    void OnImageLayout(TW_UINT16 msg, TW_IMAGELAYOUT* layout);
    void LogImageInfo(const TW_IMAGEINFO& info);
    void OnPalette8(TW_UINT16 msg, TW_PALETTE8* palette);
    void OnExtImageInfo(TW_UINT16 msg, TW_EXTIMAGEINFO* request);
    void EndOfTransferLoop(TW_PENDINGXFERS* pending);
    // The enumeration family: the allowed and the constrained list of one
    // capability of TWTY_UINT16 codes.
    CTWAINContainer EnumValues(const CTWAINEnumPair& pair) const;
    TW_UINT16 EnumCurrent(const CTWAINEnumPair& pair) const;
    TW_UINT16 EnumDefault(const CTWAINEnumPair& pair) const;
    void EnumConstrain(CTWAINEnumPair& pair, const CTWAINEnumeration& request);
    void EnumSetCurrent(CTWAINEnumPair& pair, TW_UINT16 value);
    TW_UINT16 EnumReset(CTWAINEnumPair& pair);
    // The single-list family: one list, no constraint.
    void ListSetCurrent(CTWAINEnumeration& list, TW_UINT16 value);
    TW_UINT16 ListReset(CTWAINEnumeration& list);
    // The lists chosen by the current pixel type, transfer mechanism and
    // printer; TWCC_BADVALUE for a code without a list.
    CTWAINEnumPair& BitDepthPair();
    CTWAINEnumPair& CompressionPair();
    CTWAINEnumPair& PrinterModePair();
    CTWAINEnumeration& PrinterStringList();
    // A resolution axis.
    float ResolutionFromUnits(const CTWAINEnumPair& pair, float value);
    CTWAINContainer ResolutionValues(const CTWAINEnumPair& pair);
    void ResolutionSetCurrent(CTWAINEnumPair& pair, float value);
    void ResolutionConstrain(CTWAINEnumPair& pair, const CTWAINEnumeration& request);
    void ResolutionRangeConstrain(CTWAINEnumPair& pair, const CTWAINRange& request);
    // Throws TWCC_SEQERROR unless lowest <= state <= highest.
    void RequireState(TW_INT32 lowest, TW_INT32 highest);
    [[noreturn]] void ThrowBadProtocol() { ThrowFailure(TWCC_BADPROTOCOL); }
};

} // namespace Trellis
