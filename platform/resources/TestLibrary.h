// The test library with resources, loaded for the length of one test.
#pragma once

#include "platform/windows.h"

#include <gtest/gtest.h>

#include <string>

namespace plat::testing {

class TestLibrary {
public:
    TestLibrary() : m_module(LoadLibraryA(Path().c_str())) {}
    ~TestLibrary()
    {
        if (m_module)
            FreeLibrary(m_module);
    }
    TestLibrary(const TestLibrary&) = delete;
    TestLibrary& operator=(const TestLibrary&) = delete;

    static std::string Path() { return QBK_RESOURCES_TESTLIB; }
    static std::string FileName() { return Path().substr(Path().rfind('/') + 1); }
    HMODULE Module() const { return m_module; }

    template <typename Function>
    Function* Get(const char* name) const
    {
        return reinterpret_cast<Function*>(GetProcAddress(m_module, name));
    }

private:
    HMODULE m_module;
};

} // namespace plat::testing
