#include "intake/Intake.h"

#include "intake/HTMLconv.h"
#include "text/Cp932.h"
#include "text/Errors.h"
#include "text/FileIo.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <cstdlib>

namespace kven {

namespace {

constexpr std::string_view kUtf8Bom = "\xef\xbb\xbf";

bool isContinuation(unsigned char b)
{
    return b >= 0x80 && b <= 0xBF;
}

// Length of the well-formed UTF-8 sequence at `pos`, or 0 when the bytes there are not one.
std::size_t utf8SequenceLength(std::string_view s, std::size_t pos)
{
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80)
        return 1;
    std::size_t len = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0)
            lo = 0xA0; // overlong below U+0800
        else if (b0 == 0xED)
            hi = 0x9F; // surrogates U+D800..U+DFFF
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0)
            lo = 0x90; // overlong below U+10000
        else if (b0 == 0xF4)
            hi = 0x8F; // above U+10FFFF
    } else {
        return 0; // continuation byte, overlong lead C0/C1, or F5..FF
    }
    if (pos + len > s.size())
        return 0;
    const auto b1 = static_cast<unsigned char>(s[pos + 1]);
    if (b1 < lo || b1 > hi)
        return 0;
    for (std::size_t k = 2; k < len; ++k) {
        if (!isContinuation(static_cast<unsigned char>(s[pos + k])))
            return 0;
    }
    return len;
}

std::string utf8ForDisplay(std::string_view fileSystemName, std::string_view cp932Name)
{
    // A file name that is not UTF-8 is shown through its CP932 form, where every stray byte
    // has become "?".
    bool wellFormed = true;
    for (std::size_t i = 0; i < fileSystemName.size();) {
        const std::size_t len = utf8SequenceLength(fileSystemName, i);
        if (len == 0) {
            wellFormed = false;
            break;
        }
        i += len;
    }
    return wellFormed ? std::string(fileSystemName) : cp932::toUtf8(cp932Name);
}

} // namespace

std::string_view fileNameOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view extensionOf(std::string_view path)
{
    const std::string_view name = fileNameOf(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

bool isMultiByteUtf8(std::string_view bytes)
{
    bool multiByte = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = utf8SequenceLength(bytes, i);
        if (len == 0)
            return false;
        multiByte = multiByte || len > 1;
        i += len;
    }
    return multiByte;
}

std::string plainTextToSjis(std::string bytes)
{
    const std::string_view view(bytes);
    if (view.starts_with(kUtf8Bom))
        return cp932::fromUtf8(view.substr(kUtf8Bom.size()));
    if (isMultiByteUtf8(view))
        return cp932::fromUtf8(view);
    return bytes;
}

DocumentIntake::DocumentIntake(WindowState& window, SharedState& shared, Dialogs& dialogs, Bookmarks& bookmarks,
                               const TPzConv& conv)
    : window_(window), shared_(shared), dialogs_(dialogs), bookmarks_(bookmarks), conv_(conv)
{
}

void DocumentIntake::loadFromCommandLine(const std::vector<std::string>& args)
{
    window_.setSelStart(0);
    window_.setSelLength(0);
    shared_.currentPath.clear();
    shared_.currentFile.clear();
    if (args.empty())
        return;
    load(absolutePath(trim(args.front())), HtmlRule::exceptTxt, true);
}

void DocumentIntake::Button2Click()
{
    const std::optional<std::string> chosen = dialogs_.chooseFile(openDialogFolder());
    if (!chosen)
        return;
    if (!shared_.currentPath.empty())
        bookmarks_.Closing();
    load(absolutePath(*chosen), HtmlRule::onlyHtm, false);
}

void DocumentIntake::Resume()
{
    resumeWith(window_.text());
}

void DocumentIntake::load(const std::string& file, HtmlRule rule, bool temporaryCaption)
{
    std::string bytes;
    if (!readWholeFile(file, bytes))
        throw KvenError(msgCannotOpen(file));

    const std::string_view ext = extensionOf(file);
    const bool html = rule == HtmlRule::exceptTxt ? ext != ".txt" && ext != ".TXT"
                                                  : ext == ".htm" || ext == ".html" || ext == ".HTM" || ext == ".HTML";
    std::string text;
    if (html) {
        // The page's own markers decide its encoding; its bytes are left alone until then.
        text = normalizeLineBreaks(bytes);
        HTMLconv(text, conv_);
    } else {
        text = normalizeLineBreaks(plainTextToSjis(std::move(bytes)));
    }

    shared_.currentFile = file;
    shared_.currentPath = cp932::fromUtf8(file);
    if (temporaryCaption && contains(shared_.currentPath, sjis::kTemporaryInternetFiles)) {
        window_.setCaption(std::string(sjis::kTemporaryCaption));
    } else {
        window_.setCaption("KVEN " + utf8ForDisplay(fileNameOf(shared_.currentFile), fileNameOf(shared_.currentPath)));
    }
    resumeWith(std::move(text));
}

void DocumentIntake::resumeWith(std::string text)
{
    const std::size_t heading = find(text, sjis::kHeadingMarker);
    replaceAllIn(text, sjis::kHeadingMarker, " ");
    text.append(sjis::kCrLf);
    text.append(sjis::kEndLine);
    window_.setText(std::move(text));
    // The blank left by the first marker sits at heading - 1; the 1-based position is
    // therefore the 0-based offset of the heading's first character.
    window_.setSelStart(window_.headingSearch() ? heading : 0);
    window_.setSelLength(0);
    bookmarks_.lookup();
}

std::string DocumentIntake::openDialogFolder() const
{
    if (!shared_.currentFile.empty()) {
        const std::size_t slash = shared_.currentFile.rfind('/');
        if (slash != std::string::npos)
            return slash == 0 ? std::string("/") : shared_.currentFile.substr(0, slash);
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? std::string(home) : std::string("/");
}

} // namespace kven
