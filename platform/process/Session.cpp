#include "platform/process/Session.h"
#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/kernel/KernelObject.h"
#include "platform/process/ProcessObject.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unistd.h>

namespace plat {

namespace {

constexpr DWORD kNoSession = 0xFFFFFFFFu;

struct Overrides {
    std::mutex mutex;
    std::map<DWORD, DWORD> byProcess;
};

Overrides& TheOverrides()
{
    static Overrides* overrides = new Overrides;
    return *overrides;
}

std::optional<DWORD> ParseNumber(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 10)
        return std::nullopt;
    const unsigned long long value = std::stoull(text);
    if (value > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<DWORD>(value);
}

// The login session of a process: the audit session id, or 0 outside any.
std::optional<DWORD> LoginSession(DWORD pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/sessionid");
    std::string text;
    if (!std::getline(file, text))
        return std::nullopt;
    std::optional<DWORD> id = ParseNumber(text);
    if (!id || *id == kNoSession)
        return 0;
    return id;
}

// logind's active session on seat0; nullopt without logind.
std::optional<DWORD> ActiveSeatSession(bool* logindPresent)
{
    std::ifstream seat("/run/systemd/seats/seat0");
    *logindPresent = static_cast<bool>(seat);
    std::string line;
    while (std::getline(seat, line)) {
        if (line.rfind("ACTIVE=", 0) == 0)
            return ParseNumber(line.substr(7));
    }
    return std::nullopt;
}

class TokenObject : public KernelObject {
public:
    explicit TokenObject(DWORD session) : sessionId(session) {}
    const DWORD sessionId;
};

} // namespace

void SetProcessSessionOverride(DWORD processId, DWORD sessionId)
{
    Overrides& overrides = TheOverrides();
    std::lock_guard lock(overrides.mutex);
    overrides.byProcess[processId] = sessionId;
}

void ClearProcessSessionOverrides()
{
    Overrides& overrides = TheOverrides();
    std::lock_guard lock(overrides.mutex);
    overrides.byProcess.clear();
}

} // namespace plat

DWORD WTSGetActiveConsoleSessionId()
{
    if (const char* value = std::getenv(plat::kConsoleSessionVariable)) {
        if (std::string(value) == "none")
            return plat::kNoSession;
        if (std::optional<DWORD> id = plat::ParseNumber(value))
            return *id;
    }
    bool logind = false;
    if (std::optional<DWORD> active = plat::ActiveSeatSession(&logind))
        return *active;
    if (logind)
        return plat::kNoSession; // a seat, but nobody active on it
    DWORD own = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &own);
    return own;
}

BOOL ProcessIdToSessionId(DWORD dwProcessId, DWORD* pSessionId)
{
    if (!pSessionId) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    {
        plat::Overrides& overrides = plat::TheOverrides();
        std::lock_guard lock(overrides.mutex);
        auto it = overrides.byProcess.find(dwProcessId);
        if (it != overrides.byProcess.end()) {
            *pSessionId = it->second;
            return TRUE;
        }
    }
    if (!plat::IsProcessAlive(static_cast<pid_t>(dwProcessId))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A process whose session cannot be read (another user's) counts as
    // outside any login session.
    *pSessionId = plat::LoginSession(dwProcessId).value_or(0);
    return TRUE;
}

BOOL WTSQueryUserToken(ULONG SessionId, PHANDLE phToken)
{
    if (!phToken) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD console = WTSGetActiveConsoleSessionId();
    if (console == plat::kNoSession || SessionId != console) {
        SetLastError(ERROR_NO_TOKEN);
        return FALSE;
    }
    *phToken = plat::InsertHandle(std::make_shared<plat::TokenObject>(SessionId));
    return TRUE;
}
