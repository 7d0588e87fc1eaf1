// The 8-byte header of a TIFF file: byte-order mark, 42, first directory.
#pragma once

#include "twainfw/TTIFFObject.h"

namespace Trellis {

class CTIFFFile;

inline constexpr WORD TIFF_MARK_LITTLE_ENDIAN = 18761; // "II"
inline constexpr WORD TIFF_MARK_BIG_ENDIAN = 19789;    // "MM"
inline constexpr WORD TIFF_MAGIC = 42;

class CTIFFImageFileHeader : public TTIFFObject {
public:
    explicit CTIFFImageFileHeader(DWORD byteOrder);

    // Also sets the byte-order mark.
    void SetByteOrder(DWORD byteOrder) override;
    virtual void Write(CTIFFFile& file);

    WORD GetByteOrderMark() const { return m_ByteOrderMark; }
    DWORD GetFirstOffset() const { return m_FirstOffset; }
    void SetFirstOffset(DWORD offset) { m_FirstOffset = offset; }

private:
    WORD m_ByteOrderMark;
    WORD m_Magic = TIFF_MAGIC;
    DWORD m_FirstOffset = 0;
};

} // namespace Trellis
