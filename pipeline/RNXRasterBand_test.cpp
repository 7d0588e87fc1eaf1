#include "pipeline/RNXPayload.h"
#include "pipeline/testing/PipelineLibraryTest.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using Getter = HRESULT (STDMETHODCALLTYPE IRNXRasterBand::*)(LONG*);
using Putter = HRESULT (STDMETHODCALLTYPE IRNXRasterBand::*)(LONG);

struct Property {
    const char* name;
    Getter get;
    Putter put;
    LONG initial;
};

const Property kProperties[] = {
    {"BytesPerLine", &IRNXRasterBand::get_BytesPerLine, &IRNXRasterBand::put_BytesPerLine, 0},
    {"RasterCompression", &IRNXRasterBand::get_RasterCompression, &IRNXRasterBand::put_RasterCompression, -1},
    {"ImageWidth", &IRNXRasterBand::get_ImageWidth, &IRNXRasterBand::put_ImageWidth, -1},
    {"BitsPerPixel", &IRNXRasterBand::get_BitsPerPixel, &IRNXRasterBand::put_BitsPerPixel, -1},
    {"ColorChannelOrder", &IRNXRasterBand::get_ColorChannelOrder, &IRNXRasterBand::put_ColorChannelOrder, -1},
    {"BitOrder", &IRNXRasterBand::get_BitOrder, &IRNXRasterBand::put_BitOrder, -1},
    {"LineOrder", &IRNXRasterBand::get_LineOrder, &IRNXRasterBand::put_LineOrder, -1},
    {"PixelGender", &IRNXRasterBand::get_PixelGender, &IRNXRasterBand::put_PixelGender, -1},
    {"PixelType", &IRNXRasterBand::get_PixelType, &IRNXRasterBand::put_PixelType, -1},
    {"pixelOrder", &IRNXRasterBand::get_pixelOrder, &IRNXRasterBand::put_pixelOrder, -1},
    {"Dpi", &IRNXRasterBand::get_Dpi, &IRNXRasterBand::put_Dpi, 0},
    {"BufferSize", &IRNXRasterBand::get_BufferSize, &IRNXRasterBand::put_BufferSize, 0},
    {"BytesWritten", &IRNXRasterBand::get_BytesWritten, &IRNXRasterBand::put_BytesWritten, 0},
    {"BytesToRead", &IRNXRasterBand::get_BytesToRead, &IRNXRasterBand::put_BytesToRead, 0},
};

LONG Read(IRNXRasterBand* band, Getter get)
{
    LONG value = 12345;
    EXPECT_EQ((band->*get)(&value), S_OK);
    return value;
}

class RasterBandTest : public PipelineLibraryTest {
protected:
    void SetUp() override
    {
        PipelineLibraryTest::SetUp();
        if (HasFatalFailure())
            return;
        band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand);
        ASSERT_TRUE(band);
        ASSERT_EQ(band->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress()), S_OK);
    }
    void TearDown() override
    {
        payload.Reset();
        band.Reset();
        PipelineLibraryTest::TearDown();
    }

    BYTE* Buffer()
    {
        BYTE* buffer = reinterpret_cast<BYTE*>(1);
        EXPECT_EQ(band->get_Buffer(&buffer), S_OK);
        return buffer;
    }

    plat::ComPtr<IRNXRasterBand> band;
    plat::ComPtr<IRNXPayload> payload;
};

TEST_F(RasterBandTest, StartsUndescribedAndKeepsWhatIsPut)
{
    for (const Property& p : kProperties)
        EXPECT_EQ(Read(band.Get(), p.get), p.initial) << p.name;
    EXPECT_EQ(Buffer(), nullptr);
    LONG value = 7;
    EXPECT_EQ(payload->get_SessionLevel(&value), S_OK);
    EXPECT_EQ(value, Tessivo::kLevelNone);
    EXPECT_EQ(payload->get_Status(&value), S_OK);
    EXPECT_EQ(value, Tessivo::PayloadOK);

    // Each property keeps its own value; none is checked.
    LONG next = 100;
    for (const Property& p : kProperties)
        EXPECT_EQ((band.Get()->*p.put)(next++), S_OK) << p.name;
    next = 100;
    for (const Property& p : kProperties)
        EXPECT_EQ(Read(band.Get(), p.get), next++) << p.name;
    EXPECT_EQ(Buffer(), nullptr); // sizes alone never touch the buffer

    for (const Property& p : kProperties)
        EXPECT_EQ((band.Get()->*p.get)(nullptr), E_POINTER) << p.name;
}

TEST_F(RasterBandTest, LevelsAndStatusesRoundTrip)
{
    for (LONG level :
         {Tessivo::kLevelInPage, Tessivo::kLevelEndOfPage, Tessivo::kLevelEndOfSession, Tessivo::kLevelNone}) {
        LONG read = -5;
        EXPECT_EQ(payload->put_SessionLevel(level), S_OK);
        EXPECT_EQ(payload->get_SessionLevel(&read), S_OK);
        EXPECT_EQ(read, level);
    }
    for (LONG status = Tessivo::PayloadNoConnection; status <= Tessivo::PayloadSkew; ++status) {
        LONG read = -5;
        EXPECT_EQ(payload->put_Status(status), S_OK);
        EXPECT_EQ(payload->get_Status(&read), S_OK);
        EXPECT_EQ(read, status);
    }
}

TEST_F(RasterBandTest, DescribeBufferContentStoresItsArgumentsInOrder)
{
    ASSERT_EQ(band->DescribeBufferContent(0, 2550, 24, 7652, 2, 1, 0, 1, 0, 1, 300), S_OK);
    struct Expected {
        Getter get;
        LONG value;
    };
    const Expected expected[] = {
        {&IRNXRasterBand::get_RasterCompression, 0},
        {&IRNXRasterBand::get_ImageWidth, 2550},
        {&IRNXRasterBand::get_BitsPerPixel, 24},
        {&IRNXRasterBand::get_BytesPerLine, 7652},
        {&IRNXRasterBand::get_PixelType, 2},
        {&IRNXRasterBand::get_ColorChannelOrder, 1},
        {&IRNXRasterBand::get_LineOrder, 0},
        {&IRNXRasterBand::get_BitOrder, 1},
        {&IRNXRasterBand::get_PixelGender, 0},
        {&IRNXRasterBand::get_pixelOrder, 1},
        {&IRNXRasterBand::get_Dpi, 300},
    };
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(Read(band.Get(), expected[i].get), expected[i].value) << "field " << i;
}

TEST_F(RasterBandTest, SizeBufferReplacesItsOwnBufferOnly)
{
    ASSERT_EQ(band->SizeBuffer(4096), S_OK);
    BYTE* first = Buffer();
    ASSERT_NE(first, nullptr);
    std::memset(first, 0xAB, 4096);
    band->put_BytesWritten(1000);
    band->put_BytesToRead(500);

    ASSERT_EQ(band->SizeBuffer(4096), S_OK); // the first is freed (the sanitizers see a leak otherwise)
    BYTE* second = Buffer();
    ASSERT_NE(second, nullptr);
    std::memset(second, 0xCD, 4096);
    EXPECT_EQ(Read(band.Get(), &IRNXRasterBand::get_BufferSize), 4096);
    EXPECT_EQ(Read(band.Get(), &IRNXRasterBand::get_BytesWritten), 0);
    EXPECT_EQ(Read(band.Get(), &IRNXRasterBand::get_BytesToRead), 0);

    // A caller's buffer replaces the band's own, which is freed then; the
    // band never frees the caller's, neither on SizeBuffer nor on release.
    std::vector<BYTE> mine(64, 0x11);
    ASSERT_EQ(band->put_Buffer(mine.data()), S_OK);
    EXPECT_EQ(Buffer(), mine.data());
    EXPECT_EQ(Read(band.Get(), &IRNXRasterBand::get_BufferSize), 4096); // the caller sets it
    ASSERT_EQ(band->SizeBuffer(128), S_OK);
    EXPECT_NE(Buffer(), mine.data());
    ASSERT_EQ(band->put_Buffer(mine.data()), S_OK);
    band.Reset();
    payload.Reset();
    EXPECT_EQ(mine[63], 0x11);
}

TEST_F(RasterBandTest, HandingBackItsOwnBufferKeepsIt)
{
    ASSERT_EQ(band->SizeBuffer(256), S_OK);
    BYTE* own = Buffer();
    ASSERT_EQ(band->put_Buffer(own), S_OK);
    std::memset(Buffer(), 0, 256); // still alive, still the band's to free
}

TEST_F(RasterBandTest, FailedSizeBufferLeavesNoBuffer)
{
    ASSERT_EQ(band->SizeBuffer(512), S_OK);
    EXPECT_EQ(band->SizeBuffer(-1), E_OUTOFMEMORY);
    EXPECT_EQ(Buffer(), nullptr);
    EXPECT_EQ(Read(band.Get(), &IRNXRasterBand::get_BufferSize), 0);
    EXPECT_EQ(Read(band.Get(), &IRNXRasterBand::get_BytesWritten), 0);
}

TEST_F(RasterBandTest, MetaContextIsCopiedBothWays)
{
    BSTR text = reinterpret_cast<BSTR>(1);
    ASSERT_EQ(payload->get_MetaContext(&text), S_OK);
    EXPECT_EQ(text, nullptr);

    plat::ScopedBstr abc(u"abc");
    ASSERT_EQ(payload->put_MetaContext(abc.Get()), S_OK);
    plat::ScopedBstr first, second;
    ASSERT_EQ(payload->get_MetaContext(first.Out()), S_OK);
    ASSERT_EQ(payload->get_MetaContext(second.Out()), S_OK);
    EXPECT_EQ(first.View(), u"abc");
    EXPECT_EQ(second.View(), u"abc");
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_NE(first.Get(), abc.Get());

    // Handing back what it gave out stores an equal copy; null clears.
    ASSERT_EQ(payload->put_MetaContext(first.Get()), S_OK);
    ASSERT_EQ(payload->put_MetaContext(nullptr), S_OK);
    ASSERT_EQ(payload->get_MetaContext(first.Out()), S_OK);
    EXPECT_EQ(first.Get(), nullptr);
}

TEST_F(RasterBandTest, AnswersItsInterfacesAndAcceptsAnOuterObject)
{
    plat::ComPtr<IUnknown> dispatch, other;
    ASSERT_EQ(band->QueryInterface(IID_IDispatch, dispatch.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(dispatch.Get(), static_cast<IUnknown*>(band.Get()));
    for (const IID* iid : {&IID_IXMLObj, &IID_IRNXPayloadSource, &IID_IRNXModule})
        EXPECT_EQ(band->QueryInterface(*iid, other.ReleaseAndGetVoidAddress()), E_NOINTERFACE);

    auto outer = Create<IUnknown>(CLSID_RNXDestination, IID_IUnknown);
    plat::ComPtr<IUnknown> inner;
    EXPECT_EQ(CoCreateInstance(CLSID_RNXRasterBand, outer.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                               inner.ReleaseAndGetVoidAddress()),
              S_OK);
    EXPECT_EQ(m_canUnload(), S_FALSE);
}

TEST_F(RasterBandTest, LateBoundCallsReachTheBand)
{
    IDispatch* dispatch = band.Get();
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"describebuffercontent"), const_cast<LPOLESTR>(u"dpi"),
                        const_cast<LPOLESTR>(u"SIZEBUFFER"), const_cast<LPOLESTR>(u"pixelOrder")};
    const DISPID expected[] = {17, 10, 18, 19};
    for (size_t i = 0; i < std::size(names); ++i) {
        DISPID id = 0;
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &names[i], 1, 0, &id), S_OK);
        EXPECT_EQ(id, expected[i]);
    }

    // DescribeBufferContent with its eleven arguments, last first.
    VARIANT args[11];
    for (LONG i = 0; i < 11; ++i) {
        VariantInit(&args[i]);
        args[i].vt = VT_I4;
        args[i].lVal = 10 - i; // compression 0 ... resolution 10
    }
    DISPPARAMS params{args, nullptr, 11, 0};
    ASSERT_EQ(dispatch->Invoke(17, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Read(band.Get(), &IRNXRasterBand::get_ImageWidth), 1);
    EXPECT_EQ(Read(band.Get(), &IRNXRasterBand::get_Dpi), 10);

    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ASSERT_EQ(dispatch->Invoke(19, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 9);
    EXPECT_EQ(dispatch->Invoke(11, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);

    // The buffer travels as a raw pointer, in process only.
    ASSERT_EQ(band->SizeBuffer(16), S_OK);
    ASSERT_EQ(dispatch->Invoke(13, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.vt, VT_UI1 | VT_BYREF);
    EXPECT_EQ(result.pbVal, Buffer());

    // The payload part answers through its own IDispatch.
    VARIANT level;
    VariantInit(&level);
    level.vt = VT_I4;
    level.lVal = Tessivo::kLevelEndOfSession;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&level, &named, 1, 1};
    IDispatch* payloadDispatch = payload.Get();
    ASSERT_EQ(payloadDispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
    LONG read = 0;
    EXPECT_EQ(payload->get_SessionLevel(&read), S_OK);
    EXPECT_EQ(read, Tessivo::kLevelEndOfSession);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(payloadDispatch->GetTypeInfo(0, 0, &info), S_OK);
    GUID iid{};
    info->GetGuid(&iid);
    EXPECT_EQ(iid, IID_IRNXPayload);
    info->Release();
}

} // namespace
