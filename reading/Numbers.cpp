#include "reading/Numbers.h"

#include "text/Sjis.h"

#include <array>
#include <cstddef>
#include <utility>

namespace kven {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

constexpr std::string_view kSlash = "\x81\x5e";  // ／
constexpr std::string_view kHyphen = "\x81\x7c"; // －
constexpr std::string_view kColon = "\x81\x46";  // ：
constexpr std::string_view kPeriod = "\x81\x44"; // ．
constexpr std::string_view kNo = "\x82\xcc";     // の
constexpr std::string_view kZero = "\x97\xeb";   // 零
// Kanji numerals for 1-9; none is written for a zero digit inside a number.
constexpr std::array<std::string_view, 10> kDigits = {
    "",         "\x88\xea", "\x93\xf1", "\x8e\x4f", "\x8e\x6c", // 一 二 三 四
    "\x8c\xdc", "\x98\x5a", "\x8e\xb5", "\x94\xaa", "\x8b\xe3", // 五 六 七 八 九
};
constexpr std::string_view kTen = "\x8f\x5c";      // 十
constexpr std::string_view kHundred = "\x95\x53";  // 百
constexpr std::string_view kThousand = "\x90\xe7"; // 千
constexpr std::string_view kYear = "\x94\x4e";     // 年
constexpr std::string_view kMonth = "\x8c\x8e";    // 月
constexpr std::string_view kDay = "\x93\xfa";      // 日
constexpr std::string_view kHour = "\x8e\x9e";     // 時
constexpr std::string_view kMinute = "\x95\xaa";   // 分, also of a fraction
constexpr std::string_view kSecond = "\x95\x62";   // 秒

unsigned char byteAt(std::string_view s, std::size_t i)
{
    return i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
}

// The value of the full-width digit at `i`, or -1.
int digitAt(std::string_view s, std::size_t i)
{
    const unsigned char trail = byteAt(s, i + 1);
    return byteAt(s, i) == 0x82 && trail >= 0x4f && trail <= 0x58 ? trail - 0x4f : -1;
}

bool isCapitalAt(std::string_view s, std::size_t i)
{
    const unsigned char trail = byteAt(s, i + 1);
    return byteAt(s, i) == 0x82 && trail >= 0x60 && trail <= 0x79;
}

bool isLetterAt(std::string_view s, std::size_t i)
{
    const unsigned char trail = byteAt(s, i + 1);
    return isCapitalAt(s, i) || (byteAt(s, i) == 0x82 && trail >= 0x81 && trail <= 0x9a);
}

// Whether the character `c`, just before a number or word, makes it part of something else.
bool joinsBefore(std::string_view c)
{
    return digitAt(c, 0) >= 0 || isLetterAt(c, 0) || c == kSlash || c == kHyphen || c == kColon || c == kPeriod ||
           c == sjis::kFullComma;
}

// The same for what follows at `i`: "．" and "，" join only a digit after them.
bool joinsAfter(std::string_view s, std::size_t i)
{
    const std::string_view c = s.substr(i, 2);
    if (digitAt(s, i) >= 0 || isLetterAt(s, i) || c == kSlash || c == kHyphen || c == kColon)
        return true;
    return (c == kPeriod || c == sjis::kFullComma) && digitAt(s, i + 2) >= 0;
}

struct Number {
    std::size_t end = 0;
    int value = 0; // of the first five digits
    std::size_t digits = 0;
    bool leadingZero = false;
};

Number numberAt(std::string_view s, std::size_t i)
{
    Number n{i, 0, 0, digitAt(s, i) == 0};
    for (int d = digitAt(s, i); d >= 0; d = digitAt(s, n.end)) {
        if (n.digits < 5)
            n.value = n.value * 10 + d;
        ++n.digits;
        n.end += 2;
    }
    return n;
}

bool within(const Number& n, std::size_t minDigits, std::size_t maxDigits, int low, int high)
{
    return n.digits >= minDigits && n.digits <= maxDigits && n.value >= low && n.value <= high;
}

// `n`, 0-9999, in kanji numerals: 零, 十, 百一, 二千一.
void appendKanji(std::string& out, int n)
{
    if (n == 0) {
        out += kZero;
        return;
    }
    const std::pair<int, std::string_view> places[] = {{1000, kThousand}, {100, kHundred}, {10, kTen}};
    for (const auto& [place, name] : places) {
        const int d = n / place % 10;
        if (d > 1)
            out += kDigits[static_cast<std::size_t>(d)];
        if (d > 0)
            out += name;
    }
    out += kDigits[static_cast<std::size_t>(n % 10)];
}

// A date at `i` appended to `out` in words; its end, or kNone when there is none.
std::size_t date(std::string_view s, std::size_t i, std::string& out)
{
    const Number year = numberAt(s, i);
    const std::string_view mark = s.substr(year.end, 2);
    if (!within(year, 4, 4, 1000, 9999) || (mark != kSlash && mark != kHyphen))
        return kNone;
    const Number month = numberAt(s, year.end + mark.size());
    if (!within(month, 1, 2, 1, 12))
        return kNone;
    Number day;
    if (s.substr(month.end, 2) == mark) {
        day = numberAt(s, month.end + mark.size());
        if (!within(day, 1, 2, 1, 31))
            return kNone;
    } else if (mark == kHyphen) {
        return kNone; // "２０００－１２" is as likely a range as a month
    }
    const std::size_t end = day.digits > 0 ? day.end : month.end;
    if (joinsAfter(s, end))
        return kNone;
    appendKanji(out, year.value);
    out += kYear;
    appendKanji(out, month.value);
    out += kMonth;
    if (day.digits > 0) {
        appendKanji(out, day.value);
        out += kDay;
    }
    return end;
}

// A time at `i` appended to `out` in words; its end, or kNone when there is none.
std::size_t clockTime(std::string_view s, std::size_t i, std::string& out)
{
    const Number hour = numberAt(s, i);
    if (!within(hour, 1, 2, 0, 24) || s.substr(hour.end, 2) != kColon)
        return kNone;
    const Number minute = numberAt(s, hour.end + kColon.size());
    if (!within(minute, 2, 2, 0, 59))
        return kNone;
    Number second;
    if (s.substr(minute.end, 2) == kColon) {
        second = numberAt(s, minute.end + kColon.size());
        if (!within(second, 2, 2, 0, 59))
            return kNone;
    }
    const std::size_t end = second.digits > 0 ? second.end : minute.end;
    if (joinsAfter(s, end))
        return kNone;
    appendKanji(out, hour.value);
    out += kHour;
    // "１４：００" is 十四時, as said; with seconds the minutes are kept.
    if (minute.value > 0 || second.digits > 0) {
        appendKanji(out, minute.value);
        out += kMinute;
    }
    if (second.digits > 0) {
        appendKanji(out, second.value);
        out += kSecond;
    }
    return end;
}

// A clear fraction at `i` appended to `out` in words; its end, or kNone when there is none.
std::size_t fraction(std::string_view s, std::size_t i, std::string& out)
{
    const Number top = numberAt(s, i);
    if (!within(top, 1, 3, 1, 999) || top.leadingZero || s.substr(top.end, 2) != kSlash)
        return kNone;
    const Number bottom = numberAt(s, top.end + kSlash.size());
    if (!within(bottom, 1, 3, top.value + 1, 999) || bottom.leadingZero || joinsAfter(s, bottom.end))
        return kNone;
    const bool noDate = top.value > 12 || bottom.value > 31;
    if (!noDate && !(bottom.digits == 1 && s.substr(bottom.end, 2) == kNo))
        return kNone;
    appendKanji(out, bottom.value);
    out += kMinute;
    out += kNo;
    appendKanji(out, top.value);
    return bottom.end;
}

// Whether a capital stands alone at `i`, with nothing joining it after.
bool loneCapitalAt(std::string_view s, std::size_t i)
{
    return isCapitalAt(s, i) && !joinsAfter(s, i + 2);
}

} // namespace

std::string numbersInWords(std::string_view s)
{
    // Most chunks hold neither a digit nor a slash; a byte search over the whole chunk tells,
    // since a character's bytes are there wherever the character is.
    const auto digitOrSlash = [s] {
        for (std::size_t at = s.find('\x82'); at != std::string_view::npos && at + 1 < s.size();
             at = s.find('\x82', at + 1))
            if (s[at + 1] >= '\x4F' && s[at + 1] <= '\x58')
                return true;
        return s.find(kSlash) != std::string_view::npos;
    };
    if (!digitOrSlash())
        return std::string(s);
    std::string out;
    out.reserve(s.size() + s.size() / 4);
    std::string_view before;  // the character before `i`
    bool loneCapital = false; // `before` is a capital that nothing joins before
    for (std::size_t i = 0; i < s.size();) {
        if (digitAt(s, i) >= 0 && !joinsBefore(before)) {
            std::size_t end = date(s, i, out);
            if (end == kNone)
                end = clockTime(s, i, out);
            if (end == kNone)
                end = fraction(s, i, out);
            if (end == kNone) {
                end = numberAt(s, i).end;
                out.append(s.substr(i, end - i));
            }
            before = s.substr(end - 2, 2);
            loneCapital = false;
            i = end;
            continue;
        }
        const std::string_view c = s.substr(i, sjis::charLength(s, i));
        if (c != kSlash || !loneCapital || !loneCapitalAt(s, i + c.size()))
            out.append(c);
        loneCapital = isCapitalAt(s, i) && !joinsBefore(before);
        before = c;
        i += c.size();
    }
    return out;
}

} // namespace kven
