// The raster converter: the transform module at the end of the pipeline. It
// pulls bands from its precursor through an interconnection and repacks them
// to its restrictions (line alignment, pixel gender, pixel, bit, channel and
// line order), a page at a time.
#pragma once

#include "diag/TraceClient.h"
#include "pipeline/ComObjectRoot.h"
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "pipeline/RNXRBConvertRepack.h"
#include "pipeline/RNXRasterBand.h"

#include <deque>
#include <memory>
#include <vector>

namespace Tessivo {

// A module that works on what its precursor produces: holds the link to it.
class CRNXTransform : public plat::DispatchImpl<IRNXTransform> {
protected:
    CRNXTransform();
    ~CRNXTransform();
    CRNXTransform(const CRNXTransform&) = delete;
    CRNXTransform& operator=(const CRNXTransform&) = delete;

    plat::ComPtr<IRNXInterconnection> m_interconnection;
};

class CRNXRBConvert final : public CComObjectRoot,
                            public plat::DispatchImpl<IRNXRBConvert>,
                            public CRNXTransform,
                            public plat::DispatchImpl<IRNXPayloadSource>,
                            public plat::DispatchImpl<IRNXModule>,
                            public CTraceClient {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);

    explicit CRNXRBConvert(IUnknown* outer);
    ~CRNXRBConvert() override;

    void FinalRelease() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return OuterQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }

    // IRNXModule
    HRESULT STDMETHODCALLTYPE Configure(IDispatch* modules, IDispatch* modulesSettings) override;
    // IRNXPayloadSource
    HRESULT STDMETHODCALLTYPE Produce(IDispatch** thePayload) override;

    virtual HRESULT GetClassID(CLSID* pClassID);

private:
    // A band as read at one moment: its buffer, counts and level.
    struct BandState {
        BYTE* buffer = nullptr;
        LONG bufferSize = 0;
        LONG bytesWritten = 0;
        LONG bytesPerLine = 0;
        LONG level = 0;
        LONG status = 0;
    };

    void* GetInterface(REFIID riid) override;

    void ReadRestrictions(IXMLObj* settings);
    LONG ReadGender(IXMLObj* settings, const char16_t* name);
    void ReadOrder(IXMLObj* settings, const char16_t* name, const char16_t* zero, const char16_t* one, LONG& value);

    // The precursor fills `band`; a result other than S_OK ends Produce with
    // that result (PrecursorFailed).
    void ObtainInto(IDispatch** band);
    // Throws when the caller's band cannot take one output line.
    void RequireOneLine(IRNXRasterBand* band);
    // Throws when `bytes` are not whole lines of `bytesPerLine`.
    void RequireWholeLines(LONG bytes, LONG bytesPerLine);
    plat::ComPtr<IRNXRasterBand> NewBand(LONG size);
    void StartPage(IDispatch** thePayload, IRNXRasterBand* band);
    void WorkOutTransforms(IRNXRasterBand* pulled);
    void CreateTransformTables();
    void CopyFirstRasterBand(plat::ComPtr<IRNXRasterBand> pulled, IRNXRasterBand* band);
    void CopyNextRasterBand(IRNXRasterBand* band);
    bool CopyNextRasterLine(BYTE* dest, LONG offset, LONG size);
    void TransformRasterBand(IRNXRasterBand* band);
    void CopyHeldBandUnchanged(IRNXRasterBand* band);
    void DescribeOutput(IRNXRasterBand* band, LONG compression);

    // Makes `band` the held band, reading from its first line (its last with
    // reverse lines).
    void Hold(plat::ComPtr<IRNXRasterBand> band);
    // With reverse lines: the next queued band that has lines. Otherwise, when
    // the held band is used up inside a page, one more band from the
    // precursor. False when nothing is left to read.
    bool RefillHeldBand();
    bool HeldBandHasMore() const;
    void DropHeldBand();
    // Keeps a band the converter made for a later NewBand.
    void Recycle(plat::ComPtr<IRNXRasterBand> band);
    void ResetPage();
    bool AnyTransform() const { return m_line.Any() || m_reverseLines || m_pad; }

    // Restrictions; -1 keeps what is delivered.
    LONG m_Alignment = -1;
    LONG m_BWGender = -1;
    LONG m_GrayGender = -1;
    LONG m_ColorGender = -1;
    LONG m_PixelOrder = -1;
    LONG m_BitOrder = -1;
    LONG m_ColorChannelOrder = -1;
    LONG m_LineOrder = -1;

    // Worked out per page.
    LineTransform m_line;
    bool m_reverseLines = false;
    bool m_pad = false;
    bool m_pageStart = true;

    std::unique_ptr<TransformTables> m_tables;

    std::deque<plat::ComPtr<IRNXRasterBand>> m_pageQueue;
    // Bands of the page before, for NewBand to reuse.
    std::vector<plat::ComPtr<IRNXRasterBand>> m_spareBands;
    // A copy of a band whose lines are mirrored in place.
    std::vector<BYTE> m_scratch;
    LONG m_savedLevel = 0;
    LONG m_savedStatus = 0;

    plat::ComPtr<IRNXRasterBand> m_heldBand;
    BandState m_held;
    LONG m_readOffset = 0;
    LONG m_remaining = 0;

    RasterBandFormat m_output;
    LONG m_dataBytes = 0; // D: the data bytes of one line
    bool m_usesLogSink = false;
};

} // namespace Tessivo
