#include "tools/regtool/RegTool.h"

#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result Tool(std::vector<std::string> args)
{
    std::ostringstream out, err;
    int code = regtool::RunRegTool(args, out, err);
    return {code, out.str(), err.str()};
}

class RegTool : public ::testing::Test {
protected:
    plat::testing::TempSystemRoot root;
};

TEST_F(RegTool, SetsQueriesAndExportsEveryType)
{
    struct Case {
        const char* name;
        const char* type;
        const char* data;
        const char* queried; // the query line after the name
        const char* exported;
    };
    const Case cases[] = {
        {"Text", "REG_SZ", "Hello \"you\" C:\\x", "REG_SZ    Hello \"you\" C:\\x", "\"Hello \\\"you\\\" C:\\\\x\""},
        {"Path", "reg_expand_sz", "%HOME%/bin", "REG_EXPAND_SZ    %HOME%/bin", "expand:\"%HOME%/bin\""},
        {"List", "REG_MULTI_SZ", "one\\0two", "REG_MULTI_SZ    one\\0two", "multi:\"one\",\"two\""},
        {"Count", "REG_DWORD", "123", "REG_DWORD    0x7b", "dword:0000007b"},
        {"Mask", "REG_DWORD", "0xFFFFFFFF", "REG_DWORD    0xffffffff", "dword:ffffffff"},
        {"Big", "REG_QWORD", "0x100000000", "REG_QWORD    0x100000000", "qword:0000000100000000"},
        {"Bytes", "REG_BINARY", "01,02 fe", "REG_BINARY    0102fe", "hex:01,02,fe"},
        {"Nothing", "REG_NONE", "", "REG_NONE    ", "hex(0):"},
        {"@", "REG_SZ", "default", "REG_SZ    default", "\"default\""},
    };
    std::string expectedExport = "[HKEY_LOCAL_MACHINE\\Software\\Tool]\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Result set = Tool({"set", "HKLM\\Software\\Tool", c.name, c.type, c.data});
        ASSERT_EQ(set.code, 0) << set.err;
        Result query = Tool({"query", "hklm\\software\\tool", c.name});
        ASSERT_EQ(query.code, 0) << query.err;
        std::string shown = std::string(c.name) == "@" ? "(Default)" : c.name;
        EXPECT_EQ(query.out, "HKEY_LOCAL_MACHINE\\software\\tool\n    " + shown + "    " + c.queried + "\n");
        expectedExport +=
            (std::string(c.name) == "@" ? "@" : "\"" + std::string(c.name) + "\"") + "=" + c.exported + "\n";
    }
    expectedExport += "\n";
    ASSERT_EQ(Tool({"set", "HKEY_LOCAL_MACHINE\\Software\\Tool\\Sub", "x", "REG_DWORD", "1"}).code, 0);
    expectedExport += "[HKEY_LOCAL_MACHINE\\Software\\Tool\\Sub]\n\"x\"=dword:00000001\n\n";
    Result exported = Tool({"export", "HKLM\\Software\\Tool"});
    ASSERT_EQ(exported.code, 0) << exported.err;
    EXPECT_EQ(exported.out, expectedExport);

    // The whole key with its subkeys listed.
    Result whole = Tool({"query", "HKLM\\Software\\Tool"});
    EXPECT_EQ(whole.code, 0);
    EXPECT_NE(whole.out.find("    Count    REG_DWORD    0x7b\n"), std::string::npos);
    EXPECT_NE(whole.out.find("\nHKEY_LOCAL_MACHINE\\Software\\Tool\\Sub\n"), std::string::npos);
}

TEST_F(RegTool, DeletesValuesAndTrees)
{
    ASSERT_EQ(Tool({"set", "HKCU\\Software\\A\\B\\C", "v", "REG_SZ", "x"}).code, 0);
    ASSERT_EQ(Tool({"set", "HKCU\\Software\\A", "w", "REG_SZ", "y"}).code, 0);
    EXPECT_EQ(Tool({"delete", "HKCU\\Software\\A", "w"}).code, 0);
    EXPECT_EQ(Tool({"query", "HKCU\\Software\\A", "w"}).code, regtool::kExitFailed);
    EXPECT_EQ(Tool({"delete", "HKCU\\Software\\A"}).code, 0);
    Result gone = Tool({"query", "HKCU\\Software\\A\\B\\C"});
    EXPECT_EQ(gone.code, regtool::kExitFailed);
    EXPECT_EQ(gone.err, "regtool: HKEY_CURRENT_USER\\Software\\A\\B\\C: no such key or value (error 2)\n");
}

TEST_F(RegTool, RefusesBadCommandLines)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"query"},
        {"query", "HKXX\\Software"},
        {"set", "HKLM\\Software\\T", "v", "REG_WHATEVER", "1"},
        {"set", "HKLM\\Software\\T", "v", "REG_DWORD", "12abc"},
        {"set", "HKLM\\Software\\T", "v", "REG_DWORD", "0x100000000"},
        {"set", "HKLM\\Software\\T", "v", "REG_BINARY", "123"},
        {"set", "HKLM\\Software\\T", "v", "REG_SZ"},
        {"delete", "HKLM"},
        {"export"},
        {"register", "/nonexistent/script.rgs"},
    };
    for (const auto& args : bad) {
        SCOPED_TRACE(args.empty() ? "(none)" : args[0] + " " + (args.size() > 1 ? args[1] : ""));
        Result r = Tool(args);
        EXPECT_EQ(r.code, regtool::kExitUsage);
        EXPECT_NE(r.err.find("usage: regtool"), std::string::npos);
    }
    // Nothing was written by the refused sets.
    EXPECT_EQ(Tool({"query", "HKLM\\Software\\T"}).code, regtool::kExitFailed);
}

TEST_F(RegTool, RunsRegistrationScripts)
{
    std::string script = root.Path() + "/thing.rgs";
    std::ofstream(script) << "HKCR { NoRemove CLSID { ForceRemove %CLSID% = s 'Thing' { InprocServer32 = s "
                             "'%MODULE%' } } }\n";
    const std::string clsid = "{0A0B0C0D-0000-4000-8000-000000000001}";
    ASSERT_EQ(Tool({"register", script, "CLSID=" + clsid, "MODULE=/lib/thing.so"}).code, 0);
    Result q = Tool({"query", "HKCR\\CLSID\\" + clsid + "\\InprocServer32", "@"});
    EXPECT_EQ(q.out,
              "HKEY_CLASSES_ROOT\\CLSID\\" + clsid + "\\InprocServer32\n    (Default)    REG_SZ    /lib/thing.so\n");
    Result missing = Tool({"register", script, "CLSID=" + clsid});
    EXPECT_EQ(missing.code, regtool::kExitFailed);
    EXPECT_NE(missing.err.find("no replacement"), std::string::npos);
    EXPECT_EQ(Tool({"unregister", script, "CLSID=" + clsid, "MODULE=x"}).code, 0);
    EXPECT_EQ(Tool({"query", "HKCR\\CLSID\\" + clsid}).code, regtool::kExitFailed);
}

} // namespace
