#include "stillimage/CRNX_STIWIA_Driver.h"

#include "diag/EventLogObject.h"
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "stillimage/DriverModule.h"

#include <cstring>

namespace {

constexpr DWORD kStiUsdVersion = 0x01000002;
constexpr HRESULT kLockViolation = static_cast<HRESULT>(0x80070021u);

// The registry form of an interface id for the parameter lines.
std::u16string IIDToString(REFIID riid)
{
    LPOLESTR text = nullptr;
    if (FAILED(StringFromIID(riid, &text)) || !text)
        return u"{00000000-0000-0000-0000-000000000000}";
    std::u16string result(text);
    CoTaskMemFree(text);
    return result;
}

} // namespace

LONG ReadHalClsid(HKEY hParametersKey, WCHAR* buffer, DWORD* length)
{
    DWORD type = 0;
    DWORD bytes = *length * sizeof(WCHAR);
    LONG error =
        RegQueryValueExW(hParametersKey, u"HAL_CLSID", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    if (error != ERROR_SUCCESS)
        return error;
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || bytes % sizeof(WCHAR) != 0)
        return ERROR_INVALID_DATA;
    DWORD chars = bytes / sizeof(WCHAR);
    if (chars == 0) {
        buffer[0] = 0;
        *length = 0;
        return ERROR_SUCCESS;
    }
    if (buffer[chars - 1] != 0)
        return ERROR_INVALID_DATA;
    *length = chars - 1;
    return ERROR_SUCCESS;
}

CRNX_STIWIA_Driver::CRNX_STIWIA_Driver(IUnknown* punkOuter)
{
    DriverModuleObjectCreated();
    InitializeCriticalSection(&m_csDriver);
    m_hrComInit = CoInitialize(nullptr);
    SetLogInterface(GetEventLogObject());
    if (IsLogging(LOG_TRACE))
        LogTrace(u"CRNX_STIWIA_Driver Entered.");
    m_punkOuter = punkOuter ? punkOuter : &m_nonDelegatingUnknown;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"CRNX_STIWIA_Driver Exit.");
}

CRNX_STIWIA_Driver::~CRNX_STIWIA_Driver()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"~CRNX_STIWIA_Driver Entered.");
    DestroyDeviceTree();
    if (m_pStiDevice) {
        m_pStiDevice->Release();
        m_pStiDevice = nullptr;
    }
    UnInitializeHardware();
    if (IsLogging(LOG_TRACE))
        LogTrace(u"~CRNX_STIWIA_Driver Exit.");
    SetLogInterface(nullptr);
    ReleaseEventLogObject();
    // The pipeline's objects go while this thread is still in COM.
    ReleasePipeline();
    // Only a successful CoInitialize is balanced: a thread already in
    // another apartment kind must not be taken out of it.
    if (SUCCEEDED(m_hrComInit))
        CoUninitialize();
    SysFreeString(m_bstrDeviceID);
    SysFreeString(m_bstrRootFullItemName);
    DeleteCriticalSection(&m_csDriver);
    DriverModuleObjectDestroyed();
}

// --- Trace block -----------------------------------------------------------

void CRNX_STIWIA_Driver::SetLogInterface(CLogInterface* sink)
{
    m_logSink = sink;
    if (!sink)
        return;
    m_driverLogName = u"WIA Driver";
    m_mainMaskCell = sink->RegisterLogName(m_driverLogName);
    m_driverDataLogName = m_driverLogName + u".Data";
    m_dataMaskCell = sink->RegisterLogName(m_driverDataLogName);
}

DWORD CRNX_STIWIA_Driver::GetLogMask()
{
    return m_mainMaskCell ? m_mainMaskCell->load(std::memory_order_relaxed) : m_defaultLogMask;
}

DWORD CRNX_STIWIA_Driver::GetDataLogMask()
{
    return m_dataMaskCell ? m_dataMaskCell->load(std::memory_order_relaxed) : m_defaultLogMask;
}

CLogInterface* CRNX_STIWIA_Driver::GetLogInterface() { return m_logSink; }
std::u16string CRNX_STIWIA_Driver::GetLogName() { return m_driverLogName; }
std::u16string CRNX_STIWIA_Driver::GetDataLogName() { return m_driverDataLogName; }

// --- Unknowns --------------------------------------------------------------

HRESULT CRNX_STIWIA_Driver::NonDelegatingQueryInterface(REFIID riid, void** ppvObj)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"NonDelegatingQueryInterface Entered.");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"NonDelegatingQueryInterface Params: riid=%s, ppvObj=0x%08X", IIDToString(riid).c_str(),
                     Hex32(ppvObj));
    if (!ppvObj) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Invalid parameters were passed");
        return E_INVALIDARG;
    }
    *ppvObj = nullptr;
    HRESULT hr = S_OK;
    if (riid == IID_IUnknown) {
        if (IsLogging(LOG_TRACE))
            LogTrace(u"NonDelegatingQueryInterface IID_IUnknown");
        *ppvObj = &m_nonDelegatingUnknown;
        NonDelegatingAddRef();
    } else if (riid == IID_IStiUSD) {
        if (IsLogging(LOG_TRACE))
            LogTrace(u"NonDelegatingQueryInterface IStiUSD");
        *ppvObj = static_cast<IStiUSD*>(this);
        static_cast<IStiUSD*>(this)->AddRef();
    } else if (riid == IID_IWiaMiniDrv) {
        if (IsLogging(LOG_TRACE))
            LogTrace(u"NonDelegatingQueryInterface IID_IWiaMiniDrv");
        *ppvObj = static_cast<IWiaMiniDrv*>(this);
        static_cast<IWiaMiniDrv*>(this)->AddRef();
    } else {
        if (IsLogging(LOG_ERROR))
            LogError(u"Unrecognized interface");
        hr = E_NOINTERFACE;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"NonDelegatingQueryInterface Exit. [0x%08X]", hr);
    return hr;
}

ULONG CRNX_STIWIA_Driver::NonDelegatingAddRef()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"NonDelegatingAddRef Entered.");
    LONG count = InterlockedIncrement(&m_cRef);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"NonDelegatingAddRef Exit. [0x%08X]", count);
    return static_cast<ULONG>(count);
}

ULONG CRNX_STIWIA_Driver::NonDelegatingRelease()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"NonDelegatingRelease Entered.");
    LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0) {
        delete this; // no exit line: the object is gone
        return 0;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"NonDelegatingRelease Exit. [0x%08X]", count);
    return static_cast<ULONG>(count);
}

HRESULT CRNX_STIWIA_Driver::QueryInterface(REFIID riid, void** ppvObj)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"QueryInterface Entered.");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"QueryInterface Params: riid=%s, ppvObj=0x%08X", IIDToString(riid).c_str(), Hex32(ppvObj));
    if (!ppvObj)
        return E_INVALIDARG;
    HRESULT hr = m_punkOuter->QueryInterface(riid, ppvObj);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"QueryInterface Exit. [0x%08X]", hr);
    return hr;
}

ULONG CRNX_STIWIA_Driver::AddRef()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddRef Entered.");
    ULONG count = m_punkOuter->AddRef();
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddRef Exit. [0x%08X]", count);
    return count;
}

ULONG CRNX_STIWIA_Driver::Release()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Release Entered.");
    // This object may go with this call: nothing of it is touched afterwards.
    return m_punkOuter->Release();
}

// --- IStiUSD ---------------------------------------------------------------

HRESULT CRNX_STIWIA_Driver::Initialize(PSTIDEVICECONTROL pHelDcb, DWORD dwStiVersion, HKEY hParametersKey)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Initialize Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Initialize Params: this=0x%08X, pDcb=0x%08X, StiVersion=%d, ParamsKey=0x%08X", Hex32(this),
                     Hex32(pHelDcb), dwStiVersion, Hex32(hParametersKey));
    if (SUCCEEDED(m_hrHardwareInit))
        return S_OK;

    HRESULT hr = E_INVALIDARG;
    if (!pHelDcb || !hParametersKey) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Invalid parameters detected.");
    } else {
        WCHAR text[kHalClsidChars] = {};
        DWORD length = kHalClsidChars;
        if (ReadHalClsid(hParametersKey, text, &length) != ERROR_SUCCESS) {
            if (IsLogging(LOG_ERROR)) {
                LogError(u"Failed to find HAL_CLSID in the registry");
                LogError(u"Failed to initialize the STIWIA driver.");
            }
        } else {
            m_halClsid.assign(text, length);
            hr = InitializeHardware();
            if (FAILED(hr) && IsLogging(LOG_ERROR))
                LogError(u"Failed to initialize the STIWIA driver.");
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Initialize Exit. [0x%08X]", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::GetCapabilities(PSTI_USD_CAPS pDevCaps)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetCapabilities Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"GetCapabilities Params: pDevCaps=0x%08X", Hex32(pDevCaps));
    HRESULT hr = S_OK;
    if (!pDevCaps) {
        hr = E_INVALIDARG;
        if (IsLogging(LOG_ERROR))
            LogError(u"Invalid parameters were passed, hr = 0x%lx\n", hr);
    } else {
        pDevCaps->dwVersion = kStiUsdVersion;
        pDevCaps->dwGenericCaps = STI_GENCAP_NOTIFICATIONS | STI_GENCAP_WIA;
        if (IsLogging(LOG_TRACE))
            LogTrace(u"STI Capabilities information reported to the WIA Service - Version:0x%lx, GenericCaps:0x%lx",
                     pDevCaps->dwVersion, pDevCaps->dwGenericCaps);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetCapabilities Exit. [0x%08X]", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::GetStatus(PSTI_DEVICE_STATUS pDevStatus)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetStatus Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"GetStatus Params: pDevStatus=0x%08X", Hex32(pDevStatus));
    HRESULT hr = S_OK;
    if (!pDevStatus) {
        hr = E_INVALIDARG;
        if (IsLogging(LOG_ERROR))
            LogError(u"Invalid parameters were passed, hr = 0x%lx", hr);
    } else {
        if (IsLogging(LOG_TRACE))
            LogTrace(u"CRNX_STIWIA_Driver::GetStatus StatusMask: %08X", pDevStatus->StatusMask);
        if (pDevStatus->StatusMask & STI_DEVSTATUS_ONLINE_STATE) {
            if (IsLogging(LOG_TRACE))
                LogTrace(u"Checking device online status...");
            pDevStatus->dwOnlineState = STI_ONLINESTATE_OPERATIONAL;
            if (IsLogging(LOG_TRACE))
                LogTrace(u"The device is online");
        }
        if (pDevStatus->StatusMask & STI_DEVSTATUS_EVENTS_STATE) {
            if (IsLogging(LOG_TRACE))
                LogTrace(u"Checking for polled events...");
            pDevStatus->dwEventHandlingState &= ~STI_EVENTHANDLING_PENDING;
            hr = S_FALSE;
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetStatus Exit. [0x%08X]", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::DeviceReset()
{
    if (IsLogging(LOG_TRACE)) {
        LogTrace(u"DeviceReset Entered");
        LogTrace(u"DeviceReset Exit. [0x%08X]", S_OK);
    }
    return S_OK;
}

HRESULT CRNX_STIWIA_Driver::Diagnostic(LPSTI_DIAG pBuffer)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Diagnostic Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Diagnostic Params: pBuffer=0x%08X", Hex32(pBuffer));
    HRESULT hr = S_OK;
    if (!pBuffer) {
        hr = E_INVALIDARG;
        if (IsLogging(LOG_ERROR))
            LogError(u"Invalid parameters were passed, hr = 0x%lx", hr);
    } else {
        std::memset(pBuffer, 0, sizeof(STI_DIAG));
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Diagnostic Exit. [0x%08X]", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::GetLastError(LPDWORD pdwLastDeviceError)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetLastError Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"GetLastError Params: pdwLastDeviceError=0x%08X", Hex32(pdwLastDeviceError));
    HRESULT hr = S_OK;
    if (!pdwLastDeviceError) {
        hr = E_INVALIDARG;
        if (IsLogging(LOG_ERROR))
            LogError(u"Invalid parameters were passed, hr = 0x%lx", hr);
    } else {
        *pdwLastDeviceError = 0;
        if (IsDataLogging(LOG_TRACE))
            LogDataTrace(u"GetLastError result: *pdwLastDeviceError=0x%08X", *pdwLastDeviceError);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetLastError Exit. [0x%08X]", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::LockDevice()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"LockDevice Entered");
    LONG status = 0;
    HRESULT hr = LockScanner(GetCurrentProcessId(), &status);
    if (SUCCEEDED(hr) && status != 0)
        hr = kLockViolation;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"LockDevice Exit. [0x%08X]", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::UnLockDevice()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"UnLockDevice Entered");
    LONG status = 0;
    HRESULT hr = UnlockScanner(&status);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"UnLockDevice Exit. [0x%08X]", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::NotImplemented(const WCHAR* method)
{
    if (IsLogging(LOG_ERROR))
        LogError(u"This method '%s' is not implemented or supported for this driver", method);
    return E_NOTIMPL;
}

HRESULT CRNX_STIWIA_Driver::RawReadData(LPVOID, LPDWORD, OVERLAPPED*) { return NotImplemented(u"RawReadData"); }
HRESULT CRNX_STIWIA_Driver::RawWriteData(LPVOID, DWORD, OVERLAPPED*) { return NotImplemented(u"RawWriteData"); }
HRESULT CRNX_STIWIA_Driver::RawReadCommand(LPVOID, LPDWORD, OVERLAPPED*) { return NotImplemented(u"RawReadCommand"); }
HRESULT CRNX_STIWIA_Driver::RawWriteCommand(LPVOID, DWORD, OVERLAPPED*) { return NotImplemented(u"RawWriteCommand"); }

HRESULT CRNX_STIWIA_Driver::SetNotificationHandle(HANDLE hEvent)
{
    if (IsLogging(LOG_ERROR))
        LogError(u"CRNX_STIWIA_Driver::SetNotificationHandle(0x%08X) not implemented", Hex32(hEvent));
    return E_NOTIMPL;
}

HRESULT CRNX_STIWIA_Driver::GetNotificationData(LPSTINOTIFY) { return NotImplemented(u"GetNotificationData"); }

HRESULT CRNX_STIWIA_Driver::GetLastErrorInfo(STI_ERROR_INFO* pLastErrorInfo)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetLastErrorInfo Entered");
    HRESULT hr = S_OK;
    if (!pLastErrorInfo) {
        hr = E_INVALIDARG;
        if (IsLogging(LOG_ERROR))
            LogError(u"Invalid parameters were passed, hr = 0x%lx", hr);
    } else {
        std::memset(pLastErrorInfo, 0, sizeof(STI_ERROR_INFO));
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetLastErrorInfo Exit. [0x%08X]", hr);
    return hr;
}
