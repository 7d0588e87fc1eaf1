// Data objects: what the shell hands an extension about the items it acts
// on. Each piece of data is named by a clipboard format (a registered name
// for formats of its own, such as "WIAItemNames") and travels in a storage
// medium, here always a global memory block.
#pragma once

#include "platform/base/guid.h"
#include "platform/base/tymed.h"
#include "platform/base/winerror.h"
#include "platform/base/unknwn.h"
#include "platform/base/wintypes.h"
#include "platform/globalmem/globalmem.h"

using CLIPFORMAT = WORD;

struct DVTARGETDEVICE;
struct IEnumFORMATETC;
struct IAdviseSink;
struct IEnumSTATDATA;

constexpr DWORD DVASPECT_CONTENT = 1;

struct FORMATETC {
    CLIPFORMAT cfFormat;
    DVTARGETDEVICE* ptd;
    DWORD dwAspect;
    LONG lindex;
    DWORD tymed;
};

struct STGMEDIUM {
    DWORD tymed;
    union {
        HGLOBAL hGlobal;
        void* pUnknownMedium; // the other media are not used here
    };
    IUnknown* pUnkForRelease;
};

constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069u);
constexpr HRESULT DV_E_LINDEX = static_cast<HRESULT>(0x80040068u);
constexpr HRESULT DV_E_DVASPECT = static_cast<HRESULT>(0x8004006Bu);
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003u);

inline constexpr IID IID_IDataObject = plat::MakeGuid("0000010E-0000-0000-C000-000000000046");

struct IDataObject : IUnknown {
    STDMETHOD(GetData)(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) PURE;
    STDMETHOD(GetDataHere)(FORMATETC* pformatetc, STGMEDIUM* pmedium) PURE;
    STDMETHOD(QueryGetData)(FORMATETC* pformatetc) PURE;
    STDMETHOD(GetCanonicalFormatEtc)(FORMATETC* pformatectIn, FORMATETC* pformatetcOut) PURE;
    STDMETHOD(SetData)(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease) PURE;
    STDMETHOD(EnumFormatEtc)(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) PURE;
    STDMETHOD(DAdvise)(FORMATETC* pformatetc, DWORD advf, IAdviseSink* pAdvSink, DWORD* pdwConnection) PURE;
    STDMETHOD(DUnadvise)(DWORD dwConnection) PURE;
    STDMETHOD(EnumDAdvise)(IEnumSTATDATA** ppenumAdvise) PURE;
};
using LPDATAOBJECT = IDataObject*;

extern "C" {

// Frees what the medium holds (its global block, or releases
// pUnkForRelease instead when one is given) and leaves it TYMED_NULL.
void ReleaseStgMedium(STGMEDIUM* pmedium);

// The number of a registered format, the same for the same name (ASCII case
// ignored) for the life of the process, from 0xC000 up; 0 for a null or
// empty name.
UINT RegisterClipboardFormatW(LPCWSTR lpszFormat);

} // extern "C"
