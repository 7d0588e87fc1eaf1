#include "pipeline/HALRasterBand.h"

#include <cstring>
#include <new>

CHALRasterBand* CHALRasterBand::Create() { return new (std::nothrow) CHALRasterBand(); }

HRESULT CHALRasterBand::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    if (riid == IID_IUnknown || riid == IID_ICKelXmlHAL)
        *ppv = static_cast<ICKelXmlHAL*>(this);
    else if (riid == IID_IRNXRasterBandHAL)
        *ppv = static_cast<IRNXRasterBandHAL*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT CHALRasterBand::DescribeBufferContent(LONG lWidth, LONG lPixelSize, LONG lLineSize, LONG lChannelOrder,
                                              LONG lPageDirection, LONG lEndian, LONG lResolution, LONG lBandSize)
{
    m_imageWidth = lWidth;
    m_bitsPerPixel = lPixelSize;
    m_bytesPerLine = lLineSize;
    m_colorChannelOrder = lChannelOrder;
    m_lineOrder = lPageDirection;
    m_bitOrder = lEndian;
    m_dpi = lResolution;
    m_bytesWritten = lBandSize;
    return S_OK;
}

HRESULT CHALRasterBand::PutBuffer(VARIANT* pvBufIn)
{
    if (!m_target || !pvBufIn)
        return E_POINTER;
    // Whatever the service names as the type, only an array is read as one:
    // another variant's value is no pointer to follow.
    if (!(pvBufIn->vt & VT_ARRAY))
        return E_INVALIDARG;
    SAFEARRAY* array = (pvBufIn->vt & VT_BYREF) ? (pvBufIn->pparray ? *pvBufIn->pparray : nullptr) : pvBufIn->parray;
    if (!array)
        return E_POINTER;
    if (SafeArrayGetDim(array) != 1)
        return E_INVALIDARG;
    const unsigned long long available =
        static_cast<unsigned long long>(array->rgsabound[0].cElements) * SafeArrayGetElemsize(array);
    // A band that does not fit the array it came in, or the client's
    // buffer, is not copied at all.
    if (m_bytesWritten < 0 || available < static_cast<unsigned long long>(m_bytesWritten) ||
        m_bytesWritten > m_sizeBuffer)
        return E_OUTOFMEMORY;
    if (m_bytesWritten == 0)
        return S_OK;
    void* data = nullptr;
    HRESULT hr = SafeArrayAccessData(array, &data);
    if (FAILED(hr))
        return hr;
    std::memcpy(m_target, data, static_cast<size_t>(m_bytesWritten));
    SafeArrayUnaccessData(array);
    return S_OK;
}
