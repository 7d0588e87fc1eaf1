#include "diag/LogTimestamp.h"

#include "platform/base/strings.h"

#include <cstdio>
#include <ctime>

std::u16string GetLogTimestamp()
{
    // One clock reading for both the seconds and the milliseconds, so a
    // record made across a second boundary cannot show the wrong second.
    return FormatLogTimestamp(std::chrono::system_clock::now());
}

std::u16string FormatLogTimestamp(std::chrono::system_clock::time_point when)
{
    using namespace std::chrono;
    auto sinceEpoch = when.time_since_epoch();
    auto wholeSeconds = floor<seconds>(sinceEpoch);
    auto milliseconds = duration_cast<std::chrono::milliseconds>(sinceEpoch - wholeSeconds).count();

    std::time_t seconds = static_cast<std::time_t>(wholeSeconds.count());
    std::tm local{};
    char text[40] = {};
    if (localtime_r(&seconds, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);

    char fraction[16];
    std::snprintf(fraction, sizeof fraction, ":%03lld", static_cast<long long>(milliseconds));
    return Utf8ToUtf16(std::string(text) + fraction);
}
