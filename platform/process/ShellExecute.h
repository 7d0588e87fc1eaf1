// Opening a document or a link with the desktop's handler.
#pragma once

#include "platform/base/winerror.h"
#include "platform/base/wintypes.h"

extern "C" {

constexpr INT_PTR SE_ERR_FNF = 2;
constexpr INT_PTR SE_ERR_NOASSOC = 31;

// Verb "open" (or none) hands lpFile to the desktop's opener (xdg-open, or
// the program named by QBK_SHELL_OPEN, which tests and headless machines
// set) and does not wait for it; lpParameters, lpDirectory and nShowCmd are
// not used. The result is above 32 on success, SE_ERR_FNF when no opener
// can be started, SE_ERR_NOASSOC for any other verb.
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters, LPCWSTR lpDirectory,
                        INT nShowCmd);
HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory,
                        INT nShowCmd);

} // extern "C"

namespace plat {

constexpr const char* kShellOpenVariable = "QBK_SHELL_OPEN";

} // namespace plat
