#include "pipeline/RNXRBConvert.h"

#include "diag/EventLogObject.h"
#include "pipeline/TypeLibrary.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>

namespace Tessivo {

namespace {

LONG LevelOf(IRNXRasterBand* band)
{
    plat::ComPtr<IRNXPayload> payload;
    LONG level = 0;
    if (SUCCEEDED(band->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress())))
        payload->get_SessionLevel(&level);
    return level;
}

LONG StatusOf(IRNXRasterBand* band)
{
    plat::ComPtr<IRNXPayload> payload;
    LONG status = 0;
    if (SUCCEEDED(band->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress())))
        payload->get_Status(&status);
    return status;
}

void SetLevelAndStatus(IRNXRasterBand* band, LONG level, LONG status)
{
    plat::ComPtr<IRNXPayload> payload;
    if (SUCCEEDED(band->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress()))) {
        payload->put_SessionLevel(level);
        payload->put_Status(status);
    }
}

LONG Get(IRNXRasterBand* band, HRESULT (STDMETHODCALLTYPE IRNXRasterBand::*getter)(LONG*))
{
    LONG value = 0;
    (band->*getter)(&value);
    return value;
}

BYTE* BufferOf(IRNXRasterBand* band)
{
    BYTE* buffer = nullptr;
    band->get_Buffer(&buffer);
    return buffer;
}

// The precursor did not fill the band it was given (the service has gone,
// say): nothing in that band may be read, and the result goes to the caller.
struct PrecursorFailed {
    HRESULT result;
};

// The bytes of a band that hold image data: never past its buffer.
LONG UsableBytes(LONG bytesWritten, LONG bufferSize, const BYTE* buffer)
{
    if (!buffer)
        return 0;
    return std::clamp<LONG>(bytesWritten, 0, std::max<LONG>(bufferSize, 0));
}

} // namespace

CRNXTransform::CRNXTransform() : DispatchImpl<IRNXTransform>(TransformTypeInfo()) {}

CRNXTransform::~CRNXTransform() = default;

HRESULT CRNXRBConvert::Create(IUnknown* outer, REFIID riid, void** ppv)
{
    return plat::CreateComObject<CRNXRBConvert>(outer, riid, ppv, false);
}

CRNXRBConvert::CRNXRBConvert(IUnknown* outer)
    : CComObjectRoot(outer), DispatchImpl<IRNXRBConvert>(RBConvertTypeInfo()),
      DispatchImpl<IRNXPayloadSource>(PayloadSourceTypeInfo()), DispatchImpl<IRNXModule>(ModuleTypeInfo()),
      CTraceClient(u"Raster Convert")
{
    SetApplicationNameOnce();
    CEventLogObject* sink = GetEventLogObject();
    m_usesLogSink = sink != nullptr;
    SetLogInterface(sink);
}

CRNXRBConvert::~CRNXRBConvert()
{
    ResetPage();
    SetLogInterface(nullptr);
    if (m_usesLogSink)
        ReleaseEventLogObject();
}

void CRNXRBConvert::FinalRelease()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"FinalRelease Entered");
    m_tables.reset();
    if (IsLogging(LOG_TRACE))
        LogTrace(u"FinalRelease Exit.");
}

void* CRNXRBConvert::GetInterface(REFIID riid)
{
    if (riid == IID_IRNXRBConvert || riid == IID_IDispatch)
        return static_cast<IRNXRBConvert*>(this);
    if (riid == IID_IRNXTransform)
        return static_cast<IRNXTransform*>(this);
    if (riid == IID_IRNXPayloadSource)
        return static_cast<IRNXPayloadSource*>(this);
    if (riid == IID_IRNXModule)
        return static_cast<IRNXModule*>(this);
    return nullptr;
}

HRESULT CRNXRBConvert::GetClassID(CLSID* pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = CLSID_RNXRBConvert;
    return S_OK;
}

// ---------------------------------------------------------------------------
// Configuration

HRESULT CRNXRBConvert::Configure(IDispatch* modules, IDispatch* modulesSettings)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Configure Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Configure Params: precursormodule = 0x%08X, moduleSettings = 0x%08X", Hex32(modules),
                     Hex32(modulesSettings));
    HRESULT hr = S_OK;
    if (modules) {
        if (!m_interconnection)
            hr = CoCreateInstance(CLSID_RNXInterconnection, nullptr, CLSCTX_ALL, IID_IRNXInterconnection,
                                  m_interconnection.ReleaseAndGetVoidAddress());
        if (SUCCEEDED(hr))
            m_interconnection->Connect(modules);
    }
    if (modulesSettings && SUCCEEDED(hr)) {
        plat::ComPtr<IXMLObj> settings;
        if (SUCCEEDED(modulesSettings->QueryInterface(IID_IXMLObj, settings.ReleaseAndGetVoidAddress()))) {
            try {
                ReadRestrictions(settings.Get());
            } catch (...) {
                // Out of memory for a name: what was read so far stays.
            }
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Configure Exit. [0x%08X]", hr);
    return hr;
}

void CRNXRBConvert::ReadRestrictions(IXMLObj* settings)
{
    plat::ScopedBstr context(u"Restrictions");
    if (settings->SetContext(context.Get()) != S_OK)
        return;
    INT alignment = -1;
    plat::ScopedBstr alignmentName(u"Alignment");
    settings->GetAttributeInt(alignmentName.Get(), -1, &alignment);
    // An alignment below one byte cannot hold a line: kept as delivered.
    m_Alignment = alignment >= 1 ? alignment : -1;
    m_BWGender = ReadGender(settings, u"BWGender");
    m_GrayGender = ReadGender(settings, u"GrayGender");
    m_ColorGender = ReadGender(settings, u"ColorGender");
    ReadOrder(settings, u"PixelOrder", u"LeftRight", u"RightLeft", m_PixelOrder);
    ReadOrder(settings, u"BitOrder", u"MSBFirst", u"LSBFirst", m_BitOrder);
    ReadOrder(settings, u"ColorChannelOrder", u"RGB", u"BGR", m_ColorChannelOrder);
    ReadOrder(settings, u"LineOrder", u"TopDown", u"BottomUp", m_LineOrder);
}

LONG CRNXRBConvert::ReadGender(IXMLObj* settings, const char16_t* name)
{
    plat::ScopedBstr attribute(name);
    INT length = 0;
    settings->GetAttributeLength(attribute.Get(), &length);
    if (length == 0)
        return -1;
    plat::ScopedBstr fallback(u"Undefined");
    plat::ScopedBstr value;
    settings->GetAttribute(attribute.Get(), fallback.Get(), value.Out());
    if (value.View() == u"BlackIsZero")
        return 0;
    if (value.View() == u"WhiteIsZero")
        return 1;
    return -1;
}

void CRNXRBConvert::ReadOrder(IXMLObj* settings, const char16_t* name, const char16_t* zero, const char16_t* one,
                              LONG& value)
{
    plat::ScopedBstr attribute(name);
    plat::ScopedBstr fallback(u"Undefined");
    plat::ScopedBstr text;
    settings->GetAttribute(attribute.Get(), fallback.Get(), text.Out());
    if (text.View() == zero)
        value = 0;
    else if (text.View() == one)
        value = 1;
}

// ---------------------------------------------------------------------------
// Production

HRESULT CRNXRBConvert::Produce(IDispatch** thePayload)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Produce Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Produce Params: thePayload = 0x%08X", Hex32(thePayload));
    HRESULT hr = S_OK;
    plat::ComPtr<IRNXRasterBand> band;
    if (!thePayload || !*thePayload)
        hr = E_POINTER;
    else
        hr = (*thePayload)->QueryInterface(IID_IRNXRasterBand, band.ReleaseAndGetVoidAddress());
    if (SUCCEEDED(hr)) {
        try {
            if (m_pageStart) {
                StartPage(thePayload, band.Get());
            } else if (!m_pad && !m_reverseLines) {
                RequireOneLine(band.Get());
                if (m_heldBand && m_remaining > 0) {
                    CopyHeldBandUnchanged(band.Get());
                } else {
                    DropHeldBand();
                    ObtainInto(thePayload);
                }
                TransformRasterBand(band.Get());
            } else {
                RequireOneLine(band.Get());
                CopyNextRasterBand(band.Get());
            }
            const LONG level = LevelOf(band.Get());
            if (level != kLevelInPage) {
                m_pageStart = true;
                ResetPage();
            }
            // The bands of a page serve the next page; after the session
            // they are only memory.
            if (level != kLevelInPage && level != kLevelEndOfPage) {
                m_spareBands.clear();
                m_scratch = {};
            }
        } catch (const PrecursorFailed& failure) {
            if (IsLogging(LOG_ERROR))
                LogError(u"Precursor failed, Result = 0x%08X", static_cast<DWORD>(failure.result));
            hr = failure.result;
        } catch (...) {
            hr = E_UNEXPECTED;
        }
        if (FAILED(hr)) {
            // Nothing of a failed call is to be read, and what was held may
            // be stale: the next call starts a page afresh.
            band->put_BytesWritten(0);
            m_pageStart = true;
            ResetPage();
            m_spareBands.clear();
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Produce Exit. [0x%08X]", hr);
    return hr;
}

void CRNXRBConvert::ObtainInto(IDispatch** band)
{
    const HRESULT hr = m_interconnection ? m_interconnection->Obtain(band) : E_NOINTERFACE;
    // A success code other than S_OK leaves the band as it was: it must not
    // pass for a delivered band either.
    if (hr != S_OK)
        throw PrecursorFailed{FAILED(hr) ? hr : E_UNEXPECTED};
}

void CRNXRBConvert::RequireOneLine(IRNXRasterBand* band)
{
    // A page passed on as it came has no line size of ours to check.
    if (m_dataBytes == 0)
        return;
    const LONG capacity = BufferOf(band) ? Get(band, &IRNXRasterBand::get_BufferSize) : 0;
    // Nothing would ever fit: the caller would get empty bands for ever.
    if (capacity < m_output.BytesPerLine)
        throw std::length_error("the caller's buffer cannot hold one line");
}

void CRNXRBConvert::RequireWholeLines(LONG bytes, LONG bytesPerLine)
{
    // A page passed on as it came has no line size of ours to check.
    if (m_dataBytes == 0 || bytesPerLine <= 0 || bytes % bytesPerLine == 0)
        return;
    // A line cut short would shift every later line of the page: refused,
    // never cut off or passed on.
    if (IsLogging(LOG_ERROR))
        LogError(u"Band of %d bytes is not whole lines of %d bytes", bytes, bytesPerLine);
    throw std::length_error("a band that is not whole lines");
}

plat::ComPtr<IRNXRasterBand> CRNXRBConvert::NewBand(LONG size)
{
    plat::ComPtr<IRNXRasterBand> band;
    if (!m_spareBands.empty()) {
        // A band of an earlier page, made anew only where its size differs.
        band = std::move(m_spareBands.back());
        m_spareBands.pop_back();
        if (Get(band.Get(), &IRNXRasterBand::get_BufferSize) != size && FAILED(band->SizeBuffer(size)))
            throw std::bad_alloc();
        band->put_BytesWritten(0);
        SetLevelAndStatus(band.Get(), 0, PayloadOK);
        return band;
    }
    if (FAILED(CoCreateInstance(CLSID_RNXRasterBand, nullptr, CLSCTX_ALL, IID_IRNXRasterBand,
                                band.ReleaseAndGetVoidAddress())) ||
        FAILED(band->SizeBuffer(size)))
        throw std::bad_alloc(); // never pull into a band that is not there
    return band;
}

void CRNXRBConvert::StartPage(IDispatch** thePayload, IRNXRasterBand* band)
{
    ResetPage();
    const bool direct = m_Alignment == -1 && m_LineOrder == -1;
    plat::ComPtr<IRNXRasterBand> pulled;
    if (direct) {
        ObtainInto(thePayload);
        pulled = plat::ComPtr<IRNXRasterBand>(band);
    } else {
        pulled = NewBand(Get(band, &IRNXRasterBand::get_BufferSize));
        IDispatch* target = pulled.Get();
        ObtainInto(&target);
    }
    WorkOutTransforms(pulled.Get());
    RequireOneLine(band);
    CreateTransformTables();
    if (direct)
        TransformRasterBand(band);
    else
        CopyFirstRasterBand(std::move(pulled), band);
    m_pageStart = false;
}

void CRNXRBConvert::WorkOutTransforms(IRNXRasterBand* pulled)
{
    m_line = LineTransform{};
    m_reverseLines = false;
    m_pad = false;

    m_output = RasterBandFormat{};
    m_output.RasterCompression = 0;
    m_output.ImageWidth = Get(pulled, &IRNXRasterBand::get_ImageWidth);
    m_output.BitsPerPixel = Get(pulled, &IRNXRasterBand::get_BitsPerPixel);
    m_output.BytesPerLine = Get(pulled, &IRNXRasterBand::get_BytesPerLine);
    m_output.ColorChannelOrder = Get(pulled, &IRNXRasterBand::get_ColorChannelOrder);
    m_output.BitOrder = Get(pulled, &IRNXRasterBand::get_BitOrder);
    m_output.LineOrder = Get(pulled, &IRNXRasterBand::get_LineOrder);
    m_output.PixelGender = Get(pulled, &IRNXRasterBand::get_PixelGender);
    m_output.pixelOrder = Get(pulled, &IRNXRasterBand::get_pixelOrder);
    m_output.PixelType = Get(pulled, &IRNXRasterBand::get_PixelType);
    m_output.Dpi = Get(pulled, &IRNXRasterBand::get_Dpi);
    const RasterBandFormat delivered = m_output;

    // 64-bit, so no width from outside can overflow the line sizes.
    const int64_t width = delivered.ImageWidth;
    const int64_t bits = width * delivered.BitsPerPixel;
    const int64_t dataBytes = (bits + 7) / 8;
    const bool knownDepth = delivered.BitsPerPixel == 1 || delivered.BitsPerPixel == 8 || delivered.BitsPerPixel == 24;
    // A band that is not (or not sensibly) described is passed on as it came.
    if (width < 1 || !knownDepth || dataBytes > delivered.BytesPerLine) {
        m_dataBytes = 0;
        return;
    }
    m_dataBytes = static_cast<LONG>(dataBytes);
    m_line.imageWidth = delivered.ImageWidth;
    m_line.bitsPerPixel = delivered.BitsPerPixel;
    m_line.sourceBitOrder = delivered.BitOrder;

    if (m_Alignment != -1) {
        const int64_t alignment = m_Alignment;
        const int64_t bytesPerLine = (bits - 1 + 8 * alignment) / (8 * alignment) * alignment;
        if (bytesPerLine > INT32_MAX)
            throw std::length_error("line too long");
        // Any difference in line length needs a copy line by line, not only
        // a delivered length that misses the alignment.
        m_pad = bytesPerLine != delivered.BytesPerLine;
        m_output.BytesPerLine = static_cast<LONG>(bytesPerLine);
    }
    LONG gender = -1;
    if (delivered.PixelType == 0)
        gender = m_BWGender;
    else if (delivered.PixelType == 1)
        gender = m_GrayGender;
    else if (delivered.PixelType == 2)
        gender = m_ColorGender;
    if (gender != -1) {
        m_line.invert = delivered.PixelGender != gender;
        m_output.PixelGender = gender;
    }
    if (m_PixelOrder != -1) {
        m_line.mirror = delivered.pixelOrder != m_PixelOrder;
        m_output.pixelOrder = m_PixelOrder;
        if (m_line.mirror && delivered.BitsPerPixel == 1)
            m_line.reverseBits = true;
    }
    if (m_BitOrder != -1) {
        // The bit order speaks of 1-bit pixels only; gray and colour bytes
        // keep their bits.
        if (delivered.BitOrder != m_BitOrder && delivered.BitsPerPixel == 1)
            m_line.reverseBits = !m_line.reverseBits;
        m_output.BitOrder = m_BitOrder;
    }
    m_line.outputBitOrder = m_output.BitOrder;
    if (m_ColorChannelOrder != -1 && delivered.PixelType == 2) {
        m_line.swapChannels = delivered.ColorChannelOrder != m_ColorChannelOrder;
        m_output.ColorChannelOrder = m_ColorChannelOrder;
    }
    if (m_LineOrder != -1) {
        m_reverseLines = delivered.LineOrder != m_LineOrder;
        m_output.LineOrder = m_LineOrder;
    }
}

void CRNXRBConvert::CreateTransformTables()
{
    if (m_tables)
        return;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"CreateTransformTables Entered");
    auto tables = std::make_unique<TransformTables>();
    BuildTransformTables(*tables);
    m_tables = std::move(tables);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"CreateTransformTables Exit.");
}

void CRNXRBConvert::CopyFirstRasterBand(plat::ComPtr<IRNXRasterBand> pulled, IRNXRasterBand* band)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"CopyFirstRasterBand Entered");
    m_pageQueue.push_back(pulled);
    if (m_reverseLines) {
        const LONG size = Get(pulled.Get(), &IRNXRasterBand::get_BufferSize);
        plat::ComPtr<IRNXRasterBand> last = pulled;
        // A band that cannot be made ends Produce (NewBand throws), so the
        // loop never asks the same band again.
        while (LevelOf(last.Get()) == kLevelInPage) {
            plat::ComPtr<IRNXRasterBand> next = NewBand(size);
            IDispatch* target = next.Get();
            ObtainInto(&target);
            last = next;
            if (Get(next.Get(), &IRNXRasterBand::get_BytesWritten) != 0)
                m_pageQueue.push_back(std::move(next));
        }
        m_savedLevel = LevelOf(last.Get());
        m_savedStatus = StatusOf(last.Get());
    }
    plat::ComPtr<IRNXRasterBand> held = std::move(m_pageQueue.back());
    m_pageQueue.pop_back();
    Hold(std::move(held));
    CopyNextRasterBand(band);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"CopyFirstRasterBand Exit.");
}

void CRNXRBConvert::Hold(plat::ComPtr<IRNXRasterBand> band)
{
    m_heldBand = std::move(band);
    IRNXRasterBand* held = m_heldBand.Get();
    m_held.buffer = BufferOf(held);
    m_held.bufferSize = Get(held, &IRNXRasterBand::get_BufferSize);
    m_held.bytesWritten = Get(held, &IRNXRasterBand::get_BytesWritten);
    m_held.bytesPerLine = Get(held, &IRNXRasterBand::get_BytesPerLine);
    m_held.level = LevelOf(held);
    m_held.status = StatusOf(held);
    const LONG usable = UsableBytes(m_held.bytesWritten, m_held.bufferSize, m_held.buffer);
    // Read line by line: a band whose lines are shorter than the page's data
    // cannot be read.
    if ((m_line.Any() || m_reverseLines || m_pad) && (m_held.bytesPerLine < m_dataBytes || m_held.bytesPerLine <= 0))
        throw std::length_error("band lines shorter than the page's lines");
    RequireWholeLines(usable, m_held.bytesPerLine);
    m_remaining = usable;
    m_readOffset = m_reverseLines ? usable - m_held.bytesPerLine : 0;
}

bool CRNXRBConvert::RefillHeldBand()
{
    if (m_heldBand && m_remaining > 0)
        return true;
    if (m_reverseLines) {
        while (!m_pageQueue.empty()) {
            plat::ComPtr<IRNXRasterBand> next = std::move(m_pageQueue.back());
            m_pageQueue.pop_back();
            Recycle(std::move(m_heldBand));
            Hold(std::move(next));
            if (m_remaining > 0)
                return true;
        }
        return false;
    }
    if (m_heldBand && m_held.level == kLevelInPage) {
        // One pull per call: a precursor that has nothing yet gives an empty
        // band inside the page, and the caller asks again.
        IDispatch* target = m_heldBand.Get();
        ObtainInto(&target);
        Hold(m_heldBand);
        return m_remaining > 0;
    }
    return false;
}

bool CRNXRBConvert::HeldBandHasMore() const
{
    if (m_reverseLines)
        return m_remaining > 0 || !m_pageQueue.empty();
    return m_heldBand && (m_remaining > 0 || m_held.level == kLevelInPage);
}

void CRNXRBConvert::Recycle(plat::ComPtr<IRNXRasterBand> band)
{
    if (band)
        m_spareBands.push_back(std::move(band));
}

void CRNXRBConvert::DropHeldBand()
{
    Recycle(std::move(m_heldBand));
    m_heldBand.Reset();
    m_held = BandState{};
    m_readOffset = 0;
    m_remaining = 0;
}

void CRNXRBConvert::ResetPage()
{
    for (plat::ComPtr<IRNXRasterBand>& band : m_pageQueue)
        Recycle(std::move(band));
    m_pageQueue.clear();
    DropHeldBand();
    m_savedLevel = 0;
    m_savedStatus = 0;
}

void CRNXRBConvert::DescribeOutput(IRNXRasterBand* band, LONG compression)
{
    band->DescribeBufferContent(compression, m_output.ImageWidth, m_output.BitsPerPixel, m_output.BytesPerLine,
                                m_output.PixelType, m_output.ColorChannelOrder, m_output.LineOrder, m_output.BitOrder,
                                m_output.PixelGender, m_output.pixelOrder, m_output.Dpi);
}

void CRNXRBConvert::CopyHeldBandUnchanged(IRNXRasterBand* band)
{
    BYTE* buffer = BufferOf(band);
    const LONG capacity = buffer ? std::max<LONG>(Get(band, &IRNXRasterBand::get_BufferSize), 0) : 0;
    LONG count = m_remaining;
    if (count > capacity) {
        // Whole lines only; the rest stays held for the next call.
        const LONG line = m_held.bytesPerLine;
        count = line > 0 ? capacity - capacity % line : capacity;
    }
    if (count > 0)
        std::memcpy(buffer, m_held.buffer + m_readOffset, static_cast<size_t>(count));
    m_readOffset += count;
    m_remaining -= count;
    DescribeOutput(band, 0);
    band->put_BytesWritten(count);
    if (m_remaining > 0) {
        SetLevelAndStatus(band, kLevelInPage, PayloadOK);
    } else {
        SetLevelAndStatus(band, m_held.level, m_held.status);
        DropHeldBand();
    }
}

void CRNXRBConvert::CopyNextRasterBand(IRNXRasterBand* band)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"CopyNextRasterBand Entered");
    const LONG bytesPerLine = m_output.BytesPerLine;
    BYTE* buffer = BufferOf(band);
    const LONG bufferSize = buffer ? std::max<LONG>(Get(band, &IRNXRasterBand::get_BufferSize), 0) : 0;
    DescribeOutput(band, 0);
    if (!AnyTransform()) {
        CopyHeldBandUnchanged(band);
    } else {
        const LONG capacity = bufferSize - bufferSize % bytesPerLine;
        LONG count = 0;
        while (count < capacity && CopyNextRasterLine(buffer, count, bytesPerLine))
            count += bytesPerLine;
        band->put_BytesWritten(count);
        if (HeldBandHasMore())
            SetLevelAndStatus(band, kLevelInPage, PayloadOK);
        else if (m_reverseLines)
            SetLevelAndStatus(band, m_savedLevel, m_savedStatus);
        else
            SetLevelAndStatus(band, m_held.level, m_held.status);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"CopyNextRasterBand Exit.");
}

bool CRNXRBConvert::CopyNextRasterLine(BYTE* dest, LONG offset, LONG size)
{
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"CopyNextRasterLine Params: dest = 0x%08X, Start = %d, Size = %d", Hex32(dest), offset, size);
    bool copied = false;
    if (RefillHeldBand()) {
        RepackLine(m_held.buffer + m_readOffset, dest + offset, static_cast<size_t>(m_dataBytes), m_line, *m_tables);
        const LONG line = m_held.bytesPerLine;
        m_readOffset += m_reverseLines ? -line : line;
        m_remaining -= line;
        if (m_remaining <= 0)
            RefillHeldBand();
        copied = true;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"CopyNextRasterLine Exit. [%s]", copied ? u"TRUE" : u"FALSE");
    return copied;
}

void CRNXRBConvert::TransformRasterBand(IRNXRasterBand* band)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"TransformRasterBand Entered");
    const LONG written = Get(band, &IRNXRasterBand::get_BytesWritten);
    RequireWholeLines(written, m_output.BytesPerLine);
    if (written == 0 || !m_line.Any()) {
        if (IsLogging(LOG_TRACE))
            LogTrace(u"Nothing to transform, exiting.");
    } else {
        DescribeOutput(band, 0);
        BYTE* buffer = BufferOf(band);
        const int64_t limit = UsableBytes(written, Get(band, &IRNXRasterBand::get_BufferSize), buffer);
        const size_t dataBytes = static_cast<size_t>(m_dataBytes);
        const int64_t bytesPerLine = m_output.BytesPerLine;
        // Whole lines only, never past the written bytes or the buffer.
        const int64_t lines = limit >= m_dataBytes ? (limit - m_dataBytes) / bytesPerLine + 1 : 0;
        if (RepacksInPlace(m_line) && bytesPerLine == m_dataBytes) {
            // Lines without padding: the band is one run of bytes.
            RepackLine(buffer, buffer, static_cast<size_t>(lines) * dataBytes, m_line, *m_tables);
        } else if (RepacksInPlace(m_line)) {
            for (int64_t y = 0; y < lines; ++y)
                RepackLine(buffer + y * bytesPerLine, buffer + y * bytesPerLine, dataBytes, m_line, *m_tables);
        } else {
            // Mirrored lines read from a copy of the band, made in one go.
            m_scratch.resize(static_cast<size_t>(limit));
            std::memcpy(m_scratch.data(), buffer, static_cast<size_t>(limit));
            for (int64_t y = 0; y < lines; ++y)
                RepackLine(m_scratch.data() + y * bytesPerLine, buffer + y * bytesPerLine, dataBytes, m_line,
                           *m_tables);
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"TransformRasterBand Exit.");
}

} // namespace Tessivo
