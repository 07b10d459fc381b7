#include "intake/BookText.h"

#include "intake/BookMarkup.h"
#include "intake/EpubPackage.h"
#include "intake/Intake.h"
#include "intake/PageConversion.h"
#include "intake/ZipArchive.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>

namespace kven {

namespace {

constexpr std::string_view kNeither = "EPUB の本でも、テキストファイルを一つ収めた zip ファイルでもありません";
constexpr std::string_view kNothingToRead = "読める本文がありません";

bool isTextEntry(std::string_view name)
{
    const std::string_view ext = name.size() >= 4 ? name.substr(name.size() - 4) : std::string_view();
    return (ext == ".txt" || ext == ".TXT" || ext == ".Txt") && !name.starts_with("__MACOSX/");
}

// One content document as text, with where its table-of-contents targets `ids` stand in it.
std::string documentText(std::string markup, const EucJp& conv, const std::vector<std::string>& ids,
                         std::vector<std::size_t>& headingEnds, std::vector<std::size_t>& anchors)
{
    settleBookEncoding(markup, conv);
    markup = withAnchors(rubyToNotation(withoutBacklinks(withBlockBreaks(normalizeLineBreaks(markup)))), ids);
    detail::markupToText(markup, nullptr, &headingEnds);
    anchors = takeAnchors(markup, ids.size(), headingEnds);
    return markup;
}

ArchiveText bookText(ZipArchive& archive, const EucJp& conv)
{
    EpubPackage package = readEpubPackage(archive);
    if (package.spine.empty())
        archive.refuse(kNothingToRead);
    ArchiveText book;
    book.title = std::move(package.title);
    book.author = std::move(package.author);
    std::vector<std::size_t> starts;
    std::vector<std::size_t> anchorAt(package.contents.size(), 0);
    for (const std::string& path : package.spine) {
        // The ids that the contents point at in this document, and which entry each serves.
        std::vector<std::string> ids;
        std::vector<std::size_t> entries;
        for (std::size_t e = 0; e < package.contents.size(); ++e) {
            if (package.contents[e].document == path && !package.contents[e].fragment.empty()) {
                ids.push_back(package.contents[e].fragment);
                entries.push_back(e);
            }
        }
        std::vector<std::size_t> ends;
        std::vector<std::size_t> anchors;
        const std::string text = documentText(archive.read(path), conv, ids, ends, anchors);
        if (!starts.empty())
            book.text.append(sjis::kCrLf);
        starts.push_back(book.text.size());
        for (const std::size_t end : ends)
            book.headingEnds.push_back(starts.back() + end);
        for (std::size_t k = 0; k < entries.size(); ++k)
            anchorAt[entries[k]] = anchors[k] == std::string::npos ? 0 : anchors[k];
        book.text.append(text);
    }
    for (std::size_t e = 0; e < package.contents.size(); ++e) {
        const auto doc = std::find(package.spine.begin(), package.spine.end(), package.contents[e].document);
        const std::size_t offset = starts[static_cast<std::size_t>(doc - package.spine.begin())] + anchorAt[e];
        // Entries out of reading order (a contents page listed last) are passed over.
        if (book.contents.empty() || book.contents.back().offset <= offset)
            book.contents.push_back({offset, std::move(package.contents[e].label)});
    }
    return book;
}

} // namespace

ArchiveText archiveText(std::string_view bytes, std::string_view file, const EucJp& conv)
{
    ZipArchive archive(bytes, file);
    if (isEpub(archive))
        return bookText(archive, conv);
    const auto texts = std::count_if(archive.names().begin(), archive.names().end(), isTextEntry);
    if (texts != 1)
        archive.refuse(kNeither);
    const auto entry = std::find_if(archive.names().begin(), archive.names().end(), isTextEntry);
    ArchiveText download;
    download.text = normalizeLineBreaks(plainTextToSjis(archive.read(*entry), conv));
    return download;
}

} // namespace kven
