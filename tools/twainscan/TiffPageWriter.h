// One page written to its TIFF file through libtiff as its rows arrive, so
// that the application holds a strip of the page, never the whole of it.
// The file is written under a ".part" name and takes its own name once the
// page is whole: a page that fails leaves no file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct tiff TIFF;

namespace twainscan {

struct PageFormat {
    std::uint32_t width = 0;
    int bitsPerPixel = 0; // 1 (black and white), 8 (grey) or 24 (colour)
    // 1-bit and 8-bit samples: true when 0 is white.
    bool zeroIsWhite = false;
    // 24-bit rows in blue-green-red order, as bitmaps hold them.
    bool bgr = false;
    double xResolution = 0;
    double yResolution = 0;
};

// Black and white is compressed as CCITT G4, the rest is left uncompressed.
class TiffPageWriter {
public:
    explicit TiffPageWriter(std::string path) : m_path(std::move(path)) {}
    ~TiffPageWriter() { Abandon(); }
    TiffPageWriter(const TiffPageWriter&) = delete;
    TiffPageWriter& operator=(const TiffPageWriter&) = delete;

    bool Open(const PageFormat& format);
    bool IsOpen() const { return m_tiff != nullptr; }
    // Appends `count` rows, top first, each `stride` bytes apart.
    bool WriteRows(const std::uint8_t* rows, size_t stride, size_t count);
    std::uint32_t Rows() const { return m_rows; }
    // The file could not be made or written.
    bool Failed() const { return m_failed; }
    // The page is whole: its directory is written and the file named.
    bool Finish();
    // The page is dropped with its file.
    void Abandon();

private:
    std::string PartPath() const { return m_path + ".part"; }

    std::string m_path;
    PageFormat m_format;
    std::unique_ptr<TIFF, void (*)(TIFF*)> m_tiff{nullptr, nullptr};
    std::vector<std::uint8_t> m_line; // one row as the file takes it
    std::uint32_t m_rows = 0;
    bool m_failed = false;
};

} // namespace twainscan
