#include "platform/windows.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Owns one open key for the length of a test step.
class Key {
public:
    Key() = default;
    explicit Key(HKEY h) : m_h(h) {}
    ~Key()
    {
        if (m_h)
            RegCloseKey(m_h);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* Out() { return &m_h; }
    operator HKEY() const { return m_h; }

private:
    HKEY m_h = nullptr;
};

class Registry : public ::testing::Test {
protected:
    plat::testing::TempSystemRoot root;

    static LONG Create(HKEY parent, const char16_t* path, Key& key, DWORD* disposition = nullptr)
    {
        return RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Out(), disposition);
    }
    static LONG SetString(HKEY key, const char16_t* name, const std::u16string& text, DWORD type = REG_SZ)
    {
        return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * 2));
    }
    static std::vector<BYTE> Bytes(HKEY key, const char16_t* name, DWORD* type = nullptr)
    {
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, type, nullptr, &size), ERROR_SUCCESS);
        std::vector<BYTE> data(size);
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, type, data.data(), &size), ERROR_SUCCESS);
        data.resize(size);
        return data;
    }
    static std::u16string String(HKEY key, const char16_t* name)
    {
        std::vector<BYTE> data = Bytes(key, name);
        std::u16string s(data.size() / 2, u'\0');
        std::memcpy(s.data(), data.data(), s.size() * 2);
        if (!s.empty() && s.back() == u'\0')
            s.pop_back();
        return s;
    }
    static std::vector<std::u16string> SubKeys(HKEY key)
    {
        std::vector<std::u16string> names;
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD cch = 256;
            LONG err = RegEnumKeyExW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
            if (err == ERROR_NO_MORE_ITEMS)
                break;
            EXPECT_EQ(err, ERROR_SUCCESS);
            if (err != ERROR_SUCCESS)
                break;
            names.emplace_back(name, cch);
        }
        return names;
    }
    static std::vector<std::u16string> ValueNames(HKEY key)
    {
        std::vector<std::u16string> names;
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD cch = 256;
            LONG err = RegEnumValueW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
            if (err == ERROR_NO_MORE_ITEMS)
                break;
            EXPECT_EQ(err, ERROR_SUCCESS);
            if (err != ERROR_SUCCESS)
                break;
            names.emplace_back(name, cch);
        }
        return names;
    }
};

std::vector<BYTE> Utf16Le(const std::u16string& s)
{
    std::vector<BYTE> out;
    for (char16_t c : s) {
        out.push_back(static_cast<BYTE>(c & 0xFF));
        out.push_back(static_cast<BYTE>(c >> 8));
    }
    return out;
}

TEST_F(Registry, StringsAreStoredAsUtf16LeWithTheTerminator)
{
    Key key;
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, u"Software\\Test", key), ERROR_SUCCESS);

    ASSERT_EQ(SetString(key, u"Wide", u"Gr\u00FC\u00DFe \u20AC"), ERROR_SUCCESS);
    const char narrow[] = "Gr\xC3\xBC\xC3\x9F"
                          "e \xE2\x82\xAC";
    ASSERT_EQ(RegSetValueExA(key, "Narrow", 0, REG_SZ, reinterpret_cast<const BYTE*>(narrow), sizeof narrow),
              ERROR_SUCCESS);
    const char16_t multi[] = u"one\0two\0";
    ASSERT_EQ(RegSetValueExW(key, u"Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof multi),
              ERROR_SUCCESS);

    std::vector<BYTE> expected = Utf16Le(std::u16string(u"Gr\u00FC\u00DFe \u20AC\0", 8));
    DWORD type = 0;
    EXPECT_EQ(Bytes(key, u"Wide", &type), expected);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(Bytes(key, u"Narrow"), expected);
    EXPECT_EQ(Bytes(key, u"Multi", &type), Utf16Le(std::u16string(u"one\0two\0\0", 9)));
    EXPECT_EQ(type, REG_MULTI_SZ);

    // The A form hands the same text back as UTF-8, terminator included.
    char back[32] = {};
    DWORD size = sizeof back;
    ASSERT_EQ(RegQueryValueExA(key, "Wide", nullptr, &type, reinterpret_cast<BYTE*>(back), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, sizeof narrow);
    EXPECT_STREQ(back, narrow);
}

TEST_F(Registry, StringSizesAreTakenUpToTheTerminator)
{
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, u"Software\\Test", key), ERROR_SUCCESS);
    struct Case {
        const char* name;
        std::string data; // narrow data as given, with its stated size
        DWORD type;
        std::u16string stored;
    };
    const Case cases[] = {
        // Without a terminator the stated size is stored as given.
        {"NoTerminator", std::string("abc", 3), REG_SZ, std::u16string(u"abc", 3)},
        // A stated size past the terminator stops at it.
        {"PastTerminator", std::string("ab\0garbage", 10), REG_SZ, std::u16string(u"ab\0", 3)},
        {"Expand", std::string("%TEMP%\0xx", 9), REG_EXPAND_SZ, std::u16string(u"%TEMP%\0", 7)},
        {"MultiPast", std::string("a\0b\0\0zz", 7), REG_MULTI_SZ, std::u16string(u"a\0b\0\0", 5)},
        {"Empty", std::string(), REG_SZ, std::u16string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(RegSetValueExA(key, c.name, 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                                 static_cast<DWORD>(c.data.size())),
                  ERROR_SUCCESS);
        std::u16string wideName(c.name, c.name + std::strlen(c.name));
        EXPECT_EQ(Bytes(key, wideName.c_str()), Utf16Le(c.stored));
        // Written without a terminator, read back unchanged through the A form.
        char back[32];
        DWORD size = sizeof back;
        ASSERT_EQ(RegQueryValueExA(key, c.name, nullptr, nullptr, reinterpret_cast<BYTE*>(back), &size), ERROR_SUCCESS);
        EXPECT_EQ(size, c.stored.size());
    }
}

TEST_F(Registry, RefusesDataThatDoesNotFitItsType)
{
    Key key;
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, u"Software\\Test", key), ERROR_SUCCESS);
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(RegSetValueExW(key, u"D", 0, REG_DWORD, eight, 8), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"D", 0, REG_DWORD, eight, 2), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"Q", 0, REG_QWORD, eight, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"B", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
    EXPECT_EQ(RegQueryValueExW(key, u"D", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegSetValueExW(key, u"D", 0, REG_DWORD, eight, 4), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, u"Q", 0, REG_QWORD, eight, 8), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, u"Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    DWORD value = 0, size = sizeof value, type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "D", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 0x04030201u);
    EXPECT_TRUE(Bytes(key, u"Empty").empty());
}

TEST_F(Registry, QueryReportsTheSizeNeeded)
{
    Key key;
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, u"Software\\Test", key), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, u"Path", u"C:\\Windows\\\u00E9"), ERROR_SUCCESS); // 12 chars + terminator

    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"Path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 26u);
    EXPECT_EQ(type, REG_SZ);

    BYTE small[8];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, u"Path", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 26u);

    // The narrow size is that of the UTF-8 text (the é takes two bytes).
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 14u);

    BYTE exact[26];
    size = sizeof exact;
    EXPECT_EQ(RegQueryValueExW(key, u"Path", nullptr, nullptr, exact, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 26u);

    size = 99;
    EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(key, u"Path", nullptr, nullptr, exact, nullptr), ERROR_INVALID_PARAMETER);
    // The type alone.
    EXPECT_EQ(RegQueryValueExW(key, u"Path", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
}

TEST_F(Registry, NamesIgnoreCaseAndKeepTheirSpelling)
{
    {
        Key key;
        ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, u"Software\\MixedCase\\\u00C4rger", key), ERROR_SUCCESS);
        ASSERT_EQ(SetString(key, u"ValueName", u"first"), ERROR_SUCCESS);
        // Same name in other case: replaces the data, keeps the first spelling.
        ASSERT_EQ(SetString(key, u"VALUENAME", u"second"), ERROR_SUCCESS);
        ASSERT_EQ(SetString(key, u"other", u"x"), ERROR_SUCCESS);
    }
    Key again;
    DWORD disposition = 0;
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\mixedcase\\\u00E4RGER", again, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(String(again, u"valuename"), u"second");
    EXPECT_EQ(ValueNames(again), (std::vector<std::u16string>{u"ValueName", u"other"}));

    Key parent;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\MIXEDCASE", 0, KEY_READ, parent.Out()), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(parent), std::vector<std::u16string>{u"\u00C4rger"});
    EXPECT_EQ(RegDeleteValueW(again, u"OTHER"), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(again), std::vector<std::u16string>{u"ValueName"});
}

TEST_F(Registry, EnumeratesKeysByNameAndValuesInCreationOrder)
{
    Key key;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, u"Software\\Enum", key), ERROR_SUCCESS);
    for (const char16_t* sub : {u"beta", u"Alpha", u"gamma"}) {
        Key k;
        ASSERT_EQ(Create(key, sub, k), ERROR_SUCCESS);
    }
    for (const char16_t* name : {u"z", u"a", u"M"})
        ASSERT_EQ(SetString(key, name, name), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(key), (std::vector<std::u16string>{u"Alpha", u"beta", u"gamma"}));
    EXPECT_EQ(ValueNames(key), (std::vector<std::u16string>{u"z", u"a", u"M"}));

    // Name buffers that are too small; data size reported.
    WCHAR name[3];
    DWORD cch = 3;
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    char narrow[8];
    cch = sizeof narrow;
    EXPECT_EQ(RegEnumKeyExA(key, 1, narrow, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(narrow, "beta");
    EXPECT_EQ(cch, 4u);
    BYTE data[2];
    DWORD size = sizeof data, type = 0;
    cch = 3;
    EXPECT_EQ(RegEnumValueW(key, 0, name, &cch, nullptr, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);

    DWORD subKeys = 0, values = 0, maxSub = 0, maxData = 0;
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxSub, nullptr, &values, nullptr, &maxData,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 3u);
    EXPECT_EQ(maxSub, 5u);
    EXPECT_EQ(values, 3u);
    EXPECT_EQ(maxData, 4u);
}

TEST_F(Registry, DeletingKeys)
{
    Key top;
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, u"Software\\Tree", top), ERROR_SUCCESS);
    Key leaf;
    ASSERT_EQ(Create(top, u"A\\B\\C", leaf), ERROR_SUCCESS);
    ASSERT_EQ(SetString(leaf, u"v", u"x"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(top, u"kept", u"y"), ERROR_SUCCESS);

    // A key with subkeys is not deleted by RegDeleteKey.
    EXPECT_EQ(RegDeleteKeyW(top, u"A"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyW(top, u"A\\B\\C"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(top, u"A\\B\\C"), ERROR_FILE_NOT_FOUND);
    // A handle to a deleted key fails on use.
    EXPECT_EQ(SetString(leaf, u"v", u"x"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryValueExW(leaf, u"v", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);

    Key deep;
    ASSERT_EQ(Create(top, u"A\\B\\C\\D", deep), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeW(top, u"a"), ERROR_SUCCESS);
    EXPECT_TRUE(SubKeys(top).empty());
    EXPECT_EQ(String(top, u"kept"), u"y");
    // Recreated under the same name, still a different key for the old handle.
    Key recreated;
    ASSERT_EQ(Create(top, u"A\\B\\C\\D", recreated), ERROR_SUCCESS);
    EXPECT_EQ(SetString(deep, u"v", u"x"), ERROR_KEY_DELETED);

    // Without a subkey the tree delete empties the key and keeps it.
    EXPECT_EQ(RegDeleteTreeW(top, nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(SubKeys(top).empty());
    EXPECT_TRUE(ValueNames(top).empty());
    EXPECT_EQ(SetString(top, u"again", u"z"), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteTreeW(top, u"Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);
}

TEST_F(Registry, HandlesAndAccessRights)
{
    Key created;
    ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, u"Software\\Rights", created), ERROR_SUCCESS);
    Key readOnly;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Rights", 0, KEY_QUERY_VALUE, readOnly.Out()),
              ERROR_SUCCESS);
    EXPECT_EQ(SetString(readOnly, u"v", u"x"), ERROR_ACCESS_DENIED);
    Key sub;
    EXPECT_EQ(Create(readOnly, u"Sub", sub), ERROR_ACCESS_DENIED);

    // Generic rights grant the key rights they stand for.
    struct Rights {
        REGSAM access;
        LONG query;
        LONG set;
    };
    const Rights rights[] = {
        {KEY_READ, ERROR_SUCCESS, ERROR_ACCESS_DENIED},
        {KEY_WRITE, ERROR_ACCESS_DENIED, ERROR_SUCCESS},
        {0x80000000u /* GENERIC_READ */, ERROR_SUCCESS, ERROR_ACCESS_DENIED},
        {0x40000000u /* GENERIC_WRITE */, ERROR_ACCESS_DENIED, ERROR_SUCCESS},
        {0x10000000u /* GENERIC_ALL */, ERROR_SUCCESS, ERROR_SUCCESS},
        {0x02000000u /* MAXIMUM_ALLOWED */, ERROR_SUCCESS, ERROR_SUCCESS},
    };
    ASSERT_EQ(SetString(created, u"r", u"x"), ERROR_SUCCESS);
    for (const Rights& r : rights) {
        SCOPED_TRACE(r.access);
        Key k;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Rights", 0, r.access, k.Out()), ERROR_SUCCESS);
        EXPECT_EQ(RegQueryValueExW(k, u"r", nullptr, nullptr, nullptr, nullptr), r.query);
        EXPECT_EQ(SetString(k, u"r", u"y"), r.set);
    }

    HKEY missing = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Nope", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);

    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyW(created, nullptr, &h), ERROR_SUCCESS);
    EXPECT_EQ(RegFlushKey(h), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(h), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(h, u"v", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);

    // A handle of another system root's registry names no key here.
    {
        plat::testing::TempSystemRoot other;
        EXPECT_EQ(SetString(created, u"v", u"x"), ERROR_KEY_DELETED);
    }
    EXPECT_EQ(SetString(created, u"v", u"x"), ERROR_SUCCESS);

    std::u16string longName(256, u'k');
    EXPECT_EQ(Create(created, longName.c_str(), sub), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, ClassesRootOverlaysUserOnMachine)
{
    {
        Key m, u, onlyM, onlyU;
        ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, u"Software\\Classes\\Both", m), ERROR_SUCCESS);
        ASSERT_EQ(SetString(m, u"V", u"machine"), ERROR_SUCCESS);
        ASSERT_EQ(SetString(m, u"MachineOnly", u"m"), ERROR_SUCCESS);
        ASSERT_EQ(Create(HKEY_CURRENT_USER, u"Software\\Classes\\BOTH", u), ERROR_SUCCESS);
        ASSERT_EQ(SetString(u, u"v", u"user"), ERROR_SUCCESS);
        ASSERT_EQ(Create(HKEY_LOCAL_MACHINE, u"Software\\Classes\\MachineKey", onlyM), ERROR_SUCCESS);
        ASSERT_EQ(Create(HKEY_CURRENT_USER, u"Software\\Classes\\UserKey", onlyU), ERROR_SUCCESS);
    }
    // Reads: the user's value first, the machine's where the user has none.
    Key both;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"both", 0, KEY_ALL_ACCESS, both.Out()), ERROR_SUCCESS);
    EXPECT_EQ(String(both, u"V"), u"user");
    EXPECT_EQ(String(both, u"MachineOnly"), u"m");
    EXPECT_EQ(ValueNames(both), (std::vector<std::u16string>{u"v", u"MachineOnly"}));
    EXPECT_EQ(SubKeys(HKEY_CLASSES_ROOT), (std::vector<std::u16string>{u"BOTH", u"MachineKey", u"UserKey"}));

    // Values: the user's key when it has one, else the machine's, so what
    // is written reads back; new keys where the deepest existing part of the
    // path is.
    ASSERT_EQ(SetString(both, u"Written", u"w"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(both, u"V", u"changed"), ERROR_SUCCESS);
    EXPECT_EQ(String(both, u"V"), u"changed");
    Key machineOnlyKey;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"MachineKey", 0, KEY_ALL_ACCESS, machineOnlyKey.Out()), ERROR_SUCCESS);
    ASSERT_EQ(SetString(machineOnlyKey, u"Written", u"w"), ERROR_SUCCESS);
    Key userKey, userSub, newKey;
    ASSERT_EQ(Create(HKEY_CLASSES_ROOT, u"UserKey", userKey), ERROR_SUCCESS);
    ASSERT_EQ(SetString(userKey, u"Written", u"w"), ERROR_SUCCESS);
    ASSERT_EQ(Create(userKey, u"Sub", userSub), ERROR_SUCCESS);
    DWORD disposition = 0;
    ASSERT_EQ(Create(HKEY_CLASSES_ROOT, u"NewKey", newKey, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);

    struct Where {
        HKEY hive;
        const char16_t* path;
        bool exists;
    };
    const Where expected[] = {
        {HKEY_LOCAL_MACHINE, u"Software\\Classes\\Both\\", true},
        {HKEY_CURRENT_USER, u"Software\\Classes\\UserKey\\Sub", true},
        {HKEY_LOCAL_MACHINE, u"Software\\Classes\\UserKey", false},
        {HKEY_LOCAL_MACHINE, u"Software\\Classes\\NewKey", true},
        {HKEY_CURRENT_USER, u"Software\\Classes\\NewKey", false},
    };
    for (const Where& w : expected) {
        SCOPED_TRACE(std::string(w.path, w.path + std::char_traits<char16_t>::length(w.path)));
        Key k;
        EXPECT_EQ(RegOpenKeyExW(w.hive, w.path, 0, KEY_READ, k.Out()), w.exists ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    }
    struct Written {
        HKEY hive;
        const char16_t* path;
        const char16_t* name;
        const char16_t* value; // null: not there
    };
    const Written written[] = {
        {HKEY_CURRENT_USER, u"Software\\Classes\\Both", u"Written", u"w"},
        {HKEY_CURRENT_USER, u"Software\\Classes\\Both", u"v", u"changed"},
        {HKEY_LOCAL_MACHINE, u"Software\\Classes\\Both", u"Written", nullptr},
        {HKEY_LOCAL_MACHINE, u"Software\\Classes\\Both", u"V", u"machine"},
        {HKEY_CURRENT_USER, u"Software\\Classes\\UserKey", u"Written", u"w"},
        {HKEY_LOCAL_MACHINE, u"Software\\Classes\\MachineKey", u"Written", u"w"},
    };
    for (const Written& w : written) {
        SCOPED_TRACE(std::string(w.path, w.path + std::char_traits<char16_t>::length(w.path)));
        Key k;
        ASSERT_EQ(RegOpenKeyExW(w.hive, w.path, 0, KEY_READ, k.Out()), ERROR_SUCCESS);
        if (w.value)
            EXPECT_EQ(String(k, w.name), w.value);
        else
            EXPECT_EQ(RegQueryValueExW(k, w.name, nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    }

    // Deleting through the view removes the key from both stores.
    EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"Both"), ERROR_SUCCESS);
    Key gone;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Both", 0, KEY_READ, gone.Out()), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(both, u"V", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
}

} // namespace
