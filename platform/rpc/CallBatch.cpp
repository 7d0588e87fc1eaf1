#include "platform/rpc/CallBatch.h"

#include "platform/rpc/CallBatchState.h"
#include "platform/rpc/ProxyManager.h"

namespace plat::rpc {
namespace {

thread_local CallBatchState* t_batch = nullptr;

} // namespace

CallBatch::CallBatch(IUnknown* object) : m_state(std::make_unique<CallBatchState>())
{
    IUnknown* manager = nullptr;
    if (object && SUCCEEDED(object->QueryInterface(IID_IProxyManagerSelf, reinterpret_cast<void**>(&manager))) &&
        manager) {
        m_state->manager = static_cast<ProxyManager*>(manager);
        m_state->manager->AddRef(); // the held calls need their channel
    }
    m_state->outer = t_batch;
    t_batch = m_state.get();
}

CallBatch::~CallBatch()
{
    m_state->Flush();
    t_batch = m_state->outer;
    if (m_state->manager)
        m_state->manager->Release();
}

HRESULT CallBatch::Finish(HRESULT hr)
{
    m_state->Flush();
    if (FAILED(m_state->failure))
        return m_state->failure;
    return SUCCEEDED(hr) && m_state->ran ? m_state->last : hr;
}

CallBatchState* CallBatch::Current() { return t_batch; }

CallBatchState* CallBatchState::For(const ProxyManager* manager)
{
    for (CallBatchState* batch = t_batch; batch; batch = batch->outer) {
        if (batch->manager == manager)
            return batch;
    }
    return nullptr;
}

void CallBatchState::Hold(REFIID iid, std::uint32_t method, MessageWriter& request, HRESULT& status)
{
    if (FAILED(failure)) {
        // The batch stopped at an earlier call: this one never runs.
        if (request.Context())
            request.Context()->TakeBackExported(request);
        status = failure;
        return;
    }
    calls.push_back({iid, method, std::move(request)});
    status = S_OK;
}

// One request: u32 number of calls, then per call its interface, method
// and request bytes (sized). The reply's results: u32 number of calls that
// ran, then the HRESULT of each; only the last may have failed.
void CallBatchState::Flush()
{
    if (calls.empty())
        return;
    std::vector<Held> sending;
    sending.swap(calls);
    MessageWriter request(manager->Context());
    request.WriteU32(static_cast<std::uint32_t>(sending.size()));
    for (Held& call : sending) {
        request.WriteGuid(call.iid);
        request.WriteU32(call.method);
        request.WriteU32(static_cast<std::uint32_t>(call.request.Size()));
        request.Append(call.request);
    }
    HRESULT status = S_OK;
    Bytes results;
    HRESULT hr = manager->InvokeNow(IID_IUnknown, kCallBatch, request, status, results);
    if (SUCCEEDED(hr))
        hr = status;
    MessageReader reader(results.data(), results.size());
    std::uint32_t count = 0;
    if (SUCCEEDED(hr) && (!reader.ReadU32(count) || count > sending.size() || reader.Remaining() != 4u * count))
        hr = RPC_E_INVALID_DATA;
    for (std::uint32_t i = 0; SUCCEEDED(hr) && i < count; ++i) {
        std::int32_t result = 0;
        reader.ReadI32(result);
        ran = true;
        last = result;
        // A call after a failed one cannot have run.
        if (FAILED(result) && i + 1 != count)
            hr = RPC_E_INVALID_DATA;
    }
    if (SUCCEEDED(hr) && FAILED(last))
        hr = last;
    else if (SUCCEEDED(hr) && count != sending.size())
        hr = RPC_E_INVALID_DATA; // it stopped without a failure
    if (FAILED(hr))
        failure = hr;
}

} // namespace plat::rpc
