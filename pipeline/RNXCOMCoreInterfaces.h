// The pipeline library's dual interfaces, as its clients call them. Each
// derives from IDispatch; its own operations follow IDispatch's seven.
#pragma once

#include "pipeline/RNXCOMCoreIds.h"
#include "platform/windows.h"

// The common part of every payload.
struct IRNXPayload : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_SessionLevel(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SessionLevel(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Status(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Status(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MetaContext(BSTR* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MetaContext(BSTR newVal) = 0;
};

// One band of image lines and the description of their format.
struct IRNXRasterBand : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_BytesPerLine(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BytesPerLine(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RasterCompression(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_RasterCompression(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ImageWidth(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ImageWidth(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BitsPerPixel(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BitsPerPixel(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ColorChannelOrder(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ColorChannelOrder(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BitOrder(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BitOrder(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LineOrder(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LineOrder(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PixelGender(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PixelGender(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PixelType(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PixelType(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Dpi(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Dpi(LONG newVal) = 0;
    // Meaningful in process only.
    virtual HRESULT STDMETHODCALLTYPE get_Buffer(BYTE** pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Buffer(BYTE* newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BytesToRead(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BytesToRead(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BytesWritten(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BytesWritten(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BufferSize(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BufferSize(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE DescribeBufferContent(LONG compression, LONG width, LONG BitsPerPixel,
                                                            LONG BytesPerLine, LONG PixelType, LONG ColorChannelOrder,
                                                            LONG LineOrder, LONG BitOrder, LONG PixelGender,
                                                            LONG pixelOrder, LONG resolution) = 0;
    virtual HRESULT STDMETHODCALLTYPE SizeBuffer(LONG lSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_pixelOrder(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_pixelOrder(LONG newVal) = 0;
};

// The XML store as an Automation object.
struct IXMLObj : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Initialize() = 0;
    virtual HRESULT STDMETHODCALLTYPE ParseXML(BSTR bstrXml) = 0;
    virtual HRESULT STDMETHODCALLTYPE GenerateXML(BSTR* bstrXml) = 0;
    virtual HRESULT STDMETHODCALLTYPE GenerateXMLFromContext(BSTR* bstrXml) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetContext(BSTR pbstrPath) = 0;
    virtual HRESULT STDMETHODCALLTYPE SeekRootNode() = 0;
    virtual HRESULT STDMETHODCALLTYPE SeekFirstChild() = 0;
    virtual HRESULT STDMETHODCALLTYPE SeekNextSibling() = 0;
    virtual HRESULT STDMETHODCALLTYPE SeekNextMatch() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentNodeName(BSTR* pbstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateNode(BSTR bstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveNode() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAttribute(BSTR bstrName, BSTR bstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttribute(BSTR bstrName, BSTR bstrDefault, BSTR* pbstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAttributeInt(BSTR bstrName, INT nValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeInt(BSTR bstrName, INT nDefault, INT* nValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeLength(BSTR bstrName, INT* nLength) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveAttribute(BSTR bstrName) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetStringByName(BSTR bstrName, BSTR bstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetIntByName(BSTR bstrName, INT nValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStringByName(BSTR bstrName, BSTR bstrDefault, BSTR* pbstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStringLengthByName(BSTR bstrName, INT* nLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIntByName(BSTR bstrName, INT nDefault, INT* nValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveToFile(BSTR bstrFilePath) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadFromFile(BSTR bstrFilePath) = 0;
    virtual HRESULT STDMETHODCALLTYPE DumpContext() = 0;
    virtual HRESULT STDMETHODCALLTYPE ImportNode(BSTR bstrNode) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReplaceNode(BSTR bstrNode) = 0;
    virtual HRESULT STDMETHODCALLTYPE SeekParent() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentNodeNameLength(INT* pnLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetString(BSTR bstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInt(INT nValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetString(BSTR bstrDefault, BSTR* pbstrValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStringLength(INT* nLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInt(INT nDefault, INT* nValue) = 0;
};

// A pipeline module that fills payloads; the caller passes the address of
// its payload pointer.
struct IRNXPayloadSource : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Produce(IDispatch** thePayload) = 0;
};

// A pipeline module that takes its settings from the pipeline XML.
struct IRNXModule : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Configure(IDispatch* modules, IDispatch* modulesSettings) = 0;
};

// The hardware-service wrapper: takes the service object the client already
// holds.
struct IRNXHALWrap : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE SetCurrentHAL(IUnknown* theHAL) = 0;
};

// The link from a module to its precursor: Obtain asks the precursor's
// IRNXPayloadSource to fill the caller's payload.
struct IRNXInterconnection : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Connect(IDispatch* precursor) = 0;
    virtual HRESULT STDMETHODCALLTYPE Obtain(IDispatch** thePayload) = 0;
};

// A module that reworks what its precursor produces, and the raster
// converter; no operations of their own.
struct IRNXTransform : IDispatch {};
struct IRNXRBConvert : IDispatch {};

// A collection of pipeline objects, numbered from 1 as Automation
// collections are. The type library declares it (coclass Items); the
// library makes no object of it.
struct IItems : IDispatch {
    // An enumerator of the items (DISPID_NEWENUM).
    virtual HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** ppUnk) = 0;
    // The item at a position (DISPID_VALUE).
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG Index, IDispatch** ppItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE Add(IDispatch* Item) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove(LONG Index) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
};

// Interfaces of the empty classes: no operations of their own.
struct IRNXPipelineManager : IDispatch {};
struct IRNXQueue : IDispatch {};
struct IRNXDestination : IDispatch {};
struct IRNXDestinationModule : IDispatch {};
struct ITestFree : IDispatch {};
