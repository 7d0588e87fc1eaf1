// ITypeInfo over a plain interface description (TypeDescription.h), and the
// IDispatch half of a dual interface served from it.
//
// Only what late binding needs is offered: names to DISPIDs, Invoke through
// the member adapters, and each member's name. A TypeInfo is made once per
// interface by the library that describes it and lives as long as the
// library (a function-local static); its reference count never frees it,
// but every reference handed out counts on the library's module, so the
// library stays loaded while a client holds its type information.
#pragma once

#include "platform/base/unknwn.h"
#include "platform/base/winerror.h"
#include "platform/oleauto/dispatch.h"
#include "platform/com/ComModule.h"
#include "platform/typelib/TypeDescription.h"

#include <atomic>

// {00020401-0000-0000-C000-000000000046}
inline constexpr IID IID_ITypeInfo = plat::MakeGuid("00020401-0000-0000-C000-000000000046");

// The leading operations a caller of this platform may use; the layout
// differs from the full Windows interface past IUnknown, so it is for
// in-process use by code built against this header only.
struct ITypeInfo : IUnknown {
    // rgszNames[0] is a member name, the rest names of its parameters (their
    // positions). Case-insensitive. DISP_E_UNKNOWNNAME when any is unknown;
    // the unknown ones get DISPID_UNKNOWN.
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) = 0;
    // Calls member memid of the interface pointer pvInstance.
    virtual HRESULT STDMETHODCALLTYPE Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                                             VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
    // The member's name (MEMBERID_NIL: the interface's) as a new BSTR; the
    // other outputs are optional and come back empty.
    virtual HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                                       DWORD* pdwHelpContext, BSTR* pBstrHelpFile) = 0;
    // The interface's IID.
    virtual HRESULT STDMETHODCALLTYPE GetGuid(GUID* pGuid) = 0;
};

constexpr MEMBERID MEMBERID_NIL = DISPID_UNKNOWN;

namespace plat {

class TypeInfo final : public ITypeInfo {
public:
    // `module`, when given, is locked for every reference beyond the
    // object's own.
    explicit TypeInfo(const InterfaceDesc& desc, ComModule* module = nullptr) : m_desc(desc), m_module(module) {}

    const InterfaceDesc& Description() const { return m_desc; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        if (m_module)
            m_module->Lock();
        return ++m_refs;
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (m_module)
            m_module->Unlock();
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override;
    HRESULT STDMETHODCALLTYPE Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                               DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override;
    HRESULT STDMETHODCALLTYPE GetGuid(GUID* pGuid) override;

private:
    const MemberDesc* FindMember(MEMBERID memid, WORD wFlags) const;

    const InterfaceDesc& m_desc;
    ComModule* m_module;
    std::atomic<ULONG> m_refs{1};
};

// The four IDispatch operations of a dual interface, for an object that
// implements `Interface` (derived from IDispatch) and whose interface is
// described by `info`. GetTypeInfo answers index 0 only (DISP_E_BADINDEX
// otherwise, E_POINTER for a null out-pointer).
template <class Interface>
class DispatchImpl : public Interface {
public:
    explicit DispatchImpl(TypeInfo& info) : m_typeInfo(info) {}

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override
    {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID, ::ITypeInfo** ppTInfo) override
    {
        if (!ppTInfo)
            return E_POINTER;
        *ppTInfo = nullptr;
        if (iTInfo != 0)
            return DISP_E_BADINDEX;
        m_typeInfo.AddRef();
        *ppTInfo = &m_typeInfo;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                            DISPID* rgDispId) override
    {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        return m_typeInfo.GetIDsOfNames(rgszNames, cNames, rgDispId);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override
    {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        return m_typeInfo.Invoke(static_cast<Interface*>(this), dispIdMember, wFlags, pDispParams, pVarResult,
                                 pExcepInfo, puArgErr);
    }

private:
    TypeInfo& m_typeInfo;
};

} // namespace plat
