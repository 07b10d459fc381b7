#pragma once
// What a document's text tells of it, worked out once as it is loaded: its chapters, its title
// and its author, found one way for whoever needs them (the window lists the chapters to move
// around, the export splits and tags its files by them, the desktop's player names the track).

#include "state/Document.h"

#include <string>
#include <vector>

namespace kven {

class Session;

struct Outline {
    std::vector<Chapter> chapters;
    std::string title;  // UTF-8
    std::string author; // UTF-8, may be empty
};

// The outline of `document`'s text: a book's own title and author, else what its text opens
// with (see documentInfo), named after its file or else its caption; a book with a table of
// contents has its entries as chapters (contentsChapters), any other text its headings
// (findChapters). An empty text has no chapters.
Outline outlineOf(const Document& document, bool chapters = true);
// Whether the document's title is known rather than guessed: a book's own, or that of an Aozora
// text (one that explains its notation or names the book it was made from) with its author.
bool titleIsKnown(const Document& document);

// Sets the document's chapters, title and author to its outline.
void outline(Document& document);

// The outline of the text `session` holds now: the document's own while the text is the one
// loaded, else worked out anew from the text as it was edited; without `chapters`, only its
// title and author (which look at the text's opening only).
Outline currentOutline(const Session& session, bool chapters = true);

} // namespace kven
