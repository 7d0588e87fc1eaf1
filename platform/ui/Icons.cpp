#include "platform/ui/Icons.h"
#include "platform/base/lasterror.h"
#include "platform/resources/resources.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace plat::ui {

namespace {

constexpr int kDefaultIconSize = 32;

struct IconTable {
    std::mutex mutex;
    std::map<uintptr_t, IconImage> icons;
    std::map<std::tuple<HINSTANCE, uintptr_t, int, int>, HICON> shared;
    uintptr_t next = 0x20000;
};

IconTable& Icons()
{
    static IconTable* table = new IconTable;
    return *table;
}

struct GroupEntry {
    int width;
    int height;
    int bitCount;
    WORD id;
};

// The icon directory of a group resource: a 6-byte header (reserved, type
// 1, count) and 14-byte entries. Sizes are checked against the resource.
bool ParseGroup(const BYTE* data, DWORD size, std::vector<GroupEntry>* entries)
{
    const auto word = [data](size_t at) { return static_cast<WORD>(data[at] | (data[at + 1] << 8)); };
    if (!data || size < 6 || word(2) != 1)
        return false;
    const size_t count = word(4);
    if (6 + count * 14 > size)
        return false;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = 6 + i * 14;
        entries->push_back(
            GroupEntry{data[at] ? data[at] : 256, data[at + 1] ? data[at + 1] : 256, word(at + 6), word(at + 12)});
    }
    return !entries->empty();
}

// The entry the system would pick: the size nearest the one asked (a larger
// one before a smaller one at the same distance), then the most colours.
const GroupEntry& BestEntry(const std::vector<GroupEntry>& entries, int cx, int cy)
{
    const GroupEntry* best = &entries.front();
    const auto distance = [cx, cy](const GroupEntry& e) { return std::abs(e.width - cx) + std::abs(e.height - cy); };
    for (const GroupEntry& e : entries) {
        const int d = distance(e);
        const int bestD = distance(*best);
        const bool larger = e.width > best->width;
        const bool deeper = e.width == best->width && e.bitCount > best->bitCount;
        if (d < bestD || (d == bestD && (larger || deeper)))
            best = &e;
    }
    return *best;
}

const BYTE* ResourceBytes(HINSTANCE module, LPCWSTR name, LPCWSTR type, DWORD* size)
{
    HRSRC info = FindResourceW(module, name, type);
    if (!info)
        return nullptr;
    *size = SizeofResource(module, info);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, info)));
}

} // namespace

bool GetIconImage(HICON icon, IconImage* out)
{
    IconTable& table = Icons();
    std::lock_guard lock(table.mutex);
    auto it = table.icons.find(reinterpret_cast<uintptr_t>(icon));
    if (it == table.icons.end())
        return false;
    *out = it->second;
    return true;
}

size_t LiveIconCount()
{
    IconTable& table = Icons();
    std::lock_guard lock(table.mutex);
    return table.icons.size() - table.shared.size();
}

} // namespace plat::ui

HANDLE LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad)
{
    if (type != IMAGE_ICON) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (cx == 0 && cy == 0 && (fuLoad & LR_DEFAULTSIZE))
        cx = cy = plat::ui::kDefaultIconSize;
    if (cx == 0)
        cx = cy ? cy : plat::ui::kDefaultIconSize;
    if (cy == 0)
        cy = cx;
    plat::ui::IconTable& table = plat::ui::Icons();
    const auto sharedKey = std::make_tuple(hInst, reinterpret_cast<uintptr_t>(name), cx, cy);
    if (fuLoad & LR_SHARED) {
        // Only numbered names are shared: a text name's pointer says nothing.
        std::lock_guard lock(table.mutex);
        auto it = table.shared.find(sharedKey);
        if (IS_INTRESOURCE(name) && it != table.shared.end())
            return it->second;
    }
    DWORD groupSize = 0;
    const BYTE* group = plat::ui::ResourceBytes(hInst, name, RT_GROUP_ICON, &groupSize);
    std::vector<plat::ui::GroupEntry> entries;
    if (!plat::ui::ParseGroup(group, groupSize, &entries)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const plat::ui::GroupEntry& entry = plat::ui::BestEntry(entries, cx, cy);
    DWORD imageSize = 0;
    const BYTE* image = plat::ui::ResourceBytes(hInst, MAKEINTRESOURCEW(entry.id), RT_ICON, &imageSize);
    if (!image) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard lock(table.mutex);
    const auto handle = reinterpret_cast<HICON>(table.next);
    table.next += 4;
    table.icons[reinterpret_cast<uintptr_t>(handle)] =
        plat::ui::IconImage{entry.width, entry.height, entry.bitCount, entry.id, image, imageSize};
    if ((fuLoad & LR_SHARED) && IS_INTRESOURCE(name))
        table.shared[sharedKey] = handle;
    return handle;
}

HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName)
{
    return static_cast<HICON>(LoadImageW(hInstance, lpIconName, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

HICON CopyIcon(HICON hIcon)
{
    plat::ui::IconTable& table = plat::ui::Icons();
    std::lock_guard lock(table.mutex);
    auto it = table.icons.find(reinterpret_cast<uintptr_t>(hIcon));
    if (it == table.icons.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const auto copy = reinterpret_cast<HICON>(table.next);
    table.next += 4;
    table.icons[reinterpret_cast<uintptr_t>(copy)] = it->second;
    return copy;
}

BOOL DestroyIcon(HICON hIcon)
{
    plat::ui::IconTable& table = plat::ui::Icons();
    std::lock_guard lock(table.mutex);
    const auto key = reinterpret_cast<uintptr_t>(hIcon);
    for (const auto& [k, handle] : table.shared) {
        if (handle == hIcon)
            return TRUE; // shared icons live as long as the process
    }
    if (!table.icons.erase(key)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
