#include "twainds/ui/ScopedCurrentDirectory.h"

#include "platform/windows.h"

#include <vector>

ScopedCurrentDirectory::ScopedCurrentDirectory()
{
    // The first call gives the length the path needs, with its terminator.
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0)
        return;
    std::vector<char> path(needed, '\0');
    const DWORD length = GetCurrentDirectoryA(needed, path.data());
    if (length > 0 && length < needed)
        m_directory.assign(path.data(), length);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory()
{
    if (!m_directory.empty())
        SetCurrentDirectoryA(m_directory.c_str());
}
