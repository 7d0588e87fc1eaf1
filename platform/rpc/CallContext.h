// The incoming call a thread is serving, for CoGetCallerProcessId.
#pragma once

#include "platform/base/wintypes.h"

namespace plat::rpc {

// Marks the calling thread as serving a call from `callerPid` for its
// lifetime (calls nest: the previous caller comes back after).
class CallContext {
public:
    explicit CallContext(DWORD callerPid);
    ~CallContext();
    CallContext(const CallContext&) = delete;
    CallContext& operator=(const CallContext&) = delete;

    // The process whose call the thread serves now, 0 outside any call.
    static DWORD CurrentCaller();

private:
    DWORD m_previous;
};

} // namespace plat::rpc
