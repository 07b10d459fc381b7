#pragma once
// English words in a chunk said as words, not spelled letter by letter.

#include "text/EnglishLexicon.h"

#include <string>
#include <string_view>

namespace kven {

// `fullWidth` (Shift_JIS, mapped to full width) with each word of two or more full-width Latin
// letters that `lexicon` knows replaced by its katakana, whatever the case of its letters. A
// word of capitals alone up to three letters ("ＮＨＫ", "ＣＰＵ") is an abbreviation and stays
// spelled, and so does a word the lexicon does not know, unless the words a capital begins
// within it are known ("ＡｌｌｏｗＯｖｅｒｒｉｄｅ"). The blanks between two words of a phrase
// are dropped, since the synthesizer pauses at each, and "a" before a word is "ア".
std::string readEnglishWords(std::string_view fullWidth, const EnglishLexicon& lexicon);

} // namespace kven
