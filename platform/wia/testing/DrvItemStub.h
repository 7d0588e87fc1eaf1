// A base for the tests' driver items: it lives on the test's stack, answers
// no interface, and every operation answers E_NOTIMPL, so a test item
// overrides only what the code under test calls.
#pragma once

#include "platform/base/winerror.h"
#include "platform/wia/wiatransfer.h"

namespace plat::wia::testing {

class DrvItemStub : public IWiaDrvItem {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetItemFlags(LONG*) override { return E_NOTIMPL; }
    HRESULT GetDeviceSpecContext(BYTE**) override { return E_NOTIMPL; }
    HRESULT GetFullItemName(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetItemName(BSTR*) override { return E_NOTIMPL; }
    HRESULT AddItemToFolder(IWiaDrvItem*) override { return E_NOTIMPL; }
    HRESULT UnlinkItemTree(LONG) override { return E_NOTIMPL; }
    HRESULT GetParentItem(IWiaDrvItem**) override { return E_NOTIMPL; }
    HRESULT GetFirstChildItem(IWiaDrvItem**) override { return E_NOTIMPL; }
    HRESULT GetNextSiblingItem(IWiaDrvItem**) override { return E_NOTIMPL; }
};

} // namespace plat::wia::testing
