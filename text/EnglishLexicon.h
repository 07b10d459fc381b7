#pragma once
// English words with what to say for each in katakana, from the CMU pronouncing dictionary as
// Debian's festlex-cmu installs it (a Scheme-like lexicon: one `("word" pos (((phones) stress)
// ...))` entry a line). Kept as one table of words over two byte blocks, found through an open
// hash table at most half full: a lookup hashes the word and compares it with one or two.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

class EnglishLexicon {
public:
    // Where festlex-cmu puts the dictionary.
    static constexpr std::string_view kDefaultPath = "/usr/share/festival/dicts/cmu/cmudict-0.4.out";

    // No words.
    EnglishLexicon() = default;
    // The words of `lexicon` (the text of such a file) made of letters a-z alone; of a word
    // given twice, the first. Lines of another form are passed over.
    explicit EnglishLexicon(std::string_view lexicon);

    // The words of the file at `path`; none when it cannot be read.
    static EnglishLexicon fromFile(const std::string& path);
    // The words of kDefaultPath, read on the first call from any thread; the calls that meet it
    // meanwhile wait for it.
    static const EnglishLexicon& installed();

    std::size_t size() const { return entries_.size(); }
    // The katakana (Shift_JIS) for `word`, lower-case ASCII; empty when it is not known.
    std::string_view kana(std::string_view word) const;

private:
    struct Entry {
        std::uint32_t word;
        std::uint32_t kana;
        std::uint16_t wordLength;
        std::uint16_t kanaLength;
    };
    std::string_view wordOf(const Entry& e) const { return std::string_view(words_).substr(e.word, e.wordLength); }

    // The slot that holds `word`, else the empty slot where it would go; slots_ not empty.
    std::size_t slotOf(std::string_view word) const;

    std::vector<Entry> entries_;
    std::vector<std::uint32_t> slots_; // a power of two of them: 0 empty, else an entry's index + 1
    std::string words_;
    std::string kana_;
};

} // namespace kven
