#include "platform/wia/WiaItem.h"

#include "platform/base/winerror.h"
#include "platform/oleauto/bstr.h"

#include <algorithm>
#include <cstdint>

namespace plat::wia {

PropValue::PropValue(const PropValue& other)
{
    PropVariantInit(&value_);
    Assign(other.value_);
}

PropValue& PropValue::operator=(const PropValue& other)
{
    if (this != &other)
        Assign(other.value_);
    return *this;
}

HRESULT PropValue::Assign(const PROPVARIANT& value)
{
    PROPVARIANT copy;
    HRESULT hr = PropVariantCopy(&copy, &value);
    if (FAILED(hr))
        return hr;
    PropVariantClear(&value_);
    value_ = copy;
    return S_OK;
}

bool ItemProperty::AcceptsType(VARTYPE type) const
{
    if (hasAttributes && vt != VT_EMPTY)
        return type == vt;
    if (value.Type() != VT_EMPTY)
        return type == value.Type();
    return true;
}

bool ItemProperty::CurrentValueIsValid() const
{
    if (!hasAttributes)
        return true;
    const PROPVARIANT& current = value.Get();
    if (accessFlags & WIA_PROP_RANGE) {
        if (current.vt != VT_I4 && current.vt != VT_UI4)
            return false;
        std::int64_t v = current.vt == VT_I4 ? current.lVal : current.ulVal;
        if (v < rangeMin || v > rangeMax)
            return false;
        return rangeInc <= 0 || (v - rangeMin) % rangeInc == 0;
    }
    if (accessFlags & WIA_PROP_LIST) {
        if (current.vt == VT_CLSID)
            return current.puuid && std::find(listGuid.begin(), listGuid.end(), *current.puuid) != listGuid.end();
        if (current.vt != VT_I4 && current.vt != VT_UI4)
            return false;
        return std::find(listLong.begin(), listLong.end(), current.lVal) != listLong.end();
    }
    if (accessFlags & WIA_PROP_FLAG) {
        if (current.vt != VT_I4 && current.vt != VT_UI4)
            return false;
        return (current.lVal & ~flagValidBits) == 0;
    }
    return true;
}

WiaItem::WiaItem(LONG itemType, WiaItem* root, IWiaDrvItem* drvItem)
    : itemType_(itemType), root_(root), drvItem_(drvItem)
{
    if (drvItem_)
        drvItem_->AddRef();
}

WiaItem::~WiaItem()
{
    if (drvItem_)
        drvItem_->Release();
}

WiaItem* WiaItem::FromContext(BYTE* pWiasContext) { return reinterpret_cast<WiaItem*>(pWiasContext); }

ItemProperty* WiaItem::Find(PROPID id)
{
    auto found = properties_.find(id);
    return found == properties_.end() ? nullptr : &found->second;
}

ItemProperty* WiaItem::FindByName(const WCHAR* name)
{
    if (!name)
        return nullptr;
    for (auto& [id, property] : properties_) {
        if (property.name == name)
            return &property;
    }
    return nullptr;
}

ItemProperty* WiaItem::Find(const PROPSPEC& spec)
{
    if (spec.ulKind == PRSPEC_PROPID)
        return Find(spec.propid);
    if (spec.ulKind == PRSPEC_LPWSTR)
        return FindByName(spec.lpwstr);
    return nullptr;
}

void WiaItem::SetName(PROPID id, std::u16string name)
{
    ItemProperty& property = properties_[id];
    property.id = id;
    property.name = std::move(name);
}

std::vector<PROPID> WiaItem::Ids() const
{
    std::vector<PROPID> ids;
    for (const auto& entry : properties_)
        ids.push_back(entry.first);
    return ids;
}

HRESULT WiaItem::WriteFromClient(ULONG count, const PROPSPEC* specs, const PROPVARIANT* values)
{
    if (count != 0 && (!specs || !values))
        return E_INVALIDARG;
    for (ULONG i = 0; i < count; ++i) {
        ItemProperty* property = Find(specs[i]);
        if (!property || !property->AcceptsType(values[i].vt))
            return E_INVALIDARG;
    }
    for (auto& entry : properties_) {
        HRESULT hr = entry.second.oldValue.Assign(entry.second.value.Get());
        if (FAILED(hr))
            return hr;
    }
    for (ULONG i = 0; i < count; ++i) {
        HRESULT hr = Find(specs[i])->value.Assign(values[i]);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

void WiaItem::UndoClientWrite()
{
    for (auto& entry : properties_) {
        ItemProperty& property = entry.second;
        if (property.oldValue.Type() != VT_EMPTY)
            property.value = property.oldValue;
    }
}

} // namespace plat::wia
