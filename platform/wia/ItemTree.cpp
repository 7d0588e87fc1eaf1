#include "platform/wia/ItemTree.h"

#include "platform/base/winerror.h"
#include "platform/com/ComPtr.h"
#include "platform/oleauto/ScopedBstr.h"

namespace plat::wia {

HRESULT ItemTree::Build(IWiaDrvItem* root)
{
    entries_.clear();
    if (!root)
        return E_INVALIDARG;
    HRESULT hr = Add(root, 0);
    if (FAILED(hr))
        entries_.clear();
    return hr;
}

HRESULT ItemTree::Add(IWiaDrvItem* drvItem, int depth)
{
    LONG flags = 0;
    ScopedBstr name;
    ScopedBstr fullName;
    HRESULT hr = drvItem->GetItemFlags(&flags);
    if (SUCCEEDED(hr))
        hr = drvItem->GetItemName(name.Out());
    if (SUCCEEDED(hr))
        hr = drvItem->GetFullItemName(fullName.Out());
    if (FAILED(hr))
        return hr;

    Entry entry;
    entry.item = std::make_unique<WiaItem>(flags, depth == 0 ? nullptr : Root(), drvItem);
    entry.name = name.View();
    entry.fullName = fullName.View();
    entry.depth = depth;
    entries_.push_back(std::move(entry));

    ComPtr<IWiaDrvItem> child;
    hr = drvItem->GetFirstChildItem(child.ReleaseAndGetAddressOf());
    while (hr == S_OK && child) {
        hr = Add(child.Get(), depth + 1);
        if (FAILED(hr))
            return hr;
        ComPtr<IWiaDrvItem> next;
        hr = child->GetNextSiblingItem(next.ReleaseAndGetAddressOf());
        child = std::move(next);
    }
    return FAILED(hr) ? hr : S_OK;
}

WiaItem* ItemTree::Find(std::u16string_view name) const
{
    for (const Entry& entry : entries_) {
        if (entry.name == name || entry.fullName == name)
            return entry.item.get();
    }
    return nullptr;
}

} // namespace plat::wia
