// Feeds a stream of frames, as a peer would send them over one connection,
// to the wire parser and the proxy/stub library of the hardware service's
// interfaces. A request frame is taken apart by the stub of its interface
// and run on a local object; a reply frame answers a call that one of the
// library's proxies is waiting for (the call id picks which). Nothing may
// crash, read or write past what it was given, or leak a reference, a
// string or an array, whatever the frames hold.
//
// Input: frames one after another, each a 16-byte header (magic "QRPC",
// type, call id, body length, little-endian) and its body. A header the
// wire refuses, or a body cut short, ends the stream as it ends the
// connection.
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "halservice/interfaces/testing/SinkStubs.h"
#include "halservice/proxystub/ProxyBase.h"
#include "platform/oleauto/ScopedSafeArray.h"
#include "platform/rpc/rpcproxy.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

using namespace plat::rpc;

// Reads every character, so that a string shorter than its length shows.
void Touch(BSTR text)
{
    volatile WCHAR sum = 0;
    for (UINT i = 0, length = SysStringLen(text); i < length; ++i)
        sum = sum + text[i];
}

// Reads every byte of an array argument and, when `write`, changes them.
void Touch(VARIANT* value, bool write)
{
    if (!value || value->vt != (VT_ARRAY | VT_UI1) || !value->parray)
        return;
    plat::SafeArrayAccess access(value->parray);
    BYTE* bytes = static_cast<BYTE*>(access.Data());
    if (!bytes)
        return;
    for (ULONG i = 0; i < value->parray->rgsabound[0].cElements; ++i)
        bytes[i] = write ? static_cast<BYTE>(bytes[i] + 1) : bytes[i];
}

void Answer(BSTR* out, const char16_t* text)
{
    if (!out)
        return;
    SysFreeString(*out);
    *out = SysAllocString(text);
}

// The object behind every interface: it uses each argument the way the
// service or a client would, and counts its references.
class Callee final : public IRNXHALS,
                     public IRNXButton,
                     public hal::testing::XmlHALStub,
                     public hal::testing::RasterBandHALStub {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IRNXHALS)
            *ppv = static_cast<IRNXHALS*>(this);
        else if (riid == IID_IRNXButton)
            *ppv = static_cast<IRNXButton*>(this);
        else if (riid == IID_ICKelXmlHAL)
            *ppv = static_cast<ICKelXmlHAL*>(this);
        else if (riid == IID_IRNXRasterBandHAL)
            *ppv = static_cast<IRNXRasterBandHAL*>(this);
        else
            return *ppv = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    ULONG References() const { return m_refs; }

    // IRNXHALS
    using XmlHALStub::Initialize;
    HRESULT STDMETHODCALLTYPE Initialize(LONG* status) override { return Out(status); }
    HRESULT STDMETHODCALLTYPE Uninitialize() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockScanner(LONG, LONG* status) override { return Out(status); }
    HRESULT STDMETHODCALLTYPE UnlockScanner(LONG* status) override { return Out(status); }
    HRESULT STDMETHODCALLTYPE DoSCSICmd(LONG sizeCdb, BYTE* cdb, LONG sizeData, BYTE* data, LONG, LONG* status) override
    {
        volatile BYTE sum = 0;
        for (LONG i = 0; i < sizeCdb; ++i)
            sum = sum + cdb[i];
        for (LONG i = 0; i < sizeData; ++i)
            data[i] = static_cast<BYTE>(data[i] + 1);
        return Out(status);
    }
    HRESULT STDMETHODCALLTYPE Register(IUnknown* sink, LONG, LONG* id) override { return Use(sink), Out(id); }
    HRESULT STDMETHODCALLTYPE Unregister(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Configure(IUnknown* sink) override { return Use(sink); }
    HRESULT STDMETHODCALLTYPE Control(LONG, IUnknown* sink, VARIANT* in, VARIANT* out) override
    {
        Use(sink);
        Touch(in, false);
        Touch(out, true);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Produce(IUnknown* sink) override { return Use(sink); }
    HRESULT STDMETHODCALLTYPE Configure2(BSTR xml) override { return Touch(xml), S_OK; }
    HRESULT STDMETHODCALLTYPE Produce2(VARIANT* out, BSTR* xml) override
    {
        // A buffer that is not a byte array is replaced by one.
        if (out && out->vt != (VT_ARRAY | VT_UI1)) {
            VariantClear(out);
            out->vt = VT_ARRAY | VT_UI1;
            out->parray = SafeArrayCreateVector(VT_UI1, 0, 3);
        }
        Touch(out, true);
        if (xml)
            Touch(*xml);
        Answer(xml, u"<produce><output/></produce>");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Control2(LONG, BSTR* xml, VARIANT* in, VARIANT* out) override
    {
        if (xml)
            Touch(*xml);
        Touch(in, false);
        Touch(out, true);
        return S_OK;
    }

    // IRNXButton
    HRESULT STDMETHODCALLTYPE SendButtonEvent(BSTR name, LONG, LONG) override { return Touch(name), S_OK; }
    HRESULT STDMETHODCALLTYPE SendStatusEvent(LONG) override { return S_OK; }

    // ICKelXmlHAL: one method of each argument shape.
    HRESULT STDMETHODCALLTYPE ParseXML(BSTR xml) override { return Touch(xml), S_OK; }
    HRESULT STDMETHODCALLTYPE GenerateXML(BSTR* xml) override { return Answer(xml, u"<a/>"), S_OK; }
    HRESULT STDMETHODCALLTYPE SetAttribute(BSTR name, BSTR value) override { return Touch(name), Touch(value), S_OK; }
    HRESULT STDMETHODCALLTYPE GetStringByName(BSTR name, BSTR* value) override
    {
        Touch(name);
        return Answer(value, u"300"), S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIntByName(BSTR name, INT* value) override { return Touch(name), Out(value); }
    HRESULT STDMETHODCALLTYPE SetIntByName(BSTR name, INT) override { return Touch(name), S_OK; }
    HRESULT STDMETHODCALLTYPE GetStringLength(INT* length) override { return Out(length); }

    // IRNXRasterBandHAL
    HRESULT STDMETHODCALLTYPE getSizeBuffer(LONG* size) override { return Out(size); }
    HRESULT STDMETHODCALLTYPE putStatus(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PutBuffer(VARIANT* buffer) override { return Touch(buffer, false), S_OK; }

private:
    static HRESULT Out(LONG* value) { return value ? (*value = 7, S_OK) : E_POINTER; }
    // The sink is used for one call and let go, as the service does.
    static HRESULT Use(IUnknown* sink)
    {
        if (!sink)
            return E_POINTER;
        IUnknown* identity = nullptr;
        if (SUCCEEDED(sink->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))))
            identity->Release();
        return S_OK;
    }

    ULONG m_refs = 1;
};

Callee g_callee;

// Interface references inside a message: what a connection does, with every
// reference standing for the local object.
class FuzzContext final : public MarshalContext {
public:
    HRESULT WriteInterface(MessageWriter& writer, REFIID iid, IUnknown* object) override
    {
        writer.WriteU64(object ? 1 : 0);
        writer.WriteGuid(iid);
        return S_OK;
    }
    HRESULT ReadInterface(MessageReader& reader, REFIID iid, void** ppv) override
    {
        *ppv = nullptr;
        std::uint64_t object = 0;
        GUID wireIid{};
        if (!reader.ReadU64(object) || !reader.ReadGuid(wireIid))
            return RPC_E_INVALID_DATA;
        return object == 0 ? S_OK : g_callee.QueryInterface(iid, ppv);
    }
    void TakeBackExported(const MessageWriter&) override {}
};

FuzzContext g_context;

// The channel of the proxies: each call is answered with the reply frame
// at hand, as a connection answers it.
class FuzzChannel final : public RpcChannel {
public:
    MarshalContext* Context() override { return &g_context; }
    HRESULT Invoke(REFIID, std::uint32_t, MessageWriter&, HRESULT& status, Bytes& results) override
    {
        MessageReader reader(m_reply, m_size);
        std::uint32_t fault = 0;
        std::int32_t hr = 0;
        if (!reader.ReadU32(fault) || !reader.ReadI32(hr) || fault > 1)
            return RPC_E_INVALID_DATA;
        if (fault)
            return FAILED(hr) ? hr : RPC_E_INVALID_DATA;
        status = hr;
        results.assign(m_reply + 8, m_reply + m_size);
        return S_OK;
    }
    void SetReply(const std::uint8_t* body, std::size_t size) { m_reply = body, m_size = size; }

private:
    const std::uint8_t* m_reply = nullptr;
    std::size_t m_size = 0;
};

FuzzChannel g_channel;

template <class Interface>
Interface* MakeProxy(REFIID iid)
{
    // Kept for the life of the process, as a proxy manager keeps them.
    static InterfaceProxy* proxy = rnxhalps::CreateProxy(iid, &g_channel, static_cast<IRNXHALS*>(&g_callee));
    return static_cast<Interface*>(proxy->Interface());
}

// A byte-array VARIANT of `size` bytes the caller owns.
struct Buffer {
    explicit Buffer(ULONG size)
    {
        VariantInit(&value);
        value.vt = VT_ARRAY | VT_UI1;
        value.parray = SafeArrayCreateVector(VT_UI1, 0, size);
    }
    ~Buffer() { VariantClear(&value); }
    VARIANT value;
};

// The calls a proxy may be waiting in; each frees what came back.
const std::vector<std::function<void()>>& ProxyCalls()
{
    static const std::vector<std::function<void()>> calls = {
        [] {
            LONG status = 0;
            MakeProxy<IRNXHALS>(IID_IRNXHALS)->LockScanner(42, &status);
        },
        [] {
            std::array<BYTE, 6> cdb{0x12, 0, 0, 0, 36, 0};
            std::array<BYTE, 36> data{};
            LONG status = 0;
            MakeProxy<IRNXHALS>(IID_IRNXHALS)->DoSCSICmd(6, cdb.data(), 36, data.data(), 1, &status);
        },
        [] {
            LONG id = 0;
            MakeProxy<IRNXHALS>(IID_IRNXHALS)->Register(static_cast<IRNXButton*>(&g_callee), 42, &id);
        },
        [] {
            BSTR xml = SysAllocString(u"<control/>");
            Buffer in(4), out(8);
            MakeProxy<IRNXHALS>(IID_IRNXHALS)->Control2(11, &xml, &in.value, &out.value);
            SysFreeString(xml);
        },
        [] {
            BSTR xml = nullptr;
            Buffer out(16);
            MakeProxy<IRNXHALS>(IID_IRNXHALS)->Produce2(&out.value, &xml);
            SysFreeString(xml);
        },
        [] {
            BSTR name = SysAllocString(u"Width");
            BSTR value = nullptr;
            MakeProxy<ICKelXmlHAL>(IID_ICKelXmlHAL)->GetStringByName(name, &value);
            SysFreeString(name);
            SysFreeString(value);
        },
        [] {
            INT value = 0;
            MakeProxy<ICKelXmlHAL>(IID_ICKelXmlHAL)->GetIntByName(nullptr, &value);
        },
        [] {
            LONG size = 0;
            MakeProxy<IRNXRasterBandHAL>(IID_IRNXRasterBandHAL)->getSizeBuffer(&size);
        },
        [] {
            Buffer band(32);
            MakeProxy<IRNXRasterBandHAL>(IID_IRNXRasterBandHAL)->PutBuffer(&band.value);
        },
        [] {
            BSTR name = SysAllocString(u"SIMPLEX");
            MakeProxy<IRNXButton>(IID_IRNXButton)->SendButtonEvent(name, 1, 2);
            SysFreeString(name);
        },
    };
    return calls;
}

// A request is taken apart as the connection takes it apart and runs on the
// stub of its interface; one for the root object (a class object) is the
// connection's own business and stops there.
void ServeRequest(const std::uint8_t* body, std::size_t size)
{
    MessageReader request(body, size, &g_context);
    std::uint64_t object = 0;
    GUID iid{};
    std::uint32_t method = 0;
    if (!request.ReadU64(object) || !request.ReadGuid(iid) || !request.ReadU32(method) || object == kRootObject)
        return;
    // The pointer of the interface asked for, as the connection hands it
    // to the stub; an interface the library does not serve gets it refused.
    void* target = nullptr;
    if (SUCCEEDED(g_callee.QueryInterface(iid, &target)))
        g_callee.Release();
    else
        target = static_cast<IRNXHALS*>(&g_callee);
    MessageWriter results(&g_context);
    rnxhalps::InvokeStub(iid, static_cast<IUnknown*>(target), method, request, results);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ULONG references = g_callee.References();
    while (size >= kFrameHeaderSize) {
        std::uint8_t head[kFrameHeaderSize];
        std::memcpy(head, data, sizeof head);
        FrameHeader header;
        if (!DecodeHeader(head, header) || size - kFrameHeaderSize < header.bodyLength)
            break;
        const std::uint8_t* body = data + kFrameHeaderSize;
        if (header.type == FrameType::Request) {
            ServeRequest(body, header.bodyLength);
        } else {
            g_channel.SetReply(body, header.bodyLength);
            ProxyCalls()[header.callId % ProxyCalls().size()]();
        }
        data = body + header.bodyLength;
        size -= kFrameHeaderSize + header.bodyLength;
    }
    if (g_callee.References() != references)
        __builtin_trap(); // a reference was kept or given back twice
    return 0;
}
