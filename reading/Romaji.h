#pragma once
// Japanese written in Latin letters: Hepburn and Kunrei spellings read as the kana they spell.

#include <string>
#include <string_view>

namespace kven {

// The katakana (Shift_JIS) that `ascii` spells as romanized Japanese, whatever the case of its
// letters: "fukamachi" フカマチ, "wakati" ワカチ, "kitte" キッテ, "shinbun" and "shimbun"
// シンブン. Empty when the word is not made of such syllables from end to end, or holds fewer
// than two of them.
std::string romajiKana(std::string_view ascii);

} // namespace kven
