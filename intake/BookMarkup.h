#pragma once
// What a book's content documents need before the page conversion: their ruby made the text's
// own ruby notation, footnote back-links left out, and the places the table of contents points
// at kept through the conversion. All work on Shift_JIS markup, where "<" and ">" are never
// part of a double-byte character.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

// Rewrites each ruby element as "｜base《reading》", one pair per reading: group ruby, mono ruby
// (a base and a reading in turn), with or without <rb>, and the parentheses of <rp> dropped.
// Readings that follow one another with no base between them join the reading before. A base
// without a reading stays as it is; a reading without a base is left as plain text. White space
// at either end of a base or reading goes; markup inside them stays for the conversion to strip.
std::string rubyToNotation(std::string_view markup);

// Puts a line break after the end of each block (a paragraph, a division, a heading, a list
// item...) that another tag follows at once, and after each self-closing line break or rule
// that no line break follows already, so that a document written on one line still reads line
// by line. "<br>", which the page
// conversion makes a line break itself, is left alone.
std::string withBlockBreaks(std::string_view markup);

// Leaves out each link element marked as a back-link (epub:type "backlink", role "doc-backlink"),
// its text with it; one that closes itself ("<a … />") goes alone.
std::string withoutBacklinks(std::string_view markup);

// Leaves out the head of a document (from "<head>" to "</head>"), whose title every document of a
// book repeats.
std::string withoutHead(std::string_view markup);

// Puts anchor k right before the opening tag of the element whose id is ids[k] (the first such
// element), and removes every byte that anchors use from the rest. Anchors are plain text to the
// conversion; takeAnchors finds and removes them afterwards.
std::string withAnchors(std::string_view markup, const std::vector<std::string>& ids);

// Removes the anchors from `text` and returns where anchor k stood (npos for one that the
// conversion dropped, as inside a script block), keeping each of the rising offsets `marks` at its
// place in the text.
std::vector<std::size_t> takeAnchors(std::string& text, std::size_t count, std::vector<std::size_t>& marks);

} // namespace kven
