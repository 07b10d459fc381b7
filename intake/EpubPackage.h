#pragma once
// The package of an EPUB 2 or 3 book as reading needs it: the content documents in reading
// order, the table of contents and the title and author. Read with libxml2 from the archive's
// container and package documents and its navigation document (EPUB 3) or NCX (EPUB 2).

#include "intake/BookAddresses.h"
#include "intake/ZipArchive.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

struct ContentsLink {
    std::string document; // the archive entry it points into
    std::string fragment; // the element id after "#", percent-decoded; empty for the top
    std::string label;    // UTF-8, ruby readings left out, white space collapsed
};

struct EpubPackage {
    std::string title;  // UTF-8, from the metadata; may be empty
    std::string author; // UTF-8, the first creator; may be empty
    // The archive entries of the linear XHTML content documents, in reading order.
    std::vector<std::string> spine;
    // The table of contents in its own order, only entries that point into the spine.
    std::vector<ContentsLink> contents;
};

// True when the archive says it is an EPUB: its "mimetype" entry, or a container document.
bool isEpub(const ZipArchive& archive);

// Reads the package of the book in `archive`. Throws KvenError (through archive.refuse) when
// the container or the package document is missing or is no XML, when the spine is missing or
// lists a document twice, when an address climbs out of the archive, or when content, not only
// fonts, is encrypted. A navigation document that cannot be read leaves the contents empty.
EpubPackage readEpubPackage(ZipArchive& archive);

} // namespace kven
