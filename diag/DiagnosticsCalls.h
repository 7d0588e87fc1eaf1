// Calls into the diagnostics component that raise a failed HRESULT as a
// _com_error, so a caller handles failure of a whole sequence in one place.
#pragma once

#include "diag/DiagnosticsConfig.h"
#include "platform/com/ComPtr.h"

#include <string>
#include <string_view>

class DiagnosticsNameListCalls {
public:
    explicit DiagnosticsNameListCalls(IDiagnosticsNameList* list) : m_list(list) {}

    LONG Count();
    // index counted from 1
    std::u16string Item(LONG index);

private:
    IDiagnosticsNameList* m_list; // not owned
};

class DiagnosticsConfigCalls {
public:
    explicit DiagnosticsConfigCalls(IDiagnosticsConfig* object) : m_object(object) {}

    void RegisterComponent(std::u16string_view application, std::u16string_view logName);
    void WriteLog(std::u16string_view application, DWORD level, std::u16string_view logName,
                  std::u16string_view timestamp, std::u16string_view processId, std::u16string_view threadId,
                  std::u16string_view text);
    plat::ComPtr<IDiagnosticsNameList> GetComponents(std::u16string_view application);
    plat::ComPtr<IDiagnosticsNameList> GetApplications();
    bool IsComponentEnabled(std::u16string_view application, std::u16string_view logName);
    void SetComponentEnabled(std::u16string_view application, std::u16string_view logName, bool enabled);
    void OpenSettings(std::u16string_view settingsName);
    DWORD GetLogLevelMask();
    void SetLogLevelMask(DWORD mask);

private:
    IDiagnosticsConfig* m_object; // not owned
};
