#include "intake/Intake.h"

#include "files/Errors.h"
#include "files/FileIo.h"
#include "files/Paths.h"
#include "intake/PageConversion.h"
#include "text/Cp932.h"
#include "text/Encodings.h"
#include "text/RubyBases.h"
#include "text/Sjis.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

#include <algorithm>
#include <cstdlib>

namespace kven {

namespace {

constexpr std::string_view kUtf8Bom = "\xef\xbb\xbf";

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

std::string plainTextToSjis(std::string bytes, const EucJp& conv)
{
    const std::string_view view(bytes);
    if (view.starts_with(kUtf8Bom))
        return cp932::fromUtf8(view.substr(kUtf8Bom.size()));
    switch (encodingByContent(view, isMultiByteUtf8(view) ? Encoding::utf8 : Encoding::shiftJis)) {
    case Encoding::utf8: return cp932::fromUtf8(view);
    case Encoding::eucJp: return conv.toSjis(view);
    case Encoding::shiftJis: break;
    }
    return bytes;
}

DocumentIntake::DocumentIntake(Session& session, Dialogs& dialogs, Bookmarks& bookmarks, const EucJp& conv)
    : session_(session), dialogs_(dialogs), bookmarks_(bookmarks), conv_(conv)
{
}

void DocumentIntake::loadFromCommandLine(const std::vector<std::string>& args)
{
    session_.setSelStart(0);
    session_.setSelLength(0);
    session_.becomePaste();
    if (args.empty())
        return;
    load(absolutePath(trim(args.front())), HtmlRule::exceptTxt, true);
}

void DocumentIntake::openDocument()
{
    const std::optional<std::string> chosen = dialogs_.chooseFile(openDialogFolder());
    if (!chosen)
        return;
    if (!session_.document().path.empty())
        bookmarks_.recordPosition();
    load(absolutePath(*chosen), HtmlRule::onlyHtm, false);
}

void DocumentIntake::load(const std::string& file, HtmlRule rule, bool temporaryCaption)
{
    // The editor's limit holds for the file as for its text: a file over it is refused by its
    // size before it is read, even a page whose tags would take it under the limit, as reading
    // and converting it first would need several times its size in memory. Conversion can also
    // make a text longer (a lone LF becomes CR LF).
    std::string bytes;
    switch (readWholeFile(file, kEditorTextLimit, bytes)) {
    case ReadStatus::ok: break;
    case ReadStatus::cannotOpen: throw KvenError(msgCannotOpen(file));
    case ReadStatus::tooLarge: throw KvenError(msgTextTooLarge());
    }

    const std::string_view ext = extensionOf(file);
    const bool html = rule == HtmlRule::exceptTxt ? ext != ".txt" && ext != ".TXT"
                                                  : ext == ".htm" || ext == ".html" || ext == ".HTM" || ext == ".HTML";
    std::string text;
    std::vector<std::string> rubyBases;
    std::vector<std::size_t> headingEnds;
    if (html) {
        // The page's own markers decide its encoding; its bytes are left alone until then.
        text = normalizeLineBreaks(bytes);
        convertPage(text, conv_, &rubyBases, &headingEnds);
    } else {
        text = normalizeLineBreaks(plainTextToSjis(std::move(bytes), conv_));
    }
    if (text.size() > kEditorTextLimit)
        throw KvenError(msgTextTooLarge());

    session_.becomeFile(file);
    if (temporaryCaption && contains(session_.document().path, kTemporaryInternetFiles)) {
        session_.setCaption(kTemporaryCaption);
    } else {
        session_.setCaption("KVEN " + documentNameForDisplay(session_.document()));
    }
    resumeWith(std::move(text), rubyBases, headingEnds);
}

void DocumentIntake::resumeWith(std::string text, const std::vector<std::string>& rubyBases,
                                const std::vector<std::size_t>& headingEnds)
{
    const std::size_t heading = findOneBased(text, kHeadingMarker);
    std::vector<std::size_t> markers;
    for (std::size_t p = findOffset(text, kHeadingMarker), from = 0; p != npos;) {
        markers.push_back(from + p);
        from = markers.back() + kHeadingMarker.size();
        p = findOffset(std::string_view(text).substr(from), kHeadingMarker);
    }
    // Each marker shrinks to one blank, so the n-th heading moves n times the difference up,
    // and so does an end after n markers.
    constexpr std::size_t shrink = kHeadingMarker.size() - 1;
    session_.document().headings.clear();
    for (std::size_t n = 0; n < markers.size(); ++n)
        session_.document().headings.push_back(markers[n] - n * shrink + 1);
    session_.document().headingEnds.clear();
    for (const std::size_t end : headingEnds) {
        const auto n =
            static_cast<std::size_t>(std::lower_bound(markers.begin(), markers.end(), end) - markers.begin());
        // An end inside a marker (one the page spells out itself) goes after its blank.
        const bool inside = n > 0 && end < markers[n - 1] + kHeadingMarker.size();
        session_.document().headingEnds.push_back(inside ? session_.document().headings[n - 1] : end - n * shrink);
    }
    replaceAllIn(text, kHeadingMarker, " ");
    // A lead byte left alone at the end would take the CR of the end line as its partner.
    if (sjis::endsWithLoneLeadByte(text))
        text.pop_back();
    for (std::size_t& e : session_.document().headingEnds)
        e = std::min(e, text.size());
    text.append(sjis::kCrLf);
    text.append(sjis::kEndLine);
    session_.setText(std::move(text));
    session_.document().rubyBases =
        rubyBases.empty() ? std::vector<RubyBase>() : locateRubyBases(session_.text(), rubyBases);
    // The blank left by the first marker sits at heading - 1; the 1-based position is
    // therefore the 0-based offset of the heading's first character.
    session_.setSelStart(session_.headingSearch() ? heading : 0);
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
