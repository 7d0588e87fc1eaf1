#include "diag/TraceClient.h"

#include "diag/RecordingLogSink.h"
#include "platform/base/strings.h"

#include <gtest/gtest.h>

#include <regex>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

class TracedDevice : public CTraceClient {
public:
    TracedDevice() : CTraceClient(u"Trace Test Device") {}

protected:
    explicit TracedDevice(const WCHAR* name) : CTraceClient(name) {}
};

// Logs under its own name over its base class's.
class TracedUsbDevice : public TracedDevice {
public:
    TracedUsbDevice() { SetComponentLogName(u"Trace Test USB Device"); }
};

TEST(TraceClient, FreshObjectIsDetachedAndSilent)
{
    TracedDevice traced;
    EXPECT_EQ(traced.GetLogMask(), 0u);
    EXPECT_EQ(traced.GetDataLogMask(), 0u);
    EXPECT_EQ(traced.GetLogInterface(), nullptr);
    EXPECT_EQ(traced.GetLogName(), u"");
    EXPECT_EQ(traced.GetDataLogName(), u"");
    EXPECT_FALSE(traced.IsLogging(LOG_ERROR | LOG_WARNING | LOG_TRACE));
    EXPECT_FALSE(traced.IsDataLogging(LOG_TRACE));
}

TEST(TraceClient, AttachRegistersMainNameThenDataName)
{
    RecordingLogSink sink;
    TracedUsbDevice traced;
    traced.SetLogInterface(&sink);
    EXPECT_EQ(traced.GetLogInterface(), &sink);
    EXPECT_EQ(traced.GetLogName(), u"Trace Test USB Device");
    EXPECT_EQ(traced.GetDataLogName(), u"Trace Test USB Device.Data");
    EXPECT_EQ(sink.registered, (std::vector<std::u16string>{u"Trace Test USB Device", u"Trace Test USB Device.Data"}));
}

TEST(TraceClient, DetachKeepsNamesAndCells)
{
    RecordingLogSink sink;
    TracedDevice traced;
    traced.SetLogInterface(&sink);
    SetLogMask(LOG_ERROR | LOG_TRACE);
    EnableLogName(u"Trace Test Device");

    traced.SetLogInterface(nullptr);
    EXPECT_EQ(traced.GetLogInterface(), nullptr);
    EXPECT_EQ(traced.GetLogName(), u"Trace Test Device");
    EXPECT_EQ(traced.GetDataLogName(), u"Trace Test Device.Data");
    EXPECT_EQ(traced.GetLogMask(), LOG_ERROR | LOG_TRACE) << "still read from the old cell";
    EXPECT_FALSE(traced.IsLogging(LOG_TRACE)) << "but no sink, so nothing is written";
    EXPECT_EQ(sink.registered.size(), 2u);
    DisableLogName(u"Trace Test Device");
}

TEST(TraceClient, EveryWritingOperationFormatsOneRecord)
{
    RecordingLogSink sink;
    TracedDevice traced;
    traced.SetLogInterface(&sink);
    const std::u16string main = u"Trace Test Device";
    const std::u16string data = u"Trace Test Device.Data";
    struct Case {
        void (CTraceClient::*write)(const WCHAR*, ...);
        DWORD level;
        const std::u16string& name;
    } cases[] = {
        {&CTraceClient::LogError, LOG_ERROR, main},         {&CTraceClient::LogWarning, LOG_WARNING, main},
        {&CTraceClient::LogTrace, LOG_TRACE, main},         {&CTraceClient::LogDataError, LOG_ERROR, data},
        {&CTraceClient::LogDataWarning, LOG_WARNING, data}, {&CTraceClient::LogDataTrace, LOG_TRACE, data},
    };
    for (const Case& c : cases) {
        sink.records.clear();
        (traced.*c.write)(u"LockScanner Params: PID = 0x%08X, Name = %s, Count = %d", 0xBEEFu, u"Scan", -3);
        ASSERT_EQ(sink.records.size(), 1u);
        const LogRecord& record = sink.records[0];
        EXPECT_EQ(record.text, u"LockScanner Params: PID = 0x0000BEEF, Name = Scan, Count = -3");
        EXPECT_EQ(record.level, c.level);
        EXPECT_EQ(record.logName, c.name);
        EXPECT_EQ(record.processId, static_cast<DWORD>(getpid()));
        EXPECT_EQ(record.threadId, static_cast<DWORD>(syscall(SYS_gettid)));
        EXPECT_TRUE(
            std::regex_match(Utf16ToUtf8(record.timestamp), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3})")));
    }
}

TEST(TraceClient, TextLongerThanTheRecordIsCut)
{
    RecordingLogSink sink;
    TracedDevice traced;
    traced.SetLogInterface(&sink);
    std::u16string longText(3 * CTraceClient::kRecordChars, u'x');
    traced.LogTrace(u"Dump: %s", longText.c_str());
    ASSERT_EQ(sink.records.size(), 1u);
    EXPECT_EQ(sink.records[0].text.size(), CTraceClient::kRecordChars - 1);
    EXPECT_EQ(sink.records[0].text.substr(0, 8), u"Dump: xx");
}

TEST(TraceClient, ObjectsOfOneNameShareTheirCells)
{
    RecordingLogSink sink;
    TracedUsbDevice first, second;
    TracedDevice other;
    first.SetLogInterface(&sink);
    second.SetLogInterface(&sink);
    other.SetLogInterface(&sink);

    SetLogMask(LOG_ERROR | LOG_WARNING | LOG_TRACE);
    EnableLogName(u"Trace Test USB Device");
    EXPECT_TRUE(first.IsLogging(LOG_TRACE));
    EXPECT_TRUE(second.IsLogging(LOG_TRACE));
    EXPECT_FALSE(other.IsLogging(LOG_TRACE));
    EXPECT_FALSE(first.IsDataLogging(LOG_TRACE)) << "the data name has its own cell";

    // A settings change reaches attached objects at their next test.
    DisableLogName(u"Trace Test USB Device");
    EXPECT_EQ(first.GetLogMask(), 0u);
    EXPECT_EQ(second.GetLogMask(), 0u);
}

// A sink that announces new names, as the process sink does.
class AnnouncingSink : public CLogInterface {
public:
    LogMaskCell* RegisterLogName(std::u16string name) override { return ::RegisterLogName(name); }
    void Write(DWORD, DWORD, DWORD, const WCHAR*, const WCHAR*, const WCHAR*) override {}
};

// A sink that keeps the base's registration.
class PlainSink : public CLogInterface {
public:
    void Write(DWORD, DWORD, DWORD, const WCHAR*, const WCHAR*, const WCHAR*) override {}
};

TEST(TraceClient, NamesAreAnnouncedOnceWhateverTheNumberOfObjects)
{
    std::vector<std::u16string> announced;
    LogNameRegistry::Process().SetAnnouncer([&](const std::u16string& name) { announced.push_back(name); });
    AnnouncingSink sink;
    PlainSink plain;
    struct Scanner : CTraceClient {
        Scanner() : CTraceClient(u"Trace Test Scanner Thread") {}
    } first, second;
    struct Poller : CTraceClient {
        Poller() : CTraceClient(u"Trace Test Button Polling") {}
    } poller;
    first.SetLogInterface(&sink);
    second.SetLogInterface(&sink);
    first.SetLogInterface(&sink);
    poller.SetLogInterface(&plain);
    LogNameRegistry::Process().SetAnnouncer(nullptr);

    EXPECT_EQ(announced, (std::vector<std::u16string>{u"Trace Test Scanner Thread", u"Trace Test Scanner Thread.Data"}))
        << "the base registration announces nothing";
    EXPECT_TRUE(FindLogName(GetRegisteredLogNames(), u"Trace Test Button Polling.Data"));
    EnableLogName(u"Trace Test Scanner Thread.Data");
    SetLogMask(LOG_TRACE);
    EXPECT_TRUE(first.IsDataLogging(LOG_TRACE));
    EXPECT_TRUE(second.IsDataLogging(LOG_TRACE));
    DisableLogName(u"Trace Test Scanner Thread.Data");
}

// The writes reach the sink and the names only through the virtual getters.
class RenamedTrace : public TracedDevice {
public:
    std::u16string GetLogName() override { return u"renamed"; }
    CLogInterface* GetLogInterface() override { return &other; }
    RecordingLogSink other;
};

TEST(TraceClient, WritesUseTheVirtualGetters)
{
    RecordingLogSink sink;
    RenamedTrace traced;
    traced.SetLogInterface(&sink);
    traced.LogWarning(u"w");
    traced.LogDataWarning(u"d");
    EXPECT_TRUE(sink.records.empty());
    ASSERT_EQ(traced.other.records.size(), 2u);
    EXPECT_EQ(traced.other.records[0].logName, u"renamed");
    EXPECT_EQ(traced.other.records[1].logName, u"Trace Test Device.Data");
}

} // namespace
