#include "platform/wia/wiaminidrv.h"

#include "platform/base/winerror.h"
#include "platform/wia/wiamindr.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Whether the property is in the context and marked changed; a property that
// is not in the context did not change.
bool Changed(PROPID id, WIA_PROPERTY_CONTEXT* pContext)
{
    BOOL changed = FALSE;
    return SUCCEEDED(wiasIsPropChanged(id, pContext, &changed)) && changed;
}

LONG Clamp(std::int64_t value, LONG low, LONG high)
{
    return static_cast<LONG>(std::clamp<std::int64_t>(value, low, std::max(low, high)));
}

// One direction of the scan rectangle.
HRESULT UpdateAxis(BYTE* pWiasContext, WIA_PROPERTY_CONTEXT* pContext, LONG size, PROPID resolutionId,
                   PROPID positionId, PROPID extentId)
{
    LONG resolution = 0, oldResolution = 0, position = 0, extent = 0;
    HRESULT hr = wiasReadPropLong(pWiasContext, resolutionId, &resolution, &oldResolution, TRUE);
    if (SUCCEEDED(hr))
        hr = wiasReadPropLong(pWiasContext, positionId, &position, nullptr, TRUE);
    if (SUCCEEDED(hr))
        hr = wiasReadPropLong(pWiasContext, extentId, &extent, nullptr, TRUE);
    if (FAILED(hr))
        return hr;
    if (resolution <= 0 || size <= 0)
        return E_INVALIDARG;

    LONG maxExtent = static_cast<LONG>(std::int64_t{size} * resolution / 1000);
    if (maxExtent < 1)
        return E_INVALIDARG;
    std::int64_t newPosition = position;
    std::int64_t newExtent = extent;
    if (Changed(resolutionId, pContext) && oldResolution > 0 && oldResolution != resolution) {
        newPosition = std::int64_t{position} * resolution / oldResolution;
        newExtent = std::int64_t{extent} * resolution / oldResolution;
    }
    LONG finalPosition = Clamp(newPosition, 0, maxExtent - 1);
    LONG finalExtent = Clamp(newExtent, 1, maxExtent - finalPosition);

    hr = wiasSetValidRangeLong(pWiasContext, positionId, 0, 0, maxExtent - 1, 1);
    if (SUCCEEDED(hr))
        hr = wiasSetValidRangeLong(pWiasContext, extentId, 1, maxExtent, maxExtent, 1);
    if (SUCCEEDED(hr) && finalPosition != position) {
        hr = wiasWritePropLong(pWiasContext, positionId, finalPosition);
        if (SUCCEEDED(hr))
            wiasSetPropChanged(positionId, pContext, TRUE);
    }
    if (SUCCEEDED(hr) && finalExtent != extent) {
        hr = wiasWritePropLong(pWiasContext, extentId, finalExtent);
        if (SUCCEEDED(hr))
            wiasSetPropChanged(extentId, pContext, TRUE);
    }
    return hr;
}

} // namespace

HRESULT wiasUpdateScanRect(BYTE* pWiasContext, WIA_PROPERTY_CONTEXT* pContext, LONG lWidth, LONG lHeight)
{
    if (!pWiasContext || !pContext)
        return E_INVALIDARG;
    HRESULT hr = UpdateAxis(pWiasContext, pContext, lWidth, WIA_IPS_XRES, WIA_IPS_XPOS, WIA_IPS_XEXTENT);
    if (SUCCEEDED(hr))
        hr = UpdateAxis(pWiasContext, pContext, lHeight, WIA_IPS_YRES, WIA_IPS_YPOS, WIA_IPS_YEXTENT);
    return hr;
}

HRESULT wiasUpdateValidFormat(BYTE* pWiasContext, WIA_PROPERTY_CONTEXT* pContext, IWiaMiniDrv* pIMiniDrv)
{
    if (!pWiasContext || !pContext || !pIMiniDrv)
        return E_INVALIDARG;
    if (!Changed(WIA_IPA_TYMED, pContext))
        return S_OK;
    LONG tymed = 0;
    HRESULT hr = wiasReadPropLong(pWiasContext, WIA_IPA_TYMED, &tymed, nullptr, TRUE);
    if (FAILED(hr))
        return hr;
    LONG count = 0;
    WIA_FORMAT_INFO* formats = nullptr;
    LONG deviceError = 0;
    hr = pIMiniDrv->drvGetWiaFormatInfo(pWiasContext, 0, &count, &formats, &deviceError);
    if (FAILED(hr))
        return hr;
    if (count < 0 || (count > 0 && !formats))
        return E_INVALIDARG;
    std::vector<GUID> valid;
    for (LONG i = 0; i < count; ++i) {
        if (formats[i].lTymed == tymed)
            valid.push_back(formats[i].guidFormatID);
    }
    if (valid.empty())
        return E_INVALIDARG;

    GUID current{};
    hr = wiasReadPropGuid(pWiasContext, WIA_IPA_FORMAT, &current, nullptr, TRUE);
    if (FAILED(hr))
        return hr;
    bool stillValid = std::find(valid.begin(), valid.end(), current) != valid.end();
    GUID nominal = stillValid ? current : valid.front();
    hr = wiasSetValidListGuid(pWiasContext, WIA_IPA_FORMAT, static_cast<ULONG>(valid.size()), nominal, valid.data());
    if (SUCCEEDED(hr) && !stillValid) {
        hr = wiasWritePropGuid(pWiasContext, WIA_IPA_FORMAT, nominal);
        if (SUCCEEDED(hr))
            wiasSetPropChanged(WIA_IPA_FORMAT, pContext, TRUE);
    }
    return hr;
}
