#include "tools/scan/PipelineScan.h"

#include "pipeline/RNXCOMCoreInterfaces.h"
#include "platform/base/strings.h"
#include "platform/oleauto/ScopedBstr.h"

#include <algorithm>
#include <string>

namespace scan {

namespace {

using plat::ScopedBstr;

constexpr LONG kInsidePage = 1;
constexpr LONG kLastBandOfSession = 6;
// Enough for several lines of the widest page; the converter fills it with
// whole lines.
constexpr LONG kBandBufferBytes = 1 << 20;
// A scan that never ends its session is cut off here.
constexpr int kMaxBands = 1000000;

std::u16string Number(int value) { return Utf8ToUtf16(std::to_string(value)); }

// The class in the form the wrapper expects: no braces.
std::u16string WithoutBraces(std::u16string clsid)
{
    if (clsid.size() >= 2 && clsid.front() == u'{' && clsid.back() == u'}')
        clsid = clsid.substr(1, clsid.size() - 2);
    return clsid;
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

} // namespace

std::u16string ScannerSourceDocument(const std::u16string& scannerClsid, const ScanSettings& settings)
{
    return u"<scannerSource assemblyName=\"RNXQBK24.dll\" moduleName=\"Quorvant.Tessivo.RNXQBK24Hal\">"
           u"<scanner>" +
           WithoutBraces(scannerClsid) + u"</scanner><config><input><Width>" + Number(settings.width) +
           u"</Width><Height>" + Number(settings.height) + u"</Height><BitsPerPixel>" +
           Number(settings.bitsPerPixel) + u"</BitsPerPixel><Duplex>" + Number(settings.duplex ? 1 : 0) +
           u"</Duplex><DPI>" + Number(settings.dpi) + u"</DPI><Pages>" + Number(settings.pages) +
           u"</Pages><Brightness>128</Brightness><Contrast>128</Contrast><Threshold>128</Threshold>"
           u"</input></config></scannerSource>";
}

std::u16string RasterConvertDocument()
{
    return u"<rasterCvrt assemblyName=\"RNXStdModules.dll\" moduleName=\"Quorvant.Tessivo.RBConvert\">"
           u"<precursor>scannerSource</precursor><Restrictions Alignment=\"1\" BWGender=\"WhiteIsZero\" "
           u"GrayGender=\"BlackIsZero\" ColorGender=\"BlackIsZero\" PixelOrder=\"LeftRight\" "
           u"ColorChannelOrder=\"RGB\" LineOrder=\"TopDown\" BitOrder=\"MSBFirst\"/>"
           u"<bufferSize>65536</bufferSize></rasterCvrt>";
}

ScanResult ScanThroughPipeline(const std::u16string& scannerClsid, const ScanSettings& settings,
                               const std::function<void(const ScannedPage&)>& onPage)
{
    ScanResult scan;
    HRESULT& hr = scan.result;
    auto fail = [&scan](const char* step) {
        scan.failure = step;
        return scan;
    };

    plat::ComPtr<IRNXModule> wrapper = Create<IRNXModule>(CLSID_RNXHALWrap, IID_IRNXModule, &hr);
    if (FAILED(hr))
        return fail("create RNXHALWrap");
    plat::ComPtr<IXMLObj> source = ParseDocument(ScannerSourceDocument(scannerClsid, settings), &hr);
    if (!source)
        return fail("scannerSource document");
    if (FAILED(hr = wrapper->Configure(nullptr, source.Get())))
        return fail("configure RNXHALWrap");
    source->SetContext(ScopedBstr(u"/scannerSource/config/output").Get());
    const struct {
        const char16_t* key;
        LONG* value;
    } outputs[] = {{u"Width", &scan.configuredWidth},
                   {u"Height", &scan.configuredHeight},
                   {u"BytesPerLine", &scan.configuredBytesPerLine},
                   {u"Status", &scan.configuredStatus}};
    for (const auto& output : outputs) {
        INT value = 0;
        source->GetIntByName(ScopedBstr(output.key).Get(), 0, &value);
        *output.value = value;
    }
    if (scan.configuredStatus != 0) {
        hr = E_FAIL;
        return fail("the service refused the settings");
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

    plat::ComPtr<IRNXPayloadSource> pull;
    plat::ComPtr<IRNXRasterBand> band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand, &hr);
    if (FAILED(hr))
        return fail("create RNXRasterBand");
    plat::ComPtr<IRNXPayload> payload;
    if (FAILED(hr = converter->QueryInterface(IID_IRNXPayloadSource, pull.ReleaseAndGetVoidAddress())) ||
        FAILED(hr = band->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress())))
        return fail("pipeline interfaces");

    std::vector<BYTE> buffer(kBandBufferBytes);
    ScannedPage page;
    LONG level = 0;
    for (int bands = 0; bands < kMaxBands && level != kLastBandOfSession; ++bands) {
        band->put_Buffer(buffer.data());
        band->put_BufferSize(static_cast<LONG>(buffer.size()));
        band->put_BytesWritten(0);
        IDispatch* pointer = band.Get();
        if (FAILED(hr = pull->Produce(&pointer)))
            return fail("produce");
        LONG status = 0;
        payload->get_SessionLevel(&level);
        payload->get_Status(&status);
        const LONG width = Read(band.Get(), &IRNXRasterBand::get_ImageWidth);
        const LONG bits = Read(band.Get(), &IRNXRasterBand::get_BitsPerPixel);
        const LONG bytesPerLine = Read(band.Get(), &IRNXRasterBand::get_BytesPerLine);
        const LONG written = std::clamp<LONG>(Read(band.Get(), &IRNXRasterBand::get_BytesWritten), 0,
                                              static_cast<LONG>(buffer.size()));
        if (written > 0 && width > 0 && bits > 0 && bytesPerLine > 0) {
            page.width = width;
            page.bitsPerPixel = bits;
            page.dpi = Read(band.Get(), &IRNXRasterBand::get_Dpi);
            const size_t lineBytes = std::min(page.LineBytes(), static_cast<size_t>(bytesPerLine));
            for (LONG offset = 0; offset + bytesPerLine <= written; offset += bytesPerLine) {
                page.bytes.insert(page.bytes.end(), buffer.begin() + offset, buffer.begin() + offset + lineBytes);
                ++page.height;
            }
        }
        if (level != kInsidePage) {
            page.endLevel = level;
            page.endStatus = status;
            // A session may end with an empty band after its last page.
            if (page.height > 0) {
                if (onPage)
                    onPage(page);
                scan.pages.push_back(std::move(page));
            }
            page = ScannedPage{};
        }
    }
    if (level != kLastBandOfSession) {
        hr = E_FAIL;
        return fail("the session never ended");
    }
    return scan;
}

} // namespace scan
