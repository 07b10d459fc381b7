#include "reading/BookReadings.h"
#include "reading/CarefulReadings.h"
#include "reading/ChunkFilter.h"
#include "reading/ReadingCorrections.h"
#include "reading/ReadingFold.h"
#include "reading/SynthesizerWords.h"
#include "text/Cp932.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using namespace kven;
namespace fs = std::filesystem;

std::string sj(std::string_view utf8)
{
    return cp932::fromUtf8(utf8);
}

const SynthesizerWords& synthesizer()
{
    static const SynthesizerWords words(SynthesizerWords::systemDictionary(),
                                        fs::temp_directory_path() / "kven-readings-test");
    return words;
}

#define NEED_DICTIONARY()                                                                                              \
    do {                                                                                                               \
        if (!synthesizer().available()) {                                                                              \
            GTEST_SKIP() << synthesizer().problem();                                                                   \
        }                                                                                                              \
    } while (false)

TEST(ReadingFold, SpellingsOfOneSoundCompareEqual)
{
    const struct {
        std::u16string_view a, b;
        bool same;
    } rows[] = {
        {u"とうきょう", u"トーキョー", true}, // the dictionary writes long vowels as ー
        {u"せんせい", u"センセー", true},
        {u"おおきい", u"オーキイ", true},
        {u"ゐなか", u"イナカ", true}, // historical kana
        {u"ちぢむ", u"チジム", true},
        {u"くゎし", u"カシ", true},
        {u"シュゼー", u"チカラ", false},
        {u"おば", u"オーバ", false}, // a long vowel is another word
        {u"コ’ー", u"コウ", true},   // the dictionary's accent mark
    };
    for (const auto& row : rows)
        EXPECT_EQ(foldedReading(row.a) == foldedReading(row.b), row.same) << cp932::wideToUtf8(row.a);
}

TEST(BookReadings, TaughtWordsAndTheirPlaces)
{
    const struct {
        const char* text;
        std::vector<std::pair<const char*, const char*>> places; // the base of each place, its reading
    } rows[] = {
        {"主税《ちから》が来た。主税《ちから》と主税と、大主税。", {{"主税", "ちから"}}},
        // One ruby alone teaches nothing.
        {"主税《ちから》が来た。主税が", {}},
        // Two readings, folded apart: no lesson.
        {"主税《ちから》。主税《しゅぜい》。主税", {}},
        // Folded alike: one reading, the first one's spelling handed over.
        {"東京《とうきょう》、東京《トーキョー》、東京", {{"東京", "とうきょう"}}},
        // Before the first ruby the book has taught nothing yet.
        {"主税、主税《ちから》、主税《ちから》", {}},
        // A single kanji, numerals only, and a base with kana teach nothing.
        {"猫《ねこ》猫《ねこ》。猫。三十《みそ》三十《みそ》、三十。お母《はは》お母《はは》お母", {}},
        // "｜" marks a base inside a run; the notes are passed over.
        {"大｜苦沙弥《くしゃみ》、｜苦沙弥《くしゃみ》。［＃「苦沙弥」に傍点］苦沙弥", {{"苦沙弥", "くしゃみ"}}},
        {"々々《のの》々々《のの》。人々《ひとびと》人々《ひとびと》、人々。", {{"人々", "ひとびと"}}},
    };
    for (const auto& row : rows) {
        const std::string text = sj(row.text);
        std::vector<std::pair<std::string, std::string>> got;
        for (const PlaceReading& p : bookTaughtReadings(text))
            got.emplace_back(cp932::toUtf8(text.substr(p.offset, p.length)), cp932::toUtf8(p.reading));
        std::vector<std::pair<std::string, std::string>> want;
        for (const auto& [base, reading] : row.places)
            want.emplace_back(base, reading);
        EXPECT_EQ(got, want) << row.text;
    }
}

TEST(BookReadings, BaseTextKeepsBasesAndWhereTheyCameFrom)
{
    const std::string text = sj("｜吾輩《わがはい》は［＃傍点］猫《ねこ》だ");
    const BaseText base = baseText(text);
    EXPECT_EQ(cp932::toUtf8(base.text), "吾輩は猫だ");
    ASSERT_EQ(base.from.size(), base.text.size() + 1);
    EXPECT_EQ(base.from[0], 2u); // after the "｜"
    EXPECT_EQ(text.substr(base.from[6], 2), sj("猫"));
    EXPECT_TRUE(base.rubied[6]);
    EXPECT_FALSE(base.rubied[4]);
    EXPECT_EQ(base.from.back(), text.size());
}

TEST(SynthesizerWords, WordsHoldTheirOffsetsInTheShiftJisText)
{
    NEED_DICTIONARY();
    const std::string text = sj("ABC 猫が云った。");
    const std::vector<SpokenWord> words = synthesizer().words(text);
    ASSERT_FALSE(words.empty());
    for (const SpokenWord& w : words)
        EXPECT_EQ(cp932::toUtf8(text.substr(w.offset, w.length)), w.surface);
    const auto said = std::find_if(words.begin(), words.end(), [](const SpokenWord& w) { return w.surface == "云っ"; });
    ASSERT_NE(said, words.end());
    EXPECT_EQ(said->lemma, "云う");
    EXPECT_EQ(said->pronunciation, "ユッ"); // what the rows are there for
}

TEST(SynthesizerWords, MissingDictionaryIsUnavailable)
{
    const SynthesizerWords words(fs::temp_directory_path() / "kven-no-such-dictionary",
                                 fs::temp_directory_path() / "kven-readings-test");
    EXPECT_FALSE(words.available());
    EXPECT_FALSE(words.problem().empty());
    EXPECT_TRUE(words.words(sj("猫")).empty());
}

TEST(ReadingCorrections, RowsChangeOnlyWhereTheyApplyAndTheSynthesizerDiffers)
{
    NEED_DICTIONARY();
    const struct {
        const char* text;
        const char* changes; // "word=reading" joined by " ", in order
    } rows[] = {
        {"何と云っても何でもない。", "何=ナン 云っ=イッ 何=ナン"},
        {"何を云い出す。", "云い=イイ"},                         // 何を: the dictionary's ナニ is right
        {"あんな処へ行った。絞殺の刑に処せらる。", "処=トコロ"}, // the verb 処する
        {"一、金　十両。金が無い。金の柱。", "金=カネ"},         // a sum, money, gold
        {"民法という語は。物語。", "語=ゴ"},                     // a kanji neighbour
        {"御客が来た。御心配なく。", "御=オ"},
        {"大分県へ。君も大分年を取った。", "大分=ダイブ"},
    };
    for (const auto& row : rows) {
        const std::string text = sj(row.text);
        std::string got;
        for (const PlaceReading& p : readingCorrections(text, synthesizer().words(text)))
            got += (got.empty() ? "" : " ") + cp932::toUtf8(text.substr(p.offset, p.length)) + "=" +
                   cp932::toUtf8(p.reading);
        EXPECT_EQ(got, row.changes) << row.text;
    }
}

TEST(ReadingCorrections, SynthesizerSaysOnlyForWholeWords)
{
    NEED_DICTIONARY();
    const std::string text = sj("東京へ行く。");
    const std::vector<SpokenWord> words = synthesizer().words(text);
    EXPECT_TRUE(synthesizerSays(words, 0, 4, sj("とうきょう")));
    EXPECT_FALSE(synthesizerSays(words, 0, 4, sj("ひがしきょう")));
    EXPECT_FALSE(synthesizerSays(words, 0, 2, sj("とう"))); // half a word
}

// Every labelled place of the corpus: the row still changes it, and its reading is the careful
// reader's in at least 19 of 20 places.
TEST(ReadingCorrections, EachRowIsRightOnItsLabelledSample)
{
    NEED_DICTIONARY();
    if (!fs::exists(KVEN_CORPUS_DIR "/aozora_txt"))
        GTEST_SKIP() << "no corpus at " KVEN_CORPUS_DIR;
    std::ifstream labels(KVEN_SOURCE_DIR "/tests/unit/reading_corrections_labels.tsv");
    ASSERT_TRUE(labels);
    std::map<std::string, BaseText> bases;
    std::map<std::size_t, std::pair<int, int>> perRow; // right, labelled
    for (std::string line; std::getline(labels, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::size_t row = 0, offset = 0;
        std::string book, careful;
        fields >> row >> book >> offset >> careful;
        ASSERT_TRUE(row >= 1 && row <= correctionRows().size()) << line;
        if (!bases.contains(book)) {
            std::ifstream in(fs::path(KVEN_CORPUS_DIR) / "aozora_txt" / book, std::ios::binary);
            bases[book] = baseText(std::string(std::istreambuf_iterator<char>(in), {}));
        }
        const BaseText& base = bases[book];
        const auto at =
            static_cast<std::size_t>(std::lower_bound(base.from.begin(), base.from.end(), offset) - base.from.begin());
        std::size_t start = base.text.rfind('\n', at);
        start = start == std::string::npos ? 0 : start + 1;
        const std::string_view lineText = std::string_view(base.text).substr(start, base.text.find('\n', at) - start);
        const auto changes =
            readingCorrections(lineText, synthesizer().words(lineText), correctionRows().subspan(row - 1, 1));
        const auto change =
            std::find_if(changes.begin(), changes.end(), [&](const PlaceReading& p) { return p.offset == at - start; });
        ASSERT_NE(change, changes.end()) << "the row no longer changes this place: " << line;
        auto& [right, labelled] = perRow[row];
        right += foldedReading(cp932::toWide(change->reading)) == foldedReading(cp932::utf8ToWide(careful));
        ++labelled;
    }
    for (std::size_t row = 1; row <= correctionRows().size(); ++row) {
        const auto [right, labelled] = perRow[row];
        EXPECT_GT(labelled, 0) << "row " << row << " has no labelled sample";
        EXPECT_GE(right * 20, labelled * 19) << "row " << row << ": " << right << " of " << labelled;
    }
}

} // namespace

// The reading step's filter with the analysis: a ruby handed over only where the synthesizer
// would say something else, the rows applied, and a taught reading where the book leaves its
// ruby out; without the analysis, the ruby as before.
TEST(CarefulReadings, TheFilterHandsOverOnlyWhatChangesWhatIsSaid)
{
    NEED_DICTIONARY();
    const std::string book =
        sj("主税《ちから》が来た。主税《ちから》が出た。主税は笑った。羅生門《らしょうもん》の下で。"
           "何と云っても。愚図々々《ぐずぐず》塗秘《ぬりかく》そう。");
    const std::vector<PlaceReading> taught = bookTaughtReadings(book);
    const std::string talkSymbols = sj("、。");
    const struct {
        const char* chunk; // where it begins in the book, and its whole text
        bool analysis;
        const char* spoken;
    } rows[] = {
        {"主税《ちから》が来た。", true, "チカラが来た。"}, // the synthesizer says シュゼー
        {"主税は笑った。", true, "チカラは笑った。"},       // taught by the two rubies before
        {"羅生門《らしょうもん》の下で。", true, "羅生門の下で。"},
        {"羅生門《らしょうもん》の下で。", false, "ラショウモンの下で。"},
        {"何と云っても。", true, "ナンとイッても。"},
        {"何と云っても。", false, "何と云っても。"},
        // The first base said as written would join the second.
        {"愚図々々《ぐずぐず》塗秘《ぬりかく》そう。", true, "グズグズヌリカクそう。"},
    };
    // Each chunk worked out ahead on another thread, as during a pause before speech, then in
    // place: the step says the same.
    for (const bool ahead : {true, false}) {
        ReadingsAhead worker;
        for (const auto& row : rows) {
            FilterOptions options;
            options.silentNotes = true;
            options.aaSkip = false;
            options.talkSymbols = talkSymbols;
            if (row.analysis) {
                options.synthesizer = &synthesizer();
                options.correctReadings = true;
                options.taught = taught;
            }
            const std::string chunk = sj(row.chunk);
            const std::size_t at = book.find(chunk);
            ASSERT_NE(at, std::string::npos) << row.chunk;
            if (ahead) {
                workOutAhead(worker, book, at, chunk.size(), options);
                ASSERT_TRUE(worker.waitIdle(std::chrono::seconds(10)));
            }
            EXPECT_EQ(cp932::toUtf8(spokenAt(book, at, chunk.size(), options)), row.spoken) << row.chunk;
        }
    }
}
