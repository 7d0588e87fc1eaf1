// The interfaces between the hardware service and its clients: the
// service's IRNXHALS, the clients' button sink IRNXButton, and the two sinks
// the service calls back during Configure and Produce (ICKelXmlHAL,
// IRNXRasterBandHAL). Both sides and the proxy/stub library use these
// declarations and identifiers; the method order is the wire's method
// numbering (IUnknown takes 0-2), so it never changes.
#pragma once

#include "platform/windows.h"

// {3C9B5E21-7A4F-4E0D-9B8C-51D2E6F0A713}
inline constexpr IID IID_IRNXHALS = plat::MakeGuid("3C9B5E21-7A4F-4E0D-9B8C-51D2E6F0A713");
// {8E41C0D7-2B63-4F9A-A5E8-0C7D13B9F264}
inline constexpr IID IID_IRNXButton = plat::MakeGuid("8E41C0D7-2B63-4F9A-A5E8-0C7D13B9F264");
// {D0F6A3B2-94C1-4A7E-8E25-6B3F7C1D0A58}
inline constexpr IID IID_ICKelXmlHAL = plat::MakeGuid("D0F6A3B2-94C1-4A7E-8E25-6B3F7C1D0A58");
// {5B7E2D94-C08A-4631-B9F7-2E4A8D6C1F03}
inline constexpr IID IID_IRNXRasterBandHAL = plat::MakeGuid("5B7E2D94-C08A-4631-B9F7-2E4A8D6C1F03");

// The hardware service's object.
struct IRNXHALS : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialize(LONG* lStatus) = 0;
    virtual HRESULT STDMETHODCALLTYPE Uninitialize() = 0;
    virtual HRESULT STDMETHODCALLTYPE LockScanner(LONG lPID, LONG* lpStatus) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockScanner(LONG* lpStatus) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoSCSICmd(LONG lSizeCDB, BYTE* pBufCDB, LONG lSizeData, BYTE* pBufData, LONG lDir,
                                                LONG* lpStatus) = 0;
    virtual HRESULT STDMETHODCALLTYPE Register(IUnknown* pSink, LONG lPID, LONG* lpBEID) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unregister(LONG lBEID) = 0;
    virtual HRESULT STDMETHODCALLTYPE Configure(IUnknown* pXMLSink) = 0;
    virtual HRESULT STDMETHODCALLTYPE Control(LONG lCC, IUnknown* pXMLSink, VARIANT* pvBufIn, VARIANT* pvBufOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE Produce(IUnknown* pRasterBandSink) = 0;
    virtual HRESULT STDMETHODCALLTYPE Configure2(BSTR bstrXML) = 0;
    virtual HRESULT STDMETHODCALLTYPE Produce2(VARIANT* pvBufOut, BSTR* pbstrXML) = 0;
    virtual HRESULT STDMETHODCALLTYPE Control2(LONG lCC, BSTR* pbstrXML, VARIANT* pvBufIn, VARIANT* pvBufOut) = 0;
};

// A client's sink for panel keys and scanner status.
struct IRNXButton : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SendButtonEvent(BSTR szName, LONG lPressType, LONG lFuncNumber) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendStatusEvent(LONG lStatus) = 0;
};

// A client-side XML store the service reads settings from and writes
// results to.
struct ICKelXmlHAL : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialize() = 0;
    virtual HRESULT STDMETHODCALLTYPE ParseXML(BSTR bstrXML) = 0;
    virtual HRESULT STDMETHODCALLTYPE GenerateXML(BSTR* bstrXML) = 0;
    virtual HRESULT STDMETHODCALLTYPE GenerateXMLFromContext(BSTR* bstrXML) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetContext(BSTR pcszPath) = 0;
    virtual HRESULT STDMETHODCALLTYPE SeekRootNode() = 0;
    virtual HRESULT STDMETHODCALLTYPE SeekFirstChild() = 0;
    virtual HRESULT STDMETHODCALLTYPE SeekNextSibling() = 0;
    virtual HRESULT STDMETHODCALLTYPE SeekNextMatch() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentNodeName(BSTR* pbstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateNode(BSTR bstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveNode() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAttribute(BSTR bstrName, BSTR bstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttribute(BSTR bstrName, BSTR* pbstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAttributeInt(BSTR bstrName, INT nValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeInt(BSTR bstrName, INT* nDefault) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeLength(BSTR bstrName, INT* nLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveAttribute(BSTR bstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetStringByName(BSTR bstrName, BSTR bstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetIntByName(BSTR bstrName, INT nValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStringByName(BSTR bstrName, BSTR* pbstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStringLengthByName(BSTR bstrName, INT* nLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIntByName(BSTR bstrName, INT* nDefault) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveToFile(BSTR bstrFilePath) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadFromFile(BSTR bstrFilePath) = 0;
    virtual HRESULT STDMETHODCALLTYPE DumpContext() = 0;
    virtual HRESULT STDMETHODCALLTYPE ImportNode(BSTR bstrNode) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReplaceNode(BSTR bstrNode) = 0;
    virtual HRESULT STDMETHODCALLTYPE SeekParent() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentNodeNameLength(INT* pnLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetString(BSTR bstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInt(INT nValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetString(BSTR* pbstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStringLength(INT* nLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInt(INT* nDefault) = 0;
};

// A client-side raster sink that receives one band per IRNXHALS::Produce.
struct IRNXRasterBandHAL : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE getImageWidth(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE putImageWidth(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE getBytesWritten(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE putBytesWritten(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE getBitsPerPixel(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE putBitsPerPixel(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE getBytesPerLine(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE putBytesPerLine(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE getColorChannelOrder(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE putColorChannelOrder(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE getBitOrder(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE putBitOrder(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE getLineOrder(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE putLineOrder(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE getDpi(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE putDpi(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE getPayloadLevel(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE putPayloadLevel(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE getSizeBuffer(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE putSizeBuffer(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE getStatus(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE putStatus(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE DescribeBufferContent(LONG lWidth, LONG lPixelSize, LONG lLineSize,
                                                            LONG lChannelOrder, LONG lPageDirection, LONG lEndian,
                                                            LONG lResolution, LONG lBandSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
    virtual HRESULT STDMETHODCALLTYPE PutBuffer(VARIANT* pvBufIn) = 0;
};
