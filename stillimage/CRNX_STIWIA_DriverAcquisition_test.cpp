// Writing the item properties configures the scan: the settings the driver
// keeps from the items, the documents it gives the pipeline (the real
// pipeline library, registered on a fresh system root) and the config the
// hardware service receives through the wrapper.
#include "stillimage/PipelineDocuments.h"
#include "stillimage/testing/MiniDrvClient.h"

#include "pipeline/testing/FakeHALService.h"
#include "platform/testing/TempSystemRoot.h"

namespace {

using namespace stillimage::testing;
using pipeline::testing::FakeHALService;

// The pipeline classes live in the registry of the system root.
plat::testing::TempSystemRoot g_systemRoot;

constexpr CLSID kFakeHalClsid = plat::MakeGuid("2D7C51E8-6A94-4B03-8F2E-C4B19D0A7E36");
constexpr char16_t kFakeHalClsidText[] = u"{2D7C51E8-6A94-4B03-8F2E-C4B19D0A7E36}";

class StiDriverAcquisition : public MiniDrvClient {
protected:
    void SetUp() override
    {
        m_library = LoadLibraryA(QBK_RNXCOMCORE);
        ASSERT_NE(m_library, nullptr);
        auto registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(m_library, "DllRegisterServer"));
        ASSERT_TRUE(registerServer);
        ASSERT_EQ(registerServer(), S_OK);

        // The driver's hardware thread makes the fake service as the class
        // its key names.
        factory.service = &hal;
        ASSERT_EQ(CoRegisterClassObject(kFakeHalClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &m_cookie),
                  S_OK);
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\Test\\StiParameters", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
        const std::u16string clsid = kFakeHalClsidText;
        ASSERT_EQ(RegSetValueExW(m_key, u"HAL_CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid.c_str()),
                                 static_cast<DWORD>((clsid.size() + 1) * sizeof(char16_t))),
                  ERROR_SUCCESS);
        IStiUSD* usd = driver;
        ASSERT_EQ(S_OK, usd->Initialize(reinterpret_cast<PSTIDEVICECONTROL>(&m_key), 2, m_key));

        IWiaDrvItem* root = nullptr;
        ASSERT_EQ(S_OK, Connect(&root));
        ASSERT_EQ(S_OK, items.Build(root));
        rootItem = items.Find(u"Root");
        feeder = items.Find(u"Feeder");
        ASSERT_TRUE(rootItem && feeder);
        LONG error = 0;
        ASSERT_EQ(S_OK, miniDrv()->drvInitItemProperties(rootItem->Context(), 0, &error));
        ASSERT_EQ(S_OK, miniDrv()->drvInitItemProperties(feeder->Context(), 0, &error));
        hal.onConfigure = [this](ICKelXmlHAL* configured) {
            BSTR xml = nullptr;
            if (SUCCEEDED(configured->GenerateXML(&xml)))
                configXml = Utf16ToUtf8(std::u16string(xml, SysStringLen(xml)));
            SysFreeString(xml);
        };
        hal.output = {{u"Width", 1696}, {u"Height", 2200}, {u"BytesPerLine", 5088}, {u"Status", 0}};
    }

    void TearDown() override
    {
        MiniDrvClient::TearDown();
        driver = nullptr;
        if (m_key)
            RegCloseKey(m_key);
        CoRevokeClassObject(m_cookie);
        if (m_library)
            FreeLibrary(m_library);
    }

    // Writes the item properties as a client and lets the driver configure
    // the scan through the fake service.
    HRESULT Configure(std::vector<std::pair<PROPID, LONG>> root, std::vector<std::pair<PROPID, LONG>> item)
    {
        // Each configuration starts from the items' defaults.
        root.insert(
            root.begin(),
            {{WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER}, {WIA_DPS_PAGES, 0}, {WIA_DPS_PREVIEW, WIA_FINAL_SCAN}});
        item.insert(item.begin(), {{WIA_IPS_XRES, 200},
                                   {WIA_IPS_YRES, 200},
                                   {WIA_IPS_XPOS, 0},
                                   {WIA_IPS_YPOS, 0},
                                   {WIA_IPS_XEXTENT, 1700},
                                   {WIA_IPS_YEXTENT, 2200},
                                   {WIA_IPS_BRIGHTNESS, 50},
                                   {WIA_IPS_CONTRAST, 50},
                                   {WIA_IPA_DATATYPE, WIA_DATA_THRESHOLD},
                                   {WIA_IPA_TYMED, TYMED_CALLBACK}});
        for (auto [id, value] : root)
            EXPECT_EQ(S_OK, wiasWritePropLong(rootItem->Context(), id, value));
        for (auto [id, value] : item)
            EXPECT_EQ(S_OK, wiasWritePropLong(feeder->Context(), id, value));
        configXml.clear();
        LONG error = 0;
        return miniDrv()->drvWriteItemProperties(feeder->Context(), 0, nullptr, &error);
    }

    WiaItem* rootItem = nullptr;
    WiaItem* feeder = nullptr;
    FakeHALService hal;
    pipeline::testing::FakeHALFactory factory;
    std::string configXml;

private:
    HMODULE m_library = nullptr;
    DWORD m_cookie = 0;
    HKEY m_key = nullptr;
};

TEST(PipelineDocuments, AreTheTwoOneLineDocuments)
{
    EXPECT_EQ(std::u16string(kScannerSourceDocument),
              u"  <scannerSource assemblyName=\"RNXQBK24.dll\" moduleName=\"Quorvant.Tessivo.RNXQBK24Hal\">    "
              u"<scanner>00000000-0000-0000-0000-000000000000</scanner>    <config>      <input>      </input>    "
              u"</config>  </scannerSource>");
    EXPECT_EQ(std::u16string(kRasterConvertDocument),
              u"  <rasterCvrt assemblyName=\"RNXStdModules.dll\" moduleName=\"Quorvant.Tessivo.RBConvert\">    "
              u"<precursor>scannerSource</precursor>    <Restrictions Alignment=\"4\" BWGender=\"BlackIsZero\" "
              u"GrayGender=\"BlackIsZero\" ColorGender=\"BlackIsZero\" PixelOrder=\"LeftRight\" "
              u"ColorChannelOrder=\"BGR\" LineOrder=\"BottomUp\" BitOrder=\"MSBFirst\"/>    "
              u"<bufferSize>65536</bufferSize>  </rasterCvrt>");
}

TEST_F(StiDriverAcquisition, ItemSettingsBecomeTheServicesConfiguration)
{
    // clang-format off
    struct Case {
        const char* what;
        std::vector<std::pair<PROPID, LONG>> root, item;
        const char* input;  // the config/input the service receives
    } cases[] = {
        {"defaults: letter at 200 dpi, black and white, brightness 50",
         {},
         {},
         "<Width>8500</Width><Height>11000</Height><BitsPerPixel>1</BitsPerPixel><Duplex>0</Duplex><DPI>200</DPI>"
         "<Pages>0</Pages><Brightness>128</Brightness><Threshold>128</Threshold><Contrast>128</Contrast>"},
        {"brightness 0 and contrast 100, grey, three pages",
         {{WIA_DPS_PAGES, 3}},
         {{WIA_IPS_BRIGHTNESS, 0}, {WIA_IPS_CONTRAST, 100}, {WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE}},
         "<Width>8500</Width><Height>11000</Height><BitsPerPixel>8</BitsPerPixel><Duplex>0</Duplex><DPI>200</DPI>"
         "<Pages>3</Pages><Brightness>255</Brightness><Threshold>255</Threshold><Contrast>0</Contrast>"},
        {"brightness 100, colour, an offset window at 300 dpi",
         {},
         {{WIA_IPS_BRIGHTNESS, 100}, {WIA_IPA_DATATYPE, WIA_DATA_COLOR}, {WIA_IPS_XRES, 300}, {WIA_IPS_YRES, 300},
          {WIA_IPS_XPOS, 100}, {WIA_IPS_YPOS, 50}, {WIA_IPS_XEXTENT, 1001}, {WIA_IPS_YEXTENT, 299}},
         "<Width>3336</Width><Height>996</Height><BitsPerPixel>24</BitsPerPixel><Duplex>0</Duplex><DPI>300</DPI>"
         "<Pages>0</Pages><Brightness>0</Brightness><Threshold>0</Threshold><Contrast>128</Contrast>"},
        {"duplex, all pages",
         {{WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX}},
         {},
         "<Width>8500</Width><Height>11000</Height><BitsPerPixel>1</BitsPerPixel><Duplex>1</Duplex><DPI>200</DPI>"
         "<Pages>0</Pages><Brightness>128</Brightness><Threshold>128</Threshold><Contrast>128</Contrast>"},
        {"one duplex sheet: both sides",
         {{WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX}, {WIA_DPS_PAGES, 1}},
         {},
         "<Width>8500</Width><Height>11000</Height><BitsPerPixel>1</BitsPerPixel><Duplex>1</Duplex><DPI>200</DPI>"
         "<Pages>2</Pages><Brightness>128</Brightness><Threshold>128</Threshold><Contrast>128</Contrast>"},
        {"a file holds one page",
         {{WIA_DPS_PAGES, 0}},
         {{WIA_IPA_TYMED, TYMED_FILE}},
         "<Width>8500</Width><Height>11000</Height><BitsPerPixel>1</BitsPerPixel><Duplex>0</Duplex><DPI>200</DPI>"
         "<Pages>1</Pages><Brightness>128</Brightness><Threshold>128</Threshold><Contrast>128</Contrast>"},
        {"duplex files go sheet by sheet",
         {{WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX}, {WIA_DPS_PAGES, 0}},
         {{WIA_IPA_TYMED, TYMED_FILE}},
         "<Width>8500</Width><Height>11000</Height><BitsPerPixel>1</BitsPerPixel><Duplex>1</Duplex><DPI>200</DPI>"
         "<Pages>2</Pages><Brightness>128</Brightness><Threshold>128</Threshold><Contrast>128</Contrast>"},
        {"a preview is one page",
         {{WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX}, {WIA_DPS_PAGES, 1}, {WIA_DPS_PREVIEW, 1}},
         {{WIA_IPA_TYMED, TYMED_CALLBACK}},
         "<Width>8500</Width><Height>11000</Height><BitsPerPixel>1</BitsPerPixel><Duplex>1</Duplex><DPI>200</DPI>"
         "<Pages>1</Pages><Brightness>128</Brightness><Threshold>128</Threshold><Contrast>128</Contrast>"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(S_OK, Configure(c.root, c.item));
        EXPECT_EQ(configXml, std::string("<config><input>") + c.input +
                                 "</input><output><Width>0</Width><Height>0</Height><BytesPerLine>0</BytesPerLine>"
                                 "<Status>0</Status></output></config>");
    }
}

TEST_F(StiDriverAcquisition, AServiceThatRefusesFailsTheConfiguration)
{
    hal.configureResult = E_UNEXPECTED;
    EXPECT_EQ(E_POINTER, Configure({}, {}));
    EXPECT_EQ(hal.calls, (std::vector<std::string>{"Initialize", "Configure"}));
}

TEST(ConfigInputKeys, ScaleAndSizes)
{
    struct Case {
        LONG brightness, contrast, extent, resolution;
        LONG width, brightnessKey, contrastKey;
    } cases
        [] =
            {
                {50, 50, 1700, 200, 8500, 128, 128}, {0, 100, 1700, 200, 8500, 255, 0},
                {100, 0, 850, 100, 8500, 0, 255},    {1, 99, 1, 600, 1, 253, 3},
                {50, 50, 1700, 0, 0, 128, 128}, // no resolution: no size rather than a division by zero
            };
    for (const Case& c : cases) {
        WiaScanSettings s;
        s.brightness = c.brightness;
        s.contrast = c.contrast;
        s.right = c.extent;
        s.bottom = c.extent;
        s.xResolution = s.yResolution = c.resolution;
        const std::vector<ConfigInputKey> keys = ConfigInputKeys(s);
        ASSERT_EQ(keys.size(), 9u);
        EXPECT_EQ(keys[0].value, c.width);
        EXPECT_EQ(keys[1].value, c.width);
        EXPECT_EQ(keys[6].value, c.brightnessKey);
        EXPECT_EQ(keys[7].value, c.brightnessKey);
        EXPECT_EQ(keys[8].value, c.contrastKey);
    }
}

} // namespace
