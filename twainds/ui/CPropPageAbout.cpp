#include "twainds/ui/CPropPageAbout.h"

#include "platform/base/format.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/oleauto/comerror.h"
#include "platform/process/ShellExecute.h"
#include "platform/ui/CommonControls.h"
#include "platform/ui/Theme.h"
#include "twainds/CQBK24DataSource.h"
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/ResourceText.h"
#include "twainfw/TWAINException.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint64_t kVersion6 = 0x60000; // upper half: major << 16 | minor
constexpr int kLinkIndent = 7;
constexpr BYTE kFrontBlack = 0x80;
constexpr BYTE kBackBlack = 0x40;

std::uint32_t LittleEndian32(const BYTE* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

unsigned LittleEndian16(const BYTE* bytes) { return static_cast<unsigned>(bytes[0] | bytes[1] << 8); }

} // namespace

std::string SerialNumberFromSymbolicName(const std::string& symbolicName)
{
    const auto find = [&symbolicName](long from) -> long {
        if (from < 0 || static_cast<size_t>(from) >= symbolicName.size())
            return -1;
        const size_t at = symbolicName.find('#', static_cast<size_t>(from));
        return at == std::string::npos ? -1 : static_cast<long>(at);
    };
    const long a = find(0);
    const long b = find(a + 1);
    const long c = find(b + 1);
    const long count = c - b - 1;
    if (count <= 0)
        return {};
    return symbolicName.substr(static_cast<size_t>(b + 1), static_cast<size_t>(count));
}

void CPropPageAbout::SetTextUtf8(int id, const std::string& text) { SetText(id, Utf8ToUtf16(text)); }

BOOL CPropPageAbout::OnInitDialog()
{
    SetUpSupportLink();
    EnableThemeDialogTexture(m_hWnd, ETDT_ENABLETAB);
    CDialog::OnInitDialog();
    SetTextUtf8(IDC_ABOUT_DESCRIPTION, DataSource->GetFileDescription());
    SetTextUtf8(IDC_ABOUT_COPYRIGHT, DataSource->GetLegalCopyright());
    SetTextUtf8(IDC_ABOUT_DRIVER_VERSION, DataSource->GetFileVersion());
    SetTextUtf8(IDC_ABOUT_DEVICE_NAME, DataSource->GetProductName());
    SetTextUtf8(IDC_ABOUT_DEVICE_INFORMATION, DataSource->GetFriendlyName());
    SetTextUtf8(IDC_ABOUT_SERIAL_NUMBER, SerialNumberFromSymbolicName(DataSource->GetSymbolicName()));
    SetTextUtf8(IDC_ABOUT_FIRMWARE, DataSource->GetFirmwareRevision());
    RefreshScannerInfo();
    return TRUE;
}

void CPropPageAbout::SetUpSupportLink()
{
    HWND text = GetDlgItem(IDC_ABOUT_SUPPORT_TEXT);
    const auto entry =
        reinterpret_cast<DLLGETVERSIONPROC>(GetProcAddress(GetModuleHandleW(u"comctl32"), "DllGetVersion"));
    bool linkControl = false;
    if (!entry)
        SetLastError(ERROR_OLD_WIN_VERSION);
    else
        linkControl = (plat::ui::GetDllVersion(entry) >> 32) >= kVersion6;
    if (!linkControl) {
        // The text itself reports clicks.
        SetWindowLongPtrW(text, GWL_STYLE, GetWindowLongPtrW(text, GWL_STYLE) | SS_NOTIFY);
        return;
    }
    CreateSupportLink(text);
}

// The link takes the text's place, moved to the page's left margin.
void CPropPageAbout::CreateSupportLink(HWND text)
{
    RECT area{};
    ::GetWindowRect(text, &area);
    POINT corners[2] = {{area.left, area.top}, {area.right, area.bottom}};
    ScreenToClient(m_hWnd, &corners[0]);
    ScreenToClient(m_hWnd, &corners[1]);
    ::ShowWindow(text, SW_HIDE);
    RECT client{};
    GetClientRect(&client);
    const LONG width = corners[1].x - corners[0].x;
    const LONG height = corners[1].y - corners[0].y;
    const std::u16string markup = qbk24::ResourceText(m_hInstResource, IDS_SUPPORT_LINK);
    HWND link = CreateWindowExW(0, u"SysLink", markup.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                client.left + kLinkIndent, corners[0].y, width, height, m_hWnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_ABOUT_SUPPORT_LINK)), m_hInstResource,
                                nullptr);
    if (link)
        ::SendMessageW(link, WM_SETFONT, static_cast<WPARAM>(SendMessage(WM_GETFONT)), FALSE);
}

// What the scanner says now. A failure ends the refresh: the fields not yet
// written keep their texts.
void CPropPageAbout::RefreshScannerInfo()
{
    try {
        DataSource->ReadDeviceInfo();
        SetTextUtf8(IDC_ABOUT_PAGE_COUNTER, std::to_string(LittleEndian32(DataSource->Counters)));
        const BYTE features = DataSource->SupportInfo[0];
        const std::u16string black = qbk24::ResourceText(m_hInstResource, IDS_BLACK);
        const std::u16string white = qbk24::ResourceText(m_hInstResource, IDS_WHITE);
        SetText(IDC_ABOUT_BACK_BACKGROUND, (features & kBackBlack) ? black : white);
        SetText(IDC_ABOUT_FRONT_BACKGROUND, (features & kFrontBlack) ? black : white);
        const std::u16string format = qbk24::ResourceText(m_hInstResource, IDS_MEMORY_MBYTES);
        SetText(IDC_ABOUT_MEMORY, plat::Format(format.c_str(), LittleEndian16(DataSource->SupportInfo + 2)));
    } catch (const Trellis::CTWAINException&) {
    } catch (const _com_error&) {
        // The hardware service failed the request: the page keeps what it
        // showed, as for a framework failure.
    }
}

void CPropPageAbout::OpenSupportPage()
{
    const std::u16string address = qbk24::ResourceText(m_hInstResource, IDS_SUPPORT_ADDRESS);
    ShellExecuteA(nullptr, "open", Utf16ToUtf8(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CPropPageAbout::OnSupportLinkClick() { OpenSupportPage(); }

void CPropPageAbout::OnSupportTextClicked() { OpenSupportPage(); }

void CPropPageAbout::HandleCommand(int id, WORD code)
{
    if (id == IDC_ABOUT_REFRESH && code == BN_CLICKED)
        RefreshScannerInfo();
    else if (id == IDC_ABOUT_SUPPORT_TEXT && code == STN_CLICKED)
        OnSupportTextClicked();
}

BOOL CPropPageAbout::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->idFrom == IDC_ABOUT_SUPPORT_LINK && header->code == NM_CLICK) {
        OnSupportLinkClick();
        *pResult = 0;
        return TRUE;
    }
    return CDialog::OnNotify(wParam, lParam, pResult);
}
