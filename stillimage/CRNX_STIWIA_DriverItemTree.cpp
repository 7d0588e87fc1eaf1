// The driver's clients and its item tree: the first client hands the driver
// its device and gets a tree built ("Root" with the image item "Feeder"),
// later clients share it, and the last one to leave takes it down. The
// service calls these from several threads: one lock guards the tree, the
// device and the names.
#include "stillimage/CRNX_STIWIA_Driver.h"

#include "diag/OperationTrace.h"
#include "stillimage/CaughtResult.h"

namespace {

constexpr LONG kRootItemFlags = WiaItemTypeFolder | WiaItemTypeRoot | WiaItemTypeDevice;
constexpr LONG kFeederItemFlags = WiaItemTypeImage | WiaItemTypeFile | WiaItemTypeDevice;

const WCHAR* TextOf(BSTR text) { return text ? text : u""; }

// Replaces *target with a copy of text.
HRESULT CopyBstr(BSTR text, BSTR* target)
{
    BSTR copy = SysAllocStringLen(text, SysStringLen(text));
    if (!copy)
        return E_OUTOFMEMORY;
    SysFreeString(*target);
    *target = copy;
    return S_OK;
}

} // namespace

HRESULT CRNX_STIWIA_Driver::drvInitializeWia(BYTE* pWiasContext, LONG, BSTR bstrDeviceID, BSTR bstrRootFullItemName,
                                             IUnknown* pStiDevice, IUnknown*, IWiaDrvItem** ppIDrvItemRoot,
                                             IUnknown** ppIUnknownInner, LONG* plDevErrVal)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"drvInitializeWia Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"DeviceID:%s RootFullItemName:%s", TextOf(bstrDeviceID), TextOf(bstrRootFullItemName));
    if (!pWiasContext || !bstrDeviceID || !bstrRootFullItemName || !pStiDevice || !ppIDrvItemRoot || !plDevErrVal)
        return E_INVALIDARG;
    // Nothing of an earlier call may pass for this call's answer.
    *ppIDrvItemRoot = nullptr;
    if (ppIUnknownInner)
        *ppIUnknownInner = nullptr; // the driver hands out no inner unknown

    HRESULT hr = S_OK;
    {
        plat::CriticalSectionGuard guard(m_csDriver);
        if (m_pStiDevice) {
            // A later client shares the tree.
            *ppIDrvItemRoot = m_pRootItem;
            InterlockedIncrement(&m_lClientsConnected);
        } else {
            hr = ConnectFirstClient(pStiDevice, bstrDeviceID, bstrRootFullItemName, ppIDrvItemRoot);
        }
        // A client that left after the front of a one-sheet job leaves no
        // back behind for this one.
        m_bOneSheet = false;
        m_lSecondSidePending = 0;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"drvInitializeWia Exit. ClientsConnected = %i, Reply = 0x%08X\n", m_lClientsConnected, hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::ConnectFirstClient(IUnknown* pStiDevice, BSTR bstrDeviceID, BSTR bstrRootFullItemName,
                                               IWiaDrvItem** ppIDrvItemRoot)
{
    plat::ComPtr<IStiDevice> device;
    if (FAILED(pStiDevice->QueryInterface(IID_IStiDevice, device.ReleaseAndGetVoidAddress())) || !device) {
        // Served without a tree, as a client all the same.
        InterlockedIncrement(&m_lClientsConnected);
        return S_OK;
    }
    HRESULT hr = CopyBstr(bstrDeviceID, &m_bstrDeviceID);
    if (SUCCEEDED(hr))
        hr = CopyBstr(bstrRootFullItemName, &m_bstrRootFullItemName);
    if (SUCCEEDED(hr))
        hr = BuildDeviceTree();
    // The device is kept only with its tree: after a failed build the next
    // client starts again instead of sharing a tree that is not there.
    if (FAILED(hr))
        return hr;
    m_pStiDevice = device.Detach();
    *ppIDrvItemRoot = m_pRootItem;
    hr = CaughtResult([&] { return InitializeCaps(); });
    if (SUCCEEDED(hr))
        InterlockedIncrement(&m_lClientsConnected);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::drvUnInitializeWia(BYTE* pWiasContext)
{
    TraceEntered(*this, u"drvUnInitializeWia");
    HRESULT hr = S_OK;
    if (!pWiasContext) {
        hr = E_INVALIDARG;
        if (IsLogging(LOG_ERROR))
            LogError(u"Invalid parameters were passed, hr = %08X", hr);
    } else {
        plat::CriticalSectionGuard guard(m_csDriver);
        LONG clients = InterlockedDecrement(&m_lClientsConnected);
        if (clients < 0) {
            if (IsLogging(LOG_TRACE))
                LogTrace(u"The client connection counter decremented below zero. Assuming no clients are currently "
                         u"connected and automatically setting to 0");
            InterlockedExchange(&m_lClientsConnected, 0);
            clients = 0;
        }
        if (IsLogging(LOG_TRACE))
            LogTrace(u"%d client(s) are currently connected to this driver.", clients);
        if (clients == 0) {
            DestroyDeviceTree();
            if (m_pStiDevice) {
                m_pStiDevice->Release();
                m_pStiDevice = nullptr;
            }
        }
    }
    TraceExit(*this, u"drvUnInitializeWia", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::BuildDeviceTree()
{
    TraceEntered(*this, u"BuildDeviceTree");
    DestroyDeviceTree();
    HRESULT hr = CaughtResult([&] {
        IWiaMiniDrv* miniDriver = this;
        IWiaDrvItem* root = nullptr;
        plat::ScopedBstr rootName(u"Root");
        HRESULT result =
            wiasCreateDrvItem(kRootItemFlags, rootName.Get(), m_bstrRootFullItemName, miniDriver, 0, nullptr, &root);
        if (FAILED(result))
            return result;
        m_pRootItem = root;
        if (IsLogging(LOG_TRACE))
            LogTrace(u"- Root IWiaDrvItem created");

        std::u16string fullName(m_bstrRootFullItemName, SysStringLen(m_bstrRootFullItemName));
        fullName += u"\\Feeder";
        plat::ScopedBstr feederName(u"Feeder");
        plat::ScopedBstr feederFullName(fullName);
        plat::ComPtr<IWiaDrvItem> feeder;
        result = wiasCreateDrvItem(kFeederItemFlags, feederName.Get(), feederFullName.Get(), miniDriver, 0, nullptr,
                                   feeder.ReleaseAndGetAddressOf());
        if (FAILED(result))
            return result;
        if (IsLogging(LOG_TRACE))
            LogTrace(u"- Image IWiaDrvItem created (Feeder)");
        // The folder takes its own reference; the driver's goes either way,
        // so a child the folder refused does not linger.
        return feeder->AddItemToFolder(m_pRootItem);
    });
    TraceExit(*this, u"BuildDeviceTree", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::DestroyDeviceTree()
{
    TraceEntered(*this, u"DestroyDeviceTree");
    HRESULT hr = S_OK;
    if (m_pRootItem) {
        if (IsLogging(LOG_TRACE))
            LogTrace(u"Unlinking WIA item tree");
        hr = m_pRootItem->UnlinkItemTree(WiaItemTypeDisconnected);
        if (FAILED(hr) && IsLogging(LOG_ERROR))
            LogError(u"Failed to unlink WIA item tree before being released, hr = %08X", hr);
        // Released even when it could not be unlinked: the driver is done with it.
        if (IsLogging(LOG_TRACE))
            LogTrace(u"Releasing IDrvItemRoot interface");
        m_pRootItem->Release();
        m_pRootItem = nullptr;
    }
    TraceExit(*this, u"DestroyDeviceTree", hr);
    return hr;
}
