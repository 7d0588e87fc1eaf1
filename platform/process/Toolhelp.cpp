#include "platform/process/Toolhelp.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace plat {

namespace {

struct ProcessRecord {
    DWORD pid;
    DWORD parentPid;
    DWORD threads;
    std::u16string exeFile;
};

class SnapshotObject : public KernelObject {
public:
    std::vector<ProcessRecord> processes;
    std::mutex mutex;
    size_t next = 0; // the entry Process32Next hands out
};

std::string FileName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The executable's path, without the " (deleted)" the kernel adds once the
// file is gone or replaced; empty when it cannot be read (another user's
// process, a kernel thread).
std::string ExecutablePath(const std::string& folder)
{
    std::error_code ec;
    std::string target = std::filesystem::read_symlink(folder + "/exe", ec).string();
    if (ec)
        return {};
    const std::string deleted = " (deleted)";
    if (target.size() > deleted.size() && target.ends_with(deleted))
        target.resize(target.size() - deleted.size());
    return target;
}

// The system root as the kernel writes executable paths (links resolved),
// with a trailing '/'.
std::string RootPrefix()
{
    std::error_code ec;
    std::string root = std::filesystem::weakly_canonical(SystemRoot(), ec).string();
    if (ec)
        root = SystemRoot();
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root + "/";
}

// False for a process that is gone, or has ended and only waits for its
// parent to collect it (a zombie): the list holds running processes.
bool ReadStatus(const std::string& folder, ProcessRecord& record)
{
    std::ifstream status(folder + "/status");
    if (!status)
        return false;
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("State:", 0) == 0) {
            const size_t state = line.find_first_not_of(" \t", 6);
            if (state != std::string::npos && (line[state] == 'Z' || line[state] == 'X'))
                return false;
        } else if (line.rfind("PPid:", 0) == 0)
            record.parentPid = static_cast<DWORD>(std::stoul(line.substr(5)));
        else if (line.rfind("Threads:", 0) == 0)
            record.threads = static_cast<DWORD>(std::stoul(line.substr(8)));
    }
    return true;
}

std::vector<ProcessRecord> ListProcesses()
{
    std::vector<ProcessRecord> records;
    const std::string root = RootPrefix();
    DIR* proc = opendir("/proc");
    if (!proc)
        return records;
    while (dirent* entry = readdir(proc)) {
        const char* name = entry->d_name;
        if (!*name || !std::all_of(name, name + std::strlen(name), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        ProcessRecord record{static_cast<DWORD>(std::stoul(name)), 0, 0, {}};
        const std::string folder = std::string("/proc/") + name;
        const std::string executable = ExecutablePath(folder);
        if (!executable.starts_with(root))
            continue; // another system's program, or one that cannot be placed
        try {
            if (!ReadStatus(folder, record))
                continue; // ended
        } catch (const std::exception&) {
            continue;
        }
        record.exeFile = Utf8ToUtf16(FileName(executable));
        records.push_back(std::move(record));
    }
    closedir(proc);
    std::sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.pid < b.pid; });
    return records;
}

// Copies the next record into the caller's entry; false at the end.
template <class Entry, class Fill>
BOOL NextEntry(HANDLE snapshotHandle, Entry* entry, bool first, Fill fill)
{
    auto snapshot = ReferenceObject<SnapshotObject>(snapshotHandle);
    if (!snapshot)
        return FALSE;
    if (!entry || entry->dwSize < sizeof(Entry)) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    std::lock_guard lock(snapshot->mutex);
    if (first)
        snapshot->next = 0;
    if (snapshot->next >= snapshot->processes.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    const ProcessRecord& record = snapshot->processes[snapshot->next++];
    const DWORD size = entry->dwSize;
    std::memset(entry, 0, sizeof(Entry));
    entry->dwSize = size;
    entry->th32ProcessID = record.pid;
    entry->th32ParentProcessID = record.parentPid;
    entry->cntThreads = record.threads;
    entry->pcPriClassBase = 8; // normal priority
    fill(record, entry->szExeFile);
    return TRUE;
}

void FillWide(const ProcessRecord& record, WCHAR (&name)[MAX_PATH])
{
    const size_t length = std::min<size_t>(record.exeFile.size(), MAX_PATH - 1);
    std::copy_n(record.exeFile.data(), length, name);
    name[length] = 0;
}

void FillNarrow(const ProcessRecord& record, CHAR (&name)[MAX_PATH])
{
    const std::string text = Utf16ToUtf8(record.exeFile);
    const size_t length = std::min<size_t>(text.size(), MAX_PATH - 1);
    std::copy_n(text.data(), length, name);
    name[length] = 0;
}

} // namespace

} // namespace plat

HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD)
{
    auto snapshot = std::make_shared<plat::SnapshotObject>();
    if (dwFlags & TH32CS_SNAPPROCESS)
        snapshot->processes = plat::ListProcesses();
    return plat::InsertHandle(std::move(snapshot));
}

BOOL Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe)
{
    return plat::NextEntry(hSnapshot, lppe, true, plat::FillWide);
}

BOOL Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe)
{
    return plat::NextEntry(hSnapshot, lppe, false, plat::FillWide);
}

BOOL Process32First(HANDLE hSnapshot, LPPROCESSENTRY32 lppe)
{
    return plat::NextEntry(hSnapshot, lppe, true, plat::FillNarrow);
}

BOOL Process32Next(HANDLE hSnapshot, LPPROCESSENTRY32 lppe)
{
    return plat::NextEntry(hSnapshot, lppe, false, plat::FillNarrow);
}
