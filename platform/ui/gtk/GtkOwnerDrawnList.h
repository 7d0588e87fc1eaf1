// An owner-drawn list on the display: each entry shows what the list's
// owner draws for it, its texts in columns that start where the owner
// starts them (a page-size list: the size's name, and its dimensions from
// the middle of the field on).
#pragma once

#include "platform/ui/gtk/GtkMirror.h"

namespace plat::ui::gtk {

// The combo box for an owner-drawn list without strings of its own.
GtkWidget* MakeOwnerDrawnList();
bool IsOwnerDrawnList(GtkWidget* widget);
// Fills the list with what the owner draws for each entry.
void FillOwnerDrawnList(GtkWidget* list, const UiWindow& window);
// The chosen entry's texts, a tab between columns.
std::u16string OwnerDrawnListText(GtkWidget* list);

} // namespace plat::ui::gtk
