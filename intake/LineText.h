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
// blanks at both ends.
std::string cleanText(std::string_view utf8);

} // namespace kven
