// What the scanner object keeps of each client object: whether it joined
// the session, whether it holds the scanner lock, and the process that
// asked for the lock. The service's COM objects derive from it.
#pragma once

#include "platform/base/wintypes.h"

class CScannerClient {
public:
    virtual ~CScannerClient() = default;

    BYTE m_holdsLock = 0;
    BYTE m_joined = 0;
    DWORD m_lockOwnerPid = 0;
};
