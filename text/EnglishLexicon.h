#pragma once
// English words with what to say for each in katakana, from the CMU pronouncing dictionary as
// Debian's festlex-cmu installs it (a Scheme-like lexicon: one `("word" pos (((phones) stress)
// ...))` entry a line), and the loan words Japanese writes for them from the SKK dictionary as
// Debian's skkdic installs it. Kept as one table of words over two byte blocks, found through
// an open hash table at most half full: a lookup hashes the word and compares it with one or two.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

class EnglishLexicon {
public:
    // Where festlex-cmu puts the dictionary.
    static constexpr std::string_view kDefaultPath = "/usr/share/festival/dicts/cmu/cmudict-0.4.out";
    // Where skkdic puts its large dictionary, whose lines of a lower-case English word give its
    // loan words (EUC-JP).
    static constexpr std::string_view kLoanWordsPath = "/usr/share/skk/SKK-JISYO.L";

    // No words.
    EnglishLexicon() = default;
    // The words of `lexicon` (the text of such a file) made of letters a-z alone; of a word
    // given twice, the first. Lines of another form are passed over.
    explicit EnglishLexicon(std::string_view lexicon);
    // Those words, and the words of `loanWords` (the text of an SKK dictionary) said as the loan
    // word loanWordFor() chooses for each: where that dictionary has a loan word, it goes first,
    // and a plural it lacks is said as its singular (its loan word, else its pronunciation) with
    // the plural's ending.
    EnglishLexicon(std::string_view lexicon, std::string_view loanWords);

    // The words of the file at `path`; none when it cannot be read.
    static EnglishLexicon fromFile(const std::string& path);
    // The words of both files; a file that cannot be read gives none.
    static EnglishLexicon fromFiles(const std::string& path, const std::string& loanWordsPath);
    // The words of kDefaultPath and kLoanWordsPath, read on the first call from any thread; the
    // calls that meet it meanwhile wait for it.
    static const EnglishLexicon& installed();

    std::size_t size() const { return entries_.size(); }
    // The katakana (Shift_JIS) for `word`, lower-case ASCII; empty when it is not known.
    std::string_view kana(std::string_view word) const;
    // Whether the katakana for `word` are a loan word of the loan-word list (its own or its
    // singular's), rather than what its pronunciation gives.
    bool isLoanWord(std::string_view word) const;

private:
    struct Entry {
        std::uint32_t word;
        std::uint32_t kana;
        std::uint16_t wordLength;
        std::uint16_t kanaLength;
        bool loan = false;
    };
    std::string_view wordOf(const Entry& e) const { return std::string_view(words_).substr(e.word, e.wordLength); }
    std::string_view kanaOf(const Entry& e) const { return std::string_view(kana_).substr(e.kana, e.kanaLength); }

    // The slot that holds `word`, else the empty slot where it would go; slots_ not empty.
    std::size_t slotOf(std::string_view word) const;
    void readPronunciations(std::string_view lexicon);
    void readLoanWords(std::string_view loanWords);
    // Adds `word` with `kana` in `slot` (empty); false when the blocks cannot take it.
    bool add(std::size_t slot, std::string_view word, std::string_view kana);

    std::vector<Entry> entries_;
    std::vector<std::uint32_t> slots_; // a power of two of them: 0 empty, else an entry's index + 1
    std::string words_;
    std::string kana_;
};

} // namespace kven
