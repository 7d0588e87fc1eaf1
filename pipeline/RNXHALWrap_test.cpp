// The hardware-service wrapper as its clients use it: configured from a
// scannerSource document with a service object given to it or created from
// the class the document names, then pulled band by band into the client's
// raster band; and the two sinks the service calls back.
#include "diag/LogInterface.h"
#include "pipeline/testing/FakeHALService.h"
#include "pipeline/testing/PipelineLibraryTest.h"
#include "platform/base/strings.h"
#include "platform/oleauto/ScopedBstr.h"
#include "tools/diagnostics/DiagnosticsLogFile.h"
#include "tools/diagnostics/DiagnosticsSettings.h"
#include "tools/diagnostics/testing/DiagnosticsStandIn.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace {

using pipeline::testing::FakeBand;
using pipeline::testing::FakeHALFactory;
using pipeline::testing::FakeHALService;
using plat::ScopedBstr;
using Calls = std::vector<std::string>;

constexpr const WCHAR* kApp = u"RNX COM Core";
// A class of our own for the service the wrapper creates.
constexpr CLSID kFakeHALClass = plat::MakeGuid("6D3B1A52-0E4C-4F7B-9A61-2C8E5F1D7A39");
constexpr const char16_t* kFakeHALText = u"6D3B1A52-0E4C-4F7B-9A61-2C8E5F1D7A39";

std::u16string Document(const std::u16string& scanner, bool withConfig = true)
{
    std::u16string text = u"<scannerSource assemblyName=\"RNXQBK24.dll\" moduleName=\"Quorvant.Tessivo.RNXQBK24Hal\">";
    if (!scanner.empty())
        text += u"<scanner>" + scanner + u"</scanner>";
    if (withConfig)
        text += u"<config><input><Width>8500</Width><Height>11000</Height><BitsPerPixel>24</BitsPerPixel>"
                u"<DPI>300</DPI></input></config>";
    return text + u"</scannerSource>";
}
const std::u16string kPresetDocument = Document(u"00000000-0000-0000-0000-000000000000");

// Answers IUnknown only.
struct PlainUnknown final : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = riid == IID_IUnknown ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

class HALWrapTest : public PipelineLibraryTest {
protected:
    void SetUp() override
    {
        PipelineLibraryTest::SetUp();
        if (HasFatalFailure())
            return;
        // Every line of the wrapper goes to the log file.
        m_standIn.emplace(QBK_DIAGCONFIG_LIBRARY);
        for (const WCHAR* name : {u"HAL Module", u"HAL Module.Data"})
            ASSERT_EQ(diagnostics::SetComponentEnabled(kApp, name, true), S_OK);
        ASSERT_EQ(diagnostics::SetLevelMask(u"RNX Diagnostics", LOG_ERROR | LOG_WARNING | LOG_TRACE), S_OK);

        m_wrapper = Create<IRNXHALWrap>(CLSID_RNXHALWrap, IID_IRNXHALWrap);
        ASSERT_TRUE(m_wrapper);
        ASSERT_EQ(m_wrapper->QueryInterface(IID_IRNXModule, m_module.ReleaseAndGetVoidAddress()), S_OK);
        ASSERT_EQ(m_wrapper->QueryInterface(IID_IRNXPayloadSource, m_source.ReleaseAndGetVoidAddress()), S_OK);
        m_settings = Create<IXMLObj>(CLSID_XMLObj, IID_IXMLObj);
        ASSERT_TRUE(m_settings);
    }

    void TearDown() override
    {
        RevokeFakeClass();
        m_settings.Reset();
        m_source.Reset();
        m_module.Reset();
        m_wrapper.Reset();
        PipelineLibraryTest::TearDown();
        m_standIn.reset();
    }

    // The fake answers as the class kFakeHALClass of a local server.
    void RegisterFakeClass(FakeHALService& service)
    {
        m_factory.service = &service;
        ASSERT_EQ(CoRegisterClassObject(kFakeHALClass, &m_factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &m_cookie),
                  S_OK);
    }
    void RevokeFakeClass()
    {
        if (m_cookie)
            CoRevokeClassObject(m_cookie);
        m_cookie = 0;
    }

    HRESULT Configure(const std::u16string& document)
    {
        EXPECT_EQ(m_settings->Initialize(), S_OK);
        EXPECT_EQ(m_settings->ParseXML(ScopedBstr(document).Get()), S_OK);
        // Where the clients leave it.
        EXPECT_EQ(m_settings->SeekRootNode(), S_OK);
        return m_module->Configure(nullptr, m_settings.Get());
    }

    INT Output(const WCHAR* key)
    {
        EXPECT_EQ(m_settings->SetContext(ScopedBstr(u"/scannerSource/config/output").Get()), S_OK);
        INT value = -1;
        EXPECT_EQ(m_settings->GetIntByName(ScopedBstr(key).Get(), -1, &value), S_OK);
        return value;
    }

    plat::ComPtr<IRNXRasterBand> NewBand(LONG size, BYTE fill)
    {
        auto band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand);
        EXPECT_EQ(band->SizeBuffer(size), S_OK);
        std::fill_n(Buffer(band.Get()), size, fill);
        return band;
    }
    static BYTE* Buffer(IRNXRasterBand* band)
    {
        BYTE* buffer = nullptr;
        EXPECT_EQ(band->get_Buffer(&buffer), S_OK);
        return buffer;
    }
    HRESULT Produce(IUnknown* band)
    {
        plat::ComPtr<IDispatch> payload;
        if (band) {
            EXPECT_EQ(band->QueryInterface(IID_IDispatch, payload.ReleaseAndGetVoidAddress()), S_OK);
        }
        IDispatch* pointer = payload.Get();
        return m_source->Produce(&pointer);
    }
    static LONG Get(IRNXRasterBand* band, HRESULT (STDMETHODCALLTYPE IRNXRasterBand::*get)(LONG*))
    {
        LONG value = -12345;
        EXPECT_EQ((band->*get)(&value), S_OK);
        return value;
    }
    static LONG Get(IRNXRasterBand* band, HRESULT (STDMETHODCALLTYPE IRNXPayload::*get)(LONG*))
    {
        plat::ComPtr<IRNXPayload> payload;
        EXPECT_EQ(band->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress()), S_OK);
        LONG value = -12345;
        EXPECT_EQ((payload.Get()->*get)(&value), S_OK);
        return value;
    }

    // The wrapper's lines so far, in order.
    static std::vector<std::u16string> Lines()
    {
        std::vector<std::u16string> lines;
        for (const auto& record : diagnostics::ReadLogFile(kApp)) {
            if (record.logName == u"HAL Module" || record.logName == u"HAL Module.Data")
                lines.push_back(record.text);
        }
        return lines;
    }
    static bool Logged(const std::u16string& line)
    {
        const auto lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // Services outlive the wrapper, which may still hold one at the end.
    FakeHALService& NewService() { return m_services.emplace_back(); }

    std::deque<FakeHALService> m_services;
    std::optional<diagnostics::testing::DiagnosticsStandIn> m_standIn;
    plat::ComPtr<IRNXHALWrap> m_wrapper;
    plat::ComPtr<IRNXModule> m_module;
    plat::ComPtr<IRNXPayloadSource> m_source;
    plat::ComPtr<IXMLObj> m_settings;
    FakeHALFactory m_factory;
    DWORD m_cookie = 0;
};

TEST_F(HALWrapTest, PresetServiceGetsTheConfigSubtreeAndItsResultsAreCopiedBack)
{
    FakeHALService& service = NewService();
    std::u16string fragment;
    service.onConfigure = [&](ICKelXmlHAL* sink) {
        BSTR text = nullptr;
        EXPECT_EQ(sink->GenerateXML(&text), S_OK);
        fragment = text ? text : u"";
        SysFreeString(text);
    };
    ASSERT_EQ(m_wrapper->SetCurrentHAL(&service), S_OK);
    EXPECT_EQ(service.refs, 2u);

    EXPECT_EQ(Configure(kPresetDocument), S_OK);

    const std::map<std::u16string, INT> expected{
        {u"Width", 8500}, {u"Height", 11000}, {u"BitsPerPixel", 24}, {u"DPI", 300}, {u"Compression", 0}};
    EXPECT_EQ(service.input, expected);
    // Only the config element travels, with the output element prepared.
    EXPECT_EQ(fragment.rfind(u"<config>", 0), 0u) << Utf16ToUtf8(fragment);
    EXPECT_NE(fragment.find(u"<output><Width>0</Width><Height>0</Height><BytesPerLine>0</BytesPerLine>"
                            u"<Status>0</Status></output>"),
              std::u16string::npos)
        << Utf16ToUtf8(fragment);
    EXPECT_EQ(fragment.find(u"scanner"), std::u16string::npos);

    EXPECT_EQ(Output(u"Width"), 850);
    EXPECT_EQ(Output(u"Height"), 1100);
    EXPECT_EQ(Output(u"BytesPerLine"), 2550);
    EXPECT_EQ(Output(u"Status"), 0);
    // A preset service is the client's to open and close.
    EXPECT_EQ(service.SessionCalls(), Calls{});
    EXPECT_EQ(service.refs, 2u);

    const auto lines = Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), u"FinalConstruct Entered.");
    EXPECT_TRUE(Logged(u"SetCurrentHAL Entered"));
    EXPECT_TRUE(Logged(u"SetCurrentHAL Exit. [0x00000000]"));
    EXPECT_TRUE(Logged(u"Configure Entered"));
    EXPECT_EQ(lines.back(), u"Configure Exit. [0x00000000]");
}

TEST_F(HALWrapTest, SetCurrentHALHoldsOnlyAServiceAndNullLetsItGo)
{
    FakeHALService& service = NewService();
    service.bands = {FakeBand{{1, 2, 3}, 1}};
    auto band = NewBand(16, 0);

    ASSERT_EQ(m_wrapper->SetCurrentHAL(&service), S_OK);
    ASSERT_EQ(m_wrapper->SetCurrentHAL(&service), S_OK);
    EXPECT_EQ(service.refs, 2u);
    // Still preset: the band inside a page comes without any session call.
    EXPECT_EQ(Produce(band.Get()), S_OK);
    EXPECT_EQ(service.calls, Calls{"Produce"});

    EXPECT_EQ(m_wrapper->SetCurrentHAL(nullptr), S_OK);
    EXPECT_EQ(service.refs, 1u);
    EXPECT_NE(Produce(band.Get()), S_OK);

    PlainUnknown plain;
    ASSERT_EQ(m_wrapper->SetCurrentHAL(&service), S_OK);
    EXPECT_EQ(m_wrapper->SetCurrentHAL(&plain), S_OK);
    EXPECT_EQ(service.refs, 1u);
    EXPECT_NE(Produce(band.Get()), S_OK);
    EXPECT_EQ(service.calls, Calls{"Produce"});
    EXPECT_EQ(service.SessionCalls(), Calls{});
}

TEST_F(HALWrapTest, ASessionEndsAtLevelSixAndOnlyACreatedServiceIsUnlocked)
{
    struct Case {
        bool preset;
        Calls afterConfigure;
        Calls afterSession;
    } cases[] = {
        {true, {}, {}},
        {false, {"Initialize", "LockScanner"}, {"Initialize", "LockScanner", "UnlockScanner", "Uninitialize"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preset ? "preset" : "created");
        FakeHALService& service = NewService();
        service.bands = {FakeBand{{1}, 1}, FakeBand{{2}, 2}, FakeBand{{3}, 6}};
        if (c.preset)
            ASSERT_EQ(m_wrapper->SetCurrentHAL(&service), S_OK);
        else
            RegisterFakeClass(service);

        ASSERT_EQ(Configure(c.preset ? kPresetDocument : Document(kFakeHALText)), S_OK);
        EXPECT_EQ(service.SessionCalls(), c.afterConfigure);
        if (!c.preset) {
            EXPECT_EQ(service.lockedBy, static_cast<LONG>(GetCurrentProcessId()));
        }

        auto band = NewBand(8, 0);
        for (LONG level : {1, 2, 6}) {
            ASSERT_EQ(Produce(band.Get()), S_OK);
            EXPECT_EQ(Get(band.Get(), &IRNXPayload::get_SessionLevel), level);
        }
        EXPECT_EQ(service.SessionCalls(), c.afterSession);
        RevokeFakeClass();
        EXPECT_EQ(service.refs, 1u);
        // The wrapper must be configured again before the next session.
        EXPECT_EQ(Produce(band.Get()), E_UNEXPECTED);
        EXPECT_TRUE(Logged(u"Session boundary reached, SessionLevel = 2"));
        EXPECT_TRUE(Logged(u"Final raster band in session detected"));
    }
}

TEST_F(HALWrapTest, FailedConfigurationsAreLoggedAndUndoneAsFarAsTheWrapperDidThem)
{
    // clang-format off
    struct Case {
        const char* name;
        bool preset;
        std::u16string document;
        void (*tweak)(FakeHALService&);
        HRESULT result;
        const char16_t* line;
        Calls sessionCalls;
    } cases[] = {
        {"no service, no identifier", false, Document(u""), nullptr, E_UNEXPECTED,
         u"Invalid HAL (0x00000000) or ServerID (Undefined)", {}},
        {"no config element", true, Document(u"", false), nullptr, S_FALSE,
         u"Invalid Settings structure or Context, failed SetContext 'config'", {}},
        {"identifier is no class", false, Document(u"not a class"), nullptr, CO_E_CLASSSTRING,
         u"No preset HAL object and unable to convert CSLID to String", {}},
        {"class not registered", false, Document(u"0B0E3D2A-4C1F-4E5A-8B7C-9D0E1F2A3B4C"), nullptr,
         REGDB_E_CLASSNOTREG, u"No preset HAL object and failed to create new instance, Result = 0x80040154", {}},
        {"lock answers a busy status", false, Document(kFakeHALText), [](FakeHALService& s) { s.lockStatus = 5; },
         E_UNEXPECTED, u"Operation failed, Result = 0x8000FFFF, Status = 0x00000005",
         {"Initialize", "LockScanner", "UnlockScanner", "Uninitialize"}},
        {"initialize fails", false, Document(kFakeHALText), [](FakeHALService& s) { s.initializeResult = E_FAIL; },
         E_UNEXPECTED, u"Unexpected exception caught", {"Initialize", "UnlockScanner", "Uninitialize"}},
        {"service answers false", true, kPresetDocument, [](FakeHALService& s) { s.configureResult = S_FALSE; },
         S_FALSE, u"Failed to configure HAL, Result = 0x00000001", {}},
        {"preset service died", true, kPresetDocument,
         [](FakeHALService& s) {
             s.configureResult = RPC_E_SERVER_DIED;
             s.cleanupResult = RPC_E_DISCONNECTED;
         },
         E_UNEXPECTED, u"Unexpected exception caught", {}},
        {"created service died", false, Document(kFakeHALText),
         [](FakeHALService& s) {
             s.configureResult = RPC_E_SERVER_DIED;
             s.cleanupResult = RPC_E_DISCONNECTED;
         },
         E_UNEXPECTED, u"Unexpected exception caught",
         {"Initialize", "LockScanner", "UnlockScanner", "Uninitialize"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHALService& service = NewService();
        if (c.tweak)
            c.tweak(service);
        if (c.preset)
            ASSERT_EQ(m_wrapper->SetCurrentHAL(&service), S_OK);
        else
            RegisterFakeClass(service);

        EXPECT_EQ(Configure(c.document), c.result);
        EXPECT_TRUE(Logged(c.line));
        EXPECT_EQ(service.SessionCalls(), c.sessionCalls);
        RevokeFakeClass();
        // Nothing is held after a failure, preset or not.
        EXPECT_EQ(service.refs, 1u);
        auto band = NewBand(8, 0);
        EXPECT_EQ(Produce(band.Get()), E_UNEXPECTED);
    }
    EXPECT_EQ(m_module->Configure(nullptr, nullptr), E_INVALIDARG);
}

TEST_F(HALWrapTest, AConfigurationTheScannerRefusedComesBackInStatusAndKeepsTheSession)
{
    for (bool preset : {true, false}) {
        SCOPED_TRACE(preset ? "preset" : "created");
        FakeHALService& service = NewService();
        service.output.back().second = 7; // Status: cover open
        if (preset)
            ASSERT_EQ(m_wrapper->SetCurrentHAL(&service), S_OK);
        else
            RegisterFakeClass(service);

        // The client reads the refusal; the wrapper neither fails nor lets
        // the service go on its account.
        EXPECT_EQ(Configure(preset ? kPresetDocument : Document(kFakeHALText)), S_OK);
        EXPECT_EQ(Output(u"Status"), 7);
        EXPECT_EQ(service.SessionCalls(), preset ? Calls{} : (Calls{"Initialize", "LockScanner"}));
        EXPECT_EQ(service.refs, 2u);
        EXPECT_EQ(m_wrapper->SetCurrentHAL(nullptr), S_OK);
        RevokeFakeClass();
    }
}

TEST_F(HALWrapTest, ABandLandsInTheClientsBufferWithItsDescription)
{
    struct Case {
        LONG bitsPerPixel;
        LONG pixelType;
    } cases[] = {{1, 0}, {8, 1}, {24, 2}, {16, 0}};
    FakeHALService& service = NewService();
    ASSERT_EQ(m_wrapper->SetCurrentHAL(&service), S_OK);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bitsPerPixel);
        std::vector<BYTE> bytes(300);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<BYTE>(i * 7 + c.bitsPerPixel);
        service.bands = {FakeBand{bytes, 2, 0, 100, c.bitsPerPixel, 30, 200}};
        auto band = NewBand(1000, 0xEE);

        ASSERT_EQ(Produce(band.Get()), S_OK);
        EXPECT_EQ(service.askedSizes.back(), 1000);
        const BYTE* buffer = Buffer(band.Get());
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer));
        EXPECT_TRUE(std::all_of(buffer + 300, buffer + 1000, [](BYTE b) { return b == 0xEE; }));
        EXPECT_EQ(Get(band.Get(), &IRNXRasterBand::get_BytesWritten), 300);
        EXPECT_EQ(Get(band.Get(), &IRNXRasterBand::get_ImageWidth), 100);
        EXPECT_EQ(Get(band.Get(), &IRNXRasterBand::get_BitsPerPixel), c.bitsPerPixel);
        EXPECT_EQ(Get(band.Get(), &IRNXRasterBand::get_BytesPerLine), 30);
        EXPECT_EQ(Get(band.Get(), &IRNXRasterBand::get_PixelType), c.pixelType);
        EXPECT_EQ(Get(band.Get(), &IRNXRasterBand::get_Dpi), 200);
        EXPECT_EQ(Get(band.Get(), &IRNXRasterBand::get_RasterCompression), 0);
        EXPECT_EQ(Get(band.Get(), &IRNXRasterBand::get_PixelGender), 0);
        EXPECT_EQ(Get(band.Get(), &IRNXPayload::get_SessionLevel), 2);
        EXPECT_EQ(Get(band.Get(), &IRNXPayload::get_Status), 0);
    }
    EXPECT_EQ(service.SessionCalls(), Calls{});
}

TEST_F(HALWrapTest, ABandWithAnErrorStatusEndsTheSession)
{
    FakeHALService& service = NewService();
    service.bands = {FakeBand{{9, 9}, 1, 2}};
    ASSERT_EQ(m_wrapper->SetCurrentHAL(&service), S_OK);
    auto band = NewBand(16, 0);

    ASSERT_EQ(Produce(band.Get()), S_OK);
    EXPECT_EQ(Get(band.Get(), &IRNXPayload::get_SessionLevel), 6);
    EXPECT_EQ(Get(band.Get(), &IRNXPayload::get_Status), 2);
    EXPECT_TRUE(Logged(u"Detected an error in Produce, Status = 0x00000002"));
    EXPECT_EQ(service.refs, 1u);
    EXPECT_EQ(service.SessionCalls(), Calls{});
}

TEST_F(HALWrapTest, AFailedProduceLeavesTheBandAsItWasAndEndsTheSession)
{
    struct Case {
        const char* name;
        size_t arrayBytes;
        LONG claimed; // BytesWritten as described; -1: the array's size
        LONG bufferSize;
        HRESULT putBuffer;
    } cases[] = {
        {"array shorter than the band", 100, 101, 1000, E_OUTOFMEMORY},
        {"band larger than the client's buffer", 200, -1, 100, E_OUTOFMEMORY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHALService& service = NewService();
        service.bands = {FakeBand{std::vector<BYTE>(c.arrayBytes, 0x11), 1, 0, 10, 8, 10, 100}};
        service.bandSizeOverride = c.claimed;
        ASSERT_EQ(m_wrapper->SetCurrentHAL(&service), S_OK);
        auto band = NewBand(c.bufferSize, 0xEE);

        EXPECT_EQ(Produce(band.Get()), E_UNEXPECTED);
        EXPECT_EQ(service.putBufferResult, c.putBuffer);
        const BYTE* buffer = Buffer(band.Get());
        EXPECT_TRUE(std::all_of(buffer, buffer + c.bufferSize, [](BYTE b) { return b == 0xEE; }));
        EXPECT_EQ(Get(band.Get(), &IRNXRasterBand::get_BytesWritten), 0);
        EXPECT_EQ(Get(band.Get(), &IRNXRasterBand::get_ImageWidth), -1);
        EXPECT_TRUE(Logged(u"Unexpected exception caught, Result = 0x8007000E"));
        EXPECT_EQ(service.refs, 1u);
    }
}

TEST_F(HALWrapTest, ProduceRefusesWhatIsNoBandAndPassesOnAFalseAnswer)
{
    FakeHALService& service = NewService();
    ASSERT_EQ(m_wrapper->SetCurrentHAL(&service), S_OK);

    IDispatch* none = nullptr;
    EXPECT_EQ(m_source->Produce(nullptr), E_POINTER);
    EXPECT_EQ(m_source->Produce(&none), E_POINTER);
    EXPECT_EQ(Produce(m_settings.Get()), E_NOINTERFACE);
    EXPECT_EQ(service.calls, Calls{});

    service.produceResult = S_FALSE;
    auto band = NewBand(16, 0);
    EXPECT_EQ(Produce(band.Get()), S_FALSE);
    EXPECT_TRUE(Logged(u"Product Method failed, Result = 0x00000001"));
    EXPECT_EQ(Get(band.Get(), &IRNXRasterBand::get_BytesWritten), 0);
    // Not a failure: the session goes on.
    EXPECT_EQ(service.refs, 2u);
    service.produceResult = S_OK;
    service.bands = {FakeBand{{5}, 1}};
    EXPECT_EQ(Produce(band.Get()), S_OK);
}

TEST_F(HALWrapTest, TheSinksAnswerAsTheServiceExpects)
{
    FakeHALService& service = NewService();
    service.onConfigure = [](ICKelXmlHAL* sink) {
        void* other = nullptr;
        EXPECT_EQ(sink->QueryInterface(IID_IRNXRasterBandHAL, &other), E_NOINTERFACE);
        EXPECT_EQ(sink->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);

        BSTR text = nullptr;
        EXPECT_EQ(sink->GetCurrentNodeName(&text), S_OK);
        EXPECT_EQ(std::u16string(text), u"config");
        SysFreeString(text);
        EXPECT_EQ(sink->SetContext(ScopedBstr(u"/config/nowhere").Get()), E_FAIL);
        INT value = 42;
        EXPECT_EQ(sink->GetIntByName(ScopedBstr(u"Missing").Get(), &value), S_OK);
        EXPECT_EQ(value, 42);
        text = nullptr;
        EXPECT_EQ(sink->GetStringByName(ScopedBstr(u"Missing").Get(), &text), E_FAIL);
        EXPECT_EQ(sink->GetAttribute(ScopedBstr(u"missing").Get(), &text), E_FAIL);
        EXPECT_EQ(text, nullptr);
        EXPECT_EQ(sink->ImportNode(ScopedBstr(u"<extra><a>1</a></extra>").Get()), S_OK);
        EXPECT_EQ(sink->ImportNode(ScopedBstr(u"<broken").Get()), E_FAIL);
        // The context moved into the imported element.
        EXPECT_EQ(sink->GetIntByName(ScopedBstr(u"a").Get(), &value), S_OK);
        EXPECT_EQ(value, 1);
    };
    service.onProduce = [](IUnknown* sink) {
        ICKelXmlHAL* xml = nullptr;
        IRNXRasterBandHAL* raster = nullptr;
        void* other = nullptr;
        ASSERT_EQ(sink->QueryInterface(IID_ICKelXmlHAL, reinterpret_cast<void**>(&xml)), S_OK);
        ASSERT_EQ(sink->QueryInterface(IID_IRNXRasterBandHAL, reinterpret_cast<void**>(&raster)), S_OK);
        EXPECT_EQ(static_cast<void*>(xml), static_cast<void*>(sink));
        EXPECT_NE(static_cast<void*>(raster), static_cast<void*>(sink));
        EXPECT_EQ(sink->QueryInterface(IID_IRNXHALS, &other), E_NOINTERFACE);
        EXPECT_EQ(sink->QueryInterface(IID_ICKelXmlHAL, nullptr), E_INVALIDARG);
        // Its own store works, though the service has no use for it.
        EXPECT_EQ(xml->Initialize(), S_OK);
        EXPECT_EQ(xml->ParseXML(ScopedBstr(u"<a/>").Get()), S_OK);
        EXPECT_EQ(raster->Clear(), S_OK);
        // Only an array is taken as one.
        VARIANT number;
        VariantInit(&number);
        number.vt = VT_I4;
        number.lVal = 0x1000;
        EXPECT_EQ(raster->PutBuffer(&number), E_INVALIDARG);
        EXPECT_EQ(raster->PutBuffer(nullptr), E_POINTER);
        xml->Release();
        raster->Release();
    };
    ASSERT_EQ(m_wrapper->SetCurrentHAL(&service), S_OK);
    ASSERT_EQ(Configure(kPresetDocument), S_OK);
    service.bands = {FakeBand{{1, 2}, 1}};
    auto band = NewBand(16, 0);
    EXPECT_EQ(Produce(band.Get()), S_OK);
}

TEST_F(HALWrapTest, LateBoundCallsAndTheClassRules)
{
    FakeHALService& service = NewService();
    plat::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(m_wrapper->QueryInterface(IID_IDispatch, dispatch.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(m_wrapper.Get()));
    LPOLESTR name = const_cast<LPOLESTR>(u"SetCurrentHAL");
    DISPID dispid = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &dispid), S_OK);
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_UNKNOWN;
    argument.punkVal = &service;
    DISPPARAMS params{&argument, nullptr, 1, 0};
    EXPECT_EQ(dispatch->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(service.refs, 2u);

    ITypeInfo* info = nullptr;
    EXPECT_EQ(m_source->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(m_module->GetTypeInfo(0, 0, nullptr), E_POINTER);

    PlainUnknown outer;
    IUnknown* inner = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_RNXHALWrap, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&inner)),
              CLASS_E_NOAGGREGATION);
    m_wrapper.Reset();
    m_module.Reset();
    m_source.Reset();
    dispatch.Reset();
    // The last reference gives up the service without closing its session.
    EXPECT_EQ(service.refs, 1u);
    EXPECT_EQ(service.SessionCalls(), Calls{});
}

} // namespace
