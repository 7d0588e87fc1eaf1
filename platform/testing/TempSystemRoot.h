// A fresh system root for one test: sets QBK_SYSROOT to a new temporary
// folder with the root's layout, and removes it (and restores the old value)
// when the test ends.
#pragma once

#include "platform/base/sysroot.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace plat::testing {

class TempSystemRoot {
public:
    // With a `length` longer than the temporary folder's own path, the root
    // is a folder inside it whose path has that many characters: a root
    // deep in the file system.
    explicit TempSystemRoot(size_t length = 0)
    {
        if (const char* old = std::getenv(kSysRootVariable))
            m_previous = old;
        std::string pattern = (std::filesystem::temp_directory_path() / "qbk24-test.XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_folder = pattern;
        m_path = pattern;
        if (length > m_path.size() + 1) {
            m_path += "/" + std::string(length - m_path.size() - 1, 'd');
            std::filesystem::create_directory(m_path);
        }
        setenv(kSysRootVariable, m_path.c_str(), 1);
        EnsureSystemRootLayout();
    }

    ~TempSystemRoot()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
        if (m_previous)
            setenv(kSysRootVariable, m_previous->c_str(), 1);
        else
            unsetenv(kSysRootVariable);
    }

    TempSystemRoot(const TempSystemRoot&) = delete;
    TempSystemRoot& operator=(const TempSystemRoot&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_folder; // made for the root, removed with it
    std::string m_path;
    std::optional<std::string> m_previous;
};

} // namespace plat::testing
