#include "halservice/service/SecurityDescriptor.h"

#include <algorithm>
#include <unistd.h>

namespace {

constexpr WORD SE_DACL_PRESENT = 0x0004;
constexpr WORD SE_SELF_RELATIVE = 0x8000;
constexpr BYTE ACL_REVISION = 2;
constexpr BYTE ACCESS_ALLOWED_ACE_TYPE = 0;
constexpr size_t kHeaderBytes = 20;

void PutWord(std::vector<BYTE>& out, size_t at, WORD value)
{
    out[at] = static_cast<BYTE>(value);
    out[at + 1] = static_cast<BYTE>(value >> 8);
}

void PutDword(std::vector<BYTE>& out, size_t at, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<BYTE>(value >> (8 * i));
}

void Append(std::vector<BYTE>& out, const std::vector<BYTE>& bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// The header with owner and group after `acl` (which may be empty).
std::vector<BYTE> Assemble(const std::vector<BYTE>& owner, const std::vector<BYTE>& acl, bool daclPresent)
{
    std::vector<BYTE> sd(kHeaderBytes, 0);
    sd[0] = 1; // revision
    PutWord(sd, 2, static_cast<WORD>(SE_SELF_RELATIVE | (daclPresent ? SE_DACL_PRESENT : 0)));
    DWORD daclOffset = acl.empty() ? 0 : static_cast<DWORD>(sd.size());
    Append(sd, acl);
    DWORD ownerOffset = static_cast<DWORD>(sd.size());
    Append(sd, owner);
    DWORD groupOffset = static_cast<DWORD>(sd.size());
    Append(sd, owner);
    PutDword(sd, 4, ownerOffset);
    PutDword(sd, 8, groupOffset);
    PutDword(sd, 12, 0); // no system ACL
    PutDword(sd, 16, daclOffset);
    return sd;
}

} // namespace

std::vector<BYTE> MakeSid(ULONGLONG authority, const std::vector<DWORD>& subAuthorities)
{
    std::vector<BYTE> sid(8 + 4 * subAuthorities.size(), 0);
    sid[0] = 1;
    sid[1] = static_cast<BYTE>(subAuthorities.size());
    for (int i = 0; i < 6; ++i)
        sid[2 + i] = static_cast<BYTE>(authority >> (8 * (5 - i)));
    for (size_t i = 0; i < subAuthorities.size(); ++i)
        PutDword(sid, 8 + 4 * i, subAuthorities[i]);
    return sid;
}

std::vector<BYTE> EveryoneSid() { return MakeSid(1, {0}); }

std::vector<BYTE> CurrentUserSid() { return MakeSid(22, {1, static_cast<DWORD>(getuid())}); }

std::vector<BYTE> MakeEveryoneDescriptor(const std::vector<BYTE>& owner, DWORD accessMask)
{
    const std::vector<BYTE> everyone = EveryoneSid();
    const size_t aceBytes = 8 + everyone.size();
    std::vector<BYTE> acl(8 + aceBytes, 0);
    acl[0] = ACL_REVISION;
    PutWord(acl, 2, static_cast<WORD>(acl.size()));
    PutWord(acl, 4, 1); // one entry
    acl[8] = ACCESS_ALLOWED_ACE_TYPE;
    acl[9] = 0;
    PutWord(acl, 10, static_cast<WORD>(aceBytes));
    PutDword(acl, 12, accessMask);
    std::copy(everyone.begin(), everyone.end(), acl.begin() + 16);
    return Assemble(owner, acl, true);
}

std::vector<BYTE> MakeOpenDescriptor(const std::vector<BYTE>& owner) { return Assemble(owner, {}, true); }
