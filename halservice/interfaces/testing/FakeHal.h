// A hardware-service object of the tests' own: it answers Initialize and
// LockScanner with the statuses it is given, counts the calls that undo them
// and records the raw commands and device controls it is sent.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"
#include "platform/oleauto/ScopedBstr.h"
#include "platform/oleauto/ScopedSafeArray.h"
#include "platform/windows.h"

#include <atomic>
#include <map>
#include <string>
#include <vector>

namespace qbk24::testing {

class FakeHal final : public IRNXHALS {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IRNXHALS) {
            *ppv = static_cast<IRNXHALS*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
    ULONG STDMETHODCALLTYPE Release() override { return --References; }
    HRESULT STDMETHODCALLTYPE Initialize(LONG* status) override
    {
        ++Initialized;
        *status = InitializeStatus;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Uninitialize() override
    {
        ++Uninitialized;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LockScanner(LONG pid, LONG* status) override
    {
        LockedBy.push_back(pid);
        *status = LockStatus;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockScanner(LONG*) override
    {
        ++Unlocked;
        return UnlockResult;
    }
    HRESULT STDMETHODCALLTYPE DoSCSICmd(LONG commandLength, BYTE* command, LONG dataLength, BYTE*, LONG direction,
                                        LONG* status) override
    {
        Commands.push_back({std::vector<BYTE>(command, command + commandLength), dataLength, direction});
        if (status)
            *status = CommandStatus;
        return CommandResult;
    }
    HRESULT STDMETHODCALLTYPE Register(IUnknown*, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unregister(LONG) override { return E_NOTIMPL; }
    // Keeps the settings document it is sent and answers ConfigOutput under
    // /config/output, as the service does; without an answer to give it
    // refuses.
    HRESULT STDMETHODCALLTYPE Configure(IUnknown* settings) override
    {
        if (ConfigOutput.empty())
            return E_NOTIMPL;
        ICKelXmlHAL* sink = nullptr;
        HRESULT hr = settings->QueryInterface(IID_ICKelXmlHAL, reinterpret_cast<void**>(&sink));
        if (FAILED(hr))
            return hr;
        plat::ScopedBstr xml;
        hr = sink->GenerateXML(xml.Out());
        if (SUCCEEDED(hr)) {
            ConfiguredXml.push_back(xml.Get() ? std::u16string(xml.Get()) : std::u16string());
            hr = sink->SetContext(plat::ScopedBstr(u"/config/output").Get());
        }
        for (const auto& [name, value] : ConfigOutput) {
            if (SUCCEEDED(hr))
                hr = sink->SetIntByName(plat::ScopedBstr(name.c_str()).Get(), value);
        }
        sink->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Control(LONG, IUnknown*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Produce(IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Configure2(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Produce2(VARIANT*, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Control2(LONG code, BSTR* xml, VARIANT* in, VARIANT* out) override
    {
        if (!xml || !in || !out)
            return E_POINTER;
        Controls.push_back(code);
        Inputs.push_back(ArrayBytes(in));
        OutputSizes.push_back(out->parray ? out->parray->rgsabound[0].cElements : 0);
        auto result = Results.find(code);
        HRESULT hr = result == Results.end() ? S_OK : result->second;
        if (hr == S_OK && out->parray) {
            plat::SafeArrayAccess access(out->parray);
            BYTE* bytes = static_cast<BYTE*>(access.Data());
            const auto answer = Answers.find(code);
            for (ULONG i = 0; i < out->parray->rgsabound[0].cElements; ++i) {
                if (answer == Answers.end())
                    bytes[i] = static_cast<BYTE>(code * 16 + i);
                else
                    bytes[i] = i < answer->second.size() ? answer->second[i] : 0;
            }
        }
        return hr;
    }

    // A raw command as DoSCSICmd received it.
    struct Command {
        std::vector<BYTE> bytes;
        LONG dataLength;
        LONG direction;
    };

    std::atomic<ULONG> References{0};
    LONG InitializeStatus = 0;
    LONG LockStatus = 0;
    HRESULT UnlockResult = S_OK;
    int Initialized = 0;
    int Uninitialized = 0;
    int Unlocked = 0;
    std::vector<LONG> LockedBy;
    std::vector<LONG> Controls;
    std::vector<ULONG> OutputSizes;
    std::vector<std::vector<BYTE>> Inputs;
    std::vector<Command> Commands;
    HRESULT CommandResult = E_NOTIMPL;
    LONG CommandStatus = 0;
    // The answer of Control2 by code; S_OK for codes not listed.
    std::map<LONG, HRESULT> Results;
    // What Configure writes under /config/output, and the documents it got.
    std::map<std::u16string, INT> ConfigOutput;
    std::vector<std::u16string> ConfiguredXml;
    // The bytes Control2 answers with by code (zeros after them); codes not
    // listed answer code * 16 + i at byte i.
    std::map<LONG, std::vector<BYTE>> Answers;

private:
    static std::vector<BYTE> ArrayBytes(VARIANT* value)
    {
        if (value->vt != (VT_ARRAY | VT_UI1) || !value->parray)
            return {};
        plat::SafeArrayAccess access(value->parray);
        const BYTE* bytes = static_cast<const BYTE*>(access.Data());
        return std::vector<BYTE>(bytes, bytes + value->parray->rgsabound[0].cElements);
    }
};

class FakeHalFactory final : public IClassFactory {
public:
    explicit FakeHalFactory(FakeHal& hal) : m_hal(hal) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return m_hal.QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    FakeHal& m_hal;
    std::atomic<ULONG> m_refs{0};
};

} // namespace qbk24::testing
