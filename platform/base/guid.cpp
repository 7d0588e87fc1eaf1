#include "platform/base/guid.h"

#include "platform/base/winerror.h"
#include "platform/oleauto/taskmem.h"

#include <cstring>

namespace {

// Length of a null-terminated string, looking at no more than `limit + 1`
// characters: a text longer than `limit` is reported as `limit + 1`.
size_t BoundedLength(const OLECHAR* s, size_t limit)
{
    size_t n = 0;
    while (n <= limit && s[n] != 0)
        ++n;
    return n;
}

// `refused` is what *out holds after a malformed text: the null GUID for a
// class (a creation that follows then fails for certain), or nothing at all.
HRESULT ParseWide(LPCOLESTR lpsz, GUID* out, HRESULT malformed, const GUID* refused)
{
    if (!out)
        return E_INVALIDARG;
    if (!lpsz) {
        // A null text names the null GUID, as the system call does.
        *out = GUID_NULL;
        return S_OK;
    }
    size_t length = BoundedLength(lpsz, GUID_STRING_LENGTH);
    GUID parsed{};
    if (!plat::GuidFromRegistryForm(std::u16string_view(lpsz, length), parsed)) {
        if (refused)
            *out = *refused;
        return malformed;
    }
    *out = parsed;
    return S_OK;
}

template <typename Char>
void WriteRegistryForm(REFGUID g, Char* out)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    BYTE bytes[16] = {
        static_cast<BYTE>(g.Data1 >> 24), static_cast<BYTE>(g.Data1 >> 16), static_cast<BYTE>(g.Data1 >> 8),
        static_cast<BYTE>(g.Data1),       static_cast<BYTE>(g.Data2 >> 8),  static_cast<BYTE>(g.Data2),
        static_cast<BYTE>(g.Data3 >> 8),  static_cast<BYTE>(g.Data3),
    };
    std::memcpy(bytes + 8, g.Data4, 8);
    size_t pos = 0;
    out[pos++] = '{';
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out[pos++] = '-';
        out[pos++] = static_cast<Char>(kHex[bytes[i] >> 4]);
        out[pos++] = static_cast<Char>(kHex[bytes[i] & 0xF]);
    }
    out[pos++] = '}';
    out[pos] = 0;
}

HRESULT AllocRegistryForm(REFGUID g, LPOLESTR* result)
{
    if (!result)
        return E_INVALIDARG;
    *result = static_cast<LPOLESTR>(CoTaskMemAlloc(GUID_STRING_CHARS * sizeof(OLECHAR)));
    if (!*result)
        return E_OUTOFMEMORY;
    WriteRegistryForm(g, *result);
    return S_OK;
}

} // namespace

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid)
{
    return ParseWide(lpsz, pclsid, CO_E_CLASSSTRING, &CLSID_NULL);
}

HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid) { return ParseWide(lpsz, lpiid, E_INVALIDARG, nullptr); }

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax)
{
    if (!lpsz || cchMax < GUID_STRING_CHARS)
        return 0;
    WriteRegistryForm(rguid, lpsz);
    return GUID_STRING_CHARS;
}

HRESULT StringFromIID(REFIID rclsid, LPOLESTR* lplpsz) { return AllocRegistryForm(rclsid, lplpsz); }

HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) { return AllocRegistryForm(rclsid, lplpsz); }

namespace plat {

std::string GuidToString(REFGUID guid)
{
    char buffer[GUID_STRING_CHARS];
    WriteRegistryForm(guid, buffer);
    return std::string(buffer, GUID_STRING_LENGTH);
}

std::u16string GuidToWideString(REFGUID guid)
{
    char16_t buffer[GUID_STRING_CHARS];
    WriteRegistryForm(guid, buffer);
    return std::u16string(buffer, GUID_STRING_LENGTH);
}

bool GuidFromString(std::string_view text, GUID& out) { return GuidFromRegistryForm(text, out); }

bool GuidFromString(std::u16string_view text, GUID& out) { return GuidFromRegistryForm(text, out); }

} // namespace plat
