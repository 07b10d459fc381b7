#include "intake/DocumentOutline.h"

#include "intake/Chapters.h"
#include "state/Session.h"

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

} // namespace kven
