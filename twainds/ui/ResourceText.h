// A string of the library's string table as UTF-16, for the dialogs'
// window texts; empty when the id is missing.
#pragma once

#include "platform/windows.h"

#include <string>

namespace qbk24 {

inline std::u16string ResourceText(HMODULE module, UINT id)
{
    const WCHAR* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text ? std::u16string(text, static_cast<size_t>(length)) : std::u16string();
}

} // namespace qbk24
