// Where the system root is, read from the environment, and the folder of
// its TWAIN data sources. Free of the platform library (only this header):
// an application that does not link it (twainscan) finds, with no option,
// what devinstall installed for the same root.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace plat {

constexpr const char* kSysRootVariable = "QBK_SYSROOT";
// The root when none is named: below a character device nothing can be
// created or found, not even by root, so every use of it fails.
constexpr const char* kNoSystemRoot = "/dev/null/qbk24";
constexpr const char* kNoSystemRootProblem =
    "no system root: set QBK_SYSROOT (or XDG_DATA_HOME or HOME) to a folder of your own";

// QBK_SYSROOT; else $XDG_DATA_HOME/qbk24; else $HOME/.local/share/qbk24;
// else kNoSystemRoot. Relative XDG_DATA_HOME and HOME values are ignored,
// as the XDG rules say.
inline std::string SystemRootFromEnvironment()
{
    if (const char* root = std::getenv(kSysRootVariable); root && *root)
        return root;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        return std::string(xdg) + "/qbk24";
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return std::string(home) + "/.local/share/qbk24";
    return kNoSystemRoot;
}

// <root>/windows/twain_32: the root's TWAIN data sources, each maker's in a
// folder of its own, as a data source manager reads them.
inline std::string TwainSourceFolder(const std::string& root) { return root + "/windows/twain_32"; }

// What is wrong when `path`, an existing folder of the root, belongs to
// another user; empty when it is this user's or does not exist.
inline std::string ForeignRootProblem(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || info.st_uid == geteuid())
        return {};
    return "the system root folder " + path + " belongs to another user (uid " + std::to_string(info.st_uid) +
           "); refusing to use it";
}

} // namespace plat
