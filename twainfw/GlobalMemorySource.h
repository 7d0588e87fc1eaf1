// A library data source that reads a JPEG held in a global-memory block.
#pragma once

#include "twainfw/JpegDecoderRecord.h"

namespace Trellis {

struct GlobalMemorySource {
    jpeg_source_mgr pub;
    JOCTET* buffer;  // the read buffer, kGlobalMemoryReadSize bytes
    HGLOBAL* handle; // the caller's handle
    SIZE_T offset;   // bytes of the block already delivered
    boolean started; // data were delivered since reading began
};

inline constexpr SIZE_T kGlobalMemoryReadSize = 0x40000;

// Attaches the source to the decompressor (made once, from the library's
// permanent pool; attaching again reads the new block from its start).
// Runs inside the library's guard: allocation failures exit through it.
void AttachGlobalMemorySource(j_decompress_ptr cinfo, HGLOBAL* handle);

} // namespace Trellis
