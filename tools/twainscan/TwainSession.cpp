#include "tools/twainscan/TwainSession.h"

#include "platform/twaindsm/SourceManager.h"
#include "tools/cli/Interrupt.h"

#include <strings.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <utility>

namespace twainscan {

namespace {

TW_UINT16 g_notification = MSG_NULL;

constexpr useconds_t kIdleMicroseconds = 5000;

// The manager calls this, inside the triplet that caused it: only note it.
TW_UINT16 OnNotification(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF)
{
    if (dg == DG_CONTROL && dat == DAT_NULL)
        g_notification = msg;
    return TWRC_SUCCESS;
}

} // namespace

TW_UINT32 Fix32Item(double value)
{
    const auto scaled = static_cast<TW_INT32>(std::lround(value * 65536.0));
    TW_FIX32 fix{static_cast<TW_INT16>(scaled >> 16), static_cast<TW_UINT16>(scaled & 0xFFFF)};
    TW_UINT32 item = 0;
    std::memcpy(&item, &fix, sizeof fix);
    return item;
}

double Fix32Value(const TW_FIX32& fix) { return fix.Whole + fix.Frac / 65536.0; }

TwainSession::TwainSession()
{
    m_app.Version.MajorNum = 1;
    m_app.Version.Language = TWLG_ENGLISH;
    m_app.Version.Country = TWCY_USA;
    std::strcpy(m_app.Version.Info, "twainscan");
    m_app.ProtocolMajor = 2;
    m_app.ProtocolMinor = 4;
    m_app.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
    std::strcpy(m_app.Manufacturer, "QBK24 tools");
    std::strcpy(m_app.ProductFamily, "Command line");
    std::strcpy(m_app.ProductName, "twainscan");
}

TwainSession::~TwainSession()
{
    Disable();
    if (m_sourceOpen)
        Manager(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_source);
    if (m_managerOpen)
        Manager(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, nullptr);
}

TW_UINT16 TwainSession::Manager(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    return DSM_Entry(&m_app, nullptr, dg, dat, msg, data);
}

TW_UINT16 TwainSession::Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    return DSM_Entry(&m_app, &m_source, dg, dat, msg, data);
}

bool TwainSession::OpenManager(const std::string& folder)
{
    twaindsm::SetSourceFolder(folder);
    if (Manager(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr) != TWRC_SUCCESS)
        return false;
    m_managerOpen = true;
    return Manager(DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &m_entry) == TWRC_SUCCESS;
}

std::vector<TW_IDENTITY> TwainSession::Sources()
{
    std::vector<TW_IDENTITY> sources;
    TW_IDENTITY identity{};
    for (TW_UINT16 msg = MSG_GETFIRST; Manager(DG_CONTROL, DAT_IDENTITY, msg, &identity) == TWRC_SUCCESS;
         msg = MSG_GETNEXT)
        sources.push_back(identity);
    return sources;
}

bool TwainSession::OpenSource(const std::string& name)
{
    m_source = TW_IDENTITY{};
    for (const TW_IDENTITY& identity : Sources()) {
        if (name.empty() || strcasecmp(identity.ProductName, name.c_str()) == 0) {
            m_source = identity;
            break;
        }
    }
    if (m_source.Id == 0)
        return false;
    if (Manager(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_source) != TWRC_SUCCESS)
        return false;
    m_sourceOpen = true;
    TW_CALLBACK2 callback{};
    callback.CallBackProc = reinterpret_cast<TW_MEMREF>(&OnNotification);
    Call(DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &callback);
    return true;
}

TW_UINT16 TwainSession::SetOneValue(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item, TW_UINT32* inForce)
{
    TW_HANDLE handle = m_entry.DSM_MemAllocate(sizeof(TW_ONEVALUE));
    if (!handle)
        return TWRC_FAILURE;
    auto* value = static_cast<TW_ONEVALUE*>(LockHandle(handle));
    value->ItemType = itemType;
    value->Item = item;
    UnlockHandle(handle);
    TW_CAPABILITY capability{cap, TWON_ONEVALUE, handle};
    const TW_UINT16 rc = Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
    m_entry.DSM_MemFree(handle);
    if (rc != TWRC_CHECKSTATUS || !inForce)
        return rc;
    TW_CAPABILITY current{cap, TWON_DONTCARE16, nullptr};
    if (Call(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &current) == TWRC_SUCCESS && current.hContainer) {
        if (current.ConType == TWON_ONEVALUE)
            *inForce = static_cast<TW_ONEVALUE*>(LockHandle(current.hContainer))->Item;
        UnlockHandle(current.hContainer);
        m_entry.DSM_MemFree(current.hContainer);
    }
    return rc;
}

TW_UINT16 TwainSession::Enable(bool showUI)
{
    g_notification = MSG_NULL;
    TW_USERINTERFACE ui{};
    ui.ShowUI = showUI ? 1 : 0;
    const TW_UINT16 rc = Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    m_enabled = rc == TWRC_SUCCESS;
    return rc;
}

void TwainSession::Disable()
{
    if (!m_enabled)
        return;
    TW_PENDINGXFERS pending{};
    Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    TW_USERINTERFACE ui{};
    Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    m_enabled = false;
}

TW_STATUS TwainSession::Status()
{
    TW_STATUS status{};
    if (m_sourceOpen)
        Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    else
        Manager(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    return status;
}

std::string TwainSession::StatusText(const TW_STATUS& status)
{
    TW_STATUSUTF8 words{};
    words.Status = status;
    if (!m_sourceOpen || Call(DG_CONTROL, DAT_STATUSUTF8, MSG_GET, &words) != TWRC_SUCCESS || !words.UTF8string)
        return {};
    const auto* text = static_cast<const char*>(LockHandle(words.UTF8string));
    std::string result = text && words.Size > 0 ? std::string(text, strnlen(text, words.Size)) : std::string();
    UnlockHandle(words.UTF8string);
    FreeHandle(words.UTF8string);
    return result;
}

std::optional<TW_UINT32> TwainSession::ExtImageInfo(TW_UINT16 id)
{
    TW_EXTIMAGEINFO request{};
    request.NumInfos = 1;
    request.Info[0].InfoID = id;
    if (Call(DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, &request) != TWRC_SUCCESS ||
        request.Info[0].ReturnCode != TWRC_SUCCESS || request.Info[0].ItemType != TWTY_UINT32)
        return std::nullopt;
    return static_cast<TW_UINT32>(request.Info[0].Item);
}

TW_UINT16 TwainSession::Notification() { return g_notification; }

TW_UINT16 TwainSession::WaitForNotification()
{
    // Ctrl-C ends the wait as no notification would.
    while (g_notification == MSG_NULL && !cli::Interrupted()) {
        TW_EVENT event{nullptr, MSG_NULL};
        if (Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) == TWRC_DSEVENT && event.TWMessage != MSG_NULL) {
            g_notification = event.TWMessage;
            break;
        }
        // A source that does not wait for its windows itself is not spun.
        if (g_notification == MSG_NULL)
            usleep(kIdleMicroseconds);
    }
    return std::exchange(g_notification, MSG_NULL);
}

} // namespace twainscan
