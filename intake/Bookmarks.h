#pragma once
// The bookmark file KVEN.txt: one line per document, "<path>,<cursor>", each followed by
// "\r\n", ordered by the time each document was last left, oldest first. A line belongs to
// the document whose path occurs anywhere in it (character-aware, case-sensitive).
// The path is the current document path as CP932 bytes.

#include "app/WindowState.h"
#include "files/Paths.h"

#include <string>

namespace kven {

class Bookmarks {
public:
    // `filePath` is the bookmark file as the file system names it.
    Bookmarks(WindowState& window, SharedState& shared, std::string filePath = bookmarkFilePath());

    const std::string& filePath() const { return filePath_; }

    // Reads the whole file and moves the cursor to the position of the last line that belongs
    // to the current document; no matching line leaves the cursor where it is. Throws KvenError
    // (cannot open) when the file cannot be read or is over the small-file limit; the cursor is
    // then unchanged.
    void lookup();

    // Records the cursor for the current document: the other documents' lines, as the file
    // holds them now, in their order, then "<path>,<cursor>" last. Nothing happens without a
    // current path or for a page from the browser cache. The file is read afresh, so that
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
