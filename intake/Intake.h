#pragma once
// Document loading and positioning: the command-line load at the end of window creation and
// the Open command, which resolve the heading markers, append the end line, place the cursor
// and apply the document's bookmark.

#include "intake/Bookmarks.h"
#include "state/DialogsAndClipboard.h"
#include "state/Session.h"
#include "text/EucJp.h"

#include <string>
#include <string_view>
#include <vector>

namespace kven {

// True when `bytes` is well-formed UTF-8 (sequences of one to four bytes, no overlong forms,
// no surrogates, nothing above U+10FFFF) and holds at least one multi-byte sequence.
bool isMultiByteUtf8(std::string_view bytes);

// The bytes of a plain-text file as the editor shows them, before line breaks are made
// CR LF: text that starts with the UTF-8 byte-order mark (which is dropped), or that is
// UTF-8 by isMultiByteUtf8, is converted to CP932; so is text that is not Shift_JIS but is
// EUC-JP by encodingByContent. Anything else is Shift_JIS already and is returned unchanged.
std::string plainTextToSjis(std::string bytes, const EucJp& conv);

// The current document's file name as the caption shows it, UTF-8; empty when the text is no
// document.
std::string documentNameForDisplay(const Document& document);

class DocumentIntake {
public:
    // `conv` serves the EUC-JP pages of the HTML conversion and EUC-JP plain text.
    DocumentIntake(Session& session, Dialogs& dialogs, Bookmarks& bookmarks, const EucJp& conv);

    // The tail of window creation. `args` are the program's arguments after the program name;
    // only the first counts, trimmed of bytes up to 0x20 at both ends and made absolute
    // against the working folder. Every extension other than ".txt" and ".TXT" is HTML.
    // A page under "/Temporary Internet Files/" gets the caption "KVEN (temporary)".
    // Failures (KvenError): the document cannot be read, and then nothing but the cursor and
    // the emptied current document has changed; or the bookmark file cannot be read, and then
    // the document is loaded, positioned and current (session.document().file is set).
    void loadFromCommandLine(const std::vector<std::string>& args);

    // Open: asks for a file; when one is chosen, records the bookmark of the document being
    // left, then loads the new one. Only ".htm", ".html", ".HTM" and ".HTML" are HTML.
    // A failed bookmark write or an unreadable file ends it with the old document current.
    void openDocument();

private:
    enum class HtmlRule { exceptTxt, onlyHtm };

    // Reads, converts and shows `file`, then makes it the current document. The current
    // document, the caption and the editor change only once the file has been read, so a
    // later bookmark write never records the old text's cursor under the new name.
    void load(const std::string& file, HtmlRule rule, bool temporaryCaption);
    // A document as read, before it is shown: its text with the heading markers still in.
    struct Loaded {
        std::string text;
        std::vector<std::string> rubyBases;   // the converted ruby bases of a page, in page order
        std::vector<std::size_t> headingEnds; // where its headings end in `text`, rising
        std::vector<TocEntry> contents;       // a book's table of contents, offsets in `text`
        std::string title;
        std::string author;
    };
    void resumeWith(Loaded loaded);
    std::string openDialogFolder() const;

    Session& session_;
    Dialogs& dialogs_;
    Bookmarks& bookmarks_;
    const EucJp& conv_;
};

} // namespace kven
