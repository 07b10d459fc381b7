#pragma once
// The signs around numbers that the synthesizer passes over or misreads: a currency before an
// amount, a minus before a number, degrees after one, a year with its era in brackets, and a
// circle written for the kanji zero.

#include <string>
#include <string_view>

namespace kven {

// The full-width Shift_JIS text with:
// - "￥" before an amount as 円 after it, "＄" as ドル after it ("￥１，０００" 1,000円), an
//   amount being a number with no leading zero and no letter after it, and "＄" no dollar at
//   all in a text where it marks a hexadecimal number ("＄９Ｆ");
// - "－" before a number, with no digit, Latin letter, katakana or "－" right before it, as
//   マイナス;
// - "℃" after a number as 度;
// - a year of four digits followed by an era in brackets and "年" with its own "年"
//   ("１９０５（明治３８）年" as １９０５年（明治３８）年);
// - "○" between kanji numerals (〇 and ○ included) as "〇";
// - a letter the synthesizer reads as a unit after a digit (Ａ Ｎ Ｖ Ｗ ｓ) as the letter's name
//   where the digits and letters are a code: a letter before a digit, more after the letter, a
//   leading zero, "Ｕ＋", "＃" or a hexadecimal "＄" before, "＝" after ("１Ａ＝" イチエー, while
//   "５Ａ" stays 5 amperes).
// A number is a run of full-width digits, with "，" and "．" between digits.
std::string numberSigns(std::string_view sjis);

} // namespace kven
