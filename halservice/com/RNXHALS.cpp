#include "halservice/com/RNXHALS.h"

#include "diag/EventLogObject.h"
#include "diag/FormatWide.h"
#include "diag/HexDump.h"
#include "diag/LogTimestamp.h"
#include "halservice/LogText.h"
#include "halservice/com/HALProcessLock.h"
#include "halservice/scanner/ScannerWrap.h"

namespace {

// Set while this thread makes the process log sink: making it dispatches
// messages, and a second Initialize dispatched then must not ask again.
thread_local bool t_gettingLogSink = false;

// A one-dimensional byte array's element count and data; nothing for a
// variant without an array. An array passed by reference is read through
// its reference, never as the array itself.
void ArrayBytes(const VARIANT* variant, DWORD* size, BYTE** data)
{
    *size = 0;
    *data = nullptr;
    if (!(variant->vt & VT_ARRAY))
        return;
    const SAFEARRAY* array = variant->parray;
    if (variant->vt & VT_BYREF)
        array = variant->pparray ? *variant->pparray : nullptr;
    if (!array || array->cDims == 0)
        return;
    *size = array->rgsabound[0].cElements;
    *data = static_cast<BYTE*>(array->pvData);
}

} // namespace

CRNXHALS::CRNXHALS(CScannerWrap* session) : CTraceClient(u"QBK24 Module Interface"), m_session(session)
{
    m_session->AddClient(this);
    LockHALProcess();
}

CRNXHALS::~CRNXHALS()
{
    if (m_buttonSink) {
        m_session->RemoveButtonRecipient(m_buttonSink);
        m_buttonSink->Release();
        m_buttonSink = nullptr;
    }
    m_session->RemoveClient(this);
    SetLogInterface(nullptr);
    if (m_usesLogSink)
        ReleaseEventLogObject();
    UnlockHALProcess();
}

HRESULT CRNXHALS::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IRNXHALS) {
        *ppv = static_cast<IRNXHALS*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT CRNXHALS::Initialize(LONG* lStatus)
{
    if (!lStatus)
        return E_POINTER;
    if (!m_usesLogSink && !t_gettingLogSink) {
        t_gettingLogSink = true;
        CEventLogObject* sink = GetEventLogObject();
        t_gettingLogSink = false;
        m_usesLogSink = sink != nullptr;
        m_logSink = sink;
    }
    SetLogInterface(m_logSink);

    if (IsLogging(LOG_TRACE))
        LogTrace(u"Initialize Entered.");
    *lStatus = m_session->Initialize(this);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Initialize Exit. [0x%08X]", static_cast<DWORD>(*lStatus));
    return S_OK;
}

HRESULT CRNXHALS::Uninitialize()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Uninitialize Entered");
    m_session->UnInitialize(this);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Uninitialize Exit. [0x%08X]", 0);
    // The object stays a user of the sink until it is destroyed.
    SetLogInterface(nullptr);
    return S_OK;
}

HRESULT CRNXHALS::LockScanner(LONG lPID, LONG* lpStatus)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"LockScanner Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"LockScanner Params: PID = 0x%08X", static_cast<DWORD>(lPID));
    if (!lpStatus)
        return E_POINTER;
    // A caller in another process is known by its connection, whatever
    // process id it claims; only a call from inside the service itself is
    // taken at its word.
    DWORD caller = 0;
    m_lockOwnerPid = SUCCEEDED(CoGetCallerProcessId(&caller)) ? caller : static_cast<DWORD>(lPID);
    *lpStatus = m_session->LockScanner(this) ? 0 : 1;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"LockScanner Exit. [0x%08X]", static_cast<DWORD>(*lpStatus));
    return S_OK;
}

HRESULT CRNXHALS::UnlockScanner(LONG* lpStatus)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"UnlockScanner Entered");
    m_session->UnLockScanner(this);
    // The caller's value is only shown, never written.
    if (IsLogging(LOG_TRACE))
        LogTrace(u"UnlockScanner Exit. [0x%08X]", lpStatus ? static_cast<DWORD>(*lpStatus) : 0u);
    return S_OK;
}

void CRNXHALS::DumpSCSIArgs(const WCHAR* title, LONG lSizeCDB, const BYTE* pBufCDB, LONG lSizeData,
                            const BYTE* pBufData, LONG lDir)
{
    if (!IsDataLogging(LOG_TRACE))
        return;
    std::u16string text = title;
    text += FormatWide(u"lSizeCDB = %d\n", lSizeCDB);
    text += u"pBufCDB: ";
    if (pBufCDB)
        text += HexDump(pBufCDB, static_cast<DWORD>(lSizeCDB));
    text += u"\n";
    text += FormatWide(u"lSizeData = %d\n", lSizeData);
    text += u"pBufData: ";
    if (pBufData)
        text += HexDump(pBufData, static_cast<DWORD>(lSizeData));
    text += u"\n";
    text += FormatWide(u"lDir = %d\n", lDir);
    if (!text.empty()) {
        const std::u16string timestamp = GetLogTimestamp();
        const std::u16string name = GetDataLogName();
        GetLogInterface()->Write(LOG_TRACE, GetCurrentProcessId(), GetCurrentThreadId(), timestamp.c_str(),
                                 name.c_str(), text.c_str());
    }
}

HRESULT CRNXHALS::DoSCSICmd(LONG lSizeCDB, BYTE* pBufCDB, LONG lSizeData, BYTE* pBufData, LONG lDir, LONG* lpStatus)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"DoSCSICmd Entered");
    if (!lpStatus)
        return E_POINTER;
    // Negative sizes would reach the transport as huge counts.
    if (lSizeCDB < 0 || lSizeData < 0)
        return E_INVALIDARG;

    DumpSCSIArgs(u"Before Request\n", lSizeCDB, pBufCDB, lSizeData, pBufData, lDir);

    FuncArgs args{};
    args.DoSCSICmd.lSizeCDB = static_cast<DWORD>(lSizeCDB);
    args.DoSCSICmd.pBufCDB = pBufCDB;
    args.DoSCSICmd.lSizeData = static_cast<DWORD>(lSizeData);
    args.DoSCSICmd.pBufData = pBufData;
    args.DoSCSICmd.lDir = static_cast<DWORD>(lDir);
    args.DoSCSICmd.lpStatus = lpStatus;
    if (!m_session->ClientRequest(this, REQ_DO_SCSI_CMD, &args))
        return E_FAIL;

    DumpSCSIArgs(u"After Request\n", lSizeCDB, pBufCDB, lSizeData, pBufData, lDir);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"DoSCSICmd Exit. [0x%08X]", static_cast<DWORD>(*lpStatus));
    return S_OK;
}

HRESULT CRNXHALS::Register(IUnknown* pSink, LONG lPID, LONG* lpBEID)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Register Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Register Params: IUnknown = 0x%08X, PID = 0x%08X, lpID=0x%08X", Hex32(pSink),
                     static_cast<DWORD>(lPID), Hex32(lpBEID));
    if (!pSink || !lpBEID)
        return E_POINTER;
    if (m_buttonSink) {
        *lpBEID = -1;
        return S_OK;
    }
    const HRESULT hr = pSink->QueryInterface(IID_IRNXButton, reinterpret_cast<void**>(&m_buttonSink));
    if (FAILED(hr)) {
        m_buttonSink = nullptr;
        return hr;
    }
    *lpBEID = m_session->AddButtonRecipient(m_buttonSink, static_cast<DWORD>(lPID));
    if (*lpBEID == -1) {
        // Not registered: the object holds no sink, so a later Register may try again.
        m_buttonSink->Release();
        m_buttonSink = nullptr;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Register Exit. [0x%08X]", static_cast<DWORD>(*lpBEID));
    return S_OK;
}

HRESULT CRNXHALS::Unregister(LONG lBEID)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Unregister Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Unregister Params: ID = 0x%08X", static_cast<DWORD>(lBEID));
    m_session->RemoveButtonRecipient(lBEID);
    if (m_buttonSink) {
        m_buttonSink->Release();
        m_buttonSink = nullptr;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Unregister Exit. [0x%08X]", 0);
    return S_OK;
}

HRESULT CRNXHALS::Control(LONG, IUnknown* pXMLSink, VARIANT* pvBufIn, VARIANT* pvBufOut)
{
    if (!pXMLSink || !pvBufIn || !pvBufOut)
        return E_POINTER;
    return S_OK;
}

HRESULT CRNXHALS::Control2(LONG lCC, BSTR* pbstrXML, VARIANT* pvBufIn, VARIANT* pvBufOut)
{
    if (!pbstrXML || !pvBufIn || !pvBufOut)
        return E_POINTER;
    LONG status = -1;
    FuncArgs args{};
    args.Control.lCC = static_cast<DWORD>(lCC);
    ArrayBytes(pvBufIn, &args.Control.InSize, &args.Control.InBuffer);
    ArrayBytes(pvBufOut, &args.Control.OutSize, &args.Control.OutBuffer);
    args.Control.pbstrXML = pbstrXML;
    args.Control.Status = &status;
    return m_session->ClientRequest(this, REQ_CONTROL, &args) ? S_OK : E_FAIL;
}
