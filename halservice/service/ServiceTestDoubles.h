// Test doubles of the scanner session and the class provider: they record
// what the module asks of them.
#pragma once

#include "halservice/service/ServiceHost.h"
#include "platform/com/RefCounted.h"
#include "platform/windows.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class FakeScannerSession final : public IScannerSession {
public:
    FakeScannerSession()
    {
        for (HANDLE& event : m_events)
            event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    ~FakeScannerSession() override
    {
        for (HANDLE event : m_events)
            CloseHandle(event);
    }

    HANDLE GetStopEvent() override { return m_events[0]; }
    HANDLE GetButtonEvent() override { return m_events[1]; }
    HANDLE GetArrivalEvent() override { return m_events[2]; }
    HANDLE GetRemovalEvent() override { return m_events[3]; }
    void SetSymbolicName(const std::u16string& path) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        symbolicName = path;
    }
    bool IsOnline() override { return online; }
    void SetLoopThreadId(DWORD threadId) override { loopThreadId = threadId; }
    DWORD GetLoopThreadId() override { return loopThreadId; }
    LONG Initialize(void*) override
    {
        Record("Initialize");
        return online ? 0 : -1;
    }
    void UnInitialize(void*) override { Record("UnInitialize"); }
    void DispatchButtonEvents() override { Record("DispatchButtonEvents"); }
    void OnDeviceChange(BOOL bArrival) override { Record(bArrival ? "OnDeviceChange 1" : "OnDeviceChange 0"); }
    void SendStatusEvent(LONG lStatus) override { Record("SendStatusEvent " + std::to_string(lStatus)); }

    std::vector<std::string> Calls()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    // Whether the event is signalled now (consumes it).
    static bool Signalled(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

    std::atomic<bool> online{false};
    std::u16string symbolicName;
    std::atomic<DWORD> loopThreadId{0};

private:
    void Record(const std::string& call)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(call);
    }

    HANDLE m_events[4] = {};
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

// A class object that creates nothing.
class FakeClassFactory final : public plat::RefCounted<IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// A class script of the slot's class, as the COM classes carry one; a class
// object when asked to offer one.
class FakeClassProvider final : public IHALClassProvider {
public:
    IUnknown* CreateClassObject(int) override { return offerClassObject ? new FakeClassFactory : nullptr; }
    std::string_view ClassScript(int) override
    {
        return R"(HKCR
{
    NoRemove CLSID
    {
        ForceRemove %CLSID% = s 'Test Class'
        {
            val AppID = s '%APPID%'
            LocalServer32 = s '%MODULE%'
        }
    }
}
)";
    }

    bool offerClassObject = false;
};
