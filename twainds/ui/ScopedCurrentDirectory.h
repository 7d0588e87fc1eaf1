// The process's current directory as it was when the scope began, made
// current again however the scope ends (the profile listing enters the
// profile folder; the application's own current directory must not move).
#pragma once

#include <string>

class ScopedCurrentDirectory {
public:
    ScopedCurrentDirectory();
    ~ScopedCurrentDirectory();
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

private:
    std::string m_directory;
};
