#pragma once
// The lines of a text as the chapter finder reads them: where each begins and what it says.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

struct Line {
    std::size_t offset; // in the Shift_JIS text
    std::string utf8;   // without its line break
};

// The lines of `sjis`, each without its CR LF, LF or CR run at the end.
std::vector<Line> linesOf(std::string_view sjis);

// What a line says aloud, roughly: notes, ruby readings and ruby starts left out, and the
// blanks at both ends. What comes before the byte `from` is only looked through for the notes
// and readings it opens or closes.
std::string cleanText(std::string_view utf8, std::size_t from = 0);

// The text of `length` bytes at `start` of the Shift_JIS text `sjis` as a reader sees it, in
// UTF-8: cleanText of it, with a note or ruby reading that its line opened before `start` and
// left open still counted as open.
std::string shownText(std::string_view sjis, std::size_t start, std::size_t length);

} // namespace kven
