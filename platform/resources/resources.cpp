#include "platform/resources/resources.h"

#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/resources/ResourceDirectory.h"

#include <algorithm>
#include <string>

namespace {

// The string, or null when the module has none with that id.
const WCHAR* FindString(HINSTANCE module, UINT id)
{
    for (const plat::ModuleResources* table : plat::resources::TablesOf(module))
        for (const plat::StringResource& entry : table->strings)
            if (entry.id == id && entry.text && entry.text[0])
                return entry.text;
    return nullptr;
}

// Bytes of a UTF-8 text that fit in `room` bytes without cutting a character.
size_t FittingBytes(const std::string& text, size_t room)
{
    if (text.size() <= room)
        return text.size();
    size_t n = room;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

std::u16string WideName(LPCSTR name) { return IS_INTRESOURCE(name) ? std::u16string() : Utf8ToUtf16(name); }

} // namespace

int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax)
{
    if (!lpBuffer || cchBufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const WCHAR* text = FindString(hInstance, uID);
    if (cchBufferMax == 0) {
        *reinterpret_cast<const WCHAR**>(lpBuffer) = text;
        if (!text) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return 0;
        }
        return static_cast<int>(WideLength(text));
    }
    lpBuffer[0] = 0;
    if (!text) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    size_t n = std::min(WideLength(text), static_cast<size_t>(cchBufferMax - 1));
    std::copy_n(text, n, lpBuffer);
    lpBuffer[n] = 0;
    return static_cast<int>(n);
}

int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
    if (!lpBuffer || cchBufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lpBuffer[0] = 0;
    const WCHAR* text = FindString(hInstance, uID);
    if (!text) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    std::string narrow = Utf16ToUtf8(text);
    size_t n = FittingBytes(narrow, static_cast<size_t>(cchBufferMax - 1));
    std::copy_n(narrow.begin(), n, lpBuffer);
    lpBuffer[n] = 0;
    return static_cast<int>(n);
}

HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType)
{
    bool typeSeen = false;
    for (const plat::ModuleResources* table : plat::resources::TablesOf(hModule)) {
        for (const plat::BinaryResource& entry : table->binaries) {
            if (!plat::resources::Matches(entry.type, lpType))
                continue;
            typeSeen = true;
            if (plat::resources::Matches(entry.name, lpName))
                return reinterpret_cast<HRSRC>(const_cast<plat::BinaryResource*>(&entry));
        }
    }
    SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType)
{
    std::u16string name = WideName(lpName);
    std::u16string type = WideName(lpType);
    return FindResourceW(hModule, IS_INTRESOURCE(lpName) ? reinterpret_cast<LPCWSTR>(lpName) : name.c_str(),
                         IS_INTRESOURCE(lpType) ? reinterpret_cast<LPCWSTR>(lpType) : type.c_str());
}

HGLOBAL LoadResource(HMODULE, HRSRC hResInfo)
{
    if (!hResInfo) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto* entry = reinterpret_cast<const plat::BinaryResource*>(hResInfo);
    return const_cast<BYTE*>(entry->data);
}

LPVOID LockResource(HGLOBAL hResData) { return hResData; }

DWORD SizeofResource(HMODULE, HRSRC hResInfo)
{
    if (!hResInfo) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return reinterpret_cast<const plat::BinaryResource*>(hResInfo)->size;
}

BOOL FreeResource(HGLOBAL) { return FALSE; }
