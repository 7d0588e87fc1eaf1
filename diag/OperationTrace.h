// The entry and exit lines of a traced operation:
//
//     TraceEntered(*this, u"Configure");      // "Configure Entered."
//     ...
//     TraceExit(*this, u"Configure", hr);     // "Configure Exit. Result = 0x80004005"
//
// Each is written only when the client traces. An operation that gives up
// before its work writes no exit line: it simply returns without TraceExit.
#pragma once

#include "diag/TraceClient.h"

inline void TraceEntered(CTraceClient& client, const WCHAR* operation)
{
    if (client.IsLogging(LOG_TRACE))
        client.LogTrace(u"%s Entered.", operation);
}

inline void TraceExit(CTraceClient& client, const WCHAR* operation, HRESULT result)
{
    if (client.IsLogging(LOG_TRACE))
        client.LogTrace(u"%s Exit. Result = 0x%08X", operation, result);
}
