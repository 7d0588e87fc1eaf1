#include "pipeline/RNXHALWrap.h"

#include "diag/EventLogObject.h"
#include "diag/OperationTrace.h"
#include "pipeline/HALRasterBand.h"
#include "pipeline/HALXML.h"
#include "pipeline/TypeLibrary.h"
#include "platform/oleauto/ScopedBstr.h"

#include <cstdint>
#include <new>
#include <string>

namespace {

// A failure code from a call on the service or on an XML sink: the rest of
// the operation is skipped and the session undone.
struct CallFailed {
    HRESULT result;
};

HRESULT Checked(HRESULT hr)
{
    if (FAILED(hr))
        throw CallFailed{hr};
    return hr;
}

// The configuration results copied back into the client's settings.
const WCHAR* const kOutputKeys[] = {u"Width", u"Height", u"BytesPerLine", u"Status"};

// The raster band's pixel type for a depth: gray, colour, else black-and-white.
LONG PixelTypeFor(LONG bitsPerPixel)
{
    if (bitsPerPixel == 8)
        return 1;
    if (bitsPerPixel == 24)
        return 2;
    return 0;
}

constexpr LONG kLastBandOfSession = 6;

} // namespace

namespace Tessivo {

HRESULT CRNXHALWrap::Create(IUnknown* outer, REFIID riid, void** ppv)
{
    return plat::CreateComObject<CRNXHALWrap>(outer, riid, ppv, false);
}

CRNXHALWrap::CRNXHALWrap(IUnknown* outer)
    : CComObjectRoot(outer), DispatchImpl<IRNXHALWrap>(HALWrapTypeInfo()), DispatchImpl<IRNXModule>(ModuleTypeInfo()),
      DispatchImpl<IRNXPayloadSource>(PayloadSourceTypeInfo()), CTraceClient(u"HAL Module")
{
    SetApplicationNameOnce();
    CEventLogObject* sink = GetEventLogObject();
    m_usesLogSink = sink != nullptr;
    SetLogInterface(sink);
}

CRNXHALWrap::~CRNXHALWrap()
{
    // Whoever else holds the service decides about its lock.
    if (m_service)
        m_service->Release();
    SetLogInterface(nullptr);
    if (m_usesLogSink)
        ReleaseEventLogObject();
}

HRESULT CRNXHALWrap::FinalConstruct()
{
    TraceEntered(*this, u"FinalConstruct");
    m_sink = CHALRasterBand::Create();
    m_preset = false;
    const HRESULT hr = m_sink ? S_OK : E_OUTOFMEMORY;
    TraceExit(*this, u"FinalConstruct", hr);
    return hr;
}

void CRNXHALWrap::FinalRelease()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"FinalRelease Entered.");
    if (m_sink) {
        m_sink->Release();
        m_sink = nullptr;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"FinalRelease Exit.");
}

void* CRNXHALWrap::GetInterface(REFIID riid)
{
    if (riid == IID_IRNXHALWrap || riid == IID_IDispatch)
        return static_cast<IRNXHALWrap*>(this);
    if (riid == IID_IRNXPayloadSource)
        return static_cast<IRNXPayloadSource*>(this);
    if (riid == IID_IRNXModule)
        return static_cast<IRNXModule*>(this);
    return nullptr;
}

HRESULT CRNXHALWrap::GetClassID(CLSID* pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = CLSID_RNXHALWrap;
    return S_OK;
}

HRESULT CRNXHALWrap::SetCurrentHAL(IUnknown* theHAL)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SetCurrentHAL Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"SetCurrentHAL Params: theHAL = 0x%08X", Hex32(theHAL));
    if (theHAL != m_service) {
        if (m_service) {
            m_service->Release();
            m_service = nullptr;
        }
        if (theHAL) {
            IRNXHALS* service = nullptr;
            if (SUCCEEDED(theHAL->QueryInterface(IID_IRNXHALS, reinterpret_cast<void**>(&service))))
                m_service = service;
        }
    }
    m_preset = m_service != nullptr;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SetCurrentHAL Exit. [0x%08X]", static_cast<DWORD>(S_OK));
    return S_OK;
}

void CRNXHALWrap::DropService()
{
    if (!m_service)
        return;
    // A service that has gone away answers with errors here: the session is
    // over on this side all the same.
    if (!m_preset) {
        LONG status = 0;
        m_service->UnlockScanner(&status);
        m_service->Uninitialize();
    }
    m_service->Release();
    m_service = nullptr;
    m_preset = false;
}

HRESULT CRNXHALWrap::Configure(IDispatch* modules, IDispatch* modulesSettings)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Configure Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Configure Params: modules = 0x%08X, modulesSettings = 0x%08X", Hex32(modules),
                     Hex32(modulesSettings));

    LONG status = 0;
    HRESULT result = E_INVALIDARG;
    plat::ComPtr<IXMLObj> settings;
    if (modulesSettings)
        result = modulesSettings->QueryInterface(IID_IXMLObj, settings.ReleaseAndGetVoidAddress());
    if (SUCCEEDED(result)) {
        plat::ScopedBstr scanner;
        settings->GetStringByName(plat::ScopedBstr(u"scanner").Get(), plat::ScopedBstr(u"Undefined").Get(),
                                  scanner.Out());
        try {
            result = ConfigureService(settings.Get(), scanner.Get(), &status);
        } catch (const CallFailed&) {
            if (IsLogging(LOG_ERROR))
                LogError(u"Unexpected exception caught");
            result = E_UNEXPECTED;
        } catch (const std::bad_alloc&) {
            if (IsLogging(LOG_ERROR))
                LogError(u"Unexpected exception caught");
            result = E_UNEXPECTED;
        }
        if (result != S_OK || status != 0) {
            DropService();
            if (result == S_OK)
                result = E_UNEXPECTED;
            if (IsLogging(LOG_ERROR))
                LogError(u"Operation failed, Result = 0x%08X, Status = 0x%08X", static_cast<DWORD>(result),
                         static_cast<DWORD>(status));
        }
    }

    if (IsLogging(LOG_TRACE))
        LogTrace(u"Configure Exit. [0x%08X]", static_cast<DWORD>(result));
    return result;
}

HRESULT CRNXHALWrap::ConfigureService(IXMLObj* settings, BSTR scanner, LONG* status)
{
    const std::u16string scannerText = scanner ? scanner : u"";
    if (!m_service && scannerText == u"Undefined") {
        if (IsLogging(LOG_ERROR))
            LogError(u"Invalid HAL (0x%08X) or ServerID (%s)", Hex32(m_service), scannerText.c_str());
        return E_UNEXPECTED;
    }

    HRESULT hr = settings->SetContext(plat::ScopedBstr(u"config").Get());
    if (hr != S_OK) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Invalid Settings structure or Context, failed SetContext 'config'");
        return hr;
    }

    // The service answers into config/output: make it, then take the whole
    // config element as the fragment it receives.
    settings->CreateNode(plat::ScopedBstr(u"output").Get());
    for (const WCHAR* key : kOutputKeys)
        settings->SetIntByName(plat::ScopedBstr(key).Get(), 0);
    settings->SetContext(plat::ScopedBstr(u"..").Get());
    plat::ScopedBstr fragment;
    hr = settings->GenerateXMLFromContext(fragment.Out());
    if (hr != S_OK) {
        if (IsLogging(LOG_ERROR))
            LogError(u"XML Parser error, unable to generate HAL Settings fragment");
        return hr;
    }

    // Released on every way out, with its store.
    plat::ComPtr<ICKelXmlHAL> halXml;
    halXml.Attach(CHALXML::Create());
    if (!halXml)
        throw std::bad_alloc();
    hr = Checked(halXml->Initialize());
    if (hr == S_OK)
        hr = Checked(halXml->ParseXML(fragment.Get()));
    if (hr != S_OK) {
        if (IsLogging(LOG_ERROR))
            LogError(u"HAL XML Parser error, unable to Initialize or Parse HAL Settings fragment");
        return hr;
    }
    Checked(halXml->SetContext(plat::ScopedBstr(u"/config").Get()));

    if (!(m_preset && m_service)) {
        hr = CreateService(scanner, status);
        if (hr != S_OK || *status != 0)
            return hr;
    }

    hr = Checked(m_service->Configure(halXml.Get()));
    if (hr != S_OK) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Failed to configure HAL, Result = 0x%08X", static_cast<DWORD>(hr));
        return hr;
    }

    // The service leaves the sink's context at /config/output.
    settings->SetContext(plat::ScopedBstr(u"output").Get());
    for (const WCHAR* key : kOutputKeys) {
        plat::ScopedBstr name(key);
        INT value = 0;
        Checked(halXml->GetIntByName(name.Get(), &value));
        hr = settings->SetIntByName(name.Get(), value);
    }
    return hr;
}

HRESULT CRNXHALWrap::CreateService(BSTR scanner, LONG* status)
{
    // A service left from an earlier session that never reached its end.
    DropService();

    const std::u16string braced = u"{" + std::u16string(scanner ? scanner : u"") + u"}";
    CLSID clsid{};
    HRESULT hr = CLSIDFromString(braced.c_str(), &clsid);
    if (FAILED(hr)) {
        if (IsLogging(LOG_ERROR))
            LogError(u"No preset HAL object and unable to convert CSLID to String");
        return hr;
    }
    IRNXHALS* service = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS, reinterpret_cast<void**>(&service));
    if (FAILED(hr) || !service) {
        if (IsLogging(LOG_ERROR))
            LogError(u"No preset HAL object and failed to create new instance, Result = 0x%08X",
                     static_cast<DWORD>(hr));
        return FAILED(hr) ? hr : E_UNEXPECTED;
    }
    m_service = service;
    m_preset = false;

    hr = Checked(m_service->Initialize(status));
    if (hr == S_OK)
        hr = Checked(m_service->LockScanner(static_cast<LONG>(GetCurrentProcessId()), status));
    if (hr != S_OK || *status != 0) {
        if (IsLogging(LOG_ERROR))
            LogError(u"No preset HAL object and failed to Initialize or LockScanner, Result = 0x%08X",
                     static_cast<DWORD>(hr));
    }
    return hr;
}

HRESULT CRNXHALWrap::Produce(IDispatch** thePayload)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Produce Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Produce Params: **thePayload= 0x%08X", Hex32(thePayload ? *thePayload : nullptr));

    HRESULT result = S_OK;
    plat::ComPtr<IRNXRasterBand> band;
    plat::ComPtr<IRNXPayload> payload;
    if (!thePayload || !*thePayload)
        result = E_POINTER;
    else
        result = (*thePayload)->QueryInterface(IID_IRNXRasterBand, band.ReleaseAndGetVoidAddress());
    if (SUCCEEDED(result))
        result = (*thePayload)->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress());
    if (SUCCEEDED(result) && !m_service)
        result = E_UNEXPECTED;

    if (SUCCEEDED(result)) {
        LONG sessionLevel = 0;
        try {
            result = ProduceBand(band.Get(), payload.Get(), &sessionLevel);
        } catch (const CallFailed& failure) {
            m_sink->SetTarget(nullptr);
            DropService();
            if (IsLogging(LOG_ERROR))
                LogError(u"Unexpected exception caught, Result = 0x%08X", static_cast<DWORD>(failure.result));
            result = E_UNEXPECTED;
        }
        if (sessionLevel != 1 && IsLogging(LOG_TRACE))
            LogTrace(u"Session boundary reached, SessionLevel = %d", sessionLevel);
        if (sessionLevel == kLastBandOfSession && m_service) {
            DropService();
            if (IsLogging(LOG_TRACE))
                LogTrace(u"Final raster band in session detected");
        }
    }

    if (IsLogging(LOG_TRACE))
        LogTrace(u"Produce Exit. [0x%08X]", static_cast<DWORD>(result));
    return result;
}

HRESULT CRNXHALWrap::ProduceBand(IRNXRasterBand* band, IRNXPayload* payload, LONG* sessionLevel)
{
    BYTE* buffer = nullptr;
    LONG bufferSize = 0;
    Checked(band->get_Buffer(&buffer));
    Checked(band->get_BufferSize(&bufferSize));
    m_sink->SetTarget(buffer);
    // Without a buffer nothing can be delivered.
    m_sink->putSizeBuffer(buffer && bufferSize > 0 ? bufferSize : 0);

    const HRESULT hr = Checked(m_service->Produce(static_cast<ICKelXmlHAL*>(m_sink)));
    // The band's buffer is the client's: not kept past this call.
    m_sink->SetTarget(nullptr);
    if (hr != S_OK) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Product Method failed, Result = 0x%08X", static_cast<DWORD>(hr));
        return hr;
    }

    LONG width = 0, bitsPerPixel = 0, bytesPerLine = 0, channelOrder = 0, lineOrder = 0, bitOrder = 0, dpi = 0;
    LONG level = 0, status = 0, bytesWritten = 0;
    m_sink->getImageWidth(&width);
    m_sink->getBitsPerPixel(&bitsPerPixel);
    m_sink->getBytesPerLine(&bytesPerLine);
    m_sink->getColorChannelOrder(&channelOrder);
    m_sink->getLineOrder(&lineOrder);
    m_sink->getBitOrder(&bitOrder);
    m_sink->getDpi(&dpi);
    m_sink->getPayloadLevel(&level);
    m_sink->getStatus(&status);
    m_sink->getBytesWritten(&bytesWritten);

    Checked(band->DescribeBufferContent(0, width, bitsPerPixel, bytesPerLine, PixelTypeFor(bitsPerPixel), channelOrder,
                                        lineOrder, bitOrder, 0, 0, dpi));
    Checked(payload->put_SessionLevel(level));
    Checked(payload->put_Status(status));
    Checked(band->put_BytesWritten(bytesWritten));
    *sessionLevel = level;
    if (status != 0 && level != kLastBandOfSession) {
        if (IsLogging(LOG_ERROR))
            LogError(u"Detected an error in Produce, Status = 0x%08X", static_cast<DWORD>(status));
        *sessionLevel = kLastBandOfSession;
        Checked(payload->put_SessionLevel(kLastBandOfSession));
    }
    return S_OK;
}

} // namespace Tessivo
