// The registration side of the service module: the command-line switches,
// the application identifier, HAL_CLSID in the device key and the Windows
// service.
#include "halservice/service/CommandLineSwitch.h"
#include "halservice/service/HALClassIds.h"
#include "halservice/service/ModuleResources.h"
#include "halservice/service/RNXHALServiceModule.h"
#include "halservice/service/SecurityDescriptor.h"
#include "platform/registry/Registrar.h"

#include <cstdio>

namespace {

// The program name opens the line; its folders are no switches.
std::u16string_view AfterProgramName(std::u16string_view line)
{
    size_t at = 0;
    if (!line.empty() && line[0] == u'"') {
        size_t close = line.find(u'"', 1);
        at = close == std::u16string_view::npos ? line.size() : close + 1;
    }
    size_t end = line.find_first_of(u" \t", at);
    return end == std::u16string_view::npos ? std::u16string_view() : line.substr(end);
}

constexpr DWORD kServiceStopWaitMs = 10000;
constexpr DWORD kServiceStopPollMs = 100;

} // namespace

bool CRNXHALServiceModule::ParseCommandLine(LPCWSTR lpCmdLine, HRESULT* pnRetCode)
{
    *pnRetCode = S_OK;
    const std::u16string_view line = AfterProgramName(lpCmdLine ? lpCmdLine : u"");
    HRESULT hr = S_OK;
    const HALSwitch which = FindCommandLineSwitch(line);
    switch (which) {
    case HALSwitch::None:
        return true;
    case HALSwitch::UnregServer:
    case HALSwitch::UnregServerPerUser:
        m_bPerUser = which == HALSwitch::UnregServerPerUser;
        hr = UpdateClassRegistry(false);
        if (SUCCEEDED(hr))
            hr = UnregisterAppId();
        break;
    case HALSwitch::RegServer:
    case HALSwitch::RegServerPerUser:
        m_bPerUser = which == HALSwitch::RegServerPerUser;
        hr = RegisterAppId(false);
        if (SUCCEEDED(hr))
            hr = UpdateClassRegistry(true);
        if (SUCCEEDED(hr))
            hr = WriteHALCLSID();
        break;
    case HALSwitch::Service:
        m_bPerUser = false;
        hr = RegisterAppId(true);
        if (SUCCEEDED(hr))
            hr = UpdateClassRegistry(true);
        if (SUCCEEDED(hr))
            hr = WriteHALCLSID();
        break;
    }
    *pnRetCode = hr;
    return false;
}

void CRNXHALServiceModule::PrepareRegistrar(plat::Registrar& registrar)
{
    registrar.SetPerUser(m_bPerUser);
    registrar.AddReplacement(u"MODULE", m_szModulePath);
    registrar.AddReplacement(u"APPID", m_identity.APPID);
    registrar.AddReplacement(u"HAL_NAME", m_identity.HAL_NAME);
    registrar.AddReplacement(u"CLSID", plat::GuidToWideString(m_identity.clsid));
}

HRESULT CRNXHALServiceModule::UpdateClassRegistry(bool bRegister)
{
    plat::Registrar registrar;
    PrepareRegistrar(registrar);
    std::string_view script = m_classes.ClassScript(m_identity.HALModuleSlot);
    if (script.empty())
        return S_OK;
    return bRegister ? registrar.Register(script) : registrar.Unregister(script);
}

HRESULT CRNXHALServiceModule::WriteHALCLSID()
{
    // Without an instance key the path would name the image class key
    // itself, which is no device's: nothing is written then.
    if (m_identity.HALInstanceKey.empty())
        return S_OK;
    std::u16string keyPath = std::u16string(kImageClassKey) + u"\\" + m_identity.HALInstanceKey;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ | KEY_WRITE, &hKey) != ERROR_SUCCESS)
        return E_FAIL;
    const CLSID& c = m_identity.clsid;
    WCHAR text[260] = {};
    plat::FormatToBuffer(text, 260, u"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", c.Data1, c.Data2, c.Data3,
                         c.Data4[0], c.Data4[1], c.Data4[2], c.Data4[3], c.Data4[4], c.Data4[5], c.Data4[6],
                         c.Data4[7]);
    DWORD bytes = static_cast<DWORD>((std::char_traits<WCHAR>::length(text) + 1) * sizeof(WCHAR));
    LONG lRes = RegSetValueExW(hKey, u"HAL_CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    RegCloseKey(hKey);
    // Clients find the class only through this value: a failed write is a
    // failed registration.
    return lRes == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(lRes);
}

HRESULT CRNXHALServiceModule::RegisterAppId(bool bService)
{
    if (!UninstallService())
        return E_FAIL;

    plat::Registrar registrar;
    PrepareRegistrar(registrar);
    HRESULT hr = registrar.Register(LoadAppIdScript());
    if (FAILED(hr))
        return hr;

    HKEY hAppIds = nullptr;
    LONG lRes = RegOpenKeyExW(HKEY_CLASSES_ROOT, u"AppID", 0, KEY_WRITE, &hAppIds);
    if (lRes != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(lRes);
    HKEY hKey = nullptr;
    lRes = RegCreateKeyExW(hAppIds, m_identity.APPID.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &hKey,
                           nullptr);
    RegCloseKey(hAppIds);
    if (lRes != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(lRes);
    RegDeleteValueW(hKey, u"LocalService");

    if (bService) {
        const DWORD nameBytes = static_cast<DWORD>((m_szServiceName.size() + 1) * sizeof(WCHAR));
        lRes = RegSetValueExW(hKey, u"LocalService", 0, REG_SZ, reinterpret_cast<const BYTE*>(m_szServiceName.c_str()),
                              nameBytes);
        if (lRes == ERROR_SUCCESS) {
            // Every caller may launch and use the class.
            std::vector<BYTE> descriptor = MakeEveryoneDescriptor(CurrentUserSid(), COM_RIGHTS_EXECUTE);
            RegDeleteValueW(hKey, u"LaunchPermission");
            RegDeleteValueW(hKey, u"AccessPermission");
            lRes = RegSetValueExW(hKey, u"LaunchPermission", 0, REG_BINARY, descriptor.data(),
                                  static_cast<DWORD>(descriptor.size()));
            if (lRes == ERROR_SUCCESS)
                lRes = RegSetValueExW(hKey, u"AccessPermission", 0, REG_BINARY, descriptor.data(),
                                      static_cast<DWORD>(descriptor.size()));
        }
        RegCloseKey(hKey);
        if (lRes != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(lRes);
        return InstallService() ? S_OK : E_FAIL;
    }
    RegCloseKey(hKey);
    return S_OK;
}

HRESULT CRNXHALServiceModule::UnregisterAppId()
{
    if (!UninstallService())
        return E_FAIL;
    HKEY hAppIds = nullptr;
    LONG lRes = RegOpenKeyExW(HKEY_CLASSES_ROOT, u"AppID", 0, KEY_WRITE, &hAppIds);
    if (lRes != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(lRes);
    HKEY hKey = nullptr;
    lRes = RegOpenKeyExW(hAppIds, m_identity.APPID.c_str(), 0, KEY_READ | KEY_WRITE, &hKey);
    RegCloseKey(hAppIds);
    if (lRes != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(lRes);
    RegDeleteValueW(hKey, u"LocalService");
    RegCloseKey(hKey);

    plat::Registrar registrar;
    PrepareRegistrar(registrar);
    return registrar.Unregister(LoadAppIdScript());
}

bool CRNXHALServiceModule::InstallService()
{
    SC_HANDLE hSCM = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (hSCM) {
        SC_HANDLE hExisting = OpenServiceW(hSCM, m_szServiceName.c_str(), SERVICE_QUERY_CONFIG);
        CloseServiceHandle(hSCM);
        if (hExisting) {
            CloseServiceHandle(hExisting);
            return true;
        }
    }

    hSCM = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!hSCM) {
        ShowMessage(u"Could not open Service Manager");
        return false;
    }
    const std::u16string binaryPath = u"\"" + m_szModulePath + u"\"";
    // A double-null list of one name.
    static const WCHAR kDependencies[] = u"RPCSS\0";
    SC_HANDLE hService = CreateServiceW(hSCM, m_szServiceName.c_str(), m_szServiceName.c_str(), SERVICE_ALL_ACCESS,
                                        SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                        binaryPath.c_str(), nullptr, nullptr, kDependencies, nullptr, nullptr);
    if (!hService) {
        CloseServiceHandle(hSCM);
        ShowMessage(u"Could not start service");
        return false;
    }
    CloseServiceHandle(hService);
    CloseServiceHandle(hSCM);
    return true;
}

bool CRNXHALServiceModule::UninstallService()
{
    SC_HANDLE hSCM = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (hSCM) {
        SC_HANDLE hExisting = OpenServiceW(hSCM, m_szServiceName.c_str(), SERVICE_QUERY_CONFIG);
        CloseServiceHandle(hSCM);
        if (!hExisting)
            return true;
        CloseServiceHandle(hExisting);
    }

    hSCM = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!hSCM) {
        ShowMessage(u"Could not open Service Manager");
        return false;
    }
    SC_HANDLE hService = OpenServiceW(hSCM, m_szServiceName.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    if (!hService) {
        CloseServiceHandle(hSCM);
        ShowMessage(u"Could not open service");
        return false;
    }
    SERVICE_STATUS status = {};
    bool stopping = true;
    if (!ControlService(hService, SERVICE_CONTROL_STOP, &status)) {
        DWORD error = GetLastError();
        stopping = false;
        if (error != ERROR_SERVICE_NOT_ACTIVE &&
            !(error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL && status.dwCurrentState == SERVICE_STOP_PENDING))
            ShowMessage(u"Could not stop service");
        else if (error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL)
            stopping = true;
    }
    bool deleted = DeleteService(hService) != FALSE;
    // A service created again right away needs the old one gone first.
    if (deleted && stopping)
        WaitForServiceStop(hService);
    CloseServiceHandle(hService);
    CloseServiceHandle(hSCM);
    if (!deleted) {
        ShowMessage(u"Could not delete service");
        return false;
    }
    return true;
}

bool CRNXHALServiceModule::WaitForServiceStop(SC_HANDLE hService)
{
    for (DWORD waited = 0; waited < kServiceStopWaitMs; waited += kServiceStopPollMs) {
        SERVICE_STATUS status = {};
        if (!QueryServiceStatus(hService, &status) || status.dwCurrentState == SERVICE_STOPPED)
            return true;
        Sleep(kServiceStopPollMs);
    }
    return false;
}

void CRNXHALServiceModule::ShowMessage(const WCHAR* pszText)
{
    // No desktop to show a box on: the text goes to the error output and
    // the event log under the service name.
    std::fprintf(stderr, "%s: %s\n", Utf16ToUtf8(m_szServiceName).c_str(), Utf16ToUtf8(pszText).c_str());
    LogEvent(u"%s", pszText);
}
