#pragma once
// What Aozora Bunko texts hold for the eye only: the notes of their makers in "［＃…］", gaiji
// described by such a note after "※", the mark "｜" where a ruby base begins, and the block
// at the head of a text that explains the notation. With the option "注記を読まない" the
// reading step says none of it. Texts are Shift_JIS.

#include <cstddef>
#include <string>
#include <string_view>

namespace kven {

// Follows the notes of a line character by character. A note opens at "［＃" (or at the "※"
// of a gaiji before it) and closes at its matching "］"; a "［" inside it nests, and brackets
// quoted in 「」 by the note do not count.
class NoteTracker {
public:
    // `quotes` false: brackets count inside quotes too, for a note whose quotes do not close.
    explicit NoteTracker(bool quotes = true) : quotes_(quotes) {}

    // Feeds the character of `length` bytes at `pos`; `text` from `pos` on shows whether a
    // note opens there.
    void feed(std::string_view text, std::size_t pos, std::size_t length);
    // Whether the characters fed so far leave a note open.
    bool inside() const { return depth_ > 0; }
    // Where the open note begins, its gaiji mark included.
    std::size_t start() const { return start_; }

private:
    bool quotes_;
    int depth_ = 0;
    int quoteDepth_ = 0;
    std::size_t start_ = 0;
    std::size_t gaijiAt_ = std::string_view::npos; // a "※" just before
};

// The end of the note that opens at `pos`, just after its "］"; npos when the line or the text
// ends first.
std::size_t noteEnd(std::string_view text, std::size_t pos);

// A chunk's text (mapped to full width) as it is read without notes: every "［＃…］" removed;
// a gaiji "※［＃…］" removed when a "《" follows (the reading stands for it), else the unread
// mark; a numeric character reference "&#…;" or "&#x…;" (the gaiji of a page) the character
// when it is a letter, digit, kana or kanji of the code page, a blank for a blank, else the
// unread mark; "｜base《reading》" the reading alone; a "｜" with no "《" after it removed. With
// `katakana` (the ruby option on) every ruby reading is handed over in katakana, which the
// synthesizer parses as a reading rather than as words.
std::string removeNotes(std::string_view text, bool katakana);

// The block at the head of an Aozora text that explains its notation: from the line of
// hyphens before the line "【テキスト中に現れる記号について】" through the next line of hyphens
// and its line break. Only the head of the text is looked at, so the cost is bounded; the
// block lies before kExplanationReach. Empty (begin == end) when there is none.
struct TextSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};
inline constexpr std::size_t kExplanationReach = std::size_t{24} << 10;
TextSpan explanationBlock(std::string_view text);

} // namespace kven
