#include "twainfw/GlobalMemorySource.h"

#include <algorithm>
#include <cstring>

namespace Trellis {

namespace {

GlobalMemorySource& SourceOf(j_decompress_ptr cinfo) { return *reinterpret_cast<GlobalMemorySource*>(cinfo->src); }

void InitSource(j_decompress_ptr cinfo) { SourceOf(cinfo).started = FALSE; }

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    GlobalMemorySource& src = SourceOf(cinfo);
    const SIZE_T size = GlobalSize(*src.handle);
    if (size > src.offset) {
        const SIZE_T chunk = std::min(size - src.offset, kGlobalMemoryReadSize);
        const BYTE* memory = static_cast<const BYTE*>(GlobalLock(*src.handle));
        if (!memory) {
            FailJpegDecoding(reinterpret_cast<j_common_ptr>(cinfo), "Memory read error");
        }
        std::memcpy(src.buffer, memory + src.offset, chunk);
        src.offset += chunk;
        GlobalUnlock(*src.handle);
        src.started = TRUE;
        src.pub.next_input_byte = src.buffer;
        src.pub.bytes_in_buffer = chunk;
        return TRUE;
    }
    if (!src.started) {
        FailJpegDecoding(reinterpret_cast<j_common_ptr>(cinfo), "Memory read error");
    }
    // A truncated stream still ends: offer an end-of-image marker.
    src.buffer[0] = 0xFF;
    src.buffer[1] = JPEG_EOI;
    src.pub.next_input_byte = src.buffer;
    src.pub.bytes_in_buffer = 2;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0) {
        return;
    }
    GlobalMemorySource& src = SourceOf(cinfo);
    size_t left = static_cast<size_t>(count);
    while (left > src.pub.bytes_in_buffer) {
        left -= src.pub.bytes_in_buffer;
        FillInputBuffer(cinfo);
    }
    src.pub.next_input_byte += left;
    src.pub.bytes_in_buffer -= left;
}

void TermSource(j_decompress_ptr) {}

} // namespace

void AttachGlobalMemorySource(j_decompress_ptr cinfo, HGLOBAL* handle)
{
    if (!cinfo->src) {
        auto* src = static_cast<GlobalMemorySource*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(GlobalMemorySource)));
        src->buffer = static_cast<JOCTET*>(
            (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kGlobalMemoryReadSize));
        cinfo->src = &src->pub;
    }
    GlobalMemorySource& src = SourceOf(cinfo);
    src.pub.init_source = InitSource;
    src.pub.fill_input_buffer = FillInputBuffer;
    src.pub.skip_input_data = SkipInputData;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = TermSource;
    src.pub.bytes_in_buffer = 0;
    src.pub.next_input_byte = nullptr;
    src.handle = handle;
    src.offset = 0;
    src.started = FALSE;
}

} // namespace Trellis
