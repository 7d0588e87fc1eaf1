// Scanning whole jobs: sheets through the feeder, pages in order, and what
// the pixels of each page say about where they came from.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "emulator/EmulatedScanner.h"
#include "emulator/ImageCodecs.h"
#include "emulator/ImagePattern.h"
#include "emulator/ScannerControl.h"
#include "emulator/testing/HostExchange.h"
#include "emulator/testing/WindowBuilder.h"

namespace emulator {
namespace {

using testing::Exchange;
using testing::RunCommand;
using testing::WindowSpec;
using Bytes = std::vector<std::uint8_t>;

struct PageRead {
  Bytes bytes;
  bool ended = false;
  Sense failure;  // when neither ended nor still open
  int shortReads = 0;
};

// Reads from `back` or the front in requests of `request` bytes, as the
// host does, until end of page or failure; at most `maxReads` reads.
PageRead ReadPage(EmulatedScanner& scanner, bool back, std::uint32_t request,
                  int maxReads = 100000) {
  PageRead page;
  for (int i = 0; i < maxReads; ++i) {
    const Exchange x = RunCommand(scanner, testing::ReadImageCdb(request, back), {}, request);
    EXPECT_EQ(x.transport, TransferStatus::Ok);
    if (x.transport != TransferStatus::Ok) return page;
    if (x.status == kStatusGood) {
      EXPECT_EQ(x.data.size(), request);
      page.bytes.insert(page.bytes.end(), x.data.begin(), x.data.end());
      continue;
    }
    const Sense s = testing::RequestSense(scanner);
    if (!s.ili && !s.eom) {
      // What came before the failure still came.
      page.bytes.insert(page.bytes.end(), x.data.begin(), x.data.end());
      page.failure = s;
      return page;
    }
    // The residue tells how much of the request did not come.
    EXPECT_EQ(x.data.size(), request - s.info);
    page.bytes.insert(page.bytes.end(), x.data.begin(), x.data.end());
    if (s.eom) {
      page.ended = true;
      return page;
    }
    ++page.shortReads;
  }
  return page;
}

void SetWindows(EmulatedScanner& scanner, WindowSpec front, bool duplex) {
  ASSERT_TRUE(RunCommand(scanner, testing::SetWindowCdb(72), testing::WindowList(front)).good());
  if (duplex) {
    front.id = kWindowBack;
    ASSERT_TRUE(RunCommand(scanner, testing::SetWindowCdb(72), testing::WindowList(front)).good());
  }
}

bool StartScan(EmulatedScanner& scanner) {
  return RunCommand(scanner, {0x1B, 0, 0, 0, 0, 0}).good();
}

// Every line of the page decodes to (page, side) and runs 0, 1, 2, ...
void ExpectPattern(const Bytes& page, std::uint32_t pixels, int bpp, std::uint32_t lines,
                   std::uint32_t pageNumber, std::uint32_t side) {
  const std::uint32_t bpl = bpp == 1 ? pixels / 8 : pixels * (bpp / 8);
  ASSERT_EQ(page.size(), std::size_t{bpl} * lines);
  for (std::uint32_t y = 0; y < lines; ++y) {
    const DecodedLine d = DecodePatternLine(page.data() + std::size_t{y} * bpl, pixels, bpp);
    ASSERT_TRUE(d.valid) << "line " << y;
    ASSERT_EQ(d.page(), pageNumber % 8) << "line " << y;
    ASSERT_EQ(d.side(), side) << "line " << y;
    ASSERT_EQ(d.line, y % 256);
    ASSERT_FALSE(d.mirrored);
    ASSERT_FALSE(d.inverted);
  }
}

TEST(ScanJob, DuplexThreeSheetsGiveSixPagesInOrder) {
  EmulatedScanner scanner;
  scanner.LoadSheets(3);
  // 1 x 0.5 in at 100 dpi: 96 pixels (a multiple of 16), 50 lines.
  SetWindows(scanner, {.dpi = 100, .width = 1200, .length = 600, .bitsPerPixel = 24}, true);
  ASSERT_TRUE(StartScan(scanner));
  for (std::uint32_t sheet = 0; sheet < 3; ++sheet) {
    for (std::uint32_t side : {0u, 1u}) {
      const PageRead page = ReadPage(scanner, side == 1, 4096);
      ASSERT_TRUE(page.ended) << "sheet " << sheet << " side " << side;
      ExpectPattern(page.bytes, 96, 24, 50, sheet, side);
    }
  }
  EXPECT_EQ(scanner.Counter(), 3u);
  EXPECT_EQ(scanner.SheetsInFeeder(), 0u);
  // Past the last sheet: nothing buffered, and the feeder is empty.
  EXPECT_EQ(RunCommand(scanner, testing::ReadImageCdb(4096, false), {}, 4096).status,
            kStatusCheckCondition);
  EXPECT_EQ(testing::RequestSense(scanner), sense::kMediumNotPresent);
  EXPECT_EQ(RunCommand(scanner, {0x34, 0, 0, 0, 0, 0, 0, 0, 12, 0}, {}, 12).status,
            kStatusCheckCondition);
  EXPECT_EQ(testing::RequestSense(scanner), sense::kMediumNotPresent);
}

TEST(ScanJob, ShortReadsEndWithIliAndTheResidueAndSidesInterleave) {
  ScannerConfig config;
  config.maxBytesPerRead = 1000;
  EmulatedScanner scanner(config);
  scanner.LoadSheets(1);
  SetWindows(scanner, {.dpi = 100, .width = 1200, .length = 600, .bitsPerPixel = 8}, true);
  ASSERT_TRUE(StartScan(scanner));
  // 96 x 50 = 4800 bytes a side; alternate sides a few reads at a time.
  PageRead front, back;
  while (!front.ended || !back.ended) {
    for (auto [page, isBack] : {std::pair{&front, false}, std::pair{&back, true}}) {
      if (page->ended) continue;
      PageRead part = ReadPage(scanner, isBack, 4096, 2);
      page->bytes.insert(page->bytes.end(), part.bytes.begin(), part.bytes.end());
      page->ended = part.ended;
      page->shortReads += part.shortReads;
    }
  }
  EXPECT_EQ(front.shortReads, 4);
  ExpectPattern(front.bytes, 96, 8, 50, 0, 0);
  ExpectPattern(back.bytes, 96, 8, 50, 0, 1);

  // The exact sense of a short read: ILI, residue 3096 of 4096.
  scanner.LoadSheets(1);
  ASSERT_TRUE(StartScan(scanner));
  const Exchange x = RunCommand(scanner, testing::ReadImageCdb(4096, false), {}, 4096);
  EXPECT_EQ(x.data.size(), 1000u);
  const Exchange sense = RunCommand(scanner, {0x03, 0, 0, 0, 18, 0}, {}, 18);
  EXPECT_EQ(sense.data, (Bytes{0x70, 0, 0x20, 0, 0, 0x0C, 0x18, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  // The control line changes the cap from the next READ on; 0 lifts it.
  // The READs it cut short are counted.
  const std::uint64_t capped = scanner.CappedReads();
  std::string answer;
  ASSERT_TRUE(ApplyControl(scanner, "max-read 300", answer)) << answer;
  EXPECT_EQ(RunCommand(scanner, testing::ReadImageCdb(2000, false), {}, 2000).data.size(), 300u);
  EXPECT_EQ(scanner.CappedReads(), capped + 1);
  ASSERT_TRUE(ApplyControl(scanner, "max-read 0", answer)) << answer;
  const Exchange whole = RunCommand(scanner, testing::ReadImageCdb(2000, false), {}, 2000);
  EXPECT_EQ(whole.status, kStatusGood);
  EXPECT_EQ(whole.data.size(), 2000u);
  EXPECT_EQ(scanner.CappedReads(), capped + 1);
}

TEST(ScanJob, TheReadThatEndsAPageCarriesEomAndTheResidue) {
  EmulatedScanner scanner;
  scanner.LoadSheets(1);
  SetWindows(scanner, {.dpi = 100, .width = 1200, .length = 600, .bitsPerPixel = 8}, false);
  ASSERT_TRUE(StartScan(scanner));
  ASSERT_TRUE(RunCommand(scanner, testing::ReadImageCdb(4096, false), {}, 4096).good());
  const Exchange last = RunCommand(scanner, testing::ReadImageCdb(4096, false), {}, 4096);
  EXPECT_EQ(last.status, kStatusCheckCondition);
  EXPECT_EQ(last.data.size(), 704u);
  // Less data than asked: data packet and status arrive in one transfer.
  EXPECT_EQ(last.dataPhase.size(), 12u + 704u + 16u);
  EXPECT_EQ(testing::RequestSense(scanner), (Sense{kKeyNoSense, 0, 0, false, true, 4096 - 704}));
}

TEST(ScanJob, SimplexEachDepthAndTheWindowsPageLimit) {
  for (int depth : {1, 8, 24}) {
    const auto bpp = static_cast<std::uint8_t>(depth);
    EmulatedScanner scanner;
    scanner.LoadSheets(5);
    SetWindows(scanner, {.dpi = 100, .width = 1200, .length = 600, .bitsPerPixel = bpp, .pages = 2},
               false);
    ASSERT_TRUE(StartScan(scanner));
    for (std::uint32_t sheet = 0; sheet < 2; ++sheet) {
      const PageRead page = ReadPage(scanner, false, 2400);
      ASSERT_TRUE(page.ended);
      ExpectPattern(page.bytes, 96, bpp, 50, sheet, 0);
    }
    // Two sheets asked for: the feeder stops with three left.
    EXPECT_EQ(RunCommand(scanner, testing::ReadImageCdb(2400, false), {}, 2400).status,
              kStatusCheckCondition);
    EXPECT_EQ(testing::RequestSense(scanner), sense::kNotReady);
    EXPECT_EQ(scanner.SheetsInFeeder(), 3u);
    // The next scan goes on with sheet 2.
    ASSERT_TRUE(StartScan(scanner));
    ExpectPattern(ReadPage(scanner, false, 2400).bytes, 96, bpp, 50, 2, 0);
  }
}

TEST(ScanJob, BufferStatusCountsWhatIsLeftOfTheSheet) {
  EmulatedScanner scanner;
  scanner.LoadSheets(2);
  SetWindows(scanner, {.dpi = 100, .width = 1200, .length = 600, .bitsPerPixel = 8}, true);
  ASSERT_TRUE(StartScan(scanner));
  const Bytes cdb{0x34, 0, 0, 0, 0, 0, 0, 0, 12, 0};
  EXPECT_EQ(RunCommand(scanner, cdb, {}, 12).data,
            (Bytes{0, 0, 8, 0, 0x00, 0, 0, 0, 0, 0, 0x25, 0x80}));
  ASSERT_TRUE(ReadPage(scanner, false, 4096).ended);
  // Only the back is left: 4800 bytes of window 0x80.
  EXPECT_EQ(RunCommand(scanner, cdb, {}, 12).data,
            (Bytes{0, 0, 8, 0, 0x80, 0, 0, 0, 0, 0, 0x12, 0xC0}));
  ASSERT_TRUE(ReadPage(scanner, true, 4096).ended);
  // The next sheet comes in.
  EXPECT_EQ(RunCommand(scanner, cdb, {}, 12).data,
            (Bytes{0, 0, 8, 0, 0x00, 0, 0, 0, 0, 0, 0x25, 0x80}));
}

TEST(ScanJob, StopAdfLetsTheSheetInTransitFinish) {
  EmulatedScanner scanner;
  scanner.LoadSheets(3);
  SetWindows(scanner, {.dpi = 100, .width = 1200, .length = 600, .bitsPerPixel = 8}, false);
  ASSERT_TRUE(StartScan(scanner));
  ASSERT_TRUE(RunCommand(scanner, testing::ReadImageCdb(1000, false), {}, 1000).good());
  ASSERT_TRUE(RunCommand(scanner, {0xE1, 0, 0x8B, 0, 0, 0, 0, 0, 0, 0}).good());
  EXPECT_TRUE(ReadPage(scanner, false, 4096).ended);
  EXPECT_EQ(RunCommand(scanner, testing::ReadImageCdb(1000, false), {}, 1000).status,
            kStatusCheckCondition);
  EXPECT_EQ(testing::RequestSense(scanner), sense::kAdfStopped);
  EXPECT_EQ(scanner.SheetsInFeeder(), 2u);
}

TEST(ScanJob, DocumentStatusFollowsTheFeeder) {
  EmulatedScanner scanner;
  const Bytes cdb{0x28, 0, 0x81, 0, 0, 0, 0, 0, 6, 0};
  scanner.LoadSheets({Sheet{11000, 4}, Sheet{11000, 13}});
  EXPECT_EQ(RunCommand(scanner, cdb, {}, 6).data[0], 0x24);
  SetWindows(scanner, {.dpi = 100, .width = 1200, .length = 600, .bitsPerPixel = 8}, false);
  ASSERT_TRUE(StartScan(scanner));
  ASSERT_TRUE(ReadPage(scanner, false, 8192).ended);
  EXPECT_EQ(RunCommand(scanner, cdb, {}, 6).data[0], 0x2D);
  ASSERT_TRUE(ReadPage(scanner, false, 8192).ended);
  EXPECT_EQ(RunCommand(scanner, cdb, {}, 6).data[0], 0x00);
}

TEST(ScanJob, LengthControlFollowsTheSheetAndLongPaperAllowsLongSheets) {
  EmulatedScanner scanner;
  scanner.LoadSheets({Sheet{20000, 0}, Sheet{3000, 0}});
  SetWindows(scanner,
             {.dpi = 50, .width = 1200, .length = 600, .bitsPerPixel = 8, .documentSize = 0x60},
             false);
  ASSERT_TRUE(StartScan(scanner));
  PageRead page = ReadPage(scanner, false, 65536);
  ASSERT_TRUE(page.ended);
  // 20 in at 50 dpi: 1000 lines of 48 pixels.
  ExpectPattern(page.bytes, 48, 8, 1000, 0, 0);
  page = ReadPage(scanner, false, 65536);
  ExpectPattern(page.bytes, 48, 8, 150, 1, 0);

  // Without long-paper mode the feeder stops a sheet longer than 14 in.
  scanner.LoadSheets({Sheet{20000, 0}});
  SetWindows(scanner,
             {.dpi = 50, .width = 1200, .length = 600, .bitsPerPixel = 8, .documentSize = 0x40},
             false);
  ASSERT_TRUE(StartScan(scanner));
  page = ReadPage(scanner, false, 4800);
  EXPECT_FALSE(page.ended);
  EXPECT_EQ((Sense{page.failure.key, page.failure.asc, page.failure.ascq}),
            sense::kMediaLengthError);
  EXPECT_EQ(page.bytes.size(), 48u * 700);

  // Without length control the page is the window's; the too long sheet
  // still fails, at the end of that page instead of its end of page.
  scanner.LoadSheets({Sheet{20000, 0}});
  SetWindows(scanner, {.dpi = 50, .width = 1200, .length = 600, .bitsPerPixel = 8}, false);
  ASSERT_TRUE(StartScan(scanner));
  page = ReadPage(scanner, false, 4800);
  EXPECT_FALSE(page.ended);
  EXPECT_EQ((Sense{page.failure.key, page.failure.asc, page.failure.ascq}),
            sense::kMediaLengthError);
  EXPECT_EQ(page.bytes.size(), 48u * 25 - 1);
}

TEST(ScanJob, GammaTablesApplyOnlyWhenTheWindowAsksForThem) {
  for (bool useGamma : {false, true}) {
    EmulatedScanner scanner;
    scanner.LoadSheets(1);
    Bytes table(266, 0);
    for (int i = 0; i < 256; ++i) table[10 + i] = static_cast<std::uint8_t>(255 - i);
    ASSERT_TRUE(RunCommand(scanner, {0x2A, 0, 0x03, 0, 0, 4, 0x00, 0x01, 0x0A, 0}, table).good());
    SetWindows(scanner,
               {.dpi = 100, .width = 1200, .length = 600, .bitsPerPixel = 8, .gamma = useGamma},
               false);
    ASSERT_TRUE(StartScan(scanner));
    const PageRead page = ReadPage(scanner, false, 8192);
    const DecodedLine d = DecodePatternLine(page.bytes.data(), 96, 8);
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(d.inverted, useGamma);
  }
}

// ---- compressed pages ---------------------------------------------------

struct JpegErrorJump {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

// Decodes a JPEG stream; false when it is no valid JPEG.
bool DecodeJpeg(const Bytes& data, int& width, int& height, int& components, Bytes& pixels) {
  jpeg_decompress_struct cinfo;
  JpegErrorJump err;
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = [](j_common_ptr c) {
    std::longjmp(reinterpret_cast<JpegErrorJump*>(c->err)->jump, 1);
  };
  if (setjmp(err.jump) != 0) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data.data(), data.size());
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  width = static_cast<int>(cinfo.output_width);
  height = static_cast<int>(cinfo.output_height);
  components = cinfo.output_components;
  pixels.resize(static_cast<std::size_t>(width) * height * components);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels.data() + std::size_t{cinfo.output_scanline} * width * components;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

TEST(ScanJob, JpegPagesDecodeToThePattern) {
  for (int depth : {8, 24}) {
    const auto bpp = static_cast<std::uint8_t>(depth);
    EmulatedScanner scanner;
    scanner.LoadSheets(2);
    SetWindows(scanner,
               {.dpi = 100,
                .width = 1200,
                .length = 600,
                .bitsPerPixel = bpp,
                .compression = kCompressionJpeg,
                .compressionArg = 95},
               true);
    ASSERT_TRUE(StartScan(scanner));
    for (std::uint32_t sheet = 0; sheet < 2; ++sheet) {
      for (std::uint32_t side : {0u, 1u}) {
        const PageRead page = ReadPage(scanner, side == 1, 1024);
        ASSERT_TRUE(page.ended);
        int w = 0, h = 0, c = 0;
        Bytes pixels;
        ASSERT_TRUE(DecodeJpeg(page.bytes, w, h, c, pixels));
        EXPECT_EQ(w, 96);
        EXPECT_EQ(h, 50);
        EXPECT_EQ(c, bpp / 8);
        const int code = static_cast<int>(PatternCode(sheet, side));
        const int tag = code * 16 + 8;
        for (int y : {10, 30}) {
          const std::uint8_t* row = pixels.data() + static_cast<std::size_t>(y) * w * c;
          if (bpp == 24) {
            EXPECT_NEAR(row[3 * 40 + 0], 40, 12);   // red: column
            EXPECT_NEAR(row[3 * 40 + 1], y, 12);    // green: line
            EXPECT_NEAR(row[3 * 40 + 2], tag, 12);  // blue: page and side
          } else {
            EXPECT_NEAR(row[4], tag, 12);
            EXPECT_NEAR(row[60], 60 + y, 12);
          }
        }
      }
    }
  }
}

TEST(ScanJob, MmrPagesDecodeToTheUncompressedBits) {
  EmulatedScanner scanner;
  scanner.LoadSheets(1);
  SetWindows(scanner,
             {.dpi = 200,
              .width = 2400,
              .length = 1200,
              .bitsPerPixel = 1,
              .compression = kCompressionMmr},
             false);
  ASSERT_TRUE(StartScan(scanner));
  const PageRead page = ReadPage(scanner, false, 512);
  ASSERT_TRUE(page.ended);
  // 2 in x 1 in at 200 dpi: 400 pixels, 200 lines; G4 is far smaller.
  EXPECT_LT(page.bytes.size(), 400u / 8 * 200 / 4);
  const Bytes bits = DecodeMmr(page.bytes, 400, 200);
  ExpectPattern(bits, 400, 1, 200, 0, 0);
}

}  // namespace
}  // namespace emulator
