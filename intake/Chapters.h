#pragma once
// The chapters of a document: where its headings begin and what they say.
// In an Aozora text the headings are the lines carrying a heading note (大見出し, 中見出し,
// 小見出し, run-in and window headings included) and the blocks between "ここから…見出し"
// and "ここで…見出し終わり"; in a converted page, the headings it marked. Headings with
// nothing to read between them (a part title straight before a chapter title) make one
// chapter. Text before the first heading is a chapter of its own, named after the document.

#include "state/Document.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

// The title and the author of a document: the first line of its opening block (the lines
// before the first blank line) and the last line of that block when it has more than one.
// A title longer than a title line can be, or none, gives way to `fileName`; an author
// only when the block has one of a plausible length.
struct DocumentInfo {
    std::string title;  // UTF-8
    std::string author; // UTF-8, may be empty
};
DocumentInfo documentInfo(std::string_view sjis, std::string_view fileName);

// The chapters of `sjis` in order; `marked` are the offsets of the headings that the page
// conversion marked (those markedHeadings() keeps count), `markedEnds` where they end, rising
// (see Document::headingEnds). A chapter starts where the reading step starts the chunk of
// its heading: at the start of the heading's line, or at the blank before a marked heading
// that follows text on its line. A marked heading's title runs to its end, or without one to
// the end of its line. The first chapter starts at 0; a document without headings is one
// chapter named `documentTitle`.
std::vector<Chapter> findChapters(std::string_view sjis, const std::vector<std::size_t>& marked,
                                  const std::vector<std::size_t>& markedEnds, const std::string& documentTitle);

// The chapters of a book from its table of contents `contents` (rising offsets into `sjis`,
// titles UTF-8). An entry starts at the start of its line when only blanks come before it there.
// Text before the first entry is a chapter of its own, named `documentTitle`; an entry that
// leaves no more than one line to read before the next (a part's title page) makes one chapter
// with it. Entries past the end of the text or out of order are passed over.
std::vector<Chapter> contentsChapters(std::string_view sjis, const std::vector<Chapter>& contents,
                                      const std::string& documentTitle);

// The offsets of `marks` that still begin a marked heading of `sjis`: after the blank that
// took the place of the marker, at the start of a character. Editing the text after loading
// leaves the others pointing anywhere.
std::vector<std::size_t> markedHeadings(std::string_view sjis, const std::vector<std::size_t>& marks);

// The index of the chapter that the text at `offset` belongs to.
std::size_t chapterAt(const std::vector<Chapter>& chapters, std::size_t offset);

} // namespace kven
