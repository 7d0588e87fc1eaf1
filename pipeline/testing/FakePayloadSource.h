// A stand-in precursor module for tests: a payload source whose Produce runs
// a test's handler, counting its calls, its references and the thread it
// was called on.
#pragma once

#include "pipeline/testing/TestDispatchObject.h"

#include <atomic>
#include <functional>
#include <thread>

class FakePayloadSource final : public TestDispatchObject<IRNXPayloadSource, IID_IRNXPayloadSource> {
public:
    HRESULT STDMETHODCALLTYPE Produce(IDispatch** thePayload) override
    {
        ++calls;
        lastThread = std::this_thread::get_id();
        return handler ? handler(thePayload) : S_OK;
    }

    std::function<HRESULT(IDispatch**)> handler;
    std::atomic<int> calls{0};
    std::thread::id lastThread;
};
