#include "diag/LogNameRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

DWORD Value(const LogMaskCell* cell) { return cell->load(); }

TEST(LogNameRegistry, AddGivesZeroCellUnlessEnabled)
{
    LogNameRegistry registry;
    registry.SetLogMask(7);
    LogMaskCell* fresh = registry.AddLogName(u"USB Device");
    EXPECT_EQ(Value(fresh), 0u);
    EXPECT_FALSE(registry.IsLogNameEnabled(u"USB Device"));

    registry.EnableLogName(u"Device Driver");
    EXPECT_EQ(Value(registry.AddLogName(u"Device Driver")), 7u);
    EXPECT_EQ(registry.GetRegisteredLogNames(), (LogNameList{u"USB Device", u"Device Driver"}));
}

TEST(LogNameRegistry, EnableRegistersOnceAndCarriesGlobalMask)
{
    LogNameRegistry registry;
    registry.SetLogMask(5);
    LogMaskCell* cell = registry.EnableLogName(u"QBK24 Device");
    EXPECT_EQ(Value(cell), 5u);
    EXPECT_EQ(registry.EnableLogName(u"QBK24 Device"), cell);
    EXPECT_EQ(Value(cell), 5u);
    EXPECT_EQ(registry.GetRegisteredLogNames(), LogNameList{u"QBK24 Device"});
    EXPECT_TRUE(registry.IsLogNameEnabled(u"QBK24 Device"));
    registry.DisableLogName(u"QBK24 Device");
    EXPECT_FALSE(registry.IsLogNameEnabled(u"QBK24 Device")) << "enabled list held the name twice";
}

TEST(LogNameRegistry, DisableZeroesCellAndKeepsIt)
{
    LogNameRegistry registry;
    registry.SetLogMask(7);
    LogMaskCell* cell = registry.EnableLogName(u"XMLStore");
    registry.DisableLogName(u"XMLStore");
    EXPECT_EQ(Value(cell), 0u);
    EXPECT_FALSE(registry.IsLogNameEnabled(u"XMLStore"));
    EXPECT_EQ(registry.AddLogName(u"XMLStore"), cell);
    EXPECT_EQ(Value(cell), 0u);
    registry.DisableLogName(u"never added"); // no entry, nothing to do
    EXPECT_EQ(registry.GetRegisteredLogNames(), LogNameList{u"XMLStore"});
}

TEST(LogNameRegistry, SetLogMaskWritesEveryEnabledCellOnly)
{
    LogNameRegistry registry;
    LogMaskCell* a = registry.EnableLogName(u"A");
    LogMaskCell* b = registry.EnableLogName(u"B");
    LogMaskCell* off = registry.AddLogName(u"C");
    registry.SetLogMask(3);
    EXPECT_EQ(Value(a), 3u);
    EXPECT_EQ(Value(b), 3u);
    EXPECT_EQ(Value(off), 0u);
    registry.SetLogMask(0);
    EXPECT_EQ(Value(a), 0u);
}

TEST(LogNameRegistry, NamesAreCaseSensitiveAndCellsNeverMove)
{
    LogNameRegistry registry;
    LogMaskCell* first = registry.AddLogName(u"USB Device");
    EXPECT_NE(registry.AddLogName(u"usb device"), first);
    for (int i = 0; i < 1000; ++i)
        registry.AddLogName(u"name " + std::u16string(1, char16_t(u'A' + i % 26)) + std::u16string(i, u'x'));
    EXPECT_EQ(registry.AddLogName(u"USB Device"), first);
}

TEST(LogNameRegistry, RegisterTwiceAnnouncesOnceAndGivesSameCell)
{
    LogNameRegistry registry;
    std::vector<std::u16string> announced;
    registry.SetAnnouncer([&](const std::u16string& name) { announced.push_back(name); });
    LogMaskCell* cell = registry.RegisterLogName(u"USB Device");
    EXPECT_EQ(registry.RegisterLogName(u"USB Device"), cell);
    EXPECT_EQ(announced, std::vector<std::u16string>{u"USB Device"});

    // A name the settings reload added first is not announced again.
    registry.AddLogName(u"Scanner Enumerator");
    registry.RegisterLogName(u"Scanner Enumerator");
    EXPECT_EQ(announced.size(), 1u);
}

TEST(LogNameRegistry, AnnouncerMayUseRegistryFromAnotherThread)
{
    // The announcer talks to another component that may itself be waiting
    // for the registry (a settings reload on its own thread): it must not be
    // called with the registry locked.
    LogNameRegistry registry;
    registry.SetAnnouncer([&](const std::u16string& name) {
        std::thread reload([&] {
            registry.SetLogMask(4);
            registry.EnableLogName(name);
        });
        reload.join();
    });
    LogMaskCell* cell = registry.RegisterLogName(u"USB Device");
    EXPECT_EQ(Value(cell), 4u);
}

TEST(LogNameRegistry, AnnouncerFailureStillRegisters)
{
    LogNameRegistry registry;
    registry.SetAnnouncer([](const std::u16string&) { throw 1; });
    LogMaskCell* cell = registry.RegisterLogName(u"USB Device");
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(registry.GetRegisteredLogNames(), LogNameList{u"USB Device"});
}

TEST(LogNameRegistry, ConcurrentRegistrationsAnnounceEachNameOnce)
{
    LogNameRegistry registry;
    std::atomic<int> announcements{0};
    registry.SetAnnouncer([&](const std::u16string&) { ++announcements; });
    std::vector<std::thread> threads;
    std::vector<LogMaskCell*> cells(8);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                cells[t] = registry.RegisterLogName(u"QBK24 Scanner Thread");
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(announcements.load(), 1);
    for (LogMaskCell* cell : cells)
        EXPECT_EQ(cell, cells[0]);
}

TEST(LogNameRegistry, ProcessRegistryIsOneTable)
{
    LogMaskCell* cell = RegisterLogName(u"diag test name");
    EXPECT_EQ(AddLogName(u"diag test name"), cell);
    EXPECT_TRUE(FindLogName(GetRegisteredLogNames(), u"diag test name"));
    EXPECT_FALSE(FindLogName(GetRegisteredLogNames(), u"Diag Test Name"));
    EXPECT_EQ(&LogNameRegistry::Process(), &LogNameRegistry::Process());
}

} // namespace
