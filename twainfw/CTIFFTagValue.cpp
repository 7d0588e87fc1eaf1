#include "twainfw/CTIFFTagValue.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace Trellis {

namespace {

// The number cut toward zero and held to T's range; NaN gives 0. A plain
// cast of an out-of-range double is undefined behaviour.
template <typename T>
T ToWidth(double number)
{
    if (std::isnan(number)) {
        return 0;
    }
    number = std::trunc(number);
    if (number <= static_cast<double>(std::numeric_limits<T>::min())) {
        return std::numeric_limits<T>::min();
    }
    if (number >= static_cast<double>(std::numeric_limits<T>::max())) {
        return std::numeric_limits<T>::max();
    }
    return static_cast<T>(number);
}

// Raw bytes are built little-endian; SetByteOrder turns them when needed.
template <typename T>
void StoreLittle(BYTE* raw, T value)
{
    using U = std::make_unsigned_t<T>;
    U bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (size_t i = 0; i < sizeof bits; ++i) {
        raw[i] = static_cast<BYTE>(bits >> (8 * i));
    }
}

} // namespace

DWORD CTIFFTagValue::TypeSize(DWORD type)
{
    switch (type) {
    case TIFF_FIELD_BYTE:
    case TIFF_FIELD_ASCII:
    case TIFF_FIELD_SBYTE:
        return 1;
    case TIFF_FIELD_SHORT:
    case TIFF_FIELD_SSHORT:
        return 2;
    case TIFF_FIELD_LONG:
    case TIFF_FIELD_SLONG:
    case TIFF_FIELD_FLOAT:
        return 4;
    case TIFF_FIELD_RATIONAL:
    case TIFF_FIELD_DOUBLE:
        return 8;
    default:
        return 0;
    }
}

CTIFFTagValue::CTIFFTagValue(DWORD type) : m_Type(type)
{
    if (TypeSize(type) == 0) {
        throw CTIFFTagValueException();
    }
}

CTIFFTagValue::CTIFFTagValue(double number, DWORD type) : m_Type(type)
{
    switch (type) {
    case TIFF_FIELD_BYTE:
        StoreLittle(m_Raw, ToWidth<std::uint8_t>(number));
        break;
    case TIFF_FIELD_SBYTE:
        StoreLittle(m_Raw, ToWidth<std::int8_t>(number));
        break;
    case TIFF_FIELD_SHORT:
        StoreLittle(m_Raw, ToWidth<std::uint16_t>(number));
        break;
    case TIFF_FIELD_SSHORT:
        StoreLittle(m_Raw, ToWidth<std::int16_t>(number));
        break;
    case TIFF_FIELD_LONG:
        StoreLittle(m_Raw, ToWidth<std::uint32_t>(number));
        break;
    case TIFF_FIELD_SLONG:
        StoreLittle(m_Raw, ToWidth<std::int32_t>(number));
        break;
    case TIFF_FIELD_FLOAT: {
        std::uint32_t bits;
        float f = static_cast<float>(number);
        std::memcpy(&bits, &f, sizeof bits);
        StoreLittle(m_Raw, bits);
        break;
    }
    case TIFF_FIELD_DOUBLE: {
        std::uint64_t bits;
        std::memcpy(&bits, &number, sizeof bits);
        StoreLittle(m_Raw, bits);
        break;
    }
    default:
        throw CTIFFTagValueException();
    }
}

CTIFFTagValue::CTIFFTagValue(const std::string& text) : m_Type(TIFF_FIELD_ASCII), m_Text(text) {}

CTIFFTagValue::CTIFFTagValue(DWORD numerator, DWORD denominator) : m_Type(TIFF_FIELD_RATIONAL)
{
    SetNumerator(numerator);
    SetDenominator(denominator);
}

void CTIFFTagValue::StoreLong(int at, DWORD value)
{
    StoreLittle(m_Raw + at, value);
    if (IsBigEndian()) {
        std::reverse(m_Raw + at, m_Raw + at + 4);
    }
}

void CTIFFTagValue::SetNumerator(DWORD numerator)
{
    m_Type = TIFF_FIELD_RATIONAL;
    StoreLong(0, numerator);
}

void CTIFFTagValue::SetDenominator(DWORD denominator)
{
    m_Type = TIFF_FIELD_RATIONAL;
    StoreLong(4, denominator);
}

void CTIFFTagValue::SetByteOrder(DWORD byteOrder)
{
    const bool turn = (byteOrder != TIFF_LITTLE_ENDIAN) != IsBigEndian();
    TTIFFObject::SetByteOrder(byteOrder);
    if (!turn) {
        return;
    }
    switch (m_Type) {
    case TIFF_FIELD_RATIONAL:
        std::reverse(m_Raw, m_Raw + 4);
        std::reverse(m_Raw + 4, m_Raw + 8);
        break;
    case TIFF_FIELD_SHORT:
    case TIFF_FIELD_SSHORT:
    case TIFF_FIELD_LONG:
    case TIFF_FIELD_SLONG:
    case TIFF_FIELD_FLOAT:
    case TIFF_FIELD_DOUBLE:
        std::reverse(m_Raw, m_Raw + TypeSize(m_Type));
        break;
    default:
        break;
    }
}

DWORD CTIFFTagValue::GetSize() const
{
    if (m_Type == TIFF_FIELD_ASCII) {
        return static_cast<DWORD>(m_Text.size()) + 1;
    }
    return TypeSize(m_Type);
}

} // namespace Trellis
