// The folder a scan writes its pages into, and their names: page-001.tif,
// page-002.tif, ... (three digits at least), one numbering for every tool.
// The folder is checked before a sheet is fed, and the pages of an earlier
// run are never replaced unless the user says so (--force); --batch-start
// numbers a run after them instead. Pages of another kind (page-001.bmp
// beside page-001.tif) do not stand in the way.
#pragma once

#include <string>
#include <vector>

namespace cli {

// "page-007.tif".
std::string PageFileName(int number, const std::string& extension);

// What stands in the way of writing pages of about `pageBytes` each into
// `folder` (0: the size is not known): it is missing, no folder, not
// writable, or has no room for one. Empty when nothing does.
std::string CheckPageFolder(const std::string& folder, unsigned long long pageBytes);

// The extensions of a tool's page files: "tif"; "pbm", "pgm", "ppm".
using PageKinds = std::vector<std::string>;

// The highest number of a page file of these kinds (page-NNN.tif, ...) in
// `folder`; 0 for none.
int HighestPageNumber(const std::string& folder, const PageKinds& kinds);

// Empty when a run may number its pages of these kinds from `first` on in
// `folder`; else why not: pages of an earlier run hold those numbers.
// `force` allows replacing them.
std::string CheckPageNumbers(const std::string& folder, const PageKinds& kinds, int first, bool force);

// A good scan in words: "4 pages scanned into scans: page-001.tif to
// page-004.tif".
std::string PagesSummary(int pages, const std::string& folder, int first, const std::string& extension);

// The options every scanning tool has for its pages.
struct PageOutput {
    std::string folder = ".";
    int firstNumber = 1; // --batch-start
    bool force = false;  // --force
};

} // namespace cli
