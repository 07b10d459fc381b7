#pragma once
// The character references of HTML ("&amp;", "&hellip;", "&#12354;", "&#x2460;") in the text of
// a page or of a book's content document, after its tags are stripped.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

// Decodes the character references of the Shift_JIS `text` in one pass, so that what one gives
// never begins another ("&amp;lt;" gives "&lt;").
// - A named reference, one of the names of the HTML standard with its ";" (letter case counts),
//   gives its characters as a UTF-8 page would hold them: each its CP932 form or near-equivalent,
//   and the whole "?" when one of them has none. "&nbsp;" and "&NBSP;" give an ordinary blank.
// - A numeric reference ("&#" and decimal digits, or "&#x" or "&#X" and hexadecimal ones, up to
//   eight, then ";") gives its character the same way; one whose character has no CP932 form,
//   or is a control character other than white space, stays as it is, for the reading step to
//   make a pause of.
// In both, a blank of any width is an ordinary blank (a tab, line feed and the like too) and an
// invisible character (a soft hyphen, a zero-width or direction mark) is nothing. Each of the
// rising offsets `marks` keeps its place in the text; one inside a reference goes after what
// replaces it.
void decodeReferences(std::string& text, std::vector<std::size_t>& marks);

// XML whose named references of HTML are numeric ones, for a parser that loads no DTD and would
// drop them: "&hellip;" becomes "&#x2026;". XML's own five names and every other byte stay.
// Markup in UTF-16 (with a zero byte) is returned as it is.
std::string withNumericReferences(std::string_view xml);

} // namespace kven
