// Profiles: the settings image of the custom data-source data, byte for
// byte, in a file. Loading compares the identity at the file's head with
// this source's first, so a profile of another device or version changes
// nothing.
#include "twainds/CQBK24DataSource.h"

#include "twainds/CProfileFile.h"
#include "twainfw/CTWAINMemoryStorage.h"
#include "twainfw/TWAINException.h"

#include <cstddef>
#include <cstring>

namespace {

// The identity record at the head of every image.
constexpr long long kIdentitySize = sizeof(TW_IDENTITY);
// Where the identity's language lies in it, and the language that earlier
// builds of this source wrote there.
constexpr size_t kLanguageOffset = offsetof(TW_IDENTITY, Version) + offsetof(TW_VERSION, Language);
constexpr TW_UINT16 kEarlierLanguage = TWLG_ENGLISH;
// A profile holds a few hundred bytes; anything far larger is no profile,
// and its length is not to decide how much memory a load takes.
constexpr long long kLargestProfile = 1 << 20;

// A global block freed when the scope ends.
class GlobalBlock {
public:
    explicit GlobalBlock(HGLOBAL block) : m_block(block) {}
    ~GlobalBlock()
    {
        if (m_block)
            GlobalFree(m_block);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    HGLOBAL Get() const { return m_block; }

private:
    HGLOBAL m_block;
};

} // namespace

void CQBK24DataSource::SaveProfile(const char* path)
{
    GlobalBlock block(GetDSDataBlock());
    const SIZE_T size = GlobalSize(block.Get());
    if (size == 0)
        ThrowFailure(TWCC_LOWMEMORY);
    const void* data = GlobalLock(block.Get());
    if (!data)
        ThrowFailure(TWCC_LOWMEMORY);

    CProfileFile file;
    bool written = file.OpenForWriting(path) && file.WriteAll(data, size);
    // Closing may be where the system first reports that the bytes did not
    // reach the file.
    written = file.Close() && written;
    GlobalUnlock(block.Get());
    if (!written)
        ThrowFailure(TWCC_OPERATIONERROR);
}

void CQBK24DataSource::LoadProfile(const char* path)
{
    CProfileFile file;
    if (!file.OpenForReading(path))
        ThrowFailure(TWCC_OPERATIONERROR);
    const long long length = file.Length();

    // Too short for the identity, or no profile by its size: refused before
    // any byte is read.
    bool failed = length < kIdentitySize || length > kLargestProfile;
    GlobalBlock block(failed ? nullptr : GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(length)));
    if (!failed) {
        auto* data = static_cast<BYTE*>(block.Get() ? GlobalLock(block.Get()) : nullptr);
        failed = !data || !file.ReadAll(data, static_cast<size_t>(length));
        // A file cut short would restore zeros for every key past the cut.
        failed =
            failed || !Trellis::CTWAINMemoryStorage::RecordsAreWhole(data, static_cast<size_t>(length), kIdentitySize);
        if (data)
            GlobalUnlock(block.Get());
    }
    failed = !file.Close() || failed;

    if (!failed) {
        try {
            SetDSDataBlock(block.Get());
        } catch (const Trellis::CTWAINException&) {
            failed = true;
        }
    }
    if (failed)
        ThrowFailure(TWCC_OPERATIONERROR);
}

void CQBK24DataSource::SetDSDataBlock(TW_HANDLE hData)
{
    const TW_UINT16 ownLanguage = GetIdentity().Version.Language;
    const SIZE_T size = GlobalSize(hData);
    const auto* data = static_cast<const BYTE*>(size >= sizeof(TW_IDENTITY) ? GlobalLock(hData) : nullptr);
    TW_UINT16 language = ownLanguage;
    if (data)
        std::memcpy(&language, data + kLanguageOffset, sizeof language);
    if (language != kEarlierLanguage || ownLanguage == kEarlierLanguage) {
        if (data)
            GlobalUnlock(hData);
        Trellis::CTWAINDataSource::SetDSDataBlock(hData);
        return;
    }

    // The caller's block stays as it is: a copy carries today's language,
    // and the framework compares everything else.
    GlobalBlock copy(GlobalAlloc(GMEM_MOVEABLE, size));
    auto* to = static_cast<BYTE*>(copy.Get() ? GlobalLock(copy.Get()) : nullptr);
    if (to) {
        std::memcpy(to, data, size);
        std::memcpy(to + kLanguageOffset, &ownLanguage, sizeof ownLanguage);
        GlobalUnlock(copy.Get());
    }
    GlobalUnlock(hData);
    if (!to)
        ThrowFailure(TWCC_LOWMEMORY);
    Trellis::CTWAINDataSource::SetDSDataBlock(copy.Get());
}
