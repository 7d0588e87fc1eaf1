// The Global Interface Table: a process-wide store where one thread leaves
// an interface and any other thread of the process takes it back by cookie.
// Created with CoCreateInstance(CLSID_StdGlobalInterfaceTable, ...,
// IID_IGlobalInterfaceTable); every instance is the one table.
//
// In this process every thread gets the same object back (see objbase.h on
// calls between threads); the out-of-process layer can later hand out
// proxies here without changing callers.
#pragma once

#include "platform/com/objbase.h"

// {00000146-0000-0000-C000-000000000046}
inline constexpr IID IID_IGlobalInterfaceTable = plat::MakeGuid("00000146-0000-0000-C000-000000000046");
// {00000323-0000-0000-C000-000000000046}
inline constexpr CLSID CLSID_StdGlobalInterfaceTable = plat::MakeGuid("00000323-0000-0000-C000-000000000046");

struct IGlobalInterfaceTable : IUnknown {
    // Keeps a reference to pUnk's riid interface (E_NOINTERFACE when it has
    // none) under a new non-zero cookie.
    virtual HRESULT STDMETHODCALLTYPE RegisterInterfaceInGlobal(IUnknown* pUnk, REFIID riid, DWORD* pdwCookie) = 0;
    // Drops the reference; E_INVALIDARG for a cookie not (or no longer) held.
    virtual HRESULT STDMETHODCALLTYPE RevokeInterfaceFromGlobal(DWORD dwCookie) = 0;
    // An AddRef'd pointer the caller releases; E_INVALIDARG for an unknown cookie.
    virtual HRESULT STDMETHODCALLTYPE GetInterfaceFromGlobal(DWORD dwCookie, REFIID riid, void** ppv) = 0;
};

namespace plat::com {

// The one table of the process, for CoGetClassObject.
HRESULT GetGlobalInterfaceTableClassObject(REFIID riid, void** ppv);

} // namespace plat::com
