// The scanner's reply records and the SET WINDOW parameter list. Multi-byte
// fields are big-endian on the wire; the command methods convert them.
#pragma once

#include "platform/base/wintypes.h"

#include <cstddef>

#pragma pack(push, 1)

struct InquiryData {
    BYTE byQualifierDevType;
    BYTE byRMBDevType;
    BYTE byVersions;
    BYTE byResponseDataFormat;
    BYTE byAdditionalLength;
    BYTE byReserved_0x05[2];
    BYTE bySupportedFeatures;
    char byVendorID[8];
    char byProductID[16];
    char byProductRevLvl[4];
    BYTE byVendorSpec_0x24[20];
    BYTE bySupportedFeatures2;
    BYTE byReserved_0x38[39];
};

// Held in host order by the caller; SetWindow sends it big-endian.
struct WindowDescriptor {
    BYTE byWindowIdentifier; // 0x00 front, 0x80 back
    BYTE byReserved_0x01;
    WORD wXRes;
    WORD wYRes;
    DWORD dwUpperLeftX; // 1/1200 inch
    DWORD dwUpperLeftY;
    DWORD dwWidth;
    DWORD dwLength;
    BYTE byBrightness;
    BYTE byThreshold;
    BYTE byContrast;
    BYTE byImgComposition;
    BYTE byBitsPerPixel;
    WORD wHalfTonePattern;
    BYTE byRIF_Padding;
    WORD wBitOrdering;
    BYTE byCompressionType;
    BYTE byCompressionTypeArg;
    BYTE byReserved_0x22[6];
    BYTE byVendorID;
    BYTE bySupportedFeatures_0x29;
    BYTE byMirrorImage;
    BYTE byImageEmphasis;
    BYTE byGammaCorrection;
    BYTE bySupportedFeatures_0x2D;
    BYTE bySupportedFeatures_0x2E;
    BYTE byDocumentSize;
    DWORD dwDocumentWidth;
    DWORD dwDocumentLength;
    BYTE bySupportedFeatures_0x38;
    BYTE byContinuScanningPage;
    BYTE byAutoThresholdMode;
    BYTE byAutoSeparatonMode;
    BYTE byStdWhiteLevelMode;
    BYTE byNoiseReduction;
    BYTE bySupportedFeatures_0x3E;
    BYTE byStopMode;
};

struct WindowParamsHeader {
    BYTE byReserved_0x00[6];
    WORD wBlockLengthInBytes; // 64, set by SetWindow
};

// The SET WINDOW parameter list (72 bytes on the wire) and two bytes of
// its own that are never sent.
struct WindowParams {
    WindowParamsHeader Header;
    WindowDescriptor Descriptor;
    BYTE byRedChoroma;
    BYTE byBlueChoroma;
};

struct DocumentInfo {
    BYTE byDocumentSize; // 0x20: a document is in the feeder; bits 0-3 the size code
    BYTE byReserved_0x01[5];
};

struct SupportInfo {
    BYTE bySupportedFeatures;
    BYTE byReserved_0x01;
    WORD wTotalMemorySize;
    WORD wMinXRes;
    WORD wMinYRes;
    WORD wMaxXRes;
    WORD wMaxYRes;
    WORD wStepXRes;
    WORD wStepYRes;
    BYTE byReserved_0x10[4];
    BYTE byBCode;
    BYTE byPCode;
    BYTE byDskw;
    BYTE byLamp;
    BYTE bySpeed;
    BYTE byWarning;
    BYTE byDfAction;
    BYTE byPOrient;
    BYTE byPFont;
    BYTE byDisco;
    BYTE bysRGB;
    BYTE byReserved_0x1F;
};

// Left in wire order.
struct DataBufferStatus {
    BYTE byBufStatusLen[3];
    BYTE byReserved_0x03;
    BYTE byWindowId;
    BYTE byReserved_0x05[4];
    BYTE byFilledDataInByte[3]; // 24-bit big-endian
};

struct CounterData {
    DWORD dwTotalCounter;
    BYTE byReserved_0x04[10];
};

struct KeyEvent {
    struct {
        BYTE byRemainAndNumEvents; // bit 7: more events are queued
    } Header;
    struct {
        BYTE byKeyData; // bits 7-6 the kind, bits 5-4 the key
    } Data;
};

// Two RGB565 colours, background first.
struct LCDColorData {
    WORD wBackGround;
    WORD wText;
};

#pragma pack(pop)

constexpr DWORD kWindowDescriptorSize = 64;
constexpr DWORD kWindowParamsWireSize = 72;
constexpr DWORD kLineInfoSize = 16;
constexpr DWORD kLCDImageSize = 2560;
constexpr DWORD kGammaTableSize = 256;
constexpr DWORD kGammaDataSize = 266;

static_assert(sizeof(InquiryData) == 96);
static_assert(sizeof(WindowDescriptor) == kWindowDescriptorSize);
static_assert(offsetof(WindowDescriptor, wHalfTonePattern) == 27);
static_assert(offsetof(WindowDescriptor, dwDocumentWidth) == 48);
static_assert(offsetof(WindowParams, Descriptor) == 8);
static_assert(sizeof(WindowParams) == kWindowParamsWireSize + 2);
static_assert(sizeof(DocumentInfo) == 6);
static_assert(sizeof(SupportInfo) == 32);
static_assert(sizeof(DataBufferStatus) == 12);
static_assert(sizeof(CounterData) == 14);
static_assert(sizeof(KeyEvent) == 2);
