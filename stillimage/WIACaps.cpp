#include "stillimage/WIACaps.h"

#include "diag/OperationTrace.h"
#include "stillimage/DataTraceText.h"
#include "stillimage/WiaPropertyNames.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

// A record with the name, id and PROPSPEC set and everything else zero.
WiaPropEntry NewEntry(const WCHAR* name, PROPID id)
{
    WiaPropEntry entry{};
    // A name has at most 254 characters; a longer one is cut, never overrun.
    size_t length = 0;
    while (name && name[length] && length < 254)
        ++length;
    std::copy(name, name + length, entry.name);
    entry.name[length] = 0;
    entry.id = id;
    PropVariantInit(&entry.value);
    entry.spec.ulKind = PRSPEC_PROPID;
    entry.spec.propid = id;
    return entry;
}

void Put(WiaPropTable& table, const WiaPropEntry& entry) { table[entry.id] = entry; }

void LongValue(WiaPropEntry& entry, LONG value)
{
    entry.value.vt = VT_I4;
    entry.value.lVal = value;
}

// The driver's name comparison: case-sensitive, whole text.
bool SameName(BSTR left, BSTR right)
{
    UINT length = SysStringLen(left);
    return length == SysStringLen(right) && std::equal(left, left + length, right);
}

// Adds each value that is not there yet: a list is filled once.
void FillOnce(std::vector<LONG>& list, std::initializer_list<LONG> values)
{
    if (list.empty())
        list.assign(values);
}

} // namespace

CWIACaps::CWIACaps() : CTraceClient(u"WIA Caps")
{
    for (const WiaPropertyName& row : WiaPropertyNames())
        m_propertyNames[row.id] = row.name; // a later row of the same id wins
    m_firmwareVersion = SysAllocString(u"0.0.0.1");
    if (!m_firmwareVersion)
        _com_issue_error(E_OUTOFMEMORY);
}

CWIACaps::~CWIACaps()
{
    m_rootTable.clear();
    m_feederTable.clear();
    m_propertyNames.clear();
    SysFreeString(m_firmwareVersion);
}

void CWIACaps::AddPropLong(WiaPropTable& table, const WCHAR* name, PROPID id, LONG value)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropLong Entered.");
    WiaPropEntry entry = NewEntry(name, id);
    LongValue(entry, value);
    entry.info.lAccessFlags = WIA_PROP_READ | WIA_PROP_NONE;
    entry.info.vt = VT_I4;
    Put(table, entry);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropLong Exit.");
}

void CWIACaps::AddPropBSTR(WiaPropTable& table, BSTR value)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropBSTR Entered.");
    WiaPropEntry entry = NewEntry(u"Firmware Version", WIA_DPA_FIRMWARE_VERSION);
    entry.value.vt = VT_BSTR;
    entry.value.bstrVal = value;
    entry.info.lAccessFlags = WIA_PROP_READ | WIA_PROP_NONE;
    entry.info.vt = VT_BSTR;
    Put(table, entry);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropBSTR Exit.");
}

void CWIACaps::AddPropGUID(WiaPropTable& table, GUID* value)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropGUID Entered.");
    WiaPropEntry entry = NewEntry(u"Preferred Format", WIA_IPA_PREFERRED_FORMAT);
    entry.value.vt = VT_CLSID;
    entry.value.puuid = value;
    entry.info.lAccessFlags = WIA_PROP_READ | WIA_PROP_NONE;
    entry.info.vt = VT_CLSID;
    Put(table, entry);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropGUID Exit.");
}

void CWIACaps::AddPropFlag(WiaPropTable& table, const WCHAR* name, PROPID id, LONG nominal, LONG validBits,
                           ULONG access)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropFlag Entered.");
    WiaPropEntry entry = NewEntry(name, id);
    LongValue(entry, nominal);
    entry.info.lAccessFlags = access | WIA_PROP_FLAG;
    entry.info.vt = VT_I4;
    entry.info.ValidVal.Flag.Nom = nominal;
    entry.info.ValidVal.Flag.ValidBits = validBits;
    Put(table, entry);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropFlag Exit.");
}

void CWIACaps::AddPropRange(WiaPropTable& table, const WCHAR* name, PROPID id, LONG minimum, LONG maximum, LONG nominal)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropRange Entered.");
    WiaPropEntry entry = NewEntry(name, id);
    LongValue(entry, nominal);
    entry.info.lAccessFlags = WIA_PROP_RW | WIA_PROP_RANGE;
    entry.info.vt = VT_I4;
    entry.info.ValidVal.Range.Min = minimum;
    entry.info.ValidVal.Range.Nom = nominal;
    entry.info.ValidVal.Range.Max = maximum;
    entry.info.ValidVal.Range.Inc = 1;
    Put(table, entry);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropRange Exit.");
}

void CWIACaps::AddPropList(WiaPropTable& table, const WCHAR* name, PROPID id, LONG nominal, LONG* listData,
                           LONG listCount)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropList Entered.");
    WiaPropEntry entry = NewEntry(name, id);
    LongValue(entry, nominal);
    entry.info.lAccessFlags = WIA_PROP_RW | WIA_PROP_LIST;
    entry.info.vt = VT_I4;
    entry.info.ValidVal.List.cNumList = listCount;
    entry.info.ValidVal.List.Nom = nominal;
    entry.info.ValidVal.List.pList = reinterpret_cast<BYTE*>(listData);
    Put(table, entry);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropList Exit.");
}

void CWIACaps::AddPropGUIDList(WiaPropTable& table, GUID* formatData, LONG count)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropGUIDList Entered.");
    // The nominal format is the second of the list; a shorter list has no
    // second entry to point at, so the record is left out.
    if (formatData && count >= 2) {
        WiaPropEntry entry = NewEntry(u"Format", WIA_IPA_FORMAT);
        entry.value.vt = VT_CLSID;
        entry.value.puuid = &formatData[1];
        entry.info.lAccessFlags = WIA_PROP_RW | WIA_PROP_LIST;
        entry.info.vt = VT_CLSID;
        entry.info.ValidVal.ListGuid.cNumList = count;
        entry.info.ValidVal.ListGuid.Nom = formatData[1];
        entry.info.ValidVal.ListGuid.pList = formatData;
        Put(table, entry);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddPropGUIDList Exit.");
}

HRESULT CWIACaps::InitializeCaps()
{
    TraceEntered(*this, u"InitializeCaps");
    FillOnce(m_resolutionList, {100, 200, 300, 400, 500, 600});
    FillOnce(m_dataTypeList, {WIA_DATA_THRESHOLD, WIA_DATA_GRAYSCALE, WIA_DATA_COLOR});
    FillOnce(m_compressionList, {WIA_COMPRESSION_NONE});
    FillOnce(m_mediaTypeList, {TYMED_FILE, TYMED_CALLBACK});
    if (m_formatList.empty())
        m_formatList.assign({WiaImgFmt_BMP, WiaImgFmt_MEMORYBMP});
    FillOnce(m_previewList, {WIA_FINAL_SCAN, WIA_PREVIEW_SCAN});

    HRESULT hr = InitializeRootCaps();
    if (hr == S_OK)
        hr = InitializeFeederCaps();
    TraceExit(*this, u"InitializeCaps", hr);
    return hr;
}

HRESULT CWIACaps::InitializeRootCaps()
{
    TraceEntered(*this, u"InitializeRootCaps");
    WiaPropTable& t = m_rootTable;
    t.clear();
    AddPropLong(t, u"Connect Status", WIA_DPA_CONNECT_STATUS, WIA_DEVICE_CONNECTED);
    AddPropLong(t, u"Horizontal Optical Resolution", WIA_DPS_OPTICAL_XRES, m_xOpticalResolution);
    AddPropLong(t, u"Vertical Optical Resolution", WIA_DPS_OPTICAL_YRES, m_yOpticalResolution);
    AddPropLong(t, u"Access Rights", WIA_IPA_ACCESS_RIGHTS, WIA_ITEM_READ | WIA_ITEM_WRITE);
    AddPropLong(t, u"Max Scan Time", WIA_DPS_MAX_SCAN_TIME, m_maxScanTime);
    AddPropBSTR(t, m_firmwareVersion);
    AddPropLong(t, u"Show preview control", WIA_DPS_SHOW_PREVIEW_CONTROL, WIA_SHOW_PREVIEW_CONTROL);
    AddPropList(t, u"Preview", WIA_DPS_PREVIEW, WIA_FINAL_SCAN, m_previewList.data(),
                static_cast<LONG>(m_previewList.size()));
    AddPropFlag(t, u"Document Handling Capabilities", WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES,
                FEED | DUP | DETECT_FEED | DETECT_DUP, FEED | DUP | DETECT_FEED | DETECT_DUP, WIA_PROP_READ);
    AddPropLong(t, u"Horizontal Sheet Feed Size", WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE, m_horizontalSheetFeedSize);
    AddPropLong(t, u"Vertical Sheet Feed Size", WIA_DPS_VERTICAL_SHEET_FEED_SIZE, m_verticalSheetFeedSize);
    AddPropFlag(t, u"Document Handling Status", WIA_DPS_DOCUMENT_HANDLING_STATUS, FEED_READY, FEED_READY | DUP_READY,
                WIA_PROP_READ);
    AddPropFlag(t, u"Document Handling Select", WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER, FEEDER | DUPLEX | FRONT_FIRST,
                WIA_PROP_RW);
    AddPropLong(t, u"Sheet Feeder Registration", WIA_DPS_SHEET_FEEDER_REGISTRATION, CENTERED);
    AddPropRange(t, u"Pages", WIA_DPS_PAGES, 0, m_maxPages, 0);
    TraceExit(*this, u"InitializeRootCaps", S_OK);
    return S_OK;
}

HRESULT CWIACaps::InitializeFeederCaps()
{
    TraceEntered(*this, u"InitializeFeederCaps");
    WiaPropTable& t = m_feederTable;
    t.clear();
    InitializeImageSettings(t);
    InitializeImageAttributes(t);

    // The scan rectangle's bounds at the default resolutions.
    LONG xExtentMax = m_xResolution * m_horizontalSheetFeedSize / 1000;
    LONG yExtentMax = m_yResolution * m_verticalSheetFeedSize / 1000;
    AddPropRange(t, u"Horizontal Extent", WIA_IPS_XEXTENT, 1, xExtentMax, m_xExtent);
    AddPropRange(t, u"Vertical Extent", WIA_IPS_YEXTENT, 1, yExtentMax, m_yExtent);
    AddPropRange(t, u"Horizontal Start Position", WIA_IPS_XPOS, 0, xExtentMax - 1, m_xPosition);
    AddPropRange(t, u"Vertical Start Position", WIA_IPS_YPOS, 0, yExtentMax - 1, m_yPosition);
    AddPropLong(t, u"Access Rights", WIA_IPA_ACCESS_RIGHTS, WIA_ITEM_READ | WIA_ITEM_WRITE);
    AddPropList(t, u"Media Type", WIA_IPA_TYMED, TYMED_CALLBACK, m_mediaTypeList.data(),
                static_cast<LONG>(m_mediaTypeList.size()));
    AddPropGUIDList(t, m_formatList.data(), static_cast<LONG>(m_formatList.size()));
    AddPropFlag(t, u"Current Intent", WIA_IPS_CUR_INTENT, WIA_INTENT_IMAGE_TYPE_TEXT,
                WIA_INTENT_IMAGE_TYPE_COLOR | WIA_INTENT_IMAGE_TYPE_GRAYSCALE | WIA_INTENT_IMAGE_TYPE_TEXT |
                    WIA_INTENT_MINIMIZE_SIZE | WIA_INTENT_MAXIMIZE_QUALITY,
                WIA_PROP_RW);
    TraceExit(*this, u"InitializeFeederCaps", S_OK);
    return S_OK;
}

HRESULT CWIACaps::InitializeImageSettings(WiaPropTable& t)
{
    TraceEntered(*this, u"InitializeImageSettings");
    LONG resolutionCount = static_cast<LONG>(m_resolutionList.size());
    AddPropList(t, u"Vertical Resolution", WIA_IPS_YRES, m_yResolution, m_resolutionList.data(), resolutionCount);
    AddPropList(t, u"Horizontal Resolution", WIA_IPS_XRES, m_xResolution, m_resolutionList.data(), resolutionCount);
    AddPropRange(t, u"Brightness", WIA_IPS_BRIGHTNESS, 0, 100, m_brightness);
    AddPropRange(t, u"Contrast", WIA_IPS_CONTRAST, 0, 100, m_contrast);
    AddPropLong(t, u"Photometric Interpretation", WIA_IPS_PHOTOMETRIC_INTERP, WIA_PHOTO_WHITE_1);
    AddPropLong(t, u"Lamp Warm up Time", WIA_IPS_WARM_UP_TIME, m_lampWarmUpTime);
    AddPropRange(t, u"Threshold", WIA_IPS_THRESHOLD, 0, 100, m_threshold);
    TraceExit(*this, u"InitializeImageSettings", S_OK);
    return S_OK;
}

HRESULT CWIACaps::InitializeImageAttributes(WiaPropTable& t)
{
    TraceEntered(*this, u"InitializeImageAttributes");
    AddPropLong(t, u"Pixels Per Line", WIA_IPA_PIXELS_PER_LINE, m_pixelsPerLine);
    AddPropLong(t, u"Buffer Size", WIA_IPA_MIN_BUFFER_SIZE, m_bufferSize);
    AddPropLong(t, u"Item Size", WIA_IPA_ITEM_SIZE, m_itemSize);
    AddPropLong(t, u"Number of Lines", WIA_IPA_NUMBER_OF_LINES, m_numberOfLines);
    AddPropLong(t, u"Planar", WIA_IPA_PLANAR, WIA_PACKED_PIXEL);
    AddPropLong(t, u"Bytes Per Line", WIA_IPA_BYTES_PER_LINE, m_bytesPerLine);
    AddPropLong(t, u"Compression", WIA_IPA_COMPRESSION, WIA_COMPRESSION_NONE);
    AddPropLong(t, u"Channels Per Pixel", WIA_IPA_CHANNELS_PER_PIXEL, m_channelsPerPixel);
    AddPropLong(t, u"Bits Per Channel", WIA_IPA_BITS_PER_CHANNEL, m_bitsPerChannel);
    AddPropList(t, u"Data Type", WIA_IPA_DATATYPE, WIA_DATA_THRESHOLD, m_dataTypeList.data(),
                static_cast<LONG>(m_dataTypeList.size()));
    AddPropLong(t, u"Bits Per Pixel", WIA_IPA_DEPTH, m_bitsPerPixel);
    // The preferred format is the second of the format list, which
    // InitializeCaps fills before any table is built.
    if (m_formatList.size() >= 2)
        AddPropGUID(t, &m_formatList[1]);
    TraceExit(*this, u"InitializeImageAttributes", S_OK);
    return S_OK;
}

HRESULT CWIACaps::SetupRootItems(BYTE* pWiasContext)
{
    TraceEntered(*this, u"SetupRootItems");
    HRESULT hr = SetupItems(m_rootTable, pWiasContext, false);
    TraceExit(*this, u"SetupRootItems", hr);
    return hr;
}

HRESULT CWIACaps::SetupChildItems(IWiaDrvItem* pDrvItem, BYTE* pWiasContext)
{
    TraceEntered(*this, u"SetupChildItems");
    plat::ScopedBstr itemName;
    HRESULT hr = pDrvItem ? pDrvItem->GetItemName(itemName.Out()) : E_INVALIDARG;
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"GetItemName - %s : %08X", itemName.Get() ? itemName.Get() : u"", hr);
    if (SUCCEEDED(hr)) {
        plat::ScopedBstr feederName(u"Feeder");
        if (SameName(itemName.Get(), feederName.Get()))
            hr = SetupItems(m_feederTable, pWiasContext, true);
    }
    TraceExit(*this, u"SetupChildItems", hr);
    return hr;
}

HRESULT CWIACaps::SetupItems(WiaPropTable& table, BYTE* pWiasContext, bool isChild)
{
    TraceEntered(*this, u"SetupItems");
    DataTraceText data(*this);

    // One element per record before any service call is made.
    const size_t count = table.size();
    std::vector<plat::ScopedBstr> names;
    std::vector<LPOLESTR> namePointers;
    std::vector<PROPID> ids;
    std::vector<PROPVARIANT> values;
    std::vector<PROPSPEC> specs;
    std::vector<WIA_PROPERTY_INFO> infos;
    try {
        names.reserve(count);
        namePointers.reserve(count);
        ids.reserve(count);
        values.reserve(count);
        specs.reserve(count);
        infos.reserve(count);
    } catch (const std::bad_alloc&) {
        TraceExit(*this, u"SetupItems", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    for (const auto& [id, entry] : table) {
        names.emplace_back(static_cast<LPCOLESTR>(entry.name));
        namePointers.push_back(names.back().Get());
        ids.push_back(id);
        values.push_back(entry.value); // the service copies what it keeps
        specs.push_back(entry.spec);
        infos.push_back(entry.info);
    }

    const LONG n = static_cast<LONG>(count);
    HRESULT hr = wiasSetItemPropNames(pWiasContext, n, ids.data(), namePointers.data());
    data.Add(u"- wiasSetItemPropNames %08X\n", hr);
    if (SUCCEEDED(hr)) {
        hr = wiasWriteMultiple(pWiasContext, static_cast<ULONG>(n), specs.data(), values.data());
        data.Add(u"- wiasWriteMultiple %08X\n", hr);
    }
    if (SUCCEEDED(hr)) {
        hr = wiasSetItemPropAttribs(pWiasContext, n, specs.data(), infos.data());
        data.Add(u"- wiasSetItemPropAttribs %08X\n", hr);
    }
    if (SUCCEEDED(hr) && isChild) {
        MINIDRV_TRANSFER_CONTEXT transfer{};
        hr = wiasGetImageInformation(pWiasContext, WIAS_INIT_CONTEXT, &transfer);
        data.Add(u"- wiasGetImageInformation %08X\n", hr);
        if (SUCCEEDED(hr)) {
            hr = wiasWritePropLong(pWiasContext, WIA_IPA_ITEM_SIZE, transfer.lLines != 0 ? transfer.lItemSize : 0);
            data.Add(u"- wiasWritePropLong 1 %08X\n", hr);
        }
        if (SUCCEEDED(hr)) {
            hr = wiasWritePropLong(pWiasContext, WIA_IPA_BYTES_PER_LINE, transfer.cbWidthInBytes);
            data.Add(u"- wiasWritePropLong 2 %08X\n", hr);
        }
    }
    data.Flush();
    TraceExit(*this, u"SetupItems", hr);
    return hr;
}
