// The production state of one scan job: what the configuration worked out
// for the scanner's window, and where image production stands within the
// job and within the current sheet. Set up by S_ConfigScan, advanced by
// S_Produce; both run on the scanner thread only.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/oleauto/taskmem.h"

#include <memory>
#include <vector>

struct TaskMemDeleter {
    void operator()(BYTE* block) const { CoTaskMemFree(block); }
};

struct ScanJobState {
    // What the configuration decided (the duplex flag is the session's own).
    LONG compression = 0; // in effect: 0 none, 1 JPEG, 2 MMR
    DWORD pixelsPerLine = 0;
    DWORD lines = 0;
    DWORD bytesPerLine = 0;   // 0: no job configured
    ULONGLONG pageSize = 0;   // bytes per line x lines
    DWORD sidesRequested = 0; // 0: until the feeder is empty
    DWORD sidesDone = 0;
    bool firstProduce = false;

    // The current sheet.
    bool frontEndOfPage = false;
    bool backEndOfPage = false;
    bool shortRead = false;
    ULONGLONG frontCount = 0;
    ULONGLONG backCount = 0;
    // Back-side bytes taken off the scanner while the front page was still
    // being delivered, and where delivery from them stands.
    size_t backHeld = 0;
    size_t backReadOffset = 0;
    std::unique_ptr<BYTE[], TaskMemDeleter> pageBuffer;
    size_t pageBufferSize = 0;
    // The start of a line that a READ ended inside, front and back: it goes
    // in front of that side's next band, so that uncompressed bands are
    // whole lines wherever the scanner's reads end.
    std::vector<BYTE> partLine[2];

    void FreePageBuffer()
    {
        pageBuffer.reset();
        pageBufferSize = 0;
    }
    void ClearSheet()
    {
        frontEndOfPage = false;
        backEndOfPage = false;
        shortRead = false;
        frontCount = 0;
        backCount = 0;
        backHeld = 0;
        backReadOffset = 0;
        partLine[0].clear();
        partLine[1].clear();
    }
};
