#include "emulator/ImagePattern.h"

#include <gtest/gtest.h>

#include <vector>

#include "emulator/PageImage.h"
#include "emulator/ScanWindow.h"
#include "emulator/testing/WindowBuilder.h"

namespace emulator {
namespace {

TEST(ImagePattern, RawLinesFollowTheDocumentedFormulas) {
  std::vector<std::uint8_t> line(64 * 3);
  RenderPatternLine(/*page*/ 3, /*side*/ 1, /*y*/ 300, 64, 24, line.data());
  // code = 2 x 3 + 1 = 7, blue = 7 x 16 + 8 = 120, green = 300 mod 256 = 44.
  EXPECT_EQ(line[0], 0);
  EXPECT_EQ(line[1], 44);
  EXPECT_EQ(line[2], 120);
  EXPECT_EQ(line[3 * 40], 40);

  RenderPatternLine(3, 1, 300, 64, 8, line.data());
  EXPECT_EQ(line[0], 120);
  EXPECT_EQ(line[15], 120);
  EXPECT_EQ(line[16], static_cast<std::uint8_t>(16 + 300));

  RenderPatternLine(3, 1, 300, 64, 1, line.data());
  EXPECT_EQ(line[0], 0xB7);  // marker 1011, code 7
  EXPECT_EQ(line[1], 44);    // line mod 256
  EXPECT_EQ(line[2], 0xFF);  // x 16-23, y 300: 2 xor 37 = 39, odd: ink
  EXPECT_EQ(line[3], 0x00);  // x 24-31: 3 xor 37 = 38, even
}

// Every transform the window can ask for shows in the decoded line.
TEST(ImagePattern, DecoderSeesPageSideLineMirrorAndInversion) {
  struct Case {
    int bpp;
    bool mirror, reverse;
  } cases[] = {{1, false, false},  {1, true, false},  {1, false, true},  {1, true, true},
               {8, false, false},  {8, true, false},  {8, false, true},  {8, true, true},
               {24, false, false}, {24, true, false}, {24, false, true}, {24, true, true}};
  for (const Case& c : cases) {
    ScanWindow w;
    ASSERT_EQ(ParseWindow(testing::WindowList({.dpi = 100,
                                               .width = 1200,
                                               .length = 600,
                                               .bitsPerPixel = static_cast<std::uint8_t>(c.bpp),
                                               .reverse = c.reverse,
                                               .mirror = c.mirror})
                                  .data() +
                              kWindowHeaderSize,
                          w),
              WindowCheck::Ok);
    PageImage page(w, /*page*/ 5, /*side*/ 1, w.Lines(), nullptr);
    std::vector<std::uint8_t> line(w.BytesPerLine());
    for (std::uint32_t y : {0u, 1u, 49u}) {
      page.RenderLine(y, line.data());
      const DecodedLine d = DecodePatternLine(line.data(), w.PixelsPerLine(), c.bpp);
      ASSERT_TRUE(d.valid) << c.bpp << " " << c.mirror << " " << c.reverse;
      EXPECT_EQ(d.page(), 5u);
      EXPECT_EQ(d.side(), 1u);
      EXPECT_EQ(d.line, y);
      EXPECT_EQ(d.mirrored, c.mirror);
      EXPECT_EQ(d.inverted, c.reverse);
      EXPECT_FALSE(d.bgr);
    }
  }
}

TEST(ImagePattern, DecoderSeesSwappedChannels) {
  std::vector<std::uint8_t> line(96 * 3);
  RenderPatternLine(2, 0, 9, 96, 24, line.data());
  for (std::size_t x = 0; x < 96; ++x) std::swap(line[3 * x], line[3 * x + 2]);
  const DecodedLine d = DecodePatternLine(line.data(), 96, 24);
  ASSERT_TRUE(d.valid);
  EXPECT_TRUE(d.bgr);
  EXPECT_EQ(d.page(), 2u);
  EXPECT_EQ(d.line, 9);
}

TEST(ImagePattern, NoiseIsNotTakenForThePattern) {
  std::vector<std::uint8_t> line(96 * 3);
  for (std::size_t i = 0; i < line.size(); ++i) line[i] = static_cast<std::uint8_t>(i * 37 + 11);
  for (int bpp : {1, 8, 24}) EXPECT_FALSE(DecodePatternLine(line.data(), 96, bpp).valid) << bpp;
}

}  // namespace
}  // namespace emulator
