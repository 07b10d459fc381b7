#pragma once
// Document loading and positioning: the command-line load at the end of window creation and
// the Open command, which resolve the heading markers, append the end line, place the cursor
// and apply the document's bookmark.

#include "intake/Bookmarks.h"
#include "intake/PageEncoding.h"
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
// CR LF: text that starts with a UTF-32 or UTF-16 byte-order mark is such (markedUnicodeToSjis); text that
// starts with the UTF-8 byte-order mark (which is dropped), or that is
// UTF-8 by isMultiByteUtf8, is converted to CP932; so is text that is not Shift_JIS but is
// EUC-JP by encodingByContent. Anything else is Shift_JIS already and is returned unchanged.
// With `fit`, it receives the encoding the text was read in and whether its bytes fit it whole.
std::string plainTextToSjis(std::string bytes, const EucJp& conv, EncodingFit* fit = nullptr);

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
    // The session's text becomes no document first, with the cursor at 0. Failures
    // (KvenError): the document cannot be read, and then the session stays so; or the bookmark file cannot be
    // read, and then the document is loaded, positioned and current (its file is set).
    void loadFromCommandLine(const std::vector<std::string>& args);

    // Paste: the document being left gets its bookmark; `utf8`, the clipboard's text, with a
    // line break at its end, an empty line and the end line, becomes a text that is no
    // document, under the caption "KVEN (temporary)". A failed bookmark write ends it with the
    // old document current.
    void loadPaste(std::string utf8);

    // Open: asks for a file; when one is chosen, records the bookmark of the document being
    // left, then loads the new one. Only ".htm", ".html", ".HTM" and ".HTML" are HTML.
    // A failed bookmark write or an unreadable file ends it with the old document current.
    void openDocument();

    // What the last load found wrong with the document it read, though it read it: UTF-8, one
    // message each (bytes that fit no encoding whole, a book's reading order naming what its
    // manifest lacks, a table of contents cut short). Empty after a paste, a load that failed
    // and an Open that chose nothing.
    const std::vector<std::string>& warnings() const { return warnings_; }

private:
    enum class HtmlRule { exceptTxt, onlyHtm };

    // Reads, converts and shows `file`, then makes it the current document. The current
    // document, the caption and the editor change only once the file has been read, so a
    // later bookmark write never records the old text's cursor under the new name.
    void load(const std::string& file, HtmlRule rule, bool temporaryCaption);
    // A document as read, before it is shown: its text with the heading markers still in, and
    // its contents' offsets in that text.
    struct Loaded {
        Document document;
        std::vector<std::string> rubyBases;   // the converted ruby bases of a page, in page order
        std::vector<std::size_t> headingEnds; // where its headings end in the text, rising
    };
    void resumeWith(Loaded loaded);
    std::string openDialogFolder() const;

    Session& session_;
    Dialogs& dialogs_;
    Bookmarks& bookmarks_;
    const EucJp& conv_;
    std::vector<std::string> warnings_;
};

} // namespace kven
