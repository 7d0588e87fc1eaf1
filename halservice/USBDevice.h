// The scanner's USB device interface: the vendor and product id taken from
// the device path, and the still-image driver's pipe reset and cancel.
#pragma once

#include "halservice/Device.h"

// Pipe numbers of the still-image driver.
constexpr DWORD kPipeReadData = 1;
constexpr DWORD kPipeWriteData = 2;

class CUSBDevice : public CDevice {
public:
    CUSBDevice();
    ~CUSBDevice() override;

    void UniqueNameChanged() override;
    // Over the base's recovery: a transfer that failed with error 31 on its
    // first attempt is repeated after a reset of its pipe.
    bool IoErrorOccurred(DWORD error, int attempt, DWORD direction) override;

    bool ResetPipe(DWORD pipe);
    bool CancelIo(DWORD pipe);

    DWORD GetVendorId() const { return m_vendorId; }
    DWORD GetProductId() const { return m_productId; }

private:
    DWORD m_vendorId = 0;
    DWORD m_productId = 0;
};
