// The raster band: one band of whole image lines, the description of their
// format, and (from the payload part) its session level and status.
#pragma once

#include "diag/TraceClient.h"
#include "pipeline/ComObjectRoot.h"
#include "pipeline/RNXPayload.h"

namespace Tessivo {

// The eleven format values set in one call by DescribeBufferContent; -1 is
// "not described yet".
struct RasterBandFormat {
    LONG RasterCompression = -1; // 0 = uncompressed
    LONG ImageWidth = -1;        // pixels per line
    LONG BitsPerPixel = -1;      // 1, 8 or 24
    LONG BytesPerLine = 0;       // padding included
    LONG PixelType = -1;         // 0 black-and-white, 1 gray, 2 RGB
    LONG ColorChannelOrder = -1; // 0 RGB, 1 BGR
    LONG LineOrder = -1;         // 0 TopDown, 1 BottomUp
    LONG BitOrder = -1;          // 0 MSBFirst, 1 LSBFirst
    LONG PixelGender = -1;       // 0 BlackIsZero, 1 WhiteIsZero
    LONG pixelOrder = -1;        // 0 LeftRight, 1 RightLeft
    LONG Dpi = 0;
};

class CRNXRasterBand final : public CComObjectRoot,
                             public plat::DispatchImpl<IRNXRasterBand>,
                             public CRNXPayload,
                             public CTraceClient {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);

    explicit CRNXRasterBand(IUnknown* outer);
    ~CRNXRasterBand() override;

    HRESULT FinalConstruct() override;
    void FinalRelease() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return OuterQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }

    HRESULT STDMETHODCALLTYPE get_BytesPerLine(LONG* pVal) override { return Get(m_format.BytesPerLine, pVal); }
    HRESULT STDMETHODCALLTYPE put_BytesPerLine(LONG newVal) override { return Put(m_format.BytesPerLine, newVal); }
    HRESULT STDMETHODCALLTYPE get_RasterCompression(LONG* pVal) override
    {
        return Get(m_format.RasterCompression, pVal);
    }
    HRESULT STDMETHODCALLTYPE put_RasterCompression(LONG newVal) override
    {
        return Put(m_format.RasterCompression, newVal);
    }
    HRESULT STDMETHODCALLTYPE get_ImageWidth(LONG* pVal) override { return Get(m_format.ImageWidth, pVal); }
    HRESULT STDMETHODCALLTYPE put_ImageWidth(LONG newVal) override { return Put(m_format.ImageWidth, newVal); }
    HRESULT STDMETHODCALLTYPE get_BitsPerPixel(LONG* pVal) override { return Get(m_format.BitsPerPixel, pVal); }
    HRESULT STDMETHODCALLTYPE put_BitsPerPixel(LONG newVal) override { return Put(m_format.BitsPerPixel, newVal); }
    HRESULT STDMETHODCALLTYPE get_ColorChannelOrder(LONG* pVal) override
    {
        return Get(m_format.ColorChannelOrder, pVal);
    }
    HRESULT STDMETHODCALLTYPE put_ColorChannelOrder(LONG newVal) override
    {
        return Put(m_format.ColorChannelOrder, newVal);
    }
    HRESULT STDMETHODCALLTYPE get_BitOrder(LONG* pVal) override { return Get(m_format.BitOrder, pVal); }
    HRESULT STDMETHODCALLTYPE put_BitOrder(LONG newVal) override { return Put(m_format.BitOrder, newVal); }
    HRESULT STDMETHODCALLTYPE get_LineOrder(LONG* pVal) override { return Get(m_format.LineOrder, pVal); }
    HRESULT STDMETHODCALLTYPE put_LineOrder(LONG newVal) override { return Put(m_format.LineOrder, newVal); }
    HRESULT STDMETHODCALLTYPE get_PixelGender(LONG* pVal) override { return Get(m_format.PixelGender, pVal); }
    HRESULT STDMETHODCALLTYPE put_PixelGender(LONG newVal) override { return Put(m_format.PixelGender, newVal); }
    HRESULT STDMETHODCALLTYPE get_PixelType(LONG* pVal) override { return Get(m_format.PixelType, pVal); }
    HRESULT STDMETHODCALLTYPE put_PixelType(LONG newVal) override { return Put(m_format.PixelType, newVal); }
    HRESULT STDMETHODCALLTYPE get_Dpi(LONG* pVal) override { return Get(m_format.Dpi, pVal); }
    HRESULT STDMETHODCALLTYPE put_Dpi(LONG newVal) override { return Put(m_format.Dpi, newVal); }
    HRESULT STDMETHODCALLTYPE get_Buffer(BYTE** pVal) override;
    HRESULT STDMETHODCALLTYPE put_Buffer(BYTE* newVal) override;
    HRESULT STDMETHODCALLTYPE get_BytesToRead(LONG* pVal) override { return Get(m_BytesToRead, pVal); }
    HRESULT STDMETHODCALLTYPE put_BytesToRead(LONG newVal) override { return Put(m_BytesToRead, newVal); }
    HRESULT STDMETHODCALLTYPE get_BytesWritten(LONG* pVal) override { return Get(m_BytesWritten, pVal); }
    HRESULT STDMETHODCALLTYPE put_BytesWritten(LONG newVal) override { return Put(m_BytesWritten, newVal); }
    HRESULT STDMETHODCALLTYPE get_BufferSize(LONG* pVal) override { return Get(m_BufferSize, pVal); }
    HRESULT STDMETHODCALLTYPE put_BufferSize(LONG newVal) override { return Put(m_BufferSize, newVal); }
    HRESULT STDMETHODCALLTYPE DescribeBufferContent(LONG compression, LONG width, LONG BitsPerPixel, LONG BytesPerLine,
                                                    LONG PixelType, LONG ColorChannelOrder, LONG LineOrder,
                                                    LONG BitOrder, LONG PixelGender, LONG pixelOrder,
                                                    LONG resolution) override;
    HRESULT STDMETHODCALLTYPE SizeBuffer(LONG lSize) override;
    HRESULT STDMETHODCALLTYPE get_pixelOrder(LONG* pVal) override { return Get(m_format.pixelOrder, pVal); }
    HRESULT STDMETHODCALLTYPE put_pixelOrder(LONG newVal) override { return Put(m_format.pixelOrder, newVal); }

private:
    void* GetInterface(REFIID riid) override;

    static HRESULT Get(LONG field, LONG* pVal)
    {
        if (!pVal)
            return E_POINTER;
        *pVal = field;
        return S_OK;
    }
    static HRESULT Put(LONG& field, LONG newVal)
    {
        field = newVal;
        return S_OK;
    }
    // Frees the buffer when the band allocated it, and forgets it.
    void FreeOwnedBuffer();

    bool m_owned = false;
    RasterBandFormat m_format;
    BYTE* m_Buffer = nullptr;
    LONG m_BufferSize = 0;
    LONG m_BytesWritten = 0;
    LONG m_BytesToRead = 0;
    bool m_usesLogSink = false;
};

} // namespace Tessivo
