#pragma once
// What the synthesizer is given. It reads only its first line, at most 1022 bytes of it (a
// longer line is cut, possibly inside a character), crashes on a few hundred half-width
// characters, and reads uninitialised memory on an empty line; its speed factor must be a
// positive number. These functions keep every call inside those limits.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

// At most this many characters per synthesizer call: 750 bytes of UTF-8 at worst, and far
// below the length at which a run of half-width characters crashes it.
inline constexpr std::size_t kMaxPieceChars = 250;

// The text of one utterance as UTF-8 pieces of at most kMaxPieceChars characters each, with
// no line break and no control character (both become blanks), no character above U+FFFF
// (dropped, as are unpaired surrogates) and no piece that is blank throughout. A piece ends
// after the last "、", "。", ";", "；" or blank that lets it fit, else at the limit. An
// utterance with nothing left gives no piece at all.
std::vector<std::string> synthesisPieces(std::u16string_view text);

// The synthesizer's speed factor for an integer rate: 3^(rate/10), rate limited to -10..10,
// written with "." as the decimal separator whatever the locale.
std::string speedForRate(int rate);

} // namespace kven
