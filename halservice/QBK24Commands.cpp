// The scanner's command set: one command block per method, the reply's
// big-endian fields converted to host order.
#include "halservice/QBK24Interface.h"

#include "halservice/LogText.h"
#include "halservice/SwapBytes.h"

#include <algorithm>
#include <cstring>

namespace {

void PutBigEndian16(BYTE* at, WORD value)
{
    at[0] = static_cast<BYTE>(value >> 8);
    at[1] = static_cast<BYTE>(value);
}

void PutBigEndian24(BYTE* at, DWORD value)
{
    at[0] = static_cast<BYTE>(value >> 16);
    at[1] = static_cast<BYTE>(value >> 8);
    at[2] = static_cast<BYTE>(value);
}

void PutBigEndian32(BYTE* at, DWORD value)
{
    at[0] = static_cast<BYTE>(value >> 24);
    PutBigEndian24(at + 1, value);
}

template <typename Record>
BYTE* FieldAt(Record* record, size_t offset)
{
    return reinterpret_cast<BYTE*>(record) + offset;
}

// The descriptor's multi-byte fields, converted in place both ways.
void SwapWindowDescriptor(WindowDescriptor* d)
{
    for (size_t offset : {offsetof(WindowDescriptor, wXRes), offsetof(WindowDescriptor, wYRes),
                          offsetof(WindowDescriptor, wHalfTonePattern), offsetof(WindowDescriptor, wBitOrdering)})
        SwapBytes16(FieldAt(d, offset));
    for (size_t offset : {offsetof(WindowDescriptor, dwUpperLeftX), offsetof(WindowDescriptor, dwUpperLeftY),
                          offsetof(WindowDescriptor, dwWidth), offsetof(WindowDescriptor, dwLength),
                          offsetof(WindowDescriptor, dwDocumentWidth), offsetof(WindowDescriptor, dwDocumentLength)})
        SwapBytes32(FieldAt(d, offset));
}

constexpr BYTE kOpTestUnitReady = 0x00;
constexpr BYTE kOpRequestSense = 0x03;
constexpr BYTE kOpInquiry = 0x12;
constexpr BYTE kOpScan = 0x1B;
constexpr BYTE kOpSetWindow = 0x24;
constexpr BYTE kOpRead = 0x28;
constexpr BYTE kOpSend = 0x2A;
constexpr BYTE kOpGetDataBufferStatus = 0x34;
constexpr BYTE kOpWriteBuffer = 0x3B;
constexpr BYTE kOpVendorRead = 0xE0;
constexpr BYTE kOpVendorWrite = 0xE1;

constexpr BYTE kBackSide = 0x80;

} // namespace

bool CQBK24Interface::TestUnitReady()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"TestUnitReady Entered.");
    const BYTE cdb[6] = {kOpTestUnitReady, 0, 0, 0, 0, 0};
    const bool result = DoSCSICommand(cdb, sizeof cdb, nullptr, 0, kDirectionNone);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"TestUnitReady Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::RequestSense(SenseData* sense)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"RequestSense Entered");
    const BYTE cdb[6] = {kOpRequestSense, 0, 0, 0, static_cast<BYTE>(kSenseDataSize), 0};
    const bool result = DoSCSICommand(cdb, sizeof cdb, sense, sense ? kSenseDataSize : 0, kDirectionRead);
    if (sense) {
        SwapBytes32(FieldAt(sense, offsetof(SenseData, InfoBytes)));
        if (IsDataLogging(LOG_TRACE))
            DumpSense(*sense);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"RequestSense Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::Inquiry(InquiryData* inquiry)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Inquiry Entered");
    const BYTE cdb[6] = {kOpInquiry, 0, 0, 0, static_cast<BYTE>(sizeof(InquiryData)), 0};
    const bool result = DoSCSICommand(cdb, sizeof cdb, inquiry, sizeof(InquiryData), kDirectionRead);
    if (inquiry && IsDataLogging(LOG_TRACE))
        DumpInquiry(*inquiry);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Inquiry Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::Scan()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Scan Entered");
    const BYTE cdb[6] = {kOpScan, 0, 0, 0, 0, 0};
    const bool result = DoSCSICommand(cdb, sizeof cdb, nullptr, 0, kDirectionNone);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Scan Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::SetWindow(WindowParams* window)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SetWindow Entered");
    if (window && IsDataLogging(LOG_TRACE))
        DumpWindow(*window);
    BYTE cdb[10] = {kOpSetWindow};
    bool result;
    if (window) {
        cdb[8] = static_cast<BYTE>(kWindowParamsWireSize);
        window->Header.wBlockLengthInBytes = static_cast<WORD>(kWindowDescriptorSize);
        SwapBytes16(FieldAt(window, offsetof(WindowParams, Header.wBlockLengthInBytes)));
        SwapWindowDescriptor(&window->Descriptor);
        result = DoSCSICommand(cdb, sizeof cdb, window, kWindowParamsWireSize, kDirectionWrite);
        SwapBytes16(FieldAt(window, offsetof(WindowParams, Header.wBlockLengthInBytes)));
        SwapWindowDescriptor(&window->Descriptor);
    } else {
        result = DoSCSICommand(cdb, sizeof cdb, nullptr, 0, kDirectionWrite);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SetWindow Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::SendFirmware(const BYTE* block, WORD blockLength, DWORD imageOffset)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SendFirmware Entered");
    BYTE cdb[10] = {kOpWriteBuffer, 0x05};
    PutBigEndian32(cdb + 2, imageOffset);
    PutBigEndian16(cdb + 7, blockLength);
    const bool result =
        DoSCSICommand(cdb, sizeof cdb, const_cast<BYTE*>(block), block ? blockLength : 0, kDirectionWrite);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SendFirmware Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::ReadImageChunk(DWORD bytesToRead, BYTE* buffer, bool backSide, bool* endOfPage, DWORD* bytesRead,
                                     bool* shortTransfer, BYTE qualifier)
{
    *endOfPage = false;
    *shortTransfer = false;
    *bytesRead = bytesToRead;
    BYTE cdb[10] = {kOpRead, 0, 0x00};
    cdb[4] = qualifier;
    cdb[5] = backSide ? kBackSide : 0;
    PutBigEndian24(cdb + 6, bytesToRead);
    if (DoSCSICommand(cdb, sizeof cdb, buffer, bytesToRead, kDirectionRead)) {
        ZeroUnreceived(buffer, *bytesRead);
        return true;
    }
    *bytesRead = 0;
    const BYTE flags = m_cachedSense.SenseKey;
    if (!(flags & (kSenseILI | kSenseEOM)))
        return false;
    // A residue beyond the request cannot be a short read of it.
    if (m_cachedSense.InfoBytes > bytesToRead)
        return false;
    *bytesRead = bytesToRead - m_cachedSense.InfoBytes;
    *endOfPage = (flags & kSenseEOM) != 0;
    *shortTransfer = (flags & kSenseILI) != 0;
    ZeroUnreceived(buffer, *bytesRead);
    return true;
}

// The bytes a READ counts but its data phase did not bring read as zeros:
// the buffer may be a band array that was never zeroed, whose old contents
// must not go to the client.
void CQBK24Interface::ZeroUnreceived(BYTE* buffer, DWORD counted) const
{
    if (buffer && counted > m_dataReceived)
        std::memset(buffer + m_dataReceived, 0, counted - m_dataReceived);
}

bool CQBK24Interface::ReadImageData(DWORD bytesToRead, BYTE* buffer, bool backSide, bool* endOfPage, DWORD* bytesRead,
                                    bool* shortTransfer, BYTE qualifier, DWORD lineBytes)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"ReadImageData Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"ReadImageData Params: Bytes to Read = %d, pBuff=0x%08X", bytesToRead, Hex32(buffer));
    bool eom = false;
    bool ili = false;
    DWORD total = 0;
    bool result = true;
    // One READ holds at most 24 bits of length: larger requests go in pieces
    // of whole lines, and the first short or last piece of a page ends it.
    DWORD chunkLimit = kMaxReadTransferLength;
    if (lineBytes > 0 && lineBytes <= kMaxReadTransferLength)
        chunkLimit = kMaxReadTransferLength / lineBytes * lineBytes;
    do {
        const DWORD request = std::min(bytesToRead - total, chunkLimit);
        DWORD got = 0;
        result = ReadImageChunk(request, buffer + total, backSide, &eom, &got, &ili, qualifier);
        if (!result)
            break;
        total += got;
        if (eom || ili)
            break;
    } while (total < bytesToRead);
    if (!result) {
        total = 0;
        eom = false;
        ili = false;
    }
    if (endOfPage)
        *endOfPage = eom;
    if (shortTransfer)
        *shortTransfer = ili;
    if (bytesRead)
        *bytesRead = total;
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"ReadImageData Params: Bytes Read = %d", total);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"ReadImageData Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::ReadLineInfo(BYTE* lineInfo, bool backSide, BYTE qualifier)
{
    BYTE cdb[10] = {kOpRead, 0, 0x80};
    cdb[4] = qualifier;
    cdb[5] = backSide ? kBackSide : 0;
    cdb[8] = static_cast<BYTE>(kLineInfoSize);
    const bool result = DoSCSICommand(cdb, sizeof cdb, lineInfo, kLineInfoSize, kDirectionRead);
    if (lineInfo) {
        SwapBytes32(lineInfo);
        SwapBytes32(lineInfo + 4);
    }
    return result;
}

bool CQBK24Interface::ReadDocument(bool* documentPresent, BYTE* sizeCode)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"ReadDocument Entered");
    DocumentInfo info{};
    BYTE cdb[10] = {kOpRead, 0, 0x81};
    cdb[8] = static_cast<BYTE>(sizeof info);
    const bool result = DoSCSICommand(cdb, sizeof cdb, &info, sizeof info, kDirectionRead);
    if (!result)
        info = DocumentInfo{};
    if (IsDataLogging(LOG_TRACE)) {
        LogDataTrace(u"byDocumentSize = 0x%02X\n", info.byDocumentSize);
        DumpBytes(u"byReserved_0x01: ", info.byReserved_0x01, sizeof info.byReserved_0x01);
    }
    if (documentPresent)
        *documentPresent = (info.byDocumentSize & 0x20) != 0;
    if (sizeCode)
        *sizeCode = info.byDocumentSize & 0x0F;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"ReadDocument Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::ReadSupportInfo(SupportInfo* info)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"ReadSupportInfo Entered");
    BYTE cdb[10] = {kOpRead, 0, 0x93};
    cdb[8] = static_cast<BYTE>(sizeof(SupportInfo));
    const bool result = DoSCSICommand(cdb, sizeof cdb, info, sizeof(SupportInfo), kDirectionRead);
    if (info) {
        for (size_t offset :
             {offsetof(SupportInfo, wTotalMemorySize), offsetof(SupportInfo, wMinXRes), offsetof(SupportInfo, wMinYRes),
              offsetof(SupportInfo, wMaxXRes), offsetof(SupportInfo, wMaxYRes), offsetof(SupportInfo, wStepXRes),
              offsetof(SupportInfo, wStepYRes)})
            SwapBytes16(FieldAt(info, offset));
        if (IsDataLogging(LOG_TRACE))
            DumpSupportInfo(*info);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"ReadSupportInfo Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::SendGammaCorrData(const BYTE* table, BYTE channel, bool backSide)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SendGammaCorrData Entered");
    BYTE data[kGammaDataSize] = {};
    if (table)
        std::memcpy(data + 10, table, kGammaTableSize);
    if (IsDataLogging(LOG_TRACE))
        DumpBytes(u"SendGammaCorrData Params: ", data, kGammaDataSize);
    BYTE cdb[10] = {kOpSend, 0, static_cast<BYTE>(backSide ? 0x05 : 0x03)};
    cdb[5] = channel;
    PutBigEndian24(cdb + 6, kGammaDataSize);
    const bool result = DoSCSICommand(cdb, sizeof cdb, data, kGammaDataSize, kDirectionWrite);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SendGammaCorrData Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::GetDataBufferStatus(DWORD* filledBytes, BYTE* windowId)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetDataBufferStatus Entered");
    DataBufferStatus status{};
    BYTE cdb[10] = {kOpGetDataBufferStatus};
    cdb[8] = static_cast<BYTE>(sizeof status);
    const bool result = DoSCSICommand(cdb, sizeof cdb, &status, sizeof status, kDirectionRead);
    if (result) {
        if (filledBytes)
            *filledBytes = (DWORD{status.byFilledDataInByte[0]} << 16) | (DWORD{status.byFilledDataInByte[1]} << 8) |
                           DWORD{status.byFilledDataInByte[2]};
        if (windowId)
            *windowId = status.byWindowId;
        if (IsDataLogging(LOG_TRACE))
            DumpDataBufferStatus(status);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetDataBufferStatus Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::GetCounter(CounterData* counter)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetCounter Entered");
    BYTE cdb[10] = {kOpVendorRead, 0, 0x86};
    cdb[8] = static_cast<BYTE>(sizeof(CounterData));
    const bool result = DoSCSICommand(cdb, sizeof cdb, counter, sizeof(CounterData), kDirectionRead);
    // Only a counter that arrived is turned to host order; the record is
    // dumped either way, as the other queries' records are.
    if (result && counter)
        SwapBytes32(FieldAt(counter, offsetof(CounterData, dwTotalCounter)));
    if (counter && IsDataLogging(LOG_TRACE)) {
        LogDataTrace(u"dwTotalCounter = 0x%08X\n", static_cast<DWORD>(counter->dwTotalCounter));
        DumpBytes(u"byReserved_0x04: ", counter->byReserved_0x04, sizeof counter->byReserved_0x04);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetCounter Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::StopADF()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"StopADF Entered");
    const BYTE cdb[10] = {kOpVendorWrite, 0, 0x8B};
    const bool result = DoSCSICommand(cdb, sizeof cdb, nullptr, 0, kDirectionNone);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"StopADF Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::GetKeyEvent(KeyEvent* event)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetKeyEvent Entered");
    BYTE cdb[10] = {kOpVendorRead, 0, 0xB2};
    PutBigEndian16(cdb + 7, sizeof(KeyEvent));
    const bool result = DoSCSICommand(cdb, sizeof cdb, event, sizeof(KeyEvent), kDirectionRead);
    if (result && event && IsDataLogging(LOG_TRACE)) {
        LogDataTrace(u"Header.byRemainAndNumEvents = 0x%02X\n", event->Header.byRemainAndNumEvents);
        LogDataTrace(u"Data.byKeyData = 0x%02X\n", event->Data.byKeyData);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"GetKeyEvent Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::SetLCDImage(const BYTE* image)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SetLCDImage Entered");
    if (image && IsDataLogging(LOG_TRACE))
        DumpBytes(u"SetLCDImage Params: ", image, kLCDImageSize);
    BYTE cdb[10] = {kOpVendorWrite, 0, 0xB5};
    PutBigEndian16(cdb + 7, static_cast<WORD>(kLCDImageSize));
    const bool result =
        DoSCSICommand(cdb, sizeof cdb, const_cast<BYTE*>(image), image ? kLCDImageSize : 0, kDirectionWrite);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SetLCDImage Exit. [%s]", TrueFalse(result));
    return result;
}

bool CQBK24Interface::SetColor(BYTE textRed, BYTE textGreen, BYTE textBlue, BYTE backRed, BYTE backGreen, BYTE backBlue)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SetColor Entered");
    // Components are clamped to the RGB565 ranges, not scaled.
    auto rgb565 = [](BYTE red, BYTE green, BYTE blue) {
        return static_cast<WORD>((std::min<WORD>(red, 31) << 11) | (std::min<WORD>(green, 63) << 5) |
                                 std::min<WORD>(blue, 31));
    };
    const WORD text = rgb565(textRed, textGreen, textBlue);
    const WORD background = rgb565(backRed, backGreen, backBlue);
    if (IsDataLogging(LOG_TRACE)) {
        LogDataTrace(u"wBackGround = 0x%04X\n", background);
        LogDataTrace(u"wText = 0x%04X\n", text);
    }
    BYTE data[sizeof(LCDColorData)];
    PutBigEndian16(data, background);
    PutBigEndian16(data + 2, text);
    BYTE cdb[10] = {kOpVendorWrite, 0, 0xB4};
    PutBigEndian16(cdb + 7, sizeof data);
    const bool result = DoSCSICommand(cdb, sizeof cdb, data, sizeof data, kDirectionWrite);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SetColor Exit. [%s]", TrueFalse(result));
    return result;
}
