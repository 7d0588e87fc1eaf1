// The hardware-service program: one copy per scanner, named after its
// device, run as a Windows service or as a local COM server.
#include "halservice/com/HALProcessLock.h"
#include "halservice/com/HALServiceWiring.h"
#include "halservice/scanner/ScannerWrap.h"
#include "halservice/service/RNXHALServiceModule.h"
#include "halservice/service/ScannerSessionAdapter.h"
#include "platform/rpc/rpc.h"

namespace {

constexpr int kShowDefault = 10; // the show-window value a program gets by default

// Every live object holds the module's process lock, which decides when a
// local server ends.
LONG LockModule()
{
    CRNXHALServiceModule* module = CRNXHALServiceModule::Instance();
    return module ? module->Lock() : 0;
}

LONG UnlockModule()
{
    CRNXHALServiceModule* module = CRNXHALServiceModule::Instance();
    return module ? module->Unlock() : 0;
}

// The holder of the scanner lock is served however long it stays idle:
// letting its connection go would drop its lock.
bool HoldsScannerLock(DWORD processId)
{
    CScannerWrap* scanner = CScannerWrap::ProcessScanner();
    return scanner && processId != 0 && scanner->LockHolderProcess() == processId;
}

} // namespace

int main()
{
    CScannerWrap scanner;
    ScannerSessionAdapter session(scanner);
    CHALClassProvider classes;
    CRNXHALServiceModule module(session, classes);
    SetHALProcessLockFunctions(LockModule, UnlockModule);
    plat::rpc::SetPeerKeeper(HoldsScannerLock);
    int exitCode = module.WinMain(kShowDefault);
    plat::rpc::SetPeerKeeper(nullptr);
    SetHALProcessLockFunctions(nullptr, nullptr);
    return exitCode;
}
