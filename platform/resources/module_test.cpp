#include "platform/resources/TestLibrary.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using plat::testing::TestLibrary;

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string ProgramPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

TEST(Module, FileNameOfLibraryAndProgram)
{
    TestLibrary library;
    ASSERT_NE(library.Module(), nullptr);

    WCHAR wide[MAX_PATH];
    DWORD length = GetModuleFileNameW(library.Module(), wide, MAX_PATH);
    EXPECT_EQ(Utf16ToUtf8(std::u16string(wide, length)), RealPath(TestLibrary::Path()));

    char narrow[MAX_PATH];
    length = GetModuleFileNameA(nullptr, narrow, MAX_PATH);
    EXPECT_EQ(std::string(narrow, length), ProgramPath());
    length = GetModuleFileNameA(GetModuleHandleW(nullptr), narrow, MAX_PATH);
    EXPECT_EQ(std::string(narrow, length), ProgramPath());
}

TEST(Module, FileNameThatDoesNotFitIsCutAndTerminated)
{
    std::string path = ProgramPath();
    ASSERT_GT(path.size(), 4u);
    char buffer[5] = "####";
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(buffer), path.substr(0, 4));

    WCHAR wide[1] = {u'#'};
    EXPECT_EQ(GetModuleFileNameW(nullptr, wide, 1), 1u);
    EXPECT_EQ(wide[0], 0);
}

TEST(Module, UnknownHandleIsRefused)
{
    static int notAModuleBase = 0;
    char buffer[MAX_PATH];
    auto* inside = reinterpret_cast<HMODULE>(&notAModuleBase);
    EXPECT_EQ(GetModuleFileNameA(inside, buffer, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(Module, LibraryFindsItsOwnHandle)
{
    TestLibrary library;
    ASSERT_NE(library.Module(), nullptr);
    auto* thisModule = library.Get<HMODULE()>("QbkTestLibThisModule");
    auto* attached = library.Get<HINSTANCE()>("QbkTestLibAttachedModule");
    ASSERT_NE(thisModule, nullptr);
    ASSERT_NE(attached, nullptr);
    EXPECT_EQ(thisModule(), library.Module());
    EXPECT_EQ(attached(), library.Module()) << "DllMain gets the module handle on attach";

    HMODULE fromAddress = nullptr;
    ASSERT_TRUE(
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(thisModule), &fromAddress));
    EXPECT_EQ(fromAddress, library.Module());
    EXPECT_EQ(plat::ThisModule(), GetModuleHandleW(nullptr)) << "the test program is its own module";
}

TEST(Module, HandleByName)
{
    TestLibrary library;
    ASSERT_NE(library.Module(), nullptr);
    std::string file = TestLibrary::FileName();
    std::string upper = file;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    const std::string found[] = {file, upper, file.substr(0, file.find('.')), TestLibrary::Path()};
    for (const std::string& name : found) {
        EXPECT_EQ(GetModuleHandleA(name.c_str()), library.Module()) << name;
        EXPECT_EQ(GetModuleHandleW(Utf8ToUtf16(name).c_str()), library.Module()) << name;
    }
    SetLastError(0);
    EXPECT_EQ(GetModuleHandleA("NoSuch32.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(Module, LoadFailuresTellMissingFromUnloadable)
{
    std::string junk = std::filesystem::temp_directory_path() / ("qbk24-junk-" + std::to_string(getpid()) + ".so");
    std::ofstream(junk) << "not a library";

    struct Case {
        std::string name;
        LONG error;
    };
    const Case cases[] = {
        {"/nonexistent/libnothing.so", ERROR_MOD_NOT_FOUND},
        {"NoSuch32.DLL", ERROR_MOD_NOT_FOUND},
        {junk, ERROR_BAD_EXE_FORMAT},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryA(c.name.c_str()), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.error)) << c.name;
    }
    std::filesystem::remove(junk);
}

TEST(Module, SystemLibrariesAreThePlatformLibrary)
{
    HMODULE platform = plat::ModuleFromAddress(reinterpret_cast<const void*>(&RegOpenKeyExW));
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(LoadLibraryW(u"Kernel32.DLL"), platform);
    EXPECT_EQ(LoadLibraryA("wtsapi32.dll"), platform);
    EXPECT_EQ(GetModuleHandleW(u"comctl32"), platform);
    EXPECT_EQ(GetProcAddress(platform, "RegOpenKeyExW"), reinterpret_cast<FARPROC>(&RegOpenKeyExW));
    EXPECT_EQ(GetProcAddress(platform, "LoadStringW"), reinterpret_cast<FARPROC>(&LoadStringW));
    // The common controls' version query is there; a server entry is not.
    EXPECT_EQ(GetProcAddress(platform, "DllGetVersion"), reinterpret_cast<FARPROC>(&DllGetVersion));
    EXPECT_EQ(GetProcAddress(platform, "DllRegisterServer"), nullptr);
    EXPECT_TRUE(FreeLibrary(platform));
    EXPECT_EQ(GetModuleHandleA("KERNEL32.dll"), platform) << "never unloaded";
}

TEST(Module, GetProcAddressFindsOnlyTheModulesOwnSymbols)
{
    TestLibrary library;
    ASSERT_NE(library.Module(), nullptr);
    EXPECT_NE(GetProcAddress(library.Module(), "QbkTestLibThisModule"), nullptr);

    const char* missing[] = {"NoSuchEntry", "malloc"}; // malloc is the C library's, not the module's
    for (const char* name : missing) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(library.Module(), name), nullptr) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << name;
    }
}

TEST(Module, FreeLibraryBalancesLoads)
{
    HMODULE first = LoadLibraryA(TestLibrary::Path().c_str());
    HMODULE second = LoadLibraryW(Utf8ToUtf16(TestLibrary::Path()).c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(GetModuleHandleA(TestLibrary::FileName().c_str()), first) << "one load still holds it";
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(GetModuleHandleA(TestLibrary::FileName().c_str()), nullptr) << "unloaded after the last FreeLibrary";
}

} // namespace
