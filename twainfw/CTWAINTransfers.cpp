// The bodies of the three image transfers: memory (block by block into the
// application's buffers), native (one packed DIB in a handle) and file
// (TIFF through the TIFF writer, or BMP).
//
// Every size that comes from the device or the application is checked
// before it is used, sizes are computed in 64 bits, and every buffer and
// handle has a scoped owner, so that a failing read leaves nothing behind.
#include "twainfw/CTWAINDataSource.h"

#include "twainfw/DebugLog.h"
#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINMemory.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <vector>

namespace Trellis {

namespace {

// The progress of the one memory transfer in flight: rows handed to the
// application so far, and whether the device ended before the image did.
struct MemoryProgress {
    TW_UINT32 rowsDelivered = 0;
    bool earlyEnd = false;
    // Compressed data read ahead for an application buffer smaller than
    // what a device may write: the bytes not yet handed out, and whether
    // they end the image.
    std::vector<BYTE> staged;
    size_t stagedOffset = 0;
    size_t stagedLength = 0;
    bool stagedLast = false;
};

// What a device may write for compressed data whatever size it is given.
constexpr TW_UINT32 kCompressedStaging = 0x10000;

MemoryProgress& Progress()
{
    static MemoryProgress progress;
    return progress;
}

// Seconds since the first memory transfer of the process.
double SecondsSinceFirstMemoryTransfer()
{
    static const std::clock_t start = std::clock();
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// Device-independent bitmap rows are padded to 32 bits.
std::uint64_t DibStride(std::uint64_t width, TW_UINT16 bitDepth) { return (width * bitDepth + 31) / 32 * 4; }

std::uint32_t PaletteEntries(TW_UINT16 bitDepth) { return bitDepth <= 8 ? 1u << bitDepth : 0u; }

// Bytes of an uncompressed line: 0 = white for vanilla, 0xFF otherwise.
BYTE WhiteByte(TW_UINT16 pixelFlavor) { return pixelFlavor == TWPF_VANILLA ? 0x00 : 0xFF; }

void Put16(BYTE* at, std::uint32_t value)
{
    at[0] = static_cast<BYTE>(value);
    at[1] = static_cast<BYTE>(value >> 8);
}

void Put32(BYTE* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<BYTE>(value >> (8 * i));
}

std::uint32_t Get32(const BYTE* at)
{
    return at[0] | (std::uint32_t{at[1]} << 8) | (std::uint32_t{at[2]} << 16) | (std::uint32_t{at[3]} << 24);
}

// Frees a handle unless it was handed on.
class HandleOwner {
public:
    explicit HandleOwner(TW_HANDLE handle) : m_handle(handle) {}
    ~HandleOwner()
    {
        if (m_handle)
            TWAINFreeHandle(m_handle);
    }
    HandleOwner(const HandleOwner&) = delete;
    HandleOwner& operator=(const HandleOwner&) = delete;
    // Takes a handle while holding none.
    void Reset(TW_HANDLE handle) { m_handle = handle; }
    TW_HANDLE Release()
    {
        TW_HANDLE handle = m_handle;
        m_handle = nullptr;
        return handle;
    }

private:
    TW_HANDLE m_handle;
};

// One raw line into a DIB row: at most a row's bytes, and colour turned
// from red, green, blue into the blue, green, red of bitmaps.
void CopyLineToRow(BYTE* row, std::uint64_t stride, const BYTE* line, std::uint64_t raw, TW_UINT16 pixelType,
                   std::uint64_t width)
{
    const std::uint64_t count = std::min(stride, raw);
    std::memcpy(row, line, count);
    if (pixelType == TWPT_RGB) {
        const std::uint64_t pixels = std::min(width, count / 3);
        for (std::uint64_t i = 0; i < pixels; ++i)
            std::swap(row[3 * i], row[3 * i + 2]);
    }
}

// The palette of a DIB: black-and-white and grey only; white comes first
// for vanilla. Grey levels are spread over the entries the header counts,
// so a 4-bit grey image gets its 16 levels and nothing past them.
void WritePalette(BYTE* palette, TW_UINT16 pixelType, TW_UINT16 pixelFlavor, std::uint32_t entries)
{
    const bool vanilla = pixelFlavor == TWPF_VANILLA;
    if (pixelType == TWPT_BW && entries >= 2) {
        const BYTE first = vanilla ? 255 : 0;
        const BYTE second = vanilla ? 0 : 255;
        BYTE values[2] = {first, second};
        for (int i = 0; i < 2; ++i) {
            palette[4 * i] = palette[4 * i + 1] = palette[4 * i + 2] = values[i];
            palette[4 * i + 3] = 0;
        }
    } else if (pixelType == TWPT_GRAY && entries >= 2) {
        for (std::uint32_t i = 0; i < entries; ++i) {
            const BYTE rising = static_cast<BYTE>(i * 255 / (entries - 1));
            const BYTE v = vanilla ? static_cast<BYTE>(255 - rising) : rising;
            palette[4 * i] = palette[4 * i + 1] = palette[4 * i + 2] = v;
            palette[4 * i + 3] = 0;
        }
    }
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

template <size_t N>
std::string FieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

// The staging buffer of native and file transfers: the device's preferred
// size, at least one line, and at least the 64 KiB that a device may write
// for compressed data whatever size it is given.
std::vector<BYTE> StagingBuffer(TW_UINT32 preferred, TW_INT32 rawLineLength)
{
    std::uint64_t size = std::max<std::uint64_t>(preferred, 0x10000);
    if (rawLineLength > 0)
        size = std::max<std::uint64_t>(size, static_cast<std::uint64_t>(rawLineLength));
    return std::vector<BYTE>(size);
}

} // namespace

// ---- memory transfer ----

bool CTWAINDataSource::TransferMemory(TW_IMAGEMEMXFER* xfer, TW_INT32 blockIndex)
{
    MemoryProgress& progress = Progress();
    const double seconds = SecondsSinceFirstMemoryTransfer();
    if (DebugLogOn())
        DebugPrint("Trellis DS: Memory Transfer  %3.3f\n", seconds);

    const TW_UINT16 compression = GetCompressionCurrent();
    if (blockIndex == 0) {
        m_RawLineLength = -1;
        progress.rowsDelivered = 0;
        progress.earlyEnd = false;
        progress.stagedOffset = progress.stagedLength = 0;
        progress.stagedLast = false;
        BeginImageTransfer(compression, &m_RawLineLength);
    }

    // The application's buffer: a pointer, or a handle to lock.
    const TW_UINT32 length = xfer->Memory.Length;
    std::optional<CTWAINHandleLock> handleLock;
    // A copy: the packed record's pointer is not aligned for a reference.
    const TW_MEMREF theMem = xfer->Memory.TheMem;
    BYTE* memory = static_cast<BYTE*>(theMem);
    if (xfer->Memory.Flags & TWMF_HANDLE) {
        handleLock.emplace(theMem);
        memory = static_cast<BYTE*>(handleLock->Data());
    }
    if (!memory)
        ThrowFailure(TWCC_BADVALUE);

    const TW_IMAGEINFO info = GetImageInfo();

    if (compression != TWCP_NONE) {
        TW_UINT32 written = 0;
        bool last = false;
        if (length >= kCompressedStaging) {
            last = ReadImageData(memory, length, &written, compression);
        } else {
            // The device never writes into a buffer smaller than its pieces:
            // they are read into the staging buffer and handed out in the
            // application's sizes.
            if (progress.stagedOffset == progress.stagedLength) {
                progress.staged.resize(kCompressedStaging);
                TW_UINT32 got = 0;
                progress.stagedOffset = progress.stagedLength = 0;
                progress.stagedLast = ReadImageData(progress.staged.data(), kCompressedStaging, &got, compression);
                progress.stagedLength = std::min(got, kCompressedStaging);
            }
            written = static_cast<TW_UINT32>(std::min<size_t>(length, progress.stagedLength - progress.stagedOffset));
            std::memcpy(memory, progress.staged.data() + progress.stagedOffset, written);
            progress.stagedOffset += written;
            last = progress.stagedLast && progress.stagedOffset == progress.stagedLength;
        }
        xfer->BytesWritten = std::min(written, length);
        xfer->Compression = compression;
        xfer->Columns = static_cast<TW_UINT32>(info.ImageWidth);
        xfer->Rows = static_cast<TW_UINT32>(-1);
        xfer->XOffset = 0;
        xfer->YOffset = static_cast<TW_UINT32>(-1);
        return last;
    }

    // A device that has not told its line length cannot be transferred.
    if (m_RawLineLength <= 0)
        ThrowFailure(TWCC_BUMMER);
    const std::uint64_t raw = static_cast<std::uint64_t>(m_RawLineLength);
    const std::uint64_t padded = (raw + 3) / 4 * 4;
    // A buffer without room for one row could never advance.
    if (length < padded)
        ThrowFailure(TWCC_BADVALUE);

    xfer->Rows = 0;
    xfer->XOffset = 0;
    xfer->YOffset = 0;
    const bool undefinedSize = IsCapSupported(ICAP_UNDEFINEDIMAGESIZE) && GetUndefinedImageSizeCurrent();
    const std::uint64_t imageLength = info.ImageLength > 0 ? static_cast<std::uint64_t>(info.ImageLength) : 0;
    const std::uint64_t rowsLeft = imageLength > progress.rowsDelivered ? imageLength - progress.rowsDelivered : 0;
    bool last = false;

    if (progress.earlyEnd) {
        const std::uint64_t rows = std::min<std::uint64_t>(rowsLeft, length / padded);
        std::memset(memory, WhiteByte(GetPixelFlavorCurrent()), rows * padded);
        xfer->BytesWritten = static_cast<TW_UINT32>(rows * padded);
        xfer->BytesPerRow = static_cast<TW_UINT32>(padded);
        xfer->Compression = compression;
        xfer->Columns = static_cast<TW_UINT32>(info.ImageWidth);
        xfer->YOffset = progress.rowsDelivered;
        xfer->Rows = static_cast<TW_UINT32>(rows);
        last = rows == rowsLeft;
    } else {
        std::uint64_t written = 0;
        if (undefinedSize || rowsLeft > 0) {
            // Whole rows only, and never more than the image still has.
            std::uint64_t lines = length / padded;
            if (!undefinedSize)
                lines = std::min(lines, rowsLeft);
            const std::uint64_t request = raw < padded || !undefinedSize ? lines * raw : length;
            TW_UINT32 bytesRead = 0;
            last = ReadImageData(memory, static_cast<TW_UINT32>(request), &bytesRead, TWCP_NONE);
            // A device that stopped inside a line delivered only the lines
            // before it: a part of a line is no row.
            const std::uint64_t got = std::min<std::uint64_t>(bytesRead, request) / raw * raw;
            if (raw == padded) {
                written = got;
            } else {
                // Spread the lines from their raw spacing to row spacing,
                // last line first so that none is overwritten unread.
                const std::uint64_t count = got / raw;
                for (std::uint64_t i = count; i-- > 0;) {
                    std::memmove(memory + i * padded, memory + i * raw, raw);
                    std::memset(memory + i * padded + raw, 0, padded - raw);
                }
                written = count * padded;
            }
        }
        xfer->BytesWritten = static_cast<TW_UINT32>(written);
        xfer->BytesPerRow = static_cast<TW_UINT32>(padded);
        xfer->Compression = compression;
        xfer->Columns = static_cast<TW_UINT32>(info.ImageWidth);
        xfer->Rows = static_cast<TW_UINT32>(written / padded);
        xfer->YOffset = progress.rowsDelivered;
        xfer->XOffset = 0;

        // The image is complete: what the device still holds is dropped.
        if (!undefinedSize && !last && progress.rowsDelivered + std::uint64_t{xfer->Rows} >= imageLength) {
            std::vector<BYTE> scratch(length);
            TW_UINT32 dropped = 0;
            while (!ReadImageData(scratch.data(), length, &dropped, TWCP_NONE)) {
            }
            last = true;
        }
    }

    progress.rowsDelivered += xfer->Rows;

    // The device ended early: the rows it did not deliver follow as white.
    if (last && !undefinedSize && progress.rowsDelivered < imageLength) {
        last = false;
        progress.earlyEnd = true;
    }
    return last;
}

// ---- native transfer ----

TW_HANDLE CTWAINDataSource::TransferNative() { return BuildNativeImage(); }

TW_HANDLE CTWAINDataSource::BuildNativeImage()
{
    m_RawLineLength = -1;
    BeginImageTransfer(TWCP_NONE, &m_RawLineLength);
    const TW_IMAGEINFO info = GetImageInfo();
    if (m_RawLineLength <= 0)
        ThrowFailure(TWCC_BUMMER);
    const std::uint64_t raw = static_cast<std::uint64_t>(m_RawLineLength);

    const TW_UINT16 bitDepth = GetBitDepthCurrent();
    const TW_UINT16 pixelType = GetPixelTypeCurrent();
    const TW_UINT16 pixelFlavor = GetPixelFlavorCurrent();
    const bool undefinedSize = IsCapSupported(ICAP_UNDEFINEDIMAGESIZE) && GetUndefinedImageSizeCurrent();
    if (bitDepth == 0)
        ThrowFailure(TWCC_BADVALUE);

    const std::uint32_t paletteEntries = PaletteEntries(bitDepth);
    const std::uint64_t headerSize = 40 + 4ull * paletteEntries;
    std::vector<BYTE> staging = StagingBuffer(GetDefaultSetupMemXfer().Preferred, m_RawLineLength);
    const TW_UINT32 request = static_cast<TW_UINT32>(staging.size() / raw * raw);

    // Without a width yet, the line length tells it.
    std::uint64_t width = info.ImageWidth > 0 ? static_cast<std::uint64_t>(info.ImageWidth) : raw * 8 / bitDepth;
    if (!undefinedSize && (info.ImageWidth <= 0 || info.ImageLength <= 0))
        ThrowFailure(TWCC_BADVALUE);
    const std::uint64_t stride = DibStride(width, bitDepth);

    TW_HANDLE handle = nullptr;
    std::uint64_t rows = 0;
    if (!undefinedSize) {
        rows = static_cast<std::uint64_t>(info.ImageLength);
        const std::uint64_t total = headerSize + rows * stride;
        if (rows > 0xFFFFFFFFull / std::max<std::uint64_t>(stride, 1) || total > 0xFFFFFFFFull)
            ThrowFailure(TWCC_LOWMEMORY);
        handle = TWAINAllocHandle(static_cast<TW_UINT32>(total));
        if (!handle)
            ThrowFailure(TWCC_LOWMEMORY);
    }
    HandleOwner owner(handle);

    std::vector<BYTE> grown; // undefined size: the rows top-down, as they come
    if (!undefinedSize) {
        CTWAINHandleLock lock(handle);
        BYTE* pixels = static_cast<BYTE*>(lock.Data());
        if (!pixels)
            ThrowFailure(TWCC_LOWMEMORY);
        pixels += headerSize;
        // The first line delivered is the last row of the bitmap.
        std::uint64_t filled = 0;
        for (bool done = false; !done;) {
            TW_UINT32 bytesRead = 0;
            done = ReadImageData(staging.data(), request, &bytesRead, TWCP_NONE);
            const std::uint64_t lines = std::min<std::uint64_t>(bytesRead, request) / raw;
            for (std::uint64_t i = 0; i < lines && filled < rows; ++i, ++filled)
                CopyLineToRow(pixels + (rows - 1 - filled) * stride, stride, staging.data() + i * raw, raw, pixelType,
                              width);
        }
        // Rows the device never delivered: the bottom of the image.
        std::memset(pixels, WhiteByte(pixelFlavor), (rows - filled) * stride);
    } else {
        for (bool done = false; !done;) {
            TW_UINT32 bytesRead = 0;
            done = ReadImageData(staging.data(), request, &bytesRead, TWCP_NONE);
            const std::uint64_t lines = std::min<std::uint64_t>(bytesRead, request) / raw;
            if (headerSize + (rows + lines) * stride > 0xFFFFFFFFull)
                ThrowFailure(TWCC_LOWMEMORY);
            grown.resize((rows + lines) * stride);
            for (std::uint64_t i = 0; i < lines; ++i, ++rows)
                CopyLineToRow(grown.data() + rows * stride, stride, staging.data() + i * raw, raw, pixelType, width);
        }
        handle = TWAINAllocHandle(static_cast<TW_UINT32>(headerSize + rows * stride));
        if (!handle)
            ThrowFailure(TWCC_LOWMEMORY);
        owner.Reset(handle);
        CTWAINHandleLock lock(handle);
        BYTE* pixels = static_cast<BYTE*>(lock.Data());
        if (!pixels)
            ThrowFailure(TWCC_LOWMEMORY);
        // Bottom-up: the last line delivered is the first row.
        for (std::uint64_t r = 0; r < rows; ++r)
            std::memcpy(pixels + headerSize + r * stride, grown.data() + (rows - 1 - r) * stride, stride);
    }
    std::vector<BYTE>().swap(staging);

    // The device class may have put the real width there by now; a width
    // that does not fit the rows as built is not taken.
    const TW_IMAGEINFO final = GetImageInfo();
    const std::uint64_t finalWidth = final.ImageWidth > 0 ? static_cast<std::uint64_t>(final.ImageWidth) : 0;
    if (undefinedSize && finalWidth > 0 && DibStride(finalWidth, bitDepth) == stride)
        width = finalWidth;

    CTWAINHandleLock lock(handle);
    BYTE* header = static_cast<BYTE*>(lock.Data());
    if (!header)
        ThrowFailure(TWCC_LOWMEMORY);
    Put32(header + 0, 40);
    Put32(header + 4, static_cast<std::uint32_t>(width));
    // The rows the block holds, which for an undefined size is what came.
    Put32(header + 8, static_cast<std::uint32_t>(rows));
    Put16(header + 12, 1);
    Put16(header + 14, bitDepth);
    Put32(header + 16, 0); // BI_RGB
    Put32(header + 20, 0);
    Put32(header + 24, static_cast<std::uint32_t>(static_cast<LONG>(GetXResolutionValue() * 39.37 + 0.5)));
    Put32(header + 28, static_cast<std::uint32_t>(static_cast<LONG>(GetYResolutionValue() * 39.37 + 0.5)));
    Put32(header + 32, bitDepth < 9 ? 1u << bitDepth : 0u);
    Put32(header + 36, 0);
    WritePalette(header + 40, pixelType, pixelFlavor, paletteEntries);
    return owner.Release();
}

// ---- file transfer ----

void CTWAINDataSource::TransferFile()
{
    const TW_SETUPFILEXFER setup = GetSetupFileXfer();
    const std::string fileName = FieldText(setup.FileName);

    if (setup.Format == TWFF_BMP) {
        TW_HANDLE dib = BuildNativeImage();
        HandleOwner owner(dib);
        CTWAINHandleLock lock(dib);
        const BYTE* data = static_cast<const BYTE*>(lock.Data());
        if (!data)
            ThrowFailure(TWCC_LOWMEMORY);
        // The block's size when the allocator knows it, else what its
        // header describes.
        const std::uint32_t bitCount = data[14] | (std::uint32_t{data[15]} << 8);
        const std::uint64_t paletteSize = bitCount <= 8 ? 4ull << bitCount : 0;
        const std::uint64_t described =
            40 + paletteSize + DibStride(Get32(data + 4), static_cast<TW_UINT16>(bitCount)) * Get32(data + 8);
        const std::uint64_t size = TWAINHandleSize(dib).value_or(described);

        BYTE fileHeader[14] = {};
        Put16(fileHeader + 0, 0x4D42); // "BM"
        Put32(fileHeader + 2, static_cast<std::uint32_t>(size + 14));
        Put32(fileHeader + 10, static_cast<std::uint32_t>(54 + paletteSize));
        // Written beside the name, which it takes only whole.
        const std::string part = CTIFFFile::PartPath(fileName);
        std::ofstream file(part, std::ios::out | std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(fileHeader), sizeof(fileHeader));
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        file.close();
        // A file that did not get written is not a transfer done.
        if (file.fail() || std::rename(part.c_str(), fileName.c_str()) != 0) {
            std::remove(part.c_str());
            ThrowFailure(TWCC_FILEWRITEERROR);
        }
        return;
    }
    if (setup.Format != TWFF_TIFF)
        ThrowFailure(TWCC_BADVALUE);

    const TW_IDENTITY identity = GetIdentity();
    const TW_UINT16 compression = GetCompressionCurrent();
    m_RawLineLength = -1;
    BeginImageTransfer(compression, &m_RawLineLength);
    std::vector<BYTE> staging = StagingBuffer(GetDefaultSetupMemXfer().Preferred, m_RawLineLength);
    const TW_IMAGEINFO info = GetImageInfo();

    // What the tags need from the accessors is asked before a page exists:
    // a page left without its end would take the file's header place when
    // the file is finished.
    const TW_UINT16 pixelFlavor = GetPixelFlavorCurrent();
    const TW_UINT16 planarChunky = info.PixelType == TWPT_RGB ? GetPlanarChunkyCurrent() : TW_UINT16{TWPC_CHUNKY};
    const TW_UINT16 units = GetUnitsCurrent();
    const std::string author = GetAuthor();
    const bool undefinedSize = IsCapSupported(ICAP_UNDEFINEDIMAGESIZE) && GetUndefinedImageSizeCurrent();
    std::string timeDate = GetTimeDate();
    std::replace(timeDate.begin(), timeDate.end(), '/', ':');

    const bool multipage = m_MultipageTIFF != 0;
    if (multipage && m_TIFFFile.IsOpen() && !SameNameIgnoringCase(m_TIFFFile.GetPath(), fileName))
        m_TIFFFile.Finish();
    if (!m_TIFFFile.IsOpen())
        m_TIFFFile.Open(fileName);
    if (!m_TIFFFile.IsOpen() || m_TIFFFile.Failed())
        ThrowFailure(TWCC_FILEWRITEERROR);

    TTIFFImage* page = m_TIFFFile.NewPage(compression);
    page->SetStripPerChunk(0);
    page->BeginData();

    const int samples = info.SamplesPerPixel == 3 ? 3 : 1;
    for (int i = 0; i < samples; ++i)
        page->AddBitsPerSample(static_cast<WORD>(info.BitsPerSample[0]));
    WORD photometric;
    if (info.SamplesPerPixel == 3)
        photometric = compression == TWCP_JPEG ? 6 : 2;
    else
        photometric = pixelFlavor == TWPF_CHOCOLATE ? 1 : 0;
    page->GetTag(TIFF_TAG_PHOTOMETRIC, true)->SetShort(photometric);
    page->GetTag(TIFF_TAG_IMAGELENGTH, true)->SetLong(static_cast<DWORD>(info.ImageLength));
    page->GetTag(TIFF_TAG_IMAGEWIDTH, true)->SetLong(static_cast<DWORD>(info.ImageWidth));
    if (info.PixelType == TWPT_RGB)
        page->SetPlanarConfiguration(planarChunky);
    page->GetTag(TIFF_TAG_SAMPLESPERPIXEL, true)->SetShort(static_cast<WORD>(info.SamplesPerPixel));
    if (compression == TWCP_GROUP31D || compression == TWCP_GROUP31DEOL)
        page->SetT4Options(0);
    else if (compression == TWCP_GROUP32D)
        page->SetT4Options(1);
    page->GetTag(TIFF_TAG_RESOLUTIONUNIT, true)->SetShort(TIFFResolutionUnitFromTWAIN(units));
    // The image information holds the resolution in the current unit.
    page->GetTag(TIFF_TAG_XRESOLUTION, true)->SetRational(static_cast<DWORD>(Fix32ToFloat(info.XResolution)), 1);
    page->GetTag(TIFF_TAG_YRESOLUTION, true)->SetRational(static_cast<DWORD>(Fix32ToFloat(info.YResolution)), 1);
    page->GetTag(TIFF_TAG_ARTIST, true)->SetASCII(author);
    page->GetTag(TIFF_TAG_MAKE, true)->SetASCII(FieldText(identity.Manufacturer));
    page->GetTag(TIFF_TAG_MODEL, true)->SetASCII(FieldText(identity.ProductName));
    page->GetTag(TIFF_TAG_DATETIME, true)->SetASCII(timeDate);

    DWORD imageLength = static_cast<DWORD>(info.ImageLength);
    // Uncompressed data is taken in whole lines, at most the page's.
    const std::uint64_t raw = compression == TWCP_NONE && m_RawLineLength > 0 ? m_RawLineLength : 0;
    // Lines may come padded to a 4-byte boundary; a TIFF row is exactly as
    // long as its pixels, so each line is cut to that.
    const std::uint64_t rowBytes =
        raw > 0 && info.ImageWidth > 0 && info.BitsPerPixel > 0
            ? std::min(
                  raw,
                  (static_cast<std::uint64_t>(info.ImageWidth) * static_cast<std::uint64_t>(info.BitsPerPixel) + 7) / 8)
            : raw;
    const auto appendLines = [&](const BYTE* lines, std::uint64_t count) {
        if (rowBytes == raw) {
            page->AppendData(lines, static_cast<DWORD>(count * raw));
            return;
        }
        for (std::uint64_t i = 0; i < count; ++i)
            page->AppendData(lines + i * raw, static_cast<DWORD>(rowBytes));
    };
    try {
        const TW_UINT32 request = static_cast<TW_UINT32>(raw > 0 ? staging.size() / raw * raw : staging.size());
        std::uint64_t rows = 0;
        for (bool done = false; !done;) {
            TW_UINT32 bytesRead = 0;
            done = ReadImageData(staging.data(), request, &bytesRead, compression);
            const std::uint64_t got = std::min(bytesRead, request);
            if (raw == 0) {
                page->AppendData(staging.data(), static_cast<DWORD>(got));
                continue;
            }
            std::uint64_t lines = got / raw;
            if (!undefinedSize)
                lines = std::min<std::uint64_t>(lines, imageLength > rows ? imageLength - rows : 0);
            rows += lines;
            appendLines(staging.data(), lines);
        }
        // The device ended early: the rows it did not deliver follow as
        // white, so that the page holds the lines its tags promise.
        if (raw > 0 && !undefinedSize && rows < imageLength) {
            const std::vector<BYTE> white(raw, WhiteByte(pixelFlavor));
            for (; rows < imageLength; ++rows)
                appendLines(white.data(), 1);
        }
        // With an undefined size the device has told the size by now.
        if (undefinedSize) {
            const TW_IMAGEINFO final = GetImageInfo();
            imageLength = static_cast<DWORD>(final.ImageLength);
            page->GetTag(TIFF_TAG_IMAGELENGTH, true)->SetLong(imageLength);
            page->GetTag(TIFF_TAG_IMAGEWIDTH, true)->SetLong(static_cast<DWORD>(final.ImageWidth));
        }
    } catch (...) {
        // A page that did not end is no page: a single-page file goes, a
        // multipage file keeps the pages before it.
        if (multipage)
            m_TIFFFile.DropLastPage();
        else
            m_TIFFFile.Abandon();
        throw;
    }

    page->GetTag(TIFF_TAG_ROWSPERSTRIP, true)->SetLong(imageLength);
    page->EndPage();

    if (!multipage) {
        if (!m_TIFFFile.Finish())
            ThrowFailure(TWCC_FILEWRITEERROR);
    } else if (m_TIFFFile.Failed()) {
        ThrowFailure(TWCC_FILEWRITEERROR);
    }
}

} // namespace Trellis
