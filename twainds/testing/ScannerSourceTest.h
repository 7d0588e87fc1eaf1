// The data source as an application meets it on a system with a scanner:
// the emulator program as the plugged-in scanner, installed through the
// co-installer (hardware service and pipeline registered) with the
// device's copy of the library in a data source manager's folder, and the
// triplets an application sends through our manager. Pages are checked
// against the emulator's pattern as the scanner's gamma tables leave it.
#pragma once

#include "emulator/ImagePattern.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/twain/twain.h"
#include "platform/twaindsm/SourceManager.h"
#include "platform/windows.h"
#include "twainds/GammaTables.h"
#include "twainfw/CTWAINContainer.h"
#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qbk24::testing {

// The smallest buffer the source takes for a memory transfer.
inline constexpr TW_UINT32 kSmallestMemoryBuffer = 0x8000;

// One delivered image, top line first, lines of `stride` bytes with the
// samples as TWAIN gives them: RGB, 0 = black in black and white.
struct ScannedPage {
    TW_IMAGEINFO info{};
    TW_INT32 width = 0;
    TW_INT32 height = 0;
    int bitsPerPixel = 0;
    size_t stride = 0;
    std::vector<BYTE> rows;
    // Compressed data as it came, when the transfer kept it so.
    std::vector<BYTE> compressed;
    TW_UINT32 pageNumber = 0; // the extended image information's
};

// The bytes of a line the scanner sends for a page and line, with the
// gamma tables the source downloads applied and black and white as TWAIN
// has it (0 = black).
inline std::vector<BYTE> ExpectedLine(std::uint32_t sheet, std::uint32_t side, std::uint32_t y, std::uint32_t pixels,
                                      int bitsPerPixel)
{
    std::vector<BYTE> line(pixels * static_cast<std::uint32_t>(bitsPerPixel) / 8);
    emulator::RenderPatternLine(sheet, side, y, pixels, bitsPerPixel, line.data());
    if (bitsPerPixel == 1) {
        for (BYTE& b : line)
            b = static_cast<BYTE>(~b);
    } else if (bitsPerPixel == 8) {
        for (BYTE& b : line)
            b = GammaGray()[b];
    } else {
        for (size_t i = 0; i + 2 < line.size(); i += 3) {
            line[i] = GammaChannel1()[line[i]];
            line[i + 1] = GammaChannel2()[line[i + 1]];
            line[i + 2] = GammaChannel3()[line[i + 2]];
        }
    }
    return line;
}

// The first line that differs from the pattern of that sheet and side, or
// -1. With a tolerance, a line may differ by that much on average (JPEG).
inline long FirstBadLine(const ScannedPage& page, std::uint32_t sheet, std::uint32_t side, double tolerance = 0)
{
    const std::uint32_t pixels = static_cast<std::uint32_t>(page.width) & ~7u;
    for (long y = 0; y < page.height; ++y) {
        const std::vector<BYTE> expected =
            ExpectedLine(sheet, side, static_cast<std::uint32_t>(y), pixels, page.bitsPerPixel);
        const BYTE* row = page.rows.data() + static_cast<size_t>(y) * page.stride;
        if (tolerance == 0) {
            if (std::memcmp(row, expected.data(), expected.size()) != 0)
                return y;
            continue;
        }
        double difference = 0;
        for (size_t i = 0; i < expected.size(); ++i)
            difference += std::abs(static_cast<int>(row[i]) - static_cast<int>(expected[i]));
        if (difference / static_cast<double>(expected.size()) > tolerance)
            return y;
    }
    return -1;
}

class ScannerSourceTest : public ::testing::Test {
protected:
    static constexpr const char* kSerial = "twain01";

    void TearDown() override
    {
        if (m_opened)
            Close();
        if (m_managerOpen)
            DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, nullptr);
        if (m_library)
            FreeLibrary(m_library);
        if (m_com)
            CoUninitialize();
        plat::testing::KillProgramsRunFrom(m_root.Path());
    }

    // Plugs in a scanner with `sheets` in its feeder, installs it into a
    // manager's folder as a user does, and opens its data source: through
    // our data source manager, or straight through its DS_Entry when the
    // test plays the manager itself (m_entryPoint).
    void Install(int sheets, std::vector<std::string> emulatorOptions = {})
    {
        const std::string folder = (std::filesystem::path(m_root.Path()) / "lib" / "twain").string();
        std::string output;
        PlugIn(sheets, std::move(emulatorOptions), folder, output);
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        m_com = true;
        m_app.Id = 1;
        m_app.ProtocolMajor = 2;
        m_app.ProtocolMinor = 4;
        m_app.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
        std::strcpy(m_app.ProductName, "Test Application");
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file() && entry.path().filename().string().find(".ds") != std::string::npos)
                m_copy = entry.path().string();
        }
        ASSERT_FALSE(m_copy.empty()) << output;
        if (m_entryPoint)
            OpenDirectly();
        else
            OpenThroughManager(folder);
    }

    // Plugs in a scanner with `sheets` in its feeder and installs it with
    // its data source in the manager's `folder`; what the installer said.
    void PlugIn(int sheets, std::vector<std::string> emulatorOptions, const std::string& folder, std::string& output)
    {
        std::vector<std::string> args = {QBK_EMULATOR, "--sheets", std::to_string(sheets), "--serial", kSerial};
        args.insert(args.end(), emulatorOptions.begin(), emulatorOptions.end());
        m_emulator = std::make_unique<plat::testing::ChildProcess>(args);
        ASSERT_TRUE(m_emulator->Started());
        ASSERT_EQ(m_emulator->ReadLine().rfind("device ", 0), 0u);
        ASSERT_EQ(m_emulator->ReadLine().rfind("ready ", 0), 0u);
        ASSERT_EQ(plat::testing::RunProgram({QBK_DEVINSTALL, "install", "--twain-folder", folder}, &output), 0)
            << output;
    }

    void OpenThroughManager(const std::string& folder)
    {
        twaindsm::SetSourceFolder(folder);
        ASSERT_EQ(DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr), TWRC_SUCCESS);
        m_managerOpen = true;
        ASSERT_EQ(DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &m_source), TWRC_SUCCESS);
        ASSERT_EQ(DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_source), TWRC_SUCCESS)
            << ConditionCode();
        m_opened = true;
    }

    void OpenDirectly()
    {
        m_library = LoadLibraryA(m_copy.c_str());
        ASSERT_NE(m_library, nullptr) << m_copy;
        m_entry = reinterpret_cast<DSENTRYPROC>(GetProcAddress(m_library, "DS_Entry"));
        ASSERT_NE(m_entry, nullptr);
        ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &m_source), TWRC_SUCCESS);
        // A manager hands its entry point over before the source opens.
        ASSERT_EQ(Call(DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, m_entryPoint), TWRC_SUCCESS);
        m_source.Id = 2;
        ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_source), TWRC_SUCCESS) << ConditionCode();
        m_opened = true;
    }

    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
    {
        if (m_entry)
            return m_entry(&m_app, dg, dat, msg, data);
        return DSM_Entry(&m_app, &m_source, dg, dat, msg, data);
    }

    TW_UINT16 ConditionCode()
    {
        TW_STATUS status{};
        Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        return status.ConditionCode;
    }

    void Close()
    {
        const TW_UINT16 rc = m_entry ? Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source)
                                     : DSM_Entry(&m_app, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source);
        EXPECT_EQ(rc, TWRC_SUCCESS) << ConditionCode();
        m_opened = false;
    }

    TW_UINT16 SetCap(TW_UINT16 id, const Trellis::CTWAINOneValue& value)
    {
        TW_HANDLE handle = Trellis::CTWAINContainer(value).ToHandle();
        TW_CAPABILITY capability{id, TWON_ONEVALUE, handle};
        const TW_UINT16 rc = Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
        Trellis::TWAINFreeHandle(handle);
        return rc;
    }

    TW_UINT16 GetCap(TW_UINT16 id, TW_UINT16 msg, Trellis::CTWAINContainer& answer)
    {
        TW_CAPABILITY capability{id, TWON_DONTCARE16, nullptr};
        const TW_UINT16 rc = Call(DG_CONTROL, DAT_CAPABILITY, msg, &capability);
        answer = Trellis::CTWAINContainer();
        if (capability.hContainer) {
            answer.FromHandle(capability.hContainer, capability.ConType);
            Trellis::TWAINFreeHandle(capability.hContainer);
        }
        return rc;
    }

    // Sends the emulator a control line.
    void Control(const std::vector<std::string>& words)
    {
        std::vector<std::string> args = {QBK_EMULATOR, "control", "--serial", kSerial};
        args.insert(args.end(), words.begin(), words.end());
        std::string answer;
        EXPECT_EQ(plat::testing::RunProgram(args, &answer), 0) << answer;
    }

    // MSG_ENABLEDS without a dialog.
    TW_UINT16 Enable(bool showUI = false)
    {
        TW_USERINTERFACE ui{};
        ui.ShowUI = showUI ? 1 : 0;
        return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    }

    void Disable()
    {
        TW_USERINTERFACE ui{};
        EXPECT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS) << ConditionCode();
    }

    TW_UINT16 EndXfer(TW_PENDINGXFERS& pending)
    {
        pending = TW_PENDINGXFERS{};
        return Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    }

    // The rest of one image after DAT_IMAGEINFO filled `page.info`, by memory
    // transfer in buffers of `bufferSize` bytes: uncompressed strips land
    // at their rows, compressed data is kept as it comes. `afterBuffer`
    // looks between two buffers. The last return code.
    TW_UINT16 MemoryTransfer(ScannedPage& page, TW_UINT32 bufferSize, bool compressed,
                             const std::function<void()>& afterBuffer = nullptr)
    {
        page.width = page.info.ImageWidth;
        page.height = page.info.ImageLength;
        page.bitsPerPixel = page.info.BitsPerPixel;
        std::vector<BYTE> buffer(bufferSize);
        for (;;) {
            TW_IMAGEMEMXFER xfer{};
            xfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
            xfer.Memory.Length = bufferSize;
            xfer.Memory.TheMem = buffer.data();
            const TW_UINT16 rc = Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
            if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE)
                return rc;
            if (compressed) {
                page.compressed.insert(page.compressed.end(), buffer.begin(), buffer.begin() + xfer.BytesWritten);
            } else if (xfer.Rows > 0) {
                // Packed record: its fields are read by copy.
                const TW_UINT32 written = xfer.BytesWritten;
                EXPECT_EQ(written, TW_UINT32{xfer.Rows} * xfer.BytesPerRow);
                page.stride = xfer.BytesPerRow;
                page.rows.resize(std::max<size_t>(page.stride * (xfer.YOffset + xfer.Rows),
                                                  page.stride * xfer.YOffset + xfer.BytesWritten));
                std::copy(buffer.begin(), buffer.begin() + xfer.BytesWritten,
                          page.rows.begin() + static_cast<long>(page.stride * xfer.YOffset));
            }
            if (rc == TWRC_XFERDONE)
                return rc;
            if (afterBuffer)
                afterBuffer();
        }
    }

    plat::testing::TempSystemRoot m_root;
    std::unique_ptr<plat::testing::ChildProcess> m_emulator;
    // The installed copy of the data source.
    std::string m_copy;
    bool m_com = false;
    bool m_managerOpen = false;
    bool m_opened = false;
    HMODULE m_library = nullptr;
    DSENTRYPROC m_entry = nullptr;
    TW_IDENTITY m_app{};
    TW_IDENTITY m_source{};
    // The manager's entry point and memory functions, when the test plays one.
    TW_ENTRYPOINT* m_entryPoint = nullptr;
};

} // namespace qbk24::testing
