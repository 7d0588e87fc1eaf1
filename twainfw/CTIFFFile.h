// A TIFF file being written: the header, the pages in order, the output
// stream and the byte counter (the current write position).
//
// Image data goes out as it arrives, each page's directory after its data;
// Finish writes the header and every directory again, in place, once all
// value offsets and the links between directories are known. The stream
// never throws: a failed open, write, seek or close leaves it failed, later
// writes do nothing, and Finish reports it.
//
// The file is written beside its name (the name with ".part") and takes the
// name only when Finish has written it whole: a file under the name is never
// one half written, and an earlier file of that name stays until then.
#pragma once

#include "twainfw/CTIFFImageFileHeader.h"
#include "twainfw/TTIFFImage.h"

#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace Trellis {

class CTIFFFile : public CTIFFImageFileHeader {
public:
    explicit CTIFFFile(DWORD byteOrder = TIFF_LITTLE_ENDIAN);
    ~CTIFFFile() override;
    CTIFFFile(const CTIFFFile&) = delete;
    CTIFFFile& operator=(const CTIFFFile&) = delete;

    // Creates (truncates) the file beside `path` and writes the provisional
    // header. A file still open is finished first, and pages left from a
    // file that could not be opened are dropped.
    void Open(const std::string& path);
    // A new page directory for the TWAIN compression, owned by the file.
    TTIFFImage* NewPage(WORD twainCompression);
    // Forgets the last page: its data stays in the file, unreachable, and
    // the pages before it are the file's.
    void DropLastPage();
    // Writes the header and the directories again with their final offsets,
    // closes the file and gives it its name. True when the whole file was
    // written; false when the file was not open or any open, write, seek,
    // close or rename failed, and then nothing is left beside the name.
    bool Finish();
    // Closes the file and removes what was written; the name keeps what it
    // held before.
    void Abandon();

    bool IsOpen() const { return m_Stream.is_open(); }
    bool Failed() const { return m_Stream.fail(); }
    const std::string& GetPath() const { return m_Path; }
    DWORD GetByteCounter() const { return m_ByteCounter; }
    const std::vector<std::unique_ptr<TTIFFImage>>& GetPages() const { return m_Pages; }

    // Writes at the current position and advances the byte counter; 16- and
    // 32-bit numbers in the file's byte order. False (and the stream failed)
    // when the stream is failed or the file would pass the 4 GiB that its
    // 32-bit offsets can address.
    bool WriteBytes(const void* data, DWORD length);
    bool WriteShort(WORD value);
    bool WriteLong(DWORD value);

    // Where the file is written until it is finished.
    static std::string PartPath(const std::string& path) { return path + ".part"; }

private:
    void SeekTo(DWORD offset);

    std::vector<std::unique_ptr<TTIFFImage>> m_Pages;
    std::string m_Path;
    std::ofstream m_Stream;
    DWORD m_ByteCounter = 0;
};

} // namespace Trellis
