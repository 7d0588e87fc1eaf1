// The minidriver operations the service calls on an item or on the device:
// item properties, transfers, commands, formats and events. Clients and the
// item tree are in CRNX_STIWIA_DriverItemTree.cpp.
#include "stillimage/CRNX_STIWIA_Driver.h"

#include "diag/FormatWide.h"
#include "diag/OperationTrace.h"
#include "stillimage/CaughtResult.h"

namespace {

// The device events the service passes on, with their trace lines.
struct PnpEventLine {
    const GUID* event;
    const WCHAR* line;
};
constexpr PnpEventLine kPnpEventLines[] = {
    {&WIA_EVENT_POWER_RESUME, u"- WIA_EVENT_POWER_RESUME on %s"},
    {&WIA_EVENT_POWER_SUSPEND, u"- WIA_EVENT_POWER_SUSPEND on %s"},
    {&WIA_EVENT_DEVICE_CONNECTED, u"- WIA_EVENT_DEVICE_CONNECTED on %s"},
    {&WIA_EVENT_DEVICE_DISCONNECTED, u"- WIA_EVENT_DEVICE_DISCONNECTED on %s"},
    {&WIA_EVENT_CANCEL_IO, u"- WIA_EVENT_CANCEL_IO on %s"},
};

} // namespace

HRESULT CRNX_STIWIA_Driver::drvAcquireItemData(BYTE* pWiasContext, LONG, PMINIDRV_TRANSFER_CONTEXT pmdtc,
                                               LONG* plDevErrVal)
{
    TraceEntered(*this, u"drvAcquireItemData");
    if (!pWiasContext || !pmdtc || !plDevErrVal)
        return E_POINTER;
    HRESULT hr = CaughtResult([&] { return AcquireItemData(pWiasContext, pmdtc); });
    if (SUCCEEDED(hr) || hr == WIA_ERROR_PAPER_EMPTY)
        *plDevErrVal = 0;
    TraceExit(*this, u"drvAcquireItemData", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::drvInitItemProperties(BYTE* pWiasContext, LONG, LONG* plDevErrVal)
{
    TraceEntered(*this, u"drvInitItemProperties");
    HRESULT hr = E_POINTER;
    if (pWiasContext && plDevErrVal) {
        // Guarded: the first client's InitializeCaps rebuilds the tables read here.
        plat::CriticalSectionGuard guard(m_csDriver);
        hr = CaughtResult([&] {
            IWiaDrvItem* item = nullptr;
            HRESULT result = wiasGetDrvItem(pWiasContext, &item);
            if (FAILED(result)) {
                if (IsLogging(LOG_ERROR))
                    LogError(u"wiasGetDrvItem FAILED Result=0x%08X, pDrvItem=0x%08X", result, Hex32(item));
                return result;
            }
            LONG flags = 0;
            result = item->GetItemFlags(&flags);
            if (FAILED(result)) {
                if (IsLogging(LOG_ERROR))
                    LogError(u"GetItemFlags FAILED 0x%08X", result);
                return result;
            }
            if (flags & WiaItemTypeRoot) {
                if (IsLogging(LOG_TRACE))
                    LogTrace(u"Requesting ROOT items");
                return SetupRootItems(pWiasContext);
            }
            if (IsLogging(LOG_TRACE))
                LogTrace(u"Requesting IMAGE items\n");
            return SetupChildItems(item, pWiasContext);
        });
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"drvInitItemProperties Exit. Result=0x%08X", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::drvValidateItemProperties(BYTE* pWiasContext, LONG, ULONG nPropSpec,
                                                      const PROPSPEC* pPropSpec, LONG* plDevErrVal)
{
    TraceEntered(*this, u"drvValidateItemProperties");
    HRESULT hr = E_POINTER;
    if (pWiasContext && pPropSpec && plDevErrVal) {
        hr = CaughtResult([&] { return ValidateItemProperties(this, pWiasContext, nPropSpec, pPropSpec); });
        if (SUCCEEDED(hr))
            *plDevErrVal = 0;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"drvValidateItemProperties Exit. Result = 0x%08X\n", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::drvWriteItemProperties(BYTE* pWiasContext, LONG, PMINIDRV_TRANSFER_CONTEXT,
                                                   LONG* plDevErrVal)
{
    TraceEntered(*this, u"drvWriteItemProperties");
    HRESULT hr = E_POINTER;
    if (pWiasContext && plDevErrVal) {
        hr = CaughtResult([&] { return ConfigureScanner(pWiasContext); });
        if (SUCCEEDED(hr))
            *plDevErrVal = 0;
    }
    TraceExit(*this, u"drvWriteItemProperties", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::drvReadItemProperties(BYTE* pWiasContext, LONG, ULONG nPropSpec, const PROPSPEC* pPropSpec,
                                                  LONG* plDevErrVal)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"drvReadItemProperties Entered,");
    if (pPropSpec && IsDataLogging(LOG_TRACE)) {
        std::u16string requested;
        for (ULONG i = 0; i < nPropSpec; ++i)
            requested += FormatWide(u"\nProperty: %i:%i", i, pPropSpec[i].propid);
        LogDataTrace(u"%s", requested.c_str());
    }
    HRESULT hr = E_INVALIDARG;
    if (pWiasContext && pPropSpec && plDevErrVal) {
        *plDevErrVal = 0;
        hr = S_OK;
        if (IsLogging(LOG_TRACE))
            LogTrace(u"Looping through properties");
        for (ULONG i = 0; i < nPropSpec && hr == S_OK; ++i) {
            if (IsLogging(LOG_TRACE))
                LogTrace(u"Index %d", i);
            // Only the id is looked at, whatever the kind of the spec.
            switch (pPropSpec[i].propid) {
            case WIA_DPA_CONNECT_STATUS:
                hr = wiasWritePropLong(pWiasContext, WIA_DPA_CONNECT_STATUS, WIA_DEVICE_CONNECTED);
                break;
            case WIA_DPS_DOCUMENT_HANDLING_STATUS:
                hr = wiasWritePropLong(pWiasContext, WIA_DPS_DOCUMENT_HANDLING_STATUS,
                                       ReadDocumentStatus() ? FEED_READY : 0);
                break;
            default:
                break;
            }
        }
        if (IsLogging(LOG_TRACE))
            LogTrace(u"Finished looping through properties 0x08X");
    }
    TraceExit(*this, u"drvReadItemProperties", hr);
    return hr;
}

// The operations with nothing to do: their trace lines and fixed answer.
HRESULT CRNX_STIWIA_Driver::NothingToDo(const WCHAR* operation, HRESULT result)
{
    TraceEntered(*this, operation);
    TraceExit(*this, operation, result);
    return result;
}

HRESULT CRNX_STIWIA_Driver::drvLockWiaDevice(BYTE*, LONG, LONG*)
{
    // The scanner's lock is taken through IStiUSD::LockDevice.
    return NothingToDo(u"drvLockWiaDevice", S_OK);
}

HRESULT CRNX_STIWIA_Driver::drvUnLockWiaDevice(BYTE*, LONG, LONG*) { return NothingToDo(u"drvUnLockWiaDevice", S_OK); }

HRESULT CRNX_STIWIA_Driver::drvAnalyzeItem(BYTE*, LONG, LONG*) { return NothingToDo(u"drvAnalyzeItem", E_NOTIMPL); }

HRESULT CRNX_STIWIA_Driver::drvGetDeviceErrorStr(LONG, LONG, LPOLESTR*, LONG*)
{
    return NothingToDo(u"drvGetDeviceErrorStr", E_NOTIMPL);
}

HRESULT CRNX_STIWIA_Driver::drvDeleteItem(BYTE*, LONG, LONG*) { return NothingToDo(u"drvDeleteItem", E_NOTIMPL); }

HRESULT CRNX_STIWIA_Driver::drvFreeDrvItemContext(LONG, BYTE*, LONG*)
{
    return NothingToDo(u"drvFreeDrvItemContext", E_NOTIMPL);
}

HRESULT CRNX_STIWIA_Driver::drvDeviceCommand(BYTE*, LONG, const GUID* plCommand, IWiaDrvItem** ppWiaDrvItem,
                                             LONG* plDevErrVal)
{
    TraceEntered(*this, u"drvDeviceCommand");
    HRESULT hr = E_INVALIDARG;
    if (plCommand && ppWiaDrvItem && plDevErrVal) {
        // No command here makes a new item.
        *ppWiaDrvItem = nullptr;
        if (*plCommand != WIA_CMD_SYNCHRONIZE) {
            hr = E_NOTIMPL;
        } else {
            plat::CriticalSectionGuard guard(m_csDriver);
            hr = DestroyDeviceTree();
            if (SUCCEEDED(hr))
                hr = BuildDeviceTree();
            if (SUCCEEDED(hr))
                *plDevErrVal = 0;
        }
    }
    TraceExit(*this, u"drvDeviceCommand", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::drvGetCapabilities(BYTE*, LONG lFlags, LONG* pcelt, WIA_DEV_CAP_DRV** ppCapabilities,
                                               LONG* plDevErrVal)
{
    TraceEntered(*this, u"drvGetCapabilities");
    HRESULT hr = E_POINTER;
    if (pcelt && ppCapabilities && plDevErrVal) {
        hr = GetWIACapabilities(lFlags, pcelt, ppCapabilities);
        if (SUCCEEDED(hr))
            *plDevErrVal = 0;
    }
    TraceExit(*this, u"drvGetCapabilities", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::drvGetWiaFormatInfo(BYTE*, LONG, LONG* pcelt, WIA_FORMAT_INFO** ppwfi, LONG* plDevErrVal)
{
    TraceEntered(*this, u"drvGetWiaFormatInfo");
    HRESULT hr = E_POINTER;
    if (pcelt && ppwfi && plDevErrVal) {
        hr = GetSupportedFormats(pcelt, ppwfi);
        if (SUCCEEDED(hr))
            *plDevErrVal = 0;
    }
    TraceExit(*this, u"drvGetWiaFormatInfo", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::drvNotifyPnpEvent(const GUID* pEventGUID, BSTR bstrDeviceID, ULONG)
{
    TraceEntered(*this, u"drvNotifyPnpEvent");
    HRESULT hr = E_POINTER;
    if (pEventGUID) {
        hr = E_NOTIMPL;
        for (const PnpEventLine& known : kPnpEventLines) {
            if (*pEventGUID == *known.event) {
                if (IsLogging(LOG_TRACE))
                    LogTrace(known.line, bstrDeviceID ? bstrDeviceID : u"");
                hr = S_OK;
            }
        }
    }
    TraceExit(*this, u"drvNotifyPnpEvent", hr);
    return hr;
}
