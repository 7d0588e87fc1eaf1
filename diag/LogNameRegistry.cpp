#include "diag/LogNameRegistry.h"

#include <algorithm>

LogNameRegistry& LogNameRegistry::Process()
{
    static LogNameRegistry* registry = new LogNameRegistry;
    return *registry;
}

LogMaskCell* LogNameRegistry::AddLocked(const std::u16string& name)
{
    auto [it, isNew] = m_cells.try_emplace(name, 0u);
    if (isNew)
        m_registered.push_back(name);
    LogMaskCell& cell = it->second;
    if (FindLogName(m_enabled, name))
        cell.fetch_or(m_globalMask, std::memory_order_relaxed);
    else if (cell.load(std::memory_order_relaxed) & m_globalMask)
        m_enabled.push_back(name);
    return &cell;
}

LogMaskCell* LogNameRegistry::AddLogName(const std::u16string& name)
{
    std::lock_guard guard(m_lock);
    return AddLocked(name);
}

LogMaskCell* LogNameRegistry::EnableLogName(const std::u16string& name)
{
    std::lock_guard guard(m_lock);
    if (!FindLogName(m_enabled, name))
        m_enabled.push_back(name);
    auto it = m_cells.find(name);
    if (it == m_cells.end())
        return AddLocked(name);
    it->second.fetch_or(m_globalMask, std::memory_order_relaxed);
    return &it->second;
}

void LogNameRegistry::DisableLogName(const std::u16string& name)
{
    std::lock_guard guard(m_lock);
    auto it = m_cells.find(name);
    if (it != m_cells.end())
        it->second.store(0, std::memory_order_relaxed);
    auto enabled = std::find(m_enabled.begin(), m_enabled.end(), name);
    if (enabled != m_enabled.end())
        m_enabled.erase(enabled);
}

void LogNameRegistry::SetLogMask(DWORD mask)
{
    std::lock_guard guard(m_lock);
    m_globalMask = mask;
    for (const std::u16string& name : m_enabled)
        m_cells.try_emplace(name, 0u).first->second.store(mask, std::memory_order_relaxed);
}

bool LogNameRegistry::IsLogNameEnabled(const std::u16string& name) const
{
    std::lock_guard guard(m_lock);
    return FindLogName(m_enabled, name);
}

LogNameList LogNameRegistry::GetRegisteredLogNames() const
{
    std::lock_guard guard(m_lock);
    return m_registered;
}

DWORD LogNameRegistry::GetGlobalLogMask() const
{
    std::lock_guard guard(m_lock);
    return m_globalMask;
}

LogMaskCell* LogNameRegistry::RegisterLogName(const std::u16string& name)
{
    LogNameAnnouncer announcer;
    LogMaskCell* cell = nullptr;
    {
        std::lock_guard guard(m_lock);
        auto it = m_cells.find(name);
        if (it != m_cells.end())
            return &it->second;
        // Claim the name now so that a second thread registering it at the
        // same moment does not announce it again.
        cell = AddLocked(name);
        announcer = m_announcer;
    }
    if (announcer) {
        // The name is registered whatever the diagnostics component answers.
        try {
            announcer(name);
        } catch (...) {
        }
    }
    return cell;
}

void LogNameRegistry::SetAnnouncer(LogNameAnnouncer announcer)
{
    std::lock_guard guard(m_lock);
    m_announcer = std::move(announcer);
}

LogMaskCell* AddLogName(const std::u16string& name) { return LogNameRegistry::Process().AddLogName(name); }
LogMaskCell* EnableLogName(const std::u16string& name) { return LogNameRegistry::Process().EnableLogName(name); }
void DisableLogName(const std::u16string& name) { LogNameRegistry::Process().DisableLogName(name); }
void SetLogMask(DWORD mask) { LogNameRegistry::Process().SetLogMask(mask); }
bool IsLogNameEnabled(const std::u16string& name) { return LogNameRegistry::Process().IsLogNameEnabled(name); }
LogNameList GetRegisteredLogNames() { return LogNameRegistry::Process().GetRegisteredLogNames(); }
LogMaskCell* RegisterLogName(const std::u16string& name) { return LogNameRegistry::Process().RegisterLogName(name); }

bool FindLogName(const LogNameList& names, const std::u16string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}
