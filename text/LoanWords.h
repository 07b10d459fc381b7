#pragma once
// Loan words as Japanese writes them, chosen from the candidates an SKK dictionary gives for an
// English word (Debian's skkdic: `character /キャラクター/キャラクタ/`, EUC-JP, a note after ";"
// inside a candidate).

#include <string>
#include <string_view>

namespace kven {

// The katakana (Shift_JIS) to say for `word` (lower-case ASCII) from `candidates`, the rest of
// its dictionary line ("/キャラクター/キャラクタ/", EUC-JP), given `pronounced`, the katakana its
// pronunciation gives (Shift_JIS; empty when the pronouncing dictionary lacks the word).
// Only candidates of katakana alone count, those without a note first ("アール;100m^2" is a
// unit). With a pronunciation, the first candidate whose consonants are near the pronounced
// ones, so that a translation or a clipped form is passed over ("british" ブリティッシュ, not
// イギリス), and `pronounced` itself where it is that candidate with a long mark at the end
// ("computer" コンピューター); without one, the first candidate of a word of three letters or
// more. Empty when none fits. The work is bounded: only the first candidates of a line, and
// only short ones, are looked at.
std::string loanWordFor(std::string_view word, std::string_view candidates, std::string_view pronounced);

} // namespace kven
