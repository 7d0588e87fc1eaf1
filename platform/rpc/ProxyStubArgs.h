// Building blocks for hand-written proxies and stubs: one small type per
// parameter kind and direction, and the two calls that run them.
//
// A proxy method lists its parameters in order:
//     return ProxyCall(channel, IID_IFoo, 5, LongIn{lPID}, LongInOut{lpStatus});
// and the stub the matching stub types:
//     StubLong pid; StubLongRef status;
//     return StubCall(request, results, object, &IFoo::Lock, pid, status);
// Pointer parameters travel with a presence flag, so a null pointer reaches
// the object as null (and its E_POINTER answer comes back).
#pragma once

#include "platform/rpc/rpcproxy.h"

#include <type_traits>
#include <utility>

namespace plat::rpc {

// --- proxy side: Write the inputs, Read the outputs back ---

// Types marked kNoOutput take nothing back: a call of only such parameters
// may be held in a CallBatch.

struct LongIn {
    static constexpr bool kNoOutput = true;
    LONG value;
    HRESULT Write(MessageWriter& w) const { return w.WriteI32(value), S_OK; }
    bool Read(MessageReader&) const { return true; }
};

// LONG* / INT*: in/out sends the caller's value, out sends none.
template <bool kSendsValue>
struct LongRef {
    LONG* pointer;
    HRESULT Write(MessageWriter& w) const
    {
        w.WriteU8(pointer ? 1 : 0);
        if (pointer && kSendsValue)
            w.WriteI32(*pointer);
        return S_OK;
    }
    bool Read(MessageReader& r) const
    {
        std::uint8_t present = 0;
        if (!r.ReadU8(present) || (present != 0) != (pointer != nullptr))
            return r.Fail(), false;
        std::int32_t value = 0;
        if (present && !r.ReadI32(value))
            return false;
        if (present)
            *pointer = value;
        return true;
    }
};
using LongInOut = LongRef<true>;
using LongOut = LongRef<false>;

struct BstrIn {
    static constexpr bool kNoOutput = true;
    BSTR value;
    HRESULT Write(MessageWriter& w) const { return WriteBstr(w, value), S_OK; }
    bool Read(MessageReader&) const { return true; }
};

// BSTR*: the result replaces (and for in/out frees) what the caller held.
template <bool kSendsValue>
struct BstrRef {
    BSTR* pointer;
    HRESULT Write(MessageWriter& w) const
    {
        w.WriteU8(pointer ? 1 : 0);
        if (pointer && kSendsValue)
            WriteBstr(w, *pointer);
        else if (pointer)
            *pointer = nullptr; // an out value is null whenever the call fails
        return S_OK;
    }
    bool Read(MessageReader& r) const
    {
        std::uint8_t present = 0;
        if (!r.ReadU8(present) || (present != 0) != (pointer != nullptr))
            return r.Fail(), false;
        if (!present)
            return true;
        BSTR value = nullptr;
        if (!ReadBstr(r, value))
            return false;
        if (kSendsValue)
            SysFreeString(*pointer);
        *pointer = value;
        return true;
    }
};
using BstrInOut = BstrRef<true>;
using BstrOut = BstrRef<false>;

// IUnknown*: `expected`, when given, names the interface the callee asks
// the object for first (a sink's own interface, say).
struct UnknownIn {
    static constexpr bool kNoOutput = true;
    IUnknown* value;
    const IID* expected = nullptr;
    HRESULT Write(MessageWriter& w) const
    {
        if (!w.Context())
            return E_UNEXPECTED;
        return expected ? w.Context()->WriteInterfaceExpecting(w, IID_IUnknown, value, *expected)
                        : w.Context()->WriteInterface(w, IID_IUnknown, value);
    }
    bool Read(MessageReader&) const { return true; }
};

// VARIANT*: in sends it; in/out also takes the result back (a byte array of
// the same size is updated in place).
template <bool kInOut>
struct VariantRef {
    static constexpr bool kNoOutput = !kInOut;
    VARIANT* pointer;
    HRESULT Write(MessageWriter& w) const
    {
        w.WriteU8(pointer ? 1 : 0);
        return pointer ? WriteVariant(w, *pointer) : S_OK;
    }
    bool Read(MessageReader& r) const
    {
        if (!kInOut)
            return true;
        std::uint8_t present = 0;
        if (!r.ReadU8(present) || (present != 0) != (pointer != nullptr))
            return r.Fail(), false;
        return !present || ReadVariantInPlace(r, *pointer);
    }
};
using VariantIn = VariantRef<false>;
using VariantInOut = VariantRef<true>;

template <class T, class = void>
struct TakesNothingBack : std::false_type {
};
template <class T>
struct TakesNothingBack<T, std::void_t<decltype(T::kNoOutput)>> : std::bool_constant<T::kNoOutput> {
};

template <class... Args>
HRESULT ProxyCall(RpcChannel* channel, REFIID iid, std::uint32_t method, Args&&... args)
{
    MessageWriter request(channel->Context());
    request.AllowBorrowing(); // the caller's buffers outlive the call (or its batch)
    HRESULT hr = S_OK;
    ((hr = SUCCEEDED(hr) ? args.Write(request) : hr), ...);
    if (FAILED(hr)) {
        if (channel->Context())
            channel->Context()->TakeBackExported(request);
        return hr;
    }
    HRESULT status = S_OK;
    if constexpr ((TakesNothingBack<std::decay_t<Args>>::value && ...)) {
        if (channel->Defer(iid, method, request, status))
            return status;
    }
    Bytes results;
    hr = channel->Invoke(iid, method, request, status, results);
    if (FAILED(hr))
        return hr;
    MessageReader reader(results.data(), results.size(), channel->Context());
    bool ok = true;
    ((ok = ok && args.Read(reader)), ...);
    if (!ok || reader.Remaining() != 0)
        return RPC_E_INVALID_DATA;
    return status;
}

// --- stub side: Read the inputs, hand Arg() to the object, Write outputs ---

struct StubLong {
    LONG value = 0;
    bool Read(MessageReader& r) { return r.ReadI32(value); }
    LONG Arg() { return value; }
    void Write(MessageWriter&) const {}
};

template <bool kReadsValue>
struct StubLongRefOf {
    LONG value = 0;
    bool present = false;
    bool Read(MessageReader& r)
    {
        std::uint8_t flag = 0;
        if (!r.ReadU8(flag) || flag > 1)
            return r.Fail(), false;
        present = flag == 1;
        return !(present && kReadsValue) || r.ReadI32(value);
    }
    LONG* Arg() { return present ? &value : nullptr; }
    void Write(MessageWriter& w) const
    {
        w.WriteU8(present ? 1 : 0);
        if (present)
            w.WriteI32(value);
    }
};
using StubLongRef = StubLongRefOf<true>;
using StubLongOut = StubLongRefOf<false>;

struct StubBstr {
    BSTR value = nullptr;
    StubBstr() = default;
    StubBstr(const StubBstr&) = delete;
    ~StubBstr() { SysFreeString(value); }
    bool Read(MessageReader& r) { return ReadBstr(r, value); }
    BSTR Arg() { return value; }
    void Write(MessageWriter&) const {}
};

template <bool kReadsValue>
struct StubBstrRefOf {
    BSTR value = nullptr;
    bool present = false;
    StubBstrRefOf() = default;
    StubBstrRefOf(const StubBstrRefOf&) = delete;
    ~StubBstrRefOf() { SysFreeString(value); }
    bool Read(MessageReader& r)
    {
        std::uint8_t flag = 0;
        if (!r.ReadU8(flag) || flag > 1)
            return r.Fail(), false;
        present = flag == 1;
        return !(present && kReadsValue) || ReadBstr(r, value);
    }
    BSTR* Arg() { return present ? &value : nullptr; }
    void Write(MessageWriter& w) const
    {
        w.WriteU8(present ? 1 : 0);
        if (present)
            WriteBstr(w, value);
    }
};
using StubBstrRef = StubBstrRefOf<true>;
using StubBstrOut = StubBstrRefOf<false>;

struct StubUnknown {
    IUnknown* value = nullptr;
    StubUnknown() = default;
    StubUnknown(const StubUnknown&) = delete;
    ~StubUnknown()
    {
        if (value)
            value->Release();
    }
    bool Read(MessageReader& r)
    {
        if (!r.Context() || FAILED(r.Context()->ReadInterface(r, IID_IUnknown, reinterpret_cast<void**>(&value))))
            return r.Fail(), false;
        return true;
    }
    IUnknown* Arg() { return value; }
    void Write(MessageWriter&) const {}
};

// An [in] byte array is lent from the request (which outlives the stub's
// arguments); an in/out one is the callee's own to change or replace.
template <bool kInOut>
struct StubVariantRefOf {
    VARIANT value;
    bool present = false;
    LentBytes lent;
    StubVariantRefOf() { VariantInit(&value); }
    StubVariantRefOf(const StubVariantRefOf&) = delete;
    ~StubVariantRefOf()
    {
        lent.GiveBack(value);
        VariantClear(&value);
    }
    bool Read(MessageReader& r)
    {
        std::uint8_t flag = 0;
        if (!r.ReadU8(flag) || flag > 1)
            return r.Fail(), false;
        present = flag == 1;
        return !present || ReadVariantLending(r, value, kInOut ? nullptr : &lent);
    }
    VARIANT* Arg() { return present ? &value : nullptr; }
    void Write(MessageWriter& w) const
    {
        if (!kInOut)
            return;
        w.WriteU8(present ? 1 : 0);
        // A value the object left in a type that cannot travel goes back
        // as VT_EMPTY rather than failing a call that already ran.
        if (present && FAILED(WriteVariant(w, value))) {
            VARIANT empty;
            VariantInit(&empty);
            WriteVariant(w, empty);
        }
    }
};
using StubVariantIn = StubVariantRefOf<false>;
using StubVariantRef = StubVariantRefOf<true>;

template <class Object, class Method, class... Args>
HRESULT StubCall(MessageReader& request, MessageWriter& results, Object* object, Method method, Args&... args)
{
    bool ok = true;
    ((ok = ok && args.Read(request)), ...);
    if (!ok || request.Remaining() != 0)
        return RPC_E_INVALID_DATA;
    HRESULT hr = (object->*method)(args.Arg()...);
    (args.Write(results), ...);
    return hr;
}

} // namespace plat::rpc
