#include "platform/ui/Display.h"
#include "platform/ui/WindowBackEnd.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace plat::ui {

namespace {

std::atomic<bool> g_headlessAllowed{false};

bool Named(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && *value;
}

bool HeadlessAllowedByEnvironment()
{
    const char* value = std::getenv("QBK_HEADLESS_UI");
    return value && std::strcmp(value, "1") == 0;
}

} // namespace

bool CanShowWindows()
{
    if (HeadlessWindowsAllowed())
        return true;
    // The back end is loaded on the first thread that asks with a display
    // named; that thread's windows are the ones it shows.
    return (Named("DISPLAY") || Named("WAYLAND_DISPLAY")) && LoadWindowBackEnd() != nullptr;
}

bool HeadlessWindowsAllowed() { return g_headlessAllowed.load() || HeadlessAllowedByEnvironment(); }

void AllowHeadlessWindows(bool allow) { g_headlessAllowed.store(allow); }

} // namespace plat::ui
