#include "platform/wia/DrvItem.h"

#include "platform/base/winerror.h"
#include "platform/oleauto/bstr.h"

#include <algorithm>
#include <mutex>
#include <new>

namespace plat::wia {

namespace {

// The links of every driver-item tree of the process. Recursive: an item
// that goes while the lock is held lets go of its own children under it.
std::recursive_mutex& TreeLock()
{
    static std::recursive_mutex lock;
    return lock;
}

constexpr LONG kRemoved = WiaItemTypeDisconnected | WiaItemTypeDeleted;

HRESULT CopyText(const std::u16string& text, BSTR* out)
{
    if (!out)
        return E_INVALIDARG;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace

DrvItem::DrvItem(LONG flags, std::u16string name, std::u16string fullName, IWiaMiniDrv* miniDriver,
                 size_t specContextSize)
    : flags_(flags), name_(std::move(name)), fullName_(std::move(fullName)), miniDriver_(miniDriver),
      specContext_(specContextSize, 0)
{
}

DrvItem::~DrvItem()
{
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    for (DrvItem* child : children_) {
        child->parent_ = nullptr;
        child->Release();
    }
}

HRESULT DrvItem::QueryInterface(REFIID riid, void** ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IWiaDrvItem) {
        *ppvObject = static_cast<IWiaDrvItem*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

HRESULT DrvItem::GetItemFlags(LONG* plFlags)
{
    if (!plFlags)
        return E_INVALIDARG;
    *plFlags = flags_;
    return S_OK;
}

HRESULT DrvItem::GetDeviceSpecContext(BYTE** ppSpecContext)
{
    if (!ppSpecContext)
        return E_INVALIDARG;
    *ppSpecContext = specContext_.empty() ? nullptr : specContext_.data();
    return *ppSpecContext ? S_OK : E_INVALIDARG;
}

HRESULT DrvItem::GetFullItemName(BSTR* pbstrName) { return CopyText(fullName_, pbstrName); }

HRESULT DrvItem::GetItemName(BSTR* pbstrName) { return CopyText(name_, pbstrName); }

HRESULT DrvItem::AddItemToFolder(IWiaDrvItem* pIParent)
{
    auto* parent = dynamic_cast<DrvItem*>(pIParent);
    if (!parent)
        return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    if (!(parent->flags_ & WiaItemTypeFolder) || (parent->flags_ & kRemoved) || (flags_ & kRemoved) || parent_)
        return E_INVALIDARG;
    // An item cannot hold one of its own ancestors.
    for (const DrvItem* above = parent; above; above = above->parent_) {
        if (above == this)
            return E_INVALIDARG;
    }
    try {
        parent->children_.push_back(this);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    AddRef();
    parent_ = parent;
    return S_OK;
}

HRESULT DrvItem::UnlinkItemTree(LONG lReason)
{
    // The folder's reference may be the last one: this item stays alive
    // until the call is over.
    AddRef();
    {
        std::lock_guard<std::recursive_mutex> guard(TreeLock());
        if (parent_) {
            auto& siblings = parent_->children_;
            siblings.erase(std::find(siblings.begin(), siblings.end(), this));
            parent_ = nullptr;
            Release(); // the folder's reference; ours keeps the item
        }
        UnlinkLocked(lReason);
    }
    Release();
    return S_OK;
}

void DrvItem::UnlinkLocked(LONG reason)
{
    flags_ |= reason;
    std::vector<DrvItem*> children;
    children.swap(children_);
    for (DrvItem* child : children) {
        child->parent_ = nullptr;
        child->UnlinkLocked(reason);
        child->Release();
    }
}

HRESULT DrvItem::HandOut(DrvItem* item, IWiaDrvItem** out)
{
    // A folder whose last reference just went is still linked until its
    // destructor takes the lock: it is no longer handed out.
    *out = item && item->TryAddRef() ? item : nullptr;
    return *out ? S_OK : S_FALSE;
}

HRESULT DrvItem::GetParentItem(IWiaDrvItem** ppIParentItem)
{
    if (!ppIParentItem)
        return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    return HandOut(parent_, ppIParentItem);
}

HRESULT DrvItem::GetFirstChildItem(IWiaDrvItem** ppIChildItem)
{
    if (!ppIChildItem)
        return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    return HandOut(children_.empty() ? nullptr : children_.front(), ppIChildItem);
}

HRESULT DrvItem::GetNextSiblingItem(IWiaDrvItem** ppSiblingItem)
{
    if (!ppSiblingItem)
        return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> guard(TreeLock());
    DrvItem* next = nullptr;
    if (parent_) {
        const auto& siblings = parent_->children_;
        auto at = std::find(siblings.begin(), siblings.end(), this);
        if (at != siblings.end() && ++at != siblings.end())
            next = *at;
    }
    return HandOut(next, ppSiblingItem);
}

} // namespace plat::wia

HRESULT wiasCreateDrvItem(LONG lObjectFlags, BSTR bstrItemName, BSTR bstrFullItemName, IWiaMiniDrv* pIMiniDrv,
                          LONG cbDevSpecContext, BYTE** ppDevSpecContext, IWiaDrvItem** ppIWiaDrvItem)
{
    if (!ppIWiaDrvItem)
        return E_INVALIDARG;
    *ppIWiaDrvItem = nullptr;
    if (ppDevSpecContext)
        *ppDevSpecContext = nullptr;
    if (SysStringLen(bstrItemName) == 0 || SysStringLen(bstrFullItemName) == 0 || !pIMiniDrv || cbDevSpecContext < 0)
        return E_INVALIDARG;
    plat::wia::DrvItem* item = nullptr;
    try {
        item = new plat::wia::DrvItem(lObjectFlags, std::u16string(bstrItemName, SysStringLen(bstrItemName)),
                                      std::u16string(bstrFullItemName, SysStringLen(bstrFullItemName)), pIMiniDrv,
                                      static_cast<size_t>(cbDevSpecContext));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (ppDevSpecContext && cbDevSpecContext > 0)
        item->GetDeviceSpecContext(ppDevSpecContext);
    *ppIWiaDrvItem = item;
    return S_OK;
}
