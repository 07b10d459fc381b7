#pragma once
// The skip list and the talk symbols prepared for lookup, so that filtering a chunk costs the
// same however long those lists are. Built once per change of the lists; the answers are
// exactly those of searching the lists themselves (find, character-aware).

#include "text/KeyTrie.h"

#include <bitset>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kven {

// The characters of a talk-symbols text, as its own Shift_JIS walk from the start cuts it.
class TalkSymbolSet {
public:
    explicit TalkSymbolSet(std::string_view talkSymbols = {});

    // Whether `character` (one character of a text, one or two bytes) occurs in the talk
    // symbols at a character start. A lone lead byte is half a character and never one.
    bool contains(std::string_view character) const;

private:
    std::bitset<0x100> single_;
    std::bitset<0x10000> double_; // lead byte * 0x100 + second byte
};

// Whether any entry of a skip list occurs in a text at a character start of that text.
// Empty entries never match. The entries are kept in a compact trie (one node per branch,
// not per byte), walked from each character start: a search costs at most the text length
// times the longest part of an entry met there, never the number of entries.
class SkipListMatcher {
public:
    explicit SkipListMatcher(std::span<const std::string> entries = {});

    bool foundIn(std::string_view text) const;

private:
    KeyTrie trie_;
};

// Both lists of one session, prepared together.
struct FilterTables {
    FilterTables() = default;
    FilterTables(std::span<const std::string> skipEntries, std::string_view talkText)
        : skipList(skipEntries), talkSymbols(talkText)
    {
    }

    SkipListMatcher skipList;
    TalkSymbolSet talkSymbols;
};

} // namespace kven
