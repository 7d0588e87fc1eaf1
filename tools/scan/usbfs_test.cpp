// The whole system over the USB bus path: the emulator program as a device
// on a umockdev test bed (udev finds it, libusb drives it, usbfs is answered
// by the emulated scanner), installed with devinstall and used by every
// program through the hardware service in its own process. The programs run
// with umockdev's preload and the test bed's folder, as they would run with
// a real scanner plugged in.
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "platform/base/strings.h"
#include "platform/com/ComPtr.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/ScopedVariable.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/LibusbDevice.h"
#include "tools/scan/testing/EndToEnd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using plat::testing::ChildPipes;
using plat::testing::ChildProcess;
using plat::testing::RunProgram;
using plat::testing::ScopedVariable;

constexpr const char* kSerial = "usbfs01";
const std::string kInterfacePath = "\\\\?\\usb#vid_0abc&pid_0def#usbfs01#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";

// A scanner installed on a fresh system root: the emulator program on its
// socket, or as a device on the USB bus of a umockdev test bed, which the
// programs started from then on see.
class InstalledScanner {
public:
    enum class Bus { Socket, Usbfs };

    explicit InstalledScanner(Bus bus) : m_bus(bus) {}
    ~InstalledScanner() { plat::testing::KillProgramsRunFrom(m_root.Path()); }

    void Install()
    {
        std::vector<std::string> args = {QBK_EMULATOR, "--sheets", "0", "--serial", kSerial};
        if (m_bus == Bus::Usbfs)
            args.insert(args.end(), {"--usbfs", "--usbfs-other", "0abc:1234"});
        m_emulator = std::make_unique<ChildProcess>(args);
        ASSERT_TRUE(m_emulator->Started());
        if (m_bus == Bus::Usbfs) {
            const std::string bed = m_emulator->ReadLine();
            ASSERT_EQ(bed.rfind("usbfs ", 0), 0u) << bed;
            m_bedFolder = bed.substr(6);
            m_preload = std::make_unique<ScopedVariable>("LD_PRELOAD", "libumockdev-preload.so.0");
            m_bedVariable = std::make_unique<ScopedVariable>("UMOCKDEV_DIR", m_bedFolder);
        } else {
            ASSERT_EQ(m_emulator->ReadLine().rfind("device ", 0), 0u);
        }
        const std::string ready = m_emulator->ReadLine();
        ASSERT_EQ(ready.rfind("ready ", 0), 0u) << ready;
        m_node = ready.substr(6);
        ChildProcess install({QBK_DEVINSTALL, "install"}, ChildPipes::WithErrors);
        m_installed = install.RestOfOutput();
        ASSERT_EQ(install.Wait(), 0) << m_installed;
        m_serviceClass = scan::testing::ReadDriverValue(m_installed, "HAL_CLSID");
        ASSERT_EQ(m_serviceClass.size(), 38u) << m_installed;
    }

    // Sends the emulator a control line.
    void Control(const std::vector<std::string>& words)
    {
        std::vector<std::string> args = {QBK_EMULATOR, "control", "--serial", kSerial};
        args.insert(args.end(), words.begin(), words.end());
        std::string answer;
        EXPECT_EQ(RunProgram(args, &answer), 0) << answer;
    }

    // The next line the emulator prints about its device ("removed NODE",
    // "arrived NODE").
    std::string DeviceLine() { return m_emulator->ReadLine(); }

    // A program's output (error output mixed in) and exit code.
    int Run(std::vector<std::string> args, std::string* output)
    {
        ChildProcess child(std::move(args), ChildPipes::WithErrors);
        *output = child.RestOfOutput();
        return child.Wait();
    }

    // The scan tool on pages of 2 by 3 in at 100 dpi into the folder.
    int Scan(const std::string& folder, std::string* output)
    {
        return Run({QBK_SCAN, "--out", folder, "--dpi", "100", "--width", "2000", "--height", "3000"}, output);
    }

    std::string Folder(const std::string& name) const
    {
        const std::string folder = m_root.Path() + "/" + name;
        fs::create_directories(folder);
        return folder;
    }

    const std::string& Node() const { return m_node; }
    std::string NodeFile() const { return m_bedFolder + m_node; }
    const std::string& ServiceClass() const { return m_serviceClass; }
    const std::string& RootPath() const { return m_root.Path(); }

private:
    Bus m_bus;
    plat::testing::TempSystemRoot m_root;
    std::unique_ptr<ChildProcess> m_emulator;
    std::unique_ptr<ScopedVariable> m_preload;
    std::unique_ptr<ScopedVariable> m_bedVariable;
    std::string m_bedFolder;
    std::string m_node;
    std::string m_installed;
    std::string m_serviceClass;
};

class UsbfsEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(m_scanner.Install()); }

    InstalledScanner m_scanner{InstalledScanner::Bus::Usbfs};
};

TEST_F(UsbfsEndToEndTest, TheScannerOnTheBusIsListedAndTheDeviceOfAnotherIdIsNot)
{
    std::string output;
    ASSERT_EQ(m_scanner.Run({QBK_SCANNERTOOL, "list"}, &output), 0) << output;
    EXPECT_EQ(output, "USB\\VID_0ABC&PID_0DEF\\USBFS01  " + kInterfacePath + "\n");
    std::vector<std::u16string> recorded;
    for (const plat::devices::DeviceRecord& record : plat::devices::RecordedDevices())
        recorded.push_back(record.instanceId);
    EXPECT_EQ(recorded, std::vector<std::u16string>{u"USB\\VID_0ABC&PID_0DEF\\USBFS01"});
    ASSERT_EQ(m_scanner.Run({QBK_SCANNERTOOL, "inquiry"}, &output), 0) << output;
    EXPECT_EQ(output, "vendor: QUILLBOX\nproduct: K24\nrevision: T.55\n");
}

// Each page as its lines: TIFF pages (their tags may carry the time they
// were written) and BMP pages, whose files are their lines.
using PageLines = std::vector<std::string>;

PageLines TiffLines(const std::string& path)
{
    PageLines lines;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff)
        return lines;
    std::uint32_t height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    std::string line(static_cast<size_t>(TIFFScanlineSize(tiff)), '\0');
    for (std::uint32_t row = 0; row < height; ++row)
        if (TIFFReadScanline(tiff, line.data(), row) == 1)
            lines.push_back(line);
    TIFFClose(tiff);
    return lines;
}

PageLines FileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>())};
}

// Every page of every mechanism, by mechanism and file name.
using Scans = std::map<std::string, std::vector<PageLines>>;

Scans ScanByEveryMechanism(InstalledScanner& scanner)
{
    const struct {
        const char* name;
        std::vector<std::string> args;
        bool tiff;
    } mechanisms[] = {
        {"twain native", {QBK_TWAINSCAN, "--pixel", "color", "--dpi", "100", "--duplex", "--xfer", "native"}, true},
        {"twain memory", {QBK_TWAINSCAN, "--pixel", "gray", "--dpi", "150", "--duplex", "--xfer", "memory"}, true},
        {"twain file", {QBK_TWAINSCAN, "--pixel", "bw", "--dpi", "200", "--duplex", "--xfer", "file"}, true},
        {"wia callback", {QBK_WIASCAN, "acquire", "", "callback", "type=gray", "duplex=1"}, false},
        {"wia file", {QBK_WIASCAN, "acquire", "", "file", "type=color", "duplex=1"}, false},
    };
    Scans scans;
    int run = 0;
    for (const auto& mechanism : mechanisms) {
        SCOPED_TRACE(mechanism.name);
        scanner.Control({"load", "1"});
        const std::string folder = scanner.Folder("scan" + std::to_string(++run));
        std::vector<std::string> args = mechanism.args;
        if (mechanism.tiff)
            args.insert(args.end(), {"--out", folder});
        else
            args[2] = folder;
        std::string output;
        EXPECT_EQ(scanner.Run(args, &output), 0) << output;
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(folder))
            files.push_back(entry.path().string());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files.size(), 2u) << output;
        for (const std::string& file : files)
            scans[mechanism.name].push_back(mechanism.tiff ? TiffLines(file) : FileBytes(file));
    }
    return scans;
}

TEST(UsbfsScanTest, EveryMechanismScansPagesIdenticalToTheSocketBackends)
{
    Scans overSocket;
    {
        InstalledScanner socket(InstalledScanner::Bus::Socket);
        ASSERT_NO_FATAL_FAILURE(socket.Install());
        overSocket = ScanByEveryMechanism(socket);
    }
    InstalledScanner usbfs(InstalledScanner::Bus::Usbfs);
    ASSERT_NO_FATAL_FAILURE(usbfs.Install());
    const Scans overUsb = ScanByEveryMechanism(usbfs);
    ASSERT_EQ(overUsb.size(), overSocket.size());
    for (const auto& [mechanism, pages] : overSocket) {
        SCOPED_TRACE(mechanism);
        ASSERT_EQ(overUsb.at(mechanism).size(), pages.size());
        for (size_t page = 0; page < pages.size(); ++page) {
            const PageLines& expected = pages[page];
            const PageLines& got = overUsb.at(mechanism)[page];
            ASSERT_FALSE(expected.empty());
            ASSERT_EQ(got.size(), expected.size()) << "page " << page + 1;
            for (size_t line = 0; line < expected.size(); ++line)
                ASSERT_EQ(got[line], expected[line]) << "page " << page + 1 << ", line " << line;
        }
    }
}

// The status events of the hardware service, as a client receives them.
class StatusSink final : public IRNXButton {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = riid == IID_IUnknown || riid == IID_IRNXButton ? static_cast<IRNXButton*>(this) : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SendButtonEvent(BSTR, LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SendStatusEvent(LONG status) override
    {
        std::lock_guard lock(m_mutex);
        m_statuses.push_back(status);
        m_changed.notify_all();
        return S_OK;
    }

    // The statuses so far, once `count` came (or a generous bound passed).
    std::vector<LONG> WaitFor(size_t count)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(30), [&] { return m_statuses.size() >= count; });
        return m_statuses;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<LONG> m_statuses;
};

TEST_F(UsbfsEndToEndTest, PullingTheScannerOutAndPluggingItInReachTheService)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    StatusSink sink;
    {
        CLSID serviceClass{};
        ASSERT_EQ(CLSIDFromString(Utf8ToUtf16(m_scanner.ServiceClass()).c_str(), &serviceClass), S_OK);
        plat::ComPtr<IRNXHALS> service;
        ASSERT_EQ(CoCreateInstance(serviceClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS,
                                   service.ReleaseAndGetVoidAddress()),
                  S_OK);
        LONG status = -1;
        ASSERT_EQ(service->Initialize(&status), S_OK);
        EXPECT_EQ(status, 0);
        LONG id = 0;
        ASSERT_EQ(service->Register(&sink, static_cast<LONG>(GetCurrentProcessId()), &id), S_OK);

        m_scanner.Control({"unplug"});
        EXPECT_EQ(m_scanner.DeviceLine(), "removed " + m_scanner.Node());
        EXPECT_EQ(sink.WaitFor(1), std::vector<LONG>{0});
        m_scanner.Control({"replug"});
        EXPECT_EQ(m_scanner.DeviceLine().rfind("arrived /dev/bus/usb/001/", 0), 0u);
        EXPECT_EQ(sink.WaitFor(2), (std::vector<LONG>{0, 1}));

        EXPECT_EQ(service->Unregister(id), S_OK);
        EXPECT_EQ(service->Uninitialize(), S_OK);
    }
    CoUninitialize();

    // The same service scans from the scanner plugged in again.
    m_scanner.Control({"load", "1"});
    std::string output;
    EXPECT_EQ(m_scanner.Scan(m_scanner.Folder("after"), &output), 0) << output;
    EXPECT_EQ(scan::testing::ProgramsUnder(m_scanner.RootPath()).size(), 1u);
}

TEST_F(UsbfsEndToEndTest, AScannerPulledOutMidPageOrAStalledReadEndTheScanAsOverTheSocket)
{
    const struct {
        const char* name;
        std::vector<std::string> fault;
        const char* failure;
        std::vector<std::string> after;
    } cases[] = {
        {"unplugged mid-page", {"fault", "unplug", "sheet=1", "offset=20000"}, "scanner unplugged", {"replug"}},
        {"stalled READ",
         {"fault", "stall-in", "opcode=0x28", "sheet=1", "offset=20000"},
         "scanner error (status 1)",
         {}},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_scanner.Control({"load", "2"});
        m_scanner.Control(c.fault);
        const std::string folder = m_scanner.Folder("fault" + std::to_string(++run));
        std::string output;
        EXPECT_EQ(m_scanner.Scan(folder, &output), 1) << output;
        EXPECT_NE(output.find(std::string("scan: failed: ") + c.failure + "; pages written before it: 2"),
                  std::string::npos)
            << output;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
        if (!c.after.empty())
            m_scanner.Control(c.after);
    }
    // The halted pipe was cleared: the next scan works.
    m_scanner.Control({"load", "1"});
    std::string output;
    EXPECT_EQ(m_scanner.Scan(m_scanner.Folder("after"), &output), 0) << output;
}

TEST_F(UsbfsEndToEndTest, ADeviceNodeWithoutPermissionIsNamedWithTheRuleThatGivesIt)
{
    // The service would keep the device open; a user meets the node fresh.
    plat::testing::KillProgramsRunFrom(m_scanner.RootPath());
    ASSERT_EQ(chmod(m_scanner.NodeFile().c_str(), 0), 0);
    // Root opens any file; without that capability it meets the node's
    // permissions as a user does.
    std::vector<std::string> args = {QBK_SCANNERTOOL, "ready"};
    if (geteuid() == 0)
        args.insert(args.begin(), {"/usr/bin/setpriv", "--bounding-set", "-dac_override,-dac_read_search"});
    std::string output;
    EXPECT_EQ(m_scanner.Run(args, &output), 1) << output;
    EXPECT_NE(output.find("USB: no permission to open the scanner 0abc:0def at " + m_scanner.Node() +
                          ": install the udev rule " + plat::usb::kUdevRuleFile),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("(error 5)"), std::string::npos) << output;
}

} // namespace
