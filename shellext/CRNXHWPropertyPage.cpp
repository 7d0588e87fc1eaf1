#include "shellext/CRNXHWPropertyPage.h"

#include "platform/ui/Theme.h"
#include "shellext/ResourceIds.h"
#include "shellext/WiaItemNames.h"

#include <string_view>

namespace {

// The sheet title the system gives while it must not probe the device,
// and what the page shows instead.
constexpr std::u16string_view kBusyHardwareMarker = u"DO NOT CHECK BUSY HARDWARE";
constexpr const char16_t* kSheetTitle = u"Device Configuration Properties";
constexpr int kSheetTitleLength = 255;

// Reads WIA_DIP_DEV_ID of the root item: a device that answers it is one
// the page can describe.
HRESULT ReadDeviceId(IWiaItem* root)
{
    plat::ComPtr<IWiaPropertyStorage> storage;
    HRESULT hr = root->QueryInterface(IID_IWiaPropertyStorage, storage.ReleaseAndGetVoidAddress());
    if (FAILED(hr))
        return hr;
    PROPSPEC spec{};
    spec.ulKind = PRSPEC_PROPID;
    spec.propid = WIA_DIP_DEV_ID;
    PROPVARIANT value;
    PropVariantInit(&value);
    hr = storage->ReadMultiple(1, &spec, &value);
    PropVariantClear(&value);
    // S_FALSE: the item has no such property.
    return hr == S_FALSE ? E_FAIL : hr;
}

} // namespace

HRESULT CRNXHWPropertyPage::Create(IUnknown* outer, REFIID riid, void** ppv)
{
    return plat::CreateComObject<CRNXHWPropertyPage>(outer, riid, ppv, true);
}

CRNXHWPropertyPage::CRNXHWPropertyPage(IUnknown* outer)
    : CComObjectRootEx(outer), m_strTitle(u"Device Settings"), m_dwTitleID(IDS_TITLERNXHWPropertyPage),
      m_dwHelpFileID(IDS_HELPFILERNXHWPropertyPage), m_dwDocStringID(IDS_DOCSTRINGRNXHWPropertyPage),
      m_pfnMessageCallback(&PropertyPageMessageCallback), m_pCallbackContext(this)
{
}

CRNXHWPropertyPage::~CRNXHWPropertyPage()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    ReleaseObjects();
    if (m_pPageSite)
        m_pPageSite->Release();
}

void* CRNXHWPropertyPage::GetInterface(REFIID riid)
{
    if (riid == IID_IPropertyPage)
        return static_cast<IPropertyPage*>(this);
    if (riid == IID_IShellPropSheetExt)
        return static_cast<IShellPropSheetExt*>(this);
    if (riid == IID_IShellExtInit)
        return static_cast<IShellExtInit*>(this);
    return nullptr;
}

HRESULT CRNXHWPropertyPage::Initialize(PCIDLIST_ABSOLUTE, IDataObject* pdtobj, HKEY)
{
    if (!pdtobj)
        return E_INVALIDARG;
    plat::ComPtr<IWiaItem> root;
    if (SUCCEEDED(pdtobj->QueryInterface(IID_IWiaItem, root.ReleaseAndGetVoidAddress()))) {
        LONG type = 0;
        if (FAILED(root->GetItemType(&type)) || !(type & WiaItemTypeRoot))
            return E_FAIL;
    } else {
        std::vector<std::u16string> names;
        HRESULT hr = GetWiaItemNames(pdtobj, &names);
        if (FAILED(hr))
            return hr;
        const std::vector<std::u16string> tokens =
            names.size() == 1 ? SplitDeviceName(names[0]) : std::vector<std::u16string>();
        if (tokens.size() != 1)
            return E_FAIL;
        hr = CreateWiaDevice(tokens[0], root.ReleaseAndGetAddressOf());
        if (FAILED(hr))
            return hr;
    }
    return ReadDeviceId(root.Get());
}

HRESULT CRNXHWPropertyPage::AddPages(LPFNSVADDPROPSHEETPAGE pfnAddPage, LPARAM lParam)
{
    if (!pfnAddPage)
        return E_INVALIDARG;
    PROPSHEETPAGEW psp{};
    psp.dwSize = PROPSHEETPAGEW_V1_SIZE;
    // The page's callback holds this object for as long as the page exists:
    // the shell releases the extension once its pages are added.
    psp.dwFlags = PSP_USETITLE | PSP_USECALLBACK;
    psp.hInstance = ShellExtInstance();
    psp.pszTemplate = MAKEINTRESOURCEW(IDD_RNXHWPROPERTYPAGE);
    psp.pszTitle = m_strTitle.c_str();
    psp.pfnDlgProc = &PropertyPageDialogProc;
    psp.lParam = reinterpret_cast<LPARAM>(this);
    psp.pfnCallback = &CRNXHWPropertyPage::PageCallback;
    HPROPSHEETPAGE page = CreatePropertySheetPageW(&psp);
    if (!page)
        return E_FAIL;
    if (!pfnAddPage(page, lParam)) {
        // A page the sheet did not take is still ours to destroy.
        DestroyPropertySheetPage(page);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CRNXHWPropertyPage::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) { return E_NOTIMPL; }

UINT CRNXHWPropertyPage::PageCallback(HWND, UINT message, PROPSHEETPAGEW* page)
{
    auto* self = reinterpret_cast<CRNXHWPropertyPage*>(page->lParam);
    if (message == PSPCB_ADDREF)
        self->AddRef();
    else if (message == PSPCB_RELEASE)
        self->Release();
    return 1;
}

BOOL CRNXHWPropertyPage::ProcessWindowMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                                              DWORD dwMsgMapID)
{
    if (dwMsgMapID != 0)
        return FALSE;
    switch (uMsg) {
    case WM_INITDIALOG: {
        BOOL handled = TRUE;
        lResult = OnInitDialog(uMsg, wParam, lParam, handled);
        return handled;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->idFrom == IDC_SYSLINK_SUPPORT && header->code == NM_CLICK) {
            lResult = OpenSupportLink();
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_STATIC_SUPPORT && HIWORD(wParam) == STN_CLICKED) {
            lResult = OpenSupportLink();
            return TRUE;
        }
        return FALSE;
    case WM_STYLECHANGING:
        if (m_nObjects == 0)
            return FALSE;
        if (static_cast<int>(wParam) == GWL_EXSTYLE) {
            reinterpret_cast<STYLESTRUCT*>(lParam)->styleNew |= WS_EX_CONTROLPARENT;
            lResult = 0;
        } else {
            lResult = 1;
        }
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT CRNXHWPropertyPage::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    EnableThemeDialogTexture(m_hWnd, ETDT_ENABLETAB);

    HWND sheet = GetParent(m_hWnd);
    HWND outer = sheet ? GetParent(sheet) : nullptr;
    if (sheet && outer) {
        WCHAR title[kSheetTitleLength] = {};
        GetWindowTextW(outer, title, kSheetTitleLength);
        if (std::u16string_view(title).find(kBusyHardwareMarker) != std::u16string_view::npos)
            SetWindowTextW(outer, kSheetTitle);
    }

    ReadVersionInfo();
    SetDlgItemTextW(m_hWnd, IDC_COPYRIGHT, m_strLegalCopyright.c_str());
    SetDlgItemTextW(m_hWnd, IDC_PRODUCT_NAME, m_strProductName.c_str());
    SetDlgItemTextW(m_hWnd, IDC_FILE_VERSION, m_strFileVersion.c_str());

    HWND support = GetDlgItem(m_hWnd, IDC_STATIC_SUPPORT);
    if (GetDllVersion(u"comctl32") < (ULONGLONG{6} << 48)) {
        // No link control: the sentence itself takes the clicks.
        const LONG_PTR style = GetWindowLongPtrW(support, GWL_STYLE);
        if (!(style & SS_NOTIFY)) {
            SetWindowLongPtrW(support, GWL_STYLE, style | SS_NOTIFY);
            SetWindowPos(support, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    } else {
        RECT rect{};
        GetWindowRect(support, &rect);
        POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
        ScreenToClient(m_hWnd, &corners[0]);
        ScreenToClient(m_hWnd, &corners[1]);
        ShowWindow(support, SW_HIDE);
        const WCHAR* text = nullptr;
        const int length = LoadStringW(ShellExtInstance(), IDC_SYSLINK_SUPPORT, reinterpret_cast<LPWSTR>(&text), 0);
        const std::u16string linkText = length > 0 ? std::u16string(text, static_cast<size_t>(length)) : u"";
        HWND link = CreateWindowExW(0, u"SysLink", linkText.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, corners[0].x,
                                    corners[0].y, corners[1].x - corners[0].x, corners[1].y - corners[0].y, m_hWnd,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SYSLINK_SUPPORT)),
                                    ShellExtInstance(), nullptr);
        if (link)
            SendMessageW(link, WM_SETFONT, static_cast<WPARAM>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0)), FALSE);
    }
    return TRUE;
}

LRESULT CRNXHWPropertyPage::OpenSupportLink()
{
    WCHAR address[1024] = {};
    LoadStringW(ShellExtInstance(), IDS_SUPPORT_URL, address, 1024);
    ShellExecuteW(m_hWnd, u"open", address, nullptr, nullptr, SW_SHOWNORMAL);
    return 0;
}
