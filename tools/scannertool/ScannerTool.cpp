#include "tools/scannertool/ScannerTool.h"

#include "diag/LogInterface.h"
#include "halservice/QBK24Interface.h"
#include "halservice/ScannerEnum.h"
#include "halservice/USBDevice.h"
#include "platform/base/strings.h"
#include "platform/windows.h"

#include <cstdio>
#include <memory>
#include <string_view>

namespace scannertool {
namespace {

constexpr const char* kUsage =
    "usage: scannertool [--path DEVICEPATH] [--trace] COMMAND\n"
    "  list       the device paths of the supported scanners present\n"
    "  ready      TEST UNIT READY\n"
    "  inquiry    vendor, product and firmware revision\n"
    "  counter    the total page counter\n"
    "  keys       the queued panel key events\n"
    "  document   whether a document is in the feeder, and its size code\n"
    "  buffer     image bytes waiting in the scanner's buffer\n"
    "  support    resolutions and memory\n"
    "  sense      the sense data of the latest failure (REQUEST SENSE)\n"
    "  stop       stop the feeder\n"
    "Without --path the first supported scanner found is used.\n"
    "--trace writes the device layer's log lines to the error output.\n";

// Writes every record to the error output; turns on the names it is asked for.
class StderrLog : public CLogInterface {
public:
    explicit StderrLog(std::ostream& err) : m_err(err) {}
    LogMaskCell* RegisterLogName(std::u16string name) override
    {
        LogMaskCell* cell = CLogInterface::RegisterLogName(std::move(name));
        cell->store(LOG_ERROR | LOG_WARNING | LOG_TRACE);
        return cell;
    }
    void Write(DWORD, DWORD, DWORD, const WCHAR*, const WCHAR* logName, const WCHAR* text) override
    {
        m_err << "[" << Utf16ToUtf8(logName) << "] " << Utf16ToUtf8(text) << "\n";
    }

private:
    std::ostream& m_err;
};

std::vector<std::u16string> FindSupportedScanners(CScannerEnum& scanners)
{
    std::vector<std::u16string> paths;
    for (const SupportedDeviceId& id : kSupportedDevices) {
        scanners.m_criterionVendorId = id.vendorId;
        scanners.m_criterionProductId = id.productId;
        if (scanners.FindScanners())
            paths.insert(paths.end(), scanners.FoundDevices().begin(), scanners.FoundDevices().end());
    }
    return paths;
}

// Finding nothing may mean an empty device database or one that cannot be
// read; the second is said.
bool DeviceDatabaseReadable(std::ostream& err)
{
    DWORD error = 0;
    std::u16string path;
    if (GetImageDevicePath(GUID_DEVINTERFACE_IMAGE, 0, error, path) || error == static_cast<DWORD>(ERROR_NO_MORE_ITEMS))
        return true;
    const bool damaged =
        error == static_cast<DWORD>(ERROR_BADDB) || error == static_cast<DWORD>(ERROR_REGISTRY_CORRUPT);
    err << "scannertool: cannot read the device database (error " << error
        << (damaged ? ": the registry is damaged" : "") << ")\n";
    return false;
}

std::string Text(const char* bytes, size_t length)
{
    std::string text(bytes, length);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}

const char* KeyName(BYTE data)
{
    static const char* const names[] = {"up", "down", "simplex", "duplex"};
    return names[(data >> 4) & 3];
}

const char* KeyAction(BYTE data)
{
    static const char* const actions[] = {"press", "release", "held", "reset"};
    return actions[(data >> 6) & 3];
}

int Failed(CQBK24Interface& scanner, const char* what, std::ostream& err)
{
    err << what << " failed: " << Utf16ToUtf8(scanner.GetErrorText()) << "\n";
    return 1;
}

int RunCommand(const std::string& command, CQBK24Interface& scanner, std::ostream& out, std::ostream& err)
{
    if (command == "ready") {
        if (!scanner.TestUnitReady())
            return Failed(scanner, "TEST UNIT READY", err);
        out << "ready\n";
    } else if (command == "inquiry") {
        InquiryData inquiry{};
        if (!scanner.Inquiry(&inquiry))
            return Failed(scanner, "INQUIRY", err);
        out << "vendor: " << Text(inquiry.byVendorID, sizeof inquiry.byVendorID) << "\n"
            << "product: " << Text(inquiry.byProductID, sizeof inquiry.byProductID) << "\n"
            << "revision: " << Text(inquiry.byProductRevLvl, sizeof inquiry.byProductRevLvl) << "\n";
    } else if (command == "counter") {
        CounterData counter{};
        if (!scanner.GetCounter(&counter))
            return Failed(scanner, "GET COUNTER", err);
        out << "counter: " << counter.dwTotalCounter << "\n";
    } else if (command == "keys") {
        // Bit 7 of the header says more events wait; the queue is finite,
        // but a scanner that never says "no more" must not keep us here.
        for (int i = 0; i < 256; ++i) {
            KeyEvent key{};
            if (!scanner.GetKeyEvent(&key))
                return Failed(scanner, "GET KEY EVENT", err);
            // The low bits count the events in this answer.
            if (key.Header.byRemainAndNumEvents & 0x7F)
                out << "key: " << KeyName(key.Data.byKeyData) << " " << KeyAction(key.Data.byKeyData) << "\n";
            if (!(key.Header.byRemainAndNumEvents & 0x80))
                break;
        }
    } else if (command == "document") {
        bool present = false;
        BYTE sizeCode = 0;
        if (!scanner.ReadDocument(&present, &sizeCode))
            return Failed(scanner, "READ document status", err);
        out << "document: " << (present ? "present" : "none") << "\n"
            << "size code: " << int{sizeCode} << "\n";
    } else if (command == "buffer") {
        DWORD filled = 0;
        BYTE windowId = 0;
        if (!scanner.GetDataBufferStatus(&filled, &windowId))
            return Failed(scanner, "GET DATA BUFFER STATUS", err);
        out << "filled: " << filled << "\n"
            << "window: " << (windowId & 0x80 ? "back" : "front") << "\n";
    } else if (command == "support") {
        SupportInfo info{};
        if (!scanner.ReadSupportInfo(&info))
            return Failed(scanner, "READ support information", err);
        out << "memory: " << info.wTotalMemorySize << "\n"
            << "x resolution: " << info.wMinXRes << "-" << info.wMaxXRes << " step " << info.wStepXRes << "\n"
            << "y resolution: " << info.wMinYRes << "-" << info.wMaxYRes << " step " << info.wStepYRes << "\n";
    } else if (command == "sense") {
        SenseData sense{};
        scanner.RequestSense(&sense);
        char line[96];
        std::snprintf(line, sizeof line, "sense: key %X, ASC %02X, ASCQ %02X%s%s, residue %u\n",
                      sense.SenseKey & kSenseKeyMask, sense.SenseCode, sense.SenseQualifier,
                      sense.SenseKey & kSenseILI ? ", ILI" : "", sense.SenseKey & kSenseEOM ? ", EOM" : "",
                      static_cast<unsigned>(sense.InfoBytes));
        scanner.TranslateSense(sense);
        out << line << "text: " << Utf16ToUtf8(scanner.GetLastErrorText()) << "\n";
    } else if (command == "stop") {
        if (!scanner.StopADF())
            return Failed(scanner, "STOP ADF", err);
        out << "stopped\n";
    } else {
        err << "unknown command '" << command << "'\n" << kUsage;
        return 2;
    }
    return 0;
}

} // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string path;
    std::string command;
    bool trace = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--path" && i + 1 < args.size()) {
            path = args[++i];
        } else if (args[i] == "--trace") {
            trace = true;
        } else if (args[i] == "--help" || args[i] == "-h") {
            out << kUsage;
            return 0;
        } else if (command.empty() && !args[i].empty() && args[i][0] != '-') {
            command = args[i];
        } else {
            err << kUsage;
            return 2;
        }
    }
    if (command.empty()) {
        err << kUsage;
        return 2;
    }

    StderrLog log(err);
    CScannerEnum scanners;
    if (trace)
        scanners.SetLogInterface(&log);
    const std::vector<std::u16string> found = FindSupportedScanners(scanners);
    if (found.empty() && !DeviceDatabaseReadable(err)) {
        scanners.SetLogInterface(nullptr);
        return 1;
    }
    if (command == "list") {
        for (const std::u16string& p : found)
            out << Utf16ToUtf8(p) << "\n";
        scanners.SetLogInterface(nullptr);
        return 0;
    }

    std::u16string devicePath = path.empty() ? std::u16string() : Utf8ToUtf16(path);
    if (devicePath.empty()) {
        if (found.empty()) {
            err << "no supported scanner is present\n";
            return 1;
        }
        devicePath = found.front();
    }
    // The enumerator takes a path with the ids of its criterion only.
    std::unique_ptr<CUSBDevice> device;
    for (const SupportedDeviceId& id : kSupportedDevices) {
        scanners.m_criterionVendorId = id.vendorId;
        scanners.m_criterionProductId = id.productId;
        device.reset(scanners.CreateScannerDevice(devicePath));
        if (device)
            break;
    }
    int result = 1;
    if (!device) {
        err << "not a supported scanner: " << Utf16ToUtf8(devicePath) << "\n";
    } else if (!device->Open()) {
        err << "cannot open " << Utf16ToUtf8(devicePath) << " (error " << device->LastError() << ")\n";
    } else {
        CQBK24Interface scanner;
        if (trace)
            scanner.SetLogInterface(&log);
        if (scanner.SetDevice(device.get()))
            result = RunCommand(command, scanner, out, err);
        scanner.SetLogInterface(nullptr);
        device->Close();
    }
    if (device)
        device->SetLogInterface(nullptr);
    scanners.SetLogInterface(nullptr);
    return result;
}

} // namespace scannertool
