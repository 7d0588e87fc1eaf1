#include "tools/diagnostics/ChangeSignal.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/eventlog/eventlog.h"

namespace diagnostics {

HRESULT SignalSettingsChanged()
{
    HANDLE source = RegisterEventSourceW(nullptr, u"DiagnosticsConfig");
    if (!source)
        return HRESULT_FROM_WIN32(GetLastError());
    const WCHAR* strings[] = {u"Diagnostics settings changed."};
    BOOL written = ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
    HRESULT hr = written ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    DeregisterEventSource(source);
    return hr;
}

} // namespace diagnostics
