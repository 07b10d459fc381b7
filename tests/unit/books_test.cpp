#include "files/Errors.h"
#include "intake/BookMarkup.h"
#include "intake/BookText.h"
#include "intake/Chapters.h"
#include "intake/EpubPackage.h"
#include "intake/Intake.h"
#include "support/AnsweringDialogs.h"
#include "support/ScratchFolder.h"
#include "support/Sjis.h"
#include "support/ZipBytes.h"
#include "text/Sjis.h"

#include <gtest/gtest.h>

namespace kven {
namespace {

using testing::sj;
using testing::u8;
using testing::ZipEntry;
using testing::zipOf;

constexpr std::string_view kFile = "/books/b.epub";

const ZipEntry kMimetype{"mimetype", "application/epub+zip"};
const ZipEntry kContainer{"META-INF/container.xml",
                          R"(<?xml version="1.0"?><container xmlns="urn:oasis:names:tc:opendocument:xmlns:container">)"
                          R"(<rootfiles><rootfile full-path="OEBPS/book.opf"/></rootfiles></container>)"};

std::string package(std::string_view manifest, std::string_view spine)
{
    return std::string(
               R"(<?xml version="1.0" encoding="UTF-8"?><package xmlns="http://www.idpf.org/2007/opf" )"
               R"(xmlns:dc="http://purl.org/dc/elements/1.1/" version="3.0"><metadata><dc:title>羅生門</dc:title>)"
               R"(<dc:creator>芥川 龍之介</dc:creator></metadata><manifest>)") +
           std::string(manifest) + "</manifest>" + std::string(spine) + "</package>";
}

std::string xhtml(std::string_view body)
{
    return R"(<?xml version="1.0" encoding="UTF-8"?><html xmlns="http://www.w3.org/1999/xhtml"><head><title>t</title></head>)"
           "\n<body>\n" +
           std::string(body) + "\n</body></html>\n";
}

const std::string kManifest = R"(<item id="c1" href="text/one.xhtml" media-type="application/xhtml+xml"/>)"
                              R"(<item id="c2" href="text/two%20b.xhtml" media-type="application/xhtml+xml"/>)"
                              R"(<item id="note" href="text/note.xhtml" media-type="application/xhtml+xml"/>)"
                              R"(<item id="cover" href="cover.jpg" media-type="image/jpeg"/>)"
                              R"(<item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>)"
                              R"(<item id="ncx" href="toc.ncx" media-type="application/x-dtbncx+xml"/>)";
const std::string kSpine = R"(<spine toc="ncx"><itemref idref="cover"/><itemref idref="c1"/>)"
                           R"(<itemref idref="note" linear="no"/><itemref idref="c2"/></spine>)";

std::vector<ZipEntry> bookEntries(bool withNav)
{
    std::vector<ZipEntry> entries = {
        kMimetype,
        kContainer,
        {"OEBPS/book.opf", package(withNav ? kManifest
                                           : kManifest.substr(0, kManifest.find("<item id=\"nav\"")) +
                                                 kManifest.substr(kManifest.find("<item id=\"ncx\"")),
                                   kSpine)},
        {"OEBPS/cover.jpg", "\xff\xd8\xff"},
        {"OEBPS/text/one.xhtml", xhtml("<h1>一</h1><p>ある日の<ruby>暮方<rt>くれがた</rt></ruby>の事である。</p>"
                                       "<p id = '雨'>雨は、<ruby>羅<rt>ら</rt>生<rt>しょう</rt></ruby>門をつつんで"
                                       "<a epub:type=\"backlink\" href=\"note.xhtml\">戻る</a></p>"
                                       "<p>R&amp;B &amp;lt;<a id=\"backlink1\"/>と</p>")},
        {"OEBPS/text/note.xhtml", xhtml("<p>注の本文</p>")},
        {"OEBPS/text/two b.xhtml", xhtml("<h1>二</h1><p>下人の行方は、誰も知らない。</p>")},
        {"OEBPS/toc.ncx",
         R"(<?xml version="1.0"?><ncx xmlns="http://www.daisy.org/z3986/2005/ncx/"><navMap>)"
         R"(<navPoint><navLabel><text>第一 NCX</text></navLabel><content src="text/one.xhtml"/>)"
         R"(<navPoint><navLabel><text>雨</text></navLabel><content src="text/one.xhtml#%E9%9B%A8"/></navPoint>)"
         R"(</navPoint><navPoint><navLabel><text>第二 NCX</text></navLabel>)"
         R"(<content src="text/two%20b.xhtml"/></navPoint></navMap></ncx>)"},
    };
    if (withNav)
        entries.push_back(
            {"OEBPS/nav.xhtml",
             R"(<?xml version="1.0"?><html xmlns="http://www.w3.org/1999/xhtml" )"
             R"(xmlns:epub="http://www.idpf.org/2007/ops"><body><nav epub:type="landmarks"><ol><li>)"
             R"(<a href="text/note.xhtml">注</a></li></ol></nav><nav epub:type="toc"><ol><li>)"
             R"(<a href="text/one.xhtml">第<ruby>一<rt>いち</rt></ruby>  章</a><ol><li>)"
             R"(<a href="text/one.xhtml#雨">雨</a></li></ol></li><li><a href="text/two%20b.xhtml">)"
             R"(第二章</a></li><li><a href="http://example.com/x.xhtml">外</a></li></ol></nav></body></html>)"});
    return entries;
}

// Each contents entry's title and the first line that says something from where it points.
std::vector<std::string> entryLines(const ArchiveText& book)
{
    std::vector<std::string> lines;
    for (const Chapter& entry : book.contents) {
        std::string_view rest = std::string_view(book.text).substr(entry.offset);
        while (rest.starts_with("\r\n"))
            rest.remove_prefix(2);
        lines.push_back(entry.title + "|" + u8(std::string(rest.substr(0, rest.find("\r\n")))));
    }
    return lines;
}

TEST(EpubBooks, SpineContentsRubyAndMetadataFromNavOrNcx)
{
    const EucJp conv;
    const ArchiveText book = archiveText(zipOf(bookEntries(true)), kFile, conv);
    EXPECT_EQ(book.title, "羅生門");
    EXPECT_EQ(book.author, "芥川 龍之介");
    const std::string text = u8(book.text);
    // Ruby in the text's own notation, the back-link and the note kept out of the reading order
    // gone, the picture saying nothing, the documents in spine order.
    EXPECT_NE(text.find("ある日の｜暮方《くれがた》の事である。"), std::string::npos) << text;
    EXPECT_NE(text.find("雨は、｜羅《ら》｜生《しょう》門をつつんで\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("戻る"), std::string::npos);
    // "&amp;" decoded once; a self-closing link named like a back-link takes no text with it; the
    // head's title is not read.
    EXPECT_NE(text.find("R&B &lt;と"), std::string::npos) << text;
    EXPECT_EQ(text.find("t\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("注の本文"), std::string::npos);
    EXPECT_LT(text.find("つつんで"), text.find("下人の行方"));
    EXPECT_EQ(entryLines(book),
              (std::vector<std::string>{"第一 章|KVENmark一", "雨|雨は、｜羅《ら》｜生《しょう》門をつつんで",
                                        "第二章|KVENmark二"}));

    const ArchiveText epub2 = archiveText(zipOf(bookEntries(false)), kFile, conv);
    EXPECT_EQ(epub2.text, book.text);
    EXPECT_EQ(entryLines(epub2),
              (std::vector<std::string>{"第一 NCX|KVENmark一", "雨|雨は、｜羅《ら》｜生《しょう》門をつつんで",
                                        "第二 NCX|KVENmark二"}));
}

TEST(EpubBooks, RubyBecomesTheTextsOwnNotation)
{
    struct Row {
        const char* markup;
        const char* text;
    };
    const Row rows[] = {
        {"<ruby>漢字<rt>かんじ</rt></ruby>", "｜漢字《かんじ》"},
        {"<ruby><rb>漢</rb><rp>（</rp><rt>かん</rt><rp>）</rp><rb>字</rb><rp>(</rp><rt>じ</rt><rp>)</rp></ruby>",
         "｜漢《かん》｜字《じ》"},
        {"<ruby>漢<rt>かん</rt>字<rt>じ</rt></ruby>", "｜漢《かん》｜字《じ》"},
        {"<ruby><rb>漢</rb><rb>字</rb><rt>かん</rt><rt>じ</rt></ruby>", "｜漢字《かんじ》"},
        {"<RUBY>\n <rb>東京</rb>\n <rt>とうきょう</rt>\n</RUBY>です", "｜東京《とうきょう》です"},
        {"<ruby><span>東</span><rt>ひがし</rt></ruby>", "｜<span>東</span>《ひがし》"},
        {"<ruby>東京</ruby>と<ruby><rt>よみ</rt></ruby>", "東京とよみ"},
        {"前<ruby>東京<rt>とう", "前｜東京《とう》"},
        {"<rubyx>東</rubyx><rt>x</rt>", "<rubyx>東</rubyx><rt>x</rt>"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(u8(rubyToNotation(sj(row.markup))), row.text) << row.markup;
}

// A book's documents use the names of the XHTML DTD, which is never loaded; its navigation
// labels too. The option for block line ends reaches its documents.
TEST(EpubBooks, NamedReferencesAndBlockLines)
{
    const auto book = [](std::string_view body) {
        return zipOf(
            {kMimetype,
             kContainer,
             {"OEBPS/book.opf",
              package(R"(<item id="c1" href="one.xhtml" media-type="application/xhtml+xml"/>)"
                      R"(<item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>)",
                      R"(<spine><itemref idref="c1"/></spine>)")},
             {"OEBPS/one.xhtml", xhtml(body)},
             {"OEBPS/nav.xhtml", R"(<?xml version="1.0"?><html xmlns="http://www.w3.org/1999/xhtml" )"
                                 R"(xmlns:epub="http://www.idpf.org/2007/ops"><body><nav epub:type="toc"><ol><li>)"
                                 R"(<a href="one.xhtml">一&hellip;&amp;&#x2460;</a></li></ol></nav></body></html>)"}});
    };
    const struct {
        const char* why;
        const char* body;
        bool blockLines;
        const char* text;
    } rows[] = {
        {"names and numbers", "<p>&apos;&mdash;&hellip;&rarr;&#x2460;&amp;lt;</p>", false, "\r\n\r\n'―…→①&lt;\r\n\r\n"},
        {"a block that text follows, the option off", "<div>a</div>b", false, "\r\n\r\nab\r\n\r\n"},
        {"the option on", "<div>a</div>b", true, "\r\n\r\na\r\nb\r\n\r\n"},
    };
    const EucJp conv;
    for (const auto& row : rows) {
        const ArchiveText text = archiveText(book(row.body), kFile, conv, row.blockLines);
        EXPECT_EQ(u8(text.text), row.text) << row.why;
        ASSERT_EQ(text.contents.size(), 1u) << row.why;
        EXPECT_EQ(text.contents[0].title, "一…&①") << row.why;
    }
}

std::string patchedSizes(std::string zip, std::uint32_t size)
{
    // The uncompressed size of the only entry, in its local header and in the central directory.
    const auto put = [&](std::size_t at) {
        for (int i = 0; i < 4; ++i)
            zip[at + i] = static_cast<char>((size >> (8 * i)) & 0xff);
    };
    put(22);
    put(zip.find("PK\x01\x02") + 24);
    return zip;
}

TEST(EpubBooks, BadArchivesAreRefusedWithTheirReason)
{
    const auto book = [](std::string opfSpine, std::vector<ZipEntry> more = {}, std::string moreItems = "") {
        std::vector<ZipEntry> entries = {kMimetype,
                                         kContainer,
                                         {"OEBPS/book.opf", package(kManifest + moreItems, opfSpine)},
                                         {"OEBPS/text/one.xhtml", xhtml("<p>一</p>")},
                                         {"OEBPS/text/two b.xhtml", xhtml("<p>二</p>")}};
        entries.insert(entries.end(), more.begin(), more.end());
        return zipOf(entries);
    };
    const std::string good = book(R"(<spine><itemref idref="c1"/></spine>)");
    const auto encryption = [](std::string_view uri) {
        return ZipEntry{"META-INF/encryption.xml",
                        std::string(R"(<encryption xmlns="urn:oasis:names:tc:opendocument:xmlns:container" )"
                                    R"(xmlns:enc="http://www.w3.org/2001/04/xmlenc#"><enc:EncryptedData>)"
                                    R"(<enc:CipherData><enc:CipherReference URI=")") +
                            std::string(uri) + R"("/></enc:CipherData></enc:EncryptedData></encryption>)"};
    };
    struct Row {
        const char* what;
        std::string archive;
        const char* reason; // empty: the book is read
    };
    const Row rows[] = {
        {"a book", good, ""},
        {"a resource on the network in its manifest",
         book(R"(<spine><itemref idref="c1"/></spine>)", {},
              R"(<item id="f" href="https://example.com/f.woff" media-type="font/woff"/>)"),
         ""},
        {"only its fonts obfuscated", book(R"(<spine><itemref idref="c1"/></spine>)", {encryption("OEBPS/f.otf")}), ""},
        {"an empty encryption document names nothing",
         book(R"(<spine><itemref idref="c1"/></spine>)", {{"META-INF/encryption.xml", " \r\n"}}), ""},
        {"an encryption document naming what is outside the archive",
         book(R"(<spine><itemref idref="c1"/></spine>)", {encryption("../OEBPS/text/one.xhtml")}), ""},
        {"an encryption document that is no XML",
         book(R"(<spine><itemref idref="c1"/></spine>)", {{"META-INF/encryption.xml", "<<<not xml"}}),
         "暗号化の情報 (META-INF/encryption.xml) が XML として読めません"},
        {"no book, no text", zipOf({{"a.png", "png"}, {"b.htm", "x"}}),
         "EPUB の本でも、テキストファイルを一つ収めた zip ファイルでもありません"},
        {"two texts", zipOf({{"a.txt", "a"}, {"b.txt", "b"}}),
         "EPUB の本でも、テキストファイルを一つ収めた zip ファイルでもありません"},
        {"damaged", good.substr(0, good.size() - 30), "壊れた zip ファイルです"},
        {"a stored entry damaged, its size intact",
         [&] {
             std::string z = zipOf({{"a.txt", std::string(100, 'a')}}, false);
             z[40] ^= 0x55;
             return z;
         }(),
         "壊れた zip ファイルです"},
        {"a damaged entry",
         [&] {
             std::string z = zipOf({{"a.txt", std::string(5000, 'a')}});
             z[60] ^= 0x55;
             return z;
         }(),
         "壊れた zip ファイルです"},
        {"content encrypted (DRM)",
         book(R"(<spine><itemref idref="c1"/></spine>)", {encryption("OEBPS/text/one.xhtml")}),
         "暗号化 (DRM) された本です"},
        {"content encrypted, named from the root",
         book(R"(<spine><itemref idref="c1"/></spine>)", {encryption("/OEBPS/text/one.xhtml")}),
         "暗号化 (DRM) された本です"},
        {"an entry encrypted",
         zipOf({kMimetype,
                kContainer,
                {"OEBPS/book.opf", package(kManifest, R"(<spine><itemref idref="c1"/></spine>)")},
                {"OEBPS/text/one.xhtml", xhtml("<p>一</p>"), true}}),
         "暗号化 (DRM) された本です"},
        {"no spine", book(""), "本文の順序 (spine) がありません"},
        {"an empty spine", book("<spine/>"), "本文の順序 (spine) がありません"},
        {"a looping spine", book(R"(<spine><itemref idref="c1"/><itemref idref="c2"/><itemref idref="c1"/></spine>)"),
         "本文の順序 (spine) に同じ文書が繰り返し出てきます"},
        {"pictures only", book(R"(<spine><itemref idref="cover"/></spine>)"), "読める本文がありません"},
        {"no package", zipOf({kMimetype, {"OEBPS/book.opf", "x"}}), "EPUB のパッケージ文書がないか、読めません"},
        {"a package that is no XML", zipOf({kMimetype, kContainer, {"OEBPS/book.opf", "<package><"}}),
         "EPUB のパッケージ文書がないか、読めません"},
        {"a spine document missing",
         zipOf({kMimetype,
                kContainer,
                {"OEBPS/book.opf", package(kManifest, R"(<spine><itemref idref="c1"/></spine>)")}}),
         "必要なファイルがアーカイブにありません"},
        {"a name that climbs out", zipOf({{"../../etc/a.txt", "a"}}), "アーカイブの外を指す名前のファイルがあります"},
        {"an address that climbs out",
         zipOf({kMimetype,
                kContainer,
                {"OEBPS/book.opf", package(R"(<item id="c1" href="../../x.xhtml" media-type="application/xhtml+xml"/>)",
                                           R"(<spine><itemref idref="c1"/></spine>)")}}),
         "アーカイブの外を指すパスがあります"},
        {"an entry over the limit", patchedSizes(zipOf({{"a.txt", "abc"}}), (256U << 20) + 1),
         "展開すると大きすぎます (256 MiB 超)"},
        {"a decompression bomb", zipOf({{"a.txt", std::string(4U << 20, '\0')}}), "圧縮率が異常です (zip 爆弾の疑い)"},
    };
    const EucJp conv;
    for (const Row& row : rows) {
        try {
            const ArchiveText text = archiveText(row.archive, kFile, conv);
            EXPECT_STREQ(row.reason, "") << row.what;
            EXPECT_FALSE(text.text.empty()) << row.what;
        } catch (const KvenError& e) {
            EXPECT_EQ(e.what(), msgCannotOpen(kFile)) << row.what;
            EXPECT_EQ(e.detail(), row.reason) << row.what;
        }
    }
}

// A book that can be read, though something of it is wrong, is read with a warning for each.
TEST(EpubBooks, WarningsOfABookThatStillReads)
{
    const auto book = [](std::string_view spine, std::string_view one, std::size_t entries) {
        std::string nav = R"(<html xmlns="http://www.w3.org/1999/xhtml"><body><nav><ol>)";
        for (std::size_t n = 0; n < entries; ++n)
            nav += "<li><a href=\"one.xhtml\">" + std::to_string(n) + "</a></li>";
        nav += "</ol></nav></body></html>";
        return zipOf(
            {kMimetype,
             kContainer,
             {"OEBPS/book.opf",
              package(R"(<item id="c1" href="one.xhtml" media-type="application/xhtml+xml"/>)"
                      R"(<item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>)",
                      spine)},
             {"OEBPS/one.xhtml", std::string(one)},
             {"OEBPS/nav.xhtml", nav}});
    };
    const std::string spine = R"(<spine><itemref idref="c1"/></spine>)";
    const std::string utf8 = xhtml("<p>雨やみを待っていた。</p>");
    // The second half in Shift_JIS: the bytes fit neither encoding whole.
    const std::string mixed = utf8 + sj("<p>羅生門の下で雨やみを待っていた。</p>");
    const struct {
        const char* what;
        std::string archive;
        std::size_t contents;
        std::vector<std::string> warnings;
    } rows[] = {
        {"nothing wrong", book(spine, utf8, 1), 1, {}},
        {"spine items the manifest lacks",
         book(R"(<spine><itemref idref="gone"/><itemref idref="c1"/><itemref idref="lost"/></spine>)", utf8, 1),
         1,
         {"本文の順序 (spine) の 2 項目がマニフェストにありません (最初は \"gone\"): その項目を飛ばして読みます"}},
        {"a document whose encoding changes partway",
         book(spine, mixed, 1),
         1,
         {"本文 OEBPS/one.xhtml の一部が UTF-8 として読めません (途中で文字コードが変わっているか、壊れています): "
          "その部分は文字化けしています"}},
        {"as many entries as a table of contents may have", book(spine, utf8, kContentsLimit), kContentsLimit, {}},
        {"one entry more",
         book(spine, utf8, kContentsLimit + 1),
         kContentsLimit,
         {"目次の項目が多すぎます: 最初の 100000 項目だけを使います"}},
    };
    const EucJp conv;
    for (const auto& row : rows) {
        const ArchiveText text = archiveText(row.archive, kFile, conv);
        EXPECT_EQ(text.warnings, row.warnings) << row.what;
        EXPECT_EQ(text.contents.size(), row.contents) << row.what;
    }
}

// The navigation document is read as it streams by, never as a tree, and gives what the tree
// would: the parser's recovery from markup that is no XML, the table of contents over the
// first nav, labels without their readings.
TEST(EpubBooks, ContentsAsTheNavigationDocumentsTreeGivesThem)
{
    const auto book = [](std::string_view body) {
        return zipOf(
            {kMimetype,
             kContainer,
             {"OEBPS/book.opf",
              package(R"(<item id="c1" href="one.xhtml" media-type="application/xhtml+xml"/>)"
                      R"(<item id="c2" href="t&amp;o.xhtml" media-type="application/xhtml+xml"/>)"
                      R"(<item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>)",
                      R"(<spine><itemref idref="c1"/><itemref idref="c2"/></spine>)")},
             {"OEBPS/one.xhtml", xhtml("<p>一</p>")},
             {"OEBPS/t&o.xhtml", xhtml("<p>二</p>")},
             {"OEBPS/nav.xhtml", body.starts_with("<!DOCTYPE")
                                     ? std::string(body)
                                     : R"(<html xmlns="http://www.w3.org/1999/xhtml"><body>)" + std::string(body)}});
    };
    const struct {
        const char* what;
        const char* body;
        std::vector<std::string> titles;
    } rows[] = {
        // A character reference in an address, as in every row's second link.
        {"an unclosed line break, no end",
         R"(<nav><ol><li><a href="one.xhtml">一</a><br><li><a href="t&amp;o.xhtml">二</a></ol>)",
         {"一", "二"}},
        {"the table of contents after another nav, a link in a link",
         R"(<nav><a href="one.xhtml">外</a></nav><nav epub:type="toc"><a href="one.xhtml">前<a href="t&amp;o.xhtml">)"
         R"(<ruby>後<rt>あと</rt></ruby></a></a></nav></body></html>)",
         {"前後", "後"}},
        {"an empty table of contents",
         R"(<nav><a href="one.xhtml">外</a></nav><nav epub:type="toc"/></body></html>)",
         {}},
        {"entities the document declares",
         R"(<!DOCTYPE html [<!ENTITY e "え">]><html><body><nav><a href="one.xhtml">一&e;</a><a href="t&amp;o.xhtml">二&e;</a></nav>)",
         {"一", "二"}},
        // Found by fuzzing: the link around it was still being read.
        {"the table of contents inside a link of another nav",
         R"(<nav><a href="one.xhtml">外<nav epub:type="toc"><a href="t&amp;o.xhtml">二</a></nav>後</a></nav>)",
         {"二"}},
    };
    const EucJp conv;
    for (const auto& row : rows) {
        std::vector<std::string> titles;
        for (const Chapter& entry : archiveText(book(row.body), kFile, conv).contents)
            titles.push_back(entry.title);
        EXPECT_EQ(titles, row.titles) << row.what;
    }
}

TEST(EpubBooks, ChaptersFollowTheContents)
{
    const std::string text = sj("表紙\r\n第一部\r\n\r\n　一\r\n本文一。\r\n二\r\n本文二。\r\n");
    const auto at = [&](std::string_view s) { return text.find(sj(s)); };
    // Text before the first entry is the book's own chapter; a part's title page joins the
    // chapter after it; a blank before an entry goes with it; entries out of order are passed over.
    EXPECT_EQ(contentsChapters(text, {{at("第一部"), "第一部"}, {at("一\r\n本"), "一"}, {at("二\r\n"), "二"}, {3, "x"}},
                               "本"),
              (std::vector<Chapter>{{0, "本"}, {at("第一部"), "第一部\u3000一"}, {at("二\r\n"), "二"}}));
    EXPECT_EQ(contentsChapters(text, {{0, "表紙"}, {text.size() + 5, "外"}}, "本"),
              (std::vector<Chapter>{{0, "表紙"}}));
}

TEST(EpubBooks, ZippedTextOpensWithItsBookmarkAndABadBookChangesNothing)
{
    const testing::ScratchFolder folder;
    const std::string zipped = folder.write(
        "羅生門.zip",
        zipOf({{"rashomon/rashomon.txt", sj("羅生門\r\n下人《げにん》が\r\n")}, {"rashomon/fig.png", "\x89PNG"}}));
    const std::string bad = folder.write("bad.epub", zipOf({kMimetype, kContainer}));
    folder.write("KVEN.txt", sj(zipped) + ",8\r\n");
    Session session;
    testing::AnsweringDialogs dialogs;
    const EucJp conv;
    Bookmarks bookmarks{session, folder.path("KVEN.txt")};
    DocumentIntake intake(session, dialogs, bookmarks, conv);
    intake.loadFromCommandLine({zipped});
    EXPECT_EQ(u8(session.text()), "羅生門\r\n下人《げにん》が\r\n\r\n" + u8(std::string(sjis::kEndLine)));
    EXPECT_EQ(session.document().file, zipped);
    EXPECT_EQ(session.selStart(), 8U);

    dialogs.fileAnswers.push_back(bad);
    EXPECT_THROW(intake.openDocument(), KvenError);
    EXPECT_EQ(session.document().file, zipped);
    EXPECT_EQ(folder.read("KVEN.txt").find("bad.epub"), std::string::npos);
}

} // namespace
} // namespace kven
