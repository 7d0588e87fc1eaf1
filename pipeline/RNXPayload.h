// The common part of every payload: where it stands in the scan session,
// whether the scan failed, and a context text no module uses.
#pragma once

#include "pipeline/RNXCOMCoreInterfaces.h"

namespace Tessivo {

// Session levels.
constexpr LONG kLevelNone = 0;      // nothing delivered
constexpr LONG kLevelInPage = 1;    // more bands of the same page follow
constexpr LONG kLevelEndOfPage = 2; // the next band starts a new page
constexpr LONG kLevelEndOfSession = 6;

// PayloadStatus codes.
enum PayloadStatus : LONG {
    PayloadNoConnection = -1, // known to the clients; no module writes it
    PayloadOK = 0,
    PayloadScannerError = 1,
    PayloadNoPaper = 2,
    PayloadMultiFeed = 3,
    PayloadFeederStopped = 4,
    PayloadInternalRest = 5,
    PayloadUserStopped = 6,
    PayloadCoverOpen = 7,
    PayloadPaperJam = 8,
    PayloadSkew = 9,
};

// Abstract: the payload classes derive from it for IRNXPayload.
class CRNXPayload : public plat::DispatchImpl<IRNXPayload> {
public:
    HRESULT STDMETHODCALLTYPE get_SessionLevel(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_SessionLevel(LONG newVal) override;
    HRESULT STDMETHODCALLTYPE get_Status(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_Status(LONG newVal) override;
    HRESULT STDMETHODCALLTYPE get_MetaContext(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_MetaContext(BSTR newVal) override;

protected:
    CRNXPayload();
    ~CRNXPayload();
    CRNXPayload(const CRNXPayload&) = delete;
    CRNXPayload& operator=(const CRNXPayload&) = delete;

    LONG m_Status = 0;
    LONG m_SessionLevel = 0;
    BSTR m_MetaContext = nullptr; // owned
};

} // namespace Tessivo
