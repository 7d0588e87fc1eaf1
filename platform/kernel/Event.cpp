#include "platform/kernel/Event.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/kernel/NamedObjects.h"

#include <string>

namespace plat {

EventObject::EventObject(bool manualReset, bool initialState) : m_manualReset(manualReset), m_signalled(initialState) {}

void EventObject::Acquire()
{
    if (!m_manualReset)
        m_signalled = false;
}

void EventObject::Set()
{
    std::lock_guard lock(KernelMutex());
    m_signalled = true;
    WakeWaiters();
}

void EventObject::Reset()
{
    std::lock_guard lock(KernelMutex());
    m_signalled = false;
}

namespace {

HANDLE CreateEventObject(bool manualReset, bool initialState, const WCHAR* name)
{
    return CreateNamedObject<EventObject>(name,
                                          [&] { return std::make_shared<EventObject>(manualReset, initialState); });
}

} // namespace

} // namespace plat

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName)
{
    return plat::CreateEventObject(bManualReset != FALSE, bInitialState != FALSE, lpName);
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName)
{
    if (!lpName)
        return plat::CreateEventObject(bManualReset != FALSE, bInitialState != FALSE, nullptr);
    const std::u16string name = Utf8ToUtf16(lpName);
    return plat::CreateEventObject(bManualReset != FALSE, bInitialState != FALSE, name.c_str());
}

HANDLE CreateEventExW(LPSECURITY_ATTRIBUTES, LPCWSTR lpName, DWORD dwFlags, DWORD)
{
    return plat::CreateEventObject((dwFlags & CREATE_EVENT_MANUAL_RESET) != 0,
                                   (dwFlags & CREATE_EVENT_INITIAL_SET) != 0, lpName);
}

BOOL SetEvent(HANDLE hEvent)
{
    auto event = plat::ReferenceObject<plat::EventObject>(hEvent);
    if (!event)
        return FALSE;
    event->Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent)
{
    auto event = plat::ReferenceObject<plat::EventObject>(hEvent);
    if (!event)
        return FALSE;
    event->Reset();
    return TRUE;
}
