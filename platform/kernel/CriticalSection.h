// Recursive critical sections and a scoped guard.
#pragma once

#include "platform/base/wintypes.h"

#include <pthread.h>

// Owned by value by its user, like the Windows structure; holds a recursive
// mutex. Must be initialised before use and deleted after.
struct CRITICAL_SECTION {
    pthread_mutex_t mutex;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
using PCRITICAL_SECTION = CRITICAL_SECTION*;

extern "C" {

void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
// The spin count is accepted and not used.
BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount);
void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
// TRUE when the section was free or already held by the calling thread.
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

} // extern "C"

namespace plat {

// Holds a critical section for one scope.
class CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CRITICAL_SECTION& section) : m_section(section) { EnterCriticalSection(&m_section); }
    ~CriticalSectionGuard() { LeaveCriticalSection(&m_section); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CRITICAL_SECTION& m_section;
};

} // namespace plat
