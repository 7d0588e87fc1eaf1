// What a test needs to know about the sanitizers it runs under.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace plat::testing {

// Under AddressSanitizer freed memory stays in its quarantine, so peak
// memory says nothing about what a program holds.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
inline constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
inline constexpr bool kAddressSanitizer = false;
#endif

// While it lives, the child processes started have no leak check at their
// end: for what a process keeps until it ends on purpose, or a library it
// uses does.
class ChildLeakCheckOff {
public:
    ChildLeakCheckOff()
    {
        if (const char* options = std::getenv("ASAN_OPTIONS"))
            m_previous = options;
        setenv("ASAN_OPTIONS", (m_previous.value_or("") + ":detect_leaks=0").c_str(), 1);
    }
    ~ChildLeakCheckOff()
    {
        if (m_previous)
            setenv("ASAN_OPTIONS", m_previous->c_str(), 1);
        else
            unsetenv("ASAN_OPTIONS");
    }
    ChildLeakCheckOff(const ChildLeakCheckOff&) = delete;
    ChildLeakCheckOff& operator=(const ChildLeakCheckOff&) = delete;

private:
    std::optional<std::string> m_previous;
};

} // namespace plat::testing
