#include "platform/twaindsm/SourceManager.h"

#include "platform/twaindsm/SourceFolder.h"
#include "platform/twaindsm/SourceLibrary.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

namespace twaindsm {

namespace {

// The identity the manager uses for itself when it lists sources.
constexpr TW_UINT32 kApplicationId = 1;
constexpr TW_UINT32 kFirstSourceId = 2;

bool SameName(const TW_STR32& a, const TW_STR32& b) { return std::strncmp(a, b, sizeof(TW_STR32)) == 0; }

class SourceManager {
public:
    TW_UINT16 Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

    std::string folder = kStandardSourceFolder;

private:
    struct Source {
        TW_IDENTITY identity;
        std::string path;
    };

    TW_UINT16 Fail(TW_UINT16 conditionCode)
    {
        m_conditionCode = conditionCode;
        return TWRC_FAILURE;
    }
    bool IsOpenSource(const TW_IDENTITY* identity) const
    {
        return identity && m_library.Loaded() && identity->Id == m_open.Id;
    }

    TW_UINT16 Notify(TW_UINT16 msg);
    TW_UINT16 Parent(pTW_IDENTITY origin, TW_UINT16 msg);
    void ListSources();
    TW_UINT16 Identity(TW_UINT16 msg, TW_IDENTITY* identity);
    const Source* Find(const TW_IDENTITY& wanted) const;
    TW_UINT16 OpenSource(const Source& source, TW_IDENTITY* identity);
    TW_UINT16 CloseSource(TW_IDENTITY* identity);
    TW_UINT16 RegisterCallback(TW_UINT16 dat, TW_MEMREF data);
    TW_UINT16 ProcessEvent(TW_UINT16 msg, TW_MEMREF data);

    bool m_dsmOpen = false;
    TW_IDENTITY m_app{};
    std::vector<Source> m_sources;
    size_t m_next = 0;
    TW_UINT16 m_conditionCode = TWCC_SUCCESS;
    SourceLibrary m_library;
    TW_IDENTITY m_open{};
    TWAINCALLBACKPROC m_callback = nullptr;
    std::deque<TW_UINT16> m_waiting;
};

SourceManager& Manager()
{
    static SourceManager manager;
    return manager;
}

TW_ENTRYPOINT EntryPoints()
{
    TW_ENTRYPOINT entry{};
    entry.Size = sizeof entry;
    entry.DSM_Entry = &DSM_Entry;
    entry.DSM_MemAllocate = &MemAllocate;
    entry.DSM_MemFree = &MemFree;
    entry.DSM_MemLock = &MemLock;
    entry.DSM_MemUnlock = &MemUnlock;
    return entry;
}

TW_UINT16 SourceManager::Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                               TW_MEMREF data)
{
    // The open source telling its application something.
    if (dg == DG_CONTROL && dat == DAT_NULL && m_library.Loaded() && dest && dest->Id == m_app.Id)
        return Notify(msg);
    if (!origin)
        return Fail(TWCC_BADPROTOCOL);
    if (dg == DG_CONTROL && dat == DAT_PARENT)
        return Parent(origin, msg);
    if (!m_dsmOpen || origin->Id != m_app.Id)
        return Fail(TWCC_SEQERROR);
    if (dg == DG_CONTROL && dat == DAT_ENTRYPOINT && !dest) {
        if (msg != MSG_GET || !data)
            return Fail(TWCC_BADPROTOCOL);
        *static_cast<TW_ENTRYPOINT*>(data) = EntryPoints();
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && (dat == DAT_CALLBACK || dat == DAT_CALLBACK2))
        return msg == MSG_REGISTER_CALLBACK ? RegisterCallback(dat, data) : Fail(TWCC_BADPROTOCOL);
    if (dg == DG_CONTROL && dat == DAT_STATUS && !dest) {
        if (msg != MSG_GET || !data)
            return Fail(TWCC_BADPROTOCOL);
        std::memset(data, 0, sizeof(TW_STATUS));
        static_cast<TW_STATUS*>(data)->ConditionCode = m_conditionCode;
        m_conditionCode = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_IDENTITY)
        return Identity(msg, static_cast<TW_IDENTITY*>(data));
    if (!IsOpenSource(dest))
        return Fail(TWCC_BADDEST);
    if (dg == DG_CONTROL && dat == DAT_EVENT)
        return ProcessEvent(msg, data);
    return m_library.Call(origin, dg, dat, msg, data);
}

TW_UINT16 SourceManager::Notify(TW_UINT16 msg)
{
    switch (msg) {
    case MSG_XFERREADY:
    case MSG_CLOSEDSREQ:
    case MSG_CLOSEDSOK:
    case MSG_DEVICEEVENT:
        break;
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
    if (m_callback)
        return m_callback(&m_open, &m_app, DG_CONTROL, DAT_NULL, msg, nullptr);
    m_waiting.push_back(msg);
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::Parent(pTW_IDENTITY origin, TW_UINT16 msg)
{
    if (msg == MSG_OPENDSM) {
        if (m_dsmOpen)
            return Fail(TWCC_SEQERROR);
        origin->Id = kApplicationId;
        origin->SupportedGroups |= DF_DSM2;
        m_app = *origin;
        m_dsmOpen = true;
        ListSources();
        return TWRC_SUCCESS;
    }
    if (msg == MSG_CLOSEDSM) {
        if (!m_dsmOpen || origin->Id != m_app.Id || m_library.Loaded())
            return Fail(TWCC_SEQERROR);
        m_dsmOpen = false;
        m_sources.clear();
        return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
}

void SourceManager::ListSources()
{
    m_sources.clear();
    m_next = 0;
    for (const std::string& path : FindSourceFiles(folder)) {
        if (m_sources.size() == kMaxSources)
            break;
        SourceLibrary library;
        if (!library.Load(path))
            continue;
        TW_IDENTITY identity{};
        if (library.Call(&m_app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity) != TWRC_SUCCESS ||
            !IsUsableIdentity(identity))
            continue;
        identity.Id = kFirstSourceId + static_cast<TW_UINT32>(m_sources.size());
        m_sources.push_back({identity, path});
    }
}

TW_UINT16 SourceManager::Identity(TW_UINT16 msg, TW_IDENTITY* identity)
{
    if (!identity)
        return Fail(TWCC_BADVALUE);
    switch (msg) {
    case MSG_GETFIRST:
        m_next = 0;
        [[fallthrough]];
    case MSG_GETNEXT:
        if (m_next >= m_sources.size())
            return TWRC_ENDOFLIST;
        *identity = m_sources[m_next++].identity;
        return TWRC_SUCCESS;
    case MSG_GETDEFAULT:
    case MSG_USERSELECT:
        if (m_sources.empty())
            return Fail(TWCC_NODS);
        *identity = m_sources.front().identity;
        return TWRC_SUCCESS;
    case MSG_OPENDS: {
        const Source* source = Find(*identity);
        if (!source)
            return Fail(TWCC_NODS);
        return OpenSource(*source, identity);
    }
    case MSG_CLOSEDS:
        return CloseSource(identity);
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}

// By Id; an Id of 0 asks by product name, or for the default when that is
// empty too.
const SourceManager::Source* SourceManager::Find(const TW_IDENTITY& wanted) const
{
    for (const Source& source : m_sources) {
        if (wanted.Id != 0 ? source.identity.Id == wanted.Id
                           : SameName(source.identity.ProductName, wanted.ProductName))
            return &source;
    }
    if (wanted.Id == 0 && wanted.ProductName[0] == '\0' && !m_sources.empty())
        return &m_sources.front();
    return nullptr;
}

TW_UINT16 SourceManager::OpenSource(const Source& source, TW_IDENTITY* identity)
{
    if (m_library.Loaded())
        return Fail(TWCC_MAXCONNECTIONS);
    if (!m_library.Load(source.path))
        return Fail(TWCC_OPERATIONERROR);
    m_open = source.identity;
    m_callback = nullptr;
    m_waiting.clear();
    if (source.identity.SupportedGroups & DF_DS2) {
        TW_ENTRYPOINT entry = EntryPoints();
        m_library.Call(&m_app, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry);
    }
    TW_IDENTITY opened = source.identity;
    const TW_UINT16 rc = m_library.Call(&m_app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &opened);
    if (rc != TWRC_SUCCESS) {
        // The source goes again; its reason stays for DAT_STATUS.
        TW_STATUS status{};
        m_library.Call(&m_app, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        m_conditionCode = status.ConditionCode;
        m_library.Unload();
        return rc;
    }
    *identity = m_open;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::CloseSource(TW_IDENTITY* identity)
{
    if (!IsOpenSource(identity))
        return Fail(TWCC_NODS);
    const TW_UINT16 rc = m_library.Call(&m_app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, identity);
    if (rc != TWRC_SUCCESS)
        return rc;
    m_library.Unload();
    m_open = TW_IDENTITY{};
    m_callback = nullptr;
    m_waiting.clear();
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::RegisterCallback(TW_UINT16 dat, TW_MEMREF data)
{
    if (!data || !m_library.Loaded())
        return Fail(TWCC_SEQERROR);
    const TW_MEMREF proc = dat == DAT_CALLBACK ? static_cast<TW_CALLBACK*>(data)->CallBackProc
                                               : static_cast<TW_CALLBACK2*>(data)->CallBackProc;
    m_callback = reinterpret_cast<TWAINCALLBACKPROC>(proc);
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::ProcessEvent(TW_UINT16 msg, TW_MEMREF data)
{
    const TW_UINT16 rc = m_library.Call(&m_app, DG_CONTROL, DAT_EVENT, msg, data);
    if (rc != TWRC_NOTDSEVENT || msg != MSG_PROCESSEVENT || !data || m_waiting.empty())
        return rc;
    static_cast<TW_EVENT*>(data)->TWMessage = m_waiting.front();
    m_waiting.pop_front();
    return TWRC_DSEVENT;
}

} // namespace

void SetSourceFolder(const std::string& folder) { Manager().folder = folder; }

std::string SourceFolder() { return Manager().folder; }

TW_HANDLE MemAllocate(TW_UINT32 size) { return std::calloc(size ? size : 1, 1); }

void MemFree(TW_HANDLE handle) { std::free(handle); }

TW_MEMREF MemLock(TW_HANDLE handle) { return handle; }

void MemUnlock(TW_HANDLE) {}

} // namespace twaindsm

extern "C" TW_UINT16 DSM_Entry(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                               TW_MEMREF pData)
{
    return twaindsm::Manager().Entry(pOrigin, pDest, DG, DAT, MSG, pData);
}
