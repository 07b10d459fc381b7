#pragma once
// The package of an EPUB 2 or 3 book as reading needs it: the content documents in reading
// order, the table of contents and the title and author. Read with libxml2 from the archive's
// container and package documents and its navigation document (EPUB 3) or NCX (EPUB 2).

#include "intake/BookAddresses.h"
#include "intake/ZipArchive.h"

#include <cstddef>
#include <functional>
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
    // What was wrong with the book, though it can be read (UTF-8).
    std::vector<std::string> warnings;
};

// The most entries a table of contents gives; a longer one is cut there, with a warning. Each
// entry kept costs some hundred bytes however short its markup, so a table of contents of
// millions of entries is never held whole.
inline constexpr std::size_t kContentsLimit = 100'000;

// What a book's encryption document (META-INF/encryption.xml) says of its reading.
enum class EncryptionVerdict {
    readable, // it names nothing the reading needs as encrypted (fonts may be obfuscated); an
              // empty one, or one of white space only, names nothing
    drm,      // it names a content document of the spine or the navigation document
    damaged,  // it is no XML
};

// The verdict on the encryption document `xml` of a book whose reading needs the archive entries
// for which `needed` holds. Each encrypted resource is named by the URI of a CipherReference,
// relative to the archive's root; one that names no entry of the archive is nothing to read.
EncryptionVerdict encryptionVerdict(const std::string& xml, const std::function<bool(const std::string&)>& needed);
// The reason a book with that verdict is refused for; empty for a readable one.
std::string_view encryptionRefusal(EncryptionVerdict verdict);

// True when the archive says it is an EPUB: its "mimetype" entry, or a container document.
bool isEpub(const ZipArchive& archive);

// Reads the package of the book in `archive`. Throws KvenError (through archive.refuse) when
// the container or the package document is missing or is no XML, when the spine is missing or
// lists a document twice, when an address climbs out of the archive, when a document the reading
// needs is stored encrypted, or when the encryption document is refused (encryptionVerdict). A
// navigation document that cannot be read leaves the contents empty. A spine item that the
// manifest lacks is passed over with a warning.
EpubPackage readEpubPackage(ZipArchive& archive);

} // namespace kven
