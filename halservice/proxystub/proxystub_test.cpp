// The interfaces between two real processes: this test is the client, the
// toy service of testing/TestPeer.cpp the server.
#include "halservice/proxystub/testing/Sinks.h"
#include "halservice/proxystub/testing/ToySetup.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComTesting.h"
#include "platform/rpc/Wire.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>

namespace {

using namespace toyhal;
using plat::ComPtr;

// A real-time bound for things that happen in another process; reaching it
// is a failure, not a path a passing test takes.
constexpr int kPatienceMs = 20000;

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
        EXPECT_EQ(CoCreateInstance(CLSID_ToyHALS, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS,
                                   hal.ReleaseAndGetVoidAddress()),
                  S_OK);
        if (hal)
            m_processes.insert(plat::rpc::GetPeerProcessId(hal.Get()));
        return hal;
    }

    static LONG LiveObjects(IRNXHALS* hal)
    {
        VARIANT in;
        VariantInit(&in);
        VARIANT out;
        VariantInit(&out);
        out.vt = VT_ARRAY | VT_UI1;
        out.parray = SafeArrayCreateVector(VT_UI1, 0, 4);
        BSTR xml = nullptr;
        LONG live = -1;
        if (hal->Control2(kLiveObjects, &xml, &in, &out) == S_OK)
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

    ComPtr<IRNXHALS> second = Create();
    ASSERT_TRUE(second);
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

class EventSink final : public CountedSink<IRNXButton, IID_IRNXButton> {
public:
    EventSink() : done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~EventSink() { CloseHandle(done); }
    HRESULT STDMETHODCALLTYPE SendButtonEvent(BSTR szName, LONG lPressType, LONG lFuncNumber) override
    {
        button = std::u16string(szName, SysStringLen(szName)) + u":" + Utf8ToUtf16(std::to_string(lPressType))
                 + u":" + Utf8ToUtf16(std::to_string(lFuncNumber));
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

    // The server lets go of the sink inside Unregister.
    EXPECT_EQ(hal->Unregister(id), S_OK);
    EXPECT_EQ(sink.References(), 1u);
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

} // namespace
