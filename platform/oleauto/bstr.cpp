#include "platform/oleauto/bstr.h"

#include "platform/base/strings.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr size_t kPrefix = sizeof(std::uint32_t);

// The block is prefix + bytes + a null character; the prefix records the
// bytes. Lengths that do not fit the 32-bit prefix are refused.
BSTR AllocBytes(const void* source, size_t bytes)
{
    if (bytes > std::numeric_limits<std::uint32_t>::max() - kPrefix - sizeof(OLECHAR))
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    const std::uint32_t prefix = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &prefix, kPrefix);
    if (source)
        std::memcpy(block + kPrefix, source, bytes);
    else
        std::memset(block + kPrefix, 0, bytes);
    std::memset(block + kPrefix + bytes, 0, sizeof(OLECHAR));
    return reinterpret_cast<BSTR>(block + kPrefix);
}

unsigned char* BlockOf(BSTR bstr) { return reinterpret_cast<unsigned char*>(bstr) - kPrefix; }

} // namespace

BSTR SysAllocString(const OLECHAR* psz)
{
    if (!psz)
        return nullptr;
    return AllocBytes(psz, WideLength(psz) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT ui) { return AllocBytes(pch, size_t{ui} * sizeof(OLECHAR)); }

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) { return AllocBytes(psz, len); }

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz)
{
    if (!pbstr)
        return FALSE;
    if (!psz) {
        SysFreeString(*pbstr);
        *pbstr = nullptr;
        return TRUE;
    }
    return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(WideLength(psz)));
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len)
{
    if (!pbstr)
        return FALSE;
    // Copy first, free after: the source may lie inside the old string.
    BSTR fresh = SysAllocStringLen(psz, len);
    if (!fresh)
        return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

UINT SysStringByteLen(BSTR bstr)
{
    if (!bstr)
        return 0;
    std::uint32_t prefix;
    std::memcpy(&prefix, BlockOf(bstr), kPrefix);
    return prefix;
}

UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }

void SysFreeString(BSTR bstrString)
{
    if (bstrString)
        std::free(BlockOf(bstrString));
}
