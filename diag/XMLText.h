// Text rules of the XML store that the parser underneath does not apply by
// itself: well-formedness checks it skips, node names and text as the DOM
// reports them, and the store's decimal reading.
#pragma once

#include "platform/base/wintypes.h"

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace xmltext {

// Deepest element nesting a document may have; deeper input is refused
// rather than handed to code that walks it.
constexpr size_t kMaxElementDepth = 256;

// True when `name` is an XML name (no namespace checks).
bool IsXmlName(std::u16string_view name);

// True when every character of `text` can be written in an XML document and
// read back: no U+FFFE, U+FFFF or surrogate outside a pair. Control
// characters pass; they are written as character references.
bool IsXmlText(std::u16string_view text);

// The first position of a character XML does not allow (controls other than
// tab, line feed and carriage return, lone surrogates, U+FFFE, U+FFFF), or npos.
size_t FindInvalidCharacter(std::u16string_view text);

// Replaces the references in raw UTF-8 text or attribute value (the five
// predefined entities, decimal and hexadecimal character references) by the
// characters they stand for. False, with the reason, for a reference to any
// other entity, a reference to no character, or a '&' that starts no
// reference: the document is not well-formed.
bool ExpandReferences(std::string_view raw, std::string& text, std::u16string& reason);

// Decodes the bytes of an XML file (UTF-8 with or without its mark, UTF-16
// with its mark or recognisable by "<"); false for byte sequences that are
// not valid in the encoding found.
bool DecodeXmlFile(std::string_view bytes, std::u16string& text);

// The DOM node name: the element or attribute name, "xml" for the
// declaration, "#text", "#cdata-section", "#comment", "#document".
std::u16string NodeName(pugi::xml_node node);

// The DOM text: the concatenated text of the node's whole subtree.
std::u16string NodeText(pugi::xml_node node);

// Decimal reading: leading blanks and a sign, digits up to the first other
// character, 0 without digits; out-of-range values are clamped.
LONG ParseDecimal(const WCHAR* text);

// Copies at most length - 1 characters and always terminates.
void CopyCut(std::u16string_view text, WCHAR* buffer, DWORD length);

// The markup of a node as the DOM's xml property gives it: no added white
// space and, for an element, no declaration.
std::u16string NodeMarkup(pugi::xml_node node);

} // namespace xmltext
