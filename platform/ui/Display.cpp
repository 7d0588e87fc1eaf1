#include "platform/ui/Display.h"

#include <cstdlib>

namespace plat::ui {

namespace {

// The layer keeps windows as a control model only; nothing reaches a
// screen until a back end draws them.
constexpr bool kHasWindowBackEnd = false;

bool Named(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && *value;
}

} // namespace

bool CanShowWindows()
{
    return kHasWindowBackEnd && (Named("DISPLAY") || Named("WAYLAND_DISPLAY"));
}

} // namespace plat::ui
