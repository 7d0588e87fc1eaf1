// Mutexes: owned by one thread at a time, recursively; a wait takes
// ownership. A thread that ends while owning one abandons it: the next
// owner gets it with WAIT_ABANDONED_0.
#pragma once

#include "platform/base/winerror.h"
#include "platform/kernel/KernelObject.h"

namespace plat {

class MutexObject : public Waitable {
public:
    // Free, or already the calling thread's (waits run on the waiting thread).
    bool IsSignalled() const override;
    void Acquire() override;
    bool TakeAbandoned() override;

    // Takes the kernel lock. False when the calling thread does not own it.
    bool Release();
    // Its owner thread has ended (called on that thread).
    void Abandon();

private:
    DWORD m_owner = 0;
    DWORD m_count = 0;
    bool m_abandoned = false;
};

} // namespace plat

extern "C" {

// A name is shared within this process only (the first create makes it,
// later ones get the same mutex with ERROR_ALREADY_EXISTS and do not take
// ownership); mutexes do not reach across processes here.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName);
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName);
// FALSE with ERROR_NOT_OWNER when the calling thread does not own it.
BOOL ReleaseMutex(HANDLE hMutex);

} // extern "C"
