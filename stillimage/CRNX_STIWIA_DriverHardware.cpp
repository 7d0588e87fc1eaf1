// The hardware thread and the driver's calls into the hardware service. The
// service object lives in its own process; the hardware thread creates it,
// keeps it for the driver's whole life and publishes it in the Global
// Interface Table, from which every calling thread takes it per operation.
#include "stillimage/CRNX_STIWIA_Driver.h"

#include "diag/OperationTrace.h"
#include "halservice/MessageWait.h"
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "stillimage/LentHal.h"

#include <algorithm>

namespace {

constexpr DWORD kStopWaitMs = 10000;
constexpr size_t kClsidTextChars = 255;
// The service's control code that reads the feeder's document sensor.
constexpr LONG HCC_READ_DOCUMENT = 4;

} // namespace

HRESULT CRNX_STIWIA_Driver::InitializeHardware()
{
    TraceEntered(*this, u"InitializeHardware");
    m_hrHardwareInit = E_FAIL;
    if (m_hHardwareThread) {
        if (IsLogging(LOG_ERROR))
            LogError(u"m_HardwareThread != NULL");
    } else {
        if (!m_hStopEvent)
            m_hStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!m_hReadyEvent)
            m_hReadyEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (m_hStopEvent && m_hReadyEvent) {
            m_hHardwareThread = CreateThread(nullptr, 0, HardwareThreadStart, this, 0, &m_dwHardwareThreadId);
            if (m_hHardwareThread)
                WaitWithMessages(m_hReadyEvent, INFINITE);
        }
        if (m_hReadyEvent) {
            CloseHandle(m_hReadyEvent);
            m_hReadyEvent = nullptr;
        }
    }
    TraceExit(*this, u"InitializeHardware", m_hrHardwareInit);
    return m_hrHardwareInit;
}

void CRNX_STIWIA_Driver::UnInitializeHardware()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"UnInitializeHardware Entered.");
    if (m_hHardwareThread) {
        SetEvent(m_hStopEvent);
        // The thread works on this object's members until it ends: a thread
        // still busy after the usual wait is waited for to the end.
        if (WaitWithMessages(m_hHardwareThread, kStopWaitMs) == WAIT_TIMEOUT)
            WaitWithMessages(m_hHardwareThread, INFINITE);
        CloseHandle(m_hStopEvent);
        m_hStopEvent = nullptr;
        CloseHandle(m_hHardwareThread);
        m_hHardwareThread = nullptr;
    } else if (m_hStopEvent) {
        // Left by a start whose thread could not be created.
        CloseHandle(m_hStopEvent);
        m_hStopEvent = nullptr;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"UnInitializeHardware Exit.");
}

DWORD CRNX_STIWIA_Driver::HardwareThreadStart(LPVOID parameter)
{
    static_cast<CRNX_STIWIA_Driver*>(parameter)->HardwareThreadProc();
    return 0;
}

void CRNX_STIWIA_Driver::HardwareThreadProc()
{
    CoInitialize(nullptr);
    m_pGIT = nullptr;

    WCHAR text[kClsidTextChars] = {};
    const size_t copied = std::min(m_halClsid.size(), kClsidTextChars - 1);
    std::copy_n(m_halClsid.data(), copied, text);
    CLSID clsid = {};
    CLSIDFromString(text, &clsid);

    LONG status = -1;
    IRNXHALS* hal = nullptr;
    m_hrHardwareInit =
        CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS, reinterpret_cast<void**>(&hal));
    if (SUCCEEDED(m_hrHardwareInit)) {
        m_hrHardwareInit = hal->Initialize(&status);
        // A failed call counts as a scanner that is not on line.
        if (FAILED(m_hrHardwareInit) || status != 0) {
            hal->Uninitialize();
            hal->Release();
            hal = nullptr;
            m_hrHardwareInit = E_FAIL;
        } else {
            m_hrHardwareInit = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                                IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&m_pGIT));
            if (SUCCEEDED(m_hrHardwareInit) && !m_pGIT)
                m_hrHardwareInit = E_FAIL;
            if (SUCCEEDED(m_hrHardwareInit))
                m_hrHardwareInit = m_pGIT->RegisterInterfaceInGlobal(hal, IID_IRNXHALS, &m_dwGITCookie);
        }
    }

    SetEvent(m_hReadyEvent);

    if (SUCCEEDED(m_hrHardwareInit)) {
        WaitWithMessages(m_hStopEvent, INFINITE);
        m_hrHardwareInit = E_FAIL;
    }
    if (m_pGIT) {
        m_pGIT->RevokeInterfaceFromGlobal(m_dwGITCookie);
        m_pGIT->Release();
        m_pGIT = nullptr;
    }
    if (hal) {
        if (SUCCEEDED(hal->Uninitialize()))
            hal->Release();
        hal = nullptr;
    }
    CoUninitialize();
}

IRNXHALS* CRNX_STIWIA_Driver::GetHalFromGit(bool* comInitialized)
{
    *comInitialized = false;
    if (!m_pGIT)
        return nullptr;
    IRNXHALS* hal = nullptr;
    HRESULT hr = m_pGIT->GetInterfaceFromGlobal(m_dwGITCookie, IID_IRNXHALS, reinterpret_cast<void**>(&hal));
    if (hr != CO_E_NOTINITIALIZED)
        return SUCCEEDED(hr) ? hal : nullptr;

    *comInitialized = true;
    CoInitialize(nullptr);
    hal = nullptr;
    hr = m_pGIT->GetInterfaceFromGlobal(m_dwGITCookie, IID_IRNXHALS, reinterpret_cast<void**>(&hal));
    if (hr != CO_E_NOTINITIALIZED)
        return SUCCEEDED(hr) ? hal : nullptr;
    *comInitialized = false;
    return nullptr;
}

// The wrappers' one pattern: E_FAIL without hardware, E_POINTER without an
// object from the table, the service's answer on success and E_POINTER for
// a failure or anything raised; entry and exit lines with their names.
template <typename Call>
HRESULT CRNX_STIWIA_Driver::CallService(const WCHAR* entered, const WCHAR* exited, Call call)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"%s", entered);
    HRESULT hr = E_FAIL;
    if (SUCCEEDED(m_hrHardwareInit)) {
        LentHal hal(*this);
        hr = E_POINTER;
        if (hal) {
            try {
                hr = call(hal.Get());
                if (FAILED(hr))
                    hr = E_POINTER;
            } catch (...) {
                hr = E_POINTER;
            }
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(exited, hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::LockScanner(DWORD processId, LONG* status)
{
    return CallService(u"LockScanner  Entered.", u"LockScanner  Exit. Result = 0x%08X",
                       [&](IRNXHALS* hal) { return hal->LockScanner(static_cast<LONG>(processId), status); });
}

HRESULT CRNX_STIWIA_Driver::UnlockScanner(LONG* status)
{
    return CallService(u"UnlockScanner  Entered.", u"UnlockScanner  Exit. Result = 0x%08X",
                       [&](IRNXHALS* hal) { return hal->UnlockScanner(status); });
}

HRESULT CRNX_STIWIA_Driver::Configure()
{
    return CallService(u"Configure Entered.", u"Configure Exit. Result = 0x%08X", [this](IRNXHALS* hal) {
        const HRESULT hr = ConfigurePipeline(hal);
        // The pointer belongs to this thread's loan: a transfer lends the
        // wrapper its own (TransferHal).
        if (m_pHalWrap)
            m_pHalWrap->SetCurrentHAL(nullptr);
        return hr;
    });
}

HRESULT CRNX_STIWIA_Driver::DoSCSICmd(LONG commandLength, BYTE* command, LONG dataLength, BYTE* data, LONG direction,
                                      LONG* status)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"DoSCSICmd  Entered.");
    HRESULT hr = E_FAIL;
    if (SUCCEEDED(m_hrHardwareInit)) {
        LentHal hal(*this);
        if (!hal)
            return E_POINTER;
        try {
            hr = hal->DoSCSICmd(commandLength, command, dataLength, data, direction, status);
            if (FAILED(hr))
                hr = E_FAIL;
        } catch (...) {
            hr = E_FAIL;
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"DoSCSICmd  Exit. Result = 0x%08X", hr);
    return hr;
}

bool CRNX_STIWIA_Driver::ReadDocumentStatus()
{
    LentHal hal(*this);
    if (!hal)
        return false;

    bool present = false;
    {
        BSTR xml = SysAllocString(u"");
        plat::ScopedSafeArray inArray(SafeArrayCreateVector(VT_UI1, 0, 2));
        plat::ScopedSafeArray outArray(SafeArrayCreateVector(VT_UI1, 0, 2));
        if (inArray.Get() && outArray.Get()) {
            SafeArrayLock(inArray.Get());
            SafeArrayLock(outArray.Get());
            // The variants only lend the arrays: they are never cleared, so
            // the arrays are destroyed once, by their owners.
            VARIANT in;
            VariantInit(&in);
            in.vt = VT_ARRAY | VT_UI1;
            in.parray = inArray.Get();
            VARIANT out;
            VariantInit(&out);
            out.vt = VT_ARRAY | VT_UI1;
            out.parray = outArray.Get();
            HRESULT hr = E_FAIL;
            try {
                hr = hal->Control2(HCC_READ_DOCUMENT, &xml, &in, &out);
            } catch (...) {
                hr = E_FAIL; // answered as no document
            }
            if (hr == S_OK && out.vt == (VT_ARRAY | VT_UI1) && out.parray && out.parray->rgsabound[0].cElements > 0) {
                LONG index = 0;
                BYTE first = 0;
                if (SUCCEEDED(SafeArrayGetElement(out.parray, &index, &first)))
                    present = first != 0;
            }
            if (out.vt == (VT_ARRAY | VT_UI1) && out.parray && out.parray != outArray.Get())
                SafeArrayDestroy(out.parray); // the service answered with an array of its own
            SafeArrayUnlock(inArray.Get());
            SafeArrayUnlock(outArray.Get());
        }
        SysFreeString(xml);
    }
    return present;
}
