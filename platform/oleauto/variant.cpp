#include "platform/oleauto/variant.h"

#include "platform/base/winerror.h"
#include "platform/oleauto/bstr.h"
#include "platform/oleauto/dispatch.h"
#include "platform/oleauto/safearray.h"

namespace {

bool IsScalarType(VARTYPE base)
{
    switch (base) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BOOL:
    case VT_ERROR:
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return true;
    default:
        return false;
    }
}

// The types a variant may hold: a scalar, an array of one, either of them by
// reference, or a reference to another variant.
bool IsValidType(VARTYPE vt)
{
    const VARTYPE base = vt & VT_TYPEMASK;
    const auto flags = static_cast<VARTYPE>(vt & ~VT_TYPEMASK);
    switch (flags) {
    case 0:
        return IsScalarType(base);
    case VT_BYREF:
        return (IsScalarType(base) && base != VT_EMPTY && base != VT_NULL) || base == VT_VARIANT;
    case VT_ARRAY:
    case VT_ARRAY | VT_BYREF:
        return (IsScalarType(base) && base != VT_EMPTY && base != VT_NULL) || base == VT_VARIANT;
    default:
        return false;
    }
}

} // namespace

void VariantInit(VARIANTARG* pvarg)
{
    if (pvarg)
        pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* pvarg)
{
    if (!pvarg)
        return E_INVALIDARG;
    if (!IsValidType(pvarg->vt))
        return DISP_E_BADVARTYPE;
    if (pvarg->vt & VT_BYREF) {
        // A reference owns nothing.
    } else if (pvarg->vt & VT_ARRAY) {
        HRESULT hr = SafeArrayDestroy(pvarg->parray);
        if (FAILED(hr))
            return hr;
    } else if (pvarg->vt == VT_BSTR) {
        SysFreeString(pvarg->bstrVal);
    } else if (pvarg->vt == VT_UNKNOWN) {
        if (pvarg->punkVal)
            pvarg->punkVal->Release();
    } else if (pvarg->vt == VT_DISPATCH) {
        if (pvarg->pdispVal)
            pvarg->pdispVal->Release();
    }
    pvarg->vt = VT_EMPTY;
    pvarg->llVal = 0;
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc)
{
    if (!pvargDest || !pvargSrc)
        return E_INVALIDARG;
    if (pvargDest == pvargSrc)
        return S_OK;
    if (!IsValidType(pvargSrc->vt))
        return DISP_E_BADVARTYPE;
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr))
        return hr;

    VARIANT copy = *pvargSrc;
    if (copy.vt & VT_BYREF) {
        // The same reference.
    } else if (copy.vt & VT_ARRAY) {
        hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
        if (FAILED(hr))
            return hr;
    } else if (copy.vt == VT_BSTR) {
        if (pvargSrc->bstrVal) {
            copy.bstrVal =
                SysAllocStringByteLen(reinterpret_cast<LPCSTR>(pvargSrc->bstrVal), SysStringByteLen(pvargSrc->bstrVal));
            if (!copy.bstrVal)
                return E_OUTOFMEMORY;
        }
    } else if (copy.vt == VT_UNKNOWN) {
        if (copy.punkVal)
            copy.punkVal->AddRef();
    } else if (copy.vt == VT_DISPATCH) {
        if (copy.pdispVal)
            copy.pdispVal->AddRef();
    }
    *pvargDest = copy;
    return S_OK;
}
