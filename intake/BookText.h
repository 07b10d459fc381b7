#pragma once
// The text of a document that comes as a ZIP archive: an EPUB book, or a text download that
// holds one plain-text file (and perhaps its pictures).

#include "state/Session.h"
#include "text/EucJp.h"

#include <string>
#include <string_view>
#include <vector>

namespace kven {

struct ArchiveText {
    // Shift_JIS with CR LF line breaks and the page conversion's heading markers still in: the
    // converted content documents of a book in reading order, one line break between two.
    std::string text;
    std::vector<std::size_t> headingEnds; // where marked headings end, rising
    std::vector<Chapter> contents;        // the book's table of contents, offsets in `text`
    std::string title;                    // UTF-8, from the book's metadata
    std::string author;
    std::vector<std::string> warnings; // what was wrong with it, though it can be read (UTF-8)
};

// The text of the archive `bytes`, from the file `file`. Throws KvenError naming the file and
// the reason when the archive is damaged, unsafe or too large, is neither a book nor a text
// download, or is a book that cannot be read (see readEpubPackage). With `blockLines`, a line
// ends where a block of a content document ends (withBlockLines).
ArchiveText archiveText(std::string_view bytes, std::string_view file, const EucJp& conv, bool blockLines = false);

} // namespace kven
