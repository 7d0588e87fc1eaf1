// Page acquisition: writing the item properties configures the scanner and
// the image pipeline (ConfigureScanner), a transfer pulls the pages through
// the pipeline and hands them to the service (AcquireItemData).
#include "stillimage/CRNX_STIWIA_Driver.h"

#include "diag/OperationTrace.h"
#include "stillimage/DataTraceText.h"

#include <iterator>
#include <vector>

namespace {

// The values of some properties of one item, read in one call and freed
// with the reader.
class PropertyValues {
public:
    PropertyValues(BYTE* pWiasContext, const std::vector<PROPID>& ids) : m_values(ids.size())
    {
        for (PROPID id : ids) {
            PROPSPEC spec{};
            spec.ulKind = PRSPEC_PROPID;
            spec.propid = id;
            m_specs.push_back(spec);
        }
        for (PROPVARIANT& value : m_values)
            PropVariantInit(&value);
        m_result = wiasReadMultiple(pWiasContext, static_cast<ULONG>(m_specs.size()), m_specs.data(), m_values.data(),
                                    nullptr);
        m_read = m_result == S_OK;
    }
    ~PropertyValues()
    {
        if (m_read)
            FreePropVariantArray(static_cast<ULONG>(m_values.size()), m_values.data());
    }
    PropertyValues(const PropertyValues&) = delete;
    PropertyValues& operator=(const PropertyValues&) = delete;

    HRESULT Result() const { return m_result; }
    LONG Long(size_t index) const
    {
        const PROPVARIANT& value = m_values[index];
        return value.vt == VT_I4 || value.vt == VT_UI4 ? value.lVal : 0;
    }

private:
    std::vector<PROPSPEC> m_specs;
    std::vector<PROPVARIANT> m_values;
    HRESULT m_result = E_FAIL;
    bool m_read = false;
};

// The item properties ConfigureScanner reads, in the order it reads them,
// with their data-trace lines.
struct ItemSetting {
    PROPID id;
    const char16_t* line;
};
constexpr ItemSetting kItemSettings[] = {
    {WIA_IPS_XRES, u"- WIA_IPS_XRES            = %d\n"},
    {WIA_IPS_YRES, u"- WIA_IPS_YRES            = %d\n"},
    {WIA_IPS_XPOS, u"- WIA_IPS_XPOS            = %d\n"},
    {WIA_IPS_YPOS, u"- WIA_IPS_YPOS            = %d\n"},
    {WIA_IPS_XEXTENT, u"- WIA_IPS_XEXTENT         = %d\n"},
    {WIA_IPS_YEXTENT, u"- WIA_IPS_YEXTENT         = %d\n"},
    {WIA_IPA_DATATYPE, u"- WIA_IPA_DATATYPE        = %d\n"},
    {WIA_IPS_BRIGHTNESS, u"- WIA_IPS_BRIGHTNESS      = %d\n"},
    {WIA_IPS_CONTRAST, u"- WIA_IPS_CONTRAST        = %d\n"},
    {WIA_IPA_PIXELS_PER_LINE, u"- WIA_IPA_PIXELS_PER_LINE = %d\n"},
    {WIA_IPA_NUMBER_OF_LINES, u"- WIA_IPA_NUMBER_OF_LINES = %d\n"},
    {WIA_IPA_MIN_BUFFER_SIZE, u"- WIA_IPA_MIN_BUFFER_SIZE = %d\n"},
    {WIA_IPA_ITEM_SIZE, u"- WIA_IPA_ITEM_SIZE       = %d\n"},
    {WIA_IPA_BYTES_PER_LINE, u"- WIA_IPA_BYTES_PER_LINE  = %d\n"},
    {WIA_IPA_CHANNELS_PER_PIXEL, u"- WIA_IPA_CHANNELS_PER_PIXEL = %d\n"},
    {WIA_IPA_BITS_PER_CHANNEL, u"- WIA_IPA_BITS_PER_CHANNEL = %d\n"},
    {WIA_IPA_TYMED, u"- WIA_IPA_TYMED           = %d\n"},
};
enum ItemSettingIndex {
    kXRes,
    kYRes,
    kXPos,
    kYPos,
    kXExtent,
    kYExtent,
    kDataType,
    kBrightness,
    kContrast,
    kPixelsPerLine,
    kNumberOfLines,
    kMinBufferSize,
    kItemSize,
    kBytesPerLine,
    kChannelsPerPixel,
    kBitsPerChannel,
    kTymed
};
static_assert(std::size(kItemSettings) == kTymed + 1);

std::vector<PROPID> ItemSettingIds()
{
    std::vector<PROPID> ids;
    for (const ItemSetting& setting : kItemSettings)
        ids.push_back(setting.id);
    return ids;
}

LONG BitsPerPixelOf(LONG dataType)
{
    switch (dataType) {
    case WIA_DATA_COLOR:
        return 24;
    case WIA_DATA_GRAYSCALE:
        return 8;
    default:
        return 1;
    }
}

const char16_t* DataTypeLine(LONG dataType)
{
    switch (dataType) {
    case WIA_DATA_COLOR:
        return u"- WIA_IPA_DATATYPE   = WIA_DATA_COLOR\n";
    case WIA_DATA_GRAYSCALE:
        return u"- WIA_IPA_DATATYPE   = WIA_DATA_GRAYSCALE\n";
    default:
        return u"- WIA_IPA_DATATYPE   = WIA_DATA_THRESHOLD\n";
    }
}

} // namespace

HRESULT CRNX_STIWIA_Driver::ConfigureScanner(BYTE* pWiasContext)
{
    TraceEntered(*this, u"ConfigureScanner");
    DataTraceText data(*this);
    BYTE* root = nullptr;
    HRESULT hr = wiasGetRootItem(pWiasContext, &root);
    if (hr != S_OK) {
        TraceExit(*this, u"ConfigureScanner", hr);
        return hr;
    }
    const PropertyValues rootValues(root, {WIA_DPS_DOCUMENT_HANDLING_SELECT, WIA_DPS_PAGES, WIA_DPS_PREVIEW});
    if (rootValues.Result() != S_OK) {
        TraceExit(*this, u"ConfigureScanner", rootValues.Result());
        return rootValues.Result();
    }
    const LONG select = rootValues.Long(0);
    const LONG wiaPages = rootValues.Long(1);

    m_scan.duplex = false;
    m_bOneSheet = false;
    m_bSheetBySheet = false;
    switch (select) {
    case 0:
    case FLATBED:
        m_scan.pages = 1;
        break;
    case FEEDER:
        m_scan.pages = wiaPages;
        data.Add(wiaPages == 0 ? u"- set to ALL_PAGES\n" : u"- FEEDER %d Pages\n", wiaPages);
        break;
    case FEEDER | DUPLEX:
        m_scan.pages = wiaPages;
        m_scan.duplex = true;
        if (wiaPages == 1) {
            m_bOneSheet = true;
            m_scan.pages = 2;
        }
        data.Add(wiaPages == 0 ? u"- set to ALL_PAGES\n" : u"- FEEDER <DUPLEX> %d Pages\n", wiaPages);
        break;
    default:
        break;
    }
    const bool preview = rootValues.Long(2) == WIA_PREVIEW_SCAN;
    if (preview) {
        data.Add(u"- WIA_PREVIEW_SCAN \n");
        m_bOneSheet = false;
        m_scan.pages = 1;
    }

    const PropertyValues item(pWiasContext, ItemSettingIds());
    if (item.Result() != S_OK) {
        data.Flush();
        TraceExit(*this, u"ConfigureScanner", item.Result());
        return item.Result();
    }
    for (size_t i = 0; i < std::size(kItemSettings); ++i)
        data.Add(kItemSettings[i].line, item.Long(i));
    data.Add(DataTypeLine(item.Long(kDataType)));

    const bool fileTransfer = item.Long(kTymed) == TYMED_FILE;
    if (fileTransfer && wiaPages != 1)
        m_scan.pages = 1; // a file holds one page
    if (fileTransfer && m_scan.duplex && !preview && !m_bOneSheet) {
        // Both sides of each sheet, one file each: a page of its own per
        // transfer would leave the back of every sheet in the scanner. The
        // back is one page of the job, not its end.
        m_bOneSheet = true;
        m_bSheetBySheet = true;
        m_scan.pages = 2;
    }

    const bool keepConfiguration = m_bOneSheet && m_lSecondSidePending;
    m_scan.xResolution = item.Long(kXRes);
    m_scan.yResolution = item.Long(kYRes);
    m_scan.left = item.Long(kXPos);
    m_scan.top = item.Long(kYPos);
    m_scan.right = m_scan.left + item.Long(kXExtent);
    m_scan.bottom = m_scan.top + item.Long(kYExtent);
    m_scan.brightness = item.Long(kBrightness);
    m_scan.contrast = item.Long(kContrast);
    m_scan.bitsPerPixel = BitsPerPixelOf(item.Long(kDataType));
    // The back of a sheet has the front's page, as the service answered it.
    if (!keepConfiguration) {
        m_lPageWidth = item.Long(kPixelsPerLine);
        m_lPageLines = item.Long(kNumberOfLines);
    }
    data.Flush();

    hr = S_OK;
    if (!keepConfiguration)
        hr = Configure();
    if (m_bOneSheet && m_scan.pages == 2)
        m_scan.pages = 1;
    TraceExit(*this, u"ConfigureScanner", hr);
    return hr;
}
