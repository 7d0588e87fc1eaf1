// Copies replace a file by rename: a process that has the old file loaded
// keeps running the old code, and the name shows the new file only whole.
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class CopyFileTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return m_root.Path() + "/" + name; }

    // Names in the root's top folder, the copies' folder.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_root.Path()))
            if (entry.is_regular_file())
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    plat::testing::TempSystemRoot m_root;
};

TEST_F(CopyFileTest, ALoadedLibraryKeepsItsCodeWhileAnotherBuildReplacesIt)
{
    const std::string library = Path("Answering.dll");
    ASSERT_TRUE(CopyFileA(QBK_ANSWERING_LIBRARY_1, library.c_str(), FALSE)) << GetLastError();
    void* module = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto answer = reinterpret_cast<int (*)()>(dlsym(module, "Answer"));
    ASSERT_NE(answer, nullptr);
    ASSERT_EQ(answer(), 1);

    ASSERT_TRUE(CopyFileA(QBK_ANSWERING_LIBRARY_2, library.c_str(), FALSE)) << GetLastError();
    EXPECT_EQ(answer(), 1);
    dlclose(module);
    EXPECT_EQ(ReadFile(library), ReadFile(QBK_ANSWERING_LIBRARY_2));
    // Private like every file the system makes; the owner may still run it.
    EXPECT_EQ(fs::status(library).permissions(),
              fs::status(QBK_ANSWERING_LIBRARY_2).permissions() & fs::perms::owner_all);
    EXPECT_EQ(fs::status(library).permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
}

TEST_F(CopyFileTest, FailIfExistsKeepsTheTargetAndLeavesNothingBehind)
{
    WriteFile(Path("new.bin"), "new");
    WriteFile(Path("old.bin"), "old");
    SetLastError(0);
    EXPECT_FALSE(CopyFileW(Utf8ToUtf16(Path("new.bin")).c_str(), Utf8ToUtf16(Path("old.bin")).c_str(), TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadFile(Path("old.bin")), "old");

    // A free name is taken; '\' separates folders like '/'.
    std::u16string target = Utf8ToUtf16(Path("copy.bin"));
    target[target.rfind(u'/')] = u'\\';
    EXPECT_TRUE(CopyFileW(Utf8ToUtf16(Path("new.bin")).c_str(), target.c_str(), TRUE)) << GetLastError();
    EXPECT_EQ(ReadFile(Path("copy.bin")), "new");
    EXPECT_EQ(Names(), (std::vector<std::string>{"copy.bin", "new.bin", "old.bin"}));
}

TEST_F(CopyFileTest, FailuresNameTheirCause)
{
    WriteFile(Path("file.bin"), "x");
    fs::create_directory(Path("folder"));
    struct Case {
        std::string from;
        std::string to;
        DWORD error;
    };
    const Case cases[] = {
        {Path("missing.bin"), Path("to.bin"), ERROR_FILE_NOT_FOUND},
        {Path("file.bin"), Path("no/such/folder.bin"), ERROR_PATH_NOT_FOUND},
        {Path("folder"), Path("to.bin"), ERROR_ACCESS_DENIED},
        {Path("file.bin"), Path("folder"), ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(CopyFileA(c.from.c_str(), c.to.c_str(), FALSE)) << c.from << " -> " << c.to;
        EXPECT_EQ(GetLastError(), c.error) << c.from << " -> " << c.to;
    }
    EXPECT_FALSE(CopyFileW(nullptr, u"x", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Names(), std::vector<std::string>{"file.bin"});
    EXPECT_TRUE(fs::is_empty(Path("folder")));
}

} // namespace
