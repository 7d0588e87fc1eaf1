// The library's self-registration, loaded from its file on a fresh system
// root: exactly the rows the shell and the WIA dialogs look for, taken
// back on unregistration.
#include "platform/testing/RegistryRows.h"
#include "platform/testing/TempSystemRoot.h"
#include "shellext/RNXShellExtIds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace {

using Rows = plat::testing::RegistryRows;
using plat::testing::ClassesRootRows;

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_library = LoadLibraryA(QBK_RNXSHELLEXT);
        ASSERT_NE(m_library, nullptr);
        m_register = reinterpret_cast<Entry>(GetProcAddress(m_library, "DllRegisterServer"));
        m_unregister = reinterpret_cast<Entry>(GetProcAddress(m_library, "DllUnregisterServer"));
        ASSERT_TRUE(m_register && m_unregister);
    }
    void TearDown() override
    {
        if (m_library)
            FreeLibrary(m_library);
    }

    using Entry = HRESULT (*)();
    plat::testing::TempSystemRoot m_root;
    HMODULE m_library = nullptr;
    Entry m_register = nullptr;
    Entry m_unregister = nullptr;
};

TEST_F(RegistrationTest, WritesExactlyTheRowsOfBothClassesAndTakesThemBackKeepingTheRoots)
{
    const Rows before = ClassesRootRows();
    ASSERT_EQ(m_register(), S_OK);
    Rows after = ClassesRootRows();

    const std::u16string path = Utf8ToUtf16(QBK_RNXSHELLEXT);
    const std::u16string appId = plat::GuidToWideString(APPID_RNXShellExt);
    const std::u16string libId = plat::GuidToWideString(LIBID_RNXShellExtLib);
    const std::u16string handler = plat::GuidToWideString(CLSID_RNXWIADialogExtHandler);
    const std::u16string page = plat::GuidToWideString(CLSID_RNXHWPropertyPage);
    const std::u16string handlerKey = u"CLSID\\" + handler;
    const std::u16string pageKey = u"CLSID\\" + page;
    const std::u16string win = sizeof(void*) == 8 ? u"win64" : u"win32";
    const std::u16string lib = u"TypeLib\\" + libId;
    Rows expected = {
        {u"AppID", {}},
        {u"AppID\\" + appId, {{u"", u"RNXShellExt"}}},
        {u"AppID\\RNXShellExt.DLL", {{u"AppID", appId}}},
        {u"RNXShellExt.RNXWIADialogExtHandler.1", {{u"", u"RNXWIADialogExtHandler Class"}}},
        {u"RNXShellExt.RNXWIADialogExtHandler.1\\CLSID", {{u"", handler}}},
        {u"RNXShellExt.RNXWIADialogExtHandler", {{u"", u"RNXWIADialogExtHandler Class"}}},
        {u"RNXShellExt.RNXWIADialogExtHandler\\CLSID", {{u"", handler}}},
        {u"RNXShellExt.RNXWIADialogExtHandler\\CurVer", {{u"", u"RNXShellExt.RNXWIADialogExtHandler.1"}}},
        {u"CLSID", {}},
        {handlerKey, {{u"", u"RNXWIADialogExtHandler Class"}, {u"AppID", appId}}},
        {handlerKey + u"\\ProgID", {{u"", u"RNXShellExt.RNXWIADialogExtHandler.1"}}},
        {handlerKey + u"\\VersionIndependentProgID", {{u"", u"RNXShellExt.RNXWIADialogExtHandler"}}},
        {handlerKey + u"\\InprocServer32", {{u"", path}, {u"ThreadingModel", u"Apartment"}}},
        {handlerKey + u"\\TypeLib", {{u"", libId}}},
        {handlerKey + u"\\shellex", {}},
        {handlerKey + u"\\shellex\\WiaDialogExtensionHandlers", {}},
        {handlerKey + u"\\shellex\\WiaDialogExtensionHandlers\\" + handler, {{u"", u"RNX WIA Extenstion"}}},
        {handlerKey + u"\\shellex\\PropertySheetHandlers", {}},
        {handlerKey + u"\\shellex\\PropertySheetHandlers\\" + page, {{u"", u"RNX Shell Extenstion"}}},
        {u"RNXShellExtLib.RNXHWPropertyPage.1", {{u"", u"RNXHWPropertyPage Class"}}},
        {u"RNXShellExtLib.RNXHWPropertyPage.1\\CLSID", {{u"", page}}},
        {u"RNXShellExtLib.RNXHWPropertyPage", {{u"", u"RNXHWPropertyPage Class"}}},
        {u"RNXShellExtLib.RNXHWPropertyPage\\CLSID", {{u"", page}}},
        {u"RNXShellExtLib.RNXHWPropertyPage\\CurVer", {{u"", u"RNXShellExtLib.RNXHWPropertyPage.1"}}},
        {pageKey, {{u"", u"RNXHWPropertyPage Class"}, {u"AppID", appId}}},
        {pageKey + u"\\ProgID", {{u"", u"RNXShellExtLib.RNXHWPropertyPage.1"}}},
        {pageKey + u"\\VersionIndependentProgID", {{u"", u"RNXShellExtLib.RNXHWPropertyPage"}}},
        {pageKey + u"\\InprocServer32", {{u"", path}, {u"ThreadingModel", u"Apartment"}}},
        {pageKey + u"\\TypeLib", {{u"", libId}}},
        {u"TypeLib", {}},
        {lib, {}},
        {lib + u"\\1.0", {{u"", u"RNXShellExt 1.0 Type Library"}}},
        {lib + u"\\1.0\\0", {}},
        {lib + u"\\1.0\\0\\" + win, {{u"", path}}},
        {lib + u"\\1.0\\FLAGS", {{u"", u"0"}}},
        {lib + u"\\1.0\\HELPDIR", {{u"", Utf8ToUtf16(std::filesystem::path(QBK_RNXSHELLEXT).parent_path().string())}}},
    };
    for (const auto& [key, values] : before)
        after.erase(key);
    EXPECT_EQ(after, expected);

    ASSERT_EQ(m_unregister(), S_OK);
    Rows left = ClassesRootRows();
    for (const char16_t* root : {u"CLSID", u"AppID"}) {
        EXPECT_TRUE(left.count(root)) << Utf16ToUtf8(root) << " stays";
        left.erase(root);
    }
    left.erase(u"TypeLib");
    EXPECT_EQ(left, before);
    // Nothing there to take back is no error.
    EXPECT_EQ(m_unregister(), S_OK);
}

TEST_F(RegistrationTest, RegisteredClassesAreCreatedFromTheLibrary)
{
    ASSERT_EQ(m_register(), S_OK);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        plat::ComPtr<IWiaUIExtension> handler;
        EXPECT_EQ(CoCreateInstance(CLSID_RNXWIADialogExtHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IWiaUIExtension,
                                   handler.ReleaseAndGetVoidAddress()),
                  S_OK);
        plat::ComPtr<IShellExtInit> page;
        EXPECT_EQ(CoCreateInstance(CLSID_RNXHWPropertyPage, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                   page.ReleaseAndGetVoidAddress()),
                  S_OK);
        using CanUnload = HRESULT (*)();
        auto canUnload = reinterpret_cast<CanUnload>(GetProcAddress(m_library, "DllCanUnloadNow"));
        ASSERT_NE(canUnload, nullptr);
        EXPECT_EQ(canUnload(), S_FALSE);
    }
    CoUninitialize();
    EXPECT_EQ(m_unregister(), S_OK);
}

} // namespace
