// The person's input on a mirror's widgets, posted to the model as user
// input (UserInput.h): clicks, typing, choices, scrolls, tab changes, link
// clicks, focus moves, Enter, Escape and the close box.
#pragma once

#include "platform/ui/gtk/GtkMirror.h"

namespace plat::ui::gtk {

void ConnectInput(Mirror& mirror);

} // namespace plat::ui::gtk
