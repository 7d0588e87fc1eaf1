// The request a COM call hands to the scanner thread: its type and one
// fixed-size argument block. Pointers inside the block point into the
// caller's memory, which stays valid because the caller waits until the
// scanner thread has run the request; results travel back only through them.
#pragma once

#include "platform/base/wintypes.h"

#include <cstddef>
#include <cstdint>

enum HALRequestType : DWORD {
    REQ_CONFIG_SCAN = 0,
    REQ_DO_SCSI_CMD = 1,
    REQ_PRODUCE = 2,
    REQ_CONTROL = 3,
    REQ_OPEN_DEVICE = 4,
};

struct ConfigScanArgs {
    LONG Width;
    LONG Height;
    LONG BitsPerPixel;
    LONG DPI;
    LONG Duplex;
    LONG Pages;
    LONG Brightness;
    LONG Contrast;
    LONG Compression;
    LONG CompressionRatio;
    LONG DFD;
    LONG DFDSensitivity;
    LONG DFDAction;
    LONG SimpleColorDropout;
    LONG StopSkew;
    LONG Deskew;
    LONG AutomaticThreshold;
    LONG Dither;
    LONG AutomaticSeparation;
    LONG WhiteLevelFromPaper;
    LONG NoiseReductionWindow;
    LONG NoiseReductionColor;
    LONG LengthControl;
    LONG DetectPaperWidth;
    LONG Margin;
    LONG LongPaper;
    LONG FitToPage;
    LONG UseGammaTable;
    LONG Threshold;
    LONG HardwareInvert;
    LONG HardwareMirror;
    LONG* Status;
    DWORD* BytesPerLine;
    DWORD* PixelsPerLine;
    DWORD* Lines;
};

struct DoSCSICmdArgs {
    DWORD lSizeCDB;
    BYTE* pBufCDB;
    DWORD lSizeData;
    BYTE* pBufData;
    DWORD lDir; // 0 none, 1 read, 2 write
    LONG* lpStatus;
};

struct ProduceArgs {
    DWORD BufferSize;
    BYTE* Buffer;
    DWORD* BytesWritten;
    LONG* PayloadLevel;
    LONG* PayloadStatus;
};

struct ControlArgs {
    DWORD lCC;
    DWORD InSize;
    BYTE* InBuffer;
    DWORD OutSize;
    BYTE* OutBuffer;
    BSTR* pbstrXML;
    LONG* Status;
};

struct OpenDeviceArgs {
    DWORD Open; // 1 open the device handle, 0 close it
};

constexpr size_t kFuncArgsSize = 168;

struct FuncArgs {
    // The handler's result; written by the scanner thread into its own copy.
    std::uint64_t Result;
    union {
        ConfigScanArgs ConfigScan;
        DoSCSICmdArgs DoSCSICmd;
        ProduceArgs Produce;
        ControlArgs Control;
        OpenDeviceArgs OpenDevice;
    };
};

static_assert(sizeof(FuncArgs) == kFuncArgsSize);
static_assert(offsetof(FuncArgs, ConfigScan) == 8);
static_assert(offsetof(ConfigScanArgs, Status) == 128);
