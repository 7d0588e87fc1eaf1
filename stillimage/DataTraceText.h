// Data-trace lines collected into one text and written to the sink as one
// record, so the lines of one operation stay together in the log.
#pragma once

#include "diag/TraceClient.h"

#include <string>

class DataTraceText {
public:
    // Takes the record's timestamp now: the operation's start.
    explicit DataTraceText(CTraceClient& trace);

    // Appends a formatted line while the data trace is on.
    void Add(const WCHAR* format, ...);
    // Writes the collected text as one record when the data trace is on and
    // the text is not empty, and empties it.
    void Flush();

private:
    CTraceClient& trace_;
    std::u16string timestamp_;
    std::u16string text_;
};
