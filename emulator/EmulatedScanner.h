// The scanner's device side: a byte-level state machine behind the two bulk
// pipes (ScannerDevice), with a feeder of sheets, panel keys, counters,
// firmware, and faults that tests and the emulator program inject.
//
// Protocol, as the host speaks it: a 24-byte command packet; for commands
// that carry data to the scanner, a data packet; then the scanner's answer.
// A command that reads data is answered with one chunk holding a data
// packet (possibly with less data than asked, possibly empty) followed by
// the 16-byte status packet; every other command with the status packet
// alone. docs/emulator.md has the details and the answers to each command.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "emulator/PacketLog.h"
#include "emulator/PageImage.h"
#include "emulator/ScanWindow.h"
#include "emulator/ScannerDevice.h"
#include "emulator/SenseData.h"
#include "emulator/WireFormat.h"

namespace emulator {

struct ScannerConfig {
  std::uint16_t vendorId = 0x0ABC;
  std::uint16_t productId = 0x0DEF;
  std::string vendor = "QUILLBOX";  // INQUIRY bytes 8-15
  std::string product = "K24";      // INQUIRY bytes 16-31
  std::string revision = "T.50";    // INQUIRY bytes 32-35
  // The revision after a firmware download whose banner (at 0x500) names
  // none of the form X.nn.
  std::string downloadedRevision = "T.55";
  // At most this many image bytes per READ (0: no limit). Models a scanner
  // whose buffer holds less than the host asks for: the READ ends short
  // with ILI and the residue.
  std::uint32_t maxBytesPerRead = 0;
  // TEST UNIT READY answers "becoming ready" this many times after power-on.
  std::uint32_t becomingReadyCount = 0;
  std::uint32_t counter = 0;           // total page counter at power-on
  std::uint16_t memoryMegabytes = 64;  // support information
};

// One sheet in the feeder. Length in 1/1000 inch; with the window's length
// control the page is as long as the sheet, else as long as the window.
// Sheets longer than 14 in (118 in with the window's long-paper mode) fail
// with MEDIA LENGTH ERROR at that length.
struct Sheet {
  std::uint32_t length = 11000;
  std::uint8_t sizeCode = 7;  // READ of document status while it lies on top
};

enum class FaultKind {
  Jam,         // MEDIUM ERROR 0x80/ASCQ (jamQualifier)
  DoubleFeed,  // MEDIUM ERROR 0x80/0x0D, only with double-feed detection on
  Skew,        // MEDIUM ERROR 0x80/0x0A, only when the window stops on skew
  CoverOpen,   // at once: NOT READY 0x04/0x80 until SetCoverOpen(false)
  NoPaper,     // at once: the feeder is emptied
  Busy,        // the next `count` commands are answered BUSY
  StallIn,     // the next command (matching `opcode`) halts the IN pipe
  StallOut,    // the next host write halts the OUT pipe
  Timeout,     // the next command (matching `opcode`) is swallowed
  Unplug,      // the device disconnects while reading the sheet
};

// Jam, DoubleFeed, Skew and Unplug always strike at a place of a sheet.
inline bool IsSheetFault(FaultKind k) {
  return k == FaultKind::Jam || k == FaultKind::DoubleFeed || k == FaultKind::Skew ||
         k == FaultKind::Unplug;
}

struct Fault {
  FaultKind kind = FaultKind::Jam;
  // Jam, DoubleFeed, Skew, Unplug: the sheet (numbered from 0 since the
  // feeder was loaded) and how many bytes of its front page go out first
  // (0: before any, on the first READ or buffer query that reaches it).
  std::uint32_t sheet = 0;
  std::uint64_t offset = 0;
  std::uint32_t count = 1;           // Busy
  int opcode = -1;                   // StallIn, Timeout: -1 any command
  std::uint8_t jamQualifier = 0x01;  // Jam: 0x01, 0x02, 0x06-0x09
  // The other kinds strike at once, unless this is set: then they wait at
  // `sheet` and `offset` like the sheet faults. The READ that reaches the
  // place ends short there (ILI) and the fault takes effect after it.
  bool atPlace = false;
};

enum class PanelKey : std::uint8_t { Up = 0, Down = 1, Simplex = 2, Duplex = 3 };
enum class KeyAction : std::uint8_t { Press = 0, Release = 1, Held = 2, Reset = 3 };

inline constexpr std::size_t kFirmwareSize = 0xC0000;
inline constexpr std::size_t kLcdImageSize = 2560;

class EmulatedScanner final : public ScannerDevice {
 public:
  explicit EmulatedScanner(ScannerConfig config = {});
  ~EmulatedScanner() override;

  // ScannerDevice
  TransferResult BulkOut(const std::uint8_t* data, std::size_t size) override;
  TransferResult BulkIn(std::uint8_t* buffer, std::size_t max) override;
  bool ResetPipe(std::uint32_t pipe) override;
  bool CancelIo(std::uint32_t pipe) override;
  bool IsConnected() const override;
  void SetConnectionObserver(ConnectionObserver observer) override;
  std::uint16_t VendorId() const override { return config_.vendorId; }
  std::uint16_t ProductId() const override { return config_.productId; }

  // The scanner's surroundings.
  void LoadSheets(const std::vector<Sheet>& sheets);  // replaces the stack
  void LoadSheets(std::uint32_t count, Sheet sheet = {});
  void SetCoverOpen(bool open);
  // At most this many image bytes per READ from now on (0: no limit).
  void SetMaxBytesPerRead(std::uint32_t bytes);
  void QueueKeyEvent(PanelKey key, KeyAction action);
  void InjectFault(const Fault& fault);
  void Unplug();
  void Replug();  // power-on state; feeder, counter and firmware stay

  PacketLog& Log() { return log_; }

  // Inspection, for tests and the program's status output.
  std::size_t SheetsInFeeder() const;
  std::string FirmwareRevision() const;
  std::uint32_t Counter() const;
  // READs of image data that the cap on bytes per READ cut short.
  std::uint64_t CappedReads() const;
  std::optional<ScanWindow> Window(bool back) const;
  GammaTables Gamma(bool back) const;
  std::vector<std::uint8_t> LcdImage() const;
  std::pair<std::uint16_t, std::uint16_t> LcdColors() const;  // background, text

 private:
  struct Reply {
    std::uint8_t status = kStatusGood;
    bool dataIn = false;
    std::vector<std::uint8_t> data;
  };
  struct SideState {
    std::unique_ptr<PageImage> image;
    std::uint64_t offset = 0;
    bool ended = false;
  };
  struct SheetInTransit {
    std::uint32_t number = 0;
    Sheet sheet;
    std::array<std::optional<SideState>, 2> sides;
  };

  // Transport (EmulatedScanner.cpp).
  TransferResult AcceptOut(const std::uint8_t* data, std::size_t size);
  bool ParseInput();  // false: malformed packet
  void RunCommand(const std::array<std::uint8_t, 16>& cdb, std::vector<std::uint8_t> data);
  void Queue(const Reply& reply);
  void Disconnect();
  void PowerOn();
  void FireObserver(std::unique_lock<std::mutex>& lock);

  // Commands (ScannerCommands.cpp).
  Reply Dispatch(const std::uint8_t* cdb, const std::vector<std::uint8_t>& data);
  Reply Good(std::vector<std::uint8_t> data = {}, bool dataIn = false);
  Reply Check(const Sense& sense, bool dataIn, std::vector<std::uint8_t> data = {});
  Reply TestUnitReady();
  Reply RequestSense(const std::uint8_t* cdb);
  Reply Inquiry(const std::uint8_t* cdb);
  Reply Scan();
  Reply SetWindow(const std::uint8_t* cdb, const std::vector<std::uint8_t>& data);
  Reply Read(const std::uint8_t* cdb);
  Reply ReadImage(const std::uint8_t* cdb);
  Reply Send(const std::uint8_t* cdb, const std::vector<std::uint8_t>& data);
  Reply GetDataBufferStatus(const std::uint8_t* cdb);
  Reply WriteBuffer(const std::uint8_t* cdb, const std::vector<std::uint8_t>& data);
  Reply VendorRead(const std::uint8_t* cdb);
  Reply VendorWrite(const std::uint8_t* cdb, const std::vector<std::uint8_t>& data);
  std::optional<Sense> EnsureSheet();
  std::uint64_t FaultLimit(int side) const;
  // Like FaultLimit, for the faults waiting at a place; FirePlacedFaults
  // sets off those whose place the sheet in transit has reached.
  std::uint64_t PlacedFaultLimit(int side) const;
  void FirePlacedFaults();
  std::uint64_t LimitOf(int side, bool (*counted)(const Fault&)) const;
  void ApplyFault(const Fault& fault);
  std::optional<Reply> StrikeFault(bool dataIn, std::vector<std::uint8_t> data,
                                   std::uint32_t residue);
  void EndScan();
  std::string RevisionFromImage() const;

  const ScannerConfig config_;
  mutable std::mutex mutex_;
  std::uint32_t maxBytesPerRead_ = 0;  // config_'s until a control line sets it
  std::uint64_t cappedReads_ = 0;
  PacketLog log_;
  ConnectionObserver observer_;
  std::vector<bool> pendingNotifications_;

  // Transport state.
  bool connected_ = true;
  bool inStalled_ = false;
  bool outStalled_ = false;
  std::vector<std::uint8_t> input_;     // host bytes not yet parsed
  std::uint64_t discardRemaining_ = 0;  // of a data packet nobody asked for
  bool awaitingData_ = false;
  std::array<std::uint8_t, 16> pendingCdb_{};
  std::deque<std::vector<std::uint8_t>> answers_;
  std::size_t answerOffset_ = 0;

  // Device state.
  Sense sense_;
  std::array<std::optional<ScanWindow>, 2> windows_;
  std::array<GammaTables, 2> gamma_;
  std::deque<Sheet> feeder_;
  std::uint32_t nextSheetNumber_ = 0;
  bool coverOpen_ = false;
  bool scanning_ = false;
  bool feederStopped_ = false;
  std::uint32_t sheetLimit_ = 0;  // 0: until the feeder is empty
  std::uint32_t sheetsPicked_ = 0;
  std::optional<SheetInTransit> transit_;
  std::vector<Fault> faults_;
  std::uint32_t busyLeft_ = 0;
  std::uint32_t becomingReadyLeft_ = 0;
  std::uint32_t counter_ = 0;
  std::string revision_;
  std::vector<std::uint8_t> firmware_;
  bool downloading_ = false;
  std::uint32_t firmwareExpected_ = 0;
  std::deque<std::uint8_t> keyEvents_;
  std::vector<std::uint8_t> lcd_;
  std::uint16_t lcdBackground_ = 0, lcdText_ = 0xFFFF;
};

}  // namespace emulator
