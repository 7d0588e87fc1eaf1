// The "Device Settings" page the shell adds to the scanner's properties:
// driver version, product name and copyright from the library's own
// version block, and a link to the maker's support site.
//
// The shell creates the class, hands it the device's data object
// (IShellExtInit::Initialize: a WIA root item, or the "WIAItemNames" list)
// and asks for the page (IShellPropSheetExt::AddPages). The page window
// reaches the object through its dialog procedure, which keeps the object
// with the window (DWLP_USER), so several pages can be open at once. The
// sheet's page holds a reference on the object until it is destroyed.
#pragma once

#include "shellext/CComObjectRootEx.h"
#include "shellext/RNXShellExtIds.h"
#include "themeddlg/CThemedDlg.h"

#include <string>

class CRNXHWPropertyPage;

// How the page's dialog procedure hands a message to the page object.
using PropertyPageMessageProc = LRESULT (*)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                            CRNXHWPropertyPage* page);

INT_PTR PropertyPageDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT PropertyPageMessageCallback(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, CRNXHWPropertyPage* page);

class CRNXHWPropertyPage final : public CComObjectRootEx,
                                 public IPropertyPage,
                                 public IShellPropSheetExt,
                                 public IShellExtInit,
                                 public CThemedDlg {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);
    explicit CRNXHWPropertyPage(IUnknown* outer);
    ~CRNXHWPropertyPage() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return OuterQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }

    // IShellExtInit
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) override;
    // IShellPropSheetExt
    HRESULT STDMETHODCALLTYPE AddPages(LPFNSVADDPROPSHEETPAGE pfnAddPage, LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE ReplacePage(EXPPS uPageID, LPFNSVADDPROPSHEETPAGE pfnReplaceWith, LPARAM lParam) override;

    // IPropertyPage: an OLE property page over dialog 103 with the default
    // behaviour (CRNXHWPropertyPageOle.cpp).
    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* pPageSite) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND hWndParent, LPCRECT pRect, BOOL bModal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* pPageInfo) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG cObjects, IUnknown** ppUnk) override;
    HRESULT STDMETHODCALLTYPE Show(UINT nCmdShow) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT pRect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR pszHelpDir) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* pMsg) override;

    // The message map: TRUE when a handler took the message, with its
    // result in lResult.
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                              DWORD dwMsgMapID = 0);
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OpenSupportLink();
    // Reads the three texts from the version block of the library's file.
    void ReadVersionInfo();
    // The same from the version block of `path`; a later translation's
    // value replaces an earlier one's.
    void ReadVersionInfo(const std::u16string& path);

    HWND m_hWnd = nullptr;
    std::u16string m_strTitle;
    UINT m_dwTitleID = 0;
    UINT m_dwHelpFileID = 0;
    UINT m_dwDocStringID = 0;
    ULONG m_nObjects = 0;
    std::u16string m_strProductName;
    std::u16string m_strLegalCopyright;
    std::u16string m_strFileVersion;
    PropertyPageMessageProc m_pfnMessageCallback = nullptr;
    CRNXHWPropertyPage* m_pCallbackContext = nullptr;

protected:
    void* GetInterface(REFIID riid) override;

private:
    static UINT PageCallback(HWND hwnd, UINT message, PROPSHEETPAGEW* page);
    void ReleaseObjects();

    IPropertyPageSite* m_pPageSite = nullptr;
    IUnknown** m_ppUnk = nullptr;
    PROPSHEETPAGEW m_activation{}; // what Activate hands its own dialog
};

// The packed 64-bit version of a loaded module's DllGetVersion (major in the
// top 16 bits); 0 with the last error set when there is none or it fails.
ULONGLONG GetDllVersion(LPCWSTR moduleName);
// The library's own path; empty when it cannot be had.
std::u16string GetModuleFileNameString();
