// The link from a pipeline module to its precursor. The precursor is kept in
// the process's Global Interface Table, so a module in another apartment
// still reaches it through a pointer fit for its own thread.
#pragma once

#include "pipeline/ComObjectRoot.h"
#include "pipeline/RNXCOMCoreInterfaces.h"

#include <mutex>

namespace Tessivo {

class CRNXInterconnection final : public CComObjectRoot, public plat::DispatchImpl<IRNXInterconnection> {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);

    explicit CRNXInterconnection(IUnknown* outer);
    ~CRNXInterconnection() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return OuterQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }

    HRESULT STDMETHODCALLTYPE Connect(IDispatch* precursor) override;
    HRESULT STDMETHODCALLTYPE Obtain(IDispatch** thePayload) override;

private:
    void* GetInterface(REFIID riid) override;

    std::mutex m_lock;                        // the object's critical section; never held across Produce
    IRNXPayloadSource* m_precursor = nullptr; // counted reference
    DWORD m_cookie = 0;                       // the precursor's registration; 0 when none
};

} // namespace Tessivo
