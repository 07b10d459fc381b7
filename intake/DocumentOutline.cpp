#include "intake/DocumentOutline.h"

#include "intake/Chapters.h"
#include "state/Session.h"
#include "text/Sjis.h"

#include <algorithm>

namespace kven {

Outline outlineOf(const Document& document, bool chapters)
{
    Outline outline;
    if (!document.bookTitle.empty()) {
        outline.title = document.bookTitle;
        outline.author = document.bookAuthor;
    } else {
        DocumentInfo info = documentInfo(document.text, document.file.empty() ? document.caption : document.file);
        outline.title = std::move(info.title);
        outline.author = std::move(info.author);
    }
    if (document.text.empty() || !chapters)
        return outline;
    outline.chapters = document.contents.empty()
                           ? findChapters(document.text, document.headings, document.headingEnds, outline.title)
                           : contentsChapters(document.text, document.contents, outline.title);
    return outline;
}

void outline(Document& document)
{
    Outline found = outlineOf(document);
    document.chapters = std::move(found.chapters);
    document.title = std::move(found.title);
    document.author = std::move(found.author);
}

Outline currentOutline(const Session& session, bool chapters)
{
    const Document& document = session.document();
    if (session.textEdited())
        return outlineOf(document, chapters);
    if (!chapters)
        return {{}, document.title, document.author};
    return {document.chapters, document.title, document.author};
}

bool titleIsKnown(const Document& document)
{
    if (!document.bookTitle.empty())
        return true;
    if (document.author.empty())
        return false;
    // The explanation comes after the opening, the source book at the end.
    constexpr std::size_t kNear = 64 * 1024;
    const std::string_view text = document.text;
    return text.substr(0, kNear).find(sjis::kExplanationTitle) != std::string_view::npos ||
           text.substr(text.size() - std::min(text.size(), kNear)).find(sjis::kSourceBookLabel) !=
               std::string_view::npos;
}

} // namespace kven
