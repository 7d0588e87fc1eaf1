// The service's items for a driver's item tree: one WiaItem for each driver
// item, a folder before its children, each holding its driver item. The
// service builds them when the driver hands over its tree and again when
// the driver rebuilds it.
#pragma once

#include "platform/wia/WiaItem.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat::wia {

class ItemTree {
public:
    struct Entry {
        std::unique_ptr<WiaItem> item;
        std::u16string name;
        std::u16string fullName;
        int depth = 0; // 0 for the root
    };

    // Replaces the items with those of the tree under `root`. E_INVALIDARG
    // without a root; a driver item that cannot tell its flags or names
    // fails the whole build, leaving no items.
    HRESULT Build(IWiaDrvItem* root);
    void Clear() { entries_.clear(); }

    const std::vector<Entry>& Entries() const { return entries_; }
    bool Empty() const { return entries_.empty(); }
    WiaItem* Root() const { return entries_.empty() ? nullptr : entries_.front().item.get(); }
    // The item with this name or full item name; null when there is none.
    WiaItem* Find(std::u16string_view name) const;

private:
    HRESULT Add(IWiaDrvItem* drvItem, int depth);

    std::vector<Entry> entries_;
};

} // namespace plat::wia
