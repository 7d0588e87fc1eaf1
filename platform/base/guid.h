// GUIDs: the 16-byte identifiers of COM classes and interfaces, and their
// registry text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include "platform/base/wintypes.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];

    friend constexpr bool operator==(const GUID&, const GUID&) = default;
    friend constexpr auto operator<=>(const GUID&, const GUID&) = default;
};
static_assert(sizeof(GUID) == 16, "GUID must keep its 16-byte layout");

using IID = GUID;
using CLSID = GUID;
using LPGUID = GUID*;
using LPIID = IID*;
using LPCLSID = CLSID*;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL{};
inline constexpr IID IID_NULL{};
inline constexpr CLSID CLSID_NULL{};

constexpr bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
constexpr bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

// Characters of the registry form, without and with the terminator.
constexpr int GUID_STRING_LENGTH = 38;
constexpr int GUID_STRING_CHARS = 39;

// A malformed text gives CO_E_CLASSSTRING and CLSID_NULL.
HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid);
// Writes the registry form; returns the characters written including the
// terminator, or 0 when cchMax is too small.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
// The result is allocated with CoTaskMemAlloc; the caller frees it with CoTaskMemFree.
HRESULT StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);

namespace plat {

namespace detail {
template <typename Char>
constexpr int HexValue(Char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Parses the 36 characters "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" of `text`
// (exactly, no more and no less). Stops at the first character that does not
// fit, so it never reads beyond a shorter string.
template <typename Char>
constexpr bool ParseGuidBody(std::basic_string_view<Char> text, GUID& out)
{
    if (text.size() != 36)
        return false;
    BYTE bytes[16] = {};
    size_t pos = 0;
    for (int i = 0; i < 16; ++i) {
        if (pos == 8 || pos == 13 || pos == 18 || pos == 23) {
            if (text[pos] != '-')
                return false;
            ++pos;
        }
        int hi = HexValue(text[pos]);
        int lo = HexValue(text[pos + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes[i] = static_cast<BYTE>(hi * 16 + lo);
        pos += 2;
    }
    out.Data1 = (DWORD{bytes[0]} << 24) | (DWORD{bytes[1]} << 16) | (DWORD{bytes[2]} << 8) | DWORD{bytes[3]};
    out.Data2 = static_cast<WORD>((bytes[4] << 8) | bytes[5]);
    out.Data3 = static_cast<WORD>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        out.Data4[i] = bytes[8 + i];
    return true;
}
} // namespace detail

// Parses the registry form, braces required.
template <typename Char>
constexpr bool GuidFromRegistryForm(std::basic_string_view<Char> text, GUID& out)
{
    if (text.size() != 38 || text.front() != '{' || text.back() != '}')
        return false;
    return detail::ParseGuidBody(text.substr(1, 36), out);
}

// A GUID written in code: MakeGuid("6B29FC40-CA47-1067-B31D-00DD010662DA"),
// braces optional. Evaluated at compile time, where a malformed text is a
// compile error.
consteval GUID MakeGuid(std::string_view text)
{
    GUID g{};
    bool ok = text.size() == 38 ? GuidFromRegistryForm(text, g) : detail::ParseGuidBody(text, g);
    if (!ok)
        throw "malformed GUID text";
    return g;
}

// The registry form for the platform's own use (logs, socket and registry names).
std::string GuidToString(REFGUID guid);
std::u16string GuidToWideString(REFGUID guid);
// Parses the registry form (braces required); false on anything else.
bool GuidFromString(std::string_view text, GUID& out);
bool GuidFromString(std::u16string_view text, GUID& out);

} // namespace plat

template <>
struct std::hash<GUID> {
    size_t operator()(const GUID& g) const noexcept
    {
        // FNV-1a over the 16 bytes in field order.
        std::uint64_t h = 14695981039346656037ull;
        auto mix = [&h](std::uint64_t v, int bytes) {
            for (int i = 0; i < bytes; ++i) {
                h ^= (v >> (8 * i)) & 0xFF;
                h *= 1099511628211ull;
            }
        };
        mix(g.Data1, 4);
        mix(g.Data2, 2);
        mix(g.Data3, 2);
        for (BYTE b : g.Data4)
            mix(b, 1);
        return static_cast<size_t>(h);
    }
};
