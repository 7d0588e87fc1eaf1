// The image pipeline of one acquisition: the hardware-service wrapper as
// source, configured from the current capability values, and the raster
// converter after it, both driven by one settings document.
#include "twainds/CQBK24DataSource.h"

#include "platform/com/ComPtr.h"
#include "platform/oleauto/ScopedBstr.h"
#include "twainfw/FixedPoint.h"

namespace {

using plat::ScopedBstr;

constexpr char16_t kSourceTemplate[] =
    u"  <scannerSource assemblyName=\"RNXQBK24.dll\" moduleName=\"Quorvant.Tessivo.RNXQBK24Hal\">    "
    u"<scanner>00000000-0000-0000-0000-000000000000</scanner>    <config>      <input>      </input>    "
    u"</config>  </scannerSource>";
constexpr char16_t kConverterTemplate[] =
    u"  <rasterCvrt assemblyName=\"RNXStdModules.dll\" moduleName=\"Quorvant.Tessivo.RBConvert\">    "
    u"<precursor>scannerSource</precursor>    <Restrictions Alignment=\"4\" BWGender=\"BlackIsZero\" "
    u"GrayGender=\"BlackIsZero\" ColorGender=\"BlackIsZero\" PixelOrder=\"LeftRight\" ColorChannelOrder=\"RGB\" "
    u"LineOrder=\"TopDown\" BitOrder=\"MSBFirst\"/>    <bufferSize>65536</bufferSize>  </rasterCvrt>";

constexpr UINT IDS_HALFTONE_FIRST = 10250;
constexpr TW_UINT16 kAutomaticThreshold = 0x8000;

std::string LoadResourceString(HMODULE module, UINT id)
{
    char text[256] = {};
    const int length = LoadStringA(module, id, text, sizeof(text));
    return length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string();
}

// The scanner's halftone code of a halftone name: the name is compared over
// its own length with the four texts, in the order 4, 3, 2, 1.
LONG HalftoneCode(HMODULE module, const std::string& name)
{
    for (UINT i = 0; i < 4; ++i) {
        const std::string text = LoadResourceString(module, IDS_HALFTONE_FIRST + i);
        if (text.compare(0, name.size(), name) == 0 && text.size() >= name.size())
            return static_cast<LONG>(4 - i);
    }
    return 0;
}

template <typename T>
plat::ComPtr<T> Create(const CLSID& clsid, const IID& iid)
{
    plat::ComPtr<T> object;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.ReleaseAndGetVoidAddress())))
        return nullptr;
    return object;
}

} // namespace

std::vector<CQBK24DataSource::ConfigElement> CQBK24DataSource::ConfigInputElements()
{
    std::vector<ConfigElement> elements;
    auto add = [&elements](const char16_t* name, LONG value) { elements.push_back({name, value}); };

    const TW_UINT16 compression = m_ImageInfo.Compression;
    // The scanner inverts in hardware what the converter cannot touch.
    const bool chocolate = GetPixelFlavorCurrent() == TWPF_CHOCOLATE;
    if (compression == TWCP_JPEG) {
        add(u"Compression", 1);
        add(u"HardwareInvert", (InvertImage && chocolate) || (!InvertImage && !chocolate) ? 1 : 0);
        if (MirrorImage)
            add(u"HardwareMirror", 1);
        add(u"CompressionRatio", static_cast<TW_INT16>(GetJPEGQualityCurrent()));
    }
    if (compression == TWCP_GROUP4) {
        add(u"Compression", 2);
        add(u"HardwareInvert", (InvertImage && chocolate) || (!InvertImage && !chocolate) ? 0 : 1);
        if (MirrorImage)
            add(u"HardwareMirror", 1);
    }

    const Trellis::CTWAINFrame frame = GetFramesCurrent();
    const LONG frameWidth =
        static_cast<LONG>((Trellis::Fix32ToFloat(frame.Right) - Trellis::Fix32ToFloat(frame.Left)) * 1000);
    const LONG frameHeight =
        static_cast<LONG>((Trellis::Fix32ToFloat(frame.Bottom) - Trellis::Fix32ToFloat(frame.Top)) * 1000);
    const bool turned = GetOrientationCurrent() == 3;
    add(u"Width", turned ? frameHeight : frameWidth);
    add(u"Height", turned ? frameWidth : frameHeight);
    add(u"BitsPerPixel", GetBitDepthCurrent());
    add(u"Duplex", GetDuplexEnabledCurrent() ? 1 : 0);
    add(u"DPI", static_cast<LONG>(GetXResolutionCurrent()));
    const TW_INT16 count = GetXferCountCurrent();
    add(u"Pages", count == -1 ? 0 : count);

    const TW_UINT16 pixelType = GetPixelTypeCurrent();
    const bool reductionSupported = IsCapSupported(ICAP_BITDEPTHREDUCTION);
    const TW_UINT16 reduction = reductionSupported ? GetBitDepthReductionCurrent() : 0;
    if (pixelType != TWPT_BW || (reductionSupported && reduction != 0 && reduction != kAutomaticThreshold)) {
        const auto b = static_cast<unsigned>(static_cast<LONG>(GetBrightnessCurrent()) + 1000);
        add(u"Brightness", static_cast<LONG>(255 - (b * 255) / 2000));
    }
    if (pixelType != TWPT_BW) {
        add(u"Contrast", ((static_cast<LONG>(GetContrastCurrent()) + 1000) * 255) / 2000);
        add(u"UseGammaTable", 1);
    } else {
        add(u"Threshold", static_cast<LONG>(GetThresholdCurrent()));
        add(u"UseGammaTable", 0);
    }
    if (DoubleFeedDetection) {
        add(u"DFD", 1);
        add(u"DFDAction", GetDoubleFeedActionCurrent() == 2 ? 1 : 0);
        const TW_UINT16 sensitivity = GetDoubleFeedSensitivityCurrent();
        add(u"DFDSensitivity", sensitivity == 0 ? 2 : sensitivity == 2 ? 1 : 0);
    }
    if (m_AutomaticDeskew) {
        add(u"Deskew", 1);
        add(u"StopSkew", GetSkewActionCurrent() == 2 ? 1 : 0);
    }
    if (pixelType == TWPT_BW || pixelType == TWPT_GRAY) {
        const Trellis::CTWAINArray filters = GetFilterCurrent().GetArray();
        if (!filters.m_List.empty()) {
            const TW_UINT32 filter = filters.m_List.front().Value;
            if (filter <= TWFT_BLUE)
                add(u"SimpleColorDropout", static_cast<LONG>(filter) + 1);
        }
    }
    if (pixelType == TWPT_BW && GetNoiseFilterCurrent() == 2) {
        add(u"NoiseReductionWindow", static_cast<LONG>(GetDespeckleValueCurrent()));
        add(u"NoiseReductionColor", GetDespeckleCurrent() == 0 ? 1 : 0);
    }
    if (pixelType == TWPT_BW && reduction == kAutomaticThreshold)
        add(u"AutomaticThreshold", static_cast<LONG>(GetDynamicThresholdCurrent()) + 16);
    if (pixelType == TWPT_BW && reduction != kAutomaticThreshold) {
        LONG dither = 0;
        if (reduction == TWBR_DIFFUSION)
            dither = 5;
        else if (reduction != TWBR_THRESHOLD)
            dither = HalftoneCode(m_hModule, GetHalfTonesCurrent());
        add(u"Dither", dither);
        add(u"AutomaticSeparation", AutoSeparation ? 1 : 0);
    }
    if (AutoCropWidth)
        add(u"DetectPaperWidth", 1);
    if (AutoCropLength)
        add(u"LengthControl", 1);
    return elements;
}

void CQBK24DataSource::BuildPipeline()
{
    const TW_UINT16 units = GetUnitsCurrent();
    SetUnitsCurrent(TWUN_INCHES);
    try {
        BuildPipelineInInches();
    } catch (...) {
        SetUnitsCurrent(units);
        throw;
    }
    SetUnitsCurrent(units);
}

void CQBK24DataSource::BuildPipelineInInches()
{
    // An XML or module step that fails is an operation error.
    auto check = [this](HRESULT hr) {
        if (FAILED(hr))
            ThrowFailure(TWCC_OPERATIONERROR);
    };
    plat::ComPtr<IRNXHALWrap> halWrap = Create<IRNXHALWrap>(CLSID_RNXHALWrap, IID_IRNXHALWrap);
    plat::ComPtr<IRNXRasterBand> band;
    plat::ComPtr<IRNXModule> converter;
    plat::ComPtr<IXMLObj> settings;
    if (halWrap)
        band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand);
    if (band)
        converter = Create<IRNXModule>(CLSID_RNXRBConvert, IID_IRNXModule);
    if (converter)
        settings = Create<IXMLObj>(CLSID_XMLObj, IID_IXMLObj);
    if (!settings)
        ThrowFailure(TWCC_OPERATIONERROR);

    HRESULT hr = settings->Initialize();
    if (FAILED(hr))
        _com_issue_error(hr);
    check(settings->ParseXML(ScopedBstr(kSourceTemplate).Get()));
    check(settings->SeekRootNode());
    check(settings->SetContext(ScopedBstr(u"config/input").Get()));
    for (const ConfigElement& element : ConfigInputElements())
        check(settings->SetIntByName(ScopedBstr(element.name).Get(), element.value));

    hr = halWrap->SetCurrentHAL(Hal);
    if (FAILED(hr))
        _com_issue_error(hr);

    plat::ComPtr<IRNXModule> source;
    check(halWrap.QueryInterface(IID_IRNXModule, source));
    check(settings->SeekRootNode());
    check(source->Configure(nullptr, settings.Get()));

    check(settings->SetContext(ScopedBstr(u"config/output").Get()));
    INT width = -1;
    INT height = -1;
    INT bytesPerLine = -1;
    check(settings->GetIntByName(ScopedBstr(u"Width").Get(), -1, &width));
    check(settings->GetIntByName(ScopedBstr(u"Height").Get(), -1, &height));
    check(settings->GetIntByName(ScopedBstr(u"BytesPerLine").Get(), -1, &bytesPerLine));
    if (width == -1 || height == -1 || bytesPerLine == -1)
        ThrowFailure(TWCC_OPERATIONERROR);
    ScanWidth = width;
    ScanHeight = height;
    // The converter pads every line to 4 bytes.
    ScanBytesPerLine = ((GetBitDepthCurrent() * ScanWidth + 31) / 32) * 4;

    check(settings->ParseXML(ScopedBstr(kConverterTemplate).Get()));
    check(settings->SeekRootNode());
    check(settings->SetContext(ScopedBstr(u"Restrictions").Get()));
    if (MirrorImage)
        check(settings->SetAttribute(ScopedBstr(u"PixelOrder").Get(), ScopedBstr(u"RightLeft").Get()));
    if (InvertImage) {
        for (const char16_t* gender : {u"BWGender", u"GrayGender", u"ColorGender"})
            check(settings->SetAttribute(ScopedBstr(gender).Get(), ScopedBstr(u"WhiteIsZero").Get()));
    }
    check(settings->SeekRootNode());
    const bool compressed = GetCompressionCurrent() != TWCP_NONE;
    if (!compressed)
        check(converter->Configure(source.Get(), settings.Get()));

    check(settings->SeekRootNode());
    if (!DownloadGammaTables())
        ThrowFailure(TWCC_OPERATIONERROR);

    // Compressed data bypasses the converter.
    plat::ComPtr<IRNXPayloadSource> pull;
    if (compressed)
        check(halWrap.QueryInterface(IID_IRNXPayloadSource, pull));
    else
        check(converter.QueryInterface(IID_IRNXPayloadSource, pull));
    ReleasePipeline();
    HalWrap = halWrap.Detach();
    RasterBand = band.Detach();
    PipelineSource = pull.Detach();
}
