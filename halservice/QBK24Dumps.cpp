// Field-by-field dumps of the scanner's records on the data log. Callers
// test the data mask first; every value is shown in host order.
#include "halservice/QBK24Interface.h"

#include "diag/HexDump.h"

#include <string>

void CQBK24Interface::DumpByte(const WCHAR* name, BYTE value) { LogDataTrace(u"%s = 0x%02X\n", name, value); }

void CQBK24Interface::DumpWord(const WCHAR* name, WORD value) { LogDataTrace(u"%s = 0x%04X\n", name, value); }

void CQBK24Interface::DumpDword(const WCHAR* name, DWORD value) { LogDataTrace(u"%s = 0x%08X\n", name, value); }

void CQBK24Interface::DumpText(const WCHAR* name, const char* text, size_t length)
{
    // Text fields are space-padded bytes, not terminated strings.
    std::u16string wide;
    for (size_t i = 0; i < length && text[i] != 0; ++i)
        wide += static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    LogDataTrace(u"%s = %s\n", name, wide.c_str());
}

void CQBK24Interface::DumpSense(const SenseData& sense)
{
    LogDataTrace(u"ErrCode = 0x%02X", sense.ErrCode);
    LogDataTrace(u"SegmentNum = 0x%02X\n", sense.SegmentNum);
    LogDataTrace(u"SenseKey = 0x%02X\n", sense.SenseKey);
    LogDataTrace(u"InfoBytes = %d\n", static_cast<DWORD>(sense.InfoBytes));
    LogDataTrace(u"SenseLen = 0x%02X\n", sense.SenseLen);
    DumpBytes(u"CmdSpecificInfo: ", sense.CmdSpecificInfo, sizeof sense.CmdSpecificInfo);
    LogDataTrace(u"SenseCode = 0x%02X\n", sense.SenseCode);
    LogDataTrace(u"SenseQualifier = 0x%02X\n", sense.SenseQualifier);
    LogDataTrace(u"FRUCode = 0x%02X\n", sense.FRUCode);
    DumpBytes(u"SenseKeySpecific: ", sense.SenseKeySpecific, sizeof sense.SenseKeySpecific);
}

void CQBK24Interface::DumpWindow(const WindowParams& w)
{
    const WindowDescriptor& d = w.Descriptor;
    DumpBytes(u"Header.byReserved_0x00: ", w.Header.byReserved_0x00, sizeof w.Header.byReserved_0x00);
    LogDataTrace(u"Header.wBlockLengthInBytes = %d\n", static_cast<DWORD>(w.Header.wBlockLengthInBytes));
    DumpByte(u"byWindowIdentifier", d.byWindowIdentifier);
    DumpByte(u"byReserved_0x01", d.byReserved_0x01);
    DumpWord(u"wXRes", d.wXRes);
    DumpWord(u"wYRes", d.wYRes);
    DumpDword(u"dwUpperLeftX", d.dwUpperLeftX);
    DumpDword(u"dwUpperLeftY", d.dwUpperLeftY);
    DumpDword(u"dwWidth", d.dwWidth);
    DumpDword(u"dwLength", d.dwLength);
    DumpByte(u"byBrightness", d.byBrightness);
    DumpByte(u"byThreshold", d.byThreshold);
    DumpByte(u"byContrast", d.byContrast);
    DumpByte(u"byImgComposition", d.byImgComposition);
    DumpByte(u"byBitsPerPixel", d.byBitsPerPixel);
    DumpWord(u"wHalfTonePattern", d.wHalfTonePattern);
    DumpByte(u"byRIF_Padding", d.byRIF_Padding);
    DumpWord(u"wBitOrdering", d.wBitOrdering);
    DumpByte(u"byCompressionType", d.byCompressionType);
    DumpByte(u"byCompressionTypeArg", d.byCompressionTypeArg);
    DumpBytes(u"byReserved_0x22: ", d.byReserved_0x22, sizeof d.byReserved_0x22);
    DumpByte(u"byVendorID", d.byVendorID);
    DumpByte(u"bySupportedFeatures_0x29", d.bySupportedFeatures_0x29);
    DumpByte(u"byMirrorImage", d.byMirrorImage);
    DumpByte(u"byImageEmphasis", d.byImageEmphasis);
    DumpByte(u"byGammaCorrection", d.byGammaCorrection);
    DumpByte(u"bySupportedFeatures_0x2D", d.bySupportedFeatures_0x2D);
    DumpByte(u"bySupportedFeatures_0x2E", d.bySupportedFeatures_0x2E);
    DumpByte(u"byDocumentSize", d.byDocumentSize);
    DumpDword(u"dwDocumentWidth", d.dwDocumentWidth);
    DumpDword(u"dwDocumentLength", d.dwDocumentLength);
    DumpByte(u"bySupportedFeatures_0x38", d.bySupportedFeatures_0x38);
    DumpByte(u"byContinuScanningPage", d.byContinuScanningPage);
    DumpByte(u"byAutoThresholdMode", d.byAutoThresholdMode);
    DumpByte(u"byAutoSeparatonMode", d.byAutoSeparatonMode);
    DumpByte(u"byStdWhiteLevelMode", d.byStdWhiteLevelMode);
    DumpByte(u"byNoiseReduction", d.byNoiseReduction);
    DumpByte(u"bySupportedFeatures_0x3E", d.bySupportedFeatures_0x3E);
    DumpByte(u"byStopMode", d.byStopMode);
    DumpByte(u"byRedChoroma", w.byRedChoroma);
    DumpByte(u"byBlueChoroma", w.byBlueChoroma);
}

void CQBK24Interface::DumpInquiry(const InquiryData& q)
{
    DumpByte(u"byQualifierDevType", q.byQualifierDevType);
    DumpByte(u"byRMBDevType", q.byRMBDevType);
    DumpByte(u"byVersions", q.byVersions);
    DumpByte(u"byResponseDataFormat", q.byResponseDataFormat);
    DumpByte(u"byAdditionalLength", q.byAdditionalLength);
    DumpBytes(u"byReserved_0x05: ", q.byReserved_0x05, sizeof q.byReserved_0x05);
    DumpByte(u"bySupportedFeatures", q.bySupportedFeatures);
    DumpText(u"byVendorID", q.byVendorID, sizeof q.byVendorID);
    DumpText(u"byProductID", q.byProductID, sizeof q.byProductID);
    DumpText(u"byProductRevLvl", q.byProductRevLvl, sizeof q.byProductRevLvl);
    DumpBytes(u"byVendorSpec_0x24: ", q.byVendorSpec_0x24, sizeof q.byVendorSpec_0x24);
    DumpByte(u"bySupportedFeatures2", q.bySupportedFeatures2);
    DumpBytes(u"byReserved_0x38: ", q.byReserved_0x38, sizeof q.byReserved_0x38);
}

void CQBK24Interface::DumpSupportInfo(const SupportInfo& s)
{
    DumpByte(u"bySupportedFeatures", s.bySupportedFeatures);
    DumpByte(u"byReserved_0x01", s.byReserved_0x01);
    DumpWord(u"wTotalMemorySize", s.wTotalMemorySize);
    DumpWord(u"wMinXRes", s.wMinXRes);
    DumpWord(u"wMinYRes", s.wMinYRes);
    DumpWord(u"wMaxXRes", s.wMaxXRes);
    DumpWord(u"wMaxYRes", s.wMaxYRes);
    DumpWord(u"wStepXRes", s.wStepXRes);
    DumpWord(u"wStepYRes", s.wStepYRes);
    DumpBytes(u"byReserved_0x10: ", s.byReserved_0x10, sizeof s.byReserved_0x10);
    DumpByte(u"byBCode", s.byBCode);
    DumpByte(u"byPCode", s.byPCode);
    DumpByte(u"byDskw", s.byDskw);
    DumpByte(u"byLamp", s.byLamp);
    DumpByte(u"bySpeed", s.bySpeed);
    DumpByte(u"byWarning", s.byWarning);
    DumpByte(u"byDfAction", s.byDfAction);
    DumpByte(u"byPOrient", s.byPOrient);
    DumpByte(u"byPFont", s.byPFont);
    DumpByte(u"byDisco", s.byDisco);
    DumpByte(u"bysRGB", s.bysRGB);
    DumpByte(u"byReserved_0x1F", s.byReserved_0x1F);
}

void CQBK24Interface::DumpDataBufferStatus(const DataBufferStatus& s)
{
    DumpBytes(u"byBufStatusLen: ", s.byBufStatusLen, sizeof s.byBufStatusLen);
    DumpByte(u"byReserved_0x03", s.byReserved_0x03);
    DumpByte(u"byWindowId", s.byWindowId);
    DumpBytes(u"byReserved_0x05: ", s.byReserved_0x05, sizeof s.byReserved_0x05);
    DumpBytes(u"byFilledDataInByte: ", s.byFilledDataInByte, sizeof s.byFilledDataInByte);
}
