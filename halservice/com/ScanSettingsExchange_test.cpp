// Configure, Configure2, Produce and Produce2 against client-side sinks in
// this process and a scanner thread whose configuration and production
// handlers are test doubles.
#include "halservice/com/RNXHALS.h"

#include "diag/MSXML6Store.h"
#include "halservice/interfaces/testing/SinkStubs.h"
#include "halservice/scanner/testing/ScannerSessionFixture.h"
#include "platform/base/strings.h"
#include "platform/oleauto/ScopedBstr.h"
#include "platform/oleauto/ScopedSafeArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using hal::testing::ScannerSessionFixture;
using Bytes = std::vector<BYTE>;
using Calls = std::vector<std::u16string>;

// Configuration and production handlers that record what they were given
// and answer what the test set.
class ExchangeSession : public CScannerWrap {
public:
    // Configuration.
    int configs = 0;
    ConfigScanArgs settings{};
    DWORD pixelsPerLine = 0;
    DWORD lines = 0;
    DWORD bytesPerLine = 0;
    LONG configStatus = 0; // the handler's verdict, 0 accepted
    // Control codes.
    int controls = 0;
    // Production.
    int produces = 0;
    DWORD askedSize = 0;
    Bytes band;
    LONG level = 1;
    LONG status = 0;

protected:
    BOOL S_ConfigScan() override
    {
        ++configs;
        settings = m_funcArgs.ConfigScan;
        const ConfigScanArgs& args = m_funcArgs.ConfigScan;
        *args.PixelsPerLine = pixelsPerLine;
        *args.Lines = lines;
        *args.BytesPerLine = bytesPerLine;
        *args.Status = configStatus;
        return configStatus == 0;
    }
    BOOL S_Control() override
    {
        ++controls;
        return CScannerWrap::S_Control();
    }
    BOOL S_Produce() override
    {
        ++produces;
        const ProduceArgs& args = m_funcArgs.Produce;
        askedSize = args.BufferSize;
        const DWORD count = std::min<DWORD>(static_cast<DWORD>(band.size()), args.BufferSize);
        std::memcpy(args.Buffer, band.data(), count);
        *args.BytesWritten = count;
        *args.PayloadLevel = level;
        *args.PayloadStatus = status;
        return TRUE;
    }
};

// Plain reference counting for sinks that live on the test's stack.
template <class Interface>
class TestSink : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == m_iid) {
            *ppv = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    ULONG refs = 1; // the test's own
    Calls calls;
    // The call (as recorded) that answers E_FAIL instead.
    std::u16string failing;

protected:
    explicit TestSink(REFIID iid) : m_iid(iid) {}
    HRESULT Record(std::u16string call)
    {
        const bool fail = call == failing;
        calls.push_back(std::move(call));
        return fail ? E_FAIL : S_OK;
    }

private:
    IID m_iid;
};

// An XML sink over a store. A missing key answers the value passed in with
// S_OK, as the pipeline's sink does, or E_FAIL with absentFails.
class XmlSink final : public TestSink<hal::testing::XmlHALStub> {
public:
    explicit XmlSink(const char16_t* xml) : TestSink(IID_ICKelXmlHAL), store(CreateMSXML6Store())
    {
        EXPECT_TRUE(store->ParseXML(xml));
    }
    ~XmlSink() { store->Destroy(); }

    HRESULT STDMETHODCALLTYPE SetContext(BSTR path) override
    {
        const HRESULT hr = Record(u"SetContext " + std::u16string(path));
        return SUCCEEDED(hr) && store->SetContext(path) ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE GetIntByName(BSTR name, INT* value) override
    {
        if (FAILED(Record(u"Get " + std::u16string(name))))
            return E_FAIL;
        WCHAR text[32];
        if (!store->GetStringByName(name, text, 32))
            return absentFails ? E_FAIL : S_OK;
        *value = store->GetIntByName(name, *value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetIntByName(BSTR name, INT value) override
    {
        const HRESULT hr = Record(u"Set " + std::u16string(name));
        return SUCCEEDED(hr) && store->SetIntByName(name, value) ? S_OK : E_FAIL;
    }
    std::u16string Xml()
    {
        plat::ScopedBstr text(store->GenerateXML());
        return std::u16string(text.View());
    }

    MSXML6Store* store;
    bool absentFails = false;
};

struct Description {
    LONG width, pixelSize, lineSize, channelOrder, pageDirection, endian, resolution, bandSize;
    bool operator==(const Description&) const = default;
};

// A raster sink that copies the band as the pipeline's does: the band size
// given in DescribeBufferContent, out of the array PutBuffer receives.
class BandSink final : public TestSink<hal::testing::RasterBandHALStub> {
public:
    explicit BandSink(LONG size) : TestSink(IID_IRNXRasterBandHAL), sizeBuffer(size) {}

    HRESULT STDMETHODCALLTYPE getSizeBuffer(LONG* value) override
    {
        *value = sizeBuffer;
        return Record(u"getSizeBuffer");
    }
    HRESULT STDMETHODCALLTYPE putStatus(LONG value) override
    {
        status = value;
        return Record(u"putStatus");
    }
    HRESULT STDMETHODCALLTYPE putPayloadLevel(LONG value) override
    {
        level = value;
        return Record(u"putPayloadLevel");
    }
    HRESULT STDMETHODCALLTYPE DescribeBufferContent(LONG lWidth, LONG lPixelSize, LONG lLineSize, LONG lChannelOrder,
                                                    LONG lPageDirection, LONG lEndian, LONG lResolution,
                                                    LONG lBandSize) override
    {
        description = {lWidth, lPixelSize, lLineSize, lChannelOrder, lPageDirection, lEndian, lResolution, lBandSize};
        return Record(u"DescribeBufferContent");
    }
    HRESULT STDMETHODCALLTYPE PutBuffer(VARIANT* buffer) override
    {
        const HRESULT hr = Record(u"PutBuffer");
        if (FAILED(hr))
            return hr;
        variantType = buffer->vt;
        const SAFEARRAY* array = buffer->parray;
        if (!array || array->rgsabound[0].cElements < static_cast<ULONG>(description.bandSize))
            return E_OUTOFMEMORY;
        arrayElements = array->rgsabound[0].cElements;
        const BYTE* data = static_cast<const BYTE*>(array->pvData);
        received.assign(data, data + description.bandSize);
        return S_OK;
    }

    LONG sizeBuffer;
    LONG status = -99;
    LONG level = -99;
    Description description{};
    VARTYPE variantType = VT_EMPTY;
    ULONG arrayElements = 0;
    Bytes received;
};

// Every key in the order the service reads them.
// clang-format off
const char16_t* const kKeys[] = {
    u"Width", u"Height", u"BitsPerPixel", u"Duplex", u"DPI", u"Pages", u"Brightness", u"Contrast", u"Threshold",
    u"Compression", u"CompressionRatio", u"DFD", u"DFDSensitivity", u"DFDAction", u"SimpleColorDropout",
    u"StopSkew", u"Deskew", u"AutomaticThreshold", u"Dither", u"AutomaticSeparation", u"WhiteLevelFromPaper",
    u"NoiseReductionWindow", u"NoiseReductionColor", u"LengthControl", u"DetectPaperWidth", u"Margin",
    u"LongPaper", u"FitToPage", u"UseGammaTable", u"HardwareInvert", u"HardwareMirror",
};
// clang-format on

// A settings document whose key number i (from 1) has the value 100 + i,
// with the keys from `missingFrom` on left out.
std::u16string SettingsXml(size_t missingFrom = std::size(kKeys))
{
    std::u16string xml = u"<config><input>";
    for (size_t i = 0; i < missingFrom; ++i) {
        const std::u16string value = Utf8ToUtf16(std::to_string(101 + i));
        xml += u"<" + std::u16string(kKeys[i]) + u">" + value + u"</" + std::u16string(kKeys[i]) + u">";
    }
    return xml + u"</input><output/></config>";
}

Calls ConfigureCalls()
{
    Calls calls = {u"SetContext /config/input"};
    for (const char16_t* key : kKeys)
        calls.push_back(u"Get " + std::u16string(key));
    for (const char16_t* key : {u"Width", u"Height", u"BytesPerLine", u"Status"})
        calls.push_back(u"Set " + std::u16string(key));
    calls.insert(calls.end() - 4, u"SetContext /config/output");
    return calls;
}

class ScanSettingsExchangeTest : public ScannerSessionFixture {
protected:
    void SetUp() override
    {
        auto session = std::make_unique<ExchangeSession>();
        m_exchange = session.get();
        m_session = std::move(session);
        ScannerSessionFixture::SetUp();
        m_exchange->pixelsPerLine = 2550;
        m_exchange->lines = 3300;
        m_exchange->bytesPerLine = 7650;
    }
    void TearDown() override
    {
        if (m_hal)
            m_hal->Release();
        ScannerSessionFixture::TearDown();
    }
    // A joined object; off-line leaves the scanner unplugged.
    void Join(bool online = true)
    {
        if (online)
            Plug();
        m_hal = new CRNXHALS(m_session.get());
        LONG status = 99;
        ASSERT_EQ(m_hal->Initialize(&status), S_OK);
        ASSERT_EQ(status, online ? 0 : -1);
    }
    void Describe(LONG dpi, LONG width, LONG bitsPerPixel, LONG bytesPerLine)
    {
        m_hal->m_DPI = dpi;
        m_hal->m_ImageWidth = width;
        m_hal->m_BitsPerPixel = bitsPerPixel;
        m_hal->m_BytesPerLine = bytesPerLine;
    }
    std::vector<LONG> DescriptionNow() const
    {
        return {m_hal->m_DPI, m_hal->m_ImageWidth, m_hal->m_BitsPerPixel, m_hal->m_BytesPerLine};
    }

    ExchangeSession* m_exchange = nullptr;
    CRNXHALS* m_hal = nullptr;
};

LONG IntAt(MSXML6Store* store, const char16_t* path, const char16_t* name)
{
    if (!store->SetContext(path))
        return -12345;
    return store->GetIntByName(name, -12345);
}

TEST_F(ScanSettingsExchangeTest, ConfigureReadsEveryKeyInOrderAndWritesTheGeometry)
{
    Join();
    XmlSink sink(SettingsXml().c_str());
    ASSERT_EQ(m_hal->Configure(&sink), S_OK);

    EXPECT_EQ(sink.calls, ConfigureCalls());
    ASSERT_EQ(m_exchange->configs, 1);
    const ConfigScanArgs& s = m_exchange->settings;
    // Each key reaches the setting of its name (key i carries 100 + i).
    EXPECT_EQ(s.Width, 101);
    EXPECT_EQ(s.DPI, 105);
    EXPECT_EQ(s.Threshold, 109);
    EXPECT_EQ(s.Compression, 110);
    EXPECT_EQ(s.UseGammaTable, 129);
    EXPECT_EQ(s.HardwareMirror, 131);

    EXPECT_EQ(IntAt(sink.store, u"/config/output", u"Width"), 2550);
    EXPECT_EQ(IntAt(sink.store, u"/config/output", u"Height"), 3300);
    EXPECT_EQ(IntAt(sink.store, u"/config/output", u"BytesPerLine"), 7650);
    EXPECT_EQ(IntAt(sink.store, u"/config/output", u"Status"), 0);
    // DPI and bits per pixel as given; the width is the scanner's pixels.
    EXPECT_EQ(DescriptionNow(), (std::vector<LONG>{105, 2550, 103, 7650}));
    EXPECT_EQ(sink.refs, 1u);
}

TEST_F(ScanSettingsExchangeTest, AConfigurationTheScannerRefusedSaysWhyInStatus)
{
    Join();
    m_exchange->configStatus = 7; // cover open
    XmlSink sink(SettingsXml().c_str());
    ASSERT_EQ(m_hal->Configure(&sink), S_OK);
    EXPECT_EQ(sink.calls, ConfigureCalls());
    EXPECT_EQ(IntAt(sink.store, u"/config/output", u"Status"), 7);
    EXPECT_EQ(IntAt(sink.store, u"/config/output", u"Width"), 2550);

    // The text form has no answer to carry it.
    EXPECT_EQ(m_hal->Configure2(plat::ScopedBstr(SettingsXml()).Get()), S_OK);
    EXPECT_EQ(m_exchange->configs, 2);
}

TEST_F(ScanSettingsExchangeTest, OptionalKeysDefaultToZeroAndAMissingRequiredKeyEndsConfigure)
{
    Join();
    {
        // Compression and all later keys absent, even with a sink that
        // reports absence as failure.
        XmlSink sink(SettingsXml(9).c_str());
        sink.absentFails = true;
        ASSERT_EQ(m_hal->Configure(&sink), S_OK);
        ASSERT_EQ(m_exchange->configs, 1);
        EXPECT_EQ(m_exchange->settings.Threshold, 109);
        EXPECT_EQ(m_exchange->settings.Compression, 0);
        EXPECT_EQ(m_exchange->settings.HardwareMirror, 0);
    }
    Describe(1, 2, 3, 4);
    for (size_t missing : {size_t{0}, size_t{8}}) {
        SCOPED_TRACE(Utf16ToUtf8(kKeys[missing]));
        XmlSink sink(SettingsXml(missing).c_str());
        sink.absentFails = true;
        EXPECT_EQ(m_hal->Configure(&sink), E_FAIL);
        EXPECT_EQ(m_exchange->configs, 1);
        EXPECT_EQ(sink.calls.back(), u"Get " + std::u16string(kKeys[missing]));
        EXPECT_EQ(sink.calls.size(), missing + 2);
        EXPECT_EQ(DescriptionNow(), (std::vector<LONG>{1, 2, 3, 4}));
        EXPECT_EQ(sink.refs, 1u);
    }
}

TEST_F(ScanSettingsExchangeTest, AFailingSinkCallEndsConfigureWithItsResult)
{
    Join();
    struct Case {
        const char16_t* failing;
        int configs; // configurations made by then
    };
    int configs = 0;
    for (const Case& c : {Case{u"SetContext /config/input", 0}, Case{u"Get Threshold", 0},
                          Case{u"SetContext /config/output", 1}, Case{u"Set BytesPerLine", 1}}) {
        SCOPED_TRACE(Utf16ToUtf8(c.failing));
        Describe(1, 2, 3, 4);
        XmlSink sink(SettingsXml().c_str());
        sink.failing = c.failing;
        EXPECT_EQ(m_hal->Configure(&sink), E_FAIL);
        configs += c.configs;
        EXPECT_EQ(m_exchange->configs, configs);
        EXPECT_EQ(sink.calls.back(), c.failing);
        EXPECT_EQ(DescriptionNow(), (std::vector<LONG>{1, 2, 3, 4}));
    }
}

TEST_F(ScanSettingsExchangeTest, Configure2TakesTheSettingsFromText)
{
    Join();
    ASSERT_EQ(m_hal->Configure2(plat::ScopedBstr(SettingsXml()).Get()), S_OK);
    ASSERT_EQ(m_exchange->configs, 1);
    EXPECT_EQ(m_exchange->settings.Height, 102);
    EXPECT_EQ(m_exchange->settings.NoiseReductionColor, 123);
    EXPECT_EQ(DescriptionNow(), (std::vector<LONG>{105, 2550, 103, 7650}));

    // An empty input configures with every setting 0.
    ASSERT_EQ(m_hal->Configure2(plat::ScopedBstr(u"<config><input/></config>").Get()), S_OK);
    ASSERT_EQ(m_exchange->configs, 2);
    ConfigScanArgs zero{};
    EXPECT_EQ(std::memcmp(&m_exchange->settings, &zero, offsetof(ConfigScanArgs, Status)), 0);

    // Text without the input, text that is no XML, and no text: nothing
    // reaches the scanner.
    for (const char16_t* text :
         {u"<config><output/></config>", u"<config><input>", static_cast<const char16_t*>(nullptr)}) {
        plat::ScopedBstr bstr(text);
        EXPECT_EQ(m_hal->Configure2(bstr.Get()), E_FAIL);
    }
    EXPECT_EQ(m_exchange->configs, 2);
}

TEST_F(ScanSettingsExchangeTest, ProduceDescribesTheBandAndHandsOverItsBytes)
{
    Join();
    XmlSink settings(SettingsXml().c_str());
    ASSERT_EQ(m_hal->Configure(&settings), S_OK);
    for (size_t i = 0; i < 15300; ++i)
        m_exchange->band.push_back(static_cast<BYTE>(i * 13));
    m_exchange->level = 2;
    m_exchange->status = 0;

    BandSink sink(20000);
    ASSERT_EQ(m_hal->Produce(&sink), S_OK);
    EXPECT_EQ(sink.calls,
              (Calls{u"getSizeBuffer", u"putStatus", u"putPayloadLevel", u"DescribeBufferContent", u"PutBuffer"}));
    EXPECT_EQ(m_exchange->askedSize, 20000u);
    EXPECT_EQ(sink.status, 0);
    EXPECT_EQ(sink.level, 2);
    // The pixels per line that the configuration wrote, not the paper width.
    EXPECT_EQ(sink.description, (Description{2550, 103, 7650, 0, 0, 0, 105, 15300}));
    EXPECT_EQ(sink.variantType, VT_ARRAY | VT_UI1);
    // Only the bytes written travel, not the whole buffer.
    EXPECT_EQ(sink.arrayElements, 15300u);
    EXPECT_EQ(sink.received, m_exchange->band);
    EXPECT_EQ(sink.refs, 1u);

    // A failed band travels in the status and level with S_OK.
    m_exchange->band.clear();
    m_exchange->level = 6;
    m_exchange->status = 3;
    BandSink failed(7650);
    ASSERT_EQ(m_hal->Produce(&failed), S_OK);
    EXPECT_EQ(failed.status, 3);
    EXPECT_EQ(failed.level, 6);
    EXPECT_EQ(failed.description.bandSize, 0);
}

TEST_F(ScanSettingsExchangeTest, ProduceStopsAtTheFirstFailingSinkCall)
{
    Join();
    m_exchange->band = Bytes(100, 7);
    struct Case {
        const char16_t* failing;
        int produces;
        size_t calls;
    };
    int produces = 0;
    for (const Case& c : {Case{u"getSizeBuffer", 0, 1}, Case{u"putStatus", 1, 2}, Case{u"putPayloadLevel", 1, 3},
                          Case{u"DescribeBufferContent", 1, 4}, Case{u"PutBuffer", 1, 5}}) {
        SCOPED_TRACE(Utf16ToUtf8(c.failing));
        BandSink sink(100);
        sink.failing = c.failing;
        EXPECT_EQ(m_hal->Produce(&sink), E_FAIL);
        produces += c.produces;
        EXPECT_EQ(m_exchange->produces, produces);
        EXPECT_EQ(sink.calls.size(), c.calls);
        EXPECT_TRUE(sink.received.empty());
        EXPECT_EQ(sink.refs, 1u);
    }

    // A negative buffer size is refused before the scanner is asked.
    BandSink negative(-1);
    EXPECT_EQ(m_hal->Produce(&negative), E_INVALIDARG);
    EXPECT_EQ(m_exchange->produces, produces);
}

TEST_F(ScanSettingsExchangeTest, Produce2AnswersInXmlAndAsksForWholeLines)
{
    Join();
    Describe(300, 1000, 24, 3000);
    m_exchange->band = Bytes(12000, 0x5A);
    m_exchange->level = 2;
    m_exchange->status = 0;

    plat::ScopedSafeArray array(SafeArrayCreateVector(VT_UI1, 0, 10000));
    VARIANT buffer{};
    buffer.vt = VT_ARRAY | VT_UI1;
    buffer.parray = array.Get();
    BSTR xml = SysAllocString(u"the caller's old text");
    ASSERT_EQ(m_hal->Produce2(&buffer, &xml), S_OK);
    plat::ScopedBstr answer;
    answer.Reset(xml);

    EXPECT_EQ(m_exchange->askedSize, 9000u);
    const BYTE* data = static_cast<const BYTE*>(array.Get()->pvData);
    EXPECT_EQ(Bytes(data, data + 9000), Bytes(9000, 0x5A));
    EXPECT_EQ(data[9000], 0);
    EXPECT_EQ(answer.View(), u"<produce><empty/><output><ImageWidth>1000</ImageWidth><BitsPerPixel>24</BitsPerPixel>"
                             u"<BytesPerLine>3000</BytesPerLine><ColorChannelOrder>0</ColorChannelOrder>"
                             u"<LineOrder>0</LineOrder><BitOrder>0</BitOrder><DPI>300</DPI>"
                             u"<BytesWritten>9000</BytesWritten><Status>0</Status><End>2</End></output></produce>");

    // An array smaller than one line asks for nothing.
    plat::ScopedSafeArray small(SafeArrayCreateVector(VT_UI1, 0, 2999));
    buffer.parray = small.Get();
    BSTR none = nullptr;
    ASSERT_EQ(m_hal->Produce2(&buffer, &none), S_OK);
    plat::ScopedBstr smallAnswer;
    smallAnswer.Reset(none);
    EXPECT_EQ(m_exchange->askedSize, 0u);
    EXPECT_NE(smallAnswer.View().find(u"<BytesWritten>0</BytesWritten>"), std::u16string_view::npos);
}

TEST_F(ScanSettingsExchangeTest, Produce2RefusesWhatCannotTakeABandBeforeAnyRequest)
{
    Join();
    plat::ScopedSafeArray words(SafeArrayCreateVector(VT_I4, 0, 3000));
    plat::ScopedSafeArray bytes(SafeArrayCreateVector(VT_UI1, 0, 3000));
    VARIANT wordArray{};
    wordArray.vt = VT_ARRAY | VT_I4;
    wordArray.parray = words.Get();
    VARIANT byteArray{};
    byteArray.vt = VT_ARRAY | VT_UI1;
    byteArray.parray = bytes.Get();
    VARIANT noArray{};
    noArray.vt = VT_ARRAY | VT_UI1;
    VARIANT empty{};
    BSTR xml = nullptr;

    // Not configured yet: no whole line can be asked for.
    EXPECT_EQ(m_hal->Produce2(&byteArray, &xml), E_FAIL);
    Describe(300, 1000, 8, 1000);
    EXPECT_EQ(m_hal->Produce2(&wordArray, &xml), E_INVALIDARG);
    EXPECT_EQ(m_hal->Produce2(&noArray, &xml), E_INVALIDARG);
    EXPECT_EQ(m_hal->Produce2(&empty, &xml), E_INVALIDARG);
    EXPECT_EQ(m_exchange->produces, 0);
    EXPECT_EQ(xml, nullptr);
}

TEST_F(ScanSettingsExchangeTest, NullPointersWrongSinksAndAnOfflineScanner)
{
    Join(false);
    XmlSink xmlSink(SettingsXml().c_str());
    BandSink bandSink(100);
    plat::ScopedSafeArray bytes(SafeArrayCreateVector(VT_UI1, 0, 100));
    VARIANT buffer{};
    buffer.vt = VT_ARRAY | VT_UI1;
    buffer.parray = bytes.Get();
    BSTR xml = nullptr;

    EXPECT_EQ(m_hal->Configure(nullptr), E_POINTER);
    EXPECT_EQ(m_hal->Produce(nullptr), E_POINTER);
    EXPECT_EQ(m_hal->Produce2(nullptr, &xml), E_POINTER);
    EXPECT_EQ(m_hal->Produce2(&buffer, nullptr), E_POINTER);
    EXPECT_EQ(m_hal->Configure(&bandSink), E_NOINTERFACE);
    EXPECT_EQ(m_hal->Produce(&xmlSink), E_NOINTERFACE);

    // Off-line: nothing is handed over, no output written, nothing kept.
    Describe(100, 200, 8, 50);
    EXPECT_EQ(m_hal->Configure(&xmlSink), E_FAIL);
    EXPECT_EQ(IntAt(xmlSink.store, u"/config/output", u"Width"), -12345);
    EXPECT_EQ(m_hal->Configure2(plat::ScopedBstr(SettingsXml()).Get()), E_FAIL);
    EXPECT_EQ(m_hal->Produce(&bandSink), E_FAIL);
    EXPECT_EQ(bandSink.calls, (Calls{u"getSizeBuffer"}));
    EXPECT_EQ(m_hal->Produce2(&buffer, &xml), E_FAIL);
    EXPECT_EQ(xml, nullptr);
    EXPECT_EQ(DescriptionNow(), (std::vector<LONG>{100, 200, 8, 50}));
    EXPECT_EQ(m_exchange->configs + m_exchange->produces, 0);
    EXPECT_EQ(xmlSink.refs, 1u);
    EXPECT_EQ(bandSink.refs, 1u);
}

// While one client object holds the scanner lock, another one's calls that
// would reach the scanner are refused as a request that cannot be handed
// over; what every client may do stays open to it.
TEST_F(ScanSettingsExchangeTest, WhileAnotherClientHoldsTheLockNoneOfThisOnesCommandsReachTheScanner)
{
    Join();
    // Configured while nobody held the lock, so Produce2 has whole lines to ask for.
    ASSERT_EQ(m_hal->Configure2(plat::ScopedBstr(SettingsXml()).Get()), S_OK);
    CRNXHALS* holder = new CRNXHALS(m_session.get());
    LONG status = 99;
    ASSERT_EQ(holder->Initialize(&status), S_OK);
    ASSERT_EQ(holder->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
    ASSERT_EQ(status, 0);

    const int configs = m_exchange->configs;
    const size_t commands = m_scanner->Log().Entries().size();
    XmlSink xmlSink(SettingsXml().c_str());
    BandSink bandSink(100);
    plat::ScopedSafeArray bytes(SafeArrayCreateVector(VT_UI1, 0, 16000));
    VARIANT buffer{};
    buffer.vt = VT_ARRAY | VT_UI1;
    buffer.parray = bytes.Get();
    BSTR xml = nullptr;
    VARIANT none{};
    BYTE inquiry[6] = {0x12, 0, 0, 0, 36, 0};
    BYTE data[36] = {};
    LONG scsiStatus = 99;
    struct Case {
        const char* call;
        std::function<HRESULT()> run;
    };
    const Case refused[] = {
        {"DoSCSICmd", [&] { return m_hal->DoSCSICmd(6, inquiry, 36, data, 1, &scsiStatus); }},
        {"Control2", [&] { return m_hal->Control2(4, &xml, &none, &buffer); }},
        {"Configure", [&] { return m_hal->Configure(&xmlSink); }},
        {"Configure2", [&] { return m_hal->Configure2(plat::ScopedBstr(SettingsXml()).Get()); }},
        {"Produce", [&] { return m_hal->Produce(&bandSink); }},
        {"Produce2", [&] { return m_hal->Produce2(&buffer, &xml); }},
    };
    for (const Case& c : refused)
        EXPECT_EQ(c.run(), E_FAIL) << c.call;
    EXPECT_EQ(scsiStatus, 99);
    EXPECT_EQ(xml, nullptr);
    EXPECT_EQ(IntAt(xmlSink.store, u"/config/output", u"Width"), -12345);
    EXPECT_EQ(m_exchange->configs, configs);
    EXPECT_EQ(m_exchange->produces + m_exchange->controls, 0);
    EXPECT_EQ(m_scanner->Log().Entries().size(), commands);

    // What every client may do.
    hal::testing::RecordingButtonSink sink;
    LONG id = -1;
    EXPECT_EQ(m_hal->Register(&sink, static_cast<LONG>(GetCurrentProcessId()), &id), S_OK);
    EXPECT_NE(id, -1);
    EXPECT_EQ(m_hal->Unregister(id), S_OK);
    EXPECT_EQ(m_hal->Control(4, &xmlSink, &none, &buffer), S_OK);
    EXPECT_EQ(m_hal->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
    EXPECT_EQ(status, 1);

    // The holder is served; once it lets go, so is everybody.
    EXPECT_EQ(holder->Configure2(plat::ScopedBstr(SettingsXml()).Get()), S_OK);
    EXPECT_EQ(m_exchange->configs, configs + 1);
    ASSERT_EQ(holder->UnlockScanner(&status), S_OK);
    EXPECT_EQ(m_hal->Configure2(plat::ScopedBstr(SettingsXml()).Get()), S_OK);
    EXPECT_EQ(m_exchange->configs, configs + 2);
    holder->Uninitialize();
    holder->Release();
}

// The real scanner thread against the emulated scanner.
class ScanSettingsEndToEndTest : public ScannerSessionFixture {
protected:
    void TearDown() override
    {
        if (m_hal)
            m_hal->Release();
        ScannerSessionFixture::TearDown();
    }
    void Ready()
    {
        Plug();
        m_hal = new CRNXHALS(m_session.get());
        LONG status = 99;
        ASSERT_EQ(m_hal->Initialize(&status), S_OK);
        ASSERT_EQ(status, 0);
        ASSERT_EQ(m_hal->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
        ASSERT_EQ(status, 0);
    }
    // Runs a call on a caller thread; the clock moves whenever the scanner
    // thread waits inside a handler (readiness and buffered-data pauses).
    template <class Call>
    HRESULT Run(Call call)
    {
        HRESULT hr = E_UNEXPECTED;
        RunMovingClock([&] { hr = call(); }, 100);
        return hr;
    }

    CRNXHALS* m_hal = nullptr;
};

TEST_F(ScanSettingsEndToEndTest, ConfiguredPageArrivesInBandsUntilTheJobEnds)
{
    Ready();
    m_scanner->LoadSheets(1);
    // 1 in by 0.5 in, 24-bit, 100 dpi, one side.
    XmlSink settings(u"<config><input><Width>1000</Width><Height>500</Height><BitsPerPixel>24</BitsPerPixel>"
                     u"<Duplex>0</Duplex><DPI>100</DPI><Pages>1</Pages><Brightness>128</Brightness>"
                     u"<Contrast>128</Contrast><Threshold>128</Threshold></input><output/></config>");
    ASSERT_EQ(Run([&] { return m_hal->Configure(&settings); }), S_OK);
    // The scanner's line is whole pixels of its own choosing: 96 of 3 bytes.
    const LONG width = IntAt(settings.store, u"/config/output", u"Width");
    const LONG lines = IntAt(settings.store, u"/config/output", u"Height");
    const LONG bytesPerLine = IntAt(settings.store, u"/config/output", u"BytesPerLine");
    EXPECT_EQ(width, 96);
    EXPECT_EQ(lines, 50);
    EXPECT_EQ(bytesPerLine, 288);
    EXPECT_EQ(IntAt(settings.store, u"/config/output", u"Status"), 0);

    // Bands of 20 lines until the band that ends the job.
    std::vector<LONG> levels;
    size_t total = 0;
    for (int band = 0; band < 10; ++band) {
        BandSink sink(20 * bytesPerLine);
        ASSERT_EQ(Run([&] { return m_hal->Produce(&sink); }), S_OK);
        ASSERT_EQ(sink.status, 0);
        EXPECT_EQ(sink.description, (Description{width, 24, bytesPerLine, 0, 0, 0, 100, sink.description.bandSize}));
        EXPECT_EQ(sink.received.size(), static_cast<size_t>(sink.description.bandSize));
        total += sink.received.size();
        levels.push_back(sink.level);
        if (sink.level == 6)
            break;
    }
    EXPECT_EQ(total, static_cast<size_t>(lines * bytesPerLine));
    EXPECT_EQ(levels, (std::vector<LONG>{1, 1, 6}));
}

TEST_F(ScanSettingsEndToEndTest, GammaTablesFollowTheSidesOfTheLastConfiguration)
{
    Ready();
    const std::u16string settings = u"<config><input><Width>1000</Width><Height>500</Height>"
                                    u"<BitsPerPixel>8</BitsPerPixel><DPI>100</DPI><Duplex>";
    for (int duplex : {1, 0}) {
        SCOPED_TRACE(duplex);
        plat::ScopedBstr xml(settings + (duplex ? u"1" : u"0") + u"</Duplex></input></config>");
        ASSERT_EQ(Run([&] { return m_hal->Configure2(xml.Get()); }), S_OK);
        m_scanner->Log().Clear();
        plat::ScopedSafeArray table(SafeArrayCreateVector(VT_UI1, 0, 256));
        plat::ScopedSafeArray out(SafeArrayCreateVector(VT_UI1, 0, 2));
        VARIANT in{};
        in.vt = VT_ARRAY | VT_UI1;
        in.parray = table.Get();
        VARIANT result{};
        result.vt = VT_ARRAY | VT_UI1;
        result.parray = out.Get();
        BSTR text = nullptr;
        ASSERT_EQ(Run([&] { return m_hal->Control2(16, &text, &in, &result); }), S_OK);
        EXPECT_EQ(CommandCodes(), duplex ? (std::vector<BYTE>{0x2A, 0x2A}) : (std::vector<BYTE>{0x2A}));
    }
}

} // namespace
