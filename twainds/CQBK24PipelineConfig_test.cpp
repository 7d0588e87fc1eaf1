// The scan settings an acquisition sends the hardware service: the
// config/input elements the data source writes from its capability values,
// read back from the document the service receives when the pipeline is
// built.
#include "diag/MSXML6Store.h"
#include "platform/base/strings.h"
#include "twainds/testing/PipelineSourceTest.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Trellis::CTWAINOneValue;
using Elements = std::vector<std::pair<std::string, LONG>>;

struct Setting {
    TW_UINT16 id;
    CTWAINOneValue value;
};

CTWAINOneValue Bool(bool on) { return CTWAINOneValue(on ? 1u : 0u, TWTY_BOOL); }
CTWAINOneValue Code(TW_UINT16 value) { return CTWAINOneValue(value); }
CTWAINOneValue Number(float value) { return CTWAINOneValue(value); }

// The elements under config/input, in their order.
Elements ConfigInput(const std::u16string& xml)
{
    Elements elements;
    auto destroy = [](MSXML6Store* store) { store->Destroy(); };
    std::unique_ptr<MSXML6Store, decltype(destroy)> store(CreateMSXML6Store(), destroy);
    if (!store->Initialize() || !store->ParseXML(xml.c_str()) || !store->SetContext(u"/config/input"))
        return elements;
    for (bool more = store->SeekFirstChild(); more; more = store->SeekNextSibling()) {
        WCHAR name[64] = {};
        store->GetCurrentNodeName(name, 64);
        elements.emplace_back(Utf16ToUtf8(name), store->GetInt(-1));
    }
    return elements;
}

std::optional<LONG> Find(const Elements& elements, const std::string& name)
{
    for (const auto& [key, value] : elements) {
        if (key == name)
            return value;
    }
    return std::nullopt;
}

std::string Show(const Elements& elements)
{
    std::string text;
    for (const auto& [key, value] : elements)
        text += key + "=" + std::to_string(value) + " ";
    return text;
}

class PipelineConfigTest : public qbk24::testing::PipelineSourceTest {
protected:
    // The config/input of an acquisition started with these settings; the
    // settings are reset afterwards.
    Elements Configure(const std::vector<Setting>& settings)
    {
        for (const Setting& setting : settings)
            EXPECT_EQ(TWRC_SUCCESS, SetOne(setting.id, setting.value)) << "cap 0x" << std::hex << setting.id;
        m_hal.ConfiguredXml.clear();
        EXPECT_EQ(TWRC_SUCCESS, Enable()) << Status();
        EXPECT_EQ(m_source.GetState(), 6);
        EndAcquisition();
        for (auto it = settings.rbegin(); it != settings.rend(); ++it) {
            Trellis::CTWAINContainer answer;
            EXPECT_EQ(TWRC_SUCCESS, Query(it->id, MSG_RESET, answer)) << "cap 0x" << std::hex << it->id;
        }
        if (m_hal.ConfiguredXml.size() != 1)
            return {};
        return ConfigInput(m_hal.ConfiguredXml.front());
    }
};

TEST_F(PipelineConfigTest, TheDefaultsMakeTheseElementsInThisOrder)
{
    // Black and white by default, 8.5 by 11 inches at 200 dpi, simplex.
    const Elements expected = {
        {"Width", 8500},    {"Height", 11000},    {"BitsPerPixel", 1},        {"Duplex", 0}, {"DPI", 200}, {"Pages", 0},
        {"Threshold", 128}, {"UseGammaTable", 0}, {"AutomaticThreshold", 24},
    };
    EXPECT_EQ(Configure({}), expected);
}

TEST_F(PipelineConfigTest, EachSettingBecomesItsElements)
{
    const TW_UINT16 kMemory = TWSX_MEMORY;
    const std::vector<Setting> jpeg = {{ICAP_XFERMECH, Code(kMemory)},
                                       {ICAP_PIXELTYPE, Code(TWPT_GRAY)},
                                       {ICAP_COMPRESSION, Code(TWCP_JPEG)},
                                       {ICAP_JPEGQUALITY, CTWAINOneValue(75, TWTY_INT16)}};
    const std::vector<Setting> group4 = {{ICAP_XFERMECH, Code(kMemory)}, {ICAP_COMPRESSION, Code(TWCP_GROUP4)}};
    auto with = [](std::vector<Setting> base, const std::vector<Setting>& more) {
        base.insert(base.end(), more.begin(), more.end());
        return base;
    };
    const std::vector<Setting> halftone = {{ICAP_BITDEPTHREDUCTION, Code(TWBR_HALFTONE)}};
    auto halftoneNamed = [&](const char* name) {
        return with(halftone, {{ICAP_HALFTONES, CTWAINOneValue(name, TWTY_STR32)}});
    };
    const std::vector<Setting> doubleFeed = {{CUSTCAP_DOUBLEFEEDDETECTION, Bool(true)}};
    const std::vector<Setting> gray = {{ICAP_PIXELTYPE, Code(TWPT_GRAY)}};

    // clang-format off
    const struct {
        const char* name;
        std::vector<Setting> settings;
        Elements present;
        std::vector<std::string> absent;
    } cases[] = {
        {"JPEG, invert off, chocolate", jpeg,
         {{"Compression", 1}, {"HardwareInvert", 0}, {"CompressionRatio", 75}}, {"HardwareMirror"}},
        {"JPEG, invert on, chocolate", with(jpeg, {{CUSTCAP_INVERTIMAGE, Bool(true)}}), {{"HardwareInvert", 1}}, {}},
        {"JPEG, invert off, vanilla", with(jpeg, {{ICAP_PIXELFLAVOR, Code(TWPF_VANILLA)}}),
         {{"HardwareInvert", 1}}, {}},
        {"JPEG, invert on, vanilla, mirrored",
         with(jpeg, {{CUSTCAP_INVERTIMAGE, Bool(true)}, {ICAP_PIXELFLAVOR, Code(TWPF_VANILLA)},
                     {CUSTCAP_MIRRORIMAGE, Bool(true)}}),
         {{"HardwareInvert", 0}, {"HardwareMirror", 1}}, {}},
        {"G4, invert off, chocolate", group4, {{"Compression", 2}, {"HardwareInvert", 1}},
         {"CompressionRatio", "HardwareMirror"}},
        {"G4, invert on, chocolate", with(group4, {{CUSTCAP_INVERTIMAGE, Bool(true)}}), {{"HardwareInvert", 0}}, {}},
        {"G4, invert off, vanilla", with(group4, {{ICAP_PIXELFLAVOR, Code(TWPF_VANILLA)}}),
         {{"HardwareInvert", 0}}, {}},
        {"G4, invert on, vanilla, mirrored",
         with(group4, {{CUSTCAP_INVERTIMAGE, Bool(true)}, {ICAP_PIXELFLAVOR, Code(TWPF_VANILLA)},
                       {CUSTCAP_MIRRORIMAGE, Bool(true)}}),
         {{"HardwareInvert", 1}, {"HardwareMirror", 1}}, {}},
        {"uncompressed", {}, {}, {"Compression", "HardwareInvert", "CompressionRatio"}},
        {"landscape swaps width and height", {{ICAP_ORIENTATION, Code(TWOR_LANDSCAPE)}},
         {{"Width", 11000}, {"Height", 8500}}, {}},
        {"all pages", {{CAP_XFERCOUNT, CTWAINOneValue(0xFFFFu, TWTY_INT16)}}, {{"Pages", 0}}, {}},
        {"three pages", {{CAP_XFERCOUNT, CTWAINOneValue(3, TWTY_INT16)}}, {{"Pages", 3}}, {}},
        {"duplex, 24 bit, 300 dpi",
         {{CAP_DUPLEXENABLED, Bool(true)}, {ICAP_PIXELTYPE, Code(TWPT_RGB)}, {ICAP_XRESOLUTION, Number(300)},
          {ICAP_YRESOLUTION, Number(300)}},
         {{"Duplex", 1}, {"BitsPerPixel", 24}, {"DPI", 300}, {"UseGammaTable", 1}},
         {"Threshold", "SimpleColorDropout", "Dither"}},
        {"black and white, dynamic threshold",
         {{ICAP_BITDEPTHREDUCTION, Code(0x8000)}, {CUSTCAP_DYNAMICTHRESHOLD, Number(5)}},
         {{"AutomaticThreshold", 21}, {"Threshold", 128}, {"UseGammaTable", 0}},
         {"Dither", "AutomaticSeparation", "Brightness", "Contrast"}},
        {"black and white, threshold", {{ICAP_BITDEPTHREDUCTION, Code(TWBR_THRESHOLD)}},
         {{"Dither", 0}, {"AutomaticSeparation", 0}}, {"AutomaticThreshold", "Brightness"}},
        {"black and white, diffusion, separation",
         {{ICAP_BITDEPTHREDUCTION, Code(TWBR_DIFFUSION)}, {CUSTCAP_AUTOMATICSEPARATION, Bool(true)}},
         {{"Dither", 5}, {"AutomaticSeparation", 1}, {"Brightness", 128}}, {"AutomaticThreshold"}},
        {"halftone 0 degree dot", halftoneNamed("0 degree halftone dot (64 steps)"), {{"Dither", 4}}, {}},
        {"halftone 45 degree dot", halftoneNamed("45 degree halftone dot (32 steps)"), {{"Dither", 3}}, {}},
        {"halftone Bayer 16", halftoneNamed("Bayer dither (16 steps)"), {{"Dither", 2}}, {}},
        {"halftone Bayer 64", halftoneNamed("Bayer dither (64 steps)"), {{"Dither", 1}}, {}},
        {"double feed, sensitivity 0, stop",
         with(doubleFeed, {{CUSTCAP_DOUBLEFEEDSENSITIVITY, Code(0)}, {CUSTCAP_DOUBLEFEEDACTION, Code(2)}}),
         {{"DFD", 1}, {"DFDAction", 1}, {"DFDSensitivity", 2}}, {}},
        {"double feed, sensitivity 1, go on",
         with(doubleFeed, {{CUSTCAP_DOUBLEFEEDSENSITIVITY, Code(1)}, {CUSTCAP_DOUBLEFEEDACTION, Code(0)}}),
         {{"DFD", 1}, {"DFDAction", 0}, {"DFDSensitivity", 0}}, {}},
        {"double feed, sensitivity 2", with(doubleFeed, {{CUSTCAP_DOUBLEFEEDSENSITIVITY, Code(2)}}),
         {{"DFDSensitivity", 1}}, {}},
        {"no double-feed detection", {}, {}, {"DFD", "DFDAction", "DFDSensitivity"}},
        {"deskew, stop on skew", {{ICAP_AUTOMATICDESKEW, Bool(true)}, {CUSTCAP_SKEWACTION, Code(2)}},
         {{"Deskew", 1}, {"StopSkew", 1}}, {}},
        {"lone-pixel noise filter",
         {{ICAP_NOISEFILTER, Code(TWNF_LONEPIXEL)}, {CUSTCAP_DESPECKLEVALUE, Number(3)}, {CUSTCAP_DESPECKLE, Code(0)}},
         {{"NoiseReductionWindow", 3}, {"NoiseReductionColor", 1}}, {}},
        {"no noise filter", {}, {}, {"NoiseReductionWindow", "NoiseReductionColor"}},
        {"red dropout, gray", with(gray, {{ICAP_FILTER, Code(TWFT_RED)}}), {{"SimpleColorDropout", 1}}, {}},
        {"blue dropout, black and white", {{ICAP_FILTER, Code(TWFT_BLUE)}}, {{"SimpleColorDropout", 3}}, {}},
        {"no dropout in colour", {{ICAP_PIXELTYPE, Code(TWPT_RGB)}, {ICAP_FILTER, Code(TWFT_GREEN)}}, {},
         {"SimpleColorDropout"}},
        {"brightness -1000", with(gray, {{ICAP_BRIGHTNESS, Number(-1000)}}), {{"Brightness", 255}}, {}},
        {"brightness 0, contrast 0", gray, {{"Brightness", 128}, {"Contrast", 127}}, {"Threshold"}},
        {"brightness 1000", with(gray, {{ICAP_BRIGHTNESS, Number(1000)}}), {{"Brightness", 0}}, {}},
        {"contrast 1000", with(gray, {{ICAP_CONTRAST, Number(1000)}}), {{"Contrast", 255}}, {}},
        {"auto-crop width and length",
         {{CUSTCAP_AUTOCROPWIDTH, Bool(true)}, {CUSTCAP_AUTOCROPLENGTH, Bool(true)}},
         {{"DetectPaperWidth", 1}, {"LengthControl", 1}}, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Elements elements = Configure(c.settings);
        ASSERT_FALSE(elements.empty());
        for (const auto& [name, value] : c.present)
            EXPECT_EQ(Find(elements, name), value) << name << " in " << Show(elements);
        for (const std::string& name : c.absent)
            EXPECT_EQ(Find(elements, name), std::nullopt) << name << " in " << Show(elements);
    }
}

// The device control that downloads the gray gamma table.
constexpr LONG kGammaGray = 16;

// The pipeline is built in inches; the application's units are back after
// the build whether it succeeded or failed, and a frame reads as before.
TEST_F(PipelineConfigTest, TheUnitsAreBackAfterABuildThatSucceededOrFailed)
{
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_PIXELTYPE, Code(TWPT_GRAY))); // gamma tables go to the scanner
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_UNITS, Code(TWUN_PIXELS)));
    const std::vector<double> frame = qbk24::testing::Edges(Ask(ICAP_FRAMES, MSG_GETCURRENT).GetOneValue().Frame);
    const auto answered = m_hal.ConfigOutput;
    const struct {
        const char* name;
        std::function<void(qbk24::testing::FakeHal&)> service;
        TW_UINT16 rc;
        TW_UINT16 condition;
    } cases[] = {
        {"built", [](auto&) {}, TWRC_SUCCESS, TWCC_SUCCESS},
        {"the settings refused", [](auto& hal) { hal.ConfigOutput.clear(); }, TWRC_FAILURE, TWCC_OPERATIONERROR},
        {"the gamma table not taken", [](auto& hal) { hal.Results[kGammaGray] = S_FALSE; }, TWRC_FAILURE,
         TWCC_OPERATIONERROR},
        {"the gamma table's call failed: a COM error", [](auto& hal) { hal.Results[kGammaGray] = E_FAIL; },
         TWRC_FAILURE, TWCC_BUMMER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_hal.ConfigOutput = answered;
        m_hal.Results.clear();
        c.service(m_hal);
        EXPECT_EQ(c.rc, Enable());
        EXPECT_EQ(c.condition, Status());
        EXPECT_EQ(TWUN_PIXELS, Current(ICAP_UNITS));
        EXPECT_EQ(frame, qbk24::testing::Edges(Ask(ICAP_FRAMES, MSG_GETCURRENT).GetOneValue().Frame));
        EndAcquisition();
    }
}

} // namespace
