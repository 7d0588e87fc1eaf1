// The decompressor with the front end's error, warning and progress
// handling.
//
// The library reports a fatal error by calling an exit routine that must not
// return. The routine jumps back (longjmp) to the most recent guard set by
// CallLibrary; between the guard and the library there are only the
// library's C frames and our plain callbacks, so no destructor is skipped.
// The C++ caller then throws the failure text in the ordinary way.
#pragma once

#include "twainfw/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace Trellis {

struct JpegErrorRecord {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX + 1];
};

struct JpegProgressRecord {
    jpeg_progress_mgr pub;
    long rowsDone;   // rows of the post-processing pass done
    long rowsTotal;  // rows the post-processing pass will do
    int basePercent;
};

struct JpegDecoderRecord {
    jpeg_decompress_struct cinfo;
    JpegProgressCallback progress;
    JpegProgressRecord progressRecord;
    JpegErrorRecord error;
};

// Sets up the error manager (three methods replaced), creates the
// decompressor and attaches the progress monitor. False with the text in
// record.error.text when the library refused.
bool CreateJpegDecoder(JpegDecoderRecord& record, JpegProgressCallback progress);

// Ends decoding from inside the library (a source or monitor callback) with
// the failure text.
[[noreturn]] void FailJpegDecoding(j_common_ptr cinfo, const char* text);

// Reports progress; calls the caller's callback, false when it cancels.
bool ReportJpegProgress(JpegDecoderRecord& record);

// Runs a library call under a guard: false, with the library's (or a
// callback's) text in record.error.text, when it ended in a fatal error.
// `call` must not hold anything with a destructor.
template <typename Call>
bool CallLibrary(JpegDecoderRecord& record, Call&& call)
{
    if (setjmp(record.error.jump) != 0) {
        return false;
    }
    call();
    return true;
}

}  // namespace Trellis
