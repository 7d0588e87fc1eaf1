// The look of the dialogs' widgets: the dialog font (8 points, the
// sans-serif face the picture renderer uses too) and margins small enough
// that every widget fits the rectangle its template gives it.
#pragma once

namespace plat::ui::gtk {

void InstallDialogStyle();

} // namespace plat::ui::gtk
