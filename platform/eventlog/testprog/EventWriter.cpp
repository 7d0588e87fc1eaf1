// Reports one information event: EventWriter <source> <text> [--watch].
// With --watch it also asks for change notification first and exits without
// closing anything, as a process that holds its registration to the end.
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/eventlog/eventlog.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/Wait.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    std::u16string source = Utf8ToUtf16(argv[1]);
    std::u16string text = Utf8ToUtf16(argv[2]);
    bool watch = argc > 3 && std::strcmp(argv[3], "--watch") == 0;

    HANDLE log = RegisterEventSourceW(nullptr, source.c_str());
    if (!log)
        return 3;
    HANDLE changed = nullptr;
    if (watch) {
        changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!NotifyChangeEventLog(log, changed))
            return 4;
    }
    LPCWSTR strings[] = {text.c_str()};
    if (!ReportEventW(log, EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr)) {
        std::fprintf(stderr, "ReportEvent failed: %u\n", GetLastError());
        return 5;
    }
    if (watch)
        return WaitForSingleObject(changed, 30000) == WAIT_OBJECT_0 ? 0 : 6;
    DeregisterEventSource(log);
    return 0;
}
