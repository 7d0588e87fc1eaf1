// Bulk bytes between processes: one band per IRNXHALS::Produce, delivered
// by the server's PutBuffer call back into the client's raster sink, beside
// a plain Unix-socket copy of the same bytes (request, then the band back)
// measured in the same run.
#include "halservice/proxystub/testing/Sinks.h"
#include "halservice/proxystub/testing/ToySetup.h"
#include "platform/rpc/rpcproxy.h"
#include "platform/testing/TempSystemRoot.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace toyhal;

// One toy server for the whole run, in its own system root; made and ended
// by main on its thread (COM is per thread, so not from a static).
class ToyServer {
public:
    static ToyServer*& Instance()
    {
        static ToyServer* server = nullptr;
        return server;
    }
    IRNXHALS* Hal() { return m_hal; }

    ToyServer()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (!RegisterToy(QBK_RNXHALPS, QBK_TESTPEER) ||
            FAILED(CoCreateInstance(CLSID_ToyHALS, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS,
                                    reinterpret_cast<void**>(&m_hal)))) {
            m_hal = nullptr;
            return;
        }
        BSTR mode = SysAllocString(kNoPattern);
        m_hal->Configure2(mode);
        SysFreeString(mode);
    }

    ~ToyServer()
    {
        DWORD pid = m_hal ? plat::rpc::GetPeerProcessId(m_hal) : 0;
        if (m_hal)
            m_hal->Release();
        KillAndWait(pid);
        CoUninitialize();
    }

private:
    plat::testing::TempSystemRoot m_root;
    IRNXHALS* m_hal = nullptr;
};

// One PutBuffer call carrying a band to the other process: the call the
// service makes for every band.
void BM_PutBufferAcrossProcesses(benchmark::State& state)
{
    IRNXHALS* hal = ToyServer::Instance()->Hal();
    IRNXRasterBandHAL* sink = nullptr;
    if (!hal || FAILED(hal->QueryInterface(IID_IRNXRasterBandHAL, reinterpret_cast<void**>(&sink)))) {
        state.SkipWithError("the toy server did not start");
        return;
    }
    VARIANT band;
    VariantInit(&band);
    band.vt = VT_ARRAY | VT_UI1;
    band.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(state.range(0)));
    for (auto _ : state) {
        if (sink->PutBuffer(&band) != S_OK) {
            state.SkipWithError("PutBuffer failed");
            break;
        }
    }
    VariantClear(&band);
    sink->Release();
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PutBufferAcrossProcesses)->Arg(64 << 10)->Arg(1 << 20)->UseRealTime();

// A call with no bytes to speak of: the cost of one round trip.
void BM_EmptyCall(benchmark::State& state)
{
    IRNXHALS* hal = ToyServer::Instance()->Hal();
    if (!hal) {
        state.SkipWithError("the toy server did not start");
        return;
    }
    LONG status = 0;
    for (auto _ : state) {
        if (hal->Initialize(&status) != S_OK) {
            state.SkipWithError("Initialize failed");
            break;
        }
    }
}
BENCHMARK(BM_EmptyCall)->UseRealTime();

// A whole band as the service delivers it: Produce, with getSizeBuffer,
// putStatus, putPayloadLevel, DescribeBufferContent and PutBuffer called
// back into the client's sink.
void BM_ProduceThroughPutBuffer(benchmark::State& state)
{
    IRNXHALS* hal = ToyServer::Instance()->Hal();
    if (!hal) {
        state.SkipWithError("the toy server did not start");
        return;
    }
    BufferRasterSink band;
    band.target.assign(static_cast<size_t>(state.range(0)), 0);
    for (auto _ : state) {
        if (hal->Produce(&band) != S_OK || band.bytesWritten != state.range(0)) {
            state.SkipWithError("Produce failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ProduceThroughPutBuffer)->Arg(64 << 10)->Arg(1 << 20)->UseRealTime();

// A band's array copied, beside an allocation and memcpy of the same bytes.
void BM_SafeArrayCopy(benchmark::State& state)
{
    SAFEARRAY* band = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(state.range(0)));
    for (auto _ : state) {
        SAFEARRAY* copy = nullptr;
        if (SafeArrayCopy(band, &copy) != S_OK) {
            state.SkipWithError("SafeArrayCopy failed");
            break;
        }
        benchmark::DoNotOptimize(copy->pvData);
        SafeArrayDestroy(copy);
    }
    SafeArrayDestroy(band);
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SafeArrayCopy)->Arg(1 << 20);

void BM_AllocAndMemcpy(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(state.range(0));
    std::vector<char> band(size);
    for (auto _ : state) {
        char* copy = static_cast<char*>(std::malloc(size));
        std::memcpy(copy, band.data(), size);
        benchmark::DoNotOptimize(copy);
        std::free(copy);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AllocAndMemcpy)->Arg(1 << 20);

bool ReadAll(int fd, void* data, size_t size)
{
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        ssize_t got = read(fd, bytes, size);
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const void* data, size_t size)
{
    auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t sent = write(fd, bytes, size);
        if (sent <= 0)
            return false;
        bytes += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

void BM_PlainSocketCopy(benchmark::State& state)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
        state.SkipWithError("socketpair failed");
        return;
    }
    const size_t size = static_cast<size_t>(state.range(0));
    // The other side: a fresh band per request, as the server makes one.
    std::thread server([fd = pair[1], size] {
        std::uint32_t request = 0;
        while (ReadAll(fd, &request, sizeof request)) {
            std::vector<char> band(size);
            if (!WriteAll(fd, band.data(), band.size()))
                return;
        }
    });
    std::vector<char> target(size);
    for (auto _ : state) {
        std::uint32_t request = 1;
        if (!WriteAll(pair[0], &request, sizeof request) || !ReadAll(pair[0], target.data(), size)) {
            state.SkipWithError("copy failed");
            break;
        }
    }
    close(pair[0]);
    server.join();
    close(pair[1]);
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PlainSocketCopy)->Arg(64 << 10)->Arg(1 << 20)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    {
        ToyServer server;
        ToyServer::Instance() = &server;
        benchmark::RunSpecifiedBenchmarks();
        ToyServer::Instance() = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
