#include "platform/registry/Registrar.h"

#include "platform/windows.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::u16string& s) { return Utf16ToUtf8(s); }

// Every key and value below `key` as lines "path" and "path|name=type:data"
// (strings as text, other data as hex), in enumeration order.
void Dump(HKEY key, const std::string& path, std::vector<std::string>& out)
{
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD cchName = 256, type = 0;
        BYTE data[1024];
        DWORD size = sizeof data;
        if (RegEnumValueW(key, i, name, &cchName, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        std::string text;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            std::u16string s(size / 2, u'\0');
            std::memcpy(s.data(), data, s.size() * 2);
            text = Narrow(s.substr(0, s.find(u'\0')));
        } else {
            static const char* hex = "0123456789abcdef";
            for (DWORD b = 0; b < size; ++b)
                (text += hex[data[b] >> 4]) += hex[data[b] & 15];
        }
        out.push_back(path + "|" + Narrow(std::u16string(name, cchName)) + "=" + std::to_string(type) + ":" + text);
    }
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD cch = 256;
        if (RegEnumKeyExW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::string sub = (path.empty() ? "" : path + "\\") + Narrow(std::u16string(name, cch));
        out.push_back(sub);
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            Dump(child, sub, out);
            RegCloseKey(child);
        }
    }
}

std::vector<std::string> Dump(HKEY hive, const char16_t* path)
{
    std::vector<std::string> out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(hive, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    Dump(key, "", out);
    RegCloseKey(key);
    return out;
}

void SetString(HKEY hive, const char16_t* path, const char16_t* name, const std::u16string& text)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(hive, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * 2)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// A local server class with its ProgIDs and application id, written the way
// the servers' own scripts are.
const char16_t kClassScript[] = uR"(
HKCR
{
    Test.Thing.1 = s 'Thing Class'
    {
        CLSID = s '%CLSID%'
    }
    Test.Thing = s 'Thing Class'
    {
        CLSID = s '%CLSID%'
        CurVer = s 'Test.Thing.1'
    }
    NoRemove CLSID
    {
        ForceRemove %CLSID% = s 'Thing Class'
        {
            ProgID = s 'Test.Thing.1'
            VersionIndependentProgID = s 'Test.Thing'
            LocalServer32 = s '%MODULE%'
            val AppID = s '%APPID%'
            'TypeLib' = s '{8E0C1A52-6B7D-4F11-9C3A-2D5E7F901234}'
        }
    }
    NoRemove AppID
    {
        '%APPID%' = s '%NAME%'
        '%NAME%.EXE'
        {
            val AppID = s '%APPID%'
        }
    }
}
)";

class RegistrarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registrar.AddReplacement(u"CLSID", u"{1B2C3D4E-0000-4000-8000-00000000AB01}");
        registrar.AddReplacement(u"APPID", u"{1B2C3D4E-0000-4000-8000-00000000AB00}");
        registrar.AddReplacement(u"Name", u"ThingServer");
        registrar.AddReplacement(u"MODULE", u"/opt/o'brien/bin/thing server");
    }

    plat::testing::TempSystemRoot root;
    plat::Registrar registrar;
};

TEST_F(RegistrarTest, RegistersAndUnregistersAClassExactly)
{
    // Another class that must survive, a stale subkey of an older
    // registration of this class, and a value this script does not make.
    SetString(HKEY_LOCAL_MACHINE, u"Software\\Classes\\CLSID\\{99999999-0000-4000-8000-000000000000}", u"", u"Other");
    SetString(HKEY_LOCAL_MACHINE, u"Software\\Classes\\CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}\\Stale", u"",
              u"old");
    SetString(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Test.Thing", u"Foreign", u"kept");
    std::vector<std::string> before = Dump(HKEY_LOCAL_MACHINE, u"Software\\Classes");

    ASSERT_EQ(registrar.Register(kClassScript), S_OK);
    const std::vector<std::string> registered = {
        "AppID",
        "AppID\\ThingServer.EXE",
        "AppID\\ThingServer.EXE|AppID=1:{1B2C3D4E-0000-4000-8000-00000000AB00}",
        "AppID\\{1B2C3D4E-0000-4000-8000-00000000AB00}",
        "AppID\\{1B2C3D4E-0000-4000-8000-00000000AB00}|=1:ThingServer",
        "CLSID",
        "CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}",
        "CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}|=1:Thing Class",
        "CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}|AppID=1:{1B2C3D4E-0000-4000-8000-00000000AB00}",
        "CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}\\LocalServer32",
        "CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}\\LocalServer32|=1:/opt/o'brien/bin/thing server",
        "CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}\\ProgID",
        "CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}\\ProgID|=1:Test.Thing.1",
        "CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}\\TypeLib",
        "CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}\\TypeLib|=1:{8E0C1A52-6B7D-4F11-9C3A-2D5E7F901234}",
        "CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}\\VersionIndependentProgID",
        "CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}\\VersionIndependentProgID|=1:Test.Thing",
        "CLSID\\{99999999-0000-4000-8000-000000000000}",
        "CLSID\\{99999999-0000-4000-8000-000000000000}|=1:Other",
        "Test.Thing",
        "Test.Thing|Foreign=1:kept",
        "Test.Thing|=1:Thing Class",
        "Test.Thing\\CLSID",
        "Test.Thing\\CLSID|=1:{1B2C3D4E-0000-4000-8000-00000000AB01}",
        "Test.Thing\\CurVer",
        "Test.Thing\\CurVer|=1:Test.Thing.1",
        "Test.Thing.1",
        "Test.Thing.1|=1:Thing Class",
        "Test.Thing.1\\CLSID",
        "Test.Thing.1\\CLSID|=1:{1B2C3D4E-0000-4000-8000-00000000AB01}",
    };
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, u"Software\\Classes"), registered);
    EXPECT_TRUE(Dump(HKEY_CURRENT_USER, u"Software\\Classes").empty());

    // Registering again changes nothing.
    ASSERT_EQ(registrar.Register(kClassScript), S_OK);
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, u"Software\\Classes"), registered);

    // Unregistering leaves what was there before, minus the stale subkey
    // that ForceRemove took, plus the NoRemove AppID key (now empty).
    ASSERT_EQ(registrar.Unregister(kClassScript), S_OK);
    std::vector<std::string> expected = {"AppID"};
    for (const std::string& line : before)
        if (line.find("AB01}") == std::string::npos)
            expected.push_back(line);
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, u"Software\\Classes"), expected);

    // And again: nothing left to remove is no error.
    EXPECT_EQ(registrar.Unregister(kClassScript), S_OK);
}

TEST_F(RegistrarTest, PerUserModeWritesTheUsersClasses)
{
    registrar.SetPerUser(true);
    ASSERT_EQ(registrar.Register(kClassScript), S_OK);
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, u"Software\\Classes"), std::vector<std::string>{});
    std::vector<std::string> user = Dump(HKEY_CURRENT_USER, u"Software\\Classes");
    EXPECT_EQ(user.size(), 27u); // the class, its ProgIDs and its application id
    // The classes view finds the per-user registration.
    HKEY server = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{1B2C3D4E-0000-4000-8000-00000000AB01}\\LocalServer32", 0,
                            KEY_READ, &server),
              ERROR_SUCCESS);
    RegCloseKey(server);

    ASSERT_EQ(registrar.Unregister(kClassScript), S_OK);
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, u"Software\\Classes"), (std::vector<std::string>{"AppID", "CLSID"}));
}

TEST_F(RegistrarTest, ValueTypesAndDeleteKeys)
{
    SetString(HKEY_LOCAL_MACHINE, u"Software\\Test\\Old\\Deep", u"", u"x");
    const char script[] = R"(
        HKLM { NoRemove Software { Test {
            val Text = s 'it''s 100%%'
            val Expand = e '%%SystemRoot%%\x'
            val Number = d '123'
            val Hex = d 0xFFFFFFFF
            val Negative = d -2
            val Bytes = b '01 02 fe'
            val List = m 'one\0two'
            Delete Old
        } } }
    )";
    ASSERT_EQ(registrar.Register(script), S_OK);
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, u"Software\\Test"), (std::vector<std::string>{
                                                               "|Text=1:it's 100%",
                                                               "|Expand=2:%SystemRoot%\\x",
                                                               "|Number=4:7b000000",
                                                               "|Hex=4:ffffffff",
                                                               "|Negative=4:feffffff",
                                                               "|Bytes=3:0102fe",
                                                               "|List=7:6f006e006500000074007700"
                                                               "6f0000000000",
                                                           }));
    // Delete keys are not recreated on unregister; the listed key goes.
    ASSERT_EQ(registrar.Unregister(script), S_OK);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Test", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegistrarTest, MalformedScriptsChangeNothing)
{
    struct Case {
        const char* script;
        HRESULT expected;
    };
    const Case cases[] = {
        {"HKCR { A = s 'x' ", DISP_E_EXCEPTION},
        {"HKCR { A = s 'x' } }", DISP_E_EXCEPTION},
        {"HKXX { A }", DISP_E_EXCEPTION},
        {"HKCR { val A s 'x' }", DISP_E_EXCEPTION},
        {"HKCR { A = q 'x' }", DISP_E_EXCEPTION},
        {"HKCR { A = d '12z' }", DISP_E_EXCEPTION},
        {"HKCR { A = d '99999999999' }", DISP_E_EXCEPTION},
        {"HKCR { A = b '123' }", DISP_E_EXCEPTION},
        {"HKCR { A = s 'unterminated }", DISP_E_EXCEPTION},
        {"HKCR { '' = s 'x' }", DISP_E_EXCEPTION},
        {"HKCR { A = s '%NOT A NAME%' }", DISP_E_EXCEPTION},
        {"HKCR { A = s '%UNKNOWN%' }", E_INVALIDARG},
        // A good first root does not get written when a later part is bad.
        {"HKCR { Good = s 'x' } HKLM { Bad = }", DISP_E_EXCEPTION},
    };
    std::vector<std::string> before = Dump(HKEY_LOCAL_MACHINE, u"Software");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(registrar.Register(std::string_view(c.script)), c.expected);
        EXPECT_EQ(registrar.Unregister(std::string_view(c.script)), c.expected);
        EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, u"Software"), before);
    }
    std::string deep(200, '{');
    EXPECT_EQ(registrar.Register("HKCR { A " + deep), DISP_E_EXCEPTION);
    std::string nested = "HKCR {";
    for (int i = 0; i < 100; ++i)
        nested += " K {";
    nested += std::string(101, '}');
    EXPECT_EQ(registrar.Register(nested), DISP_E_EXCEPTION);
}

} // namespace
