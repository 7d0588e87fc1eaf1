// A small TWAIN data source manager for Linux, for our tools and tests: an
// application links it and talks to data sources through DSM_Entry exactly
// as through the standard Linux manager, whose conventions it keeps:
//
// - Sources are the regular files whose name contains ".ds" in the source
//   folder and its real sub-folders; symbolic links, to files or to folders,
//   are skipped; at most kMaxSources are listed.
// - To list them (MSG_OPENDSM), each library is loaded (dlopen RTLD_LAZY,
//   dlsym "DS_Entry"), asked DG_CONTROL/DAT_IDENTITY/MSG_GET and unloaded
//   again; MSG_OPENDS loads it anew and MSG_CLOSEDS unloads it. A source is
//   dropped unless its SupportedGroups has DG_CONTROL | DG_IMAGE and its
//   protocol is 1.5 to 1.91 or 2.x.
// - Only a source whose identity carries DF_DS2 gets DG_CONTROL/
//   DAT_ENTRYPOINT/MSG_SET before MSG_OPENDS: this DSM_Entry and the
//   memory functions below, where a handle is a plain pointer that locks to
//   itself. Applications get the same record with DAT_ENTRYPOINT/MSG_GET.
// - A source tells the application things through DSM_Entry (DAT_NULL with
//   MSG_XFERREADY, MSG_CLOSEDSREQ, MSG_CLOSEDSOK, MSG_DEVICEEVENT): the
//   callback the application registered (DAT_CALLBACK or DAT_CALLBACK2,
//   MSG_REGISTER_CALLBACK) is called at once; without one, the message
//   waits and is handed out as the TWMessage of the application's next
//   DAT_EVENT/MSG_PROCESSEVENT that the source does not take itself.
//
// One application and one open source at a time, on one thread at a time,
// as TWAIN calls arrive. The manager's own condition codes answer
// DAT_STATUS with no destination; a failed MSG_OPENDS leaves the source's.
#pragma once

#include "platform/twain/twain.h"

#include <string>

extern "C" TW_UINT16 DSM_Entry(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                               TW_MEMREF pData);

namespace twaindsm {

inline constexpr size_t kMaxSources = 49;
// Where the standard Linux manager looks unless it was built otherwise.
inline constexpr const char* kStandardSourceFolder = "/usr/local/lib/twain";

// The folder MSG_OPENDSM lists; kStandardSourceFolder until set.
void SetSourceFolder(const std::string& folder);
std::string SourceFolder();

// The memory functions handed out: zero-filled blocks of plain memory.
TW_HANDLE MemAllocate(TW_UINT32 size);
void MemFree(TW_HANDLE handle);
TW_MEMREF MemLock(TW_HANDLE handle);
void MemUnlock(TW_HANDLE handle);

} // namespace twaindsm
