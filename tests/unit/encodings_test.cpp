#include "text/Encodings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kven {
namespace {

TEST(Encodings, MultiByteCharactersJudgeTheFormAtEachByteRangesEdge)
{
    using namespace std::string_literals;
    constexpr std::optional<std::size_t> bad;
    const struct {
        const char* why;
        std::string bytes;
        Encoding encoding;
        std::optional<std::size_t> count;
    } rows[] = {
        {"ASCII, NUL included, in Shift_JIS", "<p>a\r\n\0"s, Encoding::shiftJis, 0},
        {"ASCII in EUC-JP", "<p>a", Encoding::eucJp, 0},
        {"ASCII in UTF-8", "<p>a", Encoding::utf8, 0},

        {"Shift_JIS second bytes 0x40 and 0xFC", "\x81\x40\x9f\xfc", Encoding::shiftJis, 2},
        {"Shift_JIS second byte 0x3F", "\x81\x3f", Encoding::shiftJis, bad},
        {"Shift_JIS second byte 0x7F", "\x81\x7f", Encoding::shiftJis, bad},
        {"Shift_JIS second byte 0xFD", "\xe0\xfd", Encoding::shiftJis, bad},
        {"Shift_JIS lead byte 0xFC", "\xfc\x40", Encoding::shiftJis, 1},
        {"Shift_JIS 0xFD begins nothing", "\xfd\x40", Encoding::shiftJis, bad},
        {"half-width katakana 0xA1 and 0xDF are one byte each", "\xa1\xdf", Encoding::shiftJis, 0},
        {"0x80 is no Shift_JIS", "\x80", Encoding::shiftJis, bad},
        {"0xA0 is no Shift_JIS", "\xa0", Encoding::shiftJis, bad},
        {"Shift_JIS lead byte at the end", "a\x82", Encoding::shiftJis, bad},

        {"EUC-JP pairs at 0xA1 and 0xFE", "\xa1\xa1\xfe\xfe", Encoding::eucJp, 2},
        {"EUC-JP second byte 0xA0", "\xa4\xa0", Encoding::eucJp, bad},
        {"EUC-JP first byte 0xFF", "\xff\xa1", Encoding::eucJp, bad},
        {"EUC-JP half-width katakana 0xDF", "\x8e\xdf", Encoding::eucJp, 1},
        {"EUC-JP 0x8E before 0xE0", "\x8e\xe0", Encoding::eucJp, bad},
        {"EUC-JP three-byte character", "\x8f\xb0\xa1", Encoding::eucJp, 1},
        {"EUC-JP three-byte character cut off", "\x8f\xb0", Encoding::eucJp, bad},
        {"EUC-JP first byte at the end", "a\xa4", Encoding::eucJp, bad},
        {"0x80 is no EUC-JP", "\x80", Encoding::eucJp, bad},

        {"UTF-8 of two, three and four bytes", "\xc2\xa9\xe3\x81\x82\xf0\x9f\x98\x80", Encoding::utf8, 3},
        {"overlong UTF-8", "\xc0\xbc", Encoding::utf8, bad},
        {"a long ASCII run, then a bad byte", std::string(40, 'a') + "\x80", Encoding::utf8, bad},
    };
    for (const auto& row : rows)
        EXPECT_EQ(multiByteCharacters(row.bytes, row.encoding), row.count) << row.why;
}

} // namespace
} // namespace kven
