// The directory of one page, with the writing of the page's image data.
#pragma once

#include "twainfw/TTIFFImageFileDirectory.h"

namespace Trellis {

class CTIFFFile;

class TTIFFImage : public TTIFFImageFileDirectory {
public:
    TTIFFImage(CTIFFFile* file, WORD twainCompression, DWORD byteOrder);

    // Opens the page's data; with one strip per page, the strip starts here.
    void BeginData();
    // Writes a chunk of the page's data (its own strip when the
    // strip-per-chunk flag is set).
    void AppendData(const void* data, DWORD length);
    // Closes the page's strip and writes the directory and the values that
    // do not fit their entries. Offsets stay provisional until the file is
    // finished.
    void EndPage();

    void SetStripPerChunk(BYTE stripPerChunk) { m_StripPerChunk = stripPerChunk; }
    BYTE GetStripPerChunk() const { return m_StripPerChunk; }
    DWORD GetDataByteCount() const { return m_DataByteCount; }

private:
    CTIFFFile* m_pFile;
    DWORD m_DataByteCount = 0;
    BYTE m_StripPerChunk = 1;
};

} // namespace Trellis
