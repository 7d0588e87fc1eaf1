#include "twainfw/CTIFFFile.h"

#include "platform/testing/TempSystemRoot.h"
#include "platform/twain/twain.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>

using namespace Trellis;

namespace {

std::vector<BYTE> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

WORD U16(const std::vector<BYTE>& b, size_t at) { return static_cast<WORD>(b.at(at) | b.at(at + 1) << 8); }

DWORD U32(const std::vector<BYTE>& b, size_t at) { return U16(b, at) | static_cast<DWORD>(U16(b, at + 2)) << 16; }

std::string Text(const std::vector<BYTE>& b, size_t at, size_t count)
{
    return std::string(b.begin() + at, b.begin() + at + count);
}

// One page as a file transfer writes it: one strip, tags made in the
// transfer's order, the data in two chunks.
struct PageSpec {
    WORD twainCompression = TWCP_NONE;
    DWORD width = 0;
    DWORD height = 0;
    WORD samples = 1;
    WORD bits = 1;
    std::vector<BYTE> data;
    DWORD resolution = 300;
};

const char kArtist[] = "abc";
const char kMake[] = "Mk";
const char kModel[] = "Model1";
const char kDateTime[] = "2026:12:10 13:53:00.000";

void WritePage(CTIFFFile& file, const PageSpec& spec)
{
    TTIFFImage* page = file.NewPage(spec.twainCompression);
    page->SetStripPerChunk(0);
    page->BeginData();
    for (WORD i = 0; i < spec.samples; ++i) {
        page->AddBitsPerSample(spec.bits);
    }
    WORD photometric = 1;
    if (spec.samples == 3) {
        photometric = spec.twainCompression == TWCP_JPEG ? 6 : 2;
    }
    page->GetTag(TIFF_TAG_PHOTOMETRIC, true)->SetShort(photometric);
    page->GetTag(TIFF_TAG_IMAGELENGTH, true)->SetLong(spec.height);
    page->GetTag(TIFF_TAG_IMAGEWIDTH, true)->SetLong(spec.width);
    if (spec.samples == 3) {
        page->SetPlanarConfiguration(TWPC_CHUNKY);
    }
    page->GetTag(TIFF_TAG_SAMPLESPERPIXEL, true)->SetShort(spec.samples);
    if (spec.twainCompression == TWCP_GROUP31D || spec.twainCompression == TWCP_GROUP32D) {
        page->SetT4Options(spec.twainCompression == TWCP_GROUP32D ? 1 : 0);
    }
    page->GetTag(TIFF_TAG_RESOLUTIONUNIT, true)->SetShort(TIFFResolutionUnitFromTWAIN(TWUN_INCHES));
    page->GetTag(TIFF_TAG_XRESOLUTION, true)->SetRational(spec.resolution, 1);
    page->GetTag(TIFF_TAG_YRESOLUTION, true)->SetRational(spec.resolution, 1);
    page->GetTag(TIFF_TAG_ARTIST, true)->SetASCII(kArtist);
    page->GetTag(TIFF_TAG_MAKE, true)->SetASCII(kMake);
    page->GetTag(TIFF_TAG_MODEL, true)->SetASCII(kModel);
    page->GetTag(TIFF_TAG_DATETIME, true)->SetASCII(kDateTime);
    page->GetTag(TIFF_TAG_ROWSPERSTRIP, true)->SetLong(spec.height);
    const DWORD half = static_cast<DWORD>(spec.data.size() / 2);
    page->AppendData(spec.data.data(), half);
    page->AppendData(spec.data.data() + half, static_cast<DWORD>(spec.data.size()) - half);
    page->EndPage();
}

std::vector<BYTE> Pattern(size_t size, unsigned seed)
{
    std::vector<BYTE> data(size);
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<BYTE>((i * 37 + seed * 11 + i / 7) & 0xFF);
    }
    return data;
}

class TIFFWriterTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return m_Root.Path() + "/" + name; }

    plat::testing::TempSystemRoot m_Root;
};

struct Entry {
    WORD tag;
    WORD type;
    DWORD count;
    DWORD value; // the value in the entry, or its offset
};

std::vector<Entry> ReadDirectory(const std::vector<BYTE>& b, DWORD offset, DWORD* next)
{
    std::vector<Entry> entries;
    const WORD count = U16(b, offset);
    for (WORD i = 0; i < count; ++i) {
        const size_t at = offset + 2 + 12 * i;
        entries.push_back({U16(b, at), U16(b, at + 2), U32(b, at + 4), U32(b, at + 8)});
    }
    *next = U32(b, offset + 2 + 12 * count);
    return entries;
}

TEST_F(TIFFWriterTest, OnePageBilevelFileIsLaidOutByteForByte)
{
    PageSpec spec;
    spec.width = 8;
    spec.height = 3;
    spec.data = {0xF0, 0x0F, 0xAA}; // odd length: the directory starts at an odd offset

    CTIFFFile file;
    file.Open(PathOf("one.tif"));
    WritePage(file, spec);
    ASSERT_TRUE(file.Finish());
    EXPECT_FALSE(file.IsOpen());

    const std::vector<BYTE> b = ReadFile(PathOf("one.tif"));
    ASSERT_GE(b.size(), 8u);
    EXPECT_EQ(Text(b, 0, 2), "II");
    EXPECT_EQ(U16(b, 2), 42);
    const DWORD dir = 8 + 3;
    EXPECT_EQ(U32(b, 4), dir);
    EXPECT_EQ(std::vector<BYTE>(b.begin() + 8, b.begin() + 11), spec.data);

    // Out-of-line values follow the directory in the order the tags were
    // made: XResolution, YResolution, Model, DateTime. Texts of four bytes
    // or less (Artist "abc", Make "Mk") stand in their entries, where
    // readers look for them.
    const DWORD values = dir + 2 + 16 * 12 + 4;
    const DWORD xres = values, yres = xres + 8, model = yres + 8, datetime = model + 7;
    const DWORD artist = 'a' | 'b' << 8 | 'c' << 16, make = 'M' | 'k' << 8;
    // clang-format off
    const std::vector<Entry> expected = {
        {256, 4, 1, 8},
        {257, 4, 1, 3},
        {258, 3, 1, 1},
        {259, 3, 1, 1},
        {262, 3, 1, 1},
        {271, 2, 3, make},
        {272, 2, 7, model},
        {273, 4, 1, 8},
        {277, 3, 1, 1},
        {278, 4, 1, 3},
        {279, 4, 1, 3},
        {282, 5, 1, xres},
        {283, 5, 1, yres},
        {296, 3, 1, 2},
        {306, 2, 24, datetime},
        {315, 2, 4, artist},
    };
    // clang-format on
    DWORD next = 1;
    const std::vector<Entry> entries = ReadDirectory(b, dir, &next);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].tag);
        EXPECT_EQ(entries[i].tag, expected[i].tag);
        EXPECT_EQ(entries[i].type, expected[i].type);
        EXPECT_EQ(entries[i].count, expected[i].count);
        EXPECT_EQ(entries[i].value, expected[i].value);
    }
    EXPECT_EQ(next, 0u);

    // A SHORT stands in the first two bytes of its entry: Compression 1 is 01 00 00 00.
    const size_t compressionEntry = dir + 2 + 3 * 12;
    EXPECT_EQ(std::vector<BYTE>(b.begin() + compressionEntry + 8, b.begin() + compressionEntry + 12),
              (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_EQ(U32(b, xres), 300u);
    EXPECT_EQ(U32(b, xres + 4), 1u);
    EXPECT_EQ(U32(b, yres), 300u);
    EXPECT_EQ(U32(b, yres + 4), 1u);
    EXPECT_EQ(Text(b, model, 7), std::string("Model1", 7));
    EXPECT_EQ(Text(b, datetime, 24), std::string(kDateTime, 24));
    EXPECT_EQ(b.size(), datetime + 24u);
}

TEST_F(TIFFWriterTest, PagesOfAMultiPageFileAreChainedInOrder)
{
    CTIFFFile file;
    file.Open(PathOf("multi.tif"));
    std::vector<DWORD> dataStart;
    for (unsigned page = 0; page < 3; ++page) {
        PageSpec spec;
        spec.width = 5;
        spec.height = 4 + page;
        spec.samples = 3;
        spec.bits = 8;
        spec.data = Pattern(spec.width * spec.height * 3, page);
        dataStart.push_back(file.GetByteCounter());
        WritePage(file, spec);
    }
    ASSERT_TRUE(file.Finish());

    const std::vector<BYTE> b = ReadFile(PathOf("multi.tif"));
    DWORD dir = U32(b, 4);
    for (unsigned page = 0; page < 3; ++page) {
        SCOPED_TRACE(page);
        const DWORD dataLength = 5 * (4 + page) * 3;
        EXPECT_EQ(dir, dataStart[page] + dataLength); // each directory follows its page's data
        DWORD next = 0;
        std::map<WORD, Entry> byTag;
        for (const Entry& e : ReadDirectory(b, dir, &next)) {
            byTag[e.tag] = e;
        }
        EXPECT_EQ(byTag[273].value, dataStart[page]);
        EXPECT_EQ(byTag[279].value, dataLength);
        // Three BitsPerSample values go out of line, first of the page's values.
        const Entry bits = byTag[258];
        EXPECT_EQ(bits.count, 3u);
        EXPECT_EQ(bits.value, dir + 2 + 12 * byTag.size() + 4);
        EXPECT_EQ(U16(b, bits.value), 8);
        EXPECT_EQ(U16(b, bits.value + 4), 8);
        EXPECT_EQ(byTag[284].value, 1u);
        if (page < 2) {
            EXPECT_EQ(next, dataStart[page + 1] + 5 * (5 + page) * 3);
        } else {
            EXPECT_EQ(next, 0u);
        }
        dir = next;
    }
}

TEST_F(TIFFWriterTest, EveryChunkIsItsOwnStripWhenTheFlagIsSet)
{
    CTIFFFile file;
    file.Open(PathOf("chunks.tif"));
    TTIFFImage* page = file.NewPage(TWCP_NONE);
    EXPECT_EQ(page->GetStripPerChunk(), 1);
    page->BeginData();
    const BYTE chunk[5] = {1, 2, 3, 4, 5};
    page->AppendData(chunk, 2);
    page->AppendData(chunk, 5);
    page->AppendData(chunk, 1);
    EXPECT_EQ(page->GetDataByteCount(), 8u);
    page->EndPage();
    ASSERT_TRUE(file.Finish());

    const std::vector<BYTE> b = ReadFile(PathOf("chunks.tif"));
    DWORD next = 0;
    std::map<WORD, Entry> byTag;
    for (const Entry& e : ReadDirectory(b, U32(b, 4), &next)) {
        byTag[e.tag] = e;
    }
    ASSERT_EQ(byTag[273].count, 3u);
    ASSERT_EQ(byTag[279].count, 3u);
    const DWORD offsets = byTag[273].value, counts = byTag[279].value;
    const DWORD expectedOffsets[] = {8, 10, 15}, expectedCounts[] = {2, 5, 1};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(U32(b, offsets + 4 * i), expectedOffsets[i]);
        EXPECT_EQ(U32(b, counts + 4 * i), expectedCounts[i]);
    }
}

TEST(TIFFDirectoryTest, CompressionMapAndT4Options)
{
    struct Case {
        WORD twain;
        DWORD tiff;
        bool hasT4;
        DWORD t4;
    };
    const Case cases[] = {
        {TWCP_NONE, 1, false, 0},       {TWCP_PACKBITS, 32773, false, 0}, {TWCP_GROUP31D, 3, false, 0},
        {TWCP_GROUP31DEOL, 3, true, 0}, {TWCP_GROUP4, 4, false, 0},       {TWCP_JPEG, 7, false, 0},
        {TWCP_LZW, 5, false, 0},        {TWCP_JBIG, 1, false, 0},         {0xFFFF, 1, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.twain);
        TTIFFImageFileDirectory dir(c.twain, TIFF_LITTLE_ENDIAN);
        const CTIFFTagValue compression = dir.GetTag(TIFF_TAG_COMPRESSION, false)->GetValue();
        EXPECT_EQ(compression.GetType(), TIFF_FIELD_SHORT);
        EXPECT_EQ(U16(std::vector<BYTE>(compression.GetRaw(), compression.GetRaw() + 8), 0), c.tiff);
        if (c.hasT4) {
            EXPECT_EQ(dir.GetTag(TIFF_TAG_T4OPTIONS, false)->GetValue().GetRaw()[0], c.t4);
        } else {
            EXPECT_THROW(dir.GetTag(TIFF_TAG_T4OPTIONS, false), TTIFFIFDException);
        }
    }
    EXPECT_EQ(TIFFResolutionUnitFromTWAIN(TWUN_INCHES), 2);
    EXPECT_EQ(TIFFResolutionUnitFromTWAIN(TWUN_CENTIMETERS), 3);
    EXPECT_EQ(TIFFResolutionUnitFromTWAIN(5), 1);
}

DWORD RawLong(const CTIFFTagValue& v, int at = 0)
{
    const BYTE* r = v.GetRaw() + at;
    return r[0] | r[1] << 8 | r[2] << 16 | static_cast<DWORD>(r[3]) << 24;
}

TEST(TIFFTagValueTest, NumbersAreCutTowardZeroAndHeldToTheTypesRange)
{
    struct Case {
        double number;
        DWORD type;
        DWORD raw; // the first four raw bytes, little-endian
    };
    const Case cases[] = {
        {200.5, TIFF_FIELD_LONG, 200},         {300.0, TIFF_FIELD_SHORT, 300},      {70000.0, TIFF_FIELD_SHORT, 0xFFFF},
        {-1.0, TIFF_FIELD_SHORT, 0},           {-2.7, TIFF_FIELD_SSHORT, 0xFFFE},   {1e12, TIFF_FIELD_LONG, 0xFFFFFFFF},
        {-1e12, TIFF_FIELD_SLONG, 0x80000000}, {300.0, TIFF_FIELD_BYTE, 0xFF},      {-200.0, TIFF_FIELD_SBYTE, 0x80},
        {std::nan(""), TIFF_FIELD_LONG, 0},    {1.5, TIFF_FIELD_FLOAT, 0x3FC00000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const CTIFFTagValue v(c.number, c.type);
        EXPECT_EQ(v.GetType(), c.type);
        EXPECT_EQ(RawLong(v), c.raw);
    }
    EXPECT_THROW(CTIFFTagValue(1.0, TIFF_FIELD_UNDEFINED), CTIFFTagValueException);
    EXPECT_THROW(CTIFFTagValue(1.0, TIFF_FIELD_SRATIONAL), CTIFFTagValueException);
    EXPECT_THROW(CTIFFTagValue(1.0, TIFF_FIELD_RATIONAL), CTIFFTagValueException);
    EXPECT_THROW(CTIFFTagValue(1.0, 13), CTIFFTagValueException);
    EXPECT_THROW((void)CTIFFTagValue(DWORD{TIFF_FIELD_UNDEFINED}), CTIFFTagValueException);

    CTIFFTagValue rational(300u, 1u);
    EXPECT_EQ(rational.GetType(), TIFF_FIELD_RATIONAL);
    EXPECT_EQ(RawLong(rational), 300u);
    EXPECT_EQ(RawLong(rational, 4), 1u);
    rational.SetByteOrder(TIFF_BIG_ENDIAN);
    EXPECT_EQ(rational.GetRaw()[2], 0x01);
    EXPECT_EQ(rational.GetRaw()[3], 0x2C);
    rational.SetDenominator(2);
    EXPECT_EQ(rational.GetRaw()[7], 2);
}

TEST(TIFFTagTest, SettersReplaceTheValuesAndFitIsDecidedByTypeAndCount)
{
    CTIFFTag tag(TIFF_TAG_ARTIST, TIFF_FIELD_LONG, TIFF_LITTLE_ENDIAN);
    EXPECT_EQ(tag.GetValue().GetType(), TIFF_FIELD_LONG); // an empty value of the tag's type
    tag.SetLong(7);
    EXPECT_TRUE(tag.ValueFits());
    tag.SetASCII("abc");
    EXPECT_EQ(tag.GetValues().size(), 1u);
    EXPECT_EQ(tag.GetCount(), 4u);
    EXPECT_TRUE(tag.ValueFits());
    tag.SetASCII("abcd");
    EXPECT_EQ(tag.GetCount(), 5u);
    EXPECT_FALSE(tag.ValueFits());
    tag.SetRational(1, 2);
    EXPECT_FALSE(tag.ValueFits());
    tag.SetShort(8);
    tag.AddValue(CTIFFTagValue(8.0, TIFF_FIELD_SHORT));
    EXPECT_TRUE(tag.ValueFits()); // two SHORTs fill the four bytes
    EXPECT_EQ(tag.GetCount(), 2u);
    tag.AddValue(CTIFFTagValue(8.0, TIFF_FIELD_SHORT));
    EXPECT_FALSE(tag.ValueFits());
}

// Image data in a compression, made by libtiff itself so that reading the
// page back proves the directory describes it right.
std::vector<BYTE> EncodeWithLibtiff(const std::string& scratch, const PageSpec& spec, const std::vector<BYTE>& pixels)
{
    TIFF* t = TIFFOpen(scratch.c_str(), "w");
    if (!t) {
        return {};
    }
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, spec.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, spec.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, spec.bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, spec.samples);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, spec.height);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, spec.samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_COMPRESSION, TIFFCompressionFromTWAIN(spec.twainCompression));
    if (spec.twainCompression == TWCP_GROUP32D) {
        TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_2DENCODING);
    }
    if (spec.twainCompression == TWCP_JPEG) {
        // One self-contained JPEG stream per strip, as a scanner delivers it.
        TIFFSetField(t, TIFFTAG_JPEGTABLESMODE, 0);
    }
    std::vector<BYTE> copy = pixels;
    TIFFWriteEncodedStrip(t, 0, copy.data(), static_cast<tmsize_t>(copy.size()));
    TIFFClose(t);

    t = TIFFOpen(scratch.c_str(), "r");
    std::vector<BYTE> raw(static_cast<size_t>(TIFFRawStripSize(t, 0)));
    TIFFReadRawStrip(t, 0, raw.data(), static_cast<tmsize_t>(raw.size()));
    TIFFClose(t);
    return raw;
}

void SilenceLibtiff() { TIFFSetWarningHandler(nullptr); }

TEST_F(TIFFWriterTest, LibtiffReadsBackEveryDepthAndCompression)
{
    SilenceLibtiff();
    struct Case {
        const char* name;
        WORD compression;
        WORD samples;
        WORD bits;
    };
    const Case cases[] = {
        {"bilevel", TWCP_NONE, 1, 1},      {"gray", TWCP_NONE, 1, 8},      {"rgb", TWCP_NONE, 3, 8},
        {"packbits", TWCP_PACKBITS, 1, 8}, {"g3-1d", TWCP_GROUP31D, 1, 1}, {"g3-1d-eol", TWCP_GROUP31DEOL, 1, 1},
        {"g3-2d", TWCP_GROUP32D, 1, 1},    {"g4", TWCP_GROUP4, 1, 1},      {"lzw", TWCP_LZW, 3, 8},
        {"jpeg-gray", TWCP_JPEG, 1, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageSpec spec;
        spec.twainCompression = c.compression;
        spec.width = 40; // whole bytes per bilevel row: fax decoders zero the padding bits
        spec.height = 11;
        spec.samples = c.samples;
        spec.bits = c.bits;
        spec.resolution = 200;
        const size_t rowBytes = (spec.width * c.samples * c.bits + 7) / 8;
        std::vector<BYTE> pixels = Pattern(rowBytes * spec.height, c.compression);
        if (c.compression == TWCP_JPEG) {
            // Smooth content, so that the lossy round trip stays close.
            for (size_t i = 0; i < pixels.size(); ++i) {
                pixels[i] = static_cast<BYTE>(40 + (i % spec.width) * 4);
            }
        }
        spec.data = c.compression == TWCP_NONE
                        ? pixels
                        : EncodeWithLibtiff(PathOf(std::string(c.name) + ".scratch"), spec, pixels);
        ASSERT_FALSE(spec.data.empty());

        const std::string path = PathOf(std::string(c.name) + ".tif");
        CTIFFFile file;
        file.Open(path);
        WritePage(file, spec);
        ASSERT_TRUE(file.Finish());

        TIFF* t = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(t, nullptr);
        uint32_t width = 0, height = 0;
        uint16_t bits = 0, samples = 0, compression = 0;
        float xres = 0;
        char* make = nullptr;
        char* artist = nullptr;
        char* model = nullptr;
        TIFFGetField(t, TIFFTAG_ARTIST, &artist);
        TIFFGetField(t, TIFFTAG_MODEL, &model);
        TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
        TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetField(t, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(t, TIFFTAG_XRESOLUTION, &xres);
        TIFFGetField(t, TIFFTAG_MAKE, &make);
        EXPECT_EQ(width, spec.width);
        EXPECT_EQ(height, spec.height);
        EXPECT_EQ(bits, c.bits);
        EXPECT_EQ(samples, c.samples);
        EXPECT_EQ(compression, TIFFCompressionFromTWAIN(c.compression));
        EXPECT_FLOAT_EQ(xres, 200.0f);
        ASSERT_NE(make, nullptr);
        EXPECT_STREQ(make, kMake);
        ASSERT_NE(artist, nullptr);
        EXPECT_STREQ(artist, kArtist);
        ASSERT_NE(model, nullptr);
        EXPECT_STREQ(model, kModel);

        std::vector<BYTE> decoded(pixels.size());
        ASSERT_EQ(TIFFReadEncodedStrip(t, 0, decoded.data(), static_cast<tmsize_t>(decoded.size())),
                  static_cast<tmsize_t>(pixels.size()));
        if (c.compression == TWCP_JPEG) {
            for (size_t i = 0; i < pixels.size(); ++i) {
                ASSERT_NEAR(decoded[i], pixels[i], 8) << i;
            }
        } else {
            EXPECT_EQ(decoded, pixels);
        }
        EXPECT_EQ(TIFFReadDirectory(t), 0); // a single page
        TIFFClose(t);
    }
}

TEST_F(TIFFWriterTest, LibtiffReadsEveryPageOfAMultiPageFile)
{
    const PageSpec specs[] = {
        {TWCP_NONE, 16, 3, 1, 1, Pattern(2 * 3, 1), 300},
        {TWCP_NONE, 7, 5, 1, 8, Pattern(7 * 5, 2), 200},
        {TWCP_NONE, 9, 4, 3, 8, Pattern(9 * 4 * 3, 3), 150},
    };
    const std::string path = PathOf("pages.tif");
    {
        CTIFFFile file;
        file.Open(path);
        for (const PageSpec& spec : specs) {
            WritePage(file, spec);
        }
        // The destructor finishes a file left open.
    }

    TIFF* t = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(t, nullptr);
    int pages = 0;
    do {
        ASSERT_LT(pages, 3);
        const PageSpec& spec = specs[pages];
        uint32_t width = 0;
        uint16_t bits = 0;
        float yres = 0;
        TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetField(t, TIFFTAG_YRESOLUTION, &yres);
        EXPECT_EQ(width, spec.width);
        EXPECT_EQ(bits, spec.bits);
        EXPECT_FLOAT_EQ(yres, static_cast<float>(spec.resolution));
        std::vector<BYTE> decoded(spec.data.size());
        EXPECT_EQ(TIFFReadEncodedStrip(t, 0, decoded.data(), static_cast<tmsize_t>(decoded.size())),
                  static_cast<tmsize_t>(spec.data.size()));
        EXPECT_EQ(decoded, spec.data);
        ++pages;
    } while (TIFFReadDirectory(t));
    TIFFClose(t);
    EXPECT_EQ(pages, 3);
}

TEST_F(TIFFWriterTest, BigEndianFilesAreReadable)
{
    const std::string path = PathOf("mm.tif");
    PageSpec spec{TWCP_NONE, 6, 2, 3, 8, Pattern(6 * 2 * 3, 4), 240};
    {
        CTIFFFile file(TIFF_BIG_ENDIAN);
        file.Open(path);
        WritePage(file, spec);
        ASSERT_TRUE(file.Finish());
    }
    const std::vector<BYTE> b = ReadFile(path);
    EXPECT_EQ(Text(b, 0, 4), std::string("MM\0\x2A", 4));

    TIFF* t = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(TIFFIsBigEndian(t));
    uint32_t width = 0;
    float xres = 0;
    uint16_t* bits = nullptr;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t, TIFFTAG_XRESOLUTION, &xres);
    EXPECT_EQ(width, 6u);
    EXPECT_FLOAT_EQ(xres, 240.0f);
    std::vector<BYTE> decoded(spec.data.size());
    TIFFReadEncodedStrip(t, 0, decoded.data(), static_cast<tmsize_t>(decoded.size()));
    EXPECT_EQ(decoded, spec.data);
    (void)bits;
    TIFFClose(t);
}

TEST_F(TIFFWriterTest, AFileThatCouldNotBeOpenedLeavesNothingForTheNextFile)
{
    CTIFFFile file;
    file.Open(PathOf("no-such-folder/x.tif"));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.Failed());
    PageSpec spec{TWCP_NONE, 8, 1, 1, 8, Pattern(8, 5), 300};
    WritePage(file, spec); // writes nothing, throws nothing
    EXPECT_FALSE(file.Finish());
    EXPECT_TRUE(file.GetPages().empty());

    // The next file holds its own page only.
    file.Open(PathOf("next.tif"));
    WritePage(file, spec);
    ASSERT_TRUE(file.Finish());
    const std::vector<BYTE> b = ReadFile(PathOf("next.tif"));
    DWORD next = 1;
    std::map<WORD, Entry> byTag;
    for (const Entry& e : ReadDirectory(b, U32(b, 4), &next)) {
        byTag[e.tag] = e;
    }
    EXPECT_EQ(byTag[273].value, 8u);
    EXPECT_EQ(byTag[279].value, 8u);
    EXPECT_EQ(next, 0u);
}

TEST_F(TIFFWriterTest, OpeningASecondFileFinishesTheFirst)
{
    PageSpec spec{TWCP_NONE, 8, 1, 1, 8, Pattern(8, 6), 300};
    CTIFFFile file;
    file.Open(PathOf("first.tif"));
    WritePage(file, spec);
    file.Open(PathOf("second.tif"));
    WritePage(file, spec);
    ASSERT_TRUE(file.Finish());
    for (const char* name : {"first.tif", "second.tif"}) {
        SCOPED_TRACE(name);
        const std::vector<BYTE> b = ReadFile(PathOf(name));
        EXPECT_EQ(U32(b, 4), 16u); // the header points to the page's directory
    }
}

TEST(TIFFDirectoryTest, ATagWithoutValuesIsLeftOutOfTheDirectory)
{
    plat::testing::TempSystemRoot root;
    const std::string path = root.Path() + "/empty-tag.tif";
    CTIFFFile file;
    file.Open(path);
    TTIFFImage* page = file.NewPage(TWCP_NONE);
    page->GetTag(TIFF_TAG_ARTIST, true); // made, never given a value
    page->BeginData();
    const BYTE data[2] = {1, 2};
    page->AppendData(data, 2);
    page->EndPage();
    ASSERT_TRUE(file.Finish());
    const std::vector<BYTE> b = ReadFile(path);
    DWORD next = 1;
    const std::vector<Entry> entries = ReadDirectory(b, U32(b, 4), &next);
    ASSERT_EQ(entries.size(), 3u); // Compression, StripOffsets, StripByteCounts
    EXPECT_EQ(entries[0].tag, 259);
    EXPECT_EQ(entries[1].tag, 273);
    EXPECT_EQ(entries[2].tag, 279);
}

} // namespace

namespace {

TEST(TIFFFileLimitTest, DataPastWhat32BitOffsetsAddressFailsTheFile)
{
    plat::testing::TempSystemRoot root;
    CTIFFFile file;
    file.Open(root.Path() + "/big.tif");
    TTIFFImage* page = file.NewPage(TWCP_NONE);
    page->SetStripPerChunk(0);
    page->BeginData();
    const BYTE chunk[4] = {};
    page->AppendData(chunk, 4);
    // A chunk that would carry the file past 4 GiB is refused before any
    // byte is written, so its length need not be backed by memory here.
    page->AppendData(chunk, 0xFFFFFFF8u);
    EXPECT_TRUE(file.Failed());
    EXPECT_EQ(page->GetDataByteCount(), 4u);
    page->EndPage();
    EXPECT_FALSE(file.Finish());
}

} // namespace
