// An image file directory: the tags of one page and the link to the next
// directory.
#pragma once

#include "twainfw/CTIFFTag.h"

#include <memory>
#include <vector>

namespace Trellis {

class CTIFFFile;

// TIFF Compression for a TWAIN ICAP_COMPRESSION value.
WORD TIFFCompressionFromTWAIN(WORD twainCompression);
// TIFF ResolutionUnit for a TWAIN ICAP_UNITS value.
WORD TIFFResolutionUnitFromTWAIN(WORD twainUnits);

class TTIFFImageFileDirectory : public TTIFFObject {
public:
    // Starts with Compression from the TWAIN compression, and T4Options 0
    // for group 3 one-dimensional with end-of-line marks.
    TTIFFImageFileDirectory(WORD twainCompression, DWORD byteOrder);
    ~TTIFFImageFileDirectory() override;

    void SetByteOrder(DWORD byteOrder) override;
    // Tag count, the entries in ascending tag order, the next offset.
    virtual void Write(CTIFFFile& file);

    // The first tag with that id. When there is none: throws
    // TTIFFIFDException unless `create`, else appends an empty LONG tag.
    CTIFFTag* GetTag(WORD id, bool create);

    void AddStripOffset(DWORD offset);
    void AddStripByteCount(DWORD count);
    void AddBitsPerSample(WORD bits);
    void SetPlanarConfiguration(WORD twainPlanarChunky);
    void SetT4Options(DWORD value);

    DWORD GetNextOffset() const { return m_NextOffset; }
    void SetNextOffset(DWORD offset) { m_NextOffset = offset; }
    DWORD GetOffset() const { return m_Offset; }
    void SetOffset(DWORD offset) { m_Offset = offset; }
    const std::vector<std::unique_ptr<CTIFFTag>>& GetTags() const { return m_Tags; }

private:
    DWORD m_NextOffset = 0;
    DWORD m_Offset = 0;
    std::vector<std::unique_ptr<CTIFFTag>> m_Tags;
};

} // namespace Trellis
