// Validation of a client's property change: the intent sets data type and
// resolutions, the data type sets depth and channels, and the line and item
// sizes follow the image geometry.
#include "stillimage/WIACaps.h"

#include "diag/FormatWide.h"
#include "diag/OperationTrace.h"
#include "stillimage/DataTraceText.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

// Frees the property context on every path out.
class PropContextOwner {
public:
    explicit PropContextOwner(WIA_PROPERTY_CONTEXT& context) : context_(context) {}
    ~PropContextOwner() { wiasFreePropContext(&context_); }
    PropContextOwner(const PropContextOwner&) = delete;
    PropContextOwner& operator=(const PropContextOwner&) = delete;

private:
    WIA_PROPERTY_CONTEXT& context_;
};

bool Contains(const std::vector<LONG>& list, LONG value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

// The number of lines and the pixels per line are the scan rectangle's
// extents as they stand.
HRESULT CopyExtentsToImageSize(BYTE* pWiasContext)
{
    LONG extent = 0;
    HRESULT hr = wiasReadPropLong(pWiasContext, WIA_IPS_YEXTENT, &extent, nullptr, TRUE);
    if (SUCCEEDED(hr))
        hr = wiasWritePropLong(pWiasContext, WIA_IPA_NUMBER_OF_LINES, extent);
    if (SUCCEEDED(hr))
        hr = wiasReadPropLong(pWiasContext, WIA_IPS_XEXTENT, &extent, nullptr, TRUE);
    if (SUCCEEDED(hr))
        hr = wiasWritePropLong(pWiasContext, WIA_IPA_PIXELS_PER_LINE, extent);
    return hr;
}

} // namespace

HRESULT CWIACaps::ValidateItemProperties(IWiaMiniDrv* pIWiaMiniDrv, BYTE* pWiasContext, ULONG nPropSpec,
                                         const PROPSPEC* pPropSpec)
{
    TraceEntered(*this, u"ValidateItemProperties");
    DataTraceText data(*this);

    LONG itemType = 0;
    HRESULT hr = wiasGetItemType(pWiasContext, &itemType);
    data.Add(u"CStiWiaCaps::ValidateItemProperties() wiasGetItemType: %i:%08X \n", itemType, hr);
    if (FAILED(hr))
        return hr;

    WIA_PROPERTY_CONTEXT context{};
    hr = wiasCreatePropContext(nPropSpec, const_cast<PROPSPEC*>(pPropSpec), 0, nullptr, &context);
    data.Add(u"CStiWiaCaps::ValidateItemProperties() wiasCreatePropContext %08X \n", hr);
    if (FAILED(hr))
        return hr;
    PropContextOwner contextOwner(context);

    // The request, property by property; the reads serve the trace only.
    if (IsDataLogging(LOG_TRACE)) {
        for (ULONG i = 0; i < context.cProps; ++i) {
            PROPID id = context.pProps[i];
            auto name = m_propertyNames.find(id);
            if (name == m_propertyNames.end()) {
                data.Add(u"- Property:%i:%i is not found\n", i, id);
                continue;
            }
            data.Add(u"- Property:%i:%i '%s'\n", i, id, name->second.c_str());
            if (!context.pChanged[i])
                continue;
            data.Add(u"- Property '%s' - Changed\n", name->second.c_str());
            if (name->second == u"Format") {
                GUID current{}, old{};
                wiasReadPropGuid(pWiasContext, id, &current, &old, TRUE);
                const WCHAR* guidFormat = u"%08x%04x%04x%02x%02x%02x%02x%02x%02x%02x%02x";
                for (auto [label, g] :
                     {std::pair{u"- Format New Before:%s\n", current}, std::pair{u" - Format Old Before:%s\n", old}}) {
                    std::u16string text =
                        FormatWide(guidFormat, g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                                   g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
                    data.Add(label, text.c_str());
                }
            } else {
                LONG current = 0, old = 0;
                wiasReadPropLong(pWiasContext, id, &current, &old, TRUE);
                data.Add(u"- OldValue = %d, NewValue = %d\r\n", old, current);
            }
        }
    }

    if (itemType & WiaItemTypeRoot) {
        data.Add(u"- Validateing ROOT items\n");
        BYTE* root = nullptr;
        hr = wiasGetRootItem(pWiasContext, &root);
        LONG select = 0;
        if (SUCCEEDED(hr))
            hr = wiasReadPropLong(root, WIA_DPS_DOCUMENT_HANDLING_SELECT, &select, nullptr, FALSE);
        if (FAILED(hr))
            return hr;
        // The status follows only a selection that is valid: a refused
        // selection must not leave a status the device cannot have.
        HRESULT validation = wiasValidateItemProperties(pWiasContext, nPropSpec, pPropSpec);
        if (SUCCEEDED(validation)) {
            LONG status = 0;
            if (select == FEEDER) {
                data.Add(u"- FEEDER selected\r\n");
                status = FEED_READY;
            } else if (select == FLATBED) {
                data.Add(u"- FLATBED selected\r\n");
                status = FLAT_READY;
            } else if (select == (FEEDER | DUPLEX)) {
                data.Add(u"- FEEDER | DUPLEX selected\r\n");
                status = FEED_READY | DUP_READY;
            }
            if (status != 0) {
                hr = wiasWritePropLong(root, WIA_DPS_DOCUMENT_HANDLING_STATUS, status);
                if (FAILED(hr))
                    return hr;
            }
        }
        hr = validation;
    } else {
        data.Add(u"- Validateing Child items\r\n");
        hr = CheckIntent(pWiasContext, &context);
        if (FAILED(hr))
            return hr;
        data.Add(u"- CheckDataType\r\n");
        hr = CheckDataType(pWiasContext, &context);
        if (FAILED(hr))
            return hr;
        data.Add(u"- wiasGetRootItem\r\n");
        BYTE* root = nullptr;
        hr = wiasGetRootItem(pWiasContext, &root);
        if (FAILED(hr))
            return hr;
        data.Add(u"- wiasReadPropLong\n");
        LONG select = 0;
        hr = wiasReadPropLong(root, WIA_DPS_DOCUMENT_HANDLING_SELECT, &select, nullptr, FALSE);
        if (FAILED(hr))
            return hr;
        if (select & FEEDER) {
            data.Add(u"- FEEDER wiasUpdateScanRect\n");
            hr = wiasUpdateScanRect(pWiasContext, &context, m_horizontalSheetFeedSize, m_verticalSheetFeedSize);
            if (FAILED(hr))
                return hr;
        }
        // The rectangle may have been changed or rescaled since the image
        // size was last set: the sizes below are computed from it.
        hr = CopyExtentsToImageSize(pWiasContext);
        if (FAILED(hr))
            return hr;
        data.Add(u"- wiasUpdateValidFormat\r\n");
        hr = wiasUpdateValidFormat(pWiasContext, &context, pIWiaMiniDrv);
        if (FAILED(hr))
            return hr;
        data.Add(u"- CheckDependencies\r\n");
        hr = CheckDependencies(pWiasContext);
        if (FAILED(hr))
            return hr;
        for (ULONG i = 0; i < nPropSpec; ++i) {
            if (pPropSpec[i].ulKind == PRSPEC_PROPID && pPropSpec[i].propid == WIA_IPA_FORMAT)
                continue;
            hr = wiasValidateItemProperties(pWiasContext, 1, &pPropSpec[i]);
            if (FAILED(hr))
                return hr;
        }
    }
    data.Flush();
    TraceExit(*this, u"ValidateItemProperties", hr);
    return hr;
}

HRESULT CWIACaps::CheckIntent(BYTE* pWiasContext, WIA_PROPERTY_CONTEXT* pContext)
{
    TraceEntered(*this, u"CheckIntent");
    DataTraceText data(*this);

    WIAS_CHANGED_VALUE_INFO intent{};
    data.Add(u" - wiasGetChangedValueLong - Start\n");
    HRESULT hr = wiasGetChangedValueLong(pWiasContext, pContext, FALSE, WIA_IPS_CUR_INTENT, &intent);
    data.Add(u" - wiasGetChangedValueLong - End %08X\n", hr);
    if (FAILED(hr))
        return hr;

    if (intent.bChanged) {
        data.Add(u"- Intent changed\n");
        const LONG value = intent.Current.lVal;
        LONG dataType = -1;
        switch (value & WIA_INTENT_IMAGE_TYPE_MASK) {
        case WIA_INTENT_IMAGE_TYPE_COLOR:
            data.Add(u"- WIA_INTENT_IMAGE_TYPE_COLOR\r\n");
            dataType = WIA_DATA_COLOR;
            break;
        case WIA_INTENT_IMAGE_TYPE_GRAYSCALE:
            data.Add(u"- WIA_INTENT_IMAGE_TYPE_GRAYSCALE\r\n");
            dataType = WIA_DATA_GRAYSCALE;
            break;
        case WIA_INTENT_IMAGE_TYPE_TEXT:
            data.Add(u"- WIA_INTENT_IMAGE_TYPE_TEXT\r\n");
            dataType = WIA_DATA_THRESHOLD;
            break;
        case 0:
            break;
        default:
            return E_INVALIDARG;
        }
        if (dataType >= 0) {
            hr = wiasWritePropLong(pWiasContext, WIA_IPA_DATATYPE, dataType);
            if (SUCCEEDED(hr))
                hr = wiasSetPropChanged(WIA_IPA_DATATYPE, pContext, TRUE);
            if (FAILED(hr))
                return hr;
        }

        const bool text = (value & WIA_INTENT_IMAGE_TYPE_TEXT) != 0;
        LONG resolution = 0;
        switch (value & WIA_INTENT_SIZE_MASK) {
        case 0:
            break;
        case WIA_INTENT_MINIMIZE_SIZE:
            data.Add(u"- WIA_INTENT_MINIMIZE_SIZE\r\n");
            resolution = text || !Contains(m_resolutionList, 100) ? 200 : 100;
            break;
        case WIA_INTENT_MAXIMIZE_QUALITY:
            data.Add(u"- WIA_INTENT_MAXIMIZE_QUALITY\r\n");
            resolution = text && Contains(m_resolutionList, 300) ? 300 : 200;
            break;
        default:
            return E_INVALIDARG;
        }
        if (resolution != 0) {
            hr = wiasWritePropLong(pWiasContext, WIA_IPS_XRES, resolution);
            if (SUCCEEDED(hr))
                hr = wiasWritePropLong(pWiasContext, WIA_IPS_YRES, resolution);
            if (SUCCEEDED(hr))
                hr = wiasSetPropChanged(WIA_IPS_XRES, pContext, TRUE);
            if (SUCCEEDED(hr))
                hr = wiasSetPropChanged(WIA_IPS_YRES, pContext, TRUE);
            if (SUCCEEDED(hr))
                hr = CopyExtentsToImageSize(pWiasContext);
            if (FAILED(hr))
                return hr;
        }
    }
    data.Flush();
    TraceExit(*this, u"CheckIntent", hr);
    return hr;
}

HRESULT CWIACaps::CheckDataType(BYTE* pWiasContext, WIA_PROPERTY_CONTEXT* pContext)
{
    TraceEntered(*this, u"CheckDataType");
    WIAS_CHANGED_VALUE_INFO dataType{};
    WIAS_CHANGED_VALUE_INFO depth{};
    HRESULT hr = wiasGetChangedValueLong(pWiasContext, pContext, FALSE, WIA_IPA_DATATYPE, &dataType);
    if (FAILED(hr))
        return hr;
    hr = wiasGetChangedValueLong(pWiasContext, pContext, dataType.bChanged, WIA_IPA_DEPTH, &depth);
    if (FAILED(hr))
        return hr;

    if (dataType.bChanged) {
        LONG newDepth = 0;
        // clang-format off
        switch (dataType.Current.lVal) {
        case WIA_DATA_THRESHOLD: newDepth = 1; break;
        case WIA_DATA_GRAYSCALE: newDepth = 8; break;
        case WIA_DATA_COLOR: newDepth = 24; break;
        default: return E_INVALIDARG;
        }
        // clang-format on
        if (!depth.bChanged) {
            hr = wiasWritePropLong(pWiasContext, WIA_IPA_DEPTH, newDepth);
            if (FAILED(hr))
                return hr;
        }
    }
    if (dataType.bChanged || depth.bChanged) {
        LONG channels = 0, bitsPerChannel = 0;
        // clang-format off
        switch (dataType.Current.lVal) {
        case WIA_DATA_THRESHOLD: channels = 1; bitsPerChannel = 1; break;
        case WIA_DATA_GRAYSCALE: channels = 1; bitsPerChannel = 8; break;
        case WIA_DATA_COLOR: channels = 3; bitsPerChannel = 8; break;
        default: break;
        }
        // clang-format on
        if (channels != 0) {
            hr = wiasWritePropLong(pWiasContext, WIA_IPA_CHANNELS_PER_PIXEL, channels);
            if (SUCCEEDED(hr))
                hr = wiasWritePropLong(pWiasContext, WIA_IPA_BITS_PER_CHANNEL, bitsPerChannel);
            if (FAILED(hr))
                return hr;
        }
    }
    TraceExit(*this, u"CheckDataType", hr);
    return hr;
}

HRESULT CWIACaps::CheckDependencies(BYTE* pWiasContext)
{
    TraceEntered(*this, u"CheckDependencies");
    LONG pixels = 0, oldPixels = 0, lines = 0, oldLines = 0;
    LONG channels = 0, oldChannels = 0, bitsPerChannel = 0, oldBitsPerChannel = 0;
    HRESULT hr = wiasReadPropLong(pWiasContext, WIA_IPA_PIXELS_PER_LINE, &pixels, &oldPixels, TRUE);
    if (SUCCEEDED(hr))
        hr = wiasReadPropLong(pWiasContext, WIA_IPA_NUMBER_OF_LINES, &lines, &oldLines, TRUE);
    if (SUCCEEDED(hr))
        hr = wiasReadPropLong(pWiasContext, WIA_IPA_CHANNELS_PER_PIXEL, &channels, &oldChannels, TRUE);
    if (SUCCEEDED(hr))
        hr = wiasReadPropLong(pWiasContext, WIA_IPA_BITS_PER_CHANNEL, &bitsPerChannel, &oldBitsPerChannel, TRUE);
    if (FAILED(hr))
        return hr;

    if (pixels != oldPixels || lines != oldLines || channels != oldChannels || bitsPerChannel != oldBitsPerChannel) {
        // Wide arithmetic: the factors come from item properties.
        std::int64_t length = bitsPerChannel == 1 && channels == 1
                                  ? ((std::int64_t{pixels} - 1) / 8 * 8 + 8) / 8
                                  : std::int64_t{bitsPerChannel} * channels * pixels / 8;
        std::int64_t rounded = (length - 1) / 4 * 4 + 4;
        if (rounded >= 0 && rounded <= std::numeric_limits<LONG>::max())
            wiasWritePropLong(pWiasContext, WIA_IPA_BYTES_PER_LINE, static_cast<LONG>(rounded));
    }

    LONG bytesPerLine = 0, mediaType = 0, depth = 0;
    hr = wiasReadPropLong(pWiasContext, WIA_IPA_BYTES_PER_LINE, &bytesPerLine, nullptr, TRUE);
    if (SUCCEEDED(hr))
        hr = wiasReadPropLong(pWiasContext, WIA_IPA_TYMED, &mediaType, nullptr, TRUE);
    if (SUCCEEDED(hr))
        hr = wiasReadPropLong(pWiasContext, WIA_IPA_DEPTH, &depth, nullptr, TRUE);
    if (FAILED(hr))
        return hr;
    std::int64_t header = depth == 1 ? 48 : depth == 8 ? 1064 : 40;
    if (mediaType == TYMED_FILE)
        header += 14;
    std::int64_t size = std::int64_t{bytesPerLine} * lines + header;
    if (size < 0 || size > std::numeric_limits<LONG>::max())
        return E_INVALIDARG;

    LONG itemSize = 0;
    hr = wiasReadPropLong(pWiasContext, WIA_IPA_ITEM_SIZE, &itemSize, nullptr, TRUE);
    if (FAILED(hr))
        return hr;
    if (itemSize != size)
        hr = wiasWritePropLong(pWiasContext, WIA_IPA_ITEM_SIZE, static_cast<LONG>(size));
    TraceExit(*this, u"CheckDependencies", hr);
    return hr;
}
