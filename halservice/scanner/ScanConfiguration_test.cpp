#include "halservice/scanner/testing/ScanJobFixture.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using hal::testing::DefaultSettings;
using hal::testing::Geometry;
using hal::testing::ScanJobFixture;

// One field of the descriptor as the scanner received it (big-endian).
struct Field {
    size_t offset;
    size_t width;
    DWORD value;
};

DWORD ReadField(const std::array<std::uint8_t, 64>& raw, size_t offset, size_t width)
{
    DWORD value = 0;
    for (size_t i = 0; i < width; ++i)
        value = (value << 8) | raw[offset + i];
    return value;
}

using Gamma = std::array<bool, 4>; // channels red, green, blue, gray loaded

struct WindowCase {
    std::string name;
    std::function<void(ConfigScanArgs&)> settings;
    std::vector<Field> fields;
    std::optional<Geometry> geometry;
    int sheetSizeCode = -1; // a sheet in the feeder for width detection
    Gamma frontGamma{};
    Gamma backGamma{};
};

class ScanConfigurationTest : public ScanJobFixture {};

TEST_F(ScanConfigurationTest, SettingsBecomeTheWindowAndTheGeometryIsAnsweredBack)
{
    // Descriptor offsets: 0 id, 2 x res, 4 y res, 6/10 upper left, 14 width,
    // 18 length, 22 brightness, 23 threshold, 24 contrast, 25 composition,
    // 26 bits, 27 halftone, 29 reverse, 30 bit order, 32 compression, 33 its
    // argument, 41/45/46/56/62 feature bytes, 42 mirror, 44 gamma, 47
    // document size, 48 document width, 52 document length, 57 sheets,
    // 58 auto threshold, 59 auto separation, 60 white level, 61 noise.
    // clang-format off
    const std::vector<WindowCase> cases = {
        {"letter, 24 bit, 200 dpi",
         [](ConfigScanArgs&) {},
         {{0, 1, 0x00}, {2, 2, 200}, {4, 2, 200}, {6, 4, 0}, {10, 4, 0}, {14, 4, 10176}, {18, 4, 13200},
          {25, 1, 5}, {26, 1, 24}, {29, 1, 0}, {30, 2, 0}, {32, 1, 0}, {44, 1, 0}, {46, 1, 0x30},
          {48, 4, 10200}, {52, 4, 13200}, {57, 1, 0xFF}, {63, 1, 0}},
         Geometry{1696, 2200, 5088}},
        {"1 bit: inverted to the clients' polarity, no contrast",
         [](ConfigScanArgs& s) {
             s.BitsPerPixel = 1;
             s.DPI = 300;
             s.Brightness = 10;
             s.Threshold = 130;
             s.Contrast = 77;
         },
         {{2, 2, 300}, {22, 1, 10}, {23, 1, 130}, {24, 1, 0}, {25, 1, 0}, {26, 1, 1}, {29, 1, 0x80},
          {30, 2, 1}, {32, 1, 0}},
         Geometry{2544, 3300, 318}},
        {"1 bit asked inverted: raw polarity",
         [](ConfigScanArgs& s) {
             s.BitsPerPixel = 1;
             s.HardwareInvert = 1;
         },
         {{29, 1, 0}, {30, 2, 0}},
         Geometry{1696, 2200, 212}},
        {"1 bit MMR, inverted, noise reduction in colour",
         [](ConfigScanArgs& s) {
             s.BitsPerPixel = 1;
             s.Compression = 2;
             s.CompressionRatio = 50;
             s.HardwareInvert = 1;
             s.NoiseReductionWindow = 3;
             s.NoiseReductionColor = 1;
         },
         {{29, 1, 0x80}, {30, 2, 0}, {32, 1, 3}, {33, 1, 0}, {46, 1, 0x30}, {61, 1, 0x83}}, std::nullopt},
        {"8 bit JPEG, ratio above 100",
         [](ConfigScanArgs& s) {
             s.BitsPerPixel = 8;
             s.Compression = 1;
             s.CompressionRatio = 250;
         },
         {{25, 1, 2}, {26, 1, 8}, {29, 1, 0}, {32, 1, 0x81}, {33, 1, 100}, {46, 1, 0x00}},
         Geometry{1696, 2200, 1696}},
        {"24 bit JPEG, negative ratio",
         [](ConfigScanArgs& s) {
             s.Compression = 1;
             s.CompressionRatio = -5;
         },
         {{32, 1, 0x81}, {33, 1, 0}, {46, 1, 0x30}}, std::nullopt},
        {"JPEG asked for 1 bit is dropped",
         [](ConfigScanArgs& s) {
             s.BitsPerPixel = 1;
             s.Compression = 1;
         },
         {{32, 1, 0}, {29, 1, 0x80}, {30, 2, 1}}, std::nullopt},
        {"MMR asked for 8 bit is dropped",
         [](ConfigScanArgs& s) {
             s.BitsPerPixel = 8;
             s.Compression = 2;
             s.HardwareInvert = 1;
         },
         {{32, 1, 0}, {29, 1, 0x80}}, std::nullopt},
        {"feature settings",
         [](ConfigScanArgs& s) {
             s.DFD = 1;
             s.DFDAction = 0x03;
             s.DFDSensitivity = 0x05;
             s.SimpleColorDropout = 2;
             s.StopSkew = 1;
             s.Deskew = 1;
             s.FitToPage = 1;
             s.Brightness = 50;
             s.Threshold = 60;
             s.AutomaticThreshold = 2;
             s.Dither = 3;
             s.AutomaticSeparation = 1;
             s.WhiteLevelFromPaper = 2;
             s.LengthControl = 1;
             s.LongPaper = 1;
             s.HardwareMirror = 1;
             s.UseGammaTable = 1;
         },
         {{41, 1, 0x13}, {45, 1, 0x25}, {56, 1, 0x34}, {22, 1, 0}, {23, 1, 0}, {58, 1, 2}, {25, 1, 1},
          {27, 2, 2}, {59, 1, 0x80}, {60, 1, 0x81}, {47, 1, 0x60}, {42, 1, 0x80}, {44, 1, 0x80}},
         std::nullopt, -1, Gamma{true, true, true, false}},
        {"white level from the paper, mode 1",
         [](ConfigScanArgs& s) { s.WhiteLevelFromPaper = 1; },
         {{60, 1, 0x80}, {47, 1, 0}}, std::nullopt},
        {"margin added after the detected width",
         [](ConfigScanArgs& s) {
             s.DetectPaperWidth = 1;
             s.Margin = 1;
         },
         {{48, 4, 10641}, {14, 4, 10560}, {62, 1, 0x30}},
         Geometry{1760, 2200, 5280}, 4},
        {"an unknown size code keeps the width",
         [](ConfigScanArgs& s) { s.DetectPaperWidth = 1; },
         {{48, 4, 10200}, {62, 1, 0}},
         Geometry{1696, 2200, 5088}, 2},
        {"simplex page count is the sheet count",
         [](ConfigScanArgs& s) { s.Pages = 5; },
         {{57, 1, 5}}, std::nullopt},
        {"8 bit gamma placeholders on both sides, duplex sheet count",
         [](ConfigScanArgs& s) {
             s.BitsPerPixel = 8;
             s.UseGammaTable = 1;
             s.Duplex = 1;
             s.Pages = 3;
         },
         {{44, 1, 0x80}, {57, 1, 2}},
         std::nullopt, -1, Gamma{false, false, false, true}, Gamma{false, false, false, true}},
        {"no gamma for 1 bit",
         [](ConfigScanArgs& s) {
             s.BitsPerPixel = 1;
             s.UseGammaTable = 1;
             s.Duplex = 1;
         },
         {{44, 1, 0}}, std::nullopt},
    };
    // clang-format on
    Start();
    for (const WindowCase& c : cases) {
        SCOPED_TRACE(c.name);
        Restart(); // fresh windows and gamma tables
        m_scanner->LoadSheets(c.sheetSizeCode >= 0 ? 1 : 0,
                              emulator::Sheet{11000, static_cast<std::uint8_t>(std::max(c.sheetSizeCode, 0))});
        ConfigScanArgs settings = DefaultSettings();
        c.settings(settings);
        const Geometry geometry = Configure(settings);
        if (c.geometry) {
            EXPECT_EQ(geometry, *c.geometry);
        }
        const auto front = m_scanner->Window(false);
        ASSERT_TRUE(front.has_value());
        for (const Field& f : c.fields)
            EXPECT_EQ(ReadField(front->raw, f.offset, f.width), f.value) << "descriptor offset " << f.offset;
        const auto back = m_scanner->Window(true);
        EXPECT_EQ(back.has_value(), settings.Duplex != 0);
        if (back) {
            auto expected = front->raw;
            expected[0] = 0x80;
            EXPECT_EQ(back->raw, expected);
        }
        EXPECT_EQ(m_scanner->Gamma(false).loaded, c.frontGamma);
        EXPECT_EQ(m_scanner->Gamma(true).loaded, c.backGamma);
    }
}

TEST_F(ScanConfigurationTest, DuplexSendsGammaThenWaitsForReadinessThenSetsBothWindows)
{
    Start();
    ConfigScanArgs settings = DefaultSettings();
    settings.BitsPerPixel = 8;
    settings.UseGammaTable = 1;
    settings.Duplex = 1;
    Configure(settings);
    // SEND gamma front and back, TEST UNIT READY, the readiness wait's empty
    // SET WINDOW, the front window, the line information, the back window.
    EXPECT_EQ(CommandCodes(), (std::vector<BYTE>{0x2A, 0x2A, 0x00, 0x24, 0x24, 0x28, 0x24}));
}

TEST_F(ScanConfigurationTest, ARefusedConfigurationSaysWhyInItsStatus)
{
    // The status takes the payload codes of a failed band.
    const struct {
        const char* name;
        std::function<void(emulator::EmulatedScanner&, ConfigScanArgs&)> setup;
        LONG status;
    } cases[] = {
        {"accepted", [](emulator::EmulatedScanner&, ConfigScanArgs&) {}, 0},
        {"cover open", [](emulator::EmulatedScanner& s, ConfigScanArgs&) { s.SetCoverOpen(true); }, 7},
        {"window refused", [](emulator::EmulatedScanner&, ConfigScanArgs& a) { a.Width = 20000; }, 1},
        {"no resolution", [](emulator::EmulatedScanner&, ConfigScanArgs& a) { a.DPI = 0; }, 1},
    };
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigScanArgs settings = DefaultSettings();
        c.setup(*m_scanner, settings);
        Configure(settings);
        EXPECT_EQ(m_configStatus, c.status);
        m_scanner->SetCoverOpen(false);
    }
}

TEST_F(ScanConfigurationTest, ZeroResolutionSendsNoWindowAndLeavesNoJob)
{
    Start();
    ConfigScanArgs settings = DefaultSettings();
    settings.DPI = 0;
    EXPECT_EQ(Configure(settings), (Geometry{0, 0, 0}));
    EXPECT_FALSE(m_scanner->Window(false).has_value());

    m_scanner->LoadSheets(1);
    m_scanner->Log().Clear();
    const auto band = Produce(65536);
    EXPECT_EQ(band.status, 1);
    EXPECT_TRUE(band.bytes.empty());
    EXPECT_TRUE(CommandCodes().empty());
}

TEST_F(ScanConfigurationTest, OversizedSettingsAreComputedWithoutOverflow)
{
    Start();
    ConfigScanArgs settings = DefaultSettings();
    settings.Width = INT_MAX;
    settings.DPI = 600;
    // 2576980376 units x 600 / 1200, down to a multiple of 16; 3 bytes each.
    EXPECT_EQ(Configure(settings), (Geometry{1288490176, 6600, 3865470528u}));
    // The scanner refuses an area that wide.
    EXPECT_FALSE(m_scanner->Window(false).has_value());
    // The margin is added beyond 32 bits.
    settings.Margin = 1;
    EXPECT_EQ(Configure(settings), (Geometry{1288490544, 6600, 3865471632u}));

    settings = DefaultSettings();
    settings.Width = -8500;
    EXPECT_EQ(Configure(settings), (Geometry{0, 2200, 0}));
}

} // namespace
