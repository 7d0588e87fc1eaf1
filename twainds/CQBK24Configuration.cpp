// The scanner's settings by key: the framework's keys, then one key for
// each device setting the framework does not keep, then the filter list
// as "icapFilter.0", "icapFilter.1", ... ending in -1. Both directions go
// through the capabilities' own accessors, so the device's rules judge
// every stored value.
#include "twainds/CQBK24DataSource.h"

#include "twainfw/CTWAINMemoryStorage.h"
#include "twainfw/CTWAINStorage.h"
#include "twainfw/TWAINException.h"

#include <cstdio>
#include <limits>

namespace {

using Trellis::CTWAINStorage;

// A failure of the framework's family ends this key only: what the reset
// gave stays, and the next key follows.
template <class Apply>
void RestoreKey(Apply apply)
{
    try {
        apply();
    } catch (const Trellis::CTWAINException&) {
    }
}

std::string FilterKey(int index)
{
    char key[32];
    std::snprintf(key, sizeof(key), "icapFilter.%d", index);
    return key;
}

// The memory image reads a missing key as 0, which would be a filter item
// for ever; the list ends at the first missing index there, as it does in
// the registry (whose read of a missing key throws).
bool FilterKeyPresent(CTWAINStorage& storage, const std::string& key)
{
    auto* memory = dynamic_cast<Trellis::CTWAINMemoryStorage*>(&storage);
    return !memory || memory->Contains(key, ICAP_FILTER);
}

// A stored enumeration item is a 16-bit value; anything wider is refused
// rather than cut to a value that was never stored.
TW_UINT16 ItemValue(TW_INT32 stored)
{
    if (stored < 0 || stored > std::numeric_limits<TW_UINT16>::max())
        throw Trellis::CTWAINStorageException();
    return static_cast<TW_UINT16>(stored);
}

// The JPEG quality is a signed 16-bit value (the TWJQ_ codes are negative).
TW_UINT16 QualityValue(TW_INT32 stored)
{
    if (stored < std::numeric_limits<TW_INT16>::min() || stored > std::numeric_limits<TW_INT16>::max())
        throw Trellis::CTWAINStorageException();
    return static_cast<TW_UINT16>(static_cast<TW_INT16>(stored));
}

// The stored value of a row, as its setter takes it.
TW_UINT16 StoredItem(CTWAINStorage& storage, const char* key, TW_UINT16 id)
{
    return ItemValue(storage.ReadInt(key, id));
}

TW_UINT16 StoredQuality(CTWAINStorage& storage, const char* key, TW_UINT16 id)
{
    return QualityValue(storage.ReadInt(key, id));
}

float StoredFloat(CTWAINStorage& storage, const char* key, TW_UINT16 id) { return storage.ReadFloat(key, id); }

bool StoredBool(CTWAINStorage& storage, const char* key, TW_UINT16 id) { return storage.ReadBool(key, id); }

std::string StoredString(CTWAINStorage& storage, const char* key, TW_UINT16 id) { return storage.ReadString(key, id); }

// One row with accessors: the reset first (a failure of it ends the
// restore), then, protected, the stored value through the setter.
template <class Reset, class Arg, class Value>
void RestoreRow(CQBK24DataSource& source, CTWAINStorage& storage, const char* key, TW_UINT16 id,
                Reset (CQBK24DataSource::*reset)(), void (CQBK24DataSource::*set)(Arg),
                Value (*read)(CTWAINStorage&, const char*, TW_UINT16))
{
    if (!source.IsCapSupported(id))
        return;
    (source.*reset)();
    RestoreKey([&] { (source.*set)(read(storage, key, id)); });
}

} // namespace

void CQBK24DataSource::SaveConfiguration(CTWAINStorage& storage)
{
    Trellis::CTWAINDataSource::SaveConfiguration(storage);

    if (IsCapSupported(ICAP_BITDEPTHREDUCTION))
        storage.WriteInt("icapBitDepthReduction", GetBitDepthReductionCurrent(), ICAP_BITDEPTHREDUCTION);
    if (IsCapSupported(ICAP_BRIGHTNESS))
        storage.WriteFloat("icapBrightness", GetBrightnessCurrent(), ICAP_BRIGHTNESS);
    if (IsCapSupported(ICAP_CONTRAST))
        storage.WriteFloat("icapContrast", GetContrastCurrent(), ICAP_CONTRAST);
    if (IsCapSupported(ICAP_JPEGQUALITY))
        storage.WriteInt("icapJPEGQuality", static_cast<TW_INT16>(GetJPEGQualityCurrent()), ICAP_JPEGQUALITY);
    if (IsCapSupported(CAP_AUTOFEED))
        storage.WriteBool("capAutoFeed", GetAutoFeedCurrent(), CAP_AUTOFEED);
    if (IsCapSupported(CAP_DUPLEXENABLED))
        storage.WriteBool("capDuplexEnabled", GetDuplexEnabledCurrent(), CAP_DUPLEXENABLED);
    if (IsCapSupported(ICAP_AUTOMATICDESKEW))
        storage.WriteBool("icapAutomaticDeskew", m_AutomaticDeskew, ICAP_AUTOMATICDESKEW);
    if (IsCapSupported(ICAP_HALFTONES))
        storage.WriteString("icapHalfTones", GetHalfTonesCurrent(), ICAP_HALFTONES);
    if (IsCapSupported(ICAP_NOISEFILTER))
        storage.WriteInt("icapNoiseFilter", GetNoiseFilterCurrent(), ICAP_NOISEFILTER);
    if (IsCapSupported(ICAP_THRESHOLD))
        storage.WriteFloat("icapThreshold", GetThresholdCurrent(), ICAP_THRESHOLD);
    if (IsCapSupported(CUSTCAP_DYNAMICTHRESHOLD))
        storage.WriteFloat("custDynamicThreshold", GetDynamicThresholdCurrent(), CUSTCAP_DYNAMICTHRESHOLD);
    if (IsCapSupported(CUSTCAP_DESPECKLE))
        storage.WriteInt("custDespeckle", GetDespeckleCurrent(), CUSTCAP_DESPECKLE);
    if (IsCapSupported(CUSTCAP_DESPECKLEVALUE))
        storage.WriteFloat("custDespeckleValue", GetDespeckleValueCurrent(), CUSTCAP_DESPECKLEVALUE);
    if (IsCapSupported(CUSTCAP_INVERTIMAGE))
        storage.WriteBool("custInvertImage", InvertImage, CUSTCAP_INVERTIMAGE);
    if (IsCapSupported(CUSTCAP_MIRRORIMAGE))
        storage.WriteBool("custMirrorImage", MirrorImage, CUSTCAP_MIRRORIMAGE);
    if (IsCapSupported(CUSTCAP_DOUBLEFEEDDETECTION))
        storage.WriteBool("custDoubleFeedDetection", DoubleFeedDetection, CUSTCAP_DOUBLEFEEDDETECTION);
    if (IsCapSupported(CUSTCAP_DOUBLEFEEDSENSITIVITY))
        storage.WriteInt("custDoubleFeedSensitivity", GetDoubleFeedSensitivityCurrent(), CUSTCAP_DOUBLEFEEDSENSITIVITY);
    if (IsCapSupported(CUSTCAP_DOUBLEFEEDACTION))
        storage.WriteInt("custDoubleFeedAction", GetDoubleFeedActionCurrent(), CUSTCAP_DOUBLEFEEDACTION);
    if (IsCapSupported(CUSTCAP_SKEWACTION))
        storage.WriteInt("custSkewAction", GetSkewActionCurrent(), CUSTCAP_SKEWACTION);
    if (IsCapSupported(CUSTCAP_AUTOMATICSEPARATION))
        storage.WriteBool("custAutomaticSeparation", AutoSeparation, CUSTCAP_AUTOMATICSEPARATION);
    if (IsCapSupported(CUSTCAP_AUTOCROPLENGTH))
        storage.WriteBool("custAutoCropLength", AutoCropLength, CUSTCAP_AUTOCROPLENGTH);
    if (IsCapSupported(CUSTCAP_AUTOCROPWIDTH))
        storage.WriteBool("custAutoCropWidth", AutoCropWidth, CUSTCAP_AUTOCROPWIDTH);
    if (IsCapSupported(CUSTCAP_LONGDOCSUPPORT))
        storage.WriteBool("custLongDocSupport", LongDocument, CUSTCAP_LONGDOCSUPPORT);

    if (IsCapSupported(ICAP_FILTER)) {
        const Trellis::CTWAINArray filters = GetFilterCurrent().GetArray();
        int index = 0;
        for (const Trellis::CTWAINOneValue& item : filters.m_List)
            storage.WriteInt(FilterKey(index++), item.GetUInt16(), ICAP_FILTER);
        storage.WriteInt(FilterKey(index), -1, ICAP_FILTER);
    }
}

void CQBK24DataSource::RestoreConfiguration(CTWAINStorage& storage)
{
    // Long documents first: the physical height they allow decides the page
    // sizes and frames that the framework's keys bring back.
    RestoreFlag(storage, "custLongDocSupport", CUSTCAP_LONGDOCSUPPORT, LongDocument);

    Trellis::CTWAINDataSource::RestoreConfiguration(storage);

    using DS = CQBK24DataSource;
    RestoreRow(*this, storage, "icapBitDepthReduction", ICAP_BITDEPTHREDUCTION, &DS::ResetBitDepthReduction,
               &DS::SetBitDepthReductionCurrent, StoredItem);
    RestoreRow(*this, storage, "icapBrightness", ICAP_BRIGHTNESS, &DS::ResetBrightness, &DS::SetBrightnessCurrent,
               StoredFloat);
    RestoreRow(*this, storage, "icapContrast", ICAP_CONTRAST, &DS::ResetContrast, &DS::SetContrastCurrent, StoredFloat);
    RestoreRow(*this, storage, "icapJPEGQuality", ICAP_JPEGQUALITY, &DS::ResetJPEGQuality, &DS::SetJPEGQualityCurrent,
               StoredQuality);
    RestoreRow(*this, storage, "capAutoFeed", CAP_AUTOFEED, &DS::ResetAutoFeed, &DS::SetAutoFeedCurrent, StoredBool);
    RestoreRow(*this, storage, "capDuplexEnabled", CAP_DUPLEXENABLED, &DS::ResetDuplexEnabled,
               &DS::SetDuplexEnabledCurrent, StoredBool);
    RestoreFlag(storage, "icapAutomaticDeskew", ICAP_AUTOMATICDESKEW, m_AutomaticDeskew);
    RestoreRow(*this, storage, "icapHalfTones", ICAP_HALFTONES, &DS::ResetHalfTones, &DS::SetHalfTonesCurrent,
               StoredString);
    RestoreRow(*this, storage, "icapNoiseFilter", ICAP_NOISEFILTER, &DS::ResetNoiseFilter, &DS::SetNoiseFilterCurrent,
               StoredItem);
    RestoreRow(*this, storage, "icapThreshold", ICAP_THRESHOLD, &DS::ResetThreshold, &DS::SetThresholdCurrent,
               StoredFloat);
    RestoreRow(*this, storage, "custDynamicThreshold", CUSTCAP_DYNAMICTHRESHOLD, &DS::ResetDynamicThreshold,
               &DS::SetDynamicThresholdCurrent, StoredFloat);
    RestoreRow(*this, storage, "custDespeckle", CUSTCAP_DESPECKLE, &DS::ResetDespeckle, &DS::SetDespeckleCurrent,
               StoredItem);
    RestoreRow(*this, storage, "custDespeckleValue", CUSTCAP_DESPECKLEVALUE, &DS::ResetDespeckleValue,
               &DS::SetDespeckleValueCurrent, StoredFloat);
    RestoreFlag(storage, "custInvertImage", CUSTCAP_INVERTIMAGE, InvertImage);
    RestoreFlag(storage, "custMirrorImage", CUSTCAP_MIRRORIMAGE, MirrorImage);
    RestoreFlag(storage, "custDoubleFeedDetection", CUSTCAP_DOUBLEFEEDDETECTION, DoubleFeedDetection);
    RestoreRow(*this, storage, "custDoubleFeedSensitivity", CUSTCAP_DOUBLEFEEDSENSITIVITY,
               &DS::ResetDoubleFeedSensitivity, &DS::SetDoubleFeedSensitivityCurrent, StoredItem);
    RestoreRow(*this, storage, "custDoubleFeedAction", CUSTCAP_DOUBLEFEEDACTION, &DS::ResetDoubleFeedAction,
               &DS::SetDoubleFeedActionCurrent, StoredItem);
    RestoreRow(*this, storage, "custSkewAction", CUSTCAP_SKEWACTION, &DS::ResetSkewAction, &DS::SetSkewActionCurrent,
               StoredItem);
    RestoreFlag(storage, "custAutomaticSeparation", CUSTCAP_AUTOMATICSEPARATION, AutoSeparation);
    RestoreFlag(storage, "custAutoCropLength", CUSTCAP_AUTOCROPLENGTH, AutoCropLength);
    RestoreFlag(storage, "custAutoCropWidth", CUSTCAP_AUTOCROPWIDTH, AutoCropWidth);

    if (IsCapSupported(ICAP_FILTER))
        RestoreFilters(storage);
}

void CQBK24DataSource::RestoreFlag(CTWAINStorage& storage, const char* key, TW_UINT16 capability, bool& flag)
{
    if (!IsCapSupported(capability))
        return;
    RestoreKey([&] {
        flag = false;
        flag = storage.ReadBool(key, capability);
    });
}

void CQBK24DataSource::RestoreFilters(CTWAINStorage& storage)
{
    Trellis::CTWAINArray filters;
    RestoreKey([&] {
        ResetFilter();
        for (int index = 0;; ++index) {
            const std::string key = FilterKey(index);
            if (!FilterKeyPresent(storage, key))
                break;
            const TW_INT32 value = storage.ReadInt(key, ICAP_FILTER);
            if (value < 0)
                break;
            const Trellis::CTWAINOneValue item(ItemValue(value));
            if (!filters.Contains(item))
                filters.Append(item);
        }
    });
    // Outside the protection: a stored list the device refuses, or takes
    // only in part, is the caller's to hear about; every other key is in
    // force by now.
    if (filters.GetCount() > 0)
        SetFilterArray(filters);
}
