#include "reading/NumberSigns.h"

#include "text/Sjis.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kven {

namespace {

constexpr std::string_view kYen = "\x81\x8f";                               // ￥
constexpr std::string_view kDollar = "\x81\x90";                            // ＄
constexpr std::string_view kMinus = "\x81\x7c";                             // －
constexpr std::string_view kCelsius = "\x81\x8e";                           // ℃
constexpr std::string_view kYear = "\x94\x4e";                              // 年
constexpr std::string_view kPoint = "\x81\x44";                             // ．
constexpr std::string_view kCircle = "\x81\x9b";                            // ○
constexpr std::string_view kYenWord = "\x89\x7e";                           // 円
constexpr std::string_view kDollarWord = "\x83\x68\x83\x8b";                // ドル
constexpr std::string_view kMinusWord = "\x83\x7d\x83\x43\x83\x69\x83\x58"; // マイナス
constexpr std::string_view kDegreeWord = "\x93\x78";                        // 度
// 〇 一 二 三 四 五 六 七 八 九 十 百 千 万
constexpr std::array<std::string_view, 14> kKanjiNumerals = {"\x81\x5a", "\x88\xea", "\x93\xf1", "\x8e\x4f", "\x8e\x6c",
                                                             "\x8c\xdc", "\x98\x5a", "\x8e\xb5", "\x94\xaa", "\x8b\xe3",
                                                             "\x8f\x5c", "\x95\x53", "\x90\xe7", "\x96\x9c"};

bool isDigitAt(std::string_view text, std::size_t at)
{
    // ０..９ are 0x824F..0x8258.
    return at + 1 < text.size() && static_cast<unsigned char>(text[at]) == 0x82 &&
           static_cast<unsigned char>(text[at + 1]) >= 0x4F && static_cast<unsigned char>(text[at + 1]) <= 0x58;
}

bool isLatinAt(std::string_view text, std::size_t at)
{
    if (at + 1 >= text.size() || static_cast<unsigned char>(text[at]) != 0x82)
        return false;
    const auto trail = static_cast<unsigned char>(text[at + 1]);
    return (trail >= 0x60 && trail <= 0x79) || (trail >= 0x81 && trail <= 0x9A);
}

// Katakana and the long-vowel mark: a word before "－" makes it a hyphen ("カカシ－２").
bool isKatakanaAt(std::string_view text, std::size_t at)
{
    if (at + 1 >= text.size())
        return false;
    const auto lead = static_cast<unsigned char>(text[at]);
    const auto trail = static_cast<unsigned char>(text[at + 1]);
    return (lead == 0x83 && trail >= 0x40 && trail <= 0x96) || (lead == 0x81 && trail == 0x5B);
}

bool isKanjiNumeral(std::string_view c)
{
    for (const std::string_view numeral : kKanjiNumerals)
        if (c == numeral)
            return true;
    return false;
}

// The end of the number at `at`: digits, with "，" or "．" between two of them; `at` when no
// digit is there.
std::size_t numberEnd(std::string_view text, std::size_t at)
{
    std::size_t end = at;
    while (isDigitAt(text, end)) {
        end += 2;
        const std::string_view next = text.substr(end, 2);
        if ((next == sjis::kFullComma || next == kPoint) && isDigitAt(text, end + 2))
            end += 2;
    }
    return end;
}

// The end of "（…）年" at `at`, the brackets holding no line break and no second bracket;
// npos when there is none.
std::size_t eraEnd(std::string_view text, std::size_t at)
{
    if (text.substr(at, 2) != sjis::kZenParenOpen)
        return std::string_view::npos;
    for (std::size_t i = at + 2; i < text.size() && text[i] != '\r' && text[i] != '\n';) {
        const std::size_t len = sjis::charLength(text, i);
        if (text.substr(i, len) == sjis::kZenParenOpen)
            break;
        if (text.substr(i, len) == sjis::kZenParenClose)
            return text.substr(i + len, 2) == kYear ? i + len : std::string_view::npos;
        i += len;
    }
    return std::string_view::npos;
}

// Whether "＄" marks hexadecimal numbers in the text: one is followed by digits and letters
// ("＄９Ｆ").
bool hexadecimalDollars(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); i += sjis::charLength(text, i)) {
        if (text.substr(i, kDollar.size()) != kDollar)
            continue;
        std::size_t end = i + kDollar.size();
        bool letter = false;
        while (isDigitAt(text, end) || isLatinAt(text, end)) {
            letter = letter || isLatinAt(text, end);
            end += 2;
        }
        if (letter && end > i + kDollar.size())
            return true;
    }
    return false;
}

// Whether the number at [at, end) is an amount: no leading zero but before a decimal point,
// no Latin letter or "＝" right after it (a table of codes).
bool amountAt(std::string_view text, std::size_t at, std::size_t end)
{
    const bool leadingZero = text.substr(at, 2) == sjis::kZenZero && isDigitAt(text, at + 2);
    return end > at && !leadingZero && !isLatinAt(text, end) && text.substr(end, 2) != "\x81\x81"; // ＝
}

// The letters the synthesizer reads as units right after a digit, with their names: Ａ アンペア,
// Ｎ ノルマル, Ｖ ボルト, Ｗ ワット, ｓ セカンド.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kUnitLetters = {{
    {"\x82\x60", "\x83\x47\x81\x5b"},                         // Ａ エー
    {"\x82\x6d", "\x83\x47\x83\x6b"},                         // Ｎ エヌ
    {"\x82\x75", "\x83\x75\x83\x43"},                         // Ｖ ブイ
    {"\x82\x76", "\x83\x5f\x83\x75\x83\x8a\x83\x85\x81\x5b"}, // Ｗ ダブリュー
    {"\x82\x93", "\x83\x47\x83\x58"},                         // ｓ エス
}};
constexpr std::string_view kEquals = "\x81\x81"; // ＝
constexpr std::string_view kSharp = "\x81\x94";  // ＃
constexpr std::string_view kPlus = "\x81\x7b";   // ＋
constexpr std::string_view kCodeU = "\x82\x74";  // Ｕ

std::string_view unitLetterName(std::string_view c)
{
    for (const auto& [letter, name] : kUnitLetters)
        if (c == letter)
            return name;
    return {};
}

// Whether the run of digits and Latin letters [start, end) of `text` is a code rather than an
// amount with its unit: a letter comes before a digit ("Ｓ７Ｃ１Ｔ", "０ｘ１Ａ"), or more follows
// a letter after a digit ("２５ＡＡ"), or it starts with a zero ("０Ａ"), or it follows "Ｕ＋",
// "＃" or a hexadecimal "＄", or "＝" follows it (a table of codes).
bool codeAt(std::string_view text, std::size_t start, std::size_t end, bool hexadecimal)
{
    bool letter = false;
    for (std::size_t i = start; i < end; i += 2) {
        if (isDigitAt(text, i) && letter)
            return true;
        letter = letter || isLatinAt(text, i);
        if (i > start && isDigitAt(text, i - 2) && isLatinAt(text, i) && i + 2 < end)
            return true;
    }
    const std::string_view before =
        text.substr(start - std::min<std::size_t>(start, 4), std::min<std::size_t>(start, 4));
    return (text.substr(start, 2) == sjis::kZenZero && end > start + 2) || before.ends_with(kSharp) ||
           (before.size() == 4 && before.substr(0, 2) == kCodeU && before.substr(2) == kPlus) ||
           (hexadecimal && before.ends_with(kDollar)) || text.substr(end, 2) == kEquals;
}

// `text` with each letter after a digit that the synthesizer would read as a unit said as the
// letter it is, where the digits and letters are a code ("１Ａ＝", "Ｕ＋００Ａ１"), so that a
// table of codes is not read in amperes; "５Ａ" alone stays five amperes.
std::string codeLetters(std::string text, bool hexadecimal)
{
    for (std::size_t i = 0; i < text.size();) {
        if (!isDigitAt(text, i) && !isLatinAt(text, i)) {
            i += sjis::charLength(text, i);
            continue;
        }
        const std::size_t start = i;
        std::size_t end = i;
        bool unit = false;
        while (isDigitAt(text, end) || isLatinAt(text, end)) {
            unit = unit || (end > start && isDigitAt(text, end - 2) && !unitLetterName(text.substr(end, 2)).empty());
            end += 2;
        }
        if (!unit || !codeAt(text, start, end, hexadecimal)) {
            i = end;
            continue;
        }
        std::string token;
        for (std::size_t k = start; k < end; k += 2) {
            const std::string_view name = unitLetterName(text.substr(k, 2));
            token.append(k > start && isDigitAt(text, k - 2) && !name.empty() ? name : text.substr(k, 2));
        }
        text.replace(start, end - start, token);
        i = start + token.size();
    }
    return text;
}

} // namespace

std::string numberSigns(std::string_view sjis)
{
    // Every rule needs a full-width digit (0x82 0x4F..0x58) or a circle (0x81 0x9B); a byte
    // search may also find them across two characters, which only costs the walk below.
    bool digitOrCircle = false;
    for (std::size_t i = 0; i + 1 < sjis.size() && !digitOrCircle; ++i) {
        const auto lead = static_cast<unsigned char>(sjis[i]);
        const auto trail = static_cast<unsigned char>(sjis[i + 1]);
        digitOrCircle = (lead == 0x82 && trail >= 0x4F && trail <= 0x58) || (lead == 0x81 && trail == 0x9B);
    }
    if (!digitOrCircle)
        return std::string(sjis);
    const bool hexadecimal = hexadecimalDollars(sjis);
    std::string out;
    out.reserve(sjis.size());
    std::size_t previous = std::string_view::npos; // the character before `i`
    std::size_t zeroRun = 0;                       // circles up to here are zeros
    for (std::size_t i = 0; i < sjis.size();) {
        const std::size_t len = sjis::charLength(sjis, i);
        const std::string_view c = sjis.substr(i, len);
        const bool afterDigit = previous != std::string_view::npos && isDigitAt(sjis, previous);
        // A run of circles with kanji numerals on both sides is zeros.
        if (c == kCircle && zeroRun <= i && previous != std::string_view::npos &&
            isKanjiNumeral(sjis.substr(previous, i - previous))) {
            std::size_t end = i;
            while (sjis.substr(end, kCircle.size()) == kCircle)
                end += kCircle.size();
            if (isKanjiNumeral(sjis.substr(end, sjis::charLength(sjis, end))))
                zeroRun = end;
        }
        if ((c == kYen || (c == kDollar && !hexadecimal)) && amountAt(sjis, i + len, numberEnd(sjis, i + len))) {
            const std::size_t end = numberEnd(sjis, i + len);
            out.append(sjis.substr(i + len, end - i - len));
            out.append(c == kYen ? kYenWord : kDollarWord);
            previous = end - 2;
            i = end;
            continue;
        }
        const bool minusBefore =
            previous != std::string_view::npos && (afterDigit || isLatinAt(sjis, previous) ||
                                                   isKatakanaAt(sjis, previous) || sjis.substr(previous, 2) == kMinus);
        if (c == kMinus && isDigitAt(sjis, i + len) && !minusBefore) {
            out.append(kMinusWord);
        } else if (c == kCelsius && afterDigit) {
            out.append(kDegreeWord);
        } else if (c == kCircle && zeroRun > i) {
            out.append(sjis::kMaruZero);
        } else {
            out.append(c);
        }
        // A year of four digits before its era.
        if (isDigitAt(sjis, i) && sjis.substr(i + len, sjis::kZenParenOpen.size()) == sjis::kZenParenOpen &&
            eraEnd(sjis, i + len) != std::string_view::npos) {
            const std::size_t start = i - std::min<std::size_t>(i, 6);
            if (i >= 6 && numberEnd(sjis, start) == i + 2 && (start < 2 || !isDigitAt(sjis, start - 2)))
                out.append(kYear);
        }
        previous = i;
        i += len;
    }
    return codeLetters(std::move(out), hexadecimal);
}

} // namespace kven
