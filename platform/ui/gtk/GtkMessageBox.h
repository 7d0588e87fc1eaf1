// A message box as a GTK message dialog: the box's text, caption, icon
// and buttons, each button answering with the system's answer (IDOK,
// IDCANCEL, IDYES ...) as its response.
#pragma once

#include "platform/ui/winuser.h"

#include <gtk/gtk.h>

#include <string>

namespace plat::ui::gtk {

GtkWidget* MakeMessageBox(GtkWindow* owner, const std::u16string& text, const std::u16string& caption, UINT type);

} // namespace plat::ui::gtk
