// A file dialog as a GTK file chooser: to save or to open, with the
// request's title, its filter pairs (description, patterns separated by
// ';'), the folder and file name it proposes (the file buffer's folder
// before the initial folder, as the system takes them), and the answer as
// the system's dialog gives it (the default extension added to a name
// that has none).
#pragma once

#include "platform/ui/UiScript.h"

#include <gtk/gtk.h>

#include <string>

namespace plat::ui::gtk {

GtkWidget* MakeFileChooser(GtkWindow* owner, const FileDialogRecord& request);

// The path the person chose in the chooser, as the caller receives it.
std::u16string ChosenPath(GtkWidget* chooser, const FileDialogRecord& request);

// Whether choosing `path` needs the overwrite question first.
bool AsksToOverwrite(const FileDialogRecord& request, const std::u16string& path);
// The question, as the system's dialog puts it.
std::u16string OverwriteQuestion(const std::u16string& path);

} // namespace plat::ui::gtk
