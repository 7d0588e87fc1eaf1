#include "twainfw/CTIFFTag.h"

#include "twainfw/CTIFFFile.h"

#include <cstring>

namespace Trellis {

CTIFFTag::CTIFFTag(WORD id, WORD type, DWORD byteOrder) : TTIFFObject(byteOrder), m_Id(id), m_Type(type) {}

void CTIFFTag::SetByteOrder(DWORD byteOrder)
{
    TTIFFObject::SetByteOrder(byteOrder);
    for (CTIFFTagValue& value : m_Values) {
        value.SetByteOrder(byteOrder);
    }
}

bool CTIFFTag::ValueFits() const
{
    // Readers take any value of four bytes or less from the entry itself, so
    // a short text or a pair of SHORTs must stand there too.
    DWORD bytes = 0;
    for (const CTIFFTagValue& value : m_Values) {
        bytes += value.GetSize();
        if (bytes > 4) {
            return false;
        }
    }
    return true;
}

DWORD CTIFFTag::GetCount() const
{
    if (m_Type != TIFF_FIELD_ASCII) {
        return static_cast<DWORD>(m_Values.size());
    }
    DWORD count = 0;
    for (const CTIFFTagValue& value : m_Values) {
        count += static_cast<DWORD>(value.GetText().size()) + 1;
    }
    return count;
}

void CTIFFTag::Write(CTIFFFile& file)
{
    file.WriteShort(m_Id);
    file.WriteShort(m_Type);
    file.WriteLong(GetCount());
    if (!ValueFits()) {
        file.WriteLong(m_ValueOffset);
        return;
    }
    // The value bytes, left-justified and padded with zeros.
    BYTE entry[4] = {};
    DWORD used = 0;
    for (const CTIFFTagValue& value : m_Values) {
        const BYTE* bytes = value.GetType() == TIFF_FIELD_ASCII ? reinterpret_cast<const BYTE*>(value.GetText().c_str())
                                                                : value.GetRaw();
        std::memcpy(entry + used, bytes, value.GetSize());
        used += value.GetSize();
    }
    file.WriteBytes(entry, 4);
}

void CTIFFTag::WriteValues(CTIFFFile& file)
{
    if (ValueFits()) {
        return;
    }
    m_ValueOffset = file.GetByteCounter();
    for (const CTIFFTagValue& value : m_Values) {
        switch (value.GetType()) {
        case TIFF_FIELD_ASCII:
            file.WriteBytes(value.GetText().c_str(), value.GetSize());
            break;
        case TIFF_FIELD_BYTE:
        case TIFF_FIELD_SBYTE:
        case TIFF_FIELD_SHORT:
        case TIFF_FIELD_SSHORT:
        case TIFF_FIELD_LONG:
        case TIFF_FIELD_SLONG:
        case TIFF_FIELD_FLOAT:
        case TIFF_FIELD_DOUBLE:
        case TIFF_FIELD_RATIONAL:
            file.WriteBytes(value.GetRaw(), value.GetSize());
            break;
        default:
            throw CTIFFTagValueException();
        }
    }
}

void CTIFFTag::SetShort(WORD value)
{
    m_Values.clear();
    m_Type = TIFF_FIELD_SHORT;
    AddValue(CTIFFTagValue(static_cast<double>(value), TIFF_FIELD_SHORT));
}

void CTIFFTag::SetLong(DWORD value)
{
    m_Values.clear();
    m_Type = TIFF_FIELD_LONG;
    AddValue(CTIFFTagValue(static_cast<double>(value), TIFF_FIELD_LONG));
}

void CTIFFTag::SetRational(DWORD numerator, DWORD denominator)
{
    m_Values.clear();
    m_Type = TIFF_FIELD_RATIONAL;
    AddValue(CTIFFTagValue(numerator, denominator));
}

void CTIFFTag::SetASCII(const std::string& text)
{
    m_Values.clear();
    m_Type = TIFF_FIELD_ASCII;
    AddValue(CTIFFTagValue(text));
}

void CTIFFTag::AddValue(const CTIFFTagValue& value)
{
    m_Values.push_back(value);
    m_Values.back().SetByteOrder(m_ByteOrder);
}

CTIFFTagValue CTIFFTag::GetValue() const
{
    if (m_Values.empty()) {
        CTIFFTagValue empty(m_Type);
        empty.SetByteOrder(m_ByteOrder);
        return empty;
    }
    return m_Values.front();
}

} // namespace Trellis
