// Proxies of the four interfaces. The method numbers are the vtable
// positions of RNXHALInterfaces.h.
#include "halservice/proxystub/ProxyBase.h"

namespace rnxhalps {
namespace {

using namespace plat::rpc;

class HALSProxy final : public ProxyBase<IRNXHALS, IID_IRNXHALS> {
public:
    using InterfaceProxyBase::InterfaceProxyBase;

    HRESULT STDMETHODCALLTYPE Initialize(LONG* lStatus) override { return Call(3, LongInOut{lStatus}); }
    HRESULT STDMETHODCALLTYPE Uninitialize() override { return Call(4); }
    HRESULT STDMETHODCALLTYPE LockScanner(LONG lPID, LONG* lpStatus) override
    {
        return Call(5, LongIn{lPID}, LongInOut{lpStatus});
    }
    HRESULT STDMETHODCALLTYPE UnlockScanner(LONG* lpStatus) override { return Call(6, LongInOut{lpStatus}); }
    HRESULT STDMETHODCALLTYPE DoSCSICmd(LONG lSizeCDB, BYTE* pBufCDB, LONG lSizeData, BYTE* pBufData, LONG lDir,
                                        LONG* lpStatus) override;
    HRESULT STDMETHODCALLTYPE Register(IUnknown* pSink, LONG lPID, LONG* lpBEID) override
    {
        return Call(8, UnknownIn{pSink, &IID_IRNXButton}, LongIn{lPID}, LongInOut{lpBEID});
    }
    HRESULT STDMETHODCALLTYPE Unregister(LONG lBEID) override { return Call(9, LongIn{lBEID}); }
    HRESULT STDMETHODCALLTYPE Configure(IUnknown* pXMLSink) override
    {
        return Call(10, UnknownIn{pXMLSink, &IID_ICKelXmlHAL});
    }
    HRESULT STDMETHODCALLTYPE Control(LONG lCC, IUnknown* pXMLSink, VARIANT* pvBufIn, VARIANT* pvBufOut) override
    {
        return Call(11, LongIn{lCC}, UnknownIn{pXMLSink, &IID_ICKelXmlHAL}, VariantIn{pvBufIn}, VariantInOut{pvBufOut});
    }
    HRESULT STDMETHODCALLTYPE Produce(IUnknown* pRasterBandSink) override
    {
        return Call(12, UnknownIn{pRasterBandSink, &IID_IRNXRasterBandHAL});
    }
    HRESULT STDMETHODCALLTYPE Configure2(BSTR bstrXML) override { return Call(13, BstrIn{bstrXML}); }
    HRESULT STDMETHODCALLTYPE Produce2(VARIANT* pvBufOut, BSTR* pbstrXML) override
    {
        return Call(14, VariantInOut{pvBufOut}, BstrInOut{pbstrXML});
    }
    HRESULT STDMETHODCALLTYPE Control2(LONG lCC, BSTR* pbstrXML, VARIANT* pvBufIn, VARIANT* pvBufOut) override
    {
        return Call(15, LongIn{lCC}, BstrInOut{pbstrXML}, VariantIn{pvBufIn}, VariantInOut{pvBufOut});
    }
};

// The CDB goes in, the data buffer both ways, each with its size; the
// sizes are checked before either buffer is read.
struct ScsiBuffers {
    LONG sizeCdb;
    const BYTE* cdb;
    LONG sizeData;
    BYTE* data;

    HRESULT Write(MessageWriter& w) const
    {
        if (sizeCdb < 0 || sizeData < 0)
            return E_INVALIDARG;
        if ((sizeCdb > 0 && !cdb) || (sizeData > 0 && !data))
            return E_POINTER;
        w.WriteSizedBytes(cdb, static_cast<std::uint32_t>(sizeCdb));
        w.WriteSizedBytes(data, static_cast<std::uint32_t>(sizeData));
        return S_OK;
    }
    bool Read(MessageReader& r) const
    {
        const std::uint8_t* back = nullptr;
        std::uint32_t size = 0;
        if (!r.ReadSizedBytes(back, size) || size != static_cast<std::uint32_t>(sizeData))
            return r.Fail(), false;
        if (size > 0)
            std::memcpy(data, back, size);
        return true;
    }
};

HRESULT HALSProxy::DoSCSICmd(LONG lSizeCDB, BYTE* pBufCDB, LONG lSizeData, BYTE* pBufData, LONG lDir, LONG* lpStatus)
{
    return Call(7, ScsiBuffers{lSizeCDB, pBufCDB, lSizeData, pBufData}, LongIn{lDir}, LongInOut{lpStatus});
}

class ButtonProxy final : public ProxyBase<IRNXButton, IID_IRNXButton> {
public:
    using InterfaceProxyBase::InterfaceProxyBase;

    HRESULT STDMETHODCALLTYPE SendButtonEvent(BSTR szName, LONG lPressType, LONG lFuncNumber) override
    {
        return Call(3, BstrIn{szName}, LongIn{lPressType}, LongIn{lFuncNumber});
    }
    HRESULT STDMETHODCALLTYPE SendStatusEvent(LONG lStatus) override { return Call(4, LongIn{lStatus}); }
};

class XmlProxy final : public ProxyBase<ICKelXmlHAL, IID_ICKelXmlHAL> {
public:
    using InterfaceProxyBase::InterfaceProxyBase;

    HRESULT STDMETHODCALLTYPE Initialize() override { return Call(3); }
    HRESULT STDMETHODCALLTYPE ParseXML(BSTR bstrXML) override { return Call(4, BstrIn{bstrXML}); }
    HRESULT STDMETHODCALLTYPE GenerateXML(BSTR* bstrXML) override { return Call(5, BstrOut{bstrXML}); }
    HRESULT STDMETHODCALLTYPE GenerateXMLFromContext(BSTR* bstrXML) override { return Call(6, BstrOut{bstrXML}); }
    HRESULT STDMETHODCALLTYPE SetContext(BSTR pcszPath) override { return Call(7, BstrIn{pcszPath}); }
    HRESULT STDMETHODCALLTYPE SeekRootNode() override { return Call(8); }
    HRESULT STDMETHODCALLTYPE SeekFirstChild() override { return Call(9); }
    HRESULT STDMETHODCALLTYPE SeekNextSibling() override { return Call(10); }
    HRESULT STDMETHODCALLTYPE SeekNextMatch() override { return Call(11); }
    HRESULT STDMETHODCALLTYPE GetCurrentNodeName(BSTR* pbstrName) override { return Call(12, BstrOut{pbstrName}); }
    HRESULT STDMETHODCALLTYPE CreateNode(BSTR bstrName) override { return Call(13, BstrIn{bstrName}); }
    HRESULT STDMETHODCALLTYPE RemoveNode() override { return Call(14); }
    HRESULT STDMETHODCALLTYPE SetAttribute(BSTR bstrName, BSTR bstrValue) override
    {
        return Call(15, BstrIn{bstrName}, BstrIn{bstrValue});
    }
    HRESULT STDMETHODCALLTYPE GetAttribute(BSTR bstrName, BSTR* pbstrValue) override
    {
        return Call(16, BstrIn{bstrName}, BstrOut{pbstrValue});
    }
    HRESULT STDMETHODCALLTYPE SetAttributeInt(BSTR bstrName, INT nValue) override
    {
        return Call(17, BstrIn{bstrName}, LongIn{nValue});
    }
    HRESULT STDMETHODCALLTYPE GetAttributeInt(BSTR bstrName, INT* nDefault) override
    {
        return Call(18, BstrIn{bstrName}, LongInOut{nDefault});
    }
    HRESULT STDMETHODCALLTYPE GetAttributeLength(BSTR bstrName, INT* nLength) override
    {
        return Call(19, BstrIn{bstrName}, LongOut{nLength});
    }
    HRESULT STDMETHODCALLTYPE RemoveAttribute(BSTR bstrName) override { return Call(20, BstrIn{bstrName}); }
    HRESULT STDMETHODCALLTYPE SetStringByName(BSTR bstrName, BSTR bstrValue) override
    {
        return Call(21, BstrIn{bstrName}, BstrIn{bstrValue});
    }
    HRESULT STDMETHODCALLTYPE SetIntByName(BSTR bstrName, INT nValue) override
    {
        return Call(22, BstrIn{bstrName}, LongIn{nValue});
    }
    HRESULT STDMETHODCALLTYPE GetStringByName(BSTR bstrName, BSTR* pbstrValue) override
    {
        return Call(23, BstrIn{bstrName}, BstrOut{pbstrValue});
    }
    HRESULT STDMETHODCALLTYPE GetStringLengthByName(BSTR bstrName, INT* nLen) override
    {
        return Call(24, BstrIn{bstrName}, LongOut{nLen});
    }
    HRESULT STDMETHODCALLTYPE GetIntByName(BSTR bstrName, INT* nDefault) override
    {
        return Call(25, BstrIn{bstrName}, LongInOut{nDefault});
    }
    HRESULT STDMETHODCALLTYPE SaveToFile(BSTR bstrFilePath) override { return Call(26, BstrIn{bstrFilePath}); }
    HRESULT STDMETHODCALLTYPE LoadFromFile(BSTR bstrFilePath) override { return Call(27, BstrIn{bstrFilePath}); }
    HRESULT STDMETHODCALLTYPE DumpContext() override { return Call(28); }
    HRESULT STDMETHODCALLTYPE ImportNode(BSTR bstrNode) override { return Call(29, BstrIn{bstrNode}); }
    HRESULT STDMETHODCALLTYPE ReplaceNode(BSTR bstrNode) override { return Call(30, BstrIn{bstrNode}); }
    HRESULT STDMETHODCALLTYPE SeekParent() override { return Call(31); }
    HRESULT STDMETHODCALLTYPE GetCurrentNodeNameLength(INT* pnLen) override { return Call(32, LongOut{pnLen}); }
    HRESULT STDMETHODCALLTYPE SetString(BSTR bstrValue) override { return Call(33, BstrIn{bstrValue}); }
    HRESULT STDMETHODCALLTYPE SetInt(INT nValue) override { return Call(34, LongIn{nValue}); }
    HRESULT STDMETHODCALLTYPE GetString(BSTR* pbstrValue) override { return Call(35, BstrOut{pbstrValue}); }
    HRESULT STDMETHODCALLTYPE GetStringLength(INT* nLen) override { return Call(36, LongOut{nLen}); }
    HRESULT STDMETHODCALLTYPE GetInt(INT* nDefault) override { return Call(37, LongInOut{nDefault}); }
};

class RasterBandProxy final : public ProxyBase<IRNXRasterBandHAL, IID_IRNXRasterBandHAL> {
public:
    using InterfaceProxyBase::InterfaceProxyBase;

    HRESULT STDMETHODCALLTYPE getImageWidth(LONG* pVal) override { return Call(3, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE putImageWidth(LONG newVal) override { return Call(4, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE getBytesWritten(LONG* pVal) override { return Call(5, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE putBytesWritten(LONG newVal) override { return Call(6, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE getBitsPerPixel(LONG* pVal) override { return Call(7, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE putBitsPerPixel(LONG newVal) override { return Call(8, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE getBytesPerLine(LONG* pVal) override { return Call(9, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE putBytesPerLine(LONG newVal) override { return Call(10, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE getColorChannelOrder(LONG* pVal) override { return Call(11, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE putColorChannelOrder(LONG newVal) override { return Call(12, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE getBitOrder(LONG* pVal) override { return Call(13, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE putBitOrder(LONG newVal) override { return Call(14, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE getLineOrder(LONG* pVal) override { return Call(15, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE putLineOrder(LONG newVal) override { return Call(16, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE getDpi(LONG* pVal) override { return Call(17, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE putDpi(LONG newVal) override { return Call(18, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE getPayloadLevel(LONG* pVal) override { return Call(19, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE putPayloadLevel(LONG newVal) override { return Call(20, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE getSizeBuffer(LONG* pVal) override { return Call(21, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE putSizeBuffer(LONG newVal) override { return Call(22, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE getStatus(LONG* pVal) override { return Call(23, LongOut{pVal}); }
    HRESULT STDMETHODCALLTYPE putStatus(LONG newVal) override { return Call(24, LongIn{newVal}); }
    HRESULT STDMETHODCALLTYPE DescribeBufferContent(LONG lWidth, LONG lPixelSize, LONG lLineSize, LONG lChannelOrder,
                                                    LONG lPageDirection, LONG lEndian, LONG lResolution,
                                                    LONG lBandSize) override
    {
        return Call(25, LongIn{lWidth}, LongIn{lPixelSize}, LongIn{lLineSize}, LongIn{lChannelOrder},
                    LongIn{lPageDirection}, LongIn{lEndian}, LongIn{lResolution}, LongIn{lBandSize});
    }
    HRESULT STDMETHODCALLTYPE Clear() override { return Call(26); }
    HRESULT STDMETHODCALLTYPE PutBuffer(VARIANT* pvBufIn) override { return Call(27, VariantIn{pvBufIn}); }
};

} // namespace

InterfaceProxy* CreateProxy(REFIID iid, RpcChannel* channel, IUnknown* outer)
{
    if (iid == IID_IRNXHALS)
        return new (std::nothrow) HALSProxy(channel, outer);
    if (iid == IID_IRNXButton)
        return new (std::nothrow) ButtonProxy(channel, outer);
    if (iid == IID_ICKelXmlHAL)
        return new (std::nothrow) XmlProxy(channel, outer);
    if (iid == IID_IRNXRasterBandHAL)
        return new (std::nothrow) RasterBandProxy(channel, outer);
    return nullptr;
}

} // namespace rnxhalps
