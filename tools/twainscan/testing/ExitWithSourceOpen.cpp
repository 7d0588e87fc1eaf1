// An application that scans one page and ends without closing the source
// or the manager, as one that is quit mid-session does: the process must
// still end cleanly. Arguments: the manager's folder, the output folder.
#include "tools/twainscan/ScanJob.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    // Never destroyed: nothing is closed before the process ends.
    auto* session = new twainscan::TwainSession;
    if (!session->OpenManager(argv[1]) || !session->OpenSource(""))
        return 1;
    twainscan::ScanSettings settings;
    settings.pages = 1;
    settings.duplex = false;
    settings.outFolder = argv[2];
    std::printf("pages %d\n", twainscan::RunScan(*session, settings, stdout, stderr));
    std::fflush(stdout);
    std::exit(0);
}
