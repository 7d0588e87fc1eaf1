#include "halservice/scanner/ScannerWrap.h"

#include "halservice/scanner/testing/ScannerSessionFixture.h"
#include "platform/process/Session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using emulator::KeyAction;
using emulator::PanelKey;
using hal::testing::ButtonCall;
using hal::testing::RecordingButtonSink;
using hal::testing::ScannerSessionFixture;

// Sets the console session for one test.
class ConsoleSession {
public:
    explicit ConsoleSession(const char* value) { setenv(plat::kConsoleSessionVariable, value, 1); }
    ~ConsoleSession()
    {
        unsetenv(plat::kConsoleSessionVariable);
        plat::ClearProcessSessionOverrides();
    }
};

class ScannerButtonsTest : public ScannerSessionFixture {
protected:
    void StartPolling()
    {
        Plug();
        ASSERT_EQ(m_session->Initialize(nullptr), 0);
        RunPoll(); // the first poll after the start only drains
    }

    std::vector<ButtonCall> Queued()
    {
        std::vector<ButtonCall> calls;
        for (const ButtonEventRecord& record : m_session->PeekButtonEvents())
            calls.push_back({record.szName, record.lPressType, record.lFuncNumber});
        return calls;
    }
};

TEST_F(ScannerButtonsTest, KeyEventsBecomeShortAndLongPresses)
{
    struct Case {
        const char* what;
        std::vector<std::pair<PanelKey, KeyAction>> keys;
        std::vector<ButtonCall> expected;
    };
    const std::vector<Case> cases = {
        {"short SIMPLEX",
         {{PanelKey::Simplex, KeyAction::Press}, {PanelKey::Simplex, KeyAction::Release}},
         {{u"SIMPLEX", 0, 1}}},
        {"long DUPLEX: sent while held, nothing on release",
         {{PanelKey::Duplex, KeyAction::Press},
          {PanelKey::Duplex, KeyAction::Held},
          {PanelKey::Duplex, KeyAction::Release}},
         {{u"DUPLEX", 1, 1}}},
        {"UP repeats while held and still sends a short press",
         {{PanelKey::Up, KeyAction::Press},
          {PanelKey::Up, KeyAction::Held},
          {PanelKey::Up, KeyAction::Held},
          {PanelKey::Up, KeyAction::Release}},
         {{u"UP", 1, 1}, {u"UP", 1, 1}, {u"UP", 0, 1}}},
        {"another key while one is held: nothing for it",
         {{PanelKey::Simplex, KeyAction::Press},
          {PanelKey::Down, KeyAction::Press},
          {PanelKey::Down, KeyAction::Release},
          {PanelKey::Simplex, KeyAction::Release}},
         {{u"SIMPLEX", 0, 1}}},
        {"release and held with no key held: nothing",
         {{PanelKey::Down, KeyAction::Release}, {PanelKey::Down, KeyAction::Held}},
         {}},
        {"a reset drops the rest of the poll and clears the held key",
         {{PanelKey::Down, KeyAction::Press},
          {PanelKey::Up, KeyAction::Reset},
          {PanelKey::Down, KeyAction::Release},
          {PanelKey::Simplex, KeyAction::Press},
          {PanelKey::Simplex, KeyAction::Release}},
         {}},
    };

    StartPolling();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& [key, action] : c.keys)
            m_scanner->QueueKeyEvent(key, action);
        RunPoll();
        EXPECT_EQ(Queued(), c.expected);
        m_session->OnDeviceChange(1); // empties the queue; already on-line, so nothing else
    }

    // After the reset nothing is held: a fresh press and release counts.
    QueueKeys({{PanelKey::Down, KeyAction::Release},
               {PanelKey::Down, KeyAction::Press},
               {PanelKey::Down, KeyAction::Release}});
    RunPoll();
    EXPECT_EQ(Queued(), (std::vector<ButtonCall>{{u"DOWN", 0, 1}}));
}

TEST_F(ScannerButtonsTest, KeyPressReachesOnlySinksOfTheConsoleSessionAndOnlyTheLatestRecordIsSent)
{
    ConsoleSession console("1");
    constexpr DWORD kConsolePid = 0x7FFF0001;
    constexpr DWORD kOtherPid = 0x7FFF0002;
    plat::SetProcessSessionOverride(kConsolePid, 1);
    plat::SetProcessSessionOverride(kOtherPid, 2);

    RecordingButtonSink consoleSink;
    RecordingButtonSink otherSink;
    const LONG consoleId = m_session->AddButtonRecipient(&consoleSink, kConsolePid);
    const LONG otherId = m_session->AddButtonRecipient(&otherSink, kOtherPid);
    EXPECT_EQ(static_cast<DWORD>(consoleId) >> 24, 2u);
    EXPECT_EQ(static_cast<DWORD>(otherId) >> 24, 3u);
    EXPECT_NE(consoleId & 0xFFFFFF, otherId & 0xFFFFFF);

    StartPolling();
    QueueKeys({{PanelKey::Up, KeyAction::Press},
               {PanelKey::Up, KeyAction::Release},
               {PanelKey::Simplex, KeyAction::Press},
               {PanelKey::Simplex, KeyAction::Release}});
    RunPoll();
    ASSERT_EQ(WaitForSingleObject(m_session->GetButtonEvent(), 0), WAIT_OBJECT_0);
    m_session->DispatchButtonEvents();

    EXPECT_EQ(consoleSink.buttons, (std::vector<ButtonCall>{{u"SIMPLEX", 0, 1}}));
    EXPECT_TRUE(otherSink.buttons.empty());
    EXPECT_TRUE(m_session->PeekButtonEvents().empty());

    // With nobody at the console, button events go nowhere.
    setenv(plat::kConsoleSessionVariable, "none", 1);
    m_session->SendButtonEvent(u"UP", 0, 1);
    EXPECT_EQ(consoleSink.buttons.size(), 1u);

    m_session->RemoveButtonRecipient(consoleId);
    m_session->RemoveButtonRecipient(&otherSink);
    EXPECT_EQ(consoleSink.refs, 1u);
    EXPECT_EQ(otherSink.refs, 1u);
}

TEST_F(ScannerButtonsTest, StatusEventsReachEverySinkAndFollowDeviceChanges)
{
    ConsoleSession console("1");
    plat::SetProcessSessionOverride(0x7FFF0003, 2);
    RecordingButtonSink first;
    RecordingButtonSink second;
    m_session->AddButtonRecipient(&first, GetCurrentProcessId());
    m_session->AddButtonRecipient(&second, 0x7FFF0003);

    Plug();
    ASSERT_EQ(m_session->Initialize(nullptr), 0);
    m_session->OnDeviceChange(0);
    EXPECT_FALSE(m_session->IsOnline());
    EXPECT_EQ(m_session->ScannerThreadId(), 0u);
    // An arrival is announced even when the scanner does not come on-line.
    plat::usb::DetachInProcessDevice(m_path);
    m_attached = false;
    m_session->OnDeviceChange(1);
    EXPECT_FALSE(m_session->IsOnline());
    m_session->SendStatusEvent(SCANNER_STATUS_SERVICE_ENDING);

    const std::vector<LONG> expected = {0, 1, -1};
    EXPECT_EQ(first.statuses, expected);
    EXPECT_EQ(second.statuses, expected);
    m_session->RemoveButtonRecipient(&first);
    m_session->RemoveButtonRecipient(&second);
}

// A client whose sink fails or throws: the other clients still get every
// event, and the failing ones stay registered and get the next events too.
class FaultySink : public RecordingButtonSink {
public:
    explicit FaultySink(bool throws) : m_throws(throws) {}
    HRESULT STDMETHODCALLTYPE SendButtonEvent(BSTR szName, LONG lPressType, LONG lFuncNumber) override
    {
        RecordingButtonSink::SendButtonEvent(szName, lPressType, lFuncNumber);
        return Fail();
    }
    HRESULT STDMETHODCALLTYPE SendStatusEvent(LONG lStatus) override
    {
        RecordingButtonSink::SendStatusEvent(lStatus);
        return Fail();
    }

private:
    HRESULT Fail()
    {
        if (m_throws)
            throw std::runtime_error("sink gone wrong");
        return RPC_E_DISCONNECTED;
    }
    bool m_throws;
};

TEST_F(ScannerButtonsTest, SinksThatFailOrThrowKeepNoOneElseFromTheEvents)
{
    ConsoleSession console("1");
    plat::SetProcessSessionOverride(GetCurrentProcessId(), 1);
    FaultySink throwing(true);
    FaultySink failing(false);
    RecordingButtonSink working;
    // In the order of their ids, so that the faulty ones come first.
    for (RecordingButtonSink* sink : std::initializer_list<RecordingButtonSink*>{&throwing, &failing, &working})
        ASSERT_NE(m_session->AddButtonRecipient(sink, GetCurrentProcessId()), -1);

    for (int round = 0; round < 2; ++round) {
        m_session->SendButtonEvent(u"DUPLEX", 1, 1);
        m_session->SendStatusEvent(SCANNER_STATUS_REMOVED);
    }
    const std::vector<ButtonCall> twice = {{u"DUPLEX", 1, 1}, {u"DUPLEX", 1, 1}};
    for (RecordingButtonSink* sink : std::initializer_list<RecordingButtonSink*>{&throwing, &failing, &working}) {
        EXPECT_EQ(sink->buttons, twice);
        EXPECT_EQ(sink->statuses, (std::vector<LONG>{0, 0}));
        m_session->RemoveButtonRecipient(sink);
        EXPECT_EQ(sink->refs, 1u); // every reference taken for a call was given back
    }
}

TEST_F(ScannerButtonsTest, SinkReleasedByItsRegistrarStaysValidWhileItsEntryRemains)
{
    ConsoleSession console("1");
    auto* sink = new RecordingButtonSink;
    const LONG id = m_session->AddButtonRecipient(sink, GetCurrentProcessId());
    ASSERT_NE(id, -1);
    EXPECT_EQ(sink->refs, 2u);
    sink->Release(); // the registering object lets go; the entry keeps it
    m_session->SendStatusEvent(1);
    EXPECT_EQ(sink->statuses, (std::vector<LONG>{1}));
    m_session->RemoveButtonRecipient(id);
    EXPECT_EQ(sink->refs, 0u);
    delete sink;
}

} // namespace
