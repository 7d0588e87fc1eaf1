#include "tools/svctool/SvcTool.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return svctool::Run(argc > 0 ? argv[0] : "svctool", args, std::cout, std::cerr);
}
