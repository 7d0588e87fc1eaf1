// The diagnostics stand-in: an in-process COM server for DiagnosticsConfig
// that keeps its settings in the registry and appends records to a log file
// per application.
#include "tools/diagnostics/DiagnosticsServer.h"

#include "diag/DiagnosticsConfig.h"
#include "platform/base/winerror.h"
#include "platform/com/ComModule.h"
#include "platform/com/RefCounted.h"
#include "tools/diagnostics/ChangeSignal.h"
#include "tools/diagnostics/DiagnosticsLogFile.h"
#include "tools/diagnostics/DiagnosticsSettings.h"

#include <atomic>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {

plat::ComModule g_module;

std::atomic<DiagnosticsCallHook> g_hook{nullptr};
std::atomic<void*> g_hookContext{nullptr};

HRESULT Called(const char* operation)
{
    if (DiagnosticsCallHook hook = g_hook.load())
        return hook(g_hookContext.load(), operation);
    return S_OK;
}

std::u16string Text(BSTR bstr) { return bstr ? std::u16string(bstr, SysStringLen(bstr)) : std::u16string(); }

// IUnknown and the IDispatch slots for a dual interface that is only called
// through its virtual table.
template <class Interface>
class DualObject : public plat::RefCounted<Interface> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == InterfaceId()) {
            *ppv = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    ~DualObject() override = default;
    virtual const IID& InterfaceId() const = 0;

private:
    plat::ModuleLock m_lock{g_module};
};

// A snapshot of names taken when the list was asked for.
class NameList final : public DualObject<IDiagnosticsNameList> {
public:
    NameList(std::u16string application, std::vector<std::u16string> names)
        : m_application(std::move(application)), m_names(std::move(names))
    {
    }

    HRESULT STDMETHODCALLTYPE GetApplication(BSTR* application) override
    {
        if (!application)
            return E_POINTER;
        *application = SysAllocStringLen(m_application.data(), static_cast<UINT>(m_application.size()));
        return *application ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE Item(LONG index, BSTR* name) override
    {
        if (!name)
            return E_POINTER;
        *name = nullptr;
        if (index < 1 || static_cast<size_t>(index) > m_names.size())
            return E_INVALIDARG;
        const std::u16string& item = m_names[static_cast<size_t>(index) - 1];
        *name = SysAllocStringLen(item.data(), static_cast<UINT>(item.size()));
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE Count(LONG* count) override
    {
        if (!count)
            return E_POINTER;
        *count = static_cast<LONG>(m_names.size());
        return S_OK;
    }

private:
    const IID& InterfaceId() const override { return IID_IDiagnosticsNameList; }

    std::u16string m_application;
    std::vector<std::u16string> m_names;
};

HRESULT HandOut(NameList* list, IUnknown** out)
{
    if (!list)
        return E_OUTOFMEMORY;
    *out = static_cast<IDiagnosticsNameList*>(list);
    return S_OK;
}

class DiagnosticsConfigObject final : public DualObject<IDiagnosticsConfig> {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv)
    {
        HRESULT hr = plat::CheckAggregation(outer, riid, false);
        if (FAILED(hr))
            return hr;
        if (hr = Called("Create"); FAILED(hr))
            return hr;
        auto* object = new (std::nothrow) DiagnosticsConfigObject;
        if (!object)
            return E_OUTOFMEMORY;
        hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE GetApplications(IUnknown** list) override
    {
        if (!list)
            return E_POINTER;
        *list = nullptr;
        if (HRESULT hr = Called("GetApplications"); FAILED(hr))
            return hr;
        return Guarded([&] {
            std::vector<std::u16string> names;
            HRESULT hr = diagnostics::ListApplications(&names);
            if (FAILED(hr))
                return hr;
            return HandOut(new (std::nothrow) NameList(std::u16string(), std::move(names)), list);
        });
    }

    HRESULT STDMETHODCALLTYPE RegisterComponent(BSTR application, BSTR logName) override
    {
        if (HRESULT hr = Called("RegisterComponent"); FAILED(hr))
            return hr;
        return Guarded([&] { return diagnostics::RegisterComponent(Text(application), Text(logName)); });
    }

    HRESULT STDMETHODCALLTYPE WriteLog(BSTR application, LONG level, BSTR logName, BSTR timestamp, BSTR processId,
                                       BSTR threadId, BSTR text) override
    {
        if (HRESULT hr = Called("WriteLog"); FAILED(hr))
            return hr;
        return Guarded([&] {
            diagnostics::LogFileRecord record;
            record.timestamp = Text(timestamp);
            record.application = Text(application);
            record.level = static_cast<DWORD>(level);
            record.processId = Text(processId);
            record.threadId = Text(threadId);
            record.logName = Text(logName);
            record.text = Text(text);
            return diagnostics::AppendRecord(record);
        });
    }

    HRESULT STDMETHODCALLTYPE SetComponentEnabled(BSTR application, BSTR logName, VARIANT_BOOL enabled) override
    {
        if (HRESULT hr = Called("SetComponentEnabled"); FAILED(hr))
            return hr;
        return Guarded([&] {
            HRESULT hr = diagnostics::SetComponentEnabled(Text(application), Text(logName), enabled != VARIANT_FALSE);
            return SUCCEEDED(hr) ? diagnostics::SignalSettingsChanged() : hr;
        });
    }

    HRESULT STDMETHODCALLTYPE GetComponents(BSTR application, IUnknown** list) override
    {
        if (!list)
            return E_POINTER;
        *list = nullptr;
        if (HRESULT hr = Called("GetComponents"); FAILED(hr))
            return hr;
        return Guarded([&] {
            std::u16string app = Text(application);
            std::vector<std::u16string> names;
            HRESULT hr = diagnostics::ListComponents(app, &names);
            if (FAILED(hr))
                return hr;
            return HandOut(new (std::nothrow) NameList(std::move(app), std::move(names)), list);
        });
    }

    HRESULT STDMETHODCALLTYPE IsComponentEnabled(BSTR application, BSTR logName, VARIANT_BOOL* enabled) override
    {
        if (!enabled)
            return E_POINTER;
        *enabled = VARIANT_FALSE;
        if (HRESULT hr = Called("IsComponentEnabled"); FAILED(hr))
            return hr;
        return Guarded([&] {
            bool on = false;
            HRESULT hr = diagnostics::IsComponentEnabled(Text(application), Text(logName), &on);
            *enabled = on ? VARIANT_TRUE : VARIANT_FALSE;
            return hr;
        });
    }

    HRESULT STDMETHODCALLTYPE OpenSettings(BSTR settingsName) override
    {
        if (HRESULT hr = Called("OpenSettings"); FAILED(hr))
            return hr;
        std::u16string name = Text(settingsName);
        if (name.empty() || name.find(u'\\') != std::u16string::npos)
            return E_INVALIDARG;
        return Guarded([&] {
            std::lock_guard guard(m_lock);
            m_settings = std::move(name);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE GetLogLevelMask(LONG* mask) override
    {
        if (!mask)
            return E_POINTER;
        *mask = 0;
        if (HRESULT hr = Called("GetLogLevelMask"); FAILED(hr))
            return hr;
        return Guarded([&] {
            DWORD value = 0;
            HRESULT hr = diagnostics::GetLevelMask(Settings(), &value);
            *mask = static_cast<LONG>(value);
            return hr;
        });
    }

    HRESULT STDMETHODCALLTYPE SetLogLevelMask(LONG mask) override
    {
        if (HRESULT hr = Called("SetLogLevelMask"); FAILED(hr))
            return hr;
        return Guarded([&] {
            HRESULT hr = diagnostics::SetLevelMask(Settings(), static_cast<DWORD>(mask));
            return SUCCEEDED(hr) ? diagnostics::SignalSettingsChanged() : hr;
        });
    }

private:
    const IID& InterfaceId() const override { return IID_IDiagnosticsConfig; }

    // No exception leaves a COM call.
    template <class Body>
    static HRESULT Guarded(Body body)
    {
        try {
            return body();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }

    std::u16string Settings()
    {
        std::lock_guard guard(m_lock);
        return m_settings;
    }

    std::mutex m_lock;
    // The settings read before any OpenSettings.
    std::u16string m_settings = u"Default";
};

} // namespace

extern "C" {

__attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (rclsid == CLSID_DiagnosticsConfig)
        return plat::ClassFactory::Make(g_module, &DiagnosticsConfigObject::Create, riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

__attribute__((visibility("default"))) HRESULT DllCanUnloadNow() { return g_module.CanUnloadNow(); }

__attribute__((visibility("default"))) void DiagnosticsSetCallHook(DiagnosticsCallHook hook, void* context)
{
    g_hookContext.store(context);
    g_hook.store(hook);
}

} // extern "C"
