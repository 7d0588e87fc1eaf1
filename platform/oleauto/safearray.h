// SAFEARRAY: a self-describing array with bounds, an element type and a lock
// count. Only one-dimensional arrays are made here; that is all the drivers use.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/oleauto/variant.h"

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};
using LPSAFEARRAYBOUND = SAFEARRAYBOUND*;

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    PVOID pvData;
    SAFEARRAYBOUND rgsabound[1];
};
using LPSAFEARRAY = SAFEARRAY*;

constexpr USHORT FADF_AUTO = 0x0001;
constexpr USHORT FADF_STATIC = 0x0002;
constexpr USHORT FADF_EMBEDDED = 0x0004;
constexpr USHORT FADF_FIXEDSIZE = 0x0010;
constexpr USHORT FADF_RECORD = 0x0020;
constexpr USHORT FADF_HAVEIID = 0x0040;
constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
constexpr USHORT FADF_BSTR = 0x0100;
constexpr USHORT FADF_UNKNOWN = 0x0200;
constexpr USHORT FADF_DISPATCH = 0x0400;
constexpr USHORT FADF_VARIANT = 0x0800;

// Element types: the integer, real, boolean and error types, VT_BSTR,
// VT_UNKNOWN, VT_DISPATCH and VT_VARIANT. Elements start zeroed. Null for
// another type, for cDims other than 1, or when memory runs out.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);

namespace plat {
// A VT_UI1 vector like SafeArrayCreateVector's whose bytes are NOT zeroed,
// for a caller about to overwrite them all (a band read from the scanner, a
// copy of received bytes): it saves a pass over every byte. The caller must
// fill every byte before the array goes anywhere, or first cut it
// (SafeArrayRedim) to the bytes it filled: the rest holds whatever the heap
// held, which may be another client's data. Null without memory.
SAFEARRAY* CreateByteVectorToFill(LONG lowerBound, ULONG count);
} // namespace plat

// DISP_E_ARRAYISLOCKED (nothing freed) while the array is locked.
HRESULT SafeArrayDestroy(SAFEARRAY* psa);

UINT SafeArrayGetDim(SAFEARRAY* psa);
UINT SafeArrayGetElemsize(SAFEARRAY* psa);
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
// nDim counts from 1; DISP_E_BADINDEX for a dimension the array lacks.
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);

HRESULT SafeArrayLock(SAFEARRAY* psa);
// E_UNEXPECTED when the array is not locked.
HRESULT SafeArrayUnlock(SAFEARRAY* psa);
// Locks the array and hands out its data.
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData);

// `pv` is the value itself for VT_BSTR (a BSTR), VT_UNKNOWN and VT_DISPATCH
// (an interface pointer), else a pointer to the value. The array keeps its
// own copy (string copy, AddRef, VariantCopy) and frees the element it replaces.
HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
// Copies the element into *pv: a new BSTR, an AddRef'ed interface, a copied
// VARIANT; the caller owns the copy. *pv is an output: whatever it held
// before is overwritten, not freed.
HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
// A deep copy, unlocked; a null source gives a null copy.
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
// New bounds for the (only) dimension: elements cut off are freed, added
// ones start zeroed. DISP_E_ARRAYISLOCKED while the array is locked.
HRESULT SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew);
