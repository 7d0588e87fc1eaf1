// Writes TIFF files from whatever a file transfer could hand the writer:
// any compression, any tag values and texts, data in any chunks, one strip
// per page or per chunk, either byte order, several pages. Every file must
// come out whole: a header pointing at the first directory, the directories
// chained page after page with their entries in ascending order, every
// value and strip inside the file, and every strip holding the bytes that
// were written for it.
//
// Input: byte 0 chooses the byte order (bit 0). Then pages, each starting
// with two bytes (TWAIN compression, one strip per chunk when bit 0 of the
// second is set) and followed by steps, each one byte and its operands:
//   0 SHORT tag: id (2 bytes), value (2)      4 value of the tag's own type: id, number (4)
//   1 LONG tag: id, value (4)                 5 a BitsPerSample value (2)
//   2 RATIONAL tag: id, numerator, denominator 6 PlanarConfiguration (2), T4Options (4)
//   3 ASCII tag: id, length (1), the text      7 data: length (1), the bytes
//   8 ends the page (so does the end of the input)
// Numbers are little-endian. The writer's own tags (BitsPerSample,
// StripOffsets, StripByteCounts) are left to the writer.
#include "twainfw/CTIFFFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

using namespace Trellis;

namespace {

using Bytes = std::vector<std::uint8_t>;

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Done() const { return m_pos >= m_size; }
    std::uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    WORD Word() { return static_cast<WORD>(Byte() | Byte() << 8); }
    DWORD Long() { return Word() | static_cast<DWORD>(Word()) << 16; }
    Bytes Take(std::size_t count)
    {
        count = std::min(count, m_size - std::min(m_pos, m_size));
        Bytes bytes(m_data + m_pos, m_data + m_pos + count);
        m_pos += count;
        return bytes;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

bool WritersOwn(WORD id)
{
    return id == TIFF_TAG_BITSPERSAMPLE || id == TIFF_TAG_STRIPOFFSETS || id == TIFF_TAG_STRIPBYTECOUNTS;
}

// One page from the input; the strips it wrote, in order.
std::vector<Bytes> WritePage(CTIFFFile& file, Input& in)
{
    TTIFFImage* page = file.NewPage(in.Byte());
    const bool stripPerChunk = in.Byte() & 1;
    page->SetStripPerChunk(stripPerChunk ? 1 : 0);
    page->BeginData();
    std::vector<Bytes> strips(stripPerChunk ? 0 : 1);
    for (std::uint8_t step; !in.Done() && (step = in.Byte() % 9) != 8;) {
        if (step == 5) {
            page->AddBitsPerSample(in.Word());
        } else if (step == 6) {
            page->SetPlanarConfiguration(in.Word());
            page->SetT4Options(in.Long());
        } else if (step == 7) {
            const Bytes data = in.Take(in.Byte());
            page->AppendData(data.data(), static_cast<DWORD>(data.size()));
            if (stripPerChunk)
                strips.push_back(data);
            else
                strips[0].insert(strips[0].end(), data.begin(), data.end());
        } else {
            const WORD id = in.Word();
            CTIFFTag* tag = WritersOwn(id) ? nullptr : page->GetTag(id, true);
            // clang-format off
            switch (step) {
            case 0: tag ? tag->SetShort(in.Word()) : void(in.Word()); break;
            case 1: tag ? tag->SetLong(in.Long()) : void(in.Long()); break;
            case 2: {
                const DWORD numerator = in.Long();
                const DWORD denominator = in.Long();
                if (tag)
                    tag->SetRational(numerator, denominator);
                break;
            }
            case 3: {
                const Bytes text = in.Take(in.Byte());
                if (tag)
                    tag->SetASCII(std::string(text.begin(), text.end()));
                break;
            }
            default: {
                const DWORD raw = in.Long();
                const double number = static_cast<std::int32_t>(raw);
                if (!tag)
                    break;
                if (tag->GetType() == TIFF_FIELD_ASCII)
                    tag->AddValue(CTIFFTagValue(std::to_string(number)));
                else if (tag->GetType() == TIFF_FIELD_RATIONAL)
                    tag->AddValue(CTIFFTagValue(raw, 1));
                else
                    tag->AddValue(CTIFFTagValue(number, tag->GetType()));
                break;
            }
            }
            // clang-format on
        }
    }
    page->EndPage();
    return strips;
}

// Reads the finished file back and traps on anything out of place.
class Reader {
public:
    Reader(Bytes file, bool bigEndian) : m_file(std::move(file)), m_big(bigEndian) {}

    void Check(const std::vector<std::vector<Bytes>>& pages)
    {
        Expect(m_file.size() >= 8);
        Expect(Word(0) == (m_big ? TIFF_MARK_BIG_ENDIAN : TIFF_MARK_LITTLE_ENDIAN));
        Expect(Word(2) == TIFF_MAGIC);
        DWORD directory = Long(4);
        for (const std::vector<Bytes>& strips : pages) {
            Expect(directory != 0);
            directory = CheckDirectory(directory, strips);
        }
        Expect(directory == 0);
    }

private:
    static void Expect(bool condition)
    {
        if (!condition)
            __builtin_trap();
    }
    WORD Word(std::size_t at) const
    {
        Expect(at + 2 <= m_file.size());
        return m_big ? static_cast<WORD>(m_file[at] << 8 | m_file[at + 1])
                     : static_cast<WORD>(m_file[at] | m_file[at + 1] << 8);
    }
    DWORD Long(std::size_t at) const
    {
        return m_big ? static_cast<DWORD>(Word(at)) << 16 | Word(at + 2)
                     : Word(at) | static_cast<DWORD>(Word(at + 2)) << 16;
    }

    // The directory's offset of the next one.
    DWORD CheckDirectory(DWORD at, const std::vector<Bytes>& strips)
    {
        const WORD count = Word(at);
        std::vector<DWORD> offsets, counts;
        WORD previous = 0;
        for (WORD i = 0; i < count; ++i) {
            const std::size_t entry = at + 2 + 12 * std::size_t{i};
            const WORD id = Word(entry);
            Expect(i == 0 || id > previous);
            previous = id;
            const DWORD values = Long(entry + 4);
            const std::size_t size = std::size_t{values} * CTIFFTagValue::TypeSize(Word(entry + 2));
            Expect(size > 0);
            const std::size_t where = size <= 4 ? entry + 8 : Long(entry + 8);
            Expect(where + size <= m_file.size());
            if (id == TIFF_TAG_STRIPOFFSETS || id == TIFF_TAG_STRIPBYTECOUNTS) {
                Expect(Word(entry + 2) == TIFF_FIELD_LONG);
                for (DWORD k = 0; k < values; ++k)
                    (id == TIFF_TAG_STRIPOFFSETS ? offsets : counts).push_back(Long(where + 4 * k));
            }
        }
        Expect(offsets.size() == strips.size() && counts.size() == strips.size());
        for (std::size_t k = 0; k < strips.size(); ++k) {
            Expect(counts[k] == strips[k].size() && std::size_t{offsets[k]} + counts[k] <= m_file.size());
            Expect(std::equal(strips[k].begin(), strips[k].end(), m_file.begin() + offsets[k]));
        }
        return Long(at + 2 + 12 * std::size_t{count});
    }

    Bytes m_file;
    bool m_big;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* path = "tiff_fuzz.tif";
    Input in(data, size);
    const bool bigEndian = in.Byte() & 1;
    std::vector<std::vector<Bytes>> pages;
    {
        CTIFFFile file(bigEndian ? TIFF_BIG_ENDIAN : TIFF_LITTLE_ENDIAN);
        file.Open(path);
        for (int count = 0; !in.Done() && count < 8; ++count)
            pages.push_back(WritePage(file, in));
        if (!file.Finish())
            __builtin_trap();
    }
    std::ifstream written(path, std::ios::binary);
    Reader(Bytes(std::istreambuf_iterator<char>(written), {}), bigEndian).Check(pages);
    return 0;
}
