#include "diag/DiagnosticsCalls.h"

#include "platform/oleauto/ScopedBstr.h"
#include "platform/oleauto/comerror.h"

namespace {

void Check(HRESULT hr)
{
    if (FAILED(hr))
        _com_issue_error(hr);
}

// The list interface of what a list-returning call handed out.
plat::ComPtr<IDiagnosticsNameList> AsNameList(IUnknown* answer)
{
    plat::ComPtr<IUnknown> owned;
    owned.Attach(answer);
    if (!owned)
        _com_issue_error(E_POINTER);
    plat::ComPtr<IDiagnosticsNameList> list;
    Check(owned.QueryInterface(IID_IDiagnosticsNameList, list));
    return list;
}

} // namespace

LONG DiagnosticsNameListCalls::Count()
{
    LONG count = 0;
    Check(m_list->Count(&count));
    return count;
}

std::u16string DiagnosticsNameListCalls::Item(LONG index)
{
    plat::ScopedBstr name;
    Check(m_list->Item(index, name.Out()));
    return std::u16string(name.View());
}

void DiagnosticsConfigCalls::RegisterComponent(std::u16string_view application, std::u16string_view logName)
{
    plat::ScopedBstr app(application), name(logName);
    Check(m_object->RegisterComponent(app.Get(), name.Get()));
}

void DiagnosticsConfigCalls::WriteLog(std::u16string_view application, DWORD level, std::u16string_view logName,
                                      std::u16string_view timestamp, std::u16string_view processId,
                                      std::u16string_view threadId, std::u16string_view text)
{
    plat::ScopedBstr app(application), name(logName), time(timestamp), pid(processId), tid(threadId), line(text);
    Check(m_object->WriteLog(app.Get(), static_cast<LONG>(level), name.Get(), time.Get(), pid.Get(), tid.Get(),
                             line.Get()));
}

plat::ComPtr<IDiagnosticsNameList> DiagnosticsConfigCalls::GetComponents(std::u16string_view application)
{
    plat::ScopedBstr app(application);
    IUnknown* answer = nullptr;
    Check(m_object->GetComponents(app.Get(), &answer));
    return AsNameList(answer);
}

plat::ComPtr<IDiagnosticsNameList> DiagnosticsConfigCalls::GetApplications()
{
    IUnknown* answer = nullptr;
    Check(m_object->GetApplications(&answer));
    return AsNameList(answer);
}

bool DiagnosticsConfigCalls::IsComponentEnabled(std::u16string_view application, std::u16string_view logName)
{
    plat::ScopedBstr app(application), name(logName);
    VARIANT_BOOL enabled = VARIANT_FALSE;
    Check(m_object->IsComponentEnabled(app.Get(), name.Get(), &enabled));
    return enabled != VARIANT_FALSE;
}

void DiagnosticsConfigCalls::SetComponentEnabled(std::u16string_view application, std::u16string_view logName,
                                                 bool enabled)
{
    plat::ScopedBstr app(application), name(logName);
    Check(m_object->SetComponentEnabled(app.Get(), name.Get(), enabled ? VARIANT_TRUE : VARIANT_FALSE));
}

void DiagnosticsConfigCalls::OpenSettings(std::u16string_view settingsName)
{
    plat::ScopedBstr name(settingsName);
    Check(m_object->OpenSettings(name.Get()));
}

DWORD DiagnosticsConfigCalls::GetLogLevelMask()
{
    LONG mask = 0;
    Check(m_object->GetLogLevelMask(&mask));
    return static_cast<DWORD>(mask);
}

void DiagnosticsConfigCalls::SetLogLevelMask(DWORD mask) { Check(m_object->SetLogLevelMask(static_cast<LONG>(mask))); }
