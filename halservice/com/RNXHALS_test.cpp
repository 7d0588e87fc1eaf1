#include "halservice/com/RNXHALS.h"

#include "diag/RecordingLogSink.h"
#include "halservice/com/HALClasses.h"
#include "halservice/com/HALProcessLock.h"
#include "halservice/scanner/testing/ScannerSessionFixture.h"
#include "platform/rpc/CallContext.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

using hal::testing::RecordingButtonSink;
using hal::testing::ScannerSessionFixture;

constexpr BYTE kOpInquiry = 0x12;
constexpr BYTE kOpRequestSense = 0x03;

// Holds one reference to an IRNXHALS object.
class HalObject {
public:
    HalObject() = default;
    ~HalObject() { Reset(); }
    HalObject(const HalObject&) = delete;
    HalObject& operator=(const HalObject&) = delete;
    IRNXHALS* operator->() const { return m_object; }
    IRNXHALS* Get() const { return m_object; }
    IRNXHALS** Out() { return &m_object; }
    void Reset()
    {
        if (m_object)
            m_object->Release();
        m_object = nullptr;
    }

private:
    IRNXHALS* m_object = nullptr;
};

class RNXHALSTest : public ScannerSessionFixture {
protected:
    void TearDown() override
    {
        for (HalObject& object : m_objects)
            object.Reset();
        ScannerSessionFixture::TearDown();
    }

    IRNXHALS* NewObject(int slot = 3)
    {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(GetHALClassObject(slot, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        if (!factory)
            return nullptr;
        HalObject& object = m_objects.emplace_back();
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IRNXHALS, reinterpret_cast<void**>(object.Out())), S_OK);
        factory->Release();
        return object.Get();
    }

    // Joins and takes the lock, so the device is open for commands.
    IRNXHALS* ReadyObject()
    {
        IRNXHALS* object = NewObject();
        LONG status = 99;
        EXPECT_EQ(object->Initialize(&status), S_OK);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(object->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
        EXPECT_EQ(status, 0);
        return object;
    }

    size_t CommandsSent()
    {
        size_t count = 0;
        for (const auto& entry : m_scanner->Log().Entries()) {
            if (entry.kind == emulator::PacketLogEntry::Kind::Out && entry.what == "command")
                ++count;
        }
        return count;
    }

    std::deque<HalObject> m_objects;
};

TEST_F(RNXHALSTest, ClassObjectMakesObjectsThatOnlyAnswerIRNXHALSAndCannotBeAggregated)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(GetHALClassObject(7, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    void* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IUnknown, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);

    const LONG locks = HALProcessLockCount();
    IRNXHALS* hal = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IRNXHALS, reinterpret_cast<void**>(&hal)), S_OK);
    EXPECT_EQ(HALProcessLockCount(), locks + 1);
    void* other = nullptr;
    EXPECT_EQ(hal->QueryInterface(IID_IRNXButton, &other), E_NOINTERFACE);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(hal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    unknown->Release();
    hal->Release();
    EXPECT_EQ(HALProcessLockCount(), locks);

    factory->LockServer(TRUE);
    EXPECT_EQ(HALProcessLockCount(), locks + 1);
    factory->LockServer(FALSE);
    factory->Release();

    EXPECT_EQ(GetHALClassObject(10, IID_IClassFactory, reinterpret_cast<void**>(&factory)), E_INVALIDARG);
}

TEST_F(RNXHALSTest, NullPointersAreRefusedWithEPointer)
{
    Plug();
    IRNXHALS* hal = NewObject();
    RecordingButtonSink sink;
    LONG value = 0;
    BYTE cdb[6] = {0x00};
    VARIANT variant{};
    BSTR text = nullptr;

    struct Case {
        const char* what;
        HRESULT hr;
    };
    const Case cases[] = {
        {"Initialize", hal->Initialize(nullptr)},
        {"LockScanner", hal->LockScanner(1, nullptr)},
        {"DoSCSICmd status", hal->DoSCSICmd(6, cdb, 0, nullptr, 0, nullptr)},
        {"Register sink", hal->Register(nullptr, 1, &value)},
        {"Register id", hal->Register(&sink, 1, nullptr)},
        {"Control sink", hal->Control(0, nullptr, &variant, &variant)},
        {"Control in", hal->Control(0, &sink, nullptr, &variant)},
        {"Control out", hal->Control(0, &sink, &variant, nullptr)},
        {"Control2 xml", hal->Control2(0, nullptr, &variant, &variant)},
        {"Control2 in", hal->Control2(0, &text, nullptr, &variant)},
        {"Control2 out", hal->Control2(0, &text, &variant, nullptr)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.hr, E_POINTER) << c.what;
    // Nothing joined, locked or registered on the way.
    EXPECT_EQ(m_session->ClientCount(), 0u);
    EXPECT_FALSE(m_session->IsLocked());
    EXPECT_EQ(sink.refs, 1u);
    // Control never reaches the scanner.
    EXPECT_EQ(hal->Control(0, &sink, &variant, &variant), S_OK);
}

TEST_F(RNXHALSTest, DoSCSICmdPassesTheCommandThroughAndAnswersSenseAfterAFailureFromTheCache)
{
    Plug();
    IRNXHALS* hal = ReadyObject();

    BYTE inquiry[6] = {kOpInquiry, 0, 0, 0, 36, 0};
    BYTE data[36] = {};
    LONG status = 99;
    ASSERT_EQ(hal->DoSCSICmd(6, inquiry, 36, data, 1, &status), S_OK);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 8), 8), "QUILLBOX");

    BYTE unknown[6] = {0xFF, 0, 0, 0, 0, 0};
    ASSERT_EQ(hal->DoSCSICmd(6, unknown, 0, nullptr, 0, &status), S_OK);
    EXPECT_EQ(status, -1);

    const size_t sent = CommandsSent();
    BYTE requestSense[6] = {kOpRequestSense, 0, 0, 0, 18, 0};
    BYTE sense[18] = {};
    status = 99;
    ASSERT_EQ(hal->DoSCSICmd(6, requestSense, 18, sense, 1, &status), S_OK);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(CommandsSent(), sent);
    EXPECT_EQ(sense[0], 0x70);
    EXPECT_EQ(sense[2] & 0x0F, 0x05); // illegal request

    // A second REQUEST SENSE goes to the scanner.
    ASSERT_EQ(hal->DoSCSICmd(6, requestSense, 18, sense, 1, &status), S_OK);
    EXPECT_EQ(CommandsSent(), sent + 1);

    // Negative sizes never reach the transport.
    EXPECT_EQ(hal->DoSCSICmd(-1, inquiry, 36, data, 1, &status), E_INVALIDARG);
    EXPECT_EQ(hal->DoSCSICmd(6, inquiry, -36, data, 1, &status), E_INVALIDARG);
}

TEST_F(RNXHALSTest, TraceLinesOfLockAndPassThroughCommand)
{
    Plug();
    IRNXHALS* hal = ReadyObject();
    RecordingLogSink sink;
    auto* object = static_cast<CRNXHALS*>(hal);
    object->SetLogInterface(&sink);
    sink.RegisterLogName(u"QBK24 Module Interface")->store(LOG_TRACE);
    sink.RegisterLogName(u"QBK24 Module Interface.Data")->store(LOG_TRACE);

    LONG status = 99;
    ASSERT_EQ(hal->LockScanner(0x1234, &status), S_OK);
    BYTE inquiry[6] = {kOpInquiry, 0, 0, 0, 4, 0};
    BYTE data[4] = {};
    ASSERT_EQ(hal->DoSCSICmd(6, inquiry, 4, data, 1, &status), S_OK);

    sink.RegisterLogName(u"QBK24 Module Interface")->store(0);
    sink.RegisterLogName(u"QBK24 Module Interface.Data")->store(0);
    object->SetLogInterface(nullptr);

    std::vector<std::pair<std::u16string, std::u16string>> lines;
    for (const LogRecord& record : sink.records)
        lines.emplace_back(record.logName, record.text);
    const std::u16string main = u"QBK24 Module Interface";
    const std::u16string dataName = u"QBK24 Module Interface.Data";
    const std::vector<std::pair<std::u16string, std::u16string>> expected = {
        {main, u"LockScanner Entered"},
        {dataName, u"LockScanner Params: PID = 0x00001234"},
        {main, u"LockScanner Exit. [0x00000000]"},
        {main, u"DoSCSICmd Entered"},
        {dataName, u"Before Request\nlSizeCDB = 6\npBufCDB: 0x12,0x00,0x00,0x00,0x04,0x00\nlSizeData = 4\n"
                   u"pBufData: 0x00,0x00,0x00,0x00\nlDir = 1\n"},
        {dataName, u"After Request\nlSizeCDB = 6\npBufCDB: 0x12,0x00,0x00,0x00,0x04,0x00\nlSizeData = 4\n"
                   u"pBufData: 0x06,0x00,0x02,0x02\nlDir = 1\n"},
        {main, u"DoSCSICmd Exit. [0x00000000]"},
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(RNXHALSTest, RequestsWithoutAScannerFailTheHandOff)
{
    IRNXHALS* hal = NewObject();
    LONG status = 99;
    ASSERT_EQ(hal->Initialize(&status), S_OK);
    EXPECT_EQ(status, -1);

    BYTE inquiry[6] = {kOpInquiry, 0, 0, 0, 36, 0};
    BYTE data[36] = {};
    status = 99;
    EXPECT_EQ(hal->DoSCSICmd(6, inquiry, 36, data, 1, &status), E_FAIL);
    EXPECT_EQ(status, 99);

    VARIANT in{};
    VARIANT out{};
    BSTR xml = nullptr;
    EXPECT_EQ(hal->Control2(1, &xml, &in, &out), E_FAIL);
}

TEST_F(RNXHALSTest, LockByProcessThroughTheObjectsAndReleaseGivesEverythingUp)
{
    Plug();
    IRNXHALS* first = NewObject();
    IRNXHALS* second = NewObject();
    LONG status = 99;
    ASSERT_EQ(first->Initialize(&status), S_OK);
    ASSERT_EQ(second->Initialize(&status), S_OK);

    ASSERT_EQ(first->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(second->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
    EXPECT_EQ(status, 1);

    // The holder's process is gone: the next locker takes over.
    ASSERT_EQ(first->LockScanner(static_cast<LONG>(DeadProcessId()), &status), S_OK);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(second->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
    EXPECT_EQ(status, 0);

    // UnlockScanner never writes the caller's value.
    status = 1234;
    ASSERT_EQ(second->UnlockScanner(&status), S_OK);
    EXPECT_EQ(status, 1234);
    EXPECT_FALSE(m_session->IsLocked());

    // Releasing an object that holds the lock and a sink gives both up and
    // leaves the session.
    RecordingButtonSink sink;
    LONG id = 0;
    ASSERT_EQ(second->Register(&sink, static_cast<LONG>(GetCurrentProcessId()), &id), S_OK);
    ASSERT_EQ(second->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(m_session->ClientCount(), 2u);
    m_objects[1].Reset();
    EXPECT_FALSE(m_session->IsLocked());
    EXPECT_EQ(m_session->ClientCount(), 1u);
    EXPECT_EQ(sink.refs, 1u);
    m_session->SendStatusEvent(1);
    EXPECT_TRUE(sink.statuses.empty());

    ASSERT_EQ(first->Uninitialize(), S_OK);
    EXPECT_FALSE(m_session->IsOnline());
}

// A call from another process names its process by the connection it came
// on; the process id it passes is only shown in the trace.
TEST_F(RNXHALSTest, TheLockBelongsToTheCallingProcessWhateverIdItClaims)
{
    Plug();
    struct Case {
        const char* what;
        DWORD caller;      // as the connection reports it
        DWORD claimed;     // as the call says
        LONG secondLocker; // what another client then gets
    };
    const Case cases[] = {
        {"a live caller claiming an ended process keeps the lock", GetCurrentProcessId(), DeadProcessId(), 1},
        {"an ended caller claiming a live process loses it", DeadProcessId(), GetCurrentProcessId(), 0},
    };
    for (const Case& c : cases) {
        IRNXHALS* first = NewObject();
        IRNXHALS* second = NewObject();
        LONG status = 99;
        ASSERT_EQ(first->Initialize(&status), S_OK);
        ASSERT_EQ(second->Initialize(&status), S_OK);
        {
            plat::rpc::CallContext call(c.caller);
            ASSERT_EQ(first->LockScanner(static_cast<LONG>(c.claimed), &status), S_OK);
            ASSERT_EQ(status, 0) << c.what;
        }
        ASSERT_EQ(second->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
        EXPECT_EQ(status, c.secondLocker) << c.what;
        first->UnlockScanner(&status);
        second->UnlockScanner(&status);
        first->Uninitialize();
        second->Uninitialize();
    }
}

TEST_F(RNXHALSTest, OneSinkPerObjectAndUnregisterByAnotherObjectsId)
{
    IRNXHALS* first = NewObject();
    IRNXHALS* second = NewObject();
    RecordingButtonSink firstSink;
    RecordingButtonSink secondSink;
    const LONG pid = static_cast<LONG>(GetCurrentProcessId());

    LONG firstId = 0;
    ASSERT_EQ(first->Register(&firstSink, pid, &firstId), S_OK);
    EXPECT_NE(firstId, -1);
    LONG again = 0;
    ASSERT_EQ(first->Register(&secondSink, pid, &again), S_OK);
    EXPECT_EQ(again, -1);
    EXPECT_EQ(secondSink.refs, 1u);

    LONG secondId = 0;
    ASSERT_EQ(second->Register(&secondSink, pid, &secondId), S_OK);
    EXPECT_NE(secondId, firstId);

    // A sink without IRNXButton is refused with the interface error.
    struct PlainUnknown final : IUnknown {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
        {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
    } plain;
    IRNXHALS* third = NewObject();
    LONG thirdId = 0;
    EXPECT_EQ(third->Register(&plain, pid, &thirdId), E_NOINTERFACE);

    // The first object drops the second's recipient and its own sink; its
    // own recipient stays registered and keeps receiving.
    ASSERT_EQ(first->Unregister(secondId), S_OK);
    m_session->SendStatusEvent(0);
    EXPECT_EQ(firstSink.statuses, (std::vector<LONG>{0}));
    EXPECT_TRUE(secondSink.statuses.empty());

    m_session->RemoveButtonRecipient(firstId);
    m_objects.clear();
    EXPECT_EQ(firstSink.refs, 1u);
    EXPECT_EQ(secondSink.refs, 1u);
}

// A call that the pumping wait of another call dispatches on the same thread.
struct NestedCall {
    IRNXHALS* object = nullptr;
    HANDLE started = nullptr;
    bool outerDone = false;
    bool ranInsideOuter = false;
    HRESULT hr = E_UNEXPECTED;
    LONG status = 99;
    BYTE data[36] = {};
};
NestedCall* g_nested = nullptr;
constexpr UINT kNestedMessage = WM_USER + 9;

LRESULT NestedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kNestedMessage)
        return DefWindowProcW(window, message, wParam, lParam);
    g_nested->ranInsideOuter = !g_nested->outerDone;
    SetEvent(g_nested->started);
    BYTE inquiry[6] = {kOpInquiry, 0, 0, 0, 36, 0};
    g_nested->hr = g_nested->object->DoSCSICmd(6, inquiry, 36, g_nested->data, 1, &g_nested->status);
    return 0;
}

// A session whose control handler has the caller's thread dispatch a
// message and waits until the call that message makes has begun.
class HookedSession : public CScannerWrap {
public:
    HWND window = nullptr;
    HANDLE nestedStarted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~HookedSession() override { CloseHandle(nestedStarted); }

protected:
    BOOL S_Control() override
    {
        PostMessageW(window, kNestedMessage, 0, 0);
        WaitForSingleObject(nestedStarted, INFINITE);
        BYTE* out = m_funcArgs.Control.OutBuffer;
        if (out && m_funcArgs.Control.OutSize > 0)
            out[0] = 0x5A;
        return TRUE;
    }
};

TEST_F(RNXHALSTest, SecondCallDispatchedInsideAWaitingCallIsHandled)
{
    auto hooked = std::make_unique<HookedSession>();
    HookedSession& session = *hooked;
    m_session = std::move(hooked);
    m_session->SetSymbolicName(m_path);
    Plug();
    // The lock holder's own second call: another client's would be refused
    // while the scanner is locked.
    IRNXHALS* outer = ReadyObject();

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = NestedProc;
    windowClass.lpszClassName = u"NestedHalCall";
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    HWND window = CreateWindowExW(0, u"NestedHalCall", u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    session.window = window;
    NestedCall nested;
    nested.object = outer;
    nested.started = session.nestedStarted;
    g_nested = &nested;

    plat::ScopedSafeArray outArray(SafeArrayCreateVector(VT_UI1, 0, 4));
    VARIANT in{};
    VARIANT out{};
    out.vt = VT_ARRAY | VT_UI1;
    out.parray = outArray.Get();
    BSTR xml = nullptr;
    const HRESULT hr = outer->Control2(1, &xml, &in, &out);
    nested.outerDone = true;

    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(static_cast<BYTE*>(outArray.Get()->pvData)[0], 0x5A);
    EXPECT_TRUE(nested.ranInsideOuter);
    EXPECT_EQ(nested.hr, S_OK);
    EXPECT_EQ(nested.status, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(nested.data + 8), 8), "QUILLBOX");

    g_nested = nullptr;
    DestroyWindow(window);
    UnregisterClassW(u"NestedHalCall", nullptr);
}

// Keeps the control blocks that reach the scanner thread.
class ControlRecordingSession : public CScannerWrap {
public:
    std::vector<ControlArgs> received;

protected:
    BOOL S_Control() override
    {
        received.push_back(m_funcArgs.Control);
        return TRUE;
    }
};

TEST_F(RNXHALSTest, Control2PassesArraysGivenByValueOrByReferenceAsCountsAndData)
{
    auto recording = std::make_unique<ControlRecordingSession>();
    ControlRecordingSession& session = *recording;
    m_session = std::move(recording);
    m_session->SetSymbolicName(m_path);
    Plug();
    IRNXHALS* hal = NewObject();
    LONG status = 99;
    ASSERT_EQ(hal->Initialize(&status), S_OK);
    ASSERT_EQ(status, 0);

    plat::ScopedSafeArray bytes(SafeArrayCreateVector(VT_UI1, 0, 3));
    plat::ScopedSafeArray longs(SafeArrayCreateVector(VT_I4, 0, 5));
    SAFEARRAY* longsRef = longs.Get();
    SAFEARRAY* nullRef = nullptr;
    struct Side {
        VARTYPE vt;
        SAFEARRAY* array;
        SAFEARRAY** reference;
    };
    struct Case {
        const char* what;
        Side in, out;
        DWORD inSize;
        void* inData;
        DWORD outSize;
        void* outData;
    };
    // clang-format off
    const Case cases[] = {
        {"by value; other element type counts elements",
         {VT_ARRAY | VT_UI1, bytes.Get(), nullptr}, {VT_ARRAY | VT_I4, longs.Get(), nullptr},
         3, bytes.Get()->pvData, 5, longs.Get()->pvData},
        {"by reference is read through the reference",
         {VT_ARRAY | VT_UI1, bytes.Get(), nullptr}, {VT_BYREF | VT_ARRAY | VT_I4, nullptr, &longsRef},
         3, bytes.Get()->pvData, 5, longs.Get()->pvData},
        {"no array, or a null reference: nothing",
         {VT_EMPTY, nullptr, nullptr}, {VT_BYREF | VT_ARRAY | VT_UI1, nullptr, &nullRef},
         0, nullptr, 0, nullptr},
    };
    // clang-format on
    for (const Case& c : cases) {
        auto variantOf = [](const Side& side) {
            VARIANT v{};
            v.vt = side.vt;
            if (side.reference)
                v.pparray = side.reference;
            else
                v.parray = side.array;
            return v;
        };
        VARIANT in = variantOf(c.in);
        VARIANT out = variantOf(c.out);
        BSTR xml = nullptr;
        session.received.clear();
        ASSERT_EQ(hal->Control2(7, &xml, &in, &out), S_OK) << c.what;
        ASSERT_EQ(session.received.size(), 1u) << c.what;
        const ControlArgs& args = session.received[0];
        EXPECT_EQ(args.lCC, 7u) << c.what;
        EXPECT_EQ(args.InSize, c.inSize) << c.what;
        EXPECT_EQ(args.InBuffer, c.inData) << c.what;
        EXPECT_EQ(args.OutSize, c.outSize) << c.what;
        EXPECT_EQ(args.OutBuffer, c.outData) << c.what;
        EXPECT_EQ(args.pbstrXML, &xml) << c.what;
    }
    EXPECT_EQ(hal->Uninitialize(), S_OK);
}

} // namespace
