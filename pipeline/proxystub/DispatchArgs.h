// Interface pointers among the parameters of the library's interfaces.
//
// An IDispatch pointer crosses as a reference to the library's interface it
// is (the one its type information names, else the one of the library's
// interfaces whose pointer it is), so the receiver gets that interface's
// proxy, which is an IDispatch too. A dispatch object that is none of the
// library's interfaces cannot cross: E_NOINTERFACE.
#pragma once

#include "pipeline/RNXCOMCoreInterfaces.h"
#include "platform/rpc/ProxyStubArgs.h"

namespace rnxcoreps {

// A reference of `object` (null crosses as null).
HRESULT WriteDispatch(plat::rpc::MessageWriter& writer, IDispatch* object);
// A new reference, or null; false (the reader marked bad) when the
// reference names none of the library's interfaces or cannot be had.
bool ReadDispatch(plat::rpc::MessageReader& reader, IDispatch** object);

// A result the object handed back: its reference, or a null reference in
// its place when it cannot travel (the failure is returned).
HRESULT WriteResult(plat::rpc::MessageWriter& writer, IDispatch* object);
HRESULT WriteResult(plat::rpc::MessageWriter& writer, IUnknown* object);

// --- proxy side ---

struct DispatchIn {
    IDispatch* value;
    HRESULT Write(plat::rpc::MessageWriter& w) const { return WriteDispatch(w, value); }
    bool Read(plat::rpc::MessageReader&) const { return true; }
};

// IDispatch**: the result (or null) replaces nothing the caller held.
struct DispatchOut {
    IDispatch** pointer;
    HRESULT Write(plat::rpc::MessageWriter& w) const;
    bool Read(plat::rpc::MessageReader& r) const;
};

// IUnknown**: likewise.
struct UnknownOut {
    IUnknown** pointer;
    HRESULT Write(plat::rpc::MessageWriter& w) const;
    bool Read(plat::rpc::MessageReader& r) const;
};

// --- stub side ---

struct StubDispatch {
    IDispatch* value = nullptr;
    StubDispatch() = default;
    StubDispatch(const StubDispatch&) = delete;
    ~StubDispatch()
    {
        if (value)
            value->Release();
    }
    bool Read(plat::rpc::MessageReader& r) { return ReadDispatch(r, &value); }
    IDispatch* Arg() { return value; }
    void Write(plat::rpc::MessageWriter&) const {}
};

// An out interface pointer the object hands back. Write sends it; when it
// cannot travel a null goes instead and the failure is returned, so the
// call does not report success with its result lost.
template <class Interface>
struct StubInterfaceOut {
    Interface* value = nullptr;
    bool present = false;
    StubInterfaceOut() = default;
    StubInterfaceOut(const StubInterfaceOut&) = delete;
    ~StubInterfaceOut()
    {
        if (value)
            value->Release();
    }
    bool Read(plat::rpc::MessageReader& r)
    {
        std::uint8_t flag = 0;
        if (!r.ReadU8(flag) || flag > 1)
            return r.Fail(), false;
        present = flag == 1;
        return true;
    }
    Interface** Arg() { return present ? &value : nullptr; }
    HRESULT Write(plat::rpc::MessageWriter& w)
    {
        w.WriteU8(present ? 1 : 0);
        return present ? WriteResult(w, value) : S_OK;
    }
};
using StubDispatchOut = StubInterfaceOut<IDispatch>;
using StubUnknownOut = StubInterfaceOut<IUnknown>;

} // namespace rnxcoreps
