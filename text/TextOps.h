#pragma once
// Text helpers shared by every subsystem. All of them work on Shift_JIS byte strings and
// respect double-byte characters: a match whose first byte is the second byte of a
// double-byte character does not count, judged from the lead bytes counted from the start
// of the text handed in.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

inline constexpr std::size_t npos = std::string_view::npos;

// 0-based position of the first occurrence of pattern whose first byte lies before
// startLimit, or npos. An empty pattern is never found. The cost is proportional to the
// distance scanned, never to the rest of the text.
std::size_t findOffset(std::string_view text, std::string_view pattern, std::size_t startLimit = npos);

// The same with ASCII letters matching in either case; `pattern` is ASCII.
std::size_t findOffsetIgnoringCase(std::string_view text, std::string_view pattern, std::size_t startLimit = npos);

// 1-based position of the first occurrence, 0 when there is none or the pattern is empty.
inline std::size_t findOneBased(std::string_view text, std::string_view pattern)
{
    const std::size_t p = findOffset(text, pattern);
    return p == npos ? 0 : p + 1;
}

inline bool contains(std::string_view text, std::string_view pattern)
{
    return findOffset(text, pattern) != npos;
}

// Every occurrence replaced left to right in one pass; the scan resumes after each replaced
// occurrence, so occurrences never overlap and replacements are never scanned again.
std::string replaceAll(std::string_view text, std::string_view pattern, std::string_view replacement);

// The same, on `text` itself: no copy when nothing matches, and none when the replacement is
// not longer than the pattern.
void replaceAllIn(std::string& text, std::string_view pattern, std::string_view replacement);

// Removes bytes of value 0x20 or less from both ends (the full-width blank stays).
std::string_view trimView(std::string_view text);
inline std::string trim(std::string_view text)
{
    return std::string(trimView(text));
}

// The lenient integer reading used for every number in the settings and bookmark files:
// leading blanks skipped, optional sign, decimal digits (or hexadecimal after "$", "x" or
// "0x" in either case), stopping at the first other character. A text that stops early
// keeps the digits read so far without the sign; a text without a leading digit gives 0.
int lenientInt(std::string_view text);

// The value of a hexadecimal digit, or -1 for any other byte.
int hexValue(unsigned char c);

// Splits at every CR, LF or CR LF. A line break at the very end adds no empty line;
// an empty text has no lines.
std::vector<std::string> splitLines(std::string_view text);

// Every line followed by "\r\n", the last included.
std::string joinLinesCrLf(const std::vector<std::string>& lines);

// Makes every line break "\r\n": a lone CR or a lone LF becomes CR LF.
std::string normalizeLineBreaks(std::string_view text);

} // namespace kven
