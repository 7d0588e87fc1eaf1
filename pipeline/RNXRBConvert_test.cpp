#include "pipeline/testing/FakePayloadSource.h"
#include "pipeline/testing/PipelineLibraryTest.h"
#include "platform/base/strings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A band layout as the band describes it.
struct Format {
    LONG width = 0;
    LONG bitsPerPixel = 8;
    LONG bytesPerLine = 0;
    LONG pixelType = 1; // 0 black-and-white, 1 gray, 2 colour
    LONG channelOrder = 0;
    LONG lineOrder = 0;
    LONG bitOrder = 0;
    LONG gender = 0;
    LONG pixelOrder = 0;
};

bool operator==(const Format& a, const Format& b)
{
    return a.width == b.width && a.bitsPerPixel == b.bitsPerPixel && a.bytesPerLine == b.bytesPerLine &&
           a.pixelType == b.pixelType && a.channelOrder == b.channelOrder && a.lineOrder == b.lineOrder &&
           a.bitOrder == b.bitOrder && a.gender == b.gender && a.pixelOrder == b.pixelOrder;
}

std::ostream& operator<<(std::ostream& os, const Format& f)
{
    return os << "{width " << f.width << ", bpp " << f.bitsPerPixel << ", bpl " << f.bytesPerLine << ", type "
              << f.pixelType << ", channels " << f.channelOrder << ", lines " << f.lineOrder << ", bits " << f.bitOrder
              << ", gender " << f.gender << ", pixels " << f.pixelOrder << "}";
}

// The picture itself: top line first, leftmost pixel first, black is zero;
// a colour pixel is 0xRRGGBB.
using Image = std::vector<std::vector<uint32_t>>;

Image MakeImage(int lines, const Format& f, uint32_t seed)
{
    Image image(lines, std::vector<uint32_t>(f.width));
    uint32_t state = seed * 2654435761u + 1;
    const uint32_t mask = f.bitsPerPixel == 1 ? 1 : f.bitsPerPixel == 8 ? 0xFF : 0xFFFFFF;
    for (auto& line : image) {
        for (auto& pixel : line) {
            state = state * 1664525u + 1013904223u;
            pixel = (state >> 7) & mask;
        }
    }
    return image;
}

int BitShift(int position, LONG bitOrder) { return bitOrder == 1 ? position % 8 : 7 - position % 8; }

// The picture stored in a layout; padding bytes are 0xEE.
std::vector<BYTE> Encode(const Image& image, const Format& f)
{
    std::vector<BYTE> out(image.size() * f.bytesPerLine, 0xEE);
    for (size_t y = 0; y < image.size(); ++y) {
        const size_t stored = f.lineOrder == 1 ? image.size() - 1 - y : y;
        BYTE* line = out.data() + stored * f.bytesPerLine;
        if (f.bitsPerPixel == 1)
            std::memset(line, 0, (f.width + 7) / 8);
        for (int x = 0; x < f.width; ++x) {
            const int s = f.pixelOrder == 1 ? f.width - 1 - x : x;
            uint32_t v = image[y][x];
            if (f.bitsPerPixel == 1) {
                v = f.gender == 1 ? 1 - v : v;
                line[s / 8] = static_cast<BYTE>(line[s / 8] | (v << BitShift(s, f.bitOrder)));
            } else if (f.bitsPerPixel == 8) {
                line[s] = static_cast<BYTE>(f.gender == 1 ? 255 - v : v);
            } else {
                BYTE r = static_cast<BYTE>(v >> 16), g = static_cast<BYTE>(v >> 8), b = static_cast<BYTE>(v);
                if (f.gender == 1) {
                    r = static_cast<BYTE>(255 - r), g = static_cast<BYTE>(255 - g), b = static_cast<BYTE>(255 - b);
                }
                line[3 * s] = f.channelOrder == 1 ? b : r;
                line[3 * s + 1] = g;
                line[3 * s + 2] = f.channelOrder == 1 ? r : b;
            }
        }
    }
    return out;
}

Image Decode(const std::vector<BYTE>& bytes, const Format& f)
{
    const size_t lines = f.bytesPerLine > 0 ? bytes.size() / f.bytesPerLine : 0;
    Image image(lines, std::vector<uint32_t>(f.width));
    for (size_t y = 0; y < lines; ++y) {
        const size_t stored = f.lineOrder == 1 ? lines - 1 - y : y;
        const BYTE* line = bytes.data() + stored * f.bytesPerLine;
        for (int x = 0; x < f.width; ++x) {
            const int s = f.pixelOrder == 1 ? f.width - 1 - x : x;
            uint32_t v = 0;
            if (f.bitsPerPixel == 1) {
                v = (line[s / 8] >> BitShift(s, f.bitOrder)) & 1;
                v = f.gender == 1 ? 1 - v : v;
            } else if (f.bitsPerPixel == 8) {
                v = f.gender == 1 ? 255u - line[s] : line[s];
            } else {
                uint32_t r = line[3 * s], g = line[3 * s + 1], b = line[3 * s + 2];
                if (f.channelOrder == 1)
                    std::swap(r, b);
                if (f.gender == 1)
                    r = 255 - r, g = 255 - g, b = 255 - b;
                v = r << 16 | g << 8 | b;
            }
            image[y][x] = v;
        }
    }
    return image;
}

// One page the precursor delivers: its layout, its stored lines, and how it
// ends.
struct SourcePage {
    Format format;
    std::vector<BYTE> bytes;
    int linesPerBand;
    LONG endLevel;
    LONG endStatus;
};

// Writes bands like the hardware-service wrapper: whole lines that fit the
// band's buffer, level 1 inside a page.
class BandScript {
public:
    std::vector<SourcePage> pages;
    size_t page = 0;
    size_t line = 0;
    // Set on a band number (counted from 0) to describe a broken line length.
    int brokenBand = -1;
    // Set on a band number whose last line arrives one byte short.
    int cutBand = -1;
    // Band numbers that arrive empty inside their page.
    std::vector<int> emptyBands;
    // From this band number on the precursor fails as a wrapper does when
    // the service has gone: the band is left as it was.
    int failFrom = -1;
    int bands = 0;

    HRESULT Produce(IDispatch** payload)
    {
        plat::ComPtr<IRNXRasterBand> band;
        plat::ComPtr<IRNXPayload> common;
        if (FAILED((*payload)->QueryInterface(IID_IRNXRasterBand, band.ReleaseAndGetVoidAddress())) ||
            FAILED((*payload)->QueryInterface(IID_IRNXPayload, common.ReleaseAndGetVoidAddress())))
            return E_NOINTERFACE;
        if (page >= pages.size())
            return E_FAIL;
        if (failFrom >= 0 && bands >= failFrom) {
            ++bands;
            return E_UNEXPECTED;
        }
        const SourcePage& p = pages[page];
        const Format& f = p.format;
        BYTE* buffer = nullptr;
        LONG size = 0;
        band->get_Buffer(&buffer);
        band->get_BufferSize(&size);
        const size_t total = p.bytes.size() / f.bytesPerLine;
        size_t count =
            std::min({static_cast<size_t>(p.linesPerBand), static_cast<size_t>(size / f.bytesPerLine), total - line});
        if (std::find(emptyBands.begin(), emptyBands.end(), bands) != emptyBands.end())
            count = 0;
        std::memcpy(buffer, p.bytes.data() + line * f.bytesPerLine, count * f.bytesPerLine);
        const bool cut = bands == cutBand && count > 0;
        const LONG bytesPerLine = bands++ == brokenBand ? 1 : f.bytesPerLine;
        band->DescribeBufferContent(0, f.width, f.bitsPerPixel, bytesPerLine, f.pixelType, f.channelOrder, f.lineOrder,
                                    f.bitOrder, f.gender, f.pixelOrder, 300);
        band->put_BytesWritten(static_cast<LONG>(count * f.bytesPerLine) - (cut ? 1 : 0));
        line += count;
        const bool last = line == total;
        common->put_SessionLevel(last ? p.endLevel : 1);
        common->put_Status(last ? p.endStatus : 0);
        if (last) {
            ++page;
            line = 0;
        }
        return S_OK;
    }
};

// What the caller got for one page.
struct ReceivedPage {
    Format format;
    std::vector<BYTE> bytes;
    std::vector<LONG> bandSizes;
    std::vector<LONG> levels;
    std::vector<LONG> statuses;
};

class ConvertTest : public PipelineLibraryTest {
protected:
    void SetUp() override
    {
        PipelineLibraryTest::SetUp();
        m_converter = Create<IRNXModule>(CLSID_RNXRBConvert, IID_IRNXModule);
        ASSERT_TRUE(m_converter);
        ASSERT_EQ(m_converter->QueryInterface(IID_IRNXPayloadSource, m_source.ReleaseAndGetVoidAddress()), S_OK);
        m_precursor = new FakePayloadSource;
        m_precursor->handler = [this](IDispatch** payload) { return m_script.Produce(payload); };
        m_band = Create<IRNXRasterBand>(CLSID_RNXRasterBand, IID_IRNXRasterBand);
        ASSERT_TRUE(m_band);
    }
    void TearDown() override
    {
        m_band.Reset();
        m_source.Reset();
        m_converter.Reset();
        if (m_precursor)
            m_precursor->Release();
        PipelineLibraryTest::TearDown();
    }

    // The client's pipeline XML with the given restriction attributes.
    HRESULT Configure(const std::u16string& restrictions)
    {
        auto xml = Create<IXMLObj>(CLSID_XMLObj, IID_IXMLObj);
        EXPECT_EQ(xml->Initialize(), S_OK);
        const std::u16string document =
            u"<rasterCvrt assemblyName=\"RNXStdModules.dll\" moduleName=\"Quorvant.Tessivo.RBConvert\">"
            u"<precursor>scannerSource</precursor><Restrictions " +
            restrictions + u"/><bufferSize>65536</bufferSize></rasterCvrt>";
        plat::ScopedBstr text(document);
        EXPECT_EQ(xml->ParseXML(text.Get()), S_OK);
        EXPECT_EQ(xml->SeekRootNode(), S_OK); // as the clients hand it over
        return m_converter->Configure(m_precursor, xml.Get());
    }

    // One Produce into the client's band over a buffer of `size` bytes
    // filled with 0xCD.
    HRESULT ProduceOnce(std::vector<BYTE>& buffer)
    {
        std::fill(buffer.begin(), buffer.end(), BYTE{0xCD});
        m_band->put_Buffer(buffer.data());
        m_band->put_BufferSize(static_cast<LONG>(buffer.size()));
        m_band->put_BytesWritten(0);
        IDispatch* payload = m_band.Get();
        return m_source->Produce(&payload);
    }

    Format Described()
    {
        Format f;
        m_band->get_ImageWidth(&f.width);
        m_band->get_BitsPerPixel(&f.bitsPerPixel);
        m_band->get_BytesPerLine(&f.bytesPerLine);
        m_band->get_PixelType(&f.pixelType);
        m_band->get_ColorChannelOrder(&f.channelOrder);
        m_band->get_LineOrder(&f.lineOrder);
        m_band->get_BitOrder(&f.bitOrder);
        m_band->get_PixelGender(&f.gender);
        m_band->get_pixelOrder(&f.pixelOrder);
        return f;
    }

    LONG Level()
    {
        plat::ComPtr<IRNXPayload> payload;
        m_band->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress());
        LONG level = -1;
        payload->get_SessionLevel(&level);
        return level;
    }
    LONG Status()
    {
        plat::ComPtr<IRNXPayload> payload;
        m_band->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress());
        LONG status = -1;
        payload->get_Status(&status);
        return status;
    }

    // Produces until `pages` pages have ended. With checkPadding, the bytes
    // after each line's data must be the caller's.
    std::vector<ReceivedPage> ReceivePages(size_t pages, LONG bufferSize, bool checkPadding = false)
    {
        std::vector<ReceivedPage> received(1);
        std::vector<BYTE> buffer(bufferSize);
        for (int call = 0; call < 10000 && received.size() <= pages; ++call) {
            EXPECT_EQ(ProduceOnce(buffer), S_OK);
            ReceivedPage& page = received.back();
            page.format = Described();
            LONG written = -1;
            m_band->get_BytesWritten(&written);
            EXPECT_GE(written, 0);
            EXPECT_LE(written, bufferSize);
            if (page.format.bytesPerLine > 0) {
                EXPECT_EQ(written % page.format.bytesPerLine, 0) << "a cut line";
            }
            if (checkPadding && written > 0) {
                const LONG data = (page.format.width * page.format.bitsPerPixel + 7) / 8;
                for (LONG offset = 0; offset < written; offset += page.format.bytesPerLine) {
                    for (LONG i = data; i < page.format.bytesPerLine; ++i)
                        EXPECT_EQ(buffer[offset + i], 0xCD) << "padding written at " << offset + i;
                }
            }
            page.bytes.insert(page.bytes.end(), buffer.begin(), buffer.begin() + std::max<LONG>(written, 0));
            page.bandSizes.push_back(written);
            page.levels.push_back(Level());
            page.statuses.push_back(Status());
            if (page.levels.back() != 1)
                received.emplace_back();
        }
        received.pop_back();
        return received;
    }

    void AddPage(const Format& format, const Image& image, int linesPerBand, LONG endLevel, LONG endStatus)
    {
        m_script.pages.push_back({format, Encode(image, format), linesPerBand, endLevel, endStatus});
    }

    // A fresh converter with the restrictions, and one gray page 6 pixels
    // wide that ends the session.
    Image FreshGrayPage(const char16_t* restrictions, int lines, int linesPerBand, uint32_t seed)
    {
        TearDown();
        SetUp();
        EXPECT_EQ(Configure(restrictions), S_OK);
        const Format gray{6, 8, 6, 1, 0, 0, 0, 0, 0};
        const Image image = MakeImage(lines, gray, seed);
        AddPage(gray, image, linesPerBand, 6, 0);
        return image;
    }

    // Produces bands of two lines until a call fails (its result in hr),
    // which must leave no bytes; what came before, all of it inside the page.
    std::vector<BYTE> ReceiveUntilFailure(HRESULT& hr)
    {
        std::vector<BYTE> received;
        std::vector<BYTE> buffer(8 * 2);
        LONG written = 0;
        for (int calls = 0; calls < 20 && (hr = ProduceOnce(buffer)) == S_OK; ++calls) {
            m_band->get_BytesWritten(&written);
            received.insert(received.end(), buffer.begin(), buffer.begin() + written);
            if (Level() != 1) {
                ADD_FAILURE() << "the page ended at level " << Level();
                break;
            }
        }
        m_band->get_BytesWritten(&written);
        EXPECT_EQ(written, 0) << "bytes of a failed call";
        return received;
    }

    plat::ComPtr<IRNXModule> m_converter;
    plat::ComPtr<IRNXPayloadSource> m_source;
    plat::ComPtr<IRNXRasterBand> m_band;
    FakePayloadSource* m_precursor = nullptr;
    BandScript m_script;
};

const char16_t* const kTwainRestrictions =
    u"Alignment=\"4\" BWGender=\"BlackIsZero\" GrayGender=\"BlackIsZero\" ColorGender=\"BlackIsZero\" "
    u"PixelOrder=\"LeftRight\" ColorChannelOrder=\"RGB\" LineOrder=\"TopDown\" BitOrder=\"MSBFirst\"";
const char16_t* const kStillImageRestrictions =
    u"Alignment=\"4\" BWGender=\"BlackIsZero\" GrayGender=\"BlackIsZero\" ColorGender=\"BlackIsZero\" "
    u"PixelOrder=\"LeftRight\" ColorChannelOrder=\"BGR\" LineOrder=\"BottomUp\" BitOrder=\"MSBFirst\"";

struct RepackCase {
    const char* name;
    Format source;
    const char16_t* restrictions;
    Format expected; // the layout the caller must get
    int lines;
    int linesPerBand;
    LONG bufferSize;
};

// Format fields: width, bpp, bytesPerLine, pixelType, channelOrder,
// lineOrder, bitOrder, gender, pixelOrder.
// clang-format off
const RepackCase kRepackCases[] = {
    {"gray 2550 aligned to 4", {2550, 8, 2550, 1, 0, 0, 0, 0, 0}, kTwainRestrictions,
     {2550, 8, 2552, 1, 0, 0, 0, 0, 0}, 23, 5, 2552 * 7},
    {"bw 100 aligned to 4", {100, 1, 13, 0, 0, 0, 0, 0, 0}, kTwainRestrictions, {100, 1, 16, 0, 0, 0, 0, 0, 0}, 40,
     9, 16 * 10},
    {"colour odd width to BGR", {333, 24, 999, 2, 0, 0, 0, 0, 0}, u"Alignment=\"4\" ColorChannelOrder=\"BGR\"",
     {333, 24, 1000, 2, 1, 0, 0, 0, 0}, 17, 4, 1000 * 6},
    {"gray ignores the channel order", {9, 8, 9, 1, 0, 0, 0, 0, 0}, u"ColorChannelOrder=\"BGR\"",
     {9, 8, 9, 1, 0, 0, 0, 0, 0}, 5, 2, 9 * 2},
    {"colour gender inverted, alignment met", {31, 24, 93, 2, 0, 0, 0, 1, 0}, u"Alignment=\"1\" ColorGender=\"BlackIsZero\"",
     {31, 24, 93, 2, 0, 0, 0, 0, 0}, 12, 5, 93 * 5},
    {"gray gender inverted in place", {257, 8, 257, 1, 0, 0, 0, 0, 0}, u"GrayGender=\"WhiteIsZero\"",
     {257, 8, 257, 1, 0, 0, 0, 1, 0}, 9, 4, 257 * 4},
    {"bw gender and mirror in place", {64, 1, 8, 0, 0, 0, 0, 1, 0},
     u"BWGender=\"BlackIsZero\" PixelOrder=\"RightLeft\"", {64, 1, 8, 0, 0, 0, 0, 0, 1}, 6, 4, 8 * 4},
    {"bw odd width mirrored, MSB first", {100, 1, 13, 0, 0, 0, 0, 0, 0},
     u"Alignment=\"4\" PixelOrder=\"RightLeft\" BitOrder=\"MSBFirst\"", {100, 1, 16, 0, 0, 0, 0, 0, 1}, 11, 3,
     16 * 4},
    {"bw odd width mirrored in place", {21, 1, 3, 0, 0, 0, 1, 0, 0}, u"PixelOrder=\"RightLeft\"",
     {21, 1, 3, 0, 0, 0, 1, 0, 1}, 8, 3, 3 * 3},
    {"bw mirrored to LSB first", {96, 1, 12, 0, 0, 0, 0, 0, 0}, u"PixelOrder=\"RightLeft\" BitOrder=\"LSBFirst\"",
     {96, 1, 12, 0, 0, 0, 1, 0, 1}, 7, 2, 12 * 2},
    {"bw odd width to LSB first", {21, 1, 3, 0, 0, 0, 0, 0, 0}, u"BitOrder=\"LSBFirst\"", {21, 1, 3, 0, 0, 0, 1, 0, 0},
     7, 3, 3 * 3},
    {"colour for the still-image driver", {50, 24, 150, 2, 0, 0, 0, 0, 0}, kStillImageRestrictions,
     {50, 24, 152, 2, 1, 1, 0, 0, 0}, 30, 10, 152 * 10},
    {"bottom-up gray to top-down, small buffer", {10, 8, 12, 1, 0, 1, 0, 0, 0}, u"LineOrder=\"TopDown\"",
     {10, 8, 12, 1, 0, 0, 0, 0, 0}, 7, 3, 12 * 2},
    {"colour mirrored, swapped and inverted", {7, 24, 21, 2, 1, 0, 0, 0, 1},
     u"Alignment=\"8\" PixelOrder=\"LeftRight\" ColorChannelOrder=\"RGB\" ColorGender=\"WhiteIsZero\"",
     {7, 24, 24, 2, 0, 0, 0, 1, 0}, 9, 4, 24 * 3},
    {"delivered lines longer than the alignment needs", {10, 8, 16, 1, 0, 0, 0, 0, 0}, u"Alignment=\"4\"",
     {10, 8, 12, 1, 0, 0, 0, 0, 0}, 5, 2, 12 * 4},
    {"bw bottom-up, odd width, with every change", {13, 1, 2, 0, 0, 0, 0, 1, 1},
     u"Alignment=\"4\" BWGender=\"BlackIsZero\" PixelOrder=\"LeftRight\" LineOrder=\"BottomUp\" BitOrder=\"LSBFirst\"",
     {13, 1, 4, 0, 0, 1, 1, 0, 0}, 10, 4, 4 * 3},
};
// clang-format on

TEST_F(ConvertTest, RepacksEveryLineOfEveryPageToTheRestrictions)
{
    for (const RepackCase& c : kRepackCases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        ASSERT_EQ(Configure(c.restrictions), S_OK);
        const Image first = MakeImage(c.lines, c.source, 1);
        const Image second = MakeImage(c.lines + 3, c.source, 2);
        AddPage(c.source, first, c.linesPerBand, 2, 0);
        AddPage(c.source, second, c.linesPerBand, 6, 4);

        // Padding is only the caller's when lines are copied into its buffer.
        const bool copied =
            c.expected.bytesPerLine != c.source.bytesPerLine || c.expected.lineOrder != c.source.lineOrder;
        const std::vector<ReceivedPage> pages = ReceivePages(2, c.bufferSize, copied);
        ASSERT_EQ(pages.size(), 2u);
        const Image* images[] = {&first, &second};
        const LONG endLevels[] = {2, 6};
        const LONG endStatuses[] = {0, 4};
        for (size_t i = 0; i < 2; ++i) {
            SCOPED_TRACE(i == 0 ? "first page" : "second page");
            const ReceivedPage& page = pages[i];
            EXPECT_EQ(page.format, c.expected);
            EXPECT_TRUE(Decode(page.bytes, page.format) == *images[i]) << "lines lost, doubled or changed";
            // Every band but the page's last is inside the page.
            for (size_t b = 0; b + 1 < page.levels.size(); ++b) {
                EXPECT_EQ(page.levels[b], 1);
                EXPECT_EQ(page.statuses[b], 0);
                // Copied lines fill the caller's buffer before a band goes.
                if (copied) {
                    EXPECT_EQ(page.bandSizes[b], c.bufferSize - c.bufferSize % c.expected.bytesPerLine);
                }
            }
            EXPECT_EQ(page.levels.back(), endLevels[i]);
            EXPECT_EQ(page.statuses.back(), endStatuses[i]);
        }
    }
}

TEST_F(ConvertTest, BottomUpPullsTheWholePageFirstAndEndsWithTheLastBandsLevel)
{
    ASSERT_EQ(Configure(kStillImageRestrictions), S_OK);
    const Format gray{16, 8, 16, 1, 0, 0, 0, 0, 0};
    const Image image = MakeImage(30, gray, 3);
    AddPage(gray, image, 10, 6, 9);

    std::vector<BYTE> buffer(16 * 10);
    ASSERT_EQ(ProduceOnce(buffer), S_OK);
    EXPECT_EQ(m_precursor->calls, 3);
    EXPECT_EQ(Level(), 1);
    // The page's last line comes first.
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 16, image[29].begin()));
    ASSERT_EQ(ProduceOnce(buffer), S_OK);
    EXPECT_EQ(Level(), 1);
    EXPECT_EQ(Status(), 0);
    ASSERT_EQ(ProduceOnce(buffer), S_OK);
    EXPECT_EQ(Level(), 6);
    EXPECT_EQ(Status(), 9);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 16, image[9].begin()));
    EXPECT_EQ(m_precursor->calls, 3);
}

// Restrictions for the gray page of FreshGrayPage, and the layout the
// caller gets.
struct GrayPageCase {
    const char* name;
    const char16_t* restrictions;
    Format expected;
};

TEST_F(ConvertTest, EmptyBandsInsideAPageLoseNoLines)
{
    const GrayPageCase cases[] = {
        {"padded", u"Alignment=\"4\" GrayGender=\"WhiteIsZero\"", {6, 8, 8, 1, 0, 0, 0, 1, 0}},
        {"bottom-up", u"LineOrder=\"BottomUp\"", {6, 8, 6, 1, 0, 1, 0, 0, 0}},
        {"in place", u"PixelOrder=\"RightLeft\"", {6, 8, 6, 1, 0, 0, 0, 0, 1}},
    };
    for (const GrayPageCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Image image = FreshGrayPage(c.restrictions, 12, 3, 8);
        m_script.emptyBands = {0, 2, 3};
        const std::vector<ReceivedPage> pages = ReceivePages(1, 8 * 4);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0].format, c.expected);
        EXPECT_TRUE(Decode(pages[0].bytes, pages[0].format) == image);
    }
}

TEST_F(ConvertTest, ABufferThatShrinksGetsTheHeldLinesInTurn)
{
    // The alignment is met, so bands after the first are copied whole and
    // changed in place; the caller's buffer is smaller than the band held.
    ASSERT_EQ(Configure(u"Alignment=\"2\" GrayGender=\"WhiteIsZero\""), S_OK);
    const Format gray{4, 8, 4, 1, 0, 0, 0, 0, 0};
    const Image image = MakeImage(13, gray, 9);
    AddPage(gray, image, 4, 2, 0);

    std::vector<BYTE> first(4 * 4);
    ASSERT_EQ(ProduceOnce(first), S_OK);
    std::vector<BYTE> received(first.begin(), first.end());
    std::vector<BYTE> small(4 * 3 + 2); // exactly sized: a write past it is caught
    for (int call = 0; call < 20 && Level() == 1; ++call) {
        ASSERT_EQ(ProduceOnce(small), S_OK);
        LONG written = 0;
        m_band->get_BytesWritten(&written);
        ASSERT_LE(written, 12);
        received.insert(received.end(), small.begin(), small.begin() + written);
    }
    EXPECT_EQ(Level(), 2);
    const Format expected{4, 8, 4, 1, 0, 0, 0, 1, 0};
    EXPECT_EQ(Described(), expected);
    EXPECT_TRUE(Decode(received, expected) == image);
}

TEST_F(ConvertTest, RestrictionTextsAreCaseSensitive)
{
    ASSERT_EQ(Configure(u"Alignment=\"4\" LineOrder=\"bottomup\" GrayGender=\"whiteiszero\" PixelOrder=\"rightleft\""),
              S_OK);
    const Format gray{6, 8, 6, 1, 0, 0, 0, 0, 0};
    const Image image = MakeImage(5, gray, 4);
    AddPage(gray, image, 5, 6, 0);
    const std::vector<ReceivedPage> pages = ReceivePages(1, 8 * 5);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].format, (Format{6, 8, 8, 1, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(Decode(pages[0].bytes, pages[0].format) == image);
}

TEST_F(ConvertTest, SettingsWithoutRestrictionsKeepWhatIsDelivered)
{
    // No Restrictions element: the context cannot be set.
    auto xml = Create<IXMLObj>(CLSID_XMLObj, IID_IXMLObj);
    ASSERT_EQ(xml->Initialize(), S_OK);
    plat::ScopedBstr text(u"<rasterCvrt><bufferSize>65536</bufferSize></rasterCvrt>");
    ASSERT_EQ(xml->ParseXML(text.Get()), S_OK);
    ASSERT_EQ(xml->SeekRootNode(), S_OK);
    ASSERT_EQ(m_converter->Configure(m_precursor, xml.Get()), S_OK);
    // Settings that are no XML object are ignored.
    ASSERT_EQ(m_converter->Configure(nullptr, m_precursor), S_OK);

    const Format colour{5, 24, 16, 2, 1, 1, 1, 1, 1};
    const Image image = MakeImage(4, colour, 5);
    AddPage(colour, image, 3, 6, 0);
    std::vector<BYTE> buffer(16 * 3);
    ASSERT_EQ(ProduceOnce(buffer), S_OK);
    EXPECT_EQ(Described(), colour);
    const std::vector<BYTE> stored = Encode(image, colour);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), stored.begin())) << "direct bands pass unchanged";
}

TEST_F(ConvertTest, AFailureInsideProduceIsUnexpectedAndTheNextCallStartsAPage)
{
    ASSERT_EQ(Configure(u"Alignment=\"4\""), S_OK);
    const Format gray{10, 8, 10, 1, 0, 0, 0, 0, 0};
    AddPage(gray, MakeImage(6, gray, 6), 2, 2, 0);
    AddPage(gray, MakeImage(6, gray, 7), 2, 6, 0);

    // The delivered line fits the buffer, the aligned line does not.
    std::vector<BYTE> tooSmall(11);
    EXPECT_EQ(ProduceOnce(tooSmall), E_UNEXPECTED);

    // A band that says its lines are shorter than the page's fails too.
    // (The converter reads one band ahead while it fills the caller's.)
    m_script.brokenBand = m_script.bands + 2;
    std::vector<BYTE> buffer(12 * 2);
    ASSERT_EQ(ProduceOnce(buffer), S_OK);
    EXPECT_EQ(Level(), 1);
    EXPECT_EQ(ProduceOnce(buffer), E_UNEXPECTED);

    // Then a new page begins with the next band delivered: the second page.
    ASSERT_EQ(ProduceOnce(buffer), S_OK);
    EXPECT_EQ(Described(), (Format{10, 8, 12, 1, 0, 0, 0, 0, 0}));
    LONG written = 0;
    m_band->get_BytesWritten(&written);
    EXPECT_EQ(written, 24);
    EXPECT_EQ(Level(), 1);
    const Image second = MakeImage(6, gray, 7);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 10, second[0].begin()));
}

TEST_F(ConvertTest, APrecursorThatFailsEndsProduceWithItsResultAndNothingDelivered)
{
    struct Case {
        const char* name;
        const char16_t* restrictions;
        Format expected;
        int failFrom; // the first band the precursor fails
    };
    const Case cases[] = {
        {"direct, first band", u"GrayGender=\"WhiteIsZero\"", {6, 8, 6, 1, 0, 0, 0, 1, 0}, 0},
        {"direct, inside the page", u"GrayGender=\"WhiteIsZero\"", {6, 8, 6, 1, 0, 0, 0, 1, 0}, 2},
        {"copied whole, inside the page", u"Alignment=\"2\" PixelOrder=\"RightLeft\"", {6, 8, 6, 1, 0, 0, 0, 0, 1}, 2},
        {"padded, first band", u"Alignment=\"4\"", {6, 8, 8, 1, 0, 0, 0, 0, 0}, 0},
        {"padded, inside the page", u"Alignment=\"4\"", {6, 8, 8, 1, 0, 0, 0, 0, 0}, 2},
        {"bottom-up, while the page is pulled", u"LineOrder=\"BottomUp\"", {6, 8, 6, 1, 0, 1, 0, 0, 0}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Image image = FreshGrayPage(c.restrictions, 12, 2, 10);
        m_script.failFrom = c.failFrom;

        // Lines come until the failure; then every call fails at once with
        // the precursor's result and no bytes, and no line comes twice.
        HRESULT hr = S_OK;
        const std::vector<BYTE> received = ReceiveUntilFailure(hr);
        EXPECT_EQ(hr, E_UNEXPECTED);
        const Image got = Decode(received, c.expected);
        ASSERT_LE(got.size(), image.size());
        EXPECT_TRUE(std::equal(got.begin(), got.end(), image.begin())) << "lines doubled or out of order";
        EXPECT_LT(static_cast<int>(got.size()), 2 * std::max(c.failFrom, 1));
        std::vector<BYTE> buffer(8 * 2);
        EXPECT_EQ(ProduceOnce(buffer), E_UNEXPECTED);
        LONG written = -1;
        m_band->get_BytesWritten(&written);
        EXPECT_EQ(written, 0);
    }
}

TEST_F(ConvertTest, ABandThatIsNotWholeLinesIsRefusedNotCutOrPassedOn)
{
    const GrayPageCase cases[] = {
        {"direct, as delivered", u"", {6, 8, 6, 1, 0, 0, 0, 0, 0}},
        {"direct, changed in place", u"GrayGender=\"WhiteIsZero\"", {6, 8, 6, 1, 0, 0, 0, 1, 0}},
        {"copied whole", u"Alignment=\"2\" PixelOrder=\"RightLeft\"", {6, 8, 6, 1, 0, 0, 0, 0, 1}},
        {"padded", u"Alignment=\"4\"", {6, 8, 8, 1, 0, 0, 0, 0, 0}},
        {"bottom-up", u"LineOrder=\"BottomUp\"", {6, 8, 6, 1, 0, 1, 0, 0, 0}},
    };
    for (const GrayPageCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_script = BandScript{};
        const Image image = FreshGrayPage(c.restrictions, 12, 2, 12);
        m_script.cutBand = 2;

        // The lines before the cut band come in order; the cut band fails
        // the call with nothing delivered, and no later line is shifted.
        HRESULT hr = S_OK;
        const std::vector<BYTE> received = ReceiveUntilFailure(hr);
        EXPECT_EQ(hr, E_UNEXPECTED);
        const Image got = Decode(received, c.expected);
        // Bottom-up, the page's last lines come first.
        const bool bottomUp = c.expected.lineOrder == 1;
        ASSERT_LE(got.size(), bottomUp ? 6u : 4u);
        const auto from = bottomUp ? image.end() - static_cast<std::ptrdiff_t>(got.size()) : image.begin();
        EXPECT_TRUE(std::equal(got.begin(), got.end(), from)) << "lines shifted";
    }
}

TEST_F(ConvertTest, ABufferSmallerThanOneLineFailsInsteadOfStayingEmpty)
{
    // Lines change in place: straight in the caller's band, or (the
    // alignment being met) copied whole from the converter's own band.
    for (const char16_t* restrictions :
         {u"GrayGender=\"WhiteIsZero\"", u"Alignment=\"2\" GrayGender=\"WhiteIsZero\""}) {
        SCOPED_TRACE(Utf16ToUtf8(restrictions));
        TearDown();
        SetUp();
        ASSERT_EQ(Configure(restrictions), S_OK);
        const Format gray{4, 8, 4, 1, 0, 0, 0, 0, 0};
        AddPage(gray, MakeImage(8, gray, 11), 4, 6, 0);
        std::vector<BYTE> small(3);
        EXPECT_EQ(ProduceOnce(small), E_UNEXPECTED);

        std::vector<BYTE> band(4 * 2);
        ASSERT_EQ(ProduceOnce(band), S_OK);
        EXPECT_EQ(Level(), 1);
        EXPECT_EQ(ProduceOnce(small), E_UNEXPECTED);
    }
}

TEST_F(ConvertTest, IsNotAggregatableAndAnswersItsInterfaces)
{
    plat::ComPtr<IUnknown> inner;
    EXPECT_EQ(CoCreateInstance(CLSID_RNXRBConvert, m_converter.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                               inner.ReleaseAndGetVoidAddress()),
              CLASS_E_NOAGGREGATION);
    for (const IID* iid : {&IID_IRNXRBConvert, &IID_IRNXTransform, &IID_IRNXPayloadSource, &IID_IRNXModule}) {
        plat::ComPtr<IUnknown> answer;
        EXPECT_EQ(m_converter->QueryInterface(*iid, answer.ReleaseAndGetVoidAddress()), S_OK);
    }
    plat::ComPtr<IUnknown> dispatch, primary;
    ASSERT_EQ(m_converter->QueryInterface(IID_IDispatch, dispatch.ReleaseAndGetVoidAddress()), S_OK);
    ASSERT_EQ(m_converter->QueryInterface(IID_IRNXRBConvert, primary.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(dispatch.Get(), primary.Get());
}

} // namespace
