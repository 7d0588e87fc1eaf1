// The outside diagnostics component, DiagnosticsConfig: it receives every
// log record, learns the log names of each application, and answers which
// of them are enabled and with which level mask.
//
// Both interfaces are dual (slots 0-6 are IDispatch's); the slot of each
// operation is fixed and noted beside it. The log sink uses slots 8, 9 and
// 11-14 of IDiagnosticsConfig and 8-9 of IDiagnosticsNameList; the others
// serve the settings tool.
#pragma once

#include "platform/base/guid.h"
#include "platform/oleauto/bstr.h"
#include "platform/oleauto/dispatch.h"

// {828107EC-5F0A-4E76-8217-0DA781449C11}
inline constexpr CLSID CLSID_DiagnosticsConfig = plat::MakeGuid("828107EC-5F0A-4E76-8217-0DA781449C11");
// {FC424A0D-3791-45F4-A7D9-61497A56AE0E}
inline constexpr IID IID_IDiagnosticsConfig = plat::MakeGuid("FC424A0D-3791-45F4-A7D9-61497A56AE0E");
// {BF6D61E3-9CC8-45A9-B58A-21E0C522D279}
inline constexpr IID IID_IDiagnosticsNameList = plat::MakeGuid("BF6D61E3-9CC8-45A9-B58A-21E0C522D279");

struct IDiagnosticsConfig : IDispatch {
    // 7: the applications that have registered log names, as a name list.
    virtual HRESULT STDMETHODCALLTYPE GetApplications(IUnknown** list) = 0;
    // 8: makes the log name known under the application (disabled at first).
    virtual HRESULT STDMETHODCALLTYPE RegisterComponent(BSTR application, BSTR logName) = 0;
    // 9: one record.
    virtual HRESULT STDMETHODCALLTYPE WriteLog(BSTR application, LONG level, BSTR logName, BSTR timestamp,
                                               BSTR processId, BSTR threadId, BSTR text) = 0;
    // 10: enables or disables a log name; every process that watches the
    // event log reloads its settings.
    virtual HRESULT STDMETHODCALLTYPE SetComponentEnabled(BSTR application, BSTR logName, VARIANT_BOOL enabled) = 0;
    // 11: the log names of the application, as a name list.
    virtual HRESULT STDMETHODCALLTYPE GetComponents(BSTR application, IUnknown** list) = 0;
    // 12
    virtual HRESULT STDMETHODCALLTYPE IsComponentEnabled(BSTR application, BSTR logName, VARIANT_BOOL* enabled) = 0;
    // 13: chooses the named settings that GetLogLevelMask reads.
    virtual HRESULT STDMETHODCALLTYPE OpenSettings(BSTR settingsName) = 0;
    // 14: LOG_ERROR | LOG_WARNING | LOG_TRACE bits of the open settings.
    virtual HRESULT STDMETHODCALLTYPE GetLogLevelMask(LONG* mask) = 0;
    // 15: changes the open settings' level mask, as SetComponentEnabled does.
    virtual HRESULT STDMETHODCALLTYPE SetLogLevelMask(LONG mask) = 0;
};

struct IDiagnosticsNameList : IDispatch {
    // 7: the application whose names these are (empty for the list of
    // applications).
    virtual HRESULT STDMETHODCALLTYPE GetApplication(BSTR* application) = 0;
    // 8: index counted from 1; E_INVALIDARG outside 1..Count.
    virtual HRESULT STDMETHODCALLTYPE Item(LONG index, BSTR* name) = 0;
    // 9
    virtual HRESULT STDMETHODCALLTYPE Count(LONG* count) = 0;
};
