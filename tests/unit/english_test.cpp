#include "reading/ChunkFilter.h"
#include "support/ReadingRig.h"

#include "text/EnglishLexicon.h"
#include "text/ReadingDictionary.h"

#include <gtest/gtest.h>

namespace kven {
namespace {

using testing::sj;
using testing::u8;

// Entries as festlex-cmu writes them, a word given twice and a line of another form among them.
constexpr std::string_view kLexicon = R"(MNCL
("a" dt (((ax) 0)))
("back" nil (((b ae k) 1)))
("base" nil (((b ey s) 1)))
("configuration" nil (((k ax n) 0) ((f ih) 1) ((g y er) 0) ((ey) 1) ((sh ax n) 0)))
("computer" nil (((k ax m) 0) ((p y uw) 1) ((t er) 0)))
("nhk" nil (((eh n) 1) ((eh ch) 1) ((k ey) 1)))
("range" nil (((r ey n jh) 1)))
("ranges" nil (((r ey n) 1) ((jh ih z) 0)))
("ruby" nil (((r uw) 1) ((b iy) 0)))
("server" nil (((s er) 1) ((v er) 0)))
("station" nil (((s t ey) 1) ((sh ax n) 0)))
("table" nil (((t ey) 1) ((b ax l) 0)))
("the" nil (((dh ax) 0)))
("think" nil (((th ih ng k) 1)))
("use" n (((y uw s) 0)))
("use" v (((y uw z) 1)))
("x-ray" nil (((eh k s) 1) ((r ey) 1)))
)";

TEST(EnglishWords, AreSaidAsLoanWords)
{
    const EnglishLexicon lexicon(kLexicon);
    // The long mark and the dash are read as the shipped talk symbols have them.
    const std::string talkSymbols = sj("ー－");
    const ReadingDictionary words(std::vector<ReadingDictionary::Entry>{{sj("Range"), sj("ランゲ")}});
    const struct {
        const char* chunk;
        const char* said;
        bool dictionary = false;
    } rows[] = {
        {"base back", "ベースバック"},           // a phrase goes over without the pauses of its blanks
        {"use ruby", "ユースルビー"},            // the first of two entries; a long vowel made short
        {"ReNgE table", "ＲｅＮｇＥ　テーブル"}, // not a word; the schwa of "-le" is silent
        {"RaNgE", "レンジ"},
        {"station", "ステーション"},
        {"configuration", "コンフィギュレーション"},   // an "r" sound before a vowel starts its syllable
        {"computer server", "コンピューターサーバー"}, // "-er" at the end, stressed or not
        {"the think", "ザシンク"},
        {"NHK RANGE CPUS", "ＮＨＫ　レンジ　ＣＰＵＳ"}, // three capitals abbreviate; letters keep their blanks
        {"RANGES", "レンジズ"},
        {"a htaccess", "ア　ｈｔａｃｃｅｓｓ"}, // the article; a word not in the lexicon keeps its blank
        {"range a", "レンジ　ａ"},              // one letter before no word is a letter
        {"A station rank A or B", "アステーション　ｒａｎｋ　Ａ　ｏｒ　Ｂ"}, // "A" at the start only
        {"use base の table", "ユースベース　の　テーブル"},                 // blanks beside Japanese stay
        {"x-ray", "ｘ－ｒａｙ"},                                             // only words of letters a-z are taken in
        {"base3range", "ベース３レンジ"},
        {"Fukamachi wakati kitte shimbun ChaSen", "フカマチワカチキッテシンブンチャセン"}, // romanized Japanese
        {"namu hq", "ナム　ｈｑ"}, // not romanized Japanese from end to end
        {"Range", "ランゲ", true}, // the reading dictionary goes first
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.chunk);
        FilterOptions options;
        options.aaSkip = false;
        options.talkSymbols = talkSymbols;
        options.readEnglish = true;
        options.english = &lexicon;
        options.wordReadings = row.dictionary;
        options.dictionary = &words;
        EXPECT_EQ(u8(spokenText(sj(row.chunk), options)), row.said);
    }
    FilterOptions off;
    off.aaSkip = false;
    off.english = &lexicon;
    EXPECT_EQ(u8(spokenText(sj("base"), off)), "ｂａｓｅ");
}

TEST(EnglishWords, InstalledLexiconIsTheCmuDictionary)
{
    const EnglishLexicon& lexicon = EnglishLexicon::installed();
    if (lexicon.size() == 0)
        GTEST_SKIP() << "festlex-cmu is not installed (" << EnglishLexicon::kDefaultPath << ")";
    EXPECT_GT(lexicon.size(), 100000u);
    EXPECT_EQ(u8(std::string(lexicon.kana("range"))), "レンジ");
    EXPECT_EQ(u8(std::string(lexicon.kana("information"))), "インフォーメーション");
}

} // namespace
} // namespace kven
