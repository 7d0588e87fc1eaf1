// One open handle on a device path and the three ways to move bytes through
// it (read, write, device I/O control). Every transfer waits for its
// completion while dispatching the thread's window messages, has a time-out,
// and may be repeated once after a recovery step that IoErrorOccurred picks.
#pragma once

#include "diag/TraceClient.h"
#include "platform/base/wintypes.h"

#include <string>

struct OVERLAPPED;

// Transfer directions, as IoErrorOccurred and the log lines name them.
constexpr DWORD kTransferRead = 1;
constexpr DWORD kTransferWrite = 2;

class CDevice : public CTraceClient {
public:
    static constexpr DWORD kDefaultTimeoutMs = 10000;

    CDevice();
    // Closes the handle: it must not outlive the object.
    ~CDevice() override;

    CDevice(const CDevice&) = delete;
    CDevice& operator=(const CDevice&) = delete;

    // True when at least one attempt succeeded.
    virtual bool DeviceIoControl(DWORD controlCode, void* inBuffer, DWORD inSize, void* outBuffer, DWORD outSize,
                                 DWORD* bytesReturned, bool retry);
    // The bytes transferred by the last attempt.
    virtual DWORD Read(void* buffer, DWORD count, bool retry);
    virtual DWORD Write(const void* buffer, DWORD count, bool retry);
    virtual bool Open();
    virtual void Close();
    virtual void UniqueNameChanged();
    // Asked whether an abandoned wait is to be repeated; may change the time-out.
    virtual bool RetryWait(DWORD* timeoutMs);
    // Whether a failed attempt is to be repeated, after a recovery step.
    virtual bool IoErrorOccurred(DWORD error, int attempt, DWORD direction);

    bool WaitOverlappedResult(OVERLAPPED* overlapped, DWORD timeoutMs, DWORD* bytesTransferred);

    void SetUniqueName(const std::u16string& path);
    std::u16string GetUniqueName() const { return m_uniqueName; }

    void SetTimeout(DWORD timeoutMs);
    DWORD GetTimeout() const { return m_timeout; }
    // The Win32 error of the latest transfer attempt or open (0: none).
    DWORD LastError() const { return m_lastError; }
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

protected:
    std::u16string m_uniqueName;
    DWORD m_timeout = kDefaultTimeoutMs;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    DWORD m_lastError = 0;

private:
    enum class Transfer { Read, Write, Control };
    struct TransferRequest {
        Transfer kind;
        void* buffer; // read, write: the data; control: the input
        DWORD count;
        DWORD controlCode;
        void* outBuffer;
        DWORD outSize;
    };
    // One attempt: issue, wait, and on a time-out cancel and await the end,
    // so nothing writes into the caller's memory after we return.
    bool Attempt(const TransferRequest& request, DWORD* bytes);
    // The loop that Read, Write and DeviceIoControl share: one attempt, and
    // another while recovery is allowed and IoErrorOccurred asks for it.
    // bytes: the count of the last attempt. True when any attempt succeeded.
    bool RunTransfer(const TransferRequest& request, DWORD direction, bool retry, const WCHAR* failureLine,
                     DWORD* bytes);
    // After a wait that gave up: cancel and wait for the transfer to end.
    bool FinishAbandonedTransfer(OVERLAPPED* overlapped, DWORD* bytesTransferred);
};
