#pragma once
// Readings the synthesizer's dictionary gets wrong in a context that is easy to see, and what a
// careful reader says there: a table of rows over the analysed words of a chunk.

#include "reading/BookReadings.h"
#include "reading/SynthesizerWords.h"

#include <span>
#include <string_view>
#include <vector>

namespace kven {

// What decides, besides the word itself.
enum class Context {
    always,
    nextWord,       // the next word is one of `words`
    previousWord,   // the previous word is one of `words`
    nextStartsWith, // the next word begins with one of `words`
    nextKana,       // the next word begins with kana, and is none of `words`
    nextVerb,       // the next word is a verb
    notBeforeWords, // the next word past blanks is none of `words`, nor a number
};

struct CorrectionRow {
    std::string_view surface; // UTF-8, the whole word as the synthesizer splits it
    Context context = Context::always;
    std::string_view words;   // UTF-8, separated by "|": the words `context` names
    bool alone = false;       // no kanji right before or after the word
    std::string_view reading; // katakana, UTF-8
};

// The rows the program ships; each one's precision on a labelled sample is checked by its test.
std::span<const CorrectionRow> correctionRows();

// Whether a row of correctionRows() may apply somewhere in `sjis`: it holds the first character
// of a row's word. False spares a text the analysis.
bool mayNeedCorrection(std::string_view sjis);

// Whether `row` applies to words[k] of the analysis of `sjis`.
bool rowApplies(const CorrectionRow& row, std::string_view sjis, std::span<const SpokenWord> words, std::size_t k);

// The places of `sjis` (analysed as `words`) where a row of `rows` applies and the synthesizer
// says something else than the row's reading; the reading in Shift_JIS katakana. The first row
// that applies to a word decides. Ascending by offset.
std::vector<PlaceReading> readingCorrections(std::string_view sjis, std::span<const SpokenWord> words,
                                             std::span<const CorrectionRow> rows = correctionRows());

} // namespace kven
