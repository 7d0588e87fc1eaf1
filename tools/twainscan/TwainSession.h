// The application's side of TWAIN, through the data source manager's
// DSM_Entry: the manager opened on a folder, one source opened, capabilities
// set as single values, the source enabled with or without its user
// interface and told apart from its notifications. Everything is undone in reverse order
// when the session goes.
#pragma once

#include "platform/twain/twain.h"

#include <optional>
#include <string>
#include <vector>

namespace twainscan {

class TwainSession {
public:
    TwainSession();
    ~TwainSession();
    TwainSession(const TwainSession&) = delete;
    TwainSession& operator=(const TwainSession&) = delete;

    // Opens the manager on `folder` and takes its memory functions.
    bool OpenManager(const std::string& folder);
    std::vector<TW_IDENTITY> Sources();
    // The source of the product name `name`, in any case, as the list
    // shows it; the first when empty.
    bool OpenSource(const std::string& name);
    const TW_IDENTITY& Source() const { return m_source; }

    // Sets a capability to one value: TWRC_SUCCESS, or TWRC_CHECKSTATUS when
    // the source took another value, which `inForce` then holds.
    TW_UINT16 SetOneValue(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item, TW_UINT32* inForce = nullptr);
    // MSG_ENABLEDS, with the source's dialog when `showUI`: its return
    // code. What the source said inside it is Notification().
    TW_UINT16 Enable(bool showUI);
    // Lets the source run its windows (DAT_EVENT/MSG_PROCESSEVENT with no
    // event, as an application without a message loop for them does) until
    // it says something; what it said (MSG_XFERREADY, MSG_CLOSEDSREQ,
    // MSG_CLOSEDSOK), taken.
    TW_UINT16 WaitForNotification();
    void Disable();

    // A triplet to the open source.
    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    // The condition code of the last failure: the source's while it is
    // open, else the manager's.
    TW_UINT16 ConditionCode() { return Status().ConditionCode; }
    TW_STATUS Status();
    // The source's words for a status it gave (DAT_STATUSUTF8); empty when
    // it has none.
    std::string StatusText(const TW_STATUS& status);
    // An extended image information item of the image just transferred,
    // TWTY_UINT32; empty when the source does not answer it.
    std::optional<TW_UINT32> ExtImageInfo(TW_UINT16 id);
    void FreeHandle(TW_HANDLE handle) { m_entry.DSM_MemFree(handle); }
    TW_MEMREF LockHandle(TW_HANDLE handle) { return m_entry.DSM_MemLock(handle); }
    void UnlockHandle(TW_HANDLE handle) { m_entry.DSM_MemUnlock(handle); }

    // What the source last told the application (MSG_NULL for nothing).
    static TW_UINT16 Notification();

private:
    TW_UINT16 Manager(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

    TW_IDENTITY m_app{};
    TW_IDENTITY m_source{};
    TW_ENTRYPOINT m_entry{};
    bool m_managerOpen = false;
    bool m_sourceOpen = false;
    bool m_enabled = false;
};

// A TW_FIX32 as the 32 bits of a one-value container.
TW_UINT32 Fix32Item(double value);
double Fix32Value(const TW_FIX32& fix);

} // namespace twainscan
