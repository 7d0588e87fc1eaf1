// Telling the application, outside any triplet, that an image is ready or
// that the settings window was closed; and the settings the source keeps
// across sessions: under its registry key, and in the custom data block an
// application stores for it (DAT_CUSTOMDSDATA).
#include "twainfw/CTWAINDataSource.h"

#include "twainfw/CTWAINMemoryStorage.h"
#include "twainfw/CTWAINRegistry.h"
#include "twainfw/DSMEntry.h"
#include "twainfw/DebugLog.h"

#include <cstring>

namespace Trellis {

namespace {

// The identity at the head of a custom data block: the source's own, with
// the Id the manager assigned cleared, so that a block outlives the session.
constexpr TW_UINT32 kBlockHeaderSize = sizeof(TW_IDENTITY);
static_assert(kBlockHeaderSize == 156);

// At most 32 characters and their NUL, and zeros after them.
void CopyText(TW_STR32& to, const TW_STR32& from)
{
    std::memset(to, 0, sizeof(to));
    std::memcpy(to, from, strnlen(from, sizeof(TW_STR32) - 2));
}

// The identity as a block carries it: the source's fields, Id 0, and zeros
// wherever the fields leave bytes over. The identity kept since MSG_OPENDS
// is the manager's copy, whose bytes after a text's NUL are whatever its
// memory held; they must not decide whether a block is this source's.
TW_IDENTITY HeaderIdentity(const TW_IDENTITY& identity)
{
    TW_IDENTITY header{};
    header.Id = 0;
    header.Version.MajorNum = identity.Version.MajorNum;
    header.Version.MinorNum = identity.Version.MinorNum;
    header.Version.Language = identity.Version.Language;
    header.Version.Country = identity.Version.Country;
    CopyText(header.Version.Info, identity.Version.Info);
    header.ProtocolMajor = identity.ProtocolMajor;
    header.ProtocolMinor = identity.ProtocolMinor;
    header.SupportedGroups = identity.SupportedGroups;
    CopyText(header.Manufacturer, identity.Manufacturer);
    CopyText(header.ProductFamily, identity.ProductFamily);
    CopyText(header.ProductName, identity.ProductName);
    return header;
}

// Locks a global block for a scope.
class GlobalLockScope {
public:
    explicit GlobalLockScope(HGLOBAL block) : m_block(block), m_data(GlobalLock(block)) {}
    ~GlobalLockScope()
    {
        if (m_data)
            GlobalUnlock(m_block);
    }
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;

    BYTE* Data() const { return static_cast<BYTE*>(m_data); }

private:
    HGLOBAL m_block;
    void* m_data;
};

} // namespace

HKEY CTWAINDataSource::GetRegistryRoot() { return HKEY_CURRENT_USER; }

// "SOFTWARE\<maker>\<product>\<major>.<minor>" of the source's identity.
std::string CTWAINDataSource::GetRegistryPath()
{
    TW_IDENTITY identity = GetIdentity();
    auto text = [](const TW_STR32& field) { return std::string(field, strnlen(field, sizeof(TW_STR32))); };
    return "SOFTWARE\\" + text(identity.Manufacturer) + "\\" + text(identity.ProductName) + "\\" +
           VersionToString(identity.Version);
}

void CTWAINDataSource::NotifyApplication(TW_UINT16 msg)
{
    // The manager that handed over its entry point is the one that routes
    // the message; otherwise its library is loaded for this one call.
    if (DSMENTRYPROC entry = GetDSMEntryPoint()) {
        entry(&m_Identity, &m_AppIdentity, DG_CONTROL, DAT_NULL, msg, nullptr);
        return;
    }
    HMODULE library = LoadLibraryA(kDSMLibraryName);
    if (!library)
        return;
    if (auto entry = reinterpret_cast<DSMENTRYPROC>(GetProcAddress(library, kDSMEntryName)))
        entry(&m_Identity, &m_AppIdentity, DG_CONTROL, DAT_NULL, msg, nullptr);
    FreeLibrary(library);
}

void CTWAINDataSource::SignalXferReady()
{
    if (!BeginAcquisition(&m_ImageInfo))
        return;
    if (!SaveConfigurationToRegistry() && DebugLogOn())
        DebugPrint("Error saving current configuration to registry.\n");
    SetState(6);
    NotifyApplication(MSG_XFERREADY);
}

void CTWAINDataSource::SignalCloseDSOK()
{
    if (!SaveConfigurationToRegistry() && DebugLogOn())
        DebugPrint("Error saving current configuration to registry.\n");
    SetState(5);
    NotifyApplication(MSG_CLOSEDSOK);
}

void CTWAINDataSource::SignalCloseDSRequest()
{
    SetState(5);
    NotifyApplication(MSG_CLOSEDSREQ);
}

// Registry errors never reach the application: the settings simply stay
// as they are.
bool CTWAINDataSource::SaveConfigurationToRegistry()
{
    try {
        CTWAINRegistry registry(GetRegistryRoot());
        registry.Open(GetRegistryPath());
        SaveConfiguration(registry);
        registry.Close();
        return true;
    } catch (...) {
        return false;
    }
}

bool CTWAINDataSource::LoadConfigurationFromRegistry()
{
    try {
        CTWAINRegistry registry(GetRegistryRoot());
        registry.Open(GetRegistryPath());
        RestoreConfiguration(registry);
        registry.Close();
        return true;
    } catch (...) {
        return false;
    }
}

TW_HANDLE CTWAINDataSource::GetDSDataBlock()
{
    // An exception of the save leaves the storage to free what it began.
    CTWAINMemoryStorage storage(nullptr, kBlockHeaderSize);
    SaveConfiguration(storage);
    HGLOBAL block = storage.Detach();
    if (!block)
        ThrowFailure(TWCC_LOWMEMORY);
    {
        GlobalLockScope lock(block);
        if (lock.Data()) {
            const TW_IDENTITY header = HeaderIdentity(GetIdentity());
            std::memcpy(lock.Data(), &header, kBlockHeaderSize);
            return block;
        }
    }
    // The block is ours until it is handed over.
    GlobalFree(block);
    ThrowFailure(TWCC_LOWMEMORY);
}

void CTWAINDataSource::SetDSDataBlock(TW_HANDLE hData)
{
    {
        GlobalLockScope lock(hData);
        if (!lock.Data())
            ThrowFailure(TWCC_BADVALUE);
        // A block too short for its header is refused before it is read.
        if (GlobalSize(hData) < kBlockHeaderSize)
            ThrowFailure(TWCC_BADVALUE);

        const TW_IDENTITY own = HeaderIdentity(GetIdentity());
        TW_UINT32 ownWords[kBlockHeaderSize / 4];
        TW_UINT32 blockWords[kBlockHeaderSize / 4];
        std::memcpy(ownWords, &own, kBlockHeaderSize);
        std::memcpy(blockWords, lock.Data(), kBlockHeaderSize);
        for (size_t i = 0; i < kBlockHeaderSize / 4; ++i) {
            if (blockWords[i] != ownWords[i])
                ThrowFailure(TWCC_BADVALUE);
        }
    }

    // The block stays the application's: it is detached from the storage on
    // every way out, and settings restored before a failure stay applied.
    CTWAINMemoryStorage storage(hData, kBlockHeaderSize);
    try {
        RestoreConfiguration(storage);
    } catch (...) {
        storage.Detach();
        throw;
    }
    storage.Detach();
}

} // namespace Trellis
