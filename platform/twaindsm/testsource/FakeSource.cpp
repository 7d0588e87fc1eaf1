// A data source for the manager's tests whose identity is its file name:
// "<name>.<SupportedGroups in hex>.<ProtocolMajor>.<ProtocolMinor>.ds".
// It opens only when the manager kept the entry-point rule (the record
// handed over exactly when the identity says DF_DS2) and, once enabled,
// tells its application that a transfer is ready through that entry.
#include "platform/twain/twain.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>

namespace {

TW_IDENTITY g_identity{};
TW_ENTRYPOINT g_entry{};
TW_IDENTITY g_app{};
TW_UINT16 g_conditionCode = TWCC_SUCCESS;

std::string OwnFileName()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&OwnFileName), &info) || !info.dli_fname)
        return {};
    const std::string path = info.dli_fname;
    return path.substr(path.find_last_of('/') + 1);
}

void MakeIdentity()
{
    const std::string name = OwnFileName();
    unsigned groups = 0;
    unsigned major = 0;
    unsigned minor = 0;
    std::sscanf(name.c_str(), "%*[^.].%x.%u.%u", &groups, &major, &minor);
    g_identity = TW_IDENTITY{};
    g_identity.SupportedGroups = groups;
    g_identity.ProtocolMajor = static_cast<TW_UINT16>(major);
    g_identity.ProtocolMinor = static_cast<TW_UINT16>(minor);
    std::snprintf(g_identity.ProductName, sizeof g_identity.ProductName, "%s", name.substr(0, name.find('.')).c_str());
}

TW_UINT16 Fail(TW_UINT16 conditionCode)
{
    g_conditionCode = conditionCode;
    return TWRC_FAILURE;
}

TW_UINT16 OnIdentity(pTW_IDENTITY origin, TW_UINT16 msg, TW_IDENTITY* identity)
{
    if (msg == MSG_GET) {
        MakeIdentity();
        *identity = g_identity;
        return TWRC_SUCCESS;
    }
    if (msg == MSG_OPENDS) {
        const bool wantsEntry = (g_identity.SupportedGroups & DF_DS2) != 0;
        if (wantsEntry != (g_entry.DSM_Entry != nullptr))
            return Fail(TWCC_BUMMER);
        g_identity.Id = identity->Id;
        g_app = *origin;
        return TWRC_SUCCESS;
    }
    if (msg == MSG_CLOSEDS) {
        g_entry = TW_ENTRYPOINT{};
        return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
}

} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16 DS_Entry(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat,
                                                                     TW_UINT16 msg, TW_MEMREF data)
{
    if (dg != DG_CONTROL)
        return Fail(TWCC_BADPROTOCOL);
    switch (dat) {
    case DAT_IDENTITY:
        if (g_identity.SupportedGroups == 0)
            MakeIdentity();
        return OnIdentity(origin, msg, static_cast<TW_IDENTITY*>(data));
    case DAT_ENTRYPOINT:
        g_entry = *static_cast<TW_ENTRYPOINT*>(data);
        return TWRC_SUCCESS;
    case DAT_STATUS:
        static_cast<TW_STATUS*>(data)->ConditionCode = g_conditionCode;
        g_conditionCode = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    case DAT_USERINTERFACE:
        if (msg == MSG_ENABLEDS && g_entry.DSM_Entry)
            g_entry.DSM_Entry(&g_identity, &g_app, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr);
        return TWRC_SUCCESS;
    case DAT_EVENT:
        return TWRC_NOTDSEVENT;
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}
