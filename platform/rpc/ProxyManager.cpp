#include "platform/rpc/ProxyManager.h"

#include "platform/rpc/CallBatchState.h"
#include "platform/rpc/Connection.h"
#include "platform/rpc/ProxyStubs.h"

namespace plat::rpc {

ProxyManager::ProxyManager(std::shared_ptr<Connection> connection, std::uint64_t object, REFIID knownIid)
    : m_connection(std::move(connection)), m_object(object)
{
    m_known.insert(knownIid);
}

ProxyManager::~ProxyManager()
{
    m_connection->ForgetProxy(m_object, this);
    m_connection->ReleaseRemote(m_object, m_remoteRefs);
    for (auto& entry : m_proxies)
        delete entry.second;
}

HRESULT ProxyManager::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown) {
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    if (riid == IID_IProxyManagerSelf) {
        *ppv = static_cast<IUnknown*>(this);
        return S_OK;
    }
    {
        std::lock_guard lock(m_mutex);
        auto it = m_proxies.find(riid);
        if (it != m_proxies.end()) {
            *ppv = it->second->Interface();
            AddRef();
            return S_OK;
        }
    }
    IProxyStubFactory* factory = FindProxyStubFactory(riid);
    if (!factory)
        return E_NOINTERFACE; // nothing could carry its calls
    bool known = false;
    {
        std::lock_guard lock(m_mutex);
        known = m_known.count(riid) != 0;
    }
    if (!known) {
        MessageWriter request;
        request.WriteGuid(riid);
        HRESULT status = S_OK;
        Bytes results;
        HRESULT hr = m_connection->Call(m_object, IID_IUnknown, kQueryInterface, request, status, results);
        if (FAILED(hr))
            return hr;
        if (FAILED(status))
            return status;
    }
    InterfaceProxy* proxy = nullptr;
    HRESULT hr = factory->CreateProxy(riid, this, static_cast<IUnknown*>(this), &proxy);
    if (FAILED(hr) || !proxy)
        return FAILED(hr) ? hr : E_NOINTERFACE;
    std::lock_guard lock(m_mutex);
    m_known.insert(riid);
    auto [it, inserted] = m_proxies.emplace(riid, proxy);
    if (!inserted)
        delete proxy; // another thread made one meanwhile
    *ppv = it->second->Interface();
    AddRef();
    return S_OK;
}

void ProxyManager::AddKnownInterface(REFIID iid)
{
    std::lock_guard lock(m_mutex);
    m_known.insert(iid);
}

MarshalContext* ProxyManager::Context() { return m_connection.get(); }

HRESULT ProxyManager::Invoke(REFIID iid, std::uint32_t method, MessageWriter& request, HRESULT& status, Bytes& results)
{
    // Calls held before this one go first; after a failure among them this
    // one would not have been made.
    if (CallBatchState* batch = CallBatchState::For(this)) {
        batch->Flush();
        if (FAILED(batch->failure)) {
            m_connection->TakeBackExported(request);
            return batch->failure;
        }
    }
    return InvokeNow(iid, method, request, status, results);
}

bool ProxyManager::Defer(REFIID iid, std::uint32_t method, MessageWriter& request, HRESULT& status)
{
    CallBatchState* batch = CallBatchState::For(this);
    if (!batch)
        return false;
    batch->Hold(iid, method, request, status);
    return true;
}

HRESULT ProxyManager::InvokeNow(REFIID iid, std::uint32_t method, const MessageWriter& request, HRESULT& status,
                                Bytes& results)
{
    return m_connection->Call(m_object, iid, method, request, status, results);
}

} // namespace plat::rpc
