// The scanner's command transport and command set over one bound
// CUSBDevice: DoSCSICommand runs the command, data and status phases,
// resends while the scanner is busy, recovers the pipes after a transport
// failure, and fetches and caches the sense data after every failure, so
// that a REQUEST SENSE right after a failed command is answered from the
// cache without I/O. The command methods build one command block each.
#pragma once

#include "diag/TraceClient.h"
#include "halservice/ScannerPackets.h"
#include "halservice/ScannerRecords.h"
#include "platform/base/wintypes.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CDevice;
class CUSBDevice;
// A device class of another bus that the command layer never binds.
class CSCSIDevice;

struct SupportedDeviceId {
    DWORD vendorId;
    DWORD productId;
};

// The (vendor id, product id) pairs of the scanners this command set
// serves, in the order they are searched for.
inline constexpr SupportedDeviceId kSupportedDevices[] = {
    {0x0ABC, 0x0DEF},
    {0x0ABC, 0x0DF0},
};

// The largest count a READ command's 24-bit transfer length holds.
constexpr DWORD kMaxReadTransferLength = 0xFFFFFF;

class CQBK24Interface : public CTraceClient {
public:
    static constexpr DWORD kDefaultTimeoutMs = 10000;
    // A scanner answering BUSY is asked again for at most this many transfer
    // time-outs, then the command fails.
    static constexpr DWORD kBusyLimitTimeouts = 4;

    CQBK24Interface();
    ~CQBK24Interface() override;

    CQBK24Interface(const CQBK24Interface&) = delete;
    CQBK24Interface& operator=(const CQBK24Interface&) = delete;

    virtual bool IsSupportedDevice(CUSBDevice* device);
    virtual bool IsSupportedSCSIDevice(CSCSIDevice* device);

    // True when a device is bound; an unsupported device leaves the old one bound.
    bool SetDevice(CDevice* device);
    CUSBDevice* GetDevice() const { return m_usbDevice; }
    const std::vector<SupportedDeviceId>& GetSupportedDevices() const { return m_supportedDevices; }

    // True only for GOOD status after complete phases.
    bool DoSCSICommand(const BYTE* cdb, DWORD cdbLength, void* data, DWORD dataLength, DWORD direction);

    bool GetSense(SenseData* sense);
    ScannerErrorCode TranslateSense(const SenseData& sense);
    ScannerErrorCode TranslateCachedSense();
    std::u16string GetErrorText();
    // The text of the latest translation, without translating again.
    const std::u16string& GetLastErrorText() const { return m_lastErrorText; }
    BYTE GetLastStatus() const { return m_lastStatus; }

    // The command set.
    bool TestUnitReady();
    bool RequestSense(SenseData* sense);
    bool Inquiry(InquiryData* inquiry);
    bool Scan();
    bool SetWindow(WindowParams* window);
    bool SendFirmware(const BYTE* block, WORD blockLength, DWORD imageOffset);
    // Reads image data; a request larger than one READ holds is split into
    // READs of whole lines of lineBytes (when given) of at most
    // kMaxReadTransferLength bytes. A short transfer (ILI) or the end of the
    // page (EOM) ends the call successfully with the bytes that came.
    bool ReadImageData(DWORD bytesToRead, BYTE* buffer, bool backSide, bool* endOfPage, DWORD* bytesRead,
                       bool* shortTransfer, BYTE qualifier, DWORD lineBytes = 0);
    bool ReadLineInfo(BYTE* lineInfo, bool backSide, BYTE qualifier);
    bool ReadDocument(bool* documentPresent, BYTE* sizeCode);
    bool ReadSupportInfo(SupportInfo* info);
    bool SendGammaCorrData(const BYTE* table, BYTE channel, bool backSide);
    bool GetDataBufferStatus(DWORD* filledBytes, BYTE* windowId);
    bool GetCounter(CounterData* counter);
    bool StopADF();
    bool GetKeyEvent(KeyEvent* event);
    bool SetLCDImage(const BYTE* image);
    bool SetColor(BYTE textRed, BYTE textGreen, BYTE textBlue, BYTE backRed, BYTE backGreen, BYTE backBlue);

private:
    // One READ of image data, at most kMaxReadTransferLength bytes.
    bool ReadImageChunk(DWORD bytesToRead, BYTE* buffer, bool backSide, bool* endOfPage, DWORD* bytesRead,
                        bool* shortTransfer, BYTE qualifier);
    void ZeroUnreceived(BYTE* buffer, DWORD counted) const;
    // DoSCSICommand between its entry and exit lines: the request checked,
    // the cached sense, then attempts while the scanner is busy.
    bool SendCommand(const BYTE* cdb, DWORD cdbLength, void* data, DWORD dataLength, DWORD direction);
    bool AnswerFromCachedSense(const BYTE* cdb, DWORD cdbLength, void* data, DWORD dataLength);
    struct Attempt {
        bool result;
        bool busy; // the scanner answered BUSY: send again
    };
    Attempt SendCommandOnce(const BYTE* cdb, DWORD cdbLength, void* data, DWORD dataLength, DWORD direction);
    bool PrepareTransfer(const void* data, DWORD transferSize, DWORD direction, std::unique_ptr<BYTE[]>* transfer);
    bool TakeStatus(bool phasesOk);
    bool MayResendWhileBusy();
    // One exchange of the three phases; false when a phase failed.
    bool RunPhases(DWORD direction, BYTE* transfer, DWORD transferSize, DWORD* dataBytes, bool* readDataOk);
    bool CommandPhase();
    bool WriteDataPhase(const BYTE* transfer, DWORD transferSize);
    bool ReadDataPhase(BYTE* transfer, DWORD transferSize, DWORD* dataBytes, DWORD* statusHave);
    bool StatusPhase(DWORD statusHave);
    void RecoverPipes(DWORD first, DWORD second);
    // After a failed command: the automatic REQUEST SENSE into the cache
    // (not inside one), the status CHECK CONDITION, the sense translated.
    void FetchSenseOfFailure();
    void DumpBeforeCommand(const BYTE* cdb, DWORD cdbLength, const void* data, DWORD dataLength, DWORD direction);
    void DumpAfterCommand(const BYTE* cdb, DWORD cdbLength, const void* data, DWORD dataLength);
    void DumpBytes(const WCHAR* label, const BYTE* bytes, DWORD count);
    void DumpSense(const SenseData& sense);
    void DumpWindow(const WindowParams& window);
    void DumpInquiry(const InquiryData& inquiry);
    void DumpSupportInfo(const SupportInfo& info);
    void DumpDataBufferStatus(const DataBufferStatus& status);
    void DumpByte(const WCHAR* name, BYTE value);
    void DumpWord(const WCHAR* name, WORD value);
    void DumpDword(const WCHAR* name, DWORD value);
    void DumpText(const WCHAR* name, const char* text, size_t length);

    bool m_inAutoSense = false;
    // The data bytes the last command's read data phase brought (not its
    // automatic REQUEST SENSE's): a READ's count comes from its status or
    // sense and may claim more.
    DWORD m_dataReceived = 0;
    DWORD m_timeout = kDefaultTimeoutMs;
    ULONGLONG m_busyDeadline = 0; // of the command running, on the installed clock
    CommandPacket m_commandPacket{};
    StatusPacket m_statusPacket{};
    std::u16string m_lastErrorText;
    DataPacketHeader m_dataHeader{};
    SenseData m_cachedSense{};
    BYTE m_lastStatus = 0;
    CUSBDevice* m_usbDevice = nullptr;
    std::vector<SupportedDeviceId> m_supportedDevices;
};
