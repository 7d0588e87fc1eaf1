#include "platform/resources/version.h"

#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/resources/ResourceDirectory.h"
#include "platform/resources/module.h"
#include "platform/resources/resources.h"

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The block GetFileVersionInfo hands out: a header, the fixed information,
// the translation list and a directory of strings, each string kept in
// UTF-16 and in UTF-8 so that both VerQueryValue forms can point into it.
// Offsets count from the start of the block.
constexpr DWORD kBlockMagic = 0x31495651; // "QVI1"

struct BlockHeader {
    DWORD magic;
    DWORD totalSize;
    VS_FIXEDFILEINFO fixed;
    DWORD translationCount;
    DWORD translationOffset;
    DWORD stringCount;
    DWORD stringOffset;
};

struct BlockString {
    WORD language;
    WORD codePage;
    DWORD keyOffset;    // UTF-16, terminated
    DWORD valueOffset;  // UTF-16, terminated
    DWORD valueChars;   // with the terminator
    DWORD narrowOffset; // UTF-8, terminated
    DWORD narrowChars;  // with the terminator
};

class BlockWriter {
public:
    DWORD Reserve(size_t bytes)
    {
        Align();
        auto offset = static_cast<DWORD>(m_bytes.size());
        m_bytes.resize(m_bytes.size() + bytes);
        return offset;
    }
    template <typename T>
    void Put(DWORD offset, const T& value)
    {
        std::memcpy(m_bytes.data() + offset, &value, sizeof value);
    }
    DWORD AddWide(std::u16string_view text)
    {
        DWORD offset = Reserve((text.size() + 1) * sizeof(WCHAR));
        std::memcpy(m_bytes.data() + offset, text.data(), text.size() * sizeof(WCHAR));
        return offset;
    }
    DWORD AddNarrow(std::string_view text)
    {
        DWORD offset = Reserve(text.size() + 1);
        std::memcpy(m_bytes.data() + offset, text.data(), text.size());
        return offset;
    }
    std::vector<BYTE>& Bytes() { return m_bytes; }

private:
    void Align() { m_bytes.resize((m_bytes.size() + 3) & ~size_t{3}); }
    std::vector<BYTE> m_bytes;
};

DWORD Pack(WORD high, WORD low) { return (DWORD{high} << 16) | low; }

std::vector<BYTE> BuildBlock(const plat::VersionResource& version)
{
    BlockWriter writer;
    BlockHeader header{};
    header.magic = kBlockMagic;
    header.fixed.dwSignature = VS_FFI_SIGNATURE;
    header.fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    header.fixed.dwFileVersionMS = Pack(version.fileVersion[0], version.fileVersion[1]);
    header.fixed.dwFileVersionLS = Pack(version.fileVersion[2], version.fileVersion[3]);
    header.fixed.dwProductVersionMS = Pack(version.productVersion[0], version.productVersion[1]);
    header.fixed.dwProductVersionLS = Pack(version.productVersion[2], version.productVersion[3]);
    header.fixed.dwFileFlagsMask = version.fileFlagsMask;
    header.fixed.dwFileFlags = version.fileFlags;
    header.fixed.dwFileOS = version.fileOS;
    header.fixed.dwFileType = version.fileType;
    header.fixed.dwFileSubtype = version.fileSubtype;
    DWORD headerOffset = writer.Reserve(sizeof header);

    header.translationCount = static_cast<DWORD>(version.stringTables.size());
    header.translationOffset = writer.Reserve(header.translationCount * sizeof(DWORD));
    for (DWORD i = 0; i < header.translationCount; ++i) {
        const plat::VersionStringTable& table = version.stringTables[i];
        const auto offset = static_cast<DWORD>(header.translationOffset + i * sizeof(DWORD));
        writer.Put(offset, Pack(table.codePage, table.language));
    }

    std::vector<BlockString> strings;
    for (const plat::VersionStringTable& table : version.stringTables) {
        for (const plat::VersionString& entry : table.strings) {
            if (!entry.key || !entry.value)
                continue;
            std::u16string_view value(entry.value, WideLength(entry.value));
            std::string narrow = Utf16ToUtf8(value);
            BlockString record{};
            record.language = table.language;
            record.codePage = table.codePage;
            record.keyOffset = writer.AddWide(std::u16string_view(entry.key, WideLength(entry.key)));
            record.valueOffset = writer.AddWide(value);
            record.valueChars = static_cast<DWORD>(value.size() + 1);
            record.narrowOffset = writer.AddNarrow(narrow);
            record.narrowChars = static_cast<DWORD>(narrow.size() + 1);
            strings.push_back(record);
        }
    }
    header.stringCount = static_cast<DWORD>(strings.size());
    header.stringOffset = writer.Reserve(strings.size() * sizeof(BlockString));
    for (size_t i = 0; i < strings.size(); ++i)
        writer.Put(static_cast<DWORD>(header.stringOffset + i * sizeof(BlockString)), strings[i]);

    header.totalSize = static_cast<DWORD>(writer.Bytes().size());
    writer.Put(headerOffset, header);
    return std::move(writer.Bytes());
}

// Builds the block of the module stored in `path`; false with the last
// error set when there is none.
bool BlockOfFile(const std::string& path, std::vector<BYTE>& block)
{
    struct stat wanted {};
    if (path.empty() || stat(path.c_str(), &wanted) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    HMODULE module = nullptr;
    for (HMODULE candidate : plat::LoadedModules()) {
        struct stat st {};
        std::string candidatePath = plat::ModulePath(candidate);
        if (!candidatePath.empty() && stat(candidatePath.c_str(), &st) == 0 && st.st_dev == wanted.st_dev &&
            st.st_ino == wanted.st_ino) {
            module = candidate;
            break;
        }
    }
    // A library that is not loaded is loaded for the look-up, as its
    // resources live in its image.
    HMODULE loaded = nullptr;
    if (!module) {
        loaded = LoadLibraryA(path.c_str());
        if (!loaded) {
            SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
            return false;
        }
        module = loaded;
    }
    const plat::VersionResource* version = nullptr;
    for (const plat::ModuleResources* table : plat::resources::TablesOf(module))
        if (!version)
            version = table->version;
    if (version)
        block = BuildBlock(*version);
    if (loaded)
        FreeLibrary(loaded);
    if (!version) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return false;
    }
    return true;
}

DWORD SizeOf(const std::string& path, LPDWORD handle)
{
    if (handle)
        *handle = 0;
    std::vector<BYTE> block;
    if (!BlockOfFile(path, block))
        return 0;
    return static_cast<DWORD>(block.size());
}

BOOL Fill(const std::string& path, DWORD length, LPVOID data)
{
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<BYTE> block;
    if (!BlockOfFile(path, block))
        return FALSE;
    if (length < block.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(data, block.data(), block.size());
    return TRUE;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b)
{
    auto upper = [](char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; };
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

std::vector<std::u16string_view> SplitPath(std::u16string_view path)
{
    std::vector<std::u16string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool ParseTranslation(std::u16string_view text, WORD& language, WORD& codePage)
{
    if (text.size() != 8)
        return false;
    DWORD value = 0;
    for (char16_t c : text) {
        int digit = (c >= u'0' && c <= u'9')   ? c - u'0'
                    : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                    : (c >= u'A' && c <= u'F') ? c - u'A' + 10
                                               : -1;
        if (digit < 0)
            return false;
        value = (value << 4) | static_cast<DWORD>(digit);
    }
    language = static_cast<WORD>(value >> 16);
    codePage = static_cast<WORD>(value & 0xFFFF);
    return true;
}

// A view of a caller's block that refuses offsets outside it.
class BlockReader {
public:
    explicit BlockReader(LPCVOID block) : m_base(static_cast<const BYTE*>(block))
    {
        if (m_base)
            std::memcpy(&m_header, m_base, sizeof m_header);
    }
    bool Valid() const { return m_base && m_header.magic == kBlockMagic && m_header.totalSize >= sizeof m_header; }
    const BlockHeader& Header() const { return m_header; }
    bool Contains(DWORD offset, size_t bytes) const
    {
        return offset <= m_header.totalSize && bytes <= m_header.totalSize - offset;
    }
    const BYTE* At(DWORD offset) const { return m_base + offset; }
    bool String(DWORD index, BlockString& out) const
    {
        if (index >= m_header.stringCount)
            return false;
        size_t offset = m_header.stringOffset + size_t{index} * sizeof(BlockString);
        if (offset > m_header.totalSize || !Contains(static_cast<DWORD>(offset), sizeof out))
            return false;
        std::memcpy(&out, m_base + offset, sizeof out);
        return true;
    }
    // The terminated UTF-16 text at `offset`, or an empty view when it runs
    // outside the block.
    std::u16string_view Wide(DWORD offset) const
    {
        std::u16string_view text;
        for (DWORD at = offset; Contains(at, sizeof(WCHAR)); at += sizeof(WCHAR)) {
            WCHAR c;
            std::memcpy(&c, m_base + at, sizeof c);
            if (c == 0)
                return std::u16string_view(reinterpret_cast<const WCHAR*>(m_base + offset),
                                           (at - offset) / sizeof(WCHAR));
        }
        return text;
    }

private:
    const BYTE* m_base;
    BlockHeader m_header{};
};

BOOL Query(LPCVOID block, std::u16string_view path, bool wide, LPVOID* result, UINT* length)
{
    if (!result || !length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *result = nullptr;
    *length = 0;
    BlockReader reader(block);
    if (!reader.Valid()) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    const BlockHeader& header = reader.Header();
    std::vector<std::u16string_view> parts = SplitPath(path);

    if (parts.empty()) {
        *result = const_cast<BYTE*>(reader.At(offsetof(BlockHeader, fixed)));
        *length = sizeof(VS_FIXEDFILEINFO);
        return TRUE;
    }
    if (parts.size() == 2 && EqualNoCase(parts[0], u"VarFileInfo") && EqualNoCase(parts[1], u"Translation")) {
        size_t bytes = size_t{header.translationCount} * sizeof(DWORD);
        if (header.translationCount > 0 && reader.Contains(header.translationOffset, bytes)) {
            *result = const_cast<BYTE*>(reader.At(header.translationOffset));
            *length = static_cast<UINT>(bytes);
            return TRUE;
        }
    }
    WORD language = 0;
    WORD codePage = 0;
    if (parts.size() == 3 && EqualNoCase(parts[0], u"StringFileInfo") &&
        ParseTranslation(parts[1], language, codePage)) {
        BlockString entry{};
        for (DWORD i = 0; reader.String(i, entry); ++i) {
            if (entry.language != language || entry.codePage != codePage ||
                !EqualNoCase(reader.Wide(entry.keyOffset), parts[2]))
                continue;
            DWORD offset = wide ? entry.valueOffset : entry.narrowOffset;
            DWORD chars = wide ? entry.valueChars : entry.narrowChars;
            if (!reader.Contains(offset, size_t{chars} * (wide ? sizeof(WCHAR) : 1)))
                break;
            *result = const_cast<BYTE*>(reader.At(offset));
            *length = chars;
            return TRUE;
        }
    }
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
}

std::string NarrowPath(LPCWSTR path)
{
    return path ? Utf16ToUtf8(std::u16string_view(path, WideLength(path))) : std::string();
}

} // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle)
{
    return SizeOf(NarrowPath(lptstrFilename), lpdwHandle);
}

DWORD GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle)
{
    return SizeOf(lptstrFilename ? lptstrFilename : "", lpdwHandle);
}

BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData)
{
    return Fill(NarrowPath(lptstrFilename), dwLen, lpData);
}

BOOL GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData)
{
    return Fill(lptstrFilename ? lptstrFilename : "", dwLen, lpData);
}

BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen)
{
    if (!lpSubBlock) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return Query(pBlock, std::u16string_view(lpSubBlock, WideLength(lpSubBlock)), true, lplpBuffer, puLen);
}

BOOL VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen)
{
    if (!lpSubBlock) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return Query(pBlock, Utf8ToUtf16(lpSubBlock), false, lplpBuffer, puLen);
}
