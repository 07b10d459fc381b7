#pragma once
// The document as a page to look at: its text set as HTML for a layout engine, with ruby over
// its bases, Aozora headings, indentation and emphasis as the notes ask, gaiji as characters,
// and the other notes left out.
//
// Every character the page shows stands for an exact place in the Shift_JIS text, so that a
// place on the page and an offset of the text map both ways:
//  - text sits in <span o="OFFSET">, whose characters stand for consecutive characters of the
//    text from OFFSET on, two bytes each, or one byte each with w="1";
//  - a character that stands for a whole piece of notation (a gaiji note, a character
//    reference) sits in <span o="OFFSET" u="BYTES">, all of it for the bytes from OFFSET;
//  - every line is one block element with l="OFFSET" (its start) and e="OFFSET" (its end,
//    before the line break);
//  - ruby readings (<rt>) and what else the page adds stand for nothing.
// Characters between spans (the ruby marks, the notes) are not shown.

#include "text/RubyBases.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

struct ViewSource {
    std::string_view text; // Shift_JIS, lines ending CR LF (a lone CR or LF also ends one)
    // A converted page's headings (line starts) and where its ruby bases begin; empty for a
    // text file.
    std::span<const std::size_t> headings;
    std::span<const RubyBase> rubyBases;
};

// Where the page is cut into sections that load one at a time: 0, then line starts at least
// `bytes` apart. The last section ends at the end of the text.
std::vector<std::size_t> viewSections(std::string_view text, std::size_t bytes = 32 * 1024);

// Writes the lines of a text section by section, in order: a block that a note indents or
// sets to the ground holds across lines and sections.
class ViewHtmlWriter {
public:
    explicit ViewHtmlWriter(const ViewSource& source) : source_(source) {}
    // The lines of text[from, to): `from` is where the last call ended (0 at first), `to` a
    // line start or the end of the text.
    std::string lines(std::size_t from, std::size_t to);
    // Takes in what the notes of text[from, to) open or close for the lines after, writing
    // nothing: a section can then be written without those before it.
    void passOver(std::size_t from, std::size_t to);

private:
    void line(std::size_t start, std::size_t end, std::string& out);

    ViewSource source_;
    int blockIndent_ = 0;      // "ここからN字下げ"
    bool blockGround_ = false; // "ここから地付き"
};

// The Unicode character a gaiji note names (UTF-8): by "U+XXXX", else by its JIS X 0213
// plane-row-cell ("第3水準1-85-54", "1-6-84"); empty when it names none. `note` is the note's
// UTF-8 text.
std::string gaijiCharacter(std::string_view note);

} // namespace kven
