// The raster converter's operations, each on 1 MiB bands of an A4 page at
// 300 dpi (2480 pixels a line), beside a memcpy of the same bytes measured
// in the same run. The precursor only describes each band (its bytes stay
// as they are), so what is timed is the converter's own work per band.
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "pipeline/testing/FakePayloadSource.h"
#include "platform/oleauto/ScopedBstr.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr LONG kWidth = 2480;
constexpr LONG kBandBytes = 1 << 20;
constexpr int kBandsPerPage = 8;

struct Operation {
    const char* name;
    LONG bitsPerPixel;
    const char16_t* restrictions;
};

// The band as delivered: top-down, RGB, black is zero, left to right, MSB first.
const Operation kOperations[] = {
    {"pass-through 24 bit", 24, u""},
    {"BGR swap", 24, u"ColorChannelOrder=\"BGR\""},
    {"invert 8 bit", 8, u"GrayGender=\"WhiteIsZero\""},
    {"invert 1 bit", 1, u"BWGender=\"WhiteIsZero\""},
    {"invert 24 bit", 24, u"ColorGender=\"WhiteIsZero\""},
    {"mirror 8 bit", 8, u"PixelOrder=\"RightLeft\""},
    {"mirror 1 bit", 1, u"PixelOrder=\"RightLeft\""},
    {"mirror 24 bit", 24, u"PixelOrder=\"RightLeft\""},
    {"LSB first 1 bit", 1, u"BitOrder=\"LSBFirst\""},
    {"bottom-up 24 bit", 24, u"LineOrder=\"BottomUp\""},
    {"bottom-up BGR (still image)", 24, u"Alignment=\"4\" ColorChannelOrder=\"BGR\" LineOrder=\"BottomUp\""},
};

LONG LineBytes(LONG bits) { return (kWidth * bits + 7) / 8; }

// The pipeline library, registered in a system root of its own, and COM on
// the benchmark thread.
class Library {
public:
    Library()
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        m_module = LoadLibraryA(QBK_RNXCOMCORE);
        auto reg = m_module ? reinterpret_cast<HRESULT (*)()>(GetProcAddress(m_module, "DllRegisterServer")) : nullptr;
        m_ok = reg && reg() == S_OK;
    }
    ~Library()
    {
        if (m_module)
            FreeLibrary(m_module);
        CoUninitialize();
    }
    bool Ok() const { return m_ok; }

private:
    plat::testing::TempSystemRoot m_root;
    HMODULE m_module = nullptr;
    bool m_ok = false;
};

// Describes whole lines into the band it is given, a page every
// kBandsPerPage bands.
HRESULT DescribeBand(IDispatch** payload, LONG bits, int& band)
{
    plat::ComPtr<IRNXRasterBand> raster;
    plat::ComPtr<IRNXPayload> common;
    if (FAILED((*payload)->QueryInterface(IID_IRNXRasterBand, raster.ReleaseAndGetVoidAddress())) ||
        FAILED((*payload)->QueryInterface(IID_IRNXPayload, common.ReleaseAndGetVoidAddress())))
        return E_NOINTERFACE;
    LONG size = 0;
    raster->get_BufferSize(&size);
    const LONG line = LineBytes(bits);
    const LONG pixelType = bits == 1 ? 0 : bits == 8 ? 1 : 2;
    raster->DescribeBufferContent(0, kWidth, bits, line, pixelType, 0, 0, 0, 0, 0, 300);
    raster->put_BytesWritten(size / line * line);
    common->put_SessionLevel(++band % kBandsPerPage == 0 ? 2 : 1);
    common->put_Status(0);
    return S_OK;
}

void BM_Convert(benchmark::State& state, const Operation& op)
{
    Library library;
    if (!library.Ok()) {
        state.SkipWithError("the pipeline library did not register");
        return;
    }
    plat::ComPtr<IRNXModule> converter;
    plat::ComPtr<IXMLObj> xml;
    plat::ComPtr<IRNXRasterBand> band;
    if (FAILED(CoCreateInstance(CLSID_RNXRBConvert, nullptr, CLSCTX_INPROC_SERVER, IID_IRNXModule,
                                converter.ReleaseAndGetVoidAddress())) ||
        FAILED(CoCreateInstance(CLSID_XMLObj, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLObj,
                                xml.ReleaseAndGetVoidAddress())) ||
        FAILED(CoCreateInstance(CLSID_RNXRasterBand, nullptr, CLSCTX_INPROC_SERVER, IID_IRNXRasterBand,
                                band.ReleaseAndGetVoidAddress()))) {
        state.SkipWithError("the converter could not be made");
        return;
    }
    int bands = 0;
    auto* precursor = new FakePayloadSource;
    precursor->handler = [&](IDispatch** payload) { return DescribeBand(payload, op.bitsPerPixel, bands); };
    xml->Initialize();
    plat::ScopedBstr document(std::u16string(u"<rasterCvrt><precursor>scannerSource</precursor><Restrictions ") +
                              op.restrictions + u"/></rasterCvrt>");
    xml->ParseXML(document.Get());
    xml->SeekRootNode();
    converter->Configure(precursor, xml.Get());
    plat::ComPtr<IRNXPayloadSource> source;
    converter->QueryInterface(IID_IRNXPayloadSource, source.ReleaseAndGetVoidAddress());

    std::vector<BYTE> buffer(kBandBytes, 0x5A);
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<BYTE>(i * 131);
    int64_t bytes = 0;
    for (auto _ : state) {
        band->put_Buffer(buffer.data());
        band->put_BufferSize(kBandBytes);
        IDispatch* payload = band.Get();
        if (source->Produce(&payload) != S_OK) {
            state.SkipWithError("Produce failed");
            break;
        }
        LONG written = 0;
        band->get_BytesWritten(&written);
        bytes += written;
        benchmark::DoNotOptimize(buffer.data());
    }
    source.Reset();
    converter.Reset();
    precursor->Release();
    state.SetBytesProcessed(bytes);
}

// The peer: the same bytes a band of the page carries, copied once.
void BM_Memcpy(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(kBandBytes / LineBytes(24) * LineBytes(24));
    std::vector<BYTE> from(size, 1);
    std::vector<BYTE> to(size, 2);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), size);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
}

int Register()
{
    benchmark::RegisterBenchmark("BM_Memcpy", BM_Memcpy);
    for (const Operation& op : kOperations)
        benchmark::RegisterBenchmark((std::string("BM_Convert/") + op.name).c_str(), BM_Convert, op);
    // Again at the end, to show how far the machine drifted meanwhile.
    benchmark::RegisterBenchmark("BM_Memcpy/again", BM_Memcpy);
    return 0;
}
const int kRegistered = Register();

} // namespace
