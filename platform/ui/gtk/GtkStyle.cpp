#include "platform/ui/gtk/GtkStyle.h"

#include <gtk/gtk.h>

namespace plat::ui::gtk {

namespace {

// Only the dialogs' windows (class "qbk-dialog") are styled: the dialog
// font at the size the templates are laid out for (8 points at 96 dots per
// inch, an 11-pixel em as the dialog renderer sets it too), margins small
// enough for every widget to fit its rectangle, the tab pages on the page
// background the dialogs ask for (EnableThemeDialogTexture), and no
// animations, so that a change (the default button moving on) shows at
// once, as it does there.
constexpr const char* kDialogCss = R"css(
.qbk-dialog, .qbk-dialog * { font-family: "Liberation Sans", "DejaVu Sans", sans-serif; font-size: 11px;
                             transition: none; animation: none; }
.qbk-dialog button { min-height: 0; min-width: 0; padding: 0 4px; }
.qbk-dialog button.qbk-default { border-color: #3070c0; box-shadow: inset 0 0 0 1px #3070c0; }
.qbk-dialog checkbutton, .qbk-dialog radiobutton { min-height: 0; padding: 0; margin: 0; }
.qbk-dialog check, .qbk-dialog radio { min-width: 13px; min-height: 13px; margin: 0 3px 0 0; padding: 0; }
.qbk-dialog entry { min-height: 0; min-width: 0; padding: 0 3px; }
.qbk-dialog combobox button { min-height: 0; padding: 0 2px; }
.qbk-dialog combobox arrow { min-width: 10px; min-height: 10px; }
.qbk-dialog scale { min-height: 0; min-width: 0; padding: 0 6px; }
.qbk-dialog scale slider { min-width: 11px; min-height: 11px; margin: -5px; }
.qbk-dialog progressbar trough, .qbk-dialog progressbar progress { min-height: 8px; min-width: 0; }
.qbk-dialog notebook header tab { min-height: 0; min-width: 0; padding: 2px 6px; }
.qbk-dialog notebook > stack { background-color: @theme_base_color; }
.qbk-dialog frame > label { margin: 0 4px; }
.qbk-dialog popover label { margin: 4px; }
)css";

} // namespace

void InstallDialogStyle()
{
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kDialogCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

} // namespace plat::ui::gtk
