// What the service module needs of the scanner session and of the COM
// classes: the module runs the process (identity, registration, service
// control, main loop), the session owns the scanner thread, the button
// queue and the sinks, the class provider hands out the slot's class object
// and its registry script.
#pragma once

#include "platform/base/unknwn.h"
#include "platform/base/wintypes.h"

#include <string>
#include <string_view>

// The scanner session of the process (CScannerWrap): the four events the
// main loop waits on, in this order, and the operations it calls.
class IScannerSession {
public:
    virtual ~IScannerSession() = default;

    virtual HANDLE GetStopEvent() = 0;
    virtual HANDLE GetButtonEvent() = 0;
    virtual HANDLE GetArrivalEvent() = 0;
    virtual HANDLE GetRemovalEvent() = 0;

    // The device path of this copy's scanner (the device key's
    // SymbolicName): the scanner thread binds only that device.
    virtual void SetSymbolicName(const std::u16string& path) = 0;

    // True while the scanner thread holds a bound device.
    virtual bool IsOnline() = 0;
    // The thread whose message loop a stop control ends with WM_QUIT.
    virtual void SetLoopThreadId(DWORD threadId) = 0;
    virtual DWORD GetLoopThreadId() = 0;

    // With no client: the service itself joins or leaves the session.
    virtual LONG Initialize(void* pClient) = 0;
    virtual void UnInitialize(void* pClient) = 0;

    virtual void DispatchButtonEvents() = 0;
    virtual void OnDeviceChange(BOOL bArrival) = 0;
    virtual void SendStatusEvent(LONG lStatus) = 0;
};

// The per-slot COM classes (CRNXHALS_0 .. CRNXHALS_9).
class IHALClassProvider {
public:
    virtual ~IHALClassProvider() = default;

    // The class object of the slot's class, AddRef'd; null when the process
    // has none to offer.
    virtual IUnknown* CreateClassObject(int slot) = 0;
    // The registry script of the slot's class, UTF-8; it may use %MODULE%,
    // %APPID%, %HAL_NAME% and %CLSID%.
    virtual std::string_view ClassScript(int slot) = 0;
};
