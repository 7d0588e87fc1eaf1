// IStiUSD::Escape: the vendor requests of still-image clients. One passes a
// raw command block to the scanner through the hardware service; the others
// answer fixed values in the caller's buffers.
#include "stillimage/CRNX_STIWIA_Driver.h"
#include "stillimage/EscapeCodes.h"

#include <climits>
#include <cstring>
#include <initializer_list>

namespace {

// The status word of ESCAPE_SCSI_COMMAND.
constexpr DWORD kScsiStatusDone = 1;
constexpr DWORD kScsiStatusFailed = 4;

// Copies a fixed answer into a caller's buffer. Clients may pass a size of
// 0 (the size was never looked at); a size that is given must hold the answer.
HRESULT WriteAnswer(LPVOID buffer, DWORD size, std::initializer_list<BYTE> answer)
{
    if (!buffer)
        return E_FAIL;
    if (size != 0 && size < answer.size())
        return E_INVALIDARG;
    std::memcpy(buffer, answer.begin(), answer.size());
    return S_OK;
}

} // namespace

HRESULT CRNX_STIWIA_Driver::Escape(STI_RAW_CONTROL_CODE EscapeFunction, LPVOID lpInData, DWORD cbInDataSize,
                                   LPVOID pOutData, DWORD dwOutDataSize, LPDWORD pdwActualData)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Escape Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Escape Params: EscapeFunction=0x%08X, lpInData=0x%08X, cbInDataSize=%d, lpOutData==0x%08X, "
                     u"dwOutDataSize=%d, pdwActualData=0x%08X",
                     EscapeFunction, Hex32(lpInData), cbInDataSize, Hex32(pOutData), dwOutDataSize,
                     Hex32(pdwActualData));
    HRESULT hr = E_FAIL;
    if (EscapeFunction == ESCAPE_REPORT_TWO) {
        hr = WriteAnswer(pOutData, dwOutDataSize, {2});
    } else {
        switch (EscapeFunction) {
        case ESCAPE_SCSI_COMMAND:
            hr = EscapeScsiCommand(lpInData, cbInDataSize);
            break;
        case ESCAPE_REPORT_ONE:
        case ESCAPE_REPORT_ONE_AGAIN:
            hr = WriteAnswer(lpInData, cbInDataSize, {1, 0, 0, 0}); // the 32-bit value 1
            break;
        case ESCAPE_NOP:
            hr = S_OK;
            break;
        case ESCAPE_REPORT_FLAGS:
            hr = WriteAnswer(lpInData, cbInDataSize, {1, 0, 0, 1});
            break;
        default:
            break;
        }
    }
    // The size the caller gave, not the bytes written.
    if (pdwActualData) {
        *pdwActualData = dwOutDataSize;
        if (IsDataLogging(LOG_TRACE))
            LogDataTrace(u"Escape Result: *pdwActualData=%d", *pdwActualData);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Escape Exit. [0x%08X]", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::EscapeScsiCommand(LPVOID lpInData, DWORD cbInDataSize)
{
    // The block comes from outside: its size, command length and data length
    // are checked before any of it is used.
    ESCAPE_SCSI_COMMAND_BLOCK block;
    if (!lpInData || cbInDataSize != sizeof block) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Escape: the SCSI command block must be %d bytes", static_cast<int>(sizeof block));
        return E_INVALIDARG;
    }
    std::memcpy(&block, lpInData, sizeof block);
    if (block.wCommandLength > sizeof block.abCommand || block.dwDataLength > INT_MAX) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Escape: command length %d or data length %u out of range", block.wCommandLength,
                     block.dwDataLength);
        return E_INVALIDARG;
    }
    if (FAILED(m_hrHardwareInit))
        return E_FAIL;

    LONG status = 0;
    BYTE noData = 0;
    BYTE* data = block.pData;
    LONG dataLength = static_cast<LONG>(block.dwDataLength);
    if (!data) {
        data = &noData;
        dataLength = 1;
    }
    HRESULT hr = DoSCSICmd(block.wCommandLength, block.abCommand, dataLength, data,
                           static_cast<LONG>(block.dwDirection), &status);
    if (block.pdwStatus) {
        *block.pdwStatus = status == 0 ? kScsiStatusDone : kScsiStatusFailed;
        if (IsLogging(LOG_TRACE))
            LogTrace(u"SET STATUS RESULT TO: %08X", *block.pdwStatus);
    }
    return hr;
}
