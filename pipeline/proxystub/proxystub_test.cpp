// The library's proxies and stubs in one process: every call goes through
// the wire format over a loopback channel (Loopback.h). The same proxies
// between two processes: crossprocess_test.cpp.
#include "pipeline/proxystub/BandByValue.h"
#include "pipeline/proxystub/testing/Loopback.h"
#include "pipeline/testing/FakePayloadSource.h"
#include "pipeline/testing/PipelineLibraryTest.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using pipelinetest::LoopbackProxy;
using plat::ComPtr;
using plat::ScopedBstr;
using plat::rpc::IProxyStubFactory;

constexpr HRESULT kNoStore = static_cast<HRESULT>(0x80000005u);

class ProxyStubPartTest : public PipelineLibraryTest {
protected:
    void SetUp() override
    {
        PipelineLibraryTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(m_getClassObject(CLSID_RNXCOMCoreProxyStub, plat::rpc::IID_IProxyStubFactory,
                                   factory.ReleaseAndGetVoidAddress()),
                  S_OK);
    }
    void TearDown() override
    {
        factory.Reset();
        PipelineLibraryTest::TearDown();
    }

    // A band of the caller's process lending the caller's buffer.
    ComPtr<IRNXRasterBand> CallerBand(std::vector<BYTE>& buffer)
    {
        auto band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand);
        band->put_Buffer(buffer.data());
        band->put_BufferSize(static_cast<LONG>(buffer.size()));
        return band;
    }

    ComPtr<IProxyStubFactory> factory;
};

using Getter = HRESULT (STDMETHODCALLTYPE IRNXRasterBand::*)(LONG*);
using Putter = HRESULT (STDMETHODCALLTYPE IRNXRasterBand::*)(LONG);

TEST_F(ProxyStubPartTest, EveryBandAndPayloadPropertyCrossesBothWays)
{
    auto band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand);
    LoopbackProxy<IRNXRasterBand> remote(factory.Get(), IID_IRNXRasterBand, band.Get());
    ASSERT_EQ(remote.result, S_OK);
    const std::pair<Getter, Putter> properties[] = {
        {&IRNXRasterBand::get_BytesPerLine, &IRNXRasterBand::put_BytesPerLine},
        {&IRNXRasterBand::get_RasterCompression, &IRNXRasterBand::put_RasterCompression},
        {&IRNXRasterBand::get_ImageWidth, &IRNXRasterBand::put_ImageWidth},
        {&IRNXRasterBand::get_BitsPerPixel, &IRNXRasterBand::put_BitsPerPixel},
        {&IRNXRasterBand::get_ColorChannelOrder, &IRNXRasterBand::put_ColorChannelOrder},
        {&IRNXRasterBand::get_BitOrder, &IRNXRasterBand::put_BitOrder},
        {&IRNXRasterBand::get_LineOrder, &IRNXRasterBand::put_LineOrder},
        {&IRNXRasterBand::get_PixelGender, &IRNXRasterBand::put_PixelGender},
        {&IRNXRasterBand::get_PixelType, &IRNXRasterBand::put_PixelType},
        {&IRNXRasterBand::get_Dpi, &IRNXRasterBand::put_Dpi},
        {&IRNXRasterBand::get_BytesToRead, &IRNXRasterBand::put_BytesToRead},
        {&IRNXRasterBand::get_BytesWritten, &IRNXRasterBand::put_BytesWritten},
        {&IRNXRasterBand::get_BufferSize, &IRNXRasterBand::put_BufferSize},
        {&IRNXRasterBand::get_pixelOrder, &IRNXRasterBand::put_pixelOrder},
    };
    LONG value = 1000;
    for (const auto& [get, put] : properties) {
        ++value;
        ASSERT_EQ((remote.Get()->*put)(value), S_OK);
        LONG here = 0, there = 0;
        EXPECT_EQ((band.Get()->*get)(&here), S_OK);
        EXPECT_EQ((remote.Get()->*get)(&there), S_OK);
        EXPECT_EQ(here, value);
        EXPECT_EQ(there, value);
    }
    // A null out-pointer reaches the object as null.
    EXPECT_EQ(remote->get_Dpi(nullptr), E_POINTER);

    ASSERT_EQ(remote->DescribeBufferContent(0, 2550, 24, 7652, 2, 1, 0, 1, 0, 1, 300), S_OK);
    LONG width = 0, order = 0, dpi = 0;
    band->get_ImageWidth(&width);
    band->get_pixelOrder(&order);
    band->get_Dpi(&dpi);
    EXPECT_EQ(width, 2550);
    EXPECT_EQ(order, 1);
    EXPECT_EQ(dpi, 300);
    ASSERT_EQ(remote->SizeBuffer(4096), S_OK);
    LONG size = 0;
    band->get_BufferSize(&size);
    EXPECT_EQ(size, 4096);

    ComPtr<IRNXPayload> payload;
    ASSERT_EQ(band->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress()), S_OK);
    LoopbackProxy<IRNXPayload> common(factory.Get(), IID_IRNXPayload, band.Get());
    ASSERT_EQ(common->put_SessionLevel(6), S_OK);
    ASSERT_EQ(common->put_Status(8), S_OK);
    LONG level = 0, status = 0;
    EXPECT_EQ(common->get_SessionLevel(&level), S_OK);
    EXPECT_EQ(common->get_Status(&status), S_OK);
    EXPECT_EQ(level, 6);
    EXPECT_EQ(status, 8);
    // Text keeps its length, embedded nulls included; null stays null.
    ScopedBstr meta(std::u16string_view(u"a\0b", 3));
    ASSERT_EQ(common->put_MetaContext(meta.Get()), S_OK);
    ScopedBstr back;
    ASSERT_EQ(common->get_MetaContext(back.Out()), S_OK);
    EXPECT_EQ(back.View(), meta.View());
    ASSERT_EQ(common->put_MetaContext(nullptr), S_OK);
    ASSERT_EQ(common->get_MetaContext(back.Out()), S_OK);
    EXPECT_EQ(back.Get(), nullptr);
}

TEST_F(ProxyStubPartTest, ABufferPointerNeverCrosses)
{
    auto band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand);
    LoopbackProxy<IRNXRasterBand> remote(factory.Get(), IID_IRNXRasterBand, band.Get());
    BYTE bytes[4] = {};
    BYTE* pointer = bytes;
    EXPECT_EQ(remote->put_Buffer(bytes), E_NOTIMPL);
    EXPECT_EQ(remote->get_Buffer(&pointer), E_NOTIMPL);
    EXPECT_EQ(pointer, nullptr);
    EXPECT_EQ(remote.channel.calls, 0);
}

TEST_F(ProxyStubPartTest, LateBoundCallsOnAProxyBecomeItsVtableCalls)
{
    auto band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand);
    LoopbackProxy<IRNXRasterBand> remote(factory.Get(), IID_IRNXRasterBand, band.Get());
    ScopedBstr name(u"DPI");
    LPOLESTR names[] = {name.Get()};
    DISPID dispid = 0;
    ASSERT_EQ(remote->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid), S_OK);
    EXPECT_EQ(remote.channel.calls, 0);

    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = 600;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&arg, &named, 1, 1};
    ASSERT_EQ(remote->Invoke(dispid, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(remote.channel.calls, 1);
    EXPECT_EQ(remote.channel.lastMethod, 26u); // put_Dpi
    LONG dpi = 0;
    band->get_Dpi(&dpi);
    EXPECT_EQ(dpi, 600);

    ITypeInfo* info = nullptr;
    ASSERT_EQ(remote->GetTypeInfo(0, 0, &info), S_OK);
    GUID iid{};
    info->GetGuid(&iid);
    info->Release();
    EXPECT_EQ(iid, IID_IRNXRasterBand);
}

TEST_F(ProxyStubPartTest, XMLObjAnswersCrossUnchanged)
{
    auto xml = Create<IXMLObj>(CLSID_XMLObj, IID_IXMLObj);
    LoopbackProxy<IXMLObj> remote(factory.Get(), IID_IXMLObj, xml.Get());
    ScopedBstr config(u"config");
    EXPECT_EQ(remote->SetContext(config.Get()), kNoStore);
    // Without a store a getter fails and leaves the caller's value alone;
    // GetInt answers false with the default.
    INT value = 77;
    ScopedBstr name(u"Width");
    EXPECT_EQ(remote->GetIntByName(name.Get(), 5, &value), kNoStore);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(remote->GetInt(5, &value), S_FALSE);
    EXPECT_EQ(value, 5);

    ASSERT_EQ(remote->Initialize(), S_OK);
    ScopedBstr text(u"<scannerSource><config><output><Width>2550</Width></output></config></scannerSource>");
    ASSERT_EQ(remote->ParseXML(text.Get()), S_OK);
    ScopedBstr missing(u"/scannerSource/nothing");
    EXPECT_EQ(remote->SetContext(missing.Get()), S_FALSE);
    ScopedBstr output(u"/scannerSource/config/output");
    ASSERT_EQ(remote->SetContext(output.Get()), S_OK);
    ScopedBstr width(u"Width"), height(u"Height");
    EXPECT_EQ(remote->GetIntByName(width.Get(), -1, &value), S_OK);
    EXPECT_EQ(value, 2550);
    EXPECT_EQ(remote->GetIntByName(height.Get(), -1, &value), S_OK);
    EXPECT_EQ(value, -1);
    ScopedBstr scanner(u"scanner"), undefined(u"Undefined"), got;
    EXPECT_EQ(remote->GetStringByName(scanner.Get(), undefined.Get(), got.Out()), S_OK);
    EXPECT_EQ(got.View(), u"Undefined");
    EXPECT_EQ(remote->GetAttribute(nullptr, undefined.Get(), got.Out()), kNoStore);
    EXPECT_EQ(got.Get(), nullptr);

    ScopedBstr here, there;
    ASSERT_EQ(xml->GenerateXML(here.Out()), S_OK);
    ASSERT_EQ(remote->GenerateXML(there.Out()), S_OK);
    EXPECT_EQ(there.View(), here.View());
}

// The callee fills a band of its own process; the caller's band gets the
// values and the bytes, and keeps its buffer.
TEST_F(ProxyStubPartTest, ProduceCarriesTheBandByValue)
{
    std::vector<BYTE> buffer(10000, 0xEE);
    auto caller = CallerBand(buffer);
    caller->put_BytesWritten(9999); // the last band's count stays in this process
    ComPtr<IRNXPayload> callerPayload;
    caller->QueryInterface(IID_IRNXPayload, callerPayload.ReleaseAndGetVoidAddress());

    auto* source = new FakePayloadSource;
    LONG offered = -1, startedWith = -1;
    bool zeroed = false;
    IDispatch* seen = nullptr;
    source->handler = [&](IDispatch** payload) {
        seen = *payload;
        ComPtr<IRNXRasterBand> band;
        (*payload)->QueryInterface(IID_IRNXRasterBand, band.ReleaseAndGetVoidAddress());
        BYTE* bytes = nullptr;
        band->get_Buffer(&bytes);
        band->get_BufferSize(&offered);
        band->get_BytesWritten(&startedWith);
        zeroed = std::all_of(bytes, bytes + offered, [](BYTE b) { return b == 0; });
        for (LONG i = 0; i < 3000; ++i)
            bytes[i] = static_cast<BYTE>(i * 7);
        band->DescribeBufferContent(0, 1000, 24, 3000, 2, 1, 0, 0, 0, 1, 200);
        band->put_BytesWritten(3000);
        ComPtr<IRNXPayload> common;
        band->QueryInterface(IID_IRNXPayload, common.ReleaseAndGetVoidAddress());
        common->put_SessionLevel(2);
        common->put_Status(0);
        return S_OK;
    };
    LoopbackProxy<IRNXPayloadSource> remote(factory.Get(), IID_IRNXPayloadSource, source);
    IDispatch* payload = nullptr;
    caller->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&payload));
    IDispatch* const sent = payload;
    ASSERT_EQ(remote->Produce(&payload), S_OK);
    EXPECT_EQ(payload, sent);
    payload->Release();

    EXPECT_NE(seen, sent);
    EXPECT_EQ(offered, 10000);
    EXPECT_EQ(startedWith, 0);
    EXPECT_TRUE(zeroed);
    BYTE* pointer = nullptr;
    LONG size = 0, written = 0, width = 0, order = 0, level = 0;
    caller->get_Buffer(&pointer);
    caller->get_BufferSize(&size);
    caller->get_BytesWritten(&written);
    caller->get_ImageWidth(&width);
    caller->get_pixelOrder(&order);
    callerPayload->get_SessionLevel(&level);
    EXPECT_EQ(pointer, buffer.data());
    EXPECT_EQ(size, 10000);
    EXPECT_EQ(written, 3000);
    EXPECT_EQ(width, 1000);
    EXPECT_EQ(order, 1);
    EXPECT_EQ(level, 2);
    size_t wrong = 0;
    for (size_t i = 0; i < 3000; ++i)
        wrong += buffer[i] != static_cast<BYTE>(i * 7);
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(buffer[3000], 0xEE); // past the bytes written: untouched
    source->Release();
}

TEST_F(ProxyStubPartTest, ProduceRefusesBytesThatDoNotFitBeforeTouchingTheBuffer)
{
    std::vector<BYTE> buffer(100, 0xEE);
    auto caller = CallerBand(buffer);
    auto* source = new FakePayloadSource;
    LONG claim = 0;
    source->handler = [&](IDispatch** payload) {
        ComPtr<IRNXRasterBand> band;
        (*payload)->QueryInterface(IID_IRNXRasterBand, band.ReleaseAndGetVoidAddress());
        band->put_BytesWritten(claim);
        return S_OK;
    };
    LoopbackProxy<IRNXPayloadSource> remote(factory.Get(), IID_IRNXPayloadSource, source);
    IDispatch* payload = nullptr;
    caller->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&payload));

    // A callee that claims more than the room it was given: nothing comes
    // back, the call fails.
    claim = 101;
    EXPECT_EQ(remote->Produce(&payload), E_UNEXPECTED);
    claim = -1;
    EXPECT_EQ(remote->Produce(&payload), E_UNEXPECTED);
    LONG written = -5;
    caller->get_BytesWritten(&written);
    EXPECT_EQ(written, 0);

    // A forged reply: 200 bytes for a 100-byte buffer, or a count that
    // differs from the bytes sent.
    claim = 100;
    for (std::uint32_t forged : {200u, 99u}) {
        remote.channel.tamper = [&](plat::rpc::Bytes& reply) {
            // The reply ends with the byte count and the bytes.
            std::vector<std::uint8_t> tail(forged, 0x11);
            reply.resize(reply.size() - 100 - 4);
            plat::rpc::MessageWriter w;
            w.WriteSizedBytes(tail.data(), forged);
            reply.insert(reply.end(), w.Data().begin(), w.Data().end());
        };
        EXPECT_EQ(remote->Produce(&payload), RPC_E_INVALID_DATA) << forged;
    }
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](BYTE b) { return b == 0xEE; }));
    payload->Release();
    source->Release();
}

// What the stubs refuse: nothing reaches the object.
TEST_F(ProxyStubPartTest, StubsRefuseRequestsTheyCannotTakeApart)
{
    auto* source = new FakePayloadSource;
    auto band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand);
    struct Case {
        const char* what;
        IUnknown* object;
        IID iid;
        std::uint32_t method;
        std::vector<std::uint8_t> request;
    };
    // A band request: pointer present, band present, 15 values, a null
    // meta context, then the room offered.
    auto bandRequest = [](std::int32_t room) {
        plat::rpc::MessageWriter w;
        w.WriteU8(1);
        w.WriteU8(1);
        for (int i = 0; i < 15; ++i)
            w.WriteI32(0);
        plat::rpc::WriteBstr(w, nullptr);
        w.WriteI32(room);
        return std::vector<std::uint8_t>(w.Data().begin(), w.Data().end());
    };
    std::vector<std::uint8_t> trailing = bandRequest(16);
    trailing.push_back(0);
    std::vector<std::uint8_t> cut = bandRequest(16);
    cut.resize(cut.size() - 1);
    const Case cases[] = {
        {"IDispatch::Invoke", band.Get(), IID_IRNXRasterBand, 6, {}},
        {"get_Buffer", band.Get(), IID_IRNXRasterBand, 27, {1}},
        {"put_Buffer", band.Get(), IID_IRNXRasterBand, 28, {0, 0, 0, 0, 0, 0, 0, 0}},
        {"past the vtable", band.Get(), IID_IRNXRasterBand, 39, {}},
        {"a put with a byte too many", band.Get(), IID_IRNXRasterBand, 26, {1, 0, 0, 0, 0}},
        {"an interface with no operations", band.Get(), IID_ITestFree, 7, {}},
        {"negative room", source, IID_IRNXPayloadSource, 7, bandRequest(-1)},
        {"room past one frame", source, IID_IRNXPayloadSource, 7, bandRequest(rnxcoreps::kMaxBandRoom + 1)},
        {"a presence flag of 2", source, IID_IRNXPayloadSource, 7, {2}},
        {"a cut request", source, IID_IRNXPayloadSource, 7, cut},
        {"a byte too many", source, IID_IRNXPayloadSource, 7, trailing},
    };
    for (const Case& c : cases) {
        plat::rpc::MessageReader request(c.request.data(), c.request.size());
        plat::rpc::MessageWriter results;
        EXPECT_EQ(factory->Invoke(c.iid, c.object, c.method, request, results), RPC_E_INVALID_DATA) << c.what;
    }
    EXPECT_EQ(source->calls, 0);
    LONG dpi = -7;
    band->get_Dpi(&dpi);
    EXPECT_EQ(dpi, 0);

    // A null payload pointer reaches the object as null, and its answer
    // comes back.
    source->handler = [](IDispatch** payload) { return payload ? S_OK : E_POINTER; };
    LoopbackProxy<IRNXPayloadSource> remote(factory.Get(), IID_IRNXPayloadSource, source);
    EXPECT_EQ(remote->Produce(nullptr), E_POINTER);
    source->Release();
}

TEST_F(ProxyStubPartTest, TheClassObjectAndEveryProxyKeepTheLibraryLoaded)
{
    EXPECT_EQ(m_canUnload(), S_FALSE); // the fixture's reference to the class object
    auto xml = Create<IXMLObj>(CLSID_XMLObj, IID_IXMLObj);
    auto remote = std::make_unique<LoopbackProxy<IXMLObj>>(factory.Get(), IID_IXMLObj, xml.Get());
    ASSERT_EQ(remote->result, S_OK);
    xml.Reset();
    factory.Reset();
    EXPECT_EQ(m_canUnload(), S_FALSE); // the proxy alone
    remote.reset();
    EXPECT_EQ(m_canUnload(), S_OK);

    plat::rpc::InterfaceProxy* none = nullptr;
    ASSERT_EQ(m_getClassObject(CLSID_RNXCOMCoreProxyStub, plat::rpc::IID_IProxyStubFactory,
                               factory.ReleaseAndGetVoidAddress()),
              S_OK);
    pipelinetest::LoopbackChannel channel(factory.Get(), nullptr);
    pipelinetest::CountingOuter outer;
    EXPECT_EQ(factory->CreateProxy(IID_IDispatch, &channel, &outer, &none), E_NOINTERFACE);
}

} // namespace
