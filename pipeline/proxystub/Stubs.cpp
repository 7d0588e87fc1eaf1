// Stubs of the library's interfaces: each incoming method number is taken
// apart and run on the real object. IDispatch's operations (3 to 6) never
// come over the wire: the proxies serve them.
#include "pipeline/proxystub/BandByValue.h"
#include "pipeline/proxystub/DispatchArgs.h"
#include "pipeline/proxystub/PipelineProxyStub.h"

#include <tuple>

namespace rnxcoreps {
namespace {

using namespace plat::rpc;

HRESULT InvokePayload(IRNXPayload* o, std::uint32_t method, MessageReader& in, MessageWriter& out)
{
    using P = IRNXPayload;
    // clang-format off
    switch (method) {
    case 7: { StubLongOut v; return StubCall(in, out, o, &P::get_SessionLevel, v); }
    case 8: { StubLong v; return StubCall(in, out, o, &P::put_SessionLevel, v); }
    case 9: { StubLongOut v; return StubCall(in, out, o, &P::get_Status, v); }
    case 10: { StubLong v; return StubCall(in, out, o, &P::put_Status, v); }
    case 11: { StubBstrOut v; return StubCall(in, out, o, &P::get_MetaContext, v); }
    case 12: { StubBstr v; return StubCall(in, out, o, &P::put_MetaContext, v); }
    default: return RPC_E_INVALID_DATA;
    }
    // clang-format on
}

HRESULT InvokeRasterBand(IRNXRasterBand* o, std::uint32_t method, MessageReader& in, MessageWriter& out)
{
    using R = IRNXRasterBand;
    using Getter = HRESULT (STDMETHODCALLTYPE R::*)(LONG*);
    using Setter = HRESULT (STDMETHODCALLTYPE R::*)(LONG);
    // Positions 7 to 34 and 37, 38 are get/put pairs; Buffer (27, 28) is a
    // pointer and does not cross.
    struct Pair {
        std::uint32_t get;
        Getter getter;
        Setter setter;
    };
    static const Pair pairs[] = {
        {7, &R::get_BytesPerLine, &R::put_BytesPerLine},
        {9, &R::get_RasterCompression, &R::put_RasterCompression},
        {11, &R::get_ImageWidth, &R::put_ImageWidth},
        {13, &R::get_BitsPerPixel, &R::put_BitsPerPixel},
        {15, &R::get_ColorChannelOrder, &R::put_ColorChannelOrder},
        {17, &R::get_BitOrder, &R::put_BitOrder},
        {19, &R::get_LineOrder, &R::put_LineOrder},
        {21, &R::get_PixelGender, &R::put_PixelGender},
        {23, &R::get_PixelType, &R::put_PixelType},
        {25, &R::get_Dpi, &R::put_Dpi},
        {29, &R::get_BytesToRead, &R::put_BytesToRead},
        {31, &R::get_BytesWritten, &R::put_BytesWritten},
        {33, &R::get_BufferSize, &R::put_BufferSize},
        {37, &R::get_pixelOrder, &R::put_pixelOrder},
    };
    for (const Pair& pair : pairs) {
        if (method == pair.get) {
            StubLongOut value;
            return StubCall(in, out, o, pair.getter, value);
        }
        if (method == pair.get + 1) {
            StubLong value;
            return StubCall(in, out, o, pair.setter, value);
        }
    }
    // clang-format off
    switch (method) {
    case 35: {
        StubLong compression, width, bitsPerPixel, bytesPerLine, pixelType, channelOrder, lineOrder, bitOrder,
            gender, pixelOrder, resolution;
        return StubCall(in, out, o, &R::DescribeBufferContent, compression, width, bitsPerPixel, bytesPerLine,
                        pixelType, channelOrder, lineOrder, bitOrder, gender, pixelOrder, resolution);
    }
    case 36: { StubLong size; return StubCall(in, out, o, &R::SizeBuffer, size); }
    default: return RPC_E_INVALID_DATA;
    }
    // clang-format on
}

// IXMLObj's operations come in a few shapes: the stub types of the
// parameters name one.
template <class... Stubs, class Method>
HRESULT Shape(IXMLObj* o, MessageReader& in, MessageWriter& out, Method m)
{
    std::tuple<Stubs...> args;
    return std::apply([&](Stubs&... a) { return StubCall(in, out, o, m, a...); }, args);
}

HRESULT InvokeXMLObj(IXMLObj* o, std::uint32_t method, MessageReader& in, MessageWriter& out)
{
    using X = IXMLObj;
    using B = StubBstr;
    using BOut = StubBstrOut;
    using L = StubLong;
    using LRef = StubLongRef;
    // clang-format off
    switch (method) {
    case 7: return Shape<>(o, in, out, &X::Initialize);
    case 8: return Shape<B>(o, in, out, &X::ParseXML);
    case 9: return Shape<BOut>(o, in, out, &X::GenerateXML);
    case 10: return Shape<BOut>(o, in, out, &X::GenerateXMLFromContext);
    case 11: return Shape<B>(o, in, out, &X::SetContext);
    case 12: return Shape<>(o, in, out, &X::SeekRootNode);
    case 13: return Shape<>(o, in, out, &X::SeekFirstChild);
    case 14: return Shape<>(o, in, out, &X::SeekNextSibling);
    case 15: return Shape<>(o, in, out, &X::SeekNextMatch);
    case 16: return Shape<BOut>(o, in, out, &X::GetCurrentNodeName);
    case 17: return Shape<B>(o, in, out, &X::CreateNode);
    case 18: return Shape<>(o, in, out, &X::RemoveNode);
    case 19: return Shape<B, B>(o, in, out, &X::SetAttribute);
    case 20: return Shape<B, B, BOut>(o, in, out, &X::GetAttribute);
    case 21: return Shape<B, L>(o, in, out, &X::SetAttributeInt);
    case 22: return Shape<B, L, LRef>(o, in, out, &X::GetAttributeInt);
    case 23: return Shape<B, LRef>(o, in, out, &X::GetAttributeLength);
    case 24: return Shape<B>(o, in, out, &X::RemoveAttribute);
    case 25: return Shape<B, B>(o, in, out, &X::SetStringByName);
    case 26: return Shape<B, L>(o, in, out, &X::SetIntByName);
    case 27: return Shape<B, B, BOut>(o, in, out, &X::GetStringByName);
    case 28: return Shape<B, LRef>(o, in, out, &X::GetStringLengthByName);
    case 29: return Shape<B, L, LRef>(o, in, out, &X::GetIntByName);
    case 30: return Shape<B>(o, in, out, &X::SaveToFile);
    case 31: return Shape<B>(o, in, out, &X::LoadFromFile);
    case 32: return Shape<>(o, in, out, &X::DumpContext);
    case 33: return Shape<B>(o, in, out, &X::ImportNode);
    case 34: return Shape<B>(o, in, out, &X::ReplaceNode);
    case 35: return Shape<>(o, in, out, &X::SeekParent);
    case 36: return Shape<LRef>(o, in, out, &X::GetCurrentNodeNameLength);
    case 37: return Shape<B>(o, in, out, &X::SetString);
    case 38: return Shape<L>(o, in, out, &X::SetInt);
    case 39: return Shape<B, BOut>(o, in, out, &X::GetString);
    case 40: return Shape<LRef>(o, in, out, &X::GetStringLength);
    case 41: return Shape<L, LRef>(o, in, out, &X::GetInt);
    default: return RPC_E_INVALID_DATA;
    }
    // clang-format on
}

// Produce and Obtain: the payload crosses by value.
template <class Object, class Method>
HRESULT CallWithBand(Object* o, Method method, MessageReader& in, MessageWriter& out)
{
    StubBand band;
    HRESULT hr = band.Read(in);
    if (hr == RPC_E_INVALID_DATA || in.Remaining() != 0)
        return RPC_E_INVALID_DATA;
    if (FAILED(hr)) {
        band.Write(out); // the reply says "no band", the failure goes with it
        return hr;
    }
    hr = (o->*method)(band.Arg());
    HRESULT written = band.Write(out);
    return SUCCEEDED(hr) && FAILED(written) ? written : hr;
}

// A call whose out interface pointer may fail to travel after the call.
template <class Object, class Method, class... Args, class Out>
HRESULT CallWithResult(Object* o, Method method, MessageReader& in, MessageWriter& out, Out& result, Args&... args)
{
    bool ok = true;
    ((ok = ok && args.Read(in)), ...);
    if (!ok || !result.Read(in) || in.Remaining() != 0)
        return RPC_E_INVALID_DATA;
    HRESULT hr = (o->*method)(args.Arg()..., result.Arg());
    HRESULT written = result.Write(out);
    return SUCCEEDED(hr) && FAILED(written) ? written : hr;
}

HRESULT InvokePayloadSource(IRNXPayloadSource* o, std::uint32_t method, MessageReader& in, MessageWriter& out)
{
    return method == 7 ? CallWithBand(o, &IRNXPayloadSource::Produce, in, out) : RPC_E_INVALID_DATA;
}

HRESULT InvokeModule(IRNXModule* o, std::uint32_t method, MessageReader& in, MessageWriter& out)
{
    if (method != 7)
        return RPC_E_INVALID_DATA;
    StubDispatch modules, settings;
    return StubCall(in, out, o, &IRNXModule::Configure, modules, settings);
}

HRESULT InvokeHALWrap(IRNXHALWrap* o, std::uint32_t method, MessageReader& in, MessageWriter& out)
{
    if (method != 7)
        return RPC_E_INVALID_DATA;
    StubUnknown hal;
    return StubCall(in, out, o, &IRNXHALWrap::SetCurrentHAL, hal);
}

HRESULT InvokeInterconnection(IRNXInterconnection* o, std::uint32_t method, MessageReader& in, MessageWriter& out)
{
    // clang-format off
    switch (method) {
    case 7: { StubDispatch precursor; return StubCall(in, out, o, &IRNXInterconnection::Connect, precursor); }
    case 8: return CallWithBand(o, &IRNXInterconnection::Obtain, in, out);
    default: return RPC_E_INVALID_DATA;
    }
    // clang-format on
}

HRESULT InvokeItems(IItems* o, std::uint32_t method, MessageReader& in, MessageWriter& out)
{
    // clang-format off
    switch (method) {
    case 7: { StubUnknownOut items; return CallWithResult(o, &IItems::get__NewEnum, in, out, items); }
    case 8: {
        StubLong index;
        StubDispatchOut item;
        return CallWithResult(o, &IItems::get_Item, in, out, item, index);
    }
    case 9: { StubLongOut count; return StubCall(in, out, o, &IItems::get_Count, count); }
    case 10: { StubDispatch item; return StubCall(in, out, o, &IItems::Add, item); }
    case 11: { StubLong index; return StubCall(in, out, o, &IItems::Remove, index); }
    case 12: return StubCall(in, out, o, &IItems::Clear);
    default: return RPC_E_INVALID_DATA;
    }
    // clang-format on
}

} // namespace

HRESULT InvokeStub(REFIID iid, IUnknown* object, std::uint32_t method, MessageReader& request, MessageWriter& results)
{
    // `object` is the pointer of interface `iid` (the runtime asked for it).
    if (iid == IID_IRNXPayload)
        return InvokePayload(static_cast<IRNXPayload*>(object), method, request, results);
    if (iid == IID_IRNXRasterBand)
        return InvokeRasterBand(static_cast<IRNXRasterBand*>(object), method, request, results);
    if (iid == IID_IXMLObj)
        return InvokeXMLObj(static_cast<IXMLObj*>(object), method, request, results);
    if (iid == IID_IRNXPayloadSource)
        return InvokePayloadSource(static_cast<IRNXPayloadSource*>(object), method, request, results);
    if (iid == IID_IRNXModule)
        return InvokeModule(static_cast<IRNXModule*>(object), method, request, results);
    if (iid == IID_IRNXHALWrap)
        return InvokeHALWrap(static_cast<IRNXHALWrap*>(object), method, request, results);
    if (iid == IID_IRNXInterconnection)
        return InvokeInterconnection(static_cast<IRNXInterconnection*>(object), method, request, results);
    if (iid == IID_IItems)
        return InvokeItems(static_cast<IItems*>(object), method, request, results);
    // The rest have no operations of their own.
    return RPC_E_INVALID_DATA;
}

} // namespace rnxcoreps
