#pragma once
// The bookmark file KVEN.txt: one line per document, "<path>,<cursor>", each followed by
// "\r\n", ordered by the time each document was last left, oldest first. The lookup takes
// every line in which the path occurs (character-aware, case-sensitive); the writer replaces
// only the document's own line, so that no other document's bookmark is ever lost. The path
// is the current document path as CP932 bytes; a path with a CR or LF in it gets no bookmark.

#include "files/Paths.h"
#include "state/WindowState.h"

#include <string>

namespace kven {

class Bookmarks {
public:
    // `filePath` is the bookmark file as the file system names it.
    Bookmarks(WindowState& window, SharedState& shared, std::string filePath = bookmarkFilePath());

    const std::string& filePath() const { return filePath_; }

    // Reads the whole file and moves the cursor to the position of the last line that contains
    // the current document's path; no matching line leaves the cursor where it is. Throws
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
    // create) when it cannot be written; the file is unchanged in both cases.
    void Closing();

private:
    WindowState& window_;
    SharedState& shared_;
    std::string filePath_;
};

} // namespace kven
