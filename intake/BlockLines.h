#pragma once
// Line ends where the blocks of a page end, for pages and books written without line breaks.

#include <string>
#include <string_view>

namespace kven {

// Puts a line break after each end of a block element (a paragraph, a division, a list item,
// a heading, a table row, a quotation...) and after each rule ("<hr>") where the line holds
// text before it and more text follows on the same line, past tags and blanks; a line with
// nothing but tags and blanks gets no line break of its own, so nested blocks give one line
// end, not an empty line each. A tag runs from its "<" to the next ">", as the tag stripping
// of the page conversion sees it; "<" and ">" are never part of a double-byte character. A
// heading that text follows at once, with no tag between, is run into it and keeps its line.
std::string withBlockLines(std::string_view markup);

} // namespace kven
