// Capability negotiation: the DAT_CAPABILITY gate, the six message handlers
// and the route of every capability id the framework knows to its accessors.
//
// Every answer is a new handle that the application frees; the handle of a
// MSG_SET stays the application's and is only read. Ids without a route go
// to the custom hooks, through which a device class adds its capabilities.
#include "twainfw/CTWAINDataSource.h"

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace Trellis {

// How each message of one capability reaches its accessors. An empty step
// sends that message to the custom hook.
struct CapabilityRoute {
    using Fill = std::function<void(CTWAINDataSource&, CTWAINContainer&)>;
    using Apply = std::function<void(CTWAINDataSource&, const CTWAINContainer&)>;
    using Query = std::function<TW_INT32(CTWAINDataSource&)>;

    TW_UINT16 Id = 0;
    Fill Get;
    Fill GetCurrent;
    Fill GetDefault;
    Apply Set;
    Fill Reset;
    Query QuerySupport;
};

namespace {

using DS = CTWAINDataSource;
using Route = CapabilityRoute;

constexpr TW_INT32 kAllOperations = TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET;

// ---- one values to and from the accessors' types ----

CTWAINOneValue Item(bool value, TW_UINT16)
{
    return CTWAINOneValue(value ? 1u : 0u, TWTY_BOOL);
}
CTWAINOneValue Item(TW_UINT16 value, TW_UINT16 itemType)
{
    return CTWAINOneValue(TW_UINT32{value}, itemType);
}
CTWAINOneValue Item(TW_INT16 value, TW_UINT16 itemType)
{
    return CTWAINOneValue(TW_UINT32{static_cast<TW_UINT16>(value)}, itemType);
}
CTWAINOneValue Item(TW_UINT32 value, TW_UINT16 itemType)
{
    return CTWAINOneValue(value, itemType);
}
CTWAINOneValue Item(float value, TW_UINT16)
{
    return CTWAINOneValue(value);
}
CTWAINOneValue Item(const std::string& value, TW_UINT16 itemType)
{
    return CTWAINOneValue(value, itemType);
}
CTWAINOneValue Item(const CTWAINFrame& value, TW_UINT16)
{
    return CTWAINOneValue(static_cast<const TW_FRAME&>(value));
}

// A list result is copied whole, an array or enumeration keeps its shape, a
// single value becomes a one value of the capability's item type.
void Store(CTWAINContainer& container, const CTWAINContainer& result, TW_UINT16)
{
    container = result;
}
void Store(CTWAINContainer& container, const CTWAINArray& result, TW_UINT16)
{
    container.SetArray(result);
}
void Store(CTWAINContainer& container, const CTWAINEnumeration& result, TW_UINT16)
{
    container.SetEnumeration(result);
}
template <class T>
void Store(CTWAINContainer& container, const T& result, TW_UINT16 itemType)
{
    container.SetOneValue(Item(result, itemType));
}

// The application's one value as the setter's type. Only the low 16 bits of
// a BOOL count; frames and strings are refused where a number is expected.
template <class T>
T ValueOf(const CTWAINOneValue& value, TW_UINT16 itemType)
{
    if constexpr (std::is_same_v<T, bool>) {
        return (value.Value & 0xFFFF) != 0;
    } else if constexpr (std::is_same_v<T, TW_UINT16> || std::is_same_v<T, TW_INT16>) {
        return static_cast<T>(value.GetUInt16());
    } else if constexpr (std::is_same_v<T, TW_UINT32>) {
        (void)value.GetUInt16();  // refuses the wide items
        return value.Value;
    } else if constexpr (std::is_same_v<T, float>) {
        (void)value.GetUInt16();
        return value.GetFloat();
    } else {
        static_assert(std::is_same_v<T, std::string>);
        return value.GetString().substr(0, GetStringItemLength(itemType));
    }
}

// ---- steps ----

template <class R>
Route::Fill Answer(R (DS::*accessor)(), TW_UINT16 itemType = TWTY_UINT16)
{
    return [accessor, itemType](DS& ds, CTWAINContainer& container) {
        Store(container, (ds.*accessor)(), itemType);
    };
}

Route::Query Support(TW_INT32 (DS::*query)())
{
    return [query](DS& ds) { return (ds.*query)(); };
}

// Whatever the container type, its one value.
template <class P>
Route::Apply SetOne(void (DS::*setter)(P), TW_UINT16 itemType)
{
    using T = std::decay_t<P>;
    return [setter, itemType](DS& ds, const CTWAINContainer& container) {
        (ds.*setter)(ValueOf<T>(container.GetOneValue(), itemType));
    };
}

// An enumeration constrains the list, a one value sets the current value;
// with a range setter a range constrains too.
template <class P>
Route::Apply SetList(void (DS::*constraint)(const CTWAINEnumeration&), void (DS::*setter)(P), TW_UINT16 itemType,
                     void (DS::*rangeConstraint)(const CTWAINRange&) = nullptr)
{
    using T = std::decay_t<P>;
    return [constraint, setter, itemType, rangeConstraint](DS& ds, const CTWAINContainer& container) {
        switch (container.ContainerType) {
        case TWON_ENUMERATION:
            (ds.*constraint)(container.GetEnumeration());
            return;
        case TWON_ONEVALUE:
            (ds.*setter)(ValueOf<T>(container.GetOneValue(), itemType));
            return;
        case TWON_RANGE:
            if (rangeConstraint) {
                (ds.*rangeConstraint)(container.GetRange());
                return;
            }
            break;
        default:
            break;
        }
        ds.ThrowFailure(TWCC_BADVALUE);
    };
}

// Whatever the container type, its list as an array.
Route::Apply SetArray(void (DS::*setter)(const CTWAINArray&))
{
    return [setter](DS& ds, const CTWAINContainer& container) { (ds.*setter)(container.GetArray()); };
}

// ---- the shapes of the accessor groups ----

// An enumerated list (and, with a range setter, one that may be a range).
template <class T>
Route ListShape(TW_UINT16 id, TW_UINT16 itemType, CTWAINContainer (DS::*values)(), T (DS::*current)(),
                T (DS::*defaultValue)(), void (DS::*constraint)(const CTWAINEnumeration&), void (DS::*setter)(T),
                T (DS::*reset)(), TW_INT32 (DS::*query)(),
                void (DS::*rangeConstraint)(const CTWAINRange&) = nullptr)
{
    return Route{id,
                 Answer(values),
                 Answer(current, itemType),
                 Answer(defaultValue, itemType),
                 SetList(constraint, setter, itemType, rangeConstraint),
                 Answer(reset, itemType),
                 Support(query)};
}

template <class T>
Route RangeShape(TW_UINT16 id, TW_UINT16 itemType, CTWAINContainer (DS::*values)(), T (DS::*current)(),
                 T (DS::*defaultValue)(), void (DS::*rangeConstraint)(const CTWAINRange&),
                 void (DS::*constraint)(const CTWAINEnumeration&), void (DS::*setter)(T), T (DS::*reset)(),
                 TW_INT32 (DS::*query)())
{
    return ListShape(id, itemType, values, current, defaultValue, constraint, setter, reset, query, rangeConstraint);
}

// A list whose SET takes one value only.
template <class T>
Route OneSetListShape(TW_UINT16 id, TW_UINT16 itemType, CTWAINContainer (DS::*values)(), T (DS::*current)(),
                      T (DS::*defaultValue)(), void (DS::*setter)(T), T (DS::*reset)(), TW_INT32 (DS::*query)())
{
    return Route{id,
                 Answer(values),
                 Answer(current, itemType),
                 Answer(defaultValue, itemType),
                 SetOne(setter, itemType),
                 Answer(reset, itemType),
                 Support(query)};
}

template <class T>
Route OneValueShape(TW_UINT16 id, TW_UINT16 itemType, T (DS::*current)(), T (DS::*defaultValue)(),
                    void (DS::*setter)(T), T (DS::*reset)(), TW_INT32 (DS::*query)())
{
    return Route{id,
                 Answer(current, itemType),
                 Answer(current, itemType),
                 Answer(defaultValue, itemType),
                 SetOne(setter, itemType),
                 Answer(reset, itemType),
                 Support(query)};
}

// Read-only: every reading message calls the one getter; SET goes to the hook
// and so, for a few ids, does RESET.
template <class T>
Route ReadOnlyShape(TW_UINT16 id, TW_UINT16 itemType, T (DS::*getter)(), TW_INT32 (DS::*query)(),
                    bool resetByHook = false)
{
    Route::Fill get = Answer(getter, itemType);
    return Route{id, get, get, get, nullptr, resetByHook ? nullptr : get, Support(query)};
}

Route StringShape(TW_UINT16 id, TW_UINT16 itemType, std::string (DS::*getter)(),
                  void (DS::*setter)(const std::string&), TW_INT32 (DS::*query)())
{
    Route::Fill get = Answer(getter, itemType);
    return Route{id, get, get, get, SetOne(setter, itemType), get, Support(query)};
}

Route ArrayShape(TW_UINT16 id, CTWAINArray (DS::*values)(), CTWAINArray (DS::*current)(),
                 CTWAINArray (DS::*defaultValue)(), void (DS::*setter)(const CTWAINArray&),
                 CTWAINArray (DS::*reset)(), TW_INT32 (DS::*query)())
{
    return Route{id,          Answer(values),    Answer(current), Answer(defaultValue),
                 SetArray(setter), Answer(reset), Support(query)};
}

// CAP_CLEARPAGE and its sisters: the getter acts and answers nothing.
Route ActionShape(TW_UINT16 id, void (DS::*action)(), TW_INT32 (DS::*query)())
{
    Route::Fill act = [action](DS& ds, CTWAINContainer&) { (ds.*action)(); };
    return Route{id, act, act, act, nullptr, act, Support(query)};
}

// A capability held in a plain member of the data source.
Route MemberShape(TW_UINT16 id, std::function<CTWAINOneValue(DS&)> read,
                  std::function<void(DS&, const CTWAINOneValue&)> write, const CTWAINOneValue& defaultValue)
{
    Route::Fill get = [read](DS& ds, CTWAINContainer& container) { container.SetOneValue(read(ds)); };
    return Route{id,
                 get,
                 get,
                 [defaultValue](DS&, CTWAINContainer& container) { container.SetOneValue(defaultValue); },
                 [write](DS& ds, const CTWAINContainer& container) { write(ds, container.GetOneValue()); },
                 [write, defaultValue](DS& ds, CTWAINContainer& container) {
                     write(ds, defaultValue);
                     container.SetOneValue(defaultValue);
                 },
                 [](DS&) { return kAllOperations; }};
}

// Hands the answer over as a new handle. When no memory can be had the
// handle is cleared and the type left as the application passed it.
void HandOver(DS& ds, TW_CAPABILITY* capability, const CTWAINContainer& answer)
{
    TW_HANDLE handle = answer.ToHandle();
    if (!handle) {
        capability->hContainer = nullptr;
        ds.ThrowFailure(TWCC_LOWMEMORY);
    }
    capability->hContainer = handle;
    capability->ConType = static_cast<TW_UINT16>(answer.ContainerType);
}

using FillHook = bool (DS::*)(TW_UINT16, CTWAINContainer&);

// The common frame of the four answering handlers.
void AnswerCapability(DS& ds, TW_CAPABILITY* capability, const Route* route, Route::Fill Route::*step, FillHook hook)
{
    const TW_UINT16 id = capability->Cap;
    CTWAINContainer container;
    if (route && route->*step)
        (route->*step)(ds, container);
    else if (!(ds.*hook)(id, container))
        ds.ThrowFailure(TWCC_CAPUNSUPPORTED);
    HandOver(ds, capability, container);
}

} // namespace

const CapabilityRoute* CTWAINDataSource::FindCapabilityRoute(TW_UINT16 id)
{
    // The printer tables speak of the printer that CAP_PRINTER selects.
    auto printer = [](DS& ds) -> size_t {
        const TW_UINT16 current = ds.GetPrinterCurrent();
        if (current >= std::size(ds.m_PrinterEnabled))
            ds.ThrowFailure(TWCC_BADVALUE);
        return current;
    };
    auto flag = [](TW_UINT8 DS::*member) {
        return std::make_pair([member](DS& ds) { return CTWAINOneValue(ds.*member ? 1u : 0u, TWTY_BOOL); },
                              [member](DS& ds, const CTWAINOneValue& value) {
                                  ds.*member = (value.Value & 0xFFFF) != 0 ? 1 : 0;
                              });
    };
    auto flagShape = [&flag](TW_UINT16 capId, TW_UINT8 DS::*member) {
        auto [read, write] = flag(member);
        return MemberShape(capId, read, write, CTWAINOneValue(0u, TWTY_BOOL));
    };

    // An application's frame is taken only where the physical frame holds it.
    auto setFrames = [](DS& ds, const CTWAINContainer& container) {
        const CTWAINFrame physical(0, 0, ds.GetPhysicalWidth(), ds.GetPhysicalHeight());
        switch (container.ContainerType) {
        case TWON_ONEVALUE: {
            const CTWAINOneValue value = container.GetOneValue();
            if (value.ItemType != TWTY_FRAME || !physical.Contains(value.Frame))
                ds.ThrowFailure(TWCC_BADVALUE);
            ds.SetFramesCurrent(value.Frame);
            return;
        }
        case TWON_ENUMERATION: {
            const CTWAINEnumeration requested = container.GetEnumeration();
            CTWAINEnumeration inside;
            bool dropped = false;
            for (const CTWAINOneValue& value : requested.m_List) {
                if (value.ItemType == TWTY_FRAME && physical.Contains(value.Frame))
                    inside.Add(value);
                else
                    dropped = true;
            }
            if (inside.GetCount() == 0)
                ds.ThrowFailure(TWCC_BADVALUE);
            ds.SetFramesConstraint(inside);
            if (dropped)
                ds.ThrowCheckStatus(TWCC_BADVALUE);
            return;
        }
        default:
            ds.ThrowFailure(TWCC_BADVALUE);
        }
    };

    auto imageDataSet = [](DS& ds, CTWAINContainer& container) {
        CTWAINContainer current;
        ds.GetImageDataSetCurrent(current);
        if (current.ContainerType == TWON_ONEVALUE)
            container.SetOneValue(CTWAINOneValue(current.GetOneValue().Value, TWTY_UINT32));
        else
            container.SetArray(current.List);
    };

    static const std::vector<Route> kRoutes = [&] {
        std::vector<Route> routes;
        // Enumerated lists.
        routes.push_back(ListShape(ICAP_COMPRESSION, TWTY_UINT16, &DS::GetCompressionValues,
                                   &DS::GetCompressionCurrent, &DS::GetCompressionDefault,
                                   &DS::SetCompressionConstraint, &DS::SetCompressionCurrent,
                                   &DS::ResetCompression, &DS::QueryCompressionSupport));
        routes.push_back(ListShape(ICAP_PIXELTYPE, TWTY_UINT16, &DS::GetPixelTypeValues, &DS::GetPixelTypeCurrent,
                                   &DS::GetPixelTypeDefault, &DS::SetPixelTypeConstraint, &DS::SetPixelTypeCurrent,
                                   &DS::ResetPixelType, &DS::QueryPixelTypeSupport));
        routes.push_back(ListShape(ICAP_UNITS, TWTY_UINT16, &DS::GetUnitsValues, &DS::GetUnitsCurrent,
                                   &DS::GetUnitsDefault, &DS::SetUnitsConstraint, &DS::SetUnitsCurrent,
                                   &DS::ResetUnits, &DS::QueryUnitsSupport));
        routes.push_back(ListShape(ICAP_XFERMECH, TWTY_UINT16, &DS::GetXferMechValues, &DS::GetXferMechCurrent,
                                   &DS::GetXferMechDefault, &DS::SetXferMechConstraint, &DS::SetXferMechCurrent,
                                   &DS::ResetXferMech, &DS::QueryXferMechSupport));
        routes.push_back(ListShape(CAP_PRINTER, TWTY_UINT16, &DS::GetPrinterValues, &DS::GetPrinterCurrent,
                                   &DS::GetPrinterDefault, &DS::SetPrinterConstraint, &DS::SetPrinterCurrent,
                                   &DS::ResetPrinter, &DS::QueryPrinterSupport));
        routes.push_back(ListShape(CAP_PRINTERMODE, TWTY_UINT16, &DS::GetPrinterModeValues,
                                   &DS::GetPrinterModeCurrent, &DS::GetPrinterModeDefault,
                                   &DS::SetPrinterModeConstraint, &DS::SetPrinterModeCurrent, &DS::ResetPrinterMode,
                                   &DS::QueryPrinterModeSupport));
        routes.push_back(ListShape(ICAP_CONTRAST, TWTY_FIX32, &DS::GetContrastValues, &DS::GetContrastCurrent,
                                   &DS::GetContrastDefault, &DS::SetContrastConstraint, &DS::SetContrastCurrent,
                                   &DS::ResetContrast, &DS::QueryContrastSupport));
        routes.push_back(ListShape(ICAP_IMAGEFILEFORMAT, TWTY_UINT16, &DS::GetImageFileFormatValues,
                                   &DS::GetImageFileFormatCurrent, &DS::GetImageFileFormatDefault,
                                   &DS::SetImageFileFormatConstraint, &DS::SetImageFileFormatCurrent,
                                   &DS::ResetImageFileFormat, &DS::QueryImageFileFormatSupport));
        routes.push_back(ListShape(ICAP_LIGHTSOURCE, TWTY_UINT16, &DS::GetLightSourceValues,
                                   &DS::GetLightSourceCurrent, &DS::GetLightSourceDefault,
                                   &DS::SetLightSourceConstraint, &DS::SetLightSourceCurrent, &DS::ResetLightSource,
                                   &DS::QueryLightSourceSupport));
        routes.push_back(ListShape(ICAP_ORIENTATION, TWTY_UINT16, &DS::GetOrientationValues,
                                   &DS::GetOrientationCurrent, &DS::GetOrientationDefault,
                                   &DS::SetOrientationConstraint, &DS::SetOrientationCurrent, &DS::ResetOrientation,
                                   &DS::QueryOrientationSupport));
        routes.push_back(ListShape(ICAP_PLANARCHUNKY, TWTY_UINT16, &DS::GetPlanarChunkyValues,
                                   &DS::GetPlanarChunkyCurrent, &DS::GetPlanarChunkyDefault,
                                   &DS::SetPlanarChunkyConstraint, &DS::SetPlanarChunkyCurrent,
                                   &DS::ResetPlanarChunky, &DS::QueryPlanarChunkySupport));
        routes.push_back(ListShape(ICAP_SUPPORTEDSIZES, TWTY_UINT16, &DS::GetSupportedSizesValues,
                                   &DS::GetSupportedSizesCurrent, &DS::GetSupportedSizesDefault,
                                   &DS::SetSupportedSizesConstraint, &DS::SetSupportedSizesCurrent,
                                   &DS::ResetSupportedSizes, &DS::QuerySupportedSizesSupport));
        routes.push_back(ListShape(ICAP_JPEGPIXELTYPE, TWTY_UINT16, &DS::GetJPEGPixelTypeValues,
                                   &DS::GetJPEGPixelTypeCurrent, &DS::GetJPEGPixelTypeDefault,
                                   &DS::SetJPEGPixelTypeConstraint, &DS::SetJPEGPixelTypeCurrent,
                                   &DS::ResetJPEGPixelType, &DS::QueryJPEGPixelTypeSupport));
        routes.push_back(ListShape(ICAP_BITDEPTH, TWTY_UINT16, &DS::GetBitDepthValues, &DS::GetBitDepthCurrent,
                                   &DS::GetBitDepthDefault, &DS::SetBitDepthConstraint, &DS::SetBitDepthCurrent,
                                   &DS::ResetBitDepth, &DS::QueryBitDepthSupport));
        routes.push_back(ListShape(ICAP_BITDEPTHREDUCTION, TWTY_UINT16, &DS::GetBitDepthReductionValues,
                                   &DS::GetBitDepthReductionCurrent, &DS::GetBitDepthReductionDefault,
                                   &DS::SetBitDepthReductionConstraint, &DS::SetBitDepthReductionCurrent,
                                   &DS::ResetBitDepthReduction, &DS::QueryBitDepthReductionSupport));
        routes.push_back(ListShape(ICAP_BARCODESEARCHMODE, TWTY_UINT16, &DS::GetBarCodeSearchModeValues,
                                   &DS::GetBarCodeSearchModeCurrent, &DS::GetBarCodeSearchModeDefault,
                                   &DS::SetBarCodeSearchModeConstraint, &DS::SetBarCodeSearchModeCurrent,
                                   &DS::ResetBarCodeSearchMode, &DS::QueryBarCodeSearchModeSupport));
        routes.push_back(ListShape(ICAP_PATCHCODESEARCHMODE, TWTY_UINT16, &DS::GetPatchCodeSearchModeValues,
                                   &DS::GetPatchCodeSearchModeCurrent, &DS::GetPatchCodeSearchModeDefault,
                                   &DS::SetPatchCodeSearchModeConstraint, &DS::SetPatchCodeSearchModeCurrent,
                                   &DS::ResetPatchCodeSearchMode, &DS::QueryPatchCodeSearchModeSupport));

        // Lists that may also be ranges.
        routes.push_back(RangeShape(ICAP_BRIGHTNESS, TWTY_FIX32, &DS::GetBrightnessValues,
                                    &DS::GetBrightnessCurrent, &DS::GetBrightnessDefault,
                                    &DS::SetBrightnessRangeConstraint, &DS::SetBrightnessConstraint,
                                    &DS::SetBrightnessCurrent, &DS::ResetBrightness, &DS::QueryBrightnessSupport));
        routes.push_back(RangeShape(ICAP_EXPOSURETIME, TWTY_FIX32, &DS::GetExposureTimeValues,
                                    &DS::GetExposureTimeCurrent, &DS::GetExposureTimeDefault,
                                    &DS::SetExposureTimeRangeConstraint, &DS::SetExposureTimeConstraint,
                                    &DS::SetExposureTimeCurrent, &DS::ResetExposureTime,
                                    &DS::QueryExposureTimeSupport));
        routes.push_back(RangeShape(ICAP_HIGHLIGHT, TWTY_FIX32, &DS::GetHighlightValues, &DS::GetHighlightCurrent,
                                    &DS::GetHighlightDefault, &DS::SetHighlightRangeConstraint,
                                    &DS::SetHighlightConstraint, &DS::SetHighlightCurrent, &DS::ResetHighlight,
                                    &DS::QueryHighlightSupport));
        routes.push_back(RangeShape(ICAP_SHADOW, TWTY_FIX32, &DS::GetShadowValues, &DS::GetShadowCurrent,
                                    &DS::GetShadowDefault, &DS::SetShadowRangeConstraint, &DS::SetShadowConstraint,
                                    &DS::SetShadowCurrent, &DS::ResetShadow, &DS::QueryShadowSupport));
        routes.push_back(RangeShape(ICAP_XRESOLUTION, TWTY_FIX32, &DS::GetXResolutionValues,
                                    &DS::GetXResolutionCurrent, &DS::GetXResolutionDefault,
                                    &DS::SetXResolutionRangeConstraint, &DS::SetXResolutionConstraint,
                                    &DS::SetXResolutionCurrent, &DS::ResetXResolution,
                                    &DS::QueryXResolutionSupport));
        routes.push_back(RangeShape(ICAP_YRESOLUTION, TWTY_FIX32, &DS::GetYResolutionValues,
                                    &DS::GetYResolutionCurrent, &DS::GetYResolutionDefault,
                                    &DS::SetYResolutionRangeConstraint, &DS::SetYResolutionConstraint,
                                    &DS::SetYResolutionCurrent, &DS::ResetYResolution,
                                    &DS::QueryYResolutionSupport));
        routes.push_back(RangeShape(ICAP_THRESHOLD, TWTY_FIX32, &DS::GetThresholdValues, &DS::GetThresholdCurrent,
                                    &DS::GetThresholdDefault, &DS::SetThresholdRangeConstraint,
                                    &DS::SetThresholdConstraint, &DS::SetThresholdCurrent, &DS::ResetThreshold,
                                    &DS::QueryThresholdSupport));
        routes.push_back(RangeShape(ICAP_XSCALING, TWTY_FIX32, &DS::GetXScalingValues, &DS::GetXScalingCurrent,
                                    &DS::GetXScalingDefault, &DS::SetXScalingRangeConstraint,
                                    &DS::SetXScalingConstraint, &DS::SetXScalingCurrent, &DS::ResetXScaling,
                                    &DS::QueryXScalingSupport));
        routes.push_back(RangeShape(ICAP_YSCALING, TWTY_FIX32, &DS::GetYScalingValues, &DS::GetYScalingCurrent,
                                    &DS::GetYScalingDefault, &DS::SetYScalingRangeConstraint,
                                    &DS::SetYScalingConstraint, &DS::SetYScalingCurrent, &DS::ResetYScaling,
                                    &DS::QueryYScalingSupport));
        routes.push_back(RangeShape(CAP_MAXBATCHBUFFERS, TWTY_UINT32, &DS::GetMaxBatchBuffersValues,
                                    &DS::GetMaxBatchBuffersCurrent, &DS::GetMaxBatchBuffersDefault,
                                    &DS::SetMaxBatchBuffersRangeConstraint, &DS::SetMaxBatchBuffersConstraint,
                                    &DS::SetMaxBatchBuffersCurrent, &DS::ResetMaxBatchBuffers,
                                    &DS::QueryMaxBatchBuffersSupport));
        routes.push_back(RangeShape(
            ICAP_BARCODEMAXSEARCHPRIORITIES, TWTY_UINT32, &DS::GetBarCodeMaxSearchPrioritiesValues,
            &DS::GetBarCodeMaxSearchPrioritiesCurrent, &DS::GetBarCodeMaxSearchPrioritiesDefault,
            &DS::SetBarCodeMaxSearchPrioritiesRangeConstraint, &DS::SetBarCodeMaxSearchPrioritiesConstraint,
            &DS::SetBarCodeMaxSearchPrioritiesCurrent, &DS::ResetBarCodeMaxSearchPriorities,
            &DS::QueryBarCodeMaxSearchPrioritiesSupport));
        routes.push_back(RangeShape(ICAP_BARCODEMAXRETRIES, TWTY_UINT32, &DS::GetBarCodeMaxRetriesValues,
                                    &DS::GetBarCodeMaxRetriesCurrent, &DS::GetBarCodeMaxRetriesDefault,
                                    &DS::SetBarCodeMaxRetriesRangeConstraint, &DS::SetBarCodeMaxRetriesConstraint,
                                    &DS::SetBarCodeMaxRetriesCurrent, &DS::ResetBarCodeMaxRetries,
                                    &DS::QueryBarCodeMaxRetriesSupport));
        routes.push_back(RangeShape(ICAP_BARCODETIMEOUT, TWTY_UINT32, &DS::GetBarCodeTimeoutValues,
                                    &DS::GetBarCodeTimeoutCurrent, &DS::GetBarCodeTimeoutDefault,
                                    &DS::SetBarCodeTimeoutRangeConstraint, &DS::SetBarCodeTimeoutConstraint,
                                    &DS::SetBarCodeTimeoutCurrent, &DS::ResetBarCodeTimeout,
                                    &DS::QueryBarCodeTimeoutSupport));
        routes.push_back(RangeShape(
            ICAP_PATCHCODEMAXSEARCHPRIORITIES, TWTY_UINT32, &DS::GetPatchCodeMaxSearchPrioritiesValues,
            &DS::GetPatchCodeMaxSearchPrioritiesCurrent, &DS::GetPatchCodeMaxSearchPrioritiesDefault,
            &DS::SetPatchCodeMaxSearchPrioritiesRangeConstraint, &DS::SetPatchCodeMaxSearchPrioritiesConstraint,
            &DS::SetPatchCodeMaxSearchPrioritiesCurrent, &DS::ResetPatchCodeMaxSearchPriorities,
            &DS::QueryPatchCodeMaxSearchPrioritiesSupport));
        routes.push_back(RangeShape(ICAP_PATCHCODEMAXRETRIES, TWTY_UINT32, &DS::GetPatchCodeMaxRetriesValues,
                                    &DS::GetPatchCodeMaxRetriesCurrent, &DS::GetPatchCodeMaxRetriesDefault,
                                    &DS::SetPatchCodeMaxRetriesRangeConstraint,
                                    &DS::SetPatchCodeMaxRetriesConstraint, &DS::SetPatchCodeMaxRetriesCurrent,
                                    &DS::ResetPatchCodeMaxRetries, &DS::QueryPatchCodeMaxRetriesSupport));
        routes.push_back(RangeShape(ICAP_PATCHCODETIMEOUT, TWTY_UINT32, &DS::GetPatchCodeTimeoutValues,
                                    &DS::GetPatchCodeTimeoutCurrent, &DS::GetPatchCodeTimeoutDefault,
                                    &DS::SetPatchCodeTimeoutRangeConstraint, &DS::SetPatchCodeTimeoutConstraint,
                                    &DS::SetPatchCodeTimeoutCurrent, &DS::ResetPatchCodeTimeout,
                                    &DS::QueryPatchCodeTimeoutSupport));

        // Lists whose SET takes one value only.
        routes.push_back(OneSetListShape(CAP_JOBCONTROL, TWTY_UINT16, &DS::GetJobControlValues,
                                         &DS::GetJobControlCurrent, &DS::GetJobControlDefault,
                                         &DS::SetJobControlCurrent, &DS::ResetJobControl,
                                         &DS::QueryJobControlSupport));
        routes.push_back(OneSetListShape(ICAP_LAMPSTATE, TWTY_BOOL, &DS::GetLampStateValues,
                                         &DS::GetLampStateCurrent, &DS::GetLampStateDefault,
                                         &DS::SetLampStateCurrent, &DS::ResetLampState, &DS::QueryLampStateSupport));
        routes.push_back(OneSetListShape(ICAP_BITORDER, TWTY_UINT16, &DS::GetBitOrderValues,
                                         &DS::GetBitOrderCurrent, &DS::GetBitOrderDefault, &DS::SetBitOrderCurrent,
                                         &DS::ResetBitOrder, &DS::QueryBitOrderSupport));
        routes.push_back(OneSetListShape(ICAP_LIGHTPATH, TWTY_UINT16, &DS::GetLightPathValues,
                                         &DS::GetLightPathCurrent, &DS::GetLightPathDefault,
                                         &DS::SetLightPathCurrent, &DS::ResetLightPath, &DS::QueryLightPathSupport));
        routes.push_back(OneSetListShape(ICAP_PIXELFLAVOR, TWTY_UINT16, &DS::GetPixelFlavorValues,
                                         &DS::GetPixelFlavorCurrent, &DS::GetPixelFlavorDefault,
                                         &DS::SetPixelFlavorCurrent, &DS::ResetPixelFlavor,
                                         &DS::QueryPixelFlavorSupport));
        routes.push_back(OneSetListShape(ICAP_ROTATION, TWTY_FIX32, &DS::GetRotationValues,
                                         &DS::GetRotationCurrent, &DS::GetRotationDefault, &DS::SetRotationCurrent,
                                         &DS::ResetRotation, &DS::QueryRotationSupport));
        routes.push_back(OneSetListShape(ICAP_BITORDERCODES, TWTY_UINT16, &DS::GetBitOrderCodesValues,
                                         &DS::GetBitOrderCodesCurrent, &DS::GetBitOrderCodesDefault,
                                         &DS::SetBitOrderCodesCurrent, &DS::ResetBitOrderCodes,
                                         &DS::QueryBitOrderCodesSupport));
        routes.push_back(OneSetListShape(ICAP_PIXELFLAVORCODES, TWTY_UINT16, &DS::GetPixelFlavorCodesValues,
                                         &DS::GetPixelFlavorCodesCurrent, &DS::GetPixelFlavorCodesDefault,
                                         &DS::SetPixelFlavorCodesCurrent, &DS::ResetPixelFlavorCodes,
                                         &DS::QueryPixelFlavorCodesSupport));
        routes.push_back(OneSetListShape(ICAP_TIMEFILL, TWTY_UINT16, &DS::GetTimeFillValues,
                                         &DS::GetTimeFillCurrent, &DS::GetTimeFillDefault, &DS::SetTimeFillCurrent,
                                         &DS::ResetTimeFill, &DS::QueryTimeFillSupport));
        {
            // A TW_INT16 in TWAIN, as the range of qualities is.
            Route quality = OneSetListShape(ICAP_JPEGQUALITY, TWTY_INT16, &DS::GetJPEGQualityValues,
                                            &DS::GetJPEGQualityCurrent, &DS::GetJPEGQualityDefault,
                                            &DS::SetJPEGQualityCurrent, &DS::ResetJPEGQuality,
                                            &DS::QueryJPEGQualitySupport);
            quality.Set = [](DS& ds, const CTWAINContainer& container) {
                if (container.ContainerType != TWON_ONEVALUE)
                    ds.ThrowFailure(TWCC_BADVALUE);
                ds.SetJPEGQualityCurrent(ValueOf<TW_UINT16>(container.GetOneValue(), TWTY_UINT16));
            };
            routes.push_back(quality);
        }

        // One values.
        routes.push_back(OneValueShape(CAP_XFERCOUNT, TWTY_INT16, &DS::GetXferCountCurrent,
                                       &DS::GetXferCountDefault, &DS::SetXferCountCurrent, &DS::ResetXferCount,
                                       &DS::QueryXferCountSupport));
        routes.push_back(OneValueShape(CAP_FEEDERENABLED, TWTY_BOOL, &DS::GetFeederEnabledCurrent,
                                       &DS::GetFeederEnabledDefault, &DS::SetFeederEnabledCurrent,
                                       &DS::ResetFeederEnabled, &DS::QueryFeederEnabledSupport));
        routes.push_back(OneValueShape(CAP_AUTOFEED, TWTY_BOOL, &DS::GetAutoFeedCurrent, &DS::GetAutoFeedDefault,
                                       &DS::SetAutoFeedCurrent, &DS::ResetAutoFeed, &DS::QueryAutoFeedSupport));
        routes.push_back(OneValueShape(CAP_INDICATORS, TWTY_BOOL, &DS::GetIndicatorsCurrent,
                                       &DS::GetIndicatorsDefault, &DS::SetIndicatorsCurrent, &DS::ResetIndicators,
                                       &DS::QueryIndicatorsSupport));
        routes.push_back(OneValueShape(CAP_AUTOSCAN, TWTY_BOOL, &DS::GetAutoScanCurrent, &DS::GetAutoScanDefault,
                                       &DS::SetAutoScanCurrent, &DS::ResetAutoScan, &DS::QueryAutoScanSupport));
        routes.push_back(OneValueShape(CAP_DUPLEXENABLED, TWTY_BOOL, &DS::GetDuplexEnabledCurrent,
                                       &DS::GetDuplexEnabledDefault, &DS::SetDuplexEnabledCurrent,
                                       &DS::ResetDuplexEnabled, &DS::QueryDuplexEnabledSupport));
        routes.push_back(OneValueShape(ICAP_AUTOBRIGHT, TWTY_BOOL, &DS::GetAutoBrightCurrent,
                                       &DS::GetAutoBrightDefault, &DS::SetAutoBrightCurrent, &DS::ResetAutoBright,
                                       &DS::QueryAutoBrightSupport));
        routes.push_back(OneValueShape(ICAP_FLASHUSED, TWTY_BOOL, &DS::GetFlashUsedCurrent,
                                       &DS::GetFlashUsedDefault, &DS::SetFlashUsedCurrent, &DS::ResetFlashUsed,
                                       &DS::QueryFlashUsedSupport));
        routes.push_back(OneValueShape(ICAP_GAMMA, TWTY_FIX32, &DS::GetGammaCurrent, &DS::GetGammaDefault,
                                       &DS::SetGammaCurrent, &DS::ResetGamma, &DS::QueryGammaSupport));
        routes.push_back(OneValueShape(ICAP_MAXFRAMES, TWTY_UINT16, &DS::GetMaxFramesCurrent,
                                       &DS::GetMaxFramesDefault, &DS::SetMaxFramesCurrent, &DS::ResetMaxFrames,
                                       &DS::QueryMaxFramesSupport));
        routes.push_back(OneValueShape(ICAP_TILES, TWTY_BOOL, &DS::GetTilesCurrent, &DS::GetTilesDefault,
                                       &DS::SetTilesCurrent, &DS::ResetTiles, &DS::QueryTilesSupport));
        routes.push_back(OneValueShape(ICAP_CCITTKFACTOR, TWTY_UINT16, &DS::GetCCITTKFactorCurrent,
                                       &DS::GetCCITTKFactorDefault, &DS::SetCCITTKFactorCurrent,
                                       &DS::ResetCCITTKFactor, &DS::QueryCCITTKFactorSupport));
        routes.push_back(OneValueShape(ICAP_UNDEFINEDIMAGESIZE, TWTY_BOOL, &DS::GetUndefinedImageSizeCurrent,
                                       &DS::GetUndefinedImageSizeDefault, &DS::SetUndefinedImageSizeCurrent,
                                       &DS::ResetUndefinedImageSize, &DS::QueryUndefinedImageSizeSupport));
        routes.push_back(OneValueShape(ICAP_EXTIMAGEINFO, TWTY_BOOL, &DS::GetExtImageInfoCurrent,
                                       &DS::GetExtImageInfoDefault, &DS::SetExtImageInfoCurrent,
                                       &DS::ResetExtImageInfo, &DS::QueryExtImageInfoSupport));

        // Read-only.
        routes.push_back(ReadOnlyShape(CAP_FEEDERLOADED, TWTY_BOOL, &DS::GetFeederLoaded,
                                       &DS::QueryFeederLoadedSupport));
        routes.push_back(ReadOnlyShape(CAP_TIMEDATE, TWTY_STR32, &DS::GetTimeDate, &DS::QueryTimeDateSupport));
        routes.push_back(ReadOnlyShape(CAP_PAPERDETECTABLE, TWTY_BOOL, &DS::GetPaperDetectable,
                                       &DS::QueryPaperDetectableSupport));
        routes.push_back(ReadOnlyShape(CAP_UICONTROLLABLE, TWTY_BOOL, &DS::GetUIControllable,
                                       &DS::QueryUIControllableSupport));
        routes.push_back(ReadOnlyShape(CAP_DEVICEONLINE, TWTY_BOOL, &DS::GetDeviceOnline,
                                       &DS::QueryDeviceOnlineSupport));
        routes.push_back(ReadOnlyShape(CAP_DUPLEX, TWTY_UINT16, &DS::GetDuplex, &DS::QueryDuplexSupport));
        routes.push_back(ReadOnlyShape(CAP_ENABLEDSUIONLY, TWTY_BOOL, &DS::GetEnableDSUIOnly,
                                       &DS::QueryEnableDSUIOnlySupport));
        routes.push_back(ReadOnlyShape(CAP_CUSTOMDSDATA, TWTY_BOOL, &DS::GetCustomDSData,
                                       &DS::QueryCustomDSDataSupport, true));
        routes.push_back(ReadOnlyShape(CAP_FEEDERALIGNMENT, TWTY_UINT16, &DS::GetFeederAlignment,
                                       &DS::QueryFeederAlignmentSupport, true));
        routes.push_back(ReadOnlyShape(ICAP_PHYSICALWIDTH, TWTY_FIX32, &DS::GetPhysicalWidth,
                                       &DS::QueryPhysicalWidthSupport));
        routes.push_back(ReadOnlyShape(ICAP_PHYSICALHEIGHT, TWTY_FIX32, &DS::GetPhysicalHeight,
                                       &DS::QueryPhysicalHeightSupport));
        routes.push_back(ReadOnlyShape(ICAP_XNATIVERESOLUTION, TWTY_FIX32, &DS::GetXNativeResolution,
                                       &DS::QueryXNativeResolutionSupport));
        routes.push_back(ReadOnlyShape(ICAP_YNATIVERESOLUTION, TWTY_FIX32, &DS::GetYNativeResolution,
                                       &DS::QueryYNativeResolutionSupport));
        routes.push_back(ReadOnlyShape(ICAP_MINIMUMHEIGHT, TWTY_FIX32, &DS::GetMinimumHeight,
                                       &DS::QueryMinimumHeightSupport));
        routes.push_back(ReadOnlyShape(ICAP_MINIMUMWIDTH, TWTY_FIX32, &DS::GetMinimumWidth,
                                       &DS::QueryMinimumWidthSupport));
        routes.push_back(ReadOnlyShape(CAP_SUPPORTEDCAPS, TWTY_UINT16, &DS::GetSupportedCaps,
                                       &DS::QuerySupportedCapsSupport));
        routes.push_back(ReadOnlyShape(ICAP_SUPPORTEDBARCODETYPES, TWTY_UINT16, &DS::GetSupportedBarCodeTypes,
                                       &DS::QuerySupportedBarCodeTypesSupport, true));
        routes.push_back(ReadOnlyShape(ICAP_SUPPORTEDPATCHCODETYPES, TWTY_UINT16, &DS::GetSupportedPatchCodeTypes,
                                       &DS::QuerySupportedPatchCodeTypesSupport));

        // Strings.
        routes.push_back(StringShape(CAP_AUTHOR, TWTY_STR128, &DS::GetAuthor, &DS::SetAuthor,
                                     &DS::QueryAuthorSupport));
        routes.push_back(StringShape(CAP_CAPTION, TWTY_STR255, &DS::GetCaption, &DS::SetCaption,
                                     &DS::QueryCaptionSupport));

        // Arrays.
        routes.push_back(ArrayShape(CAP_EXTENDEDCAPS, &DS::GetExtendedCapsValues, &DS::GetExtendedCapsCurrent,
                                    &DS::GetExtendedCapsDefault, &DS::SetExtendedCapsArray, &DS::ResetExtendedCaps,
                                    &DS::QueryExtendedCapsSupport));
        routes.push_back(ArrayShape(ICAP_CUSTHALFTONE, &DS::GetCustHalfToneValues, &DS::GetCustHalfToneCurrent,
                                    &DS::GetCustHalfToneDefault, &DS::SetCustHalfToneArray, &DS::ResetCustHalfTone,
                                    &DS::QueryCustHalfToneSupport));
        routes.push_back(ArrayShape(ICAP_BARCODESEARCHPRIORITIES, &DS::GetBarCodeSearchPrioritiesValues,
                                    &DS::GetBarCodeSearchPrioritiesCurrent, &DS::GetBarCodeSearchPrioritiesDefault,
                                    &DS::SetBarCodeSearchPrioritiesArray, &DS::ResetBarCodeSearchPriorities,
                                    &DS::QueryBarCodeSearchPrioritiesSupport));
        routes.push_back(ArrayShape(ICAP_PATCHCODESEARCHPRIORITIES, &DS::GetPatchCodeSearchPrioritiesValues,
                                    &DS::GetPatchCodeSearchPrioritiesCurrent,
                                    &DS::GetPatchCodeSearchPrioritiesDefault, &DS::SetPatchCodeSearchPrioritiesArray,
                                    &DS::ResetPatchCodeSearchPriorities, &DS::QueryPatchCodeSearchPrioritiesSupport));

        // Special routes.
        routes.push_back(Route{ICAP_FILTER, Answer(&DS::GetFilterValues), Answer(&DS::GetFilterCurrent),
                               Answer(&DS::GetFilterDefault),
                               [](DS& ds, const CTWAINContainer& container) {
                                   switch (container.ContainerType) {
                                   case TWON_ARRAY:
                                       ds.SetFilterArray(container.GetArray());
                                       return;
                                   case TWON_ONEVALUE:
                                       ds.SetFilterCurrent(ValueOf<TW_UINT16>(container.GetOneValue(), TWTY_UINT16));
                                       return;
                                   default:
                                       ds.ThrowFailure(TWCC_BADVALUE);
                                   }
                               },
                               Answer(&DS::ResetFilter), Support(&DS::QueryFilterSupport)});
        routes.push_back(Route{ICAP_HALFTONES, Answer(&DS::GetHalfTonesValues),
                               Answer(&DS::GetHalfTonesCurrent, TWTY_STR32),
                               Answer(&DS::GetHalfTonesDefault, TWTY_STR32),
                               [](DS& ds, const CTWAINContainer& container) {
                                   switch (container.ContainerType) {
                                   case TWON_ARRAY:
                                       ds.SetHalfTonesArray(container.GetArray());
                                       return;
                                   case TWON_ENUMERATION:
                                       ds.SetHalfTonesConstraint(container.GetEnumeration());
                                       return;
                                   case TWON_ONEVALUE:
                                       ds.SetHalfTonesCurrent(ValueOf<std::string>(container.GetOneValue(), TWTY_STR32));
                                       return;
                                   default:
                                       ds.ThrowFailure(TWCC_BADVALUE);
                                   }
                               },
                               Answer(&DS::ResetHalfTones, TWTY_STR32), Support(&DS::QueryHalfTonesSupport)});
        {
            Route::Fill enumerated = [](DS& ds, CTWAINContainer& container) {
                container.SetEnumeration(ds.GetPrinterStringValues().List);
            };
            routes.push_back(Route{CAP_PRINTERSTRING, enumerated, Answer(&DS::GetPrinterStringCurrent),
                                   Answer(&DS::GetPrinterStringDefault),
                                   SetList(&DS::SetPrinterStringConstraint, &DS::SetPrinterStringCurrent,
                                           TWTY_STR255),
                                   Answer(&DS::ResetPrinterString), Support(&DS::QueryPrinterStringSupport)});
        }
        routes.push_back(Route{ICAP_FRAMES, Answer(&DS::GetFramesValues), Answer(&DS::GetFramesCurrent, TWTY_FRAME),
                               Answer(&DS::GetFramesDefault, TWTY_FRAME), setFrames,
                               Answer(&DS::ResetFrames, TWTY_FRAME), Support(&DS::QueryFramesSupport)});
        routes.push_back(Route{ICAP_IMAGEDATASET, imageDataSet, imageDataSet,
                               Answer(&DS::GetImageDataSetDefault, TWTY_UINT32),
                               [](DS& ds, const CTWAINContainer& container) {
                                   switch (container.ContainerType) {
                                   case TWON_ARRAY:
                                       ds.SetImageDataSetArray(container.GetArray());
                                       return;
                                   case TWON_ONEVALUE:
                                       ds.SetImageDataSetCurrent(
                                           ValueOf<TW_UINT32>(container.GetOneValue(), TWTY_UINT32));
                                       return;
                                   case TWON_RANGE:
                                       ds.SetImageDataSetRangeConstraint(container.GetRange());
                                       return;
                                   default:
                                       ds.ThrowFailure(TWCC_BADVALUE);
                                   }
                               },
                               Answer(&DS::ResetImageDataSet, TWTY_UINT32), Support(&DS::QueryImageDataSetSupport)});
        routes.push_back(ActionShape(CAP_CLEARPAGE, &DS::GetClearPage, &DS::QueryClearPageSupport));
        routes.push_back(ActionShape(CAP_FEEDPAGE, &DS::GetFeedPage, &DS::QueryFeedPageSupport));
        routes.push_back(ActionShape(CAP_REWINDPAGE, &DS::GetRewindPage, &DS::QueryRewindPageSupport));

        // Capabilities held in members.
        routes.push_back(flagShape(CAP_THUMBNAILSENABLED, &DS::m_ThumbnailsEnabled));
        routes.push_back(MemberShape(
            CAP_PRINTERENABLED,
            [printer](DS& ds) { return CTWAINOneValue(ds.m_PrinterEnabled[printer(ds)] ? 1u : 0u, TWTY_BOOL); },
            [printer](DS& ds, const CTWAINOneValue& value) {
                ds.m_PrinterEnabled[printer(ds)] = (value.Value & 0xFFFF) != 0 ? 1 : 0;
            },
            CTWAINOneValue(0u, TWTY_BOOL)));
        routes.push_back(MemberShape(
            CAP_PRINTERINDEX,
            [printer](DS& ds) {
                return CTWAINOneValue(static_cast<TW_UINT32>(ds.m_PrinterIndex[printer(ds)]), TWTY_UINT32);
            },
            [printer](DS& ds, const CTWAINOneValue& value) {
                ds.m_PrinterIndex[printer(ds)] = static_cast<TW_INT32>(ValueOf<TW_UINT32>(value, TWTY_UINT32));
            },
            CTWAINOneValue(0u, TWTY_UINT32)));
        routes.push_back(MemberShape(
            CAP_PRINTERSUFFIX,
            [printer](DS& ds) { return CTWAINOneValue(ds.m_PrinterSuffix[printer(ds)], TWTY_STR255); },
            [printer](DS& ds, const CTWAINOneValue& value) {
                ds.m_PrinterSuffix[printer(ds)] = ValueOf<std::string>(value, TWTY_STR255);
            },
            CTWAINOneValue(std::string("0000"), TWTY_STR255)));
        routes.push_back(flagShape(ICAP_BARCODEDETECTIONENABLED, &DS::m_BarCodeDetectionEnabled));
        routes.push_back(flagShape(ICAP_PATCHCODEDETECTIONENABLED, &DS::m_PatchCodeDetectionEnabled));
        routes.push_back(flagShape(ICAP_AUTOMATICBORDERDETECTION, &DS::m_AutomaticBorderDetection));
        routes.push_back(MemberShape(
            ICAP_AUTOMATICDESKEW, [](DS& ds) { return CTWAINOneValue(ds.m_AutomaticDeskew ? 1u : 0u, TWTY_BOOL); },
            [](DS& ds, const CTWAINOneValue& value) { ds.m_AutomaticDeskew = (value.Value & 0xFFFF) != 0; },
            CTWAINOneValue(0u, TWTY_BOOL)));
        routes.push_back(flagShape(CUSTCAP_MULTIPAGETIFF, &DS::m_MultipageTIFF));

        // Listed so that it is not taken for a custom id, but it has no value.
        Route::Fill nothing = [](DS&, CTWAINContainer&) {};
        routes.push_back(Route{CAP_SUPPORTEDCAPSEXT, nothing, nothing, nothing, nullptr, nothing,
                               [](DS&) { return TW_INT32{0}; }});
        return routes;
    }();

    for (const Route& route : kRoutes) {
        if (route.Id == id)
            return &route;
    }
    return nullptr;
}

void CTWAINDataSource::OnCapability(TW_UINT16 msg, TW_CAPABILITY* capability)
{
    const TW_UINT16 id = capability->Cap;

    if (!IsCapSupported(id)) {
        if (msg == MSG_QUERYSUPPORT) {
            HandOver(*this, capability, CTWAINContainer(CTWAINOneValue(0u, TWTY_INT32)));
            return;
        }
        ThrowFailure(TWCC_CAPUNSUPPORTED);
    }

    // Once the application has enabled the source only the capabilities it
    // negotiated for later states may change.
    if (m_State >= 5 && (msg == MSG_SET || msg == MSG_RESET)) {
        bool allowed = false;
        try {
            allowed = IsCapSupported(CAP_EXTENDEDCAPS) && GetExtendedCapsValues().Contains(CTWAINOneValue(id));
        } catch (...) {
            allowed = false;
        }
        if (!allowed)
            ThrowFailure(TWCC_SEQERROR);
    }

    const TW_INT32 flags = QueryCapabilitySupport(id);
    TW_INT32 needed = 0;
    switch (msg) {
    case MSG_GET:
        needed = TWQC_GET;
        break;
    case MSG_GETCURRENT:
        needed = TWQC_GETCURRENT;
        break;
    case MSG_GETDEFAULT:
        needed = TWQC_GETDEFAULT;
        break;
    case MSG_SET:
        needed = TWQC_SET;
        break;
    case MSG_RESET:
        needed = TWQC_RESET;
        break;
    default:
        break;
    }
    if ((flags & needed) != needed)
        ThrowFailure(TWCC_CAPBADOPERATION);

    switch (msg) {
    case MSG_GET:
        GetCapability(capability);
        return;
    case MSG_GETCURRENT:
        GetCapabilityCurrent(capability);
        return;
    case MSG_GETDEFAULT:
        GetCapabilityDefault(capability);
        return;
    case MSG_SET:
        SetCapability(capability);
        return;
    case MSG_RESET:
        ResetCapability(capability);
        return;
    case MSG_QUERYSUPPORT:
        HandOver(*this, capability,
                 CTWAINContainer(CTWAINOneValue(static_cast<TW_UINT32>(QueryCapabilitySupport(id)), TWTY_INT32)));
        return;
    default:
        ThrowFailure(TWCC_BADPROTOCOL);
    }
}

void CTWAINDataSource::GetCapability(TW_CAPABILITY* capability)
{
    AnswerCapability(*this, capability, FindCapabilityRoute(capability->Cap), &CapabilityRoute::Get,
                     &CTWAINDataSource::GetCustomCapValues);
}

void CTWAINDataSource::GetCapabilityCurrent(TW_CAPABILITY* capability)
{
    AnswerCapability(*this, capability, FindCapabilityRoute(capability->Cap), &CapabilityRoute::GetCurrent,
                     &CTWAINDataSource::GetCustomCapCurrent);
}

void CTWAINDataSource::GetCapabilityDefault(TW_CAPABILITY* capability)
{
    AnswerCapability(*this, capability, FindCapabilityRoute(capability->Cap), &CapabilityRoute::GetDefault,
                     &CTWAINDataSource::GetCustomCapDefault);
}

void CTWAINDataSource::SetCapability(TW_CAPABILITY* capability)
{
    const TW_UINT16 id = capability->Cap;
    CTWAINContainer container(*capability);
    const CapabilityRoute* route = FindCapabilityRoute(id);
    if (route && route->Set)
        route->Set(*this, container);
    else if (!SetCustomCap(id, container))
        ThrowFailure(TWCC_CAPUNSUPPORTED);
}

void CTWAINDataSource::ResetCapability(TW_CAPABILITY* capability)
{
    AnswerCapability(*this, capability, FindCapabilityRoute(capability->Cap), &CapabilityRoute::Reset,
                     &CTWAINDataSource::ResetCustomCap);
}

TW_INT32 CTWAINDataSource::QueryCapabilitySupport(TW_UINT16 id)
{
    if (const CapabilityRoute* route = FindCapabilityRoute(id))
        return route->QuerySupport(*this);
    TW_INT32 flags = 0;
    if (!QueryCustomCapSupport(id, flags))
        ThrowFailure(TWCC_CAPUNSUPPORTED);
    return flags;
}

} // namespace Trellis
