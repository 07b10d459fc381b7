#pragma once
// Whether two spellings of a reading say the same: what decides if a reading needs handing
// over at all, since the synthesizer gives its own words a better accent than a reading
// handed over in katakana.

#include "reading/SynthesizerWords.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace kven {

// A kana reading (UTF-16) folded so that spellings of one sound compare equal: hiragana as
// katakana; historical kana as said today (ゐ ゑ を as イ エ オ, ぢ づ as ジ ズ, くゎ ぐゎ as カ
// ガ); small ヵ ヶ as カ ケ; a long vowel as "ー" whether written so or with a vowel kana
// (おう, おお, えい, ええ, いい, うう, ああ after a kana of that vowel). Anything that is no
// kana (the accent mark the dictionary may carry) is dropped.
std::u16string foldedReading(std::u16string_view kana);

// Whether the synthesizer, reading `words` (the analysis of a text), says at
// [offset, offset + length) of that text what `reading` (Shift_JIS kana) says, after
// folding. False when a word crosses either end of the span: the span is then not said as
// words of its own, and a reading handed over is what makes it so.
bool synthesizerSays(std::span<const SpokenWord> words, std::size_t offset, std::size_t length,
                     std::string_view reading);

} // namespace kven
