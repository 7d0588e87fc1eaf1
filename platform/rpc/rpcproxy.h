// What a proxy/stub library builds on: the channel its proxies send calls
// through, the factory it exports, and the marshalling of the parameter
// types that cross between processes.
//
// A proxy/stub library is an in-process server registered under
// HKCR\Interface\{IID}\ProxyStubClsid32; its class object answers
// IID_IProxyStubFactory. For each interface it serves, the factory makes
// proxies (objects with the interface's vtable that turn each method into a
// call over a channel) and runs stubs (takes a request apart, calls the real
// object, writes the results).
#pragma once

#include "platform/base/unknwn.h"
#include "platform/base/winerror.h"
#include "platform/oleauto/bstr.h"
#include "platform/oleauto/safearray.h"
#include "platform/oleauto/variant.h"
#include "platform/rpc/Wire.h"

#include <cstdint>
#include <vector>

namespace plat::rpc {

// Interface pointers inside a message: the connection exports the object
// (writing a reference) or makes a proxy for a reference it reads.
class MarshalContext {
public:
    virtual ~MarshalContext() = default;
    // A null pointer travels as a null reference.
    virtual HRESULT WriteInterface(MessageWriter& writer, REFIID iid, IUnknown* object) = 0;
    // As WriteInterface; `expected` is the interface the receiver is known
    // to ask the object for next. An object that has it may be sent as it,
    // so the receiver's QueryInterface is answered without asking back.
    virtual HRESULT WriteInterfaceExpecting(MessageWriter& writer, REFIID iid, IUnknown* object, REFIID expected)
    {
        (void)expected;
        return WriteInterface(writer, iid, object);
    }
    // A new reference (null for a null reference) to be released by the caller.
    virtual HRESULT ReadInterface(MessageReader& reader, REFIID iid, void** ppv) = 0;
    // Gives back the references `unsent` would have handed over: it will
    // never go out.
    virtual void TakeBackExported(const MessageWriter& unsent) = 0;
};

// The channel of one remote object, as its proxies see it.
class RpcChannel {
public:
    virtual ~RpcChannel() = default;
    virtual MarshalContext* Context() = 0;
    // Sends `request` as method `method` of `iid` and waits for the reply.
    // A failed HRESULT means the call did not complete (RPC_E_DISCONNECTED,
    // RPC_E_SERVER_DIED, RPC_E_INVALID_DATA...): `results` is then empty.
    // On S_OK `status` is the method's own HRESULT and `results` its output.
    virtual HRESULT Invoke(REFIID iid, std::uint32_t method, MessageWriter& request, HRESULT& status,
                           Bytes& results) = 0;
    // A call without outputs, offered to the calling thread's CallBatch for
    // this object: true when it was held (or refused after an earlier
    // failure), with its status; false when it must go now.
    virtual bool Defer(REFIID iid, std::uint32_t method, MessageWriter& request, HRESULT& status)
    {
        (void)iid, (void)method, (void)request, (void)status;
        return false;
    }
};

// One interface proxy; owned by the object's proxy manager, which is the
// identity every AddRef, Release and QueryInterface of the proxy goes to.
class InterfaceProxy {
public:
    virtual ~InterfaceProxy() = default;
    virtual IUnknown* Interface() = 0;
};

// {5E3F2A61-8C0B-4D17-9A53-2B6E1C7D9F40}
inline constexpr IID IID_IProxyStubFactory = plat::MakeGuid("5E3F2A61-8C0B-4D17-9A53-2B6E1C7D9F40");

struct IProxyStubFactory : IUnknown {
    // A proxy for `iid` whose IUnknown methods delegate to `outer`.
    virtual HRESULT STDMETHODCALLTYPE CreateProxy(REFIID iid, RpcChannel* channel, IUnknown* outer,
                                                  InterfaceProxy** proxy) = 0;
    // Runs method `method` of `iid` on `object` (a pointer of that
    // interface). RPC_E_INVALID_DATA when the request cannot be taken apart
    // (nothing is called then) or names no method; otherwise the method's
    // HRESULT, with its results written to `results`.
    virtual HRESULT STDMETHODCALLTYPE Invoke(REFIID iid, IUnknown* object, std::uint32_t method, MessageReader& request,
                                             MessageWriter& results) = 0;
};

// Parameter encodings shared by proxies and stubs.

// A BSTR keeps its exact length (embedded nulls included); null and empty
// differ. Reading allocates a new BSTR the caller frees.
void WriteBstr(MessageWriter& writer, BSTR value);
bool ReadBstr(MessageReader& reader, BSTR& value);

// VARIANTs of the types that cross: VT_EMPTY, VT_NULL, VT_I4, VT_BOOL,
// VT_BSTR, VT_UNKNOWN and one-dimensional VT_ARRAY | VT_UI1 (the array's
// elements as bytes, with its lower bound). Others: DISP_E_BADVARTYPE.
HRESULT WriteVariant(MessageWriter& writer, const VARIANT& value);
// Fills `value` (which the caller has initialised and clears).
bool ReadVariant(MessageReader& reader, VARIANT& value);

// A byte array lent to a callee for one call: its data are the bytes of the
// request itself, so a band reaches the object without a copy. The array is
// locked while lent; GiveBack (before the request's bytes go) takes it back
// out of `value` and frees it.
struct LentBytes {
    SAFEARRAY* array = nullptr;
    void* ownData = nullptr;
    void GiveBack(VARIANT& value);
};
// ReadVariant for an [in] VARIANT: a byte array is lent, not copied.
bool ReadVariantLending(MessageReader& reader, VARIANT& value, LentBytes* lent);

// An in/out byte-array VARIANT coming back: when `target` holds a byte array
// of the same element count the bytes are copied into it in place (so
// pointers into its data stay valid); otherwise `target` is replaced.
bool ReadVariantInPlace(MessageReader& reader, VARIANT& target);

} // namespace plat::rpc
