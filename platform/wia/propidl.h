// Property values and property names as the property-storage calls take
// them: PROPVARIANT (a tagged value that owns what it points at) and PROPSPEC
// (a property named by id or by string).
#pragma once

#include "platform/base/guid.h"
#include "platform/base/wintypes.h"
#include "platform/oleauto/variant.h"

using PROPID = ULONG;

constexpr ULONG PRSPEC_LPWSTR = 0;
constexpr ULONG PRSPEC_PROPID = 1;

struct PROPSPEC {
    ULONG ulKind;
    union {
        PROPID propid;
        LPOLESTR lpwstr;
    };
};

// Counted arrays for the VT_VECTOR forms.
struct CAL {
    ULONG cElems;
    LONG* pElems;
};
struct CAUL {
    ULONG cElems;
    ULONG* pElems;
};
struct CACLSID {
    ULONG cElems;
    CLSID* pElems;
};

struct PROPVARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        CHAR cVal;
        UCHAR bVal;
        SHORT iVal;
        USHORT uiVal;
        LONG lVal;
        ULONG ulVal;
        INT intVal;
        UINT uintVal;
        LONGLONG hVal;
        ULONGLONG uhVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        BSTR bstrVal;
        CLSID* puuid;
        LPSTR pszVal;
        LPWSTR pwszVal;
        CAL cal;
        CAUL caul;
        CACLSID cauuid;
    };
};
static_assert(sizeof(PROPVARIANT) == 24);

// Sets the type to VT_EMPTY.
void PropVariantInit(PROPVARIANT* pvar);
// Frees what the value owns (BSTR, GUID, strings and vectors from
// CoTaskMemAlloc) and leaves it VT_EMPTY. DISP_E_BADVARTYPE, value
// untouched, for a type this platform does not know.
HRESULT PropVariantClear(PROPVARIANT* pvar);
// A deep copy into *pvarDest (which is overwritten, not cleared).
// E_OUTOFMEMORY or DISP_E_BADVARTYPE leave *pvarDest VT_EMPTY.
HRESULT PropVariantCopy(PROPVARIANT* pvarDest, const PROPVARIANT* pvarSrc);
// PropVariantClear on each of cVariants values.
HRESULT FreePropVariantArray(ULONG cVariants, PROPVARIANT* rgvars);
