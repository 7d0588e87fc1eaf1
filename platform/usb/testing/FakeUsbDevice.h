// A scripted device for transport tests: answer chunks queued by the test
// (or produced by a reply rule when the host writes), and switches for a
// stalled IN pipe and an unplugged device.
#pragma once

#include "platform/usb/UsbBackend.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace plat::usb::testing {

class FakeUsbDevice : public UsbBackend {
public:
    using Bytes = std::vector<std::uint8_t>;

    void QueueChunk(Bytes chunk)
    {
        std::lock_guard lock(m_mutex);
        m_chunks.push_back(std::move(chunk));
    }
    // Called with every host write; its result (if not empty) is queued as
    // the answer chunk.
    void SetReplyRule(std::function<Bytes(const Bytes&)> rule)
    {
        std::lock_guard lock(m_mutex);
        m_rule = std::move(rule);
    }
    void SetStalled(bool stalled)
    {
        std::lock_guard lock(m_mutex);
        m_stalled = stalled;
    }
    void SetConnected(bool connected)
    {
        std::lock_guard lock(m_mutex);
        m_connected = connected;
    }
    std::vector<Bytes> Written()
    {
        std::lock_guard lock(m_mutex);
        return m_written;
    }
    int Resets(DWORD pipe)
    {
        std::lock_guard lock(m_mutex);
        return static_cast<int>(std::count(m_resets.begin(), m_resets.end(), pipe));
    }

    UsbResult BulkOut(const std::uint8_t* data, std::size_t size) override
    {
        std::lock_guard lock(m_mutex);
        if (!m_connected)
            return {UsbStatus::Disconnected, 0};
        Bytes bytes(data, data + size);
        m_written.push_back(bytes);
        if (m_rule) {
            Bytes answer = m_rule(bytes);
            if (!answer.empty())
                m_chunks.push_back(std::move(answer));
        }
        return {UsbStatus::Ok, size};
    }

    // The reads asked of the device so far, answered or not.
    int Reads()
    {
        std::lock_guard lock(m_mutex);
        return m_reads;
    }

    UsbResult BulkIn(std::uint8_t* buffer, std::size_t max) override
    {
        std::lock_guard lock(m_mutex);
        ++m_reads;
        if (!m_connected)
            return {UsbStatus::Disconnected, 0};
        if (m_stalled)
            return {UsbStatus::Stalled, 0};
        if (m_chunks.empty())
            return {UsbStatus::NoResponse, 0};
        Bytes& chunk = m_chunks.front();
        const std::size_t n = std::min(max, chunk.size() - m_offset);
        std::memcpy(buffer, chunk.data() + m_offset, n);
        m_offset += n;
        if (m_offset == chunk.size()) {
            m_chunks.pop_front();
            m_offset = 0;
        }
        return {UsbStatus::Ok, n};
    }

    bool ResetPipe(DWORD pipe) override
    {
        std::lock_guard lock(m_mutex);
        m_resets.push_back(pipe);
        if (pipe == kPipeBulkIn)
            m_stalled = false;
        return m_connected;
    }

    bool CancelPipe(DWORD) override
    {
        std::lock_guard lock(m_mutex);
        return m_connected;
    }

private:
    std::mutex m_mutex;
    std::deque<Bytes> m_chunks;
    std::size_t m_offset = 0;
    int m_reads = 0;
    std::function<Bytes(const Bytes&)> m_rule;
    bool m_stalled = false;
    bool m_connected = true;
    std::vector<Bytes> m_written;
    std::vector<DWORD> m_resets;
};

} // namespace plat::usb::testing
