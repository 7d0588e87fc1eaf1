// Client-side sinks for the tests: an XML sink over a map of values and a
// raster sink that copies bands into a buffer, each counting its references
// so a test can see that nothing is left held.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"

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
class MapXmlSink final : public CountedSink<ICKelXmlHAL, IID_ICKelXmlHAL> {
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

    HRESULT STDMETHODCALLTYPE Initialize() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ParseXML(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GenerateXML(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GenerateXMLFromContext(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SeekRootNode() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SeekFirstChild() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SeekNextSibling() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SeekNextMatch() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentNodeName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateNode(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveNode() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetAttribute(BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttribute(BSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetAttributeInt(BSTR, INT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttributeInt(BSTR, INT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttributeLength(BSTR, INT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveAttribute(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStringLengthByName(BSTR, INT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveToFile(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LoadFromFile(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DumpContext() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ImportNode(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReplaceNode(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SeekParent() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentNodeNameLength(INT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetString(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetInt(INT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetString(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStringLength(INT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetInt(INT*) override { return E_NOTIMPL; }

private:
    std::u16string Key(BSTR name) const { return m_context + u"/" + (name ? name : u""); }
    std::u16string m_context;
};

// Receives bands into `target` (SizeBuffer bytes), as the pipeline's sink.
class BufferRasterSink final : public CountedSink<IRNXRasterBandHAL, IID_IRNXRasterBandHAL> {
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

    HRESULT STDMETHODCALLTYPE getImageWidth(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putImageWidth(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getBytesWritten(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putBytesWritten(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getBitsPerPixel(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putBitsPerPixel(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getBytesPerLine(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putBytesPerLine(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getColorChannelOrder(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putColorChannelOrder(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getBitOrder(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putBitOrder(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getLineOrder(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putLineOrder(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getDpi(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putDpi(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getPayloadLevel(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putSizeBuffer(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getStatus(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clear() override { return S_OK; }
};

} // namespace toyhal
