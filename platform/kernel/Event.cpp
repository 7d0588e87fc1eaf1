#include "platform/kernel/Event.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"

#include <map>
#include <string>

namespace plat {

EventObject::EventObject(bool manualReset, bool initialState) : m_manualReset(manualReset), m_signalled(initialState)
{
}

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

// Named events of this process, by name; an entry lives as long as the event.
struct NamedEvents {
    std::mutex mutex;
    std::map<std::u16string, std::weak_ptr<EventObject>> events;
};

NamedEvents& Names()
{
    static NamedEvents* names = new NamedEvents;
    return *names;
}

HANDLE CreateEventObject(bool manualReset, bool initialState, const WCHAR* name)
{
    if (!name || !*name) {
        SetLastError(ERROR_SUCCESS);
        return InsertHandle(std::make_shared<EventObject>(manualReset, initialState));
    }
    NamedEvents& names = Names();
    std::lock_guard lock(names.mutex);
    std::weak_ptr<EventObject>& entry = names.events[std::u16string(name)];
    if (std::shared_ptr<EventObject> existing = entry.lock()) {
        HANDLE handle = InsertHandle(existing);
        SetLastError(ERROR_ALREADY_EXISTS);
        return handle;
    }
    auto event = std::make_shared<EventObject>(manualReset, initialState);
    entry = event;
    SetLastError(ERROR_SUCCESS);
    return InsertHandle(std::move(event));
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
