// The library's interfaces between two real processes: this test is the
// client, testing/PipelinePeer.cpp serves the objects.
#include "pipeline/proxystub/testing/PipelinePeer.h"
#include "pipeline/testing/FakePayloadSource.h"
#include "pipeline/testing/PipelineLibraryTest.h"
#include "platform/testing/ChildProcess.h"

#include <string>
#include <vector>

namespace {

using namespace pipelinetest;
using plat::ComPtr;
using plat::ScopedBstr;

class CrossProcessTest : public PipelineLibraryTest {
protected:
    void SetUp() override
    {
        PipelineLibraryTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(m_peer.Start(std::string("'") + QBK_PIPELINE_PEER + "'"));
        ASSERT_EQ(m_peer.ReadLine(), "ready");
    }

    template <class Interface>
    ComPtr<Interface> CreateRemote(REFCLSID clsid, REFIID iid)
    {
        ComPtr<Interface> object;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, iid, object.ReleaseAndGetVoidAddress()), S_OK);
        if (object) {
            EXPECT_EQ(plat::rpc::GetPeerProcessId(object.Get()), m_peer.Pid());
        }
        return object;
    }

    plat::testing::ChildProcess m_peer;
};

TEST_F(CrossProcessTest, AnXMLObjOfTheOtherProcessIsUsedFromThisOne)
{
    auto xml = CreateRemote<IXMLObj>(CLSID_XMLObj, IID_IXMLObj);
    ASSERT_TRUE(xml);
    EXPECT_EQ(m_canUnload(), S_FALSE) << "a proxy of the library lives";

    ScopedBstr config(u"config");
    EXPECT_EQ(xml->SetContext(config.Get()), static_cast<HRESULT>(0x80000005u));
    ASSERT_EQ(xml->Initialize(), S_OK);
    ScopedBstr text(u"<scannerSource><scanner>00000000-0000-0000-0000-000000000000</scanner>"
                    u"<config><input><Resolution>300</Resolution></input></config></scannerSource>");
    ASSERT_EQ(xml->ParseXML(text.Get()), S_OK);
    ScopedBstr input(u"/scannerSource/config/input"), output(u"/scannerSource/config/output");
    ASSERT_EQ(xml->SetContext(input.Get()), S_OK);
    EXPECT_EQ(xml->SetContext(output.Get()), S_FALSE);
    ScopedBstr resolution(u"Resolution");
    INT value = 0;
    ASSERT_EQ(xml->SetContext(input.Get()), S_OK);
    EXPECT_EQ(xml->GetIntByName(resolution.Get(), -1, &value), S_OK);
    EXPECT_EQ(value, 300);
    ScopedBstr width(u"Width");
    ASSERT_EQ(xml->SetIntByName(width.Get(), 2550), S_OK);
    ScopedBstr generated;
    ASSERT_EQ(xml->GenerateXMLFromContext(generated.Out()), S_OK);
    EXPECT_EQ(generated.View(), u"<input><Resolution>300</Resolution><Width>2550</Width></input>");

    // Late-bound, through the proxy's own type information.
    ScopedBstr name(u"GetIntByName");
    LPOLESTR names[] = {name.Get()};
    DISPID dispid = 0;
    ASSERT_EQ(xml->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid), S_OK);
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    args[0].vt = VT_INT; // arguments arrive last first
    args[0].intVal = -1;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = width.Get();
    DISPPARAMS params{args, nullptr, 2, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(xml->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.intVal, 2550);
}

// The band is this process's, the source the other's: the bytes the source
// wrote arrive in this band's own buffer.
TEST_F(CrossProcessTest, ABandsBytesArriveIntact)
{
    auto source = CreateRemote<IRNXPayloadSource>(CLSID_PatternSource, IID_IRNXPayloadSource);
    ASSERT_TRUE(source);
    auto band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand);
    ComPtr<IRNXPayload> payload;
    ASSERT_EQ(band->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress()), S_OK);
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);

    for (size_t size : {size_t(0), size_t(1), size_t(65536), size_t(8 << 20)}) {
        std::vector<BYTE> buffer(size + 16, 0xEE);
        band->put_Buffer(buffer.data());
        band->put_BufferSize(static_cast<LONG>(size));
        ASSERT_EQ(source->Produce(&dispatch), S_OK) << size;
        LONG written = -1, width = -1, level = -1;
        band->get_BytesWritten(&written);
        band->get_ImageWidth(&width);
        payload->get_SessionLevel(&level);
        EXPECT_EQ(written, static_cast<LONG>(size));
        EXPECT_EQ(width, static_cast<LONG>(size));
        EXPECT_EQ(level, size > 0 ? 2 : 6);
        size_t wrong = 0;
        for (size_t i = 0; i < size; ++i)
            wrong += buffer[i] != PatternByte(i);
        EXPECT_EQ(wrong, 0u) << size;
        EXPECT_EQ(buffer[size], 0xEE) << "written past the room offered";
    }
    dispatch->Release();

    // A band of the other process is used through its proxy; its buffer
    // stays where it is.
    auto remote = CreateRemote<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand);
    ASSERT_TRUE(remote);
    ASSERT_EQ(remote->SizeBuffer(4096), S_OK);
    LONG size = 0;
    EXPECT_EQ(remote->get_BufferSize(&size), S_OK);
    EXPECT_EQ(size, 4096);
    BYTE* pointer = nullptr;
    EXPECT_EQ(remote->get_Buffer(&pointer), E_NOTIMPL);
}

// This process's band, the other's link, and this process's source behind
// it: the band crosses by value twice, and the source (a dispatch object
// without type information) is found as the payload source it is.
TEST_F(CrossProcessTest, ALinkInTheOtherProcessPullsFromASourceInThisOne)
{
    auto link = CreateRemote<IRNXInterconnection>(CLSID_RNXInterconnection, IID_IRNXInterconnection);
    ASSERT_TRUE(link);
    auto* source = new FakePayloadSource;
    source->handler = [](IDispatch** payload) { return FillWithPattern(*payload, 1); };
    ASSERT_EQ(link->Connect(source), S_OK);

    std::vector<BYTE> buffer(50000, 0);
    auto band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand);
    band->put_Buffer(buffer.data());
    band->put_BufferSize(static_cast<LONG>(buffer.size()));
    IDispatch* payload = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&payload)), S_OK);
    ASSERT_EQ(link->Obtain(&payload), S_OK);
    payload->Release();
    EXPECT_EQ(source->calls, 1);
    LONG written = 0;
    band->get_BytesWritten(&written);
    EXPECT_EQ(written, 50000);
    size_t wrong = 0;
    for (size_t i = 0; i < buffer.size(); ++i)
        wrong += buffer[i] != PatternByte(i + 1);
    EXPECT_EQ(wrong, 0u);

    ASSERT_EQ(link->Connect(nullptr), S_OK);
    source->Release();
}

TEST_F(CrossProcessTest, TheQueuesAnswersAndTheAggregationRuleCross)
{
    auto queue = CreateRemote<IRNXQueue>(CLSID_RNXQueue, IID_IRNXQueue);
    ASSERT_TRUE(queue);
    ComPtr<IRNXPayloadSource> source;
    ASSERT_EQ(queue->QueryInterface(IID_IRNXPayloadSource, source.ReleaseAndGetVoidAddress()), S_OK);
    auto band = Create<IDispatch>(CLSID_RNXRasterBand, IID_IDispatch);
    IDispatch* payload = band.Get();
    EXPECT_EQ(source->Produce(&payload), E_NOTIMPL);
    ComPtr<IUnknown> none;
    EXPECT_EQ(queue->QueryInterface(IID_IXMLObj, none.ReleaseAndGetVoidAddress()), E_NOINTERFACE);

    // No object of another process can be aggregated.
    auto outer = Create<IUnknown>(CLSID_RNXDestination, IID_IUnknown);
    EXPECT_EQ(CoCreateInstance(CLSID_RNXQueue, outer.Get(), CLSCTX_LOCAL_SERVER, IID_IUnknown,
                               none.ReleaseAndGetVoidAddress()),
              CLASS_E_NOAGGREGATION);
}

// Dispatch objects travel as the library's interface they are, in both
// directions.
TEST_F(CrossProcessTest, ACollectionKeepsObjectsOfThisProcess)
{
    auto items = CreateRemote<IItems>(CLSID_ToyItems, IID_IItems);
    ASSERT_TRUE(items);
    auto xml = Create<IXMLObj>(CLSID_XMLObj, IID_IXMLObj);
    ASSERT_EQ(xml->Initialize(), S_OK);
    ScopedBstr text(u"<a>held</a>");
    ASSERT_EQ(xml->ParseXML(text.Get()), S_OK);
    auto queue = Create<IRNXQueue>(CLSID_RNXQueue, IID_IRNXQueue);

    ASSERT_EQ(items->Add(xml.Get()), S_OK);
    ASSERT_EQ(items->Add(queue.Get()), S_OK);
    EXPECT_EQ(items->Add(nullptr), E_POINTER);
    LONG count = 0;
    ASSERT_EQ(items->get_Count(&count), S_OK);
    EXPECT_EQ(count, 2);

    ComPtr<IDispatch> first;
    ASSERT_EQ(items->get_Item(1, first.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_TRUE(first);
    ComPtr<IXMLObj> back;
    ASSERT_EQ(first->QueryInterface(IID_IXMLObj, back.ReleaseAndGetVoidAddress()), S_OK);
    ScopedBstr generated;
    ASSERT_EQ(back->GenerateXML(generated.Out()), S_OK);
    EXPECT_NE(generated.View().find(u"<a>held</a>"), std::u16string_view::npos);
    ComPtr<IDispatch> missing;
    EXPECT_EQ(items->get_Item(3, missing.ReleaseAndGetAddressOf()), E_INVALIDARG);
    EXPECT_FALSE(missing);

    ComPtr<IUnknown> enumerator, identity;
    ASSERT_EQ(items->get__NewEnum(enumerator.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(items->QueryInterface(IID_IUnknown, identity.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(enumerator.Get(), identity.Get());

    ASSERT_EQ(items->Remove(1), S_OK);
    ASSERT_EQ(items->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(items->Clear(), S_OK);
    ASSERT_EQ(items->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);
}

} // namespace
