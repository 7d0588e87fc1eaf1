// Control text wraps as the system wraps it: at spaces, a word that fits a
// line moved whole to the next one; only a word longer than a line is
// broken inside. Pango alone would also break after a '/' or a '-' (an
// address in the middle of its path).
#pragma once

#include <pango/pango.h>

namespace plat::ui {

// Attributes that keep whole, within `widthPixels`, each word of the
// layout's text in the layout's font; the caller owns the list.
PangoAttrList* WholeWords(PangoLayout* layout, int widthPixels);

} // namespace plat::ui
