#include "twainfw/DebugLog.h"

#include "platform/base/format.h"
#include "platform/base/sysroot.h"
#include "platform/base/temppath.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <new>

namespace Trellis {

namespace {

constexpr size_t kLineBufferSize = 292;
constexpr size_t kPathBufferSize = 292;
constexpr size_t kWorkingBlockSize = 512;

struct DebugLogState {
    std::mutex lock; // guards the file
    std::string path;
    DWORD debug = 0;       // "DEBUG"
    DWORD debugTiming = 0; // "DEBUGTIMING"
    DWORD startTick = 0;
};

DebugLogState& State()
{
    static DebugLogState state;
    return state;
}

} // namespace

bool DebugLogOn()
{
    DebugLogState& s = State();
    std::lock_guard guard(s.lock);
    return s.debug != 0;
}

bool DebugTimingOn()
{
    DebugLogState& s = State();
    std::lock_guard guard(s.lock);
    return s.debugTiming != 0;
}

DWORD DebugLogStartTick()
{
    DebugLogState& s = State();
    std::lock_guard guard(s.lock);
    return s.startTick;
}

std::string DebugLogPath()
{
    DebugLogState& s = State();
    std::lock_guard guard(s.lock);
    return s.path;
}

void InitDebugLog(const char* fileName, const char* section, const char* pathKey)
{
    if (!fileName || !section || !pathKey)
        return;
    DWORD debug = GetProfileIntA(section, "DEBUG", 0);
    DWORD debugTiming = GetProfileIntA(section, "DEBUGTIMING", 0);
    DebugLogState& s = State();
    {
        std::lock_guard guard(s.lock);
        if ((debug == 0 && debugTiming == 0) || s.debug != 0 || s.debugTiming != 0)
            return;
    }
    DWORD startTick = GetTickCount();

    char tempFolder[kPathBufferSize] = {};
    const DWORD folderLength = GetTempPathA(kPathBufferSize, tempFolder);
    if (folderLength == 0 || folderLength >= kPathBufferSize)
        return;
    std::string path = tempFolder;
    path += fileName;
    // The path must fit the 292-byte buffer the tools expect; a longer one
    // would name a different file, so the log stays off instead.
    if (path.size() >= kPathBufferSize)
        return;

    WriteProfileStringA(section, pathKey, path.c_str());
    std::remove(path.c_str());

    std::lock_guard guard(s.lock);
    s.startTick = startTick;
    s.path = path;
    s.debug = debug;
    s.debugTiming = debugTiming;
}

void CloseDebugLog()
{
    DebugLogState& s = State();
    std::lock_guard guard(s.lock);
    s.debug = 0;
    s.debugTiming = 0;
    s.path.clear();
}

void AppendDebugLog(const char* text)
{
    if (!text)
        return;
    DebugLogState& s = State();
    std::lock_guard guard(s.lock);
    if (s.debug == 0 && s.debugTiming == 0)
        return;
    // Opened, written and closed for each line, so the log survives a
    // crash; private to the user like every file the system makes. A log
    // that cannot be opened drops the line.
    plat::AppendToPrivateFile(s.path, text);
}

int DebugPrint(const char* format, ...)
{
    std::unique_ptr<char[]> working(new (std::nothrow) char[kWorkingBlockSize]);
    if (!working)
        return 0;
    // The line is formatted into the first 292 bytes of the working block.
    char* message = working.get();
    va_list args;
    va_start(args, format);
    int length = plat::VFormatToBuffer(message, kLineBufferSize, format, args);
    va_end(args);
    // A cut line still ends its line, so the next one starts on its own.
    if (length < 0)
        message[kLineBufferSize - 2] = '\n';
    AppendDebugLog(message);
    return 1;
}

std::string GetTimestampWithMs()
{
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ":%03d", static_cast<int>(ms));
    return text;
}

} // namespace Trellis
