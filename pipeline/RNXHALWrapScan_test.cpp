// The wrapper end to end: the hardware service's object in this process over
// the emulated scanner, either given to the wrapper as the clients do or
// created by it from the class the document names (served by this process as
// a local server), configured for a simplex page and pulled band by band
// until the session ends; and through each client's converter, with the
// scanner's reads ending at odd byte counts.
#include "emulator/ImagePattern.h"
#include "halservice/com/HALClasses.h"
#include "halservice/scanner/testing/ScannerSessionFixture.h"
#include "halservice/service/HALClassIds.h"
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "platform/base/strings.h"
#include "platform/oleauto/ScopedBstr.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using plat::ScopedBstr;

// 1 in x 0.5 in at 100 dpi, 24 bit: 96 pixels of 3 bytes by 50 lines.
std::u16string SimplexPage(const std::u16string& scanner)
{
    return u"<scannerSource assemblyName=\"RNXQBK24.dll\" moduleName=\"Quorvant.Tessivo.RNXQBK24Hal\">"
           u"<scanner>" +
           scanner +
           u"</scanner><config><input><Width>1000</Width><Height>500</Height><BitsPerPixel>24</BitsPerPixel>"
           u"<Duplex>0</Duplex><DPI>100</DPI><Pages>0</Pages><Brightness>128</Brightness><Contrast>128</Contrast>"
           u"<Threshold>128</Threshold></input></config></scannerSource>";
}
constexpr DWORD kPixels = 96;
constexpr DWORD kLines = 50;
constexpr DWORD kLineBytes = kPixels * 3;

class HALWrapScanTest : public hal::testing::ScannerSessionFixture {
protected:
    void SetUp() override
    {
        ScannerSessionFixture::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        m_library = LoadLibraryA(QBK_RNXCOMCORE);
        ASSERT_NE(m_library, nullptr);
        auto registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(m_library, "DllRegisterServer"));
        ASSERT_TRUE(registerServer);
        ASSERT_EQ(registerServer(), S_OK);
    }
    void TearDown() override
    {
        if (m_cookie)
            CoRevokeClassObject(m_cookie);
        m_band.Reset();
        m_settings.Reset();
        m_wrapper.Reset();
        m_hal.Reset();
        if (m_library)
            FreeLibrary(m_library);
        CoUninitialize();
        ScannerSessionFixture::TearDown();
    }

    // Runs the call on another thread while this one moves the test clock
    // whenever the scanner thread waits outside its idle wait.
    void WithClock(const std::function<void()>& call)
    {
        std::atomic<bool> done{false};
        std::thread caller([&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            call();
            CoUninitialize();
            done = true;
        });
        while (!done) {
            const DWORD thread = m_session->ScannerThreadId();
            if (thread && m_clock->IsThreadBlocked(thread) && !m_session->InIdleWait())
                m_clock->Advance(500);
            else
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        caller.join();
    }

    void ScanOnePage(bool preset)
    {
        Plug();
        m_scanner->LoadSheets(1);

        plat::ComPtr<IClassFactory> factory;
        ASSERT_EQ(GetHALClassObject(3, IID_IClassFactory, factory.ReleaseAndGetVoidAddress()), S_OK);
        LONG status = -1;
        std::u16string scanner = u"00000000-0000-0000-0000-000000000000";
        if (preset) {
            // The client's own service object, opened and locked by the client.
            ASSERT_EQ(factory->CreateInstance(nullptr, IID_IRNXHALS, m_hal.ReleaseAndGetVoidAddress()), S_OK);
            WithClock([&] {
                EXPECT_EQ(m_hal->Initialize(&status), S_OK);
                EXPECT_EQ(status, 0);
                EXPECT_EQ(m_hal->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
                EXPECT_EQ(status, 0);
            });
        } else {
            // The service's class, served by this process as its local server.
            ASSERT_EQ(CoRegisterClassObject(kHALClassIds[3], factory.Get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                            &m_cookie),
                      S_OK);
            const std::u16string braced = plat::GuidToWideString(kHALClassIds[3]);
            scanner = braced.substr(1, braced.size() - 2);
        }

        ASSERT_EQ(CoCreateInstance(CLSID_RNXHALWrap, nullptr, CLSCTX_INPROC_SERVER, IID_IRNXHALWrap,
                                   m_wrapper.ReleaseAndGetVoidAddress()),
                  S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_XMLObj, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLObj,
                                   m_settings.ReleaseAndGetVoidAddress()),
                  S_OK);
        ASSERT_EQ(m_settings->Initialize(), S_OK);
        ASSERT_EQ(m_settings->ParseXML(ScopedBstr(SimplexPage(scanner)).Get()), S_OK);
        ASSERT_EQ(m_settings->SeekRootNode(), S_OK);
        if (preset) {
            ASSERT_EQ(m_wrapper->SetCurrentHAL(m_hal.Get()), S_OK);
        }

        plat::ComPtr<IRNXModule> module;
        ASSERT_EQ(m_wrapper->QueryInterface(IID_IRNXModule, module.ReleaseAndGetVoidAddress()), S_OK);
        HRESULT configured = E_FAIL;
        WithClock([&] { configured = module->Configure(nullptr, m_settings.Get()); });
        ASSERT_EQ(configured, S_OK);
        struct Output {
            const char16_t* key;
            INT value;
        } outputs[] = {{u"Width", kPixels}, {u"Height", kLines}, {u"BytesPerLine", kLineBytes}, {u"Status", 0}};
        ASSERT_EQ(m_settings->SetContext(ScopedBstr(u"/scannerSource/config/output").Get()), S_OK);
        for (const Output& o : outputs) {
            INT value = -1;
            EXPECT_EQ(m_settings->GetIntByName(ScopedBstr(o.key).Get(), -1, &value), S_OK);
            EXPECT_EQ(value, o.value) << Utf16ToUtf8(o.key);
        }

        // Ten lines per band.
        ASSERT_EQ(CoCreateInstance(CLSID_RNXRasterBand, nullptr, CLSCTX_INPROC_SERVER, IID_IRNXRasterBand,
                                   m_band.ReleaseAndGetVoidAddress()),
                  S_OK);
        ASSERT_EQ(m_band->SizeBuffer(kLineBytes * 10), S_OK);
        plat::ComPtr<IRNXPayloadSource> source;
        plat::ComPtr<IRNXPayload> payload;
        ASSERT_EQ(m_wrapper->QueryInterface(IID_IRNXPayloadSource, source.ReleaseAndGetVoidAddress()), S_OK);
        ASSERT_EQ(m_band->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress()), S_OK);

        std::vector<BYTE> page;
        std::vector<LONG> levels;
        LONG level = 0;
        for (int band = 0; band < 100 && level != 6; ++band) {
            HRESULT produced = E_FAIL;
            WithClock([&] {
                IDispatch* pointer = m_band.Get();
                produced = source->Produce(&pointer);
            });
            ASSERT_EQ(produced, S_OK);
            LONG written = 0, bandStatus = -1, width = 0, bits = 0, pixelType = -1, bytesPerLine = 0, dpi = 0;
            BYTE* buffer = nullptr;
            payload->get_SessionLevel(&level);
            payload->get_Status(&bandStatus);
            m_band->get_BytesWritten(&written);
            m_band->get_ImageWidth(&width);
            m_band->get_BitsPerPixel(&bits);
            m_band->get_PixelType(&pixelType);
            m_band->get_BytesPerLine(&bytesPerLine);
            m_band->get_Dpi(&dpi);
            m_band->get_Buffer(&buffer);
            EXPECT_EQ(bandStatus, 0);
            EXPECT_EQ(width, static_cast<LONG>(kPixels));
            EXPECT_EQ(bits, 24);
            EXPECT_EQ(pixelType, 2);
            EXPECT_EQ(bytesPerLine, static_cast<LONG>(kLineBytes));
            EXPECT_EQ(dpi, 100);
            ASSERT_GE(written, 0);
            ASSERT_LE(written, static_cast<LONG>(kLineBytes * 10));
            page.insert(page.end(), buffer, buffer + written);
            levels.push_back(level);
        }
        ASSERT_EQ(levels.back(), 6);
        ASSERT_EQ(page.size(), size_t{kLineBytes} * kLines);
        for (DWORD y = 0; y < kLines; ++y) {
            const auto decoded = emulator::DecodePatternLine(page.data() + size_t{y} * kLineBytes, kPixels, 24);
            ASSERT_TRUE(decoded.valid) << "line " << y;
            EXPECT_EQ(decoded.code, emulator::PatternCode(0, 0)) << "line " << y;
            EXPECT_EQ(decoded.line, y % 256) << "line " << y;
        }

        // The session is over on the wrapper's side.
        IDispatch* pointer = m_band.Get();
        EXPECT_EQ(source->Produce(&pointer), E_UNEXPECTED);
        if (preset) {
            // The preset service is still the client's, locked until the client
            // lets it go.
            WithClock([&] {
                EXPECT_EQ(m_hal->UnlockScanner(&status), S_OK);
                EXPECT_EQ(status, 0);
                EXPECT_EQ(m_hal->Uninitialize(), S_OK);
            });
        } else {
            // The wrapper closed its session: another process gets the scanner.
            ASSERT_EQ(factory->CreateInstance(nullptr, IID_IRNXHALS, m_hal.ReleaseAndGetVoidAddress()), S_OK);
            WithClock([&] {
                EXPECT_EQ(m_hal->Initialize(&status), S_OK);
                EXPECT_EQ(m_hal->LockScanner(1, &status), S_OK);
                EXPECT_EQ(status, 0);
                EXPECT_EQ(m_hal->UnlockScanner(&status), S_OK);
                EXPECT_EQ(m_hal->Uninitialize(), S_OK);
            });
        }
    }

    HMODULE m_library = nullptr;
    DWORD m_cookie = 0;
    plat::ComPtr<IRNXHALS> m_hal;
    plat::ComPtr<IRNXHALWrap> m_wrapper;
    plat::ComPtr<IXMLObj> m_settings;
    plat::ComPtr<IRNXRasterBand> m_band;
};

// The pages of one duplex sheet, 48 pixels by 10 lines at 100 dpi, as a
// client's converter delivers them, each page its output lines.
class ShortReadScanTest : public HALWrapScanTest {
protected:
    static constexpr DWORD kSheetPixels = 48;
    static constexpr DWORD kSheetLines = 10;

    struct Layout {
        const char* client;
        const char16_t* restrictions;
        bool bottomUp;
    };

    void SetUp() override
    {
        HALWrapScanTest::SetUp();
        if (HasFatalFailure())
            return;
        Plug();
        plat::ComPtr<IClassFactory> factory;
        ASSERT_EQ(GetHALClassObject(3, IID_IClassFactory, factory.ReleaseAndGetVoidAddress()), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IRNXHALS, m_hal.ReleaseAndGetVoidAddress()), S_OK);
        WithClock([&] {
            LONG status = -1;
            EXPECT_EQ(m_hal->Initialize(&status), S_OK);
            EXPECT_EQ(m_hal->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
            EXPECT_EQ(status, 0);
        });
        ASSERT_EQ(CoCreateInstance(CLSID_RNXRasterBand, nullptr, CLSCTX_INPROC_SERVER, IID_IRNXRasterBand,
                                   m_band.ReleaseAndGetVoidAddress()),
                  S_OK);
        ASSERT_EQ(m_band->SizeBuffer(1000), S_OK);
    }

    static plat::ComPtr<IXMLObj> Document(const std::u16string& text)
    {
        plat::ComPtr<IXMLObj> xml;
        EXPECT_EQ(
            CoCreateInstance(CLSID_XMLObj, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLObj, xml.ReleaseAndGetVoidAddress()),
            S_OK);
        EXPECT_EQ(xml->Initialize(), S_OK);
        EXPECT_EQ(xml->ParseXML(ScopedBstr(text).Get()), S_OK);
        EXPECT_EQ(xml->SeekRootNode(), S_OK);
        return xml;
    }

    // A fresh pipeline over the locked service, pulled until the session
    // ends; every band whole lines of the output.
    std::vector<std::vector<BYTE>> ScanSheet(LONG bits, const Layout& layout, LONG* bytesPerLine)
    {
        m_scanner->LoadSheets(1);
        plat::ComPtr<IRNXHALWrap> wrapper;
        plat::ComPtr<IRNXModule> source, converter;
        EXPECT_EQ(CoCreateInstance(CLSID_RNXHALWrap, nullptr, CLSCTX_INPROC_SERVER, IID_IRNXHALWrap,
                                   wrapper.ReleaseAndGetVoidAddress()),
                  S_OK);
        EXPECT_EQ(wrapper->SetCurrentHAL(m_hal.Get()), S_OK);
        EXPECT_EQ(wrapper->QueryInterface(IID_IRNXModule, source.ReleaseAndGetVoidAddress()), S_OK);
        const std::u16string input = u"<Width>480</Width><Height>100</Height><BitsPerPixel>" +
                                     Utf8ToUtf16(std::to_string(bits)) +
                                     u"</BitsPerPixel><Duplex>1</Duplex><DPI>100</DPI><Pages>0</Pages>";
        const plat::ComPtr<IXMLObj> settings =
            Document(u"<scannerSource><scanner>00000000-0000-0000-0000-000000000000</scanner><config><input>" + input +
                     u"</input></config></scannerSource>");
        HRESULT hr = E_FAIL;
        WithClock([&] { hr = source->Configure(nullptr, settings.Get()); });
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(CoCreateInstance(CLSID_RNXRBConvert, nullptr, CLSCTX_INPROC_SERVER, IID_IRNXModule,
                                   converter.ReleaseAndGetVoidAddress()),
                  S_OK);
        const plat::ComPtr<IXMLObj> restrictions =
            Document(u"<rasterCvrt><precursor>scannerSource</precursor><Restrictions " +
                     std::u16string(layout.restrictions) + u"/><bufferSize>65536</bufferSize></rasterCvrt>");
        EXPECT_EQ(converter->Configure(source.Get(), restrictions.Get()), S_OK);
        plat::ComPtr<IRNXPayloadSource> pull;
        EXPECT_EQ(converter->QueryInterface(IID_IRNXPayloadSource, pull.ReleaseAndGetVoidAddress()), S_OK);
        plat::ComPtr<IRNXPayload> payload;
        EXPECT_EQ(m_band->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress()), S_OK);

        std::vector<std::vector<BYTE>> pages(1);
        LONG level = 0;
        for (int band = 0; band < 5000 && level != 6 && !HasFailure(); ++band) {
            WithClock([&] {
                IDispatch* pointer = m_band.Get();
                hr = pull->Produce(&pointer);
            });
            EXPECT_EQ(hr, S_OK);
            LONG written = 0, status = -1;
            BYTE* buffer = nullptr;
            payload->get_SessionLevel(&level);
            payload->get_Status(&status);
            m_band->get_BytesWritten(&written);
            m_band->get_BytesPerLine(bytesPerLine);
            m_band->get_Buffer(&buffer);
            EXPECT_EQ(status, 0);
            EXPECT_EQ(written % *bytesPerLine, 0) << "a band of part lines";
            pages.back().insert(pages.back().end(), buffer, buffer + written);
            if (level != 1)
                pages.emplace_back();
        }
        EXPECT_EQ(level, 6);
        pages.pop_back();
        return pages;
    }

    // Every output line of the sheet's pages carries its side's pattern,
    // the page's lines in the layout's order.
    static void ExpectPatternLines(const std::vector<std::vector<BYTE>>& pages, LONG bits, LONG bytesPerLine,
                                   bool bottomUp)
    {
        ASSERT_EQ(pages.size(), 2u);
        for (std::uint32_t side = 0; side < 2; ++side) {
            ASSERT_EQ(pages[side].size(), size_t(bytesPerLine) * kSheetLines) << "side " << side;
            for (DWORD k = 0; k < kSheetLines; ++k) {
                const DWORD y = bottomUp ? kSheetLines - 1 - k : k;
                const auto decoded =
                    emulator::DecodePatternLine(pages[side].data() + size_t(k) * bytesPerLine, kSheetPixels, bits);
                ASSERT_TRUE(decoded.valid) << "side " << side << ", line " << y;
                EXPECT_EQ(decoded.code, emulator::PatternCode(0, side)) << "side " << side << ", line " << y;
                EXPECT_EQ(decoded.line, y) << "side " << side << ", line " << y;
            }
        }
    }
};

// Whatever byte counts the scanner's READs end at, each client's converter
// delivers the pages of whole reads, line for line.
TEST_F(ShortReadScanTest, ReadsEndingAnywhereGiveEachClientThePagesOfWholeReads)
{
    const Layout layouts[] = {
        {"TWAIN data source",
         u"Alignment=\"4\" BWGender=\"BlackIsZero\" GrayGender=\"BlackIsZero\" ColorGender=\"BlackIsZero\" "
         u"PixelOrder=\"LeftRight\" ColorChannelOrder=\"RGB\" LineOrder=\"TopDown\" BitOrder=\"MSBFirst\"",
         false},
        {"still-image driver",
         u"Alignment=\"4\" BWGender=\"BlackIsZero\" GrayGender=\"BlackIsZero\" ColorGender=\"BlackIsZero\" "
         u"PixelOrder=\"LeftRight\" ColorChannelOrder=\"BGR\" LineOrder=\"BottomUp\" BitOrder=\"MSBFirst\"",
         true},
        {"scan tool",
         u"Alignment=\"1\" BWGender=\"WhiteIsZero\" GrayGender=\"BlackIsZero\" ColorGender=\"BlackIsZero\" "
         u"PixelOrder=\"LeftRight\" ColorChannelOrder=\"RGB\" LineOrder=\"TopDown\" BitOrder=\"MSBFirst\"",
         false},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.client);
        for (const LONG bits : {1, 8, 24}) {
            SCOPED_TRACE(std::to_string(bits) + " bit");
            const DWORD lineBytes = kSheetPixels * static_cast<DWORD>(bits) / 8; // as the scanner sends them
            m_scanner->SetMaxBytesPerRead(0);
            LONG bytesPerLine = 0;
            const auto whole = ScanSheet(bits, layout, &bytesPerLine);
            ExpectPatternLines(whole, bits, bytesPerLine, layout.bottomUp);
            // Each read that ends short costs a wait for buffered data: reads
            // of one byte only for the few bytes of black and white (the
            // service's own test reads every kind a byte at a time).
            std::vector<std::uint32_t> maxReads = {13u, lineBytes - 1, lineBytes + 1, 3 * lineBytes};
            if (bits == 1)
                maxReads.push_back(1);
            for (const std::uint32_t maxRead : maxReads) {
                SCOPED_TRACE("at most " + std::to_string(maxRead) + " bytes a read");
                m_scanner->SetMaxBytesPerRead(maxRead);
                const std::uint64_t capped = m_scanner->CappedReads();
                const auto pages = ScanSheet(bits, layout, &bytesPerLine);
                EXPECT_GT(m_scanner->CappedReads(), capped) << "no read ended short";
                EXPECT_TRUE(pages == whole) << "pages differ from those of whole reads";
                ExpectPatternLines(pages, bits, bytesPerLine, layout.bottomUp);
                if (HasFatalFailure())
                    return;
            }
        }
    }
}

TEST_F(HALWrapScanTest, ASimplexPageArrivesThroughThePresetServiceObject) { ScanOnePage(true); }

TEST_F(HALWrapScanTest, ASimplexPageArrivesThroughTheServiceTheWrapperCreates) { ScanOnePage(false); }

} // namespace
