#include "platform/oleauto/safearray.h"

#include "platform/base/winerror.h"
#include "platform/oleauto/bstr.h"
#include "platform/oleauto/dispatch.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The descriptor is allocated with its element type in front of it, so that
// the type survives copies and tells what the elements own.
struct ArrayBlock {
    VARTYPE vt;
    SAFEARRAY sa;
};

ArrayBlock* BlockOf(SAFEARRAY* psa)
{
    return reinterpret_cast<ArrayBlock*>(reinterpret_cast<char*>(psa) - offsetof(ArrayBlock, sa));
}

constexpr ULONG kMaxLocks = 0xFFFF;

ULONG ElementSize(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
        return 8;
    case VT_BSTR:
        return sizeof(BSTR);
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return sizeof(IUnknown*);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

USHORT FeaturesFor(VARTYPE vt)
{
    switch (vt) {
    case VT_BSTR:
        return FADF_HAVEVARTYPE | FADF_BSTR;
    case VT_UNKNOWN:
        return FADF_HAVEVARTYPE | FADF_UNKNOWN;
    case VT_DISPATCH:
        return FADF_HAVEVARTYPE | FADF_DISPATCH;
    case VT_VARIANT:
        return FADF_HAVEVARTYPE | FADF_VARIANT;
    default:
        return FADF_HAVEVARTYPE;
    }
}

VARTYPE TypeOf(SAFEARRAY* psa)
{
    if (psa->fFeatures & FADF_HAVEVARTYPE)
        return BlockOf(psa)->vt;
    if (psa->fFeatures & FADF_BSTR)
        return VT_BSTR;
    if (psa->fFeatures & FADF_UNKNOWN)
        return VT_UNKNOWN;
    if (psa->fFeatures & FADF_DISPATCH)
        return VT_DISPATCH;
    if (psa->fFeatures & FADF_VARIANT)
        return VT_VARIANT;
    return VT_EMPTY;
}

template <typename Interface>
void ReleaseSlot(Interface** slot)
{
    if (*slot)
        (*slot)->Release();
    *slot = nullptr;
}

template <typename Interface>
void CopySlot(Interface** target, Interface* const* source)
{
    if (*source)
        (*source)->AddRef();
    *target = *source;
}

// Whether an element of this type holds something to release.
bool OwnsResources(VARTYPE vt) { return vt == VT_BSTR || vt == VT_UNKNOWN || vt == VT_DISPATCH || vt == VT_VARIANT; }

// Releases what one element owns and zeroes it.
void ClearElement(VARTYPE vt, void* element)
{
    switch (vt) {
    case VT_BSTR: {
        BSTR* slot = static_cast<BSTR*>(element);
        SysFreeString(*slot);
        *slot = nullptr;
        break;
    }
    case VT_UNKNOWN:
        ReleaseSlot(static_cast<IUnknown**>(element));
        break;
    case VT_DISPATCH:
        ReleaseSlot(static_cast<IDispatch**>(element));
        break;
    case VT_VARIANT:
        VariantClear(static_cast<VARIANT*>(element));
        break;
    default:
        break;
    }
}

// Copies a value into a zeroed or cleared element: the element owns the copy.
HRESULT CopyInto(VARTYPE vt, void* element, const void* value, ULONG size)
{
    switch (vt) {
    case VT_BSTR: {
        BSTR source = *static_cast<const BSTR*>(value);
        BSTR copy = nullptr;
        if (source) {
            copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
            if (!copy)
                return E_OUTOFMEMORY;
        }
        *static_cast<BSTR*>(element) = copy;
        return S_OK;
    }
    case VT_UNKNOWN:
        CopySlot(static_cast<IUnknown**>(element), static_cast<IUnknown* const*>(value));
        return S_OK;
    case VT_DISPATCH:
        CopySlot(static_cast<IDispatch**>(element), static_cast<IDispatch* const*>(value));
        return S_OK;
    case VT_VARIANT: {
        VARIANT* target = static_cast<VARIANT*>(element);
        VariantInit(target);
        return VariantCopy(target, static_cast<const VARIANT*>(value));
    }
    default:
        std::memcpy(element, value, size);
        return S_OK;
    }
}

void* ElementAt(SAFEARRAY* psa, size_t offset) { return static_cast<BYTE*>(psa->pvData) + offset * psa->cbElements; }

// The element offset of an index, or an error when the index is out of bounds.
HRESULT OffsetOf(SAFEARRAY* psa, const LONG* rgIndices, size_t& offset)
{
    if (!psa || !rgIndices)
        return E_INVALIDARG;
    const LONGLONG relative = LONGLONG{rgIndices[0]} - psa->rgsabound[0].lLbound;
    if (relative < 0 || relative >= LONGLONG{psa->rgsabound[0].cElements})
        return DISP_E_BADINDEX;
    offset = static_cast<size_t>(relative);
    return S_OK;
}

void FreeArray(SAFEARRAY* psa)
{
    const VARTYPE vt = TypeOf(psa);
    if (psa->pvData) {
        // Plain values own nothing: a megabyte band is freed without a
        // visit to each of its bytes.
        if (OwnsResources(vt)) {
            for (size_t i = 0; i < psa->rgsabound[0].cElements; ++i)
                ClearElement(vt, ElementAt(psa, i));
        }
        std::free(psa->pvData);
    }
    delete BlockOf(psa);
}

enum class Elements { Zeroed, AsAllocated };

SAFEARRAY* NewArray(VARTYPE vt, const SAFEARRAYBOUND& bound, Elements elements)
{
    const ULONG size = ElementSize(vt);
    if (size == 0)
        return nullptr;
    auto* block = new (std::nothrow) ArrayBlock{};
    if (!block)
        return nullptr;
    block->vt = vt;
    SAFEARRAY& sa = block->sa;
    sa.cDims = 1;
    sa.fFeatures = FeaturesFor(vt);
    sa.cbElements = size;
    sa.rgsabound[0] = bound;
    // Zeroed elements are valid empty values of every type (null BSTR, null
    // pointer, VT_EMPTY). A distinct block even for no elements keeps
    // pvData non-null, as callers test it.
    const size_t count = bound.cElements == 0 ? 1 : bound.cElements;
    sa.pvData = elements == Elements::Zeroed ? std::calloc(count, size) : std::malloc(count * size);
    if (!sa.pvData) {
        delete block;
        return nullptr;
    }
    return &sa;
}

} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound)
{
    if (cDims != 1 || !rgsabound)
        return nullptr;
    return NewArray(vt, rgsabound[0], Elements::Zeroed);
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements)
{
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

SAFEARRAY* plat::CreateByteVectorToFill(LONG lowerBound, ULONG count)
{
    return NewArray(VT_UI1, SAFEARRAYBOUND{count, lowerBound}, Elements::AsAllocated);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa)
{
    if (!psa)
        return S_OK;
    if (psa->cLocks > 0)
        return DISP_E_ARRAYISLOCKED;
    FreeArray(psa);
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt)
{
    if (!psa || !pvt)
        return E_INVALIDARG;
    const VARTYPE vt = TypeOf(psa);
    if (vt == VT_EMPTY)
        return E_INVALIDARG;
    *pvt = vt;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound)
{
    if (!psa || !plUbound)
        return E_INVALIDARG;
    if (nDim < 1 || nDim > psa->cDims)
        return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - nDim];
    *plUbound = static_cast<LONG>(LONGLONG{bound.lLbound} + bound.cElements - 1);
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound)
{
    if (!psa || !plLbound)
        return E_INVALIDARG;
    if (nDim < 1 || nDim > psa->cDims)
        return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    if (psa->cLocks >= kMaxLocks)
        return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    if (psa->cLocks == 0)
        return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData)
{
    if (!psa || !ppvData)
        return E_INVALIDARG;
    HRESULT hr = SafeArrayLock(psa);
    if (FAILED(hr)) {
        *ppvData = nullptr;
        return hr;
    }
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData)
{
    if (!ppvData)
        return E_INVALIDARG;
    size_t offset = 0;
    HRESULT hr = OffsetOf(psa, rgIndices, offset);
    if (FAILED(hr))
        return hr;
    *ppvData = ElementAt(psa, offset);
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv)
{
    size_t offset = 0;
    HRESULT hr = OffsetOf(psa, rgIndices, offset);
    if (FAILED(hr))
        return hr;
    const VARTYPE vt = TypeOf(psa);
    // Strings and interfaces are passed as the value itself, the rest by address.
    BSTR asString = static_cast<BSTR>(pv);
    IUnknown* asUnknown = static_cast<IUnknown*>(pv);
    IDispatch* asDispatch = static_cast<IDispatch*>(pv);
    const void* value = pv;
    if (vt == VT_BSTR)
        value = &asString;
    else if (vt == VT_UNKNOWN)
        value = &asUnknown;
    else if (vt == VT_DISPATCH)
        value = &asDispatch;
    else if (!pv)
        return E_INVALIDARG;

    // Make the copy before giving up the old element, so that a failed copy
    // leaves the array as it was and a value taken from this very element
    // survives.
    alignas(VARIANT) BYTE fresh[sizeof(VARIANT)] = {};
    hr = CopyInto(vt, fresh, value, psa->cbElements);
    if (FAILED(hr))
        return hr;
    void* element = ElementAt(psa, offset);
    ClearElement(vt, element);
    std::memcpy(element, fresh, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv)
{
    size_t offset = 0;
    HRESULT hr = OffsetOf(psa, rgIndices, offset);
    if (FAILED(hr))
        return hr;
    if (!pv)
        return E_INVALIDARG;
    return CopyInto(TypeOf(psa), pv, ElementAt(psa, offset), psa->cbElements);
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut)
{
    if (!ppsaOut)
        return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa)
        return S_OK;
    const VARTYPE vt = TypeOf(psa);
    if (psa->cDims != 1 || vt == VT_EMPTY)
        return E_INVALIDARG;
    SAFEARRAY* copy = SafeArrayCreate(vt, 1, psa->rgsabound);
    if (!copy)
        return E_OUTOFMEMORY;
    const size_t count = psa->rgsabound[0].cElements;
    if (!OwnsResources(vt)) {
        // Plain values: one block copy, not a call per element.
        std::memcpy(copy->pvData, psa->pvData, count * psa->cbElements);
        *ppsaOut = copy;
        return S_OK;
    }
    for (size_t i = 0; i < count; ++i) {
        HRESULT hr = CopyInto(vt, ElementAt(copy, i), ElementAt(psa, i), psa->cbElements);
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}

HRESULT SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew)
{
    if (!psa || !psaboundNew || psa->cDims != 1)
        return E_INVALIDARG;
    if (psa->cLocks > 0)
        return DISP_E_ARRAYISLOCKED;
    const VARTYPE vt = TypeOf(psa);
    const size_t oldCount = psa->rgsabound[0].cElements;
    const size_t newCount = psaboundNew->cElements;
    if (newCount < oldCount && OwnsResources(vt)) {
        for (size_t i = newCount; i < oldCount; ++i)
            ClearElement(vt, ElementAt(psa, i));
    }
    // A smaller array keeps its block: shrinking never fails and moves nothing.
    if (newCount > oldCount) {
        void* grown = std::realloc(psa->pvData, newCount * psa->cbElements);
        if (!grown)
            return E_OUTOFMEMORY;
        std::memset(static_cast<BYTE*>(grown) + oldCount * psa->cbElements, 0, (newCount - oldCount) * psa->cbElements);
        psa->pvData = grown;
    }
    psa->rgsabound[0] = *psaboundNew;
    return S_OK;
}
