// Panel keys and status events: the key poll of the scanner thread, the
// button-event queue, and the recipients that the main thread calls.
#include "halservice/scanner/ScannerWrap.h"

#include "halservice/LogText.h"
#include "halservice/USBDevice.h"
#include "halservice/interfaces/RNXHALInterfaces.h"

#include <cwctype>
#include <utility>

namespace {

// Key numbers of the panel key state.
constexpr BYTE kKeyNone = 0;
constexpr BYTE kKeySimplex = 1;
constexpr BYTE kKeyDuplex = 2;
constexpr BYTE kKeyUp = 3;
constexpr BYTE kKeyDown = 4;

// Kinds in bits 7-6 of the key data.
constexpr BYTE kKindPress = 0;
constexpr BYTE kKindRelease = 1;
constexpr BYTE kKindHeld = 2;
constexpr BYTE kKindReset = 3;

constexpr BYTE kMoreEvents = 0x80;
constexpr DWORD kRecipientCounterMask = 0x00FFFFFF;

const WCHAR* KeyName(BYTE key)
{
    switch (key) {
    case kKeySimplex:
        return u"SIMPLEX";
    case kKeyDuplex:
        return u"DUPLEX";
    case kKeyUp:
        return u"UP";
    case kKeyDown:
        return u"DOWN";
    default:
        return u"";
    }
}

// Bits 5-4 of the key data: 00 UP, 01 DOWN, 10 SIMPLEX, 11 DUPLEX.
BYTE KeyFromData(BYTE data)
{
    static constexpr BYTE keys[4] = {kKeyUp, kKeyDown, kKeySimplex, kKeyDuplex};
    return keys[(data >> 4) & 0x03];
}

bool EqualsNoCase(const WCHAR* a, const char16_t* b)
{
    for (; *a && *b; ++a, ++b) {
        if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b)))
            return false;
    }
    return *a == *b;
}

} // namespace

void CScannerWrap::QueueButtonEvent(BYTE key, LONG pressType)
{
    ButtonEventRecord record{};
    const WCHAR* name = KeyName(key);
    for (size_t i = 0; i + 1 < kButtonNameChars && name[i]; ++i)
        record.szName[i] = name[i];
    record.lPressType = pressType;
    record.lFuncNumber = 1;
    {
        plat::CriticalSectionGuard lock(m_buttonQueueLock);
        m_buttonQueue.push_back(record);
    }
    SetEvent(m_buttonEvent);
}

void CScannerWrap::PollButtons(BYTE drain)
{
    if (m_device)
        m_device->Open();

    bool draining = drain != 0;
    for (;;) {
        KeyEvent event{};
        if (!m_buttonPoll.GetKeyEvent(&event) || event.Header.byRemainAndNumEvents == 0)
            break;
        if (!draining) {
            const BYTE kind = static_cast<BYTE>(event.Data.byKeyData >> 6);
            const BYTE key = KeyFromData(event.Data.byKeyData);
            if (kind == kKindReset) {
                draining = true;
            } else if (kind == kKindPress) {
                if (m_heldKey == kKeyNone)
                    m_heldKey = key;
            } else if (kind == kKindRelease) {
                if (m_heldKey != kKeyNone && key == m_heldKey) {
                    m_heldKey = kKeyNone;
                    if (!m_longPressSent)
                        QueueButtonEvent(key, kShortPress);
                    m_longPressSent = 0;
                }
            } else if (kind == kKindHeld) {
                if (m_heldKey != kKeyNone && key == m_heldKey) {
                    QueueButtonEvent(key, kLongPress);
                    // UP and DOWN repeat while held and still send a short press.
                    if (key == kKeySimplex || key == kKeyDuplex)
                        m_longPressSent = 1;
                }
            }
        }
        if (!(event.Header.byRemainAndNumEvents & kMoreEvents))
            break;
    }

    if (draining) {
        m_heldKey = kKeyNone;
        m_longPressSent = 0;
    }
    if (m_device)
        m_device->Close();
    m_pollCount.fetch_add(1);
}

std::vector<ButtonEventRecord> CScannerWrap::PeekButtonEvents()
{
    plat::CriticalSectionGuard lock(m_buttonQueueLock);
    return {m_buttonQueue.begin(), m_buttonQueue.end()};
}

void CScannerWrap::DispatchButtonEvents()
{
    ButtonEventRecord record{};
    bool any = false;
    {
        plat::CriticalSectionGuard lock(m_buttonQueueLock);
        while (!m_buttonQueue.empty()) {
            record = m_buttonQueue.front();
            m_buttonQueue.pop_front();
            any = true;
        }
    }
    if (any) {
        record.szName[kButtonNameChars - 1] = 0;
        SendButtonEvent(record.szName, record.lPressType, record.lFuncNumber);
    }
}

LONG CScannerWrap::AddButtonRecipient(IRNXButton* sink, DWORD processId)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddButtonRecipient Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"AddButtonRecipient Params: pIB = 0x%08X, PID = 0x%08X", Hex32(sink), processId);

    LONG id = -1;
    if (sink) {
        plat::CriticalSectionGuard lock(m_recipientsLock);
        // The counter stays below the session bits.
        m_recipientCounter = static_cast<LONG>((static_cast<DWORD>(m_recipientCounter) + 1) & kRecipientCounterMask);
        if (m_recipientCounter == 0)
            m_recipientCounter = 1;
        DWORD session = 0;
        if (m_getActiveConsoleSessionId) {
            session = m_getActiveConsoleSessionId();
            DWORD processSession = 0;
            if (ProcessIdToSessionId(processId, &processSession))
                session = processSession;
        }
        const DWORD value = ((session + 1) << 24) | static_cast<DWORD>(m_recipientCounter);
        id = static_cast<LONG>(value);
        try {
            auto [it, inserted] = m_buttonRecipients.emplace(id, sink);
            if (inserted) {
                // The map keeps its own reference: the registering object may
                // release its sink while the entry stays.
                sink->AddRef();
            } else {
                id = -1;
            }
        } catch (...) {
            id = -1;
        }
    }

    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddButtonRecipient Exit. [0x%08X]", static_cast<DWORD>(id));
    return id;
}

void CScannerWrap::RemoveButtonRecipient(LONG recipientId)
{
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"RemoveButtonRecipient Params: 0x%08X", static_cast<DWORD>(recipientId));
    IRNXButton* removed = nullptr;
    {
        plat::CriticalSectionGuard lock(m_recipientsLock);
        auto it = m_buttonRecipients.find(recipientId);
        if (it != m_buttonRecipients.end()) {
            removed = it->second;
            m_buttonRecipients.erase(it);
        }
    }
    if (removed)
        removed->Release();
}

void CScannerWrap::RemoveButtonRecipient(IRNXButton* sink)
{
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"RemoveButtonRecipient Params: pIB = 0x%08X", Hex32(sink));
    IRNXButton* removed = nullptr;
    {
        plat::CriticalSectionGuard lock(m_recipientsLock);
        for (auto it = m_buttonRecipients.begin(); it != m_buttonRecipients.end(); ++it) {
            if (it->second == sink) {
                removed = it->second;
                m_buttonRecipients.erase(it);
                break;
            }
        }
    }
    if (removed)
        removed->Release();
}

DWORD CScannerWrap::GetConsoleUserToken()
{
    if (m_getActiveConsoleSessionId) {
        const DWORD session = m_getActiveConsoleSessionId();
        if (session == 0xFFFFFFFF || !m_queryUserToken)
            return 0xFFFFFFFF;
        HANDLE token = nullptr;
        if (!m_queryUserToken(session, &token))
            return 0xFFFFFFFF;
        CloseHandle(token);
        return session;
    }

    // Without the session functions: somebody is logged on when the shell runs.
    DWORD result = 0xFFFFFFFF;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
            if (EqualsNoCase(entry.szExeFile, u"explorer.exe")) {
                result = 0;
                break;
            }
        }
        CloseHandle(snapshot);
    }
    return result;
}

namespace {

// The recipients as they were when an event is sent, each with a reference,
// so that a sink call that dispatches an Unregister does not pull an entry
// from under the walk.
std::vector<std::pair<LONG, IRNXButton*>> TakeRecipients(const std::map<LONG, IRNXButton*>& recipients)
{
    std::vector<std::pair<LONG, IRNXButton*>> copy(recipients.begin(), recipients.end());
    for (auto& entry : copy)
        entry.second->AddRef();
    return copy;
}

} // namespace

void CScannerWrap::SendButtonEvent(const WCHAR* name, LONG pressType, LONG funcNumber)
{
    const DWORD session = GetConsoleUserToken();
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"SendButtonEvent Params: dwSessionID = 0x%08X :%s:%d:%d\n", session, name, pressType, funcNumber);

    plat::CriticalSectionGuard lock(m_recipientsLock);
    if (session == 0xFFFFFFFF)
        return;
    std::vector<std::pair<LONG, IRNXButton*>> recipients;
    try {
        recipients = TakeRecipients(m_buttonRecipients);
    } catch (...) {
        return;
    }
    const DWORD sessionTag = (session + 1) & 0xFF;
    for (auto& [id, sink] : recipients) {
        if ((static_cast<DWORD>(id) >> 24) == sessionTag) {
            try {
                // Freed also when the sink throws; a name that cannot be
                // copied (no memory) throws before the call.
                const plat::ScopedBstr text(name);
                sink->SendButtonEvent(text.Get(), pressType, funcNumber);
            } catch (...) {
                // One failing client does not keep the others from the event.
            }
        }
        sink->Release();
    }
}

void CScannerWrap::SendStatusEvent(LONG status)
{
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"SendStatusEvent Params: lStatus = 0x%08X", static_cast<DWORD>(status));
    plat::CriticalSectionGuard lock(m_recipientsLock);
    std::vector<std::pair<LONG, IRNXButton*>> recipients;
    try {
        recipients = TakeRecipients(m_buttonRecipients);
    } catch (...) {
        return;
    }
    for (auto& [id, sink] : recipients) {
        try {
            sink->SendStatusEvent(status);
        } catch (...) {
        }
        sink->Release();
    }
}

void CScannerWrap::OnDeviceChange(int arrived)
{
    {
        plat::CriticalSectionGuard lock(m_buttonQueueLock);
        m_buttonQueue.clear();
    }
    if (arrived) {
        Initialize(nullptr);
        SendStatusEvent(SCANNER_STATUS_ARRIVED);
    } else {
        UnInitialize(nullptr);
        SendStatusEvent(SCANNER_STATUS_REMOVED);
    }
}
