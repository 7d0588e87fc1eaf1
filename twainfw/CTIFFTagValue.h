// One value of a TIFF tag, kept as the bytes that go to the file (in the
// file's byte order) plus the text of an ASCII value.
#pragma once

#include "twainfw/TTIFFObject.h"

#include <string>

namespace Trellis {

class CTIFFTagValue : public TTIFFObject {
public:
    // An empty (zero) value of the type; unsupported types throw
    // CTIFFTagValueException.
    explicit CTIFFTagValue(DWORD type);
    // A number of an integer, FLOAT or DOUBLE type. Integers are cut toward
    // zero and held to the type's range; other types throw.
    CTIFFTagValue(double number, DWORD type);
    // An ASCII value.
    explicit CTIFFTagValue(const std::string& text);
    // A RATIONAL value.
    CTIFFTagValue(DWORD numerator, DWORD denominator);
    CTIFFTagValue(const CTIFFTagValue&) = default;
    CTIFFTagValue& operator=(const CTIFFTagValue&) = default;

    // Re-orders the raw bytes when the order changes, so that they always
    // stand as the file wants them.
    void SetByteOrder(DWORD byteOrder) override;

    void SetNumerator(DWORD numerator);
    void SetDenominator(DWORD denominator);

    DWORD GetType() const { return m_Type; }
    const BYTE* GetRaw() const { return m_Raw; }
    const std::string& GetText() const { return m_Text; }

    // Bytes the value takes in the file (an ASCII value with its zero).
    DWORD GetSize() const;

    // Bytes of one item of a supported type; 0 for an unsupported one.
    static DWORD TypeSize(DWORD type);

private:
    void StoreLong(int at, DWORD value);

    DWORD m_Type;
    BYTE m_Raw[8] = {};
    std::string m_Text;
};

} // namespace Trellis
