#include "tools/wiascan/PropertyText.h"

#include "platform/base/strings.h"

#include <cctype>
#include <cstdlib>

namespace wiascan {

namespace {

std::string ValueText(const PROPVARIANT& value)
{
    switch (value.vt) {
    case VT_I4:
        return std::to_string(value.lVal);
    case VT_UI4:
        return std::to_string(value.ulVal);
    case VT_BSTR:
        return "\"" + Utf16ToUtf8(value.bstrVal ? value.bstrVal : u"") + "\"";
    case VT_CLSID:
        return value.puuid ? plat::GuidToString(*value.puuid) : "(none)";
    case VT_EMPTY:
        return "(empty)";
    default:
        return "(type " + std::to_string(value.vt) + ")";
    }
}

std::string ValidValuesText(const plat::wia::ItemProperty& property)
{
    char text[64];
    std::string list;
    if (property.accessFlags & WIA_PROP_RANGE) {
        std::snprintf(text, sizeof text, ", range %ld..%ld step %ld", static_cast<long>(property.rangeMin),
                      static_cast<long>(property.rangeMax), static_cast<long>(property.rangeInc));
        return text;
    }
    if (property.accessFlags & WIA_PROP_LIST) {
        for (LONG value : property.listLong)
            list += " " + std::to_string(value);
        for (const GUID& value : property.listGuid)
            list += " " + plat::GuidToString(value);
        return ", list" + list;
    }
    if (property.accessFlags & WIA_PROP_FLAG) {
        std::snprintf(text, sizeof text, ", flags 0x%lX", static_cast<unsigned long>(property.flagValidBits));
        return text;
    }
    return {};
}

bool SameNameNoCase(const std::u16string& name, const std::string& text)
{
    const std::string utf8 = Utf16ToUtf8(name);
    if (utf8.size() != text.size())
        return false;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(utf8[i])) != std::tolower(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

std::optional<LONG> ParseLong(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (*end != '\0' || value < INT32_MIN || value > UINT32_MAX)
        return std::nullopt;
    return static_cast<LONG>(value);
}

} // namespace

std::string DescribeProperty(const plat::wia::ItemProperty& property)
{
    const bool writable = (property.accessFlags & WIA_PROP_WRITE) != 0;
    return std::to_string(property.id) + " " + Utf16ToUtf8(property.name) + " = " + ValueText(property.value.Get()) +
           "  (" + (writable ? "read-write" : "read-only") + ValidValuesText(property) + ")";
}

plat::wia::ItemProperty* FindProperty(plat::wia::WiaItem& item, const std::string& idOrName)
{
    if (const std::optional<LONG> id = ParseLong(idOrName))
        return item.Find(static_cast<PROPID>(*id));
    for (PROPID id : item.Ids()) {
        plat::wia::ItemProperty* property = item.Find(id);
        if (SameNameNoCase(property->name, idOrName))
            return property;
    }
    return nullptr;
}

std::optional<PROPVARIANT> ParseValue(const plat::wia::ItemProperty& property, const std::string& text, GUID* guid)
{
    PROPVARIANT value;
    PropVariantInit(&value);
    switch (property.value.Type()) {
    case VT_I4:
    case VT_UI4: {
        const std::optional<LONG> number = ParseLong(text);
        if (!number)
            return std::nullopt;
        value.vt = property.value.Type();
        value.lVal = *number;
        return value;
    }
    case VT_CLSID:
        if (!plat::GuidFromString(text, *guid))
            return std::nullopt;
        value.vt = VT_CLSID;
        value.puuid = guid;
        return value;
    default:
        return std::nullopt;
    }
}

} // namespace wiascan
