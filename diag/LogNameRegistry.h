// The process-wide table from log names to the mask cells that traced
// objects read on every line and that the settings reload writes.
#pragma once

#include "platform/base/wintypes.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// A mask cell: a 32-bit level mask (LOG_ERROR | LOG_WARNING | LOG_TRACE bits)
// that is read whole, without a lock, from any thread.
using LogMaskCell = std::atomic<DWORD>;
static_assert(sizeof(LogMaskCell) == sizeof(DWORD) && LogMaskCell::is_always_lock_free,
              "a mask cell is a plain 32-bit word");

using LogNameList = std::vector<std::u16string>;

// Told once about each name the first time it is registered, so the
// diagnostics component can list it in its settings.
using LogNameAnnouncer = std::function<void(const std::u16string& name)>;

class LogNameRegistry {
public:
    LogNameRegistry() = default;
    LogNameRegistry(const LogNameRegistry&) = delete;
    LogNameRegistry& operator=(const LogNameRegistry&) = delete;

    // The one registry of this binary. It is never destroyed, so cells stay
    // valid for objects that still log during exit.
    static LogNameRegistry& Process();

    LogMaskCell* AddLogName(const std::u16string& name);
    LogMaskCell* EnableLogName(const std::u16string& name);
    void DisableLogName(const std::u16string& name);
    void SetLogMask(DWORD mask);
    bool IsLogNameEnabled(const std::u16string& name) const;
    LogNameList GetRegisteredLogNames() const;
    DWORD GetGlobalLogMask() const;

    // AddLogName, announcing the name first when it is new. The announcer is
    // called without the registry's lock held: it may call into another
    // component (and another thread) that uses the registry itself.
    LogMaskCell* RegisterLogName(const std::u16string& name);
    void SetAnnouncer(LogNameAnnouncer announcer);

private:
    LogMaskCell* AddLocked(const std::u16string& name);

    mutable std::mutex m_lock;
    // std::map never moves its elements: traced objects keep the cells' addresses.
    std::map<std::u16string, LogMaskCell> m_cells;
    LogNameList m_registered;
    LogNameList m_enabled;
    DWORD m_globalMask = 0;
    LogNameAnnouncer m_announcer;
};

// The operations on this binary's registry, as the sink and the settings
// reload call them.
LogMaskCell* AddLogName(const std::u16string& name);
LogMaskCell* EnableLogName(const std::u16string& name);
void DisableLogName(const std::u16string& name);
void SetLogMask(DWORD mask);
bool IsLogNameEnabled(const std::u16string& name);
bool FindLogName(const LogNameList& names, const std::u16string& name);
LogNameList GetRegisteredLogNames();
LogMaskCell* RegisterLogName(const std::u16string& name);
