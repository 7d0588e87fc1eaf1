// The decompressor with the front end's error, warning and progress
// handling.
//
// The library reports a fatal error by calling an exit routine that must not
// return. The routine jumps back (siglongjmp) to the most recent guard set by
// CallLibrary; between the guard and the library there are only the
// library's C frames and our plain callbacks, so no destructor is skipped.
// The C++ caller then throws the failure text in the ordinary way. The same
// guard is the jump target of the decoding's fault trap: a processor fault
// inside the library comes back there too, and the caller throws it as a
// CWin32Exception. Callbacks into C++ code that owns things (the warning
// box, the caller's progress callback) run with the target cleared.
#pragma once

#include "platform/kernel/FaultTrap.h"
#include "twainfw/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace Trellis {

struct JpegErrorRecord {
    jpeg_error_mgr pub;
    sigjmp_buf jump;
    char text[JMSG_LENGTH_MAX + 1];
    // Set when the last guarded call ended in a processor fault.
    bool faulted;
};

struct JpegProgressRecord {
    jpeg_progress_mgr pub;
    long rowsDone;  // rows of the post-processing pass done
    long rowsTotal; // rows the post-processing pass will do
    int basePercent;
};

struct JpegDecoderRecord {
    jpeg_decompress_struct cinfo;
    JpegProgressCallback progress;
    JpegProgressRecord progressRecord;
    JpegErrorRecord error;
    plat::FaultTrap* trap; // null: faults take their usual course
};

// Sets up the error manager (three methods replaced), creates the
// decompressor and attaches the progress monitor. False with the text in
// record.error.text when the library refused.
bool CreateJpegDecoder(JpegDecoderRecord& record, JpegProgressCallback progress, plat::FaultTrap* trap);

// Ends decoding from inside the library (a source or monitor callback) with
// the failure text.
[[noreturn]] void FailJpegDecoding(j_common_ptr cinfo, const char* text);

// Reports progress; calls the caller's callback, false when it cancels.
bool ReportJpegProgress(JpegDecoderRecord& record);

// Runs a library call under a guard: false when it ended in a fatal error,
// with the library's (or a callback's) text in record.error.text, or in a
// processor fault (record.error.faulted; the trap tells which). `call` must
// not hold anything with a destructor.
template <typename Call>
bool CallLibrary(JpegDecoderRecord& record, Call&& call)
{
    switch (sigsetjmp(record.error.jump, 0)) {
    case 0:
        break;
    case plat::kFaultJumpValue:
        record.error.faulted = true;
        return false;
    default:
        if (record.trap) {
            record.trap->SetJumpTarget(nullptr);
        }
        return false;
    }
    record.error.faulted = false;
    if (record.trap) {
        record.trap->SetJumpTarget(&record.error.jump);
    }
    call();
    if (record.trap) {
        record.trap->SetJumpTarget(nullptr);
    }
    return true;
}

// Runs C++ code that the library calls back (it may own things with
// destructors) with the fault target cleared, and gives it back after.
template <typename Call>
void OutsideFaultTarget(JpegDecoderRecord& record, Call&& call)
{
    sigjmp_buf* target = record.trap ? record.trap->SetJumpTarget(nullptr) : nullptr;
    call();
    if (record.trap) {
        record.trap->SetJumpTarget(target);
    }
}

} // namespace Trellis
