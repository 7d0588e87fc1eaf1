// A test device for image transfers: it produces a known image, line by
// line, of the size, pixel type and bit depth that the test sets, and can
// stop early, run on past the image, fail or cancel on a given read.
#pragma once
#include "twainfw/TestDataSource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace Trellis::testing {

class XferTestSource : public TestDataSource {
public:
    // The image of the next acquisition.
    TW_INT32 Width = 37;
    TW_INT32 Length = 5;
    // Lines the device delivers (-1: exactly Length).
    TW_INT32 LinesProduced = -1;
    // Bytes of one more line the device delivers after its last whole line,
    // as a device that stopped inside a line does.
    TW_UINT32 PartialLineBytes = 0;
    // Compressed data the device hands out as it is, when the current
    // compression is not TWCP_NONE.
    std::vector<BYTE> CompressedData;
    // The read (counted from 1) that fails or cancels; 0 = none.
    int FailOnRead = 0;
    int CancelOnRead = 0;
    int Reads = 0;
    // ICAP_UNDEFINEDIMAGESIZE supported and on: the image is as long as the
    // device makes it.
    bool UndefinedSize = false;
    std::vector<TW_UINT32> RequestSizes;

    static BYTE Pixel(TW_INT32 line, TW_INT32 index) { return static_cast<BYTE>((line * 31 + index * 7 + 1) & 0xFF); }

    // Lines delivered padded to a multiple of this many bytes, as the
    // scanner's are to 4.
    TW_INT32 LineAlignment = 1;

    TW_INT32 RawLineLength() const
    {
        const TW_INT32 bytes = (Width * GetBitDepthForTest() + 7) / 8;
        return (bytes + LineAlignment - 1) / LineAlignment * LineAlignment;
    }
    // The raw line of the image, as the device delivers it.
    std::vector<BYTE> Line(TW_INT32 line) const
    {
        std::vector<BYTE> bytes(static_cast<size_t>(RawLineLength()));
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = Pixel(line, static_cast<TW_INT32>(i));
        return bytes;
    }

    bool BeginAcquisition(TW_IMAGEINFO* imageInfo) override
    {
        const bool accepted = CTWAINDataSource::BeginAcquisition(imageInfo);
        if (!UndefinedSize) {
            imageInfo->ImageWidth = Width;
            imageInfo->ImageLength = Length;
        }
        return accepted;
    }
    void BeginImageTransfer(TW_UINT16 compression, TW_INT32* rawLineLength) override
    {
        m_compression = compression;
        m_nextLine = 0;
        m_nextByte = 0;
        m_partialSent = false;
        Reads = 0;
        RequestSizes.clear();
        *rawLineLength = RawLineLength();
    }
    bool ReadImageData(TW_MEMREF buffer, TW_UINT32 size, TW_UINT32* bytesRead, TW_UINT16) override
    {
        ++Reads;
        RequestSizes.push_back(size);
        *bytesRead = 0;
        if (Reads == FailOnRead)
            ThrowFailure(TWCC_OPERATIONERROR);
        if (Reads == CancelOnRead)
            ThrowCancel();
        BYTE* out = static_cast<BYTE*>(buffer);
        if (m_compression != TWCP_NONE) {
            const size_t count = std::min<size_t>(size, CompressedData.size() - m_nextByte);
            std::memcpy(out, CompressedData.data() + m_nextByte, count);
            m_nextByte += count;
            *bytesRead = static_cast<TW_UINT32>(count);
            return m_nextByte == CompressedData.size();
        }
        const TW_INT32 produced = LinesProduced < 0 ? Length : LinesProduced;
        const TW_UINT32 raw = static_cast<TW_UINT32>(RawLineLength());
        while (m_nextLine < produced && *bytesRead + raw <= size) {
            std::vector<BYTE> line = Line(m_nextLine++);
            std::memcpy(out + *bytesRead, line.data(), raw);
            *bytesRead += raw;
        }
        if (m_nextLine != produced)
            return false;
        if (PartialLineBytes > 0 && !m_partialSent && *bytesRead + PartialLineBytes <= size) {
            std::memset(out + *bytesRead, 0x5A, PartialLineBytes);
            *bytesRead += PartialLineBytes;
            m_partialSent = true;
        }
        // With an undefined size the device tells the size once it knows it.
        if (UndefinedSize) {
            m_ImageInfo.ImageWidth = Width;
            m_ImageInfo.ImageLength = produced;
        }
        return true;
    }
    // CAP_AUTHOR refused, as a device may refuse any accessor.
    bool AuthorFails = false;
    std::string GetAuthor() override
    {
        if (AuthorFails)
            ThrowFailure(TWCC_OPERATIONERROR);
        return TestDataSource::GetAuthor();
    }
    bool GetUndefinedImageSizeCurrent() override { return UndefinedSize; }
    bool ResetUndefinedImageSize() override { return UndefinedSize; }
    void InitSupportedCaps(CTWAINArray& caps) override
    {
        TestDataSource::InitSupportedCaps(caps);
        if (UndefinedSize)
            caps.Append(CTWAINOneValue(ICAP_UNDEFINEDIMAGESIZE));
    }
    void InitPixelFlavors(CTWAINEnumeration& values) override
    {
        CTWAINDataSource::InitPixelFlavors(values);
        values.Add(CTWAINOneValue(TWPF_VANILLA));
    }
    void InitCompressions(TW_UINT16 xferMech, CTWAINEnumeration& values) override
    {
        CTWAINDataSource::InitCompressions(xferMech, values);
        values.Add(CTWAINOneValue(TWCP_GROUP4));
    }

    void SetMultipageTIFF(bool on) { m_MultipageTIFF = on ? 1 : 0; }
    void KeepPalettes(const TW_PALETTE8& bw, const TW_PALETTE8& gray)
    {
        m_PaletteBW = bw;
        m_PaletteGray = gray;
    }
    TW_UINT16 GetBitDepthForTest() const { return const_cast<XferTestSource*>(this)->GetBitDepthCurrent(); }

private:
    TW_UINT16 m_compression = TWCP_NONE;
    TW_INT32 m_nextLine = 0;
    size_t m_nextByte = 0;
    bool m_partialSent = false;
};

inline TW_IDENTITY XferAppIdentity()
{
    TW_IDENTITY identity{};
    identity.Id = 42;
    std::strcpy(identity.ProductName, "Test Application");
    return identity;
}

// Drives a source as an application does.
class XferFixture : public ::testing::Test {
protected:
    void SetUp() override { ds.Init(nullptr); }

    int Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) { return ds.Dispatch(&app, dg, dat, msg, data); }

    TW_UINT16 Status()
    {
        TW_STATUS status{};
        EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status));
        return status.ConditionCode;
    }

    // Opens the source (state 4).
    void Open()
    {
        TW_IDENTITY assigned = ds.GetIdentity();
        assigned.Id = 77;
        ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    }

    // Sets the image kind in state 4 and enables without a window, so the
    // first of `pending` images is ready (state 6).
    void StartBatch(TW_UINT16 pixelType, TW_UINT16 bitDepth, TW_UINT16 flavor, TW_UINT16 xferMech,
                    TW_UINT16 pending = 1)
    {
        ds.SetPixelTypeCurrent(pixelType);
        ds.SetBitDepthCurrent(bitDepth);
        ds.SetPixelFlavorCurrent(flavor);
        ds.SetXferMechCurrent(xferMech);
        ds.Pending = pending;
        TW_USERINTERFACE ui{};
        ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
        ASSERT_EQ(6, ds.GetState());
    }

    TW_UINT16 EndXfer()
    {
        TW_PENDINGXFERS pending{};
        EXPECT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
        return pending.Count;
    }

    XferTestSource ds;
    TW_IDENTITY app = XferAppIdentity();
};

} // namespace Trellis::testing
