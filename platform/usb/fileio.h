// Files on device paths: the USB still-image driver's handle.
//
// CreateFileW on a device interface path ("\\?\usb#vid_...#{6bdd1fc6-...}")
// opens the device behind it; WriteFile goes to the bulk OUT pipe, ReadFile
// comes from the bulk IN pipe (a read returns at most the rest of the
// device's current answer chunk; what the caller did not take stays for the
// next read), DeviceIoControl resets or cancels a pipe.
//
// A handle opened without FILE_FLAG_OVERLAPPED is synchronous: a transfer
// returns when it is complete, also when an OVERLAPPED record is passed
// (whose event is then signalled and whose result fields are filled, so
// GetOverlappedResult reports it). With FILE_FLAG_OVERLAPPED, ReadFile and
// WriteFile return FALSE with ERROR_IO_PENDING and complete through the
// record's event.
//
// A read the device has no answer for stays pending until the device
// answers (after a later write), the handle's transfer time-out passes on
// the installed clock (ERROR_SEM_TIMEOUT), the pipe or the handle's I/O is
// cancelled (ERROR_OPERATION_ABORTED), or the device goes away. Once a
// transfer has completed, failed or been cancelled, nothing writes into its
// buffer or its OVERLAPPED record again.
//
// Errors: ERROR_GEN_FAILURE (31) from a stalled pipe until it is reset;
// ERROR_DEVICE_NOT_CONNECTED (1167) once the device is gone;
// ERROR_ACCESS_DENIED (5) on a handle whose device went away and came back
// as a new attachment or a new program (open it again); ERROR_FILE_NOT_FOUND
// from CreateFileW for a device that is not present.
//
// CloseHandle cancels the transfers still pending on an overlapped handle
// (their records report ERROR_OPERATION_ABORTED); a synchronous transfer
// running on another thread keeps the device open until it ends.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/kernel/KernelObject.h"

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;

// The still-image driver's pipe controls; the input is a 4-byte pipe number.
constexpr DWORD IOCTL_CANCEL_IO = 0x80002004u;
constexpr DWORD IOCTL_RESET_PIPE = 0x8000201Cu;

// OVERLAPPED.Internal while a transfer is pending.
constexpr ULONG_PTR STATUS_PENDING = 0x103;

struct OVERLAPPED {
    ULONG_PTR Internal;     // completion status (STATUS_PENDING while pending)
    ULONG_PTR InternalHigh; // bytes transferred
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

inline bool HasOverlappedIoCompleted(const OVERLAPPED* o) { return o->Internal != STATUS_PENDING; }

extern "C" {

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE hTemplateFile);
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped);
BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize, LPVOID lpOutBuffer,
                     DWORD nOutBufferSize, LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped);
// bWait: wait (on the record's event, else on the transfer) until the
// transfer is complete; without it, ERROR_IO_INCOMPLETE while pending.
BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred, BOOL bWait);
// Cancels every transfer pending on the handle (from any thread).
BOOL CancelIo(HANDLE hFile);

} // extern "C"

inline HANDLE CreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                         DWORD flags, HANDLE hTemplate)
{
    return CreateFileW(name, access, share, sa, disposition, flags, hTemplate);
}

namespace plat::usb {

// How long a transfer may stay pending before it fails with
// ERROR_SEM_TIMEOUT, in milliseconds of the installed clock.
constexpr DWORD kDefaultTransferTimeoutMs = 120000;
// Changes it for one handle; false for a handle that is not a device.
bool SetTransferTimeout(HANDLE device, DWORD milliseconds);

} // namespace plat::usb
