// regtool: query, set, delete and export registry keys of the system root.
#include "tools/regtool/RegTool.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    try {
        std::vector<std::string> args(argv + 1, argv + argc);
        return regtool::RunRegTool(args, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "regtool: " << e.what() << "\n";
        return regtool::kExitFailed;
    }
}
