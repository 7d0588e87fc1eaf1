// One tag of an image file directory: its values, and the 12-byte entry
// that stands for it in the directory.
#pragma once

#include "twainfw/CTIFFTagValue.h"

#include <string>
#include <vector>

namespace Trellis {

class CTIFFFile;

class CTIFFTag : public TTIFFObject {
public:
    CTIFFTag(WORD id, WORD type, DWORD byteOrder);

    void SetByteOrder(DWORD byteOrder) override;
    // The directory entry: id, type, count, then the value itself when it
    // fits, else the offset WriteValues recorded.
    virtual void Write(CTIFFFile& file);
    // The values that do not fit the entry, at the file's current position.
    virtual void WriteValues(CTIFFFile& file);

    // Each replaces every value by the one given and sets the tag's type.
    void SetShort(WORD value);
    void SetLong(DWORD value);
    void SetRational(DWORD numerator, DWORD denominator);
    void SetASCII(const std::string& text);

    // Appends a value, in this tag's byte order.
    void AddValue(const CTIFFTagValue& value);

    // A copy of the first value, or an empty value of the tag's type.
    CTIFFTagValue GetValue() const;

    WORD GetId() const { return m_Id; }
    WORD GetType() const { return m_Type; }
    void SetType(WORD type) { m_Type = type; }
    DWORD GetValueOffset() const { return m_ValueOffset; }
    const std::vector<CTIFFTagValue>& GetValues() const { return m_Values; }

    // True when the values stand in the entry itself: four bytes or less.
    bool ValueFits() const;
    // The entry's count: text bytes with their zeros for ASCII, else values.
    DWORD GetCount() const;

private:
    std::vector<CTIFFTagValue> m_Values;
    WORD m_Id;
    WORD m_Type;
    DWORD m_ValueOffset = 0;
};

} // namespace Trellis
