// The chapters of an audiobook: Aozora heading notes in their forms, marked page headings,
// a heading at the very start, no headings; and the title and author of a document.

#include "intake/Chapters.h"
#include "intake/LineText.h"
#include "support/Sjis.h"

#include <gtest/gtest.h>

namespace kven {
namespace {

using testing::sj;

// The offset of the `n`-th occurrence (from 1) of `needle` (UTF-8) in the Shift_JIS `text`.
std::size_t at(const std::string& text, const std::string& needle, int n = 1)
{
    std::size_t p = std::string::npos;
    for (int i = 0; i < n; ++i)
        p = text.find(sj(needle), p == std::string::npos ? 0 : p + 1);
    return p;
}

TEST(Chapters, HeadingsOfEveryKind)
{
    const struct {
        const char* name;
        const char* text;
        std::vector<std::pair<const char*, const char*>> chapters; // where it starts, title
    } rows[] = {
        {"no headings", "題名\r\n本文です。\r\n", {{"", "書名"}}},
        {"a note after the heading, text before it",
         "題名\r\n作者\r\n\r\n［＃８字下げ］一［＃「一」は中見出し］\r\n本文。\r\n［＃８字下げ］二［＃「二」は中見出し"
         "］\r\n続き。\r\n",
         {{"", "書名"}, {"［＃８字下げ］一", "一"}, {"［＃８字下げ］二", "二"}}},
        {"a heading at the very start",
         "一［＃「一」は大見出し］\r\n本文。\r\n二［＃「二」は小見出し］\r\n続き。\r\n",
         {{"", "一"}, {"二［", "二"}}},
        {"start and end notes, ruby and notes left out of the title",
         "前。\r\n［＃中見出し］亜細亜《アジア》の曙［＃中見出し終わり］\r\n本文。\r\n",
         {{"", "書名"}, {"［＃中見出し］", "亜細亜の曙"}}},
        {"a block heading",
         "前。\r\n［＃ここから大見出し］\r\n第一部\r\n［＃ここで大見出し終わり］\r\n本文。\r\n",
         {{"", "書名"}, {"［＃ここから", "第一部"}}},
        {"run-in and window headings",
         "前。\r\n入藏［＃「入藏」は同行中見出し］　本文。\r\n龍王岬［＃「龍王岬」は窓小見出し］\r\n本文。\r\n",
         {{"", "書名"}, {"入藏［", "入藏"}, {"龍王岬［", "龍王岬"}}},
        {"a part title straight before a chapter title is one chapter",
         "前。\r\n第一部［＃「第一部」は大見出し］\r\n\r\n第一章［＃「第一章」は中見出し］\r\n本文。\r\n",
         {{"", "書名"}, {"第一部［", "第一部　第一章"}}},
        {"a gaiji note inside the heading note",
         "前。\r\n第※［＃「二」の古字、第3水準1-14-1］章［＃「第※［＃「二」の古字、第3水準1-14-"
         "1］章」は中見出し］\r\n本文。\r\n",
         {{"", "書名"}, {"第※", "第章"}}},
        {"a note that names no level", "前。\r\n［＃「見出し」は見出し］\r\n本文。\r\n", {{"", "書名"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string text = sj(row.text);
        std::vector<Chapter> expected;
        for (const auto& [start, title] : row.chapters)
            expected.push_back({*start ? at(text, start) : 0, title});
        EXPECT_EQ(findChapters(text, {}, {}, "書名"), expected);
    }
}

TEST(Chapters, MarkedPageHeadingsStartWhereTheirChunkStarts)
{
    // As loading leaves a page: a blank where each marker was, the heading right after it.
    const std::string text = sj("目次 表紙\r\n 第一章 始まり\r\n本文。 第二章《だいにしょう》\r\n続き。\r\n");
    const std::size_t first = at(text, "第一章");
    const std::size_t second = at(text, "第二章");
    const std::vector<Chapter> chapters = findChapters(text, {first, second}, {}, "題");
    // The first heads its line, whose chunk starts at the blank; the second follows text, so
    // its chunk starts at its own blank.
    EXPECT_EQ(chapters, (std::vector<Chapter>{{0, "題"}, {first - 1, "第一章 始まり"}, {second - 1, "第二章"}}));
    EXPECT_EQ(chapterAt(chapters, second - 2), 1u);
    EXPECT_EQ(chapterAt(chapters, second - 1), 2u);
    // Offsets left over from before an edit: not after a blank, inside a character, past the end.
    EXPECT_EQ(markedHeadings(text, {first, first + 1, at(text, "表紙") + 1, text.size() + 5}),
              (std::vector<std::size_t>{first}));
}

// A page's heading is titled by its element's own text, however the page goes on after it.
TEST(Chapters, MarkedPageHeadingsEndWhereTheirElementEnds)
{
    const struct {
        const char* name;
        const char* text;                                          // as loading leaves a page
        std::vector<const char*> marks;                            // each heading begins at the first occurrence of one
        std::vector<const char*> ends;                             // ...and ends after the first occurrence of one
        std::vector<std::pair<const char*, const char*>> chapters; // where it starts, title
    } rows[] = {
        {"paragraphs on the heading's line",
         " 第一章本文。 第二章続き。\r\n",
         {"第一章", "第二章"},
         {"第一章", "第二章"},
         {{"", "第一章"}, {" 第二章", "第二章"}}},
        {"a heading over several lines",
         " \r\n第一部\r\n序\r\n本文。\r\n",
         {"\r\n第一部"},
         {"序"},
         {{"", "第一部 序"}}},
        {"text after a heading on its line is read before the next one",
         " 一本文。\r\n 二\r\n",
         {"一", "二"},
         {"一", "二"},
         {{"", "一"}, {" 二", "二"}}},
        {"a page heading that carries a heading note too is one chapter",
         " 一章［＃「一章」は中見出し］\r\n本文。\r\n",
         {"一章"},
         {"一章"},
         {{"", "一章"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string text = sj(row.text);
        std::vector<std::size_t> marks;
        for (const char* mark : row.marks)
            marks.push_back(at(text, mark));
        std::vector<std::size_t> ends;
        for (const char* end : row.ends)
            ends.push_back(at(text, end) + sj(end).size());
        std::vector<Chapter> expected;
        for (const auto& [start, title] : row.chapters)
            expected.push_back({*start ? at(text, start) : 0, title});
        EXPECT_EQ(findChapters(text, marks, ends, "題"), expected);
    }
}

TEST(Chapters, TitleAndAuthor)
{
    const struct {
        const char* text;
        const char* file;
        const char* title;
        const char* author;
    } rows[] = {
        {"吾輩は猫である\r\n夏目漱石\r\n\r\n本文", "/x/neko.txt", "吾輩は猫である", "夏目漱石"},
        {"\r\n踊る地平線\r\n虹を渡る日\r\n谷譲次\r\n\r\n", "/x/a.txt", "踊る地平線", "谷譲次"},
        {"一行だけ\r\n\r\n本文", "/x/a.txt", "一行だけ", ""},
        {"", "/x/page.html", "page", ""},
    };
    for (const auto& row : rows) {
        const DocumentInfo info = documentInfo(sj(row.text), row.file);
        EXPECT_EQ(info.title, row.title) << row.text;
        EXPECT_EQ(info.author, row.author) << row.text;
    }
    // A first line that is a paragraph, not a title.
    std::string paragraph;
    for (int i = 0; i < 80; ++i)
        paragraph += "あ";
    EXPECT_EQ(documentInfo(sj(paragraph + "\r\n"), "/books/long.txt").title, "long");
}

// A chunk of the text as a reader sees it, for the text track: ruby readings and notes left
// out, also where the chunk begins inside one that its line opened.
TEST(ShownText, RubyReadingsAndNotesLeftOut)
{
    const struct {
        const char* name;
        const char* line;
        const char* from; // the chunk: from here (UTF-8) to the end of the line
        const char* shown;
    } rows[] = {
        {"ruby", "　吾輩《わがはい》は猫である。\r\n", "吾輩", "吾輩は猫である。"},
        {"ruby with its base marked", "一｜匹の猫《ねこ》。", "一", "一匹の猫。"},
        {"notes", "猫［＃「猫」に傍点］です。［＃改丁］", "猫", "猫です。"},
        {"a gaiji", "※［＃「言＋示」、第4水準2-88-39］です。", "※", "です。"},
        {"inside a note opened before", "前［＃「甲。乙」に傍点］後です。", "乙", "後です。"},
        {"inside a reading opened before", "漢字《かん。じ》です。", "じ", "です。"},
        {"after a note closed before", "前［＃改行］後です。", "後", "後です。"},
    };
    for (const auto& row : rows) {
        const std::string text = "前の行。\r\n" + sj(row.line);
        const std::size_t start = text.find(sj(row.from), sj("前の行。\r\n").size());
        EXPECT_EQ(shownText(text, start, text.size() - start), row.shown) << row.name;
    }
}

} // namespace
} // namespace kven
