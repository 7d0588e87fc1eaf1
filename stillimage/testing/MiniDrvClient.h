// The driver as the service's threads use it in the tests: the service's
// device object, a context for the calls, the service's items for the tree
// the driver hands over, and the driver's trace lines on demand.
#pragma once

#include "stillimage/CRNX_STIWIA_Driver.h"

#include "diag/RecordingLogSink.h"
#include "platform/wia/ItemTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

namespace stillimage::testing {

using plat::ComPtr;
using plat::ScopedBstr;
using plat::wia::ItemTree;
using plat::wia::WiaItem;

// The service's device object; `answers` false makes it an object that is
// no still-image device.
class StiDevice final : public IStiDevice {
public:
    explicit StiDevice(bool answers = true) : answers_(answers) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (riid == IID_IUnknown || (answers_ && riid == IID_IStiDevice)) {
            *ppv = static_cast<IStiDevice*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    std::atomic<ULONG> refs{1};

private:
    bool answers_;
};

// A driver whose property model cannot be built.
class DriverWithoutCaps : public CRNX_STIWIA_Driver {
public:
    DriverWithoutCaps() : CRNX_STIWIA_Driver(nullptr) {}
    HRESULT InitializeCaps() override { return E_OUTOFMEMORY; }
};

inline LONG FlagsOf(IWiaDrvItem* item)
{
    LONG flags = 0;
    EXPECT_EQ(S_OK, item->GetItemFlags(&flags));
    return flags;
}

class MiniDrvClient : public ::testing::Test {
protected:
    void TearDown() override
    {
        items.Clear();
        if (driver)
            driver->NonDelegatingRelease();
        if (!sink.registered.empty())
            sink.RegisterLogName(u"WIA Driver")->store(0); // the cell outlives the test
    }

    // One client of the service connecting, as the service names the device.
    HRESULT Connect(IUnknown* device, IWiaDrvItem** root, const char16_t* rootName = u"0000\\Root")
    {
        ScopedBstr deviceId(u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000");
        ScopedBstr rootFullName(rootName);
        LONG error = -1;
        return miniDrv()->drvInitializeWia(context.Context(), 0, deviceId.Get(), rootFullName.Get(), device, nullptr,
                                           root, nullptr, &error);
    }
    HRESULT Connect(IWiaDrvItem** root = nullptr)
    {
        IWiaDrvItem* ignored = nullptr;
        return Connect(&stiDevice, root ? root : &ignored);
    }
    HRESULT Disconnect() { return miniDrv()->drvUnInitializeWia(context.Context()); }

    IWiaMiniDrv* miniDrv() { return driver; }

    // The trace lines of the driver from now on.
    RecordingLogSink& Trace()
    {
        driver->SetLogInterface(&sink);
        sink.RegisterLogName(u"WIA Driver")->store(LOG_ERROR | LOG_TRACE);
        return sink;
    }
    bool Traced(const std::u16string& text) const
    {
        return std::any_of(sink.records.begin(), sink.records.end(),
                           [&](const LogRecord& record) { return record.text == text; });
    }

    CRNX_STIWIA_Driver* driver = new CRNX_STIWIA_Driver(nullptr);
    StiDevice stiDevice;
    WiaItem context{WiaItemTypeRoot | WiaItemTypeFolder | WiaItemTypeDevice};
    ItemTree items;
    RecordingLogSink sink;
};

} // namespace stillimage::testing
