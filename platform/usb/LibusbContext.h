// The process's libusb context and the thread that completes its transfers.
//
// The thread handles libusb's events only while transfers are in flight and
// sleeps otherwise, so an idle process does no polling (and a test bed whose
// device descriptor always reads as ready costs nothing while idle). A
// transfer's submitter waits for its completion on a kernel event, so its
// time-out runs on the installed clock.
#pragma once

struct libusb_context;

namespace plat::usb {

class LibusbContext {
public:
    // Made on first use and kept for the life of the process; null (with a
    // line on the error output, once) when libusb cannot start.
    static LibusbContext* Get();

    libusb_context* Handle() const { return m_context; }

    // Around each transfer: from before it is submitted until its
    // completion callback (or a failed submission).
    void TransferStarted();
    void TransferEnded();

private:
    explicit LibusbContext(libusb_context* context);
    void Run();

    libusb_context* m_context;
    struct State;
    State* m_state;
};

} // namespace plat::usb
