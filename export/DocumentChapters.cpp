#include "export/DocumentChapters.h"

#include "state/Session.h"

namespace kven {

DocumentInfo sessionDocumentInfo(const Session& session)
{
    const Document& document = session.document();
    // A book names itself.
    if (!document.title.empty())
        return {document.title, document.author};
    return documentInfo(session.text(), document.file.empty() ? session.caption() : document.file);
}

std::vector<Chapter> documentChapters(const Session& session, const std::string& documentTitle)
{
    const Document& document = session.document();
    if (document.contents.empty())
        return findChapters(session.text(), document.headings, document.headingEnds, documentTitle);
    std::vector<Chapter> entries;
    entries.reserve(document.contents.size());
    for (const TocEntry& entry : document.contents)
        entries.push_back({entry.offset, entry.title});
    return contentsChapters(session.text(), entries, documentTitle);
}

} // namespace kven
