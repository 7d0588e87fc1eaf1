#include "halservice/scanner/ScannerWrap.h"

#include "halservice/USBDevice.h"
#include "halservice/scanner/testing/ScannerSessionFixture.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace {

using hal::testing::ScannerSessionFixture;

// A session whose control handler records where and how it ran and
// answers through the block's output pointer.
class ProbeSession : public CScannerWrap {
public:
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    std::atomic<DWORD> handlerThread{0};
    // Whether the device was open for the last handler.
    std::atomic<bool> deviceOpen{false};
    std::vector<DWORD> codes; // scanner thread only
    // Runs inside the handler of the request with this code.
    DWORD hookCode = 0;
    std::function<void()> hook;

protected:
    BOOL S_Control() override
    {
        const int now = ++running;
        int seen = maxRunning.load();
        while (now > seen && !maxRunning.compare_exchange_weak(seen, now)) {
        }
        handlerThread = GetCurrentThreadId();
        deviceOpen = m_device && m_device->IsOpen();
        const ControlArgs& args = m_funcArgs.Control;
        codes.push_back(args.lCC);
        if (hook && args.lCC == hookCode)
            hook();
        // The answer goes through the caller's output buffer.
        for (DWORD i = 0; i < args.OutSize && i < args.InSize; ++i)
            args.OutBuffer[i] = static_cast<BYTE>(args.InBuffer[i] + args.lCC);
        --running;
        return TRUE;
    }
};

BOOL SendControl(CScannerWrap& session, DWORD code, BYTE* in, BYTE* out, DWORD size = 1)
{
    FuncArgs args{};
    args.Control.lCC = code;
    args.Control.InSize = size;
    args.Control.InBuffer = in;
    args.Control.OutSize = size;
    args.Control.OutBuffer = out;
    return session.Request(REQ_CONTROL, &args);
}

class ScannerWrapTest : public ScannerSessionFixture {
protected:
    ProbeSession& UseProbe()
    {
        auto probe = std::make_unique<ProbeSession>();
        ProbeSession& ref = *probe;
        m_session = std::move(probe);
        m_session->SetSymbolicName(m_path);
        return ref;
    }
};

TEST_F(ScannerWrapTest, RequestsRunOnTheScannerThreadOneAtATimeAndAnswerThroughTheBlock)
{
    ProbeSession& probe = UseProbe();
    Plug();
    ASSERT_EQ(probe.Initialize(nullptr), 0);
    ASSERT_TRUE(probe.IsOnline());

    constexpr int kCallers = 4;
    constexpr int kRequests = 20;
    std::atomic<int> answered{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < kCallers; ++t) {
        callers.emplace_back([&, t] {
            for (int i = 0; i < kRequests; ++i) {
                BYTE in[4] = {1, 2, 3, static_cast<BYTE>(i)};
                BYTE out[4] = {};
                const DWORD code = static_cast<DWORD>(10 * t + 1);
                if (SendControl(probe, code, in, out, 4) && out[0] == 1 + code && out[3] == BYTE(i + code))
                    ++answered;
            }
        });
    }
    for (std::thread& caller : callers)
        caller.join();

    EXPECT_EQ(answered.load(), kCallers * kRequests);
    EXPECT_EQ(probe.maxRunning.load(), 1);
    EXPECT_EQ(probe.handlerThread.load(), probe.ScannerThreadId());
    EXPECT_NE(probe.handlerThread.load(), GetCurrentThreadId());
}

TEST_F(ScannerWrapTest, RequestWhileOfflineIsRefusedAndLeavesTheBlockAlone)
{
    ProbeSession& probe = UseProbe(); // no scanner plugged in
    EXPECT_EQ(probe.Initialize(nullptr), -1);
    EXPECT_EQ(probe.ScannerThreadId(), 0u);

    BYTE in[1] = {5};
    BYTE out[1] = {0};
    EXPECT_FALSE(SendControl(probe, 1, in, out, 1));
    EXPECT_EQ(out[0], 0);
    EXPECT_TRUE(probe.codes.empty());
}

LRESULT NestedCallProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct NestedCall {
    ProbeSession* session = nullptr;
    HANDLE started = nullptr;
    bool outerReturned = false;
    bool ranInsideOuter = false;
    BOOL result = FALSE;
    BYTE out[1] = {};
};
NestedCall* g_nested = nullptr;
constexpr UINT kNestedMessage = WM_USER + 7;

LRESULT NestedCallProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kNestedMessage)
        return DefWindowProcW(window, message, wParam, lParam);
    g_nested->ranInsideOuter = !g_nested->outerReturned;
    SetEvent(g_nested->started);
    BYTE in[1] = {40};
    g_nested->result = SendControl(*g_nested->session, 2, in, g_nested->out);
    return 0;
}

TEST_F(ScannerWrapTest, CallDispatchedInsideAWaitingRequestQueuesBehindIt)
{
    ProbeSession& probe = UseProbe();
    Plug();
    ASSERT_EQ(probe.Initialize(nullptr), 0);

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = NestedCallProc;
    windowClass.lpszClassName = u"NestedRequestTest";
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    HWND window = CreateWindowExW(0, u"NestedRequestTest", u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);

    NestedCall nested;
    nested.session = &probe;
    nested.started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_nested = &nested;

    // The outer request's handler has the second call dispatched on the
    // caller's thread and waits until that call has begun.
    probe.hookCode = 1;
    probe.hook = [&] {
        PostMessageW(window, kNestedMessage, 0, 0);
        WaitForSingleObject(nested.started, INFINITE);
    };
    BYTE in[1] = {20};
    BYTE out[1] = {};
    const BOOL outer = SendControl(probe, 1, in, out, 1);
    nested.outerReturned = true;

    EXPECT_TRUE(outer);
    EXPECT_TRUE(nested.ranInsideOuter);
    EXPECT_TRUE(nested.result);
    EXPECT_EQ(out[0], 21);
    EXPECT_EQ(nested.out[0], 42);
    EXPECT_EQ(probe.codes, (std::vector<DWORD>{1, 2}));

    g_nested = nullptr;
    CloseHandle(nested.started);
    DestroyWindow(window);
    UnregisterClassW(u"NestedRequestTest", nullptr);
}

std::atomic<int> g_countedMessages{0};
constexpr UINT kCountedMessage = WM_USER + 8;

LRESULT CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kCountedMessage)
        return DefWindowProcW(window, message, wParam, lParam);
    ++g_countedMessages;
    return 0;
}

TEST_F(ScannerWrapTest, ThreadStopGivesUpAfterItsTimeOutEvenWhileMessagesKeepArriving)
{
    ProbeSession& probe = UseProbe();
    Plug();
    ASSERT_EQ(probe.Initialize(nullptr), 0);

    // The scanner thread hangs in a handler.
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> inHandler{false};
    probe.hookCode = 5;
    probe.hook = [&] {
        inHandler = true;
        WaitForSingleObject(release, INFINITE);
    };
    // The hung handler answers into these after its caller has given up
    // and ended, so they outlive the caller.
    BYTE in[1] = {};
    BYTE out[1] = {};
    std::thread caller([&] { SendControl(probe, 5, in, out); });
    WaitUntil([&] { return inHandler.load(); });

    // Another thread leaves the session; its wait for the scanner thread
    // dispatches the messages sent to its window.
    g_countedMessages = 0;
    std::atomic<HWND> window{nullptr};
    std::atomic<DWORD> stopperId{0};
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = CountingProc;
        windowClass.lpszClassName = u"ThreadStopTimeOutTest";
        RegisterClassW(&windowClass);
        window =
            CreateWindowExW(0, u"ThreadStopTimeOutTest", u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        stopperId = GetCurrentThreadId();
        probe.UnInitialize(nullptr);
        stopped = true;
        DestroyWindow(window);
        UnregisterClassW(u"ThreadStopTimeOutTest", nullptr);
    });
    WaitUntil([&] { return stopperId.load() != 0; });
    ASSERT_NE(window.load(), nullptr);
    ASSERT_TRUE(m_clock->WaitForThreadBlocked(stopperId));

    // A message part-way through the wait does not start the time-out again.
    const DWORD step = CScannerWrap::kThreadStopTimeoutMs / 2 + 1000;
    m_clock->Advance(step);
    PostMessageW(window, kCountedMessage, 0, 0);
    WaitUntil([&] { return g_countedMessages.load() == 1; });
    ASSERT_TRUE(m_clock->WaitForThreadBlocked(stopperId));
    EXPECT_FALSE(stopped.load());
    m_clock->Advance(step);
    WaitUntil([&] { return stopped.load(); });

    // The abandoned thread finishes its handler and ends before the session goes.
    SetEvent(release);
    caller.join();
    stopper.join();
    WaitUntil([&] { return probe.ScannerThreadId() == 0; });
    CloseHandle(release);
}

TEST_F(ScannerWrapTest, ClientsShareOneThreadAndTheLastToLeaveStopsIt)
{
    Plug();
    CScannerClient first;
    CScannerClient second;
    m_session->AddClient(&first);
    m_session->AddClient(&second);

    ASSERT_EQ(m_session->Initialize(&first), 0);
    const DWORD thread = m_session->ScannerThreadId();
    ASSERT_NE(thread, 0u);
    EXPECT_EQ(m_session->Initialize(&second), 0);
    EXPECT_EQ(m_session->Initialize(&second), 0); // joined already: counts once
    EXPECT_EQ(m_session->ScannerThreadId(), thread);
    EXPECT_EQ(m_session->ClientCount(), 2u);

    m_session->UnInitialize(&first);
    EXPECT_TRUE(m_session->IsOnline());
    m_session->UnInitialize(&first); // not joined any more: no effect
    EXPECT_EQ(m_session->ClientCount(), 1u);
    EXPECT_TRUE(m_session->IsOnline());

    // Leaving with no client stops the thread even while a client remains.
    m_session->UnInitialize(nullptr);
    EXPECT_FALSE(m_session->IsOnline());
    EXPECT_EQ(m_session->ScannerThreadId(), 0u);

    // Removing a joined client leaves the session for it.
    EXPECT_EQ(m_session->Initialize(&first), 0);
    m_session->RemoveClient(&first);
    EXPECT_EQ(first.m_joined, 0);
    m_session->RemoveClient(&second);
}

TEST_F(ScannerWrapTest, LockBelongsToOneLiveProcessAndIsTakenOverFromADeadOne)
{
    Plug();
    CScannerClient holder;
    CScannerClient other;
    m_session->AddClient(&holder);
    m_session->AddClient(&other);
    ASSERT_EQ(m_session->Initialize(&holder), 0);
    ASSERT_EQ(m_session->Initialize(&other), 0);

    holder.m_lockOwnerPid = GetCurrentProcessId();
    other.m_lockOwnerPid = static_cast<DWORD>(getppid()); // another live process
    EXPECT_EQ(m_session->LockHolderProcess(), 0u);
    EXPECT_TRUE(m_session->LockScanner(&holder));
    EXPECT_TRUE(m_session->LockScanner(&holder)); // the holder again
    EXPECT_TRUE(m_session->IsLocked());
    EXPECT_FALSE(m_session->LockScanner(&other));
    EXPECT_EQ(holder.m_holdsLock, 1);
    EXPECT_EQ(other.m_holdsLock, 0);
    EXPECT_EQ(m_session->LockHolderProcess(), GetCurrentProcessId());

    // The holder's process has ended without unlocking.
    holder.m_lockOwnerPid = DeadProcessId();
    EXPECT_TRUE(m_session->LockScanner(&other));
    EXPECT_EQ(holder.m_holdsLock, 0);
    EXPECT_EQ(other.m_holdsLock, 1);
    EXPECT_EQ(m_session->LockHolderProcess(), other.m_lockOwnerPid);

    // Unlocking by a client that does not hold the lock changes nothing.
    m_session->UnLockScanner(&holder);
    EXPECT_TRUE(m_session->IsLocked());
    m_session->UnLockScanner(&other);
    EXPECT_FALSE(m_session->IsLocked());
    EXPECT_EQ(m_session->LockHolderProcess(), 0u);

    // Removing the holder gives up its lock.
    EXPECT_TRUE(m_session->LockScanner(&holder));
    m_session->RemoveClient(&holder);
    EXPECT_FALSE(m_session->IsLocked());
    m_session->RemoveClient(&other);
}

// The lock is the session's, not its thread's: it stays with its holder
// while the scanner is pulled out and plugged in again (the thread ends and
// a new one starts), the new device is opened for the holder, no key is
// polled meanwhile, and another client is still refused.
TEST_F(ScannerWrapTest, TheLockOutlivesARemovalAndArrivalOfTheScanner)
{
    ProbeSession& probe = UseProbe();
    Plug();
    CScannerClient holder;
    CScannerClient other;
    holder.m_lockOwnerPid = GetCurrentProcessId();
    other.m_lockOwnerPid = GetCurrentProcessId();
    probe.AddClient(&holder);
    probe.AddClient(&other);
    ASSERT_EQ(probe.Initialize(&holder), 0);
    ASSERT_EQ(probe.Initialize(&other), 0);
    ASSERT_TRUE(probe.LockScanner(&holder));
    BYTE in[1] = {1};
    BYTE out[1] = {};
    ASSERT_TRUE(SendControl(probe, 1, in, out));
    EXPECT_TRUE(probe.deviceOpen.load());

    // Removed: the thread ends, the lock stays, requests are refused.
    plat::usb::DetachInProcessDevice(m_path);
    m_attached = false;
    probe.OnDeviceChange(0);
    EXPECT_FALSE(probe.IsOnline());
    EXPECT_EQ(probe.ScannerThreadId(), 0u);
    EXPECT_TRUE(probe.IsLocked());
    EXPECT_EQ(holder.m_holdsLock, 1);
    EXPECT_FALSE(SendControl(probe, 2, in, out));
    EXPECT_FALSE(probe.LockScanner(&other));

    // Back: a new thread opens the new device for the holder.
    Plug();
    probe.OnDeviceChange(1);
    ASSERT_TRUE(probe.IsOnline());
    EXPECT_TRUE(probe.IsLocked());
    EXPECT_FALSE(probe.LockScanner(&other));
    probe.deviceOpen = false;
    EXPECT_TRUE(SendControl(probe, 3, in, out));
    EXPECT_TRUE(probe.deviceOpen.load());
    EXPECT_EQ(probe.codes, (std::vector<DWORD>{1, 3}));

    // Still locked: the idle thread polls no keys.
    QueueKeys({{emulator::PanelKey::Simplex, emulator::KeyAction::Press},
               {emulator::PanelKey::Simplex, emulator::KeyAction::Release}});
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(m_clock->WaitForThreadBlocked(probe.ScannerThreadId()));
        m_clock->Advance(CScannerWrap::kPollIntervalMs);
    }
    EXPECT_TRUE(SendControl(probe, 4, in, out));
    EXPECT_EQ(probe.PollCount(), 0u);

    // Unlocked, the device is closed again and the other client may lock.
    probe.UnLockScanner(&holder);
    EXPECT_TRUE(SendControl(probe, 5, in, out));
    EXPECT_FALSE(probe.deviceOpen.load());
    EXPECT_TRUE(probe.LockScanner(&other));
    probe.RemoveClient(&holder);
    probe.RemoveClient(&other);
}

// The emulator behind a gate: while it is closed a command waits there, on
// the scanner thread, as behind a scanner slow to answer.
class GatedBackend : public hal::testing::EmulatorBackend {
public:
    using EmulatorBackend::EmulatorBackend;

    plat::usb::UsbResult BulkOut(const std::uint8_t* data, std::size_t size) override
    {
        {
            std::unique_lock lock(m_mutex);
            m_waiting = !m_open;
            m_changed.wait(lock, [&] { return m_open; });
            m_waiting = false;
        }
        return EmulatorBackend::BulkOut(data, size);
    }
    void SetOpen(bool open)
    {
        std::lock_guard lock(m_mutex);
        m_open = open;
        m_changed.notify_all();
    }
    bool Waiting()
    {
        std::lock_guard lock(m_mutex);
        return m_waiting;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = true;
    bool m_waiting = false;
};

// A request and the exit event, both signalled while the scanner thread is
// busy (here in a key poll): the thread runs the request before it ends.
TEST_F(ScannerWrapTest, ARequestSignalledWithTheExitRunsBeforeTheThreadEnds)
{
    ProbeSession& probe = UseProbe();
    m_scanner = std::make_shared<emulator::EmulatedScanner>();
    auto gated = std::make_shared<GatedBackend>(m_scanner);
    plat::usb::AttachInProcessDevice(m_path, gated);
    m_attached = true;
    ASSERT_EQ(probe.Initialize(nullptr), 0);
    RunPoll(); // the first poll after the start

    // The next poll stops at the gate.
    gated->SetOpen(false);
    WaitUntil([&] { return probe.InIdleWait() && m_clock->IsThreadBlocked(probe.ScannerThreadId()); });
    m_clock->Advance(CScannerWrap::kPollIntervalMs);
    WaitUntil([&] { return gated->Waiting(); });

    std::atomic<DWORD> requester{0};
    BOOL ran = FALSE;
    BYTE in[1] = {7};
    BYTE out[1] = {};
    std::thread request([&] {
        requester = GetCurrentThreadId();
        ran = SendControl(probe, 7, in, out);
    });
    WaitUntil([&] { return requester.load() != 0; });
    ASSERT_TRUE(m_clock->WaitForThreadBlocked(requester));
    std::atomic<DWORD> stopper{0};
    std::thread stop([&] {
        stopper = GetCurrentThreadId();
        probe.UnInitialize(nullptr);
    });
    WaitUntil([&] { return stopper.load() != 0; });
    ASSERT_TRUE(m_clock->WaitForThreadBlocked(stopper));

    gated->SetOpen(true);
    stop.join();
    request.join();
    EXPECT_TRUE(ran);
    EXPECT_EQ(out[0], 14);
    EXPECT_EQ(probe.codes, (std::vector<DWORD>{7}));
    EXPECT_EQ(probe.ScannerThreadId(), 0u);
}

TEST_F(ScannerWrapTest, NoKeyPollingWhileLockedAndTheFirstPollAfterwardsDropsWhatPiledUp)
{
    Plug();
    CScannerClient client;
    client.m_lockOwnerPid = GetCurrentProcessId();
    m_session->AddClient(&client);
    ASSERT_EQ(m_session->Initialize(&client), 0);
    RunPoll(); // the first poll after the start only drains

    ASSERT_TRUE(m_session->LockScanner(&client));
    QueueKeys({{emulator::PanelKey::Simplex, emulator::KeyAction::Press},
               {emulator::PanelKey::Simplex, emulator::KeyAction::Release}});
    const unsigned polls = m_session->PollCount();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(m_clock->WaitForThreadBlocked(m_session->ScannerThreadId()));
        m_clock->Advance(CScannerWrap::kPollIntervalMs);
    }
    // A request runs only on the scanner thread, after any poll it was in.
    FuncArgs args{};
    args.OpenDevice.Open = 1;
    ASSERT_TRUE(m_session->Request(REQ_OPEN_DEVICE, &args));
    EXPECT_EQ(m_session->PollCount(), polls);

    m_session->UnLockScanner(&client);
    RunPoll();
    EXPECT_TRUE(m_session->PeekButtonEvents().empty());

    // Afterwards keys come through again.
    QueueKeys(
        {{emulator::PanelKey::Up, emulator::KeyAction::Press}, {emulator::PanelKey::Up, emulator::KeyAction::Release}});
    RunPoll();
    ASSERT_EQ(m_session->PeekButtonEvents().size(), 1u);
    m_session->RemoveClient(&client);
}

TEST_F(ScannerWrapTest, ScannerOfTheSecondModelIsNeverPolledForKeys)
{
    plat::devices::DeviceRecord record;
    ASSERT_TRUE(plat::devices::AddDevice({0x0ABC, 0x0DF0, u"EMU2", u"Scanner", u"Maker"}, &record));
    m_path = record.interfacePath;
    ProbeSession& probe = UseProbe();
    emulator::ScannerConfig config;
    config.productId = 0x0DF0;
    Plug(config);
    ASSERT_EQ(probe.Initialize(nullptr), 0);

    QueueKeys({{emulator::PanelKey::Simplex, emulator::KeyAction::Press},
               {emulator::PanelKey::Simplex, emulator::KeyAction::Release}});
    WaitUntil([&] { return probe.InIdleWait() && m_clock->IsThreadBlocked(probe.ScannerThreadId()); });
    m_clock->Advance(10 * CScannerWrap::kPollIntervalMs);
    BYTE in[1] = {1};
    BYTE out[1] = {};
    EXPECT_TRUE(SendControl(probe, 1, in, out));
    EXPECT_EQ(probe.PollCount(), 0u);
    EXPECT_TRUE(probe.PeekButtonEvents().empty());
}

// A session whose control codes run the readiness and buffer waits on the
// scanner thread: 1 WaitScannerReady, 2 WaitForDataBuffer; the result and
// count go to the output buffer.
class WaitingSession : public CScannerWrap {
public:
    DWORD timeoutMs = 40000;

protected:
    BOOL S_Control() override
    {
        ControlArgs& args = m_funcArgs.Control;
        DWORD* out = reinterpret_cast<DWORD*>(args.OutBuffer);
        if (args.lCC == 1)
            out[0] = WaitScannerReady(timeoutMs);
        else
            out[0] = WaitForDataBuffer(timeoutMs, &out[1]);
        return TRUE;
    }
};

class ScannerWaitsTest : public ScannerWrapTest {
protected:
    WaitingSession& Start(emulator::ScannerConfig config = {})
    {
        auto session = std::make_unique<WaitingSession>();
        WaitingSession& ref = *session;
        m_session = std::move(session);
        m_session->SetSymbolicName(m_path);
        Plug(config);
        m_client.m_lockOwnerPid = GetCurrentProcessId();
        m_session->AddClient(&m_client);
        EXPECT_EQ(m_session->Initialize(&m_client), 0);
        EXPECT_TRUE(m_session->LockScanner(&m_client));
        m_scanner->Log().Clear();
        return ref;
    }
    void TearDown() override
    {
        if (m_session)
            m_session->RemoveClient(&m_client);
        ScannerWrapTest::TearDown();
    }

    // Runs one wait; the clock moves whenever the scanner thread sleeps or
    // waits outside its idle wait. out: result, count.
    void Run(DWORD code, DWORD out[2])
    {
        RunMovingClock(
            [&] {
                BYTE in[8] = {};
                SendControl(*m_session, code, in, reinterpret_cast<BYTE*>(out), 8);
            },
            100);
    }

    CScannerClient m_client;
};

TEST_F(ScannerWaitsTest, ScannerReadyAfterBecomingReadyButNotWithTheCoverOpen)
{
    emulator::ScannerConfig config;
    config.becomingReadyCount = 2;
    Start(config);
    DWORD out[2] = {};
    Run(1, out);
    EXPECT_EQ(out[0], static_cast<DWORD>(TRUE));
    // Not-ready answers are asked again at once; then the window is cleared.
    EXPECT_EQ(CommandCodes(), (std::vector<BYTE>{0x00, 0x03, 0x00, 0x03, 0x00, 0x24}));

    m_scanner->SetCoverOpen(true);
    out[0] = 99;
    Run(1, out);
    EXPECT_EQ(out[0], static_cast<DWORD>(FALSE));
}

TEST_F(ScannerWaitsTest, DataBufferWaitEndsOnAnEmptyFeederFailsWithTheCoverOpenAndOtherwiseTimesOut)
{
    WaitingSession& session = Start();
    DWORD out[2] = {99, 77};
    Run(2, out); // no paper: done, count untouched
    EXPECT_EQ(out[0], static_cast<DWORD>(TRUE));
    EXPECT_EQ(out[1], 77u);

    m_scanner->SetCoverOpen(true);
    Run(2, out);
    EXPECT_EQ(out[0], static_cast<DWORD>(FALSE));
    m_scanner->SetCoverOpen(false);

    // Paper but no scan: nothing is buffered until the time-out.
    m_scanner->LoadSheets(1);
    session.timeoutMs = 1000;
    const DWORD start = GetTickCount();
    out[1] = 0;
    Run(2, out);
    EXPECT_EQ(out[0], static_cast<DWORD>(TRUE));
    EXPECT_EQ(out[1], 0u);
    EXPECT_GE(GetTickCount() - start, 1000u);
}

} // namespace
