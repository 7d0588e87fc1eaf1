#include "twainfw/CTIFFImageFileHeader.h"

#include "twainfw/CTIFFFile.h"

namespace Trellis {

CTIFFImageFileHeader::CTIFFImageFileHeader(DWORD byteOrder)
    : TTIFFObject(byteOrder),
      m_ByteOrderMark(byteOrder == TIFF_LITTLE_ENDIAN ? TIFF_MARK_LITTLE_ENDIAN : TIFF_MARK_BIG_ENDIAN)
{
}

void CTIFFImageFileHeader::SetByteOrder(DWORD byteOrder)
{
    TTIFFObject::SetByteOrder(byteOrder);
    m_ByteOrderMark = byteOrder == TIFF_LITTLE_ENDIAN ? TIFF_MARK_LITTLE_ENDIAN : TIFF_MARK_BIG_ENDIAN;
}

void CTIFFImageFileHeader::Write(CTIFFFile& file)
{
    // The mark's two bytes read the same in either order.
    file.WriteShort(m_ByteOrderMark);
    file.WriteShort(m_Magic);
    file.WriteLong(m_FirstOffset);
}

} // namespace Trellis
