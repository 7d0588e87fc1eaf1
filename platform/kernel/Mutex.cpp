#include "platform/kernel/Mutex.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/kernel/NamedObjects.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/ThreadState.h"
#include "platform/kernel/Wait.h"

#include <utility>

namespace plat {

bool MutexObject::IsSignalled() const { return m_owner == 0 || m_owner == GetCurrentThreadId(); }

void MutexObject::Acquire()
{
    if (m_owner == 0) {
        m_owner = GetCurrentThreadId();
        CurrentThreadState().ownedMutexes.push_back(std::static_pointer_cast<MutexObject>(shared_from_this()));
    }
    ++m_count;
}

bool MutexObject::TakeAbandoned() { return std::exchange(m_abandoned, false); }

bool MutexObject::Release()
{
    std::lock_guard lock(KernelMutex());
    if (m_owner != GetCurrentThreadId() || m_count == 0)
        return false;
    if (--m_count == 0) {
        m_owner = 0;
        std::erase_if(CurrentThreadState().ownedMutexes, [this](const std::weak_ptr<MutexObject>& owned) {
            auto mutex = owned.lock();
            return !mutex || mutex.get() == this;
        });
        WakeWaiters();
    }
    return true;
}

void MutexObject::Abandon()
{
    std::lock_guard lock(KernelMutex());
    if (m_owner != GetCurrentThreadId())
        return;
    m_owner = 0;
    m_count = 0;
    m_abandoned = true;
    WakeWaiters();
}

} // namespace plat

namespace {

HANDLE CreateMutexObject(bool initialOwner, const WCHAR* name)
{
    bool made = false;
    HANDLE handle = plat::CreateNamedObject<plat::MutexObject>(name, [&] {
        made = true;
        // Not owned yet: ownership goes through Acquire, which records it.
        return std::make_shared<plat::MutexObject>();
    });
    const DWORD error = GetLastError();
    if (handle && made && initialOwner)
        WaitForSingleObject(handle, 0);
    SetLastError(error);
    return handle;
}

} // namespace

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCWSTR lpName)
{
    return CreateMutexObject(bInitialOwner != FALSE, lpName);
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName)
{
    if (!lpName)
        return CreateMutexObject(bInitialOwner != FALSE, nullptr);
    const std::u16string name = Utf8ToUtf16(lpName);
    return CreateMutexObject(bInitialOwner != FALSE, name.c_str());
}

BOOL ReleaseMutex(HANDLE hMutex)
{
    auto mutex = plat::ReferenceObject<plat::MutexObject>(hMutex);
    if (!mutex)
        return FALSE;
    if (!mutex->Release()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}
