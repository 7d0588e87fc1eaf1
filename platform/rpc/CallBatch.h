// Calls without results on one object of another process, sent together.
//
// Code that makes several calls in a row on an object, each only telling
// whether it worked, stopping at the first failure, may hold them in a
// batch: while the batch lives, every call without outputs that this
// thread makes on the object answers S_OK at once and is kept; Finish sends
// them as one message. The other process runs them in the order made and
// stops at the first failure, as it would have one call at a time, so the
// object sees the same calls; the caller learns the outcome at Finish, for
// one round trip instead of one per call. Calls with outputs (and calls on
// any other object) still go at once, after the calls held before them.
// For an object of this process the batch does nothing: calls go straight
// to it.
#pragma once

#include "platform/base/unknwn.h"

#include <memory>

namespace plat::rpc {

struct CallBatchState;

class CallBatch {
public:
    explicit CallBatch(IUnknown* object);
    // Sends what is still held (its outcome is then lost: call Finish).
    ~CallBatch();
    CallBatch(const CallBatch&) = delete;
    CallBatch& operator=(const CallBatch&) = delete;

    // Sends the held calls and answers: the first failure among them;
    // else, when `hr` (what the caller's code came to) succeeded and calls
    // were held, the last one's own result; else `hr`.
    HRESULT Finish(HRESULT hr);

    // The batch of the calling thread, null when none (the runtime's side).
    static CallBatchState* Current();

private:
    std::unique_ptr<CallBatchState> m_state;
};

} // namespace plat::rpc
