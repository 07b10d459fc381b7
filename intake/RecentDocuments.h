#pragma once
// The documents read lately, from the bookmark file, whose lines are ordered by the time each
// document was last left: the newest last. Beside it, KVEN.lengths keeps the length of each
// document's text when it was left, so that the share read can be shown, and KVEN.titles the
// title and author of each whose title is known; the bookmark file and KVEN.lengths themselves
// stay as every copy of the program reads them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

inline constexpr std::string_view kLengthsFileName = "KVEN.lengths";
inline constexpr std::string_view kTitlesFileName = "KVEN.titles";

struct RecentDocument {
    std::string file;                  // as the file system names it (UTF-8)
    std::size_t position = 0;          // its bookmark
    std::optional<std::size_t> length; // its text's length when it was left, when known
    std::string title = {};            // UTF-8; empty when not known
    std::string author = {};           // UTF-8, may be empty

    // The share before the bookmark, 0 to 1, when the length is known.
    std::optional<double> share() const;
    // How a list names it (UTF-8): "title（author）" or the title where known, else its file name.
    std::string caption() const;
};

// The last `count` documents of the bookmark file `bookmarkFile`, newest first, each once;
// pages from the browser cache are none. An unreadable file gives none.
std::vector<RecentDocument> recentDocuments(const std::string& bookmarkFile, std::size_t count);

// Notes the length of the text of the document `path` (as the bookmark file names it) beside
// `bookmarkFile`, keeping only documents that `bookmarkLines`, the file's lines as just written,
// still name. Best effort: the share read is a help, so a failure changes nothing.
void recordTextLength(const std::string& bookmarkFile, const std::vector<std::string>& bookmarkLines,
                      std::string_view path, std::size_t length);

// Notes the title and author (UTF-8) of the document `path` beside `bookmarkFile` in the same
// way; an empty title forgets the one noted.
void recordTitle(const std::string& bookmarkFile, const std::vector<std::string>& bookmarkLines, std::string_view path,
                 std::string_view title, std::string_view author);

} // namespace kven
