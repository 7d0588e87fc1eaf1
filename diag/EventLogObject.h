// The process's log sink: forwards every record to the outside diagnostics
// component (DiagnosticsConfig) and keeps the mask cells of the log-name
// registry in step with that component's settings.
//
// A settings change reaches the process through the event log: the sink
// registers an event source only to be told when the log changes, and a
// watcher thread then reloads the settings. Without the event source or the
// component, every mask stays 0 and nothing is written.
//
// Every CEventLogObject shares one process-wide state, made by the first and
// torn down by the last. Traced objects get the sink with GetEventLogObject
// and give it up with ReleaseEventLogObject; the sink lives while anyone
// still holds it.
#pragma once

#include "diag/DebugTrace.h"

#include <memory>
#include <string>

struct EventLogSinkState;

class CEventLogObject : public CDebugTrace {
public:
    // Sets up the shared state when it is the first instance: event source,
    // watcher thread, first settings reload. Blocks until the watcher has
    // started or failed, dispatching the calling thread's messages meanwhile;
    // an instance made on another thread during the setup waits for its end.
    CEventLogObject();
    // The last instance stops the watcher, waiting for it at most 5000 ms.
    ~CEventLogObject() override;
    CEventLogObject(const CEventLogObject&) = delete;
    CEventLogObject& operator=(const CEventLogObject&) = delete;

    // Registers the name in the log-name registry; a name new to the process
    // is announced to the diagnostics component, outside any lock the
    // watcher takes.
    LogMaskCell* RegisterLogName(std::u16string name) override;
    // Forwards one record; lost silently when the component cannot be had
    // on the calling thread.
    void Write(DWORD level, DWORD processId, DWORD threadId, const WCHAR* timestamp, const WCHAR* logName,
               const WCHAR* text) override;

private:
    // Keeps the shared state alive for this instance; the watcher thread
    // holds its own reference, so a watcher that outlives the last sink's
    // wait never touches freed state.
    std::shared_ptr<EventLogSinkState> m_state;
};

// The process sink, made on first use; each call counts one user.
CEventLogObject* GetEventLogObject();
// Gives up one use; the last one deletes the sink (every traced object must
// have been detached before). Does nothing when there is no sink.
void ReleaseEventLogObject();
// The application name sent with every record and name announcement. Set
// before the first sink is made.
void SetLogApplicationName(const WCHAR* name);

// Blocks (in real time, at most realLimitMs) until no watcher thread of an
// earlier sink is still running. False when the limit passed first.
bool WaitForLogWatchersToEnd(unsigned realLimitMs);
