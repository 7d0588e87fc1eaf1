#include "tools/diagnostics/DiagnosticsLogFile.h"

#include "platform/base/winerror.h"
#include "platform/base/sysroot.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

namespace {

using diagnostics::LogFileRecord;

LogFileRecord Record(std::u16string text, std::u16string logName = u"USB Device")
{
    LogFileRecord record;
    record.timestamp = u"2026-03-04 05:06:07:089";
    record.application = u"Quillbox K24 HAL";
    record.level = 4;
    record.processId = u"0x00001234";
    record.threadId = u"0x0000ABCD";
    record.logName = std::move(logName);
    record.text = std::move(text);
    return record;
}

void ExpectSame(const LogFileRecord& a, const LogFileRecord& b)
{
    EXPECT_EQ(a.timestamp, b.timestamp);
    EXPECT_EQ(a.application, b.application);
    EXPECT_EQ(a.level, b.level);
    EXPECT_EQ(a.processId, b.processId);
    EXPECT_EQ(a.threadId, b.threadId);
    EXPECT_EQ(a.logName, b.logName);
    EXPECT_EQ(a.text, b.text);
}

TEST(DiagnosticsLogFile, EveryTextReadsBackExactlyFromOneLine)
{
    const std::u16string texts[] = {
        u"Initialize Entered.",
        u"",
        u"tab\there",
        u"two\nlines\r\n",
        u"back\\slash \\t not a tab",
        u"Gr\u00FC\u00DFe \u65E5\u672C",
        u"trailing backslash\\",
    };
    for (const std::u16string& text : texts) {
        std::string line = diagnostics::FormatRecordLine(Record(text, u"name\twith tab"));
        EXPECT_EQ(line.find('\n'), line.size() - 1);
        LogFileRecord back;
        ASSERT_TRUE(diagnostics::ParseRecordLine(line, &back));
        ExpectSame(back, Record(text, u"name\twith tab"));
    }
}

TEST(DiagnosticsLogFile, LinesThatAreNotRecordsAreRefused)
{
    const char* lines[] = {
        "",
        "only\tsix\t4\tfields\there\tx",
        "t\ta\tfour\tp\tt\tn\ttext",     // level not a number
        "t\ta\t\tp\tt\tn\ttext",         // empty level
        "t\ta\t4\tp\tt\tn\ttext\textra", // eight fields
        "t\ta\t4\tp\tt\tn\tbad escape \\q",
        "t\ta\t4\tp\tt\tn\tcut escape \\",
    };
    for (const char* line : lines) {
        LogFileRecord record;
        EXPECT_FALSE(diagnostics::ParseRecordLine(line, &record)) << line;
    }
}

TEST(DiagnosticsLogFile, FileNamesStayInTheLogFolder)
{
    plat::testing::TempSystemRoot root;
    const std::string folder = plat::LogFolder() + "/";
    struct Case {
        std::u16string application;
        std::string file;
    } cases[] = {
        {u"Quillbox K24 HAL", "Quillbox K24 HAL.log"},
        {u"../escape/attempt", ".._escape_attempt.log"},
        {u"", "_.log"},
        {u"..", "_...log"},
        {u"line\nbreak", "line_break.log"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(diagnostics::LogFilePath(c.application), folder + c.file);
}

TEST(DiagnosticsLogFile, RecordsAreAppendedPerApplication)
{
    plat::testing::TempSystemRoot root;
    LogFileRecord first = Record(u"first");
    LogFileRecord second = Record(u"second");
    LogFileRecord other = Record(u"other");
    other.application = u"RNX COM Core";
    ASSERT_EQ(diagnostics::AppendRecord(first), S_OK);
    ASSERT_EQ(diagnostics::AppendRecord(other), S_OK);
    ASSERT_EQ(diagnostics::AppendRecord(second), S_OK);

    auto records = diagnostics::ReadLogFile(u"Quillbox K24 HAL");
    ASSERT_EQ(records.size(), 2u);
    ExpectSame(records[0], first);
    ExpectSame(records[1], second);
    ASSERT_EQ(diagnostics::ReadLogFile(u"RNX COM Core").size(), 1u);
    EXPECT_TRUE(diagnostics::ReadLogFile(u"Nobody").empty());
}

} // namespace
