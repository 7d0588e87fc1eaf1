// Self-relative security descriptors in the Windows byte layout, as the
// COM permission values (LaunchPermission, AccessPermission) store them.
#pragma once

#include "platform/base/wintypes.h"

#include <vector>

// A SID in its binary form: revision 1, sub-authority count, 6-byte
// authority (big-endian), sub-authorities (32-bit, little-endian).
std::vector<BYTE> MakeSid(ULONGLONG authority, const std::vector<DWORD>& subAuthorities);

// S-1-1-0.
std::vector<BYTE> EveryoneSid();

// The user the process runs as, in the Unix-user form S-1-22-1-<uid>.
std::vector<BYTE> CurrentUserSid();

// Revision 1, owner and group `owner`, and a discretionary ACL of revision 2
// with one access-allowed entry of `accessMask` for Everyone, sized exactly
// for that entry.
std::vector<BYTE> MakeEveryoneDescriptor(const std::vector<BYTE>& owner, DWORD accessMask);

// Owner and group `owner` and a null discretionary ACL: every caller admitted.
std::vector<BYTE> MakeOpenDescriptor(const std::vector<BYTE>& owner);

// The access right of the COM permission entries.
inline constexpr DWORD COM_RIGHTS_EXECUTE = 1;
