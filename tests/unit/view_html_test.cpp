#include "reading/ChunkCuts.h"
#include "reading/ViewHtml.h"
#include "support/Sjis.h"
#include "text/Cp932.h"
#include "text/Sjis.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kven {
namespace {

using testing::sj;
using testing::u8;

std::string viewOf(const std::string& sjis, std::span<const RubyBase> bases = {})
{
    ViewHtmlWriter writer({sjis, {}, bases});
    return writer.lines(0, sjis.size());
}

TEST(ViewHtml, SetsTheNotationAsABookShowsIt)
{
    const struct {
        const char* name;
        const char* text; // UTF-8, made Shift_JIS
        const char* html;
    } rows[] = {
        {"marked ruby", "｜漢字《かんじ》です",
         "<p l=0 e=20><ruby><span o=2>漢字</span><rt>かんじ</rt></ruby><span o=16>です</span></p>\n"},
        // Unmarked: the run of kanji before the bracket, as the reading step takes it.
        {"unmarked ruby", "青い空《そら》",
         "<p l=0 e=14><span o=0>青い</span><ruby><span o=4>空</span><rt>そら</rt></ruby></p>\n"},
        {"two rubies side by side", "漢《かん》字《じ》",
         "<p l=0 e=18><ruby><span o=0>漢</span><rt>かん</rt></ruby><ruby><span o=10>字</span><rt>じ</rt></ruby></p>\n"},
        {"no base: the brackets are text", "「《》」", "<p l=0 e=8><span o=0>「《》」</span></p>\n"},
        {"a bar with no ruby after it is text", "a｜b",
         "<p l=0 e=4><span o=0 w=1>a</span><span o=1>｜</span><span o=3 w=1>b</span></p>\n"},
        {"heading", "第一章［＃「第一章」は中見出し］", "<h3 l=0 e=32><span o=0>第一章</span></h3>\n"},
        {"large heading", "序［＃「序」は大見出し］", "<h2 l=0 e=24><span o=0>序</span></h2>\n"},
        {"line indent", "［＃２字下げ］本文",
         "<p l=0 e=18 style=\"padding-inline-start:2em;\"><span o=14>本文</span></p>\n"},
        {"raised from the ground", "［＃地から１字上げ］署名",
         "<p l=0 e=24 class=g style=\"padding-inline-end:1em;\"><span o=20>署名</span></p>\n"},
        {"emphasis dots", "その男［＃「男」に傍点］は",
         "<p l=0 e=26><span o=0>その</span><span o=4 class=\"e\">男</span><span o=24>は</span></p>\n"},
        {"emphasis that is not what precedes it is ignored", "その男［＃「女」に傍点］",
         "<p l=0 e=24><span o=0>その男</span></p>\n"},
        {"emphasis by a pair of notes", "［＃傍点］ある［＃傍点終わり］日",
         "<p l=0 e=32><span o=10 class=\"e\">ある</span><span o=30>日</span></p>\n"},
        {"gaiji by its plane, row and cell", "※［＃「てへん＋丑」、第4水準2-12-93］",
         "<p l=0 e=38><span o=0 u=38>扭</span></p>\n"},
        {"gaiji by its code point", "※［＃「口＋世」、U+546D、ページ数-行数］",
         "<p l=0 e=41><span o=0 u=41>呭</span></p>\n"},
        {"gaiji without a code: its description, small", "※［＃「口＋世」、ページ数-行数］",
         "<p l=0 e=33><span o=0 u=33 class=\"s\">〔口＋世〕</span></p>\n"},
        {"a gaiji with ruby is the base", "※［＃「てへん＋丑」、第4水準2-12-93］《ねじ》",
         "<p l=0 e=46><ruby><span o=0 u=38>扭</span><rt>ねじ</rt></ruby></p>\n"},
        {"other notes are hidden", "あ［＃「あ」は底本では「い」］い",
         "<p l=0 e=32><span o=0>あ</span><span o=30>い</span></p>\n"},
        {"an unclosed note is text", "あ［＃注", "<p l=0 e=8><span o=0>あ［＃注</span></p>\n"},
        {"a page's character reference", "a&#x546D;b",
         "<p l=0 e=10><span o=0 w=1>a</span><span o=1 u=8>呭</span><span o=9 w=1>b</span></p>\n"},
        {"a short number stands upright", "第12回",
         "<p l=0 e=6><span o=0>第</span><span o=2 w=1 class=\"tcy\">12</span><span o=4>回</span></p>\n"},
        {"a longer one, or one in a word, does not", "2026年 a10",
         "<p l=0 e=10><span o=0 w=1>2026</span><span o=4>年</span><span o=6 w=1> a10</span></p>\n"},
        {"markup characters escaped", "<a&b>", "<p l=0 e=5><span o=0 w=1>&lt;a&amp;b&gt;</span></p>\n"},
        {"empty lines are lines; a line of notes alone shows nothing", "あ\r\n\r\n［＃改ページ］\r\nい",
         "<p l=0 e=2><span o=0>あ</span></p>\n<p l=4 e=4><br></p>\n<p l=22 e=24><span o=22>い</span></p>\n"},
        {"a block indented across lines", "［＃ここから２字下げ］\r\nあ\r\n［＃ここで字下げ終わり］\r\nい",
         "<p l=24 e=26 style=\"padding-inline-start:2em;\"><span o=24>あ</span></p>\n<p l=54 e=56><span "
         "o=54>い</span></p>\n"},
        {"lone CR and LF end lines too", "あ\rい\nう",
         "<p l=0 e=2><span o=0>あ</span></p>\n<p l=3 e=5><span o=3>い</span></p>\n<p l=6 e=8><span "
         "o=6>う</span></p>\n"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(viewOf(sj(row.text)), row.html) << row.name;
    // Found by fuzzing: a lead byte whose second byte is no trail byte is one character of the
    // text, and one on the page.
    EXPECT_EQ(viewOf("\x82\xff" + sj("あ")), "<p l=0 e=4><span o=0>\xef\xbf\xbd\xe3\x81\x82</span></p>\n");
}

TEST(ViewHtml, APagesRubyBaseAndHeadingAreItsOwn)
{
    const std::string text = sj("見出し\r\n青い空《そら》");
    const std::vector<std::size_t> headings{0};
    const std::vector<RubyBase> bases{{14, sj("い空")}};
    ViewHtmlWriter writer({text, headings, bases});
    EXPECT_EQ(writer.lines(0, text.size()),
              "<h3 l=0 e=6><span o=0>見出し</span></h3>\n"
              "<p l=8 e=22><span o=8>青</span><ruby><span o=10>い空</span><rt>そら</rt></ruby></p>\n");
}

TEST(ViewHtml, SectionsStartAtLinesAndCoverTheText)
{
    const std::string text = sj("あいう\r\nえお\r\nか\r\n");
    EXPECT_EQ(viewSections(text, 4), (std::vector<std::size_t>{0, 8, 14}));
    EXPECT_EQ(viewSections(text, 100), (std::vector<std::size_t>{0}));
    // Written section by section, the page is the page written at once.
    ViewHtmlWriter whole({text, {}, {}});
    ViewHtmlWriter bySection({text, {}, {}});
    EXPECT_EQ(bySection.lines(0, 8) + bySection.lines(8, 14) + bySection.lines(14, text.size()),
              whole.lines(0, text.size()));

    // A block indented in an earlier section holds in a section written by itself.
    const std::string indented = sj("［＃ここから２字下げ］\r\nあ\r\n［＃ここで字下げ終わり］\r\nい");
    for (const auto& [from, to] : {std::pair<std::size_t, std::size_t>{24, 28}, {54, 56}}) {
        ViewHtmlWriter inOrder({indented, {}, {}});
        inOrder.lines(0, from);
        ViewHtmlWriter alone({indented, {}, {}});
        alone.passOver(0, from);
        EXPECT_EQ(alone.lines(from, to), inOrder.lines(from, to)) << from;
    }
}

// What the page shows for each offset of the text, read back from its spans.
struct ShownPlace {
    std::size_t at;
    std::size_t bytes;
    std::string text;
};

std::string unescape(std::string_view html)
{
    std::string out;
    for (std::size_t i = 0; i < html.size(); ++i) {
        if (html[i] != '&') {
            out += html[i];
            continue;
        }
        for (const auto& [entity, c] : {std::pair{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}}) {
            if (html.substr(i).starts_with(entity)) {
                out += c;
                i += std::string_view(entity).size() - 1;
                break;
            }
        }
    }
    return out;
}

std::vector<ShownPlace> shownPlaces(std::string_view html)
{
    std::vector<ShownPlace> places;
    for (std::size_t at = html.find("<span o="); at != std::string_view::npos; at = html.find("<span o=", at + 1)) {
        const std::size_t tagEnd = html.find('>', at);
        const std::string_view tag = html.substr(at, tagEnd - at);
        const std::size_t offset = std::stoul(std::string(tag.substr(8)));
        std::size_t width = tag.find(" w=1") != std::string_view::npos ? 1 : 2;
        const std::size_t unit = tag.find(" u=");
        const std::string text = unescape(html.substr(tagEnd + 1, html.find('<', tagEnd) - tagEnd - 1));
        if (unit != std::string_view::npos) {
            places.push_back({offset, std::stoul(std::string(tag.substr(unit + 3))), text});
            continue;
        }
        std::size_t n = 0;
        for (std::size_t i = 0; i < text.size();) {
            std::size_t len = 1;
            const auto lead = static_cast<unsigned char>(text[i]);
            len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            places.push_back({offset + n * width, width, text.substr(i, len)});
            i += len;
            ++n;
        }
    }
    return places;
}

// Whether a stretch the page leaves out is notation alone: ruby marks, readings, notes.
bool isNotation(std::string_view utf8)
{
    while (!utf8.empty()) {
        if (utf8.starts_with("｜")) {
            utf8.remove_prefix(std::string_view("｜").size());
        } else if (utf8.starts_with("《")) {
            const std::size_t close = utf8.find("》");
            if (close == std::string_view::npos)
                return false;
            utf8.remove_prefix(close + std::string_view("》").size());
        } else if (utf8.starts_with("［＃")) {
            int depth = 0;
            std::size_t i = 0;
            for (; i < utf8.size(); ++i) {
                if (utf8.substr(i).starts_with("［"))
                    ++depth;
                else if (utf8.substr(i).starts_with("］") && --depth == 0)
                    break;
            }
            if (i == utf8.size())
                return false;
            utf8.remove_prefix(i + std::string_view("］").size());
        } else {
            return false;
        }
    }
    return true;
}

// Every chunk of every Aozora text of the corpus: each character of the chunk is shown at its
// own offset as itself, or stands inside a gaiji the page shows whole, or is notation the page
// leaves out; nothing is shown twice or out of order.
TEST(ViewHtml, EveryChunkOfTheCorpusMapsExactly)
{
    const std::filesystem::path folder = std::filesystem::path(KVEN_CORPUS_DIR) / "aozora_txt";
    if (!std::filesystem::is_directory(folder))
        GTEST_SKIP() << "the corpus is not here";
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream data;
        data << in.rdbuf();
        const std::string text = data.str();
        ViewHtmlWriter writer({text, {}, {}});
        const std::vector<std::size_t> sections = viewSections(text);
        std::string html;
        for (std::size_t s = 0; s < sections.size(); ++s)
            html += writer.lines(sections[s], s + 1 < sections.size() ? sections[s + 1] : text.size());
        const std::vector<ShownPlace> places = shownPlaces(html);

        auto place = places.begin();
        std::size_t chunks = 0;
        std::string hidden; // the notation since the last shown character, which chunks may cut
        std::size_t hiddenAt = 0;
        const auto checkHidden = [&] {
            EXPECT_TRUE(hidden.empty() || isNotation(u8(hidden)))
                << entry.path().filename() << " at " << hiddenAt << ": " << u8(hidden);
            hidden.clear();
        };
        for (std::size_t at = 0; at < text.size(); ++chunks) {
            const std::size_t end = at + std::max<std::size_t>(1, chunkLength(std::string_view(text).substr(at)));
            for (std::size_t i = at; i < end;) {
                if (place != places.end() && place->at == i) {
                    checkHidden();
                    if (place->bytes <= 2) {
                        ASSERT_EQ(place->text, u8(text.substr(i, place->bytes)))
                            << entry.path().filename() << " at " << i;
                    }
                    i += place->bytes;
                    ++place;
                    hiddenAt = i;
                    continue;
                }
                ASSERT_TRUE(place == places.end() || place->at > i) << entry.path().filename() << " at " << i;
                if (text[i] == '\r' || text[i] == '\n') {
                    checkHidden();
                    ++i;
                    hiddenAt = i;
                    continue;
                }
                const std::size_t len = sjis::charLength(text, i);
                hidden += text.substr(i, len);
                i += len;
            }
            at = std::max(end, place == places.begin() ? end : std::prev(place)->at + std::prev(place)->bytes);
        }
        checkHidden();
        EXPECT_EQ(place, places.end()) << entry.path().filename();
        EXPECT_GT(chunks, 0U);
    }
}

} // namespace
} // namespace kven
