// Texts between the model (UTF-16, Windows conventions) and GTK (UTF-8,
// its own conventions).
#pragma once

#include <string>

namespace plat::ui::gtk {

std::string Utf8(const std::u16string& text);
// A caption's "&" marks its mnemonic ("&&" is one "&"); GTK marks it with
// "_" (and a "_" of the text is "__").
std::string MnemonicLabel(const std::u16string& text);
// The caption as it reads, without mnemonic marks.
std::string PlainLabel(const std::u16string& text);
// A link control's text (plain text with <a href="..."> ... </a>) as Pango
// markup, everything else escaped.
std::string LinkMarkup(const std::u16string& text);

} // namespace plat::ui::gtk
