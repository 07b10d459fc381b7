#include "intake/PageConversion.h"
#include "text/Cp932.h"
#include "text/Sjis.h"

#include <gtest/gtest.h>

namespace kven {
namespace {

// Every Shift_JIS constant spelled as byte escapes must be the character its comment names.
TEST(SjisConstants, MatchTheirUtf8Spelling)
{
    const struct {
        std::string_view bytes;
        const char* utf8;
    } rows[] = {
        {sjis::kMaru, "。"},
        {sjis::kTouten, "、"},
        {sjis::kFullComma, "，"},
        {sjis::kFullBlank, "　"},
        {sjis::kZenZero, "０"},
        {sjis::kSmallKe, "ヶ"},
        {sjis::kKanjiFirst, "亜"},
        {sjis::kKanjiLast, "瑤"},
        {sjis::kZenQuestion, "？"},
        {sjis::kChoon, "ー"},
        {sjis::kRubyOpen, "《"},
        {sjis::kRubyClose, "》"},
        {sjis::kZenParenOpen, "（"},
        {sjis::kZenParenClose, "）"},
        {sjis::kNoma, "々"},
        {sjis::kShime, "〆"},
        {sjis::kMaruZero, "〇"},
        {sjis::kEndLine, "読み上げ終了。"},
        {kHeadingMarker, "KVENmark"},
        {sjis::kCrLf, "\r\n"},
        {sjis::kUnreadMark, ";"},
        {sjis::kNoteOpen, "［＃"},
        {sjis::kBracketOpen, "［"},
        {sjis::kBracketClose, "］"},
        {sjis::kQuoteOpen, "「"},
        {sjis::kQuoteClose, "」"},
        {sjis::kGaijiMark, "※"},
        {sjis::kRubyBaseMark, "｜"},
        {sjis::kHiraganaFirst, "ぁ"},
        {sjis::kHiraganaLast, "ん"},
        {sjis::kKatakanaFirst, "ァ"},
        {sjis::kIterationMark, "ゝ"},
        {sjis::kVoicedIterationMark, "ゞ"},
        {sjis::kExplanationTitle, "【テキスト中に現れる記号について】"},
        {sjis::kSourceBookLabel, "底本："},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(cp932::toUtf8(row.bytes), row.utf8);
        EXPECT_EQ(cp932::fromUtf8(row.utf8), row.bytes) << row.utf8;
    }
}

// Unicode characters that have no CP932 form of their own but a CP932 character of the same
// meaning: the conversion must reach it, not "?".
TEST(Cp932, NearEquivalentsBecomeTheirCp932Forms)
{
    const struct {
        char16_t wide;
        std::string_view sjis;
    } rows[] = {
        {0x301C, "\x81\x60"}, // WAVE DASH → ～
        {0x2016, "\x81\x61"}, // DOUBLE VERTICAL LINE → ∥
        {0x2212, "\x81\x7c"}, // MINUS SIGN → －
        {0x00A2, "\x81\x91"}, // CENT SIGN → ￠
        {0x00A3, "\x81\x92"}, // POUND SIGN → ￡
        {0x00AC, "\x81\xca"}, // NOT SIGN → ￢
        {0x2014, "\x81\x5c"}, // EM DASH → ―
    };
    for (const auto& row : rows) {
        EXPECT_EQ(cp932::fromWide(std::u16string(1, row.wide)), row.sjis) << std::hex << int(row.wide);
        EXPECT_EQ(cp932::fromWide(u"a" + std::u16string(1, row.wide) + u"b"), "a" + std::string(row.sjis) + "b");
    }
}

} // namespace
} // namespace kven
