#pragma once
// Maps half-width characters of a Shift_JIS text to full width: ASCII 0x21..0x7E to
// U+FF01..U+FF5E, the blank to U+3000, and half-width katakana (punctuation and ｰ included)
// to their full-width forms, a following ﾞ or ﾟ composed into one character where one
// exists. Every other character is left as it is, byte for byte.

#include <cstddef>
#include <string>
#include <string_view>

namespace kven {

inline constexpr std::size_t kFullWidthLimit = 1024;

// The result is cut at the last character boundary within `limit` bytes.
std::string toFullWidth(std::string_view sjis, std::size_t limit = kFullWidthLimit);

// How the character at `pos` maps: `in` bytes of the text (a half-width kana together with
// the voiced or semi-voiced mark it composes with) become `out` bytes of the full-width form.
struct FullWidthStep {
    std::size_t in;
    std::size_t out;
};
FullWidthStep fullWidthStep(std::string_view sjis, std::size_t pos);

} // namespace kven
