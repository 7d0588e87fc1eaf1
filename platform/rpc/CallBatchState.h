// The runtime's side of a CallBatch: the calls held for one proxy.
#pragma once

#include "platform/rpc/CallBatch.h"
#include "platform/rpc/rpcproxy.h"

#include <vector>

namespace plat::rpc {

class ProxyManager;

struct CallBatchState {
    struct Held {
        IID iid;
        std::uint32_t method;
        MessageWriter request;
    };

    ProxyManager* manager = nullptr; // AddRef'd; null for an object of this process
    CallBatchState* outer = nullptr;
    std::vector<Held> calls;
    HRESULT failure = S_OK; // the first failure, once known
    HRESULT last = S_OK;    // the result of the last call that ran
    bool ran = false;

    // The batch of the calling thread that holds calls for `manager`.
    static CallBatchState* For(const ProxyManager* manager);
    // Keeps a call without outputs: its status is S_OK, or the failure of
    // an earlier call (it is then never sent).
    void Hold(REFIID iid, std::uint32_t method, MessageWriter& request, HRESULT& status);
    // Sends the held calls as one; their outcome goes into failure and last.
    void Flush();
};

} // namespace plat::rpc
