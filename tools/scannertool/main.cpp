// scannertool: see ScannerTool.h.
#include "tools/scannertool/ScannerTool.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return scannertool::Run(args, std::cout, std::cerr);
}
