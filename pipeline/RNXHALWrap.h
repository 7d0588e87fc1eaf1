// The pipeline's image source: wraps the scanner hardware service
// (IRNXHALS) as a module that is configured from the scannerSource element of
// the pipeline XML and fills the caller's raster band on each Produce.
//
// The service is either given by the client (SetCurrentHAL, "preset": the
// wrapper never initialises, locks, unlocks or uninitialises it) or created
// by Configure from the class named in the XML. A session ends with the band
// of level 6, after which the wrapper holds no service.
#pragma once

#include "diag/TraceClient.h"
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "pipeline/ComObjectRoot.h"
#include "pipeline/RNXCOMCoreInterfaces.h"

class CHALRasterBand;

namespace Tessivo {

class CRNXHALWrap final : public CComObjectRoot,
                          public plat::DispatchImpl<IRNXHALWrap>,
                          public plat::DispatchImpl<IRNXModule>,
                          public plat::DispatchImpl<IRNXPayloadSource>,
                          public CTraceClient {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);

    explicit CRNXHALWrap(IUnknown* outer);
    ~CRNXHALWrap() override;

    HRESULT FinalConstruct() override;
    void FinalRelease() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return OuterQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }

    // IRNXHALWrap
    HRESULT STDMETHODCALLTYPE SetCurrentHAL(IUnknown* theHAL) override;
    // IRNXModule
    HRESULT STDMETHODCALLTYPE Configure(IDispatch* modules, IDispatch* modulesSettings) override;
    // IRNXPayloadSource
    HRESULT STDMETHODCALLTYPE Produce(IDispatch** thePayload) override;

    virtual HRESULT GetClassID(CLSID* pClassID);

private:
    void* GetInterface(REFIID riid) override;

    // Configure's steps after the scanner text was read; a failure code from
    // the XML sink or the service is thrown as CallFailed.
    HRESULT ConfigureService(IXMLObj* settings, BSTR scanner, LONG* status);
    // Creates, initialises and locks the service named by the text.
    HRESULT CreateService(BSTR scanner, LONG* status);
    // Fills the caller's band from the service.
    HRESULT ProduceBand(IRNXRasterBand* band, IRNXPayload* payload, LONG* sessionLevel);
    // Ends the wrapper's side of a session: unlocks and uninitialises a
    // service it created itself, and lets go of whatever service it holds.
    void DropService();

    IRNXHALS* m_service = nullptr; // held; null when none
    bool m_preset = false;
    CHALRasterBand* m_sink = nullptr; // held from FinalConstruct to FinalRelease
    bool m_usesLogSink = false;
};

} // namespace Tessivo
