// twainscan: a command-line TWAIN application on our data source manager.
//
//   twainscan [--folder DIR] --list
//   twainscan [--folder DIR] [--source NAME] [--pixel bw|gray|color]
//             [--dpi N] [--size a4|letter|a6] [--simplex|--duplex] [--pages N]
//             [--xfer native|memory|file] [--out DIR] [--ui]
//
// The manager lists the data sources installed in DIR and its real
// sub-folders (default: the system root's data-source folder
// <root>/windows/twain_32, where devinstall installs them; the root is the
// one every tool uses, QBK_SYSROOT or ~/.local/share/qbk24). A scan opens
// the source whose product name contains NAME (default: the first),
// negotiates the settings and writes every page as OUT/page-NNN.tif
// (default OUT: the current folder): a file transfer through the source's
// own TIFF writer, a memory or native transfer through libtiff. Each page is
// reported on a line of its own. Any failure stops the scan with its reason
// and exit status 1; so does a list that finds no source.
//
// --ui opens the source with its dialog (ShowUI true; it needs a display):
// each press of its Scan button scans with the settings then in force, and
// closing the dialog ends twainscan.
#include "tools/twainscan/ScanJob.h"
#include "tools/twainscan/TwainSession.h"

#include "platform/base/sysrootname.h"
#include "platform/twaindsm/SourceManager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Usage()
{
    std::fputs("usage: twainscan [--folder DIR] --list\n"
               "       twainscan [--folder DIR] [--source NAME] [--pixel bw|gray|color] [--dpi N]\n"
               "                 [--size a4|letter|a6] [--simplex|--duplex] [--pages N] [--xfer native|memory|file]\n"
               "                 [--out DIR] [--ui]\n",
               stderr);
    return 2;
}

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
};

bool ParseChoice(const std::string& value, const char* const names[], const TW_UINT16 codes[], size_t count,
                 TW_UINT16& code)
{
    for (size_t i = 0; i < count; ++i) {
        if (value == names[i]) {
            code = codes[i];
            return true;
        }
    }
    return false;
}

bool ParseNumber(const std::string& value, long low, long high, long& number)
{
    char* end = nullptr;
    number = std::strtol(value.c_str(), &end, 10);
    return !value.empty() && *end == '\0' && number >= low && number <= high;
}

bool Parse(int argc, char** argv, Options& options)
{
    static const char* const kPixelNames[] = {"bw", "gray", "color"};
    static const TW_UINT16 kPixelTypes[] = {TWPT_BW, TWPT_GRAY, TWPT_RGB};
    static const char* const kXferNames[] = {"native", "memory", "file"};
    static const TW_UINT16 kMechanisms[] = {TWSX_NATIVE, TWSX_MEMORY, TWSX_FILE};
    static const char* const kSizeNames[] = {"a4", "letter", "a6"};
    static const TW_UINT16 kSizes[] = {TWSS_A4, TWSS_USLETTER, TWSS_A6};
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--list") {
            options.list = true;
        } else if (option == "--ui") {
            options.scan.showUI = true;
        } else if (option == "--simplex" || option == "--duplex") {
            options.scan.duplex = option == "--duplex";
        } else if (i + 1 < argc) {
            const std::string value = argv[++i];
            long number = 0;
            TW_UINT16 size = 0;
            if (option == "--folder" && !value.empty())
                options.folder = value;
            else if (option == "--source")
                options.source = value;
            else if (option == "--out")
                options.scan.outFolder = value;
            else if (option == "--pixel" && ParseChoice(value, kPixelNames, kPixelTypes, 3, options.scan.pixelType))
                continue;
            else if (option == "--xfer" && ParseChoice(value, kXferNames, kMechanisms, 3, options.scan.mechanism))
                continue;
            else if (option == "--size" && ParseChoice(value, kSizeNames, kSizes, 3, size))
                options.scan.pageSize = size;
            else if (option == "--dpi" && ParseNumber(value, 50, 1200, number))
                options.scan.resolution = static_cast<double>(number);
            else if (option == "--pages" && ParseNumber(value, -1, 32767, number) && number != 0)
                options.scan.pages = static_cast<int>(number);
            else
                return false;
        } else {
            return false;
        }
    }
    return true;
}

// False when there is none.
bool ListSources(twainscan::TwainSession& session)
{
    const std::vector<TW_IDENTITY> sources = session.Sources();
    for (const TW_IDENTITY& source : sources)
        std::printf("%u: %s / %s / %s (protocol %u.%u, version %u.%u %s, language %u)\n",
                    static_cast<unsigned>(source.Id), source.Manufacturer, source.ProductFamily, source.ProductName,
                    source.ProtocolMajor, source.ProtocolMinor, source.Version.MajorNum, source.Version.MinorNum,
                    source.Version.Info, source.Version.Language);
    return !sources.empty();
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!Parse(argc, argv, options))
        return Usage();
    if (options.folder.empty()) {
        std::fprintf(stderr, "twainscan: %s\n", plat::kNoSystemRootProblem);
        return 1;
    }
    twainscan::TwainSession session;
    if (!session.OpenManager(options.folder)) {
        std::fprintf(stderr, "twainscan: the data source manager does not open\n");
        return 1;
    }
    if (options.list) {
        if (ListSources(session))
            return 0;
        std::fprintf(stderr, "twainscan: no data source is installed in %s\n", options.folder.c_str());
        return 1;
    }
    if (!session.OpenSource(options.source)) {
        if (session.Source().Id == 0) {
            if (options.source.empty())
                std::fprintf(stderr, "twainscan: no data source is installed in %s\n", options.folder.c_str());
            else
                std::fprintf(stderr, "twainscan: no data source named \"%s\" is installed in %s\n",
                             options.source.c_str(), options.folder.c_str());
            return 1;
        }
        std::fprintf(stderr, "twainscan: cannot open the data source \"%s\" from %s: condition %u\n",
                     options.source.c_str(), options.folder.c_str(), static_cast<unsigned>(session.ConditionCode()));
        return 1;
    }
    std::printf("source: %s\n", session.Source().ProductName);
    const int pages = twainscan::RunScan(session, options.scan, stdout, stderr);
    if (pages < 0)
        return 1;
    std::printf("%d page%s scanned\n", pages, pages == 1 ? "" : "s");
    return 0;
}
