#include "twainfw/TTIFFImageFileDirectory.h"

#include "platform/twain/twain.h"
#include "twainfw/CTIFFFile.h"

#include <algorithm>

namespace Trellis {

WORD TIFFCompressionFromTWAIN(WORD twainCompression)
{
    switch (twainCompression) {
    case TWCP_PACKBITS:
        return 32773;
    case TWCP_GROUP31D:
    case TWCP_GROUP31DEOL:
    case TWCP_GROUP32D:
        return 3;
    case TWCP_GROUP4:
        return 4;
    case TWCP_JPEG:
        return 7;
    case TWCP_LZW:
        return 5;
    default:
        return 1;
    }
}

WORD TIFFResolutionUnitFromTWAIN(WORD twainUnits)
{
    switch (twainUnits) {
    case TWUN_INCHES:
        return 2;
    case TWUN_CENTIMETERS:
        return 3;
    default:
        return 1;
    }
}

TTIFFImageFileDirectory::TTIFFImageFileDirectory(WORD twainCompression, DWORD byteOrder) : TTIFFObject(byteOrder)
{
    GetTag(TIFF_TAG_COMPRESSION, true)->SetShort(TIFFCompressionFromTWAIN(twainCompression));
    if (twainCompression == TWCP_GROUP31DEOL) {
        SetT4Options(0);
    }
}

TTIFFImageFileDirectory::~TTIFFImageFileDirectory() = default;

void TTIFFImageFileDirectory::SetByteOrder(DWORD byteOrder)
{
    TTIFFObject::SetByteOrder(byteOrder);
    for (const auto& tag : m_Tags) {
        tag->SetByteOrder(byteOrder);
    }
}

CTIFFTag* TTIFFImageFileDirectory::GetTag(WORD id, bool create)
{
    for (const auto& tag : m_Tags) {
        if (tag->GetId() == id) {
            return tag.get();
        }
    }
    if (!create) {
        throw TTIFFIFDException();
    }
    m_Tags.push_back(std::make_unique<CTIFFTag>(id, TIFF_FIELD_LONG, m_ByteOrder));
    return m_Tags.back().get();
}

void TTIFFImageFileDirectory::AddStripOffset(DWORD offset)
{
    GetTag(TIFF_TAG_STRIPOFFSETS, true)->AddValue(CTIFFTagValue(static_cast<double>(offset), TIFF_FIELD_LONG));
}

void TTIFFImageFileDirectory::AddStripByteCount(DWORD count)
{
    GetTag(TIFF_TAG_STRIPBYTECOUNTS, true)->AddValue(CTIFFTagValue(static_cast<double>(count), TIFF_FIELD_LONG));
}

void TTIFFImageFileDirectory::AddBitsPerSample(WORD bits)
{
    CTIFFTag* tag = GetTag(TIFF_TAG_BITSPERSAMPLE, true);
    tag->SetType(TIFF_FIELD_SHORT);
    tag->AddValue(CTIFFTagValue(static_cast<double>(bits), TIFF_FIELD_SHORT));
}

void TTIFFImageFileDirectory::SetPlanarConfiguration(WORD twainPlanarChunky)
{
    // TIFF 1 is chunky (interleaved) samples, 2 one plane per sample.
    GetTag(TIFF_TAG_PLANARCONFIG, true)->SetShort(twainPlanarChunky == TWPC_CHUNKY ? 1 : 2);
}

void TTIFFImageFileDirectory::SetT4Options(DWORD value) { GetTag(TIFF_TAG_T4OPTIONS, true)->SetLong(value); }

void TTIFFImageFileDirectory::Write(CTIFFFile& file)
{
    // A tag without values has nothing to say; leaving it out keeps the
    // directory readable.
    std::vector<CTIFFTag*> entries;
    for (const auto& tag : m_Tags) {
        if (!tag->GetValues().empty()) {
            entries.push_back(tag.get());
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const CTIFFTag* a, const CTIFFTag* b) { return a->GetId() < b->GetId(); });

    file.WriteShort(static_cast<WORD>(entries.size()));
    for (CTIFFTag* tag : entries) {
        tag->Write(file);
    }
    file.WriteLong(m_NextOffset);
}

} // namespace Trellis
