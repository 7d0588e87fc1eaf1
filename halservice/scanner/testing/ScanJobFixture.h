// Test fixture for scan jobs: a scanner session bound to the in-process
// emulator and locked by one client, with helpers that send configuration
// and production requests the way the COM object does and let the test
// clock run whenever the scanner thread sleeps or waits inside a request.
#pragma once

#include "emulator/PageImage.h"
#include "halservice/scanner/testing/ScanSettings.h"
#include "halservice/scanner/testing/ScannerSessionFixture.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace hal::testing {

struct Geometry {
    DWORD pixelsPerLine = 0;
    DWORD lines = 0;
    DWORD bytesPerLine = 0;
    bool operator==(const Geometry&) const = default;
};

struct Band {
    std::vector<BYTE> bytes;
    LONG level = 0;
    LONG status = 0;
};

// The pages of a job as delivered: each page ends with a band of level 2,
// or 6 for the last.
struct Job {
    std::vector<std::vector<BYTE>> pages;
    std::vector<LONG> levels; // of every band, in order
    std::vector<DWORD> bandSizes;
    LONG lastStatus = 0;
};

class ScanJobFixture : public ScannerSessionFixture {
protected:
    void Start(emulator::ScannerConfig config = {})
    {
        Plug(config);
        m_client.m_lockOwnerPid = GetCurrentProcessId();
        m_session->AddClient(&m_client);
        ASSERT_EQ(m_session->Initialize(&m_client), 0);
        ASSERT_TRUE(m_session->LockScanner(&m_client));
        m_scanner->Log().Clear();
    }
    // A new scanner and a new session, for cases that need the scanner's
    // power-on state.
    void Restart(emulator::ScannerConfig config = {})
    {
        m_session->RemoveClient(&m_client);
        m_session = std::make_unique<CScannerWrap>();
        m_session->SetSymbolicName(m_path);
        plat::usb::DetachInProcessDevice(m_path);
        m_client = CScannerClient{};
        m_advanceTransferWaits = false;
        Start(config);
    }
    void TearDown() override
    {
        if (m_session)
            m_session->RemoveClient(&m_client);
        ScannerSessionFixture::TearDown();
    }

    // Set for a command that the scanner never answers: the clock then also
    // moves while the scanner thread waits for the transfer thread, whose
    // wait has the transfer time-out.
    bool m_advanceTransferWaits = false;

    // Hands the request over from another thread while this one moves the
    // test clock on whenever the scanner thread is blocked outside its idle
    // wait: sleeping between buffer queries, or waiting for readiness.
    void Run(HALRequestType type, const FuncArgs& args)
    {
        std::atomic<bool> done{false};
        std::thread caller([&] {
            EXPECT_TRUE(m_session->Request(type, &args));
            done = true;
        });
        const DWORD thread = m_session->ScannerThreadId();
        while (!done) {
            const bool waiting =
                m_clock->IsThreadBlocked(thread) || (m_advanceTransferWaits && m_clock->SleeperCount() > 0);
            if (waiting && !m_session->InIdleWait())
                m_clock->Advance(500);
            else
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        caller.join();
    }

    // The geometry answered back; the status (0 as the caller sets it) is
    // kept in m_configStatus.
    Geometry Configure(const ConfigScanArgs& settings)
    {
        Geometry g{0xDEAD, 0xDEAD, 0xDEAD};
        m_configStatus = 0;
        FuncArgs args{};
        args.ConfigScan = settings;
        args.ConfigScan.Status = &m_configStatus;
        args.ConfigScan.PixelsPerLine = &g.pixelsPerLine;
        args.ConfigScan.Lines = &g.lines;
        args.ConfigScan.BytesPerLine = &g.bytesPerLine;
        Run(REQ_CONFIG_SCAN, args);
        return g;
    }

    Band Produce(DWORD bufferSize)
    {
        // Guard bytes after the buffer show a band that overruns it.
        std::vector<BYTE> buffer(bufferSize + 64, 0xA5);
        DWORD written = 0;
        Band band;
        FuncArgs args{};
        args.Produce.BufferSize = bufferSize;
        args.Produce.Buffer = buffer.data();
        args.Produce.BytesWritten = &written;
        args.Produce.PayloadLevel = &band.level;
        args.Produce.PayloadStatus = &band.status;
        Run(REQ_PRODUCE, args);
        EXPECT_LE(written, bufferSize);
        for (size_t i = bufferSize; i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], 0xA5) << "written past the buffer";
        band.bytes.assign(buffer.begin(), buffer.begin() + std::min(written, bufferSize));
        return band;
    }

    // Produces bands until the job ends (level 6) or a band fails.
    Job ProduceJob(DWORD bufferSize, size_t maxBands = 2000)
    {
        Job job;
        std::vector<BYTE> page;
        for (size_t i = 0; i < maxBands; ++i) {
            Band band = Produce(bufferSize);
            job.levels.push_back(band.level);
            job.bandSizes.push_back(static_cast<DWORD>(band.bytes.size()));
            page.insert(page.end(), band.bytes.begin(), band.bytes.end());
            if (band.status != 0) {
                job.lastStatus = band.status;
                return job;
            }
            if (band.level == 2 || band.level == 6) {
                job.pages.push_back(std::move(page));
                page.clear();
            }
            if (band.level == 6)
                return job;
        }
        ADD_FAILURE() << "the job did not end";
        return job;
    }

    // The bytes the scanner makes of one page for a window (of the window's
    // lines, unless the page follows a longer sheet).
    static std::vector<BYTE> ExpectedPage(const emulator::ScanWindow& window, std::uint32_t page, std::uint32_t side,
                                          std::uint32_t lines = 0)
    {
        emulator::PageImage image(window, page, side, lines ? lines : window.Lines(), nullptr);
        std::vector<BYTE> bytes(static_cast<size_t>(image.Size()));
        image.Read(0, bytes.size(), bytes.data());
        return bytes;
    }

    CScannerClient m_client;
    LONG m_configStatus = 0;
};

} // namespace hal::testing
