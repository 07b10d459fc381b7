#include "reading/ChunkFilter.h"
#include "reading/FilterTables.h"
#include "reading/ReadingPace.h"
#include "reading/SessionFilter.h"
#include "reading/SpokenWeights.h"
#include "support/AnsweringDialogs.h"
#include "support/ReadingRig.h"
#include "support/ScratchFolder.h"

#include "text/FullWidth.h"
#include "text/Sjis.h"
#include "text/TextOps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace kven {
namespace {

using testing::ReadingRig;
using testing::sj;
using testing::u8;
using V = std::vector<std::string>;

TEST(ReadingControl, EmptyDocumentReturnsToIdleAtOnce)
{
    ReadingRig rig;
    rig.reader.start();
    EXPECT_FALSE(rig.session.reading());
    EXPECT_TRUE(rig.engine.spoken.empty());
    EXPECT_EQ(rig.queue.size(), 0u);
}

TEST(ReadingControl, CursorAtTheEndSaysNothingAndGoesIdle)
{
    ReadingRig rig;
    rig.setText("文A\r\n");
    rig.session.setSelStart(rig.session.text().size());
    rig.session.setReading(true);
    rig.reader.endOfStream(0, 0);
    EXPECT_FALSE(rig.session.reading());
    EXPECT_TRUE(rig.engine.spoken.empty());
    EXPECT_EQ(rig.session.selStart(), rig.session.text().size());
}

TEST(ReadingControl, AStepWhileIdleDoesNothing)
{
    ReadingRig rig;
    rig.setText("文A\r\n");
    rig.reader.endOfStream(1, 0);
    EXPECT_TRUE(rig.engine.spoken.empty());
    EXPECT_EQ(rig.session.selStart(), 0u);
}

TEST(ReadingControl, StopSkipsAndTheLateEventEndsTheChain)
{
    ReadingRig rig;
    rig.setText("一行目\r\n二行目\r\n");
    rig.reader.start();
    ASSERT_EQ(rig.said(), V{"一行目"});
    const std::size_t cursor = rig.session.selStart();
    rig.reader.stop();
    EXPECT_FALSE(rig.session.reading());
    EXPECT_EQ(rig.engine.calls.back(), "Skip Sentence 2147483647");
    EXPECT_EQ(rig.queue.runPending(), 1u) << "the skipped utterance still ends its stream";
    EXPECT_EQ(rig.said(), V{"一行目"});
    EXPECT_EQ(rig.session.selStart(), cursor) << "the cursor stays after the chunk being spoken";
}

TEST(ReadingControl, OnlyTheEndOfTheLastUtteranceRunsTheNextStep)
{
    ReadingRig rig;
    rig.setText("一\r\n二\r\n三\r\n四\r\n");
    rig.reader.start();
    rig.reader.stop();
    rig.reader.start();
    ASSERT_EQ(rig.said(), (V{"一", "二"}));
    rig.engine.finishSpeaking();
    EXPECT_EQ(rig.queue.runPending(), 2u);
    EXPECT_EQ(rig.said(), (V{"一", "二", "三"})) << "one chain, not two";
}

TEST(ReadingControl, AFailedUtteranceStopsReadingAndStartSaysItAgain)
{
    ReadingRig rig;
    rig.setText("一\r\n二\r\n");
    rig.reader.start();
    rig.engine.failSpeaking("音声合成に失敗しました");
    EXPECT_THROW(rig.queue.runPending(), KvenError) << "reported once, by the task of its event";
    EXPECT_EQ(rig.queue.size(), 0u);
    EXPECT_FALSE(rig.session.reading());
    EXPECT_EQ(rig.session.selStart(), 0u);
    EXPECT_EQ(rig.readAll(), (V{"一", "一", "二"})) << "the failed chunk is said again, not suppressed";
}

TEST(ReadingControl, PasteLeavesTheDocumentAndReadsTheClipboard)
{
    struct : Clipboard {
        std::string contents;
        std::string text() const override { return contents; }
    } clipboard;
    testing::ScratchFolder folder;
    ReadingRig rig;
    Bookmarks bookmarks(rig.session, folder.path("KVEN.txt"));
    testing::AnsweringDialogs dialogs;
    const EucJp conv;
    DocumentIntake intake(rig.session, dialogs, bookmarks, conv);
    rig.setText("文書の一行目\r\n二行目\r\n");
    Document book = rig.session.document();
    book.path = book.file = "/d/doc.txt";
    book.title = book.bookTitle = "本の題";
    book.contents = {{0, "第一章"}};
    rig.session.load(std::move(book));
    rig.reader.start();
    const std::size_t cursor = rig.session.selStart();
    const struct {
        const char* clipboard;
        const char* text; // as read afterwards, UTF-8
        const char* said; // first
    } rows[] = {
        {"貼り付けた文。\n次の行", "貼り付けた文。\r\n次の行\r\n\r\n読み上げ終了。", "貼り付けた文。"},
        {"", "\r\n読み上げ終了。", "読み上げ終了。"},
        {"行末に改行。\r\n", "行末に改行。\r\n\r\n読み上げ終了。", "行末に改行。"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.clipboard);
        clipboard.contents = row.clipboard;
        const auto skips = std::count(rig.engine.calls.begin(), rig.engine.calls.end(), "Skip Sentence 2147483647");
        rig.reader.pasteClipboard(intake, clipboard);
        EXPECT_EQ(std::count(rig.engine.calls.begin(), rig.engine.calls.end(), "Skip Sentence 2147483647"), skips + 1)
            << "reading stopped first";
        // Only the document left gets a bookmark, and it keeps it: the pasted text is no document.
        EXPECT_EQ(folder.read("KVEN.txt"), "/d/doc.txt," + std::to_string(cursor) + "\r\n");
        EXPECT_TRUE(rig.session.document().path.empty());
        EXPECT_TRUE(rig.session.document().file.empty());
        // Nor does it keep a book's title or contents, which an export would take.
        EXPECT_TRUE(rig.session.document().bookTitle.empty());
        EXPECT_NE(rig.session.document().title, "本の題");
        EXPECT_TRUE(rig.session.document().contents.empty());
        EXPECT_EQ(rig.session.caption(), "KVEN (temporary)");
        EXPECT_TRUE(rig.session.reading());
        EXPECT_EQ(u8(rig.session.text()), row.text);
        EXPECT_EQ(rig.said().back(), row.said);
    }
}

// Commands, one letter each: S start, x stop, f the utterance playing ends, a again,
// p previous, n next, N next before the engine's events have run, 3 three Next as one command,
// P two Previous as one, c a click before the fourth line, e another text put in the editor, w the pause before an
// utterance passes (rows whose pauses are held; in the others it passes at once). Afterwards reading runs to the end of
// the text, so a second chain would show as doubled chunks.
TEST(ReadingControl, AgainPreviousAndNext)
{
    std::string flood = "S";
    for (int i = 0; i < 2500; ++i)
        flood += "xS";
    const struct {
        std::string commands;
        V said;
        const char* text = "一\r\n二\r\n三\r\n四\r\n";
        bool held = false;
    } rows[] = {
        {"Sa", {"一", "一", "二", "三", "四"}}, // said again though it equals the last chunk
        {"Sfp", {"一", "二", "一", "二", "三", "四"}},
        {"Sffpp", {"一", "二", "三", "二", "一", "二", "三", "四"}}, // back chunk by chunk
        {"Sp", {"一", "一", "二", "三", "四"}},                      // nothing before the first
        {"Sn", {"一", "二", "三", "四"}},
        {"Sfffn", {"一", "二", "三", "四"}}, // past the last chunk: the end
        {"Sxa", {"一", "一", "二", "三", "四"}},
        {"Sfxp", {"一", "二", "一", "二", "三", "四"}},
        {"Sxn", {"一", "二", "三", "四"}},
        {"Sxcp", {"一", "三", "四"}},                                  // the chunk before the click
        {"a", {"一", "二", "三", "四"}},                               // nothing read yet: from the cursor
        {"Sfp", {"一", "二", "一", "二"}, "一\r\n\r\n広告\r\n二\r\n"}, // nothing to say passed over
        {"SNn", {"一", "三", "四"}},    // the second Next before the chain moved on counts
        {"SffNNn", {"一", "二", "三"}}, // and stops at the end
        {"S3", {"一", "四"}},
        {"SfffP", {"一", "二", "三", "四", "二", "三", "四"}},
        {"S3", {"四"}, "一\r\n二\r\n三\r\n四\r\n", true},
        // During the pause the chunk selected is the one being read, and commands answer at once.
        {"Sn", {"二", "三", "四"}, "一\r\n二\r\n三\r\n四\r\n", true},
        {"Snnn", {"四"}, "一\r\n二\r\n三\r\n四\r\n", true},
        {"Sa", {"一", "二", "三", "四"}, "一\r\n二\r\n三\r\n四\r\n", true},
        {"Swfp", {"一", "一", "二", "三", "四"}, "一\r\n二\r\n三\r\n四\r\n", true},
        {"SxS", {"一", "二", "三", "四"}, "一\r\n二\r\n三\r\n四\r\n", true},
        {"Swfx", {"一"}, "一\r\n二\r\n三\r\n四\r\n", true},                  // stopped in the pause: nothing more
        {"Sc", {"四"}, "一\r\n二\r\n三\r\n四\r\n", true},                    // a click in the pause: from there
        {"Se", {"別"}, "一\r\n二\r\n三\r\n四\r\n", true},                    // another text in the pause
        {flood, {"一", "二", "三", "四"}, "一\r\n二\r\n三\r\n四\r\n", true}, // the last state wins
        {flood + "x", {}, "一\r\n二\r\n三\r\n四\r\n", true},
        // A chapter jump (to 三): while reading, on from there in the one chain; while stopped
        // only the cursor moves.
        {"Sh", {"一", "三", "四"}},
        {"Sfh", {"一", "二", "三", "四"}},
        {"Shh", {"一", "三", "三", "四"}}, // the chapter from its start again
        {"h", {}},
        {"hS", {"三", "四"}},
        {"Sh", {"三", "四"}, "一\r\n二\r\n三\r\n四\r\n", true},
        {"Swhh", {"一", "三", "四"}, "一\r\n二\r\n三\r\n四\r\n", true},
        // Stopping before the next chunk (z) or before 三 (y): the chunk playing ends, and Start
        // goes on with the next one, nothing lost.
        {"Sz", {"一"}},
        {"SzfS", {"一", "二", "三", "四"}},
        {"SzxS", {"一", "二", "三", "四"}}, // Stop and Start end the request
        {"Sy", {"一", "二"}},
        {"SyffS", {"一", "二", "三", "四"}},
        {"Sz", {}, "一\r\n二\r\n三\r\n四\r\n", true}, // waiting for its pause: not said
        {"SzS", {"一", "二", "三", "四"}, "一\r\n二\r\n三\r\n四\r\n", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.commands.substr(0, 20));
        ReadingRig rig;
        rig.waiter.holding = row.held;
        rig.session.setSkipList({sj("広告")});
        rig.setText(row.text);
        for (const char c : row.commands) {
            switch (c) {
            case 'S': rig.reader.start(); break;
            case 'x': rig.reader.stop(); break;
            case 'f': rig.engine.finishSpeaking(); break;
            case 'a': rig.reader.again(); break;
            case 'p': rig.reader.previous(); break;
            case 'n': rig.reader.next(); break;
            case 'N': rig.reader.next(); continue;
            case '3': rig.reader.next(3); break;
            case 'P': rig.reader.previous(2); break;
            case 'c': rig.session.setSelStart(rig.session.text().find(sj("四"))); break;
            case 'w': rig.waiter.elapse(); break;
            case 'e': rig.setText("別\r\n"); break;
            case 'h': rig.reader.jumpTo(rig.session.text().find(sj("三"))); break;
            case 'z': rig.reader.setStopBefore(0); break;
            case 'y': rig.reader.setStopBefore(rig.session.text().find(sj("三"))); break;
            }
            rig.queue.runPending();
        }
        for (int i = 0; i < 20 && rig.session.reading(); ++i) {
            rig.waiter.elapse();
            rig.engine.finishSpeaking();
            rig.queue.runPending();
        }
        EXPECT_FALSE(rig.session.reading());
        EXPECT_EQ(rig.said(), row.said);
    }
}

TEST(ReadingStep, EachUtteranceWaitsFirstAndMovesTheCursorAfterSpeaking)
{
    ReadingRig rig;
    rig.setText("文A。文B\r\n");
    rig.reader.start();
    EXPECT_EQ(rig.said(), V{"文Ａ。"});
    EXPECT_EQ(rig.waiter.waits, std::vector<int>{200});
    EXPECT_EQ(rig.session.selStart(), sj("文A。").size());
    EXPECT_EQ(rig.session.selLength(), 0u);
    EXPECT_EQ(rig.queue.size(), 0u) << "no end-of-stream event from inside Speak";
    EXPECT_EQ(u8(rig.session.lastSpoken()), "文Ａ。");
}

TEST(ReadingStep, ChunkBoundaries)
{
    const struct {
        const char* text;
        V expected;
        const char* why;
    } rows[] = {
        {"文A。文B\r\n", {"文Ａ。", "文Ｂ"}, "a 。 with text after it ends the chunk"},
        {"文A。\r\n", {"文Ａ。"}, "a 。 right before the line break does not split"},
        {"文A。文B", {"文Ａ。文Ｂ"}, "without a line break the chunk runs to the end"},
        {"一\r\n文A。文B", {"一", "文Ａ。文Ｂ"}, "the last line is one chunk"},
        {"前\r\n。後\r\n", {"前", "。", "後"}, "a 。 at the start of a line is a chunk of its own"},
        {"あ\r\n\r\nい", {"あ", "い"}, "an empty line is skipped"},
    };
    for (const auto& r : rows) {
        ReadingRig rig;
        rig.setText(r.text);
        EXPECT_EQ(rig.readAll(), r.expected) << r.why;
        EXPECT_FALSE(rig.session.reading());
    }
}

TEST(ReadingStep, LastLineWithMaruReadsToTheEndFromAnyCursor)
{
    ReadingRig rig;
    rig.setText("文A。文B。文C");
    rig.session.setSelStart(sj("文A").size());
    EXPECT_EQ(rig.readAll(), V{"。文Ｂ。文Ｃ"});
}

TEST(ChunkLength, LongChunksAreCutAtTheFirstComma)
{
    // 300 bytes: "，" at byte 50, "、" at byte 100.
    std::string line(50, 'a');
    line += sj("，") + std::string(48, 'b') + sj("、") + std::string(198, 'c');
    ASSERT_EQ(line.size(), 300u);
    EXPECT_EQ(chunkLength(line + "\r\n"), 52u);
    std::string other(100, 'a');
    other += sj("、") + std::string(48, 'b') + sj("，") + std::string(148, 'c');
    EXPECT_EQ(chunkLength(other + "\r\n"), 102u) << "the earlier of the two";
    EXPECT_EQ(chunkLength(std::string(300, 'a') + "\r\n" + sj("、")), 302u)
        << "a comma after the chunk does not cut it";
    EXPECT_EQ(chunkLength(std::string(258, 'a') + "\r\n" + sj("、")), 260u) << "260 bytes is not long";
    EXPECT_EQ(chunkLength(std::string(259, 'a') + sj("、") + "\r\n"), 261u) << "261 bytes is long";
    EXPECT_EQ(chunkLength(std::string(300, 'a')), 300u);
}

// Both sides of each boundary, by length: the text said cannot tell a chunk that ends before
// a line break from one that takes the line break along.
TEST(ChunkLength, BothSidesOfEachBoundary)
{
    const std::string a100(100, 'a');
    const std::string touten = sj("、");
    const std::string maru = sj("。");
    const struct {
        std::string text;
        std::size_t length;
        const char* why;
    } rows[] = {
        {a100 + touten + std::string(156, 'b') + "\r\n", 260, "exactly the limit with a comma inside is kept whole"},
        {a100 + touten + std::string(157, 'b') + "\r\n", 102, "one byte past the limit is cut at the comma"},
        {a100 + touten + std::string(158, 'b'), 260, "the same at the end of the text"},
        {a100 + touten + std::string(159, 'b'), 102, "and one byte past it"},
        {"a" + touten + std::string(255, 'b') + maru + "c\r\n", 260, "a chunk ended by a 。 at the limit"},
        {"a" + touten + std::string(256, 'b') + maru + "c\r\n", 3, "and one byte past it"},
        {sj("文A。") + "\r\n" + sj("次"), sj("文A。\r\n").size(), "a 。 right before the line break takes it along"},
        {sj("文A。x") + "\r\n" + sj("次"), sj("文A。").size(), "one byte between them splits"},
        {sj("文A。文B"), sj("文A。文B").size(), "no line break left: the 。 does not split"},
        {maru + "x\x81\r\ny", 7, "a CR that is a second byte is no line break"},
        {maru + "x\x81\x81\r\ny", 2, "a CR after a double-byte character whose second byte is a lead value"},
        {"x\x81\x81\x42yz\r\n", 8, "a 。 hidden in a second byte and the next byte does not split"},
        {"ab\rcd\nef", 8, "lone CR and lone LF are no line breaks"},
        {"a\r\r\nb", 4, "CR CR LF ends at the second CR"},
        // The full-width form of a chunk without a comma to cut at must fit 1024 bytes.
        {std::string(512, 'a') + "\r\n", 514, "512 letters are 1024 bytes wide: the chunk is kept"},
        {std::string(513, 'a') + "\r\n", 512, "one more is cut where it still fits"},
        {std::string(513, 'a'), 512, "the same at the end of the text"},
        {std::string(9, ' ') + std::string(512, 'a'), 521, "leading blanks are trimmed and do not count"},
        {std::string(512, 'a') + "\t\t\r\n", 516, "nor do trailing ones"},
        {std::string(300, 'a') + " " + std::string(300, 'a'), 301, "cut after the last blank that fits"},
        {sj("あ。") + std::string(600, 'a'), 4, "or after the last 。, when no line break is left"},
        {std::string(511, 'a') + "\xb6\xde" + "a", 513, "ｶﾞ is one character wide and is cut after"},
        {std::string(512, 'a') + "\xb6\xde", 512, "and never between its halves"},
        {"\x81\x40" + std::string(600, 'a'), 513, "a leading full-width blank is no pause to cut at"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(chunkLength(r.text), r.length) << r.why;
}

// The first implementation: it searches the rest for the line break, then for a "。" before
// it, then for the commas. Its cost grows with the line, so it serves as the reference only.
// A chunk whose trimmed full-width form does not fit is then cut where it still fits: after
// the last pause (a blank or "。" with a character other than a blank before it), else after
// the last character that is no trimmed byte.
std::size_t chunkLengthBySearching(std::string_view rest)
{
    std::size_t len = rest.size();
    if (const std::size_t crlf = findOffset(rest, sjis::kCrLf); crlf != npos) {
        len = crlf + sjis::kCrLf.size();
        const std::size_t maru = findOffset(rest, sjis::kMaru, crlf);
        if (maru != npos && maru + sjis::kMaru.size() < crlf)
            len = maru + sjis::kMaru.size();
    }
    if (len > kLongChunk) {
        const std::size_t touten = findOffset(rest, sjis::kTouten, len);
        const std::size_t comma = findOffset(rest, sjis::kFullComma, len);
        const std::size_t cut = std::min(touten, comma);
        if (cut != npos)
            len = cut + 2;
    }
    const auto wide = [&](std::size_t end) { return toFullWidth(trimView(rest.substr(0, end)), npos); };
    const std::string whole = wide(len);
    if (whole.size() <= kFullWidthLimit)
        return len;
    std::vector<std::string_view> chars;
    for (std::size_t i = 0; i < len; i += sjis::charLength(rest, i))
        chars.push_back(rest.substr(i, sjis::charLength(rest, i)));
    const auto endOf = [&](std::size_t k) {
        return static_cast<std::size_t>(chars[k].data() - rest.data()) + chars[k].size();
    };
    // The trimmed form grows with the end: a search finds how many characters fit.
    std::size_t fitting = 0;
    for (std::size_t lo = 0, hi = chars.size(); lo < hi;) {
        const std::size_t mid = (lo + hi) / 2;
        if (wide(endOf(mid)).size() <= kFullWidthLimit)
            fitting = lo = mid + 1;
        else
            hi = mid;
    }
    const auto trimmed = [](std::string_view c) { return c.size() == 1 && static_cast<unsigned char>(c[0]) <= 0x20; };
    std::size_t pause = 0;
    bool text = false;
    for (std::size_t k = 0; k < fitting; ++k) {
        const std::string_view c = chars[k];
        if (text && (c == " " || c == sjis::kFullBlank || c == sjis::kMaru))
            pause = endOf(k);
        text = text || (!trimmed(c) && c != sjis::kFullBlank);
    }
    if (pause != 0)
        return pause;
    // An end between a half-width kana and the mark it composes with is no end.
    for (std::size_t k = fitting; k > 0; --k)
        if (!trimmed(chars[k - 1]) && whole.starts_with(wide(endOf(k - 1))))
            return endOf(k - 1);
    return 0;
}

TEST(ChunkLength, MatchesSearchingOnRandomTexts)
{
    const std::string_view pieces[] = {
        "\x81\x42", "\x81\x41", "\x81\x43", // 。、，
        "\r\n", "\r", "\n", "\r\n\r\n",
        // Double-byte characters whose second byte looks like a line break, a lead byte or
        // the second byte of 、。，.
        "\x82\x0d", "\x82\x0a", "\x88\x81", "\x81\x81", "\x83\x41", "\x83\x42", "\x83\x43",
        "\x81",                                      // a lead byte that takes whatever follows
        "\xb1", "\xdf",                              // half-width katakana
        "a", "A", "B", "C",                          // ASCII, and the second bytes of 、。， alone
        "\x82\xa0",                                  // あ
        " ", "\x81\x40", "\xb6\xde", "\xb6", "\xde", // blanks, ｶﾞ, and its halves
    };
    std::mt19937 rng(2024);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> count(0, 30);
    std::uniform_int_distribution<std::size_t> runLength(240, 280);
    std::uniform_int_distribution<int> percent(0, 99);
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        for (int k = count(rng); k > 0; --k) {
            // Long runs put the chunks around the limit.
            if (percent(rng) < 8)
                text += std::string(runLength(rng) * (percent(rng) < 30 ? 3 : 1), percent(rng) < 50 ? 'x' : '\x88');
            else
                text += pieces[pick(rng)];
        }
        // Every reading step from the start, then a few cursors anywhere.
        for (std::size_t cursor = 0; cursor < text.size();) {
            const std::string_view rest = std::string_view(text).substr(cursor);
            const std::size_t len = chunkLength(rest);
            ASSERT_EQ(len, chunkLengthBySearching(rest))
                << "cursor " << cursor << " in " << ::testing::PrintToString(text);
            ASSERT_GT(len, 0u);
            cursor += len;
        }
        for (int k = 0; k < 4 && !text.empty(); ++k) {
            const std::string_view rest =
                std::string_view(text).substr(std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(rng));
            ASSERT_EQ(chunkLength(rest), chunkLengthBySearching(rest)) << ::testing::PrintToString(std::string(rest));
        }
    }
}

TEST(ReadingStep, LongLineWithoutCommaIsOneChunk)
{
    ReadingRig rig;
    std::string text;
    for (int i = 0; i < 150; ++i)
        text += sj("あ");
    rig.session.setText(text + "\r\n");
    const V said = rig.readAll();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(sj(said[0].c_str()).size(), 300u);
}

// A line whose full-width form is longer than the mapping takes is read to its end in
// chunks that fit, and the cursor follows what was said.
TEST(ReadingStep, NothingOfALongLineWithoutCommaIsLost)
{
    std::string line;
    for (int i = 0; i < 1300; ++i)
        line += static_cast<char>('a' + i % 26);
    ReadingRig rig;
    rig.session.setText(line + "\r\n");
    std::string said;
    for (const std::string& chunk : rig.readAll())
        said += chunk;
    EXPECT_EQ(said, u8(toFullWidth(line, npos)));
    EXPECT_EQ(rig.session.selStart(), rig.session.text().size());
}

TEST(ReadingStep, SkipListDropsTheChunkWithoutWaiting)
{
    ReadingRig rig;
    rig.session.setSkipList({sj("広告"), ""});
    rig.setText("本文一\r\n今日の広告です\r\n本文二\r\n");
    EXPECT_EQ(rig.readAll(), (V{"本文一", "本文二"}));
    EXPECT_EQ(rig.waiter.waits.size(), 2u) << "no pause for the skipped chunk";
}

TEST(ReadingStep, ChunksOfMarksAlonePassOverWithTheOption)
{
    // Marks say nothing alone or in a row; symbols read as words, and iteration marks that
    // make a word in a row, still count.
    // A table's rule of "+", "-", "=" and "|" is marks too, though "+" alone is a word.
    const char* text = "「本文一」\r\n」\r\n――――\r\n…\r\n『（？！）』\r\n+---+===+\r\n〆〆\r\n＋\r\n℃\r\n本文二\r\n";
    for (const bool on : {false, true}) {
        SCOPED_TRACE(on);
        ReadingRig rig;
        rig.session.setTalkSymbols(sj("「」―…『（？！）』〆＋℃－＝"));
        rig.session.setOption(&ReadingOptions::passOverMarks, on);
        rig.setText(text);
        const V marks = {"」", "――――", "…", "『（？！）』", "＋－－－＋＝＝＝＋"};
        V expected = {"「本文一」"};
        if (!on)
            expected.insert(expected.end(), marks.begin(), marks.end());
        expected.insert(expected.end(), {"〆〆", "＋", "℃", "本文二"});
        EXPECT_EQ(rig.readAll(), expected);
        EXPECT_EQ(rig.session.selStart(), rig.session.text().size());
    }
}

TEST(ReadingStep, SkipEntryMatchesOnlyWholeCharacters)
{
    ReadingRig rig;
    // "{" is the second byte of "ボ": it must not match there.
    rig.session.setSkipList({"{"});
    rig.session.setTalkSymbols(sj("｛"));
    rig.setText("ボタン\r\n{x}\r\n");
    EXPECT_EQ(rig.readAll(), V{"ボタン"});
}

TEST(ReadingStep, SkipListMatchesBeforeFullWidthMapping)
{
    ReadingRig rig;
    rig.session.setSkipList({"AB"});
    rig.setText("xxABxx\r\nＡＢ\r\n");
    EXPECT_EQ(rig.readAll(), V{"ＡＢ"});
}

// The first way with the lists: every skip entry searched for in the chunk, every character
// searched for in the talk symbols. Its cost grows with the lists, so it serves as the
// reference only.
bool skippedBySearching(std::string_view chunk, const V& skipList)
{
    return std::any_of(skipList.begin(), skipList.end(), [&](const std::string& e) { return contains(chunk, e); });
}
bool talkSymbolBySearching(std::string_view c, std::string_view talkSymbols)
{
    return !(c.size() == 1 && sjis::isLeadByte(c[0])) && contains(talkSymbols, c);
}

TEST(FilterTables, MatchSearchingOnRandomLists)
{
    const std::string_view pieces[] = {
        "\x82\xa0", "\x83\x7b", "\x81\x42",                       // あ, ボ (second byte "{"), 。
        "\x81\x81", "\x88\x81",                                   // second bytes that are lead values
        "\x81",     "\xe0",     "\xfc",                           // lead bytes that take whatever follows
        "{",        "a",        "b",        "B", "\r", "\n", " ", // ASCII, and second bytes alone
        "\xb1",     "\xa0",     "\xfd",                           // one-byte characters above 0x7F
    };
    std::mt19937 rng(1109);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    const auto randomText = [&](int maxPieces) {
        std::string text;
        for (int k = std::uniform_int_distribution<int>(0, maxPieces)(rng); k > 0; --k)
            text += pieces[pick(rng)];
        return text;
    };
    for (int round = 0; round < 3000; ++round) {
        const std::string chunk = randomText(16);
        // Entries: random ones, empty ones, and pieces of the chunk from any byte, so that
        // matches at and off character starts, prefixes of each other and repeats all occur.
        V skipList;
        for (int k = std::uniform_int_distribution<int>(0, 12)(rng); k > 0; --k) {
            const int kind = percent(rng);
            if (kind < 5 || chunk.empty()) {
                skipList.push_back(kind < 3 ? "" : randomText(3));
            } else if (kind < 40) {
                skipList.push_back(randomText(4));
            } else {
                const std::size_t from = std::uniform_int_distribution<std::size_t>(0, chunk.size() - 1)(rng);
                const std::size_t len = std::uniform_int_distribution<std::size_t>(1, chunk.size() - from)(rng);
                skipList.push_back(chunk.substr(from, len) + (percent(rng) < 20 ? randomText(1) : ""));
            }
        }
        const std::string talk = randomText(12);
        const FilterTables tables(skipList, talk);
        ASSERT_EQ(tables.skipList.foundIn(chunk), skippedBySearching(chunk, skipList))
            << ::testing::PrintToString(chunk) << " in " << ::testing::PrintToString(skipList);
        // Every one-byte character and every double-byte one the pieces can make.
        for (const std::string_view a : pieces) {
            for (const std::string_view b : pieces) {
                const std::string c = std::string(a) + std::string(b);
                for (const std::string_view ch : {a.substr(0, 1), std::string_view(c).substr(0, 2)}) {
                    if (ch.size() == 2 && !sjis::isLeadByte(ch[0]))
                        continue;
                    ASSERT_EQ(tables.talkSymbols.contains(ch), talkSymbolBySearching(ch, talk))
                        << ::testing::PrintToString(std::string(ch)) << " in " << ::testing::PrintToString(talk);
                }
            }
        }
    }
}

// The lists are prepared once per change, so each way of changing them must reach the step
// that follows, also in the middle of reading.
TEST(ReadingStep, ListChangesReachTheNextStep)
{
    const struct {
        const char* why;
        void (*change)(Session&);
        V expected;
    } rows[] = {
        {"skip list replaced", [](Session& w) { w.setSkipList({sj("三")}); }, {"一"}},
        {"skip entry added", [](Session& w) { w.addSkipEntry(sj("三")); }, {"一"}},
        {"talk symbols replaced", [](Session& w) { w.setTalkSymbols(sj("★")); }, {"一", "二★", "三"}},
    };
    for (const auto& r : rows) {
        ReadingRig rig;
        rig.setText("一\r\n二★\r\n三\r\n");
        rig.reader.start();
        ASSERT_EQ(rig.said(), V{"一"});
        r.change(rig.session);
        while (rig.session.reading()) {
            rig.engine.finishSpeaking();
            ASSERT_GT(rig.queue.runPending(), 0u);
        }
        EXPECT_EQ(rig.said(), r.expected) << r.why;
    }
}

TEST(ReadingStep, HalfWidthBecomesFullWidthAndSymbolsAreUnreadable)
{
    ReadingRig rig;
    rig.setText("ABC\r\n★★★\r\nｶﾞｲﾄﾞ\r\n");
    EXPECT_EQ(rig.readAll(), (V{"ＡＢＣ", "ガイド"}));
}

TEST(ReadingStep, UnreadRatioAtItsLimit)
{
    const struct {
        const char* text;
        bool aa;
        int limit;
        V expected;
    } rows[] = {
        {"あいうえおか★★★★", true, 3, {}},                     // 4 of 10 > 3 tenths
        {"あいうえおかき★★★", true, 3, {"あいうえおかき;;;"}}, // 3 of 10 is not more
        {"あいうえおかき★★★", true, 0, {}},                    // limit 0 drops any
        {"★★★★★★★★★あ", true, 10, {";;;;;;;;;あ"}},            // limit 10 never drops
        {"★★★★★★★★★あ", false, 0, {";;;;;;;;;あ"}},            // AA skip off
        {"★★★", false, 10, {}},                                // nothing readable: always dropped
    };
    for (const auto& r : rows) {
        ReadingRig rig;
        rig.session.setOption(&ReadingOptions::aaSkip, r.aa);
        rig.session.setLimit(&ReadingOptions::unreadLimit, r.limit);
        rig.session.setLimit(&ReadingOptions::blankLimit, 10);
        rig.setText(r.text);
        EXPECT_EQ(rig.readAll(), r.expected) << r.text << " limit " << r.limit;
    }
}

TEST(ReadingStep, BlankRatioIsGovernedByAaSkip)
{
    const char* text = "A　　　　　　　　　"; // one letter, nine full-width blanks
    const struct {
        bool aa;
        int limit;
        bool spoken;
    } rows[] = {{false, 0, true}, {true, 8, false}, {true, 9, true}, {true, 10, true}};
    for (const auto& r : rows) {
        ReadingRig rig;
        rig.session.setOption(&ReadingOptions::aaSkip, r.aa);
        rig.session.setLimit(&ReadingOptions::blankLimit, r.limit);
        rig.setText(text);
        EXPECT_EQ(rig.readAll().size(), r.spoken ? 1u : 0u) << "AA " << r.aa << " limit " << r.limit;
    }
}

TEST(ReadingStep, RepeatSuppression)
{
    for (const bool on : {true, false}) {
        ReadingRig rig;
        rig.session.setOption(&ReadingOptions::repeatSuppression, on);
        rig.setText("同じ\r\n同じ\r\n別\r\n同じ\r\n");
        EXPECT_EQ(rig.readAll(), (on ? V{"同じ", "別", "同じ"} : V{"同じ", "同じ", "別", "同じ"}));
    }
}

TEST(ReadingStep, RepeatSuppressionReachesAcrossDocuments)
{
    ReadingRig rig;
    rig.setText("同じ\r\n");
    rig.readAll();
    rig.setText("同じ\r\n次\r\n");
    EXPECT_EQ(rig.readAll(), (V{"同じ", "次"}));
}

TEST(RubyReduction, KeepsTheReadingOnly)
{
    const struct {
        const char* in;
        const char* out;
    } rows[] = {
        {"東京《とうきょう》へ", "とうきょうへ"},
        {"は》い", "はい"},                           // a lone closing bracket goes
        {"佐々木《ささき》", "ささき"},               // 々 belongs to the kanji run
        {"カタカナ漢字《かんじ》", "カタカナかんじ"}, // the run stops at kana
        {"《よみ》", "よみ"},
        {"一《いち》二《に》", "いちに"},
        {"漢》字《じ》", "じ"}, // closing brackets are removed first
        {"ヶ月《かげつ》", "かげつ"},
        {"ａ《エー》", "ａエー"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(u8(reduceRuby(sj(r.in))), r.out) << r.in;
}

TEST(RubyReduction, IdeographicZeroIsARubyBase)
{
    // 〇 (81 5A) lies below the kanji block, between 〆 (81 59) and ー (81 5B).
    EXPECT_TRUE(isRubyBaseKanji(sj("〇")));
    EXPECT_FALSE(isRubyBaseKanji(sj("ー")));
    const struct {
        const char* in;
        const char* out;
    } rows[] = {
        {"〇《まる》", "まる"},
        {"二〇〇七年《にせんななねん》", "にせんななねん"}, // inside a kanji run
        {"〆〇《しめまる》", "しめまる"},
        {"ー〇《まる》", "ーまる"}, // the run stops at the neighbour that is no kanji
    };
    for (const auto& r : rows)
        EXPECT_EQ(u8(reduceRuby(sj(r.in))), r.out) << r.in;
}

TEST(ReadingStep, RubyOptionOffLeavesBracketsToClassification)
{
    ReadingRig rig;
    rig.session.setOption(&ReadingOptions::aozoraRuby, false);
    rig.session.setLimit(&ReadingOptions::unreadLimit, 10);
    rig.setText("東京《とうきょう》へ\r\n");
    EXPECT_EQ(rig.readAll(), V{"東京;とうきょう;へ"});

    ReadingRig listed;
    listed.session.setOption(&ReadingOptions::aozoraRuby, false);
    listed.session.setTalkSymbols(sj("《》"));
    listed.setText("東京《とうきょう》へ\r\n");
    EXPECT_EQ(listed.readAll(), V{"東京《とうきょう》へ"});
}

TEST(ReadingStep, LeadingMarksAreStripped)
{
    ReadingRig rig;
    rig.session.setLimit(&ReadingOptions::unreadLimit, 10);
    rig.setText("？？ーーはい\r\nー？いいえ\r\n");
    EXPECT_EQ(rig.readAll(), (V{"はい", ";いいえ"}));
}

TEST(ReadingStep, ClassificationRanges)
{
    const struct {
        const char* text;
        const char* expected;
    } rows[] = {
        {"０９ＡＺａｚあんアヶ", "０９ＡＺａｚあんアヶ"},
        {"亜瑤凜熙", "亜瑤;;"},  // the kanji range ends at 瑤, two before the last kanji
        {"漢ー々", "漢;;"},      // ー and 々 sort below ０
        {"漢αА─", "漢;;;"},      // Greek, Cyrillic, box drawing
        {"漢Ⅰ", "漢;"},          // NEC row 13
        {"漢　 字", "漢　　字"}, // the half-width blank is mapped before it is counted
    };
    for (const auto& r : rows) {
        ReadingRig rig;
        rig.session.setLimit(&ReadingOptions::unreadLimit, 10);
        rig.session.setLimit(&ReadingOptions::blankLimit, 10);
        rig.session.setTalkSymbols("");
        rig.setText(r.text);
        EXPECT_EQ(rig.readAll(), V{r.expected}) << r.text;
    }
}

TEST(ReadingStep, NumbersAreSaidInWordsWithTheOption)
{
    // Typed half-width: the chunk is mapped to full width before it is rewritten. "／" is no
    // talk symbol, so a slash left alone is still the pause mark.
    const struct {
        const char* in;
        const char* out;
    } rows[] = {
        {"2001-08-03", "二千一年八月三日"},
        {"2001/8/3(金)", "二千一年八月三日（金）"},
        {"撮影2001/8)", "撮影二千一年八月）"},
        {"1999/12/31", "千九百九十九年十二月三十一日"},
        {"2000/10/20", "二千年十月二十日"},
        {"2001-13-03", "２００１－１３－０３"}, // month 13
        {"2001/0/3", "２００１;０;３"},         // month 0
        {"2001/12/32", "２００１;１２;３２"},   // day 32
        {"2000-12", "２０００－１２"},          // as likely a range as a month
        {"0999/1/2", "０９９９;１;２"},         // a year with a leading zero
        {"x2001/8/3", "ｘ２００１;８;３"},      // a letter before
        {"2001/8/3/4", "２００１;８;３;４"},    // a slash after
        {"perl5.005/03", "ｐｅｒｌ５．００５;０３"},
        {"14:09:55", "十四時九分五十五秒"},
        {"00:14", "零時十四分"},
        {"14:00", "十四時"},
        {"24:59:59", "二十四時五十九分五十九秒"},
        {"25:00", "２５：００"},
        {"12:60", "１２：６０"},
        {"3:2", "３：２"},                         // a ratio: minutes have two digits
        {"0213:2004", "０２１３：２００４"},       // an hour of four digits
        {"14:09:55:10", "１４：０９：５５：１０"}, // a colon after
        {"1/100", "百分の一"},
        {"13/20", "二十分の十三"},
        {"12/20", "１２;２０"}, // as likely December 20
        {"1/32", "三十二分の一"},
        {"1/31", "１;３１"},
        {"1/2の", "二分の一の"},
        {"1/2", "１;２"},        // as likely January 2
        {"1/10の", "１;１０の"}, // as likely January 10
        {"3/2", "３;２"},
        {"01/100", "０１;１００"},
        {"A/B", "ＡＢ"},
        {"A/BC", "Ａ;ＢＣ"}, // joined, a word the synthesizer knows may be misread
        {"a/B", "ａ;Ｂ"},
        {"A/B/C", "Ａ;Ｂ;Ｃ"}, // a path
        {"1,000 3.14% -5 5-3", "１，０００　３．１４％　マイナス５　５－３"},
        {"￥1,000と$5.50", "１，０００円と５．５０ドル"},
        {"$07と$80-$9F、$10=P", ";０７と;８０－;９Ｆ、;１０;Ｐ"}, // hexadecimal, codes
        {"気温は－3℃", "気温はマイナス３度"},
        {"1905（明治38）年と11905（明治）年", "１９０５年（明治３８）年と１１９０５（明治）年"},
        {"二○○五年、○印", "二〇〇五年、;印"}, // a circle elsewhere is the mark it was
        // a letter read as a unit after a digit is its name in a code, not after an amount
        {"1A=X 0A 25AA S7V1 U+00A1 5A 10V 30s 5kg",
         "１エー;Ｘ　０エー　２５エーＡ　Ｓ７ブイ１　Ｕ＋００エー１　５Ａ　１０Ｖ　３０ｓ　５ｋｇ"},
    };
    const std::string talkSymbols = sj("（）：－．，％〇、＋ー");
    FilterOptions options;
    options.aaSkip = false;
    options.talkSymbols = talkSymbols;
    options.readNumbers = true;
    for (const auto& r : rows)
        EXPECT_EQ(u8(spokenText(sj(r.in), options)), r.out) << r.in;
    options.readNumbers = false;
    EXPECT_EQ(u8(spokenText(sj(rows[0].in), options)), "２００１－０８－０３");
}

TEST(ReadingStep, OneByteCharactersAreNeverReadable)
{
    // 0xA0 and a lone lead byte compare inside the kanji range byte by byte, yet a one-byte
    // character is no letter.
    const struct {
        std::string text;
        const char* expected;
    } rows[] = {
        {sj("あ") + "\xa0" + sj("い"), "あ;い"},
        {sj("あ") + "\xfd", "あ;"},
        {sj("あい") + "\x89\r\n", "あい;"}, // the lead byte's partner was trimmed away
        {sj("あい") + "\xe7", "あい;"},
        // A lone lead byte is the first byte of the talk symbols 、 and 。, not one of them.
        {sj("あい") + "\x81", "あい;"},
        {sj("あい") + "\x81\r\r\n", "あい;"}, // "\x81\r" is a character; trimming splits it
    };
    for (const auto& r : rows) {
        ReadingRig rig;
        rig.session.setLimit(&ReadingOptions::unreadLimit, 10);
        rig.session.setText(r.text);
        EXPECT_EQ(rig.readAll(), V{r.expected}) << r.expected;
    }
}

TEST(ReadingStep, ControlBytesInsideAChunkAreUnreadableUnlessTalkSymbols)
{
    ReadingRig rig;
    rig.session.setLimit(&ReadingOptions::unreadLimit, 10);
    rig.session.setText(sj("あ\tい"));
    EXPECT_EQ(rig.readAll(), V{"あ;い"});
}

TEST(ReadingStep, FailingSpeakStopsAtTheChunkAndStartRetriesIt)
{
    ReadingRig rig;
    rig.setText("一\r\n二\r\n");
    rig.engine.failOn = "Speak";
    EXPECT_THROW(rig.reader.start(), KvenError);
    EXPECT_EQ(rig.session.selStart(), 0u);
    EXPECT_FALSE(rig.session.reading()) << "no utterance, so no chain: reading stops";
    EXPECT_TRUE(rig.session.lastSpoken().empty());
    rig.engine.failOn.reset();
    rig.reader.start();
    EXPECT_EQ(rig.said(), V{"一"}) << "the retry is not suppressed as a repeat";
}

TEST(ReadingStep, LongRunsOfSkippedChunksDoNotNest)
{
    ReadingRig rig;
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "\r\n";
    rig.session.setText(text + sj("終わり"));
    EXPECT_EQ(rig.readAll(), V{"終わり"});
}

// The pace of reading: the usual one until ten seconds are measured, then the bytes the cursor
// walked between ends of utterances that follow each other over the time that took, at speed 0.
// A restart (a jump, Start, Stop) begins a new span and keeps what was measured; steps back,
// moves too long for a chunk and long gaps are not reading.
TEST(ReadingPace, MeasuresBetweenEndsThatFollowEachOther)
{
    using namespace std::chrono_literals;
    const ReadingPace::Clock::time_point t0{};
    ReadingPace pace;
    pace.utteranceEnded(t0 + 1s, 100, 0); // the first end only starts the span
    pace.utteranceEnded(t0 + 4s, 200, 0);
    EXPECT_DOUBLE_EQ(pace.bytesPerSecond(0), ReadingPace::kUsualBytesPerSecond);
    pace.utteranceEnded(t0 + 8s, 150, 0);      // a step back
    pace.utteranceEnded(t0 + 9s, 90000, 0);    // a move too long for a chunk
    pace.utteranceEnded(t0 + 400s, 90100, 0);  // a long gap
    pace.restart();                            // a jump
    pace.utteranceEnded(t0 + 401s, 91000, 0);  // where the jump went: no reading up to it
    pace.utteranceEnded(t0 + 408s, 91200, 10); // at speed 10: 3 times as fast as at 0
    EXPECT_DOUBLE_EQ(pace.bytesPerSecond(0), (100.0 + 200.0 / 3) / 10.0);
    EXPECT_DOUBLE_EQ(pace.secondsFor(300, 10), 300.0 / (3 * (100.0 + 200.0 / 3) / 10.0));
}

// What is said of a text, walked a stretch at a time: a ruby's reading counts for its base, a
// note and a silent line for nothing, and what follows an offset is what its utterances say.
TEST(SpokenWeights, CountWhatTheReadingStepHandsOver)
{
    ReadingRig rig;
    rig.setText("東京《とうきょう》へ。\r\n［＃改ページ］\r\n行く。\r\n");
    rig.session.setOption(&ReadingOptions::aozoraRuby, true);
    SessionFilter filter(rig.session);
    SpokenWeights weights;
    EXPECT_EQ(weights.spokenFrom(0), 0U);
    EXPECT_FALSE(weights.advance(rig.session, filter.options(), 1));
    EXPECT_TRUE(weights.advance(rig.session, filter.options(), 1000));
    std::vector<std::string> said;
    std::size_t from = 0;
    while (const std::optional<Utterance> u = utteranceFrom(rig.session, filter.options(), from)) {
        said.push_back(u->spoken);
        from = u->start + u->length;
    }
    ASSERT_GE(said.size(), 2U);
    std::size_t total = 0;
    for (const std::string& s : said)
        total += s.size();
    EXPECT_EQ(weights.total(), total);
    EXPECT_EQ(weights.spokenFrom(0), total);
    EXPECT_EQ(weights.spokenFrom(1), total - said.front().size());
    EXPECT_EQ(weights.spokenFrom(rig.session.text().size()), 0U);
}

} // namespace
} // namespace kven
