// The scanner's TWAIN data source: one object per process, made by DS_Entry.
// It finds its device from its own file name and the device's registry
// values, and binds the hardware service while an application has it open.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"
#include "platform/windows.h"
#include "twainfw/CTWAINDataSource.h"

#include <string>

namespace qbk24 {
// Message-box answers of the retry question.
constexpr int kAnswerCancel = 2;
constexpr int kAnswerRetry = 4;
} // namespace qbk24

class CMainDSDlg;
class CScanProgressDlg;

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
    CQBK24DataSource();
    ~CQBK24DataSource() override;

    // Framework operations.
    bool Init(HMODULE hModule) override;
    void LoadIdentity(Trellis::CTWAINIdentity& identity) override;
    void Open() override;
    void Close() override;
    void EnableUserInterface(Trellis::CTWAINWindow* parent, bool showUI, bool uiOnly) override;
    void DisableUserInterface() override;

    // Set-up of the device's capabilities (CQBK24Capabilities.cpp) and its
    // acquisition operations (CQBK24DataSourcePending.cpp).
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
    void BeginImageTransfer(TW_UINT16 compression, TW_INT32* rawLineLength) override;
    bool ReadImageData(TW_MEMREF buffer, TW_UINT32 size, TW_UINT32* bytesRead, TW_UINT16 compression) override;
    Trellis::CTWAINWindow* CreateUIWindow(Trellis::CTWAINWindow* parent, bool uiOnly) override;
    TW_PENDINGXFERS QueryPendingXfers() override;
    TW_PENDINGXFERS EndXfer() override;
    void StopAcquisition() override;
    bool GetDeviceOnline() override;
    bool GetEnableDSUIOnly() override;
    bool GetUIControllable() override;

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

    // Device controls of the hardware service.
    bool SendDeviceControl(LONG code, const BYTE* input, DWORD inputSize, BYTE* output, DWORD outputSize);
    void ReadDeviceInfo();
    void ReleasePipeline();
    bool GetFeederLoaded() override;

    // Scan status.
    bool DownloadGammaTables();
    // The string id of the status line for the last band status.
    UINT StatusTextId();
    // kAnswerRetry when the user asks for the page again; otherwise a thrown
    // failure with the status's condition code and no transfers pending.
    int ReportScanStatus();
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
    IUnknown* HalWrap = nullptr;
    IUnknown* PipelineSource = nullptr;
    IUnknown* RasterBand = nullptr;
    bool PageInterrupted = false;
    bool UndefinedSizeForced = false;
    LONG BandStatus = 0;
    LONG BandLevel = 0;
    LONG ScanBytesPerLine = 0;
    LONG ScanWidth = 0;
    LONG ScanHeight = 0;
    LONG LinesReceived = 0;
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

private:
    void LogLine(DWORD level, bool data, const char* format, va_list args);
    // Unlocks, uninitialises and releases the hardware-service object;
    // the results of the calls are the first failing HRESULT, or S_OK.
    HRESULT ReleaseHal();
};
