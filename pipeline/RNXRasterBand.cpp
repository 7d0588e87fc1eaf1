#include "pipeline/RNXRasterBand.h"

#include "diag/EventLogObject.h"
#include "pipeline/TypeLibrary.h"

#include <cstdint>

namespace Tessivo {

HRESULT CRNXRasterBand::Create(IUnknown* outer, REFIID riid, void** ppv)
{
    return plat::CreateComObject<CRNXRasterBand>(outer, riid, ppv, true);
}

CRNXRasterBand::CRNXRasterBand(IUnknown* outer)
    : CComObjectRoot(outer), DispatchImpl<IRNXRasterBand>(RasterBandTypeInfo()), CTraceClient(u"Raster Band")
{
    SetApplicationNameOnce();
    CEventLogObject* sink = GetEventLogObject();
    m_usesLogSink = sink != nullptr;
    SetLogInterface(sink);
}

CRNXRasterBand::~CRNXRasterBand()
{
    SetLogInterface(nullptr);
    if (m_usesLogSink)
        ReleaseEventLogObject();
}

void* CRNXRasterBand::GetInterface(REFIID riid)
{
    if (riid == IID_IRNXRasterBand || riid == IID_IDispatch)
        return static_cast<IRNXRasterBand*>(this);
    if (riid == IID_IRNXPayload)
        return static_cast<IRNXPayload*>(this);
    return nullptr;
}

HRESULT CRNXRasterBand::FinalConstruct()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"FinalConstruct Entered");
    m_owned = false;
    m_format = RasterBandFormat{};
    m_Buffer = nullptr;
    m_BufferSize = 0;
    m_BytesWritten = 0;
    m_BytesToRead = 0;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"( Exit. [0x%08X]", S_OK);
    return S_OK;
}

void CRNXRasterBand::FinalRelease()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"FinalRelease Entered");
    FreeOwnedBuffer();
    m_BufferSize = 0;
    m_BytesWritten = 0;
    m_BytesToRead = 0;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"FinalRelease Exit");
}

void CRNXRasterBand::FreeOwnedBuffer()
{
    if (!m_owned)
        return;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Free Buffer 0x%08X", Hex32(m_Buffer));
    CoTaskMemFree(m_Buffer);
    m_Buffer = nullptr;
    m_owned = false;
}

HRESULT CRNXRasterBand::get_Buffer(BYTE** pVal)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"get_Buffer Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"get_Buffer Params: pVal = 0x%08X", Hex32(pVal));
    if (!pVal)
        return E_POINTER;
    *pVal = m_Buffer;
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"get_Buffer Params: *pVal = 0x%08X", Hex32(*pVal));
    if (IsLogging(LOG_TRACE))
        LogTrace(u"get_Buffer Exit");
    return S_OK;
}

HRESULT CRNXRasterBand::put_Buffer(BYTE* newVal)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"put_Buffer Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"put_Buffer Params: newVal = 0x%08X", Hex32(newVal));
    // A buffer of the band's own that the caller's replaces would be lost;
    // handing back the band's own pointer changes nothing.
    if (newVal != m_Buffer)
        FreeOwnedBuffer();
    m_Buffer = newVal;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"put_Buffer Exit");
    return S_OK;
}

HRESULT CRNXRasterBand::DescribeBufferContent(LONG compression, LONG width, LONG BitsPerPixel, LONG BytesPerLine,
                                              LONG PixelType, LONG ColorChannelOrder, LONG LineOrder, LONG BitOrder,
                                              LONG PixelGender, LONG pixelOrder, LONG resolution)
{
    m_format.RasterCompression = compression;
    m_format.ImageWidth = width;
    m_format.BitsPerPixel = BitsPerPixel;
    m_format.BytesPerLine = BytesPerLine;
    m_format.PixelType = PixelType;
    m_format.ColorChannelOrder = ColorChannelOrder;
    m_format.LineOrder = LineOrder;
    m_format.BitOrder = BitOrder;
    m_format.PixelGender = PixelGender;
    m_format.pixelOrder = pixelOrder;
    m_format.Dpi = resolution;
    return S_OK;
}

HRESULT CRNXRasterBand::SizeBuffer(LONG lSize)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"SizeBuffer Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"SizeBuffer Params: lSize = %d", lSize);

    if (m_owned) {
        FreeOwnedBuffer();
        m_BytesToRead = 0;
        m_BytesWritten = 0;
        m_BufferSize = 0;
    }
    // A caller's buffer is not freed: its pointer is simply replaced. A
    // negative size is refused like an allocation that fails.
    m_Buffer = lSize >= 0 ? static_cast<BYTE*>(CoTaskMemAlloc(static_cast<SIZE_T>(lSize))) : nullptr;

    HRESULT hr = S_OK;
    if (m_Buffer) {
        m_BufferSize = lSize;
        m_BytesWritten = 0;
        m_owned = true;
        if (IsLogging(LOG_TRACE))
            LogTrace(u"Allocated Buffer 0x%08X, Size - %d", Hex32(m_Buffer), lSize);
    } else {
        // No buffer now, so nothing may claim room in one.
        m_BufferSize = 0;
        m_BytesWritten = 0;
        hr = E_OUTOFMEMORY;
    }

    if (IsLogging(LOG_TRACE))
        LogTrace(u"SizeBuffer Exit. [0x%08X]", hr);
    return hr;
}

} // namespace Tessivo
