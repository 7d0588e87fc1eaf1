// twainscan: a command-line TWAIN application on our data source manager.
// The manager lists the data sources installed in a folder and its real
// sub-folders; a scan opens one, negotiates the settings and writes every
// page as page-NNN.tif: a file transfer through the source's own TIFF
// writer, a memory or native transfer through libtiff. Any failure stops
// the scan with its reason and exit status 1; so does a list that finds no
// source. Ctrl-C ends the scan through the source (exit status 130),
// keeping the pages already whole.
#include "tools/twainscan/ConditionText.h"
#include "tools/twainscan/ScanJob.h"
#include "tools/twainscan/TwainSession.h"

#include "platform/base/sysrootname.h"
#include "platform/twaindsm/SourceManager.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/OptionValues.h"
#include "tools/cli/PageFolder.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// clang-format off
const cli::Program kProgram{
    "twainscan",
    "usage: twainscan [--folder DIR] --list\n"
    "       twainscan [--folder DIR] [--source NAME] [OPTION...]\n"
    "Scans the sheets in the scanner's feeder through its TWAIN data source into\n"
    "page-001.tif, page-002.tif, ... in the output folder.\n"
    "  --folder DIR         the folder of the installed data sources (default: the\n"
    "                       system root's, <root>/windows/twain_32, where devinstall\n"
    "                       installs them; root: QBK_SYSROOT or ~/.local/share/qbk24)\n"
    "  --list               the installed data sources, one a line, by name first\n"
    "  --source NAME        the data source of that name, as --list prints it\n"
    "                       (default: the first)\n"
    "  --pixel bw|gray|color     (default: color)\n"
    "  --dpi N              100, 150, 200, 300, 400, 500 or 600 (default: 150)\n"
    "  --size a4|letter|a6  (default: the size the source was last set to)\n"
    "  --simplex, --duplex  one side of each sheet or both (default: duplex)\n"
    "  --pages N            at most N pages (default: all the feeder holds)\n"
    "  --xfer native|memory|file  the transfer (default: native)\n"
    "  --out DIR            the folder for the pages; it must exist (default: .)\n"
    "  --batch-start N      number the pages from N (default: 1)\n"
    "  --force              replace the pages of an earlier scan in the folder\n"
    "  --ui                 scan from the source's dialog (needs a display): each\n"
    "                       press of its Scan button scans, closing it ends\n"
    "  --help, --version\n"
    "Progress goes to the error output, the pages written to the output.\n"};
// clang-format on

enum Key { kFolder, kList, kSource, kPixel, kDpi, kSize, kSimplex, kDuplex, kPages, kXfer, kOut, kBatch, kForce, kUi };

const std::vector<cli::Option> kOptions = {
    {"folder", true, kFolder}, {"list", false, kList}, {"source", true, kSource},    {"pixel", true, kPixel},
    {"dpi", true, kDpi},       {"size", true, kSize},  {"simplex", false, kSimplex}, {"duplex", false, kDuplex},
    {"pages", true, kPages},   {"xfer", true, kXfer},  {"out", true, kOut},          {"batch-start", true, kBatch},
    {"force", false, kForce},  {"ui", false, kUi}};

// The system root's data-source folder; empty when no root is named.
std::string DefaultFolder()
{
    const std::string root = plat::SystemRootFromEnvironment();
    return root == plat::kNoSystemRoot ? std::string() : plat::TwainSourceFolder(root);
}

struct Options {
    std::string folder = DefaultFolder();
    std::string source;
    bool list = false;
    twainscan::ScanSettings scan;
    bool force = false;
};

// One of `names`, as the code of the same place in `codes`.
std::string Choice(const std::string& value, const std::vector<std::string>& names, const std::vector<TW_UINT16>& codes,
                   TW_UINT16* code)
{
    size_t index = 0;
    std::string problem = cli::NameOneOf(value, names, &index);
    if (problem.empty())
        *code = codes[index];
    return problem;
}

std::string Take(Options& o, int key, const std::string& value)
{
    long number = 0;
    TW_UINT16 size = 0;
    std::string problem;
    // clang-format off
    switch (key) {
    case kFolder: o.folder = value; return value.empty() ? "an empty folder name" : "";
    case kList: o.list = true; return {};
    case kSource: o.source = value; return {};
    case kPixel: return Choice(value, {"bw", "gray", "color"}, {TWPT_BW, TWPT_GRAY, TWPT_RGB}, &o.scan.pixelType);
    case kXfer: return Choice(value, {"native", "memory", "file"}, {TWSX_NATIVE, TWSX_MEMORY, TWSX_FILE}, &o.scan.mechanism);
    case kSize:
        problem = Choice(value, {"a4", "letter", "a6"}, {TWSS_A4, TWSS_USLETTER, TWSS_A6}, &size);
        if (problem.empty())
            o.scan.pageSize = size;
        return problem;
    case kDpi:
        problem = cli::NumberOneOf(value, {100, 150, 200, 300, 400, 500, 600}, &number);
        o.scan.resolution = static_cast<double>(number);
        return problem;
    case kPages:
        problem = cli::NumberFrom(value, 1, 32767, &number);
        o.scan.pages = static_cast<int>(number);
        return problem;
    case kBatch:
        problem = cli::NumberFrom(value, 1, 999999, &number);
        o.scan.firstNumber = static_cast<int>(number);
        return problem;
    case kSimplex: o.scan.duplex = false; return {};
    case kDuplex: o.scan.duplex = true; return {};
    case kOut: o.scan.outFolder = value; return {};
    case kForce: o.force = true; return {};
    case kUi: o.scan.showUI = true; return {};
    }
    // clang-format on
    return {};
}

// About the bytes of one page at the settings: the largest size the
// source offers (legal paper) when none is asked for.
unsigned long long PageBytes(const twainscan::ScanSettings& s)
{
    const double inches = s.pageSize == TWSS_A6 ? 4.2 * 5.9 : s.pageSize == TWSS_A4 ? 8.3 * 11.7 : 8.5 * 14.0;
    const int bits = s.pixelType == TWPT_BW ? 1 : s.pixelType == TWPT_GRAY ? 8 : 24;
    return static_cast<unsigned long long>(std::ceil(inches * s.resolution * s.resolution * bits / 8));
}

// Empty when the pages can go into the output folder.
std::string CheckOutput(const Options& o)
{
    std::string problem = cli::CheckPageFolder(o.scan.outFolder, PageBytes(o.scan));
    if (problem.empty())
        problem = cli::CheckPageNumbers(o.scan.outFolder, {"tif"}, o.scan.firstNumber, o.force);
    return problem;
}

// False when there is none.
bool ListSources(twainscan::TwainSession& session)
{
    const std::vector<TW_IDENTITY> sources = session.Sources();
    for (const TW_IDENTITY& source : sources)
        std::printf("%s  (%s / %s, protocol %u.%u, version %u.%u %s, language %u)\n", source.ProductName,
                    source.Manufacturer, source.ProductFamily, source.ProtocolMajor, source.ProtocolMinor,
                    source.Version.MajorNum, source.Version.MinorNum, source.Version.Info, source.Version.Language);
    return !sources.empty();
}

// Says why no source is found: a root of another user's is not looked
// into, as every tool refuses it.
void NoSourceInstalled(const std::string& folder)
{
    const std::string root = plat::SystemRootFromEnvironment();
    if (const std::string problem = plat::ForeignRootProblem(root); !problem.empty())
        std::fprintf(stderr, "twainscan: %s\n", problem.c_str());
    else
        std::fprintf(stderr, "twainscan: no data source is installed in %s\n", folder.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    const cli::Parsed parsed = cli::Parse(
        kProgram, argc, argv, kOptions, [&](int key, const std::string& value) { return Take(options, key, value); },
        cli::Operands::None);
    if (parsed.exitCode)
        return *parsed.exitCode;
    if (options.folder.empty()) {
        std::fprintf(stderr, "twainscan: %s\n", plat::kNoSystemRootProblem);
        return 1;
    }
    if (!options.list) {
        if (const std::string problem = CheckOutput(options); !problem.empty()) {
            std::fprintf(stderr, "twainscan: %s\n", problem.c_str());
            return 1;
        }
    }
    twainscan::TwainSession session;
    if (!session.OpenManager(options.folder)) {
        std::fprintf(stderr, "twainscan: the data source manager does not open\n");
        return 1;
    }
    if (options.list) {
        if (ListSources(session))
            return 0;
        NoSourceInstalled(options.folder);
        return 1;
    }
    if (!session.OpenSource(options.source)) {
        if (session.Source().Id == 0) {
            if (options.source.empty())
                NoSourceInstalled(options.folder);
            else
                std::fprintf(stderr, "twainscan: no data source named \"%s\" is installed in %s\n",
                             options.source.c_str(), options.folder.c_str());
            return 1;
        }
        std::fprintf(stderr, "twainscan: cannot open the data source \"%s\": %s\n", session.Source().ProductName,
                     twainscan::DescribeOpenFailure(session.ConditionCode()).c_str());
        return 1;
    }
    std::printf("source: %s\n", session.Source().ProductName);
    cli::CatchInterrupts();
    const int pages = twainscan::RunScan(session, options.scan, stdout, stderr);
    if (cli::Interrupted()) {
        std::fprintf(stderr, "twainscan: interrupted; %d whole page%s kept\n", pages, pages == 1 ? "" : "s");
        return cli::kExitInterrupted;
    }
    if (pages < 0)
        return 1;
    std::printf("%s\n", twainscan::Summary(options.scan, pages).c_str());
    return 0;
}
