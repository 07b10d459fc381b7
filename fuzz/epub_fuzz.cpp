// A book from arbitrary parts must be read or refused with a KvenError, nothing else: the input
// is split at "\n--\n" into the package document, the navigation document, the NCX, two content
// documents and the encryption document of an archive that the target makes; an input that is a
// ZIP archive itself is read as it stands. What is read must hold together: contents and
// heading ends rising and within the text, no anchor left in it.

#include "files/Errors.h"
#include "intake/BookText.h"
#include "intake/ZipArchive.h"
#include "support/ZipBytes.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string archive;
    if (kven::looksLikeZip(input)) {
        archive = std::string(input);
    } else {
        std::vector<std::string_view> parts;
        for (std::size_t from = 0; parts.size() < 6;) {
            const std::size_t end = std::min(input.find("\n--\n", from), input.size());
            parts.push_back(input.substr(std::min(from, input.size()), end - std::min(from, input.size())));
            from = end + 4;
        }
        archive =
            kven::testing::zipOf({{"mimetype", "application/epub+zip"},
                                  {"META-INF/container.xml", R"(<container><rootfiles><rootfile full-path="o/p.opf"/>)"
                                                             R"(</rootfiles></container>)"},
                                  {"o/p.opf", std::string(parts[0])},
                                  {"o/nav.xhtml", std::string(parts[1])},
                                  {"o/toc.ncx", std::string(parts[2])},
                                  {"o/a.xhtml", std::string(parts[3])},
                                  {"o/b.xhtml", std::string(parts[4])},
                                  {"META-INF/encryption.xml", std::string(parts[5])}},
                                 false);
    }
    const kven::EucJp conv;
    try {
        const kven::ArchiveText text = kven::archiveText(archive, "/f/b.epub", conv);
        for (std::size_t i = 0; i < text.contents.size(); ++i)
            if (text.contents[i].offset > text.text.size() ||
                (i > 0 && text.contents[i].offset < text.contents[i - 1].offset))
                std::abort();
        for (std::size_t i = 0; i < text.headingEnds.size(); ++i)
            if (text.headingEnds[i] > text.text.size() || (i > 0 && text.headingEnds[i] < text.headingEnds[i - 1]))
                std::abort();
        if (text.text.find('\x01') != std::string::npos)
            std::abort();
    } catch (const kven::KvenError&) {
    }
    return 0;
}
