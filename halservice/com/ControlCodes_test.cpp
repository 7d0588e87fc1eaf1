// Control codes from IRNXHALS::Control2 through the scanner thread to the
// emulated scanner, and the firmware download.
#include "halservice/com/RNXHALS.h"

#include "halservice/scanner/testing/ScannerSessionFixture.h"
#include "platform/oleauto/ScopedSafeArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using hal::testing::ScannerSessionFixture;
using Bytes = std::vector<BYTE>;
using emulator::KeyAction;
using emulator::PanelKey;

constexpr BYTE kTUR = 0x00;
constexpr BYTE kInquiry = 0x12;
constexpr BYTE kSetWindow = 0x24;
constexpr BYTE kRead = 0x28;
constexpr BYTE kSend = 0x2A;
constexpr BYTE kWriteBuffer = 0x3B;
constexpr BYTE kVendorRead = 0xE0;
constexpr BYTE kVendorWrite = 0xE1;

// Lets tests set the duplex flag that a scan configuration leaves.
class DuplexSession : public CScannerWrap {
public:
    void SetDuplex(bool duplex) { m_duplex = duplex ? 1 : 0; }
};

// A byte-array VARIANT owning its array; `size` nullopt leaves it empty.
class ByteVariant {
public:
    explicit ByteVariant(const Bytes& bytes)
        : m_array(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size())))
    {
        if (!bytes.empty())
            std::memcpy(m_array.Get()->pvData, bytes.data(), bytes.size());
        m_variant.vt = VT_ARRAY | VT_UI1;
        m_variant.parray = m_array.Get();
    }
    ByteVariant() = default;
    VARIANT* Get() { return &m_variant; }
    Bytes Content() const
    {
        if (!m_array.Get())
            return {};
        const BYTE* data = static_cast<const BYTE*>(m_array.Get()->pvData);
        return Bytes(data, data + m_array.Get()->rgsabound[0].cElements);
    }

private:
    plat::ScopedSafeArray m_array;
    VARIANT m_variant{};
};

class ControlCodesTest : public ScannerSessionFixture {
protected:
    void SetUp() override
    {
        auto session = std::make_unique<DuplexSession>();
        m_duplexSession = session.get();
        m_session = std::move(session);
        ScannerSessionFixture::SetUp();
    }
    void TearDown() override
    {
        if (m_hal)
            m_hal->Release();
        ScannerSessionFixture::TearDown();
    }

    // Joins and locks, so that the device is open for commands.
    void Ready(emulator::ScannerConfig config = {})
    {
        Plug(config);
        m_hal = new CRNXHALS(m_session.get());
        LONG status = 99;
        ASSERT_EQ(m_hal->Initialize(&status), S_OK);
        ASSERT_EQ(status, 0);
        ASSERT_EQ(m_hal->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
        ASSERT_EQ(status, 0);
        m_scanner->Log().Clear();
    }

    // Runs Control2 on a caller thread; the clock moves whenever the
    // scanner thread waits inside the handler (the firmware block pauses).
    HRESULT Control(LONG code, ByteVariant& in, ByteVariant& out)
    {
        HRESULT hr = E_UNEXPECTED;
        RunMovingClock(
            [&] {
                BSTR xml = nullptr;
                hr = m_hal->Control2(code, &xml, in.Get(), out.Get());
            },
            CScannerWrap::kFirmwareBlockPauseMs);
        return hr;
    }

    DuplexSession* m_duplexSession = nullptr;
    CRNXHALS* m_hal = nullptr;
};

Bytes Pattern(size_t size, BYTE seed)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<BYTE>(seed + i * 7);
    return bytes;
}

struct ControlCase {
    const char* what;
    LONG code;
    Bytes in;
    std::optional<size_t> outSize; // nullopt: no output array
    std::function<void(emulator::EmulatedScanner&)> prepare;
    std::vector<BYTE> commands;
    Bytes out; // the output array afterwards (filled with 0xEE before)
    std::function<void(emulator::EmulatedScanner&)> check;
};

TEST_F(ControlCodesTest, EachCodeSendsItsCommandsAndAnswersInTheOutputBuffer)
{
    const Bytes panel = Pattern(2560, 3);
    const Bytes gamma = Pattern(256, 11);
    auto none = [](emulator::EmulatedScanner&) {};
    const Bytes untouched1(1, 0xEE);

    emulator::ScannerConfig config;
    config.counter = 0x01020304;
    config.memoryMegabytes = 64;

    // clang-format off
    const std::vector<ControlCase> cases = {
        {"stop feeder", 0, {}, 1, none, {kVendorWrite}, {0}, none},
        {"stop feeder without an output byte still stops", 0, {}, std::nullopt, none, {kVendorWrite}, {}, none},
        {"code 1 does nothing", 1, {1, 2}, 1, none, {}, untouched1, none},
        {"panel image of exactly 2560 bytes", 2, panel, 1, none, {kVendorWrite}, untouched1,
         [&](emulator::EmulatedScanner& s) { EXPECT_EQ(s.LcdImage(), panel); }},
        {"panel image: only the first 2560 bytes of a longer input", 2,
         [&] {
             Bytes longer = panel;
             longer.push_back(0x77);
             return longer;
         }(),
         1, none, {kVendorWrite}, untouched1, [&](emulator::EmulatedScanner& s) { EXPECT_EQ(s.LcdImage(), panel); }},
        {"panel image of 2559 bytes is not sent", 2, Bytes(2559, 1), 1, none, {}, untouched1, none},
        {"panel colours: background then text", 3, {0, 0, 31, 31, 63, 0}, 1, none, {kVendorWrite}, untouched1,
         [](emulator::EmulatedScanner& s) {
             EXPECT_EQ(s.LcdColors(), (std::pair<std::uint16_t, std::uint16_t>{0x001F, 0xFFE0}));
         }},
        {"panel colours from 5 bytes are not sent", 3, {1, 2, 3, 4, 5}, 1, none, {}, untouched1, none},
        {"document in the feeder", 4, {}, 1, [](emulator::EmulatedScanner& s) { s.LoadSheets(1); }, {kRead}, {1},
         none},
        {"no document in the feeder", 4, {}, 2, [](emulator::EmulatedScanner& s) { s.LoadSheets(0); }, {kRead}, {0, 0xEE}, none},
        {"document sensor without an output byte", 4, {}, std::nullopt, none, {}, {}, none},
        {"clear window", 5, {}, 1, none, {kSetWindow}, {0}, none},
        {"flush key events", 6, {}, 1,
         [](emulator::EmulatedScanner& s) {
             s.QueueKeyEvent(PanelKey::Simplex, KeyAction::Press);
             s.QueueKeyEvent(PanelKey::Simplex, KeyAction::Release);
         },
         {kVendorRead, kVendorRead}, untouched1, none},
        {"key state: side key held", 7, {}, 1,
         [](emulator::EmulatedScanner& s) {
             s.QueueKeyEvent(PanelKey::Duplex, KeyAction::Press);
             s.QueueKeyEvent(PanelKey::Duplex, KeyAction::Held);
         },
         {kVendorRead, kVendorRead}, {2}, none},
        {"key state: up held then released", 7, {}, 1,
         [](emulator::EmulatedScanner& s) {
             s.QueueKeyEvent(PanelKey::Up, KeyAction::Held);
             s.QueueKeyEvent(PanelKey::Up, KeyAction::Release);
             s.QueueKeyEvent(PanelKey::Down, KeyAction::Press);
         },
         {kVendorRead, kVendorRead, kVendorRead}, {1}, none},
        {"key state with no event", 7, {}, 1, none, {kVendorRead}, {0}, none},
        {"reset panel", 8, {}, 1, none, {kVendorWrite, kVendorWrite}, untouched1,
         [](emulator::EmulatedScanner& s) {
             EXPECT_EQ(s.LcdColors(), (std::pair<std::uint16_t, std::uint16_t>{0x001F, 0xFFFF}));
             EXPECT_EQ(s.LcdImage().size(), 2560u);
         }},
        {"support information into 31 bytes is not read", 9, {}, 31, none, {}, Bytes(31, 0xEE), none},
        {"page counter", 10, {}, 4, none, {kVendorRead}, {0x04, 0x03, 0x02, 0x01}, none},
        {"page counter into 3 bytes is not read", 10, {}, 3, none, {}, Bytes(3, 0xEE), none},
        {"firmware revision", 11, {}, 5, none, {kInquiry}, {'T', '.', '5', '0', 0}, none},
        {"firmware revision into 4 bytes: inquiry only", 11, {}, 4, none, {kInquiry}, Bytes(4, 0xEE), none},
        {"firmware image of the wrong size is refused", 12, Bytes(0xC0000 - 1, 0), 1, none, {}, untouched1,
         [](emulator::EmulatedScanner& s) { EXPECT_EQ(s.FirmwareRevision(), "T.50"); }},
        {"gamma channel 2 to the front", 14, gamma, 1, none, {kSend}, untouched1,
         [&](emulator::EmulatedScanner& s) {
             EXPECT_TRUE(s.Gamma(false).loaded[1]);
             EXPECT_TRUE(std::equal(gamma.begin(), gamma.end(), s.Gamma(false).table[1].begin()));
             EXPECT_FALSE(s.Gamma(true).loaded[1]);
         }},
        {"gamma table of 255 bytes is not sent", 16, Bytes(255, 1), 1, none, {}, untouched1, none},
        {"code 17 does nothing", 17, {1, 2}, 1, none, {}, untouched1, none},
        {"code -1 does nothing", -1, {1, 2}, 1, none, {}, untouched1, none},
    };
    // clang-format on

    Ready(config);
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare(*m_scanner);
        m_scanner->Log().Clear();
        ByteVariant in(c.in);
        ByteVariant out = c.outSize ? ByteVariant(Bytes(*c.outSize, 0xEE)) : ByteVariant();
        EXPECT_EQ(Control(c.code, in, out), S_OK);
        EXPECT_EQ(CommandCodes(), c.commands);
        EXPECT_EQ(out.Content(), c.out);
        c.check(*m_scanner);
    }
}

TEST_F(ControlCodesTest, KeyStateWithoutRoomForTheAnswerLeavesTheKeyEventsQueued)
{
    Ready();
    m_scanner->QueueKeyEvent(PanelKey::Simplex, KeyAction::Press);
    m_scanner->QueueKeyEvent(PanelKey::Simplex, KeyAction::Release);
    ByteVariant in(Bytes(2, 0));
    ByteVariant empty(Bytes{});
    ByteVariant missing;
    for (ByteVariant* out : {&empty, &missing}) {
        m_scanner->Log().Clear();
        ASSERT_EQ(Control(7, in, *out), S_OK);
        EXPECT_TRUE(CommandCodes().empty());
    }

    ByteVariant state(Bytes(1, 0xEE));
    m_scanner->Log().Clear();
    ASSERT_EQ(Control(7, in, state), S_OK);
    EXPECT_EQ(CommandCodes(), (std::vector<BYTE>{kVendorRead, kVendorRead}));
    EXPECT_EQ(state.Content(), Bytes{1});
}

TEST_F(ControlCodesTest, SupportInformationIsTheScannersRecord)
{
    emulator::ScannerConfig config;
    config.memoryMegabytes = 96;
    Ready(config);
    ByteVariant in(Bytes(2, 0));
    ByteVariant out(Bytes(40, 0xEE));
    ASSERT_EQ(Control(9, in, out), S_OK);
    const Bytes bytes = out.Content();
    SupportInfo info{};
    std::memcpy(&info, bytes.data(), sizeof info);
    EXPECT_EQ(info.wTotalMemorySize, 96);
    EXPECT_EQ(Bytes(bytes.begin() + 32, bytes.end()), Bytes(8, 0xEE));
}

TEST_F(ControlCodesTest, GammaTablesGoToTheBackToOnlyAfterADuplexConfiguration)
{
    Ready();
    const Bytes gamma = Pattern(256, 5);
    struct Case {
        bool duplex;
        LONG code;
        int channel; // index into the emulator's tables
    };
    for (const Case& c : {Case{true, 13, 0}, Case{true, 16, 3}, Case{false, 15, 2}}) {
        SCOPED_TRACE(c.code);
        m_duplexSession->SetDuplex(c.duplex);
        m_scanner->Log().Clear();
        ByteVariant in(gamma);
        ByteVariant out(Bytes(2, 0));
        ASSERT_EQ(Control(c.code, in, out), S_OK);
        EXPECT_EQ(CommandCodes(), c.duplex ? (std::vector<BYTE>{kSend, kSend}) : (std::vector<BYTE>{kSend}));
        EXPECT_TRUE(std::equal(gamma.begin(), gamma.end(), m_scanner->Gamma(false).table[c.channel].begin()));
        EXPECT_EQ(m_scanner->Gamma(true).loaded[c.channel], c.duplex);
        if (c.duplex) {
            EXPECT_TRUE(std::equal(gamma.begin(), gamma.end(), m_scanner->Gamma(true).table[c.channel].begin()));
        }
    }
}

TEST_F(ControlCodesTest, FirmwareDownloadSendsTheImageInBlocksAndInquiryShowsTheNewRevision)
{
    Ready();
    Bytes image = Pattern(0xC0000, 1);
    const char banner[] = " firmware V.61 ";
    std::memcpy(image.data() + 0x500, banner, sizeof banner - 1);
    ByteVariant in(image);
    ByteVariant out(Bytes(2, 0));
    ASSERT_EQ(Control(12, in, out), S_OK);

    std::vector<BYTE> expected = {kTUR, kInquiry, kRead, kSetWindow, kTUR};
    expected.insert(expected.end(), 96 + 1, kWriteBuffer);
    EXPECT_EQ(CommandCodes(), expected);
    // Block offsets 0, 8192, ... 0xBE000 with 8192 bytes each, then the
    // end marker: no data, offset 0.
    std::vector<std::pair<DWORD, DWORD>> blocks;
    for (const auto& entry : m_scanner->Log().Entries()) {
        if (entry.kind != emulator::PacketLogEntry::Kind::Out || entry.what != "command" ||
            entry.bytes.at(12) != kWriteBuffer)
            continue;
        const BYTE* cdb = entry.bytes.data() + 12;
        const DWORD offset = (DWORD{cdb[2]} << 24) | (DWORD{cdb[3]} << 16) | (DWORD{cdb[4]} << 8) | cdb[5];
        const DWORD length = (DWORD{cdb[6]} << 16) | (DWORD{cdb[7]} << 8) | cdb[8];
        blocks.emplace_back(offset, length);
    }
    ASSERT_EQ(blocks.size(), 97u);
    for (DWORD i = 0; i < 96; ++i)
        EXPECT_EQ(blocks[i], std::make_pair(i * 8192, DWORD{8192})) << i;
    EXPECT_EQ(blocks[96], std::make_pair(DWORD{0}, DWORD{0}));
    EXPECT_EQ(m_scanner->FirmwareRevision(), "V.61");

    ByteVariant none(Bytes(2, 0));
    ByteVariant revision(Bytes(5, 0xEE));
    ASSERT_EQ(Control(11, none, revision), S_OK);
    EXPECT_EQ(revision.Content(), (Bytes{'V', '.', '6', '1', 0}));
}

TEST_F(ControlCodesTest, AFailedFirmwareBlockEndsTheDownloadWithoutTheEndMarker)
{
    Ready();
    emulator::Fault fault;
    fault.kind = emulator::FaultKind::StallIn;
    fault.opcode = kWriteBuffer;
    m_scanner->InjectFault(fault);
    ByteVariant in(Pattern(0xC0000, 1));
    ByteVariant out(Bytes(2, 0));
    ASSERT_EQ(Control(12, in, out), S_OK);
    const std::vector<BYTE> codes = CommandCodes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), kWriteBuffer), 1);
    EXPECT_EQ(m_scanner->FirmwareRevision(), "T.50");
}

TEST_F(ControlCodesTest, ControlNeverReachesTheScanner)
{
    Ready();
    ByteVariant in(Bytes(6, 1));
    ByteVariant out(Bytes(4, 0xEE));
    EXPECT_EQ(m_hal->Control(0, reinterpret_cast<IUnknown*>(m_hal), in.Get(), out.Get()), S_OK);
    EXPECT_EQ(m_hal->Control(0, nullptr, in.Get(), out.Get()), E_POINTER);
    BSTR xml = nullptr;
    EXPECT_EQ(m_hal->Control2(0, nullptr, in.Get(), out.Get()), E_POINTER);
    EXPECT_EQ(m_hal->Control2(0, &xml, nullptr, out.Get()), E_POINTER);
    EXPECT_EQ(m_hal->Control2(0, &xml, in.Get(), nullptr), E_POINTER);
    EXPECT_TRUE(CommandCodes().empty());
    EXPECT_EQ(out.Content(), Bytes(4, 0xEE));
}

} // namespace
