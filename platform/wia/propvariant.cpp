#include "platform/wia/propidl.h"

#include "platform/base/winerror.h"
#include "platform/oleauto/bstr.h"
#include "platform/oleauto/taskmem.h"

#include <cstring>

namespace {

bool IsPlainType(VARTYPE vt)
{
    // clang-format off
    switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I1: case VT_UI1: case VT_I2: case VT_UI2:
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_I8: case VT_UI8:
    case VT_R4: case VT_R8: case VT_ERROR: case VT_BOOL:
        return true;
    default:
        return false;
    }
    // clang-format on
}

size_t VectorElementSize(VARTYPE vt)
{
    // clang-format off
    switch (vt) {
    case VT_VECTOR | VT_I4: return sizeof(LONG);
    case VT_VECTOR | VT_UI4: return sizeof(ULONG);
    case VT_VECTOR | VT_CLSID: return sizeof(CLSID);
    default: return 0;
    }
    // clang-format on
}

template <typename Char>
Char* CopyTaskString(const Char* text)
{
    if (!text)
        return nullptr;
    size_t length = 0;
    while (text[length])
        ++length;
    auto* copy = static_cast<Char*>(CoTaskMemAlloc((length + 1) * sizeof(Char)));
    if (copy)
        std::memcpy(copy, text, (length + 1) * sizeof(Char));
    return copy;
}

} // namespace

void PropVariantInit(PROPVARIANT* pvar) { std::memset(pvar, 0, sizeof(*pvar)); }

HRESULT PropVariantClear(PROPVARIANT* pvar)
{
    if (!pvar)
        return S_OK;
    if (IsPlainType(pvar->vt)) {
    } else if (pvar->vt == VT_BSTR) {
        SysFreeString(pvar->bstrVal);
    } else if (pvar->vt == VT_CLSID) {
        CoTaskMemFree(pvar->puuid);
    } else if (pvar->vt == VT_LPSTR) {
        CoTaskMemFree(pvar->pszVal);
    } else if (pvar->vt == VT_LPWSTR) {
        CoTaskMemFree(pvar->pwszVal);
    } else if (VectorElementSize(pvar->vt) != 0) {
        CoTaskMemFree(pvar->cal.pElems);
    } else {
        return DISP_E_BADVARTYPE;
    }
    PropVariantInit(pvar);
    return S_OK;
}

HRESULT PropVariantCopy(PROPVARIANT* pvarDest, const PROPVARIANT* pvarSrc)
{
    if (!pvarDest || !pvarSrc)
        return E_INVALIDARG;
    PROPVARIANT copy = *pvarSrc;
    bool failed = false;
    if (IsPlainType(pvarSrc->vt)) {
    } else if (pvarSrc->vt == VT_BSTR) {
        if (pvarSrc->bstrVal) {
            copy.bstrVal = SysAllocStringLen(pvarSrc->bstrVal, SysStringLen(pvarSrc->bstrVal));
            failed = !copy.bstrVal;
        }
    } else if (pvarSrc->vt == VT_CLSID) {
        if (pvarSrc->puuid) {
            copy.puuid = static_cast<CLSID*>(CoTaskMemAlloc(sizeof(CLSID)));
            failed = !copy.puuid;
            if (copy.puuid)
                *copy.puuid = *pvarSrc->puuid;
        }
    } else if (pvarSrc->vt == VT_LPSTR) {
        copy.pszVal = CopyTaskString(pvarSrc->pszVal);
        failed = pvarSrc->pszVal && !copy.pszVal;
    } else if (pvarSrc->vt == VT_LPWSTR) {
        copy.pwszVal = CopyTaskString(pvarSrc->pwszVal);
        failed = pvarSrc->pwszVal && !copy.pwszVal;
    } else if (size_t elementSize = VectorElementSize(pvarSrc->vt); elementSize != 0) {
        copy.cal.pElems = nullptr;
        if (pvarSrc->cal.cElems != 0) {
            if (!pvarSrc->cal.pElems) {
                PropVariantInit(pvarDest);
                return E_INVALIDARG;
            }
            void* elements = CoTaskMemAlloc(elementSize * pvarSrc->cal.cElems);
            failed = !elements;
            if (elements)
                std::memcpy(elements, pvarSrc->cal.pElems, elementSize * pvarSrc->cal.cElems);
            copy.cal.pElems = static_cast<LONG*>(elements);
        }
    } else {
        PropVariantInit(pvarDest);
        return DISP_E_BADVARTYPE;
    }
    if (failed) {
        PropVariantInit(pvarDest);
        return E_OUTOFMEMORY;
    }
    *pvarDest = copy;
    return S_OK;
}

HRESULT FreePropVariantArray(ULONG cVariants, PROPVARIANT* rgvars)
{
    if (!rgvars && cVariants != 0)
        return E_INVALIDARG;
    HRESULT result = S_OK;
    for (ULONG i = 0; i < cVariants; ++i) {
        HRESULT hr = PropVariantClear(&rgvars[i]);
        if (FAILED(hr))
            result = hr;
    }
    return result;
}
