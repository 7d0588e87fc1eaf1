#include "platform/process/Token.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/kernel/KernelObject.h"
#include "platform/kernel/Thread.h"

#include <string>
#include <unistd.h>

namespace plat {

namespace {

class ProcessTokenObject : public KernelObject {};

struct Privilege {
    const char16_t* name;
    DWORD value;
};

// The values Windows gives these privileges.
constexpr Privilege kPrivileges[] = {
    {u"SeTcbPrivilege", 7},
    {u"SeShutdownPrivilege", 19},
    {u"SeDebugPrivilege", 20},
};

BOOL LookupPrivilege(std::u16string_view name, PLUID luid)
{
    if (!luid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (const Privilege& privilege : kPrivileges) {
        if (name == privilege.name) {
            *luid = LUID{privilege.value, 0};
            return TRUE;
        }
    }
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
    return FALSE;
}

} // namespace

} // namespace plat

BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD, PHANDLE TokenHandle)
{
    if (!TokenHandle || ProcessHandle != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *TokenHandle = plat::InsertHandle(std::make_shared<plat::ProcessTokenObject>());
    return TRUE;
}

BOOL LookupPrivilegeValueW(LPCWSTR, LPCWSTR lpName, PLUID lpLuid)
{
    return plat::LookupPrivilege(lpName ? std::u16string_view(lpName) : std::u16string_view(), lpLuid);
}

BOOL LookupPrivilegeValueA(LPCSTR, LPCSTR lpName, PLUID lpLuid)
{
    return plat::LookupPrivilege(lpName ? Utf8ToUtf16(lpName) : std::u16string(), lpLuid);
}

BOOL AdjustTokenPrivileges(HANDLE TokenHandle, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD ReturnLength)
{
    if (!plat::ReferenceObject<plat::ProcessTokenObject>(TokenHandle))
        return FALSE;
    if (ReturnLength)
        *ReturnLength = 0;
    SetLastError(geteuid() == 0 ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}
