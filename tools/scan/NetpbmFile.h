// Pages as plain Netpbm files: PBM (P4) for black-and-white, PGM (P5) for
// gray, PPM (P6) for colour. A page is written as its lines arrive; its
// height goes into the header when the page is whole.
#pragma once

#include "tools/scan/PipelineScan.h"

#include <cstdio>
#include <string>

namespace scan {

// The file extension for a page's depth: "pbm", "pgm" or "ppm"; empty for
// a depth Netpbm has no binary form for.
std::string NetpbmExtension(LONG bitsPerPixel);

class NetpbmWriter {
public:
    NetpbmWriter() = default;
    ~NetpbmWriter() { Abandon(); }
    NetpbmWriter(const NetpbmWriter&) = delete;
    NetpbmWriter& operator=(const NetpbmWriter&) = delete;

    // Creates the file with its header, under the name `path`.part until
    // Finish names it; the height's place is kept blank until then. False when the depth has no Netpbm form or the file
    // cannot be made.
    bool Open(const std::string& path, const PageFormat& format);
    // Appends `count` packed lines.
    bool Write(const BYTE* lines, size_t count);
    // Writes the height of the lines written into the header and closes
    // the file; false when that fails (the file is then removed).
    bool Finish();
    // Closes and removes a file that will not be whole.
    void Abandon();

    long Lines() const { return m_lines; }

private:
    std::FILE* m_file = nullptr;
    std::string m_path;
    size_t m_lineBytes = 0;
    long m_lines = 0;
    long m_heightAt = 0; // offset of the height's place in the header
};

} // namespace scan
