// The manager's conventions, with a source whose identity is its file name.
#include "platform/twaindsm/SourceManager.h"

#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class SourceManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::path(m_root.Path()) / "twain";
        fs::create_directories(m_folder);
        twaindsm::SetSourceFolder(m_folder.string());
        std::strcpy(m_app.ProductName, "Manager Test");
        m_app.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
        m_app.ProtocolMajor = 2;
        m_app.ProtocolMinor = 4;
    }

    void TearDown() override
    {
        if (m_sourceOpen)
            DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source);
        if (m_dsmOpen) {
            EXPECT_EQ(DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, nullptr), TWRC_SUCCESS);
        }
    }

    // A copy of the test source under a name (relative to the folder).
    fs::path AddSource(const std::string& name)
    {
        const fs::path path = m_folder / name;
        fs::create_directories(path.parent_path());
        fs::copy_file(QBK_FAKE_SOURCE, path, fs::copy_options::overwrite_existing);
        return path;
    }

    std::vector<std::string> ListedNames()
    {
        EXPECT_EQ(DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr), TWRC_SUCCESS);
        m_dsmOpen = true;
        std::vector<std::string> names;
        TW_IDENTITY identity{};
        for (TW_UINT16 msg = MSG_GETFIRST;
             DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_IDENTITY, msg, &identity) == TWRC_SUCCESS; msg = MSG_GETNEXT)
            names.emplace_back(identity.ProductName);
        return names;
    }

    TW_UINT16 Open(const char* productName)
    {
        m_source = TW_IDENTITY{};
        std::strcpy(m_source.ProductName, productName);
        const TW_UINT16 rc = DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_source);
        m_sourceOpen = rc == TWRC_SUCCESS;
        return rc;
    }

    TW_UINT16 Enable()
    {
        TW_USERINTERFACE ui{};
        return DSM_Entry(&m_app, &m_source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    }

    plat::testing::TempSystemRoot m_root;
    fs::path m_folder;
    TW_IDENTITY m_app{};
    TW_IDENTITY m_source{};
    bool m_dsmOpen = false;
    bool m_sourceOpen = false;
};

TEST_F(SourceManagerTest, ListsUsableSourcesFromRegularDsFilesInRealFolders)
{
    AddSource("alpha.40000003.2.4.ds");
    AddSource("sub/deeper/beta.3.1.9.ds");
    AddSource("protocol14.3.1.4.ds");
    AddSource("protocol192.3.1.92.ds");
    AddSource("protocol30.3.3.0.ds");
    AddSource("nogroups.1.2.4.ds");
    AddSource("upper.3.2.4.DS");
    AddSource("library.so");
    std::ofstream(m_folder / "notelf.3.2.4.ds") << "not a library";
    fs::create_symlink(m_folder / "alpha.40000003.2.4.ds", m_folder / "linked.3.2.4.ds");
    const fs::path outside = fs::path(m_root.Path()) / "outside";
    fs::create_directories(outside);
    fs::copy_file(QBK_FAKE_SOURCE, outside / "throughlink.3.2.4.ds");
    fs::create_directory_symlink(outside, m_folder / "linkedfolder");

    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"alpha", "beta"}));
}

TEST_F(SourceManagerTest, ListsAtMostFortyNineSources)
{
    for (int i = 0; i < 60; ++i)
        AddSource("s" + std::to_string(100 + i) + ".3.2.4.ds");
    EXPECT_EQ(ListedNames().size(), twaindsm::kMaxSources);
}

// The test source opens only when the entry point reached it exactly when
// it asked for one; its library is loaded only while it is open.
TEST_F(SourceManagerTest, OnlyASecondGenerationSourceGetsTheEntryPointBeforeOpening)
{
    const fs::path ds2 = AddSource("second.40000003.2.4.ds");
    AddSource("first.3.1.9.ds");
    ASSERT_EQ(ListedNames().size(), 2u);
    EXPECT_EQ(dlopen(ds2.c_str(), RTLD_LAZY | RTLD_NOLOAD), nullptr) << "listing unloads each source";
    for (const char* name : {"second", "first"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Open(name), TWRC_SUCCESS);
        EXPECT_STREQ(m_source.ProductName, name);
        EXPECT_EQ(DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source), TWRC_SUCCESS);
        m_sourceOpen = false;
    }
    EXPECT_EQ(dlopen(ds2.c_str(), RTLD_LAZY | RTLD_NOLOAD), nullptr) << "closing unloads the source";
}

TW_UINT16 g_notified = MSG_NULL;

TW_UINT16 RecordNotification(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF)
{
    if (dg == DG_CONTROL && dat == DAT_NULL)
        g_notified = msg;
    return TWRC_SUCCESS;
}

TEST_F(SourceManagerTest, NotificationsReachTheCallbackOrTheNextEvent)
{
    AddSource("notifier.40000003.2.4.ds");
    ASSERT_EQ(ListedNames().size(), 1u);

    // No callback: the message waits for the application's event loop.
    ASSERT_EQ(Open("notifier"), TWRC_SUCCESS);
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    TW_EVENT event{};
    EXPECT_EQ(DSM_Entry(&m_app, &m_source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_DSEVENT);
    EXPECT_EQ(event.TWMessage, MSG_XFERREADY);
    EXPECT_EQ(DSM_Entry(&m_app, &m_source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);

    // A registered callback is called at once.
    TW_CALLBACK2 callback{};
    callback.CallBackProc = reinterpret_cast<TW_MEMREF>(&RecordNotification);
    ASSERT_EQ(DSM_Entry(&m_app, &m_source, DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &callback), TWRC_SUCCESS);
    g_notified = MSG_NULL;
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    EXPECT_EQ(g_notified, MSG_XFERREADY);
}

TEST_F(SourceManagerTest, HandsOutPlainPointerMemoryFunctions)
{
    ListedNames();
    TW_ENTRYPOINT entry{};
    ASSERT_EQ(DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry), TWRC_SUCCESS);
    // The record is packed: its members are read by copy, not by reference.
    const TW_UINT32 size = entry.Size;
    const DSMENTRYPROC entryProc = entry.DSM_Entry;
    EXPECT_EQ(size, sizeof(TW_ENTRYPOINT));
    EXPECT_EQ(entryProc, &DSM_Entry);
    TW_HANDLE handle = entry.DSM_MemAllocate(16);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(entry.DSM_MemLock(handle), handle);
    EXPECT_EQ(static_cast<const char*>(handle)[15], 0);
    entry.DSM_MemUnlock(handle);
    entry.DSM_MemFree(handle);
}

TEST_F(SourceManagerTest, RefusesAnUnknownSourceAndSaysWhy)
{
    AddSource("known.3.2.4.ds");
    ListedNames();
    EXPECT_EQ(Open("unknown"), TWRC_FAILURE);
    TW_STATUS status{};
    ASSERT_EQ(DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    EXPECT_EQ(status.ConditionCode, TWCC_NODS);
}

} // namespace
