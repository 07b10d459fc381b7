#include "intake/BookText.h"

#include "intake/BookMarkup.h"
#include "intake/EpubPackage.h"
#include "intake/Intake.h"
#include "intake/PageConversion.h"
#include "intake/PageEncoding.h"
#include "intake/ZipArchive.h"
#include "text/Cp932.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <algorithm>
#include <unordered_map>

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
std::string documentText(std::string markup, const EucJp& conv, bool blockLines, const std::vector<std::string>& ids,
                         std::vector<std::size_t>& headingEnds, std::vector<std::size_t>& anchors, EncodingFit& fit)
{
    fit = settleBookEncoding(markup, conv);
    markup = withoutHead(withBlockBreaks(normalizeLineBreaks(markup)));
    markup = withAnchors(rubyToNotation(withoutBacklinks(markup)), ids);
    detail::markupToText(markup, nullptr, &headingEnds, blockLines);
    anchors = takeAnchors(markup, ids.size(), headingEnds);
    return markup;
}

ArchiveText bookText(ZipArchive& archive, const EucJp& conv, bool blockLines)
{
    EpubPackage package = readEpubPackage(archive);
    if (package.spine.empty())
        archive.refuse(kNothingToRead);
    ArchiveText book;
    book.title = std::move(package.title);
    book.author = std::move(package.author);
    book.warnings = std::move(package.warnings);
    // The entries that point into each document, and which of them name an element in it.
    std::unordered_map<std::string_view, std::vector<std::size_t>> entriesOf;
    for (std::size_t e = 0; e < package.contents.size(); ++e)
        entriesOf[package.contents[e].document].push_back(e);
    std::vector<std::size_t> entryAt(package.contents.size(), 0);
    for (const std::string& path : package.spine) {
        std::vector<std::string> ids;
        std::vector<std::size_t> named;
        for (const std::size_t e : entriesOf[path]) {
            if (package.contents[e].fragment.empty())
                continue;
            // Ids are looked for in the Shift_JIS markup.
            ids.push_back(cp932::fromUtf8(package.contents[e].fragment));
            named.push_back(e);
        }
        std::vector<std::size_t> ends;
        std::vector<std::size_t> anchors;
        EncodingFit fit;
        const std::string text = documentText(archive.read(path), conv, blockLines, ids, ends, anchors, fit);
        if (std::string warning = mixedEncodingWarning("本文 " + path + " ", fit); !warning.empty())
            book.warnings.push_back(std::move(warning));
        if (&path != &package.spine.front())
            book.text.append(sjis::kCrLf);
        const std::size_t start = book.text.size();
        for (const std::size_t end : ends)
            book.headingEnds.push_back(start + end);
        for (const std::size_t e : entriesOf[path])
            entryAt[e] = start;
        for (std::size_t k = 0; k < named.size(); ++k)
            entryAt[named[k]] += anchors[k] == std::string::npos ? 0 : anchors[k];
        book.text.append(text);
    }
    for (std::size_t e = 0; e < package.contents.size(); ++e) {
        // Entries out of reading order (a contents page listed last) are passed over.
        if (book.contents.empty() || book.contents.back().offset <= entryAt[e])
            book.contents.push_back({entryAt[e], std::move(package.contents[e].label)});
    }
    return book;
}

} // namespace

ArchiveText archiveText(std::string_view bytes, std::string_view file, const EucJp& conv, bool blockLines)
{
    ZipArchive archive(bytes, file);
    if (isEpub(archive))
        return bookText(archive, conv, blockLines);
    const auto texts = std::count_if(archive.names().begin(), archive.names().end(), isTextEntry);
    if (texts != 1)
        archive.refuse(kNeither);
    const auto entry = std::find_if(archive.names().begin(), archive.names().end(), isTextEntry);
    ArchiveText download;
    EncodingFit fit;
    download.text = normalizeLineBreaks(plainTextToSjis(archive.read(*entry), conv, &fit));
    if (std::string warning = mixedEncodingWarning(*entry + " ", fit); !warning.empty())
        download.warnings.push_back(std::move(warning));
    return download;
}

} // namespace kven
