#include "platform/usb/LibusbContext.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include <libusb-1.0/libusb.h>

namespace plat::usb {

struct LibusbContext::State {
    std::mutex mutex;
    std::condition_variable work;
    int inFlight = 0;
};

LibusbContext* LibusbContext::Get()
{
    // Never destroyed: the thread may still run when the process ends.
    static LibusbContext* context = []() -> LibusbContext* {
        libusb_context* handle = nullptr;
        const int result = libusb_init(&handle);
        if (result != LIBUSB_SUCCESS) {
            std::fprintf(stderr, "USB: libusb cannot start: %s\n", libusb_strerror(result));
            return nullptr;
        }
        auto* made = new LibusbContext(handle);
        std::thread(&LibusbContext::Run, made).detach();
        return made;
    }();
    return context;
}

LibusbContext::LibusbContext(libusb_context* context) : m_context(context), m_state(new State) {}

void LibusbContext::TransferStarted()
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->inFlight++ == 0)
        m_state->work.notify_one();
}

void LibusbContext::TransferEnded()
{
    std::lock_guard lock(m_state->mutex);
    --m_state->inFlight;
}

void LibusbContext::Run()
{
    for (;;) {
        {
            std::unique_lock lock(m_state->mutex);
            m_state->work.wait(lock, [&] { return m_state->inFlight > 0; });
        }
        // Completions come through the device's descriptor; the time-out only
        // bounds how long a stray wake-up goes unnoticed.
        timeval limit{1, 0};
        libusb_handle_events_timeout_completed(m_context, &limit, nullptr);
    }
}

} // namespace plat::usb
