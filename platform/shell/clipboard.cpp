#include "platform/shell/objidl.h"

#include <map>
#include <mutex>
#include <string>

namespace {

constexpr UINT kFirstRegisteredFormat = 0xC000;

struct FormatTable {
    std::mutex mutex;
    std::map<std::u16string, UINT> byName; // keyed by the upper-cased name
};

FormatTable& Formats()
{
    static FormatTable* table = new FormatTable;
    return *table;
}

std::u16string Folded(LPCWSTR name)
{
    std::u16string folded;
    for (; *name; ++name)
        folded.push_back(*name >= u'a' && *name <= u'z' ? static_cast<char16_t>(*name - u'a' + u'A') : *name);
    return folded;
}

} // namespace

UINT RegisterClipboardFormatW(LPCWSTR lpszFormat)
{
    if (!lpszFormat || !*lpszFormat)
        return 0;
    FormatTable& table = Formats();
    std::lock_guard lock(table.mutex);
    auto [it, added] = table.byName.emplace(Folded(lpszFormat), 0);
    if (added)
        it->second = kFirstRegisteredFormat + static_cast<UINT>(table.byName.size() - 1);
    return it->second;
}

void ReleaseStgMedium(STGMEDIUM* pmedium)
{
    if (!pmedium)
        return;
    if (pmedium->pUnkForRelease)
        pmedium->pUnkForRelease->Release();
    else if (pmedium->tymed == TYMED_HGLOBAL && pmedium->hGlobal)
        GlobalFree(pmedium->hGlobal);
    pmedium->tymed = TYMED_NULL;
    pmedium->hGlobal = nullptr;
    pmedium->pUnkForRelease = nullptr;
}
