// dialogpictures: pictures of the scanner's TWAIN dialogs for a person to
// look at. It opens the installed scanner's data source as an imaging
// application does, lets the headless window model stand in for a display,
// and writes a PNG of the settings dialog with each of its tabs chosen, of
// the save-profile dialog (saving the profile "Office", which the
// profiles tab then shows) and, while one sheet is scanned from the
// dialog's Scan button, of the progress dialog.
//
// The scanner is the first device with a TWAIN data source; the progress
// picture needs a sheet in its feeder. Exits with 1 when the source cannot
// be opened or a picture cannot be written.
#include "platform/base/strings.h"
#include "platform/ui/DialogRenderer.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Display.h"
#include "platform/ui/UiScript.h"
#include "platform/ui/UserActions.h"
#include "platform/ui/WindowBackEnd.h"
#include "platform/windows.h"
#include "tools/cli/CommandLine.h"
#include "tools/dialogpictures/DataSourceSession.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

const cli::Program kProgram{"dialogpictures",
                            "usage: dialogpictures [--out DIR]\n"
                            "Pictures of the installed scanner's TWAIN dialogs as PNG files in DIR (made when\n"
                            "missing; default: .): the settings dialog with each tab, the save-profile dialog\n"
                            "and, while one sheet is scanned, the progress dialog.\n"
                            "  --help, --version\n"};

const std::vector<cli::Option> kOptions = {{"out", true, 0}};

constexpr int kTabsControl = 2000;
constexpr int kProgressBar = 2022;
constexpr int kProfileSaveButton = 1028;
constexpr int kProfileNameEdit = 2056;
constexpr int kStatusLine = 1033;

// "Scan Settings" -> "scan-settings".
std::string Slug(const std::u16string& caption)
{
    std::string slug;
    for (char c : Utf16ToUtf8(caption)) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            slug += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
    }
    while (!slug.empty() && slug.back() == '-')
        slug.pop_back();
    return slug;
}

bool Write(HWND window, const std::filesystem::path& file)
{
    if (!plat::ui::RenderWindowToPng(window, file.string())) {
        std::fprintf(stderr, "dialogpictures: cannot write %s\n", file.string().c_str());
        return false;
    }
    std::printf("%s\n", file.string().c_str());
    return true;
}

// The settings dialog with each tab chosen in turn.
bool WriteSettingsPictures(HWND dialog, const std::filesystem::path& folder)
{
    HWND tabs = GetDlgItem(dialog, kTabsControl);
    const auto count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    bool written = true;
    for (int tab = 0; tab < count; ++tab) {
        plat::ui::ChooseTab(tabs, tab);
        WCHAR caption[64] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption;
        item.cchTextMax = 64;
        SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(tab), reinterpret_cast<LPARAM>(&item));
        written =
            Write(dialog, folder / ("dialog-" + std::to_string(tab + 1) + "-" + Slug(caption) + ".png")) && written;
    }
    plat::ui::ChooseTab(tabs, 0);
    return written;
}

// The page of the tab control that holds the control `id`, or null.
HWND PageWith(HWND tabs, int id)
{
    for (HWND page = GetWindow(tabs, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT)) {
        if (GetDlgItem(page, id))
            return page;
    }
    return nullptr;
}

// The profiles tab's Save: the name dialog with "Office" typed, pictured,
// then OK. An "Office" saved by an earlier run in this root is replaced:
// the question whether to overwrite it is answered Yes, and the answer is
// dropped again when no question came.
bool WriteSaveProfilePicture(HWND dialog, const std::filesystem::path& folder)
{
    HWND tabs = GetDlgItem(dialog, kTabsControl);
    plat::ui::ChooseTab(tabs, 0);
    HWND page = PageWith(tabs, kProfileSaveButton);
    if (!page) {
        std::fprintf(stderr, "dialogpictures: no profiles page\n");
        return false;
    }
    bool written = false;
    plat::ui::ScriptModalDialog([&](HWND nameDialog) {
        plat::ui::TypeText(GetDlgItem(nameDialog, kProfileNameEdit), u"Office");
        written = Write(nameDialog, folder / "dialog-save-profile.png");
        plat::ui::PressEnter(nameDialog);
    });
    plat::ui::ScriptMessageBoxAnswer(IDYES);
    plat::ui::Click(GetDlgItem(page, kProfileSaveButton));
    plat::ui::ResetUiScript();
    return written;
}

std::string StatusText(HWND dialog)
{
    char text[128] = {};
    GetWindowTextA(GetDlgItem(dialog, kStatusLine), text, sizeof text);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    std::filesystem::path folder = ".";
    const cli::Parsed parsed = cli::Parse(
        kProgram, argc, argv, kOptions,
        [&folder](int, const std::string& value) {
            folder = value;
            return std::string();
        },
        cli::Operands::None);
    if (parsed.exitCode)
        return *parsed.exitCode;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    plat::ui::AllowHeadlessWindows(true);

    dialogpictures::DataSourceSession session;
    if (!session.Open())
        return 1;
    HWND dialog = session.ShowSettings();
    if (!dialog) {
        std::fprintf(stderr, "dialogpictures: the settings dialog did not open\n");
        return 1;
    }
    bool written = WriteSaveProfilePicture(dialog, folder);
    written = WriteSettingsPictures(dialog, folder) && written;

    // One sheet from the Scan button: the progress dialog half way. The
    // empty-feeder question, if it comes, is answered Cancel.
    plat::ui::ScriptMessageBoxAnswer(IDCANCEL);
    bool pictured = false;
    session.ScanOneImage(dialog, [&](HWND progress) {
        const auto percent = SendMessageW(GetDlgItem(progress, kProgressBar), PBM_GETPOS, 0, 0);
        if (!pictured && percent >= 40) {
            pictured = true;
            written = Write(progress, folder / "dialog-progress.png") && written;
        }
    });
    if (!pictured)
        std::printf("(no sheet in the feeder: no picture of the progress dialog)\n");
    // The settings dialog after the scan: Cancel reads Done, and the status
    // line tells the feeder's state from the dialog's next status tick on.
    plat::ui::PumpMessagesUntil([&] { return StatusText(dialog) != "Scanning..."; }, 3000);
    written = Write(dialog, folder / "dialog-after-scan.png") && written;
    return written ? 0 : 1;
}
