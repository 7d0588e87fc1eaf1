// The scan tool's page sink: each page streams into its own Netpbm file,
// page-001.pgm and on, in a folder, while its lines are checked against the
// emulator's pattern; a line on the output announces each whole page, and
// the progress of the page coming in goes to the error output. Only one
// band of a page is ever in memory.
#pragma once

#include "tools/cli/Progress.h"
#include "tools/scan/NetpbmFile.h"
#include "tools/scan/PagePattern.h"
#include "tools/scan/PipelineScan.h"

#include <cstdio>
#include <string>

namespace scan {

class PageFiles final : public PageSink {
public:
    // `announce` receives one line per whole page (null: none, and no
    // progress either). The first page's file is numbered `firstNumber`;
    // a page is about `expectedLines` long (0: not known).
    PageFiles(std::string folder, std::FILE* announce, int firstNumber = 1, long expectedLines = 0);

    bool BeginPage(const PageFormat& format) override;
    bool AddLines(const BYTE* lines, size_t count) override;
    bool EndPage(LONG level) override;
    void AbandonPage() override;

    int Pages() const { return m_number; }
    // The name of the n-th page's file (1-based), as the folder has it.
    std::string NameOf(int page, LONG bitsPerPixel) const;
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
    // The page the scan failed inside after some of its lines came: it is
    // not kept (number 0: none was cut).
    struct CutPage {
        int number = 0;
        long lines = 0;
    };
    const CutPage& Cut() const { return m_cut; }
    // The path of the file that could not be written, if one could not.
    const std::string& Failed() const { return m_failed; }

private:
    std::string m_folder;
    std::FILE* m_announce;
    int m_firstNumber;
    long m_expectedLines;
    cli::Progress m_progress;
    int m_number = 0; // pages finished
    unsigned long long m_bytes = 0;
    PageFormat m_format;
    std::string m_name;
    NetpbmWriter m_writer;
    PatternCheck m_check;
    CorruptedPage m_corrupted;
    CutPage m_cut;
    std::string m_failed;
};

} // namespace scan
