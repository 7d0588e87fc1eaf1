#include "pipeline/proxystub/DispatchArgs.h"

#include "pipeline/proxystub/PipelineProxyStub.h"

namespace rnxcoreps {
namespace {

using plat::rpc::MessageReader;
using plat::rpc::MessageWriter;

// Which of the library's interfaces `object` is. The type information
// answers at once (a proxy serves it locally); otherwise each interface is
// asked for and compared.
HRESULT InterfaceOf(IDispatch* object, IID& iid)
{
    ITypeInfo* info = nullptr;
    if (SUCCEEDED(object->GetTypeInfo(0, 0, &info)) && info) {
        GUID guid{};
        HRESULT hr = info->GetGuid(&guid);
        info->Release();
        if (SUCCEEDED(hr) && IsPipelineInterface(guid)) {
            iid = guid;
            return S_OK;
        }
    }
    for (const plat::rpc::ProxyStubInterface& candidate : PipelineInterfaces()) {
        IUnknown* typed = nullptr;
        if (FAILED(object->QueryInterface(*candidate.iid, reinterpret_cast<void**>(&typed))) || !typed)
            continue;
        const bool same = typed == object;
        typed->Release();
        if (same) {
            iid = *candidate.iid;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

bool ReadPresence(MessageReader& r, const void* pointer)
{
    std::uint8_t present = 0;
    if (!r.ReadU8(present) || (present != 0) != (pointer != nullptr))
        return r.Fail(), false;
    return true;
}

} // namespace

HRESULT WriteDispatch(MessageWriter& writer, IDispatch* object)
{
    if (!writer.Context())
        return E_UNEXPECTED;
    IID iid = IID_IUnknown;
    if (object) {
        HRESULT hr = InterfaceOf(object, iid);
        if (FAILED(hr))
            return hr;
    }
    return writer.Context()->WriteInterface(writer, iid, object);
}

bool ReadDispatch(MessageReader& reader, IDispatch** object)
{
    *object = nullptr;
    // The reference names its interface after the object id: look ahead for
    // it, so that only the library's interfaces are asked for.
    MessageReader ahead = reader;
    std::uint64_t id = 0;
    GUID iid{};
    if (!ahead.ReadU64(id) || !ahead.ReadGuid(iid) || !reader.Context())
        return reader.Fail(), false;
    if (id != 0 && !IsPipelineInterface(iid))
        return reader.Fail(), false;
    void* typed = nullptr;
    if (FAILED(reader.Context()->ReadInterface(reader, iid, &typed)))
        return reader.Fail(), false;
    // Every interface of the library derives from IDispatch alone.
    *object = static_cast<IDispatch*>(static_cast<IUnknown*>(typed));
    return true;
}

HRESULT DispatchOut::Write(MessageWriter& w) const
{
    w.WriteU8(pointer ? 1 : 0);
    if (pointer)
        *pointer = nullptr;
    return S_OK;
}

bool DispatchOut::Read(MessageReader& r) const
{
    return ReadPresence(r, pointer) && (!pointer || ReadDispatch(r, pointer));
}

HRESULT UnknownOut::Write(MessageWriter& w) const
{
    w.WriteU8(pointer ? 1 : 0);
    if (pointer)
        *pointer = nullptr;
    return S_OK;
}

bool UnknownOut::Read(MessageReader& r) const
{
    if (!ReadPresence(r, pointer))
        return false;
    if (pointer &&
        (!r.Context() || FAILED(r.Context()->ReadInterface(r, IID_IUnknown, reinterpret_cast<void**>(pointer)))))
        return r.Fail(), false;
    return true;
}

HRESULT WriteResult(MessageWriter& writer, IDispatch* object)
{
    HRESULT hr = WriteDispatch(writer, object);
    if (FAILED(hr))
        WriteDispatch(writer, nullptr);
    return hr;
}

HRESULT WriteResult(MessageWriter& writer, IUnknown* object)
{
    if (!writer.Context())
        return E_UNEXPECTED;
    HRESULT hr = writer.Context()->WriteInterface(writer, IID_IUnknown, object);
    if (FAILED(hr))
        writer.Context()->WriteInterface(writer, IID_IUnknown, nullptr);
    return hr;
}

} // namespace rnxcoreps
