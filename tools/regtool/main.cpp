// regtool: query, set, delete and export registry keys of the system root.
#include "tools/regtool/RegTool.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return regtool::RunRegTool(args, std::cout, std::cerr);
}
