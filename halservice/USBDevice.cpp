#include "halservice/USBDevice.h"

#include "platform/base/winerror.h"
#include "platform/usb/fileio.h"

#include <string>

namespace {

// Reads the hexadecimal number right after the first `marker` of the path
// (case-sensitive); false when there is no marker or no digit after it.
bool ReadHexAfter(const std::u16string& path, const std::u16string& marker, DWORD& value)
{
    const size_t at = path.find(marker);
    if (at == std::u16string::npos)
        return false;
    size_t i = at + marker.size();
    DWORD result = 0;
    bool any = false;
    for (; i < path.size(); ++i) {
        const char16_t c = path[i];
        DWORD digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            break;
        result = result * 16 + digit;
        any = true;
    }
    if (any)
        value = result;
    return any;
}

} // namespace

CUSBDevice::CUSBDevice() { SetComponentLogName(u"USB Device"); }

CUSBDevice::~CUSBDevice() = default;

void CUSBDevice::UniqueNameChanged()
{
    CDevice::UniqueNameChanged();
    ReadHexAfter(m_uniqueName, u"vid_", m_vendorId);
    ReadHexAfter(m_uniqueName, u"pid_", m_productId);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Detected VID = 0x%04X, PID = 0x%04X", m_vendorId, m_productId);
}

bool CUSBDevice::IoErrorOccurred(DWORD error, int attempt, DWORD direction)
{
    const bool repeat = CDevice::IoErrorOccurred(error, attempt, direction);
    if (!repeat && attempt < 1 && error == static_cast<DWORD>(ERROR_GEN_FAILURE)) {
        if (IsLogging(LOG_TRACE))
            LogTrace(u"Try something here");
        return ResetPipe(direction == kTransferWrite ? kPipeWriteData : kPipeReadData);
    }
    return repeat;
}

bool CUSBDevice::ResetPipe(DWORD pipe)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Executing Reset on Pipe %d", pipe);
    DWORD bytesReturned = 0;
    return DeviceIoControl(IOCTL_RESET_PIPE, &pipe, sizeof pipe, nullptr, 0, &bytesReturned, false);
}

bool CUSBDevice::CancelIo(DWORD pipe)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Executing Cancel IO on Pipe %d", pipe);
    DWORD bytesReturned = 0;
    return DeviceIoControl(IOCTL_CANCEL_IO, &pipe, sizeof pipe, nullptr, 0, &bytesReturned, false);
}
