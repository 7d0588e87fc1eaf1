#include "halservice/Device.h"

#include "halservice/LogText.h"
#include "halservice/MessageWait.h"
#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/kernel/kernel.h"
#include "platform/usb/fileio.h"

namespace {

const WCHAR* DirectionName(DWORD direction)
{
    switch (direction) {
    case kTransferRead:
        return u"Read";
    case kTransferWrite:
        return u"Write";
    default:
        return u"None";
    }
}

} // namespace

CDevice::CDevice() : CTraceClient(u"Device Driver") {}

CDevice::~CDevice()
{
    if (m_handle != INVALID_HANDLE_VALUE) {
        CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
}

bool CDevice::Open()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Device Open Entered");
    if (m_handle == INVALID_HANDLE_VALUE) {
        m_handle = CreateFileW(m_uniqueName.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_handle == INVALID_HANDLE_VALUE) {
            m_lastError = ::GetLastError();
            if (IsLogging(LOG_ERROR))
                LogError(u"Device Open failed.\nDevice %s.\nGetLastError = 0x%08X", m_uniqueName.c_str(), m_lastError);
        } else {
            // The handle is synchronous: the device's own transfer time-out
            // is what ends a transfer the scanner never answers.
            plat::usb::SetTransferTimeout(m_handle, m_timeout);
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Device Open Exit Handle 0x%X", Hex32(m_handle));
    return m_handle != INVALID_HANDLE_VALUE;
}

void CDevice::Close()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Close Device called");
    if (m_handle != INVALID_HANDLE_VALUE) {
        if (IsLogging(LOG_TRACE))
            LogTrace(u"Closing Device Handle 0x%X", Hex32(m_handle));
        CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
}

void CDevice::SetTimeout(DWORD timeoutMs)
{
    m_timeout = timeoutMs;
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Timeout set to %d ms", timeoutMs);
    if (m_handle != INVALID_HANDLE_VALUE)
        plat::usb::SetTransferTimeout(m_handle, timeoutMs);
}

void CDevice::SetUniqueName(const std::u16string& path)
{
    if (path == m_uniqueName)
        return;
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"SetUniqueName called with %s", path.c_str());
    m_uniqueName = path;
    UniqueNameChanged();
}

void CDevice::UniqueNameChanged()
{
    if (m_handle == INVALID_HANDLE_VALUE)
        return;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"UniqueNameChanged Entered, closing and re-opening device");
    Close();
    Open();
    if (IsLogging(LOG_TRACE))
        LogTrace(u"UniqueNameChanged Exit");
}

bool CDevice::RetryWait(DWORD* /*timeoutMs*/) { return false; }

bool CDevice::Attempt(const TransferRequest& request, DWORD* bytes)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event) {
        // Nothing was issued, but the caller still learns why.
        m_lastError = ::GetLastError();
        if (m_lastError == 0)
            m_lastError = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    BOOL issued = FALSE;
    switch (request.kind) {
    case Transfer::Read:
        issued = ReadFile(m_handle, request.buffer, request.count, bytes, &overlapped);
        break;
    case Transfer::Write:
        issued = WriteFile(m_handle, request.buffer, request.count, bytes, &overlapped);
        break;
    case Transfer::Control:
        issued = ::DeviceIoControl(m_handle, request.controlCode, request.buffer, request.count, request.outBuffer,
                                   request.outSize, bytes, &overlapped);
        break;
    }
    // A pending transfer is waited for like one that was taken at once.
    const bool pending = !issued && ::GetLastError() == static_cast<DWORD>(ERROR_IO_PENDING);
    bool ok = false;
    if (issued || pending)
        ok = WaitOverlappedResult(&overlapped, m_timeout, bytes);
    if (!ok) {
        m_lastError = ::GetLastError();
        // A failure must leave a reason, or the loop would take it for success.
        if (m_lastError == 0)
            m_lastError = ERROR_GEN_FAILURE;
    }
    CloseHandle(event);
    return ok;
}

bool CDevice::RunTransfer(const TransferRequest& request, DWORD direction, bool retry, const WCHAR* failureLine,
                          DWORD* bytes)
{
    bool succeeded = false;
    for (int attempt = 0;; ++attempt) {
        m_lastError = 0;
        *bytes = 0;
        if (Attempt(request, bytes))
            succeeded = true;
        else if (IsLogging(LOG_ERROR))
            LogError(failureLine, m_lastError);
        if (m_lastError == 0 || !retry || !IoErrorOccurred(m_lastError, attempt, direction))
            break;
    }
    return succeeded;
}

DWORD CDevice::Read(void* buffer, DWORD count, bool retry)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Device Read Entered.");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Device Read Params: Bufffer = 0x%X, Size = %d", Hex32(buffer), count);
    const TransferRequest request{Transfer::Read, buffer, count, 0, nullptr, 0};
    DWORD bytes = 0;
    RunTransfer(request, kTransferRead, retry, u"Device Read failed, GetLastError = 0x%08X", &bytes);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Device Read Exit. Bytes Read %d", bytes);
    return bytes;
}

DWORD CDevice::Write(const void* buffer, DWORD count, bool retry)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Device Write Entered.");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Device Write Params: Buffer = 0x%X, Size = %d", Hex32(buffer), count);
    const TransferRequest request{Transfer::Write, const_cast<void*>(buffer), count, 0, nullptr, 0};
    DWORD bytes = 0;
    RunTransfer(request, kTransferWrite, retry, u"Device Write failed, GetLastError = 0x%08X", &bytes);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Device Write Exit. Bytes Written %d", bytes);
    return bytes;
}

bool CDevice::DeviceIoControl(DWORD controlCode, void* inBuffer, DWORD inSize, void* outBuffer, DWORD outSize,
                              DWORD* bytesReturned, bool retry)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"DeviceIoControl Entered.");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"DeviceIoControl Params: CC=0x%X, InBuff=0x%X, Size=%d, OutBuff=0x%X, Size=%d, "
                     u"ptrBytesReturned 0x%X",
                     controlCode, Hex32(inBuffer), inSize, Hex32(outBuffer), outSize, Hex32(bytesReturned));
    const TransferRequest request{Transfer::Control, inBuffer, inSize, controlCode, outBuffer, outSize};
    DWORD bytes = 0;
    const bool succeeded = RunTransfer(request, outBuffer ? kTransferRead : kTransferWrite, retry,
                                       u"DeviceIoControl failed, GetLastError = 0x%08X", &bytes);
    if (bytesReturned)
        *bytesReturned = bytes;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"DeviceIoControl Exit. Bytes Returned %d", bytesReturned ? *bytesReturned : 0);
    return succeeded;
}

bool CDevice::WaitOverlappedResult(OVERLAPPED* overlapped, DWORD timeoutMs, DWORD* bytesTransferred)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"WaitOverlappedResult Entered.");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"WaitOverlappedResult Params: Timeout = %d ms, dwBytesXfer Pointer = 0x%X", timeoutMs,
                     Hex32(bytesTransferred));
    DWORD timeout = timeoutMs;
    DWORD result = WAIT_FAILED;
    for (;;) {
        result = MsgWaitForMultipleObjects(1, &overlapped->hEvent, FALSE, timeout, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0 + 1) {
            if (IsLogging(LOG_TRACE))
                LogTrace(u"Wait result 0x%X", result);
            DispatchQueuedMessages();
            continue;
        }
        if (result == WAIT_ABANDONED_0 && RetryWait(&timeout)) {
            if (IsLogging(LOG_TRACE))
                LogTrace(u"Wait result 0x%X", result);
            continue;
        }
        break;
    }
    // Why a wait failed, taken before a log line can change it.
    const DWORD waitError = result == WAIT_TIMEOUT ? static_cast<DWORD>(ERROR_SEM_TIMEOUT) : ::GetLastError();
    if (IsLogging(LOG_TRACE))
        LogTrace(u"WaitObject result 0x%08X", result);
    bool ok = false;
    if (result == WAIT_OBJECT_0) {
        if (GetOverlappedResult(m_handle, overlapped, bytesTransferred, FALSE)) {
            ResetEvent(overlapped->hEvent);
            ok = true;
        }
    } else {
        ok = FinishAbandonedTransfer(overlapped, bytesTransferred);
        if (!ok)
            SetLastError(waitError ? waitError : static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    }
    // The caller takes the reason of a failure from the thread's last error,
    // which writing the exit line must not change.
    const DWORD error = ::GetLastError();
    if (IsLogging(LOG_TRACE))
        LogTrace(u"WaitOverlappedResult Exit [%s]", TrueFalse(ok));
    SetLastError(error);
    return ok;
}

bool CDevice::FinishAbandonedTransfer(OVERLAPPED* overlapped, DWORD* bytesTransferred)
{
    // The transfer still owns the caller's buffer until it has ended: cancel
    // it and wait for its completion. One that completed meanwhile counts.
    ::CancelIo(m_handle);
    DWORD bytes = 0;
    const bool completed = GetOverlappedResult(m_handle, overlapped, &bytes, TRUE);
    *bytesTransferred = completed ? bytes : 0;
    return completed;
}

bool CDevice::IoErrorOccurred(DWORD error, int attempt, DWORD direction)
{
    if (IsLogging(LOG_ERROR))
        LogError(u"IoErrorOccurred Entered");
    if (IsDataLogging(LOG_ERROR))
        LogDataError(u"Params: Error = 0x%08X, Retry = %d, Direction = %s", error, attempt, DirectionName(direction));
    bool repeat = false;
    if (m_handle != INVALID_HANDLE_VALUE && attempt < 1 &&
        (error == static_cast<DWORD>(ERROR_ACCESS_DENIED) || error == static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED))) {
        if (IsLogging(LOG_WARNING))
            LogWarning(u"Attempting recovery from possible device disconnection");
        Close();
        if (Open()) {
            if (IsLogging(LOG_WARNING))
                LogWarning(u"Recovered from device disconnection");
            repeat = true;
        } else if (IsLogging(LOG_ERROR)) {
            LogError(u"Failed to recover from device disconnection");
        }
    }
    if (IsLogging(LOG_ERROR))
        LogError(u"IoErrorOccurred Exit [%s]", TrueFalse(repeat));
    return repeat;
}
