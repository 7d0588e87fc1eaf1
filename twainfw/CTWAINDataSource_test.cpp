// The dispatcher driven as an application drives it: triplets in, return
// codes out, and DAT_STATUS for the condition of the last failure.
#include "twainfw/CTWAINDataSource.h"

#include "platform/testing/TempSystemRoot.h"
#include "twainfw/DebugLog.h"
#include "twainfw/TWAINMemory.h"
#include "twainfw/TestDataSource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

namespace Trellis {
namespace {

using testing::TestDataSource;
using testing::TestWindow;

TW_IDENTITY AppIdentity(TW_UINT32 id)
{
    TW_IDENTITY identity{};
    identity.Id = id;
    std::strcpy(identity.ProductName, "Test Application");
    return identity;
}

class DispatchTest : public ::testing::Test {
protected:
    int Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) { return ds.Dispatch(&app, dg, dat, msg, data); }

    TW_UINT16 Status()
    {
        TW_STATUS status{};
        EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status));
        return status.ConditionCode;
    }

    void OpenSource()
    {
        TW_IDENTITY assigned = ds.GetIdentity();
        assigned.Id = 77;
        ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    }

    void Enable(bool showUI)
    {
        TW_USERINTERFACE ui{};
        ui.ShowUI = showUI;
        ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
    }

    void SetUp() override { ds.Init(nullptr); }

    plat::testing::TempSystemRoot root;
    TestDataSource ds;
    TW_IDENTITY app = AppIdentity(42);
};

TEST_F(DispatchTest, ASessionWalksTheStatesUpAndDown)
{
    EXPECT_EQ(3, ds.GetState());
    OpenSource();
    EXPECT_EQ(4, ds.GetState());
    EXPECT_EQ(42u, TW_UINT32{ds.GetApplicationIdentity().Id});
    // The manager's identity replaces the source's own.
    EXPECT_EQ(77u, TW_UINT32{ds.GetIdentity().Id});

    Enable(true);
    EXPECT_EQ(5, ds.GetState());
    TW_USERINTERFACE ui{};
    EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
    EXPECT_EQ(4, ds.GetState());
    TW_IDENTITY self = ds.GetIdentity();
    EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &self));
    EXPECT_EQ(3, ds.GetState());
    EXPECT_EQ(0u, TW_UINT32{ds.GetApplicationIdentity().Id});
    EXPECT_EQ((std::vector<std::string>{"create", "show", "destroy"}), ds.Log);

    // Another application may open the source now.
    app = AppIdentity(43);
    OpenSource();
    EXPECT_EQ(43u, TW_UINT32{ds.GetApplicationIdentity().Id});
}

TEST_F(DispatchTest, RefusedTripletsReportTheirConditionThroughStatus)
{
    struct Case {
        const char* what;
        int state; // 3, 4 (open), 5 (enabled), 6 (transfer ready)
        TW_UINT32 dg;
        TW_UINT16 dat;
        TW_UINT16 msg;
        TW_UINT16 conditionCode;
    };
    const Case cases[] = {
        {"close before open", 3, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, TWCC_SEQERROR},
        {"open twice", 4, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, TWCC_MAXCONNECTIONS},
        {"enable before open", 3, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWCC_SEQERROR},
        {"enable twice", 5, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWCC_SEQERROR},
        {"disable when open", 4, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, TWCC_SEQERROR},
        {"unknown message", 4, DG_CONTROL, DAT_USERINTERFACE, MSG_GET, TWCC_BADPROTOCOL},
        {"pending transfers before open", 3, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, TWCC_SEQERROR},
        {"end transfer when enabled", 5, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, TWCC_SEQERROR},
        {"memory set-up before open", 3, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, TWCC_SEQERROR},
        {"parent", 4, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, TWCC_BADPROTOCOL},
        {"unknown control type", 4, DG_CONTROL, 0x0030, MSG_GET, TWCC_BADPROTOCOL},
        {"unknown image type", 4, DG_IMAGE, 0x0120, MSG_GET, TWCC_BADPROTOCOL},
        {"unknown group", 4, DG_AUDIO, DAT_AUDIOINFO, MSG_GET, TWCC_BADPROTOCOL},
        {"image info before transfer", 5, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, TWCC_SEQERROR},
        {"native transfer when enabled", 5, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWCC_SEQERROR},
        {"native transfer set", 6, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_SET, TWCC_BADPROTOCOL},
        {"layout set when enabled", 5, DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, TWCC_SEQERROR},
        {"custom data when enabled", 5, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, TWCC_SEQERROR},
        {"transfer group before open", 3, DG_CONTROL, DAT_XFERGROUP, MSG_GET, TWCC_SEQERROR},
        {"unsupported response table", 4, DG_IMAGE, DAT_GRAYRESPONSE, MSG_RESET, TWCC_BADPROTOCOL},
        {"unsupported colour data", 4, DG_IMAGE, DAT_CIECOLOR, MSG_GET, TWCC_BADPROTOCOL},
        {"palette of a grey image", 4, DG_IMAGE, DAT_PALETTE8, MSG_GET, TWCC_BADPROTOCOL},
        {"palette before open", 3, DG_IMAGE, DAT_PALETTE8, MSG_GET, TWCC_SEQERROR},
        {"palette set before open", 3, DG_IMAGE, DAT_PALETTE8, MSG_SET, TWCC_SEQERROR},
        {"file set-up before open", 3, DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, TWCC_SEQERROR},
        {"file set-up set before open", 3, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, TWCC_SEQERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestDataSource fresh;
        fresh.Init(nullptr);
        fresh.Pending = 1;
        TW_IDENTITY assigned = fresh.GetIdentity();
        if (c.state >= 4) {
            ASSERT_EQ(TWRC_SUCCESS, fresh.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
        }
        if (c.state >= 5) {
            TW_USERINTERFACE ui{};
            ui.ShowUI = c.state == 5;
            ASSERT_EQ(TWRC_SUCCESS, fresh.Dispatch(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
        }
        ASSERT_EQ(c.state, fresh.GetState());

        // Big enough for any record of these triplets.
        alignas(8) unsigned char data[2048] = {};
        std::memcpy(data, &assigned, sizeof(assigned));
        EXPECT_EQ(TWRC_FAILURE, fresh.Dispatch(&app, c.dg, c.dat, c.msg, data));
        EXPECT_EQ(c.state, fresh.GetState());
        TW_STATUS status{};
        ASSERT_EQ(TWRC_SUCCESS, fresh.Dispatch(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &status));
        EXPECT_EQ(c.conditionCode, status.ConditionCode);
    }
}

// With the debug log on, MSG_OPENDS names the source, its version and the
// system it runs on.
TEST_F(DispatchTest, OpeningLogsTheSourceAndTheSystemItRunsOn)
{
    const char* oldTemp = std::getenv("TMPDIR");
    const std::string savedTemp = oldTemp ? oldTemp : "";
    const std::string temp = root.Path() + "/tmp";
    std::filesystem::create_directories(temp);
    setenv("TMPDIR", temp.c_str(), 1);
    ASSERT_TRUE(WriteProfileStringA("Quorvant", "DEBUG", "1"));
    CloseDebugLog();
    InitDebugLog("QBK24.log", "Quorvant", "DSLogFileName");
    ASSERT_TRUE(DebugLogOn());

    struct Case {
        DWORD platformId;
        DWORD majorVersion;
        const char* line;
    };
    const Case cases[] = {
        {VER_PLATFORM_WIN32_NT, 6, "Running on Windows NT Version: 6.1.7601\n"},
        {VER_PLATFORM_WIN32_WINDOWS, 4, "Running on Windows 95 Version: 4.1.7601\n"},
        {VER_PLATFORM_WIN32s, 3, "Unrecognized platform Id, 0 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::filesystem::remove(DebugLogPath());
        plat::SetReportedWindowsVersion(c.platformId, c.majorVersion);
        TestDataSource fresh;
        fresh.Init(nullptr);
        TW_IDENTITY assigned = fresh.GetIdentity();
        assigned.Id = 5;
        ASSERT_EQ(TWRC_SUCCESS, fresh.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
        std::ifstream in(DebugLogPath());
        const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(log.find("Data Source ID: Test Scanner.\nData Source Version: 5.0.\n" + std::string(c.line)),
                  std::string::npos)
            << log;
    }
    plat::SetReportedWindowsVersion(VER_PLATFORM_WIN32_NT, 6);
    CloseDebugLog();
    if (oldTemp)
        setenv("TMPDIR", savedTemp.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

// The application gets a failure's condition in words by handing the status
// back: a zero-ended text in a handle of its own, its size counting the end.
TEST_F(DispatchTest, StatusInWordsNamesTheCondition)
{
    TW_IDENTITY self = ds.GetIdentity();
    EXPECT_EQ(TWRC_FAILURE, Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &self));
    TW_STATUSUTF8 words{};
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_STATUS, MSG_GET, &words.Status));
    EXPECT_EQ(TWCC_SEQERROR, words.Status.ConditionCode);
    EXPECT_EQ(0, words.Status.Data);
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_STATUSUTF8, MSG_GET, &words));
    ASSERT_NE(nullptr, words.UTF8string);
    {
        CTWAINHandleLock lock(words.UTF8string);
        EXPECT_STREQ("Command out of expected sequence.", static_cast<const char*>(lock.Data()));
    }
    EXPECT_EQ(std::strlen("Command out of expected sequence.") + 1, words.Size);
    TWAINFreeHandle(words.UTF8string);
    EXPECT_EQ(TWRC_FAILURE, Call(DG_CONTROL, DAT_STATUSUTF8, MSG_SET, &words));
    EXPECT_EQ(TWCC_BADPROTOCOL, Status());
}

TEST_F(DispatchTest, StatusReportsTheLastConditionOnce)
{
    TW_IDENTITY self = ds.GetIdentity();
    EXPECT_EQ(TWRC_FAILURE, Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &self));
    EXPECT_EQ(TWCC_SEQERROR, Status());
    EXPECT_EQ(TWCC_SUCCESS, Status());

    // A successful triplet clears the kept code as well.
    EXPECT_EQ(TWRC_FAILURE, Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &self));
    EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &self));
    EXPECT_EQ(TWCC_SUCCESS, Status());
}

TEST_F(DispatchTest, OnlyTheApplicationThatOpenedTheSourceIsServed)
{
    OpenSource();
    TW_IDENTITY other = AppIdentity(43);
    TW_IDENTITY identity{};
    EXPECT_EQ(TWRC_FAILURE, ds.Dispatch(&other, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity));
    EXPECT_EQ(TWRC_FAILURE, ds.Dispatch(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity));
    EXPECT_EQ(TWCC_BADPROTOCOL, Status());
    EXPECT_EQ(4, ds.GetState());
}

TEST_F(DispatchTest, IdentityIsTheSourcesOwnUntilTheManagerAssignsOne)
{
    TW_IDENTITY identity{};
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity));
    EXPECT_EQ(0u, TW_UINT32{identity.Id});
    EXPECT_STREQ("Test Scanner", identity.ProductName);
    EXPECT_STREQ("Test Maker", identity.Manufacturer);
    EXPECT_EQ(2, identity.ProtocolMajor);
    EXPECT_EQ(0, identity.ProtocolMinor);
    EXPECT_EQ(5, identity.Version.MajorNum);
    // The module's file name with ".HLP" for its extension (it has none).
    EXPECT_TRUE(ds.GetHelpFilePath().ends_with("/twainfw_core_test.HLP")) << ds.GetHelpFilePath();
}

TEST(HelpFilePathTest, TheExtensionOfTheFileNameIsReplaced)
{
    struct Case {
        const char* module;
        const char* help;
    };
    const Case cases[] = {
        {"C:\\TWAIN_32\\QBK24.ds", "C:\\TWAIN_32\\QBK24.HLP"},
        {"/usr/lib/twain/scanner.so.1", "/usr/lib/twain/scanner.so.HLP"},
        {"/opt/vendor.d/scanner", "/opt/vendor.d/scanner.HLP"},
        {"C:\\Program Files\\My.App\\scanner", "C:\\Program Files\\My.App\\scanner.HLP"},
        {"scanner", "scanner.HLP"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.help, HelpFilePathOf(c.module)) << c.module;
}

TEST_F(DispatchTest, ProcessEventAnswersForTheSettingsWindowOnly)
{
    TW_EVENT event{};
    event.pEvent = const_cast<void*>(TestWindow::TakenMessage());
    event.TWMessage = MSG_XFERREADY;
    EXPECT_EQ(TWRC_NOTDSEVENT, Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event));
    EXPECT_EQ(MSG_XFERREADY, event.TWMessage);

    OpenSource();
    Enable(true);
    EXPECT_EQ(TWRC_DSEVENT, Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event));
    EXPECT_EQ(MSG_NULL, event.TWMessage);

    int otherMessage = 0;
    event.pEvent = &otherMessage;
    event.TWMessage = MSG_XFERREADY;
    EXPECT_EQ(TWRC_NOTDSEVENT, Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event));
    EXPECT_EQ(MSG_XFERREADY, event.TWMessage);
}

TEST_F(DispatchTest, EnablingWithoutAWindowGoesStraightToTransferReady)
{
    struct Case {
        bool showUI;
        bool uiControllable;
        int state;
        const char* shown;
    };
    const Case cases[] = {
        {false, true, 6, "hide"},
        {false, false, 5, "show"},
        {true, true, 5, "show"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "ShowUI " << c.showUI << ", controllable " << c.uiControllable);
        TestDataSource fresh;
        fresh.Init(nullptr);
        fresh.UIControllable = c.uiControllable;
        TW_IDENTITY assigned = fresh.GetIdentity();
        ASSERT_EQ(TWRC_SUCCESS, fresh.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
        TW_USERINTERFACE ui{};
        ui.ShowUI = c.showUI;
        EXPECT_EQ(TWRC_SUCCESS, fresh.Dispatch(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
        EXPECT_EQ(c.state, fresh.GetState());
        EXPECT_EQ((std::vector<std::string>{"create", c.shown}), fresh.Log);
    }
}

// A device class that makes no settings window at all.
class WindowlessSource : public TestDataSource {
public:
    CTWAINWindow* CreateUIWindow(CTWAINWindow*, bool) override { return nullptr; }
};

TEST_F(DispatchTest, ADeviceWithoutASettingsWindowStillTransfersWhenNoUIIsAsked)
{
    for (bool showUI : {false, true}) {
        SCOPED_TRACE(::testing::Message() << "ShowUI " << showUI);
        WindowlessSource source;
        source.Init(nullptr);
        TW_IDENTITY assigned = source.GetIdentity();
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
        TW_USERINTERFACE ui{};
        ui.ShowUI = showUI;
        EXPECT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
        EXPECT_EQ(showUI ? 5 : 6, source.GetState());
    }
}

TEST_F(DispatchTest, EndOfTransferStaysReadyWhileImagesArePending)
{
    OpenSource();
    ds.Pending = 3;
    Enable(false);
    ASSERT_EQ(6, ds.GetState());

    TW_PENDINGXFERS pending{};
    EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending));
    EXPECT_EQ(3, pending.Count);
    EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
    EXPECT_EQ(2, pending.Count);
    EXPECT_EQ(6, ds.GetState());

    // Disabling ends the image at hand; with more left it is refused.
    TW_USERINTERFACE ui{};
    EXPECT_EQ(TWRC_FAILURE, Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
    EXPECT_EQ(TWCC_SEQERROR, Status());
    EXPECT_EQ(6, ds.GetState());
    EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
    EXPECT_EQ(4, ds.GetState());
    EXPECT_EQ(0, ds.Pending);
}

TEST_F(DispatchTest, ResetOfPendingTransfersStopsTheBatch)
{
    OpenSource();
    ds.Pending = 3;
    Enable(false);
    ds.SetState(7);
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(TWRC_FAILURE, Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending));
    EXPECT_EQ(TWCC_SEQERROR, Status());

    ds.SetState(6);
    EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending));
    EXPECT_EQ(0, pending.Count);
    EXPECT_EQ(5, ds.GetState());
    EXPECT_EQ("stop", ds.Log.back());
}

TEST_F(DispatchTest, EnteringTransferStampsTheTimeAndEveryChangeClearsXferDone)
{
    ds.SetState(7);
    EXPECT_TRUE(std::regex_match(ds.GetTimeDateText(), std::regex(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.000)")))
        << ds.GetTimeDateText();
    ds.SetXferDoneForTest();
    ds.SetState(7);
    EXPECT_TRUE(ds.IsXferDone());
    ds.SetState(6);
    EXPECT_FALSE(ds.IsXferDone());
}

TEST_F(DispatchTest, FileSetUpChecksTheFileAndTheFormat)
{
    OpenSource();
    TW_SETUPFILEXFER setup{};
    EXPECT_EQ(TWRC_FAILURE, Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &setup));
    EXPECT_EQ(TWCC_SEQERROR, Status()); // file transfers are offered but not chosen
    ds.SetXferMechCurrent(TWSX_FILE);

    ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &setup));
    EXPECT_EQ(TWFF_BMP, setup.Format);
    EXPECT_EQ(-1, setup.VRefNum);
    // The default name in the user's own temporary folder, not a shared one.
    EXPECT_EQ(std::string(setup.FileName), plat::UserTempFolder() + "/TWAIN.BMP");

    const std::filesystem::path folder = std::filesystem::path(root.Path()) / "scans";
    std::string missing = (folder / "image.tif").string();
    std::strcpy(setup.FileName, missing.c_str());
    setup.Format = TWFF_TIFF;
    EXPECT_EQ(TWRC_FAILURE, Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup));
    EXPECT_EQ(TWCC_BADVALUE, Status());

    std::filesystem::create_directory(folder);
    setup.Format = TWFF_JFIF; // not offered
    EXPECT_EQ(TWRC_FAILURE, Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup));
    EXPECT_EQ(TWCC_BADVALUE, Status());
    setup.Format = TWFF_TIFF;
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup));
    // Naming the file makes none: the transfer writes it.
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_EQ(TWFF_TIFF, ds.GetImageFileFormatCurrent());

    TW_SETUPFILEXFER current{};
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETCURRENT, &current));
    EXPECT_STREQ(missing.c_str(), current.FileName);

    // An existing file is kept as it is.
    std::ofstream(missing) << "data";
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup));
    EXPECT_EQ(4u, std::filesystem::file_size(missing));
}

TEST_F(DispatchTest, FileSetUpNameWithoutItsEndIsNotReadPastTheRecord)
{
    OpenSource();
    ds.SetXferMechCurrent(TWSX_FILE);
    TW_SETUPFILEXFER setup{};
    std::string name = root.Path() + "/" + std::string(sizeof(setup.FileName), 'n');
    std::memcpy(setup.FileName, name.data(), sizeof(setup.FileName));
    setup.Format = TWFF_BMP;
    // A name of 256 characters is one no file system takes.
    EXPECT_EQ(TWRC_FAILURE, Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup));
    EXPECT_EQ(TWCC_BADVALUE, Status());
}

TEST_F(DispatchTest, SmallControlRecords)
{
    OpenSource();
    TW_SETUPMEMXFER memory{};
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &memory));
    EXPECT_EQ(0x8000u, TW_UINT32{memory.MinBufSize});
    EXPECT_EQ(0xFFFFu, TW_UINT32{memory.MaxBufSize});
    EXPECT_EQ(0xFFFFu, TW_UINT32{memory.Preferred});

    TW_UINT32 group = 0;
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_XFERGROUP, MSG_GET, &group));
    EXPECT_EQ(DG_CONTROL | DG_IMAGE, group);
}

TEST_F(DispatchTest, ImageLayoutMustLieOnThePage)
{
    OpenSource();
    TW_IMAGELAYOUT layout{};
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout));
    EXPECT_EQ(CTWAINFrame(0, 0, 8.5f, 14.0f), CTWAINFrame(layout.Frame));
    EXPECT_EQ(1u, TW_UINT32{layout.DocumentNumber});

    layout.Frame = CTWAINFrame(1, 1, 9, 5);
    EXPECT_EQ(TWRC_FAILURE, Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout));
    EXPECT_EQ(TWCC_BADVALUE, Status());

    layout.Frame = CTWAINFrame(1, 1, 4, 5);
    layout.DocumentNumber = 7;
    layout.PageNumber = 0xFFFFFFFFu; // leaves the number as it is
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout));
    TW_IMAGELAYOUT current{};
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETCURRENT, &current));
    EXPECT_EQ(CTWAINFrame(1, 1, 4, 5), CTWAINFrame(current.Frame));
    EXPECT_EQ(7u, TW_UINT32{current.DocumentNumber});
    EXPECT_EQ(1u, TW_UINT32{current.PageNumber});

    ASSERT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, &current));
    EXPECT_EQ(CTWAINFrame(0, 0, 8.5f, 14.0f), CTWAINFrame(current.Frame));
    EXPECT_EQ(1u, TW_UINT32{current.DocumentNumber});
}

// A device whose pending-transfer query fails in the ways devices fail.
class ThrowingSource : public TestDataSource {
public:
    TW_PENDINGXFERS QueryPendingXfers() override
    {
        if (Throw == 1)
            throw CTWAINContainerException();
        if (Throw == 2)
            ThrowCheckStatus(TWCC_DAMAGEDCORNER);
        if (Throw == 3)
            throw std::bad_alloc();
        return TestDataSource::QueryPendingXfers();
    }
    int Throw = 0;
};

TEST_F(DispatchTest, ExceptionsBecomeReturnAndConditionCodes)
{
    struct Case {
        int kind;
        int returnCode;
        TW_UINT16 conditionCode;
    };
    const Case cases[] = {
        {0, TWRC_SUCCESS, TWCC_SUCCESS},
        {1, TWRC_FAILURE, TWCC_BUMMER},
        {2, TWRC_CHECKSTATUS, TWCC_DAMAGEDCORNER},
        {3, TWRC_FAILURE, TWCC_BUMMER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        ThrowingSource source;
        source.Init(nullptr);
        TW_IDENTITY assigned = source.GetIdentity();
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
        source.Throw = c.kind;
        TW_PENDINGXFERS pending{};
        EXPECT_EQ(c.returnCode, source.Dispatch(&app, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending));
        TW_STATUS status{};
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &status));
        EXPECT_EQ(c.conditionCode, status.ConditionCode);
    }
}

TEST_F(DispatchTest, TripletWithoutDataIsRefused)
{
    EXPECT_EQ(TWRC_FAILURE, Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, nullptr));
    EXPECT_EQ(TWRC_NOTDSEVENT, Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, nullptr));
    EXPECT_EQ(TWCC_BADVALUE, Status());
}

TEST_F(DispatchTest, LeavingTheTransferStatesFinishesAMultipageFile)
{
    struct Case {
        const char* what;
        TW_UINT16 msg;
        TW_UINT16 dat;
    };
    const Case cases[] = {
        {"end of the last transfer", MSG_ENDXFER, DAT_PENDINGXFERS},
        {"disable", MSG_DISABLEDS, DAT_USERINTERFACE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestDataSource source;
        source.Init(nullptr);
        TW_IDENTITY assigned = source.GetIdentity();
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
        source.Pending = 1;
        TW_USERINTERFACE ui{};
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
        ASSERT_EQ(6, source.GetState());

        const std::string path = root.Path() + "/batch.tif";
        source.OpenTIFF(path);
        source.SetState(7);
        source.SetState(6);
        EXPECT_TRUE(source.IsTIFFOpen());
        alignas(8) unsigned char data[64] = {};
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, c.dat, c.msg, data));
        EXPECT_FALSE(source.IsTIFFOpen());
        std::ifstream file(path, std::ios::binary);
        char header[4] = {};
        file.read(header, 4);
        EXPECT_EQ(std::string("II*\0", 4), std::string(header, 4));
    }
}

// A device whose settings window cannot be made.
class NoWindowSource : public TestDataSource {
public:
    CTWAINWindow* CreateUIWindow(CTWAINWindow*, bool) override { ThrowFailure(TWCC_LOWMEMORY); }
};

TEST_F(DispatchTest, AFailedEnableLeavesTheSourceOpen)
{
    NoWindowSource source;
    source.Init(nullptr);
    TW_IDENTITY assigned = source.GetIdentity();
    ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    TW_USERINTERFACE ui{};
    ui.ShowUI = 1;
    EXPECT_EQ(TWRC_FAILURE, source.Dispatch(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
    EXPECT_EQ(4, source.GetState());
    TW_STATUS status{};
    ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &status));
    EXPECT_EQ(TWCC_LOWMEMORY, status.ConditionCode);
}

// A device that transfers by hand: each transfer succeeds or fails as told.
class TransferSource : public TestDataSource {
public:
    TW_HANDLE TransferNative() override
    {
        if (Fail)
            ThrowFailure(TWCC_OPERATIONERROR);
        return Handle;
    }
    bool TransferMemory(TW_IMAGEMEMXFER* xfer, TW_INT32 blockIndex) override
    {
        Lengths.push_back(TW_UINT32{xfer->Memory.Length});
        xfer->BytesWritten = 10;
        return blockIndex == 1;
    }
    bool Fail = false;
    TW_HANDLE Handle = reinterpret_cast<TW_HANDLE>(0x1234);
    std::vector<TW_UINT32> Lengths;
};

TEST_F(DispatchTest, TransfersEndWithXferDone)
{
    TransferSource source;
    source.Init(nullptr);
    TW_IDENTITY assigned = source.GetIdentity();
    ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    source.Pending = 2;
    TW_USERINTERFACE ui{};
    ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));

    // A failed native transfer goes back to transfer ready.
    source.Fail = true;
    TW_HANDLE handle = reinterpret_cast<TW_HANDLE>(1);
    EXPECT_EQ(TWRC_FAILURE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle));
    EXPECT_EQ(nullptr, handle);
    EXPECT_EQ(6, source.GetState());

    source.Fail = false;
    EXPECT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle));
    EXPECT_EQ(source.Handle, handle);
    EXPECT_EQ(7, source.GetState());
    EXPECT_TRUE(source.IsXferDone());
    TW_STATUS status{};
    ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &status));
    EXPECT_EQ(TWCC_SUCCESS, status.ConditionCode);

    TW_PENDINGXFERS pending{};
    ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
    EXPECT_EQ(6, source.GetState());
    EXPECT_FALSE(source.IsXferDone());

    // Memory blocks: too small is refused, too large is cut to the maximum.
    TW_IMAGEMEMXFER xfer{};
    xfer.Memory.Length = 0x7FFF;
    EXPECT_EQ(TWRC_FAILURE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer));
    EXPECT_EQ(6, source.GetState());
    xfer.Memory.Length = 0x20000;
    EXPECT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer));
    EXPECT_EQ(7, source.GetState());
    EXPECT_EQ(10u, TW_UINT32{xfer.BytesWritten});
    xfer.Memory.Length = 0x8000;
    EXPECT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer));
    EXPECT_EQ((std::vector<TW_UINT32>{0xFFFF, 0x8000}), source.Lengths);
}

} // namespace
} // namespace Trellis
