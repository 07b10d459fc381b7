#pragma once
// Marks: punctuation, brackets, dashes, blanks, arrows, shapes and box drawing, which the
// synthesizer says nothing for, alone or in a row. Letters, digits, kana and kanji are not
// marks, nor are the few symbols it reads as words ("＋", "＆", "＠", "×", "÷", "℃", "〒"),
// nor iteration marks and abbreviations that make words in a row ("〆〆"). A table's rule
// drawn in text ("＋－－＋＝＝＋") is marks, its "＋" included.

#include <string_view>

namespace kven {

// True when the Shift_JIS text holds nothing but marks (an empty text included).
bool onlyMarks(std::string_view sjis);

} // namespace kven
