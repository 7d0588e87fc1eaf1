// IUnknown: the root of every COM interface, and the method declaration
// helpers that interface declarations use.
#pragma once

#include "platform/base/guid.h"
#include "platform/base/wintypes.h"

// There is one calling convention on this platform; the helpers keep
// interface declarations in their usual shape.
#ifndef STDMETHODCALLTYPE
#define STDMETHODCALLTYPE
#endif
#ifndef STDMETHOD
#define STDMETHOD(method) virtual HRESULT method
#define STDMETHOD_(type, method) virtual type method
#define STDMETHODIMP HRESULT
#define STDMETHODIMP_(type) type
#define PURE = 0
#endif

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown = plat::MakeGuid("00000000-0000-0000-C000-000000000046");

// No virtual destructor, as on Windows: objects are destroyed by their own
// Release, never through an interface pointer.
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
using LPUNKNOWN = IUnknown*;
