// What the cross-process tests share with the peer process of
// PipelinePeer.cpp: the classes it serves besides the library's own.
#pragma once

#include "pipeline/RNXCOMCoreInterfaces.h"
#include "platform/com/ComPtr.h"

namespace pipelinetest {

// A payload source that fills the band it is given (FillWithPattern, from
// byte 0).
inline constexpr CLSID CLSID_PatternSource = plat::MakeGuid("4D0C3A7E-9B21-4F58-8E6A-1C2B3D4E5F60");
// A collection (IItems) of whatever is added to it; its enumerator is the
// collection itself.
inline constexpr CLSID CLSID_ToyItems = plat::MakeGuid("7E2F1A9C-3D48-4B67-A5C1-2E3F4A5B6C7D");

inline BYTE PatternByte(size_t index) { return static_cast<BYTE>((index * 13 + index / 509) & 0xFF); }

// Fills the whole room of the band behind `payload` with the pattern from
// byte `first` on, as the last band of a page (the session's last when the
// room is 0).
inline HRESULT FillWithPattern(IDispatch* payload, size_t first)
{
    if (!payload)
        return E_POINTER;
    plat::ComPtr<IRNXRasterBand> band;
    plat::ComPtr<IRNXPayload> common;
    HRESULT hr = payload->QueryInterface(IID_IRNXRasterBand, band.ReleaseAndGetVoidAddress());
    if (SUCCEEDED(hr))
        hr = payload->QueryInterface(IID_IRNXPayload, common.ReleaseAndGetVoidAddress());
    BYTE* bytes = nullptr;
    LONG room = 0;
    if (SUCCEEDED(hr))
        hr = band->get_Buffer(&bytes);
    if (SUCCEEDED(hr))
        hr = band->get_BufferSize(&room);
    if (FAILED(hr))
        return hr;
    for (LONG i = 0; i < room; ++i)
        bytes[i] = PatternByte(first + static_cast<size_t>(i));
    band->DescribeBufferContent(0, room, 8, room, 1, -1, 0, 0, 0, 0, 300);
    band->put_BytesWritten(room);
    common->put_SessionLevel(room > 0 ? 2 : 6);
    return common->put_Status(0);
}

} // namespace pipelinetest
