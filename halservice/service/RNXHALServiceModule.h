// The hardware-service program's module: its identity from its own file
// name, the registration switches, the choice between running as a Windows
// service and as a local COM server, the service control handler and the
// main loop that also serves the scanner session's events.
#pragma once

#include "diag/TraceClient.h"
#include "halservice/service/HALIdentity.h"
#include "halservice/service/ServiceHost.h"
#include "platform/windows.h"

#include <string>

namespace plat {
class Registrar;
}

class CRNXHALServiceModule : public CTraceClient {
public:
    // The main loop's wait for the session's events and new input.
    static constexpr DWORD kLoopWaitMs = 2000;
    // How long a local server stays after its last object went.
    static constexpr DWORD kShutdownTimeoutMs = 5000;
    // The service manager's control set this service accepts.
    static constexpr DWORD kAcceptedControls = 0xE7;

    CRNXHALServiceModule(IScannerSession& scanner, IHALClassProvider& classes);
    ~CRNXHALServiceModule() override;
    CRNXHALServiceModule(const CRNXHALServiceModule&) = delete;
    CRNXHALServiceModule& operator=(const CRNXHALServiceModule&) = delete;

    // The process from entry to exit; the result is the exit code.
    int WinMain(int nShowCmd);

    // Identity: from the program's own path, or from the path given.
    bool InitHALIdentity();
    bool InitHALIdentity(std::u16string_view modulePath);
    HRESULT ReadSymbolicName();

    // Registration: false when the process should end with *pnRetCode.
    bool ParseCommandLine(LPCWSTR lpCmdLine, HRESULT* pnRetCode);
    HRESULT RegisterAppId(bool bService);
    HRESULT UnregisterAppId();
    HRESULT WriteHALCLSID();
    bool InstallService();
    bool UninstallService();
    // The slot's class (its registry script).
    HRESULT UpdateClassRegistry(bool bRegister);

    // Running.
    HRESULT Start(int nShowCmd);
    void ServiceMain(DWORD dwArgc, LPWSTR* lpszArgv);
    DWORD HandlerEx(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData);
    HRESULT Run(int nShowCmd);
    HRESULT RunMessageLoop();
    void LogEvent(const WCHAR* pszFormat, ...);

    // The process lock every created object holds.
    LONG Lock();
    LONG Unlock();

    const HALIdentity& Identity() const { return m_identity; }
    const std::u16string& ServiceName() const { return m_szServiceName; }
    const std::u16string& SymbolicName() const { return m_szSymbolicName; }
    const SERVICE_STATUS& Status() const { return m_status; }
    bool IsService() const { return m_bService; }
    // For a run without the service manager (tests, local server).
    void SetServiceMode(bool bService) { m_bService = bService; }
    void SetDelayedShutdown(bool bDelay) { m_bDelayShutdown = bDelay; }

    // The module of the process, for the static entry points.
    static CRNXHALServiceModule* Instance() { return s_pModule; }

private:
    static void _ServiceMain(DWORD dwArgc, LPWSTR* lpszArgv);
    static DWORD _HandlerEx(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData, LPVOID lpContext);
    static BOOL ConsoleCtrlHandler(DWORD dwCtrlType);
    static DWORD MonitorProc(LPVOID pv);

    // The control handler runs on the dispatcher's thread and reports the
    // status too: every change and report is made under m_statusLock.
    void SetServiceStatus(DWORD dwState);
    void SetExitCode(DWORD dwExitCode);
    void OnDeviceEvent(DWORD dwEventType, LPVOID lpEventData);
    HRESULT RegisterClassObjects();
    HRESULT RevokeClassObjects();
    bool StartMonitor();
    void MonitorShutdown();
    bool WaitForServiceStop(SC_HANDLE hService);
    void ShowMessage(const WCHAR* pszText);
    void ReleaseNotification();
    // Replacements and the per-user mode of the switch being run.
    void PrepareRegistrar(plat::Registrar& registrar);

    static CRNXHALServiceModule* s_pModule;

    IScannerSession& m_scanner;
    IHALClassProvider& m_classes;

    HALIdentity m_identity;
    std::u16string m_szServiceName;
    std::u16string m_szSymbolicName;
    std::u16string m_szModulePath;

    SERVICE_STATUS m_status{};
    CRITICAL_SECTION m_statusLock;
    SERVICE_STATUS_HANDLE m_hServiceStatus = nullptr;
    HDEVNOTIFY m_hDevNotify = nullptr;
    bool m_bService = false;
    bool m_bComInitialized = false;
    bool m_bPerUser = false;

    // Local-server shutdown.
    DWORD m_dwThreadID = 0;
    HANDLE m_hEventShutdown = nullptr;
    HANDLE m_hMonitor = nullptr;
    DWORD m_dwTimeOut = kShutdownTimeoutMs;
    bool m_bDelayShutdown = true;
    volatile LONG m_bActivity = 0;
    volatile LONG m_bMonitorExit = 0;
    volatile LONG m_nLockCnt = 0;

    DWORD m_dwRegister = 0;
    bool m_bClassRegistered = false;
};
