#include "twainfw/TWAINRecords.h"

#include "twainfw/FixedPoint.h"
#include "twainfw/StringUtil.h"

#include <gtest/gtest.h>

#include <cstring>

namespace Trellis {
namespace {

TEST(TWAINRecords, IdentityCutsTextsTo32Characters)
{
    CTWAINIdentity id;
    id.Id = 77;
    TWAINIdentityDescription d;
    d.MajorNum = 5;
    d.MinorNum = 0;
    d.Language = TWLG_ENGLISH_USA;
    d.Country = TWCY_USA;
    d.Info = "0123456789012345678901234567890123456789"; // 40 characters
    d.ProtocolMajor = 2;
    d.ProtocolMinor = 5;
    d.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_DS2;
    d.Manufacturer = "Quorvant";
    d.ProductFamily = "Document Scanner";
    d.ProductName = "QBK24";
    std::memset(id.ProductName, 'x', sizeof id.ProductName);
    id.Assign(d);

    EXPECT_EQ(id.Id, 0u);
    EXPECT_EQ(std::string(id.Version.Info), std::string(d.Info, 32));
    EXPECT_EQ(id.Version.Info[33], '\0');
    EXPECT_EQ(TW_UINT32{id.SupportedGroups}, DG_CONTROL | DG_IMAGE | DF_DS2); // a packed field: copied, not bound
    EXPECT_EQ(std::string(id.ProductName), "QBK24");
    EXPECT_EQ(id.ProductName[33], '\0') << "the rest of the field is cleared";
    EXPECT_EQ(VersionToString(id.Version), "5.0");

    id.SetManufacturer(std::string(50, 'm'));
    EXPECT_EQ(std::string(id.Manufacturer), std::string(32, 'm'));
}

TEST(TWAINRecords, ImageInfoDefaultsAndLayout)
{
    TW_IMAGEINFO info;
    std::memset(&info, 0x55, sizeof info);
    InitImageInfo(info);
    EXPECT_EQ(info.ImageWidth, -1);
    EXPECT_EQ(info.ImageLength, -1);
    EXPECT_EQ(info.SamplesPerPixel, 1);
    EXPECT_EQ(info.BitsPerPixel, 1);
    EXPECT_EQ(info.BitsPerSample[0], 0x5555) << "left for the transfer";
    EXPECT_EQ(info.BitsPerSample[7], 0);
    EXPECT_EQ(Fix32ToWord(info.XResolution), 0u);

    CTWAINImageLayout layout(CTWAINFrame(0, 0, 8.5f, 11), 1, 2, 3);
    EXPECT_EQ(Fix32ToFloat(layout.Frame.Right), 8.5f);
    EXPECT_EQ(layout.DocumentNumber, 1u);
    EXPECT_EQ(layout.PageNumber, 2u);
    EXPECT_EQ(layout.FrameNumber, 3u);
}

TEST(StringUtil, FormatUpperAndModulePath)
{
    EXPECT_EQ(FormatStdString("%s-%d", "SOFTWARE", 5), "SOFTWARE-5");
    EXPECT_EQ(FormatStdString("%s", std::string(2000, 'a').c_str()).size(), 1023u);
    EXPECT_EQ(ToUpper("qbk24.ds \xe4"), "QBK24.DS \xe4");
    std::string path = GetModulePath();
    EXPECT_EQ(path.substr(path.rfind('/') + 1), "twainfw_test");
}

} // namespace
} // namespace Trellis
