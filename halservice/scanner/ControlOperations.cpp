// The control codes of the scanner thread: feeder stop, panel display,
// document sensor, panel keys, scanner information, firmware download and
// gamma tables. A code never fails the request; what it produced reaches
// the client only through the output buffer.
#include "halservice/scanner/ScannerWrap.h"

#include <array>
#include <cstring>

namespace {

enum HALControlCode : DWORD {
    HCC_STOP_ADF = 0,
    HCC_SET_LCD_IMAGE = 2,
    HCC_SET_LCD_COLOR = 3,
    HCC_READ_DOCUMENT = 4,
    HCC_CLEAR_WINDOW = 5,
    HCC_FLUSH_KEY_EVENTS = 6,
    HCC_READ_KEY_STATE = 7,
    HCC_RESET_LCD = 8,
    HCC_READ_SUPPORT_INFO = 9,
    HCC_GET_COUNTER = 10,
    HCC_GET_FIRMWARE_VERSION = 11,
    HCC_DOWNLOAD_FIRMWARE = 12,
    HCC_GAMMA_CHANNEL1 = 13,
    HCC_GAMMA_CHANNEL2 = 14,
    HCC_GAMMA_CHANNEL3 = 15,
    HCC_GAMMA_GRAY = 16,
};

constexpr DWORD kColorBytes = 6;
constexpr DWORD kRevisionBytes = 5;
constexpr BYTE kMoreKeyEvents = 0x80;
constexpr BYTE kKindRelease = 1;
constexpr BYTE kKindHeld = 2;
// Bit 5 of the key data is set for SIMPLEX and DUPLEX, clear for UP and DOWN.
constexpr BYTE kKeyIsSideSelector = 0x20;

// The picture HCC_RESET_LCD puts on the panel: a 160 x 128 one-bit frame,
// one pixel wide, around an empty display.
constexpr DWORD kPanelBytesPerRow = 20;
constexpr std::array<BYTE, kLCDImageSize> MakePanelImage()
{
    std::array<BYTE, kLCDImageSize> image{};
    constexpr DWORD rows = kLCDImageSize / kPanelBytesPerRow;
    for (DWORD row = 0; row < rows; ++row) {
        BYTE* line = image.data() + row * kPanelBytesPerRow;
        if (row == 0 || row == rows - 1) {
            for (DWORD i = 0; i < kPanelBytesPerRow; ++i)
                line[i] = 0xFF;
        } else {
            line[0] = 0x80;
            line[kPanelBytesPerRow - 1] = 0x01;
        }
    }
    return image;
}
constexpr std::array<BYTE, kLCDImageSize> kPanelImage = MakePanelImage();

} // namespace

BOOL CScannerWrap::S_Control()
{
    const ControlArgs& args = m_funcArgs.Control;
    // A buffer without data counts as empty, whatever size came with it.
    const BYTE* in = args.InBuffer;
    const DWORD inSize = in ? args.InSize : 0;
    BYTE* out = args.OutBuffer;
    const DWORD outSize = out ? args.OutSize : 0;

    switch (args.lCC) {
    case HCC_STOP_ADF: {
        // The feeder is stopped even when there is no byte to report in.
        const bool ok = m_interface.StopADF();
        if (outSize >= 1)
            out[0] = ok ? 0 : 1;
        break;
    }
    case HCC_SET_LCD_IMAGE:
        if (inSize >= kLCDImageSize)
            m_interface.SetLCDImage(in);
        break;
    case HCC_SET_LCD_COLOR:
        // Input: background red, green, blue, then text red, green, blue.
        if (inSize >= kColorBytes)
            m_interface.SetColor(in[3], in[4], in[5], in[0], in[1], in[2]);
        break;
    case HCC_READ_DOCUMENT:
        if (outSize >= 1) {
            out[0] = 0;
            bool present = false;
            if (m_interface.ReadDocument(&present, nullptr))
                out[0] = present ? 1 : 0;
        }
        break;
    case HCC_CLEAR_WINDOW: {
        const bool ok = m_interface.SetWindow(nullptr);
        if (outSize >= 1)
            out[0] = ok ? 0 : 1;
        break;
    }
    case HCC_FLUSH_KEY_EVENTS:
        DrainKeyEvents();
        break;
    case HCC_READ_KEY_STATE:
        // Without room for the answer the events stay queued.
        if (outSize >= 1)
            out[0] = DrainKeyEvents();
        break;
    case HCC_RESET_LCD:
        m_interface.SetColor(255, 255, 255, 0, 0, 255);
        m_interface.SetLCDImage(kPanelImage.data());
        break;
    case HCC_READ_SUPPORT_INFO:
        if (outSize >= sizeof(SupportInfo)) {
            SupportInfo info{};
            if (m_interface.ReadSupportInfo(&info))
                std::memcpy(out, &info, sizeof info);
        }
        break;
    case HCC_GET_COUNTER:
        if (outSize >= sizeof(DWORD)) {
            CounterData counter{};
            if (m_interface.GetCounter(&counter)) {
                const DWORD total = counter.dwTotalCounter;
                std::memcpy(out, &total, sizeof total);
            }
        }
        break;
    case HCC_GET_FIRMWARE_VERSION: {
        InquiryData inquiry{};
        if (m_interface.Inquiry(&inquiry) && outSize == kRevisionBytes) {
            std::memcpy(out, inquiry.byProductRevLvl, sizeof inquiry.byProductRevLvl);
            out[sizeof inquiry.byProductRevLvl] = 0;
        }
        break;
    }
    case HCC_DOWNLOAD_FIRMWARE:
        if (inSize == kFirmwareImageSize)
            DownloadFirmware(in, inSize);
        break;
    case HCC_GAMMA_CHANNEL1:
    case HCC_GAMMA_CHANNEL2:
    case HCC_GAMMA_CHANNEL3:
    case HCC_GAMMA_GRAY: {
        // A table shorter than 256 bytes is not sent: it would be read past
        // its end.
        if (inSize < kGammaTableSize)
            break;
        const BYTE channel = static_cast<BYTE>(args.lCC - HCC_GAMMA_CHANNEL1 + 1);
        if (m_interface.SendGammaCorrData(in, channel, false) && m_duplex)
            m_interface.SendGammaCorrData(in, channel, true);
        break;
    }
    default:
        break;
    }
    return TRUE;
}

// Drained on the key-poll interface, so these events never become button
// events. Answers the key state of the last event that has one.
BYTE CScannerWrap::DrainKeyEvents()
{
    BYTE state = 0;
    for (;;) {
        KeyEvent event{};
        if (!m_buttonPoll.GetKeyEvent(&event) || event.Header.byRemainAndNumEvents == 0)
            break;
        const BYTE kind = static_cast<BYTE>(event.Data.byKeyData >> 6);
        if (kind == kKindRelease)
            state = 1;
        else if (kind == kKindHeld)
            state = (event.Data.byKeyData & kKeyIsSideSelector) ? 2 : 1;
        if (!(event.Header.byRemainAndNumEvents & kMoreKeyEvents))
            break;
    }
    return state;
}

BOOL CScannerWrap::DownloadFirmware(const BYTE* image, DWORD size)
{
    m_interface.TestUnitReady();
    if (!image || size != kFirmwareImageSize)
        return FALSE;
    InquiryData inquiry{};
    if (!m_interface.Inquiry(&inquiry))
        return FALSE;
    SupportInfo info{};
    if (!m_interface.ReadSupportInfo(&info))
        return FALSE;
    if (!m_interface.SetWindow(nullptr))
        return FALSE;
    if (!m_interface.TestUnitReady())
        return FALSE;
    for (DWORD offset = 0; offset < kFirmwareImageSize; offset += kFirmwareBlockSize) {
        if (!m_interface.SendFirmware(image + offset, static_cast<WORD>(kFirmwareBlockSize), offset))
            return FALSE;
        Sleep(kFirmwareBlockPauseMs);
    }
    // The end marker: no data, at offset 0.
    return m_interface.SendFirmware(nullptr, 0, 0) ? TRUE : FALSE;
}
