#include "tools/scannertool/ScannerTool.h"

#include "diag/LogInterface.h"
#include "halservice/QBK24Interface.h"
#include "halservice/ScannerEnum.h"
#include "halservice/USBDevice.h"
#include "platform/base/strings.h"
#include "platform/windows.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/DeviceChoice.h"

#include <cstdio>
#include <memory>
#include <string_view>

namespace scannertool {
namespace {

constexpr const char* kUsage = "usage: scannertool [--device ID | --path DEVICEPATH] [--trace] COMMAND\n"
                               "  list       the supported scanners present: the id --device takes, then\n"
                               "             the device path --path takes\n"
                               "  ready      TEST UNIT READY\n"
                               "  inquiry    vendor, product and firmware revision\n"
                               "  counter    the total page counter\n"
                               "  keys       the queued panel key events\n"
                               "  document   whether a document is in the feeder, and its size code\n"
                               "  buffer     image bytes waiting in the scanner's buffer\n"
                               "  support    resolutions and memory\n"
                               "  sense      the sense data of the latest failure (REQUEST SENSE)\n"
                               "  stop       stop the feeder\n"
                               "Without --device or --path the first supported scanner found is used; --device\n"
                               "also takes the serial number alone.\n"
                               "--trace writes the device layer's log lines to the error output.\n"
                               "       scannertool --help | --version\n";

const cli::Program kProgram{"scannertool", kUsage};

enum Key { kPath, kDevice, kTrace };

const std::vector<cli::Option> kOptions = {{"path", true, kPath}, {"device", true, kDevice}, {"trace", false, kTrace}};

// The instance id of a device path, or the path itself when it has none.
std::string IdOf(const std::u16string& path)
{
    const std::optional<plat::devices::DeviceRecord> device = plat::devices::FindDeviceByInterfacePath(path);
    return Utf16ToUtf8(device ? device->instanceId : path);
}

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
    if (damaged)
        err << "scannertool: " << cli::RegistryProblem() << "\n";
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
    std::string named; // --device
    bool trace = false;
    const cli::Parsed parsed = cli::Parse(
        kProgram, args, kOptions,
        [&](int key, const std::string& value) {
            if (key == kPath)
                path = value;
            else if (key == kDevice)
                named = value;
            else
                trace = true;
            return std::string();
        },
        out, err);
    if (parsed.exitCode)
        return *parsed.exitCode;
    if (parsed.operands.size() != 1)
        return cli::WrongUsage(kProgram, parsed.operands.empty() ? "no command" : "one command at a time", err);
    const std::string& command = parsed.operands.front();
    if (!named.empty()) {
        const std::optional<plat::devices::DeviceRecord> record = cli::ChooseDevice(named);
        if (!record) {
            err << "scannertool: no recorded scanner " << named << " (scannertool list lists them)\n";
            return 1;
        }
        path = Utf16ToUtf8(record->interfacePath);
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
            out << IdOf(p) << "  " << Utf16ToUtf8(p) << "\n";
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
