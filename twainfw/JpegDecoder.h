// JPEG decoding front end: turns a JPEG into an uncompressed Windows bitmap,
// written to a BMP file or as a packed DIB in a global-memory block.
//
// Every failure ends with result 0 and its text in the caller's error
// buffer (cut to errorTextSize bytes with the terminating zero); nothing
// escapes, and no partial BMP file or output block survives.
#pragma once

#include "twainfw/JpegOptions.h"

#include <cstddef>

namespace Trellis {

// JPEG file to BMP file. 1 on success, 0 on failure.
int JpegFileToBmpFile(const char* jpegPath, const char* bmpPath, const JpegOptions* options,
                      JpegProgressCallback progress, JpegPassCallback pass, char* errorText, size_t errorTextSize);

// JPEG file to a packed DIB (info header, palette, rows) in a new moveable
// global-memory block that *dib receives; a block *dib held before is freed.
int JpegFileToDib(const char* jpegPath, HGLOBAL* dib, const JpegOptions* options, JpegProgressCallback progress,
                  JpegPassCallback pass, char* errorText, size_t errorTextSize);

// What a warning of the library (damaged data it can decode past) shows.
// Without a window system the default rings the terminal bell and writes
// "JPEG Warning: " and the text to the standard error. A replacement must
// not throw: it runs inside the library. Returns the handler it replaced;
// null restores the default.
using JpegWarningHandler = void (*)(const char* text);
JpegWarningHandler SetJpegWarningHandler(JpegWarningHandler handler);

// The general routine behind both.
// input: a path (file kinds) or an HGLOBAL* (memory kinds); input2 the data
// file path or HGLOBAL* for the tables-plus-data kinds. output: a path
// (BMP file) or an HGLOBAL* (DIB, pixels). options and info may be null.
int DecodeJpegToDib(const void* input, const void* input2, int inputKind, void* output, int outputKind,
                    const JpegOptions* options, JpegInfo* info, JpegProgressCallback progress, JpegPassCallback pass,
                    char* errorText, size_t errorTextSize);

} // namespace Trellis
