#include "platform/usb/fileio.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/usb/DeviceFile.h"

using plat::usb::DeviceFile;

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE)
{
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // A device cannot be created, only opened.
    if (dwCreationDisposition != OPEN_EXISTING && dwCreationDisposition != OPEN_ALWAYS) {
        SetLastError(dwCreationDisposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    DWORD error = 0;
    std::shared_ptr<DeviceFile> file =
        DeviceFile::Open(lpFileName, dwDesiredAccess, (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0, error);
    if (!file) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return plat::InsertHandle(std::move(file));
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped)
{
    auto file = plat::ReferenceObject<DeviceFile>(hFile);
    if (!file)
        return FALSE;
    return file->Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped)
{
    auto file = plat::ReferenceObject<DeviceFile>(hFile);
    if (!file)
        return FALSE;
    return file->Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped);
}

BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize, LPVOID, DWORD,
                     LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped)
{
    auto file = plat::ReferenceObject<DeviceFile>(hDevice);
    if (!file)
        return FALSE;
    return file->Control(dwIoControlCode, lpInBuffer, nInBufferSize, lpBytesReturned, lpOverlapped);
}

BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred, BOOL bWait)
{
    auto file = plat::ReferenceObject<DeviceFile>(hFile);
    if (!file)
        return FALSE;
    return file->GetResult(lpOverlapped, lpNumberOfBytesTransferred, bWait != FALSE);
}

BOOL CancelIo(HANDLE hFile)
{
    auto file = plat::ReferenceObject<DeviceFile>(hFile);
    if (!file)
        return FALSE;
    file->CancelAll();
    return TRUE;
}

namespace plat::usb {

bool SetTransferTimeout(HANDLE device, DWORD milliseconds)
{
    auto file = ReferenceObject<DeviceFile>(device);
    if (!file)
        return false;
    file->SetTimeout(milliseconds);
    return true;
}

} // namespace plat::usb
