#pragma once
// The pieces of one reading step that need no window: where a chunk ends, and what of it
// is said.

#include "reading/BookReadings.h"
#include "reading/ChunkCuts.h"
#include "reading/FilterTables.h"
#include "reading/SynthesizerWords.h"
#include "text/EnglishLexicon.h"
#include "text/ReadingDictionary.h"
#include "text/RubyBases.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

class ReadingsAhead;

inline constexpr int kPauseBeforeSpeechMs = 200;

struct FilterOptions;

// The start of the last chunk before `position` that has something to say, as reading from a
// line start cuts the text; nothing when there is none within 64 KiB before `position`.
// Chunks end at line breaks, so chunking from the start of a line finds the chunks a reading
// that passed there has said.
std::optional<std::size_t> chunkBefore(std::string_view text, std::size_t position, const FilterOptions& options);

struct FilterOptions {
    bool aozoraRuby = true;
    // Aozora notes, gaiji descriptions, the ruby-base mark and the notation explanation are
    // not read.
    bool silentNotes = false;
    // Words are said as the reading dictionary says, web addresses as "ＵＲＬ"; after the
    // notes and the ruby, before the leading marks and the classification. A null
    // dictionary has no words.
    bool wordReadings = false;
    const ReadingDictionary* dictionary = nullptr;
    // A chunk of marks alone (onlyMarks) says nothing: the synthesizer would only add a gap.
    bool passOverMarks = false;
    // Dates, times and clear fractions are said in kanji numerals (numbersInWords); after the
    // reading dictionary, before the leading marks and the classification.
    bool readNumbers = false;
    // English words are said from their pronunciation (readEnglishWords), after the reading
    // dictionary, before the classification. A null lexicon has no words.
    bool readEnglish = false;
    const EnglishLexicon* english = nullptr;
    // With an analysis of what the synthesizer will say (see withCarefulReadings): a ruby is
    // handed over only where the synthesizer would say something else (the ruby option on),
    // and with `correctReadings` the rows of reading corrections apply; before the notes and
    // the ruby. Null: neither.
    const SynthesizerWords* synthesizer = nullptr;
    bool correctReadings = false;
    // Readings the document teaches (places in the whole text): with the ruby option, each is
    // read as if the book gave it as ruby there.
    std::span<const PlaceReading> taught;
    // Where the ruby bases of a converted page begin: with silent notes, such a base is read
    // as if "｜" marked it.
    std::span<const RubyBase> rubyBases;
    bool aaSkip = true;
    int unreadLimit = 0; // tenths
    int blankLimit = 0;  // tenths
    std::span<const std::string> skipList;
    std::string_view talkSymbols;
    // The two lists above, prepared for lookup; null to have them prepared for one call.
    const FilterTables* tables = nullptr;
};

// The text to say for a selected chunk, or an empty text when the chunk is to be skipped:
// trim, skip list, full-width mapping, notes, ruby reduction, reading dictionary, leading
// marks, classification and the ratio tests.
std::string spokenText(std::string_view chunk, const FilterOptions& options);

// The same for the chunk of `length` bytes at `cursor` in `text`, which also knows where the
// chunk lies: a chunk inside the notation explanation of an Aozora text says nothing when
// notes are silent, and the ruby bases of `options` that begin in the chunk count as marked.
std::string spokenAt(std::string_view text, std::size_t cursor, std::size_t length, const FilterOptions& options);

// Has `ahead` work out the careful readings that spokenAt() with the same arguments will need,
// so that the step which says that chunk finds them done. Nothing when the options ask for none.
void workOutAhead(ReadingsAhead& ahead, std::string_view text, std::size_t cursor, std::size_t length,
                  const FilterOptions& options);

// Kanji test of the ruby rule: a double-byte character from "亜" on, or 々 〆 〇 ヶ.
bool isRubyBaseKanji(std::string_view character);

// Ruby notation reduced to its reading: every "》" removed, and each "《" removed together
// with the run of kanji just before it.
std::string reduceRuby(std::string_view sjis);

} // namespace kven
