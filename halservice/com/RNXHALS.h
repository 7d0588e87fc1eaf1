// The hardware service's COM object behind IRNXHALS, shared by the ten
// per-slot classes. Session, lock and button sinks act on the process's
// scanner object directly; everything that needs the device is handed to
// the scanner thread as a request. Only a failed hand-off is an error: what
// the scanner did travels in output parameters and buffers.
//
// Objects live in the service's single-threaded apartment and are not
// thread-safe themselves; the reference count is a plain counter.
#pragma once

#include "diag/TraceClient.h"
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "halservice/scanner/HALRequest.h"
#include "halservice/scanner/ScannerClient.h"
#include "platform/com/RefCounted.h"
#include "platform/windows.h"

class CScannerWrap;

class CRNXHALS : public plat::RefCounted<IRNXHALS>, public CScannerClient, public CTraceClient {
public:
    // Registers with the scanner object and takes a process lock.
    explicit CRNXHALS(CScannerWrap* session);
    ~CRNXHALS() override;
    CRNXHALS(const CRNXHALS&) = delete;
    CRNXHALS& operator=(const CRNXHALS&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;

    // IRNXHALS
    HRESULT STDMETHODCALLTYPE Initialize(LONG* lStatus) override;
    HRESULT STDMETHODCALLTYPE Uninitialize() override;
    HRESULT STDMETHODCALLTYPE LockScanner(LONG lPID, LONG* lpStatus) override;
    HRESULT STDMETHODCALLTYPE UnlockScanner(LONG* lpStatus) override;
    HRESULT STDMETHODCALLTYPE DoSCSICmd(LONG lSizeCDB, BYTE* pBufCDB, LONG lSizeData, BYTE* pBufData, LONG lDir,
                                        LONG* lpStatus) override;
    HRESULT STDMETHODCALLTYPE Register(IUnknown* pSink, LONG lPID, LONG* lpBEID) override;
    HRESULT STDMETHODCALLTYPE Unregister(LONG lBEID) override;
    HRESULT STDMETHODCALLTYPE Configure(IUnknown* pXMLSink) override;
    HRESULT STDMETHODCALLTYPE Control(LONG lCC, IUnknown* pXMLSink, VARIANT* pvBufIn, VARIANT* pvBufOut) override;
    HRESULT STDMETHODCALLTYPE Produce(IUnknown* pRasterBandSink) override;
    HRESULT STDMETHODCALLTYPE Configure2(BSTR bstrXML) override;
    HRESULT STDMETHODCALLTYPE Produce2(VARIANT* pvBufOut, BSTR* pbstrXML) override;
    HRESULT STDMETHODCALLTYPE Control2(LONG lCC, BSTR* pbstrXML, VARIANT* pvBufIn, VARIANT* pvBufOut) override;

    // The scan description of the last successful configuration.
    LONG m_DPI = 0;
    LONG m_ImageWidth = 0;
    LONG m_BitsPerPixel = 0;
    LONG m_BytesPerLine = 0;
    LONG m_ColorChannelOrder = 0;
    LONG m_BitOrder = 0;
    LONG m_LineOrder = 0;

protected:
    CScannerWrap* m_session;
    IRNXButton* m_buttonSink = nullptr;

private:
    // A successful configuration's settings and resulting geometry become
    // the scan description.
    void KeepScanDescription(const ConfigScanArgs& settings, DWORD width, DWORD bytesPerLine);
    // The pass-through command's parameters as one data record.
    void DumpSCSIArgs(const WCHAR* title, LONG lSizeCDB, const BYTE* pBufCDB, LONG lSizeData, const BYTE* pBufData,
                      LONG lDir);

    // This object counts as one user of the process log sink from its first
    // Initialize to its destruction.
    bool m_usesLogSink = false;
    CLogInterface* m_logSink = nullptr;
};
