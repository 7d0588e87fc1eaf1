#include "coinst/ProcessHelpers.h"

#include "coinst/DeviceKey.h"
#include "diag/FormatWide.h"
#include "halservice/MessageWait.h"
#include "platform/windows.h"

#include <memory>
#include <new>
#include <vector>

namespace coinst {

namespace {

constexpr DWORD kNetWaitMs = 300000;

WCHAR FoldAscii(WCHAR c) { return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - u'a' + u'A') : c; }

bool EqualsNoCase(const std::u16string& a, const WCHAR* b)
{
    size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == u'\0' || FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return b[i] == u'\0';
}

// Closes a process or snapshot handle when the scope ends.
struct HandleCloser {
    void operator()(void* handle) const
    {
        if (handle && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};
using ScopedHandle = std::unique_ptr<void, HandleCloser>;

bool TerminateByIdWithDebugPrivilege(DWORD processId)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    ScopedHandle tokenOwner(token);
    TOKEN_PRIVILEGES privileges = {};
    if (!LookupPrivilegeValueW(nullptr, u"SeDebugPrivilege", &privileges.Privileges[0].Luid))
        return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) ||
        GetLastError() == ERROR_NOT_ALL_ASSIGNED)
        return false;
    ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
    if (!process)
        return false;
    TerminateProcess(process.get(), 0);
    return true;
}

} // namespace

size_t LastSeparator(const std::u16string& path) { return path.find_last_of(u"\\/"); }

std::u16string GetDirectoryPart(const std::u16string& path)
{
    const size_t separator = LastSeparator(path);
    return separator == std::u16string::npos ? std::u16string() : path.substr(0, separator + 1);
}

bool StartAndWait(const std::u16string& commandLine, const std::u16string& directory)
{
    // A writable copy as long as the command: a registration names the
    // system folder twice, which a deep system root makes longer than any
    // path limit.
    std::vector<WCHAR> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(u'\0');
    STARTUPINFOW startup = {};
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &info))
        return false;
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return true;
}

bool RegisterHAL(const std::u16string& copyPath, bool bRegister)
{
    std::u16string commandLine;
    if (bRegister) {
        commandLine = copyPath + u" -Service";
    } else {
        KillProcessByPath(copyPath);
        commandLine = copyPath + u" -UnregServer";
    }
    const size_t separator = LastSeparator(copyPath);
    const std::u16string directory = separator == std::u16string::npos ? copyPath : copyPath.substr(0, separator);
    return StartAndWait(commandLine, directory);
}

bool KillProcessByPath(const std::u16string& path)
{
    const size_t separator = LastSeparator(path);
    if (separator == std::u16string::npos)
        return false;
    const std::u16string fileName = path.substr(separator + 1);
    const size_t dot = fileName.rfind(u'.');
    const std::u16string baseName = dot == std::u16string::npos ? std::u16string() : fileName.substr(0, dot);

    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0));
    if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE)
        return false;

    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (EqualsNoCase(fileName, entry.szExeFile) || (!baseName.empty() && EqualsNoCase(baseName, entry.szExeFile))) {
            found = true;
            break;
        }
    }
    if (!found)
        return false;

    ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
    if (process) {
        TerminateProcess(process.get(), 0);
        return true;
    }
    if (GetLastError() == ERROR_ACCESS_DENIED)
        return TerminateByIdWithDebugPrivilege(entry.th32ProcessID);
    return false;
}

DWORD RunProcessAndWait(const std::u16string& applicationPath, const std::u16string& currentDirectory,
                        const std::u16string& arguments)
{
    std::u16string args = arguments;
    if (!args.empty() && args[0] != u' ')
        args.insert(args.begin(), u' ');
    const size_t separator = LastSeparator(applicationPath);
    const std::u16string fileName =
        separator == std::u16string::npos ? applicationPath : applicationPath.substr(separator + 1);
    const std::u16string line = fileName + args;

    std::unique_ptr<WCHAR[]> commandLine(new (std::nothrow) WCHAR[line.size() + 1]);
    if (!commandLine)
        return 1;
    line.copy(commandLine.get(), line.size());
    commandLine[line.size()] = u'\0';

    STARTUPINFOW startup = {};
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(applicationPath.c_str(), commandLine.get(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE, nullptr,
                        currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &info))
        return GetLastError();
    ScopedHandle process(info.hProcess);
    ScopedHandle thread(info.hThread);

    const DWORD waited = WaitWithMessages(info.hProcess, kNetWaitMs);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(info.hProcess, &exitCode))
        return waited;
    return exitCode;
}

DWORD RunNetCommand(const std::u16string& arguments)
{
    WCHAR systemFolder[kMaxPathChars] = {};
    const UINT length = GetSystemDirectoryW(systemFolder, kMaxPathChars);
    if (length == 0 || length >= kMaxPathChars)
        return 1;
    const std::u16string folder(systemFolder, length);
    return RunProcessAndWait(folder + kPathSeparator + u"net.exe", folder, arguments);
}

bool NetStartService(const std::u16string& displayName)
{
    return RunNetCommand(FormatWide(u"start \"%s\"", displayName.c_str())) == 0;
}

} // namespace coinst
