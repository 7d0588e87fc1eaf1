// The hardware-service program: one copy per scanner, named after its
// device, run as a Windows service or as a local COM server.
#include "halservice/scanner/ScannerWrap.h"
#include "halservice/service/PendingWiring.h"
#include "halservice/service/RNXHALServiceModule.h"
#include "halservice/service/ScannerSessionAdapter.h"

namespace {
constexpr int kShowDefault = 10; // the show-window value a program gets by default
}

int main()
{
    CScannerWrap scanner;
    ScannerSessionAdapter session(scanner);
    PendingClassProvider classes;
    CRNXHALServiceModule module(session, classes);
    return module.WinMain(kShowDefault);
}
