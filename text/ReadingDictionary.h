#pragma once
// The user's reading dictionary: words as they are written, each with what to say for it.
// It works on a chunk already mapped to full width: a word matches whatever the width of its
// letters and, for Latin letters, their case; left to right, the longest word that starts at
// a place wins. A word that begins or ends with a Latin letter matches a whole word only: no
// Latin letter of the same word right before or after it (a capital after a small letter
// begins a new one). Web addresses (http://, https://, www.) are said as "ＵＲＬ". The cost per
// chunk does not grow with the number of words: they are kept in a trie that is walked from
// each character, as deep as the longest word that matches there.

#include "text/KeyTrie.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

class ReadingDictionary {
public:
    struct Entry {
        std::string written; // Shift_JIS, not empty
        std::string reading; // Shift_JIS; empty to say nothing for the word
    };

    // No words: only web addresses are replaced.
    ReadingDictionary() = default;
    // Of entries written alike (after width and case), the last one counts.
    explicit ReadingDictionary(std::span<const Entry> entries);

    std::size_t size() const { return readings_.size(); }

    // `fullWidth` (Shift_JIS, mapped to full width) with every web address said as "ＵＲＬ"
    // and every word as its reading.
    std::string apply(std::string_view fullWidth) const;

private:
    KeyTrie trie_; // the words, each known by the index of its reading
    std::vector<std::string> readings_;
};

// Full-width Latin capitals as small letters, byte for byte the same length; everything else
// as it is. Words and chunks are compared in this form.
std::string foldLatinCase(std::string_view fullWidth);

} // namespace kven
