// The page's texts from a version block, and the module look-ups the page
// makes: its own file and the common controls' version.
#include "shellext/CRNXHWPropertyPage.h"

#include <vector>

namespace {

constexpr DWORD kModulePathLength = 1024;

struct Translation {
    WORD language;
    WORD codePage;
};

// The value under "\StringFileInfo\llllcccc\<key>" when it is there.
bool QueryString(const std::vector<BYTE>& block, const Translation& translation, const char16_t* key,
                 std::u16string* value)
{
    WCHAR path[128] = {};
    wsprintfW(path, u"\\StringFileInfo\\%04x%04x\\%s", translation.language, translation.codePage, key);
    LPVOID text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path, &text, &length) || !text)
        return false;
    *value = static_cast<const WCHAR*>(text);
    return true;
}

} // namespace

std::u16string GetModuleFileNameString()
{
    WCHAR path[kModulePathLength] = {};
    const DWORD length = GetModuleFileNameW(ShellExtInstance(), path, kModulePathLength);
    if (length == 0 || length >= kModulePathLength)
        return {};
    return std::u16string(path, length);
}

ULONGLONG GetDllVersion(LPCWSTR moduleName)
{
    HMODULE module = GetModuleHandleW(moduleName);
    auto getVersion = module ? reinterpret_cast<DLLGETVERSIONPROC>(GetProcAddress(module, "DllGetVersion")) : nullptr;
    if (!getVersion) {
        SetLastError(ERROR_OLD_WIN_VERSION);
        return 0;
    }
    DLLVERSIONINFO2 info{};
    info.info1.cbSize = sizeof(DLLVERSIONINFO2);
    const HRESULT hr = getVersion(&info.info1);
    if (FAILED(hr)) {
        SetLastError(static_cast<DWORD>(hr));
        return 0;
    }
    return info.ullVersion;
}

void CRNXHWPropertyPage::ReadVersionInfo() { ReadVersionInfo(GetModuleFileNameString()); }

void CRNXHWPropertyPage::ReadVersionInfo(const std::u16string& path)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
        return;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), handle, size, block.data()))
        return;
    LPVOID list = nullptr;
    UINT listBytes = 0;
    if (!VerQueryValueW(block.data(), u"\\VarFileInfo\\Translation", &list, &listBytes) || !list)
        return;
    const auto* translations = static_cast<const Translation*>(list);
    for (UINT i = 0; i < listBytes / sizeof(Translation); ++i) {
        QueryString(block, translations[i], u"ProductName", &m_strProductName);
        QueryString(block, translations[i], u"LegalCopyright", &m_strLegalCopyright);
        QueryString(block, translations[i], u"FileVersion", &m_strFileVersion);
    }
}
