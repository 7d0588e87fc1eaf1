#include "halservice/QBK24Interface.h"

#include "diag/FormatWide.h"
#include "diag/HexDump.h"
#include "halservice/LogText.h"
#include "halservice/SwapBytes.h"
#include "halservice/USBDevice.h"
#include "platform/kernel/Time.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr BYTE kOpRequestSense = 0x03;
constexpr DWORD kBusyRetryDelayMs = 10;

DWORD ReadBigEndian32(const BYTE* bytes)
{
    return (DWORD{bytes[0]} << 24) | (DWORD{bytes[1]} << 16) | (DWORD{bytes[2]} << 8) | DWORD{bytes[3]};
}

struct SenseRow {
    BYTE key;
    BYTE asc;
    BYTE ascq;
    ScannerErrorCode code;
    const WCHAR* text;
};

constexpr SenseRow kSenseTable[] = {
    {0, 0x00, 0x00, 0, u"NO SENSE"},
    {2, 0x00, 0x00, 2, u"NOT READY"},
    {2, 0x04, 0x01, 2, u"LOGICAL UNIT IS IN PROCESS OF BECOMING READY"},
    {2, 0x04, 0x80, 3, u"DOOR OPEN"},
    {2, 0x80, 0x01, 4, u"SCANNER STOPPED"},
    {2, 0x80, 0x02, 5, u"ADF STOPPED"},
    {3, 0x3A, 0x00, 6, u"MEDIUM NOT PRESENT"},
    {3, 0x80, 0x01, 7, u"JAMMING AT DOCUMENT LEAD"},
    {3, 0x80, 0x02, 7, u"JAMMING AT DOCUMENT DISCHARGE 1"},
    {3, 0x80, 0x04, 7, u"DOCUMENT INTERNAL REST"},
    {3, 0x80, 0x06, 7, u"JAMMING AT DOCUMENT FEED 1"},
    {3, 0x80, 0x07, 7, u"JAMMING AT DOCUMENT FEED 2"},
    {3, 0x80, 0x08, 7, u"JAMMING AT DOCUMENT FEED 3"},
    {3, 0x80, 0x09, 7, u"JAMMING AT DOCUMENT FEED 4"},
    {3, 0x80, 0x0B, 8, u"MINIMUM MEDIA ERROR"},
    {3, 0x80, 0x0C, 8, u"MEDIA LENGTH ERROR"},
    {3, 0x80, 0x0D, 9, u"DOUBLE FEED ERROR"},
    {3, 0x80, 0x0E, 10, u"BARCODE ERROR"},
    {4, 0x08, 0x80, 11, u"INTERNAL PARAMETER ERROR"},
    {4, 0x08, 0x81, 10, u"INTERNAL DMA ERROR"},
    {4, 0x08, 0x82, 10, u"INTERNAL COMMAND ERROR"},
    {4, 0x08, 0x83, 10, u"INTERNAL COMMUNICATION ERROR"},
    {4, 0x44, 0x80, 10, u"INTERNAL RAM ERROR"},
    {4, 0x44, 0x81, 12, u"INTERNAL EEPROM ERROR"},
    {4, 0x44, 0x82, 10, u"FPGA ERROR"},
    {4, 0x47, 0x00, 13, u"SCSI PARITY ERROR"},
    {4, 0x80, 0x01, 14, u"LAMP FAILURE WITHIN REGULAR TEMPETATURE"},
    {4, 0x80, 0x02, 15, u"DOCUMENT SIZE DETECT ERROR"},
    {4, 0x80, 0x04, 15, u"DOCUMENT HOPPER ERROR"},
    {4, 0x80, 0x05, 15, u"DOCUMENT SENSOR ADJUST ERROR"},
    {4, 0x80, 0x07, 16, u"CARRIAGE ERROR"},
    {5, 0x1A, 0x00, 11, u"PARAMETER LIST LENGTH ERROR"},
    {5, 0x20, 0x00, 17, u"INVALID COMMAND OPERATION CODE"},
    {5, 0x24, 0x00, 18, u"INVALID FIELD IN CDB"},
    {5, 0x25, 0x00, 19, u"LOGICAL UNIT NOT SUPPORTED"},
    {5, 0x26, 0x00, 20, u"INVALID FIELD IN PARAMETER LIST"},
    {5, 0x2C, 0x01, 21, u"TOO MANY WINDOWS SPECIFIED"},
    {5, 0x2C, 0x02, 21, u"INVALID COMBINATION OF WINDOWS SPECIFIED"},
    {5, 0x2C, 0x80, 22, u"OUT OF SCANNING AREA (NOT ENOUGH MEMORY)"},
    {5, 0x2C, 0x81, 19, u"NO BACK SCANNING UNIT"},
    {5, 0x2C, 0x82, 19, u"NO IMPRINTER UNIT"},
    {5, 0x3D, 0x00, 23, u"INVALID BITS IN IDENTIFY MESSAGE"},
    {6, 0x29, 0x00, 23, u"UNIT ATTENTION"},
    {11, 0x1B, 0x00, 24, u"SYNCRONOUS DATA TRANSFER ERROR"},
    {11, 0x43, 0x00, 23, u"MESSAGE ERROR"},
    {11, 0x49, 0x00, 23, u"INVALID MESSAGE ERROR"},
    {11, 0x80, 0x01, 24, u"IMAGE DATA TRANSFERRING ERROR"},
};

constexpr ScannerErrorCode kErrorUnknown = 1;

} // namespace

CQBK24Interface::CQBK24Interface()
    : CTraceClient(u"QBK24 Device"),
      m_supportedDevices(std::begin(kSupportedDevices), std::end(kSupportedDevices))
{
}

CQBK24Interface::~CQBK24Interface() = default;

bool CQBK24Interface::IsSupportedDevice(CUSBDevice* device)
{
    if (!device)
        return false;
    for (const SupportedDeviceId& id : m_supportedDevices) {
        if (id.vendorId == device->GetVendorId() && id.productId == device->GetProductId())
            return true;
    }
    return false;
}

bool CQBK24Interface::IsSupportedSCSIDevice(CSCSIDevice* /*device*/)
{
    return false;
}

bool CQBK24Interface::SetDevice(CDevice* device)
{
    auto* usbDevice = dynamic_cast<CUSBDevice*>(device);
    if (usbDevice && IsSupportedDevice(usbDevice)) {
        m_usbDevice = usbDevice;
    } else if (IsLogging(LOG_ERROR)) {
        LogError(u"Attempt to set an incompatible device object failed.");
    }
    return m_usbDevice != nullptr;
}

bool CQBK24Interface::GetSense(SenseData* sense)
{
    if (sense)
        *sense = m_cachedSense;
    return true;
}

ScannerErrorCode CQBK24Interface::TranslateSense(const SenseData& sense)
{
    m_lastErrorText = u"ERR UNKNOWN";
    const BYTE key = sense.SenseKey & kSenseKeyMask;
    for (const SenseRow& row : kSenseTable) {
        if (row.key == key && row.asc == sense.SenseCode && row.ascq == sense.SenseQualifier) {
            m_lastErrorText = row.text;
            return row.code;
        }
    }
    return kErrorUnknown;
}

ScannerErrorCode CQBK24Interface::TranslateCachedSense()
{
    return TranslateSense(m_cachedSense);
}

std::u16string CQBK24Interface::GetErrorText()
{
    TranslateCachedSense();
    return m_lastErrorText;
}

void CQBK24Interface::RecoverPipes(DWORD first, DWORD second)
{
    m_usbDevice->CancelIo(first);
    m_usbDevice->ResetPipe(first);
    m_usbDevice->CancelIo(second);
    m_usbDevice->ResetPipe(second);
}

bool CQBK24Interface::RunPhases(DWORD direction, BYTE* transfer, DWORD transferSize, DWORD dataLength,
                                DWORD* dataBytes, bool* readDataOk)
{
    if (m_usbDevice->Write(&m_commandPacket, kCommandPacketSize, true) < kCommandPacketSize) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Detected Write Command Phase failure");
        m_usbDevice->CancelIo(kPipeWriteData);
        return false;
    }

    DWORD statusHave = 0;
    if (direction == kDirectionWrite) {
        const DWORD written = m_usbDevice->Write(transfer, transferSize, false);
        if (written == 0) {
            if (IsLogging(LOG_ERROR))
                LogError(u"Detected Write Data Phase failure");
            RecoverPipes(kPipeWriteData, kPipeReadData);
            return false;
        }
        if (IsLogging(LOG_TRACE))
            LogTrace(u"Actual bytes transferred = %d", written);
    } else if (direction == kDirectionRead) {
        const DWORD received = m_usbDevice->Read(transfer, transferSize, false);
        // The scanner may end the data early, and the status then follows in
        // the same transfer. Only a whole data header whose length lies
        // within what arrived, followed by at most one status packet, is
        // believed; a short read without one is a failed data phase.
        static constexpr BYTE kDataHeaderTypeAndCode[4] = {0x00, 0x02, 0xB0, 0x00};
        const bool header = received >= kDataHeaderSize && std::memcmp(transfer + 4, kDataHeaderTypeAndCode, 4) == 0;
        const DWORD packetLength = header ? ReadBigEndian32(transfer) : 0;
        const bool statusFollows = header && packetLength >= kDataHeaderSize && packetLength <= received &&
                                   received - packetLength <= kStatusPacketSize;
        DWORD dataEnd = received;
        bool valid = received != 0;
        if (received < transferSize) {
            valid = valid && statusFollows;
            dataEnd = packetLength;
        } else if (statusFollows) {
            // Data short by exactly the status packet's size fills the request
            // to the byte: the header tells where the status starts.
            dataEnd = packetLength;
        }
        if (!valid) {
            if (IsLogging(LOG_ERROR))
                LogError(u"Detected Read Data Phase failure");
            RecoverPipes(kPipeReadData, kPipeWriteData);
            return false;
        }
        statusHave = received - dataEnd;
        std::memcpy(&m_statusPacket, transfer + dataEnd, statusHave);
        *dataBytes = dataEnd < transferSize ? dataEnd - kDataHeaderSize : dataLength;
        *readDataOk = true;
        if (IsLogging(LOG_TRACE))
            LogTrace(u"Actual bytes transferred = %d", received);
        if (statusHave == kStatusPacketSize)
            return true;
    }

    const DWORD wanted = kStatusPacketSize - statusHave;
    if (m_usbDevice->Read(reinterpret_cast<BYTE*>(&m_statusPacket) + statusHave, wanted, false) != wanted) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Detected Read Status Phase failure");
        RecoverPipes(kPipeReadData, kPipeWriteData);
        return false;
    }
    return true;
}

bool CQBK24Interface::DoSCSICommand(const BYTE* cdb, DWORD cdbLength, void* data, DWORD dataLength, DWORD direction)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"DoSCSICommand Entered.");

    // Nothing is sent for a request that cannot be put into packets.
    const bool cdbValid = cdb && cdbLength > 0 && cdbLength <= kMaxCdbLength;
    if (!cdbValid || !m_usbDevice || direction > kDirectionWrite) {
        if (IsLogging(LOG_ERROR))
            LogError(u"DoSCSICommand refused: CDB length %d, direction %d, %s", cdbLength, direction,
                     m_usbDevice ? u"device bound" : u"no device bound");
        if (IsLogging(LOG_TRACE))
            LogTrace(u"DoSCSICommand Exit. [%s]", TrueFalse(false));
        return false;
    }

    if (IsDataLogging(LOG_TRACE))
        DumpBeforeCommand(cdb, cdbLength, data, dataLength, direction);

    // A REQUEST SENSE right after a failed command is answered from the cache.
    if (!m_inAutoSense && m_lastStatus == kStatusCheckCondition && cdb[0] == kOpRequestSense) {
        const DWORD count = data ? std::min(dataLength, kSenseDataSize) : 0;
        SenseData wire = m_cachedSense;
        SwapBytes32(reinterpret_cast<BYTE*>(&wire) + offsetof(SenseData, InfoBytes));
        if (count > 0) {
            std::memcpy(data, &wire, count);
            if (IsDataLogging(LOG_TRACE))
                DumpAfterCommand(cdb, cdbLength, data, count);
        }
        m_lastStatus = kStatusGood;
        if (IsLogging(LOG_TRACE))
            LogTrace(u"DoSCSICommand Exit. [%s]", TrueFalse(false));
        return false;
    }

    if ((!data || dataLength == 0) && direction != kDirectionNone) {
        if (IsLogging(LOG_WARNING))
            LogWarning(u"Detected no data condition and incorrect direction flag, correcting");
        direction = kDirectionNone;
    }
    if (direction != kDirectionNone && dataLength > 0xFFFFFFFFu - kDataHeaderSize) {
        if (IsLogging(LOG_ERROR))
            LogError(u"DoSCSICommand refused: data length %u does not fit a data packet", dataLength);
        if (IsLogging(LOG_TRACE))
            LogTrace(u"DoSCSICommand Exit. [%s]", TrueFalse(false));
        return false;
    }

    // The automatic REQUEST SENSE of a failed command shares its bound.
    if (!m_inAutoSense)
        m_busyDeadline = GetTickCount64() + ULONGLONG{kBusyLimitTimeouts} * m_timeout;
    bool result = false;
    for (;;) {
        m_commandPacket = CommandPacket{};
        m_statusPacket = StatusPacket{};
        m_dataHeader = DataPacketHeader{};
        m_commandPacket.dwLength = kCommandPacketSize;
        m_commandPacket.wType = kPacketTypeCommand;
        m_commandPacket.wCode = kCommandCode;
        std::memcpy(m_commandPacket.byCDB, cdb, cdbLength);
        BYTE* packetBytes = reinterpret_cast<BYTE*>(&m_commandPacket);
        SwapBytes32(packetBytes + offsetof(CommandPacket, dwLength));
        SwapBytes16(packetBytes + offsetof(CommandPacket, wType));
        SwapBytes16(packetBytes + offsetof(CommandPacket, wCode));
        if (!m_inAutoSense)
            m_cachedSense = SenseData{};

        std::unique_ptr<BYTE[]> transfer;
        const DWORD transferSize = direction != kDirectionNone ? dataLength + kDataHeaderSize : 0;
        if (transferSize != 0) {
            transfer.reset(new (std::nothrow) BYTE[transferSize]);
            if (!transfer) {
                if (IsLogging(LOG_ERROR))
                    LogError(u"DoSCSICommand: no memory for a transfer of %u bytes", transferSize);
                result = false;
                break;
            }
            if (direction == kDirectionWrite) {
                m_dataHeader.dwLength = transferSize;
                m_dataHeader.wType = kPacketTypeData;
                m_dataHeader.wCode = kDataCode;
                BYTE* header = reinterpret_cast<BYTE*>(&m_dataHeader);
                SwapBytes32(header + offsetof(DataPacketHeader, dwLength));
                SwapBytes16(header + offsetof(DataPacketHeader, wType));
                SwapBytes16(header + offsetof(DataPacketHeader, wCode));
                std::memcpy(transfer.get(), &m_dataHeader, kDataHeaderSize);
                std::memcpy(transfer.get() + kDataHeaderSize, data, dataLength);
            }
        }

        m_usbDevice->SetTimeout(m_timeout);

        DWORD dataBytes = 0;
        bool readData = false;
        const bool phasesOk = RunPhases(direction, transfer.get(), transferSize, dataLength, &dataBytes, &readData);

        SwapBytes32(reinterpret_cast<BYTE*>(&m_statusPacket) + offsetof(StatusPacket, dwStatus));
        m_lastStatus = static_cast<BYTE>(m_statusPacket.dwStatus & 0xFF);

        if (readData) {
            std::memcpy(data, transfer.get() + kDataHeaderSize, dataBytes);
            if (IsDataLogging(LOG_TRACE))
                DumpAfterCommand(cdb, cdbLength, data, dataBytes);
        }
        transfer.reset();

        if (m_lastStatus == kStatusCheckCondition || !phasesOk) {
            if (IsLogging(LOG_WARNING))
                LogWarning(u"Received a check condition status byte.");
            FetchSenseOfFailure();
            result = false;
        } else {
            if (IsLogging(LOG_TRACE))
                LogTrace(u"Status Byte: %02X", m_lastStatus);
            result = m_lastStatus == kStatusGood;
        }

        if (m_lastStatus != kStatusBusy)
            break;
        // A scanner that stays busy must not hold the scanner thread, and
        // every client waiting behind it, for ever.
        if (GetTickCount64() >= m_busyDeadline) {
            if (IsLogging(LOG_ERROR))
                LogError(u"Scanner busy for %u ms, giving up", kBusyLimitTimeouts * m_timeout);
            FetchSenseOfFailure();
            break;
        }
        if (IsLogging(LOG_WARNING))
            LogWarning(u"Scanner busy - trying again...");
        Sleep(kBusyRetryDelayMs);
    }

    if (IsLogging(LOG_TRACE))
        LogTrace(u"DoSCSICommand Exit. [%s]", TrueFalse(result));
    return result;
}

void CQBK24Interface::FetchSenseOfFailure()
{
    if (!m_inAutoSense) {
        m_inAutoSense = true;
        RequestSense(&m_cachedSense);
        m_inAutoSense = false;
        m_lastStatus = kStatusCheckCondition;
    }
    if (TranslateCachedSense() != kErrorUnknown && IsLogging(LOG_ERROR))
        LogError(u"Calling GetLastError(): %s", m_lastErrorText.c_str());
}

void CQBK24Interface::DumpBeforeCommand(const BYTE* cdb, DWORD cdbLength, const void* data, DWORD dataLength,
                                        DWORD direction)
{
    std::u16string text = u"Before Sending Command:\n";
    text += direction == kDirectionRead ? u"(Read Data)\n" : direction == kDirectionWrite ? u"(Write Data)\n"
                                                                                          : u"(No Data)\n";
    text += FormatWide(u"Cmd [%d]: ", cdbLength) + HexDump(cdb, cdbLength) + u"\n";
    if (direction == kDirectionWrite && data && dataLength > 0)
        text += FormatWide(u"Data [%d]:", dataLength) + HexDump(static_cast<const BYTE*>(data), dataLength) + u"\n";
    LogDataTrace(u"%s", text.c_str());
}

void CQBK24Interface::DumpAfterCommand(const BYTE* cdb, DWORD cdbLength, const void* data, DWORD dataLength)
{
    std::u16string text = u"After Sending Command:\n(Read Data)\n";
    text += FormatWide(u"Cmd [%d]: ", cdbLength) + HexDump(cdb, cdbLength) + u"\n";
    text += FormatWide(u"Data [%d]: ", dataLength) + HexDump(static_cast<const BYTE*>(data), dataLength);
    LogDataTrace(u"%s", text.c_str());
}

void CQBK24Interface::DumpBytes(const WCHAR* label, const BYTE* bytes, DWORD count)
{
    LogDataTrace(u"%s%s", label, HexDump(bytes, count).c_str());
}
