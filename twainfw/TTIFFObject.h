// The root of the TIFF writer's object model: every object carries the byte
// order of the file it belongs to and hands it to the objects it makes.
#pragma once

#include "platform/windows.h"

namespace Trellis {

// Field types of TIFF 6.0. UNDEFINED and SRATIONAL exist in the format but
// the writer refuses them.
enum TIFFFieldType : DWORD {
    TIFF_FIELD_BYTE = 1,
    TIFF_FIELD_ASCII = 2,
    TIFF_FIELD_SHORT = 3,
    TIFF_FIELD_LONG = 4,
    TIFF_FIELD_RATIONAL = 5,
    TIFF_FIELD_SBYTE = 6,
    TIFF_FIELD_UNDEFINED = 7,
    TIFF_FIELD_SSHORT = 8,
    TIFF_FIELD_SLONG = 9,
    TIFF_FIELD_SRATIONAL = 10,
    TIFF_FIELD_FLOAT = 11,
    TIFF_FIELD_DOUBLE = 12,
};

// The tags the writer itself sets or that a file transfer puts on a page.
enum TIFFTagId : WORD {
    TIFF_TAG_IMAGEWIDTH = 256,
    TIFF_TAG_IMAGELENGTH = 257,
    TIFF_TAG_BITSPERSAMPLE = 258,
    TIFF_TAG_COMPRESSION = 259,
    TIFF_TAG_PHOTOMETRIC = 262,
    TIFF_TAG_MAKE = 271,
    TIFF_TAG_MODEL = 272,
    TIFF_TAG_STRIPOFFSETS = 273,
    TIFF_TAG_SAMPLESPERPIXEL = 277,
    TIFF_TAG_ROWSPERSTRIP = 278,
    TIFF_TAG_STRIPBYTECOUNTS = 279,
    TIFF_TAG_XRESOLUTION = 282,
    TIFF_TAG_YRESOLUTION = 283,
    TIFF_TAG_PLANARCONFIG = 284,
    TIFF_TAG_T4OPTIONS = 292,
    TIFF_TAG_RESOLUTIONUNIT = 296,
    TIFF_TAG_DATETIME = 306,
    TIFF_TAG_ARTIST = 315,
};

// Byte-order flag values: 0 writes "II" (little-endian), anything else "MM".
inline constexpr DWORD TIFF_LITTLE_ENDIAN = 0;
inline constexpr DWORD TIFF_BIG_ENDIAN = 1;

class TTIFFObject {
public:
    explicit TTIFFObject(DWORD byteOrder = TIFF_LITTLE_ENDIAN) : m_ByteOrder(byteOrder) {}
    virtual ~TTIFFObject() = default;

    virtual void SetByteOrder(DWORD byteOrder) { m_ByteOrder = byteOrder; }
    DWORD GetByteOrder() const { return m_ByteOrder; }
    bool IsBigEndian() const { return m_ByteOrder != TIFF_LITTLE_ENDIAN; }

protected:
    TTIFFObject(const TTIFFObject&) = default;
    TTIFFObject& operator=(const TTIFFObject&) = default;

    DWORD m_ByteOrder;
};

// A tag asked for without creation is absent.
class TTIFFIFDException {};

// A value of a field type the writer does not support.
class CTIFFTagValueException {};

} // namespace Trellis
