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
        {sjis::kHeadingMarker, "KVENmark"},
        {sjis::kCrLf, "\r\n"},
        {sjis::kUnreadMark, ";"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(cp932::toUtf8(row.bytes), row.utf8);
        EXPECT_EQ(cp932::fromUtf8(row.utf8), row.bytes) << row.utf8;
    }
}

} // namespace
} // namespace kven
