#include "halservice/com/HALClasses.h"

#include "platform/registry/Registrar.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr CLSID kTestClassId = plat::MakeGuid("{4E2A9C15-6B3D-4F58-9A71-0C8D2E5B1F65}");

std::u16string ReadDefault(const std::u16string& path, const WCHAR* value = nullptr)
{
    WCHAR buffer[300] = {};
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return u"<missing>";
    const LONG result = RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::u16string(buffer) : u"<no value>";
}

bool KeyExists(const std::u16string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

TEST(HALClassesTest, SlotScriptRegistersProgIdsAndTheLocalServerClassAndRemovesThem)
{
    plat::testing::TempSystemRoot root;
    const std::u16string clsid = plat::GuidToWideString(kTestClassId);
    plat::Registrar registrar;
    registrar.AddReplacement(u"CLSID", clsid);
    registrar.AddReplacement(u"APPID", u"{B71D3E5A-2C94-4A6F-8E03-5D9C6A1F72E5}");
    registrar.AddReplacement(u"MODULE", u"/opt/hal/NAME_0001_5.exe");
    const std::string_view script = HALClassScript(5);
    ASSERT_FALSE(script.empty());
    ASSERT_EQ(registrar.Register(script), S_OK);

    const std::u16string key = u"CLSID\\" + clsid;
    EXPECT_EQ(ReadDefault(u"RNXHALService.RNXHALS_5.1"), u"RNXHALS_5 Class");
    EXPECT_EQ(ReadDefault(u"RNXHALService.RNXHALS_5.1\\CLSID"), clsid);
    EXPECT_EQ(ReadDefault(u"RNXHALService.RNXHALS_5"), u"RNXHALS_5 Class");
    EXPECT_EQ(ReadDefault(u"RNXHALService.RNXHALS_5\\CurVer"), u"RNXHALService.RNXHALS_5.1");
    EXPECT_EQ(ReadDefault(key), u"RNXHALS_5 Class");
    EXPECT_EQ(ReadDefault(key, u"AppID"), u"{B71D3E5A-2C94-4A6F-8E03-5D9C6A1F72E5}");
    EXPECT_EQ(ReadDefault(key + u"\\ProgID"), u"RNXHALService.RNXHALS_5.1");
    EXPECT_EQ(ReadDefault(key + u"\\VersionIndependentProgID"), u"RNXHALService.RNXHALS_5");
    EXPECT_EQ(ReadDefault(key + u"\\LocalServer32"), u"/opt/hal/NAME_0001_5.exe");
    EXPECT_EQ(ReadDefault(key + u"\\TypeLib"), plat::GuidToWideString(kHALTypeLibId));

    ASSERT_EQ(registrar.Unregister(script), S_OK);
    EXPECT_FALSE(KeyExists(key));
    EXPECT_FALSE(KeyExists(u"RNXHALService.RNXHALS_5.1"));
    EXPECT_TRUE(KeyExists(u"CLSID"));

    EXPECT_TRUE(HALClassScript(10).empty());
    EXPECT_TRUE(HALClassScript(-1).empty());
}

} // namespace
