// shellpage: the scanner's shell extension as the shell and the WIA dialogs
// use it, for an installed scanner (see the usage below). The extension is
// found as the shell finds it: the property-sheet handlers registered under
// the icon handler's class.
#include "platform/base/sysroot.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/DeviceChoice.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/shell/DataObject.h"
#include "platform/ui/DialogRenderer.h"
#include "platform/ui/IconPicture.h"
#include "platform/ui/Display.h"
#include "platform/ui/WindowBackEnd.h"
#include "platform/windows.h"
#include "shellext/RNXShellExtIds.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kIconBackground = 0xFFFFFF;

// The classes registered as property-sheet handlers of the device's UI
// extension class.
std::vector<CLSID> PropertySheetHandlers()
{
    const std::u16string path =
        u"CLSID\\" + plat::GuidToWideString(CLSID_RNXWIADialogExtHandler) + u"\\shellex\\PropertySheetHandlers";
    std::vector<CLSID> handlers;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return handlers;
    for (DWORD i = 0;; ++i) {
        WCHAR name[64] = {};
        DWORD length = 64;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        CLSID clsid{};
        if (plat::GuidFromString(std::u16string_view(name, length), clsid))
            handlers.push_back(clsid);
    }
    RegCloseKey(key);
    return handlers;
}

// The data object the shell hands the device's extensions: the device named
// in "WIAItemNames".
plat::ComPtr<IDataObject> DeviceData(const plat::devices::DeviceRecord& device)
{
    plat::ComPtr<IDataObject> data;
    plat::shell::MemoryDataObject* object = plat::shell::MemoryDataObject::Create();
    object->SetBlock(static_cast<CLIPFORMAT>(RegisterClipboardFormatW(u"WIAItemNames")),
                     plat::shell::WiaItemNamesBlock({device.driverKey}));
    data.Attach(object);
    return data;
}

// Lets each handler add its pages to the sheet; the number of handlers
// that did.
int AddExtensionPages(const plat::devices::DeviceRecord& device, plat::ui::PropertySheetWindow& sheet)
{
    int added = 0;
    for (const CLSID& clsid : PropertySheetHandlers()) {
        plat::ComPtr<IShellExtInit> init;
        HRESULT hr =
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.ReleaseAndGetVoidAddress());
        plat::ComPtr<IShellPropSheetExt> extension;
        if (SUCCEEDED(hr))
            hr = init->Initialize(nullptr, DeviceData(device).Get(), nullptr);
        if (SUCCEEDED(hr))
            hr = init->QueryInterface(IID_IShellPropSheetExt, extension.ReleaseAndGetVoidAddress());
        if (SUCCEEDED(hr))
            hr = extension->AddPages(&plat::ui::PropertySheetWindow::AddPageCallback, reinterpret_cast<LPARAM>(&sheet));
        if (FAILED(hr)) {
            std::fprintf(stderr, "shellpage: handler %s: 0x%08X\n", plat::GuidToString(clsid).c_str(),
                         static_cast<unsigned>(hr));
            continue;
        }
        ++added;
    }
    return added;
}

// What to do with the sheet once it is made; false when it failed (the
// reason said on stderr).
using SheetUse = std::function<bool(plat::ui::PropertySheetWindow&)>;

// The device's property sheet with the extension's pages, as the device
// manager opens it, handed to `use`.
int WithSheet(const plat::devices::DeviceRecord& device, const SheetUse& use)
{
    const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The device's name as the device manager titles its properties.
    HWND owner =
        CreateWindowExW(0, u"Static", u"Quillbox K24", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    int result = 1;
    {
        plat::ui::PropertySheetWindow sheet(owner, u"Quillbox K24 Properties");
        if (AddExtensionPages(device, sheet) == 0 || sheet.PageCount() == 0)
            std::fputs("shellpage: no page was added (is the scanner installed?)\n", stderr);
        else if (!sheet.Create())
            std::fputs("shellpage: the sheet cannot be made\n", stderr);
        else if (use(sheet))
            result = 0;
    }
    DestroyWindow(owner);
    return result;
}

bool DrawSheet(plat::ui::PropertySheetWindow& sheet, const std::string& out)
{
    if (!plat::ui::RenderWindowToPng(sheet.Window(), out)) {
        std::fprintf(stderr, "shellpage: cannot write %s\n", out.c_str());
        return false;
    }
    std::printf("%s: %zu page(s)\n", out.c_str(), sheet.PageCount());
    return true;
}

// The sheet on the display: the person uses the page as in the device
// manager; the close box (or Escape) closes it and ends the tool.
bool ShowSheet(plat::ui::PropertySheetWindow& sheet, const std::string& capture)
{
    plat::ui::WindowBackEnd* display = plat::ui::ActiveWindowBackEnd();
    HWND window = sheet.Window();
    RECT page{};
    if (!plat::ui::PumpMessagesUntil(
            [&] { return display->WidgetMapped(window) && display->WidgetRect(sheet.Page(0), &page); })) {
        std::fputs("shellpage: the display did not show the window\n", stderr);
        return false;
    }
    if (!capture.empty()) {
        const bool captured = display->CaptureWindow(window, capture);
        if (captured)
            std::printf("%s: %zu page(s) on the display\n", capture.c_str(), sheet.PageCount());
        else
            std::fprintf(stderr, "shellpage: cannot capture the window into %s\n", capture.c_str());
        return captured;
    }
    std::puts("shellpage: the sheet is on the display; close it to end");
    std::fflush(stdout);
    MSG msg;
    while (IsWindow(window) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

int ExtractIcons(const plat::devices::DeviceRecord& device, const std::string& folder)
{
    plat::ComPtr<IWiaUIExtension> extension;
    HRESULT hr = CoCreateInstance(CLSID_RNXWIADialogExtHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IWiaUIExtension,
                                  extension.ReleaseAndGetVoidAddress());
    if (FAILED(hr)) {
        std::fprintf(stderr, "shellpage: the icon extension is not there (0x%08X; is the scanner installed?)\n",
                     static_cast<unsigned>(hr));
        return 1;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    BSTR deviceId = SysAllocString(device.driverKey.c_str());
    int result = 0;
    for (const ULONG size : {16u, 32u, 48u}) {
        HICON icon = nullptr;
        hr = extension->GetDeviceIcon(deviceId, &icon, size);
        plat::ui::RgbaImage picture;
        const std::string path = folder + "/icon-" + std::to_string(size) + ".png";
        if (FAILED(hr) || !plat::ui::IconPicture(icon, &picture) ||
            !plat::ui::WritePng(plat::ui::OverBackground(picture, kIconBackground), path)) {
            std::fprintf(stderr, "shellpage: no %lu-pixel icon (0x%08X)\n", static_cast<unsigned long>(size),
                         static_cast<unsigned>(hr));
            result = 1;
        } else {
            std::printf("%s: %dx%d\n", path.c_str(), picture.width, picture.height);
        }
        if (icon)
            DestroyIcon(icon);
    }
    SysFreeString(deviceId);
    return result;
}

const cli::Program kProgram{"shellpage",
                            "usage: shellpage [--device ID] page OUT.png\n"
                            "       shellpage [--device ID] window [--capture OUT.png]\n"
                            "       shellpage [--device ID] icon FOLDER\n"
                            "       shellpage --list\n"
                            "  page OUT.png         the device's property sheet with the pages the extension\n"
                            "                       adds, drawn as a PNG picture\n"
                            "  window               the same sheet in a window on the display (DISPLAY) until\n"
                            "                       it is closed; with --capture, what the display shows of it\n"
                            "                       is written as a PNG picture and the window closed\n"
                            "  icon FOLDER          the device icon at 16, 32 and 48 pixels: FOLDER/icon-16.png, ...\n"
                            "  --device ID          the scanner of that id, as --list prints it, or its serial\n"
                            "                       number (also taken as the last word); default: the first\n"
                            "                       plugged in, else the first recorded\n"
                            "  --list               the recorded scanners, one a line, by id first\n"
                            "  --help, --version\n"};

enum Key { kCapture, kDevice, kList };

const std::vector<cli::Option> kOptions = {
    {"capture", true, kCapture}, {"device", true, kDevice}, {"list", false, kList}};

struct Command {
    std::string name;
    std::string path; // the picture, the icon folder, or the capture
    std::string device;
    bool list = false;
};

// The command line into `command`; an exit status when the program ends here.
std::optional<int> ParseCommand(int argc, char** argv, Command& command)
{
    const cli::Parsed parsed =
        cli::Parse(kProgram, argc, argv, kOptions, [&command](int key, const std::string& value) {
            if (key == kCapture)
                command.path = value;
            else if (key == kDevice)
                command.device = value;
            else
                command.list = true;
            return std::string();
        });
    if (parsed.exitCode)
        return parsed.exitCode;
    std::vector<std::string> words = parsed.operands;
    if (command.list)
        return words.empty() ? std::nullopt : std::optional<int>(cli::WrongUsage(kProgram, "--list takes no command"));
    if (words.empty())
        return cli::WrongUsage(kProgram, "no command");
    command.name = words.front();
    words.erase(words.begin());
    const bool window = command.name == "window";
    if (!window && command.name != "page" && command.name != "icon")
        return cli::WrongUsage(kProgram, "unknown command " + command.name);
    if (!window && !command.path.empty())
        return cli::WrongUsage(kProgram, "--capture is for window");
    if (!window) {
        if (words.empty())
            return cli::WrongUsage(kProgram,
                                   command.name + " takes " + (command.name == "page" ? "OUT.png" : "FOLDER"));
        command.path = words.front();
        words.erase(words.begin());
    }
    if (words.size() > 1 || (words.size() == 1 && !command.device.empty()))
        return cli::WrongUsage(kProgram, "one scanner at a time");
    if (!words.empty())
        command.device = words.front();
    return std::nullopt;
}

int Run(const Command& command, const plat::devices::DeviceRecord& device)
{
    if (command.name == "icon")
        return ExtractIcons(device, command.path);
    if (command.name == "page")
        return WithSheet(device, [&](plat::ui::PropertySheetWindow& sheet) { return DrawSheet(sheet, command.path); });
    return WithSheet(device, [&](plat::ui::PropertySheetWindow& sheet) { return ShowSheet(sheet, command.path); });
}

} // namespace

int main(int argc, char** argv)
{
    Command command;
    if (const std::optional<int> exitCode = ParseCommand(argc, argv, command))
        return *exitCode;
    // A window needs a display the back end opened; the headless model
    // would show nobody anything.
    if (command.name == "window" &&
        (plat::ui::HeadlessWindowsAllowed() || !plat::ui::CanShowWindows() || !plat::ui::ActiveWindowBackEnd())) {
        std::fputs("shellpage: no display to show the window on (is DISPLAY set?)\n", stderr);
        return 1;
    }
    if (!plat::EnsureSystemRootLayout())
        return 1;
    if (command.list)
        return cli::ListDevices(stdout, stderr, "shellpage") ? 0 : 1;
    const std::optional<plat::devices::DeviceRecord> device = cli::ChooseDevice(command.device);
    if (!device) {
        std::fprintf(stderr, "shellpage: %s\n", cli::NoDeviceReason(command.device, "shellpage").c_str());
        return 1;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::fputs("shellpage: COM cannot start\n", stderr);
        return 1;
    }
    const int result = Run(command, *device);
    CoFreeUnusedLibraries();
    CoUninitialize();
    return result;
}
