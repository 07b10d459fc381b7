#include "files/Errors.h"
#include "support/Sjis.h"
#include "text/Cp932.h"
#include "text/FullWidth.h"
#include "text/Sjis.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

#include <cstdint>

#include <gtest/gtest.h>

namespace kven {
namespace {

using testing::sj;
using testing::u8;

TEST(Find, PositionsAreOneBasedAndRespectDoubleByteCharacters)
{
    EXPECT_EQ(findOneBased("abc", "b"), 2u);
    EXPECT_EQ(findOneBased("abc", "x"), 0u);
    EXPECT_EQ(findOneBased("abc", ""), 0u) << "an empty pattern is never found";
    EXPECT_EQ(findOneBased("", "a"), 0u);
    EXPECT_EQ(findOneBased("abc", "abcd"), 0u);
    EXPECT_EQ(findOneBased("aBc", "b"), 0u) << "case-sensitive";
    // "ボ" is 0x83 0x7B; its second byte is "{" and must not be found.
    EXPECT_EQ(findOneBased(sj("ボ"), "{"), 0u);
    EXPECT_EQ(findOneBased(sj("ボ{"), "{"), 3u);
    // "表" is 0x95 0x5C: a trail byte that looks like a backslash.
    EXPECT_EQ(findOneBased(sj("表"), "\\"), 0u);
    // A match that starts on a second byte: "ア" 0x83 0x41 then "A"; "\x41\x41" only across.
    EXPECT_EQ(findOneBased(sj("アA"), "AA"), 0u);
    // A lead byte followed by a control byte still pairs with it.
    EXPECT_EQ(findOneBased(std::string("\x81\r\n", 3), "\r\n"), 0u);
    EXPECT_EQ(findOneBased(std::string("\x81\r\r\n", 4), "\r\n"), 3u);
}

// The search judges character starts from the bytes just before a candidate; a plain walk
// from the start of the text is the reference it must agree with.
TEST(Find, AgreesWithAWalkFromTheStartOnRandomText)
{
    auto reference = [](std::string_view text, std::string_view pattern) -> std::size_t {
        for (std::size_t i = 0; i + pattern.size() <= text.size(); i += kven::sjis::isLeadByte(text[i]) ? 2 : 1)
            if (text.substr(i, pattern.size()) == pattern)
                return i;
        return npos;
    };
    auto folded = [](std::string text) {
        for (char& c : text)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        return text;
    };
    const unsigned char alphabet[] = {0x81, 0x42, 0x9f, 0xe0, 0x41, '<', 0x0d, 0x0a, 0xa4, 'a', 'b'};
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    for (int round = 0; round < 20000; ++round) {
        std::string text(next() % 40, '\0');
        for (auto& c : text)
            c = static_cast<char>(alphabet[next() % sizeof alphabet]);
        std::string pattern(1 + next() % 3, '\0');
        for (auto& c : pattern)
            c = static_cast<char>(alphabet[next() % sizeof alphabet]);
        ASSERT_EQ(findOffset(text, pattern), reference(text, pattern)) << round;
        // Folding letters moves no character start: no letter is a lead byte.
        ASSERT_EQ(findOffsetIgnoringCase(text, pattern), reference(folded(text), folded(pattern))) << round;
    }
}

TEST(Find, IgnoringCaseFoldsOnlyAsciiLetters)
{
    EXPECT_EQ(findOffsetIgnoringCase("a<ScRiPt>", "<script"), 1u);
    EXPECT_EQ(findOffsetIgnoringCase("xSCRIPT", "script"), 1u) << "a letter first";
    EXPECT_EQ(findOffsetIgnoringCase("Z[", "z{"), npos) << "[ and { are no letters";
    EXPECT_EQ(findOffsetIgnoringCase("@", "`"), npos);
    // "ア" is 0x83 0x41: its second byte is "A" and begins nothing.
    EXPECT_EQ(findOffsetIgnoringCase(sj("ア") + "a", "aa"), npos);
    EXPECT_EQ(findOffsetIgnoringCase(sj("アA") + "a", "aa"), 2u);
}

TEST(Find, StartLimitBoundsTheScan)
{
    EXPECT_EQ(findOffset("abcabc", "c", 2), npos);
    EXPECT_EQ(findOffset("abcabc", "c", 3), 2u);
    EXPECT_EQ(findOffset("abcabc", "bc", 100), 1u);
}

TEST(ReplaceAll, LeftToRightWithoutRescanningReplacements)
{
    const struct {
        const char* text;
        const char* pattern;
        const char* replacement;
        const char* expected;
    } rows[] = {
        {"aaa", "aa", "b", "ba"},           // occurrences never overlap
        {"abab", "ab", "abab", "abababab"}, // inserted text is not scanned again
        {"<BR><BR><BR>", "<BR><BR>", "\n", "\n<BR>"},
        {"xyz", "", "Q", "xyz"}, // empty pattern: unchanged
        {"", "a", "b", ""},
        {"KVENmarkAKVENmark", "KVENmark", " ", " A "},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(replaceAll(r.text, r.pattern, r.replacement), r.expected) << r.text;
        std::string inPlace = r.text;
        replaceAllIn(inPlace, r.pattern, r.replacement);
        EXPECT_EQ(inPlace, r.expected) << r.text;
    }
    // Second bytes are never matched: "ボ" ends with "{".
    EXPECT_EQ(replaceAll(sj("ボ{ボ"), "{", "}"), sj("ボ}ボ"));
    std::string shrinking = sj("ボ{{ボ{");
    replaceAllIn(shrinking, "{", "");
    EXPECT_EQ(shrinking, sj("ボボ"));
}

TEST(Trim, RemovesControlBytesAndBlanksButNotTheFullWidthBlank)
{
    EXPECT_EQ(trim(" \t\r\nab c\r\n\x01"), "ab c");
    EXPECT_EQ(trim(sj("　あ　")), sj("　あ　"));
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(trim(""), "");
}

TEST(LenientInt, ReadsWhatTheSettingsAndBookmarkFilesHold)
{
    const struct {
        const char* text;
        int value;
    } rows[] = {
        {"", 0},
        {"abc", 0},
        {"42", 42},
        {"   42", 42}, // leading blanks skipped
        {"-1", -1},
        {"+7", 7},
        {"12abc", 12},  // digits read so far
        {"-12abc", 12}, // stopping early drops the sign
        {"-999", -999},
        {"-", 0},
        {"$1F", 31},
        {"0x1f", 31},
        {"0X10", 16},
        {"x10", 16},
        {"X1g", 1},
        {"-$10", -16},
        {"1520\r", 1520},
        {" 3 ", 3},
        {"2147483647", 2147483647},
        {"99999999999", 999999999}, // stops before leaving the integer range
    };
    for (const auto& r : rows)
        EXPECT_EQ(lenientInt(r.text), r.value) << '"' << r.text << '"';
}

TEST(Lines, SplitAtEveryBreakKindAndJoinWithCrLf)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(splitLines(""), V{});
    EXPECT_EQ(splitLines("\r\n"), V{""});
    EXPECT_EQ(splitLines("a"), V{"a"});
    EXPECT_EQ(splitLines("a\r\n"), V{"a"});
    EXPECT_EQ(splitLines("a\rb\nc\r\nd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(splitLines("a\n\r"), (V{"a", ""})) << "LF then CR is two breaks";
    EXPECT_EQ(joinLinesCrLf({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(joinLinesCrLf({}), "");
    EXPECT_EQ(normalizeLineBreaks("a\rb\nc\r\nd\n\r"), "a\r\nb\r\nc\r\nd\r\n\r\n");
}

TEST(Cp932, ConvertsBothWaysWithNearEquivalentsAndReplacements)
{
    EXPECT_EQ(u8(sj("漢字かなカナＡ１")), "漢字かなカナＡ１");
    EXPECT_EQ(cp932::fromUtf8("\u301C"), "\x81\x60") << "WAVE DASH to full-width tilde";
    EXPECT_EQ(cp932::fromUtf8("\u2016\u2212\u00A2\u00A3\u00AC\u2014"),
              "\x81\x61\x81\x7c\x81\x91\x81\x92\x81\xca\x81\x5c");
    EXPECT_EQ(cp932::fromUtf8("a\u00E7b"), "a?b") << "no CP932 form";
    EXPECT_EQ(cp932::fromUtf8("\u00A5\u203E"), "??") << "no near-equivalent, whatever iconv offers";
    EXPECT_EQ(cp932::fromUtf8("\U0001F600x"), "?x") << "one ? per character beyond U+FFFF";
    EXPECT_EQ(cp932::fromUtf8("\xff"), "?");
    EXPECT_EQ(cp932::toUtf8("\xeb\x81"
                            "a"),
              "?a")
        << "an unassigned pair is one character";
    EXPECT_EQ(cp932::toUtf8("\x80\xa0\xfd"), "???");
    EXPECT_EQ(cp932::toUtf8("\x87\x54\xfa\x8d"), "Ⅰ厓") << "NEC and IBM rows";
    EXPECT_EQ(cp932::toWide(sj("あa")), u"あa");
    EXPECT_EQ(cp932::wideToUtf8(u"あ\U0001F600"), "あ\U0001F600");
}

TEST(Utf8, StepReportsCodePointLengthAndStatus)
{
    using utf8::Status;
    const struct {
        std::string_view bytes;
        char32_t codePoint;
        std::size_t length;
        Status status;
    } rows[] = {
        {"A", U'A', 1, Status::ok},
        {"\xc2\x80", 0x80, 2, Status::ok},
        {"\xdf\xbf", 0x7FF, 2, Status::ok},
        {"\xe0\xa0\x80", 0x800, 3, Status::ok},
        {"\xef\xbf\xbd", 0xFFFD, 3, Status::ok},
        {"\xf0\x90\x80\x80", 0x10000, 4, Status::ok},
        {"\xf4\x8f\xbf\xbf", 0x10FFFF, 4, Status::ok},
        {"\xc1\xbf", 0x7F, 2, Status::overlong},
        {"\xe0\x9f\xbf", 0x7FF, 3, Status::overlong},
        {"\xf0\x8f\xbf\xbf", 0xFFFF, 4, Status::overlong},
        {"\xed\xa0\x80", 0xD800, 3, Status::surrogate},
        {"\xed\xbf\xbf", 0xDFFF, 3, Status::surrogate},
        {"\xf4\x90\x80\x80", 0x110000, 4, Status::beyondUnicode},
        {"\xf7\xbf\xbf\xbf", 0x1FFFFF, 4, Status::beyondUnicode},
        {"\x80", 0, 1, Status::malformed}, // continuation byte first
        {"\xf8\x88\x80\x80\x80", 0, 1, Status::malformed},
        {"\xe3\x81", 0, 1, Status::malformed}, // cut off by the end
        {"\xe3\x41\x81", 0, 1, Status::malformed},
        {"\xf0\x90\x80"
         "A",
         0, 1, Status::malformed},
    };
    for (const auto& row : rows) {
        const utf8::Step step = utf8::decode(row.bytes, 0);
        EXPECT_EQ(step.status, row.status) << ::testing::PrintToString(row.bytes);
        EXPECT_EQ(step.length, row.length) << ::testing::PrintToString(row.bytes);
        if (row.status != Status::malformed) {
            EXPECT_EQ(step.codePoint, row.codePoint) << ::testing::PrintToString(row.bytes);
        }
    }
    EXPECT_TRUE(utf8::isValid("a\xe3\x81\x82\xf0\x9f\x98\x80"));
    EXPECT_FALSE(utf8::isValid("a\xe3\x81"));
    EXPECT_FALSE(utf8::isValid("\xc0\x80"));
}

// The lenient decoder behind file names and texts: what it makes of bad bytes decides the
// CP932 path a bookmark is stored under, so it must stay exactly as it is.
TEST(Utf8, LenientDecodingCountsBadBytesAsTheyAlwaysHaveBeen)
{
    const struct {
        std::string_view utf8;
        std::u16string wide;
    } rows[] = {
        {"a\xe3\x81\x82", u"aあ"},
        {"\xf0\x9f\x98\x80", u"\U0001F600"},
        {"\xc0\x80", u"\xFFFD\xFFFD"},                     // C0 never starts a character: two bad bytes
        {"\xe0\x80\x80", u"\xFFFD"},                       // overlong, right form: one
        {"\xed\xa0\x80", u"\xFFFD"},                       // surrogate: one
        {"\xf4\x90\x80\x80", u"\xFFFD"},                   // beyond U+10FFFF from F4: one
        {"\xf5\x80\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"}, // F5 never starts one
        {"\xe3\x81x", u"\xFFFD\xFFFDx"},                   // cut short
    };
    for (const auto& row : rows)
        EXPECT_EQ(cp932::utf8ToWide(row.utf8), row.wide) << ::testing::PrintToString(row.utf8);
}

TEST(FullWidth, MapsAsciiBlankAndHalfWidthKatakana)
{
    const struct {
        std::string in;
        const char* expected;
    } rows[] = {
        {"ABC xyz", "ＡＢＣ　ｘｙｚ"},
        {"!~", "！～"},
        {"\\", "＼"},
        {"\xb6\xde\xca\xdf\xb3\xde", "ガパヴ"},       // voiced and semi-voiced marks composed
        {"\xb1\xde\xdf", "ア゛゜"},                   // no composed form: the marks stand alone
        {"\xa1\xa2\xa3\xa4\xa5\xb0", "。「」、・ー"}, // punctuation and the long-vowel mark
        {"\xca\xde\xca", "バハ"},
        {sj("漢ｶ"), "漢カ"},
        {"\x81", "?"}, // a lone lead byte at the end stays as it is
        {"\t", "\t"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(u8(toFullWidth(r.in)), r.expected) << u8(r.in);
    // A double-byte character whose second byte is in the half-width range stays unchanged.
    EXPECT_EQ(toFullWidth("\x83\xb1"), "\x83\xb1");
}

TEST(FullWidth, CutsAtACharacterBoundaryWithinTheLimit)
{
    const std::string in(600, 'a'); // 1200 bytes mapped
    const std::string out = toFullWidth(in);
    EXPECT_EQ(out.size(), 1024u);
    EXPECT_EQ(toFullWidth(std::string(513, 'a')).size(), 1024u);
    EXPECT_EQ(toFullWidth("a" + std::string(600, 'a'), 5).size(), 4u) << "no half character";
    EXPECT_EQ(toFullWidth(std::string(1024, 'x') + "a", 1024).size(), 1024u);
}

TEST(ErrorBox, AppendsAFullStopUnlessTheMessageEndsAtOrBelowIt)
{
    EXPECT_EQ(errorBoxText(msgCannotOpen("/tmp/a.txt")), "ファイル /tmp/a.txt は開けません.");
    EXPECT_EQ(errorBoxText(msgCannotCreate("/x")), "ファイル /x を作成できません.");
    EXPECT_EQ(errorBoxText(msgListIndex(3)), "リストのインデックスが範囲を超えています (3)")
        << "\")\" sorts below \".\"";
    EXPECT_EQ(errorBoxText(msgTextTooLarge()), "文字列の大きさが メモ の制限を越えました.");
    EXPECT_EQ(errorBoxText("done."), "done.");
    EXPECT_EQ(errorBoxText("a-"), "a-");
    EXPECT_EQ(errorBoxText("a!"), "a!");
    EXPECT_EQ(errorBoxText("a/"), "a/.");
    EXPECT_EQ(errorBoxText(""), "");
}

} // namespace
} // namespace kven
