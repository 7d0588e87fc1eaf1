// The page as an OLE property page: the frame's default behaviour over
// dialog 103 and the page's resource texts, with no logic of its own. The
// objects given with SetObjects are only counted by the page.
#include "shellext/CRNXHWPropertyPage.h"

#include "platform/ui/DialogTemplate.h"
#include "shellext/ResourceIds.h"

#include <cstring>
#include <new>

namespace {

// A CoTaskMemAlloc'd copy of string `id`; null when it is missing.
LPOLESTR LoadTaskString(UINT id)
{
    const WCHAR* text = nullptr;
    const int length = LoadStringW(ShellExtInstance(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0)
        return nullptr;
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((static_cast<size_t>(length) + 1) * sizeof(WCHAR)));
    if (copy) {
        std::memcpy(copy, text, static_cast<size_t>(length) * sizeof(WCHAR));
        copy[length] = u'\0';
    }
    return copy;
}

} // namespace

HRESULT CRNXHWPropertyPage::SetPageSite(IPropertyPageSite* pPageSite)
{
    if (pPageSite && m_pPageSite)
        return E_UNEXPECTED;
    if (m_pPageSite)
        m_pPageSite->Release();
    m_pPageSite = pPageSite;
    if (m_pPageSite)
        m_pPageSite->AddRef();
    return S_OK;
}

HRESULT CRNXHWPropertyPage::Activate(HWND hWndParent, LPCRECT pRect, BOOL)
{
    if (m_hWnd)
        return E_UNEXPECTED;
    m_activation = PROPSHEETPAGEW{};
    m_activation.dwSize = PROPSHEETPAGEW_V1_SIZE;
    m_activation.hInstance = ShellExtInstance();
    m_activation.lParam = reinterpret_cast<LPARAM>(this);
    HWND page = CreateDialogParamW(ShellExtInstance(), MAKEINTRESOURCEW(IDD_RNXHWPROPERTYPAGE), hWndParent,
                                   &PropertyPageDialogProc, reinterpret_cast<LPARAM>(&m_activation));
    if (!page)
        return E_FAIL;
    return pRect ? Move(pRect) : S_OK;
}

HRESULT CRNXHWPropertyPage::Deactivate()
{
    if (!m_hWnd)
        return E_UNEXPECTED;
    DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    return S_OK;
}

HRESULT CRNXHWPropertyPage::GetPageInfo(PROPPAGEINFO* pPageInfo)
{
    if (!pPageInfo)
        return E_POINTER;
    plat::ui::DialogTemplate page;
    if (!plat::ui::FindDialogTemplate(ShellExtInstance(), IDD_RNXHWPROPERTYPAGE, &page))
        return E_UNEXPECTED;
    const RECT size = plat::ui::DialogUnitsToPixels(0, 0, page.cx, page.cy);
    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = LoadTaskString(m_dwTitleID);
    pPageInfo->size = SIZE{size.right - size.left, size.bottom - size.top};
    pPageInfo->pszHelpFile = LoadTaskString(m_dwHelpFileID);
    pPageInfo->pszDocString = LoadTaskString(m_dwDocStringID);
    pPageInfo->dwHelpContext = 0;
    return S_OK;
}

HRESULT CRNXHWPropertyPage::SetObjects(ULONG cObjects, IUnknown** ppUnk)
{
    if (cObjects > 0 && !ppUnk)
        return E_POINTER;
    ReleaseObjects();
    if (cObjects == 0)
        return S_OK;
    m_ppUnk = new (std::nothrow) IUnknown*[cObjects];
    if (!m_ppUnk)
        return E_OUTOFMEMORY;
    for (ULONG i = 0; i < cObjects; ++i) {
        m_ppUnk[i] = ppUnk[i];
        if (m_ppUnk[i])
            m_ppUnk[i]->AddRef();
    }
    m_nObjects = cObjects;
    return S_OK;
}

void CRNXHWPropertyPage::ReleaseObjects()
{
    for (ULONG i = 0; i < m_nObjects; ++i) {
        if (m_ppUnk[i])
            m_ppUnk[i]->Release();
    }
    delete[] m_ppUnk;
    m_ppUnk = nullptr;
    m_nObjects = 0;
}

HRESULT CRNXHWPropertyPage::Show(UINT nCmdShow)
{
    if (!m_hWnd)
        return E_UNEXPECTED;
    ShowWindow(m_hWnd, static_cast<int>(nCmdShow));
    return S_OK;
}

HRESULT CRNXHWPropertyPage::Move(LPCRECT pRect)
{
    if (!pRect)
        return E_POINTER;
    if (!m_hWnd)
        return E_UNEXPECTED;
    MoveWindow(m_hWnd, pRect->left, pRect->top, pRect->right - pRect->left, pRect->bottom - pRect->top, TRUE);
    return S_OK;
}

// The page changes nothing: never dirty, and applying has nothing to do.
HRESULT CRNXHWPropertyPage::IsPageDirty() { return S_FALSE; }

HRESULT CRNXHWPropertyPage::Apply() { return S_OK; }

HRESULT CRNXHWPropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT CRNXHWPropertyPage::TranslateAccelerator(MSG*) { return E_NOTIMPL; }
