#include "platform/ui/Display.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace plat::ui {

namespace {

// The layer keeps windows as a control model only; nothing reaches a
// screen until a back end draws them.
constexpr bool kHasWindowBackEnd = false;

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
    if (g_headlessAllowed.load() || HeadlessAllowedByEnvironment())
        return true;
    return kHasWindowBackEnd && (Named("DISPLAY") || Named("WAYLAND_DISPLAY"));
}

void AllowHeadlessWindows(bool allow) { g_headlessAllowed.store(allow); }

} // namespace plat::ui
