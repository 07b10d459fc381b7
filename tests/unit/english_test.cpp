#include "reading/ChunkFilter.h"
#include "support/ReadingRig.h"

#include "text/EnglishLexicon.h"
#include "text/LoanWords.h"
#include "text/ReadingDictionary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iconv.h>

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
("computers" nil (((k ax m) 0) ((p y uw) 1) ((t er z) 0)))
("does" v (((d ah z) 1)))
("doe" nil (((d ow) 1)))
("example" nil (((ih g) 0) ((z ae m) 1) ((p ax l) 0)))
("examples" nil (((ih g) 0) ((z ae m) 1) ((p ax l z) 0)))
("nhk" nil (((eh n) 1) ((eh ch) 1) ((k ey) 1)))
("range" nil (((r ey n jh) 1)))
("ranges" nil (((r ey n) 1) ((jh ih z) 0)))
("ruby" nil (((r uw) 1) ((b iy) 0)))
("server" nil (((s er) 1) ((v er) 0)))
("station" nil (((s t ey) 1) ((sh ax n) 0)))
("table" nil (((t ey) 1) ((b ax l) 0)))
("takahashi" nil (((t aa) 0) ((k ax) 0) ((hh aa) 1) ((sh iy) 0)))
("the" nil (((dh ax) 0)))
("thi" nil (((th iy) 1)))
("this" nil (((dh ih s) 1)))
("hand" nil (((hh ae n d) 1)))
("hands" nil (((hh ae n d z) 1)))
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
        // a word goes on over its apostrophe; a name the dictionary holds is said as it spells
        {"Ken'ichi doesn't use ruby's table", "ケンイチダズントユースルビーズテーブル"},
        {"Takahashi takahashi", "タカハシタカハシー"}, // in small letters it is not a name
        {"Does Kitte", "ダズキッテ"},
        {"it's ruby'", "イッツルビー;"}, // a closing quote ends the word
        {"Range", "ランゲ", true},       // the reading dictionary goes first
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

// UTF-8 to EUC-JP, as the SKK dictionary is written.
std::string euc(std::string_view utf8)
{
    iconv_t cd = iconv_open("EUC-JP", "UTF-8");
    std::string in(utf8);
    std::string out(in.size() * 2, '\0');
    char* from = in.data();
    char* to = out.data();
    std::size_t fromLeft = in.size();
    std::size_t toLeft = out.size();
    const std::size_t done = iconv(cd, &from, &fromLeft, &to, &toLeft);
    iconv_close(cd);
    EXPECT_NE(done, static_cast<std::size_t>(-1)) << utf8;
    out.resize(out.size() - toLeft);
    return out;
}

TEST(LoanWords, ThePlainLoanWordNearItsPronunciation)
{
    const struct {
        const char* word;
        const char* candidates; // the rest of the dictionary line
        const char* pronounced; // what the pronunciation gives
        const char* said;       // empty: none fits
    } rows[] = {
        {"character", "/キャラクター/キャラクタ/", "ケリクター", "キャラクター"},
        {"text", "/テキスト/テクスト/文字列/", "テクスト", "テキスト"},               // the first, not the nearest
        {"meta", "/メタ/メータ/", "ミータ", "メタ"},                                  // vowels differ, consonants agree
        {"are", "/アール;100m^2/アー/", "アー", "アー"},                              // a noted candidate comes last
        {"british", "/イギリス/ブリティッシュ/", "ブリティッシュ", "ブリティッシュ"}, // not a translation
        {"char", "/キャラ;character/キャラクタ/シャール/", "チャー", ""},             // nothing near: the pronunciation
        {"computer", "/コンピュータ/コンピューター/", "コンピューター", "コンピューター"}, // its long mark kept
        {"config", "/コンフィグ/コンフィギュレーション;configuration/", "", "コンフィグ"},
        {"ca", "/カルシウム/カリフォルニア/", "", ""}, // two letters and no pronunciation
        {"of", "/オブ/オヴ/", "アブ", "オブ"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.word);
        EXPECT_EQ(u8(loanWordFor(row.word, euc(row.candidates), sj(row.pronounced))), row.said);
    }
}

TEST(LoanWords, GoFirstAndMakePlurals)
{
    const std::string loanWords = euc(";; okuri-nasi entries.\n"
                                      "computer /コンピュータ/コンピューター/\n"
                                      "table /テーブル/\n"
                                      "station /ステーション/\n"
                                      "configure /コンフィギュア/\n"
                                      "station /ステ/\n" // a word given twice: the first
                                      "x-ray /エックスセン/\n");
    const EnglishLexicon lexicon(kLexicon, loanWords);
    const struct {
        const char* word;
        const char* said;
    } rows[] = {
        {"computer", "コンピューター"},
        {"configure", "コンフィギュア"}, // a word only the loan words have
        {"computers", "コンピューターズ"},
        {"station", "ステーション"},
        {"ranges", "レンジズ"},         // no loan word for "range"
        {"examples", "エグザンプルズ"}, // the singular's pronunciation with the plural's ending
        {"does", "ダズ"},               // not a plural
        {"this", "ジス"},               // nor this
        {"hands", "ハンズ"},
        {"x-ray", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(u8(std::string(lexicon.kana(row.word))), row.said) << row.word;
}

TEST(EnglishWords, InstalledLexiconIsTheCmuDictionary)
{
    const EnglishLexicon& lexicon = EnglishLexicon::installed();
    if (lexicon.size() == 0)
        GTEST_SKIP() << "festlex-cmu is not installed (" << EnglishLexicon::kDefaultPath << ")";
    EXPECT_GT(lexicon.size(), 100000u);
    EXPECT_EQ(u8(std::string(lexicon.kana("range"))), "レンジ");
}

TEST(EnglishWords, InstalledLexiconHasTheLoanWords)
{
    if (!std::filesystem::exists(EnglishLexicon::kLoanWordsPath) || EnglishLexicon::installed().size() == 0)
        GTEST_SKIP() << "skkdic or festlex-cmu is not installed (" << EnglishLexicon::kLoanWordsPath << ")";
    const EnglishLexicon& lexicon = EnglishLexicon::installed();
    for (const auto& [word, said] : {std::pair{"character", "キャラクター"},
                                     {"characters", "キャラクターズ"},
                                     {"text", "テキスト"},
                                     {"of", "オブ"},
                                     {"storage", "ストレージ"},
                                     {"markup", "マークアップ"},
                                     {"directory", "ディレクトリ"},
                                     {"meta", "メタ"},
                                     {"apache", "アパッチ"},
                                     {"the", "ザ"},
                                     {"information", "インフォメーション"}})
        EXPECT_EQ(u8(std::string(lexicon.kana(word))), said) << word;
}

} // namespace
} // namespace kven
