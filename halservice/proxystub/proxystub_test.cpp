// The interfaces between two real processes: this test is the client, the
// toy service of testing/TestPeer.cpp the server.
#include "halservice/proxystub/testing/Sinks.h"
#include "halservice/proxystub/testing/ToySetup.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComTesting.h"
#include "platform/base/sysroot.h"
#include "platform/rpc/Connection.h"
#include "platform/rpc/ProxyStubArgs.h"
#include "platform/rpc/Wire.h"
#include "platform/rpc/testing/RawPeer.h"
#include "platform/kernel/TestClock.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace toyhal;
using plat::ComPtr;

// A real-time bound for things that happen in another process; reaching it
// is a failure, not a path a passing test takes.
constexpr int kPatienceMs = 20000;

// Sets a REG_SZ value, making the key.
void SetText(const std::u16string& path, const char16_t* name, const std::u16string& value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
}

class ProxyStubTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_com.Result(), S_OK);
        ASSERT_TRUE(RegisterToy(QBK_RNXHALPS, QBK_TESTPEER));
    }

    void TearDown() override
    {
        for (DWORD pid : m_processes)
            KillAndWait(pid);
    }

    ComPtr<IRNXHALS> Create()
    {
        ComPtr<IRNXHALS> hal;
        EXPECT_EQ(
            CoCreateInstance(CLSID_ToyHALS, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS, hal.ReleaseAndGetVoidAddress()),
            S_OK);
        if (hal)
            m_processes.insert(plat::rpc::GetPeerProcessId(hal.Get()));
        return hal;
    }

    static LONG LiveObjects(IRNXHALS* hal) { return ControlNumber(hal, kLiveObjects); }

    // A number the toy answers in the first bytes of pvBufOut; -1 when the
    // call fails.
    static LONG ControlNumber(IRNXHALS* hal, LONG code)
    {
        VARIANT in;
        VariantInit(&in);
        VARIANT out;
        VariantInit(&out);
        out.vt = VT_ARRAY | VT_UI1;
        out.parray = SafeArrayCreateVector(VT_UI1, 0, 4);
        BSTR xml = nullptr;
        LONG live = -1;
        if (hal->Control2(code, &xml, &in, &out) == S_OK)
            std::memcpy(&live, out.parray->pvData, sizeof live);
        VariantClear(&out);
        SysFreeString(xml);
        return live;
    }

    // Polls until the server reports `expected` live objects.
    static bool WaitForLiveObjects(IRNXHALS* hal, LONG expected)
    {
        for (int waited = 0; waited < kPatienceMs; waited += 5) {
            if (LiveObjects(hal) == expected)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    static HRESULT Control(IRNXHALS* hal, LONG code)
    {
        BSTR xml = nullptr;
        VARIANT in;
        VariantInit(&in);
        VARIANT out;
        VariantInit(&out);
        return hal->Control2(code, &xml, &in, &out);
    }

    // Waits until only the test holds `sink`, serving this thread's calls
    // meanwhile. The server may still hold a sink just after Unregister
    // returns: a send whose reply is in flight lets go of it when it ends.
    template <class Sink>
    static bool WaitUntilOnlyTheTestHolds(const Sink& sink)
    {
        for (int waited = 0; waited < kPatienceMs; waited += 5) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            if (sink.References() == 1)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // Polls until a kWaitPumping call waits in the server.
    static bool WaitUntilServerWaits(IRNXHALS* hal)
    {
        for (int waited = 0; waited < kPatienceMs; waited += 5) {
            if (Control(hal, kIsWaiting) == S_OK)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    plat::testing::TempSystemRoot m_root;
    plat::testing::ComScope m_com;
    std::set<DWORD> m_processes;
};

// A client program started by the test: "ready <server pid>" on its output
// once it holds an object with a registered sink.
struct ClientProcess {
    FILE* pipe = nullptr;
    DWORD pid = 0;
    DWORD serverPid = 0;

    bool Start()
    {
        std::string command = std::string("exec '") + QBK_TESTPEER + "' client & echo $!";
        pipe = popen(command.c_str(), "r");
        unsigned value = 0;
        if (!pipe || std::fscanf(pipe, "%u", &value) != 1)
            return false;
        pid = value;
        char word[16] = {};
        return std::fscanf(pipe, "%15s %u", word, &value) == 2 && std::string(word) == "ready" && (serverPid = value);
    }
    ~ClientProcess()
    {
        toyhal::KillAndWait(pid);
        if (pipe)
            pclose(pipe);
    }
};

TEST_F(ProxyStubTest, ActivationStartsTheServerAndEveryClientReachesTheSameProcess)
{
    ComPtr<IRNXHALS> first = Create();
    ASSERT_TRUE(first);
    DWORD server = plat::rpc::GetPeerProcessId(first.Get());
    EXPECT_NE(server, 0u);
    EXPECT_NE(server, GetCurrentProcessId());

    // CLSCTX_ALL: no in-process server, so the running local server.
    ComPtr<IRNXHALS> second;
    ASSERT_EQ(CoCreateInstance(CLSID_ToyHALS, nullptr, CLSCTX_ALL, IID_IRNXHALS, second.ReleaseAndGetVoidAddress()),
              S_OK);
    EXPECT_EQ(plat::rpc::GetPeerProcessId(second.Get()), server);

    ClientProcess other;
    ASSERT_TRUE(other.Start());
    EXPECT_EQ(other.serverPid, server);

    // The server knows its caller by the socket.
    LONG status = -1;
    EXPECT_EQ(first->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(first->LockScanner(static_cast<LONG>(other.pid), &status), S_OK);
    EXPECT_EQ(status, 1);
}

TEST_F(ProxyStubTest, ConfigureAndProduceCallBackIntoTheClientsSinksDuringTheCall)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);

    MapXmlSink xml;
    xml.numbers[u"/config/input/Width"] = 8500;
    xml.numbers[u"/config/input/Height"] = 11000;
    xml.texts[u"/config/input/Name"] = std::u16string(u"sc\0an", 5);
    ASSERT_EQ(hal->Configure(&xml), S_OK);
    EXPECT_EQ(xml.numbers[u"/config/output/Width"], 17000);
    EXPECT_EQ(xml.numbers[u"/config/output/Height"], 22000);
    EXPECT_EQ(xml.texts[u"/config/output/Name"], std::u16string(u"sc\0an", 5));
    EXPECT_EQ(xml.References(), 1u) << "the server still holds the XML sink";

    for (size_t size : {size_t(0), size_t(1), size_t(64 * 1024), size_t(1024 * 1024)}) {
        BufferRasterSink band;
        band.target.assign(size, 0xEE);
        ASSERT_EQ(hal->Produce(&band), S_OK) << size;
        EXPECT_EQ(band.status, 0);
        EXPECT_EQ(band.level, 1);
        ASSERT_EQ(band.bytesWritten, static_cast<LONG>(size));
        size_t wrong = 0;
        for (size_t i = 0; i < size; ++i)
            wrong += band.target[i] != BandByte(i);
        EXPECT_EQ(wrong, 0u) << size;
        EXPECT_EQ(band.References(), 1u);
    }

    // A sink that is neither: the server's QueryInterface error comes back.
    MapXmlSink notABand;
    EXPECT_EQ(hal->Produce(&notABand), E_NOINTERFACE);
    EXPECT_EQ(hal->Configure(nullptr), E_POINTER);
}

// Records the calls it receives and fails the one named `failing`.
class RecordingRasterSink final : public CountedSink<hal::testing::RasterBandHALStub, IID_IRNXRasterBandHAL> {
public:
    std::vector<std::string> calls;
    std::string failing;
    HRESULT failure = E_ACCESSDENIED;
    HRESULT putBufferResult = S_OK;

    HRESULT STDMETHODCALLTYPE getSizeBuffer(LONG* value) override
    {
        *value = 1000;
        return Answer("getSizeBuffer");
    }
    HRESULT STDMETHODCALLTYPE putStatus(LONG) override { return Answer("putStatus"); }
    HRESULT STDMETHODCALLTYPE putPayloadLevel(LONG) override { return Answer("putPayloadLevel"); }
    HRESULT STDMETHODCALLTYPE DescribeBufferContent(LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG) override
    {
        return Answer("DescribeBufferContent");
    }
    HRESULT STDMETHODCALLTYPE PutBuffer(VARIANT* pvBufIn) override
    {
        const bool band = pvBufIn && pvBufIn->vt == (VT_ARRAY | VT_UI1) && pvBufIn->parray &&
                          pvBufIn->parray->rgsabound[0].cElements == 1000 &&
                          static_cast<const BYTE*>(pvBufIn->parray->pvData)[999] == BandByte(999);
        HRESULT hr = Answer("PutBuffer");
        return !band ? E_INVALIDARG : SUCCEEDED(hr) ? putBufferResult : hr;
    }
    HRESULT STDMETHODCALLTYPE Clear() override { return S_OK; }

private:
    HRESULT Answer(const char* name)
    {
        calls.push_back(name);
        return failing == name ? failure : S_OK;
    }
};

TEST_F(ProxyStubTest, TheBandsHandOverReachesTheSinkCallByCallAndStopsAtTheFirstFailure)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    const std::vector<std::string> all = {"getSizeBuffer", "putStatus", "putPayloadLevel", "DescribeBufferContent",
                                          "PutBuffer"};
    struct Case {
        std::string failing;
        HRESULT putBufferResult;
        HRESULT expected;
        size_t callsSeen;
    };
    const Case cases[] = {
        {"", S_OK, S_OK, 5},
        {"", S_FALSE, S_FALSE, 5}, // the last call's own success comes back
        {"getSizeBuffer", S_OK, E_ACCESSDENIED, 1},
        {"putStatus", S_OK, E_ACCESSDENIED, 2},
        {"putPayloadLevel", S_OK, E_ACCESSDENIED, 3},
        {"DescribeBufferContent", S_OK, E_ACCESSDENIED, 4},
        {"PutBuffer", S_OK, E_ACCESSDENIED, 5},
    };
    for (const Case& c : cases) {
        RecordingRasterSink sink;
        sink.failing = c.failing;
        sink.putBufferResult = c.putBufferResult;
        EXPECT_EQ(hal->Produce(&sink), c.expected) << c.failing;
        EXPECT_EQ(sink.calls, std::vector<std::string>(all.begin(), all.begin() + static_cast<long>(c.callsSeen)))
            << c.failing;
        EXPECT_EQ(sink.References(), 1u) << c.failing << ": the server still holds the sink";
    }
}

TEST_F(ProxyStubTest, ABandCostsTheServerTwoRoundTripsAndLeavesNothingHeld)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    BufferRasterSink band;
    band.target.assign(64 * 1024, 0);
    ASSERT_EQ(hal->Produce(&band), S_OK); // the first band also brings the sink's proxy library in
    const LONG before = ControlNumber(hal.Get(), kCallsMade);
    const std::uint64_t clientBefore = plat::rpc::CallsMade();
    constexpr int kBands = 5;
    for (int i = 0; i < kBands; ++i) {
        ASSERT_EQ(hal->Produce(&band), S_OK);
        EXPECT_EQ(band.References(), 1u);
    }
    // getSizeBuffer, then the hand-over in one message. The sink's
    // interface came with it, and the server's release of it comes back
    // with Produce's reply.
    EXPECT_EQ(ControlNumber(hal.Get(), kCallsMade) - before, 2 * kBands);
    EXPECT_EQ(plat::rpc::CallsMade() - clientBefore, static_cast<std::uint64_t>(kBands) + 1); // + the count
    EXPECT_EQ(band.bytesWritten, 64 * 1024);
    EXPECT_EQ(band.target[1000], BandByte(1000));
}

TEST_F(ProxyStubTest, CallsFromManyThreadsAtOnceEachGetTheirOwnBands)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    // The server's one thread serves them all, the later ones nested inside
    // the earlier ones' call-backs.
    constexpr int kThreads = 4;
    constexpr int kBands = 50;
    std::atomic<int> failures{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < kThreads; ++t) {
        clients.emplace_back([&, t] {
            plat::testing::ComScope mta(COINIT_MULTITHREADED);
            for (int i = 0; i < kBands; ++i) {
                BufferRasterSink band;
                band.target.assign(1000 + static_cast<size_t>(t) * 100 + static_cast<size_t>(i), 0);
                if (hal->Produce(&band) != S_OK || band.bytesWritten != static_cast<LONG>(band.target.size()) ||
                    band.target.back() != BandByte(band.target.size() - 1) || band.References() != 1)
                    ++failures;
            }
        });
    }
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(failures, 0);
}

TEST_F(ProxyStubTest, ParametersCrossInEveryDirection)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);

    // In/out byte array: filled in place, the caller's array and data stay.
    VARIANT buffer;
    VariantInit(&buffer);
    buffer.vt = VT_ARRAY | VT_UI1;
    buffer.parray = SafeArrayCreateVector(VT_UI1, 0, 3000);
    SAFEARRAY* array = buffer.parray;
    void* data = array->pvData;
    BSTR xml = SysAllocString(u"old");
    ASSERT_EQ(hal->Produce2(&buffer, &xml), S_OK);
    EXPECT_EQ(buffer.parray, array);
    EXPECT_EQ(array->pvData, data);
    EXPECT_EQ(static_cast<BYTE*>(data)[2999], BandByte(2999));
    EXPECT_EQ(std::u16string(xml), u"<produce><output><BytesWritten>3000</BytesWritten></output></produce>");
    SysFreeString(xml);
    VariantClear(&buffer);

    // Sized buffers of DoSCSICmd, both ways.
    BYTE cdb[6] = {0x12, 0, 0, 0, 0x60, 0};
    BYTE reply[96] = {};
    LONG status = -5;
    ASSERT_EQ(hal->DoSCSICmd(6, cdb, 96, reply, 1, &status), S_OK);
    EXPECT_EQ(status, 96);
    EXPECT_EQ(reply[0], static_cast<BYTE>(~0x12));
    EXPECT_EQ(reply[95], static_cast<BYTE>(~cdb[95 % 6]));

    // Sizes are checked before any buffer is touched: nothing is sent.
    struct Case {
        LONG sizeCdb;
        BYTE* cdb;
        LONG sizeData;
        BYTE* data;
        HRESULT expected;
    };
    const Case refused[] = {
        {-1, nullptr, 0, nullptr, E_INVALIDARG},
        {6, cdb, -96, nullptr, E_INVALIDARG},
        {6, nullptr, 0, nullptr, E_POINTER},
        {6, cdb, 10, nullptr, E_POINTER},
    };
    for (const Case& c : refused)
        EXPECT_EQ(hal->DoSCSICmd(c.sizeCdb, c.cdb, c.sizeData, c.data, 0, &status), c.expected);

    // Null pointers reach the object as null, and its answer comes back.
    EXPECT_EQ(hal->Initialize(nullptr), E_POINTER);
    EXPECT_EQ(hal->Control2(0, nullptr, nullptr, nullptr), E_POINTER);
    LONG initialized = -1;
    EXPECT_EQ(hal->Initialize(&initialized), S_OK);
    EXPECT_EQ(initialized, 0);
}

// Arguments or results too large for one message, or of a type that cannot
// travel, fail that call alone and at once; the connection goes on.
TEST_F(ProxyStubTest, ACallThatCannotTravelFailsAloneAndHoldsNothing)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    // Produce2 answers with the buffer and a description of some 140 bytes
    // where none went in: 100 bytes short of the limit the request still
    // fits and the reply no longer does.
    const ULONG requestTooLarge = plat::rpc::kMaxFrameBody;
    const ULONG replyTooLarge = plat::rpc::kMaxFrameBody - 100;
    for (ULONG size : {requestTooLarge, replyTooLarge}) {
        VARIANT buffer;
        VariantInit(&buffer);
        buffer.vt = VT_ARRAY | VT_UI1;
        buffer.parray = SafeArrayCreateVector(VT_UI1, 0, size);
        ASSERT_NE(buffer.parray, nullptr);
        BSTR xml = nullptr;
        EXPECT_EQ(hal->Produce2(&buffer, &xml), E_OUTOFMEMORY) << size;
        EXPECT_EQ(xml, nullptr);
        VariantClear(&buffer);
    }

    // A sink handed over in a call that never went out stays the caller's.
    MapXmlSink xml;
    VARIANT tooLarge;
    VariantInit(&tooLarge);
    tooLarge.vt = VT_ARRAY | VT_UI1;
    tooLarge.parray = SafeArrayCreateVector(VT_UI1, 0, requestTooLarge);
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(hal->Control(0, &xml, &tooLarge, &out), E_OUTOFMEMORY);
    EXPECT_EQ(xml.References(), 1u);
    VariantClear(&tooLarge);
    VARIANT cannotTravel;
    VariantInit(&cannotTravel);
    cannotTravel.vt = VT_R8;
    EXPECT_EQ(hal->Control(0, &xml, &cannotTravel, &out), DISP_E_BADVARTYPE);
    EXPECT_EQ(xml.References(), 1u);

    LONG initialized = -1;
    EXPECT_EQ(hal->Initialize(&initialized), S_OK);
    EXPECT_EQ(initialized, 0);
}

class EventSink final : public CountedSink<IRNXButton, IID_IRNXButton> {
public:
    EventSink() : done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~EventSink() { CloseHandle(done); }
    HRESULT STDMETHODCALLTYPE SendButtonEvent(BSTR szName, LONG lPressType, LONG lFuncNumber) override
    {
        button = std::u16string(szName, SysStringLen(szName)) + u":" + Utf8ToUtf16(std::to_string(lPressType)) + u":" +
                 Utf8ToUtf16(std::to_string(lFuncNumber));
        thread = GetCurrentThreadId();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SendStatusEvent(LONG lStatus) override
    {
        status = lStatus;
        SetEvent(done);
        return S_OK;
    }
    std::u16string button;
    LONG status = -99;
    DWORD thread = 0;
    HANDLE done;
};

TEST_F(ProxyStubTest, ARegisteredButtonSinkReceivesEventsSentOutsideAnyCall)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    EventSink sink;
    LONG id = 0;
    ASSERT_EQ(hal->Register(&sink, static_cast<LONG>(GetCurrentProcessId()), &id), S_OK);
    BSTR xml = nullptr;
    VARIANT in;
    VariantInit(&in);
    VARIANT out;
    VariantInit(&out);
    ASSERT_EQ(hal->Control2(kSendEventsLater, &xml, &in, &out), S_OK);
    EXPECT_EQ(sink.status, -99) << "the events come after the call";

    // The apartment's own message loop serves the incoming event calls.
    bool received = false;
    for (int turn = 0; turn < kPatienceMs / 10 && !received; ++turn) {
        DWORD result = MsgWaitForMultipleObjects(1, &sink.done, FALSE, 10, QS_ALLINPUT);
        received = result == WAIT_OBJECT_0;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    ASSERT_TRUE(received);
    EXPECT_EQ(sink.button, u"SIMPLEX:0:1");
    EXPECT_EQ(sink.status, 1);
    EXPECT_EQ(sink.thread, GetCurrentThreadId());

    // After Unregister the server lets go of the sink.
    EXPECT_EQ(hal->Unregister(id), S_OK);
    EXPECT_TRUE(WaitUntilOnlyTheTestHolds(sink)) << sink.References();
}

TEST_F(ProxyStubTest, AMultithreadedClientServesItsSinkWithoutPumping)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    EventSink sink;
    DWORD mainThread = GetCurrentThreadId();
    std::thread client([&] {
        plat::testing::ComScope mta(COINIT_MULTITHREADED);
        LONG id = 0;
        ASSERT_EQ(hal->Register(&sink, static_cast<LONG>(GetCurrentProcessId()), &id), S_OK);
        ASSERT_EQ(Control(hal.Get(), kSendEventsLater), S_OK);
        // A plain wait: the sink runs on a worker of the apartment.
        EXPECT_EQ(WaitForSingleObject(sink.done, kPatienceMs), WAIT_OBJECT_0);
        EXPECT_EQ(hal->Unregister(id), S_OK);
        EXPECT_TRUE(WaitUntilOnlyTheTestHolds(sink)) << sink.References();
    });
    client.join();
    EXPECT_EQ(sink.button, u"SIMPLEX:0:1");
    EXPECT_EQ(sink.status, 1);
    EXPECT_NE(sink.thread, mainThread);
    EXPECT_EQ(sink.References(), 1u);
}

// A system root deep in the file system: its sockets' paths are longer than
// a socket address holds, and activation still reaches the server.
TEST(DeepRootTest, ActivationWorksWhateverTheSystemRootsLength)
{
    const std::string deep = std::filesystem::temp_directory_path().string() + "/" + std::string(100, 'd');
    std::filesystem::create_directories(deep);
    const char* tmp = std::getenv("TMPDIR");
    const std::optional<std::string> previous = tmp ? std::optional<std::string>(tmp) : std::nullopt;
    setenv("TMPDIR", deep.c_str(), 1);
    {
        plat::testing::TempSystemRoot root;
        if (previous)
            setenv("TMPDIR", previous->c_str(), 1);
        else
            unsetenv("TMPDIR");
        ASSERT_GT(plat::RuntimeFolder().size(), 108u);
        plat::testing::ComScope com(COINIT_APARTMENTTHREADED);
        ASSERT_TRUE(RegisterToy(QBK_RNXHALPS, QBK_TESTPEER));
        ComPtr<IRNXHALS> hal;
        ASSERT_EQ(
            CoCreateInstance(CLSID_ToyHALS, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS, hal.ReleaseAndGetVoidAddress()),
            S_OK);
        DWORD server = plat::rpc::GetPeerProcessId(hal.Get());
        LONG status = -1;
        EXPECT_EQ(hal->Initialize(&status), S_OK);
        EXPECT_EQ(status, 0);
        hal.Reset();
        KillAndWait(server);
    }
    std::error_code ignored;
    std::filesystem::remove_all(deep, ignored);
}

// Points the toy class at the test peer run in `mode`.
void SetLocalServerMode(const char* mode)
{
    SetText(u"CLSID\\" + plat::GuidToWideString(CLSID_ToyHALS) + u"\\LocalServer32", nullptr,
            u"\"" + Utf8ToUtf16(QBK_TESTPEER) + u"\" " + Utf8ToUtf16(mode));
}

TEST_F(ProxyStubTest, AServerThatNeverPublishesItsClassTimesOutOnTheClock)
{
    plat::ScopedTestClock clock;
    SetLocalServerMode("idle");
    HRESULT hr = S_OK;
    std::atomic<bool> done{false};
    std::thread client([&] {
        plat::testing::ComScope mta(COINIT_MULTITHREADED);
        IUnknown* object = nullptr;
        hr = CoCreateInstance(CLSID_ToyHALS, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&object));
        done = true;
    });
    // The server runs (its pid is out) but never publishes; time passes only
    // here, and 30 s of it end the wait.
    unsigned idle = 0;
    const std::string pidFile = plat::RuntimeFolder() + "/idle.pid";
    for (int waited = 0; waited < kPatienceMs && idle == 0; waited += 5) {
        if (FILE* file = std::fopen(pidFile.c_str(), "r")) {
            if (std::fscanf(file, "%u", &idle) != 1)
                idle = 0;
            std::fclose(file);
        }
        if (idle == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (idle)
        m_processes.insert(idle);
    ULONGLONG advanced = 0;
    while (!done && advanced < 60000) {
        if (clock->WaitForSleepers(1, 1000)) {
            clock->Advance(1000);
            advanced += 1000;
        }
    }
    client.join();
    EXPECT_EQ(hr, CO_E_SERVER_EXEC_FAILURE);
    EXPECT_GE(advanced, 30000u);
    EXPECT_NE(idle, 0u);
}

TEST_F(ProxyStubTest, AServerThatEndsBeforePublishingFailsTheActivationAtOnce)
{
    plat::ScopedTestClock clock; // no time passes: the end of the program decides
    SetLocalServerMode("exit");
    IUnknown* object = nullptr;
    EXPECT_EQ(
        CoCreateInstance(CLSID_ToyHALS, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)),
        CO_E_SERVER_EXEC_FAILURE);
}

TEST_F(ProxyStubTest, KillingAClientReleasesItsObjectsInTheServer)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    LONG before = LiveObjects(hal.Get());
    {
        ClientProcess other;
        ASSERT_TRUE(other.Start());
        EXPECT_EQ(LiveObjects(hal.Get()), before + 1);
    } // killed here
    EXPECT_TRUE(WaitForLiveObjects(hal.Get(), before));
}

TEST_F(ProxyStubTest, ACallToAServerThatDiesFailsInsteadOfHanging)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    DWORD server = plat::rpc::GetPeerProcessId(hal.Get());

    // Mid-call: the server is waiting inside Control2 when it is killed.
    HRESULT midCall = S_OK;
    std::thread caller([&] {
        plat::testing::ComScope mta(COINIT_MULTITHREADED);
        BSTR xml = nullptr;
        VARIANT in;
        VariantInit(&in);
        VARIANT out;
        VariantInit(&out);
        midCall = hal->Control2(kWaitPumping, &xml, &in, &out);
    });
    ASSERT_TRUE(WaitUntilServerWaits(hal.Get()));
    KillAndWait(server);
    caller.join();
    EXPECT_EQ(midCall, RPC_E_SERVER_DIED);

    LONG status = 0;
    EXPECT_EQ(hal->Initialize(&status), RPC_E_DISCONNECTED);
}

TEST_F(ProxyStubTest, ACallArrivingWhileTheServerThreadWaitsPumpingIsServed)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    HRESULT waited = E_UNEXPECTED;
    std::thread caller([&] {
        plat::testing::ComScope mta(COINIT_MULTITHREADED);
        BSTR xml = nullptr;
        VARIANT in;
        VariantInit(&in);
        VARIANT out;
        VariantInit(&out);
        waited = hal->Control2(kWaitPumping, &xml, &in, &out);
    });
    // Each of these runs on the server's thread while the first call waits
    // there; the wake ends the wait.
    EXPECT_TRUE(WaitUntilServerWaits(hal.Get()));
    EXPECT_EQ(Control(hal.Get(), kWake), S_OK);
    caller.join();
    EXPECT_EQ(waited, S_OK);
}

TEST_F(ProxyStubTest, AClassWhoseAppIdNamesALocalServiceIsServedByThatService)
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    std::u16string binary = u"\"" + Utf8ToUtf16(QBK_TESTPEER) + u"\" service";
    SC_HANDLE service = CreateServiceW(manager, kToyServiceName, u"Toy hardware service", SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                       binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(service, nullptr);
    const std::u16string appId = u"{6F1D2C3B-4A59-4E86-B7A0-9C8D7E6F5A42}";
    SetText(u"CLSID\\" + plat::GuidToWideString(CLSID_ToyHALS), u"AppID", appId);
    SetText(u"AppID\\" + appId, u"LocalService", kToyServiceName);

    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                     &needed));
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_EQ(status.dwProcessId, plat::rpc::GetPeerProcessId(hal.Get()));

    hal = nullptr;
    SERVICE_STATUS stopped{};
    ControlService(service, SERVICE_CONTROL_STOP, &stopped);
    DeleteService(service);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

// A client of the toy's socket that speaks the wire by hand.
class RawPeer : public plat::rpc::testing::RawPeer {
public:
    explicit RawPeer(int sendRoom = 0) : plat::rpc::testing::RawPeer(CLSID_ToyHALS, sendRoom) {}
    std::uint64_t NewToy(std::uint64_t factory) { return NewObject(factory, IID_IRNXHALS); }
};

TEST_F(ProxyStubTest, MalformedCallsNeverCrashTheServerNorLeakItsObjects)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    const LONG before = LiveObjects(hal.Get());

    RawPeer raw;
    ASSERT_TRUE(raw.Connected());
    std::uint32_t fault = 0;
    HRESULT hr = S_OK;
    plat::rpc::Bytes results;
    plat::rpc::MessageWriter ask;
    ask.WriteGuid(CLSID_ToyHALS);
    ask.WriteGuid(IID_IClassFactory);
    ASSERT_TRUE(raw.Call(plat::rpc::kRootObject, IID_IUnknown, plat::rpc::kGetClassObject, ask, fault, hr, &results));
    ASSERT_EQ(hr, S_OK);
    std::uint64_t factory = RawPeer::ObjectIn(results);
    plat::rpc::MessageWriter create;
    create.WriteGuid(IID_IRNXHALS);
    ASSERT_TRUE(raw.Call(factory, IID_IClassFactory, 3, create, fault, hr, &results));
    ASSERT_EQ(hr, S_OK);
    std::uint64_t toy = RawPeer::ObjectIn(results);
    EXPECT_EQ(LiveObjects(hal.Get()), before + 1);

    auto scsi = [](std::uint32_t cdbClaim, std::uint32_t cdbSent, std::uint32_t dataClaim) {
        plat::rpc::MessageWriter w;
        w.WriteU32(cdbClaim);
        std::vector<BYTE> bytes(cdbSent, 0x12);
        w.WriteBytes(bytes.data(), bytes.size());
        w.WriteU32(dataClaim);
        w.WriteI32(0);
        w.WriteU8(0);
        return w;
    };
    plat::rpc::MessageWriter none;
    plat::rpc::MessageWriter trailing;
    trailing.WriteU8(1);
    trailing.WriteI32(0);
    trailing.WriteU32(0xDEADBEEF);
    const IID unknownIid = plat::MakeGuid("0BADF00D-0000-4000-8000-000000000001");
    auto batch = [](std::uint32_t count, std::uint32_t sizeClaim, std::uint32_t sizeSent) {
        plat::rpc::MessageWriter w;
        w.WriteU32(count);
        w.WriteGuid(IID_IRNXHALS);
        w.WriteU32(4);
        w.WriteU32(sizeClaim);
        std::vector<BYTE> bytes(sizeSent, 0);
        w.WriteBytes(bytes.data(), bytes.size());
        return w;
    };
    struct Case {
        const char* what;
        std::uint64_t object;
        IID iid;
        std::uint32_t method;
        plat::rpc::MessageWriter args;
        HRESULT expected;
    };
    const Case cases[] = {
        {"unknown object id", 999, IID_IRNXHALS, 3, none, CO_E_OBJNOTCONNECTED},
        {"CDB size beyond the frame", toy, IID_IRNXHALS, 7, scsi(1000, 2, 0), RPC_E_INVALID_DATA},
        {"data size beyond the frame", toy, IID_IRNXHALS, 7, scsi(2, 2, 0x7FFFFFF0), RPC_E_INVALID_DATA},
        {"negative data size", toy, IID_IRNXHALS, 7, scsi(2, 2, 0x80000000u), RPC_E_INVALID_DATA},
        {"missing arguments", toy, IID_IRNXHALS, 5, none, RPC_E_INVALID_DATA},
        {"arguments left over", toy, IID_IRNXHALS, 3, trailing, RPC_E_INVALID_DATA},
        {"no such method", toy, IID_IRNXHALS, 99, none, RPC_E_INVALID_DATA},
        {"interface without proxy/stub", toy, unknownIid, 3, none, REGDB_E_IIDNOTREG},
        {"interface the object lacks", toy, IID_IRNXButton, 3, none, E_NOINTERFACE},
        {"batch of more calls than it holds", toy, IID_IUnknown, plat::rpc::kCallBatch, batch(1000, 0, 0),
         RPC_E_INVALID_DATA},
        {"batched call longer than the frame", toy, IID_IUnknown, plat::rpc::kCallBatch, batch(1, 0x7FFFFFF0, 4),
         RPC_E_INVALID_DATA},
        {"batch with bytes left over", toy, IID_IUnknown, plat::rpc::kCallBatch, batch(1, 0, 4), RPC_E_INVALID_DATA},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(raw.Call(c.object, c.iid, c.method, c.args, fault, hr)) << c.what;
        EXPECT_EQ(fault, 1u) << c.what;
        EXPECT_EQ(hr, c.expected) << c.what;
    }

    // Giving back more references than it was given frees the object once.
    plat::rpc::MessageWriter lie;
    lie.WriteU32(1000);
    ASSERT_TRUE(raw.Call(toy, IID_IUnknown, plat::rpc::kRelease, lie, fault, hr));
    EXPECT_EQ(LiveObjects(hal.Get()), before);
    ASSERT_TRUE(raw.Call(toy, IID_IUnknown, plat::rpc::kRelease, lie, fault, hr));
    EXPECT_EQ(hr, CO_E_OBJNOTCONNECTED);

    // Then a frame that is no frame: the server cuts the connection off.
    const char junk[32] = "not a frame header at all......";
    raw.SendRaw(junk, sizeof junk);
    EXPECT_TRUE(raw.ClosedByPeer());
    LONG status = -1;
    EXPECT_EQ(hal->Initialize(&status), S_OK);
    EXPECT_EQ(LiveObjects(hal.Get()), before);
}

TEST_F(ProxyStubTest, AClientThatLeavesMidCallLosesItsObjects)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    const LONG before = LiveObjects(hal.Get());
    {
        RawPeer raw;
        std::uint32_t fault = 0;
        HRESULT hr = S_OK;
        plat::rpc::Bytes results;
        plat::rpc::MessageWriter ask;
        ask.WriteGuid(CLSID_ToyHALS);
        ask.WriteGuid(IID_IClassFactory);
        ASSERT_TRUE(
            raw.Call(plat::rpc::kRootObject, IID_IUnknown, plat::rpc::kGetClassObject, ask, fault, hr, &results));
        plat::rpc::MessageWriter create;
        create.WriteGuid(IID_IRNXHALS);
        ASSERT_TRUE(raw.Call(RawPeer::ObjectIn(results), IID_IClassFactory, 3, create, fault, hr, &results));
        std::uint64_t toy = RawPeer::ObjectIn(results);
        // Control2(kWaitPumping) with its arguments, then gone before the reply.
        plat::rpc::MessageWriter args;
        args.WriteI32(kWaitPumping);
        args.WriteU8(1);
        args.WriteU8(0); // null BSTR
        args.WriteU8(1);
        args.WriteU32(VT_EMPTY);
        args.WriteU8(1);
        args.WriteU32(VT_EMPTY);
        plat::rpc::MessageWriter head;
        head.WriteU64(toy);
        head.WriteGuid(IID_IRNXHALS);
        head.WriteU32(15);
        plat::rpc::FrameHeader header{plat::rpc::FrameType::Request, 77,
                                      static_cast<std::uint32_t>(head.Data().size() + args.Data().size())};
        std::uint8_t encoded[plat::rpc::kFrameHeaderSize];
        plat::rpc::EncodeHeader(header, encoded);
        raw.SendRaw(encoded, sizeof encoded);
        raw.SendRaw(head.Data().data(), head.Data().size());
        raw.SendRaw(args.Data().data(), args.Data().size());
        ASSERT_TRUE(WaitUntilServerWaits(hal.Get()));
    } // the raw client leaves while its call waits in the server
    EXPECT_EQ(Control(hal.Get(), kWake), S_OK);
    EXPECT_TRUE(WaitForLiveObjects(hal.Get(), before));
}

// Ends the server when the test has not disarmed it within the patience: a
// server that hangs would otherwise hang the test's calls with it.
class Watchdog {
public:
    explicit Watchdog(DWORD server)
        : m_thread([this, server] {
              std::unique_lock lock(m_mutex);
              if (!m_wake.wait_for(lock, std::chrono::milliseconds(kPatienceMs), [this] { return m_disarmed; }))
                  kill(static_cast<pid_t>(server), SIGKILL);
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_disarmed = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_disarmed = false;
    std::thread m_thread;
};

// Produce2 of a 1 MiB band: the request carries the array, and so does the
// reply.
plat::rpc::MessageWriter Produce2Arguments()
{
    VARIANT band;
    VariantInit(&band);
    band.vt = VT_ARRAY | VT_UI1;
    band.parray = SafeArrayCreateVector(VT_UI1, 0, 1u << 20);
    BSTR xml = nullptr;
    plat::rpc::MessageWriter args;
    plat::rpc::VariantInOut{&band}.Write(args);
    plat::rpc::BstrInOut{&xml}.Write(args);
    VariantClear(&band);
    return args;
}

TEST_F(ProxyStubTest, AClientThatStopsReadingHoldsUpNobodyAndIsCutOffAtItsBound)
{
    ComPtr<IRNXHALS> hal = Create();
    ASSERT_TRUE(hal);
    const DWORD server = plat::rpc::GetPeerProcessId(hal.Get());
    const LONG before = LiveObjects(hal.Get());
    Watchdog watchdog(server);

    RawPeer flooder;
    ASSERT_TRUE(flooder.Connected());
    const std::uint64_t factory = flooder.ClassObject();
    const std::uint64_t toy = flooder.NewToy(factory);
    ASSERT_NE(toy, 0u);

    // Bands the flooder asks for and never reads: more than the socket
    // holds, less than what the server keeps for it...
    const plat::rpc::MessageWriter produce2 = Produce2Arguments();
    for (int band = 0; band < 12; ++band)
        ASSERT_TRUE(flooder.Send(toy, IID_IRNXHALS, 14, produce2));
    // ...and then a new object, which shows when the server has served them all.
    plat::rpc::MessageWriter create;
    create.WriteGuid(IID_IRNXHALS);
    ASSERT_TRUE(flooder.Send(factory, IID_IClassFactory, 3, create));
    ASSERT_TRUE(WaitForLiveObjects(hal.Get(), before + 2));

    // The other client's scan goes on meanwhile.
    for (int band = 0; band < 4; ++band) {
        BufferRasterSink sink;
        sink.target.assign(1u << 20, 0xEE);
        ASSERT_EQ(hal->Produce(&sink), S_OK);
        EXPECT_EQ(sink.bytesWritten, 1 << 20);
        EXPECT_EQ(sink.target[12345], BandByte(12345));
    }

    // Asking for more: the server cuts the flooder off once its unread bands
    // pass the bound, and lets go of everything the flooder held.
    bool cutOff = false;
    int asked = 12;
    for (; asked < 64 && !cutOff; ++asked)
        cutOff = !flooder.Send(toy, IID_IRNXHALS, 14, produce2);
    EXPECT_TRUE(cutOff);
    int answered = 0;
    plat::rpc::FrameHeader header;
    plat::rpc::Bytes body;
    while (flooder.Receive(header, body))
        ++answered;
    EXPECT_LT(answered, asked) << "the answers that were waiting went with the connection";
    EXPECT_TRUE(WaitForLiveObjects(hal.Get(), before));
    EXPECT_EQ(plat::rpc::GetPeerProcessId(hal.Get()), server);
}

TEST_F(ProxyStubTest, ClientsBeyondTheCapAreRefusedCleanly)
{
    // One client process holds a connection to the server it started.
    ClientProcess holder;
    ASSERT_TRUE(holder.Start());
    m_processes.insert(holder.serverPid);
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int slot = 1; slot < plat::rpc::ConnectionSlots::kMaxConnections; ++slot) {
        peers.push_back(std::make_unique<RawPeer>());
        ASSERT_NE(peers.back()->ClassObject(), 0u) << "connection " << slot << " is served";
    }

    // One more is told why and closed; an activation gets the same answer
    // and starts no second server.
    RawPeer extra;
    plat::rpc::FrameHeader header;
    plat::rpc::Bytes body;
    ASSERT_TRUE(extra.Receive(header, body));
    EXPECT_EQ(header.callId, plat::rpc::kRefusalCallId);
    plat::rpc::MessageReader refusal(body.data(), body.size());
    std::uint32_t fault = 0;
    std::int32_t why = 0;
    EXPECT_TRUE(refusal.ReadU32(fault) && refusal.ReadI32(why));
    EXPECT_EQ(fault, 1u);
    EXPECT_EQ(why, HRESULT_FROM_WIN32(RPC_S_SERVER_TOO_BUSY));
    EXPECT_FALSE(extra.Receive(header, body));
    ComPtr<IRNXHALS> refused;
    EXPECT_EQ(
        CoCreateInstance(CLSID_ToyHALS, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS, refused.ReleaseAndGetVoidAddress()),
        HRESULT_FROM_WIN32(RPC_S_SERVER_TOO_BUSY));

    // A connection that ends frees its place for the next client.
    peers.pop_back();
    ComPtr<IRNXHALS> hal;
    HRESULT hr = E_FAIL;
    for (int waited = 0; waited < kPatienceMs && FAILED(hr); waited += 5) {
        hr =
            CoCreateInstance(CLSID_ToyHALS, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS, hal.ReleaseAndGetVoidAddress());
        if (FAILED(hr))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(plat::rpc::GetPeerProcessId(hal.Get()), holder.serverPid);
}

} // namespace
