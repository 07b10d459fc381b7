#pragma once
// HTML page to plain Shift_JIS text for reading aloud.

#include "intake/PageEncoding.h"
#include "text/EucJp.h"

#include <string>
#include <string_view>
#include <vector>

namespace kven {

// Put before each heading of a page; loading turns it into a blank and starts at the first.
inline constexpr std::string_view kHeadingMarker = "KVENmark";

// What a page's conversion does beyond what it does for every page.
struct PageOptions {
    bool blockLines = false; // a line ends where a block ends, by withBlockLines
    bool shiftJis = false;   // the page is Shift_JIS already (a UTF-16 page made so), whatever it declares
};

// Replaces the page in `text` by its plain-text form: settles the page's encoding (the one its
// markers declare, EUC-JP or UTF-8, else Shift_JIS; unless the bytes do not fit that one and do
// fit the one their content shows, by encodingByContent; EUC-JP and UTF-8 pages become
// Shift_JIS), deletes script and style blocks, puts the heading marker before headings, turns
// line-break tags into line breaks and ruby parentheses into 《》, strips every tag and decodes
// a few entities. Every input yields some text. In a page taken for UTF-8,
// each character without a CP932 form and each maximal run of bytes that are not UTF-8 becomes
// one "?", the rest of the page intact.
// With `rubyBases`, it also receives the base of each ruby markup (from "<ruby>" to the
// ruby parenthesis that follows it) as the conversion leaves it, in page order. With
// `headingEnds`, it receives where headings end in the text it leaves, rising: where the tag
// that closes one stood, when it closes before the next heading opens. Neither changes the text.
// Returns the encoding the page was read in and whether its bytes fit it whole.
EncodingFit convertPage(std::string& text, const EucJp& conv, std::vector<std::string>* rubyBases = nullptr,
                        std::vector<std::size_t>* headingEnds = nullptr, const PageOptions& options = {});

namespace detail {

// Everything after the encoding is settled: script and style blocks, headings, fixed
// replacements, block line ends (with `blockLines`), tag stripping and character references,
// on Shift_JIS text; with `rubyBases` and `headingEnds`, the ruby bases and the heading ends as
// well.
void markupToText(std::string& text, std::vector<std::string>* rubyBases = nullptr,
                  std::vector<std::size_t>* headingEnds = nullptr, bool blockLines = false);

// Deletes each block from the first `opening` through the end of the first `closing` that
// begins after it, again and again, with the result of searching afresh from the start after
// each deletion (an opening that the deletion joins together counts), in one linear pass.
// Searches skip second bytes of double-byte characters, and letters match in either case.
// `opening` and `closing` are ASCII.
void deleteBlocks(std::string& text, std::string_view opening, std::string_view closing);

} // namespace detail

} // namespace kven
