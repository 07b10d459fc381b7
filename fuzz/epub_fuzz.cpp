// A book from arbitrary parts must be read or refused with a KvenError, nothing else: the input
// is split at "\n--\n" into the package document, the navigation document, the NCX, two content
// documents and the encryption document of an archive that the target makes; an input that is a
// ZIP archive itself is read as it stands. What is read must hold together: contents and
// heading ends rising and within the text, no anchor left in it.

#include "files/Errors.h"
#include "intake/BookText.h"
#include "intake/ZipArchive.h"

#include <zip.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string archiveOf(const std::vector<std::pair<std::string, std::string_view>>& entries)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(source);
    zip_t* archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
    for (const auto& [name, bytes] : entries) {
        const zip_int64_t i =
            zip_file_add(archive, name.c_str(), zip_source_buffer(archive, bytes.data(), bytes.size(), 0), 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(i), ZIP_CM_STORE, 0);
    }
    zip_close(archive);
    std::string bytes;
    if (zip_source_open(source) == 0) {
        char buffer[65536];
        for (zip_int64_t n; (n = zip_source_read(source, buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, static_cast<std::size_t>(n));
        zip_source_close(source);
    }
    zip_source_free(source);
    zip_error_fini(&error);
    return bytes;
}

} // namespace

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
        archive = archiveOf({{"mimetype", "application/epub+zip"},
                             {"META-INF/container.xml", R"(<container><rootfiles><rootfile full-path="o/p.opf"/>)"
                                                        R"(</rootfiles></container>)"},
                             {"o/p.opf", parts[0]},
                             {"o/nav.xhtml", parts[1]},
                             {"o/toc.ncx", parts[2]},
                             {"o/a.xhtml", parts[3]},
                             {"o/b.xhtml", parts[4]},
                             {"META-INF/encryption.xml", parts[5]}});
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
