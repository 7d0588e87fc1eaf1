#include "tools/scan/PipelineScan.h"

#include "pipeline/RNXCOMCoreInterfaces.h"
#include "platform/base/strings.h"
#include "platform/oleauto/ScopedBstr.h"

#include <algorithm>
#include <string>
#include <vector>

namespace scan {

namespace {

using plat::ScopedBstr;

constexpr LONG kInsidePage = 1;
constexpr LONG kLastBandOfSession = 6;
// Enough for several lines of the widest page; the converter fills it with
// whole lines. Taken once for the whole scan.
constexpr LONG kBandBufferBytes = 1 << 20;
// Empty bands come inside a page while the scanner catches up, but never
// this many in a row: a session that delivers nothing is cut off.
constexpr int kMaxEmptyBands = 10000;
// The service's control codes a cancelling client sends.
constexpr LONG kStopFeeder = 0;
constexpr LONG kClearWindow = 5;

std::u16string Number(int value) { return Utf8ToUtf16(std::to_string(value)); }

std::u16string Setting(const char16_t* key, int value)
{
    return u"<" + std::u16string(key) + u">" + Number(value) + u"</" + key + u">";
}

template <typename T>
plat::ComPtr<T> Create(const CLSID& clsid, const IID& iid, HRESULT* hr)
{
    plat::ComPtr<T> object;
    *hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.ReleaseAndGetVoidAddress());
    return object;
}

plat::ComPtr<IXMLObj> ParseDocument(const std::u16string& text, HRESULT* hr)
{
    plat::ComPtr<IXMLObj> xml = Create<IXMLObj>(CLSID_XMLObj, IID_IXMLObj, hr);
    if (FAILED(*hr))
        return nullptr;
    if (FAILED(*hr = xml->Initialize()) || FAILED(*hr = xml->ParseXML(ScopedBstr(text).Get())) ||
        FAILED(*hr = xml->SeekRootNode()))
        return nullptr;
    return xml;
}

LONG Read(IRNXRasterBand* band, HRESULT (STDMETHODCALLTYPE IRNXRasterBand::*get)(LONG*))
{
    LONG value = 0;
    (band->*get)(&value);
    return value;
}

// The modules of one scan, configured and ready to pull.
struct Pipeline {
    plat::ComPtr<IRNXPayloadSource> pull;
    plat::ComPtr<IRNXRasterBand> band;
    plat::ComPtr<IRNXPayload> payload;
};

// Configures the wrapper with the preset service and the converter after
// it; false (with the step in `scan`) when a step failed or the scanner
// refused the settings.
bool Build(IUnknown* service, const ScanSettings& settings, ScanResult& scan, Pipeline& pipeline)
{
    HRESULT& hr = scan.result;
    auto fail = [&scan](const char* step) {
        scan.failedStep = step;
        return false;
    };

    plat::ComPtr<IRNXHALWrap> wrapper = Create<IRNXHALWrap>(CLSID_RNXHALWrap, IID_IRNXHALWrap, &hr);
    plat::ComPtr<IRNXModule> source;
    if (FAILED(hr) || FAILED(hr = wrapper->QueryInterface(IID_IRNXModule, source.ReleaseAndGetVoidAddress())))
        return fail("create RNXHALWrap");
    plat::ComPtr<IXMLObj> document = ParseDocument(ScannerSourceDocument(settings), &hr);
    if (!document)
        return fail("scannerSource document");
    if (FAILED(hr = wrapper->SetCurrentHAL(service)) || FAILED(hr = source->Configure(nullptr, document.Get())))
        return fail("configure RNXHALWrap");
    document->SetContext(ScopedBstr(u"/scannerSource/config/output").Get());
    const struct {
        const char16_t* key;
        LONG* value;
    } outputs[] = {{u"Width", &scan.configuredWidth},
                   {u"Height", &scan.configuredHeight},
                   {u"BytesPerLine", &scan.configuredBytesPerLine},
                   {u"Status", &scan.configuredStatus}};
    for (const auto& output : outputs) {
        INT value = 0;
        document->GetIntByName(ScopedBstr(output.key).Get(), 0, &value);
        *output.value = value;
    }
    if (scan.configuredStatus != 0) {
        scan.status = scan.configuredStatus;
        return fail("configure the scanner");
    }

    plat::ComPtr<IRNXModule> converter = Create<IRNXModule>(CLSID_RNXRBConvert, IID_IRNXModule, &hr);
    if (FAILED(hr))
        return fail("create RNXRBConvert");
    plat::ComPtr<IXMLObj> restrictions = ParseDocument(RasterConvertDocument(), &hr);
    if (!restrictions)
        return fail("rasterCvrt document");
    plat::ComPtr<IDispatch> precursor;
    if (FAILED(hr = wrapper->QueryInterface(IID_IDispatch, precursor.ReleaseAndGetVoidAddress())) ||
        FAILED(hr = converter->Configure(precursor.Get(), restrictions.Get())))
        return fail("configure RNXRBConvert");

    pipeline.band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand, &hr);
    if (FAILED(hr))
        return fail("create RNXRasterBand");
    if (FAILED(hr = converter->QueryInterface(IID_IRNXPayloadSource, pipeline.pull.ReleaseAndGetVoidAddress())) ||
        FAILED(hr = pipeline.band->QueryInterface(IID_IRNXPayload, pipeline.payload.ReleaseAndGetVoidAddress())))
        return fail("pipeline interfaces");
    return true;
}

// The page the bands are going into, on its way to the sink.
class PageInProgress {
public:
    explicit PageInProgress(PageSink& sink) : m_sink(sink) {}

    // Hands over `count` lines of `bytesPerLine` bytes each; the first lines
    // begin the page. Null when they were taken, else what failed.
    const char* Add(const BYTE* data, size_t count, LONG bytesPerLine, const PageFormat& described)
    {
        if (!m_open) {
            m_format = described;
            if (!m_sink.BeginPage(m_format))
                return "write the page";
            m_open = true;
        }
        const size_t lineBytes = described.LineBytes();
        if (lineBytes != m_format.LineBytes())
            return "a page that changes its format";
        // Packed lines go in one piece, padded ones one by one.
        bool taken = true;
        if (lineBytes == static_cast<size_t>(bytesPerLine))
            taken = m_sink.AddLines(data, count);
        for (size_t i = 0; lineBytes != static_cast<size_t>(bytesPerLine) && taken && i < count; ++i)
            taken = m_sink.AddLines(data + i * bytesPerLine, 1);
        return taken ? nullptr : "write the page";
    }
    // The page is whole; false when the sink could not finish it.
    bool End(LONG level)
    {
        m_open = false;
        return m_sink.EndPage(level);
    }
    void Abandon()
    {
        if (m_open)
            m_sink.AbandonPage();
        m_open = false;
    }
    bool Open() const { return m_open; }

private:
    PageSink& m_sink;
    PageFormat m_format;
    bool m_open = false;
};

// The feeder stopped and the window cleared, as the data source cancels.
void CancelScan(IRNXHALS* service)
{
    for (const LONG code : {kStopFeeder, kClearWindow}) {
        BSTR xml = SysAllocString(u"");
        VARIANT in, out;
        VariantInit(&in);
        VariantInit(&out);
        service->Control2(code, &xml, &in, &out);
        SysFreeString(xml);
        VariantClear(&in);
        VariantClear(&out);
    }
}

// Pulls bands until the session ends, the scan fails, the sink or `stop`
// says stop.
void Pull(IRNXHALS* service, Pipeline& pipeline, PageSink& sink, const std::function<bool()>& stopAsked,
          ScanResult& scan)
{
    std::vector<BYTE> buffer(kBandBufferBytes);
    PageInProgress page(sink);
    auto stop = [&](HRESULT hr, const char* step) {
        page.Abandon();
        scan.result = hr;
        scan.failedStep = step;
    };
    for (int emptyBands = 0;;) {
        IRNXRasterBand* band = pipeline.band.Get();
        band->put_Buffer(buffer.data());
        band->put_BufferSize(static_cast<LONG>(buffer.size()));
        band->put_BytesWritten(0);
        IDispatch* pointer = band;
        if (const HRESULT hr = pipeline.pull->Produce(&pointer); FAILED(hr))
            return stop(hr, "produce");
        LONG level = 0, status = 0;
        pipeline.payload->get_SessionLevel(&level);
        pipeline.payload->get_Status(&status);
        const LONG bytesPerLine = Read(band, &IRNXRasterBand::get_BytesPerLine);
        const LONG written =
            std::clamp<LONG>(Read(band, &IRNXRasterBand::get_BytesWritten), 0, static_cast<LONG>(buffer.size()));
        const PageFormat described{Read(band, &IRNXRasterBand::get_ImageWidth),
                                   Read(band, &IRNXRasterBand::get_BitsPerPixel), Read(band, &IRNXRasterBand::get_Dpi)};
        const bool lines = written > 0 && described.width > 0 && described.bitsPerPixel > 0 && bytesPerLine > 0 &&
                           described.LineBytes() <= static_cast<size_t>(bytesPerLine);
        if (lines) {
            emptyBands = 0;
            const size_t count = static_cast<size_t>(written / bytesPerLine);
            if (const char* failed = page.Add(buffer.data(), count, bytesPerLine, described))
                return stop(E_ABORT, failed);
        } else if (++emptyBands == kMaxEmptyBands) {
            return stop(E_FAIL, "the session delivers nothing");
        }
        if (status != 0) {
            scan.status = status;
            return stop(S_OK, "scan");
        }
        if (level != kInsidePage && page.Open()) {
            if (!page.End(level))
                return stop(E_ABORT, "write the page");
            ++scan.pages;
        }
        if (level == kLastBandOfSession)
            return;
        if (stopAsked && stopAsked()) {
            page.Abandon();
            CancelScan(service);
            scan.stopped = true;
            return;
        }
    }
}

} // namespace

std::u16string ScannerSourceDocument(const ScanSettings& settings)
{
    std::u16string input = Setting(u"Width", settings.width) + Setting(u"Height", settings.height) +
                           Setting(u"BitsPerPixel", settings.bitsPerPixel) +
                           Setting(u"Duplex", settings.duplex ? 1 : 0) + Setting(u"DPI", settings.dpi) +
                           Setting(u"Pages", settings.pages) + Setting(u"Brightness", 128) + Setting(u"Contrast", 128) +
                           Setting(u"Threshold", 128);
    if (settings.doubleFeed)
        input += Setting(u"DFD", 1);
    if (settings.stopOnSkew)
        input += Setting(u"StopSkew", 1);
    // The service object is preset: the class is not looked at.
    return u"<scannerSource assemblyName=\"RNXQBK24.dll\" moduleName=\"Quorvant.Tessivo.RNXQBK24Hal\">"
           u"<scanner>00000000-0000-0000-0000-000000000000</scanner><config><input>" +
           input + u"</input></config></scannerSource>";
}

std::u16string RasterConvertDocument()
{
    return u"<rasterCvrt assemblyName=\"RNXStdModules.dll\" moduleName=\"Quorvant.Tessivo.RBConvert\">"
           u"<precursor>scannerSource</precursor><Restrictions Alignment=\"1\" BWGender=\"WhiteIsZero\" "
           u"GrayGender=\"BlackIsZero\" ColorGender=\"BlackIsZero\" PixelOrder=\"LeftRight\" "
           u"ColorChannelOrder=\"RGB\" LineOrder=\"TopDown\" BitOrder=\"MSBFirst\"/>"
           u"<bufferSize>65536</bufferSize></rasterCvrt>";
}

ScanResult ScanThroughPipeline(IRNXHALS* service, const ScanSettings& settings, PageSink& sink,
                               const std::function<bool()>& stop)
{
    ScanResult scan;
    Pipeline pipeline;
    if (Build(service, settings, scan, pipeline))
        Pull(service, pipeline, sink, stop, scan);
    return scan;
}

} // namespace scan
