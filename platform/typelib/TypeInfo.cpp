#include "platform/typelib/TypeInfo.h"

#include "platform/oleauto/bstr.h"

#include <cstring>
#include <limits>

namespace plat {

namespace {

// Names are ASCII identifiers; case is folded for ASCII letters only.
bool SameName(const WCHAR* a, const WCHAR* b)
{
    auto fold = [](WCHAR c) { return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - u'a' + u'A') : c; };
    for (; *a && *b; ++a, ++b) {
        if (fold(*a) != fold(*b))
            return false;
    }
    return *a == *b;
}

// Reads an integer out of any integral or boolean argument; plain values
// and their by-reference forms alike.
HRESULT ReadInteger(const VARIANT& src, LONGLONG& value)
{
    const bool byref = (src.vt & VT_BYREF) != 0;
    if (byref && !src.byref)
        return DISP_E_TYPEMISMATCH;
    // clang-format off
    switch (src.vt & ~VT_BYREF) {
    case VT_I1: value = byref ? *src.pcVal : src.cVal; return S_OK;
    case VT_UI1: value = byref ? *src.pbVal : src.bVal; return S_OK;
    case VT_I2: value = byref ? *src.piVal : src.iVal; return S_OK;
    case VT_UI2: value = byref ? *src.puiVal : src.uiVal; return S_OK;
    case VT_I4: value = byref ? *src.plVal : src.lVal; return S_OK;
    case VT_UI4: value = byref ? *src.pulVal : src.ulVal; return S_OK;
    case VT_INT: value = byref ? *src.pintVal : src.intVal; return S_OK;
    case VT_UINT: value = byref ? *src.puintVal : src.uintVal; return S_OK;
    case VT_BOOL: value = byref ? *src.pboolVal : src.boolVal; return S_OK;
    default: return DISP_E_TYPEMISMATCH;
    }
    // clang-format on
}

// Puts the argument into `dst` in the declared type. Strings and interface
// pointers are borrowed, not copied: they live as long as the call.
HRESULT ConvertArgument(const VARIANT& src, VARTYPE type, VARIANT& dst)
{
    VariantInit(&dst);
    if (type & VT_BYREF) {
        // Raw in-process pointers pass through only in their exact type.
        if (src.vt != type)
            return DISP_E_TYPEMISMATCH;
        dst = src;
        return S_OK;
    }
    const bool byref = (src.vt & VT_BYREF) != 0;
    const VARTYPE base = static_cast<VARTYPE>(src.vt & ~VT_BYREF);
    switch (type) {
    case VT_I4:
    case VT_INT: {
        LONGLONG value = 0;
        HRESULT hr = ReadInteger(src, value);
        if (FAILED(hr))
            return hr;
        if (value < std::numeric_limits<LONG>::min() || value > std::numeric_limits<LONG>::max())
            return DISP_E_OVERFLOW;
        dst.vt = type;
        dst.lVal = static_cast<LONG>(value);
        return S_OK;
    }
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
        if (base != type || (byref && !src.byref))
            return DISP_E_TYPEMISMATCH;
        dst.vt = type;
        if (type == VT_BSTR)
            dst.bstrVal = byref ? *src.pbstrVal : src.bstrVal;
        else if (type == VT_DISPATCH)
            dst.pdispVal = byref ? *src.ppdispVal : src.pdispVal;
        else
            dst.punkVal = byref ? *src.ppunkVal : src.punkVal;
        return S_OK;
    default:
        return DISP_E_BADVARTYPE;
    }
}

// Stores an Out value through the caller's by-reference argument.
void StoreOut(VARIANT& value, const VARIANT& target)
{
    // clang-format off
    switch (value.vt) {
    case VT_I4: *target.plVal = value.lVal; break;
    case VT_INT: *target.pintVal = value.intVal; break;
    case VT_BSTR: *target.pbstrVal = value.bstrVal; break;
    case VT_DISPATCH: *target.ppdispVal = value.pdispVal; break;
    case VT_UNKNOWN: *target.ppunkVal = value.punkVal; break;
    default:
        if (value.vt & VT_BYREF)
            *static_cast<void**>(target.byref) = value.byref;
        else
            return;
    }
    // clang-format on
    value.vt = VT_EMPTY; // ownership went to the caller
}

} // namespace

HRESULT TypeInfo::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeInfo) {
        *ppv = static_cast<ITypeInfo*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT TypeInfo::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId)
{
    if (!rgszNames || !pMemId)
        return E_INVALIDARG;
    if (cNames == 0)
        return S_OK;
    for (UINT i = 0; i < cNames; ++i)
        pMemId[i] = DISPID_UNKNOWN;
    if (!rgszNames[0])
        return DISP_E_UNKNOWNNAME;
    // A property's get and put share their DISPID; parameter names come
    // from the first member of that name.
    const MemberDesc* member = nullptr;
    for (const MemberDesc& m : m_desc.members) {
        if (SameName(m.name, rgszNames[0])) {
            member = &m;
            break;
        }
    }
    if (!member)
        return DISP_E_UNKNOWNNAME;
    pMemId[0] = member->dispid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < cNames; ++i) {
        for (size_t p = 0; p < member->params.size(); ++p) {
            if (rgszNames[i] && SameName(member->params[p].name, rgszNames[i]))
                pMemId[i] = static_cast<MEMBERID>(p);
        }
        if (pMemId[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

const MemberDesc* TypeInfo::FindMember(MEMBERID memid, WORD wFlags) const
{
    const MemberDesc* get = nullptr;
    const MemberDesc* method = nullptr;
    const MemberDesc* put = nullptr;
    for (const MemberDesc& m : m_desc.members) {
        if (m.dispid != memid)
            continue;
        if (m.kind == MemberKind::PropertyGet && !get)
            get = &m;
        else if (m.kind == MemberKind::Method && !method)
            method = &m;
        else if (m.kind == MemberKind::PropertyPut && !put)
            put = &m;
    }
    if (wFlags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
        return put;
    if ((wFlags & DISPATCH_METHOD) && method)
        return method;
    if (wFlags & DISPATCH_PROPERTYGET)
        return get;
    return nullptr;
}

HRESULT TypeInfo::Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                         EXCEPINFO* pExcepInfo, UINT* puArgErr)
{
    if (!pvInstance || !pDispParams)
        return E_INVALIDARG;
    const MemberDesc* member = FindMember(memid, wFlags);
    if (!member)
        return DISP_E_MEMBERNOTFOUND;

    const UINT cArgs = pDispParams->cArgs;
    if (cArgs && !pDispParams->rgvarg)
        return E_INVALIDARG;
    // Only the value of a property put may be named.
    if (member->kind == MemberKind::PropertyPut) {
        if (pDispParams->cNamedArgs != 1 || !pDispParams->rgdispidNamedArgs ||
            pDispParams->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTOPTIONAL;
    } else if (pDispParams->cNamedArgs != 0) {
        return DISP_E_NONAMEDARGS;
    }

    // Every In parameter must be given; Out parameters may be given by
    // reference or left off, the first left off being the call's result.
    const size_t total = member->params.size();
    size_t inCount = 0;
    for (const ParamDesc& p : member->params)
        inCount += p.dir == ParamDir::In ? 1 : 0;
    if (total > kMaxMemberParams || cArgs < inCount || cArgs > total)
        return DISP_E_BADPARAMCOUNT;

    VARIANT values[kMaxMemberParams];
    for (size_t i = 0; i < total; ++i) {
        const ParamDesc& param = member->params[i];
        VariantInit(&values[i]);
        const bool given = i < cArgs;
        // Arguments arrive last first.
        const VARIANT* arg = given ? &pDispParams->rgvarg[cArgs - 1 - i] : nullptr;
        HRESULT hr = S_OK;
        if (param.dir == ParamDir::In) {
            hr = given ? ConvertArgument(*arg, param.type, values[i]) : DISP_E_PARAMNOTOPTIONAL;
        } else {
            values[i].vt = param.type;
            if (given && (arg->vt != (param.type | VT_BYREF) || !arg->byref))
                hr = DISP_E_TYPEMISMATCH;
        }
        if (FAILED(hr)) {
            if (puArgErr)
                *puArgErr = static_cast<UINT>(given ? cArgs - 1 - i : 0);
            return hr;
        }
    }

    HRESULT result = member->call(pvInstance, values);

    bool resultTaken = false;
    for (size_t i = 0; i < total; ++i) {
        if (member->params[i].dir != ParamDir::Out)
            continue;
        if (SUCCEEDED(result) && i < cArgs) {
            StoreOut(values[i], pDispParams->rgvarg[cArgs - 1 - i]);
        } else if (SUCCEEDED(result) && !resultTaken && pVarResult) {
            resultTaken = true;
            *pVarResult = values[i];
            values[i].vt = VT_EMPTY;
        }
        // Raw pointers are not owned; everything else left over is.
        if (!(values[i].vt & VT_BYREF))
            VariantClear(&values[i]);
    }

    if (FAILED(result)) {
        if (pExcepInfo) {
            std::memset(pExcepInfo, 0, sizeof *pExcepInfo);
            pExcepInfo->scode = result;
        }
        return DISP_E_EXCEPTION;
    }
    return result;
}

HRESULT TypeInfo::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                   BSTR* pBstrHelpFile)
{
    if (pBstrDocString)
        *pBstrDocString = nullptr;
    if (pdwHelpContext)
        *pdwHelpContext = 0;
    if (pBstrHelpFile)
        *pBstrHelpFile = nullptr;
    const WCHAR* name = nullptr;
    if (memid == MEMBERID_NIL) {
        name = m_desc.name;
    } else {
        for (const MemberDesc& m : m_desc.members) {
            if (m.dispid == memid) {
                name = m.name;
                break;
            }
        }
    }
    if (!name)
        return TYPE_E_ELEMENTNOTFOUND;
    if (pBstrName) {
        *pBstrName = SysAllocString(name);
        if (!*pBstrName)
            return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT TypeInfo::GetGuid(GUID* pGuid)
{
    if (!pGuid)
        return E_POINTER;
    *pGuid = m_desc.iid;
    return S_OK;
}

} // namespace plat
