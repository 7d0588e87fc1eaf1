// Events: manual-reset (stays signalled until reset, releases every waiter)
// and auto-reset (releases exactly one waiter, then resets itself).
#pragma once

#include "platform/kernel/KernelObject.h"

namespace plat {

class EventObject : public Waitable {
public:
    EventObject(bool manualReset, bool initialState);

    bool IsSignalled() const override { return m_signalled; }
    void Acquire() override;

    void Set();
    void Reset();

private:
    const bool m_manualReset;
    bool m_signalled;
};

} // namespace plat

extern "C" {

constexpr DWORD CREATE_EVENT_MANUAL_RESET = 0x1;
constexpr DWORD CREATE_EVENT_INITIAL_SET = 0x2;

// A named event is shared within this process only: a second create with
// the same name returns the same event with ERROR_ALREADY_EXISTS.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName);
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName);
HANDLE CreateEventExW(LPSECURITY_ATTRIBUTES lpEventAttributes, LPCWSTR lpName, DWORD dwFlags, DWORD dwDesiredAccess);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);

} // extern "C"
