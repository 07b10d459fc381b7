#pragma once
// Numbers as a Japanese reader says them. The synthesizer reads "２００１－０８－０３" and
// "１４：０９" digit by digit with a pause at each mark, and pauses at every slash; written in
// kanji numerals with their units, dates and times are read as words.

#include <string>
#include <string_view>

namespace kven {

// The full-width Shift_JIS text with, in kanji numerals:
// - well-formed dates: "２００１－０８－０３", "２００１／８／３" as 二千一年八月三日 and
//   "２００１／８" as 二千一年八月 (a year 1000-9999, month 1-12, day 1-31);
// - well-formed times: "１４：０９：５５" as 十四時九分五十五秒, "１４：０９" as 十四時九分 and
//   "１４：００" as 十四時 (hour 0-24 of one or two digits, minute and second 0-59 of two);
// - clear fractions: "１／１００" as 百分の一, "１／２の" as 二分の一の; the numerator below the
//   denominator, neither with a leading zero, and either no date (numerator over 12 or
//   denominator over 31) or "の" after a one-digit denominator.
// A slash between two capitals that stand alone ("Ａ／Ｂ", "Ｉ／Ｏ") is dropped, so that the
// synthesizer spells them on without a pause; it pauses at any mark, and longer words joined
// are misread ("ＪＩＳＩＳＯ" is spelled, where "ＪＩＳ" alone is a word).
// A pattern that touches a digit, a letter, "／", "－" or "：" on either side, or "．" or "，"
// before it or before a digit after it, is part of something else (a version, a path, a
// range) and is left as it is, as is everything else: separators, decimals and percentages
// read well already (and the signs around numbers are numberSigns').
std::string numbersInWords(std::string_view sjis);

} // namespace kven
