#pragma once
// The documents read lately, from the bookmark file, whose lines are ordered by the time each
// document was last left: the newest last. Beside it, KVEN.lengths keeps the length of each
// document's text when it was left, so that the share read can be shown; the bookmark file
// itself stays as every copy of the program reads it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

inline constexpr std::string_view kLengthsFileName = "KVEN.lengths";

struct RecentDocument {
    std::string file;                  // as the file system names it (UTF-8)
    std::size_t position = 0;          // its bookmark
    std::optional<std::size_t> length; // its text's length when it was left, when known

    // The share before the bookmark, 0 to 1, when the length is known.
    std::optional<double> share() const;
};

// The last `count` documents of the bookmark file `bookmarkFile`, newest first, each once;
// pages from the browser cache are none. An unreadable file gives none.
std::vector<RecentDocument> recentDocuments(const std::string& bookmarkFile, std::size_t count);

// Notes the length of the text of the document `path` (as the bookmark file names it) beside
// `bookmarkFile`, keeping only documents that `bookmarkLines`, the file's lines as just written,
// still name. Best effort: the share read is a help, so a failure changes nothing.
void recordTextLength(const std::string& bookmarkFile, const std::vector<std::string>& bookmarkLines,
                      std::string_view path, std::size_t length);

} // namespace kven
