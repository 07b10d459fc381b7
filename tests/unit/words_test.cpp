#include "files/Errors.h"
#include "settings/DictionaryFile.h"
#include "support/ReadingRig.h"
#include "support/ScratchFolder.h"
#include "text/FullWidth.h"
#include "text/ReadingDictionary.h"
#include "text/TextOps.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kven {
namespace {

using testing::ReadingRig;
using testing::sj;
using testing::u8;
using V = std::vector<std::string>;

ReadingDictionary dictionary(const std::vector<std::pair<const char*, const char*>>& words)
{
    std::vector<ReadingDictionary::Entry> entries;
    for (const auto& [written, reading] : words)
        entries.push_back({sj(written), sj(reading)});
    return ReadingDictionary(entries);
}

// What the dictionary makes of a chunk as the reading step hands it over: in full width.
std::string said(const ReadingDictionary& d, const char* utf8)
{
    return u8(d.apply(toFullWidth(sj(utf8), npos)));
}

TEST(ReadingDictionary, LeftmostLongestWhateverTheWidthAndCase)
{
    const ReadingDictionary d = dictionary({{"MeCab", "めかぶ"},
                                            {"東京", "とうきょう"},
                                            {"東京湾", "とうきょうわん"},
                                            {"京都府", "きょうとふ"},
                                            {"ｶﾞｲﾄﾞ", "がいど"},
                                            {"NHK", "NHK"},
                                            {"広告", ""},
                                            {"猫", "ねこ"},
                                            {"猫", "にゃんこ"}});
    const struct {
        const char* in;
        const char* out;
        const char* why;
    } rows[] = {
        {"ＭｅＣａｂを使う", "めかぶを使う", "a Latin word in another width"},
        {"mecabとMECAB", "めかぶとめかぶ", "and in another case"},
        {"東京湾へ", "とうきょうわんへ", "the longest word at a place wins"},
        {"東京都府", "とうきょう都府", "the leftmost word wins over a longer one after it"},
        {"ガイドと東", "がいどと東", "a word written in half-width kana matches full width"},
        {"nhkの", "ＮＨＫの", "a reading is said in full width"},
        {"この広告です", "このです", "an empty reading says nothing for the word"},
        {"猫", "にゃんこ", "of words written alike the last one counts"},
        {"見てhttps://Example.com/a?b=1。", "見てＵＲＬ。", "a web address, without the sentence's punctuation"},
        {"www.example.jp, http://x", "ＵＲＬ，　ＵＲＬ", "www. and http://"},
        {"http://です", "ｈｔｔｐ：／／です", "no address without anything after its start"},
        {"XNHK、NHKs、NHK1、Mecabの", "ＸＮＨＫ、ＮＨＫｓ、ＮＨＫ１、めかぶの",
         "a Latin word matches a whole word only; a digit or a kanji may touch it"},
        {"東京人", "とうきょう人", "a word in Japanese script matches inside a run"},
        {"UseMeCabNow、mecabs", "ＵｓｅめかぶＮｏｗ、ｍｅｃａｂｓ", "a capital after a small letter begins a word"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(said(d, r.in), r.out) << r.why;
    EXPECT_EQ(said(ReadingDictionary(), "東京 www.a.jp"), "東京　ＵＲＬ") << "no words: only addresses";
}

TEST(DictionaryFile, BrokenLinesAreReportedWithTheirNumberAndSkipped)
{
    std::string longest;
    for (std::size_t n = 0; n < kMaxReadingLength; ++n)
        longest += "あ";
    const DictionaryFile file = parseDictionaryFile(std::string("\xEF\xBB\xBF# 表記=読み\r\n"
                                                                "\r\n"
                                                                "MeCab=めかぶ\r\n"
                                                                "読みのない行\r\n"
                                                                " = よみ\r\n"
                                                                "  東京 =\tとうきょう \n"
                                                                "😀=えもじ\r\n"
                                                                "壊れ\xff=こわれ\r\n"
                                                                "式=a=b\r\n") +
                                                        "長い=" + std::string(kMaxReadingLength, 'a') + "\r\n" +
                                                        "長すぎ=" + std::string(kMaxReadingLength + 1, 'a') + "\r\n" +
                                                        "全角=" + longest + "\r\n",
                                                    "/d/KVEN.dic");
    EXPECT_EQ(file.problems, (V{"ファイル /d/KVEN.dic の 4 行目は「表記=読み」の形ではありません",
                                "ファイル /d/KVEN.dic の 5 行目は「表記=読み」の形ではありません",
                                "ファイル /d/KVEN.dic の 7 行目には Shift_JIS で書けない文字があります",
                                "ファイル /d/KVEN.dic の 8 行目は「表記=読み」の形ではありません",
                                "ファイル /d/KVEN.dic の 11 行目の読みが長すぎます (256 文字まで)"}));
    ASSERT_NE(file.dictionary, nullptr);
    EXPECT_EQ(file.dictionary->size(), 5u);
    EXPECT_EQ(said(*file.dictionary, "MeCabで東京の式"), "めかぶでとうきょうのａ＝ｂ");
}

// A file of nothing but broken lines must not make a message too long to show.
TEST(DictionaryFile, OnlyTheFirstProblemsAreListedAndTheRestCounted)
{
    for (const std::size_t broken : {kMaxReportedProblems, kMaxReportedProblems + 15}) {
        std::string lines;
        for (std::size_t n = 0; n < broken; ++n)
            lines += "broken\n";
        const DictionaryFile file = parseDictionaryFile(lines, "/d/KVEN.dic");
        ASSERT_EQ(file.problems.size(), std::min(broken, kMaxReportedProblems + 1)) << broken;
        EXPECT_EQ(file.problems[kMaxReportedProblems - 1],
                  "ファイル /d/KVEN.dic の 10 行目は「表記=読み」の形ではありません");
        if (broken > kMaxReportedProblems) {
            EXPECT_EQ(file.problems.back(), "ファイル /d/KVEN.dic には、ほかにも 15 行の問題があります");
        }
    }
}

TEST(DictionaryFile, AMissingFileIsAnEmptyDictionary)
{
    testing::ScratchFolder folder;
    DictionaryFile file = readDictionaryFile(folder.path("KVEN.dic"));
    EXPECT_TRUE(file.problems.empty());
    ASSERT_NE(file.dictionary, nullptr);
    EXPECT_EQ(file.dictionary->size(), 0u);

    std::filesystem::create_directory(folder.path("KVEN.dic"));
    file = readDictionaryFile(folder.path("KVEN.dic"));
    EXPECT_EQ(file.problems, V{msgCannotOpen(folder.path("KVEN.dic"))});
}

// The option and the dictionary reach the reading step, a new dictionary from the next chunk.
TEST(ReadingStep, WordReadings)
{
    for (const bool on : {true, false}) {
        ReadingRig rig;
        rig.session.setOption(&ReadingOptions::wordReadings, on);
        rig.session.setTalkSymbols(sj("／：ー"));
        rig.session.setLimit(&ReadingOptions::unreadLimit, 10);
        rig.setText("MeCabで読む\r\nhttp://a.jp/\r\nMeCab\r\n");
        rig.session.setReadingDictionary(std::make_shared<const ReadingDictionary>(dictionary({{"mecab", "めかぶ"}})));
        rig.reader.start();
        rig.session.setReadingDictionary(
            std::make_shared<const ReadingDictionary>(dictionary({{"mecab", "ミーキャブ"}})));
        while (rig.session.reading()) {
            rig.engine.finishSpeaking();
            ASSERT_GT(rig.queue.runPending(), 0u);
        }
        EXPECT_EQ(rig.said(), on ? (V{"めかぶで読む", "ＵＲＬ", "ミーキャブ"})
                                 : (V{"ＭｅＣａｂで読む", "ｈｔｔｐ：／／ａ;ｊｐ／", "ＭｅＣａｂ"}));
    }
}

} // namespace
} // namespace kven
