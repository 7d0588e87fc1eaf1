// Client-side sinks for the tests: an XML sink over a map of values and a
// raster sink that copies bands into a buffer, each counting its references
// so a test can see that nothing is left held.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"
#include "halservice/interfaces/testing/SinkStubs.h"

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace toyhal {

template <class Interface, const IID& kIid>
class CountedSink : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == kIid) {
            *ppv = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    ULONG References() const { return m_refs; }

private:
    std::atomic<ULONG> m_refs{1}; // the test's own
};

// Values by "context/name"; what the toy service reads and writes.
class MapXmlSink final : public CountedSink<hal::testing::XmlHALStub, IID_ICKelXmlHAL> {
public:
    std::map<std::u16string, INT> numbers;
    std::map<std::u16string, std::u16string> texts;

    HRESULT STDMETHODCALLTYPE SetContext(BSTR path) override
    {
        m_context = path ? path : u"";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIntByName(BSTR name, INT* value) override
    {
        auto it = numbers.find(Key(name));
        if (it != numbers.end())
            *value = it->second;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetIntByName(BSTR name, INT value) override
    {
        numbers[Key(name)] = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStringByName(BSTR name, BSTR* value) override
    {
        auto it = texts.find(Key(name));
        if (it == texts.end())
            return E_FAIL;
        *value = SysAllocStringLen(it->second.data(), static_cast<UINT>(it->second.size()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetStringByName(BSTR name, BSTR value) override
    {
        texts[Key(name)] = std::u16string(value, SysStringLen(value));
        return S_OK;
    }

private:
    std::u16string Key(BSTR name) const { return m_context + u"/" + (name ? name : u""); }
    std::u16string m_context;
};

// Receives bands into `target` (SizeBuffer bytes), as the pipeline's sink.
class BufferRasterSink final : public CountedSink<hal::testing::RasterBandHALStub, IID_IRNXRasterBandHAL> {
public:
    std::vector<BYTE> target;
    LONG status = -1;
    LONG level = -1;
    LONG width = 0;
    LONG bytesWritten = 0;

    HRESULT STDMETHODCALLTYPE getSizeBuffer(LONG* value) override
    {
        *value = static_cast<LONG>(target.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE putStatus(LONG value) override
    {
        status = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE putPayloadLevel(LONG value) override
    {
        level = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DescribeBufferContent(LONG lWidth, LONG, LONG, LONG, LONG, LONG, LONG,
                                                    LONG lBandSize) override
    {
        width = lWidth;
        bytesWritten = lBandSize;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PutBuffer(VARIANT* pvBufIn) override
    {
        if (!pvBufIn || pvBufIn->vt != (VT_ARRAY | VT_UI1) || !pvBufIn->parray)
            return E_POINTER;
        ULONG count = pvBufIn->parray->rgsabound[0].cElements;
        if (count < static_cast<ULONG>(bytesWritten) || static_cast<size_t>(bytesWritten) > target.size())
            return E_OUTOFMEMORY;
        if (bytesWritten > 0)
            std::memcpy(target.data(), pvBufIn->parray->pvData, static_cast<size_t>(bytesWritten));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Clear() override { return S_OK; }
};

} // namespace toyhal
