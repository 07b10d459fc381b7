#include "intake/Intake.h"

#include "files/Errors.h"
#include "files/FileIo.h"
#include "files/Paths.h"
#include "intake/BookText.h"
#include "intake/DocumentOutline.h"
#include "intake/PageConversion.h"
#include "intake/PageEncoding.h"
#include "intake/ZipArchive.h"
#include "text/Cp932.h"
#include "text/Encodings.h"
#include "text/RubyBases.h"
#include "text/Sjis.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace kven {

namespace {

constexpr std::string_view kUtf8Bom = "\xef\xbb\xbf";

// The editor's limit, with the file and the limit as its second text, as the other read errors
// name the file and the reason. `converted`: the file is within the limit, its text is not.
KvenError textTooLarge(const std::string& file, bool converted)
{
    const std::string limit = std::to_string(kEditorTextLimit >> 20) + " MiB";
    return KvenError(msgTextTooLarge(), converted
                                            ? "ファイル " + file + " は、変換した本文が上限の " + limit + " を超えます"
                                            : "ファイル " + file + " は上限の " + limit + " を超えています");
}

} // namespace

std::string documentNameForDisplay(const Document& document)
{
    const std::string_view fileSystemName = fileNameOf(document.file);
    // A file name that is not UTF-8 is shown through its CP932 form, where every stray byte
    // has become "?".
    return utf8::isValid(fileSystemName) ? std::string(fileSystemName) : cp932::toUtf8(fileNameOf(document.path));
}

bool isMultiByteUtf8(std::string_view bytes)
{
    return multiByteCharacters(bytes, Encoding::utf8).value_or(0) > 0;
}

std::string plainTextToSjis(std::string bytes, const EucJp& conv, EncodingFit* fit)
{
    EncodingFit found;
    const std::string_view view(bytes);
    std::string sjis;
    if (std::optional<std::string> wide = markedUnicodeToSjis(view)) {
        sjis = std::move(*wide);
    } else if (view.starts_with(kUtf8Bom)) {
        found = {Encoding::utf8, utf8::isValid(view.substr(kUtf8Bom.size()))};
        sjis = cp932::fromUtf8(view.substr(kUtf8Bom.size()));
    } else {
        found = encodingFit(view, isMultiByteUtf8(view) ? Encoding::utf8 : Encoding::shiftJis);
        switch (found.encoding) {
        case Encoding::utf8: sjis = cp932::fromUtf8(view); break;
        case Encoding::eucJp: sjis = conv.toSjis(view); break;
        case Encoding::shiftJis: sjis = std::move(bytes); break;
        }
    }
    if (fit != nullptr)
        *fit = found;
    return sjis;
}

DocumentIntake::DocumentIntake(Session& session, Dialogs& dialogs, Bookmarks& bookmarks, const EucJp& conv)
    : session_(session), dialogs_(dialogs), bookmarks_(bookmarks), conv_(conv)
{
}

void DocumentIntake::loadFromCommandLine(const std::vector<std::string>& args)
{
    warnings_.clear();
    // The text stays, as no document, under the caption it has.
    Document none;
    none.text = session_.text();
    none.caption = session_.caption();
    outline(none);
    session_.load(std::move(none));
    if (args.empty())
        return;
    load(absolutePath(trim(args.front())), HtmlRule::exceptTxt, true);
}

void DocumentIntake::openDocument()
{
    warnings_.clear();
    const std::optional<std::string> chosen = dialogs_.chooseFile(openDialogFolder());
    if (!chosen)
        return;
    if (!session_.document().path.empty())
        bookmarks_.recordPosition();
    load(absolutePath(*chosen), HtmlRule::onlyHtm, false);
}

void DocumentIntake::loadPaste(std::string utf8)
{
    warnings_.clear();
    if (!session_.document().path.empty())
        bookmarks_.recordPosition();
    if (!utf8.empty() && utf8.back() != '\n' && utf8.back() != '\r')
        utf8 += '\n';
    utf8 += '\n';
    utf8 += cp932::toUtf8(sjis::kEndLine);
    Document pasted;
    pasted.text = normalizeLineBreaks(cp932::fromUtf8(utf8));
    pasted.pastedUtf8 = std::move(utf8);
    pasted.caption = kTemporaryCaption;
    outline(pasted);
    session_.load(std::move(pasted));
}

void DocumentIntake::load(const std::string& file, HtmlRule rule, bool temporaryCaption)
{
    // The editor's limit holds for the file as for its text: a file over it is refused by its
    // size before it is read, even a page whose tags would take it under the limit, as reading
    // and converting it first would need several times its size in memory. Conversion can also
    // make a text longer (a lone LF becomes CR LF).
    warnings_.clear();
    std::string bytes;
    int error = 0;
    switch (readWholeFile(file, kEditorTextLimit, bytes, &error)) {
    case ReadStatus::ok: break;
    case ReadStatus::cannotOpen: throw KvenError(msgCannotOpen(file), readFailureReason(error));
    case ReadStatus::tooLarge: throw textTooLarge(file, false);
    }

    const std::string_view ext = extensionOf(file);
    const bool html = rule == HtmlRule::exceptTxt ? ext != ".txt" && ext != ".TXT"
                                                  : ext == ".htm" || ext == ".html" || ext == ".HTM" || ext == ".HTML";
    Loaded loaded;
    Document& document = loaded.document;
    std::vector<std::string> warnings;
    EncodingFit fit;
    if (looksLikeZip(bytes)) {
        // An archive is known by its bytes whatever its name: read as text it would only be
        // noise.
        ArchiveText archive = archiveText(bytes, file, conv_, session_.options().blockLines);
        document.text = std::move(archive.text);
        loaded.headingEnds = std::move(archive.headingEnds);
        document.contents = std::move(archive.contents);
        document.bookTitle = std::move(archive.title);
        document.bookAuthor = std::move(archive.author);
        warnings = std::move(archive.warnings);
    } else if (html) {
        // The page's own markers decide its encoding; its bytes are left alone until then. A
        // UTF-16 page, known by its byte-order mark, is made Shift_JIS first: its line breaks
        // are no bytes of their own.
        PageOptions page{.blockLines = session_.options().blockLines};
        if (std::optional<std::string> sjis = markedUnicodeToSjis(bytes)) {
            bytes = std::move(*sjis);
            page.shiftJis = true;
        }
        document.text = normalizeLineBreaks(bytes);
        fit = convertPage(document.text, conv_, &loaded.rubyBases, &loaded.headingEnds, page);
    } else {
        document.text = normalizeLineBreaks(plainTextToSjis(std::move(bytes), conv_, &fit));
    }
    if (document.text.size() > kEditorTextLimit)
        throw textTooLarge(file, true);
    if (std::string warning = mixedEncodingWarning("この文書", fit); !warning.empty())
        warnings.push_back(std::move(warning));

    document.file = file;
    document.path = cp932::fromUtf8(file);
    document.caption = temporaryCaption && contains(document.path, kTemporaryInternetFiles)
                           ? std::string(kTemporaryCaption)
                           : "KVEN " + documentNameForDisplay(document);
    // Known from here on, even when the bookmark lookup fails.
    warnings_ = std::move(warnings);
    resumeWith(std::move(loaded));
}

void DocumentIntake::resumeWith(Loaded loaded)
{
    Document& document = loaded.document;
    std::string& text = document.text;
    const std::size_t heading = findOneBased(text, kHeadingMarker);
    std::vector<std::size_t> markers;
    for (std::size_t p = findOffset(text, kHeadingMarker), from = 0; p != npos;) {
        markers.push_back(from + p);
        from = markers.back() + kHeadingMarker.size();
        p = findOffset(std::string_view(text).substr(from), kHeadingMarker);
    }
    // Each marker shrinks to one blank, so the n-th heading moves n times the difference up,
    // and so does an offset after n markers.
    constexpr std::size_t shrink = kHeadingMarker.size() - 1;
    for (std::size_t n = 0; n < markers.size(); ++n)
        document.headings.push_back(markers[n] - n * shrink + 1);
    const auto shrunk = [&](std::size_t offset) {
        const auto n =
            static_cast<std::size_t>(std::lower_bound(markers.begin(), markers.end(), offset) - markers.begin());
        // An offset inside a marker (one the page spells out itself) goes after its blank.
        const bool inside = n > 0 && offset < markers[n - 1] + kHeadingMarker.size();
        return inside ? document.headings[n - 1] : offset - n * shrink;
    };
    for (const std::size_t end : loaded.headingEnds)
        document.headingEnds.push_back(shrunk(end));
    for (Chapter& entry : document.contents)
        entry.offset = shrunk(entry.offset);
    replaceAllIn(text, kHeadingMarker, " ");
    // A lead byte left alone at the end would take the CR of the end line as its partner.
    if (sjis::endsWithLoneLeadByte(text))
        text.pop_back();
    for (std::size_t& e : document.headingEnds)
        e = std::min(e, text.size());
    for (Chapter& entry : document.contents)
        entry.offset = std::min(entry.offset, text.size());
    text.append(sjis::kCrLf);
    text.append(sjis::kEndLine);
    if (!loaded.rubyBases.empty())
        document.rubyBases = locateRubyBases(text, loaded.rubyBases);
    outline(document);
    session_.load(std::move(document));
    // The blank left by the first marker sits at heading - 1; the 1-based position is
    // therefore the 0-based offset of the heading's first character.
    session_.setSelStart(session_.options().headingSearch ? heading : 0);
    session_.setSelLength(0);
    bookmarks_.lookup();
}

std::string DocumentIntake::openDialogFolder() const
{
    if (const std::string_view folder = folderOf(session_.document().file); !folder.empty())
        return std::string(folder);
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? std::string(home) : std::string("/");
}

} // namespace kven
