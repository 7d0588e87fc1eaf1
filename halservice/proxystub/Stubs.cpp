// Stubs of the four interfaces: each incoming method number is taken apart
// and run on the real object.
#include "halservice/proxystub/ProxyBase.h"

#include <climits>
#include <vector>

namespace rnxhalps {
namespace {

using namespace plat::rpc;

// DoSCSICmd's CDB and data buffer arrive as sized byte runs; the stub gives
// the object buffers of exactly those sizes and sends the data back.
struct StubScsiBuffers {
    std::vector<BYTE> cdb;
    std::vector<BYTE> data;
    bool Read(MessageReader& r)
    {
        const std::uint8_t* bytes = nullptr;
        std::uint32_t size = 0;
        if (!r.ReadSizedBytes(bytes, size) || size > INT_MAX)
            return r.Fail(), false;
        cdb.assign(bytes, bytes + size);
        if (!r.ReadSizedBytes(bytes, size) || size > INT_MAX)
            return r.Fail(), false;
        data.assign(bytes, bytes + size);
        return true;
    }
    void Write(MessageWriter& w) const { w.WriteSizedBytes(data.data(), static_cast<std::uint32_t>(data.size())); }
};

HRESULT InvokeHALS(IRNXHALS* object, std::uint32_t method, MessageReader& in, MessageWriter& out)
{
    switch (method) {
    case 3: {
        StubLongRef status;
        return StubCall(in, out, object, &IRNXHALS::Initialize, status);
    }
    case 4:
        return StubCall(in, out, object, &IRNXHALS::Uninitialize);
    case 5: {
        StubLong pid;
        StubLongRef status;
        return StubCall(in, out, object, &IRNXHALS::LockScanner, pid, status);
    }
    case 6: {
        StubLongRef status;
        return StubCall(in, out, object, &IRNXHALS::UnlockScanner, status);
    }
    case 7: {
        StubScsiBuffers buffers;
        StubLong direction;
        StubLongRef status;
        if (!buffers.Read(in) || !direction.Read(in) || !status.Read(in) || in.Remaining() != 0)
            return RPC_E_INVALID_DATA;
        HRESULT hr = object->DoSCSICmd(static_cast<LONG>(buffers.cdb.size()), buffers.cdb.data(),
                                       static_cast<LONG>(buffers.data.size()), buffers.data.data(), direction.Arg(),
                                       status.Arg());
        buffers.Write(out);
        status.Write(out);
        return hr;
    }
    case 8: {
        StubUnknown sink;
        StubLong pid;
        StubLongRef id;
        return StubCall(in, out, object, &IRNXHALS::Register, sink, pid, id);
    }
    case 9: {
        StubLong id;
        return StubCall(in, out, object, &IRNXHALS::Unregister, id);
    }
    case 10: {
        StubUnknown sink;
        return StubCall(in, out, object, &IRNXHALS::Configure, sink);
    }
    case 11: {
        StubLong code;
        StubUnknown sink;
        StubVariantIn bufferIn;
        StubVariantRef bufferOut;
        return StubCall(in, out, object, &IRNXHALS::Control, code, sink, bufferIn, bufferOut);
    }
    case 12: {
        StubUnknown sink;
        return StubCall(in, out, object, &IRNXHALS::Produce, sink);
    }
    case 13: {
        StubBstr xml;
        return StubCall(in, out, object, &IRNXHALS::Configure2, xml);
    }
    case 14: {
        StubVariantRef buffer;
        StubBstrRef xml;
        return StubCall(in, out, object, &IRNXHALS::Produce2, buffer, xml);
    }
    case 15: {
        StubLong code;
        StubBstrRef xml;
        StubVariantIn bufferIn;
        StubVariantRef bufferOut;
        return StubCall(in, out, object, &IRNXHALS::Control2, code, xml, bufferIn, bufferOut);
    }
    default:
        return RPC_E_INVALID_DATA;
    }
}

HRESULT InvokeButton(IRNXButton* object, std::uint32_t method, MessageReader& in, MessageWriter& out)
{
    switch (method) {
    case 3: {
        StubBstr name;
        StubLong pressType;
        StubLong function;
        return StubCall(in, out, object, &IRNXButton::SendButtonEvent, name, pressType, function);
    }
    case 4: {
        StubLong status;
        return StubCall(in, out, object, &IRNXButton::SendStatusEvent, status);
    }
    default:
        return RPC_E_INVALID_DATA;
    }
}

// The XML sink's methods come in five shapes.
template <class Method>
HRESULT NoArgs(ICKelXmlHAL* o, MessageReader& in, MessageWriter& out, Method m)
{
    return StubCall(in, out, o, m);
}
template <class Method>
HRESULT OneBstr(ICKelXmlHAL* o, MessageReader& in, MessageWriter& out, Method m)
{
    StubBstr a;
    return StubCall(in, out, o, m, a);
}
template <class Method>
HRESULT OneBstrOut(ICKelXmlHAL* o, MessageReader& in, MessageWriter& out, Method m)
{
    StubBstrOut a;
    return StubCall(in, out, o, m, a);
}
template <class First, class Second, class Method>
HRESULT Two(ICKelXmlHAL* o, MessageReader& in, MessageWriter& out, Method m)
{
    First a;
    Second b;
    return StubCall(in, out, o, m, a, b);
}
template <class Only, class Method>
HRESULT One(ICKelXmlHAL* o, MessageReader& in, MessageWriter& out, Method m)
{
    Only a;
    return StubCall(in, out, o, m, a);
}

HRESULT InvokeXml(ICKelXmlHAL* o, std::uint32_t method, MessageReader& in, MessageWriter& out)
{
    using X = ICKelXmlHAL;
    // clang-format off
    switch (method) {
    case 3: return NoArgs(o, in, out, &X::Initialize);
    case 4: return OneBstr(o, in, out, &X::ParseXML);
    case 5: return OneBstrOut(o, in, out, &X::GenerateXML);
    case 6: return OneBstrOut(o, in, out, &X::GenerateXMLFromContext);
    case 7: return OneBstr(o, in, out, &X::SetContext);
    case 8: return NoArgs(o, in, out, &X::SeekRootNode);
    case 9: return NoArgs(o, in, out, &X::SeekFirstChild);
    case 10: return NoArgs(o, in, out, &X::SeekNextSibling);
    case 11: return NoArgs(o, in, out, &X::SeekNextMatch);
    case 12: return OneBstrOut(o, in, out, &X::GetCurrentNodeName);
    case 13: return OneBstr(o, in, out, &X::CreateNode);
    case 14: return NoArgs(o, in, out, &X::RemoveNode);
    case 15: return Two<StubBstr, StubBstr>(o, in, out, &X::SetAttribute);
    case 16: return Two<StubBstr, StubBstrOut>(o, in, out, &X::GetAttribute);
    case 17: return Two<StubBstr, StubLong>(o, in, out, &X::SetAttributeInt);
    case 18: return Two<StubBstr, StubLongRef>(o, in, out, &X::GetAttributeInt);
    case 19: return Two<StubBstr, StubLongOut>(o, in, out, &X::GetAttributeLength);
    case 20: return OneBstr(o, in, out, &X::RemoveAttribute);
    case 21: return Two<StubBstr, StubBstr>(o, in, out, &X::SetStringByName);
    case 22: return Two<StubBstr, StubLong>(o, in, out, &X::SetIntByName);
    case 23: return Two<StubBstr, StubBstrOut>(o, in, out, &X::GetStringByName);
    case 24: return Two<StubBstr, StubLongOut>(o, in, out, &X::GetStringLengthByName);
    case 25: return Two<StubBstr, StubLongRef>(o, in, out, &X::GetIntByName);
    case 26: return OneBstr(o, in, out, &X::SaveToFile);
    case 27: return OneBstr(o, in, out, &X::LoadFromFile);
    case 28: return NoArgs(o, in, out, &X::DumpContext);
    case 29: return OneBstr(o, in, out, &X::ImportNode);
    case 30: return OneBstr(o, in, out, &X::ReplaceNode);
    case 31: return NoArgs(o, in, out, &X::SeekParent);
    case 32: return One<StubLongOut>(o, in, out, &X::GetCurrentNodeNameLength);
    case 33: return OneBstr(o, in, out, &X::SetString);
    case 34: return One<StubLong>(o, in, out, &X::SetInt);
    case 35: return OneBstrOut(o, in, out, &X::GetString);
    case 36: return One<StubLongOut>(o, in, out, &X::GetStringLength);
    case 37: return One<StubLongRef>(o, in, out, &X::GetInt);
    default: return RPC_E_INVALID_DATA;
    }
    // clang-format on
}

HRESULT InvokeRasterBand(IRNXRasterBandHAL* o, std::uint32_t method, MessageReader& in, MessageWriter& out)
{
    using R = IRNXRasterBandHAL;
    // Positions 3-24 are get/put pairs: odd get (out), even put (in).
    using Getter = HRESULT (R::*)(LONG*);
    using Setter = HRESULT (R::*)(LONG);
    static const Getter getters[] = {
        &R::getImageWidth,        &R::getBytesWritten, &R::getBitsPerPixel, &R::getBytesPerLine,
        &R::getColorChannelOrder, &R::getBitOrder,     &R::getLineOrder,    &R::getDpi,
        &R::getPayloadLevel,      &R::getSizeBuffer,   &R::getStatus};
    static const Setter setters[] = {
        &R::putImageWidth,        &R::putBytesWritten, &R::putBitsPerPixel, &R::putBytesPerLine,
        &R::putColorChannelOrder, &R::putBitOrder,     &R::putLineOrder,    &R::putDpi,
        &R::putPayloadLevel,      &R::putSizeBuffer,   &R::putStatus};
    if (method >= 3 && method <= 24) {
        std::uint32_t pair = (method - 3) / 2;
        if ((method - 3) % 2 == 0) {
            StubLongOut value;
            return StubCall(in, out, o, getters[pair], value);
        }
        StubLong value;
        return StubCall(in, out, o, setters[pair], value);
    }
    switch (method) {
    case 25: {
        StubLong width, pixelSize, lineSize, channelOrder, pageDirection, endian, resolution, bandSize;
        return StubCall(in, out, o, &R::DescribeBufferContent, width, pixelSize, lineSize, channelOrder, pageDirection,
                        endian, resolution, bandSize);
    }
    case 26:
        return StubCall(in, out, o, &R::Clear);
    case 27: {
        StubVariantIn buffer;
        return StubCall(in, out, o, &R::PutBuffer, buffer);
    }
    default:
        return RPC_E_INVALID_DATA;
    }
}

} // namespace

HRESULT InvokeStub(REFIID iid, IUnknown* object, std::uint32_t method, MessageReader& request, MessageWriter& results)
{
    // `object` is the pointer of interface `iid` (the runtime asked for it).
    if (iid == IID_IRNXHALS)
        return InvokeHALS(static_cast<IRNXHALS*>(object), method, request, results);
    if (iid == IID_IRNXButton)
        return InvokeButton(static_cast<IRNXButton*>(object), method, request, results);
    if (iid == IID_ICKelXmlHAL)
        return InvokeXml(static_cast<ICKelXmlHAL*>(object), method, request, results);
    if (iid == IID_IRNXRasterBandHAL)
        return InvokeRasterBand(static_cast<IRNXRasterBandHAL*>(object), method, request, results);
    return RPC_E_INVALID_DATA;
}

} // namespace rnxhalps
