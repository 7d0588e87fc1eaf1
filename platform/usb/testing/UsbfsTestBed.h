// A USB bus for tests, on umockdev: devices with their sysfs attributes and
// descriptors, their device nodes, and usbfs answered by a device side in
// this process, so that libudev, libusb and the platform's USB backend run
// unchanged over them.
//
// The processes that use the bus (this one, and any it starts) must run
// with umockdev's preload library (RunUnderUsbfsTestBed) and see the test
// bed's folder in UMOCKDEV_DIR, which making the test bed sets in this
// process's environment.
//
// The usbfs calls a scanner's driver makes are answered: submitting,
// reaping and discarding bulk URBs (whose bytes go to and come from the
// device side: an answer the device side does not have yet keeps an IN URB
// pending until a later OUT gives it one), claiming and releasing the
// interface, clearing a halt (the device side's pipe reset), the
// capabilities, and the kernel driver calls (a device can be made with a
// driver that holds its interface until it is detached).
#pragma once

#include "platform/usb/UsbBackend.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace plat::usb::testing {

// Re-runs the program under umockdev's preload when it does not have it yet
// (call first thing in main); the preload comes after a sanitizer runtime
// the program carries, which is linked into the program itself.
void RunUnderUsbfsTestBed(int argc, char** argv);

class UsbfsTestBed {
public:
    // The test bed's folder is made in `parent` (TMPDIR when empty).
    explicit UsbfsTestBed(const std::string& parent = {});
    ~UsbfsTestBed();
    UsbfsTestBed(const UsbfsTestBed&) = delete;
    UsbfsTestBed& operator=(const UsbfsTestBed&) = delete;

    // The folder that stands for / in the processes of the test bed.
    std::string Root() const;
    UMockdevTestbed* Get() const { return m_bed; }
    // The address of a device plugged in now: as a bus numbers them, each
    // new one the next, from 2 to 127 and round again (1 is the root hub's).
    unsigned NextAddress()
    {
        const unsigned address = m_nextAddress;
        m_nextAddress = address == 127 ? 2 : address + 1;
        return address;
    }

private:
    UMockdevTestbed* m_bed;
    unsigned m_nextAddress = 2;
};

struct UsbfsDeviceSpec {
    WORD vendorId = 0x0ABC;
    WORD productId = 0x0DEF;
    std::string serial = "USBFS01"; // empty: the device has no serial number
    std::string sysName = "1-1";    // its place on the bus
    std::uint8_t busNumber = 1;
    std::string kernelDriver; // a driver that holds the interface, if any
};

// A device on the test bed's bus; its usbfs traffic goes to `deviceSide`
// (none: nothing answers its pipes). Made plugged in.
class UsbfsDevice {
public:
    UsbfsDevice(UsbfsTestBed& bed, UsbBackend* deviceSide, UsbfsDeviceSpec spec = {});
    ~UsbfsDevice();
    UsbfsDevice(const UsbfsDevice&) = delete;
    UsbfsDevice& operator=(const UsbfsDevice&) = delete;

    // Plugged in: present on the bus at a new address (an "add" uevent).
    void Plug();
    // Pulled out: its transfers end as the kernel ends them for a device
    // that left, and it leaves the bus (a "remove" uevent).
    void Unplug();
    bool Plugged() const;
    // Plugs the device in or pulls it out on a thread of its own, then
    // calls `done` there: for a device side that leaves or comes back by
    // itself, from inside its own transfers (an emulated scanner's
    // connection observer).
    void PlugLater(bool plugged, std::function<void()> done = {});

    std::string SysPath() const;
    std::string DeviceNode() const; // /dev/bus/usb/BBB/DDD
    std::string NodeFile() const;   // the test bed's file behind it
    const UsbfsDeviceSpec& Spec() const { return m_spec; }

    // What the hosts did to the device, in order: "claim 0", "release 0",
    // "clear-halt 0x81", "discard 0x81", "detach usblp", "attach usblp".
    std::vector<std::string> Actions() const;
    bool KernelDriverBound() const;

    struct Attachment;
    struct State;

private:
    UsbfsTestBed& m_bed;
    UsbBackend* m_deviceSide;
    UsbfsDeviceSpec m_spec;
    std::shared_ptr<State> m_state;
    std::vector<std::unique_ptr<Attachment>> m_attachments; // one per plug, kept for its clients
    std::mutex m_plugMutex;
    std::thread m_plugger; // the last PlugLater's; each waits for the one before
};

} // namespace plat::usb::testing
