#include "reading/AozoraNotes.h"
#include "support/ReadingRig.h"

#include <gtest/gtest.h>

namespace kven {
namespace {

using testing::ReadingRig;
using testing::sj;
using V = std::vector<std::string>;

// Reads `text` from `from` with ruby on, AA skip off and talk symbols 、。「」ー, the option
// "注記を読まない" as given.
V readWithNotes(const std::string& text, bool silentNotes, bool ruby = true, std::size_t from = 0)
{
    ReadingRig rig;
    rig.session.setOption(&ReadingOptions::silentNotes, silentNotes);
    rig.session.setOption(&ReadingOptions::aozoraRuby, ruby);
    rig.session.setOption(&ReadingOptions::aaSkip, false);
    rig.session.setTalkSymbols(sj("、。「」ー"));
    rig.session.setText(text);
    rig.session.setSelStart(from);
    return rig.readAll();
}

struct Row {
    const char* why;
    std::string text; // UTF-8, one document
    V silent;         // said with the option on
    V read;           // said with it off: what is said without the option
};

void check(const Row& r, bool ruby)
{
    EXPECT_EQ(readWithNotes(sj(r.text), true, ruby), r.silent) << r.why;
    EXPECT_EQ(readWithNotes(sj(r.text), false, ruby), r.read) << r.why << " (option off)";
}

TEST(SilentNotes, NotesGaijiAndRubyMarks)
{
    const Row rows[] = {
        {"a line of notes only says nothing",
         "［＃８字下げ］［＃「一」は中見出し］",
         {},
         {";;８字下げ;;;「一」は中見出し;"}},
        {"a heading is said once", "一［＃「一」は中見出し］", {"一"}, {"一;;「一」は中見出し;"}},
        {"an emphasis note", "め［＃「め」に傍点］だ", {"めだ"}, {"め;;「め」に傍点;だ"}},
        {"nested brackets and quotes",
         "本ト［＃「本ト麟太郎※［＃コト、1-2-24］」は縦中横］だ",
         {"本トだ"},
         {"本ト;;「本ト麟太郎;;;コト、１;２;２４;」は縦中横;だ"}},
        {"quotes that do not close end at the bracket",
         "前［＃「なります」」は底本では「なります」］後",
         {"前後"},
         {"前;;「なります」」は底本では「なります」;後"}},
        {"a gaiji with a reading becomes the reading, in katakana",
         "そこへ※［＃「てへん＋丑」、第4水準2-12-93］《ね》じ倒した",
         {"そこへネじ倒した"},
         {"そこへ;;;「てへん;丑」、第４水準２;１２;９３;ねじ倒した"}},
        {"a gaiji without one becomes the unread mark",
         "眼が※［＃「目＋匡」、第3水準1-88-81］の外",
         {"眼が;の外"},
         {"眼が;;;「目;匡」、第３水準１;８８;８１;の外"}},
        {"a marked ruby base goes, its reading stays",
         "一番｜獰悪《どうあく》な",
         {"一番ドウアクな"},
         {"一番;どうあくな"}},
        {"a mark without a ruby goes alone", "柱は｜丹塗の", {"柱は丹塗の"}, {"柱は;丹塗の"}},
        {"a mark whose base would hold a pause has no ruby",
         "え｜あ、東京《とうきょう》",
         {"えあ、トウキョウ"},
         {"え;あ、とうきょう"}},
        {"a note inside a marked base",
         "｜ＡＢ［＃「ＡＢ」は縦中横］《えーびー》だ",
         {"エービーだ"},
         {";ＡＢ;;「ＡＢ」は縦中横;えーびーだ"}},
        {"a note inside a kanji base",
         "漢字［＃「漢字」に傍点］《かんじ》だ",
         {"カンジだ"},
         {"漢字;;「漢字」に傍点;かんじだ"}},
        {"plain ruby in katakana", "蠅《はえ》が這入《はい》る", {"ハエがハイる"}, {"はえがはいる"}},
        {"a note that the line ends first", "文［＃「文」に傍", {"文"}, {"文;;「文」に傍"}},
        {"a page's character references: readable ones are read, others are pauses",
         "あ&#x3044;&#12358;&#X41;&#x303B;&#x300A;&#;え",
         {"あいうＡ;;;;;え"},
         {"あ;;ｘ３０４４;;;１２３５８;;;Ｘ４１;;;ｘ３０３Ｂ;;;ｘ３００Ａ;;;;え"}},
        {"a 。 inside a note ends no chunk",
         "前［＃「、」は底本では「。」］後\r\n",
         {"前後"},
         {"前;;「、」は底本では「。", "」;後"}},
    };
    for (const Row& r : rows)
        check(r, true);
}

TEST(SilentNotes, WithoutRubyTheReadingIsLeftAsItStands)
{
    const Row rows[] = {
        {"a marked base still goes", "一番｜獰悪《どうあく》な", {"一番どうあくな"}, {"一番;獰悪;どうあく;な"}},
        {"plain ruby is no note", "蠅《はえ》", {"蠅;はえ;"}, {"蠅;はえ;"}},
    };
    for (const Row& r : rows)
        check(r, false);
}

// A converted page keeps where its ruby bases begin; with the option such a base goes as a
// marked one does. A base the text no longer holds where it was found is left to the ruby rule.
TEST(SilentNotes, RubyBasesOfAPage)
{
    std::string a504;
    for (int i = 0; i < 504; ++i)
        a504 += "あ";
    struct BaseRow {
        const char* why;
        std::string located; // the text as loaded
        std::vector<std::string> bases;
        std::string read; // the text as read
        V silent;
    };
    const BaseRow rows[] = {
        {"a base that is not kanji",
         "霧のロンドン警視庁《スコットランドヤード》だ",
         {"ロンドン警視庁"},
         "霧のロンドン警視庁《スコットランドヤード》だ",
         {"霧のスコットランドヤードだ"}},
        {"kanji before the base stay", "福沢諭吉記《しるす》", {"記"}, "福沢諭吉記《しるす》", {"福沢諭吉シルス"}},
        {"a stray 《 and a base that is not found are passed over",
         "《》のロンドン《ろんどん》",
         {"無", "ロンドン"},
         "《》のロンドン《ろんどん》",
         {"のロンドン"}},
        {"marks do not count against the mapping's room: a chunk that fits loses nothing",
         a504 + "ロ《ろ》ロ《ろ》",
         {"ロ", "ロ"},
         a504 + "ロ《ろ》ロ《ろ》",
         {a504 + "ロロ"}},
        {"an edit that moves a base leaves it to the ruby rule, kanji before it included",
         "福沢諭吉記《しるす》",
         {"記"},
         "ま福沢諭吉記《しるす》",
         {"まシルス"}},
    };
    for (const BaseRow& r : rows) {
        ReadingRig rig;
        rig.session.setOption(&ReadingOptions::silentNotes, true);
        rig.session.setOption(&ReadingOptions::aaSkip, false);
        rig.session.setTalkSymbols(sj("、。「」ー"));
        std::vector<std::string> bases;
        for (const std::string& b : r.bases)
            bases.push_back(sj(b));
        Document page;
        page.text = sj(r.read);
        page.rubyBases = locateRubyBases(sj(r.located), bases);
        rig.session.load(std::move(page));
        EXPECT_EQ(rig.readAll(), r.silent) << r.why;
    }
}

// A long chunk is cut at its first comma and shortened to fit the full-width mapping; neither
// cut may fall inside a note, or its tail would be said.
TEST(SilentNotes, LongChunksAreNotCutInsideANote)
{
    std::string a130;
    for (int i = 0; i < 130; ++i)
        a130 += "あ";
    const std::string gaiji = "※［＃「てへん＋丑」、第4水準2-12-93］《ね》じ、次の文";
    std::string a508;
    for (int i = 0; i < 508; ++i)
        a508 += "あ";
    const std::string i20 = "いいいいいいいいいいいいいいいいいいいい";
    const Row rows[] = {
        {"the comma of a gaiji note is no cut",
         a130 + gaiji,
         {a130 + "ネじ、", "次の文"},
         {a130 + ";;;「てへん;丑」、", "第４水準２;１２;９３;ねじ、次の文"}},
        {"a chunk that does not fit ends before the note",
         a508 + "［＃「あ」に傍点］" + i20,
         {a508, i20},
         {a508 + ";;「あ", "」に傍点;" + i20}},
    };
    for (const Row& r : rows)
        check(r, true);
}

TEST(SilentNotes, TheNotationExplanationIsNotRead)
{
    const std::string head = "題名\r\n-------\r\n【テキスト中に現れる記号について】\r\n《》：ルビ\r\n";
    const std::string text = head + "（例）下人《げにん》。続きの例\r\n-------\r\n\r\n本文です。\r\n";
    EXPECT_EQ(readWithNotes(sj(text), true), (V{"題名", "本文です。"}));
    EXPECT_EQ(readWithNotes(sj(text), false),
              (V{"題名", ";テキスト中に現れる記号について;", ";ルビ", ";例;げにん。", "続きの例", "本文です。"}));
    // Started inside the block, at the second of the two chunks of one of its lines.
    const std::size_t second = sj(head + "（例）下人《げにん》。").size();
    EXPECT_EQ(readWithNotes(sj(text), true, true, second), V{"本文です。"});
    EXPECT_EQ(readWithNotes(sj(text), false, true, second), (V{"続きの例", "本文です。"}));
    // Previous at the first chunk after the block goes back past the block, not to its own start.
    ReadingRig rig;
    rig.session.setOption(&ReadingOptions::silentNotes, true);
    rig.session.setTalkSymbols(sj("、。「」ー"));
    rig.session.setText(sj(text));
    rig.reader.start();
    rig.engine.finishSpeaking();
    rig.queue.runPending();
    ASSERT_EQ(rig.said(), (V{"題名", "本文です。"}));
    rig.reader.previous();
    rig.queue.runPending();
    EXPECT_EQ(rig.said().back(), "題名");
    // Without the hyphens before the title, the text explains nothing.
    const std::string plain = "題名\r\n【テキスト中に現れる記号について】\r\n-------\r\n本文\r\n";
    EXPECT_EQ(readWithNotes(sj(plain), true), (V{"題名", ";テキスト中に現れる記号について;", "本文"}));
}

} // namespace
} // namespace kven
