#include "pipeline/RNXInterconnection.h"

#include "pipeline/TypeLibrary.h"

namespace Tessivo {

namespace {

// The library module keeps no table of its own, so each use takes the
// process's table and lets it go afterwards.
plat::ComPtr<IGlobalInterfaceTable> GlobalInterfaceTable()
{
    plat::ComPtr<IGlobalInterfaceTable> table;
    CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                     table.ReleaseAndGetVoidAddress());
    return table;
}

} // namespace

HRESULT CRNXInterconnection::Create(IUnknown* outer, REFIID riid, void** ppv)
{
    return plat::CreateComObject<CRNXInterconnection>(outer, riid, ppv, true);
}

CRNXInterconnection::CRNXInterconnection(IUnknown* outer)
    : CComObjectRoot(outer), DispatchImpl<IRNXInterconnection>(InterconnectionTypeInfo())
{
}

CRNXInterconnection::~CRNXInterconnection()
{
    if (m_cookie) {
        plat::ComPtr<IGlobalInterfaceTable> table = GlobalInterfaceTable();
        if (table && SUCCEEDED(table->RevokeInterfaceFromGlobal(m_cookie)))
            m_cookie = 0;
    }
    if (m_precursor)
        m_precursor->Release();
}

void* CRNXInterconnection::GetInterface(REFIID riid)
{
    if (riid == IID_IRNXInterconnection || riid == IID_IDispatch)
        return static_cast<IRNXInterconnection*>(this);
    return nullptr;
}

HRESULT CRNXInterconnection::Connect(IDispatch* precursor)
{
    IRNXPayloadSource* old = nullptr;
    {
        std::lock_guard lock(m_lock);
        if (static_cast<IUnknown*>(precursor) != static_cast<IUnknown*>(m_precursor)) {
            old = m_precursor;
            m_precursor = nullptr;
            if (precursor)
                precursor->QueryInterface(IID_IRNXPayloadSource, reinterpret_cast<void**>(&m_precursor));
        }
        // A new registration each time, even for the same precursor, so the
        // cookie always names what is held now.
        if (plat::ComPtr<IGlobalInterfaceTable> table = GlobalInterfaceTable()) {
            if (m_cookie) {
                table->RevokeInterfaceFromGlobal(m_cookie);
                m_cookie = 0;
            }
            DWORD cookie = 0;
            if (m_precursor && SUCCEEDED(table->RegisterInterfaceInGlobal(m_precursor, IID_IRNXPayloadSource, &cookie)))
                m_cookie = cookie;
        }
    }
    // Released outside the lock: the last release may run the old
    // precursor's teardown.
    if (old)
        old->Release();
    return S_OK;
}

HRESULT CRNXInterconnection::Obtain(IDispatch** thePayload)
{
    DWORD cookie = 0;
    {
        std::lock_guard lock(m_lock);
        cookie = m_cookie;
    }
    if (!cookie)
        return E_NOINTERFACE;
    plat::ComPtr<IGlobalInterfaceTable> table = GlobalInterfaceTable();
    if (!table)
        return CO_E_NOTINITIALIZED;
    plat::ComPtr<IRNXPayloadSource> source;
    HRESULT hr = table->GetInterfaceFromGlobal(cookie, IID_IRNXPayloadSource, source.ReleaseAndGetVoidAddress());
    if (FAILED(hr))
        return hr;
    return source->Produce(thePayload);
}

} // namespace Tessivo
