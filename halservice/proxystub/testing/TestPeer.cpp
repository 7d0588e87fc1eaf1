// The other process of the tests: run with "-Embedding" it is a toy
// hardware service (a local server of CLSID_ToyHALS whose objects call back
// the sinks they are given); run with "client" it creates an object,
// registers a button sink, prints "ready <server pid>" and pumps messages
// until it is killed.
#include "halservice/proxystub/testing/ToyHAL.h"
#include "platform/base/sysroot.h"
#include "platform/rpc/rpcproxy.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>

namespace {

using namespace toyhal;

std::atomic<LONG> g_liveObjects{0};
std::map<LONG, IRNXButton*> g_sinks; // main thread only
LONG g_nextSink = 1;
HANDLE g_wake = nullptr;
bool g_waiting = false;
DWORD g_mainThread = 0;
constexpr UINT WM_SEND_EVENTS = WM_APP + 1;

void SendEventsToSinks()
{
    auto sinks = g_sinks; // a call nested in the sends may change the map
    for (auto& entry : sinks) {
        entry.second->AddRef();
        BSTR name = SysAllocString(u"SIMPLEX");
        entry.second->SendButtonEvent(name, 0, 1);
        SysFreeString(name);
        entry.second->SendStatusEvent(1);
        entry.second->Release();
    }
}

// The toy is also a raster sink, so that a client can push bands into it
// (the benchmark's PutBuffer in the other direction).
class ToyHALS final : public IRNXHALS, public IRNXRasterBandHAL {
public:
    ToyHALS() { ++g_liveObjects; }
    ~ToyHALS()
    {
        for (LONG id : m_sinkIds) {
            auto it = g_sinks.find(id);
            if (it != g_sinks.end()) {
                it->second->Release();
                g_sinks.erase(it);
            }
        }
        --g_liveObjects;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IRNXHALS) {
            *ppv = static_cast<IRNXHALS*>(this);
            AddRef();
            return S_OK;
        }
        if (riid == IID_IRNXRasterBandHAL) {
            *ppv = static_cast<IRNXRasterBandHAL*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Initialize(LONG* lStatus) override
    {
        if (!lStatus)
            return E_POINTER;
        *lStatus = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Uninitialize() override { return S_OK; }
    // The status tells whether lPID is the calling process, as the socket
    // reports it.
    HRESULT STDMETHODCALLTYPE LockScanner(LONG lPID, LONG* lpStatus) override
    {
        DWORD caller = 0;
        if (!lpStatus || FAILED(CoGetCallerProcessId(&caller)))
            return E_POINTER;
        *lpStatus = static_cast<DWORD>(lPID) == caller ? 0 : 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockScanner(LONG*) override { return S_OK; }
    // The data comes back as the CDB repeated and inverted; the status is
    // the data size.
    HRESULT STDMETHODCALLTYPE DoSCSICmd(LONG lSizeCDB, BYTE* pBufCDB, LONG lSizeData, BYTE* pBufData, LONG,
                                        LONG* lpStatus) override
    {
        for (LONG i = 0; i < lSizeData && lSizeCDB > 0; ++i)
            pBufData[i] = static_cast<BYTE>(~pBufCDB[i % lSizeCDB]);
        if (lpStatus)
            *lpStatus = lSizeData;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Register(IUnknown* pSink, LONG, LONG* lpBEID) override
    {
        if (!pSink || !lpBEID)
            return E_POINTER;
        IRNXButton* sink = nullptr;
        HRESULT hr = pSink->QueryInterface(IID_IRNXButton, reinterpret_cast<void**>(&sink));
        if (FAILED(hr))
            return hr;
        LONG id = g_nextSink++;
        g_sinks[id] = sink;
        m_sinkIds.push_back(id);
        *lpBEID = id;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unregister(LONG lBEID) override
    {
        auto it = g_sinks.find(lBEID);
        if (it != g_sinks.end()) {
            it->second->Release();
            g_sinks.erase(it);
        }
        return S_OK;
    }
    // Reads Width, Height and Name from the sink's input and writes
    // twice the numbers and the name back under its output.
    HRESULT STDMETHODCALLTYPE Configure(IUnknown* pXMLSink) override
    {
        if (!pXMLSink)
            return E_POINTER;
        ICKelXmlHAL* xml = nullptr;
        HRESULT hr = pXMLSink->QueryInterface(IID_ICKelXmlHAL, reinterpret_cast<void**>(&xml));
        if (FAILED(hr))
            return hr;
        INT width = 0;
        INT height = 0;
        BSTR name = nullptr;
        hr = Text(xml, &ICKelXmlHAL::SetContext, u"/config/input");
        if (SUCCEEDED(hr))
            hr = Number(xml, &ICKelXmlHAL::GetIntByName, u"Width", &width);
        if (SUCCEEDED(hr))
            hr = Number(xml, &ICKelXmlHAL::GetIntByName, u"Height", &height);
        if (SUCCEEDED(hr)) {
            BSTR key = SysAllocString(u"Name");
            hr = xml->GetStringByName(key, &name);
            SysFreeString(key);
        }
        if (SUCCEEDED(hr))
            hr = Text(xml, &ICKelXmlHAL::SetContext, u"/config/output");
        if (SUCCEEDED(hr))
            hr = SetNumber(xml, u"Width", width * 2);
        if (SUCCEEDED(hr))
            hr = SetNumber(xml, u"Height", height * 2);
        if (SUCCEEDED(hr)) {
            BSTR key = SysAllocString(u"Name");
            hr = xml->SetStringByName(key, name);
            SysFreeString(key);
        }
        SysFreeString(name);
        xml->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Control(LONG, IUnknown* pXMLSink, VARIANT* pvBufIn, VARIANT* pvBufOut) override
    {
        return pXMLSink && pvBufIn && pvBufOut ? S_OK : E_POINTER;
    }
    // One band of getSizeBuffer bytes with the toy pattern, delivered the
    // way the service does it.
    HRESULT STDMETHODCALLTYPE Produce(IUnknown* pRasterBandSink) override
    {
        if (!pRasterBandSink)
            return E_POINTER;
        IRNXRasterBandHAL* band = nullptr;
        HRESULT hr = pRasterBandSink->QueryInterface(IID_IRNXRasterBandHAL, reinterpret_cast<void**>(&band));
        if (FAILED(hr))
            return hr;
        LONG size = 0;
        hr = band->getSizeBuffer(&size);
        VARIANT buffer;
        VariantInit(&buffer);
        if (SUCCEEDED(hr) && size >= 0) {
            buffer.vt = VT_ARRAY | VT_UI1;
            // Filled whole below, unless the band goes unfilled.
            buffer.parray = m_fill ? plat::CreateByteVectorToFill(0, static_cast<ULONG>(size))
                                   : SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
            hr = buffer.parray ? S_OK : E_OUTOFMEMORY;
        }
        {
            // Handed over as the service does, in one message.
            plat::rpc::CallBatch handOver(band);
            if (SUCCEEDED(hr)) {
                auto* bytes = static_cast<BYTE*>(buffer.parray->pvData);
                for (LONG i = 0; i < size && m_fill; ++i)
                    bytes[i] = BandByte(static_cast<size_t>(i));
                hr = band->putStatus(0);
            }
            if (SUCCEEDED(hr))
                hr = band->putPayloadLevel(1);
            if (SUCCEEDED(hr))
                hr = band->DescribeBufferContent(m_width, 8, m_width, 0, 0, 0, 300, size);
            if (SUCCEEDED(hr))
                hr = band->PutBuffer(&buffer);
            hr = handOver.Finish(hr);
        }
        VariantClear(&buffer);
        band->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Configure2(BSTR bstrXML) override
    {
        m_width = static_cast<LONG>(SysStringLen(bstrXML));
        m_fill = !bstrXML || std::u16string(bstrXML) != kNoPattern;
        return S_OK;
    }
    // Fills the caller's array in place and answers how many bytes.
    HRESULT STDMETHODCALLTYPE Produce2(VARIANT* pvBufOut, BSTR* pbstrXML) override
    {
        if (!pvBufOut || !pbstrXML || pvBufOut->vt != (VT_ARRAY | VT_UI1) || !pvBufOut->parray)
            return E_POINTER;
        ULONG count = pvBufOut->parray->rgsabound[0].cElements;
        auto* bytes = static_cast<BYTE*>(pvBufOut->parray->pvData);
        for (ULONG i = 0; i < count; ++i)
            bytes[i] = BandByte(i);
        std::u16string text = u"<produce><output><BytesWritten>" + Utf8ToUtf16(std::to_string(count)) +
                              u"</BytesWritten></output></produce>";
        SysFreeString(*pbstrXML);
        *pbstrXML = SysAllocString(text.c_str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Control2(LONG lCC, BSTR* pbstrXML, VARIANT* pvBufIn, VARIANT* pvBufOut) override
    {
        if (!pbstrXML || !pvBufIn || !pvBufOut)
            return E_POINTER;
        switch (lCC) {
        case kSendEventsLater:
            return PostThreadMessageW(g_mainThread, WM_SEND_EVENTS, 0, 0) ? S_OK : E_FAIL;
        case kLiveObjects:
        case kCallsMade:
            if (pvBufOut->vt != (VT_ARRAY | VT_UI1) || !pvBufOut->parray ||
                pvBufOut->parray->rgsabound[0].cElements < sizeof(LONG))
                return E_INVALIDARG;
            {
                LONG number = lCC == kLiveObjects ? g_liveObjects.load() : static_cast<LONG>(plat::rpc::CallsMade());
                std::memcpy(pvBufOut->parray->pvData, &number, sizeof number);
            }
            return S_OK;
        case kWaitPumping:
            return WaitPumping();
        case kWake:
            if (!g_waiting)
                return S_FALSE;
            SetEvent(g_wake);
            return S_OK;
        case kIsWaiting:
            return g_waiting ? S_OK : S_FALSE;
        default:
            return E_INVALIDARG;
        }
    }

    // As a raster sink: PutBuffer takes the band (its size is the result);
    // the rest only answers.
    HRESULT STDMETHODCALLTYPE PutBuffer(VARIANT* pvBufIn) override
    {
        if (!pvBufIn || pvBufIn->vt != (VT_ARRAY | VT_UI1) || !pvBufIn->parray)
            return E_POINTER;
        m_received += pvBufIn->parray->rgsabound[0].cElements;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE getImageWidth(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE putImageWidth(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE getBytesWritten(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE putBytesWritten(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE getBitsPerPixel(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE putBitsPerPixel(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE getBytesPerLine(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE putBytesPerLine(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE getColorChannelOrder(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE putColorChannelOrder(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE getBitOrder(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE putBitOrder(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE getLineOrder(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE putLineOrder(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE getDpi(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE putDpi(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE getPayloadLevel(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE putPayloadLevel(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE getSizeBuffer(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE putSizeBuffer(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE getStatus(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE putStatus(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DescribeBufferContent(LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clear() override { return S_OK; }

private:
    static HRESULT Text(ICKelXmlHAL* xml, HRESULT (STDMETHODCALLTYPE ICKelXmlHAL::*method)(BSTR), const char16_t* text)
    {
        BSTR value = SysAllocString(text);
        HRESULT hr = (xml->*method)(value);
        SysFreeString(value);
        return hr;
    }
    static HRESULT Number(ICKelXmlHAL* xml, HRESULT (STDMETHODCALLTYPE ICKelXmlHAL::*method)(BSTR, INT*),
                          const char16_t* name, INT* value)
    {
        BSTR key = SysAllocString(name);
        HRESULT hr = (xml->*method)(key, value);
        SysFreeString(key);
        return hr;
    }
    static HRESULT SetNumber(ICKelXmlHAL* xml, const char16_t* name, INT value)
    {
        BSTR key = SysAllocString(name);
        HRESULT hr = xml->SetIntByName(key, value);
        SysFreeString(key);
        return hr;
    }
    // The wait of the service's request hand-off: messages keep being
    // dispatched, so other calls run inside it.
    static HRESULT WaitPumping()
    {
        g_waiting = true;
        HRESULT hr = E_FAIL;
        for (int turn = 0; turn < 2000 && hr != S_OK; ++turn) {
            if (MsgWaitForMultipleObjects(1, &g_wake, FALSE, 10, QS_ALLINPUT) == WAIT_OBJECT_0)
                hr = S_OK;
            MSG msg;
            while (hr != S_OK && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
        }
        g_waiting = false;
        return hr;
    }

    ULONG m_refs = 0;
    LONG m_width = 0;
    bool m_fill = true;
    ULONGLONG m_received = 0;
    std::vector<LONG> m_sinkIds;
};

HRESULT CreateToy(IUnknown* outer, REFIID riid, void** ppv)
{
    if (outer)
        return CLASS_E_NOAGGREGATION;
    auto* toy = new ToyHALS;
    toy->AddRef();
    HRESULT hr = toy->QueryInterface(riid, ppv);
    toy->Release();
    return hr;
}

plat::ComModule g_module;

int RunServer()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    g_mainThread = GetCurrentThreadId();
    plat::EnsureThreadMessageQueue();
    g_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    IClassFactory* factory = nullptr;
    plat::ClassFactory::Make(g_module, CreateToy, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(CLSID_ToyHALS, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == WM_SEND_EVENTS)
            SendEventsToSinks();
        DispatchMessageW(&msg);
    }
    CoRevokeClassObject(cookie);
    factory->Release();
    CoUninitialize();
    return 0;
}

class Sink final : public IRNXButton {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IRNXButton) {
            *ppv = static_cast<IRNXButton*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SendButtonEvent(BSTR, LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SendStatusEvent(LONG) override { return S_OK; }
};

int RunClient()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IRNXHALS* hal = nullptr;
    HRESULT hr =
        CoCreateInstance(CLSID_ToyHALS, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS, reinterpret_cast<void**>(&hal));
    if (FAILED(hr))
        return 2;
    static Sink sink;
    LONG status = -1;
    LONG id = 0;
    if (FAILED(hal->Initialize(&status)) || FAILED(hal->Register(&sink, static_cast<LONG>(GetCurrentProcessId()), &id)))
        return 3;
    std::printf("ready %u\n", plat::rpc::GetPeerProcessId(hal));
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

// As a service: the server runs in ServiceMain, and a stop ends its loop.
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;

void ReportState(DWORD state)
{
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = SERVICE_ACCEPT_STOP;
    SetServiceStatus(g_statusHandle, &status);
}

DWORD ServiceHandler(DWORD control, DWORD, LPVOID, LPVOID)
{
    if (control == SERVICE_CONTROL_STOP)
        PostThreadMessageW(g_mainThread, WM_QUIT, 0, 0);
    return NO_ERROR;
}

void ToyServiceMain(DWORD, LPWSTR*)
{
    g_statusHandle = RegisterServiceCtrlHandlerExW(kToyServiceName, ServiceHandler, nullptr);
    ReportState(SERVICE_RUNNING);
    RunServer();
    ReportState(SERVICE_STOPPED);
}

int RunService()
{
    static char16_t name[64];
    std::u16string(kToyServiceName).copy(name, 63);
    SERVICE_TABLE_ENTRYW table[] = {{name, ToyServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "service") == 0)
            return RunService();
        // A server that never publishes its class: says who it is, then waits to be killed.
        if (std::strcmp(argv[i], "idle") == 0) {
            std::FILE* file = std::fopen((plat::RuntimeFolder() + "/idle.pid").c_str(), "w");
            if (file) {
                std::fprintf(file, "%u\n", GetCurrentProcessId());
                std::fclose(file);
            }
            for (;;)
                pause();
        }
        // A server that ends before it publishes its class.
        if (std::strcmp(argv[i], "exit") == 0)
            return 3;
        if (std::strcmp(argv[i], "-Embedding") == 0)
            return RunServer();
        if (std::strcmp(argv[i], "client") == 0)
            return RunClient();
    }
    return 64;
}
