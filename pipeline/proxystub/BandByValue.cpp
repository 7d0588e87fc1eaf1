#include "pipeline/proxystub/BandByValue.h"

#include "pipeline/RNXRasterBand.h"

#include <algorithm>
#include <cstring>

namespace rnxcoreps {
namespace {

using plat::ComPtr;
using plat::rpc::MessageReader;
using plat::rpc::MessageWriter;

// A raster band and its payload part.
struct BandParts {
    ComPtr<IRNXRasterBand> band;
    ComPtr<IRNXPayload> payload;

    HRESULT Take(IDispatch* object)
    {
        HRESULT hr = object->QueryInterface(IID_IRNXRasterBand, band.ReleaseAndGetVoidAddress());
        if (SUCCEEDED(hr))
            hr = object->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress());
        return hr;
    }

    HRESULT Get(BandState& state) const
    {
        LONG* f = state.format;
        HRESULT hr = band->get_RasterCompression(&f[0]);
        if (SUCCEEDED(hr))
            hr = band->get_ImageWidth(&f[1]);
        if (SUCCEEDED(hr))
            hr = band->get_BitsPerPixel(&f[2]);
        if (SUCCEEDED(hr))
            hr = band->get_BytesPerLine(&f[3]);
        if (SUCCEEDED(hr))
            hr = band->get_PixelType(&f[4]);
        if (SUCCEEDED(hr))
            hr = band->get_ColorChannelOrder(&f[5]);
        if (SUCCEEDED(hr))
            hr = band->get_LineOrder(&f[6]);
        if (SUCCEEDED(hr))
            hr = band->get_BitOrder(&f[7]);
        if (SUCCEEDED(hr))
            hr = band->get_PixelGender(&f[8]);
        if (SUCCEEDED(hr))
            hr = band->get_pixelOrder(&f[9]);
        if (SUCCEEDED(hr))
            hr = band->get_Dpi(&f[10]);
        if (SUCCEEDED(hr))
            hr = band->get_BytesToRead(&state.bytesToRead);
        if (SUCCEEDED(hr))
            hr = band->get_BytesWritten(&state.bytesWritten);
        if (SUCCEEDED(hr))
            hr = payload->get_SessionLevel(&state.sessionLevel);
        if (SUCCEEDED(hr))
            hr = payload->get_Status(&state.status);
        if (SUCCEEDED(hr))
            hr = payload->get_MetaContext(state.metaContext.Out());
        return hr;
    }

    HRESULT Set(const BandState& state) const
    {
        const LONG* f = state.format;
        HRESULT hr = band->DescribeBufferContent(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10]);
        if (SUCCEEDED(hr))
            hr = band->put_BytesToRead(state.bytesToRead);
        if (SUCCEEDED(hr))
            hr = band->put_BytesWritten(state.bytesWritten);
        if (SUCCEEDED(hr))
            hr = payload->put_SessionLevel(state.sessionLevel);
        if (SUCCEEDED(hr))
            hr = payload->put_Status(state.status);
        if (SUCCEEDED(hr))
            hr = payload->put_MetaContext(state.metaContext.Get());
        return hr;
    }

    // The band's buffer and the bytes it holds room for (0 without a
    // buffer).
    HRESULT Room(BYTE*& buffer, LONG& room) const
    {
        HRESULT hr = band->get_Buffer(&buffer);
        if (SUCCEEDED(hr))
            hr = band->get_BufferSize(&room);
        if (SUCCEEDED(hr) && (!buffer || room < 0))
            room = 0;
        return hr;
    }
};

void WriteState(MessageWriter& w, const BandState& state)
{
    for (LONG value : state.format)
        w.WriteI32(value);
    w.WriteI32(state.bytesToRead);
    w.WriteI32(state.bytesWritten);
    w.WriteI32(state.sessionLevel);
    w.WriteI32(state.status);
    plat::rpc::WriteBstr(w, state.metaContext.Get());
}

bool ReadState(MessageReader& r, BandState& state)
{
    for (LONG& value : state.format)
        r.ReadI32(value);
    r.ReadI32(state.bytesToRead);
    r.ReadI32(state.bytesWritten);
    r.ReadI32(state.sessionLevel);
    r.ReadI32(state.status);
    return r.Ok() && plat::rpc::ReadBstr(r, *state.metaContext.Out());
}

// A presence byte: 0 or 1.
bool ReadFlag(MessageReader& r, bool& flag)
{
    std::uint8_t value = 0;
    if (!r.ReadU8(value) || value > 1)
        return r.Fail(), false;
    flag = value == 1;
    return true;
}

} // namespace

// Request: presence of the pointer, presence of a band, its values and the
// room offered. Reply: presence of the pointer, presence of a band, its
// values and the bytes written.
HRESULT BandInOut::Write(MessageWriter& w) const
{
    w.WriteU8(payload ? 1 : 0);
    if (!payload)
        return S_OK;
    w.WriteU8(*payload ? 1 : 0);
    if (!*payload)
        return S_OK;
    BandParts parts;
    BandState state;
    BYTE* buffer = nullptr;
    LONG room = 0;
    HRESULT hr = parts.Take(*payload);
    if (SUCCEEDED(hr))
        hr = parts.Get(state);
    if (SUCCEEDED(hr))
        hr = parts.Room(buffer, room);
    if (FAILED(hr))
        return hr;
    WriteState(w, state);
    w.WriteI32(std::min(room, kMaxBandRoom));
    return S_OK;
}

bool BandInOut::Read(MessageReader& r) const
{
    bool present = false;
    bool hasBand = false;
    if (!ReadFlag(r, present) || present != (payload != nullptr) || (present && !ReadFlag(r, hasBand)))
        return r.Fail(), false;
    if (!hasBand)
        return true;
    BandState state;
    const std::uint8_t* bytes = nullptr;
    std::uint32_t size = 0;
    if (!*payload || !ReadState(r, state) || !r.ReadSizedBytes(bytes, size) ||
        size != static_cast<std::uint32_t>(state.bytesWritten) || state.bytesWritten < 0)
        return r.Fail(), false;
    // The caller's band as it is now: the call may have run other calls of
    // this thread meanwhile.
    BandParts parts;
    BYTE* buffer = nullptr;
    LONG room = 0;
    if (FAILED(parts.Take(*payload)) || FAILED(parts.Room(buffer, room)) || state.bytesWritten > room)
        return r.Fail(), false;
    if (size > 0)
        std::memcpy(buffer, bytes, size);
    if (FAILED(parts.Set(state)))
        return r.Fail(), false;
    return true;
}

StubBand::~StubBand()
{
    if (m_slot)
        m_slot->Release();
}

HRESULT StubBand::Read(MessageReader& r)
{
    bool hasBand = false;
    if (!ReadFlag(r, m_present) || (m_present && !ReadFlag(r, hasBand)))
        return RPC_E_INVALID_DATA;
    if (!hasBand)
        return S_OK;
    BandState state;
    if (!ReadState(r, state) || !r.ReadI32(m_room) || m_room < 0 || m_room > kMaxBandRoom)
        return r.Fail(), RPC_E_INVALID_DATA;
    // The caller's bytes stay in its own buffer: the band here starts empty,
    // and zeroed, so nothing of this process's memory can go back.
    state.bytesWritten = 0;
    HRESULT hr = Tessivo::CRNXRasterBand::Create(nullptr, IID_IRNXRasterBand, m_made.ReleaseAndGetVoidAddress());
    if (SUCCEEDED(hr) && m_room > 0)
        hr = m_made->SizeBuffer(m_room);
    BandParts parts;
    BYTE* buffer = nullptr;
    LONG room = 0;
    if (SUCCEEDED(hr))
        hr = parts.Take(m_made.Get());
    if (SUCCEEDED(hr))
        hr = parts.Room(buffer, room);
    if (SUCCEEDED(hr) && room > 0)
        std::memset(buffer, 0, static_cast<size_t>(room));
    if (SUCCEEDED(hr))
        hr = parts.Set(state);
    if (SUCCEEDED(hr))
        hr = m_made->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&m_slot));
    return hr;
}

HRESULT StubBand::Write(MessageWriter& w)
{
    w.WriteU8(m_present ? 1 : 0);
    if (!m_present)
        return S_OK;
    if (!m_slot) {
        w.WriteU8(0);
        return S_OK;
    }
    BandParts parts;
    BandState state;
    BYTE* buffer = nullptr;
    LONG room = 0;
    HRESULT hr = parts.Take(m_slot);
    if (SUCCEEDED(hr))
        hr = parts.Get(state);
    if (SUCCEEDED(hr))
        hr = parts.Room(buffer, room);
    // A band made here holds exactly the room it was made with; one the
    // callee put in its place is taken at its word, as in process.
    if (SUCCEEDED(hr) && parts.band == m_made)
        room = std::min(room, m_room);
    if (FAILED(hr) || state.bytesWritten < 0 || state.bytesWritten > room) {
        w.WriteU8(0);
        return E_UNEXPECTED;
    }
    w.WriteU8(1);
    WriteState(w, state);
    w.WriteSizedBytes(buffer, static_cast<std::uint32_t>(state.bytesWritten));
    return S_OK;
}

} // namespace rnxcoreps
