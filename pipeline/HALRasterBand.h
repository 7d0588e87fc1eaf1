// The raster sink the hardware service fills during IRNXHALS::Produce: it
// keeps the service's description of the band and copies the band's bytes
// straight into the client's band buffer. It also answers ICKelXmlHAL over
// a store of its own, which the service does not use.
#pragma once

#include "pipeline/HALXML.h"

class CHALRasterBand final : public plat::RefCounted<CHALXMLStore, IRNXRasterBandHAL> {
public:
    // A new sink with a reference count of 1; null without memory.
    static CHALRasterBand* Create();

    // The band buffer the next PutBuffer copies into (not owned); it holds
    // SizeBuffer bytes.
    void SetTarget(BYTE* target) { m_target = target; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;

    HRESULT STDMETHODCALLTYPE getImageWidth(LONG* pVal) override { return Get(m_imageWidth, pVal); }
    HRESULT STDMETHODCALLTYPE putImageWidth(LONG newVal) override { return Put(m_imageWidth, newVal); }
    HRESULT STDMETHODCALLTYPE getBytesWritten(LONG* pVal) override { return Get(m_bytesWritten, pVal); }
    HRESULT STDMETHODCALLTYPE putBytesWritten(LONG newVal) override { return Put(m_bytesWritten, newVal); }
    HRESULT STDMETHODCALLTYPE getBitsPerPixel(LONG* pVal) override { return Get(m_bitsPerPixel, pVal); }
    HRESULT STDMETHODCALLTYPE putBitsPerPixel(LONG newVal) override { return Put(m_bitsPerPixel, newVal); }
    HRESULT STDMETHODCALLTYPE getBytesPerLine(LONG* pVal) override { return Get(m_bytesPerLine, pVal); }
    HRESULT STDMETHODCALLTYPE putBytesPerLine(LONG newVal) override { return Put(m_bytesPerLine, newVal); }
    HRESULT STDMETHODCALLTYPE getColorChannelOrder(LONG* pVal) override { return Get(m_colorChannelOrder, pVal); }
    HRESULT STDMETHODCALLTYPE putColorChannelOrder(LONG newVal) override { return Put(m_colorChannelOrder, newVal); }
    HRESULT STDMETHODCALLTYPE getBitOrder(LONG* pVal) override { return Get(m_bitOrder, pVal); }
    HRESULT STDMETHODCALLTYPE putBitOrder(LONG newVal) override { return Put(m_bitOrder, newVal); }
    HRESULT STDMETHODCALLTYPE getLineOrder(LONG* pVal) override { return Get(m_lineOrder, pVal); }
    HRESULT STDMETHODCALLTYPE putLineOrder(LONG newVal) override { return Put(m_lineOrder, newVal); }
    HRESULT STDMETHODCALLTYPE getDpi(LONG* pVal) override { return Get(m_dpi, pVal); }
    HRESULT STDMETHODCALLTYPE putDpi(LONG newVal) override { return Put(m_dpi, newVal); }
    HRESULT STDMETHODCALLTYPE getPayloadLevel(LONG* pVal) override { return Get(m_payloadLevel, pVal); }
    HRESULT STDMETHODCALLTYPE putPayloadLevel(LONG newVal) override { return Put(m_payloadLevel, newVal); }
    HRESULT STDMETHODCALLTYPE getSizeBuffer(LONG* pVal) override { return Get(m_sizeBuffer, pVal); }
    HRESULT STDMETHODCALLTYPE putSizeBuffer(LONG newVal) override { return Put(m_sizeBuffer, newVal); }
    HRESULT STDMETHODCALLTYPE getStatus(LONG* pVal) override { return Get(m_status, pVal); }
    HRESULT STDMETHODCALLTYPE putStatus(LONG newVal) override { return Put(m_status, newVal); }
    HRESULT STDMETHODCALLTYPE DescribeBufferContent(LONG lWidth, LONG lPixelSize, LONG lLineSize, LONG lChannelOrder,
                                                    LONG lPageDirection, LONG lEndian, LONG lResolution,
                                                    LONG lBandSize) override;
    HRESULT STDMETHODCALLTYPE Clear() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PutBuffer(VARIANT* pvBufIn) override;

private:
    CHALRasterBand() = default;
    ~CHALRasterBand() override = default;

    static HRESULT Get(LONG value, LONG* out)
    {
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }
    static HRESULT Put(LONG& field, LONG value)
    {
        field = value;
        return S_OK;
    }

    plat::ModuleLock m_moduleLock{RNXCOMCoreModule()};

    LONG m_sizeBuffer = 0;
    LONG m_imageWidth = 0;
    LONG m_bytesWritten = 0;
    LONG m_bitsPerPixel = 0;
    LONG m_bytesPerLine = 0;
    LONG m_colorChannelOrder = 0;
    LONG m_bitOrder = 0;
    LONG m_lineOrder = 0;
    LONG m_dpi = 0;
    LONG m_payloadLevel = 0;
    LONG m_status = 0;
    BYTE* m_target = nullptr; // not owned
};
