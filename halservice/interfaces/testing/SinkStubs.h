// Bases for the tests' sinks of the service's client interfaces: every
// operation answers E_NOTIMPL, so a sink overrides only what the service
// calls. IUnknown stays the sink's own.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"

namespace hal::testing {

class XmlHALStub : public ICKelXmlHAL {
public:
    HRESULT STDMETHODCALLTYPE Initialize() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ParseXML(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GenerateXML(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GenerateXMLFromContext(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetContext(BSTR) override { return E_NOTIMPL; }
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
    HRESULT STDMETHODCALLTYPE SetStringByName(BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetIntByName(BSTR, INT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStringByName(BSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStringLengthByName(BSTR, INT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIntByName(BSTR, INT*) override { return E_NOTIMPL; }
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
};

class RasterBandHALStub : public IRNXRasterBandHAL {
public:
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
    HRESULT STDMETHODCALLTYPE putPayloadLevel(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getSizeBuffer(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putSizeBuffer(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE getStatus(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE putStatus(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DescribeBufferContent(LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Clear() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutBuffer(VARIANT*) override { return E_NOTIMPL; }
};

} // namespace hal::testing
