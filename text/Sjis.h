#pragma once
// Shift_JIS (code page 932) byte rules and the fixed texts the program compares against.
// Every byte is taken as unsigned char before a range test.

#include <cstddef>
#include <string_view>

namespace kven::sjis {

// First byte of a double-byte character: 0x81..0x9F and 0xE0..0xFC.
constexpr bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
constexpr bool isLeadByte(char c)
{
    return isLeadByte(static_cast<unsigned char>(c));
}

// Second byte of a double-byte character: 0x40..0x7E and 0x80..0xFC.
constexpr bool isTrailByte(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Length in bytes of the character starting at pos: 2 for a lead byte with a byte after it, else 1.
// A lead byte at the very end of the text is a character of its own.
constexpr std::size_t charLength(std::string_view text, std::size_t pos)
{
    return (isLeadByte(text[pos]) && pos + 1 < text.size()) ? 2 : 1;
}

// True when the last byte of `text` is a lead byte without its partner. A run of lead-byte
// values starts right after a character boundary (the byte before it ends a character), and
// pairs up from there, so only that run needs to be looked at.
constexpr bool endsWithLoneLeadByte(std::string_view text)
{
    std::size_t run = 0;
    while (run < text.size() && isLeadByte(text[text.size() - 1 - run]))
        ++run;
    return run % 2 == 1;
}

// Fixed texts, as Shift_JIS bytes.
inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr std::string_view kMaru = "\x81\x42";                // 。
inline constexpr std::string_view kTouten = "\x81\x41";              // 、
inline constexpr std::string_view kFullComma = "\x81\x43";           // ，
inline constexpr std::string_view kFullBlank = "\x81\x40";           // 全角空白 (U+3000)
inline constexpr std::string_view kZenZero = "\x82\x4f";             // ０
inline constexpr std::string_view kSmallKe = "\x83\x96";             // ヶ
inline constexpr std::string_view kKanjiFirst = "\x88\x9f";          // 亜
inline constexpr std::string_view kKanjiLast = "\xea\xa2";           // 瑤
inline constexpr std::string_view kZenQuestion = "\x81\x48";         // ？
inline constexpr std::string_view kChoon = "\x81\x5b";               // ー
inline constexpr std::string_view kRubyOpen = "\x81\x73";            // 《
inline constexpr std::string_view kRubyClose = "\x81\x74";           // 》
inline constexpr std::string_view kZenParenOpen = "\x81\x69";        // （
inline constexpr std::string_view kZenParenClose = "\x81\x6a";       // ）
inline constexpr std::string_view kNoma = "\x81\x58";                // 々
inline constexpr std::string_view kShime = "\x81\x59";               // 〆
inline constexpr std::string_view kMaruZero = "\x81\x5a";            // 〇
inline constexpr std::string_view kUnreadMark = ";";                 // stands for each unreadable character
inline constexpr std::string_view kNoteOpen = "\x81\x6d\x81\x94";    // ［＃
inline constexpr std::string_view kBracketOpen = "\x81\x6d";         // ［
inline constexpr std::string_view kBracketClose = "\x81\x6e";        // ］
inline constexpr std::string_view kQuoteOpen = "\x81\x75";           // 「
inline constexpr std::string_view kQuoteClose = "\x81\x76";          // 」
inline constexpr std::string_view kGaijiMark = "\x81\xa6";           // ※
inline constexpr std::string_view kRubyBaseMark = "\x81\x62";        // ｜
inline constexpr std::string_view kHiraganaFirst = "\x82\x9f";       // ぁ
inline constexpr std::string_view kHiraganaLast = "\x82\xf1";        // ん
inline constexpr std::string_view kKatakanaFirst = "\x83\x40";       // ァ
inline constexpr std::string_view kIterationMark = "\x81\x54";       // ゝ
inline constexpr std::string_view kVoicedIterationMark = "\x81\x55"; // ゞ
inline constexpr std::string_view kExplanationTitle =
    "\x81\x79\x83\x65\x83\x4c\x83\x58\x83\x67\x92\x86\x82\xc9\x8c\xbb\x82\xea\x82\xe9\x8b\x4c"
    "\x8d\x86\x82\xc9\x82\xc2\x82\xa2\x82\xc4\x81\x7a"; // 【テキスト中に現れる記号について】
inline constexpr std::string_view kSourceBookLabel = "\x92\xea\x96\x7b\x81\x46"; // 底本：
inline constexpr std::string_view kEndLine =
    "\x93\xc7\x82\xdd\x8f\xe3\x82\xb0\x8f\x49\x97\xb9\x81\x42"; // 読み上げ終了。

// The characters the reading step hands over as they are: full-width digits and letters,
// kana, and kanji up to "瑤". Only double-byte characters qualify: a one-byte character (a
// stray byte, or a lead byte left alone at the end of a chunk) is no letter, whatever its value.
constexpr bool isReadable(std::string_view c)
{
    return c.size() == 2 && ((c >= kZenZero && c <= kSmallKe) || (c >= kKanjiFirst && c <= kKanjiLast));
}

} // namespace kven::sjis
