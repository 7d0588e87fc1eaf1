// Item properties as text: how wiascan shows a property, and how it reads a
// value given for one.
#pragma once

#include "platform/windows.h"
#include "platform/wia/WiaItem.h"

#include <optional>
#include <string>

namespace wiascan {

// "6147 Horizontal Resolution = 200  (read-write, list 100 200 300)"
std::string DescribeProperty(const plat::wia::ItemProperty& property);

// The property a request names: its id, or its name (any case).
plat::wia::ItemProperty* FindProperty(plat::wia::WiaItem& item, const std::string& idOrName);

// A value for the property from text: a number (decimal, or hexadecimal
// with 0x) for a long, a GUID in braces for a GUID. Empty when the text does
// not fit the property's type (text properties are not written). The GUID
// of a VT_CLSID value is kept in *guid, which must outlive the value.
std::optional<PROPVARIANT> ParseValue(const plat::wia::ItemProperty& property, const std::string& text, GUID* guid);

} // namespace wiascan
