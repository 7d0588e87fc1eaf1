#include "twainfw/CTIFFFile.h"

#include <cstdint>
#include <cstdio>

namespace Trellis {

CTIFFFile::CTIFFFile(DWORD byteOrder) : CTIFFImageFileHeader(byteOrder) {}

CTIFFFile::~CTIFFFile()
{
    if (IsOpen()) {
        Finish();
    }
    m_Pages.clear();
}

void CTIFFFile::Open(const std::string& path)
{
    if (IsOpen()) {
        Finish();
    }
    m_Pages.clear();
    SetFirstOffset(0);

    m_Path = path;
    m_Stream.clear();
    m_Stream.open(PartPath(path), std::ios::out | std::ios::binary | std::ios::trunc);
    m_ByteCounter = 0;
    Write(*this);
}

TTIFFImage* CTIFFFile::NewPage(WORD twainCompression)
{
    m_Pages.push_back(std::make_unique<TTIFFImage>(this, twainCompression, m_ByteOrder));
    m_Pages.back()->SetStripPerChunk(1);
    return m_Pages.back().get();
}

void CTIFFFile::DropLastPage()
{
    if (!m_Pages.empty()) {
        m_Pages.pop_back();
    }
}

void CTIFFFile::Abandon()
{
    m_Pages.clear();
    if (!IsOpen()) {
        return;
    }
    m_Stream.close();
    std::remove(PartPath(m_Path).c_str());
}

bool CTIFFFile::Finish()
{
    if (!IsOpen()) {
        // Pages of a file that never opened must not reach the next file.
        m_Pages.clear();
        return false;
    }
    if (!m_Pages.empty()) {
        SetFirstOffset(m_Pages.front()->GetOffset());
    }
    SeekTo(0);
    Write(*this);
    for (size_t i = 0; i < m_Pages.size(); ++i) {
        if (i + 1 < m_Pages.size()) {
            m_Pages[i]->SetNextOffset(m_Pages[i + 1]->GetOffset());
        }
        SeekTo(m_Pages[i]->GetOffset());
        m_Pages[i]->Write(*this);
        m_Pages[i].reset();
    }
    m_Pages.clear();
    m_Stream.close();
    const std::string part = PartPath(m_Path);
    if (m_Stream.fail() || std::rename(part.c_str(), m_Path.c_str()) != 0) {
        std::remove(part.c_str());
        return false;
    }
    return true;
}

void CTIFFFile::SeekTo(DWORD offset)
{
    m_Stream.seekp(offset);
    m_ByteCounter = offset;
}

bool CTIFFFile::WriteBytes(const void* data, DWORD length)
{
    if (!m_Stream.good()) {
        return false;
    }
    if (static_cast<std::uint64_t>(m_ByteCounter) + length > 0xFFFFFFFFu) {
        m_Stream.setstate(std::ios::failbit);
        return false;
    }
    m_Stream.write(static_cast<const char*>(data), length);
    if (!m_Stream.good()) {
        return false;
    }
    m_ByteCounter += length;
    return true;
}

bool CTIFFFile::WriteShort(WORD value)
{
    BYTE bytes[2];
    if (IsBigEndian()) {
        bytes[0] = static_cast<BYTE>(value >> 8);
        bytes[1] = static_cast<BYTE>(value);
    } else {
        bytes[0] = static_cast<BYTE>(value);
        bytes[1] = static_cast<BYTE>(value >> 8);
    }
    return WriteBytes(bytes, 2);
}

bool CTIFFFile::WriteLong(DWORD value)
{
    BYTE bytes[4];
    for (int i = 0; i < 4; ++i) {
        const int shift = IsBigEndian() ? 8 * (3 - i) : 8 * i;
        bytes[i] = static_cast<BYTE>(value >> shift);
    }
    return WriteBytes(bytes, 4);
}

} // namespace Trellis
