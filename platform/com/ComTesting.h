// Helpers for the COM tests.
#pragma once

#include "platform/com/ComModule.h"
#include "platform/com/testlib/TestServer.h"

#include <atomic>

namespace plat::testing {

// Enters COM on the calling thread for the length of a scope.
class ComScope {
public:
    explicit ComScope(DWORD model = COINIT_APARTMENTTHREADED) : m_result(CoInitializeEx(nullptr, model)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    HRESULT Result() const { return m_result; }

private:
    HRESULT m_result;
};

// An ITestValue on the stack whose reference count the test can read.
class CountedValue final : public ITestValue {
public:
    explicit CountedValue(LONG value) : m_value(value) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_ITestValue) {
            *ppv = static_cast<ITestValue*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE GetValue(LONG* value) override
    {
        *value = m_value;
        return S_OK;
    }
    ULONG References() const { return m_refs; }

private:
    std::atomic<ULONG> m_refs{0};
    LONG m_value;
};

} // namespace plat::testing
