// The library's entry: the one data source of the process, made by the first
// triplet, and the library's start-up and shut-down.
#include "twainds/CQBK24DataSource.h"
#include "twainds/CQBK24TWAINApp.h"

#include "twainfw/DebugLog.h"

#include <new>

namespace {

CQBK24TWAINApp theApp;

BOOL DllMain(HINSTANCE hInstance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        theApp.SetInstanceHandle(hInstance);
        return theApp.InitInstance();
    }
    // An application that ends with the source still loaded: the platform's
    // objects the data source would release may be destroyed already, and
    // the system takes everything back (the service sees the client go).
    if (reason == DLL_PROCESS_DETACH && !reserved)
        theApp.ExitInstance();
    return TRUE;
}

plat::DllMainCaller s_dllMain(&DllMain);

} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16 DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT,
                                                                     TW_UINT16 MSG, TW_MEMREF pData)
{
    CQBK24DataSource* dataSource = theApp.DataSource();
    if (!dataSource) {
        // Nothing may leave this C entry as an exception: a data source that
        // cannot be made is a failed triplet, tried again on the next call.
        try {
            dataSource = new (std::nothrow) CQBK24DataSource;
            if (dataSource) {
                theApp.SetDataSource(dataSource);
                dataSource->Init(theApp.InstanceHandle());
            }
        } catch (...) {
        }
        Trellis::InitDebugLog("QBK24.log", "Quorvant", "DSLogFileName");
        if (!dataSource)
            return TWRC_FAILURE;
    }
    return static_cast<TW_UINT16>(dataSource->Dispatch(pOrigin, DG, DAT, MSG, pData));
}
