// The data-trace dumps of a transfer: its context and the bitmap header
// at the start of its buffer, one line per field, written as one record.
#include "stillimage/CRNX_STIWIA_Driver.h"

#include "stillimage/DataTraceText.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

void CRNX_STIWIA_Driver::DumpTransferContext(const MINIDRV_TRANSFER_CONTEXT& c)
{
    DataTraceText data(*this);
    const GUID& f = c.guidFormatID;
    data.Add(u"TRANSFER_CONTEXT:lSize: %i\n", c.lSize);
    data.Add(u"TRANSFER_CONTEXT:lWidthInPixels: %i\n", c.lWidthInPixels);
    data.Add(u"TRANSFER_CONTEXT:lLines: %i\n", c.lLines);
    data.Add(u"TRANSFER_CONTEXT:lDepth: %i\n", c.lDepth);
    data.Add(u"TRANSFER_CONTEXT:lXRes: %i\n", c.lXRes);
    data.Add(u"TRANSFER_CONTEXT:lYRes: %i\n", c.lYRes);
    data.Add(u"TRANSFER_CONTEXT:lCompression: %i\n", c.lCompression);
    data.Add(u"TRANSFER_CONTEXT:guidFormatID: %08X%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X\n", f.Data1, f.Data2,
             f.Data3, f.Data4[0], f.Data4[1], f.Data4[2], f.Data4[3], f.Data4[4], f.Data4[5], f.Data4[6], f.Data4[7]);
    data.Add(u"TRANSFER_CONTEXT:tymed: %i\n", c.tymed);
    data.Add(u"TRANSFER_CONTEXT:hFile: %i\n", static_cast<LONG>(c.hFile));
    data.Add(u"TRANSFER_CONTEXT:cbOffset: %i\n", c.cbOffset);
    data.Add(u"TRANSFER_CONTEXT:lBufferSize: %i\n", c.lBufferSize);
    data.Add(u"TRANSFER_CONTEXT:lActiveBuffer: %i\n", c.lActiveBuffer);
    data.Add(u"TRANSFER_CONTEXT:lNumBuffers: %i\n", c.lNumBuffers);
    data.Add(u"TRANSFER_CONTEXT:pBaseBuffer: 0x%08X\n", Hex32(c.pBaseBuffer));
    data.Add(u"TRANSFER_CONTEXT:pTransferBuffer: 0x%08X\n", Hex32(c.pTransferBuffer));
    data.Add(u"TRANSFER_CONTEXT:bTransferDataCB: %i\n", c.bTransferDataCB);
    data.Add(u"TRANSFER_CONTEXT:bClassDrvAllocBuf: %i\n", c.bClassDrvAllocBuf);
    data.Add(u"TRANSFER_CONTEXT:lClientAddress: %i\n", static_cast<LONG>(c.lClientAddress));
    data.Add(u"TRANSFER_CONTEXT:pIWiaMiniDrvCallBack: 0x%08X\n", Hex32(c.pIWiaMiniDrvCallBack));
    data.Add(u"TRANSFER_CONTEXT:lImageSize: %i\n", c.lImageSize);
    data.Add(u"TRANSFER_CONTEXT:lHeaderSize: %i\n", c.lHeaderSize);
    data.Add(u"TRANSFER_CONTEXT:lItemSize: %i\n", c.lItemSize);
    data.Add(u"TRANSFER_CONTEXT:cbWidthInBytes: %i\n", c.cbWidthInBytes);
    data.Add(u"TRANSFER_CONTEXT:lPage: %i\n", c.lPage);
    data.Flush();
}

void CRNX_STIWIA_Driver::DumpBitmapFileHeader(const BITMAPFILEHEADER& h)
{
    DataTraceText data(*this);
    data.Add(u"BITMAPFILEHEADER:bfType: %04X\n", h.bfType);
    data.Add(u"BITMAPFILEHEADER:bfSize: %i\n", h.bfSize);
    data.Add(u"BITMAPFILEHEADER:bfReserved1: %i\n", h.bfReserved1);
    data.Add(u"BITMAPFILEHEADER:bfReserved2: %i\n", h.bfReserved2);
    data.Add(u"BITMAPFILEHEADER:bfOffBits: %i\n", h.bfOffBits);
    data.Flush();
}

void CRNX_STIWIA_Driver::DumpBitmapInfoHeader(const BITMAPINFOHEADER& h, const BYTE* palette, LONG paletteRoom)
{
    DataTraceText data(*this);
    data.Add(u"BITMAPINFOHEADER:biSize: %i\n", h.biSize);
    data.Add(u"BITMAPINFOHEADER:biWidth: %i\n", h.biWidth);
    data.Add(u"BITMAPINFOHEADER:biHeight: %i\n", h.biHeight);
    data.Add(u"BITMAPINFOHEADER:biPlanes: %i\n", h.biPlanes);
    data.Add(u"BITMAPINFOHEADER:biBitCount: %i\n", h.biBitCount);
    data.Add(u"BITMAPINFOHEADER:biCompression: %i\n", h.biCompression);
    data.Add(u"BITMAPINFOHEADER:biSizeImage: %i\n", h.biSizeImage);
    data.Add(u"BITMAPINFOHEADER:biXPelsPerMeter: %i\n", h.biXPelsPerMeter);
    data.Add(u"BITMAPINFOHEADER:biYPelsPerMeter: %i\n", h.biYPelsPerMeter);
    data.Add(u"BITMAPINFOHEADER:biClrUsed: %i\n", h.biClrUsed);
    data.Add(u"BITMAPINFOHEADER:biClrImportant: %i\n", h.biClrImportant);
    if (h.biHeight != 0)
        data.Add(u"cbWidthInBytes: %i\n", static_cast<LONG>(h.biSizeImage / static_cast<DWORD>(std::abs(h.biHeight))));
    // The palette in use follows the header, as far as the header reaches.
    DWORD entries = h.biBitCount <= 8 ? (h.biClrUsed != 0 ? h.biClrUsed : 1u << h.biBitCount) : 0;
    entries = std::min<DWORD>(entries, static_cast<DWORD>(std::max<LONG>(paletteRoom, 0)) / sizeof(RGBQUAD));
    for (DWORD i = 0; i < entries; ++i) {
        RGBQUAD entry;
        std::memcpy(&entry, palette + i * sizeof entry, sizeof entry);
        data.Add(u"BITMAPINFOHEADER:RGB[%i]: %02X,%02X,%02X,%02X\n", i, entry.rgbRed, entry.rgbGreen, entry.rgbBlue,
                 entry.rgbReserved);
    }
    data.Flush();
}
