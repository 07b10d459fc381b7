#include "files/FileIo.h"
#include "intake/PageConversion.h"
#include "support/IconvAll.h"
#include "support/Sjis.h"
#include "text/Cp932.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace kven {
namespace {

using testing::sj;

// The EUC-JP spelling of a readable UTF-8 literal.
std::string eu(std::string_view utf8)
{
    return testing::iconvAll("EUC-JP", "UTF-8", utf8).value();
}

std::string converted(std::string text)
{
    const EucJp conv;
    convertPage(text, conv);
    return text;
}

struct Row {
    const char* why;
    std::string page;
    std::string text;
};

void checkRows(const std::vector<Row>& rows)
{
    for (const auto& row : rows)
        EXPECT_EQ(converted(row.page), row.text) << row.why;
}

TEST(PageConversion, Encoding)
{
    const std::string headEuc = "<html><head><meta charset=EUC-JP></head><body>";
    checkRows({
        {"empty", "", ""},
        {"EUC-JP marker before </head>", headEuc + eu("日本語の本文") + "</body>", sj("日本語の本文")},
        {"lower-case marker", "<head><meta charset=euc-jp></head>" + eu("あ"), sj("あ")},
        {"marker after </head>", "<head></head><meta charset=EUC-JP>\xa4\xa2", "\xa4\xa2"},
        {"no head end at all", "<meta charset=EUC-JP>\xa4\xa2", "\xa4\xa2"},
        {"mixed-case marker is not one", "<head><meta charset=Euc-Jp></head>\xa4\xa2", "\xa4\xa2"},
        {"marker between </HEAD> and </head> counts (head end is their sum)",
         "<HEAD></HEAD><meta charset=EUC-JP></head>\xa4\xa2", "\x82\xa0"},
        // </HEAD> at 8 and </head> at 15 put the head end at 23.
        {"marker just before the head end counts", "1234567</HEAD></head>EUC-JP\xa4\xa2", "1234567EUC-JP\x82\xa0"},
        {"marker exactly at the head end does not", "1234567</HEAD></head>xEUC-JP\xa4\xa2", "1234567xEUC-JP\xa4\xa2"},
        {"Yahoo title without head end", "<title>Yahoo!</title>\xa4\xa2", "Yahoo!\r\n\x82\xa0"},
        {"Yahoo title forces EUC-JP on a Shift_JIS page", "<title>Yahoo!</title>" + sj("日本"),
         "Yahoo!\r\n\x93\xed\x94\x7b"},
        {"no marker: taken as Shift_JIS", "<p>" + sj("日本") + "</p>", sj("日本")},
    });
}

// Pages whose bytes do not fit the encoding their markers give are read in the one their
// content shows, if they fit that one; every other page is read as declared, byte for byte.
TEST(PageConversion, EncodingFoundByContent)
{
    const std::string headUtf8 = "<head><meta charset=utf-8></head>";
    checkRows({
        {"EUC-JP page without a marker (Namazu tutorial)",
         eu("<title>Namazu 2.0 tutorial</title>\n</head>\n<body lang=\"ja\">\n<h1>Namazu 2.0 入門</h1>\n<hr>\n\n"
            "<p>\nNamazu 2.0 を初めて使う方のための入門書です。\n</p>"),
         sj("Namazu 2.0 tutorial\r\n\n\n\nKVENmarkNamazu 2.0 入門\n\n\n\nNamazu 2.0 "
            "を初めて使う方のための入門書です。\n")},
        {"UTF-8 page whose meta tag says EUC-JP (tDiary)",
         "<head>\n\t<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">\n"
         "\t<title>HOWTO write tDiary</title>\n</head>\n<body>\n"
         "<h1>tDiary<br><span style=\"font-size:medium\">日記の書き方</span></h1>\n"
         "<p>本文には、HTMLで日記を記述します。</p>",
         sj("\n\t\n\tHOWTO write tDiary\r\n\n\n\nKVENmarktDiary\r\n日記の書き方\n本文には、HTMLで日記を記述します。")},
        {"Shift_JIS page under a UTF-8 marker", headUtf8 + sj("<p>吾輩は猫である。名前はまだ無い。</p>"),
         sj("吾輩は猫である。名前はまだ無い。")},
        {"EUC-JP bytes that are well-formed Shift_JIS stay Shift_JIS, whatever the content shows",
         "<p>" + eu("このほんはにほんごでかかれています。") + "</p>", eu("このほんはにほんごでかかれています。")},
        {"Latin-1 letters in a UTF-8 page stay UTF-8: well-formed Shift_JIS is no proof",
         headUtf8 + "Gr\xf6\xdf"
                    "e f\xfcr sch\xf6ne Stra\xdf"
                    "en",
         "Gr?e f?r sch?ne Stra?en"},
        {"a stray byte in a UTF-8 page, which no other encoding fits: still UTF-8", headUtf8 + "日記の\x80書き方",
         sj("日記の?書き方")},
    });
}

TEST(PageConversion, Utf8Pages)
{
    const std::string head = "<head><meta charset=utf-8></head>";
    checkRows({
        {"full-width a", "<HEAD><meta charset=utf-8></HEAD>\xef\xbd\x81", "\x82\x81"},
        {"upper-case marker", "<head><meta charset=UTF-8></head>日本語", sj("日本語")},
        {"EM DASH has a near-equivalent",
         head + "a\xe2\x80\x94"
                "b",
         "a\x81\x5c"
         "b"},
        {"no CP932 form gives ?", head + "\xc3\xa7", "?"},
        {"byte-order mark has no CP932 form", "\xef\xbb\xbf" + head + "x", "?x"},
        // A character beyond U+FFFF has no CP932 form; bytes that are not UTF-8 cost one "?" a
        // run, never the page.
        {"emoji amid the text", head + "<p>前\xf0\x9f\x98\x80後</p>", sj("前?後")},
        {"cut off at the end", head + "a\xe3\x81", "a?"},
        {"wrong continuation byte: it starts a character of its own", head + "a\xe3\x41\x81", "a?A?"},
        {"stray continuation byte", head + "a\x80", "a?"},
        {"lead byte 0xF8 and what follows it", head + "a\xf8\x80\x80\x80\x80", "a?"},
        {"overlong, stray and surrogate bytes in a row are one run",
         head + "a\xc0\xbc\xff\xed\xa0\x80"
                "b",
         "a?b"},
        {"overlong two-byte < must not open a tag",
         head + "a\xc0\xbc"
                "b",
         "a?b"},
        {"overlong three-byte < must not open a tag",
         head + "a\xe0\x80\xbc"
                "b",
         "a?b"},
        {"encoded surrogate",
         head + "a\xed\xa0\x80"
                "b",
         "a?b"},
    });
}

TEST(PageConversion, ScriptBlocks)
{
    checkRows({
        {"attributes and < inside", "<script language=javascript>a<b</script>Text", "Text"},
        {"tags in different cases make one block", "<SCRIPT>x</script>Text", "Text"},
        {"stray closing tag first", "</script>A<script>x</script>B", "AB"},
        {"capitalised pair", "<Script>x</Script>T", "T"},
        {"any mix of cases", "<sCrIpT src=a.js></ScRiPt>T", "T"},
        {"style sheet (Webry blog)",
         "<style type=\"text/css\">\ntable.preview { border: 1px solid #000; }\n</style>\nText", "\nText"},
        {"style sheet in capitals, then a script", "<STYLE>p{x}</Style>a<script>b</script>c", "ac"},
        {"a style tag inside a script goes with the script", "<script>document.write('<style>');</script>T</style>U",
         "TU"},
        {"each case in turn", "<SCRIPT>1</SCRIPT>a<Script>2</Script>b<script>3</script>c", "abc"},
        {"many blocks", "a<script>1</script>b<script>2</script>c<script>3</script>d", "abcd"},
        {"no closing tag: nothing deleted", "<script>a", "a"},
        {"closing tag inside a double-byte character does not count", "<script>\x81</script>x</script>T", "T"},
        {"deletion joins a new opening", "<SC<SCRIPT></SCRIPT>RIPT>evil</SCRIPT>T", "T"},
        {"two deletions join one opening", "<S<SCRIPT></SCRIPT>C<SCRIPT></SCRIPT>RIPT>x</SCRIPT>T", "T"},
        {"a < that is a second byte starts no joined opening", "\x81<SCRIP<SCRIPT></SCRIPT>T>x</SCRIPT>Z", "\x81xZ"},
    });
}

TEST(PageConversion, HeadingsAndLineBreaks)
{
    checkRows({
        {"upper-case level 1 wins", "<H1>One</H1><h1>Two</h1><H2>Three</H2>", "KVENmarkOneTwoThree"},
        {"lower-case level 1 next", "<h1 class=t>One</h1><H2>Two</H2>", "KVENmarkOneTwo"},
        {"level 2 and font size 5", "<h2>A</h2><font size=5>B</font>", "KVENmarkAKVENmarkB"},
        {"upper-case level 2 as well", "<H2>A</H2>", "KVENmarkA"},
        {"upper-case FONT is no heading", "<FONT SIZE=5>B", "B"},
        {"attributes are stripped", "<H1 align=center>" + sj("第一章") + "</H1>", "KVENmark" + sj("第一章")},
        {"three BR give two line breaks", "A<BR><BR><BR>B", "A\r\n\r\nB"},
        {"seven br give four", "A<br><br><br><br><br><br><br>B", "A\r\n\r\n\r\n\r\nB"},
        {"mixed case pair is two singles", "A<BR><br>B", "A\r\n\r\nB"},
        {"self-closing br is no line break", "A<br />B", "AB"},
        {"Br is no line break", "A<Br>B", "AB"},
        {"title end and dd", "<TITLE>t</TITLE><DD>u<dd>v<title>w</title>", "t\r\n\r\nu\r\nvw\r\n"},
        {"source line breaks stay", "a\r\nb\nc", "a\r\nb\nc"},
        {"ruby upper case", sj("<RUBY>漢字<RP>（</RP><RT>かんじ</RT><RP>）</RP></RUBY>"), sj("漢字《かんじ》")},
        {"ruby lower case", sj("<ruby><rb>漢字</rb><rp>（</rp><rt>かんじ</rt><rp>）</rp></ruby>"),
         sj("漢字《かんじ》")},
    });
}

TEST(PageConversion, TagsAndEntities)
{
    checkRows({
        {"the old four, and &amp;", "1 &lt; 2 &amp;&nbsp;3", "1 < 2 & 3"},
        {"upper-case entities", "&LT;&GT;&NBSP;&QUOT;&quot;&gt;", "<> \"\">"},
        {"letter case names another character, or none", "&Lt;&lT;", sj("≪") + "&lT;"},
        {"each decoded once", "&amp;lt; &amp;#60; &#38;amp;", "&lt; &#60; &amp;"},
        {"names of HTML 4 and HTML 5", "&para;&hellip;&rarr;&apos;&Alpha;&NewLine;", sj("¶…→'Α ")},
        {"near-equivalents, else \"?\" as a UTF-8 page has it", "&mdash;&minus;&copy;&hearts;", sj("―－") + "??"},
        {"blanks of any width are blanks, invisible characters nothing", "a&emsp;b&shy;c&ZeroWidthSpace;d", "a bcd"},
        {"two characters: both, or one \"?\"", "&fjlig;&nvlt;", "fj?"},
        {"unknown, unterminated or empty names stay", "&foo; &copy 2005 &; &", "&foo; &copy 2005 &; &"},
        {"a name longer than any stays", "&" + std::string(40, 'a') + ";", "&" + std::string(40, 'a') + ";"},
        {"numbers: decimal, hexadecimal, either x", "&#12354;&#x3042;&#X3042;&#x2460;&#8212;", sj("あああ①―")},
        {"eight digits at most", "&#00012354;&#000012354;", sj("あ") + "&#000012354;"},
        {"white space is a blank, another control character stays", "&#10;&#9;&#160;&#1;&#0;&#x80;",
         "   &#1;&#0;&#x80;"},
        {"no CP932 form, a surrogate or beyond Unicode: the reference stays", "&#x1F600;&#xD800;&#x110000;&#x20AC;",
         "&#x1F600;&#xD800;&#x110000;&#x20AC;"},
        {"unterminated or without digits stays", "&#12354 &#x; &#;", "&#12354 &#x; &#;"},
        {"an & that a stray lead byte takes as its second byte starts nothing", "\x81&amp;", "\x81&amp;"},
        {"decoded < is not stripped", "&lt;b&gt;x", "<b>x"},
        {"bare < removes up to >", "a < b", "a "},
        {"< without > removes to the end", "abc<def\r\nghi", "abc"},
        {"comments are not recognised", "<!-- a > b -->C", " b --C"},
        {"style sheets go", "<style>p{x}</style>", ""},
    });
}

// With the option, a block that text follows on its line ends the line; the heading ends move
// with the text.
TEST(PageConversion, BlockLines)
{
    const struct {
        const char* why;
        std::string page;
        std::string text;
        std::vector<std::size_t> ends;
    } rows[] = {
        {"a page on one line",
         sj("<h1>第一章</h1><p>最初です</p><p>次です</p><ul><li>項目一</li><li>項目二</li></ul>"),
         sj("KVENmark第一章\r\n最初です\r\n次です\r\n項目一\r\n項目二"),
         {14}},
        {"text right after a block end, and a rule", "<p>a</p>b<hr>c<HR/>d", "a\r\nb\r\nc\r\nd", {}},
        {"a line break after tags and blanks is the line end",
         "<p>a</p> </div>\t\r\nb<p>c</p><br>d",
         "a \t\r\nbc\r\nd",
         {}},
        {"nested blocks end one line, and an empty block none",
         "<div><p>a</p></div><div></div><div>b</div>",
         "a\r\nb",
         {}},
        {"a heading run into its text keeps its line; one that a tag follows does not, and a block start ends none",
         "<h3>A</h3>text<h3>B</h3><span>t</span>",
         "AtextB\r\nt",
         {}},
        {"an unclosed tag after a block is the end", "<p>a</p><b", "a", {}},
        {"inline ends and a heading left open end no line", "<h2>a<b>b</b><i>c</i>d", "KVENmarkabcd", {}},
    };
    for (const auto& row : rows) {
        std::string text = row.page;
        std::vector<std::size_t> ends;
        const EucJp conv;
        convertPage(text, conv, nullptr, &ends, {.blockLines = true});
        EXPECT_EQ(text, row.text) << row.why;
        EXPECT_EQ(ends, row.ends) << row.why;
    }
    // Off, the page reads as it always did.
    EXPECT_EQ(converted(rows[0].page), sj("KVENmark第一章最初です次です項目一項目二"));
}

// The bases are a by-product: the text is the same with or without asking for them.
TEST(PageConversion, RubyBasesInPageOrder)
{
    struct BaseRow {
        const char* why;
        std::string page;
        std::vector<std::string> bases;
    };
    const BaseRow rows[] = {
        {"a base that is not kanji",
         sj("霧の<ruby><rb>ロンドン警視庁</rb><rp>（</rp><rt>スコットランドヤード</rt><rp>）</rp></ruby>"),
         {sj("ロンドン警視庁")}},
        {"both spellings, in page order",
         sj("<RUBY>甲<RP>（</RP><RT>こう</RT><RP>）</RP></RUBY><ruby>乙<rp>（</rp><rt>おつ</rt><rp>）</rp></ruby>"),
         {sj("甲"), sj("乙")}},
        {"converted as the text is: tags go, entities are decoded",
         sj("<ruby><rb><img alt=\"※\" />子&lt;窓</rb><rp>（</rp><rt>まど</rt><rp>）</rp></ruby>"),
         {sj("子<窓")}},
        {"no parenthesis, no base: nothing marks its end in the text",
         sj("<ruby>漢<rt>かん</rt></ruby><ruby>字<rp>（</rp><rt>じ</rt><rp>）</rp></ruby>"),
         {sj("字")}},
        {"a script's ruby is gone with the script", sj("<script><ruby>x<rp>（</rp></ruby></script>"), {}},
    };
    for (const BaseRow& row : rows) {
        std::string text = row.page;
        std::vector<std::string> bases;
        const EucJp conv;
        convertPage(text, conv, &bases);
        EXPECT_EQ(bases, row.bases) << row.why;
        EXPECT_EQ(text, converted(row.page)) << row.why;
    }
}

// ASCII letters in lower case. No letter is a lead byte, so character starts stay where they are.
std::string folded(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

// Deletion by searching afresh from the start after each deletion, in any letter case (on a
// folded copy; `opening` and `closing` in lower case), with the closing tag judged by
// character starts counted from the start of the text.
void deleteBlocksByRescanning(std::string& text, std::string_view opening, std::string_view closing)
{
    std::string lower = folded(text);
    for (;;) {
        const std::size_t o = findOffset(lower, opening);
        if (o == npos)
            return;
        std::size_t c = npos;
        for (std::size_t i = 0; i < lower.size(); i += sjis::isLeadByte(lower[i]) ? 2 : 1)
            if (i > o && lower.compare(i, closing.size(), closing) == 0) {
                c = i;
                break;
            }
        if (c == npos)
            return;
        text.erase(o, c + closing.size() - o);
        lower.erase(o, c + closing.size() - o);
    }
}

TEST(PageConversion, BlockDeletionMatchesRescanningOnRandomTexts)
{
    const std::string_view pieces[] = {"<SCRIPT", "</SCRIPT>", "<SC", "RIPT",  "RIPT>",     "</SCR", "IPT>", "<",
                                       "\x81",    "\x82\xa0",  "a",   ">",     "S",         "</",    "<S",   "\x81<",
                                       "SCRIP",   "T",         "<sc", "ript>", "</script>", "t",     "\x81S"};
    std::mt19937 rng(12345);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(0, 40);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (int k = length(rng); k > 0; --k)
            text += pieces[pick(rng)];
        std::string fast = text;
        std::string slow = text;
        detail::deleteBlocks(fast, "<script", "</script>");
        deleteBlocksByRescanning(slow, "<script", "</script>");
        ASSERT_EQ(fast, slow) << "input: " << text;
    }
}

std::string repeated(std::string_view piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

TEST(PageConversion, DeeplyNestedHalvesOfScriptTags)
{
    // Each deletion joins the halves around it into the next block, one level further out.
    const auto nested = [](int k) {
        return repeated("<scr", k) + "<script></script>" + repeated("ipt>secret</script>", k) + "Text";
    };
    for (const int k : {1, 16, 17, 40, 200})
        EXPECT_EQ(converted(nested(k)), "Text") << "k = " << k;
    EXPECT_EQ(converted(repeated("<SCRIP", 70) + "<SCRIPT></SCRIPT>" + repeated("T>x</SCRIPT>", 70) + "Z"), "Z");
    checkRows({
        {"halves of an upper-case tag", "<SCRIP<SCRIPT></SCRIPT>T>x</SCRIPT>Z", "Z"},
        {"halves spelled in different cases join too", "<scr<script></script>IPT>x</script>Z", "Z"},
        {"a < that is a second byte opens nothing, however deep",
         "\x81" + repeated("<scr", 20) + "<script></script>" + repeated("ipt>secret</script>", 20) + "Z",
         "\x81secretZ"},
    });
}

// The repeated search written out literally: the first opening at a character start counted
// from the start of the text, the first closing at a character start after it, in any letter
// case, delete both and everything between, and search the result again from its start.
std::size_t firstAt(std::string_view text, std::string_view pattern, std::size_t from)
{
    for (std::size_t i = 0; i < text.size(); i += sjis::charLength(text, i))
        if (i >= from && folded(text.substr(i, pattern.size())) == folded(pattern))
            return i;
    return npos;
}

void deleteBlocksLiterally(std::string& text, std::string_view opening, std::string_view closing)
{
    for (;;) {
        const std::size_t o = firstAt(text, opening, 0);
        if (o == npos)
            return;
        const std::size_t c = firstAt(text, closing, o + 1);
        if (c == npos)
            return;
        text.erase(o, c + closing.size() - o);
    }
}

TEST(PageConversion, BlockDeletionMatchesTheLiteralSearchOnNestedHalves)
{
    const std::string_view noise[] = {"<scr",      "ipt>",     "<script>",  "</script>", "</scr", "<SCRIPT",
                                      "</SCRIPT>", "<Script>", "</Script>", "<sCRIPT>",  "<",     ">",
                                      "</",        "x",        "\x81",      "\x82\xa0",  "\x81<", "\xb1"};
    const std::pair<std::string_view, std::string_view> tags[] = {
        {"<SCRIPT", "</script>"}, {"<Script", "</Script>"}, {"<style", "</STYLE>"}};
    std::mt19937 rng(777);
    std::uniform_int_distribution<std::size_t> pickNoise(0, std::size(noise) - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> depthOf(0, 90);
    for (int round = 0; round < 1500; ++round) {
        const auto& [opening, closing] = tags[static_cast<std::size_t>(round) % std::size(tags)];
        const auto addNoise = [&](std::string& to, int most) {
            for (int k = std::uniform_int_distribution<int>(0, most)(rng); k > 0; --k)
                to += noise[pickNoise(rng)];
        };
        // Levels of an opening split in two around the level inside it, each followed by some
        // text and a closing that may also be split; noise now and then breaks a join.
        std::string inner = std::string(opening) + ">" + std::string(closing);
        for (int level = depthOf(rng); level > 0; --level) {
            const std::size_t split = std::uniform_int_distribution<std::size_t>(1, opening.size() - 1)(rng);
            std::string outer(opening.substr(0, split));
            if (percent(rng) < 3)
                addNoise(outer, 2);
            outer += inner;
            outer += opening.substr(split);
            outer += ">";
            if (percent(rng) < 20)
                addNoise(outer, 3);
            outer += closing;
            inner = std::move(outer);
        }
        std::string text;
        addNoise(text, 6);
        text += inner;
        addNoise(text, 6);
        std::string fast = text;
        std::string slow = text;
        detail::deleteBlocks(fast, opening, closing);
        deleteBlocksLiterally(slow, opening, closing);
        ASSERT_EQ(fast, slow) << "input: " << text;
    }
}

// ---- Real pages ----

std::filesystem::path corpus()
{
    return KVEN_CORPUS_DIR;
}

std::string readPage(const std::filesystem::path& path)
{
    std::string bytes;
    EXPECT_EQ(readWholeFile(path.string(), kEditorTextLimit, bytes), ReadStatus::ok) << path;
    return bytes;
}

std::vector<std::filesystem::path> pagesIn(const char* folder)
{
    std::vector<std::filesystem::path> pages;
    const auto dir = corpus() / folder;
    if (std::filesystem::is_directory(dir))
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.is_regular_file())
                pages.push_back(entry.path());
    std::sort(pages.begin(), pages.end());
    return pages;
}

TEST(HTMLconvCorpus, EveryPageConverts)
{
    if (!std::filesystem::is_directory(corpus()))
        GTEST_SKIP() << "no corpus at " << corpus();
    int count = 0;
    for (const char* folder : {"aozora_xhtml", "html_eucjp", "html_sjis", "html_utf8"})
        for (const auto& path : pagesIn(folder)) {
            std::string text = converted(readPage(path));
            EXPECT_FALSE(text.empty()) << path;
            ++count;
        }
    EXPECT_EQ(count, 17);
}

TEST(HTMLconvCorpus, EucPagesConvertLikeIconv)
{
    if (!std::filesystem::is_directory(corpus()))
        GTEST_SKIP() << "no corpus at " << corpus();
    const EucJp conv;
    int compared = 0;
    for (const auto& path : pagesIn("html_eucjp")) {
        const std::string page = readPage(path);
        if (page.find('\x8f') != std::string::npos)
            continue; // JIS X 0212 characters: copied and paired by our rules, not decoded
        const auto reference = testing::iconvAll("CP932", "EUC-JP", page);
        ASSERT_TRUE(reference.has_value()) << path;
        EXPECT_EQ(conv.toSjis(page), *reference) << path;
        ++compared;
    }
    EXPECT_EQ(compared, 4);
}

TEST(HTMLconvCorpus, Utf8PageWhoseMetaSaysEucJpIsReadAsUtf8)
{
    const auto path = corpus() / "html_utf8/tdiary_HOWTO-write-tDiary_2008_utf8_meta_says_eucjp.html";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no corpus page " << path;
    const std::string page = readPage(path);
    const EucJp conv;

    std::string asEucJp = conv.toSjis(page);
    detail::markupToText(asEucJp);
    std::string expected = cp932::fromUtf8(page);
    detail::markupToText(expected);

    const std::string text = converted(page);
    EXPECT_EQ(text, expected);
    EXPECT_NE(text, asEucJp);
}

// Each folder holds pages of one encoding, whatever their markers say or do not say.
TEST(HTMLconvCorpus, EveryPageIsReadInItsOwnEncoding)
{
    if (!std::filesystem::is_directory(corpus()))
        GTEST_SKIP() << "no corpus at " << corpus();
    const EucJp conv;
    const struct {
        const char* folder;
        std::string (*toSjis)(const EucJp&, const std::string&);
    } folders[] = {
        {"aozora_xhtml", [](const EucJp&, const std::string& page) { return page; }},
        {"html_sjis", [](const EucJp&, const std::string& page) { return page; }},
        {"html_eucjp", [](const EucJp& c, const std::string& page) { return c.toSjis(page); }},
        {"html_utf8", [](const EucJp&, const std::string& page) { return cp932::fromUtf8(page); }},
    };
    int count = 0;
    for (const auto& f : folders)
        for (const auto& path : pagesIn(f.folder)) {
            const std::string page = readPage(path);
            std::string expected = f.toSjis(conv, page);
            detail::markupToText(expected);
            EXPECT_EQ(converted(page), expected) << path;
            ++count;
        }
    EXPECT_EQ(count, 17);
}

TEST(HTMLconvCorpus, SameDocumentInEucJpAndUtf8GivesTheSameText)
{
    const auto euc = corpus() / "html_eucjp/tdiary_HOWTO-write-tDiary_2002_eucjp.html";
    const auto utf8 = corpus() / "html_utf8/tdiary_HOWTO-write-tDiary_2008_utf8_meta_says_eucjp.html";
    if (!std::filesystem::exists(euc) || !std::filesystem::exists(utf8))
        GTEST_SKIP() << "no tDiary pages in " << corpus();
    std::string fromUtf8 = cp932::fromUtf8(readPage(utf8));
    detail::markupToText(fromUtf8);
    EXPECT_EQ(converted(readPage(euc)), fromUtf8);
}

} // namespace
} // namespace kven
