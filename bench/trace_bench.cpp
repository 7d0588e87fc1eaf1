// What a trace line costs: disabled (the caller's mask and sink test only)
// and enabled (formatting, timestamp and the sink call).
#include "diag/TraceClient.h"

#include <benchmark/benchmark.h>

namespace {

class NullSink : public CLogInterface {
public:
    void Write(DWORD, DWORD, DWORD, const WCHAR*, const WCHAR*, const WCHAR* text) override
    {
        benchmark::DoNotOptimize(text);
    }
};

class TracedObject : public CTraceClient {
public:
    TracedObject() : CTraceClient(u"Trace Benchmark") {}
};

void DisabledLine(benchmark::State& state)
{
    NullSink sink;
    TracedObject traced;
    traced.SetLogInterface(&sink);
    DisableLogName(u"Trace Benchmark");
    CTraceClient* object = &traced; // called through the table, as traced classes are
    benchmark::DoNotOptimize(object);
    for (auto _ : state) {
        if (object->IsLogging(LOG_TRACE))
            object->LogTrace(u"LockScanner Params: PID = 0x%08X", 1234u);
    }
    traced.SetLogInterface(nullptr);
}
BENCHMARK(DisabledLine);

void EnabledLine(benchmark::State& state)
{
    NullSink sink;
    TracedObject traced;
    traced.SetLogInterface(&sink);
    SetLogMask(LOG_ERROR | LOG_WARNING | LOG_TRACE);
    EnableLogName(u"Trace Benchmark");
    CTraceClient* object = &traced;
    benchmark::DoNotOptimize(object);
    for (auto _ : state) {
        if (object->IsLogging(LOG_TRACE))
            object->LogTrace(u"LockScanner Params: PID = 0x%08X", 1234u);
    }
    DisableLogName(u"Trace Benchmark");
    traced.SetLogInterface(nullptr);
}
BENCHMARK(EnabledLine);

} // namespace
