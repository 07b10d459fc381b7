#pragma once
// The bookmark file KVEN.txt: one line per document, "<path>,<cursor>", each followed by
// "\r\n", ordered by the time each document was last left, oldest first. A document's own
// line is one whose text before its last comma is exactly the document's path (case-sensitive,
// byte for byte); the lookup takes the last such line and the writer replaces only such lines,
// so that no other document's bookmark is ever read or lost. The path is the current document
// path as CP932 bytes, where a comma is never part of a two-byte character; a path with a CR or
// LF in it gets no bookmark.

#include "files/Paths.h"
#include "state/Session.h"

#include <optional>
#include <string>
#include <string_view>

namespace kven {

// The position field of `line` when it is the bookmark line of `path`: the line is the path,
// a comma, and the field, which has no comma in it. Nothing for any other line.
std::optional<std::string_view> bookmarkField(std::string_view line, std::string_view path);

class Bookmarks {
public:
    // `filePath` is the bookmark file as the file system names it.
    Bookmarks(Session& session, std::string filePath = bookmarkFilePath());

    const std::string& filePath() const { return filePath_; }

    // Reads the whole file and moves the cursor to the position of the current document's last
    // own line; no such line leaves the cursor where it is. Throws
    // KvenError (cannot open) when the file cannot be read or is over the small-file limit; the
    // cursor is then unchanged. A path with a line break is not looked up. Temporary files
    // left by a killed writer are removed first.
    void lookup();

    // Records the cursor for the current document: every line but the document's own
    // ("<path>," and a position), as the file holds them now, in their order, then
    // "<path>,<cursor>" last. Nothing happens without a current path, for a page from the
    // browser cache, or for a path with a line break. The file is read afresh, so that
    // lines written since the last lookup are kept. Throws KvenError (cannot open) when the
    // file exists but cannot be read (or is over the small-file limit), and KvenError (cannot
    // create) when it cannot be written; the file is unchanged in both cases. The length of the
    // document's text goes beside it (see recordTextLength).
    void recordPosition();

private:
    Session& session_;
    std::string filePath_;
};

} // namespace kven
