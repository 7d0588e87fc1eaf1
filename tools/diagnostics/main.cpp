#include "platform/com/objbase.h"
#include "tools/diagnostics/DiagTool.h"

#include <iostream>

int main(int argc, char** argv)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = RunDiagTool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
    CoUninitialize();
    return code;
}
