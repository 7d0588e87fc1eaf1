// The still-image driver object: the service reaches it through IStiUSD and
// IWiaMiniDrv, and may create it inside an outer object, reaching it then
// through the non-delegating unknown.
#pragma once

#include "platform/windows.h"
#include "platform/wia/wia.h"
#include "stillimage/PipelineDocuments.h"
#include "stillimage/WIACaps.h"

#include <atomic>
#include <string>

struct IRNXHALS;
struct IRNXHALWrap;
struct IRNXPayloadSource;
struct IRNXRasterBand;

// The unknown that an aggregated object answers its outer object with.
struct INonDelegatingUnknown {
    virtual HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppvObj) = 0;
    virtual ULONG NonDelegatingAddRef() = 0;
    virtual ULONG NonDelegatingRelease() = 0;
};

// The non-delegating unknown as the outer object (or, unaggregated, the
// object itself) holds it: a real IUnknown whose calls are the
// non-delegating ones.
class CNonDelegatingUnknownPart final : public IUnknown {
public:
    explicit CNonDelegatingUnknownPart(INonDelegatingUnknown* owner) : m_owner(owner) {}
    HRESULT QueryInterface(REFIID riid, void** ppvObj) override
    {
        return m_owner->NonDelegatingQueryInterface(riid, ppvObj);
    }
    ULONG AddRef() override { return m_owner->NonDelegatingAddRef(); }
    ULONG Release() override { return m_owner->NonDelegatingRelease(); }

private:
    INonDelegatingUnknown* m_owner;
};

inline constexpr CLSID CLSID_RNXStiWiaDriver = plat::MakeGuid("8F2A4C61-3B7D-4E59-A1C8-D64E0B7F2935");

// The value HAL_CLSID of the parameters key, at most this many wide characters.
constexpr DWORD kHalClsidChars = 260;

// Reads HAL_CLSID into buffer; *length is the buffer's size in wide
// characters on entry, the text's length on return. 0, the registry's error,
// or ERROR_INVALID_DATA for a value that is not a terminated text.
LONG ReadHalClsid(HKEY hParametersKey, WCHAR* buffer, DWORD* length);

class CRNX_STIWIA_Driver : public INonDelegatingUnknown, public IStiUSD, public IWiaMiniDrv, public CWIACaps {
public:
    explicit CRNX_STIWIA_Driver(IUnknown* punkOuter);
    ~CRNX_STIWIA_Driver() override;

    // INonDelegatingUnknown
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppvObj) override;
    ULONG NonDelegatingAddRef() override;
    ULONG NonDelegatingRelease() override;

    // IUnknown of both interfaces: forwarded to the controlling unknown.
    HRESULT QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IStiUSD
    HRESULT Initialize(PSTIDEVICECONTROL pHelDcb, DWORD dwStiVersion, HKEY hParametersKey) override;
    HRESULT GetCapabilities(PSTI_USD_CAPS pDevCaps) override;
    HRESULT GetStatus(PSTI_DEVICE_STATUS pDevStatus) override;
    HRESULT DeviceReset() override;
    HRESULT Diagnostic(LPSTI_DIAG pBuffer) override;
    HRESULT Escape(STI_RAW_CONTROL_CODE EscapeFunction, LPVOID lpInData, DWORD cbInDataSize, LPVOID pOutData,
                   DWORD dwOutDataSize, LPDWORD pdwActualData) override;
    HRESULT GetLastError(LPDWORD pdwLastDeviceError) override;
    HRESULT LockDevice() override;
    HRESULT UnLockDevice() override;
    HRESULT RawReadData(LPVOID lpBuffer, LPDWORD lpdwNumberOfBytes, OVERLAPPED* lpOverlapped) override;
    HRESULT RawWriteData(LPVOID lpBuffer, DWORD nNumberOfBytes, OVERLAPPED* lpOverlapped) override;
    HRESULT RawReadCommand(LPVOID lpBuffer, LPDWORD lpdwNumberOfBytes, OVERLAPPED* lpOverlapped) override;
    HRESULT RawWriteCommand(LPVOID lpBuffer, DWORD nNumberOfBytes, OVERLAPPED* lpOverlapped) override;
    HRESULT SetNotificationHandle(HANDLE hEvent) override;
    HRESULT GetNotificationData(LPSTINOTIFY lpNotify) override;
    HRESULT GetLastErrorInfo(STI_ERROR_INFO* pLastErrorInfo) override;

    // IWiaMiniDrv
    HRESULT drvInitializeWia(BYTE* pWiasContext, LONG lFlags, BSTR bstrDeviceID, BSTR bstrRootFullItemName,
                             IUnknown* pStiDevice, IUnknown* pIUnknownOuter, IWiaDrvItem** ppIDrvItemRoot,
                             IUnknown** ppIUnknownInner, LONG* plDevErrVal) override;
    HRESULT drvAcquireItemData(BYTE* pWiasContext, LONG lFlags, PMINIDRV_TRANSFER_CONTEXT pmdtc,
                               LONG* plDevErrVal) override;
    HRESULT drvInitItemProperties(BYTE* pWiasContext, LONG lFlags, LONG* plDevErrVal) override;
    HRESULT drvValidateItemProperties(BYTE* pWiasContext, LONG lFlags, ULONG nPropSpec, const PROPSPEC* pPropSpec,
                                      LONG* plDevErrVal) override;
    HRESULT drvWriteItemProperties(BYTE* pWiasContext, LONG lFlags, PMINIDRV_TRANSFER_CONTEXT pmdtc,
                                   LONG* plDevErrVal) override;
    HRESULT drvReadItemProperties(BYTE* pWiasContext, LONG lFlags, ULONG nPropSpec, const PROPSPEC* pPropSpec,
                                  LONG* plDevErrVal) override;
    HRESULT drvLockWiaDevice(BYTE* pWiasContext, LONG lFlags, LONG* plDevErrVal) override;
    HRESULT drvUnLockWiaDevice(BYTE* pWiasContext, LONG lFlags, LONG* plDevErrVal) override;
    HRESULT drvAnalyzeItem(BYTE* pWiasContext, LONG lFlags, LONG* plDevErrVal) override;
    HRESULT drvGetDeviceErrorStr(LONG lFlags, LONG lDevErrVal, LPOLESTR* ppszDevErrStr, LONG* plDevErr) override;
    HRESULT drvDeviceCommand(BYTE* pWiasContext, LONG lFlags, const GUID* plCommand, IWiaDrvItem** ppWiaDrvItem,
                             LONG* plDevErrVal) override;
    HRESULT drvGetCapabilities(BYTE* pWiasContext, LONG lFlags, LONG* pcelt, WIA_DEV_CAP_DRV** ppCapabilities,
                               LONG* plDevErrVal) override;
    HRESULT drvDeleteItem(BYTE* pWiasContext, LONG lFlags, LONG* plDevErrVal) override;
    HRESULT drvFreeDrvItemContext(LONG lFlags, BYTE* pSpecContext, LONG* plDevErrVal) override;
    HRESULT drvGetWiaFormatInfo(BYTE* pWiasContext, LONG lFlags, LONG* pcelt, WIA_FORMAT_INFO** ppwfi,
                                LONG* plDevErrVal) override;
    HRESULT drvNotifyPnpEvent(const GUID* pEventGUID, BSTR bstrDeviceID, ULONG ulReserved) override;
    HRESULT drvUnInitializeWia(BYTE* pWiasContext) override;

    // The driver's own trace block: "WIA Driver" and "WIA Driver.Data".
    void SetLogInterface(CLogInterface* sink) override;
    DWORD GetLogMask() override;
    DWORD GetDataLogMask() override;
    CLogInterface* GetLogInterface() override;
    std::u16string GetLogName() override;
    std::u16string GetDataLogName() override;

    // The hardware service.
    HRESULT InitializeHardware();
    void UnInitializeHardware();
    HRESULT LockScanner(DWORD processId, LONG* status);
    HRESULT UnlockScanner(LONG* status);
    HRESULT DoSCSICmd(LONG commandLength, BYTE* command, LONG dataLength, BYTE* data, LONG direction, LONG* status);
    // Whether a document lies in the feeder; false when the service cannot tell.
    bool ReadDocumentStatus();
    // The service object from the table with one reference, or null. When
    // *comInitialized comes back true the call entered COM on this thread and
    // the caller leaves it with CoUninitialize after its work.
    IRNXHALS* GetHalFromGit(bool* comInitialized);

    // The item tree: "Root" with the image item "Feeder". Both run with
    // the driver's lock held, or where no other thread reaches the driver.
    HRESULT BuildDeviceTree();
    HRESULT DestroyDeviceTree();

    // Page acquisition: drvWriteItemProperties' and drvAcquireItemData's work.
    HRESULT ConfigureScanner(BYTE* pWiasContext);
    HRESULT AcquireItemData(BYTE* pWiasContext, PMINIDRV_TRANSFER_CONTEXT pmdtc);
    // The scan settings through the hardware service (the object lent by
    // the table): the pipeline built and configured.
    HRESULT Configure();
    HRESULT ConfigurePipeline(IRNXHALS* pHal);
    // One band into pDestination, at most lBandSize bytes. *pbFirstBand is
    // cleared; the caller sets it again when the call delivered nothing.
    HRESULT ReadScan(bool* pbFirstBand, LONG lBandSize, BYTE* pDestination, LONG* plBytesWritten, bool* pbEndOfImage,
                     bool* pbEndOfSession, LONG* plStatus);
    // The transfer buffer: the service's size, or the driver's own buffer
    // allocated (at a transfer's start) or freed (at its end). Raises.
    LONG HandleMemory(BYTE* pWiasContext, PMINIDRV_TRANSFER_CONTEXT pmdtc);
    // The page's sizes and bitmap header in the transfer context. Raises.
    HRESULT GetImageInformation(BYTE* pWiasContext, PMINIDRV_TRANSFER_CONTEXT pmdtc);

    HRESULT HardwareInitResult() const { return m_hrHardwareInit; }
    const std::u16string& HalClsidText() const { return m_halClsid; }
    LONG ClientsConnected() const { return m_lClientsConnected; }
    IWiaDrvItem* RootItem() const { return m_pRootItem; }

private:
    static DWORD HardwareThreadStart(LPVOID parameter);
    void HardwareThreadProc();
    HRESULT NotImplemented(const WCHAR* method);
    HRESULT NothingToDo(const WCHAR* operation, HRESULT result);
    // The first client: keeps the device once its tree is built.
    HRESULT ConnectFirstClient(IUnknown* pStiDevice, BSTR bstrDeviceID, BSTR bstrRootFullItemName,
                               IWiaDrvItem** ppIDrvItemRoot);
    HRESULT EscapeScsiCommand(LPVOID lpInData, DWORD cbInDataSize);
    template <typename Call>
    HRESULT CallService(const WCHAR* entered, const WCHAR* exited, Call call);
    void ReleasePipeline();
    // One page of a transfer into the service's hands; its result.
    struct PageTransfer;
    void TransferPage(BYTE* pWiasContext, PMINIDRV_TRANSFER_CONTEXT pmdtc, PageTransfer& page);
    void DumpTransferContext(const MINIDRV_TRANSFER_CONTEXT& context);
    void DumpBitmapFileHeader(const BITMAPFILEHEADER& header);
    void DumpBitmapInfoHeader(const BITMAPINFOHEADER& header, const BYTE* palette, LONG paletteRoom);

    CLogInterface* m_logSink = nullptr;
    DWORD m_defaultLogMask = 0;
    LogMaskCell* m_mainMaskCell = nullptr;
    LogMaskCell* m_dataMaskCell = nullptr;
    std::u16string m_driverLogName;
    std::u16string m_driverDataLogName;

    CNonDelegatingUnknownPart m_nonDelegatingUnknown{this};
    HRESULT m_hrComInit = E_FAIL;
    LONG m_cRef = 1;
    IUnknown* m_punkOuter = nullptr;
    IGlobalInterfaceTable* m_pGIT = nullptr;
    DWORD m_dwGITCookie = 0;
    IStiDevice* m_pStiDevice = nullptr;
    IWiaDrvItem* m_pRootItem = nullptr;
    BSTR m_bstrDeviceID = nullptr;
    BSTR m_bstrRootFullItemName = nullptr;
    LONG m_lClientsConnected = 0;
    // Guards the tree, the device and the names across the service's threads.
    CRITICAL_SECTION m_csDriver;
    bool m_bOneSheet = false;
    // Duplex file transfers of a whole stack: one sheet at a time, each
    // side its own file and its own page of the job.
    bool m_bSheetBySheet = false;
    std::u16string m_halClsid;
    HANDLE m_hReadyEvent = nullptr;
    HANDLE m_hStopEvent = nullptr;
    HANDLE m_hHardwareThread = nullptr;
    DWORD m_dwHardwareThreadId = 0;
    HRESULT m_hrHardwareInit = E_FAIL;

    // Scan settings, written by ConfigureScanner and sent as they are by
    // ConfigurePipeline. One page until a configuration says otherwise (a
    // document handling selection the driver does not know leaves the pages
    // as they were).
    WiaScanSettings m_scan{.pages = 1};
    // The page, replaced by the service's answer in ConfigurePipeline.
    LONG m_lPageWidth = 0;
    LONG m_lPageLines = 0;
    LONG m_lSecondSidePending = 0;
    // The transfer buffer this driver allocated, the only one it frees.
    BYTE* m_pDriverBuffer = nullptr;

    IRNXHALWrap* m_pHalWrap = nullptr;
    IRNXPayloadSource* m_pConverter = nullptr;
    IRNXRasterBand* m_pRasterBand = nullptr;
};
