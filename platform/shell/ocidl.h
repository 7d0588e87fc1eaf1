// OLE property pages: a page object that a frame (its site) activates in a
// window of its own, with the objects whose properties it shows.
#pragma once

#include "platform/base/guid.h"
#include "platform/base/unknwn.h"
#include "platform/oleauto/dispatch.h"
#include "platform/ui/winuser.h"

struct SIZE {
    LONG cx;
    LONG cy;
};

struct PROPPAGEINFO {
    ULONG cb;
    LPOLESTR pszTitle; // CoTaskMemAlloc'd: the caller frees the three texts
    SIZE size;
    LPOLESTR pszDocString;
    LPOLESTR pszHelpFile;
    DWORD dwHelpContext;
};

inline constexpr IID IID_IPropertyPageSite = plat::MakeGuid("B196B28C-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_IPropertyPage = plat::MakeGuid("B196B28D-BAB4-101A-B69C-00AA00341D07");

constexpr DWORD PROPPAGESTATUS_DIRTY = 0x1;
constexpr DWORD PROPPAGESTATUS_VALIDATE = 0x2;

struct IPropertyPageSite : IUnknown {
    STDMETHOD(OnStatusChange)(DWORD dwFlags) PURE;
    STDMETHOD(GetLocaleID)(LCID* pLocaleID) PURE;
    STDMETHOD(GetPageContainer)(IUnknown** ppUnk) PURE;
    STDMETHOD(TranslateAccelerator)(MSG* pMsg) PURE;
};

struct IPropertyPage : IUnknown {
    STDMETHOD(SetPageSite)(IPropertyPageSite* pPageSite) PURE;
    STDMETHOD(Activate)(HWND hWndParent, LPCRECT pRect, BOOL bModal) PURE;
    STDMETHOD(Deactivate)() PURE;
    STDMETHOD(GetPageInfo)(PROPPAGEINFO* pPageInfo) PURE;
    STDMETHOD(SetObjects)(ULONG cObjects, IUnknown** ppUnk) PURE;
    STDMETHOD(Show)(UINT nCmdShow) PURE;
    STDMETHOD(Move)(LPCRECT pRect) PURE;
    STDMETHOD(IsPageDirty)() PURE;
    STDMETHOD(Apply)() PURE;
    STDMETHOD(Help)(LPCOLESTR pszHelpDir) PURE;
    STDMETHOD(TranslateAccelerator)(MSG* pMsg) PURE;
};
