// Proxies of the library's interfaces. Method numbers are vtable positions
// (RNXCOMCoreInterfaces.h): IDispatch's operations, 3 to 6, are served by
// each proxy itself.
#include "pipeline/TypeLibrary.h"
#include "pipeline/proxystub/BandByValue.h"
#include "pipeline/proxystub/DispatchArgs.h"
#include "pipeline/proxystub/PipelineProxyStub.h"

namespace rnxcoreps {
namespace {

using namespace plat::rpc;

// The interfaces with no operations of their own.
template <class Itf, const IID& kIid, plat::TypeInfo& (*kInfo)()>
class EmptyProxy final : public ProxyBase<Itf, kIid, kInfo> {
public:
    using ProxyBase<Itf, kIid, kInfo>::ProxyBase;
};

class PayloadProxy final : public ProxyBase<IRNXPayload, IID_IRNXPayload, PayloadTypeInfo> {
public:
    using ProxyBase::ProxyBase;

    HRESULT STDMETHODCALLTYPE get_SessionLevel(LONG* pVal) override { return Call(7, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_SessionLevel(LONG newVal) override { return Call(8, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_Status(LONG* pVal) override { return Call(9, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_Status(LONG newVal) override { return Call(10, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_MetaContext(BSTR* pVal) override { return Call(11, BstrOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_MetaContext(BSTR newVal) override { return Call(12, BstrIn{newVal}); }
};

class RasterBandProxy final : public ProxyBase<IRNXRasterBand, IID_IRNXRasterBand, RasterBandTypeInfo> {
public:
    using ProxyBase::ProxyBase;

    HRESULT STDMETHODCALLTYPE get_BytesPerLine(LONG* pVal) override { return Call(7, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_BytesPerLine(LONG newVal) override { return Call(8, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_RasterCompression(LONG* pVal) override { return Call(9, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_RasterCompression(LONG newVal) override { return Call(10, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_ImageWidth(LONG* pVal) override { return Call(11, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_ImageWidth(LONG newVal) override { return Call(12, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_BitsPerPixel(LONG* pVal) override { return Call(13, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_BitsPerPixel(LONG newVal) override { return Call(14, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_ColorChannelOrder(LONG* pVal) override { return Call(15, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_ColorChannelOrder(LONG newVal) override { return Call(16, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_BitOrder(LONG* pVal) override { return Call(17, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_BitOrder(LONG newVal) override { return Call(18, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_LineOrder(LONG* pVal) override { return Call(19, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_LineOrder(LONG newVal) override { return Call(20, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_PixelGender(LONG* pVal) override { return Call(21, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_PixelGender(LONG newVal) override { return Call(22, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_PixelType(LONG* pVal) override { return Call(23, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_PixelType(LONG newVal) override { return Call(24, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_Dpi(LONG* pVal) override { return Call(25, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_Dpi(LONG newVal) override { return Call(26, LongIn{newVal}); }
    // A pointer into another process's memory would mean nothing here: a
    // band's bytes cross by value with Produce and Obtain (BandByValue.h).
    HRESULT STDMETHODCALLTYPE get_Buffer(BYTE** pVal) override
    {
        if (pVal)
            *pVal = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_Buffer(BYTE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_BytesToRead(LONG* pVal) override { return Call(29, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_BytesToRead(LONG newVal) override { return Call(30, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_BytesWritten(LONG* pVal) override { return Call(31, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_BytesWritten(LONG newVal) override { return Call(32, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE get_BufferSize(LONG* pVal) override { return Call(33, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_BufferSize(LONG newVal) override { return Call(34, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE DescribeBufferContent(LONG compression, LONG width, LONG BitsPerPixel, LONG BytesPerLine,
                                                    LONG PixelType, LONG ColorChannelOrder, LONG LineOrder,
                                                    LONG BitOrder, LONG PixelGender, LONG pixelOrder,
                                                    LONG resolution) override
    {
        return Call(35, LongIn{compression}, LongIn{width}, LongIn{BitsPerPixel}, LongIn{BytesPerLine},
                    LongIn{PixelType}, LongIn{ColorChannelOrder}, LongIn{LineOrder}, LongIn{BitOrder},
                    LongIn{PixelGender}, LongIn{pixelOrder}, LongIn{resolution});
    }
    HRESULT STDMETHODCALLTYPE SizeBuffer(LONG lSize) override { return Call(36, LongIn{lSize}); }
    HRESULT STDMETHODCALLTYPE get_pixelOrder(LONG* pVal) override { return Call(37, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE put_pixelOrder(LONG newVal) override { return Call(38, LongIn{newVal}); }
};

// Integer results travel in and out, so a value the object leaves alone
// (a getter failing without a store) stays the caller's.
class XMLObjProxy final : public ProxyBase<IXMLObj, IID_IXMLObj, XMLObjTypeInfo> {
public:
    using ProxyBase::ProxyBase;

    HRESULT STDMETHODCALLTYPE Initialize() override { return Call(7); }
    HRESULT STDMETHODCALLTYPE ParseXML(BSTR bstrXml) override { return Call(8, BstrIn{bstrXml}); }
    HRESULT STDMETHODCALLTYPE GenerateXML(BSTR* bstrXml) override { return Call(9, BstrOut{bstrXml}); }
    HRESULT STDMETHODCALLTYPE GenerateXMLFromContext(BSTR* bstrXml) override { return Call(10, BstrOut{bstrXml}); }
    HRESULT STDMETHODCALLTYPE SetContext(BSTR pbstrPath) override { return Call(11, BstrIn{pbstrPath}); }
    HRESULT STDMETHODCALLTYPE SeekRootNode() override { return Call(12); }
    HRESULT STDMETHODCALLTYPE SeekFirstChild() override { return Call(13); }
    HRESULT STDMETHODCALLTYPE SeekNextSibling() override { return Call(14); }
    HRESULT STDMETHODCALLTYPE SeekNextMatch() override { return Call(15); }
    HRESULT STDMETHODCALLTYPE GetCurrentNodeName(BSTR* pbstrName) override { return Call(16, BstrOut{pbstrName}); }
    HRESULT STDMETHODCALLTYPE CreateNode(BSTR bstrName) override { return Call(17, BstrIn{bstrName}); }
    HRESULT STDMETHODCALLTYPE RemoveNode() override { return Call(18); }
    HRESULT STDMETHODCALLTYPE SetAttribute(BSTR bstrName, BSTR bstrValue) override
    {
        return Call(19, BstrIn{bstrName}, BstrIn{bstrValue});
    }
    HRESULT STDMETHODCALLTYPE GetAttribute(BSTR bstrName, BSTR bstrDefault, BSTR* pbstrValue) override
    {
        return Call(20, BstrIn{bstrName}, BstrIn{bstrDefault}, BstrOut{pbstrValue});
    }
    HRESULT STDMETHODCALLTYPE SetAttributeInt(BSTR bstrName, INT nValue) override
    {
        return Call(21, BstrIn{bstrName}, LongIn{nValue});
    }
    HRESULT STDMETHODCALLTYPE GetAttributeInt(BSTR bstrName, INT nDefault, INT* nValue) override
    {
        return Call(22, BstrIn{bstrName}, LongIn{nDefault}, LongInOut{nValue});
    }
    HRESULT STDMETHODCALLTYPE GetAttributeLength(BSTR bstrName, INT* nLength) override
    {
        return Call(23, BstrIn{bstrName}, LongInOut{nLength});
    }
    HRESULT STDMETHODCALLTYPE RemoveAttribute(BSTR bstrName) override { return Call(24, BstrIn{bstrName}); }
    HRESULT STDMETHODCALLTYPE SetStringByName(BSTR bstrName, BSTR bstrValue) override
    {
        return Call(25, BstrIn{bstrName}, BstrIn{bstrValue});
    }
    HRESULT STDMETHODCALLTYPE SetIntByName(BSTR bstrName, INT nValue) override
    {
        return Call(26, BstrIn{bstrName}, LongIn{nValue});
    }
    HRESULT STDMETHODCALLTYPE GetStringByName(BSTR bstrName, BSTR bstrDefault, BSTR* pbstrValue) override
    {
        return Call(27, BstrIn{bstrName}, BstrIn{bstrDefault}, BstrOut{pbstrValue});
    }
    HRESULT STDMETHODCALLTYPE GetStringLengthByName(BSTR bstrName, INT* nLen) override
    {
        return Call(28, BstrIn{bstrName}, LongInOut{nLen});
    }
    HRESULT STDMETHODCALLTYPE GetIntByName(BSTR bstrName, INT nDefault, INT* nValue) override
    {
        return Call(29, BstrIn{bstrName}, LongIn{nDefault}, LongInOut{nValue});
    }
    HRESULT STDMETHODCALLTYPE SaveToFile(BSTR bstrFilePath) override { return Call(30, BstrIn{bstrFilePath}); }
    HRESULT STDMETHODCALLTYPE LoadFromFile(BSTR bstrFilePath) override { return Call(31, BstrIn{bstrFilePath}); }
    HRESULT STDMETHODCALLTYPE DumpContext() override { return Call(32); }
    HRESULT STDMETHODCALLTYPE ImportNode(BSTR bstrNode) override { return Call(33, BstrIn{bstrNode}); }
    HRESULT STDMETHODCALLTYPE ReplaceNode(BSTR bstrNode) override { return Call(34, BstrIn{bstrNode}); }
    HRESULT STDMETHODCALLTYPE SeekParent() override { return Call(35); }
    HRESULT STDMETHODCALLTYPE GetCurrentNodeNameLength(INT* pnLen) override { return Call(36, LongInOut{pnLen}); }
    HRESULT STDMETHODCALLTYPE SetString(BSTR bstrValue) override { return Call(37, BstrIn{bstrValue}); }
    HRESULT STDMETHODCALLTYPE SetInt(INT nValue) override { return Call(38, LongIn{nValue}); }
    HRESULT STDMETHODCALLTYPE GetString(BSTR bstrDefault, BSTR* pbstrValue) override
    {
        return Call(39, BstrIn{bstrDefault}, BstrOut{pbstrValue});
    }
    HRESULT STDMETHODCALLTYPE GetStringLength(INT* nLen) override { return Call(40, LongInOut{nLen}); }
    HRESULT STDMETHODCALLTYPE GetInt(INT nDefault, INT* nValue) override
    {
        return Call(41, LongIn{nDefault}, LongInOut{nValue});
    }
};

class PayloadSourceProxy final : public ProxyBase<IRNXPayloadSource, IID_IRNXPayloadSource, PayloadSourceTypeInfo> {
public:
    using ProxyBase::ProxyBase;

    HRESULT STDMETHODCALLTYPE Produce(IDispatch** thePayload) override { return Call(7, BandInOut{thePayload}); }
};

class ModuleProxy final : public ProxyBase<IRNXModule, IID_IRNXModule, ModuleTypeInfo> {
public:
    using ProxyBase::ProxyBase;

    HRESULT STDMETHODCALLTYPE Configure(IDispatch* modules, IDispatch* modulesSettings) override
    {
        return Call(7, DispatchIn{modules}, DispatchIn{modulesSettings});
    }
};

class HALWrapProxy final : public ProxyBase<IRNXHALWrap, IID_IRNXHALWrap, HALWrapTypeInfo> {
public:
    using ProxyBase::ProxyBase;

    HRESULT STDMETHODCALLTYPE SetCurrentHAL(IUnknown* theHAL) override { return Call(7, UnknownIn{theHAL}); }
};

class InterconnectionProxy final
    : public ProxyBase<IRNXInterconnection, IID_IRNXInterconnection, InterconnectionTypeInfo> {
public:
    using ProxyBase::ProxyBase;

    HRESULT STDMETHODCALLTYPE Connect(IDispatch* precursor) override { return Call(7, DispatchIn{precursor}); }
    HRESULT STDMETHODCALLTYPE Obtain(IDispatch** thePayload) override { return Call(8, BandInOut{thePayload}); }
};

class ItemsProxy final : public ProxyBase<IItems, IID_IItems, ItemsTypeInfo> {
public:
    using ProxyBase::ProxyBase;

    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** ppUnk) override { return Call(7, UnknownOut{ppUnk}); }
    HRESULT STDMETHODCALLTYPE get_Item(LONG Index, IDispatch** ppItem) override
    {
        return Call(8, LongIn{Index}, DispatchOut{ppItem});
    }
    HRESULT STDMETHODCALLTYPE get_Count(LONG* pVal) override { return Call(9, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE Add(IDispatch* Item) override { return Call(10, DispatchIn{Item}); }
    HRESULT STDMETHODCALLTYPE Remove(LONG Index) override { return Call(11, LongIn{Index}); }
    HRESULT STDMETHODCALLTYPE Clear() override { return Call(12); }
};

template <class Proxy>
InterfaceProxy* Make(RpcChannel* channel, IUnknown* outer)
{
    return new (std::nothrow) Proxy(channel, outer);
}

struct ProxyMaker {
    const IID& iid;
    InterfaceProxy* (*make)(RpcChannel*, IUnknown*);
};

const ProxyMaker kMakers[] = {
    {IID_IRNXRBConvert, Make<EmptyProxy<IRNXRBConvert, IID_IRNXRBConvert, RBConvertTypeInfo>>},
    {IID_IRNXInterconnection, Make<InterconnectionProxy>},
    {IID_IRNXDestinationModule,
     Make<EmptyProxy<IRNXDestinationModule, IID_IRNXDestinationModule, DestinationModuleTypeInfo>>},
    {IID_IRNXModule, Make<ModuleProxy>},
    {IID_IRNXTransform, Make<EmptyProxy<IRNXTransform, IID_IRNXTransform, TransformTypeInfo>>},
    {IID_IXMLObj, Make<XMLObjProxy>},
    {IID_IRNXHALWrap, Make<HALWrapProxy>},
    {IID_IRNXRasterBand, Make<RasterBandProxy>},
    {IID_IItems, Make<ItemsProxy>},
    {IID_IRNXPayload, Make<PayloadProxy>},
    {IID_IRNXQueue, Make<EmptyProxy<IRNXQueue, IID_IRNXQueue, QueueTypeInfo>>},
    {IID_IRNXPipelineManager, Make<EmptyProxy<IRNXPipelineManager, IID_IRNXPipelineManager, PipelineManagerTypeInfo>>},
    {IID_IRNXPayloadSource, Make<PayloadSourceProxy>},
    {IID_ITestFree, Make<EmptyProxy<ITestFree, IID_ITestFree, TestFreeTypeInfo>>},
    {IID_IRNXDestination, Make<EmptyProxy<IRNXDestination, IID_IRNXDestination, DestinationTypeInfo>>},
};

} // namespace

InterfaceProxy* CreateProxy(REFIID iid, RpcChannel* channel, IUnknown* outer)
{
    for (const ProxyMaker& maker : kMakers) {
        if (maker.iid == iid)
            return maker.make(channel, outer);
    }
    return nullptr;
}

} // namespace rnxcoreps
