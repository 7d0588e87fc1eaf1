// The hardware-service program: one copy per scanner, named after its
// device, run as a Windows service or as a local COM server.
#include "halservice/service/PendingWiring.h"
#include "halservice/service/RNXHALServiceModule.h"

namespace {
constexpr int kShowDefault = 10; // the show-window value a program gets by default
}

int main()
{
    PendingScannerSession scanner;
    PendingClassProvider classes;
    CRNXHALServiceModule module(scanner, classes);
    return module.WinMain(kShowDefault);
}
