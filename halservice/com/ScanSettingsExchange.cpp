// Scan settings into the hardware service and image bands out of it:
// Configure and Configure2 read the settings from a client's XML sink or
// from XML text and configure the scanner through the scanner thread;
// Produce and Produce2 fetch one band into a client's raster sink or into
// a caller's byte array.
#include "halservice/com/RNXHALS.h"

#include "diag/MSXML6Store.h"
#include "halservice/scanner/ScannerWrap.h"
#include "platform/oleauto/ScopedBstr.h"
#include "platform/oleauto/ScopedSafeArray.h"
#include "platform/oleauto/ScopedVariant.h"

#include <algorithm>
#include <memory>

namespace {

// The settings under "/config/input", in the order they are read. The
// first kRequiredKeys must be present for Configure.
struct SettingKey {
    const WCHAR* name;
    LONG ConfigScanArgs::*setting;
};
constexpr SettingKey kSettingKeys[] = {
    {u"Width", &ConfigScanArgs::Width},
    {u"Height", &ConfigScanArgs::Height},
    {u"BitsPerPixel", &ConfigScanArgs::BitsPerPixel},
    {u"Duplex", &ConfigScanArgs::Duplex},
    {u"DPI", &ConfigScanArgs::DPI},
    {u"Pages", &ConfigScanArgs::Pages},
    {u"Brightness", &ConfigScanArgs::Brightness},
    {u"Contrast", &ConfigScanArgs::Contrast},
    {u"Threshold", &ConfigScanArgs::Threshold},
    {u"Compression", &ConfigScanArgs::Compression},
    {u"CompressionRatio", &ConfigScanArgs::CompressionRatio},
    {u"DFD", &ConfigScanArgs::DFD},
    {u"DFDSensitivity", &ConfigScanArgs::DFDSensitivity},
    {u"DFDAction", &ConfigScanArgs::DFDAction},
    {u"SimpleColorDropout", &ConfigScanArgs::SimpleColorDropout},
    {u"StopSkew", &ConfigScanArgs::StopSkew},
    {u"Deskew", &ConfigScanArgs::Deskew},
    {u"AutomaticThreshold", &ConfigScanArgs::AutomaticThreshold},
    {u"Dither", &ConfigScanArgs::Dither},
    {u"AutomaticSeparation", &ConfigScanArgs::AutomaticSeparation},
    {u"WhiteLevelFromPaper", &ConfigScanArgs::WhiteLevelFromPaper},
    {u"NoiseReductionWindow", &ConfigScanArgs::NoiseReductionWindow},
    {u"NoiseReductionColor", &ConfigScanArgs::NoiseReductionColor},
    {u"LengthControl", &ConfigScanArgs::LengthControl},
    {u"DetectPaperWidth", &ConfigScanArgs::DetectPaperWidth},
    {u"Margin", &ConfigScanArgs::Margin},
    {u"LongPaper", &ConfigScanArgs::LongPaper},
    {u"FitToPage", &ConfigScanArgs::FitToPage},
    {u"UseGammaTable", &ConfigScanArgs::UseGammaTable},
    {u"HardwareInvert", &ConfigScanArgs::HardwareInvert},
    {u"HardwareMirror", &ConfigScanArgs::HardwareMirror},
};
constexpr size_t kRequiredKeys = 9;

constexpr const WCHAR* kProduceAnswer = u"<produce><empty/><output></output></produce>";

// Releases an interface pointer at the end of a scope.
template <class T>
class Held {
public:
    Held() = default;
    ~Held()
    {
        if (m_p)
            m_p->Release();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    void** Out() { return reinterpret_cast<void**>(&m_p); }

private:
    T* m_p = nullptr;
};

// Destroys a store at the end of a scope.
struct StoreDestroyer {
    void operator()(MSXML6Store* store) const { store->Destroy(); }
};
using StoreHolder = std::unique_ptr<MSXML6Store, StoreDestroyer>;

// The results a configuration hands back through ConfigScanArgs.
struct ConfigResults {
    DWORD Width = 0;
    DWORD Height = 0;
    DWORD BytesPerLine = 0;
    LONG Status = 0;
};

void PointOutputs(ConfigScanArgs& args, ConfigResults& results)
{
    args.Status = &results.Status;
    args.BytesPerLine = &results.BytesPerLine;
    args.PixelsPerLine = &results.Width;
    args.Lines = &results.Height;
}

} // namespace

void CRNXHALS::KeepScanDescription(const ConfigScanArgs& settings, DWORD width, DWORD bytesPerLine)
{
    m_DPI = settings.DPI;
    m_ImageWidth = static_cast<LONG>(width);
    m_BitsPerPixel = settings.BitsPerPixel;
    m_BytesPerLine = static_cast<LONG>(bytesPerLine);
}

HRESULT CRNXHALS::Configure(IUnknown* pXMLSink)
{
    if (!pXMLSink)
        return E_POINTER;
    Held<ICKelXmlHAL> sink;
    HRESULT hr = pXMLSink->QueryInterface(IID_ICKelXmlHAL, sink.Out());
    if (FAILED(hr))
        return hr;

    FuncArgs args{};
    ConfigResults results;
    ConfigScanArgs& settings = args.ConfigScan;

    hr = sink->SetContext(plat::ScopedBstr(u"/config/input").Get());
    if (FAILED(hr))
        return hr;
    for (size_t i = 0; i < std::size(kSettingKeys); ++i) {
        INT value = 0;
        hr = sink->GetIntByName(plat::ScopedBstr(kSettingKeys[i].name).Get(), &value);
        // An optional key that cannot be read stays 0.
        if (FAILED(hr)) {
            if (i < kRequiredKeys)
                return hr;
            value = 0;
        }
        settings.*kSettingKeys[i].setting = value;
    }

    PointOutputs(settings, results);
    if (!m_session->ClientRequest(this, REQ_CONFIG_SCAN, &args))
        return E_FAIL;
    // A refusal (cover open, a window the scanner cannot take) arrives in
    // Status, in the codes of a failed band; the call itself succeeded.

    hr = sink->SetContext(plat::ScopedBstr(u"/config/output").Get());
    if (FAILED(hr))
        return hr;
    const std::pair<const WCHAR*, INT> outputs[] = {
        {u"Width", static_cast<INT>(results.Width)},
        {u"Height", static_cast<INT>(results.Height)},
        {u"BytesPerLine", static_cast<INT>(results.BytesPerLine)},
        {u"Status", results.Status},
    };
    for (const auto& [name, value] : outputs) {
        hr = sink->SetIntByName(plat::ScopedBstr(name).Get(), value);
        if (FAILED(hr))
            return hr;
    }
    KeepScanDescription(settings, results.Width, results.BytesPerLine);
    return S_OK;
}

HRESULT CRNXHALS::Configure2(BSTR bstrXML)
{
    FuncArgs args{};
    ConfigResults results;
    ConfigScanArgs& settings = args.ConfigScan;

    bool loaded = false;
    {
        StoreHolder store(CreateMSXML6Store());
        if (store && store->Initialize() && store->ParseXML(bstrXML ? bstrXML : u"") &&
            store->SetContext(u"/config/input")) {
            loaded = true;
            for (const SettingKey& key : kSettingKeys)
                settings.*key.setting = store->GetIntByName(key.name, settings.*key.setting);
        }
    }
    if (!loaded)
        return E_FAIL;

    PointOutputs(settings, results);
    if (!m_session->ClientRequest(this, REQ_CONFIG_SCAN, &args))
        return E_FAIL;
    KeepScanDescription(settings, results.Width, results.BytesPerLine);
    return S_OK;
}

HRESULT CRNXHALS::Produce(IUnknown* pRasterBandSink)
{
    if (!pRasterBandSink)
        return E_POINTER;
    Held<IRNXRasterBandHAL> sink;
    HRESULT hr = pRasterBandSink->QueryInterface(IID_IRNXRasterBandHAL, sink.Out());
    if (FAILED(hr))
        return hr;
    LONG sizeBuffer = 0;
    hr = sink->getSizeBuffer(&sizeBuffer);
    if (FAILED(hr))
        return hr;
    // A negative size would become an enormous array.
    if (sizeBuffer < 0)
        return E_INVALIDARG;
    const DWORD size = static_cast<DWORD>(sizeBuffer);

    // The scanner thread reads the band straight into the array that
    // PutBuffer receives: one array per band, never copied, nor zeroed
    // first. Only the bytes written reach the sink: the array is cut to
    // them before PutBuffer.
    plat::ScopedVariant band;
    band->parray = plat::CreateByteVectorToFill(0, size);
    if (!band->parray)
        return E_OUTOFMEMORY;
    band->vt = VT_ARRAY | VT_UI1;

    FuncArgs args{};
    DWORD bytesWritten = 0;
    LONG payloadLevel = 0;
    LONG payloadStatus = 0;
    args.Produce.BufferSize = size;
    args.Produce.Buffer = static_cast<BYTE*>(band->parray->pvData);
    args.Produce.BytesWritten = &bytesWritten;
    args.Produce.PayloadLevel = &payloadLevel;
    args.Produce.PayloadStatus = &payloadStatus;

    if (!m_session->ClientRequest(this, REQ_PRODUCE, &args)) {
        hr = E_FAIL;
    } else {
        // The sink copies the band size out of the array: never more than it holds.
        bytesWritten = std::min(bytesWritten, size);
        // The band's hand-over: to a sink in the client's process these
        // calls travel as one message, still reaching it in this order and
        // stopping at the first failure.
        plat::rpc::CallBatch handOver(sink.Get());
        hr = sink->putStatus(payloadStatus);
        if (SUCCEEDED(hr))
            hr = sink->putPayloadLevel(payloadLevel);
        if (SUCCEEDED(hr))
            hr = sink->DescribeBufferContent(m_ImageWidth, m_BitsPerPixel, m_BytesPerLine, m_ColorChannelOrder,
                                             m_LineOrder, m_BitOrder, m_DPI, static_cast<LONG>(bytesWritten));
        // Only the bytes written go to the sink, which copies no more;
        // across processes the rest of the buffer would cross for nothing.
        SAFEARRAYBOUND written{bytesWritten, 0};
        if (SUCCEEDED(hr))
            hr = SafeArrayRedim(band->parray, &written);
        if (SUCCEEDED(hr))
            hr = sink->PutBuffer(band.Get());
        hr = handOver.Finish(hr);
    }
    return hr;
}

HRESULT CRNXHALS::Produce2(VARIANT* pvBufOut, BSTR* pbstrXML)
{
    if (!pvBufOut || !pbstrXML)
        return E_POINTER;
    // Only a one-dimensional byte array can take the band.
    if (pvBufOut->vt != (VT_ARRAY | VT_UI1) || !pvBufOut->parray || pvBufOut->parray->cDims != 1 ||
        pvBufOut->parray->cbElements != 1)
        return E_INVALIDARG;
    // Without a configuration no whole line can be asked for.
    if (m_BytesPerLine <= 0)
        return E_FAIL;

    SAFEARRAY* array = pvBufOut->parray;
    plat::SafeArrayAccess arrayLock(array);
    if (FAILED(arrayLock.Result()))
        return arrayLock.Result();
    const DWORD lineBytes = static_cast<DWORD>(m_BytesPerLine);
    const DWORD size = array->rgsabound[0].cElements / lineBytes * lineBytes;

    FuncArgs args{};
    DWORD bytesWritten = 0;
    LONG payloadLevel = 0;
    LONG payloadStatus = 0;
    args.Produce.BufferSize = size;
    args.Produce.Buffer = static_cast<BYTE*>(arrayLock.Data());
    args.Produce.BytesWritten = &bytesWritten;
    args.Produce.PayloadLevel = &payloadLevel;
    args.Produce.PayloadStatus = &payloadStatus;
    if (!m_session->ClientRequest(this, REQ_PRODUCE, &args))
        return E_FAIL;

    BSTR answer = nullptr;
    {
        StoreHolder store(CreateMSXML6Store());
        if (store) {
            store->Initialize();
            store->ParseXML(kProduceAnswer);
            store->SetContext(u"/produce/output");
            const std::pair<const WCHAR*, LONG> elements[] = {
                {u"ImageWidth", m_ImageWidth},
                {u"BitsPerPixel", m_BitsPerPixel},
                {u"BytesPerLine", m_BytesPerLine},
                {u"ColorChannelOrder", m_ColorChannelOrder},
                {u"LineOrder", m_LineOrder},
                {u"BitOrder", m_BitOrder},
                {u"DPI", m_DPI},
                {u"BytesWritten", static_cast<LONG>(bytesWritten)},
                {u"Status", payloadStatus},
                {u"End", payloadLevel},
            };
            for (const auto& [name, value] : elements)
                store->SetIntByName(name, value);
            answer = store->GenerateXML();
        }
    }
    SysFreeString(*pbstrXML);
    *pbstrXML = answer;
    return S_OK;
}
