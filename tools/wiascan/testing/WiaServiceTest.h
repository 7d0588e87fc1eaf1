// The image-acquisition service on a fresh system root, as the tests of
// wiascan meet it: the emulator program as the plugged-in scanner (two
// sheets), devinstall installing it (the hardware service registered as a
// service), and the still-image driver loaded here from its installed file
// with the hardware service running out of process.
#pragma once

#include "emulator/DeviceLink.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/wia/LongChanges.h"
#include "tools/wiascan/WiaDeviceHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace wiascan::testing {

using plat::testing::ChildProcess;
using plat::wia::WiaItem;

class WiaServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_emulator.Started());
        ASSERT_EQ(m_emulator.ReadLine().rfind("device ", 0), 0u);
        ASSERT_EQ(m_emulator.ReadLine().rfind("ready ", 0), 0u);
        std::string installed;
        ASSERT_EQ(plat::testing::RunProgram({QBK_DEVINSTALL, "install"}, &installed), 0) << installed;

        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        m_comEntered = true;
        std::string failure;
        std::optional<wiascan::InstalledScanner> scanner = wiascan::FindInstalledScanner("", &failure);
        ASSERT_TRUE(scanner) << failure;
        m_host = std::make_unique<wiascan::WiaDeviceHost>(std::move(*scanner));
        ASSERT_EQ(m_host->Load(&failure), S_OK) << failure;
        m_root = m_host->FindItem(u"Root");
        m_feeder = m_host->FindItem(u"Feeder");
        ASSERT_TRUE(m_root && m_feeder);
    }

    void TearDown() override
    {
        m_host.reset();
        if (m_comEntered)
            CoUninitialize();
        plat::testing::KillProgramsRunFrom(m_systemRoot.Path());
    }

    LONG Read(WiaItem* item, PROPID id)
    {
        LONG value = -1;
        EXPECT_EQ(S_OK, wiasReadPropLong(item->Context(), id, &value, nullptr, TRUE));
        return value;
    }

    HRESULT Write(WiaItem* item, const std::vector<std::pair<PROPID, LONG>>& changes)
    {
        const plat::wia::LongChanges change(changes);
        return m_host->WriteProperties(*item, change.specs, change.values);
    }

    // A control line to the emulator ("load 0", ...); its answer.
    std::string ControlScanner(const std::string& line)
    {
        emulator::RemoteScannerDevice link(plat::devices::EndpointPathFor(m_host->Scanner().record.interfacePath));
        std::string answer;
        EXPECT_TRUE(link.Control(line, &answer)) << line << ": " << answer;
        return answer;
    }

    plat::testing::TempSystemRoot m_systemRoot;
    ChildProcess m_emulator{{QBK_EMULATOR, "--sheets", "2", "--serial", "wia01"}};
    bool m_comEntered = false;
    std::unique_ptr<wiascan::WiaDeviceHost> m_host;
    WiaItem* m_root = nullptr;
    WiaItem* m_feeder = nullptr;
};

} // namespace wiascan::testing
