#include "halservice/QBK24Interface.h"

#include "diag/FormatWide.h"
#include "diag/HexDump.h"
#include "halservice/LogText.h"
#include "halservice/PacketCoding.h"
#include "halservice/USBDevice.h"
#include "platform/kernel/Time.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr BYTE kOpRequestSense = 0x03;
constexpr DWORD kBusyRetryDelayMs = 10;

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
    : CTraceClient(u"QBK24 Device"), m_supportedDevices(std::begin(kSupportedDevices), std::end(kSupportedDevices))
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

bool CQBK24Interface::IsSupportedSCSIDevice(CSCSIDevice* /*device*/) { return false; }

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

ScannerErrorCode CQBK24Interface::TranslateCachedSense() { return TranslateSense(m_cachedSense); }

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

// One exchange of the three phases; false when a phase failed.
bool CQBK24Interface::RunPhases(DWORD direction, BYTE* transfer, DWORD transferSize, DWORD* dataBytes, bool* readDataOk)
{
    if (!CommandPhase())
        return false;
    DWORD statusHave = 0;
    if (direction == kDirectionWrite && !WriteDataPhase(transfer, transferSize))
        return false;
    if (direction == kDirectionRead) {
        if (!ReadDataPhase(transfer, transferSize, dataBytes, &statusHave))
            return false;
        *readDataOk = true;
        if (statusHave == kStatusPacketSize)
            return true;
    }
    return StatusPhase(statusHave);
}

bool CQBK24Interface::CommandPhase()
{
    if (m_usbDevice->Write(&m_commandPacket, kCommandPacketSize, true) < kCommandPacketSize) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Detected Write Command Phase failure");
        m_usbDevice->CancelIo(kPipeWriteData);
        return false;
    }
    return true;
}

bool CQBK24Interface::WriteDataPhase(const BYTE* transfer, DWORD transferSize)
{
    const DWORD written = m_usbDevice->Write(transfer, transferSize, false);
    if (written == 0) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Detected Write Data Phase failure");
        RecoverPipes(kPipeWriteData, kPipeReadData);
        return false;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Actual bytes transferred = %d", written);
    return true;
}

// The data, and the first bytes of the status packet when the scanner ended
// the data early.
bool CQBK24Interface::ReadDataPhase(BYTE* transfer, DWORD transferSize, DWORD* dataBytes, DWORD* statusHave)
{
    const DWORD received = m_usbDevice->Read(transfer, transferSize, false);
    const ReceivedData decoded = DecodeReadDataPhase(transfer, received, transferSize);
    if (!decoded.valid) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Detected Read Data Phase failure");
        RecoverPipes(kPipeReadData, kPipeWriteData);
        return false;
    }
    std::memcpy(&m_statusPacket, transfer + decoded.dataEnd, decoded.statusBytes);
    *statusHave = decoded.statusBytes;
    *dataBytes = decoded.dataBytes;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Actual bytes transferred = %d", received);
    return true;
}

bool CQBK24Interface::StatusPhase(DWORD statusHave)
{
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
    const bool result = SendCommand(cdb, cdbLength, data, dataLength, direction);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"DoSCSICommand Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::SendCommand(const BYTE* cdb, DWORD cdbLength, void* data, DWORD dataLength, DWORD direction)
{
    if (!m_inAutoSense)
        m_dataReceived = 0;
    // Nothing is sent for a request that cannot be put into packets.
    if (!IsPacketableCommandBlock(cdb, cdbLength) || !m_usbDevice || direction > kDirectionWrite) {
        if (IsLogging(LOG_ERROR))
            LogError(u"DoSCSICommand refused: CDB length %d, direction %d, %s", cdbLength, direction,
                     m_usbDevice ? u"device bound" : u"no device bound");
        return false;
    }
    if (IsDataLogging(LOG_TRACE))
        DumpBeforeCommand(cdb, cdbLength, data, dataLength, direction);
    // A REQUEST SENSE right after a failed command is answered from the cache.
    if (!m_inAutoSense && m_lastStatus == kStatusCheckCondition && cdb[0] == kOpRequestSense)
        return AnswerFromCachedSense(cdb, cdbLength, data, dataLength);
    if ((!data || dataLength == 0) && direction != kDirectionNone) {
        if (IsLogging(LOG_WARNING))
            LogWarning(u"Detected no data condition and incorrect direction flag, correcting");
        direction = kDirectionNone;
    }
    if (direction != kDirectionNone && !FitsDataPacket(dataLength)) {
        if (IsLogging(LOG_ERROR))
            LogError(u"DoSCSICommand refused: data length %u does not fit a data packet", dataLength);
        return false;
    }
    // The automatic REQUEST SENSE of a failed command shares its bound.
    if (!m_inAutoSense)
        m_busyDeadline = GetTickCount64() + ULONGLONG{kBusyLimitTimeouts} * m_timeout;
    for (;;) {
        const Attempt attempt = SendCommandOnce(cdb, cdbLength, data, dataLength, direction);
        if (!attempt.busy || !MayResendWhileBusy())
            return attempt.result;
    }
}

// Nothing is sent: the cached sense goes to the caller as the scanner sent
// it, and the command fails all the same.
bool CQBK24Interface::AnswerFromCachedSense(const BYTE* cdb, DWORD cdbLength, void* data, DWORD dataLength)
{
    const DWORD count = data ? std::min(dataLength, kSenseDataSize) : 0;
    if (count > 0) {
        const SenseData sent = SenseAsSent(m_cachedSense);
        std::memcpy(data, &sent, count);
        if (IsDataLogging(LOG_TRACE))
            DumpAfterCommand(cdb, cdbLength, data, count);
    }
    m_lastStatus = kStatusGood;
    return false;
}

// The packets built afresh, the phases, and the status they bring.
CQBK24Interface::Attempt CQBK24Interface::SendCommandOnce(const BYTE* cdb, DWORD cdbLength, void* data,
                                                          DWORD dataLength, DWORD direction)
{
    m_commandPacket = EncodeCommandPacket(cdb, cdbLength);
    m_statusPacket = StatusPacket{};
    m_dataHeader = DataPacketHeader{};
    if (!m_inAutoSense)
        m_cachedSense = SenseData{};
    const DWORD transferSize = direction != kDirectionNone ? dataLength + kDataHeaderSize : 0;
    std::unique_ptr<BYTE[]> transfer;
    if (!PrepareTransfer(data, transferSize, direction, &transfer))
        return {false, false};
    m_usbDevice->SetTimeout(m_timeout);

    DWORD dataBytes = 0;
    bool readData = false;
    const bool phasesOk = RunPhases(direction, transfer.get(), transferSize, &dataBytes, &readData);
    m_lastStatus = StatusByteOf(m_statusPacket);
    if (!m_inAutoSense)
        m_dataReceived = readData ? dataBytes : 0;
    if (readData) {
        std::memcpy(data, transfer.get() + kDataHeaderSize, dataBytes);
        if (IsDataLogging(LOG_TRACE))
            DumpAfterCommand(cdb, cdbLength, data, dataBytes);
    }
    transfer.reset();
    const bool result = TakeStatus(phasesOk);
    return {result, m_lastStatus == kStatusBusy};
}

// The buffer of the data phase, none without one; a write's holds the data
// packet.
bool CQBK24Interface::PrepareTransfer(const void* data, DWORD transferSize, DWORD direction,
                                      std::unique_ptr<BYTE[]>* transfer)
{
    if (transferSize == 0)
        return true;
    transfer->reset(new (std::nothrow) BYTE[transferSize]);
    if (!*transfer) {
        if (IsLogging(LOG_ERROR))
            LogError(u"DoSCSICommand: no memory for a transfer of %u bytes", transferSize);
        return false;
    }
    if (direction == kDirectionWrite) {
        m_dataHeader = EncodeDataHeader(transferSize);
        std::memcpy(transfer->get(), &m_dataHeader, kDataHeaderSize);
        std::memcpy(transfer->get() + kDataHeaderSize, data, transferSize - kDataHeaderSize);
    }
    return true;
}

// The command's result by its status; a failure fetches the sense.
bool CQBK24Interface::TakeStatus(bool phasesOk)
{
    if (m_lastStatus == kStatusCheckCondition || !phasesOk) {
        if (IsLogging(LOG_WARNING))
            LogWarning(u"Received a check condition status byte.");
        FetchSenseOfFailure();
        return false;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Status Byte: %02X", m_lastStatus);
    return m_lastStatus == kStatusGood;
}

// A scanner that stays busy must not hold the scanner thread, and every
// client waiting behind it, for ever.
bool CQBK24Interface::MayResendWhileBusy()
{
    if (GetTickCount64() >= m_busyDeadline) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Scanner busy for %u ms, giving up", kBusyLimitTimeouts * m_timeout);
        FetchSenseOfFailure();
        return false;
    }
    if (IsLogging(LOG_WARNING))
        LogWarning(u"Scanner busy - trying again...");
    Sleep(kBusyRetryDelayMs);
    return true;
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
    text += direction == kDirectionRead    ? u"(Read Data)\n"
            : direction == kDirectionWrite ? u"(Write Data)\n"
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
