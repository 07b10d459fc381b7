#pragma once
// Readings a book teaches: an Aozora text gives a word's reading in ruby, often several times,
// and then writes the word without it. Texts are Shift_JIS, with ruby as "｜base《reading》" or
// "base《reading》", where a base without "｜" is the run of kanji right before "《".

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

// A place of a text and the reading to say there (Shift_JIS kana, as the book writes it).
struct PlaceReading {
    std::size_t offset = 0;
    std::size_t length = 0;
    std::string reading;

    bool operator==(const PlaceReading&) const = default;
};

// The places where a book leaves out the ruby it taught. A word is taught when it is a base of
// two or more characters, all kanji by the ruby rule, not made of numerals alone
// (〇一二三四五六七八九十百千万億), that the text rubies at least twice, always with one reading
// (all kana; hiragana and katakana, long-vowel spellings and historical kana folded). Its
// places are, after its first ruby, each whole run of kanji (no kanji right before or after)
// equal to the word that has no ruby of its own and lies in no note "［＃…］". The reading is
// that of the first ruby. Ascending by offset; linear in the text.
std::vector<PlaceReading> bookTaughtReadings(std::string_view sjis);

// A ruby of a text: its base, from the "｜" before it or else the run of kanji right before
// "《", and its reading "《…》".
struct Ruby {
    std::size_t base = 0;  // where the base begins (after its "｜", if any)
    std::size_t open = 0;  // the "《"
    std::size_t close = 0; // just after the "》"
};
// Every ruby of the text, in order. Notes are passed over: a "《" inside one is no ruby's, and
// a "《" whose line ends before its "》" opens none.
std::vector<Ruby> rubies(std::string_view sjis);

// A text as the synthesizer would read it were every ruby's base said: the readings "《…》",
// the marks "｜" and the notes "［＃…］" taken out. `from[i]` is the offset in the original
// text of the byte i of `text`, and `from[text.size()]` the end of the original text;
// `rubied[i]` tells whether that byte belongs to a ruby's base.
struct BaseText {
    std::string text;
    std::vector<std::size_t> from;
    std::vector<bool> rubied;
};
BaseText baseText(std::string_view sjis);

} // namespace kven
