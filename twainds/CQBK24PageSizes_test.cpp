// The scanner's own page sizes as the scan settings page and the size lists
// ask for them, the text of every size code, and the extended image
// information the scanner adds.
#include "twainds/testing/OpenSourceTest.h"

#include "twainfw/TWAINText.h"

#include <cstddef>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

using PageSizeTest = qbk24::testing::OpenSourceTest;
using qbk24::testing::ExpectEdges;
using qbk24::testing::Number;
using Trellis::CTWAINEnumeration;
using Trellis::CTWAINFrame;
using Trellis::CTWAINOneValue;

constexpr double kFix32Step = 1.0 / 65536;

// The device's sizes: their frames in their own unit, in the other unit and
// in pixels at different resolutions across and along the page. Codes
// without a size of their own have the empty frame.
TEST_F(PageSizeTest, EveryCustomSizeHasItsFrameInEveryUnit)
{
    // clang-format off
    const struct {
        TW_UINT16 code;
        double width;
        double height;
        int unit;
    } sizes[] = {
        {0x8000, 11, 23, TWUN_CENTIMETERS},     {0x8001, 3.625, 6.5, TWUN_INCHES},
        {0x8002, 25, 35.3, TWUN_CENTIMETERS},   {0x8003, 17.6, 25, TWUN_CENTIMETERS},
        {0x8004, 12.5, 17.6, TWUN_CENTIMETERS}, {0x8005, 32.4, 45.8, TWUN_CENTIMETERS},
        {0x8006, 22.9, 32.4, TWUN_CENTIMETERS}, {0x8007, 16.2, 22.9, TWUN_CENTIMETERS},
        {0x8008, 11.4, 16.2, TWUN_CENTIMETERS}, {0x8009, 11.4, 22.9, TWUN_CENTIMETERS},
        {0x800A, 11, 22, TWUN_CENTIMETERS},     {0x800B, 3.875, 7.5, TWUN_INCHES},
        {0x800C, 4.125, 9.5, TWUN_INCHES},      {0x800D, 4.5, 10.375, TWUN_INCHES},
        {0x800E, 4.75, 11, TWUN_INCHES},        {0x800F, 5, 11.5, TWUN_INCHES},
        {0x8010, 3.875, 8.875, TWUN_INCHES},    {0x8011, 8.5, 13, TWUN_INCHES},
        {0x8012, 3.5, 5, TWUN_INCHES},          {0x8013, 4, 6, TWUN_INCHES},
        {0x8014, 5, 7, TWUN_INCHES},            {0x8015, 8, 10, TWUN_INCHES},
        {0x8016, 21.5, 27.5, TWUN_CENTIMETERS}, {0x8017, 0, 0, TWUN_INCHES},
        {0x8018, 0, 0, TWUN_INCHES},
    };
    // clang-format on
    for (const auto& s : sizes) {
        SCOPED_TRACE(::testing::Message() << "size 0x" << std::hex << s.code);
        const double inchesPerUnit = s.unit == TWUN_CENTIMETERS ? 1 / 2.54 : 1;
        const double width = s.width * inchesPerUnit;
        const double height = s.height * inchesPerUnit;
        ExpectEdges({0, 0, s.width, s.height}, m_source.GetCustomSizeFrame(s.code, s.unit, 300, 300), kFix32Step);
        ExpectEdges({0, 0, width, height}, m_source.GetCustomSizeFrame(s.code, TWUN_INCHES, 300, 300), 1e-4);
        ExpectEdges({0, 0, width * 2.54, height * 2.54}, m_source.GetCustomSizeFrame(s.code, TWUN_CENTIMETERS, 1, 1),
                    1e-4);
        ExpectEdges({0, 0, width * 200, height * 400}, m_source.GetCustomSizeFrame(s.code, TWUN_PIXELS, 200, 400),
                    0.01);
    }

    // The scan settings page asks for standard codes the same way.
    ExpectEdges({0, 0, 8.5, 11}, m_source.GetCustomSizeFrame(TWSS_USLETTER, TWUN_INCHES, 300, 300), kFix32Step);
    ExpectEdges({0, 0, 21, 29.7}, m_source.GetCustomSizeFrame(TWSS_A4, TWUN_CENTIMETERS, 300, 300), kFix32Step);
    ExpectEdges({0, 0, 0, 0}, m_source.GetCustomSizeFrame(54, TWUN_INCHES, 300, 300), 0);

    // Worked values.
    ExpectEdges({0, 0, 10.4775, 24.13}, m_source.GetCustomSizeFrame(0x800C, TWUN_CENTIMETERS, 300, 300), kFix32Step);
    ExpectEdges({0, 0, 9.0157, 12.7559}, m_source.GetCustomSizeFrame(0x8006, TWUN_INCHES, 300, 300), 1e-4);
    ExpectEdges({0, 0, 866.14, 1811.02}, m_source.GetCustomSizeFrame(0x8000, TWUN_PIXELS, 200, 200), 0.01);
}

// The size lists hold the device's sizes that fit the feeder in each
// orientation, and none without a frame.
TEST_F(PageSizeTest, SizeListsOfferTheCustomSizesThatFit)
{
    const CTWAINEnumeration portrait = Ask(ICAP_SUPPORTEDSIZES, MSG_GET).GetEnumeration();
    const CTWAINEnumeration& landscape = m_source.LandscapeSizes.Allowed;
    // clang-format off
    const struct {
        TW_UINT16 code;
        bool inPortrait;
        bool inLandscape;
    } cases[] = {
        {0x800C, true, true},    // Envelope #10, 4.125 x 9.5 in
        {0x8011, true, false},   // Folio, 8.5 x 13 in
        {0x8005, false, false},  // Envelope C3, 12.76 x 18.03 in
        {0x8012, true, true},    // Photograph, 3.5 x 5 in
        {0x8017, false, false},
        {0x8018, false, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(c.inPortrait, portrait.Contains(CTWAINOneValue(c.code)));
        EXPECT_EQ(c.inLandscape, landscape.Contains(CTWAINOneValue(c.code)));
    }
}

// The text each size code shows in the scan settings page: its name, a tab
// and its dimensions, from the library's string table.
TEST_F(PageSizeTest, EverySizeCodeHasItsDisplayText)
{
    const struct {
        TW_UINT16 code;
        const char* text;
    } cases[] = {
        {0, "User defined custom size"},
        {1, "A4\t210 x 297 mm"},
        {2, "JIS B5\t182 x 257 mm"},
        {3, "Letter\t8 ½ x 11 in"},
        {4, "Legal\t8 ½ x 14 in"},
        {5, "A5\t148 x 210 mm"},
        {6, "ISO B4\t250 x 353 mm"},
        {7, "ISO B6\t125 x 176 mm"},
        {9, "Ledger\t11 x 17 in"},
        {10, "Executive\t7 ¼ x 10 ½ in"},
        {11, "A3\t297 x 420 mm"},
        {12, "ISO B3\t353 x 500 mm"},
        {13, "A6\t105 x 148 mm"},
        {14, "C4\t229 x 324 mm"},
        {15, "C5\t162 x 229 mm"},
        {16, "C6\t114 x 162 mm"},
        {17, "A0000\t1680 x 7236 mm"},
        {18, "A00\t1188 x 1680 mm"},
        {19, "A0\t840 x 1188 mm"},
        {20, "A1\t594 x 840 mm"},
        {21, "A2\t420 x 594 mm"},
        {22, "A7\t74 x 105 mm"},
        {23, "A8\t52 x 74 mm"},
        {24, "A9\t37 x 52 mm"},
        {25, "A10\t26 x 37 mm"},
        {26, "ISO B0\t1000 x 1414 mm"},
        {27, "ISO B1\t707 x 1000 mm"},
        {28, "ISO B2\t500 x 707 mm"},
        {29, "ISO B5\t176 x 250 mm"},
        {30, "ISO B7\t88 x 125 mm"},
        {31, "ISO B8\t62 x 88 mm"},
        {32, "ISO B9\t44 x 62 mm"},
        {33, "ISO B10\t31 x 44 mm"},
        {34, "JIS B0\t1030 x 1456 mm"},
        {35, "JIS B1\t728 x 1030 mm"},
        {36, "JIS B2\t515 x 728 mm"},
        {37, "JIS B3\t364 x 515 mm"},
        {38, "JIS B4\t257 x 364 mm"},
        {39, "JIS B6\t128 x 182 mm"},
        {40, "JIS B7\t91 x 128 mm"},
        {41, "JIS B8\t64 x 91 mm"},
        {42, "JIS B9\t45 x 64 mm"},
        {43, "JIS B10\t32 x 45 mm"},
        {44, "C0\t917 x 1297 mm"},
        {45, "C1\t64.8 x 917 mm"},
        {46, "C2\t458 x 648 mm"},
        {47, "C3\t324 x 458 mm"},
        {48, "C7\t81 x 114 mm"},
        {49, "C8\t57 x 81 mm"},
        {50, "C9\t40 x 57 mm"},
        {51, "C10\t28 x 40 mm"},
        {52, "Statement\t5 ½ x 8 ½ in"},
        {53, "BusinessCard\t3 ½ x 2 in"},
        {0x8000, "Envelope 110\t110 x 230 mm"},
        {0x8001, "Envelope 6 3/4\t3 5/8 x 6 ½ in"},
        {0x8002, "Envelope B4\t250 x 353 mm"},
        {0x8003, "Envelope B5\t176 x 250 mm"},
        {0x8004, "Envelope B6\t125 x 176 mm"},
        {0x8005, "Envelope C3\t324 x 458 mm"},
        {0x8006, "Envelope C4\t229 x 324 mm"},
        {0x8007, "Envelope C5\t162 x 229 mm"},
        {0x8008, "Envelope C6\t114 x 162 mm"},
        {0x8009, "Envelope C65\t114 x 229 mm"},
        {0x800A, "Envelope DL\t110 x 220 mm"},
        {0x800B, "Envelope Monarch\t3 7/8 x 7 ½ in"},
        {0x800C, "Envelope #10\t4 1/8 x 9 ½ in"},
        {0x800D, "Envelope #11\t4 ½ x 10 3/8 in"},
        {0x800E, "Envelope #12\t4 ¾ x 11 in"},
        {0x800F, "Envelope #14\t5 x 11 ½ in"},
        {0x8010, "Envelope #9\t3 7/8 x 8 7/8 in"},
        {0x8011, "Folio\t8 ½ x 13 in"},
        {0x8012, "Photograph\t3 ½ x 5 in"},
        {0x8013, "Photograph\t4 x 6 in"},
        {0x8014, "Photograph\t5 x 7 in"},
        {0x8015, "Photograph\t8 x 10 in"},
        {0x8016, "Quarto\t215 x 275 mm"},
        {0x8017, "Undefined paper size"},
        {0x8018, "Undefined paper size"},
        {0xFFFF, "Undefined paper size"},
    };
    const HMODULE module = plat::ThisModule();
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "size 0x" << std::hex << c.code);
        EXPECT_EQ(c.text, m_source.GetSupportedSizeText(module, c.code));
    }
    // Standard codes without a text of the device's show the TWAIN name.
    for (TW_UINT16 code : {TW_UINT16{8}, TW_UINT16{54}, TW_UINT16{99}}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(Trellis::GetSupportedSizeName(module, code), m_source.GetSupportedSizeText(module, code));
    }
}

// TW_EXTIMAGEINFO with room for the records asked for.
struct ExtImageInfoRequest {
    explicit ExtImageInfoRequest(const std::vector<TW_UINT16>& ids)
        : bytes(offsetof(TW_EXTIMAGEINFO, Info) + ids.size() * sizeof(TW_INFO))
    {
        reinterpret_cast<TW_EXTIMAGEINFO*>(bytes.data())->NumInfos = static_cast<TW_UINT32>(ids.size());
        for (size_t i = 0; i < ids.size(); ++i) {
            TW_INFO info{};
            info.InfoID = ids[i];
            Set(i, info);
        }
    }
    TW_INFO Get(size_t i) const
    {
        TW_INFO info;
        std::memcpy(&info, bytes.data() + offsetof(TW_EXTIMAGEINFO, Info) + i * sizeof(TW_INFO), sizeof(info));
        return info;
    }
    void Set(size_t i, const TW_INFO& info)
    {
        std::memcpy(bytes.data() + offsetof(TW_EXTIMAGEINFO, Info) + i * sizeof(TW_INFO), &info, sizeof(info));
    }
    std::vector<BYTE> bytes;
};

// After an image's transfer: its page number, pixel flavour and side; any
// other id the framework does not answer is reported as not supported.
TEST_F(PageSizeTest, ExtendedImageInformationNamesThePage)
{
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_PIXELFLAVOR, CTWAINOneValue(TWPF_VANILLA)));
    m_source.ImageIndex = 2;
    m_source.EnterTransferDone();

    ExtImageInfoRequest request({TWEI_PAGENUMBER, TWEI_PIXELFLAVOR, TWEI_PAGESIDE, TWEI_DESKEWSTATUS, 0x1240, 0x9999});
    ASSERT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, request.bytes.data()));
    // clang-format off
    const struct {
        TW_UINT16 numItems;
        TW_UINT16 returnCode;
        TW_UINTPTR item;
    } expected[] = {
        {1, TWRC_SUCCESS, 2},
        {1, TWRC_SUCCESS, TWPF_VANILLA},
        {1, TWRC_SUCCESS, 0},
        {0, TWRC_INFONOTSUPPORTED, 0},
        {0, TWRC_INFONOTSUPPORTED, 0},
        {0, TWRC_INFONOTSUPPORTED, 0},
    };
    // clang-format on
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const TW_INFO info = request.Get(i);
        EXPECT_EQ(expected[i].numItems, info.NumItems);
        EXPECT_EQ(expected[i].returnCode, info.ReturnCode);
        if (expected[i].returnCode == TWRC_SUCCESS) {
            EXPECT_EQ(TWTY_UINT32, info.ItemType);
            EXPECT_EQ(expected[i].item, info.Item);
        }
    }

    // An id the scanner does not know is left as it came.
    TW_INFO unknown{};
    unknown.InfoID = 0x1240;
    unknown.ItemType = 77;
    unknown.Item = 5;
    EXPECT_FALSE(m_source.GetOtherExtImageInfoItem(unknown));
    EXPECT_EQ(77, unknown.ItemType);
    EXPECT_EQ(5u, unknown.Item);
}

} // namespace
