#pragma once
// A document as intake makes it: its text and what is known of it. Replaced whole at every
// load; a session holds one. Texts are Shift_JIS byte strings unless a comment says otherwise.

#include "text/RubyBases.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kven {

inline constexpr const char* kTemporaryCaption = "KVEN (temporary)";

// A place in the text with a name: a chapter, or an entry of a book's table of contents.
struct Chapter {
    std::size_t offset; // byte offset of its first character in the Shift_JIS text
    std::string title;  // UTF-8, notes and ruby left out
    bool operator==(const Chapter&) const = default;
};

struct Document {
    // The text, line breaks CR LF, ending with the end line once loaded.
    std::string text;
    // A paste: the text as the user gave it (UTF-8), which a view shows; empty otherwise.
    std::string pastedUtf8;
    std::string path; // the document's path, held as CP932; empty when the text is no document
    std::string file; // the same document as the file system names it (UTF-8)
    // Where the marked headings of a loaded page begin in the text, in order; empty for a text
    // file or a paste.
    std::vector<std::size_t> headings;
    // Where the page's headings end (where the tag that closed one stood), rising: a heading
    // ends at the first of them from its start on, when that comes before the next heading.
    std::vector<std::size_t> headingEnds;
    // Where the ruby bases of a loaded page begin, which its text no longer shows; empty for a
    // text file or a paste.
    std::vector<RubyBase> rubyBases;
    // A book's table of contents: where each entry points in the text, rising, and its label;
    // empty for anything else.
    std::vector<Chapter> contents;
    // The chapters the text falls into (a book's contents, else its headings), in order.
    std::vector<Chapter> chapters;
    // A book's title and author from its own description (UTF-8); empty when it has none.
    std::string bookTitle;
    std::string bookAuthor;
    // The title and author to name it by (UTF-8): the book's own, else what its text opens
    // with, else its name.
    std::string title;
    std::string author;
    // The window's caption (UTF-8).
    std::string caption = "KVEN";
};

} // namespace kven
