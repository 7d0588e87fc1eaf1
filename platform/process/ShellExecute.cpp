#include "platform/process/ShellExecute.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/kernel/KernelObject.h"
#include "platform/process/CommandLine.h"
#include "platform/process/Process.h"

#include <cstdlib>
#include <string>

HINSTANCE ShellExecuteW(HWND, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR, LPCWSTR, INT)
{
    const auto result = [](INT_PTR value) { return reinterpret_cast<HINSTANCE>(value); };
    if (!lpFile || !*lpFile) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return result(SE_ERR_FNF);
    }
    if (lpOperation && *lpOperation && std::u16string_view(lpOperation) != u"open") {
        SetLastError(ERROR_NO_ASSOCIATION);
        return result(SE_ERR_NOASSOC);
    }
    const char* opener = std::getenv(plat::kShellOpenVariable);
    const std::u16string program = Utf8ToUtf16(opener && *opener ? opener : "xdg-open");
    std::u16string line = plat::JoinCommandLine({program, lpFile});
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION information{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &information)) {
        return result(SE_ERR_FNF);
    }
    // The opener runs on by itself; the reaper collects it.
    CloseHandle(information.hProcess);
    CloseHandle(information.hThread);
    return result(42);
}

HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory,
                        INT nShowCmd)
{
    const auto wide = [](LPCSTR text) { return text ? Utf8ToUtf16(text) : std::u16string(); };
    const std::u16string operation = wide(lpOperation);
    const std::u16string file = wide(lpFile);
    const std::u16string parameters = wide(lpParameters);
    const std::u16string directory = wide(lpDirectory);
    return ShellExecuteW(hwnd, lpOperation ? operation.c_str() : nullptr, lpFile ? file.c_str() : nullptr,
                         lpParameters ? parameters.c_str() : nullptr, lpDirectory ? directory.c_str() : nullptr,
                         nShowCmd);
}
