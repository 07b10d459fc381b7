#pragma once
// The chapters of the document a session holds, found one way for whoever needs them: the
// audiobook export splits its files by them, and the window lists them to move around.

#include "export/Chapters.h"

#include <string>
#include <vector>

namespace kven {

class Session;

// The title and author the session's document gives itself: a book's own description, else
// what its text opens with (see documentInfo), named after its file or the caption.
DocumentInfo sessionDocumentInfo(const Session& session);

// A book with a table of contents has its entries as chapters (contentsChapters); any other
// document its headings (findChapters). Text before the first is named `documentTitle`.
std::vector<Chapter> documentChapters(const Session& session, const std::string& documentTitle);

} // namespace kven
