// The service's driver item: one node of a driver's item tree, made by
// wiasCreateDrvItem. The links of every tree in the process are guarded by
// one lock; names and the device-specific context never change.
#pragma once

#include "platform/com/RefCounted.h"
#include "platform/wia/wiaminidrv.h"

#include <atomic>
#include <string>
#include <vector>

namespace plat::wia {

class DrvItem final : public RefCounted<IWiaDrvItem> {
public:
    DrvItem(LONG flags, std::u16string name, std::u16string fullName, IWiaMiniDrv* miniDriver, size_t specContextSize);
    DrvItem(const DrvItem&) = delete;
    DrvItem& operator=(const DrvItem&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppvObject) override;

    HRESULT GetItemFlags(LONG* plFlags) override;
    HRESULT GetDeviceSpecContext(BYTE** ppSpecContext) override;
    HRESULT GetFullItemName(BSTR* pbstrName) override;
    HRESULT GetItemName(BSTR* pbstrName) override;
    HRESULT AddItemToFolder(IWiaDrvItem* pIParent) override;
    HRESULT UnlinkItemTree(LONG lReason) override;
    HRESULT GetParentItem(IWiaDrvItem** ppIParentItem) override;
    HRESULT GetFirstChildItem(IWiaDrvItem** ppIChildItem) override;
    HRESULT GetNextSiblingItem(IWiaDrvItem** ppSiblingItem) override;

    IWiaMiniDrv* MiniDriver() const { return miniDriver_; }

private:
    ~DrvItem() override;
    // Both run with the tree lock held.
    void UnlinkLocked(LONG reason);
    static HRESULT HandOut(DrvItem* item, IWiaDrvItem** out);

    std::atomic<LONG> flags_;
    const std::u16string name_;
    const std::u16string fullName_;
    IWiaMiniDrv* const miniDriver_; // the driver holds its tree, not the reverse
    std::vector<BYTE> specContext_;
    DrvItem* parent_ = nullptr;      // not held
    std::vector<DrvItem*> children_; // one reference each
};

} // namespace plat::wia
