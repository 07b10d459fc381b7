// The verdict on a book's encryption document is the book's fate: the input is the encryption
// document of a book that is otherwise sound, whose reading needs o/a.xhtml and o/nav.xhtml. The
// book must be read when the verdict is readable and refused with the verdict's reason otherwise;
// a drm verdict needs a CipherReference, and a document of white space alone names nothing.

#include "FuzzSupport.h"
#include "files/Errors.h"
#include "intake/BookText.h"
#include "intake/EpubPackage.h"
#include "support/ZipBytes.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using kven::EncryptionVerdict;
    using kven::fuzzing::check;
    const std::string encryption(reinterpret_cast<const char*>(data), size);
    const EncryptionVerdict verdict = kven::encryptionVerdict(
        encryption, [](const std::string& path) { return path == "o/a.xhtml" || path == "o/nav.xhtml"; });
    if (verdict == EncryptionVerdict::drm)
        check(encryption.find("CipherReference") != std::string::npos, "drm only where a CipherReference is");
    if (encryption.find_first_not_of(" \t\r\n") == std::string::npos)
        check(verdict == EncryptionVerdict::readable, "white space names nothing");

    const std::string archive = kven::testing::zipOf(
        {{"mimetype", "application/epub+zip"},
         {"META-INF/container.xml", R"(<container><rootfiles><rootfile full-path="o/p.opf"/></rootfiles></container>)"},
         {"o/p.opf", R"(<package><manifest><item id="a" href="a.xhtml" media-type="application/xhtml+xml"/>)"
                     R"(<item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>)"
                     R"(</manifest><spine><itemref idref="a"/></spine></package>)"},
         {"o/a.xhtml", "<html><body><p>a</p></body></html>"},
         {"o/nav.xhtml", R"(<html><body><nav><ol><li><a href="a.xhtml">a</a></li></ol></nav></body></html>)"},
         {"META-INF/encryption.xml", encryption}},
        false);
    const kven::EucJp conv;
    std::string refusal;
    try {
        kven::archiveText(archive, "/f/b.epub", conv);
    } catch (const kven::KvenError& e) {
        refusal = e.detail();
    }
    check(refusal == kven::encryptionRefusal(verdict), "the book is read or refused as the verdict says");
    return 0;
}
