#include "twainfw/TTIFFImage.h"

#include "twainfw/CTIFFFile.h"

namespace Trellis {

TTIFFImage::TTIFFImage(CTIFFFile* file, WORD twainCompression, DWORD byteOrder)
    : TTIFFImageFileDirectory(twainCompression, byteOrder), m_pFile(file)
{
}

void TTIFFImage::BeginData()
{
    m_DataByteCount = 0;
    if (m_StripPerChunk == 0) {
        AddStripOffset(m_pFile->GetByteCounter());
    }
}

void TTIFFImage::AppendData(const void* data, DWORD length)
{
    if (m_StripPerChunk == 1) {
        AddStripOffset(m_pFile->GetByteCounter());
        AddStripByteCount(length);
    }
    // A refused write (failed stream, or a file past 4 GiB that 32-bit
    // offsets cannot address) leaves the count as it was.
    if (m_pFile->WriteBytes(data, length)) {
        m_DataByteCount += length;
    }
}

void TTIFFImage::EndPage()
{
    SetOffset(m_pFile->GetByteCounter());
    if (m_StripPerChunk == 0) {
        AddStripByteCount(m_DataByteCount);
    }
    Write(*m_pFile);
    for (const auto& tag : GetTags()) {
        tag->WriteValues(*m_pFile);
    }
}

} // namespace Trellis
