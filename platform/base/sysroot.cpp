#include "platform/base/sysroot.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace plat {

std::string SystemRoot()
{
    if (const char* root = std::getenv(kSysRootVariable); root && *root)
        return root;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return std::string(xdg) + "/qbk24";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/qbk24";
}

std::string SystemFolder() { return SystemRoot() + "/system"; }
std::string RuntimeFolder() { return SystemRoot() + "/run"; }
std::string LogFolder() { return SystemRoot() + "/log"; }
std::string RegistryPath() { return SystemRoot() + "/registry.db"; }

bool EnsureSystemRootLayout()
{
    std::error_code ec;
    for (const std::string& dir : {SystemRoot(), SystemFolder(), RuntimeFolder(), LogFolder()}) {
        std::filesystem::create_directories(dir, ec);
        if (ec)
            return false;
    }
    return true;
}

} // namespace plat
