// An environment variable changed for a scope (for the programs a test
// starts, say), and put back as it was when the scope ends.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace plat::testing {

class ScopedVariable {
public:
    // Takes the variable away.
    explicit ScopedVariable(const char* name) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        unsetenv(name);
    }
    // Sets it to `value`.
    ScopedVariable(const char* name, const std::string& value) : ScopedVariable(name)
    {
        setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

} // namespace plat::testing
