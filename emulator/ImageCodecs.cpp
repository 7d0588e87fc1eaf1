#include "emulator/ImageCodecs.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <tiffio.h>

namespace emulator {

namespace {

// ---- JPEG --------------------------------------------------------------

struct JpegError {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

void JpegSilence(j_common_ptr, int) {}

// No C++ objects with destructors live in this frame across setjmp.
bool CompressJpeg(std::uint32_t width, std::uint32_t lines, int components, int quality,
                  const LineSource* source, std::uint8_t* row, unsigned char** out,
                  unsigned long* outSize) {
  jpeg_compress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = JpegErrorExit;
  err.base.emit_message = JpegSilence;
  if (setjmp(err.jump) != 0) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, out, outSize);
  cinfo.image_width = width;
  cinfo.image_height = lines;
  cinfo.input_components = components;
  cinfo.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  for (std::uint32_t y = 0; y < lines; ++y) {
    (*source)(y, row);
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

// ---- TIFF in memory ---------------------------------------------------

struct MemFile {
  std::vector<std::uint8_t> data;
  toff_t pos = 0;
};

tsize_t MemRead(thandle_t h, tdata_t buf, tsize_t size) {
  auto* f = static_cast<MemFile*>(h);
  if (f->pos >= f->data.size()) return 0;
  const tsize_t n =
      static_cast<tsize_t>(std::min<toff_t>(static_cast<toff_t>(size), f->data.size() - f->pos));
  std::memcpy(buf, f->data.data() + f->pos, static_cast<std::size_t>(n));
  f->pos += static_cast<toff_t>(n);
  return n;
}

tsize_t MemWrite(thandle_t h, tdata_t buf, tsize_t size) {
  auto* f = static_cast<MemFile*>(h);
  const std::size_t end = static_cast<std::size_t>(f->pos) + static_cast<std::size_t>(size);
  if (end > f->data.size()) f->data.resize(end);
  std::memcpy(f->data.data() + f->pos, buf, static_cast<std::size_t>(size));
  f->pos = end;
  return size;
}

toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemFile*>(h);
  toff_t base = 0;
  if (whence == SEEK_CUR) base = f->pos;
  if (whence == SEEK_END) base = f->data.size();
  f->pos = base + off;
  return f->pos;
}

int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemFile*>(h)->data.size(); }
int MemMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void MemUnmap(thandle_t, tdata_t, toff_t) {}

TIFF* OpenMem(MemFile& f, const char* mode) {
  f.pos = 0;
  return TIFFClientOpen("memory", mode, &f, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap,
                        MemUnmap);
}

void SetG4Fields(TIFF* t, std::uint32_t width, std::uint32_t lines) {
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, lines);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, lines);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
}

}  // namespace

std::vector<std::uint8_t> EncodeJpeg(std::uint32_t width, std::uint32_t lines, int bitsPerPixel,
                                     int quality, const LineSource& source) {
  if (width == 0 || lines == 0 || (bitsPerPixel != 8 && bitsPerPixel != 24)) return {};
  const int components = bitsPerPixel / 8;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * components);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  const bool ok =
      CompressJpeg(width, lines, components, quality, &source, row.data(), &out, &outSize);
  std::vector<std::uint8_t> result;
  if (ok && out != nullptr) result.assign(out, out + outSize);
  std::free(out);
  return result;
}

std::vector<std::uint8_t> EncodeMmr(std::uint32_t width, std::uint32_t lines,
                                    const LineSource& source) {
  if (width == 0 || width % 8 != 0 || lines == 0) return {};
  const std::size_t stride = width / 8;
  std::vector<std::uint8_t> bitmap(stride * lines);
  for (std::uint32_t y = 0; y < lines; ++y) source(y, bitmap.data() + y * stride);

  MemFile file;
  TIFF* t = OpenMem(file, "w");
  if (t == nullptr) return {};
  SetG4Fields(t, width, lines);
  const bool written =
      TIFFWriteEncodedStrip(t, 0, bitmap.data(), static_cast<tmsize_t>(bitmap.size())) >= 0;
  TIFFClose(t);
  if (!written) return {};

  t = OpenMem(file, "r");
  if (t == nullptr) return {};
  std::vector<std::uint8_t> strip;
  const tmsize_t rawSize = TIFFRawStripSize(t, 0);
  if (rawSize > 0) {
    strip.resize(static_cast<std::size_t>(rawSize));
    if (TIFFReadRawStrip(t, 0, strip.data(), rawSize) != rawSize) strip.clear();
  }
  TIFFClose(t);
  return strip;
}

std::vector<std::uint8_t> DecodeMmr(const std::vector<std::uint8_t>& mmr, std::uint32_t width,
                                    std::uint32_t lines) {
  if (width == 0 || width % 8 != 0 || lines == 0 || mmr.empty()) return {};
  MemFile file;
  TIFF* t = OpenMem(file, "w");
  if (t == nullptr) return {};
  SetG4Fields(t, width, lines);
  std::vector<std::uint8_t> raw = mmr;
  const bool written = TIFFWriteRawStrip(t, 0, raw.data(), static_cast<tmsize_t>(raw.size())) >= 0;
  TIFFClose(t);
  if (!written) return {};

  t = OpenMem(file, "r");
  if (t == nullptr) return {};
  std::vector<std::uint8_t> bitmap(static_cast<std::size_t>(width / 8) * lines);
  const tmsize_t got =
      TIFFReadEncodedStrip(t, 0, bitmap.data(), static_cast<tmsize_t>(bitmap.size()));
  TIFFClose(t);
  if (got != static_cast<tmsize_t>(bitmap.size())) return {};
  return bitmap;
}

}  // namespace emulator
