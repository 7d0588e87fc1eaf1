// The payload of Produce and Obtain crosses between processes by value.
//
// A band's Buffer is a pointer into its own process, so it never travels.
// Instead the caller's band goes out as its values (format, counts, session
// level, status, meta context) and the room its buffer offers; the callee
// fills a band made in its own process with a buffer of that room; what the
// callee left in that band comes back, and the bytes it wrote are copied
// into the caller's own buffer. The caller's band keeps its buffer and its
// BufferSize.
#pragma once

#include "pipeline/RNXCOMCoreInterfaces.h"
#include "platform/oleauto/ScopedBstr.h"
#include "platform/com/ComPtr.h"
#include "platform/rpc/ProxyStubArgs.h"

namespace rnxcoreps {

// What travels of a band besides its bytes.
struct BandState {
    // In DescribeBufferContent's argument order.
    LONG format[11] = {};
    LONG bytesToRead = 0;
    LONG bytesWritten = 0;
    LONG sessionLevel = 0;
    LONG status = 0;
    plat::ScopedBstr metaContext;
};

// The most room one call offers: a reply carries the bytes and the values
// and must stay within one frame. A larger buffer offers this much.
constexpr LONG kMaxBandRoom = static_cast<LONG>(plat::rpc::kMaxFrameBody - (64u << 10));

// --- proxy side: IDispatch** thePayload ---

struct BandInOut {
    IDispatch** payload;
    HRESULT Write(plat::rpc::MessageWriter& w) const;
    // Refuses (before touching the caller's buffer) bytes that do not fit
    // in it.
    bool Read(plat::rpc::MessageReader& r) const;
};

// --- stub side ---

class StubBand {
public:
    StubBand() = default;
    StubBand(const StubBand&) = delete;
    ~StubBand();

    // RPC_E_INVALID_DATA for a request that cannot be taken apart or offers
    // room outside 0..kMaxBandRoom; E_OUTOFMEMORY when the band cannot be
    // made.
    HRESULT Read(plat::rpc::MessageReader& r);
    IDispatch** Arg() { return m_present ? &m_slot : nullptr; }
    // E_UNEXPECTED (and no band) when what the callee left is not a raster
    // band or claims bytes its buffer does not hold.
    HRESULT Write(plat::rpc::MessageWriter& w);

private:
    bool m_present = false;
    IDispatch* m_slot = nullptr; // the callee's in/out pointer, one reference
    plat::ComPtr<IRNXRasterBand> m_made;
    LONG m_room = 0;
};

} // namespace rnxcoreps
