// A hardware-service object for tests of the wrapper: it calls the sinks it
// is given the way the service does (settings read from /config/input,
// results written to /config/output; a band described and put into the
// raster sink), records what it was asked, and answers what the test sets.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"
#include "platform/oleauto/ScopedBstr.h"
#include "platform/windows.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace pipeline::testing {

// One band the fake delivers.
struct FakeBand {
    std::vector<BYTE> bytes;
    LONG level = 1;
    LONG status = 0;
    LONG width = 0;
    LONG bitsPerPixel = 8;
    LONG bytesPerLine = 0;
    LONG dpi = 100;
};

class FakeHALService final : public IRNXHALS {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IRNXHALS) {
            *ppv = static_cast<IRNXHALS*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    HRESULT STDMETHODCALLTYPE Initialize(LONG* lStatus) override
    {
        calls.push_back("Initialize");
        *lStatus = 0;
        return initializeResult;
    }
    HRESULT STDMETHODCALLTYPE Uninitialize() override
    {
        calls.push_back("Uninitialize");
        return cleanupResult;
    }
    HRESULT STDMETHODCALLTYPE LockScanner(LONG lPID, LONG* lpStatus) override
    {
        calls.push_back("LockScanner");
        lockedBy = lPID;
        *lpStatus = lockStatus;
        return lockResult;
    }
    HRESULT STDMETHODCALLTYPE UnlockScanner(LONG* lpStatus) override
    {
        calls.push_back("UnlockScanner");
        *lpStatus = 0;
        return cleanupResult;
    }
    HRESULT STDMETHODCALLTYPE DoSCSICmd(LONG, BYTE*, LONG, BYTE*, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Register(IUnknown*, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unregister(LONG) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE Configure(IUnknown* pXMLSink) override
    {
        calls.push_back("Configure");
        ICKelXmlHAL* sink = nullptr;
        HRESULT hr = pXMLSink->QueryInterface(IID_ICKelXmlHAL, reinterpret_cast<void**>(&sink));
        if (FAILED(hr))
            return hr;
        if (onConfigure)
            onConfigure(sink);
        hr = sink->SetContext(plat::ScopedBstr(u"/config/input").Get());
        for (const char16_t* key : {u"Width", u"Height", u"BitsPerPixel", u"DPI", u"Compression"}) {
            if (FAILED(hr))
                break;
            INT value = 0;
            hr = sink->GetIntByName(plat::ScopedBstr(key).Get(), &value);
            input[key] = value;
        }
        if (SUCCEEDED(hr))
            hr = sink->SetContext(plat::ScopedBstr(u"/config/output").Get());
        for (const auto& [key, value] : output) {
            if (FAILED(hr))
                break;
            hr = sink->SetIntByName(plat::ScopedBstr(key).Get(), value);
        }
        sink->Release();
        return configureResult != S_OK ? configureResult : hr;
    }

    HRESULT STDMETHODCALLTYPE Control(LONG, IUnknown*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE Produce(IUnknown* pRasterBandSink) override
    {
        calls.push_back("Produce");
        if (onProduce)
            onProduce(pRasterBandSink);
        IRNXRasterBandHAL* sink = nullptr;
        HRESULT hr = pRasterBandSink->QueryInterface(IID_IRNXRasterBandHAL, reinterpret_cast<void**>(&sink));
        if (FAILED(hr))
            return hr;
        LONG size = 0;
        hr = sink->getSizeBuffer(&size);
        askedSizes.push_back(size);
        const FakeBand band = bands.empty() ? FakeBand{} : bands.front();
        if (!bands.empty())
            bands.erase(bands.begin());
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(band.bytes.size()));
        void* data = nullptr;
        SafeArrayAccessData(array, &data);
        if (!band.bytes.empty())
            std::memcpy(data, band.bytes.data(), band.bytes.size());
        SafeArrayUnaccessData(array);
        VARIANT buffer;
        VariantInit(&buffer);
        buffer.vt = VT_ARRAY | VT_UI1;
        buffer.parray = array;
        if (SUCCEEDED(hr))
            hr = sink->putStatus(band.status);
        if (SUCCEEDED(hr))
            hr = sink->putPayloadLevel(band.level);
        if (SUCCEEDED(hr))
            hr = sink->DescribeBufferContent(band.width, band.bitsPerPixel, band.bytesPerLine, 0, 0, 0, band.dpi,
                                             bandSizeOverride >= 0 ? bandSizeOverride
                                                                   : static_cast<LONG>(band.bytes.size()));
        if (SUCCEEDED(hr))
            hr = sink->PutBuffer(&buffer);
        putBufferResult = hr;
        VariantClear(&buffer);
        sink->Release();
        return produceResult != S_OK ? produceResult : hr;
    }

    HRESULT STDMETHODCALLTYPE Configure2(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Produce2(VARIANT*, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Control2(LONG, BSTR*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }

    // The calls that open or close a session on the service.
    std::vector<std::string> SessionCalls() const
    {
        std::vector<std::string> found;
        for (const std::string& call : calls) {
            if (call == "Initialize" || call == "LockScanner" || call == "UnlockScanner" || call == "Uninitialize")
                found.push_back(call);
        }
        return found;
    }

    std::atomic<ULONG> refs{1}; // the test's own
    std::vector<std::string> calls;
    // Configure
    std::function<void(ICKelXmlHAL*)> onConfigure;
    std::map<std::u16string, INT> input;
    std::vector<std::pair<std::u16string, INT>> output{
        {u"Width", 850}, {u"Height", 1100}, {u"BytesPerLine", 2550}, {u"Status", 0}};
    HRESULT configureResult = S_OK;
    // Session
    HRESULT initializeResult = S_OK;
    HRESULT lockResult = S_OK;
    LONG lockStatus = 0;
    LONG lockedBy = 0;
    HRESULT cleanupResult = S_OK;
    // Produce
    std::function<void(IUnknown*)> onProduce;
    std::vector<FakeBand> bands;
    std::vector<LONG> askedSizes;
    LONG bandSizeOverride = -1;
    HRESULT putBufferResult = S_OK;
    HRESULT produceResult = S_OK;
};

// Hands out the service object the test points it at, as the class object of
// a local server registered in this process.
class FakeHALFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (!service)
            return E_OUTOFMEMORY;
        return service->QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    std::atomic<ULONG> refs{1};
    IRNXHALS* service = nullptr; // not owned
};

} // namespace pipeline::testing
