// The settings dialog over the real scanner: the emulator program plugged
// in and installed (ScannerSourceTest.h), the hardware service in its own
// process, and a data source of this process bound to the device's key
// values, opened and showing its dialog on the headless window model. The
// user scans with the dialog's Scan button and the application transfers
// the images.
#pragma once

#include "platform/ui/Display.h"
#include "platform/ui/UiScript.h"
#include "platform/ui/UserActions.h"
#include "twainds/testing/OpenSourceTest.h"
#include "twainds/testing/ScannerSourceTest.h"
#include "twainds/ui/CMainDSDlg.h"
#include "twainds/ui/DialogIds.h"

#include <filesystem>
#include <string>

namespace qbk24::testing {

class DeviceDialogTest : public ScannerSourceTest {
protected:
    // Plugs in a scanner with `sheets` in its feeder and opens the dialog.
    void Open(int sheets)
    {
        std::string output;
        PlugIn(sheets, {}, (std::filesystem::path(m_root.Path()) / "lib" / "twain").string(), output);
        if (HasFatalFailure())
            return;
        const std::string marker = "(driver key ";
        const size_t at = output.find(marker);
        ASSERT_NE(at, std::string::npos) << output;
        const size_t start = at + marker.size();
        ReadDeviceValues(output.substr(start, output.find(')', start) - start));
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        m_com = true;
        ASSERT_TRUE(m_dataSource.Trellis::CTWAINDataSource::Init(nullptr));
        TW_IDENTITY identity = m_dataSource.GetIdentity();
        identity.Id = 2;
        m_app.Id = 1;
        ASSERT_EQ(TWRC_SUCCESS, Dispatch(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity));
        m_dataSourceOpened = true;
        TW_USERINTERFACE ui{};
        ui.ShowUI = 1;
        ASSERT_EQ(TWRC_SUCCESS, Dispatch(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
        m_dialog = m_dataSource.MainDialog;
        ASSERT_NE(m_dialog, nullptr);
    }

    void TearDown() override
    {
        if (m_dataSourceOpened) {
            TW_PENDINGXFERS pending{};
            if (m_dataSource.GetState() >= 6)
                Dispatch(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
            TW_USERINTERFACE ui{};
            Dispatch(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
            TW_IDENTITY identity = m_dataSource.GetIdentity();
            Dispatch(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity);
        }
        m_dataSource.ReleasePipeline();
        ScannerSourceTest::TearDown();
    }

    int Dispatch(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
    {
        return m_dataSource.Dispatch(&m_app, dg, dat, msg, data);
    }

    // The user presses Scan; the application transfers every image natively.
    // The number of images.
    int ScanWithTheDialog()
    {
        if (!plat::ui::Click(GetDlgItem(m_dialog->m_hWnd, IDOK)) || m_dataSource.GetState() != 6)
            return 0;
        int images = 0;
        for (TW_PENDINGXFERS pending{1, {0}}; pending.Count != 0 && images < 20;) {
            TW_HANDLE handle = nullptr;
            const int rc = Dispatch(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
            if (handle)
                Trellis::TWAINFreeHandle(handle);
            if (rc != TWRC_XFERDONE)
                break;
            ++images;
            pending = TW_PENDINGXFERS{};
            Dispatch(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        }
        return images;
    }

    plat::ui::ScopedHeadlessWindows m_headless;
    plat::ui::ScopedUiScript m_script;
    TestDataSource m_dataSource;
    bool m_dataSourceOpened = false;
    CMainDSDlg* m_dialog = nullptr;

private:
    // What the data source reads from its device's key when it is loaded as
    // the device's copy.
    void ReadDeviceValues(const std::string& driverKey)
    {
        HKEY key = nullptr;
        const std::u16string path = u"SYSTEM\\CurrentControlSet\\Control\\Class\\" + Utf8ToUtf16(driverKey);
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
        const auto read = [key](const char16_t* name) {
            char16_t value[512] = {};
            DWORD size = sizeof(value) - sizeof(char16_t);
            RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
            return Utf16ToUtf8(value);
        };
        m_dataSource.FriendlyName = read(u"FriendlyName");
        m_dataSource.SymbolicName = read(u"SymbolicName");
        m_dataSource.HalClsidText = read(u"HAL_CLSID");
        RegCloseKey(key);
        ASSERT_TRUE(SUCCEEDED(IIDFromString(Utf8ToUtf16(m_dataSource.HalClsidText).c_str(), &m_dataSource.HalClsid)))
            << m_dataSource.HalClsidText;
    }
};

} // namespace qbk24::testing
