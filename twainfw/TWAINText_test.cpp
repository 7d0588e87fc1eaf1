#include "twainfw/TWAINText.h"

#include "platform/resources/ResourceTable.h"

#include <gtest/gtest.h>

#include <set>

namespace Trellis {
namespace {

TEST(TWAINText, TableHasUniqueKeysAndEndsWithNull)
{
    std::set<TW_INT32> keys;
    size_t count = 0;
    for (const TWAINTextEntry* e = TWAINTextTable; e->text; ++e, ++count)
        keys.insert(e->key);
    EXPECT_EQ(count, 327u);
    EXPECT_EQ(keys.size(), count);
}

TEST(TWAINText, LooksUpKeysByGroup)
{
    struct Case {
        std::string got;
        const char* want;
    };
    const Case cases[] = {
        {LookupText(nullptr, 7000 + 0x1000), "Author"},
        {LookupText(nullptr, 2020), "The feeder is jammed."},
        {LookupText(nullptr, 12345), "String not found"},
        {GetReturnCodeText(nullptr, TWRC_XFERDONE), "TWAIN transfer done."},
        {GetReturnCodeText(nullptr, 499), "Unknown TWAIN return code."},
        {GetConditionCodeText(nullptr, TWCC_BADVALUE), "Data parameter out of range."},
        {GetDGName(nullptr, DG_IMAGE), "Image"},
        {GetDATName(nullptr, DAT_IMAGEMEMXFER), "ImageMemXfer"},
        {GetMSGName(nullptr, MSG_OPENDS), "OpenDS"},
        {GetMSGName(nullptr, MSG_ENDXFER), "EndXfer"},
        {GetCapabilityName(nullptr, ICAP_XRESOLUTION), "XResolution"},
        {GetCapabilityName(nullptr, CAP_XFERCOUNT), "XferCount"},
        {GetPixelTypeName(nullptr, TWPT_RGB), "RGB"},
        {GetSupportedSizeName(nullptr, TWSS_USLETTER), "US Letter"},
        {GetSupportedSizeName(nullptr, TWSS_BUSINESSCARD), "Business Card"},
        {GetCompressionName(nullptr, TWCP_GROUP4), "GROUP4"},
        {GetFileFormatName(nullptr, TWFF_BMP), "Windows Bitmap"},
        {LookupText(nullptr, 1505), "DS Enabled"},
        {LookupText(nullptr, 6001), "Error Processing TWAIN Messages."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, c.want);
}

const plat::StringResource kStrings[] = {{12000, u"Scanner text"}, {1001, u"Not this one"}};
const plat::ModuleResources kResources{.strings = kStrings};
const plat::ResourceRegistrar kRegistrar(kResources);

TEST(TWAINText, UnknownKeyOfAModuleFallsBackToItsStrings)
{
    // The table wins over the module; a key in neither gives an empty text.
    HMODULE module = plat::ThisModule();
    EXPECT_EQ(LookupText(module, 1001), "TWAIN operation failed.");
    EXPECT_EQ(LookupText(module, 12000), "Scanner text");
    EXPECT_EQ(LookupText(module, 12345), "");
    EXPECT_EQ(LookupText(nullptr, 12000), "String not found");
}

TEST(TWAINText, DescribesACall)
{
    EXPECT_EQ(GetTWAINResultText(nullptr, TWRC_FAILURE, DG_CONTROL, DAT_CAPABILITY, MSG_GET, TWCC_BADCAP, CAP_AUTHOR),
              "TWAIN operation failed.:\nUnknown capability.\nControl/Capability/Get\nAuthor");
    EXPECT_EQ(GetTWAINResultText(nullptr, TWRC_CANCEL, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, 0, CAP_AUTHOR),
              "TWAIN action cancelled by user.\nImage/ImageNativeXfer/Get");
    EXPECT_EQ(GetTripletCapText(nullptr, DG_CONTROL, DAT_CAPABILITY, MSG_SET, ICAP_PIXELTYPE),
              "Control/Capability/Set PixelType");
    EXPECT_EQ(GetTripletCapText(nullptr, DG_CONTROL, DAT_CAPABILITY, MSG_SET, 0), "Control/Capability/Set");
    EXPECT_EQ(GetTripletText(nullptr, 8, DAT_STATUS, MSG_GET), "String not found/Status/Get");
}

TEST(TWAINText, TruncatesAndCountsSamples)
{
    EXPECT_EQ(TruncateString(std::string(40, 'x'), 32).size(), 31u);
    EXPECT_EQ(TruncateString(std::string(32, 'x'), 32).size(), 32u);
    EXPECT_EQ(TruncateString("abc", 0), "");

    const std::pair<int, int> samples[] = {{TWPT_BW, 1},   {TWPT_GRAY, 1}, {TWPT_RGB, 3},   {TWPT_PALETTE, 3},
                                           {TWPT_CMYK, 4}, {TWPT_YUVK, 4}, {TWPT_CIEXYZ, 3}};
    for (auto [type, want] : samples)
        EXPECT_EQ(GetSamplesPerPixel(type), want) << type;
}

} // namespace
} // namespace Trellis
