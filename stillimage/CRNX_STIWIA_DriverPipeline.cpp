// The image pipeline in the driver's process: the hardware-service wrapper,
// the converter after it and the band every read fills, configured from the
// scan settings; ReadScan pulls one band through it.
#include "stillimage/CRNX_STIWIA_Driver.h"

#include "diag/OperationTrace.h"
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "pipeline/RNXCOMCoreIds.h"
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "stillimage/PipelineDocuments.h"

#include <algorithm>

namespace {

using plat::ComPtr;
using plat::ScopedBstr;

// A failing step of the configuration or of a band read.
struct StepFailed {};

void Check(HRESULT hr)
{
    if (FAILED(hr))
        throw StepFailed{};
}

template <typename T>
void Replace(T*& held, T* object)
{
    if (held == object)
        return;
    if (object)
        object->AddRef();
    if (held)
        held->Release();
    held = object;
}

template <typename T>
void Drop(T*& held)
{
    if (held)
        held->Release();
    held = nullptr;
}

} // namespace

void CRNX_STIWIA_Driver::ReleasePipeline()
{
    Drop(m_pHalWrap);
    Drop(m_pConverter);
    Drop(m_pRasterBand);
}

HRESULT CRNX_STIWIA_Driver::ConfigurePipeline(IRNXHALS* pHal)
{
    TraceEntered(*this, u"Configure");
    ComPtr<IRNXHALWrap> halWrap;
    ComPtr<IRNXRasterBand> band;
    ComPtr<IRNXModule> converter;
    ComPtr<IXMLObj> settings;
    HRESULT hr = CoCreateInstance(CLSID_RNXHALWrap, nullptr, CLSCTX_INPROC_SERVER, IID_IRNXHALWrap,
                                  halWrap.ReleaseAndGetVoidAddress());
    if (hr == S_OK)
        hr = CoCreateInstance(CLSID_RNXRasterBand, nullptr, CLSCTX_INPROC_SERVER, IID_IRNXRasterBand,
                              band.ReleaseAndGetVoidAddress());
    if (hr == S_OK)
        hr = CoCreateInstance(CLSID_RNXRBConvert, nullptr, CLSCTX_INPROC_SERVER, IID_IRNXModule,
                              converter.ReleaseAndGetVoidAddress());
    if (hr == S_OK)
        hr = CoCreateInstance(CLSID_XMLObj, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLObj,
                              settings.ReleaseAndGetVoidAddress());
    if (hr != S_OK) {
        TraceExit(*this, u"Configure", hr);
        return hr;
    }

    try {
        Check(settings->Initialize());
        Check(settings->ParseXML(ScopedBstr(kScannerSourceDocument).Get()));
        Check(settings->SeekRootNode());
        Check(settings->SetContext(ScopedBstr(u"config/input").Get()));
        for (const ConfigInputKey& key : ConfigInputKeys(m_scan))
            Check(settings->SetIntByName(ScopedBstr(key.name).Get(), key.value));

        Check(halWrap->SetCurrentHAL(pHal));
        Check(settings->SeekRootNode());
        ComPtr<IRNXModule> source;
        Check(halWrap.QueryInterface(IID_IRNXModule, source));
        Check(source->Configure(nullptr, settings.Get()));

        Check(settings->SetContext(ScopedBstr(u"config/output").Get()));
        INT output[3] = {-1, -1, -1};
        const char16_t* names[3] = {u"Width", u"Height", u"BytesPerLine"};
        for (int i = 0; i < 3 && hr == S_OK; ++i) {
            Check(settings->GetIntByName(ScopedBstr(names[i]).Get(), -1, &output[i]));
            if (output[i] == -1)
                hr = E_FAIL;
        }
        if (hr == S_OK) {
            m_lPageWidth = output[0];
            m_lPageLines = output[1];
            INT status = 0;
            Check(settings->GetIntByName(ScopedBstr(u"Status").Get(), 0, &status));

            Check(settings->ParseXML(ScopedBstr(kRasterConvertDocument).Get()));
            Check(settings->SeekRootNode());
            Check(converter->Configure(source.Get(), settings.Get()));
            Check(settings->SeekRootNode());
        }
    } catch (...) {
        hr = E_FAIL;
    }

    if (hr == S_OK) {
        ComPtr<IRNXPayloadSource> pull;
        hr = converter.QueryInterface(IID_IRNXPayloadSource, pull);
        if (SUCCEEDED(hr)) {
            Replace(m_pHalWrap, halWrap.Get());
            Replace(m_pConverter, pull.Get());
            Replace(m_pRasterBand, band.Get());
        }
    }
    TraceExit(*this, u"Configure", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::ReadScan(bool* pbFirstBand, LONG lBandSize, BYTE* pDestination, LONG* plBytesWritten,
                                     bool* pbEndOfImage, bool* pbEndOfSession, LONG* plStatus)
{
    TraceEntered(*this, u"ReadScan");
    *plBytesWritten = 0;
    *plStatus = 0;
    HRESULT hr = S_OK;
    if (FAILED(m_hrHardwareInit)) {
        ReleasePipeline();
        hr = E_FAIL;
    } else if (!m_pRasterBand || !m_pConverter) {
        ReleasePipeline();
        hr = E_POINTER;
    }
    if (hr != S_OK) {
        TraceExit(*this, u"ReadScan", hr);
        return hr;
    }

    *pbFirstBand = false;
    *pbEndOfImage = false;
    *pbEndOfSession = false;
    try {
        Check(m_pRasterBand->put_Buffer(pDestination));
        Check(m_pRasterBand->put_BufferSize(lBandSize));
        IDispatch* band = m_pRasterBand;
        hr = m_pConverter->Produce(&band);
        Check(hr);
        LONG written = 0;
        Check(m_pRasterBand->get_BytesWritten(&written));
        // The band never says more than the room it was given.
        *plBytesWritten = std::clamp<LONG>(written, 0, lBandSize);
        ComPtr<IRNXPayload> payload;
        Check(m_pRasterBand->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress()));
        LONG level = 0;
        Check(payload->get_SessionLevel(&level));
        Check(payload->get_Status(plStatus));
        if (level != 1) {
            *pbEndOfImage = true;
            if (IsLogging(LOG_TRACE))
                LogTrace(u"End of Image detected.");
        }
        if (level == 6) {
            if (IsLogging(LOG_TRACE))
                LogTrace(u"End of Session detected.");
            *pbEndOfSession = true;
        }
    } catch (...) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Unexpected exception caught in ReadScan");
        hr = E_UNEXPECTED;
        *plBytesWritten = 0;
    }
    // The next transfer needs a new configuration.
    if (hr != S_OK || *pbEndOfSession)
        ReleasePipeline();
    TraceExit(*this, u"ReadScan", hr);
    return hr;
}
