#include "halservice/service/RNXHALServiceModule.h"

#include "diag/EventLogObject.h"
#include "halservice/service/DevicePresence.h"
#include "halservice/service/HALClassIds.h"
#include "halservice/service/ModuleResources.h"
#include "halservice/service/SecurityDescriptor.h"

#include <cstdarg>
#include <cstddef>

namespace {

// A REG_SZ or REG_EXPAND_SZ value of at most 520 bytes that is empty or ends
// in its terminator; false for anything else.
bool QueryTerminatedString(HKEY hKey, LPCWSTR pszName, std::u16string* pText)
{
    WCHAR buffer[260] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer;
    LONG lRes = RegQueryValueExW(hKey, pszName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (lRes != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    DWORD chars = size / sizeof(WCHAR);
    if (chars != 0 && buffer[chars - 1] != 0)
        return false;
    if (pText)
        *pText = buffer;
    return true;
}

} // namespace

CRNXHALServiceModule* CRNXHALServiceModule::s_pModule = nullptr;

CRNXHALServiceModule::CRNXHALServiceModule(IScannerSession& scanner, IHALClassProvider& classes)
    : CTraceClient(u"HAL Service Module"), m_scanner(scanner), m_classes(classes)
{
    WCHAR name[256] = {};
    LoadStringW(nullptr, IDS_SERVICENAME, name, 256);
    m_szServiceName = name;
    InitializeCriticalSection(&m_statusLock);
    m_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    m_status.dwCurrentState = SERVICE_STOPPED;
    m_status.dwControlsAccepted = SERVICE_ACCEPT_STOP;
    m_dwThreadID = GetCurrentThreadId();
    s_pModule = this;
}

CRNXHALServiceModule::~CRNXHALServiceModule()
{
    if (m_hMonitor) {
        InterlockedExchange(&m_bMonitorExit, 1);
        SetEvent(m_hEventShutdown);
        WaitForSingleObject(m_hMonitor, INFINITE);
        CloseHandle(m_hMonitor);
    }
    // Closed here rather than by the monitor, so a late Unlock never
    // signals a closed handle.
    if (m_hEventShutdown)
        CloseHandle(m_hEventShutdown);
    RevokeClassObjects();
    ReleaseNotification();
    if (s_pModule == this)
        s_pModule = nullptr;
    DeleteCriticalSection(&m_statusLock);
}

int CRNXHALServiceModule::WinMain(int nShowCmd)
{
    SetLogApplicationName(u"Quillbox K24 HAL");
    if (!InitHALIdentity())
        return -1;
    // The process's first thread is an apartment for the whole run; a local
    // server serves its objects there.
    HRESULT hrInit = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hrInit))
        return -1;

    HRESULT nRet = S_OK;
    if (ParseCommandLine(GetCommandLineW(), &nRet))
        nRet = Start(nShowCmd);
    CoUninitialize();
    return nRet;
}

bool CRNXHALServiceModule::InitHALIdentity()
{
    WCHAR path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    return InitHALIdentity(std::u16string_view(path, length));
}

bool CRNXHALServiceModule::InitHALIdentity(std::u16string_view modulePath)
{
    HALIdentity identity;
    if (!ParseHALIdentity(modulePath, identity))
        return false;
    m_identity = identity;
    if (!m_identity.HAL_NAME.empty())
        m_szServiceName = m_identity.HAL_NAME;
    m_szModulePath.assign(modulePath);
    ReadSymbolicName();
    m_scanner.SetSymbolicName(m_szSymbolicName);
    return true;
}

HRESULT CRNXHALServiceModule::ReadSymbolicName()
{
    std::u16string keyPath = std::u16string(kImageClassKey) + u"\\" + m_identity.HALInstanceKey;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return E_FAIL;
    std::u16string path;
    const bool read = QueryTerminatedString(hKey, u"SymbolicName", &path);
    RegCloseKey(hKey);
    if (!read)
        return E_FAIL;
    m_szSymbolicName = path;
    return S_OK;
}

HRESULT CRNXHALServiceModule::Start(int nShowCmd)
{
    HKEY hAppIds = nullptr;
    LONG lRes = RegOpenKeyExW(HKEY_CLASSES_ROOT, u"AppID", 0, KEY_READ, &hAppIds);
    if (lRes != ERROR_SUCCESS) {
        m_status.dwWin32ExitCode = static_cast<DWORD>(lRes);
        return lRes;
    }
    HKEY hKey = nullptr;
    lRes = RegOpenKeyExW(hAppIds, m_identity.APPID.c_str(), 0, KEY_READ, &hKey);
    RegCloseKey(hAppIds);
    if (lRes != ERROR_SUCCESS) {
        m_status.dwWin32ExitCode = static_cast<DWORD>(lRes);
        return lRes;
    }
    // Only a copy registered as a service has LocalService.
    m_bService = QueryTerminatedString(hKey, u"LocalService", nullptr);
    RegCloseKey(hKey);

    if (!m_bService)
        return Run(nShowCmd);

    SERVICE_TABLE_ENTRYW table[] = {{m_szServiceName.data(), _ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table))
        m_status.dwWin32ExitCode = GetLastError();
    return static_cast<HRESULT>(m_status.dwWin32ExitCode);
}

void CRNXHALServiceModule::_ServiceMain(DWORD dwArgc, LPWSTR* lpszArgv)
{
    if (s_pModule)
        s_pModule->ServiceMain(dwArgc, lpszArgv);
}

DWORD CRNXHALServiceModule::_HandlerEx(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData, LPVOID)
{
    return s_pModule ? s_pModule->HandlerEx(dwControl, dwEventType, lpEventData) : ERROR_CALL_NOT_IMPLEMENTED;
}

BOOL CRNXHALServiceModule::ConsoleCtrlHandler(DWORD dwCtrlType)
{
    // A service outlives the log-off of the user who started it.
    return dwCtrlType == CTRL_LOGOFF_EVENT;
}

void CRNXHALServiceModule::ServiceMain(DWORD, LPWSTR*)
{
    m_status.dwControlsAccepted = kAcceptedControls;
    m_hDevNotify = nullptr;

    using RegisterHandlerFn = SERVICE_STATUS_HANDLE (*)(LPCWSTR, LPHANDLER_FUNCTION_EX, LPVOID);
    HMODULE hAdvapi = LoadLibraryW(u"ADVAPI32.DLL");
    auto pRegister = hAdvapi
                         ? reinterpret_cast<RegisterHandlerFn>(GetProcAddress(hAdvapi, "RegisterServiceCtrlHandlerExW"))
                         : nullptr;
    m_hServiceStatus = pRegister ? pRegister(m_szServiceName.c_str(), _HandlerEx, nullptr) : nullptr;
    if (hAdvapi)
        FreeLibrary(hAdvapi);
    if (!m_hServiceStatus)
        return; // nobody to report a state to

    // From here on every failure ends in a reported stop with its reason,
    // so the service manager never sees a service stuck in start.
    auto fail = [this](DWORD error) {
        SetExitCode(error);
        ReleaseNotification();
        SetServiceStatus(SERVICE_STOPPED);
    };

    if (!SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE))
        return fail(GetLastError());

    using RegisterNotificationFn = HDEVNOTIFY (*)(HANDLE, LPVOID, DWORD);
    HMODULE hUser = LoadLibraryW(u"user32.dll");
    auto pNotify = hUser
                       ? reinterpret_cast<RegisterNotificationFn>(GetProcAddress(hUser, "RegisterDeviceNotificationW"))
                       : nullptr;
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kImageClassGuid;
    m_hDevNotify =
        pNotify ? pNotify(reinterpret_cast<HANDLE>(m_hServiceStatus), &filter, DEVICE_NOTIFY_SERVICE_HANDLE) : nullptr;
    DWORD notifyError = m_hDevNotify ? ERROR_SUCCESS : (pNotify ? GetLastError() : ERROR_PROC_NOT_FOUND);
    if (hUser)
        FreeLibrary(hUser);
    if (!m_hDevNotify)
        return fail(notifyError);

    {
        plat::CriticalSectionGuard lock(m_statusLock);
        m_status.dwWin32ExitCode = 0;
        m_status.dwCheckPoint = 0;
        m_status.dwWaitHint = 0;
        SetServiceStatus(SERVICE_START_PENDING);
    }

    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr) && (hr != RPC_E_CHANGED_MODE || !GetModuleHandleW(u"Mscoree.dll")))
        return fail(static_cast<DWORD>(hr));
    if (SUCCEEDED(hr))
        m_bComInitialized = true;

    m_bDelayShutdown = false;
    m_scanner.Initialize(nullptr);
    SetExitCode(static_cast<DWORD>(Run(0)));
    m_scanner.UnInitialize(nullptr);

    if (m_bService && m_bComInitialized) {
        CoUninitialize();
        m_bComInitialized = false;
    }
    ReleaseNotification();
    SetServiceStatus(SERVICE_STOPPED);
}

void CRNXHALServiceModule::ReleaseNotification()
{
    if (!m_hDevNotify)
        return;
    using UnregisterFn = BOOL (*)(HDEVNOTIFY);
    HMODULE hUser = LoadLibraryW(u"user32.dll");
    auto pUnregister =
        hUser ? reinterpret_cast<UnregisterFn>(GetProcAddress(hUser, "UnregisterDeviceNotification")) : nullptr;
    if (pUnregister)
        pUnregister(m_hDevNotify);
    if (hUser)
        FreeLibrary(hUser);
    m_hDevNotify = nullptr;
}

void CRNXHALServiceModule::SetExitCode(DWORD dwExitCode)
{
    plat::CriticalSectionGuard lock(m_statusLock);
    m_status.dwWin32ExitCode = dwExitCode;
}

void CRNXHALServiceModule::SetServiceStatus(DWORD dwState)
{
    plat::CriticalSectionGuard lock(m_statusLock);
    m_status.dwCurrentState = dwState;
    if (m_hServiceStatus)
        ::SetServiceStatus(m_hServiceStatus, &m_status);
}

DWORD CRNXHALServiceModule::HandlerEx(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData)
{
    switch (dwControl) {
    case SERVICE_CONTROL_STOP:
        SetServiceStatus(SERVICE_STOP_PENDING);
        PostThreadMessageW(m_scanner.GetLoopThreadId(), WM_QUIT, 0, 0);
        SetEvent(m_scanner.GetStopEvent());
        return NO_ERROR;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE: {
        plat::CriticalSectionGuard lock(m_statusLock);
        SetServiceStatus(m_status.dwCurrentState);
        return NO_ERROR;
    }
    case SERVICE_CONTROL_SHUTDOWN:
        SetEvent(m_scanner.GetStopEvent());
        return NO_ERROR;
    case SERVICE_CONTROL_DEVICEEVENT:
        OnDeviceEvent(dwEventType, lpEventData);
        return NO_ERROR;
    case SERVICE_CONTROL_POWEREVENT:
    case SERVICE_CONTROL_SESSIONCHANGE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void CRNXHALServiceModule::OnDeviceEvent(DWORD dwEventType, LPVOID lpEventData)
{
    if (!lpEventData)
        return;
    const auto* header = static_cast<const DEV_BROADCAST_HDR*>(lpEventData);
    // The record's own size says how much of it may be read.
    if (header->dbch_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) ||
        header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return;
    const auto* broadcast = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lpEventData);
    if (broadcast->dbcc_classguid != kImageClassGuid)
        return;
    if (dwEventType != DBT_DEVICEARRIVAL && dwEventType != DBT_DEVICEQUERYREMOVEFAILED &&
        dwEventType != DBT_DEVICEREMOVECOMPLETE)
        return;

    bool present = CheckDevicePresence(m_szSymbolicName, m_identity.HALInstanceKey);
    bool online = m_scanner.IsOnline();
    if (present && !online)
        SetEvent(m_scanner.GetArrivalEvent());
    else if (!present && online)
        SetEvent(m_scanner.GetRemovalEvent());
}

HRESULT CRNXHALServiceModule::RegisterClassObjects()
{
    // Only the slot's class: the process serves no other.
    IUnknown* pFactory = m_classes.CreateClassObject(m_identity.HALModuleSlot);
    if (!pFactory)
        return S_FALSE;
    HRESULT hr =
        CoRegisterClassObject(m_identity.clsid, pFactory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &m_dwRegister);
    pFactory->Release();
    if (FAILED(hr))
        return hr;
    m_bClassRegistered = true;
    return S_OK;
}

HRESULT CRNXHALServiceModule::RevokeClassObjects()
{
    if (!m_bClassRegistered)
        return S_OK;
    m_bClassRegistered = false;
    return CoRevokeClassObject(m_dwRegister);
}

HRESULT CRNXHALServiceModule::Run(int)
{
    if (m_bService) {
        m_dwThreadID = GetCurrentThreadId();
        // A null discretionary ACL: every caller is admitted.
        std::vector<BYTE> descriptor = MakeOpenDescriptor(CurrentUserSid());
        CoInitializeSecurity(descriptor.data(), -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    }

    HRESULT hr = RegisterClassObjects();
    HRESULT hrLoop = S_OK;
    if (hr == S_FALSE) {
        m_bDelayShutdown = false;
    } else {
        if (FAILED(hr))
            return hr;
        if (!m_bService && m_bDelayShutdown && !StartMonitor()) {
            RevokeClassObjects();
            return E_FAIL;
        }
        if (m_bService) {
            LogEvent(u"Service started");
            SetServiceStatus(SERVICE_RUNNING);
        }
        hrLoop = RunMessageLoop();
    }
    HRESULT hrRevoke = RevokeClassObjects();
    return FAILED(hrRevoke) ? hrRevoke : hrLoop;
}

HRESULT CRNXHALServiceModule::RunMessageLoop()
{
    m_scanner.SetLoopThreadId(GetCurrentThreadId());
    const HANDLE handles[4] = {m_scanner.GetStopEvent(), m_scanner.GetButtonEvent(), m_scanner.GetArrivalEvent(),
                               m_scanner.GetRemovalEvent()};
    for (;;) {
        MSG msg = {};
        bool quit = false;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            quit = msg.message == WM_QUIT;
            DispatchMessageW(&msg);
        }
        if (quit)
            break;
        DWORD result = MsgWaitForMultipleObjects(4, handles, FALSE, kLoopWaitMs, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            break;
        if (result == WAIT_OBJECT_0 + 1)
            m_scanner.DispatchButtonEvents();
        else if (result == WAIT_OBJECT_0 + 2)
            m_scanner.OnDeviceChange(1);
        else if (result == WAIT_OBJECT_0 + 3)
            m_scanner.OnDeviceChange(0);
    }
    m_scanner.SendStatusEvent(-1);
    return S_OK;
}

void CRNXHALServiceModule::LogEvent(const WCHAR* pszFormat, ...)
{
    WCHAR text[256] = {};
    va_list args;
    va_start(args, pszFormat);
    plat::VFormatToBuffer(text, 256, pszFormat, args);
    va_end(args);

    HANDLE hEventSource = RegisterEventSourceW(nullptr, m_szServiceName.c_str());
    if (!hEventSource)
        return;
    LPCWSTR strings[1] = {text};
    ReportEventW(hEventSource, EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(hEventSource);
}

LONG CRNXHALServiceModule::Lock() { return InterlockedIncrement(&m_nLockCnt); }

LONG CRNXHALServiceModule::Unlock()
{
    LONG l = InterlockedDecrement(&m_nLockCnt);
    if (l == 0 && !m_bService && m_hEventShutdown) {
        InterlockedExchange(&m_bActivity, 1);
        SetEvent(m_hEventShutdown);
    }
    return l;
}

bool CRNXHALServiceModule::StartMonitor()
{
    m_hEventShutdown = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!m_hEventShutdown)
        return false;
    DWORD threadId = 0;
    m_hMonitor = CreateThread(nullptr, 0, MonitorProc, this, 0, &threadId);
    return m_hMonitor != nullptr;
}

DWORD CRNXHALServiceModule::MonitorProc(LPVOID pv)
{
    static_cast<CRNXHALServiceModule*>(pv)->MonitorShutdown();
    return 0;
}

void CRNXHALServiceModule::MonitorShutdown()
{
    for (;;) {
        WaitForSingleObject(m_hEventShutdown, INFINITE);
        DWORD dwWait = WAIT_OBJECT_0;
        // Every new signal restarts the grace period.
        while (dwWait == WAIT_OBJECT_0 && !m_bMonitorExit) {
            InterlockedExchange(&m_bActivity, 0);
            dwWait = WaitForSingleObject(m_hEventShutdown, m_dwTimeOut);
        }
        if (m_bMonitorExit)
            return;
        if (!m_bActivity && m_nLockCnt == 0)
            break;
    }
    PostThreadMessageW(m_dwThreadID, WM_QUIT, 0, 0);
}
