// The scanner's TWAIN data source: one object per process, made by DS_Entry.
// It finds its device from its own file name and the device's registry
// values, and binds the hardware service while an application has it open.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "platform/windows.h"
#include "twainds/ui/CMainDSDlg.h"
#include "twainds/ui/CScanProgressDlg.h"
#include "twainfw/CTWAINDataSource.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qbk24 {
// Message-box answers of the retry question.
constexpr int kAnswerCancel = 2;
constexpr int kAnswerRetry = 4;
} // namespace qbk24

// The scanner's own capabilities, in the TWAIN custom range. 0x8022 and
// 0x8023 are not used.
inline constexpr TW_UINT16 CUSTCAP_DYNAMICTHRESHOLD = 0x801B;
inline constexpr TW_UINT16 CUSTCAP_DESPECKLE = 0x801C;
inline constexpr TW_UINT16 CUSTCAP_DESPECKLEVALUE = 0x801D;
inline constexpr TW_UINT16 CUSTCAP_INVERTIMAGE = 0x801E;
inline constexpr TW_UINT16 CUSTCAP_MIRRORIMAGE = 0x801F;
inline constexpr TW_UINT16 CUSTCAP_DOUBLEFEEDDETECTION = 0x8020;
inline constexpr TW_UINT16 CUSTCAP_DOUBLEFEEDSENSITIVITY = 0x8021;
inline constexpr TW_UINT16 CUSTCAP_AUTOMATICSEPARATION = 0x8024;
inline constexpr TW_UINT16 CUSTCAP_AUTOCROPWIDTH = 0x8025;
inline constexpr TW_UINT16 CUSTCAP_AUTOCROPLENGTH = 0x8026;
inline constexpr TW_UINT16 CUSTCAP_DOUBLEFEEDACTION = 0x8027;
inline constexpr TW_UINT16 CUSTCAP_SKEWACTION = 0x8028;
inline constexpr TW_UINT16 CUSTCAP_LONGDOCSUPPORT = 0x8029;

// The logger a diagnostics component may attach: the address of a category's
// level mask by name, and the writing of one line.
class CQBK24Logger {
public:
    virtual ~CQBK24Logger() = default;
    virtual DWORD* GetLogMaskAddress(const std::string& category) = 0;
    virtual void Write(DWORD level, DWORD processId, DWORD threadId, const std::string& timestamp,
                       const std::string& category, const std::string& text) = 0;
};

// Linear map between trackbar positions and capability values, clamped to
// [toMin, toMax].
float ScaleValue(float x, float fromMin, float fromMax, float toMin, float toMax);

class CQBK24DataSource : public Trellis::CTWAINDataSource {
public:
    // An allowed range and the one the application negotiated.
    struct RangePair {
        Trellis::CTWAINRange Allowed;
        Trellis::CTWAINRange Current;
        void Reset() { Current = Allowed; }
    };

    CQBK24DataSource();
    ~CQBK24DataSource() override;

    // Framework operations.
    bool Init(HMODULE hModule) override;
    void LoadIdentity(Trellis::CTWAINIdentity& identity) override;
    void Open() override;
    void Close() override;
    // A dialog that no one could see fails at once; an acquisition that was
    // not accepted without a dialog asks the application to close.
    void EnableUserInterface(Trellis::CTWAINWindow* parent, bool showUI, bool uiOnly) override;
    void DisableUserInterface() override;

    // Set-up of the device's capabilities (CQBK24Capabilities.cpp).
    void InitPhysicalDimensions(float& minimumWidth, float& minimumHeight, float& physicalWidth,
                                float& physicalHeight) override;
    void InitBitDepths(TW_UINT16 pixelType, Trellis::CTWAINEnumeration& values) override;
    void InitPixelTypes(Trellis::CTWAINEnumeration& values) override;
    void InitPlanarChunky(Trellis::CTWAINEnumeration& values) override;
    void InitXResolutions(Trellis::CTWAINEnumeration& values) override;
    void InitYResolutions(Trellis::CTWAINEnumeration& values) override;
    void InitUnits(Trellis::CTWAINEnumeration& values) override;
    void InitPixelFlavors(Trellis::CTWAINEnumeration& values) override;
    void InitOrientations(Trellis::CTWAINEnumeration& values) override;
    void InitSupportedSizes(Trellis::CTWAINEnumeration& values) override;
    void InitCompressions(TW_UINT16 xferMech, Trellis::CTWAINEnumeration& values) override;
    // Adds every page size that fits the feeder in the current orientation.
    void FillSupportedSizes(Trellis::CTWAINEnumeration& values);
    void InitSupportedCaps(Trellis::CTWAINArray& caps) override;
    bool InitializeCapabilities() override;

    // The device's own set-up slots, each filling an allowed list or range.
    virtual void InitBitDepthReductions(Trellis::CTWAINEnumeration& values);
    virtual void InitBrightness(Trellis::CTWAINRange& range);
    virtual void InitContrast(Trellis::CTWAINRange& range);
    virtual void InitJPEGQuality(Trellis::CTWAINRange& range);
    virtual void InitDespeckle(Trellis::CTWAINEnumeration& values);
    virtual void InitDespeckleValue(Trellis::CTWAINRange& range);
    virtual void InitDoubleFeedSensitivities(Trellis::CTWAINEnumeration& values);
    virtual void InitDoubleFeedActions(Trellis::CTWAINEnumeration& values);
    virtual void InitSkewActions(Trellis::CTWAINEnumeration& values);
    virtual void InitFilters(Trellis::CTWAINArray& allowed, Trellis::CTWAINArray& defaults);
    virtual void InitHalfTones(Trellis::CTWAINEnumeration& values);
    virtual void InitNoiseFilters(Trellis::CTWAINEnumeration& values);
    virtual void InitRotations(Trellis::CTWAINEnumeration& values);
    virtual void InitThreshold(Trellis::CTWAINRange& range);
    virtual void InitDynamicThreshold(Trellis::CTWAINRange& range);
    virtual bool IsFeederPresent();
    virtual bool IsFlatbedPresent();
    virtual void InitFeederEnabled();

    // The device's own capabilities, one group of accessors each, reached by
    // the custom hooks below, the settings pages and the saved settings
    // (CQBK24CustomCapabilities.cpp).
    virtual Trellis::CTWAINContainer GetDespeckleValues();
    virtual TW_UINT16 GetDespeckleCurrent();
    virtual TW_UINT16 GetDespeckleDefault();
    virtual void SetDespeckleConstraint(const Trellis::CTWAINEnumeration& constraint);
    virtual void SetDespeckleCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetDespeckle();
    virtual TW_INT32 QueryDespeckleSupport();
    virtual Trellis::CTWAINContainer GetDespeckleValueValues();
    virtual float GetDespeckleValueCurrent();
    virtual float GetDespeckleValueDefault();
    virtual void SetDespeckleValueRangeConstraint(const Trellis::CTWAINRange& constraint);
    virtual void SetDespeckleValueCurrent(float value);
    virtual float ResetDespeckleValue();
    virtual TW_INT32 QueryDespeckleValueSupport();
    virtual Trellis::CTWAINContainer GetDoubleFeedActionValues();
    virtual TW_UINT16 GetDoubleFeedActionCurrent();
    virtual TW_UINT16 GetDoubleFeedActionDefault();
    virtual void SetDoubleFeedActionConstraint(const Trellis::CTWAINEnumeration& constraint);
    virtual void SetDoubleFeedActionCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetDoubleFeedAction();
    virtual TW_INT32 QueryDoubleFeedActionSupport();
    virtual Trellis::CTWAINContainer GetDoubleFeedSensitivityValues();
    virtual TW_UINT16 GetDoubleFeedSensitivityCurrent();
    virtual TW_UINT16 GetDoubleFeedSensitivityDefault();
    virtual void SetDoubleFeedSensitivityConstraint(const Trellis::CTWAINEnumeration& constraint);
    virtual void SetDoubleFeedSensitivityCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetDoubleFeedSensitivity();
    virtual TW_INT32 QueryDoubleFeedSensitivitySupport();
    virtual Trellis::CTWAINContainer GetSkewActionValues();
    virtual TW_UINT16 GetSkewActionCurrent();
    virtual TW_UINT16 GetSkewActionDefault();
    virtual void SetSkewActionConstraint(const Trellis::CTWAINEnumeration& constraint);
    virtual void SetSkewActionCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetSkewAction();
    virtual TW_INT32 QuerySkewActionSupport();
    virtual Trellis::CTWAINContainer GetNoiseFilterValues();
    virtual TW_UINT16 GetNoiseFilterCurrent();
    virtual TW_UINT16 GetNoiseFilterDefault();
    virtual void SetNoiseFilterConstraint(const Trellis::CTWAINEnumeration& constraint);
    virtual void SetNoiseFilterCurrent(TW_UINT16 value);
    virtual TW_UINT16 ResetNoiseFilter();
    virtual TW_INT32 QueryNoiseFilterSupport();
    virtual Trellis::CTWAINContainer GetDynamicThresholdValues();
    virtual float GetDynamicThresholdCurrent();
    virtual float GetDynamicThresholdDefault();
    virtual void SetDynamicThresholdRangeConstraint(const Trellis::CTWAINRange& constraint);
    virtual void SetDynamicThresholdCurrent(float value);
    virtual float ResetDynamicThreshold();
    virtual TW_INT32 QueryDynamicThresholdSupport();

    // Every setting by key (CQBK24Configuration.cpp): the framework's keys,
    // the device's keys and the filter list. A restore keeps a capability's
    // default for a key that is missing or whose value is refused.
    void SaveConfiguration(Trellis::CTWAINStorage& storage) override;
    void RestoreConfiguration(Trellis::CTWAINStorage& storage) override;
    // The settings image in a file (CQBK24Profiles.cpp); the path may use
    // '\' as the separator. Both throw the framework's failure: a file that
    // cannot be written whole, or one that is not a whole image of this
    // source (another device or version, cut short, unreadable). A failed
    // load changes nothing unless the image itself was refused part-way.
    virtual void SaveProfile(const char* path);
    virtual void LoadProfile(const char* path);
    // Images saved before the identity gave language 13 carry 2 there and
    // are otherwise this source's: they are applied as images of today's
    // identity. Every other difference still refuses the image.
    void SetDSDataBlock(TW_HANDLE hData) override;

    // The framework's hooks for the ids it does not route: the custom ids
    // above, ICAP_NOISEFILTER and CAP_FEEDERORDER.
    bool GetCustomCapValues(TW_UINT16 id, Trellis::CTWAINContainer& container) override;
    bool GetCustomCapCurrent(TW_UINT16 id, Trellis::CTWAINContainer& container) override;
    bool GetCustomCapDefault(TW_UINT16 id, Trellis::CTWAINContainer& container) override;
    bool SetCustomCap(TW_UINT16 id, Trellis::CTWAINContainer& container) override;
    bool ResetCustomCap(TW_UINT16 id, Trellis::CTWAINContainer& container) override;
    bool QueryCustomCapSupport(TW_UINT16 id, TW_INT32& flags) override;

    // The scanner's own page sizes 0x8000-0x8016 and the display text of
    // every size code (CQBK24PageSizes.cpp).
    Trellis::CTWAINFrame GetCustomSizeFrame(TW_UINT16 sizeCode, int unit, float xResolution,
                                            float yResolution) override;
    virtual std::string GetSupportedSizeText(HMODULE hModule, TW_UINT16 sizeCode);
    // The page number, pixel flavour and page side of the image just
    // transferred, and whether a device status cut it short
    // (CQBK24ExtImageInfo.cpp).
    bool GetOtherExtImageInfoItem(TW_INFO& info) override;
    // A failure's status line in words when its status carries one.
    std::string GetStatusText(const TW_STATUS& status) override;

    // Answers of the device's standard capabilities: its own values
    // (CQBK24CapabilityValues.cpp) and those that depend on other settings
    // (CQBK24Negotiation.cpp).
    bool GetAutoFeedCurrent() override;
    bool GetAutoFeedDefault() override;
    void SetAutoFeedCurrent(bool value) override;
    bool ResetAutoFeed() override;
    bool GetAutoScanCurrent() override;
    bool GetAutoScanDefault() override;
    void SetAutoScanCurrent(bool value) override;
    bool ResetAutoScan() override;
    bool GetDuplexEnabledCurrent() override;
    bool GetDuplexEnabledDefault() override;
    void SetDuplexEnabledCurrent(bool value) override;
    bool ResetDuplexEnabled() override;
    bool GetIndicatorsCurrent() override;
    bool GetIndicatorsDefault() override;
    void SetIndicatorsCurrent(bool value) override;
    bool ResetIndicators() override;
    bool GetExtImageInfoCurrent() override;
    bool GetExtImageInfoDefault() override;
    void SetExtImageInfoCurrent(bool value) override;
    bool ResetExtImageInfo() override;
    bool GetUndefinedImageSizeCurrent() override;
    bool GetUndefinedImageSizeDefault() override;
    void SetUndefinedImageSizeCurrent(bool value) override;
    bool ResetUndefinedImageSize() override;
    bool GetFeederEnabledCurrent() override;
    bool GetFeederEnabledDefault() override;
    void SetFeederEnabledCurrent(bool value) override;
    bool ResetFeederEnabled() override;
    TW_UINT16 GetDuplex() override;
    bool GetPaperDetectable() override;
    bool GetCustomDSData() override;
    float GetXNativeResolution() override;
    float GetYNativeResolution() override;
    Trellis::CTWAINContainer GetBitDepthReductionValues() override;
    TW_UINT16 GetBitDepthReductionCurrent() override;
    TW_UINT16 GetBitDepthReductionDefault() override;
    TW_UINT16 ResetBitDepthReduction() override;
    Trellis::CTWAINContainer GetBrightnessValues() override;
    float GetBrightnessCurrent() override;
    float GetBrightnessDefault() override;
    float ResetBrightness() override;
    Trellis::CTWAINContainer GetContrastValues() override;
    float GetContrastCurrent() override;
    float GetContrastDefault() override;
    float ResetContrast() override;
    Trellis::CTWAINContainer GetThresholdValues() override;
    float GetThresholdCurrent() override;
    float GetThresholdDefault() override;
    float ResetThreshold() override;
    Trellis::CTWAINContainer GetJPEGQualityValues() override;
    TW_UINT16 GetJPEGQualityCurrent() override;
    TW_UINT16 GetJPEGQualityDefault() override;
    TW_UINT16 ResetJPEGQuality() override;
    Trellis::CTWAINContainer GetRotationValues() override;
    float GetRotationCurrent() override;
    float GetRotationDefault() override;
    float ResetRotation() override;
    Trellis::CTWAINContainer GetHalfTonesValues() override;
    std::string GetHalfTonesCurrent() override;
    std::string GetHalfTonesDefault() override;
    std::string ResetHalfTones() override;
    Trellis::CTWAINContainer GetFilterValues() override;
    Trellis::CTWAINContainer GetFilterCurrent() override;
    Trellis::CTWAINContainer GetFilterDefault() override;
    Trellis::CTWAINContainer ResetFilter() override;
    void SetBitDepthReductionCurrent(TW_UINT16 value) override;
    void SetBrightnessCurrent(float value) override;
    void SetContrastCurrent(float value) override;
    void SetThresholdCurrent(float value) override;
    void SetJPEGQualityCurrent(TW_UINT16 value) override;
    void SetRotationCurrent(float value) override;
    void SetHalfTonesCurrent(const std::string& value) override;
    void SetFilterCurrent(TW_UINT16 value) override;
    TW_INT32 QueryAutoFeedSupport() override;
    TW_INT32 QueryAutoScanSupport() override;
    TW_INT32 QueryDuplexEnabledSupport() override;
    TW_INT32 QueryIndicatorsSupport() override;
    TW_INT32 QueryExtImageInfoSupport() override;
    TW_INT32 QueryUndefinedImageSizeSupport() override;
    TW_INT32 QueryFeederEnabledSupport() override;
    TW_INT32 QueryPaperDetectableSupport() override;
    TW_INT32 QueryFeederLoadedSupport() override;
    TW_INT32 QueryXNativeResolutionSupport() override;
    TW_INT32 QueryYNativeResolutionSupport() override;
    TW_INT32 QueryBitDepthReductionSupport() override;
    TW_INT32 QueryBrightnessSupport() override;
    TW_INT32 QueryContrastSupport() override;
    TW_INT32 QueryThresholdSupport() override;
    TW_INT32 QueryJPEGQualitySupport() override;
    TW_INT32 QueryRotationSupport() override;
    TW_INT32 QueryHalfTonesSupport() override;
    TW_INT32 QueryFilterSupport() override;
    void SetXResolutionCurrent(float value) override;
    void SetYResolutionCurrent(float value) override;
    float GetPhysicalHeight() override;
    Trellis::CTWAINContainer GetCompressionValues() override;
    TW_UINT16 GetCompressionCurrent() override;
    TW_UINT16 GetCompressionDefault() override;
    void SetCompressionConstraint(const Trellis::CTWAINEnumeration& constraint) override;
    void SetCompressionCurrent(TW_UINT16 value) override;
    TW_UINT16 ResetCompression() override;
    TW_SETUPMEMXFER GetDefaultSetupMemXfer() override;
    Trellis::CTWAINContainer GetSupportedSizesValues() override;
    TW_UINT16 GetSupportedSizesCurrent() override;
    TW_UINT16 GetSupportedSizesDefault() override;
    void SetSupportedSizesConstraint(const Trellis::CTWAINEnumeration& constraint) override;
    void SetSupportedSizesCurrent(TW_UINT16 value) override;
    TW_UINT16 ResetSupportedSizes() override;
    void SetBitDepthReductionConstraint(const Trellis::CTWAINEnumeration& constraint) override;
    void SetHalfTonesConstraint(const Trellis::CTWAINEnumeration& constraint) override;
    void SetBrightnessRangeConstraint(const Trellis::CTWAINRange& constraint) override;
    void SetThresholdRangeConstraint(const Trellis::CTWAINRange& constraint) override;
    void SetFilterArray(const Trellis::CTWAINArray& value) override;
    void SetFramesCurrent(const Trellis::CTWAINFrame& value) override;
    // The scanner's pages start at the top left corner of the feeder.
    bool MoveFrameToOrigin();
    bool InLandscape();
    // The upright frame of the landscape list's current size.
    void SetLandscapeFrame();
    // Nothing for a request taken whole; check status for one taken in part
    // or moved to a neighbour; a failure for one refused.
    void ReportOutcome(Trellis::CTWAINEnumPair::Outcome outcome);
    // The request's allowed values become the list; some refused: check
    // status; none allowed: the whole list again and a failure.
    void ConstrainEnum(Trellis::CTWAINEnumPair& pair, const Trellis::CTWAINEnumeration& constraint);
    void ConstrainRange(RangePair& pair, const Trellis::CTWAINRange& constraint);
    // The compression list in force for the transfer mechanism, file format
    // and pixel type now current.
    Trellis::CTWAINEnumPair& CompressionPair();
    // An allowed value becomes current; a value between two steps is moved
    // to the nearest one (check status); anything else is refused.
    void SetRangeCurrent(RangePair& pair, const Trellis::CTWAINOneValue& value);
    void SetEnumCurrent(Trellis::CTWAINEnumPair& pair, const Trellis::CTWAINOneValue& value);

    // Acquisition through the image pipeline (CQBK24Acquisition.cpp).
    bool BeginAcquisition(TW_IMAGEINFO* imageInfo) override;
    void BeginImageTransfer(TW_UINT16 compression, TW_INT32* rawLineLength) override;
    bool ReadImageData(TW_MEMREF buffer, TW_UINT32 size, TW_UINT32* bytesRead, TW_UINT16 compression) override;
    Trellis::CTWAINWindow* CreateUIWindow(Trellis::CTWAINWindow* parent, bool uiOnly) override;
    TW_PENDINGXFERS QueryPendingXfers() override;
    TW_PENDINGXFERS EndXfer() override;
    void StopAcquisition() override;
    // The pipeline of one acquisition from the current capability values
    // (CQBK24Pipeline.cpp).
    virtual void BuildPipeline();
    // One element of the scan settings under config/input.
    struct ConfigElement {
        const char16_t* name;
        LONG value;
    };
    // The config/input elements in the order they are written.
    std::vector<ConfigElement> ConfigInputElements();
    // ICAP_UNDEFINEDIMAGESIZE on with length control: the page is as long
    // as the sheet.
    bool UndefinedLength();
    bool GetDeviceOnline() override;
    bool GetEnableDSUIOnly() override;
    bool GetUIControllable() override;

    // The module whose string table and dialog templates the dialogs use.
    HMODULE GetResourceModule() const { return m_hModule; }

    // Trace hooks.
    virtual void AttachLogger(CQBK24Logger* logger);
    virtual void LogLevel1(const char* format, ...);
    virtual void LogLevel2(const char* format, ...);
    virtual void LogLevel4(const char* format, ...);
    virtual void LogDataLevel1(const char* format, ...);
    virtual void LogDataLevel2(const char* format, ...);
    virtual void LogDataLevel4(const char* format, ...);
    virtual DWORD GetLogMask();
    virtual DWORD GetDataLogMask();
    virtual CQBK24Logger* GetLogger();
    virtual std::string GetLogCategory();
    virtual std::string GetDataLogCategory();

    bool ReadDeviceRegistry();
    void ReadVersionStrings();
    // The identity texts and the firmware revision as the About page shows
    // them, each a copy.
    std::string GetFriendlyName() const { return FriendlyName; }
    std::string GetSymbolicName() const { return SymbolicName; }
    std::string GetLegalCopyright() const { return LegalCopyright; }
    std::string GetFileDescription() const { return FileDescription; }
    std::string GetProductName() const { return ProductName; }
    std::string GetFileVersion() const { return FileVersion; }
    // Up to the first zero byte, at most the 5 bytes of the answer.
    std::string GetFirmwareRevision() const
    {
        const auto* bytes = reinterpret_cast<const char*>(FirmwareRevision);
        return std::string(bytes, strnlen(bytes, sizeof(FirmwareRevision)));
    }

    // Device controls of the hardware service.
    bool SendDeviceControl(LONG code, const BYTE* input, DWORD inputSize, BYTE* output, DWORD outputSize);
    void ReadDeviceInfo();
    void ReleasePipeline();
    bool GetFeederLoaded() override;

    // Scan status.
    bool DownloadGammaTables();
    // The status line of the settings dialog for the last band, and a
    // moment for the dialog to see its messages.
    void UpdateStatusText();
    // The string id of the status line for the last band status.
    UINT StatusTextId();
    // kAnswerRetry when the user asks for the page again; otherwise a thrown
    // failure with the status's condition code and no transfers pending.
    // The failure's status carries the status line's string id as its Data.
    int ReportScanStatus();
    // The condition code a page ending on the last band status fails the
    // next transfer with, and the string id of its status line.
    TW_UINT16 BandConditionCode();
    UINT BandStatusLine();
    // The Retry/Cancel question of a failed page; Cancel without asking
    // when the application turned indicators off (kAnswerCancel).
    virtual int ShowScanErrorBox(UINT stringId);

    CQBK24Logger* Logger = nullptr;
    DWORD DefaultLogMask = 0;
    DWORD* LogMask = nullptr;
    DWORD* DataLogMask = nullptr;
    std::string LogCategory;
    std::string DataLogCategory;
    CMainDSDlg* MainDialog = nullptr;
    CScanProgressDlg* ProgressDialog = nullptr;
    TW_PENDINGXFERS PendingXfers{};
    LONG ImageIndex = 0;
    IRNXHALS* Hal = nullptr;
    IRNXHALWrap* HalWrap = nullptr;
    IRNXPayloadSource* PipelineSource = nullptr;
    IRNXRasterBand* RasterBand = nullptr;
    bool PageInterrupted = false;
    bool UndefinedSizeForced = false;
    LONG BandStatus = 0;
    LONG BandLevel = 0;
    LONG ScanBytesPerLine = 0;
    LONG ScanWidth = 0;
    LONG ScanHeight = 0;
    LONG LinesReceived = 0;
    // Bytes of the current image delivered so far.
    std::uint64_t PageBytesReceived = 0;
    LONG DriverId = 0;
    std::string ClassKey;
    std::string FriendlyName;
    std::string HalClsidText;
    std::string SymbolicName;
    GUID HalClsid{};
    std::string FileDescription;
    std::string ProductName;
    std::string LegalCopyright;
    std::string FileVersion;
    BYTE Counters[14] = {};
    BYTE SupportInfo[32] = {};
    BYTE FirmwareRevision[5] = {};
    // The sizes that fit in landscape; the framework holds the portrait ones.
    Trellis::CTWAINEnumPair LandscapeSizes;
    // Gray and colour compressions, per transfer mechanism; the framework
    // holds the black-and-white ones.
    Trellis::CTWAINEnumPair GrayColorCompressions[3];
    // Device-held capabilities: an allowed list or range and the one the
    // application negotiated.
    Trellis::CTWAINEnumPair BitDepthReductions;
    Trellis::CTWAINEnumPair HalfTones;
    Trellis::CTWAINEnumPair Rotations;
    Trellis::CTWAINEnumPair NoiseFilters;
    Trellis::CTWAINEnumPair Despeckle;
    Trellis::CTWAINEnumPair DoubleFeedSensitivities;
    Trellis::CTWAINEnumPair DoubleFeedActions;
    Trellis::CTWAINEnumPair SkewActions;
    RangePair Brightness;
    RangePair Contrast;
    RangePair JPEGQuality;
    RangePair Threshold;
    RangePair DynamicThreshold;
    RangePair DespeckleValue;
    Trellis::CTWAINArray FiltersAllowed;
    Trellis::CTWAINArray FiltersCurrent;
    Trellis::CTWAINArray FiltersDefault;
    bool AutoFeed = false;
    bool AutoScan = false;
    bool DuplexEnabled = false;
    bool FeederEnabled = false;
    bool FeederEnabledDefault = false;
    bool IndicatorsEnabled = false;
    bool ExtImageInfo = false;
    bool UndefinedImageSize = false;
    bool InvertImage = false;         // 0x801E
    bool MirrorImage = false;         // 0x801F
    bool DoubleFeedDetection = false; // 0x8020
    bool AutoSeparation = false;      // 0x8024
    bool AutoCropWidth = false;       // 0x8025
    bool AutoCropLength = false;      // 0x8026
    bool LongDocument = false;        // 0x8029
    TW_UINT16 FeederOrder = 0;
    // Compressed data for a caller whose buffer is smaller than a band:
    // the band's bytes not yet handed out, and whether they end the image.
    std::vector<BYTE> StagedBand;
    size_t StagedOffset = 0;
    size_t StagedLength = 0;
    bool StagedImageComplete = false;

private:
    void BuildPipelineInInches();
    // One band into the buffer, with the band decisions; Retry after a
    // status on a page's first band scans again into the same buffer.
    bool ReadImageBand(BYTE* buffer, TW_UINT32 size, TW_UINT32* bytesRead, bool compressed);
    // Hands out staged compressed bytes, pulling a band when none wait.
    bool ReadStagedBand(BYTE* buffer, TW_UINT32 size, TW_UINT32* bytesRead);
    void CreateProgressDialog();
    void DestroyProgressDialog();
    // A device flag: false, then the stored value (false when unreadable).
    void RestoreFlag(Trellis::CTWAINStorage& storage, const char* key, TW_UINT16 capability, bool& flag);
    // The "icapFilter.%d" list up to its end mark, then SetFilterArray.
    void RestoreFilters(Trellis::CTWAINStorage& storage);
    // The user pressed Abort Scan: the feeder stops and the transfer is
    // cancelled.
    void CheckAbort();
    void UndoUndefinedSizeForced();
    void LogLine(DWORD level, bool data, const char* format, va_list args);
    // Unlocks, uninitialises and releases the hardware-service object;
    // the results of the calls are the first failing HRESULT, or S_OK.
    HRESULT ReleaseHal();
};
