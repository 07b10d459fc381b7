#include "support/IconvAll.h"
#include "text/EucJp.h"

#include <gtest/gtest.h>

#include <string>

namespace kven {
namespace {

struct Row {
    const char* why;
    std::string euc;
    std::string sjis;
};

TEST(EucJp, EucToSjisRows)
{
    using namespace std::string_literals;
    const Row rows[] = {
        {"empty", "", ""},
        {"ASCII, tags and line breaks pass through", "<p>a\r\nb</p>\n", "<p>a\r\nb</p>\n"},
        {"three hiragana", "\xa4\xa2\xa4\xa4\xa4\xa6", "\x82\xa0\x82\xa2\x82\xa4"},
        {"full-width blank", "\xa1\xa1", "\x81\x40"},
        {"first kanji", "\xb0\xa1", "\x88\x9f"},
        {"row 0x5F starts the 0xE0 block", "\xdf\xa1", "\xe0\x40"},
        {"last pair", "\xfe\xfe", "\xef\xfc"},
        {"half-width katakana", "\x8e\xb1", "\xb1"},
        {"0x8E before a non-katakana byte is copied", "\x8e\x41", "\x8e\x41"},
        {"0x8E before 0xE0 (beyond katakana) is copied, 0xE0 pairs", "\x8e\xe0\xa1", "\x8e\xe0\x9f"},
        {"0x8E at the end is copied", "a\x8e", "a\x8e"},
        {"the byte after a first byte is consumed", "\xa4\x41", "\x82\x3f"},
        {"0x8F is copied, the two bytes after it pair", "\x8f\xb0\xa1", "\x8f\x88\x9f"},
        {"0x80..0xA0 and 0xFF are copied", "\x80\x9f\xa0\xff", "\x80\x9f\xa0\xff"},
        {"a first byte at the very end is dropped", "\xa4\xa2\xa4", "\x82\xa0"},
        {"NUL bytes are kept", "a\0b"s, "a\0b"s},
    };
    const EucJp conv;
    for (const auto& row : rows)
        EXPECT_EQ(conv.toSjis(row.euc), row.sjis) << row.why;
}

TEST(EucJp, JisToSjisRows)
{
    const struct {
        unsigned char row, cell;
        std::string sjis;
    } rows[] = {
        {0x21, 0x5F, "\x81\x7e"}, {0x21, 0x60, "\x81\x80"}, // 0x7F is skipped in odd rows
        {0x22, 0x21, "\x81\x9f"}, {0x20, 0x21, ""},
        {0x7F, 0x21, ""},         {0x21, 0x00, "\x81\x1f"}, // the cell gets no range test
        {0x7E, 0x7E, "\xef\xfc"},
    };
    const EucJp conv;
    for (const auto& r : rows)
        EXPECT_EQ(conv.jisToSjis(r.row, r.cell), r.sjis) << std::hex << int(r.row) << ' ' << int(r.cell);
}

TEST(EucJp, ByteClasses)
{
    const EucJp conv;
    EXPECT_FALSE(conv.isLead(0xA0));
    EXPECT_TRUE(conv.isLead(0xA1));
    EXPECT_TRUE(conv.isLead(0xFE));
    EXPECT_FALSE(conv.isLead(0xFF));
    EXPECT_FALSE(conv.isKanaTrail(0xA0));
    EXPECT_TRUE(conv.isKanaTrail(0xA1));
    EXPECT_TRUE(conv.isKanaTrail(0xDF));
    EXPECT_FALSE(conv.isKanaTrail(0xE0));
}

TEST(EucJp, SingleBytesAreCopiedAndHalfWidthKanaStaysHalfWidth)
{
    const EucJp conv;
    EXPECT_EQ(conv.toSjis("A\\~\x8e\xb6\x8e\xde\xa4\xab"), "A\\~\xb6\xde\x82\xa9"); // A \ ~ ｶﾞ か
}

// Our conversion of every JIS X 0208 pair agrees with glibc's EUC-JP to CP932 wherever
// glibc converts the pair.
TEST(EucJp, AgreesWithIconvOnEveryJisX0208Pair)
{
    const EucJp conv;
    int compared = 0;
    for (unsigned row = 0x21; row <= 0x7E; ++row)
        for (unsigned cell = 0x21; cell <= 0x7E; ++cell) {
            const char euc[2] = {static_cast<char>(row + 0x80), static_cast<char>(cell + 0x80)};
            const auto reference = testing::iconvAll("CP932", "EUC-JP", std::string_view(euc, 2));
            if (!reference)
                continue;
            ++compared;
            EXPECT_EQ(conv.toSjis(std::string_view(euc, 2)), *reference) << std::hex << row << ' ' << cell;
        }
    EXPECT_GT(compared, 6800); // JIS X 0208 has 6879 characters
}

} // namespace
} // namespace kven
