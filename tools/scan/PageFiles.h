// The scan tool's page sink: each page streams into its own Netpbm file,
// page-001.pgm and on, in a folder, while its lines are checked against the
// emulator's pattern; a line on the output announces each whole page. Only
// one band of a page is ever in memory.
#pragma once

#include "tools/scan/NetpbmFile.h"
#include "tools/scan/PagePattern.h"
#include "tools/scan/PipelineScan.h"

#include <cstdio>
#include <string>

namespace scan {

class PageFiles final : public PageSink {
public:
    // `announce` receives one line per whole page (null: none).
    PageFiles(std::string folder, std::FILE* announce);

    bool BeginPage(const PageFormat& format) override;
    bool AddLines(const BYTE* lines, size_t count) override;
    bool EndPage(LONG level) override;
    void AbandonPage() override;

    int Pages() const { return m_number; }
    unsigned long long Bytes() const { return m_bytes; }
    // The last page's pattern.
    const PagePattern& Pattern() const { return m_check.Result(); }
    // The first page that began in the emulator's pattern and then left it,
    // its lines shifted, lost or doubled (number 0: none did).
    struct CorruptedPage {
        int number = 0;
        long firstBadLine = -1;
    };
    const CorruptedPage& FirstCorruptedPage() const { return m_corrupted; }
    // The path of the file that could not be written, if one could not.
    const std::string& Failed() const { return m_failed; }

private:
    std::string m_folder;
    std::FILE* m_announce;
    int m_number = 0; // pages finished
    unsigned long long m_bytes = 0;
    PageFormat m_format;
    std::string m_name;
    NetpbmWriter m_writer;
    PatternCheck m_check;
    CorruptedPage m_corrupted;
    std::string m_failed;
};

} // namespace scan
